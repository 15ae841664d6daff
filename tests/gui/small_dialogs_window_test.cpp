// The tip-of-the-day, statistics and web-server dialogs over the real main window in this
// process. Each dialog runs modally on the test thread; a helper thread finds it by its
// caption and works its controls (SendMessage runs the handlers on the dialog's thread).
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

#include "gui/resource.h"
#include "gui/small_dialogs.h"
#include "l10n/builtin_ui.h"
#include "l10n/mui.h"
#include "platform/socket.h"
#include "platform/win32/win_text.h"
#include "tests/gui/window_driver.h"
#include "tests/gui/dialog_text.h"
#include "tests/web/one_shot_server.h"
#include "ui/status_text.h"
#include "ui/tips.h"
#include "util/utf.h"
#include "util/version.h"

namespace nusk::testing {
namespace {

std::u16string Item(HWND dlg, int id) {
  wchar_t buf[512] = {};
  GetDlgItemTextW(dlg, id, buf, 511);
  return U(buf);
}

void Click(HWND dlg, int id) { SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(dlg, id)); }

// Runs `show` (a modal dialog) and, from a helper thread, `steps` on the dialog with this
// caption once it is visible; then saves a screenshot when `shot` is given and closes it.
// False when the dialog never appeared.
bool WithDialog(const std::wstring& caption, const std::function<void()>& show, const std::function<void(HWND)>& steps,
                const std::string& shot = "") {
  std::atomic<bool> found{false};
  std::thread helper([&] {
    for (int i = 0; i < 1000; ++i) {
      HWND dlg = FindWindowW(L"#32770", caption.c_str());
      if (dlg && IsWindowVisible(dlg)) {
        found = true;
        Sleep(200);  // let it paint
        steps(dlg);
        if (!shot.empty()) {
          RedrawWindow(dlg, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
          Sleep(300);
          RECT rc;
          GetWindowRect(dlg, &rc);
          EXPECT_TRUE(SaveScreenPng(rc, shot));
        }
        PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
        return;
      }
      Sleep(10);
    }
    // Never found under that caption: close whatever dialog is up, so the test ends.
    if (HWND other = FindWindowW(L"#32770", nullptr)) PostMessageW(other, WM_COMMAND, IDCANCEL, 0);
  });
  show();
  helper.join();
  return found;
}

void InstallJapanese() {
  auto table = std::make_unique<CJaUI>();
  table->Fill();
  InstallUI(std::move(table));
}

class SmallDialogsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    index_.File(u"C:\\docs\\a.txt", 10, 1500000000);
    index_.File(u"C:\\docs\\b.txt", 10, 1500000000);
    index_.File(u"C:\\music\\c.mp3", 10, 1500000000);
    index_.File(u"D:\\d.md", 10, 1500000000);
    index_.Build();
  }
  void TearDown() override { InstallUI(nullptr); }
  TestIndex index_;
};

TEST_F(SmallDialogsTest, TipOfTheDayStepsFromTheStoredIndexAndWritesItsSettings) {
  WindowDriver d(&index_, "[Global]\r\nShowTipOnStartup=1\r\nDefaultTodIndex=7\r\n");
  ASSERT_TRUE(d.Open());
  std::vector<std::u16string> shown;
  ASSERT_TRUE(WithDialog(
      L"Tip of the Day", [&] { d.window().Command(IDM_HELP_TIP_OF_THE_DAY); },
      [&](HWND dlg) {
        shown.push_back(Item(dlg, IDC_TIP_TEXT));
        Click(dlg, IDC_TIP_NEXT);  // past the last tip: the first
        shown.push_back(Item(dlg, IDC_TIP_TEXT));
        Click(dlg, IDC_TIP_PREVIOUS);
        Click(dlg, IDC_TIP_PREVIOUS);
        shown.push_back(Item(dlg, IDC_TIP_TEXT));
        EXPECT_EQ(IsDlgButtonChecked(dlg, IDC_TIP_SHOW_ON_STARTUP), BST_CHECKED);
        SendMessageW(GetDlgItem(dlg, IDC_TIP_SHOW_ON_STARTUP), BM_CLICK, 0, 0);
      },
      "tip_of_the_day_en"));
  EXPECT_EQ(shown, (std::vector<std::u16string>{EnglishTip(7), EnglishTip(0), EnglishTip(6)}));
  const std::string ini = SavedSettings(index_);
  EXPECT_NE(ini.find("ShowTipOnStartup=0"), std::string::npos) << ini;
  EXPECT_NE(ini.find("DefaultTodIndex=7"), std::string::npos) << ini;  // the tip after the last one shown

  // The next opening starts there, with the box off.
  ASSERT_TRUE(WithDialog(
      L"Tip of the Day", [&] { ShowTipOfTheDay(d.hwnd(), index_.home() + u"nusk.ini"); },
      [&](HWND dlg) {
        EXPECT_EQ(Item(dlg, IDC_TIP_TEXT), EnglishTip(7));
        EXPECT_EQ(IsDlgButtonChecked(dlg, IDC_TIP_SHOW_ON_STARTUP), BST_UNCHECKED);
      }));
}

