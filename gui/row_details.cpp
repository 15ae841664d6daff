#include "gui/row_details.h"

#include <shellapi.h>

#include "index/index_types.h"
#include "platform/win32/win_text.h"

namespace nusk {

RowDetailsWorker::RowDetailsWorker(HWND notify)
    : notify_(notify),
      pass_([this](const Row& r) { Visit(r); }, [this] { PostMessageW(notify_, kMsgRowDetailsDone, 0, 0); }) {}

void RowDetailsWorker::Request(std::vector<Row> rows) { pass_.Request(std::move(rows)); }

bool RowDetailsWorker::Get(uint32_t item, RowDetails* out) const {
  std::lock_guard<std::mutex> lock(mu_);
  auto it = cache_.find(item);
  if (it == cache_.end()) return false;
  *out = it->second;
  return true;
}

void RowDetailsWorker::Clear() {
  std::lock_guard<std::mutex> lock(mu_);
  cache_.clear();
}

void RowDetailsWorker::set_may_touch(std::function<bool(std::u16string_view)> may_touch) {
  std::lock_guard<std::mutex> lock(mu_);
  may_touch_ = std::move(may_touch);
}

RowDetails RowDetailsWorker::Fetch(const std::u16string& path) {
  RowDetails d;
  const std::wstring wpath = W(path);
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileExW(wpath.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0);
  DWORD attributes = FILE_ATTRIBUTE_NORMAL;
  if (find != INVALID_HANDLE_VALUE) {
    FindClose(find);
    attributes = data.dwFileAttributes;
    d.has_attributes = true;
    d.attributes = data.dwFileAttributes;
    const uint64_t created = (uint64_t{data.ftCreationTime.dwHighDateTime} << 32) | data.ftCreationTime.dwLowDateTime;
    if (created) {
      d.has_created = true;
      d.created = CompactTimeFromFileTime(created);
    }
  }
  SHFILEINFOW info = {};
  if (SHGetFileInfoW(wpath.c_str(), attributes, &info, sizeof(info), SHGFI_TYPENAME | SHGFI_USEFILEATTRIBUTES)) {
    d.type_name = U(info.szTypeName);
  }
  return d;
}

void RowDetailsWorker::Visit(const Row& r) {
  std::function<bool(std::u16string_view)> may_touch;
  {
    std::lock_guard<std::mutex> lock(mu_);
    if (cache_.count(r.item)) return;
    may_touch = may_touch_;
  }
  // An item on a sleeping drive keeps empty details rather than waking the disk.
  RowDetails d = !may_touch || may_touch(r.path) ? Fetch(r.path) : RowDetails();
  {
    std::lock_guard<std::mutex> lock(mu_);
    cache_[r.item] = std::move(d);
  }
  PostMessageW(notify_, kMsgRowDetail, r.row, 0);
}

}  // namespace nusk
