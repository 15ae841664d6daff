// The main window's notification-area icon and its end, in this process: closing hides
// the window to the icon, a click on the icon restores it, Exit ends the window, removes
// the icon and saves the state; and the icon's menu in English and Japanese.
#include <windows.h>

#include <shellapi.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "gui/instance.h"
#include "gui/tray_icon.h"
#include "l10n/builtin_ui.h"
#include "l10n/mui.h"
#include "platform/win32/win_text.h"
#include "platform/env.h"
#include "settings/setting_keys.h"
#include "tests/gui/window_driver.h"
#include "ui/window_life.h"

namespace nusk::testing {
namespace {

// True while the system holds an icon for (window, 1): modifying it succeeds.
bool IconPresent(HWND window) {
  NOTIFYICONDATAW d{};
  d.cbSize = sizeof(d);
  d.hWnd = window;
  d.uID = 1;
  d.uFlags = NIF_TIP;
  wcscpy(d.szTip, L"Nusk Running..");
  return Shell_NotifyIconW(NIM_MODIFY, &d) != FALSE;
}

class WindowLifeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    index_.File(u"C:\\docs\\report.txt", 10);
    index_.File(u"C:\\docs\\notes.txt", 10);
    index_.Build();
  }
  void TearDown() override { InstallUI(nullptr); }
  TestIndex index_;
};

TEST_F(WindowLifeTest, CloseHidesToTheIconClickRestoresExitEndsRemovesTheIconAndSaves) {
  WindowDriver d(&index_, "[Options]\r\nCloseToTray=1\r\n[WebServer]\r\nRunning=1\r\nip=999.1.1.1\r\n");
  ASSERT_TRUE(d.Open(u"report"));
  HWND window = d.hwnd();
  TrayIcon* tray = d.window().tray();
  ASSERT_TRUE(tray);
  ASSERT_TRUE(tray->shown());
  EXPECT_TRUE(IconPresent(window));

  PostMessageW(window, WM_CLOSE, 0, 0);
  d.Pump(100);
  ASSERT_TRUE(IsWindow(window));
  EXPECT_FALSE(IsWindowVisible(window));
  EXPECT_TRUE(IconPresent(window));
  const SettingsFile settings(index_.home() + u"nusk.ini");
  EXPECT_EQ(GetInteger(settings, SettingId::kLastUIEndTime), 0);  // hiding is no end

  SendMessageW(window, kMsgTrayIcon, 1, WM_LBUTTONUP);
  d.Pump(100);
  EXPECT_TRUE(IsWindowVisible(window));

  // A restored window that was moved keeps its place for the next start.
  MoveWindow(window, 40, 50, 700, 500, TRUE);
  RECT placed;
  GetWindowRect(window, &placed);
  PostMessageW(window, kMsgExitProgram, 0, 0);
  ASSERT_TRUE(PumpUntil(
      &d.window(), [&] { return !IsWindow(window); }, 5000));
  EXPECT_FALSE(tray->shown());
  EXPECT_FALSE(IconPresent(window));
  const std::optional<SavedPlacement> p = ParsePlacement(GetText(settings, SettingId::kWindowPlacement));
  ASSERT_TRUE(p);
  EXPECT_FALSE(p->maximized);
  EXPECT_EQ(p->left, placed.left);
  EXPECT_EQ(p->bottom, placed.bottom);
  EXPECT_GT(GetInteger(settings, SettingId::kLastUIEndTime), 0);
  // The web service could not start on that address: it was not running, and that is saved.
  EXPECT_FALSE(GetFlag(settings, SettingId::kWebServerRunning));
}

TEST_F(WindowLifeTest, WithoutCloseToTrayThereIsNoIconAndCloseEndsWithTheWebServiceRecorded) {
  // A web service that runs at the end is recorded as running, for the next start.
  const std::string port = std::to_string(30000 + GetCurrentProcessId() % 20000);
  WindowDriver d(&index_,
                 "[Options]\r\nCloseToTray=0\r\n[WebServer]\r\nRunning=1\r\nip=127.0.0.1\r\nport=" + port + "\r\n");
  ASSERT_TRUE(d.Open());
  EXPECT_EQ(d.window().tray(), nullptr);
  EXPECT_FALSE(IconPresent(d.hwnd()));
  HWND window = d.hwnd();
  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_TRUE(PumpUntil(
      &d.window(), [&] { return !IsWindow(window); }, 5000));
  EXPECT_TRUE(GetFlag(SettingsFile(index_.home() + u"nusk.ini"), SettingId::kWebServerRunning));
}

// The end of the session ends even a window kept in the tray, with its end recorded.
TEST_F(WindowLifeTest, EndOfSessionSavesTheState) {
  WindowDriver d(&index_, "[Options]\r\nCloseToTray=1\r\n");
  ASSERT_TRUE(d.Open());
  HWND window = d.hwnd();
  SendMessageW(window, WM_ENDSESSION, TRUE, 0);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_FALSE(d.window().tray()->shown());
  EXPECT_GT(GetInteger(SettingsFile(index_.home() + u"nusk.ini"), SettingId::kLastUIEndTime), 0);
}

