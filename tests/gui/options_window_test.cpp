// The options dialog opened from a real window in this process: controls ticked and typed
// into, OK pressed, "nusk.ini" read back; dependent controls; the interval warning; the
// restart question; the window applying what changed; screenshots of every page.
#include <windows.h>

#include <commctrl.h>
#include <prsht.h>

#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <utility>
#include <vector>

#include "gui/options_dialog.h"
#include "platform/profile.h"
#include "search/named_searches.h"
#include "tests/gui/dialog_text.h"
#include "gui/resource.h"
#include "l10n/builtin_ui.h"
#include "l10n/mui.h"
#include "platform/win32/win_text.h"
#include "settings/setting_keys.h"
#include "settings/settings_file.h"
#include "tests/gui/window_driver.h"
#include "util/utf.h"

namespace nusk::testing {
namespace {

class OptionsWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    index_.File(u"C:\\docs\\report one.txt", 100, 1500000000);
    index_.File(u"C:\\docs\\notes.md", 200, 1500000000);
  }
  void TearDown() override { InstallUI(nullptr); }

  WindowDriver& Open(std::string_view ini) {
    index_.Build();
    driver_ = std::make_unique<WindowDriver>(&index_, ini);
    EXPECT_TRUE(driver_->Open());
    return *driver_;
  }
  SettingsFile Settings() { return SettingsFile(index_.home() + u"nusk.ini"); }

  // Opens Tools > Options and runs `act` on the shown sheet; `act` presses OK or Cancel.
  void WithOptions(const std::function<void(HWND sheet)>& act) {
    bool shown = false;
    driver_->window().configure_options = [&](OptionsDialogContext* c) {
      c->on_shown = [&](HWND sheet) {
        shown = true;
        act(sheet);
      };
    };
    driver_->window().Command(IDM_TOOLS_OPTIONS);
    EXPECT_TRUE(shown);
  }

  TestIndex index_;
  std::unique_ptr<WindowDriver> driver_;
};

HWND Page(HWND sheet, int index) {
  PropSheet_SetCurSel(sheet, nullptr, index);
  return PropSheet_GetCurrentPageHwnd(sheet);
}
void Click(HWND page, int id) { SendMessageW(GetDlgItem(page, id), BM_CLICK, 0, 0); }
bool Checked(HWND page, int id) { return IsDlgButtonChecked(page, id) == BST_CHECKED; }
bool Enabled(HWND page, int id) { return IsWindowEnabled(GetDlgItem(page, id)) != FALSE; }
void Type(HWND page, int id, const wchar_t* text) { SetDlgItemTextW(page, id, text); }
// Moves the focus into the control and out again (what a user's Tab does).
void FocusThrough(HWND page, int id, int next) {
  SetFocus(GetDlgItem(page, id));
  SetFocus(GetDlgItem(page, next));
}

constexpr char kIni[] = "[Options]\r\nShowAllItemsForEmptySearch=1\r\nRibbonUI=1\r\nLanguage=0\r\n";

