// Env over the Win32 API: wide-character file functions, named mutexes, FILETIME clocks.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "platform/env.h"
#include "platform/system_services.h"
#include "platform/win32/win_text.h"
#include "util/utf.h"

namespace nusk {

namespace {

Status LastError(const char* what, const std::u16string& path) {
  DWORD err = GetLastError();
  wchar_t buf[512] = {0};
  FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, err, 0, buf, 511, nullptr);
  std::u16string msg = U(buf);
  while (!msg.empty() && (msg.back() == u'\n' || msg.back() == u'\r' || msg.back() == u' ')) msg.pop_back();
  return Status::Error(std::string(what) + " " + ToUtf8(path) + ": " + ToUtf8(msg) + " (error " + std::to_string(err) +
                       ")");
}

uint64_t FtToU64(const FILETIME& ft) { return (uint64_t(ft.dwHighDateTime) << 32) | ft.dwLowDateTime; }

class HandleCloser {
 public:
  explicit HandleCloser(HANDLE h) : h_(h) {}
  ~HandleCloser() {
    if (h_ != INVALID_HANDLE_VALUE && h_ != nullptr) CloseHandle(h_);
  }
  HANDLE get() const { return h_; }

 private:
  HANDLE h_;
};

// The build lock of a folder as a named mutex in the machine-wide namespace. Windows
// mutexes are re-entrant for the owning thread, so a second object of the same thread
// takes it again; other threads and processes are refused.
class Win32FolderLock : public NamedMutex {
 public:
  explicit Win32FolderLock(std::wstring name) : name_(std::move(name)) {}
  ~Win32FolderLock() override {
    Unlock();
    if (handle_) CloseHandle(handle_);
  }
  Status TryLock(bool* taken) override {
    *taken = held_;
    if (held_) return Status::Ok();
    if (!handle_) {
      handle_ = CreateMutexW(nullptr, FALSE, name_.c_str());
      // The mutex exists and belongs to a process with more rights (an elevated build or
      // a service): that is a running build. Falling back to a session-local name would
      // let this build run beside it, and the last index written would win.
      if (!handle_ && GetLastError() == ERROR_ACCESS_DENIED) return Status::Ok();
      if (!handle_) return Status::Error("cannot create the build lock (error " + std::to_string(GetLastError()) + ")");
    }
    DWORD r = WaitForSingleObject(handle_, 0);
    held_ = (r == WAIT_OBJECT_0 || r == WAIT_ABANDONED);
    *taken = held_;
    return Status::Ok();
  }
  void Unlock() override {
    if (held_) ReleaseMutex(handle_);
    held_ = false;
  }

 private:
  std::wstring name_;
  HANDLE handle_ = nullptr;
  bool held_ = false;
};

// A read-only view of a whole file mapped into memory; the mapping outlives the handles.
class Win32MappedView : public FileView {
 public:
  Win32MappedView(const void* base, size_t size) : base_(base), size_(size) {}
  ~Win32MappedView() override { UnmapViewOfFile(base_); }
  std::string_view bytes() const override { return {static_cast<const char*>(base_), size_}; }

 private:
  const void* base_;
  size_t size_;
};

class Win32Env : public SystemServicesEnv {
 public:
  char16_t PathSeparator() const override { return u'\\'; }