TEST_F(SmallDialogsTest, TipOfTheDayInJapanese) {
  InstallJapanese();
  WindowDriver d(&index_, "[Global]\r\nShowTipOnStartup=1\r\n");
  ASSERT_TRUE(d.Open());
  std::u16string text;
  ASSERT_TRUE(WithDialog(
      W(u"今日のヒント"), [&] { d.window().Command(IDM_HELP_TIP_OF_THE_DAY); },
      [&](HWND dlg) { text = Item(dlg, IDC_TIP_TEXT); }, "tip_of_the_day_ja"));
  EXPECT_EQ(text, Tr(TipKey(0), nullptr));
  EXPECT_NE(text, EnglishTip(0));
}

TEST(SmallDialogs, StatisticsShowTheLoadedIndex) {
  TestIndex index;
  index.File(u"C:\\docs\\a.txt", 10, 1500000000);
  index.File(u"C:\\docs\\b.txt", 10, 1500000000);
  index.File(u"C:\\music\\c.mp3", 10, 1500000000);
  index.File(u"D:\\d.md", 10, 1500000000);
  index.Build(/*all_drives=*/true);
  for (int lang = 0; lang < 2; ++lang) {
    if (lang == 1) InstallJapanese();
    WindowDriver d(&index, "");
    ASSERT_TRUE(d.Open());
    std::u16string all, folders, files, built;
    const std::wstring caption = lang ? W(u"統計情報") : L"Statistics";
    ASSERT_TRUE(WithDialog(
        caption, [&] { d.window().Command(IDM_DATABASE_STATISTICS); },
        [&](HWND dlg) {
          all = Item(dlg, IDC_STAT_ALL);
          folders = Item(dlg, IDC_STAT_FOLDERS);
          files = Item(dlg, IDC_STAT_FILES);
          built = Item(dlg, IDC_STAT_BUILD);
        },
        lang ? "statistics_ja" : "statistics_en"));
    EXPECT_EQ(files, u"4");
    EXPECT_EQ(std::stoi(ToUtf8(all)), std::stoi(ToUtf8(folders)) + 4);
    EXPECT_GE(std::stoi(ToUtf8(folders)), 3);       // at least docs, music and the drive roots
    EXPECT_EQ(built.size(), 19u) << ToUtf8(built);  // "yyyy-mm-dd hh:mm:ss": the fixture is a full build
  }
  InstallUI(nullptr);
}

bool Listening(uint16_t port) {
  net::InitSockets();
  net::SocketHandle s = net::kNoSocket;
  const bool ok = net::Connect("127.0.0.1", port, 2000, &s).ok();
  if (s != net::kNoSocket) net::Close(s);
  return ok;
}

