// The window's shortcut table, custom actions, the "More actions" menu and menu help, in a
// real window in this process.
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <ostream>

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

#include "gui/accelerators.h"
#include "gui/program_icon.h"
#include "gui/resource.h"
#include "l10n/builtin_ui.h"
#include "l10n/mui.h"
#include "platform/profile.h"
#include "search/named_searches.h"
#include "settings/recent_list.h"
#include "platform/win32/win_text.h"
#include "settings/settings_file.h"
#include "tests/gui/window_driver.h"
#include "ui/custom_actions.h"
#include "ui/shortcuts.h"
#include "util/utf.h"

namespace nusk {
// Failure messages name a shortcut's fields.
inline void PrintTo(const Shortcut& s, std::ostream* os) {
  *os << "{" << s.command << "," << int(s.flags) << "," << s.key << "}";
}
}  // namespace nusk

namespace nusk::testing {
namespace {

std::vector<Shortcut> Sorted(std::vector<Shortcut> v) {
  std::sort(v.begin(), v.end(), [](const Shortcut& a, const Shortcut& b) { return a.command < b.command; });
  return v;
}

TEST(ShortcutTableTest, BuiltinResourceHoldsEveryNamedDefault) {
  std::vector<Shortcut> want;
  std::vector<int> ids;
  for (const NamedCommand& c : NamedCommands()) {
    const int id = CommandIdOf(c.name);
    ASSERT_NE(id, 0) << ToUtf8(c.name);
    EXPECT_EQ(CommandNameOf(id), c.name);
    ids.push_back(id);
    if (c.key) want.push_back({id, c.flags, c.key});
  }
  std::sort(ids.begin(), ids.end());
  EXPECT_EQ(std::adjacent_find(ids.begin(), ids.end()), ids.end());  // one identifier per name
  EXPECT_EQ(Sorted(BuiltinShortcuts()), Sorted(want));
  EXPECT_EQ(CommandIdOf(u"MoreActions.Action1"), IDM_CUSTOM_ACTION_FIRST);
  EXPECT_EQ(CommandIdOf(u"MoreActions.Action9"), 40348);
}

TEST(ShortcutTableTest, DisplayTextsWithTheSystemsKeyNames) {
  auto text = [](uint8_t flags, uint16_t key) { return ShortcutText(flags, key, SystemKeyName); };
  EXPECT_EQ(text(kAccelVirtKey | kAccelCtrl | kAccelShift, 'C'), u"Ctrl + Shift + C");
  EXPECT_EQ(text(kAccelVirtKey | kAccelCtrl | kAccelShift | kAccelAlt, 'C'), u"Ctrl + Shift + Alt + C");
  EXPECT_EQ(text(kAccelVirtKey | kAccelAlt, VK_LEFT), u"Alt + Left");
  EXPECT_EQ(text(kAccelVirtKey | kAccelShift, VK_APPS), u"Shift + ContextMenu");
  EXPECT_EQ(text(kAccelVirtKey, VK_F7), u"F7");
  // Keys without a name of their own: the name of their scan code.
  EXPECT_EQ(text(kAccelVirtKey | kAccelCtrl, VK_OEM_PLUS), u"Ctrl + =");
  EXPECT_EQ(text(kAccelVirtKey | kAccelCtrl, VK_OEM_MINUS), u"Ctrl + -");
  // Page Down is asked for with the extended bit; without it the scan code names the pad's 3.
  EXPECT_EQ(text(kAccelVirtKey, VK_NEXT), SystemKeyName(VK_NEXT, true));
  EXPECT_NE(SystemKeyName(VK_NEXT, true), SystemKeyName(VK_NEXT, false));
  EXPECT_EQ(text(kAccelVirtKey, VK_DIVIDE), SystemKeyName(VK_DIVIDE, true));  // the pad's key, not "/"
  EXPECT_NE(SystemKeyName(VK_DIVIDE, true), SystemKeyName(VK_DIVIDE, false));
  EXPECT_EQ(text(kAccelVirtKey | kAccelCtrl, VK_DELETE), u"Ctrl + Delete");
}

std::wstring ExeFolder() {
  wchar_t buf[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, buf, MAX_PATH);
  std::wstring path = buf;
  return path.substr(0, path.rfind(L'\\') + 1);
}

void EmptyTheClipboard() {
  if (OpenClipboard(nullptr)) {
    EmptyClipboard();
    CloseClipboard();
  }
}

// The text of the menu item with this command, anywhere in the menu.
std::u16string ItemText(HMENU menu, UINT id) {
  wchar_t buf[256] = {};
  GetMenuStringW(menu, id, buf, 255, MF_BYCOMMAND);
  return U(buf);
}

const std::u16string kOdd = u"C:\\odd [1] & b^c\\100% !x! %PATH% %1 (a).txt";
const std::u16string kRoot = u"C:\\root [x].txt";

class CommandsWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    index_.File(u"C:\\docs\\report one.txt", 100, 1500000000);
    index_.File(u"C:\\docs\\report two.txt", 200, 1500000000);
    index_.File(kOdd, 300, 1500000000);
    index_.File(kRoot, 400, 1500000000);
  }
  void TearDown() override {
    InstallUI(nullptr);
    SetModifier(VK_SHIFT, false);
  }

  // Opens the window over the index; `before` runs on the settings file first.
  WindowDriver& Open(std::string ini, const std::function<void(const SettingsFile&)>& before = {}) {
    index_.Build();
    driver_ = std::make_unique<WindowDriver>(&index_, ini);
    driver_->configure = configure_;
    if (before) before(SettingsFile(index_.home() + u"nusk.ini"));
    EXPECT_TRUE(driver_->Open());
    return *driver_;
  }
  SettingsFile Settings() { return SettingsFile(index_.home() + u"nusk.ini"); }