TEST_F(OptionsWindowTest, TicksTypesAndOkWritesEveryPageAndTheWindowApplies) {
  Open(kIni);
  std::unique_ptr<MessageBoxCatcher> restart;
  std::u16string interval_warning;
  bool interval_seen = false;
  WithOptions([&](HWND sheet) {
    HWND general = Page(sheet, 0);
    // The window has no ribbon: the key is read but shown off and not offered.
    EXPECT_FALSE(Checked(general, IDC_OPT_RIBBON));
    EXPECT_FALSE(Enabled(general, IDC_OPT_RIBBON));
    EXPECT_TRUE(Checked(general, IDC_OPT_CLOSE_BY_ESC));  // default on
    EXPECT_GE(SendDlgItemMessageW(general, IDC_OPT_LANGUAGE, CB_GETCOUNT, 0, 0), 7);
    SendDlgItemMessageW(general, IDC_OPT_LANGUAGE, CB_SETCURSEL, 2, 0);  // Deutsch
    Click(general, IDC_OPT_CLOSE_TO_TRAY);
    Click(general, IDC_OPT_START_MINIMIZED);
    Click(general, IDC_OPT_MULTI_INSTANCE);

    HWND list = Page(sheet, 1);
    Click(list, IDC_OPT_SHOW_FOLDER_SIZE);
    Click(list, IDC_OPT_LARGE_THUMBNAILS);
    Click(list, IDC_OPT_HUMAN_SIZE);  // default on: now off
    Type(list, IDC_OPT_GLOBAL_FILTER, L"*.txt");

    HWND db = Page(sheet, 2);
    Click(db, IDC_OPT_EXCLUDE_HIDDEN);
    Click(db, IDC_OPT_EXCLUDE_BY_NAME);
    Type(db, IDC_OPT_EXCLUDE_NAMES, L"node_modules\r\n*.bak");
    Click(db, IDC_OPT_BUILD_ON_STARTUP);
    Click(db, IDC_OPT_AUTO_BUILD);
    Type(db, IDC_OPT_INTERVAL, L"abc");
    {
      MessageBoxCatcher warn(IDOK);
      FocusThrough(db, IDC_OPT_INTERVAL, IDC_OPT_UNIT);
      for (int i = 0; i < 200 && !warn.seen(); ++i) Sleep(10);
      interval_seen = warn.seen();
      interval_warning = warn.text();
    }
    Type(db, IDC_OPT_INTERVAL, L"2");
    SendDlgItemMessageW(db, IDC_OPT_UNIT, CB_SETCURSEL, 1, 0);  // hours

    HWND volumes = Page(sheet, 3);
    HWND rows = GetDlgItem(volumes, IDC_OPT_VOLUMES);
    EXPECT_GT(ListView_GetItemCount(rows), 0);
    for (int i = 0; i < ListView_GetItemCount(rows); ++i) {
      wchar_t row[128] = {};
      ListView_GetItemText(rows, i, 0, row, 127);
      EXPECT_EQ(std::wstring(row).find(L"()"), std::wstring::npos) << ToUtf8(U(row));  // nothing left empty
    }
    ListView_SetCheckState(rows, 0, FALSE);  // the first drive in letter order

    HWND misc = Page(sheet, 4);
    Click(misc, IDC_OPT_REMEMBER_SEARCHES);
    Click(misc, IDC_OPT_REMEMBER_LOCATIONS);
    EXPECT_TRUE(Enabled(misc, IDC_OPT_CUSTOM_ACTIONS));
    EXPECT_TRUE(Enabled(misc, IDC_OPT_SHORTCUTS));

    restart = std::make_unique<MessageBoxCatcher>(IDNO);
    PropSheet_PressButton(sheet, PSBTN_OK);
  });
  EXPECT_TRUE(interval_seen);
  EXPECT_EQ(interval_warning, u"Invalid interval value, please input a number");
  // The language changed: the window asks to restart (answered No, so it stays).
  for (int i = 0; i < 200 && !restart->seen(); ++i) Sleep(10);
  EXPECT_TRUE(restart->seen());
  EXPECT_NE(restart->text().find(u"restart"), std::u16string::npos);
  restart.reset();
  EXPECT_TRUE(IsWindow(driver_->hwnd()));

  const SettingsFile f = Settings();
  auto text = [&](const char16_t* key) { return f.ReadText(u"Options", key); };
  EXPECT_EQ(text(u"Language"), u"2");
  EXPECT_EQ(text(u"CloseToTray"), u"1");
  EXPECT_EQ(text(u"StartMinimized"), u"1");
  EXPECT_EQ(text(u"NoMinimizeNotification"), u"0");
  EXPECT_EQ(text(u"MultiInstance"), u"1");
  EXPECT_EQ(text(u"CloseByEsc"), u"1");
  EXPECT_EQ(text(u"RibbonUI"), u"1");  // not offered, so left as it was
  EXPECT_EQ(text(u"ShowFolderSize"), u"1");
  EXPECT_EQ(text(u"HumanReadableSize"), u"0");
  EXPECT_EQ(text(u"ThumbnailSize"), u"96");
  EXPECT_EQ(text(u"GlobalFilter"), u"*.txt");
  EXPECT_EQ(text(u"ExcludeHidden"), u"1");
  EXPECT_EQ(text(u"ExcludeByName"), u"1");
  EXPECT_EQ(text(u"ExcludeNames"), u"node_modules:*.bak");
  EXPECT_EQ(text(u"BuildOnStartup"), u"1");
  EXPECT_EQ(text(u"AutoBuild"), u"1");
  EXPECT_EQ(text(u"BuildEveryValue"), u"2");
  EXPECT_EQ(text(u"BuildEveryUnit"), u"1");
  EXPECT_EQ(text(u"RememberRecentSearches"), u"0");
  EXPECT_EQ(text(u"RememberRecentOpened"), u"1");
  EXPECT_EQ(text(u"RememberRecentLocations"), u"0");
  const std::u16string volumes = text(u"VolumeStates");
  ASSERT_GE(volumes.size(), 2u);
  EXPECT_EQ(volumes[1], u'0');
  for (size_t i = 2; i + 1 < volumes.size(); i += 2) EXPECT_LT(volumes[i - 2], volumes[i]);  // letter order

  // The window took the changes without a restart.
  EXPECT_TRUE(driver_->window().options().show_folder_size);
  EXPECT_FALSE(driver_->window().options().human_readable_size);
  EXPECT_EQ(driver_->window().auto_build_interval(), 2 * 3600);
  driver_->Settle();
  EXPECT_EQ(driver_->list().count(), 1u);  // searched again with the new global filter
  EXPECT_EQ(driver_->list().FullPath(0), u"C:\\docs\\report one.txt");
}