TEST_F(SmallDialogsTest, WebServerStartsAndStopsWithTheFieldsAndWritesThemBack) {
  const uint16_t port = static_cast<uint16_t>(20000 + GetCurrentProcessId() % 20000);
  WindowDriver d(&index_, "[WebServer]\r\nport=abc\r\n");
  ASSERT_TRUE(d.Open());
  std::vector<std::u16string> opened;
  const std::wstring port_text = std::to_wstring(port);
  auto show = [&] {
    ShowWebServerDialog(d.hwnd(), &d.window(), index_.home() + u"nusk.ini",
                        [&](const std::u16string& a) { opened.push_back(a); });
  };
  ASSERT_TRUE(WithDialog(
      L"Web Server", show,
      [&](HWND dlg) {
        EXPECT_EQ(Item(dlg, IDC_WEB_PORT), u"8080");  // a damaged port reads as the default
        EXPECT_EQ(Item(dlg, IDC_WEB_START), u"Start");
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dlg, IDC_WEB_PORT)));
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dlg, IDC_WEB_BROWSER)));
        // A port that is no port: a warning, nothing starts.
        SetDlgItemTextW(dlg, IDC_WEB_PORT, L"70000");
        {
          MessageBoxCatcher warn(IDOK);
          Click(dlg, IDC_WEB_START);
          EXPECT_TRUE(warn.seen());
          EXPECT_NE(warn.text().find(u"65535"), std::u16string::npos);
        }
        EXPECT_FALSE(d.window().web_server_running());
        SetDlgItemTextW(dlg, IDC_WEB_IP, L" 127.0.0.1 ");
        SetDlgItemTextW(dlg, IDC_WEB_PORT, port_text.c_str());
        SetDlgItemTextW(dlg, IDC_WEB_USER, L"ann");
        SetDlgItemTextW(dlg, IDC_WEB_PASSWORD, L"s3cret");
        Click(dlg, IDC_WEB_START);
        EXPECT_TRUE(d.window().web_server_running());
        EXPECT_TRUE(Listening(port));
        EXPECT_EQ(Item(dlg, IDC_WEB_START), u"Stop");
        for (int id : {IDC_WEB_IP, IDC_WEB_PORT, IDC_WEB_USER, IDC_WEB_PASSWORD})
          EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dlg, id))) << id;
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dlg, IDC_WEB_BROWSER)));
        Click(dlg, IDC_WEB_BROWSER);
      },
      "web_server_en"));
  EXPECT_EQ(opened, (std::vector<std::u16string>{u"http://127.0.0.1:" + U(port_text) + u"/"}));
  std::string ini = SavedSettings(index_);
  for (const std::string& want :
       std::vector<std::string>{"ip=127.0.0.1\r\n", "userName=ann", "password=s3cret", "port=" + ToUtf8(U(port_text))})
    EXPECT_NE(ini.find(want), std::string::npos) << want << "\n" << ini;

  // Opened again while it runs: Stop frees the port and unlocks the fields.
  ASSERT_TRUE(WithDialog(L"Web Server", show, [&](HWND dlg) {
    EXPECT_EQ(Item(dlg, IDC_WEB_START), u"Stop");
    EXPECT_EQ(Item(dlg, IDC_WEB_USER), u"ann");
    Click(dlg, IDC_WEB_START);
    EXPECT_FALSE(d.window().web_server_running());
    EXPECT_FALSE(Listening(port));
    EXPECT_EQ(Item(dlg, IDC_WEB_START), u"Start");
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dlg, IDC_WEB_IP)));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dlg, IDC_WEB_BROWSER)));
  }));
}

TEST_F(SmallDialogsTest, WebServerDialogInJapanese) {
  InstallJapanese();
  WindowDriver d(&index_, "");
  ASSERT_TRUE(d.Open());
  std::u16string button;
  ASSERT_TRUE(WithDialog(
      W(u"Web サーバー"), [&] { d.window().Command(IDM_TOOLS_WEB_SERVER); },
      [&](HWND dlg) { button = Item(dlg, IDC_WEB_START); }, "web_server_ja"));
  EXPECT_EQ(button, u"開始");
}

TEST_F(SmallDialogsTest, UpdateCheckAgainstALocalServer) {
  struct Case {
    const char* reply;
    bool silent;
    bool configured;
    std::u16string_view text;
  } cases[] = {
      {"HTTP/1.0 200 OK\r\n\r\n" NUSK_VERSION "\r\n", false, true, u"Nusk is update to date!"},
      {"HTTP/1.0 200 OK\r\n\r\n4.5.1\r\n", false, true,
       u"A new version of Nusk(4.5.1) is available.\nWould you want to download it now?"},
      {"HTTP/1.0 200 OK\r\n\r\n", false, true, u"Failed to read latest version info from Nusk website."},
      {"", true, true, u"Failed to read latest version info from Nusk website."},
      {"HTTP/1.0 200 OK\r\n\r\n" NUSK_VERSION, false, false, u"No update check is configured"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reply);
    OneShotServer server(c.reply, c.silent);
    const std::string url = "http://127.0.0.1:" + std::to_string(server.port()) + "/nusk/ver.txt";
    WindowDriver d(&index_, c.configured ? "[Global]\r\nUpdateCheckUrl=" + url + "\r\n" : std::string());
    ASSERT_TRUE(d.Open());
    const std::u16string before = d.window().StatusText();
    const auto start = std::chrono::steady_clock::now();
    std::u16string shown;
    {
      MessageBoxCatcher box(IDCANCEL, L"Check for updates");
      d.window().Command(IDM_HELP_CHECK_UPDATES);
      ASSERT_TRUE(box.seen());
      shown = box.text();
    }
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(shown.rfind(c.text, 0), 0u) << ToUtf8(shown);
    EXPECT_EQ(d.window().StatusText(), before) << "the pushed status text is popped";
    const std::string request = server.request();
    if (c.silent) {
      EXPECT_GE(ms, 4900);
      EXPECT_LE(ms, 7000);
    } else if (c.configured) {
      EXPECT_EQ(request.rfind("GET /nusk/ver.txt?_rnd=", 0), 0u) << request;
    } else {
      EXPECT_EQ(request, "") << "no request without a configured address";
    }
  }
}