TEST_F(WindowLifeTest, TheIconMenuHasExitInTheChosenLanguage) {
  for (const bool japanese : {false, true}) {
    if (japanese) {
      auto table = std::make_unique<CJaUI>();
      table->Fill();
      InstallUI(std::move(table));
    }
    WindowDriver d(&index_, "[Options]\r\nCloseToTray=1\r\nNoMinimizeNotification=1\r\n");
    ASSERT_TRUE(d.Open());
    RECT rc;
    GetWindowRect(d.hwnd(), &rc);
    // A helper thread reads the open menu, saves the screen with it and chooses its entry.
    std::wstring entry;
    std::atomic<bool> shot{false};
    std::thread reader([&] {
      HWND menu = nullptr;
      for (int i = 0; i < 500 && !(menu = FindWindowW(L"#32768", nullptr)); ++i) Sleep(10);
      if (!menu) return;
      Sleep(300);  // let it paint
      HMENU items = reinterpret_cast<HMENU>(SendMessageW(menu, MN_GETHMENU, 0, 0));
      wchar_t text[64] = {};
      GetMenuStringW(items, 0, text, 63, MF_BYPOSITION);
      entry = text;
      RECT mr, area = rc;
      GetWindowRect(menu, &mr);
      UnionRect(&area, &area, &mr);
      shot = SaveScreenPng(area, japanese ? "tray_menu_ja" : "tray_menu_en");
      PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);  // highlight the entry, then choose it
      PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
    });
    HWND window = d.hwnd();
    d.window().tray()->ShowMenu({rc.left + 200, rc.top + 120});
    reader.join();
    EXPECT_TRUE(shot);
    EXPECT_EQ(entry, japanese ? L"終了(&X)" : L"E&xit");
    // The entry chosen, the window ends.
    EXPECT_TRUE(PumpUntil(
        &d.window(), [&] { return !IsWindow(window); }, 5000));
  }
}

// A close while the index loads waits for the load, then ends with the state saved.
TEST_F(WindowLifeTest, CloseDuringTheLoadEndsOnceLoaded) {
  index_.dir().WriteFile(u"nusk.ini", "");
  MainWindow window;
  MainWindowConfig config;
  config.home = index_.home();
  config.settings_path = index_.home() + u"nusk.ini";
  config.quit_on_destroy = false;
  // The load is held until the window has been asked to close.
  HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  config.after_load = [go] { WaitForSingleObject(go, 10000); };
  ASSERT_TRUE(window.Create(config));
  HWND hwnd = window.hwnd();
  SendMessageW(hwnd, WM_CLOSE, 0, 0);
  ASSERT_TRUE(IsWindow(hwnd));
  EXPECT_FALSE(window.loaded());
  SetEvent(go);
  EXPECT_TRUE(PumpUntil(
      &window, [&] { return !IsWindow(hwnd); }, 10000));
  EXPECT_EQ(window.results_taken(), 0u);  // no search ran
  EXPECT_GT(GetInteger(SettingsFile(config.settings_path), SettingId::kLastUIEndTime), 0);
  CloseHandle(go);
}

// The text of the shown balloon that carries the hiding notice, or empty.
std::u16string HidingBalloonText() {
  std::u16string found;
  EnumWindows(
      [](HWND w, LPARAM lp) -> BOOL {
        wchar_t cls[64] = {}, text[512] = {};
        GetClassNameW(w, cls, 63);
        if (!IsWindowVisible(w) || lstrcmpiW(cls, L"tooltips_class32") != 0) return TRUE;
        DWORD_PTR got = 0;
        SendMessageTimeoutW(w, WM_GETTEXT, 511, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 1000, &got);
        if (wcsstr(text, L"Nusk is still running")) *reinterpret_cast<std::u16string*>(lp) = U(text);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

// Hiding shows the balloon unless NoMinimizeNotification is 1. The system draws it a few
// seconds later; the English one is also saved as a screenshot.
TEST_F(WindowLifeTest, HidingShowsTheBalloonUnlessSwitchedOff) {
  for (const bool off : {false, true}) {
    WindowDriver d(
        &index_, off ? "[Options]\r\nCloseToTray=1\r\nNoMinimizeNotification=1\r\n" : "[Options]\r\nCloseToTray=1\r\n");
    ASSERT_TRUE(d.Open());
    HWND window = d.hwnd();
    PostMessageW(window, WM_CLOSE, 0, 0);
    PumpUntil(
        &d.window(), [] { return !HidingBalloonText().empty(); }, 5000);
    EXPECT_FALSE(IsWindowVisible(window));
    if (off) {
      EXPECT_EQ(HidingBalloonText(), u"");
    } else {
      EXPECT_EQ(HidingBalloonText(),
                u"Nusk is still running,if you want to exit, use tray icon's context menu.\n"
                u"If you don't want to see this message again, click on it.");
      d.Pump(500);
      EXPECT_TRUE(
          SaveScreenPng({0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN) / 4}, "tray_balloon_en"));
    }
    PostMessageW(window, kMsgExitProgram, 0, 0);  // the icon goes, and its balloon with it
    EXPECT_TRUE(PumpUntil(
        &d.window(), [&] { return !IsWindow(window) && HidingBalloonText().empty(); }, 5000));
  }
}

}  // namespace
}  // namespace nusk::testing