  int RowOf(std::u16string_view path) {
    ResultList& list = driver_->list();
    for (uint32_t r = 0; r < list.count(); ++r)
      if (list.FullPath(r) == path) return static_cast<int>(r);
    return -1;
  }
  void Select(std::initializer_list<int> rows) {
    HWND lv = driver_->list().hwnd();
    ListView_SetItemState(lv, -1, 0, LVIS_SELECTED);
    for (int r : rows) ListView_SetItemState(lv, r, LVIS_SELECTED, LVIS_SELECTED);
  }
  // Presses a key with the modifiers of accelerator flags on the focused control.
  void Press(uint8_t flags, uint16_t key) {
    SetModifier(VK_CONTROL, flags & kAccelCtrl);
    SetModifier(VK_SHIFT, flags & kAccelShift);
    SetModifier(VK_MENU, flags & kAccelAlt);
    const bool alt = flags & kAccelAlt;
    HWND target = GetFocus() ? GetFocus() : driver_->hwnd();
    PostMessageW(target, alt ? WM_SYSKEYDOWN : WM_KEYDOWN, key, 1 | (alt ? (1 << 29) : 0));
    driver_->Pump(30);
    SetModifier(VK_CONTROL, false);
    SetModifier(VK_SHIFT, false);
    SetModifier(VK_MENU, false);
  }

  // The popup's entries (ReadPopup), with the window's messages handled after it closed.
  PopupEntries Popup(const std::function<void()>& open, int choose) {
    PopupEntries seen = ReadPopup(open, choose);
    driver_->Pump(30);
    return seen;
  }

  TestIndex index_;
  std::unique_ptr<WindowDriver> driver_;
  std::function<void(MainWindowConfig*)> configure_;
};

constexpr char kIni[] = "[Options]\r\nShowAllItemsForEmptySearch=1\r\n";

TEST_F(CommandsWindowTest, EveryDefaultShortcutReachesItsCommandInTheList) {
  WindowDriver& d = Open(kIni);
  std::vector<int> seen;
  d.window().command_hook = [&](int id) {
    seen.push_back(id);
    return true;
  };
  ASSERT_EQ(Sorted(d.window().shortcuts()), Sorted(BuiltinShortcuts()));
  for (const Shortcut& s : d.window().shortcuts()) {
    SetFocus(d.list().hwnd());
    seen.clear();
    Press(s.flags, s.key);
    EXPECT_EQ(seen, std::vector<int>{s.command}) << ToUtf8(CommandNameOf(s.command));
  }
  // In the search box the box's editing keys stay its own; the others still reach the window.
  SetFocus(d.window().search_box());
  seen.clear();
  Press(kAccelCtrl, 'C');
  EXPECT_TRUE(seen.empty());
  Press(kAccelAlt, VK_LEFT);
  EXPECT_EQ(seen, std::vector<int>{IDM_SEARCH_BACK});
}

TEST_F(CommandsWindowTest, CopyReboundToCtrlXInTheTableTheListAndTheMenu) {
  WindowDriver& d = Open(std::string(kIni) + "[KeyboardShortcuts]\r\nCount=2\r\nItem1=40010,9,88\r\nItem2=bad\r\n");
  const std::vector<Shortcut>& table = d.window().shortcuts();
  EXPECT_NE(std::find(table.begin(), table.end(), Shortcut{IDM_EDIT_COPY, 9, 88}), table.end());
  EXPECT_EQ(table.size(), BuiltinShortcuts().size());
  EXPECT_EQ(ItemText(GetMenu(d.hwnd()), IDM_EDIT_COPY), u"&Copy\tCtrl + X");
  EXPECT_EQ(ItemText(GetMenu(d.hwnd()), IDM_EDIT_COPY_NAME), u"Copy &Name\tCtrl + Shift + C");
  EXPECT_EQ(ItemText(GetMenu(d.hwnd()), IDM_FILE_EXPORT), u"&Export...");  // no shortcut
  d.Type(u"report");
  Select({0, 1});
  SetFocus(d.list().hwnd());
  EmptyTheClipboard();
  Press(kAccelCtrl, 'C');  // no longer Copy
  EXPECT_TRUE(ClipboardFiles().empty());
  Press(kAccelCtrl, 'X');
  EXPECT_EQ(ClipboardFiles().size(), 2u);
}

