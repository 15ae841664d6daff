// A stand-in preview viewer for the window tests: registers the viewer's window class and
// shows its command-line parameters as the window title (readable from another process),
// then "file:" and each path the window hands it (WM_COPYDATA); it ends when its window is
// closed.
#include <windows.h>

#include <string>

namespace {

LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_COPYDATA) {
    const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lp);
    if (data->dwData != 0x4F525649) return FALSE;
    const std::wstring path(static_cast<const wchar_t*>(data->lpData), data->cbData / sizeof(wchar_t));
    SetWindowTextW(hwnd, (L"file:" + path).c_str());
    return TRUE;
  }
  if (msg == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR params, int) {
  WNDCLASSW wc = {};
  wc.lpfnWndProc = Proc;
  wc.hInstance = instance;
  wc.lpszClassName = L"Orvi_Main_Window";
  if (!RegisterClassW(&wc)) return 2;
  const std::wstring title = L"params:" + std::wstring(params ? params : L"");
  HWND hwnd = CreateWindowW(L"Orvi_Main_Window", title.c_str(), WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, nullptr,
                            instance, nullptr);
  if (!hwnd) return 3;
  ShowWindow(hwnd, SW_SHOWNOACTIVATE);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  return 0;
}
