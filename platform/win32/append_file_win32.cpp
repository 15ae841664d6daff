#include <windows.h>

#include "platform/append_file.h"
#include "platform/system_services.h"
#include "platform/win32/win_text.h"
#include "util/utf.h"

namespace nusk {

namespace {

class Win32AppendFile : public AppendFile {
 public:
  explicit Win32AppendFile(HANDLE h) : h_(h) {}
  ~Win32AppendFile() override { CloseHandle(h_); }

  bool Write(std::string_view bytes) override {
    while (!bytes.empty()) {
      DWORD chunk = bytes.size() > 0x10000000 ? 0x10000000 : static_cast<DWORD>(bytes.size());
      DWORD written = 0;
      if (!WriteFile(h_, bytes.data(), chunk, &written, nullptr) || written == 0) return false;
      bytes.remove_prefix(written);
    }
    return true;
  }

 private:
  HANDLE h_;
};

}  // namespace

Status system_services::NewAppendFile(const std::u16string& path, bool append, std::unique_ptr<AppendFile>* file) {
  DWORD access = append ? FILE_APPEND_DATA : GENERIC_WRITE;
  HANDLE h = CreateFileW(W(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         append ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    return Status::Error("cannot open " + ToUtf8(path) + " (error " + std::to_string(GetLastError()) + ")");
  }
  file->reset(new Win32AppendFile(h));
  return Status::Ok();
}

}  // namespace nusk