  Status ReadWholeFile(const std::u16string& path, std::string* bytes) override {
    bytes->clear();
    HandleCloser h(CreateFileW(W(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (h.get() == INVALID_HANDLE_VALUE) return LastError("cannot open", path);
    LARGE_INTEGER size;
    if (!GetFileSizeEx(h.get(), &size)) return LastError("cannot examine", path);
    bytes->resize(static_cast<size_t>(size.QuadPart));
    size_t done = 0;
    while (done < bytes->size()) {
      DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes->size() - done, 1u << 30));
      DWORD got = 0;
      if (!ReadFile(h.get(), bytes->data() + done, chunk, &got, nullptr) || got == 0) {
        bytes->clear();
        return LastError("cannot read", path);
      }
      done += got;
    }
    return Status::Ok();
  }

  // Pages come from the system's file cache as they are touched, as with mmap on POSIX.
  // FILE_SHARE_DELETE lets a commit move the mapped file aside: Windows refuses to delete
  // or replace a file while a view of it exists, but renames it (search_snapshot.cpp).
  Status MapWholeFile(const std::u16string& path, std::unique_ptr<FileView>* view) override {
    HandleCloser h(CreateFileW(W(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_RANDOM_ACCESS, nullptr));
    if (h.get() == INVALID_HANDLE_VALUE) return LastError("cannot open", path);
    LARGE_INTEGER size;
    if (!GetFileSizeEx(h.get(), &size)) return LastError("cannot examine", path);
    // An empty file cannot be mapped; its view is the empty one that reading gives.
    if (size.QuadPart == 0) return ViewWholeFile(path, view);
    if (static_cast<uint64_t>(size.QuadPart) > SIZE_MAX) return Status::Error("too large to map: " + ToUtf8(path));
    HandleCloser mapping(CreateFileMappingW(h.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!mapping.get()) return LastError("cannot map", path);
    const void* base = MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0);
    if (!base) return LastError("cannot map", path);
    *view = std::make_unique<Win32MappedView>(base, static_cast<size_t>(size.QuadPart));
    return Status::Ok();
  }

  Status WriteWholeFile(const std::u16string& path, std::string_view bytes, bool flush) override {
    HandleCloser h(
        CreateFileW(W(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (h.get() == INVALID_HANDLE_VALUE) return LastError("cannot create", path);
    size_t done = 0;
    while (done < bytes.size()) {
      DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
      DWORD put = 0;
      if (!WriteFile(h.get(), bytes.data() + done, chunk, &put, nullptr) || put == 0)
        return LastError("cannot write", path);
      done += put;
    }
    if (flush && !FlushFileBuffers(h.get())) return LastError("cannot flush", path);
    return Status::Ok();
  }

  Status RenameFile(const std::u16string& from, const std::u16string& to) override {
    if (!MoveFileExW(W(from).c_str(), W(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      return LastError("cannot rename", from);
    return Status::Ok();
  }

  Status RemoveFile(const std::u16string& path) override {
    if (!DeleteFileW(W(path).c_str())) {
      DWORD err = GetLastError();
      if (err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND) return Status::Ok();
      return LastError("cannot delete", path);
    }
    return Status::Ok();
  }

  bool FileExists(const std::u16string& path) override {
    DWORD a = GetFileAttributesW(W(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
  }

  bool FolderExists(const std::u16string& path) override {
    DWORD a = GetFileAttributesW(W(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
  }

  bool IdentifyFile(const std::u16string& path, FileIdentity* id) override {
    // Opened for its attributes only, sharing everything, so a writer is never kept out.
    HandleCloser h(CreateFileW(W(path).c_str(), FILE_READ_ATTRIBUTES,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                               nullptr));
    if (h.get() == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(h.get(), &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
      return false;
    id->size = (uint64_t(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    id->write_time = FtToU64(info.ftLastWriteTime);
    id->volume = info.dwVolumeSerialNumber;
    id->file_id = (uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    // NTFS also keeps a change time that programs cannot set back; other file systems
    // may not answer, and the write time stands alone.
    FILE_BASIC_INFO basic;
    id->change_time = GetFileInformationByHandleEx(h.get(), FileBasicInfo, &basic, sizeof(basic))
                          ? static_cast<uint64_t>(basic.ChangeTime.QuadPart)
                          : 0;
    return true;
  }

  int64_t FileSize(const std::u16string& path) override {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(W(path).c_str(), GetFileExInfoStandard, &data)) return -1;
    return static_cast<int64_t>((uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
  }

  Status CreateFolder(const std::u16string& path) override {
    if (!CreateDirectoryW(W(path).c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
      return LastError("cannot create folder", path);
    return Status::Ok();
  }

  Status RemoveFolder(const std::u16string& path) override {
    if (!RemoveDirectoryW(W(path).c_str())) {
      DWORD err = GetLastError();
      if (err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND) return Status::Ok();
      return LastError("cannot delete folder", path);
    }
    return Status::Ok();
  }

  Status SyncFolder(const std::u16string&) override { return Status::Ok(); }

  Status ListFolder(const std::u16string& path, const std::function<bool(const DirEntry&)>& on_entry) override {
    std::wstring pattern = W(path);
    if (!pattern.empty() && pattern.back() != L'\\') pattern += L'\\';
    pattern += L'*';
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &fd, FindExSearchNameMatch, nullptr,
                                FIND_FIRST_EX_LARGE_FETCH);
    if (h == INVALID_HANDLE_VALUE) {
      if (GetLastError() == ERROR_FILE_NOT_FOUND) return Status::Ok();
      return LastError("cannot list", path);
    }
    DirEntry e;
    do {
      if (wcscmp(fd.cFileName, L".") == 0 || wcscmp(fd.cFileName, L"..") == 0) continue;
      e.name = U(fd.cFileName);
      e.is_folder = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
      e.is_link = (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
      e.size = e.is_folder ? 0 : ((uint64_t(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow);
      e.mtime = FtToU64(fd.ftLastWriteTime);
      e.attributes = fd.dwFileAttributes;
      if (!on_entry(e)) break;
    } while (FindNextFileW(h, &fd));
    FindClose(h);
    return Status::Ok();
  }

  std::u16string ExecutablePath() override {
    wchar_t buf[MAX_PATH + 1] = {0};
    DWORD n = GetModuleFileNameW(nullptr, buf, MAX_PATH);
    return U(std::wstring_view(buf, n));
  }

  uint64_t NowFileTime() override {
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    return FtToU64(ft);
  }

  uint64_t MonotonicMs() override { return GetTickCount64(); }

  std::unique_ptr<NamedMutex> CreateFolderLock(const std::u16string& folder, const std::u16string& tag) override {
    std::u16string name = u"Global\\";
    for (char16_t c : folder) name.push_back(c == u'\\' ? u'/' : c);
    return std::make_unique<Win32FolderLock>(W(name + u"|" + tag));
  }

  void DebugOutput(std::u16string_view text) override { OutputDebugStringW(W(text).c_str()); }

  std::u16string GetEnvVar(std::u16string_view name) override {
    wchar_t buf[4096];
    DWORD n = GetEnvironmentVariableW(W(name).c_str(), buf, 4096);
    if (n == 0 || n >= 4096) return std::u16string();
    return U(std::wstring_view(buf, n));
  }
};

}  // namespace

Env* Env::Default() {
  static Win32Env env;
  return &env;
}

}  // namespace nusk
