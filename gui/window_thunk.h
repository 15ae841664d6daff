// The window procedure of a class whose windows belong to a C++ object: the object is passed
// as the creation parameter, kept in GWLP_USERDATA, and each message goes to its Handle().
// Messages before WM_NCCREATE and after the pointer is cleared go to DefWindowProcW. The
// object records its own handle (hwnd_) at WM_NCCREATE, before any other message.
#pragma once
#include <windows.h>

namespace nusk {

template <typename T>
LRESULT CALLBACK ObjectWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    T* self = static_cast<T*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    self->AttachWindow(hwnd);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  T* self = reinterpret_cast<T*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
  return self->Handle(msg, wp, lp);
}

// Registers (once per process) a window class whose windows belong to objects of T.
template <typename T>
bool RegisterObjectWindowClass(const wchar_t* name) {
  static const bool registered = [name] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = ObjectWindowProc<T>;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = name;
    return RegisterClassExW(&wc) != 0;
  }();
  return registered;
}

}  // namespace nusk
