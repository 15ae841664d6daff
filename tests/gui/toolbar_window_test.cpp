// The main window's toolbar: the buttons it starts with, the saved customisation read back
// and written on exit, custom-action buttons, the back/forward/up states, the customisation
// dialog, the database buttons, and screenshots in three languages with small and large buttons.
#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include <thread>

#include "gui/accelerators.h"
#include "gui/resource.h"
#include "l10n/builtin_ui.h"
#include "l10n/mui.h"
#include "platform/win32/win_text.h"
#include "settings/settings_file.h"
#include "tests/gui/window_driver.h"
#include "ui/custom_actions.h"
#include "ui/toolbar_layout.h"
#include "util/utf.h"

namespace nusk::testing {
namespace {

constexpr char kIni[] = "[Options]\r\nShowAllItemsForEmptySearch=1\r\n";

// The toolbar's buttons as command identifiers, 0 for a separator.
std::vector<int> Buttons(HWND toolbar) {
  std::vector<int> ids;
  const int n = static_cast<int>(SendMessageW(toolbar, TB_BUTTONCOUNT, 0, 0));
  for (int i = 0; i < n; ++i) {
    TBBUTTON b{};
    SendMessageW(toolbar, TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&b));
    ids.push_back((b.fsStyle & BTNS_SEP) ? 0 : b.idCommand);
  }
  return ids;
}

std::u16string ButtonText(HWND toolbar, int id) {
  wchar_t buf[128] = {};
  SendMessageW(toolbar, TB_GETBUTTONTEXTW, id, reinterpret_cast<LPARAM>(buf));
  return U(buf);
}

// The button's image index.
int ButtonImage(HWND toolbar, int id) {
  TBBUTTONINFOW info{};
  info.cbSize = sizeof(info);
  info.dwMask = TBIF_IMAGE;
  SendMessageW(toolbar, TB_GETBUTTONINFOW, id, reinterpret_cast<LPARAM>(&info));
  return info.iImage;
}

// The pixels of an image of the list drawn over white.
std::vector<uint32_t> ImagePixels(HIMAGELIST list, int index) {
  int cx = 0, cy = 0;
  ImageList_GetIconSize(list, &cx, &cy);
  BITMAPINFO bi{};
  bi.bmiHeader = {sizeof(bi.bmiHeader), cx, -cy, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(dc, bitmap);
  const RECT all{0, 0, cx, cy};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  ImageList_Draw(list, index, dc, 0, 0, ILD_NORMAL);
  GdiFlush();
  std::vector<uint32_t> pixels(static_cast<const uint32_t*>(bits), static_cast<const uint32_t*>(bits) + cx * cy);
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  return pixels;
}

// A click on the button (sent to the toolbar as the mouse would).
void Click(MainToolbar& bar, int id) {
  const RECT rc = bar.ButtonRect(id);
  POINT p{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
  ScreenToClient(bar.toolbar(), &p);
  SendMessageW(bar.toolbar(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.x, p.y));
  SendMessageW(bar.toolbar(), WM_LBUTTONUP, 0, MAKELPARAM(p.x, p.y));
}

PopupEntries MenuEntries(HMENU menu) {
  PopupEntries out;
  for (int i = 0; menu && i < GetMenuItemCount(menu); ++i) {
    wchar_t text[256] = {};
    GetMenuStringW(menu, i, text, 255, MF_BYPOSITION);
    out.ids.push_back(GetMenuItemID(menu, i));
    out.texts.push_back(U(text));
  }
  return out;
}

// Database > Build, the popup of one entry per drive.
HMENU BuildDrivesMenu(HWND window) {
  HMENU database = GetSubMenu(GetMenu(window), 2);
  for (int i = 0; i < GetMenuItemCount(database); ++i) {
    HMENU sub = GetSubMenu(database, i);
    const UINT first = sub ? GetMenuItemID(sub, 0) : 0;
    if (first >= IDM_BUILD_DRIVE_FIRST && first < IDM_BUILD_DRIVE_FIRST + 26) return sub;
  }
  return nullptr;
}

// Opens the custom-action dialog, puts the text in and presses OK.
void ConfigureActions(WindowDriver& d, const std::u16string& text) {
  std::thread typist([&] {
    for (int i = 0; i < 500; ++i, Sleep(10)) {
      HWND dlg = FindWindowExW(nullptr, nullptr, L"#32770", nullptr);
      if (!dlg || !IsWindowVisible(dlg) || GetWindow(dlg, GW_OWNER) != d.hwnd()) continue;
      SetDlgItemTextW(dlg, IDC_ACTIONS_EDIT, W(text).c_str());
      PostMessageW(dlg, WM_COMMAND, IDOK, 0);
      return;
    }
  });
  d.window().Command(IDM_FILE_MORE_ACTIONS_CONFIG);
  typist.join();
}

class ToolbarWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    index_.File(u"C:\\docs\\report one.txt", 100, 1500000000);
    index_.File(u"C:\\docs\\report two.txt", 200, 1500000000);
    index_.Build();
  }
  void TearDown() override { InstallUI(nullptr); }
  SettingsFile Settings() { return SettingsFile(index_.home() + u"nusk.ini"); }
  TestIndex index_;
};

TEST_F(ToolbarWindowTest, DefaultButtonsMapToTheirCommands) {
  WindowDriver d(&index_, kIni);
  ASSERT_TRUE(d.Open());
  std::vector<int> want;
  for (const ToolbarSlot& s : DefaultToolbarSlots())
    want.push_back(s.kind == ToolbarSlot::Kind::kSeparator ? 0 : ToolbarCommandId(*FindToolbarButton(s.code)));
  EXPECT_EQ(Buttons(d.window().toolbar().toolbar()), want);
  // Every button of the table reaches a command of the window.
  for (const ToolbarButtonDef& b : ToolbarButtons()) EXPECT_NE(ToolbarCommandId(b), 0) << ToUtf8(b.command);
  // A click on a button is the command (sent to the main window, not to the rebar).
  std::vector<int> seen;
  d.window().command_hook = [&](int id) {
    seen.push_back(id);
    return true;
  };
  Click(d.window().toolbar(), IDM_SEARCH_NEW);
  d.Pump(30);
  EXPECT_EQ(seen, std::vector<int>{IDM_SEARCH_NEW});

  // Build All keeps its command and has an arrow whose menu is Database > Build: one entry
  // per drive, and the chosen entry builds that drive.
  HWND tb = d.window().toolbar().toolbar();
  TBBUTTONINFOW info{};
  info.cbSize = sizeof(info);
  info.dwMask = TBIF_STYLE;
  SendMessageW(tb, TB_GETBUTTONINFOW, IDM_DATABASE_BUILD_ALL, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(info.fsStyle & (BTNS_DROPDOWN | BTNS_WHOLEDROPDOWN), BTNS_DROPDOWN);
  ASSERT_NE(BuildDrivesMenu(d.hwnd()), nullptr);
  const PopupEntries menu = MenuEntries(BuildDrivesMenu(d.hwnd()));
  seen.clear();
  auto drop_down = [&] {
    NMTOOLBARW nm{};
    nm.hdr = {tb, static_cast<UINT_PTR>(GetDlgCtrlID(tb)), static_cast<UINT>(TBN_DROPDOWN)};
    nm.iItem = IDM_DATABASE_BUILD_ALL;
    SendMessageW(d.hwnd(), WM_NOTIFY, nm.hdr.idFrom, reinterpret_cast<LPARAM>(&nm));
  };
  EXPECT_TRUE(ScreenshotWithMenu(d.hwnd(), drop_down, "toolbar_build_drives"));
  const PopupEntries arrow = ReadPopup(drop_down, 1);
  d.Pump(30);
  EXPECT_EQ(arrow.ids, menu.ids);
  EXPECT_EQ(arrow.texts, menu.texts);
  EXPECT_EQ(seen, std::vector<int>{static_cast<int>(menu.ids[0])});
}

// Build, Clean All and Clean placed by the user: Build's and Clean's menus are Database >
// Build and Database > Clean, and their entries and Clean All run those menus' commands.
TEST_F(ToolbarWindowTest, DatabaseButtonsRunTheDatabaseMenusCommands) {
  struct Button {
    std::u16string_view command, key, english;
    int id;
  };
  const Button buttons[] = {{u"Database.Build", u"build", u"Build", IDM_DATABASE_BUILD_MENU},
                            {u"Database.CleanAll", u"clean_all", u"Clean All", IDM_DATABASE_CLEAN_ALL},
                            {u"Database.Clean", u"clean", u"Clean", IDM_DATABASE_CLEAN_MENU}};
  std::vector<ToolbarSlot> slots;
  std::vector<int> ids;
  for (const Button& b : buttons) {
    slots.push_back(ToolbarSlot::Button(FindToolbarButton(b.command)->code));
    ids.push_back(b.id);
  }
  const std::string ini =
      std::string(kIni) + "[UIState]\r\nToolbarState=" + ToUtf8(EncodeToolbar(slots).state) + "\r\n";
  InEachLanguage({"en", "ja"}, [&](const std::string& name) {
    WindowDriver d(&index_, ini);
    ASSERT_TRUE(d.Open());
    d.Type(u"report");
    HWND tb = d.window().toolbar().toolbar();
    EXPECT_EQ(Buttons(tb), ids) << name;
    for (const Button& b : buttons) {
      const std::u16string* text = CurrentUI() ? CurrentUI()->ToolbarText(b.key) : nullptr;
      EXPECT_EQ(ButtonText(tb, b.id), text ? *text : b.english) << name;
    }
    EXPECT_TRUE(d.Screenshot("toolbar_db_" + name));
  });

  WindowDriver d(&index_, ini);
  ASSERT_TRUE(d.Open());
  MainWindow& w = d.window();
  MainToolbar& bar = w.toolbar();
  std::vector<int> seen;
  w.command_hook = [&](int id) {
    seen.push_back(id);
    return true;
  };
  // Build: a click opens the drives of Database > Build; the second entry builds its drive.
  const PopupEntries drives = MenuEntries(BuildDrivesMenu(d.hwnd()));
  ASSERT_GE(drives.ids.size(), 2u);
  const PopupEntries build = ReadPopup([&] { Click(bar, IDM_DATABASE_BUILD_MENU); }, 2);
  d.Pump(30);
  EXPECT_EQ(build.ids, drives.ids);
  EXPECT_EQ(build.texts, drives.texts);
  EXPECT_EQ(seen, std::vector<int>{static_cast<int>(drives.ids[1])});
  // Clean: Clean All and the index's drive, as Database > Clean lists them.
  HMENU popup = FindPopupStartingWith(GetMenu(d.hwnd()), IDM_DATABASE_CLEAN_ALL);
  SendMessageW(d.hwnd(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), 0);
  const PopupEntries entries = MenuEntries(popup);
  EXPECT_EQ(entries.ids, (std::vector<UINT>{IDM_DATABASE_CLEAN_ALL, 0, IDM_CLEAN_DRIVE_FIRST + 2}));
  seen.clear();
  const PopupEntries clean = ReadPopup([&] { Click(bar, IDM_DATABASE_CLEAN_MENU); }, 2);
  d.Pump(30);
  EXPECT_EQ(clean.ids, entries.ids);
  EXPECT_EQ(clean.texts, entries.texts);
  EXPECT_EQ(seen, std::vector<int>{IDM_CLEAN_DRIVE_FIRST + 2});
  // Clean All cleans the whole database; the window reloads an empty index.
  w.command_hook = nullptr;
  ASSERT_GT(d.list().count(), 0u);
  const int reloads = w.reloads();
  Click(bar, IDM_DATABASE_CLEAN_ALL);
  EXPECT_TRUE(PumpUntil(
      &w, [&] { return w.reloads() > reloads && w.loaded(); }, 10000));
  d.Settle();
  EXPECT_EQ(d.list().count(), 0u);
}

TEST_F(ToolbarWindowTest, SavedButtonsComeBackAndAreWrittenOnExit) {
  // A custom action whose name holds a comma, stored with code 27, and one whose action is gone.
  WindowDriver d(&index_, std::string(kIni) +
                              "[CustomAction]\r\nCount=2\r\nName1=Pad\r\nCommand1=notepad.exe\r\n"
                              "Name2=Open, then close\r\nCommand2=notepad.exe \"%1\"\r\n"
                              "[UIState]\r\nBigToolbar=1\r\nToolbarState=30,c,-,c,999,31,32,33,c\r\n"
                              "CustomCommandNames=Open\x1b then close,Gone,Pad\r\n");
  ASSERT_TRUE(d.Open());
  MainToolbar& bar = d.window().toolbar();
  EXPECT_TRUE(bar.big());
  EXPECT_EQ(Buttons(bar.toolbar()), (std::vector<int>{IDM_SEARCH_NEW, IDM_CUSTOM_ACTION_FIRST + 1, 0, IDM_SEARCH_BACK,
                                                      IDM_SEARCH_FORWARD, IDM_SEARCH_UP, IDM_CUSTOM_ACTION_FIRST}));
  EXPECT_EQ(ButtonText(bar.toolbar(), IDM_CUSTOM_ACTION_FIRST + 1), u"Open, then close");
  // Back is enabled once there is a search to go back to; up only with a folder in the query.
  EXPECT_FALSE(bar.IsEnabled(IDM_SEARCH_BACK));
  d.Type(u"report");
  d.SetText(u"C:\\docs\\ one");
  EXPECT_TRUE(bar.IsEnabled(IDM_SEARCH_BACK));
  EXPECT_FALSE(bar.IsEnabled(IDM_SEARCH_FORWARD));
  EXPECT_TRUE(bar.IsEnabled(IDM_SEARCH_UP));
  SendMessageW(d.hwnd(), WM_COMMAND, IDM_SEARCH_BACK, 0);
  d.Settle();
  EXPECT_TRUE(bar.IsEnabled(IDM_SEARCH_FORWARD));
  EXPECT_FALSE(bar.IsEnabled(IDM_SEARCH_UP));
  SendMessageW(d.hwnd(), WM_COMMAND, IDM_FILE_CLOSE, 0);
  d.Pump(50);
  EXPECT_EQ(Settings().ReadText(u"UIState", u"ToolbarState"), u"30,c,-,31,32,33,c");
  EXPECT_EQ(Settings().ReadText(u"UIState", u"CustomCommandNames"), u"Open\x1b then close,Pad");
}

TEST_F(ToolbarWindowTest, CustomizeDialogOffersTheOtherButtons) {
  WindowDriver d(&index_, kIni);
  ASSERT_TRUE(d.Open());
  MainToolbar& bar = d.window().toolbar();
  const std::vector<int> before = Buttons(bar.toolbar());
  int available = -1;
  std::thread helper([&] {
    for (int i = 0; i < 500; ++i, Sleep(10)) {
      HWND dlg = nullptr;
      for (HWND w = FindWindowExW(nullptr, nullptr, L"#32770", nullptr); w && !dlg;
           w = FindWindowExW(nullptr, w, L"#32770", nullptr)) {
        if (IsWindowVisible(w) && GetWindow(w, GW_OWNER) == d.hwnd()) dlg = w;
      }
      if (!dlg) continue;
      Sleep(300);
      RECT rc;
      GetWindowRect(dlg, &rc);
      SaveScreenPng(rc, "toolbar_customize_en");
      // The first list box holds the buttons that can be added (and a separator).
      HWND list = FindWindowExW(dlg, nullptr, L"ListBox", nullptr);
      available = list ? static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0)) : -1;
      PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
      return;
    }
  });
  SendMessageW(d.hwnd(), WM_COMMAND, IDM_TOOLBAR_CUSTOMIZE, 0);
  helper.join();
  d.Pump(50);
  // The table's buttons that are not on the default bar, and the separator.
  size_t on_bar = 0;
  for (int id : before) on_bar += id != 0;
  EXPECT_GE(available, static_cast<int>(ToolbarButtons().size() - on_bar + 1));
  EXPECT_EQ(Buttons(bar.toolbar()), before);
  EXPECT_EQ(Settings().ReadText(u"UIState", u"ToolbarState"), EncodeToolbar(bar.Slots()).state);
}

