// FileStream over CreateFileW/ReadFile with an explicit offset.
#include <windows.h>

#include "platform/file_stream.h"
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

}  // namespace

bool StatPath(const std::u16string& path, PathInfo* info) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(W(path).c_str(), GetFileExInfoStandard, &data)) return false;
  info->is_folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  info->size = info->is_folder ? 0 : (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  uint64_t ft = (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
  info->mtime_unix = ft >= kUnixEpochFileTime ? static_cast<int64_t>((ft - kUnixEpochFileTime) / 10000000ULL) : 0;
  return true;
}

std::unique_ptr<FileStream> FileStream::Open(const std::u16string& path, bool* not_regular) {
  if (not_regular) *not_regular = false;
  HANDLE h = CreateFileW(W(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
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
