// FileStream over CreateFileW/ReadFile with an explicit offset.
#include <windows.h>

#include <vector>

#include "platform/file_stream.h"
#include "platform/system_services.h"
#include "platform/win32/win_text.h"

namespace nusk {

namespace {

// FILETIME of the Unix epoch.
constexpr uint64_t kUnixEpochFileTime = 116444736000000000ULL;

class Win32FileStream : public FileStream {
 public:
  explicit Win32FileStream(HANDLE h) : h_(h) {}
  ~Win32FileStream() override { CloseHandle(h_); }
  int64_t ReadAt(uint64_t offset, char* buffer, size_t size) override {
    OVERLAPPED ov{};
    ov.Offset = static_cast<DWORD>(offset);
    ov.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD want = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
    DWORD got = 0;
    if (!ReadFile(h_, buffer, want, &got, &ov)) return GetLastError() == ERROR_HANDLE_EOF ? 0 : -1;
    return got;
  }

 private:
  HANDLE h_;
};

void FillInfo(const BY_HANDLE_FILE_INFORMATION& bi, PathInfo* info) {
  info->is_folder = (bi.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  info->size = info->is_folder ? 0 : (static_cast<uint64_t>(bi.nFileSizeHigh) << 32) | bi.nFileSizeLow;
  uint64_t ft = (static_cast<uint64_t>(bi.ftLastWriteTime.dwHighDateTime) << 32) | bi.ftLastWriteTime.dwLowDateTime;
  info->mtime_unix = ft >= kUnixEpochFileTime ? static_cast<int64_t>((ft - kUnixEpochFileTime) / 10000000ULL) : 0;
  info->stamp = ft ^ ((static_cast<uint64_t>(bi.nFileIndexHigh) << 32 | bi.nFileIndexLow) << 1);
}

bool BadName(const std::u16string& name) {
  return name.empty() || name == u"." || name == u".." || name.find_first_of(u"\\/:") != std::u16string::npos;
}

// Handles held open while a path is walked: a folder opened without delete sharing cannot
// be renamed or replaced by a link until the walk is over.
struct HandleList {
  std::vector<HANDLE> handles;
  ~HandleList() {
    for (HANDLE h : handles) CloseHandle(h);
  }
};

}  // namespace

bool system_services::OpenBelow(const std::u16string& root, const std::vector<std::u16string>& names, OpenedItem* out) {
  out->file.reset();
  HandleList held;
  std::u16string path = root;
  BY_HANDLE_FILE_INFORMATION bi{};
  for (size_t i = 0; i <= names.size(); ++i) {
    if (i > 0) {
      if (BadName(names[i - 1])) return false;
      if (path.empty() || path.back() != u'\\') path += u'\\';
      path += names[i - 1];
    }
    const bool last = i == names.size();
    // The reparse point itself is opened, never its target, so a link is seen as a link.
    const std::wstring wide = W(path);
    auto open = [&](DWORD share) {
      return CreateFileW(wide.c_str(), last ? GENERIC_READ : FILE_READ_ATTRIBUTES, share, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    };
    HANDLE h = open(FILE_SHARE_READ | FILE_SHARE_WRITE | (last ? FILE_SHARE_DELETE : 0));
    // A folder another program holds open for deletion cannot be pinned; it is still
    // checked for a reparse point, only a swap during the walk is no longer excluded.
    if (h == INVALID_HANDLE_VALUE && !last && GetLastError() == ERROR_SHARING_VIOLATION) {
      h = open(FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    }
    if (h == INVALID_HANDLE_VALUE) return false;
    held.handles.push_back(h);
    if (!GetFileInformationByHandle(h, &bi)) return false;
    const bool folder = (bi.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    // The root may be a mounted volume's folder; below it no reparse point is crossed.
    if (i > 0 && (bi.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return false;
    if (!last && !folder) return false;
    if (last && !folder && GetFileType(h) != FILE_TYPE_DISK) return false;
  }
  FillInfo(bi, &out->info);
  if (out->info.is_folder) return true;
  HANDLE file = held.handles.back();
  held.handles.pop_back();
  out->file = std::make_unique<Win32FileStream>(file);
  return true;
}

bool StatPath(const std::u16string& path, PathInfo* info) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(W(path).c_str(), GetFileExInfoStandard, &data)) return false;
  info->is_folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  info->size = info->is_folder ? 0 : (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  uint64_t ft = (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
  info->mtime_unix = ft >= kUnixEpochFileTime ? static_cast<int64_t>((ft - kUnixEpochFileTime) / 10000000ULL) : 0;
  info->stamp = ft;
  return true;
}

std::unique_ptr<FileStream> system_services::OpenFileStream(const std::u16string& path, bool* not_regular) {
  if (not_regular) *not_regular = false;
  HANDLE h = CreateFileW(W(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  BY_HANDLE_FILE_INFORMATION bi;
  if (GetFileType(h) != FILE_TYPE_DISK) {  // a pipe or a character device
    if (not_regular) *not_regular = true;
    CloseHandle(h);
    return nullptr;
  }
  if (!GetFileInformationByHandle(h, &bi) || (bi.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    CloseHandle(h);
    return nullptr;
  }
  return std::make_unique<Win32FileStream>(h);
}

}  // namespace nusk