TEST_F(OptionsWindowTest, EveryBoxShowsItsOwnKey) {
  // Neighbouring boxes get opposite values, so two boxes showing each other's key differ.
  std::string ini = "[Options]\r\n";
  std::vector<std::pair<SettingId, bool>> want;
  bool on = true;
  for (const OptionField& f : OptionFields()) {
    if (f.form != OptionForm::kCheck && f.form != OptionForm::kLargeThumbnails) continue;
    const std::string key = ToUtf8(Describe(f.id).key);
    ini += key + "=" + (f.form == OptionForm::kLargeThumbnails ? (on ? "96" : "48") : (on ? "1" : "0")) + "\r\n";
    want.push_back({f.id, f.id == SettingId::kRibbonUI ? false : on});  // no ribbon here: shown off
    on = !on;
  }
  Open(ini);
  WithOptions([&](HWND sheet) {
    for (const auto& [id, value] : want) {
      const OptionField& f = OptionFields()[static_cast<size_t>(OptionFieldIndex(id))];
      HWND page = Page(sheet, static_cast<int>(f.page));
      EXPECT_EQ(Checked(page, OptionControlId(id)), value) << ToUtf8(Describe(id).key);
    }
    PropSheet_PressButton(sheet, PSBTN_CANCEL);
  });
}

TEST_F(OptionsWindowTest, DependentControlsFollowTheirBoxes) {
  Open(kIni);
  struct Case {
    int page, driver;
    std::vector<int> dependents;
  };
  const Case cases[] = {{0, IDC_OPT_CLOSE_TO_TRAY, {IDC_OPT_START_MINIMIZED, IDC_OPT_NO_MIN_NOTIFICATION}},
                        {2, IDC_OPT_EXCLUDE_BY_NAME, {IDC_OPT_EXCLUDE_NAMES}},
                        {2, IDC_OPT_AUTO_BUILD, {IDC_OPT_INTERVAL, IDC_OPT_UNIT}}};
  WithOptions([&](HWND sheet) {
    for (const Case& c : cases) {
      HWND page = Page(sheet, c.page);
      for (int id : c.dependents) EXPECT_FALSE(Enabled(page, id)) << id;
      Click(page, c.driver);
      for (int id : c.dependents) EXPECT_TRUE(Enabled(page, id)) << id;
      Click(page, c.driver);
      for (int id : c.dependents) EXPECT_FALSE(Enabled(page, id)) << id;
    }
    // Check all: every volume row follows the box.
    HWND volumes = Page(sheet, 3);
    HWND rows = GetDlgItem(volumes, IDC_OPT_VOLUMES);
    Click(volumes, IDC_OPT_CHECK_ALL);
    const bool all = Checked(volumes, IDC_OPT_CHECK_ALL);
    for (int i = 0; i < ListView_GetItemCount(rows); ++i) EXPECT_EQ(ListView_GetCheckState(rows, i) != 0, all) << i;
    PropSheet_PressButton(sheet, PSBTN_CANCEL);
  });
  // Cancel writes nothing.
  EXPECT_FALSE(Settings().HasKey(u"Options", u"CloseToTray"));
}

TEST_F(OptionsWindowTest, PlainCheckBoxAndEmptyIntervalAskNothing) {
  Open(kIni);
  // Neither the interval warning nor the restart question may appear (either would be
  // answered here and counted).
  MessageBoxCatcher any(IDNO);
  WithOptions([&](HWND sheet) {
    HWND general = Page(sheet, 0);
    Click(general, IDC_OPT_CLOSE_BY_ESC);
    HWND db = Page(sheet, 2);
    Click(db, IDC_OPT_AUTO_BUILD);
    Type(db, IDC_OPT_INTERVAL, L"");
    FocusThrough(db, IDC_OPT_INTERVAL, IDC_OPT_UNIT);
    PropSheet_PressButton(sheet, PSBTN_OK);
  });
  Sleep(300);
  EXPECT_FALSE(any.seen()) << ToUtf8(any.text());
  EXPECT_EQ(Settings().ReadText(u"Options", u"CloseByEsc"), u"0");
  EXPECT_FALSE(driver_->window().options().close_by_esc);
}

// Waits for a visible dialog with this caption (another thread's modal loop runs it).
HWND WaitDialog(const wchar_t* caption) {
  for (int i = 0; i < 500; ++i, Sleep(10)) {
    HWND dlg = FindWindowW(L"#32770", caption);
    if (dlg && IsWindowVisible(dlg)) return dlg;
  }
  return nullptr;
}