TEST_F(CommandsWindowTest, AltDFocusesTheSearchBoxWithItsTextSelected) {
  WindowDriver& d = Open(kIni);
  d.Type(u"report");
  SetFocus(d.list().hwnd());
  Press(kAccelAlt, 'D');
  EXPECT_EQ(d.Focus(), d.window().search_box());
  DWORD from = 1, to = 0;
  SendMessageW(d.window().search_box(), EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
  EXPECT_EQ(from, 0u);
  EXPECT_GE(to, 6u);  // the whole text (the rich edit may count its closing paragraph mark)
}

// An icon without an alpha channel (a colour bitmap and a mask) becomes opaque inside its
// mask and transparent outside it; drawn into a cleared bitmap it would be clear everywhere.
TEST(IconAlphaBitmapTest, MaskIconKeepsItsShape) {
  constexpr int kSize = 16;
  std::vector<uint32_t> colour(kSize * kSize, 0x00FF8000);  // no alpha byte
  HBITMAP colour_bitmap = CreateBitmap(kSize, kSize, 1, 32, colour.data());
  std::vector<uint8_t> mask(kSize * 2);
  for (int row = 0; row < kSize; ++row) mask[row * 2 + 1] = 0xFF;  // the right half is outside
  HBITMAP mask_bitmap = CreateBitmap(kSize, kSize, 1, 1, mask.data());
  ICONINFO info{TRUE, 0, 0, mask_bitmap, colour_bitmap};
  HICON icon = CreateIconIndirect(&info);
  ASSERT_NE(icon, nullptr);
  HBITMAP bitmap = IconAlphaBitmap(icon);
  ASSERT_NE(bitmap, nullptr);
  DIBSECTION dib{};
  ASSERT_EQ(GetObjectW(bitmap, sizeof(dib), &dib), static_cast<int>(sizeof(dib)));
  const auto* px = static_cast<const uint32_t*>(dib.dsBm.bmBits);
  for (int row = 0; row < kSize; ++row) {
    EXPECT_EQ(px[row * kSize], 0xFFFF8000u) << row;
    EXPECT_EQ(px[row * kSize + kSize - 1], 0u) << row;
  }
  DeleteObject(bitmap);
  DestroyIcon(icon);
  DeleteObject(colour_bitmap);
  DeleteObject(mask_bitmap);
}

TEST_F(CommandsWindowTest, MoreActionsMenuHasTheDefaultsAndGreysWithoutSelection) {
  WindowDriver& d = Open(kIni);
  EXPECT_FALSE(Settings().HasKey(u"CustomAction", u"Count"));
  HMENU popup = d.window().more_actions_menu();
  ASSERT_NE(popup, nullptr);
  SendMessageW(d.hwnd(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), 0);
  EXPECT_EQ(Settings().ReadInteger(u"CustomAction", u"Count"), 3);
  ASSERT_EQ(GetMenuItemCount(popup), 3);
  EXPECT_EQ(ItemText(popup, IDM_CUSTOM_ACTION_FIRST + 1), u"Notepad");
  // Entries carry the icon of the program they start, found on the search path.
  auto icon = [&](int i) {
    MENUITEMINFOW mii{};
    mii.cbSize = sizeof(mii);
    mii.fMask = MIIM_BITMAP;
    GetMenuItemInfoW(popup, IDM_CUSTOM_ACTION_FIRST + i, FALSE, &mii);
    return mii.hbmpItem;
  };
  EXPECT_NE(icon(0), nullptr);  // cmd
  EXPECT_NE(icon(1), nullptr);  // notepad.exe
  // Menus blend a 32-bit item bitmap by its alpha: transparent around the icon's shape,
  // opaque inside, and no colour brighter than its alpha (premultiplied), else the edges
  // show a dark or light fringe.
  DIBSECTION dib{};
  ASSERT_EQ(GetObjectW(icon(1), sizeof(dib), &dib), static_cast<int>(sizeof(dib)));
  ASSERT_EQ(dib.dsBm.bmBitsPixel, 32);
  const auto* px = static_cast<const uint32_t*>(dib.dsBm.bmBits);
  int clear = 0, opaque = 0, unmultiplied = 0;
  for (int i = 0; i < dib.dsBm.bmWidth * dib.dsBm.bmHeight; ++i) {
    const uint32_t a = px[i] >> 24;
    clear += a == 0;
    opaque += a == 255;
    unmultiplied += ((px[i] >> 16) & 0xFF) > a || ((px[i] >> 8) & 0xFF) > a || (px[i] & 0xFF) > a;
  }
  EXPECT_GT(clear, 0);
  EXPECT_GT(opaque, 0);
  EXPECT_EQ(unmultiplied, 0);
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(GetMenuState(popup, IDM_CUSTOM_ACTION_FIRST + i, MF_BYCOMMAND) & MF_GRAYED);
  Select({0});
  SendMessageW(d.hwnd(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), 0);
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(GetMenuState(popup, IDM_CUSTOM_ACTION_FIRST + i, MF_BYCOMMAND) & MF_GRAYED);
  // A program that cannot be found has no icon.
  WriteCustomActions(Settings(), {{u"Missing", u"\"C:\\no such\\tool.exe\" \"%1\""}, {u"Pad", u"notepad \"%1\""}});
  SendMessageW(d.hwnd(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), 0);
  EXPECT_EQ(icon(0), nullptr);
  EXPECT_NE(icon(1), nullptr);
  // An empty list shows "(Empty)".
  WriteCustomActions(Settings(), {});
  SendMessageW(d.hwnd(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), 0);
  ASSERT_EQ(GetMenuItemCount(popup), 1);
  EXPECT_EQ(ItemText(popup, IDM_MORE_ACTIONS_EMPTY), u"(Empty)");
}

TEST_F(CommandsWindowTest, ActionsStartAProgramWithTheExactPath) {
  const std::wstring echo = ExeFolder() + L"nusk_arg_echo.exe";
  ASSERT_NE(GetFileAttributesW(echo.c_str()), INVALID_FILE_ATTRIBUTES);
  const std::u16string q = u"\"" + U(echo) + u"\"";
  const std::vector<CustomAction> actions = {
      {u"Echo", q + u" \"%1\" \"%~dp1\" [--flag]"},
      {u"Plain", q + u" fixed"},
  };
  WindowDriver& d = Open(kIni, [&](const SettingsFile& f) { WriteCustomActions(f, actions); });
  const std::u16string out = index_.dir().Sub(u"args.txt");
  SetEnvironmentVariableW(L"NUSK_ARG_ECHO_OUT", W(out).c_str());
  auto run = [&](int index, int wait_ms = 10000) {
    DeleteFileW(W(out).c_str());
    d.window().Command(IDM_CUSTOM_ACTION_FIRST + index);
    std::string bytes;
    for (int i = 0; i < wait_ms / 20 && GetFileAttributesW(W(out).c_str()) == INVALID_FILE_ATTRIBUTES; ++i) d.Pump(20);
    Env::Default()->ReadWholeFile(out, &bytes);
    return FromUtf8(bytes);
  };
  struct Case {
    std::u16string path, want;
  };
  const Case cases[] = {
      {kOdd, kOdd + u"\n" + u"C:\\odd [1] & b^c\n--flag\n"},
      {kRoot, kRoot + u"\nC:\n--flag\n"},  // a file at a drive root: the folder is "C:"
      {u"C:\\docs\\report one.txt", u"C:\\docs\\report one.txt\nC:\\docs\n--flag\n"},
  };
  for (const Case& c : cases) {
    const int row = RowOf(c.path);
    ASSERT_GE(row, 0) << ToUtf8(c.path);
    Select({row});
    EXPECT_EQ(run(0), c.want) << ToUtf8(c.path);
  }
  // Nothing selected: the action with "%" asks for a file and starts nothing; the one without runs.
  Select({});
  {
    MessageBoxCatcher box(IDOK);
    EXPECT_EQ(run(0, 1500), u"");
    EXPECT_EQ(box.text(), u"Please select a file first");
  }
  EXPECT_EQ(run(1), u"fixed\n");
  SetEnvironmentVariableW(L"NUSK_ARG_ECHO_OUT", nullptr);
}

TEST_F(CommandsWindowTest, ConfigurationDialogRefusesBadTextAndSavesGoodText) {
  WindowDriver& d = Open(kIni);
  // Types into the dialog's box and presses OK, from another thread while the dialog runs.
  auto answer = [&](std::u16string text, const wchar_t* warning_title, std::u16string* warning) {
    std::thread typist([&] {
      for (int i = 0; i < 500; ++i) {
        HWND dlg = FindWindowW(L"#32770", L"Custom Actions");
        if (dlg && IsWindowVisible(dlg)) {
          SetDlgItemTextW(dlg, IDC_ACTIONS_EDIT, W(text).c_str());
          std::unique_ptr<MessageBoxCatcher> warn;
          if (warning_title) warn = std::make_unique<MessageBoxCatcher>(IDOK, warning_title);
          SendMessageW(dlg, WM_COMMAND, IDOK, 0);
          if (warn) {
            *warning = warn->text();
            PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
          }
          return;
        }
        Sleep(10);
      }
    });
    d.window().Command(IDM_FILE_MORE_ACTIONS_CONFIG);
    typist.join();
  };
  std::u16string warning;
  answer(u"Good=x.exe\r\n=notepad.exe \"%1\"\r\n", L"Invalid custom action config", &warning);
  EXPECT_EQ(warning, u"=notepad.exe \"%1\"");
  EXPECT_EQ(Settings().ReadInteger(u"CustomAction", u"Count"), 3);  // the defaults, untouched
  answer(u"Notepad=\r\n", L"Invalid custom action config", &warning);
  EXPECT_EQ(warning, u"Notepad=");
  std::u16string many;
  for (int i = 1; i <= 25; ++i) many += u"A" + U16(std::to_string(i)) + u"=calc.exe\r\n";
  answer(many, L"Invalid config", &warning);
  EXPECT_EQ(warning, u"Custom actions is limited to 24 items");
  answer(u"Viewer = \"C:\\v.exe\" \"%1\"\r\n\r\nPad=notepad.exe", nullptr, nullptr);
  EXPECT_EQ(ReadCustomActions(Settings()),
            (std::vector<CustomAction>{{u"Viewer", u"\"C:\\v.exe\" \"%1\""}, {u"Pad", u"notepad.exe"}}));
}

// Every command the window carries out itself, sent as WM_COMMAND (the route of the menu,
// the toolbar and the accelerators), each with the effect it must have.
TEST_F(CommandsWindowTest, EachCommandSentAsWmCommandHasItsEffect) {
  std::u16string home_set = u"(none)", opened;
  const std::u16string elsewhere = index_.dir().Sub(u"elsewhere");
  CreateDirectoryW(W(elsewhere).c_str(), nullptr);
  configure_ = [&](MainWindowConfig* c) {
    c->set_home = [&](const std::u16string& folder) {
      home_set = folder;
      return true;
    };
    c->browse_folder = [&] { return elsewhere; };
    c->open_folder = [&](const std::u16string& folder) { opened = folder; };
  };
  WindowDriver& d = Open(kIni);
  d.Type(u"report");
  ASSERT_EQ(d.list().count(), 2u);
  ResultList& list = d.list();
  HWND box = d.window().search_box();
  auto selected = [&] { return list.SelectedRows(); };
  using Rows = std::vector<uint32_t>;
  struct Step {
    int id;
    std::function<void()> before;
    std::function<bool()> effect;
    const wchar_t* dialog = nullptr;  // the caption of a dialog the command shows
    int button = IDOK;                // the button that answers it
  };
  std::u16string dialog_text;
  MainToolbar& bar = d.window().toolbar();
  auto hidden = [&](int id) { return SendMessageW(bar.toolbar(), TB_ISBUTTONHIDDEN, id, 0) != 0; };
  auto box_top = [&] {
    RECT r;
    GetWindowRect(box, &r);
    POINT p{r.left, r.top};
    ScreenToClient(d.hwnd(), &p);
    return static_cast<int>(p.y);
  };
  auto checked = [&](UINT id) { return (GetMenuState(GetMenu(d.hwnd()), id, MF_BYCOMMAND) & MF_CHECKED) != 0; };
  auto ui_state = [&](const char16_t* key) { return Settings().ReadText(u"UIState", key); };
  auto recent_db = [&](int i) { return Settings().ReadText(u"RecentDbLocations", RecentList::KeyFor(i)); };
  int small_height = 0, reloads = 0;
  const Step steps[] = {
      {IDM_EDIT_ZOOM_IN, [&] { list.SetZoom(100); }, [&] { return list.zoom() > 100; }},
      {IDM_EDIT_ZOOM_OUT, [&] { list.SetZoom(100); }, [&] { return list.zoom() < 100; }},
      {IDM_EDIT_ZOOM_RESET, [&] { list.SetZoom(300); }, [&] { return list.zoom() == 100; }},
      {IDM_EDIT_SELECT_ALL, [&] { Select({}); },
       [&] {
         return selected() == Rows{0, 1};
       }},
      {IDM_EDIT_SELECT_NONE,
       [&] {
         Select({0, 1});
       },
       [&] { return selected().empty(); }},
      {IDM_EDIT_INVERT_SELECTION, [&] { Select({0}); }, [&] { return selected() == Rows{1}; }},
      {IDM_EDIT_COPY,
       [&] {
         Select({0});
         EmptyTheClipboard();
       },
       [&] { return ClipboardFiles().size() == 1; }},
      {IDM_EDIT_COPY_NAME, [&] { Select({0}); },
       [&] { return ClipboardText() == list.FullPath(0).substr(list.FullPath(0).rfind(u'\\') + 1); }},
      {IDM_EDIT_COPY_FULL_NAME, [&] { Select({1}); }, [&] { return ClipboardText() == list.FullPath(1); }},
      {IDM_EDIT_HIDE_SELECTED, [&] { Select({0}); }, [&] { return list.count() == 1; }},
      {IDM_EDIT_UNHIDE_ALL, nullptr, [&] { return list.count() == 2; }},
      {IDM_OTHER_FOCUS_SEARCH_BOX, [&] { SetFocus(list.hwnd()); }, [&] { return GetFocus() == box; }},
      {IDM_VIEW_STATUSBAR, nullptr, [&] { return !IsWindowVisible(d.window().status_bar()); }},
      {IDM_VIEW_STATUSBAR, nullptr, [&] { return IsWindowVisible(d.window().status_bar()); }},
      {IDM_EDIT_GOTO_ROW, [&] { Select({}); }, [&] { return selected() == Rows{0}; }, L"Go to Row"},
      {IDM_HELP_ABOUT, nullptr, [&] { return dialog_text.find(u"Nusk") != std::u16string::npos; }, L"Nusk"},
      // The toolbar: hidden and shown (the search box moves up and back), its navigation
      // buttons, its large buttons; each choice kept in the settings.
      {IDM_VIEW_TOOLBAR, nullptr,
       [&] {
         return !IsWindowVisible(bar.rebar()) && box_top() == 4 && ui_state(u"Toolbar") == u"0" &&
                !checked(IDM_VIEW_TOOLBAR);
       }},
      {IDM_VIEW_TOOLBAR, nullptr,
       [&] {
         return IsWindowVisible(bar.rebar()) && bar.height() > 0 && box_top() == bar.height() + 4 &&
                ui_state(u"Toolbar") == u"1" && checked(IDM_VIEW_TOOLBAR);
       }},
      {IDM_VIEW_NAV_BUTTONS, nullptr,
       [&] {
         return hidden(IDM_SEARCH_BACK) && hidden(IDM_SEARCH_FORWARD) && hidden(IDM_SEARCH_UP) &&
                !hidden(IDM_SEARCH_NEW) && Settings().ReadText(u"Options", u"NavButtons") == u"0" &&
                !checked(IDM_VIEW_NAV_BUTTONS);
       }},
      {IDM_VIEW_NAV_BUTTONS, nullptr,
       [&] { return !hidden(IDM_SEARCH_BACK) && Settings().ReadText(u"Options", u"NavButtons") == u"1"; }},
      {IDM_TOOLBAR_LARGE, [&] { small_height = bar.height(); },
       [&] { return bar.big() && bar.height() > small_height && ui_state(u"BigToolbar") == u"1"; }},
      {IDM_TOOLBAR_LARGE, nullptr,
       [&] { return !bar.big() && bar.height() == small_height && ui_state(u"BigToolbar") == u"0"; }},
      // The database: reloaded, its folder opened, another location chosen (restart declined).
      {IDM_DATABASE_RELOAD, [&] { reloads = d.window().reloads(); },
       [&] {
         return d.window().reloads() == reloads + 1 &&
                PumpUntil(
                    &d.window(), [&] { return d.window().loaded() && list.count() == 2; }, 10000);
       }},
      {IDM_TOOLS_OPEN_DB_LOCATION, nullptr, [&] { return opened == index_.home(); }},
      {IDM_DATABASE_LOAD_BROWSE, nullptr,
       [&] {
         return home_set == elsewhere + u"\\" && recent_db(0) == elsewhere + u"\\" && recent_db(1) == index_.home() &&
                dialog_text.find(elsewhere) != std::u16string::npos;
       },
       L"Nusk", IDNO},
      {IDM_DATABASE_LOAD_DEFAULT, nullptr, [&] { return home_set.empty() && recent_db(2) == elsewhere + u"\\"; },
       L"Nusk", IDNO},
      {IDM_HELP_TOPICS, nullptr, [&] { return dialog_text.find(u"@Name") != std::u16string::npos; }, L"Nusk Help"},
      {IDM_SEARCH_NEW, nullptr, [&] { return d.window().box().Text().empty() && GetFocus() == box; }},
      {IDM_SEARCH_BACK, [&] { d.Settle(); }, [&] { return d.window().box().Text() == u"report"; }},
      {IDM_SEARCH_FORWARD, nullptr, [&] { return d.window().box().Text().empty(); }},
      {IDM_FILE_CLOSE, nullptr, [&] { return !IsWindow(d.hwnd()); }},
  };
  for (const Step& step : steps) {
    if (step.before) step.before();
    std::unique_ptr<MessageBoxCatcher> answer;
    std::thread typist;
    if (step.id == IDM_EDIT_GOTO_ROW) {
      // The go-to-row box: type row 1, then OK.
      typist = std::thread([] {
        for (int i = 0; i < 500; ++i, Sleep(10)) {
          HWND dlg = FindWindowW(L"#32770", L"Go to Row");
          if (dlg && IsWindowVisible(dlg)) {
            SetDlgItemTextW(dlg, IDC_GOTO_EDIT, L"1");
            PostMessageW(dlg, WM_COMMAND, IDOK, 0);
            return;
          }
        }
      });
    } else if (step.dialog) {
      answer = std::make_unique<MessageBoxCatcher>(step.button, step.dialog);
    }
    SendMessageW(d.hwnd(), WM_COMMAND, MAKEWPARAM(step.id, 0), 0);
    if (typist.joinable()) typist.join();
    if (answer) dialog_text = answer->text();
    d.Pump(30);
    EXPECT_TRUE(step.effect()) << step.id;
  }
}

TEST_F(CommandsWindowTest, ShortcutEditorAssignsSavesAndResets) {
  WindowDriver& d = Open(kIni);
  size_t copy_row = 0;
  while (NamedCommands()[copy_row].name != u"Edit.Copy") ++copy_row;
  // Runs `work` on the editor once it shows, then presses `button`.
  auto edit = [&](const std::function<void(HWND dlg, HWND list)>& work, int button) {
    std::thread helper([&] {
      for (int i = 0; i < 500; ++i, Sleep(10)) {
        HWND dlg = FindWindowW(L"#32770", L"Keyboard Shortcuts");
        if (!dlg || !IsWindowVisible(dlg)) continue;
        work(dlg, GetDlgItem(dlg, IDC_SHORTCUT_LIST));
        PostMessageW(dlg, WM_COMMAND, button, 0);
        return;
      }
    });
    d.window().Command(IDM_TOOLS_KEYBOARD_SHORTCUTS);
    helper.join();
  };
  auto cell = [](HWND list, size_t row) {
    wchar_t buf[64] = {};
    ListView_GetItemText(list, static_cast<int>(row), 1, buf, 63);
    return U(buf);
  };
  int rows = 0;
  std::u16string before, after;
  edit(
      [&](HWND dlg, HWND list) {
        rows = ListView_GetItemCount(list);
        ListView_SetItemState(list, static_cast<int>(copy_row), LVIS_SELECTED, LVIS_SELECTED);
        before = cell(list, copy_row);
        SendDlgItemMessageW(dlg, IDC_SHORTCUT_KEY, HKM_SETHOTKEY, MAKEWORD('X', HOTKEYF_CONTROL), 0);
        SendMessageW(dlg, WM_COMMAND, IDC_SHORTCUT_ASSIGN, 0);
        after = cell(list, copy_row);
        RECT rc;
        GetWindowRect(dlg, &rc);
        Sleep(200);
        SaveScreenPng(rc, "shortcut_editor_en");
      },
      IDOK);
  EXPECT_EQ(rows, static_cast<int>(NamedCommands().size()));
  EXPECT_EQ(before, u"Ctrl + C");
  EXPECT_EQ(after, u"Ctrl + X");
  EXPECT_EQ(Settings().ReadInteger(u"KeyboardShortcuts", u"Count"), 1);
  EXPECT_EQ(Settings().ReadText(u"KeyboardShortcuts", u"Item1"), u"40010,9,88");
  EXPECT_EQ(ItemText(GetMenu(d.hwnd()), IDM_EDIT_COPY), u"&Copy\tCtrl + X");
  const std::vector<Shortcut>& table = d.window().shortcuts();
  EXPECT_NE(std::find(table.begin(), table.end(), Shortcut{IDM_EDIT_COPY, 9, 88}), table.end());

  // Cancel keeps the table; Reset All and OK bring every default back and save no item.
  edit([&](HWND dlg, HWND) { SendMessageW(dlg, WM_COMMAND, IDC_SHORTCUT_RESET, 0); }, IDCANCEL);
  EXPECT_EQ(Settings().ReadInteger(u"KeyboardShortcuts", u"Count"), 1);
  edit([&](HWND dlg, HWND) { SendMessageW(dlg, WM_COMMAND, IDC_SHORTCUT_RESET, 0); }, IDOK);
  EXPECT_EQ(Settings().ReadText(u"KeyboardShortcuts", u"Count"), u"0");
  EXPECT_FALSE(Settings().HasKey(u"KeyboardShortcuts", u"Item1"));
  EXPECT_EQ(Sorted(d.window().shortcuts()), Sorted(BuiltinShortcuts()));
}

// The list's context menu, read through its window while it is open, then closed or used.
TEST_F(CommandsWindowTest, ListContextMenuOffersTheItemCommands) {
  WindowDriver& d = Open(kIni);
  d.Type(u"report");
  auto open = [&](int choose) {
    return Popup(
        [&] { SendMessageW(d.hwnd(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(d.list().hwnd()), MAKELPARAM(-1, -1)); },
        choose);
  };
  const UINT sub = static_cast<UINT>(-1), sep = 0;
  const std::vector<UINT> want = {
      IDM_FILE_OPEN, IDM_FILE_OPEN_PATH,     IDM_LIST_LOCATE_IN_TREE, sub,
      sep,           IDM_EDIT_COPY,          IDM_EDIT_COPY_NAME,      IDM_EDIT_COPY_FULL_NAME,
      sep,           IDM_EDIT_HIDE_SELECTED, IDM_LIST_FIND_SAME_HASH, IDM_FILE_PROPERTIES};
  Select({});
  PopupEntries none = open(0);
  EXPECT_EQ(none.ids, want);
  ASSERT_EQ(none.grey.size(), want.size());
  EXPECT_TRUE(none.grey[0] && none.grey[2] && none.grey[5] && none.grey[9] && none.grey[10]);  // nothing selected
  Select({0});
  PopupEntries one = open(8);  // the eighth enabled entry (separators are skipped): Hide Selected Items
  ASSERT_EQ(one.grey.size(), want.size());
  EXPECT_FALSE(one.grey[0] || one.grey[2] || one.grey[5] || one.grey[9] || one.grey[10]);  // one file
  EXPECT_EQ(d.list().count(), 1u);
}

TEST_F(CommandsWindowTest, MenuHelpShowsInTheStatusBarAndGoesAway) {
  WindowDriver& d = Open(kIni);
  const std::u16string before = d.window().StatusText();
  SendMessageW(d.hwnd(), WM_ENTERMENULOOP, FALSE, 0);
  HMENU menu = GetMenu(d.hwnd());
  SendMessageW(d.hwnd(), WM_MENUSELECT, MAKEWPARAM(IDM_EDIT_COPY, MF_HILITE), reinterpret_cast<LPARAM>(menu));
  EXPECT_EQ(d.window().StatusText(), u"Copy selected items.");
  SendMessageW(d.hwnd(), WM_MENUSELECT, MAKEWPARAM(IDM_SEARCH_BACK, MF_HILITE), reinterpret_cast<LPARAM>(menu));
  EXPECT_EQ(d.window().StatusText(), u"Go back to previous search.");
  // The Text Size popup is named by its first command.
  HMENU edit = GetSubMenu(menu, 1);
  int pos = -1;
  for (int i = 0; i < GetMenuItemCount(edit); ++i)
    if (HMENU sub = GetSubMenu(edit, i); sub && GetMenuItemID(sub, 0) == IDM_EDIT_ZOOM_IN) pos = i;
  ASSERT_GE(pos, 0);
  SendMessageW(d.hwnd(), WM_MENUSELECT, MAKEWPARAM(pos, MF_POPUP | MF_HILITE), reinterpret_cast<LPARAM>(edit));
  EXPECT_EQ(d.window().StatusText(), u"Contains commands for adjusting the font size.");
  SendMessageW(d.hwnd(), WM_MENUSELECT, MAKEWPARAM(IDM_EDIT_SELECT_ALL, MF_HILITE), reinterpret_cast<LPARAM>(menu));
  EXPECT_EQ(d.window().StatusText(), u"");
  SendMessageW(d.hwnd(), WM_EXITMENULOOP, FALSE, 0);
  EXPECT_EQ(d.window().StatusText(), before);
}

TEST_F(CommandsWindowTest, MoreActionsMenuScreenshotsInThreeLanguages) {
  index_.Build();
  InEachLanguage({"en", "de", "ja"}, [&](const std::string& code) {
    const std::string base = "more_actions_" + code;
    WindowDriver d(&index_, kIni);
    WriteCustomActions(Settings(), {{u"Open path in command prompt", u"cmd /K cd /d \"%~dp1\""},
                                    {u"Notepad", u"notepad.exe \"%1\""},
                                    {u"\u30e1\u30e2\u5e33 / Editor", u"notepad.exe"}});
    ASSERT_TRUE(d.Open());
    ListView_SetItemState(d.list().hwnd(), 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    // A translated text's own shortcut gives way to the table's (Export has none).
    EXPECT_EQ(ItemText(GetMenu(d.hwnd()), IDM_FILE_EXPORT).find(u'\t'), std::u16string::npos) << base;
    EXPECT_TRUE(ItemText(GetMenu(d.hwnd()), IDM_FILE_CLOSE).ends_with(u"\tCtrl + W")) << base;
    // The File menu with its "More actions" popup open.
    RECT wr;
    GetWindowRect(d.hwnd(), &wr);
    EXPECT_TRUE(ScreenshotWithMenu(
        d.hwnd(),
        [&] {
          TrackPopupMenuEx(GetSubMenu(GetMenu(d.hwnd()), 0), TPM_RETURNCMD, wr.left + 10, wr.top + 40, d.hwnd(),
                           nullptr);
        },
        base, 3));
    // The two configuration dialogs in the same language: labels, buttons and the
    // editor's column headers come from the table.
    auto dialog_text = [](std::u16string_view key, const char16_t* english) {
      return CurrentUI() ? CurrentUI()->DialogText(key, english) : std::u16string(english);
    };
    struct Dialog {
      int command;
      const char* suffix;
      std::vector<std::pair<int, std::u16string>> texts;  // control (0: the list's headers) and its text
    };
    const Dialog dialogs[] = {
        {IDM_TOOLS_KEYBOARD_SHORTCUTS,
         "shortcuts",
         {{IDC_SHORTCUT_ASSIGN, dialog_text(u"button.assign", u"&Assign")},
          {IDC_SHORTCUT_REMOVE, dialog_text(u"button.remove", u"&Remove")},
          {0, Tr(u"COL.COMMAND", u"Command") + u"|" + Tr(u"COL.SHORTCUT", u"Shortcut")}}},
        {IDM_FILE_MORE_ACTIONS_CONFIG,
         "actions",
         {{IDC_ACTIONS_LABEL,
           dialog_text(u"label.custom_actions_hint",
                       u"One action per line: name=command line (%1: the selected item, %~dp1: its folder)")}}},
    };
    for (const Dialog& want : dialogs) {
      const std::string name = base + "_" + want.suffix;
      const int command = want.command;
      std::atomic<bool> shot{false};
      std::vector<std::pair<int, std::u16string>> seen;
      const HWND owner = d.hwnd();
      std::thread helper([&] {
        for (int i = 0; i < 500; ++i, Sleep(10)) {
          HWND dlg = FindWindowW(L"#32770", nullptr);
          if (!dlg || !IsWindowVisible(dlg) || GetWindow(dlg, GW_OWNER) != owner) continue;
          for (const auto& [id, text] : want.texts) {
            wchar_t buf[256] = {}, second[64] = {};
            if (id) {
              GetDlgItemTextW(dlg, id, buf, 255);
            } else {
              HWND header = ListView_GetHeader(GetDlgItem(dlg, IDC_SHORTCUT_LIST));
              HDITEMW item{};
              item.mask = HDI_TEXT;
              item.pszText = buf;
              item.cchTextMax = 255;
              Header_GetItem(header, 0, &item);
              item.pszText = second;
              item.cchTextMax = 63;
              Header_GetItem(header, 1, &item);
              lstrcatW(buf, L"|");
              lstrcatW(buf, second);
            }
            seen.emplace_back(id, U(buf));
          }
          Sleep(300);
          RECT rc;
          GetWindowRect(dlg, &rc);
          shot = SaveScreenPng(rc, name);
          PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
          return;
        }
      });
      d.window().Command(command);
      helper.join();
      EXPECT_TRUE(shot) << name;
      EXPECT_EQ(seen, want.texts) << name;
    }
  });
}

// The menus filled when they open: database locations (Ctrl+D), recent locations and named
// searches, each listing its entries and carrying out the chosen one.
TEST_F(CommandsWindowTest, FilledMenusListTheirEntriesAndRunTheChosenOne) {
  std::u16string home_set = u"(none)";
  configure_ = [&](MainWindowConfig* c) {
    c->set_home = [&](const std::u16string& folder) {
      home_set = folder;
      return true;
    };
  };
  WindowDriver& d =
      Open(std::string(kIni) +
           "[RecentDbLocations]\r\nItem0=X:\\db & more\\\r\n[MRL]\r\nItem0=C:\\docs\\\r\nItem1=Q:\\gone\\\r\n");
  auto command = [&](int id) { return [&d, id] { SendMessageW(d.hwnd(), WM_COMMAND, id, 0); }; };
  {
    MessageBoxCatcher restart(IDNO);
    const PopupEntries db = Popup(command(IDM_DATABASE_DB_LOCATIONS), 3);
    EXPECT_EQ(db.texts, (std::vector<std::u16string>{u"&Default Location", u"&Browse...", u"", u"X:\\db && more\\"}));
    EXPECT_EQ(home_set, u"X:\\db & more\\");
    EXPECT_TRUE(restart.seen());
  }
  const PopupEntries locations = Popup(command(IDM_SEARCH_RECENT_LOCATIONS), 1);
  EXPECT_EQ(locations.ids, (std::vector<UINT>{IDM_RECENT_LOCATION_FIRST, IDM_RECENT_LOCATION_FIRST + 1, 0,
                                              IDM_RECENT_LOCATIONS_CLEAR}));
  EXPECT_EQ(d.window().search_text(), u"C:\\docs\\");
  PumpUntil(
      &d.window(), [&] { return d.list().count() == 2; }, 5000);
  EXPECT_EQ(d.list().count(), 2u);  // the two reports in that folder
  // Going up records the parent as a recent location, newest first.
  SendMessageW(d.hwnd(), WM_COMMAND, IDM_SEARCH_UP, 0);
  EXPECT_EQ(Settings().ReadText(u"MRL", u"Item0"), u"C:\\");
  Popup(command(IDM_SEARCH_RECENT_LOCATIONS), 4);  // Clear List
  EXPECT_EQ(Popup(command(IDM_SEARCH_RECENT_LOCATIONS), 0).ids, std::vector<UINT>{IDM_RECENT_LOCATION_FIRST});

  NamedSearches named(Profile::Default(), index_.home() + u"nusk.ini");
  const std::vector<std::u16string> names = named.List();
  ASSERT_GE(names.size(), 2u);
  d.SetText(u"report");
  const PopupEntries menu = Popup(command(IDM_SEARCH_NAMED_SEARCHES), 2);
  ASSERT_EQ(menu.texts.size(), names.size() + 2);
  EXPECT_EQ(menu.texts[0], u"@" + names[0]);
  EXPECT_EQ(menu.ids.back(), static_cast<UINT>(IDM_NAMED_SEARCHES_CONFIG));
  EXPECT_EQ(d.window().box().Text(), u"report @" + names[1]);
}

// Rebuild All empties the database and builds every drive: with every drive deselected the
// rebuilt database is empty, where Build All keeps the items.
TEST_F(CommandsWindowTest, RebuildAllCleansBeforeTheBuild) {
  configure_ = [](MainWindowConfig* c) {
    std::u16string p = FromUtf8(NUSK_BINARY_DIR) + u"/app/nusk.exe";
    for (char16_t& ch : p) ch = ch == u'/' ? u'\\' : ch;
    c->program = p;
  };
  WindowDriver& d = Open(std::string(kIni) +
                         "ShowBuiltNotification=0\r\n"
                         "VolumeStates=A0B0C0D0E0F0G0H0I0J0K0L0M0N0O0P0Q0R0S0T0U0V0W0X0Y0Z0\r\n");
  MainWindow& w = d.window();
  ASSERT_GT(d.list().count(), 0u);
  SendMessageW(d.hwnd(), WM_COMMAND, IDM_DATABASE_REBUILD_ALL, 0);
  const bool done = PumpUntil(
      &w, [&] { return w.builds_started() == 1 && !w.building() && w.loaded() && w.reloads() >= 2; }, 60000);
  ASSERT_TRUE(done) << "started " << w.builds_started() << ", reloads " << w.reloads();
  PumpUntil(
      &w, [&] { return d.list().count() == 0; }, 5000);
  EXPECT_EQ(d.list().count(), 0u);
}

}  // namespace
}  // namespace nusk::testing
