#include <windows.h>

#include "platform/volume_lister.h"
#include "platform/system_services.h"
#include "platform/win32/win_text.h"
#include "util/utf.h"

namespace nusk {

namespace {

class Win32VolumeLister : public VolumeLister {
 public:
  Status List(const std::u16string& folder, std::vector<VolumeEntry>* entries) override {
    entries->clear();
    std::wstring pattern = W(folder) + L"*";
    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                                FIND_FIRST_EX_LARGE_FETCH);
    if (h == INVALID_HANDLE_VALUE) {
      return Status::Error(ToUtf8(folder) + " (error " + std::to_string(GetLastError()) + ")");
    }
    do {
      const wchar_t* n = data.cFileName;
      if (n[0] == L'.' && (n[1] == 0 || (n[1] == L'.' && n[2] == 0))) continue;
      VolumeEntry e;
      e.name = U(n);
      e.attributes = data.dwFileAttributes;
      e.is_folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
      e.no_descend = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
      e.size = e.is_folder ? 0 : (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
      e.mtime = (uint64_t(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
      entries->push_back(std::move(e));
    } while (FindNextFileW(h, &data));
    FindClose(h);
    return Status::Ok();
  }
};

}  // namespace

Status system_services::NewVolumeLister(const std::u16string& root, std::unique_ptr<VolumeLister>* lister) {
  DWORD attrs = GetFileAttributesW(W(root).c_str());
  if (attrs == INVALID_FILE_ATTRIBUTES || !(attrs & FILE_ATTRIBUTE_DIRECTORY)) {
    return Status::Error(ToUtf8(root) + ": cannot be listed (error " + std::to_string(GetLastError()) + ")");
  }
  lister->reset(new Win32VolumeLister());
  return Status::Ok();
}

}  // namespace nusk