TEST_F(ToolbarWindowTest, ScreenshotsInThreeLanguagesSmallAndLarge) {
  InEachLanguage({"en", "de", "ja"}, [&](const std::string& name) {
    const std::u16string* new_search = CurrentUI() ? CurrentUI()->ToolbarText(u"new_search") : nullptr;
    const std::u16string want = new_search ? *new_search : u"New Search";
    WindowDriver d(&index_,
                   std::string(kIni) + "[UIState]\r\nToolbarState=31,32,33,-,30,37,34,36,-,1,2,6,7,-,10,c\r\n");
    // A non-ASCII action name goes in as the program writes it (the file then turns UTF-16).
    ASSERT_TRUE(WriteCustomActions(Settings(), {{u"\u30E1\u30E2 Pad", u"notepad.exe"}}));
    ASSERT_TRUE(Settings().WriteText(u"UIState", u"CustomCommandNames", u"\u30E1\u30E2 Pad"));
    ASSERT_TRUE(d.Open());
    d.Type(u"report");
    MainToolbar& bar = d.window().toolbar();
    EXPECT_EQ(ButtonText(bar.toolbar(), IDM_SEARCH_NEW), want) << name;
    for (bool big : {false, true}) {
      if (big) SendMessageW(d.hwnd(), WM_COMMAND, IDM_TOOLBAR_LARGE, 0);
      d.Pump(300);
      // Every button lies inside the window's client area: nothing is cut off.
      RECT client;
      GetClientRect(d.hwnd(), &client);
      RECT last{};
      SendMessageW(bar.toolbar(), TB_GETITEMRECT, SendMessageW(bar.toolbar(), TB_BUTTONCOUNT, 0, 0) - 1,
                   reinterpret_cast<LPARAM>(&last));
      EXPECT_LE(last.right, client.right) << name << big;
      EXPECT_TRUE(d.Screenshot(std::string("toolbar_") + (big ? "big_" : "") + name));
    }
  });
}