TEST_F(OptionsWindowTest, MiscButtonsOpenTheConfigurationDialogs) {
  Open(kIni);
  std::vector<std::wstring> seen;
  std::u16string refusal;
  WithOptions([&](HWND sheet) {
    HWND misc = Page(sheet, 4);
    for (const auto& [button, caption] :
         {std::pair{IDC_OPT_CUSTOM_ACTIONS, L"Custom Actions"}, std::pair{IDC_OPT_SHORTCUTS, L"Keyboard Shortcuts"}}) {
      std::thread closer([&, caption = caption] {
        if (HWND dlg = WaitDialog(caption)) {
          seen.push_back(caption);
          PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
        }
      });
      Click(misc, button);
      closer.join();
    }
    // The named-search editor refuses a line that begins with "=" and keeps the dialog open.
    std::thread editor([&] {
      HWND dlg = WaitDialog(L"Named Searches");
      if (!dlg) return;
      seen.push_back(L"Named Searches");
      SetDlgItemTextW(dlg, IDC_NAMED_EDIT, L"ok=1\r\n=x");
      PostMessageW(dlg, WM_COMMAND, IDOK, 0);
      if (HWND warn = WaitDialog(L"Invalid named search config")) {
        refusal = U(DialogText(warn));
        PostMessageW(warn, WM_COMMAND, IDOK, 0);
      }
      Sleep(100);
      SetDlgItemTextW(dlg, IDC_NAMED_EDIT, L"Foo=/f *.foo\r\nBar = *.bar ");
      PostMessageW(dlg, WM_COMMAND, IDOK, 0);
    });
    Click(misc, IDC_OPT_NAMED_SEARCHES);
    editor.join();
    PropSheet_PressButton(sheet, PSBTN_CANCEL);
  });
  EXPECT_EQ(seen, (std::vector<std::wstring>{L"Custom Actions", L"Keyboard Shortcuts", L"Named Searches"}));
  EXPECT_EQ(refusal, u"=x");
  NamedSearches named(Profile::Default(), index_.home() + u"nusk.ini");
  EXPECT_EQ(named.List(), (std::vector<std::u16string>{u"Foo", u"Bar"}));
  EXPECT_EQ(named.Lookup(u"bar"), u"*.bar");
}

TEST_F(OptionsWindowTest, ChoosingALanguageFileStoresItsIndexAndRelativePath) {
  Open(kIni);
  const std::u16string program = index_.dir().Sub(u"prog");
  CreateDirectoryW(W(program).c_str(), nullptr);
  CreateDirectoryW(W(program + u"\\lang").c_str(), nullptr);
  index_.dir().WriteFile(u"prog\\lang\\lang.pt.ini", "[info]\r\nlanguage=Portugues\r\n");
  auto choose = [&](int index, int want_shown) {
    driver_->window().configure_options = [&](OptionsDialogContext* c) {
      c->program_folder = program + u"\\";
      c->on_shown = [&](HWND sheet) {
        HWND general = Page(sheet, 0);
        EXPECT_EQ(SendDlgItemMessageW(general, IDC_OPT_LANGUAGE, CB_GETCURSEL, 0, 0), want_shown);
        EXPECT_EQ(SendDlgItemMessageW(general, IDC_OPT_LANGUAGE, CB_GETCOUNT, 0, 0), 8);
        SendDlgItemMessageW(general, IDC_OPT_LANGUAGE, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        PropSheet_PressButton(sheet, PSBTN_OK);
      };
    };
    MessageBoxCatcher restart(IDNO);
    driver_->window().Command(IDM_TOOLS_OPTIONS);
    for (int i = 0; i < 50 && !restart.seen(); ++i) Sleep(10);
    return restart.seen();
  };
  EXPECT_TRUE(choose(7, 0));
  EXPECT_EQ(Settings().ReadText(u"Options", u"Language"), u"7");
  EXPECT_EQ(Settings().ReadText(u"Options", u"LanguageFile"), u"lang\\lang.pt.ini");
  EXPECT_FALSE(choose(7, 7));  // shown selected again; no change, no question
}

TEST_F(OptionsWindowTest, ScreenshotsOfEveryPageInEnglishAndJapanese) {
  InEachLanguage({"en", "ja"}, [&](const std::string& suffix) {
    Open(kIni);
    WithOptions([&](HWND sheet) {
      static const char* kNames[] = {"general", "result_list", "database", "volumes", "misc"};
      for (int i = 0; i < 5; ++i) {
        Page(sheet, i);
        RedrawWindow(sheet, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        Sleep(150);
        RECT rc;
        GetWindowRect(sheet, &rc);
        EXPECT_TRUE(SaveScreenPng(rc, std::string("options_") + kNames[i] + "_" + suffix)) << kNames[i];
      }
      PropSheet_PressButton(sheet, PSBTN_CANCEL);
    });
    driver_.reset();
  });
}

}  // namespace
}  // namespace nusk::testing
