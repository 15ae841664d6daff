// Looks at a running main window from another process, for the end-to-end script:
//   window_probe wait            waits (10 s at most) until the window exists
//   window_probe count           prints the result list's item count
//   window_probe status          prints the status bar text
//   window_probe settext TEXT    puts TEXT into the search box (WM_SETTEXT, as a paste would)
//   window_probe close           asks the window to close
//   window_probe counts          prints every main window's item count, one line each
//   window_probe answer N TEXT   presses OK on message boxes captioned "Nusk" that say TEXT
//                                until N were answered (15 s at most); prints how many
// Exit status 0 on success, 1 when there is no window, 2 for a bad command line.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <string>

#include "tests/gui/dialog_text.h"

namespace {

using nusk::testing::DialogText;

HWND MainWindow() { return FindWindowW(L"Nusk_Main_Window", nullptr); }

HWND Child(HWND parent, const wchar_t* cls) { return FindWindowExW(parent, nullptr, cls, nullptr); }

// SB_GETTEXTW writes into the caller's memory, so the buffer must live in the window's process.
std::wstring StatusText(HWND status) {
  DWORD pid = 0;
  GetWindowThreadProcessId(status, &pid);
  HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
  if (!process) return L"";
  const size_t chars = 1024;
  void* remote = VirtualAllocEx(process, nullptr, chars * sizeof(wchar_t), MEM_COMMIT, PAGE_READWRITE);
  std::wstring text(chars, L'\0');
  if (remote) {
    SendMessageW(status, SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(remote));
    SIZE_T got = 0;
    ReadProcessMemory(process, remote, text.data(), chars * sizeof(wchar_t), &got);
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  }
  CloseHandle(process);
  text.resize(wcsnlen(text.c_str(), chars));
  return text;
}

// Answers the matching boxes now showing; returns how many.
int AnswerBoxes(const std::wstring& want) {
  int answered = 0;
  HWND dlg = nullptr;
  while ((dlg = FindWindowExW(nullptr, dlg, L"#32770", L"Nusk")) != nullptr) {
    if (IsWindowVisible(dlg) && DialogText(dlg) == want) {
      SendMessageW(dlg, WM_COMMAND, IDOK, 0);
      ++answered;
    }
  }
  return answered;
}

void PrintUtf8(const std::wstring& text) {
  const int n =
      WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
  std::printf("%s\n", out.c_str());
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  const std::wstring cmd = argv[1];
  if (cmd == L"wait") {
    for (int i = 0; i < 200 && !MainWindow(); ++i) Sleep(50);
    return MainWindow() ? 0 : 1;
  }
  if (cmd == L"answer" && argc == 4) {
    const int want = _wtoi(argv[2]);
    int answered = 0;
    for (int i = 0; i < 300 && answered < want; ++i) {
      answered += AnswerBoxes(argv[3]);
      if (answered < want) Sleep(50);
    }
    std::printf("%d\n", answered);
    return answered >= want ? 0 : 1;
  }
  HWND window = MainWindow();
  if (!window) return 1;
  if (cmd == L"counts") {
    for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, L"Nusk_Main_Window", nullptr)) != nullptr;) {
      std::printf("%d\n", static_cast<int>(SendMessageW(Child(w, WC_LISTVIEWW), LVM_GETITEMCOUNT, 0, 0)));
    }
    return 0;
  }
  if (cmd == L"count") {
    std::printf("%d\n", static_cast<int>(SendMessageW(Child(window, WC_LISTVIEWW), LVM_GETITEMCOUNT, 0, 0)));
  } else if (cmd == L"status") {
    PrintUtf8(StatusText(Child(window, STATUSCLASSNAMEW)));
  } else if (cmd == L"settext" && argc == 3) {
    HWND box = Child(window, L"RICHEDIT50W");
    if (!box) box = Child(window, L"EDIT");
    SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[2]));
  } else if (cmd == L"close") {
    PostMessageW(window, WM_CLOSE, 0, 0);
  } else {
    return 2;
  }
  return 0;
}
