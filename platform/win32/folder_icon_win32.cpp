// The home folder's icon through the shell's folder settings (desktop.ini).
#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include "platform/folder_icon.h"
#include "platform/win32/win_text.h"

namespace nusk {

namespace {

// True when desktop.ini already names an existing icon file with index 1.
bool HasIcon(const std::wstring& folder) {
  std::wstring ini = folder + L"\\desktop.ini";
  wchar_t value[MAX_PATH + 8] = {0};
  GetPrivateProfileStringW(L".ShellClassInfo", L"IconResource", L"", value, MAX_PATH + 8, ini.c_str());
  std::wstring v = value;
  if (v.size() <= 2 || v.compare(v.size() - 2, 2, L",1") != 0) return false;
  return PathFileExistsW(v.substr(0, v.size() - 2).c_str()) != FALSE;
}

}  // namespace

bool EnsureFolderIcon(const std::u16string& folder, const std::u16string& exe_path) {
  std::wstring dir = W(folder);
  while (dir.size() > 3 && dir.back() == L'\\') dir.pop_back();
  if (HasIcon(dir)) return true;
  std::wstring icon = W(exe_path);
  SHFOLDERCUSTOMSETTINGS settings = {};
  settings.dwSize = sizeof(settings);
  settings.dwMask = FCSM_ICONFILE;
  settings.pszIconFile = icon.data();
  settings.cchIconFile = 0;
  settings.iIconIndex = 1;
  return SUCCEEDED(SHGetSetFolderCustomSettings(&settings, dir.c_str(), FCS_FORCEWRITE));
}

}  // namespace nusk
