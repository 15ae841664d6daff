// The portable forms of Env::ViewWholeFile (one read into memory the view owns),
// FileView::ReadAt (a copy from the view's bytes) and Env::ReadFileHead.
#include "platform/env.h"
#include "platform/file_stream.h"
#include "util/utf.h"

#include <algorithm>
#include <cstring>

namespace nusk {

namespace {
class OwnedFileView : public FileView {
 public:
  std::string_view bytes() const override { return data_; }
  std::string data_;
};
}  // namespace

bool FileView::ReadAt(uint64_t at, char* dst, uint64_t size) const {
  const std::string_view b = bytes();
  if (at > b.size() || size > b.size() - at) return false;
  if (size != 0) std::memcpy(dst, b.data() + at, static_cast<size_t>(size));
  return true;
}

Status Env::ViewWholeFile(const std::u16string& path, std::unique_ptr<FileView>* view) {
  auto owned = std::make_unique<OwnedFileView>();
  Status s = ReadWholeFile(path, &owned->data_);
  if (s.ok()) *view = std::move(owned);
  return s;
}

Status Env::ReadFileHead(const std::u16string& path, size_t max_bytes, std::string* head, uint64_t* size) {
  head->clear();
  *size = 0;
  PathInfo info;
  std::unique_ptr<FileStream> file = OpenFileStream(path, nullptr);
  if (!file || !StatPath(path, &info)) {
    return Status::Error("cannot read " + ToUtf8(path) + (FileExists(path) ? "" : ": the file is missing"));
  }
  *size = info.size;
  head->resize(static_cast<size_t>(std::min<uint64_t>(max_bytes, info.size)));
  size_t done = 0;
  while (done < head->size()) {
    const int64_t n = file->ReadAt(done, head->data() + done, head->size() - done);
    if (n <= 0) break;  // shorter than its size said: the caller's checks see the short head
    done += static_cast<size_t>(n);
  }
  head->resize(done);
  return Status::Ok();
}

std::unique_ptr<FileStream> EnvWrapper::OpenFileStream(const std::u16string& path, bool* not_regular) {
  return target_->OpenFileStream(path, not_regular);
}

Status EnvWrapper::ReadFileHead(const std::u16string& path, size_t max_bytes, std::string* head, uint64_t* size) {
  Status s = ReadWholeFile(path, head);
  *size = s.ok() ? head->size() : 0;
  if (head->size() > max_bytes) head->resize(max_bytes);
  return s;
}

}  // namespace nusk
