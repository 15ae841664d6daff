#include "tests/gui/window_driver.h"

#include <commctrl.h>
#include <shellapi.h>

#include <objidl.h>

#include <algorithm>
using std::max;
using std::min;
#include <gdiplus.h>

#include <gtest/gtest.h>

#include "l10n/builtin_ui.h"
#include "l10n/mui.h"
#include "platform/win32/win_text.h"
#include "tests/gui/dialog_text.h"
#include "util/casemap.h"

namespace nusk::testing {

void SetModifier(int vk, bool down) {
  BYTE state[256];
  GetKeyboardState(state);
  state[vk] = down ? 0x80 : 0;
  SetKeyboardState(state);
}

MessageBoxCatcher::MessageBoxCatcher(int button, std::wstring caption) : button_(button), caption_(std::move(caption)) {
  thread_ = std::thread([this] {
    while (!stop_) {
      HWND dlg = FindWindowW(L"#32770", caption_.c_str());
      if (dlg && IsWindowVisible(dlg)) {
        const std::u16string text = U(DialogText(dlg));
        text_ = text;
        seen_ = true;
        PostMessageW(dlg, WM_COMMAND, button_, 0);
        return;
      }
      Sleep(10);
    }
  });
}

MessageBoxCatcher::~MessageBoxCatcher() {
  stop_ = true;
  thread_.join();
}

std::u16string MessageBoxCatcher::text() const { return seen_ ? text_ : std::u16string(); }

WindowDriver::WindowDriver(TestIndex* index, std::string_view settings_ini) : index_(index) {
  index->dir().WriteFile(u"nusk.ini", settings_ini);
}

WindowDriver::~WindowDriver() {
  if (window_ && IsWindow(window_->hwnd())) {
    PostMessageW(window_->hwnd(), WM_CLOSE, 0, 0);
    PumpUntil(
        window_.get(), [this] { return !IsWindow(window_->hwnd()); }, 5000);
  }
  window_.reset();
  SetModifier(VK_CONTROL, false);
  SetModifier(VK_MENU, false);
}

bool WindowDriver::Open(const std::u16string& initial_text) {
  window_ = std::make_unique<MainWindow>();
  MainWindowConfig config;
  config.home = index_->home();
  config.settings_path = index_->home() + u"nusk.ini";
  config.initial_text = initial_text;
  config.keyboard_speed = 31;
  config.quit_on_destroy = false;
  if (configure) configure(&config);
  if (!window_->Create(config)) return false;
  SetForegroundWindow(window_->hwnd());
  if (!PumpUntil(
          window_.get(), [this] { return window_->results_taken() > 0; }, 10000))
    return false;
  Settle();
  return true;
}

void WindowDriver::Pump(int ms) {
  PumpUntil(
      window_.get(), [] { return false; }, ms);
}

void WindowDriver::Settle() {
  PumpUntil(
      window_.get(), [this] { return !window_->search_timer_pending(); }, 5000);
  if (window_->source()) window_->source()->WaitIdle();
  Pump(20);
}

void WindowDriver::Type(std::u16string_view text) {
  HWND box = window_->search_box();
  SetFocus(box);
  for (char16_t c : text) {
    PostMessageW(box, WM_CHAR, c, 1);
    Pump(1);
  }
  Settle();
}

void WindowDriver::SetText(std::u16string_view text) {
  SendMessageW(window_->search_box(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(W(text).c_str()));
  Settle();
}

void WindowDriver::Key(int vk, bool ctrl, bool alt) {
  SetModifier(VK_CONTROL, ctrl);
  SetModifier(VK_MENU, alt);
  HWND target = GetFocus() ? GetFocus() : window_->hwnd();
  PostMessageW(target, alt ? WM_SYSKEYDOWN : WM_KEYDOWN, vk, 1 | (alt ? (1 << 29) : 0));
  PostMessageW(target, alt ? WM_SYSKEYUP : WM_KEYUP, vk, 0xC0000001 | (alt ? (1 << 29) : 0));
  Pump(30);
  SetModifier(VK_CONTROL, false);
  SetModifier(VK_MENU, false);
  Settle();
}

void WindowDriver::ClickHeader(int pos, bool ctrl) {
  HWND header = ListView_GetHeader(list().hwnd());
  const int index = Header_OrderToIndex(header, pos);
  RECT rc;
  Header_GetItemRect(header, index, &rc);
  const LPARAM at = MAKELPARAM((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
  SetModifier(VK_CONTROL, ctrl);
  PostMessageW(header, WM_LBUTTONDOWN, MK_LBUTTON | (ctrl ? MK_CONTROL : 0), at);
  PostMessageW(header, WM_LBUTTONUP, ctrl ? MK_CONTROL : 0, at);
  Pump(50);
  SetModifier(VK_CONTROL, false);
}

std::u16string WindowDriver::HeaderText(int pos) {
  HWND header = ListView_GetHeader(list().hwnd());
  wchar_t buf[128] = {};
  HDITEMW item = {};
  item.mask = HDI_TEXT;
  item.pszText = buf;
  item.cchTextMax = 127;
  Header_GetItem(header, Header_OrderToIndex(header, pos), &item);
  return U(buf);
}

std::string SavedSettings(TestIndex& index) {
  std::string bytes;
  Env::Default()->ReadWholeFile(index.home() + u"nusk.ini", &bytes);
  return bytes;
}

bool SaveScreenPng(RECT rc, const std::string& name) {
  const int w = rc.right - rc.left, h = rc.bottom - rc.top;
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  HBITMAP bmp = CreateCompatibleBitmap(screen, w, h);
  HGDIOBJ old = SelectObject(mem, bmp);
  BitBlt(mem, 0, 0, w, h, screen, rc.left, rc.top, SRCCOPY);
  SelectObject(mem, old);
  Gdiplus::GdiplusStartupInput input;
  ULONG_PTR token = 0;
  bool ok = Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok;
  if (ok) {
    const std::string dir = std::string(NUSK_BINARY_DIR) + "/screenshots";
    CreateDirectoryW(W(FromUtf8(dir)).c_str(), nullptr);
    const std::wstring path = W(FromUtf8(dir + "/" + name + ".png"));
    static const CLSID kPng = {0x557CF406, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
    {
      Gdiplus::Bitmap bitmap(bmp, nullptr);
      ok = bitmap.Save(path.c_str(), &kPng, nullptr) == Gdiplus::Ok;
    }
    Gdiplus::GdiplusShutdown(token);
  }
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return ok;
}

bool WindowDriver::Screenshot(const std::string& name) {
  RedrawWindow(hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
  Pump(150);
  RECT rc;
  GetWindowRect(hwnd(), &rc);
  // A shown popup (the completion list) may reach below the window.
  HWND popup = window_->box().completion_popup();
  if (popup && IsWindowVisible(popup)) {
    RECT pr;
    GetWindowRect(popup, &pr);
    UnionRect(&rc, &rc, &pr);
  }
  return SaveScreenPng(rc, name);
}

bool ScreenshotWithMenu(HWND window, const std::function<void()>& open, const std::string& name, int submenu) {
  std::atomic<bool> saved{false};
  std::thread shooter([&] {
    for (int i = 0; i < 500; ++i) {
      HWND menu = FindWindowW(L"#32768", nullptr);
      if (menu && IsWindowVisible(menu)) {
        if (submenu >= 0) {
          for (int k = 0; k <= submenu; ++k) PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);
          PostMessageW(menu, WM_KEYDOWN, VK_RIGHT, 0);
        }
        Sleep(submenu >= 0 ? 600 : 300);  // let it paint
        RECT rc, mr;
        GetWindowRect(window, &rc);
        for (HWND m = FindWindowExW(nullptr, nullptr, L"#32768", nullptr); m;
             m = FindWindowExW(nullptr, m, L"#32768", nullptr)) {
          if (IsWindowVisible(m) && GetWindowRect(m, &mr)) UnionRect(&rc, &rc, &mr);
        }
        saved = SaveScreenPng(rc, name);
        for (int k = submenu >= 0 ? 3 : 1; k > 0; --k) PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
        return;
      }
      Sleep(10);
    }
  });
  open();
  shooter.join();
  return saved;
}

std::u16string WindowText(HWND w) {
  wchar_t buf[1024] = {};
  DWORD_PTR got = 0;
  SendMessageTimeoutW(w, WM_GETTEXT, 1023, reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG, 5000, &got);
  return U(buf);
}

std::u16string ClipboardText() {
  std::u16string text;
  if (!OpenClipboard(nullptr)) return text;
  if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
    text = U(static_cast<const wchar_t*>(GlobalLock(h)));
    GlobalUnlock(h);
  }
  CloseClipboard();
  return text;
}

std::vector<std::u16string> ClipboardFiles() {
  std::vector<std::u16string> files;
  if (!OpenClipboard(nullptr)) return files;
  if (HDROP drop = static_cast<HDROP>(GetClipboardData(CF_HDROP))) {
    const UINT n = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < n; ++i) {
      wchar_t buf[MAX_PATH] = {};
      DragQueryFileW(drop, i, buf, MAX_PATH);
      files.push_back(U(buf));
    }
  }
  CloseClipboard();
  return files;
}

PopupEntries ReadPopup(const std::function<void()>& open, int choose) {
  PopupEntries seen;
  std::thread reader([&] {
    for (int i = 0; i < 500; ++i, Sleep(10)) {
      HWND m = nullptr;
      for (HWND w = FindWindowExW(nullptr, nullptr, L"#32768", nullptr); w && !m;
           w = FindWindowExW(nullptr, w, L"#32768", nullptr)) {
        if (IsWindowVisible(w)) m = w;
      }
      if (!m) continue;
      HMENU menu = reinterpret_cast<HMENU>(SendMessageW(m, MN_GETHMENU, 0, 0));
      for (int k = 0; k < GetMenuItemCount(menu); ++k) {
        wchar_t buf[256] = {};
        GetMenuStringW(menu, k, buf, 255, MF_BYPOSITION);
        seen.ids.push_back(GetMenuItemID(menu, k));
        seen.texts.push_back(U(buf));
        seen.grey.push_back(GetMenuState(menu, k, MF_BYPOSITION) & MF_GRAYED);
      }
      for (int k = 0; k < choose; ++k) PostMessageW(m, WM_KEYDOWN, VK_DOWN, 0);
      PostMessageW(m, WM_KEYDOWN, choose ? VK_RETURN : VK_ESCAPE, 0);
      return;
    }
  });
  open();
  reader.join();
  return seen;
}

void InEachLanguage(std::initializer_list<std::string_view> codes,
                    const std::function<void(const std::string& code)>& each) {
  for (std::string_view code : codes) {
    std::unique_ptr<CMUI> table;
    if (code == "de") table = std::make_unique<CDeUI>();
    if (code == "ja") table = std::make_unique<CJaUI>();
    ASSERT_TRUE(table || code == "en") << code;
    if (table) table->Fill();
    InstallUI(std::move(table));
    each(std::string(code));
  }
  InstallUI(nullptr);
}

size_t CountNamesContaining(const std::vector<std::u16string>& paths, std::u16string_view part) {
  const std::u16string lower = ToLower(part);
  size_t n = 0;
  for (const std::u16string& p : paths) {
    const std::u16string name = ToLower(p.substr(p.rfind(u'\\') + 1));
    if (name.find(lower) != std::u16string::npos) ++n;
  }
  return n;
}

}  // namespace nusk::testing
