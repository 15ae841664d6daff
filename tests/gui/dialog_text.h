// The text of a message box: its static controls' texts joined (shared by the in-process
// window driver and the out-of-process probe).
#pragma once
#include <windows.h>

#include <string>

namespace nusk::testing {

inline std::wstring DialogText(HWND dlg) {
  std::wstring text;
  EnumChildWindows(
      dlg,
      [](HWND child, LPARAM lp) -> BOOL {
        wchar_t cls[32] = {}, buf[1024] = {};
        GetClassNameW(child, cls, 31);
        if (lstrcmpiW(cls, L"Static") == 0 && GetWindowTextW(child, buf, 1023) > 0) {
          *reinterpret_cast<std::wstring*>(lp) += buf;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&text));
  return text;
}

}  // namespace nusk::testing