// A custom action's button shows its program's icon, one whose program is missing the
// generic image; making the buttons again leaves the image list as it was.
TEST_F(ToolbarWindowTest, CustomActionButtonsShowTheirProgramsIcons) {
  InEachLanguage({"en", "ja"}, [&](const std::string& name) {
    WindowDriver d(&index_, std::string(kIni) + "[UIState]\r\nToolbarState=30,-,c,c\r\n");
    const std::u16string pad = u"\u30E1\u30E2 Pad", gone = u"Gone";
    ASSERT_TRUE(WriteCustomActions(Settings(), {{pad, u"notepad.exe"}, {gone, u"\"C:\\nowhere\\gone.exe\" \"%1\""}}));
    ASSERT_TRUE(Settings().WriteText(u"UIState", u"CustomCommandNames", pad + u"," + gone));
    ASSERT_TRUE(d.Open());
    d.Type(u"report");
    MainToolbar& bar = d.window().toolbar();
    auto list = [&] { return reinterpret_cast<HIMAGELIST>(SendMessageW(bar.toolbar(), TB_GETIMAGELIST, 0, 0)); };
    const int count = ImageList_GetImageCount(list());
    auto check = [&](int first) {
      const int icon = ButtonImage(bar.toolbar(), first), generic = ButtonImage(bar.toolbar(), first + 1);
      EXPECT_EQ(generic, STD_FILEOPEN) << name;
      EXPECT_EQ(icon, count - 1) << name;  // the one icon added after the system images
      const std::vector<uint32_t> pixels = ImagePixels(list(), icon);
      EXPECT_TRUE(pixels != ImagePixels(list(), generic)) << name;
      EXPECT_NE(std::count(pixels.begin(), pixels.end(), pixels[0]), static_cast<ptrdiff_t>(pixels.size())) << name;
      EXPECT_EQ(ImageList_GetImageCount(list()), count) << name;
    };
    check(IDM_CUSTOM_ACTION_FIRST);
    EXPECT_TRUE(d.Screenshot("toolbar_actions_" + name));
    for (int i = 0; i < 2; ++i) {
      SendMessageW(d.hwnd(), WM_COMMAND, IDM_TOOLBAR_LARGE, 0);
      check(IDM_CUSTOM_ACTION_FIRST);
    }
    // Edited actions: the same twice, then a new first one; the buttons follow by name.
    const std::u16string text = pad + u"=notepad.exe\r\n" + gone + u"=C:\\nowhere\\gone.exe";
    ConfigureActions(d, text);
    ConfigureActions(d, text);
    check(IDM_CUSTOM_ACTION_FIRST);
    ConfigureActions(d, u"First=C:\\nowhere\\first.exe\r\n" + text);
    check(IDM_CUSTOM_ACTION_FIRST + 1);
    EXPECT_EQ(Buttons(bar.toolbar()),
              (std::vector<int>{IDM_SEARCH_NEW, 0, IDM_CUSTOM_ACTION_FIRST + 1, IDM_CUSTOM_ACTION_FIRST + 2}));
  });
}

}  // namespace
}  // namespace nusk::testing