TEST_F(SmallDialogsTest, UpdateCheckBoxesInEnglishAndJapanese) {
  for (int lang = 0; lang < 2; ++lang) {
    if (lang == 1) InstallJapanese();
    OneShotServer server("HTTP/1.0 200 OK\r\n\r\n4.5.1", false);
    WindowDriver d(&index_, "[Global]\r\nUpdateCheckUrl=http://127.0.0.1:" + std::to_string(server.port()) + "/v\r\n");
    ASSERT_TRUE(d.Open());
    std::u16string text;
    const std::wstring caption = lang ? W(u"更新の確認") : L"Check for updates";
    ASSERT_TRUE(WithDialog(
        caption, [&] { d.window().Command(IDM_HELP_CHECK_UPDATES); }, [&](HWND dlg) { text = U(DialogText(dlg)); },
        lang ? "update_check_ja" : "update_check_en"));
    EXPECT_NE(text.find(u"(4.5.1)"), std::u16string::npos) << ToUtf8(text);
    if (lang == 1) { EXPECT_EQ(text, FillPlaceholders(Tr(u"MSG.NEW_VERSION_AVAILABLE", nullptr), {u"4.5.1"})); }
  }
}

// The viewer's title shows what it was given: "params:" and its command line, then
// "file:" and the last path the window handed it.
TEST_F(SmallDialogsTest, PreviewStartsFollowsTheSelectionAndClosesTheViewer) {
  WindowDriver d(&index_, "[UIState]\r\nToolbarState=74,1\r\n");
  ASSERT_TRUE(d.Open());
  const HWND bar = d.window().toolbar().toolbar();
  const auto pressed = [&] { return SendMessageW(bar, TB_ISBUTTONCHECKED, IDM_TOOLS_PREVIEW_WINDOW, 0) != 0; };
  d.Type(u"a.txt");
  d.window().Command(IDM_EDIT_SELECT_ALL);
  ASSERT_EQ(d.list().SelectedRows().size(), 1u);
  EXPECT_FALSE(pressed());
  d.window().Command(IDM_TOOLS_PREVIEW_WINDOW);  // Orvi.exe beside this test program
  HWND viewer = nullptr;
  for (int i = 0; i < 200 && !viewer; ++i) {
    d.Pump(50);
    viewer = FindWindowW(L"Orvi_Main_Window", nullptr);
  }
  ASSERT_NE(viewer, nullptr);
  EXPECT_EQ(WindowText(viewer), u"params:\"C:\\docs\\a.txt\"");
  for (int i = 0; i < 40 && !pressed(); ++i) d.Pump(50);
  EXPECT_TRUE(pressed()) << "the button shows the viewer open";
  // Another selection while the viewer is open: it is handed the newly selected path.
  d.SetText(u".txt");
  ASSERT_EQ(d.list().count(), 2u);
  const std::u16string second = d.list().FullPath(1);
  d.list().SetFocusRow(1, 0);
  ListView_SetItemState(d.list().hwnd(), -1, 0, LVIS_SELECTED);
  ListView_SetItemState(d.list().hwnd(), 1, LVIS_SELECTED, LVIS_SELECTED);
  for (int i = 0; i < 40 && WindowText(viewer).rfind(u"file:", 0) != 0; ++i) d.Pump(50);
  EXPECT_EQ(WindowText(viewer), u"file:" + second);
  DWORD pid = 0;
  GetWindowThreadProcessId(viewer, &pid);
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
  ASSERT_NE(process, nullptr);
  d.window().Command(IDM_TOOLS_PREVIEW_WINDOW);  // the viewer is open: close it
  DWORD waited = WAIT_TIMEOUT;
  for (int i = 0; i < 100 && waited == WAIT_TIMEOUT; ++i) {
    d.Pump(50);
    waited = WaitForSingleObject(process, 0);
  }
  CloseHandle(process);
  EXPECT_EQ(waited, WAIT_OBJECT_0) << "the viewer ended";
  EXPECT_EQ(FindWindowW(L"Orvi_Main_Window", nullptr), nullptr);
  for (int i = 0; i < 40 && pressed(); ++i) d.Pump(50);
  EXPECT_FALSE(pressed()) << "the button is released once the viewer is gone";
}

TEST_F(SmallDialogsTest, PreviewReportsAMissingViewer) {
  WindowDriver d(&index_, "");
  d.configure = [this](MainWindowConfig* c) { c->preview_folder = index_.home(); };
  ASSERT_TRUE(d.Open());
  MessageBoxCatcher box(IDOK);
  d.window().Command(IDM_TOOLS_PREVIEW_WINDOW);
  ASSERT_TRUE(box.seen());
  EXPECT_EQ(box.text(), u"File not found: " + index_.home() + u"Orvi.exe");
  EXPECT_EQ(FindWindowW(L"Orvi_Main_Window", nullptr), nullptr);
}

}  // namespace
}  // namespace nusk::testing
