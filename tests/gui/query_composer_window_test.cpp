// The query composer over the real main window in this process: its fields drive the search
// box and the result list, it opens on the fields of the current search, its position
// survives a restart, and its labels follow the language table.
#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include "gui/query_composer_dialog.h"
#include "gui/resource.h"
#include "l10n/builtin_ui.h"
#include "l10n/mui.h"
#include "platform/win32/win_text.h"
#include "tests/gui/window_driver.h"
#include "util/utf.h"

namespace nusk::testing {
namespace {

constexpr uint32_t kTime = 1500000000;  // a day in 2025

class ComposerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    index_.File(u"C:\\docs\\report 2014.docx", 10u << 20, kTime);
    index_.File(u"C:\\docs\\report draft.txt", 1536, kTime);
    index_.File(u"C:\\docs\\notes.txt", 100, kTime);
    index_.File(u"C:\\music\\Song One.mp3", 4000000, kTime);
    index_.File(u"C:\\music\\report.wav", 1, kTime);
    index_.File(u"D:\\data\\readme.md", 2048, kTime);
    index_.Build();
  }
  void TearDown() override { InstallUI(nullptr); }

  TestIndex index_;
};

HWND Field(WindowDriver& d, int id) { return GetDlgItem(d.window().composer().hwnd(), id); }

TEST_F(ComposerTest, FieldsDriveTheSearchBoxAndTheList) {
  WindowDriver d(&index_, "[Options]\r\nShowAllItemsForEmptySearch=1\r\n");
  ASSERT_TRUE(d.Open(u"C:\\docs /f report"));
  ASSERT_EQ(d.list().count(), 2u);
  d.Key('Q', /*ctrl=*/true);
  QueryComposerDialog& composer = d.window().composer();
  ASSERT_TRUE(composer.is_open());
  // Opened on the fields of the search text.
  EXPECT_EQ(WindowText(Field(d, kQcRootDir)), u"C:\\docs");
  EXPECT_EQ(WindowText(Field(d, kQcNameContains)), u"report");
  EXPECT_TRUE(IsDlgButtonChecked(composer.hwnd(), kQcFiles));
  EXPECT_EQ(d.window().box().Text(), u"C:\\docs /f report");  // opening changes nothing

  struct Step {
    const char* what;
    std::function<void()> act;
    std::u16string box;
    uint32_t rows;
  };
  auto type_into = [&](int id, std::u16string_view chars) {
    SetFocus(Field(d, id));
    for (char16_t c : chars) {
      PostMessageW(Field(d, id), WM_CHAR, c, 1);
      d.Pump(1);
    }
  };
  auto set_unit = [&](int id, int index) {
    SendMessageW(Field(d, id), CB_SETCURSEL, index, 0);
    SendMessageW(composer.hwnd(), WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(Field(d, id)));
  };
  auto set_date = [&](int id, WORD y, WORD m, WORD day) {
    SYSTEMTIME st{};
    st.wYear = y, st.wMonth = m, st.wDay = day;
    SendMessageW(Field(d, id), DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&st));
    NMDATETIMECHANGE change{};
    change.nmhdr = {Field(d, id), static_cast<UINT_PTR>(id), DTN_DATETIMECHANGE};
    change.st = st;
    SendMessageW(composer.hwnd(), WM_NOTIFY, id, reinterpret_cast<LPARAM>(&change));
  };
  const Step steps[] = {
      {"type the ending", [&] { type_into(kQcNameEnd, u".txt"); }, u"C:\\docs /f *report*.txt", 1},
      {"clear the contained text", [&] { SetWindowTextW(Field(d, kQcNameContains), L""); }, u"C:\\docs /f *.txt", 2},
      {"both types", [&] { SendMessageW(Field(d, kQcBoth), BM_CLICK, 0, 0); }, u"C:\\docs *.txt", 2},
      {"a minimum, same unit as below", [&] { type_into(kQcMinSize, u"1"); }, u"C:\\docs *.txt /size:1M", 0},
      {"the minimum in KB", [&] { set_unit(kQcMinUnit, 1); }, u"C:\\docs *.txt /size:1K", 1},
      {"a root folder with a space", [&] { SetWindowTextW(Field(d, kQcRootDir), L"C:\\my docs"); },
       u"C:\\my docs\\ *.txt /size:1K", 0},
      {"no root, a partial path",
       [&] {
         SetWindowTextW(Field(d, kQcRootDir), L"");
         SetWindowTextW(Field(d, kQcPartialPath), L"mus");
       },
       u"mus*\\ *.txt /size:1K", 0},
      {"the ending of the music", [&] { SetWindowTextW(Field(d, kQcNameEnd), L".wav"); }, u"mus*\\ *.wav /size:1K", 0},
      {"no minimum", [&] { SetWindowTextW(Field(d, kQcMinSize), L""); }, u"mus*\\ *.wav", 1},
      {"a from date long ago", [&] { set_date(kQcFromDate, 1990, 1, 1); }, u"mus*\\ *.wav /date:19900101", 1},
      {"and a to date", [&] { set_date(kQcToDate, 1991, 2, 3); }, u"mus*\\ *.wav /date:19900101-19910203", 0},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.what);
    s.act();
    d.Settle();
    EXPECT_EQ(d.window().box().Text(), s.box);
    EXPECT_EQ(d.window().search_text(), s.box);
    EXPECT_EQ(d.list().count(), s.rows);
  }
  // Escape in the form closes it.
  SetFocus(Field(d, kQcMisc));
  d.Key(VK_ESCAPE);
  EXPECT_FALSE(composer.is_open());
}

TEST_F(ComposerTest, PositionSurvivesARestart) {
  std::string ini = "[Options]\r\nShowAllItemsForEmptySearch=1\r\n";
  {
    WindowDriver d(&index_, ini);
    ASSERT_TRUE(d.Open());
    d.Key('Q', /*ctrl=*/true);
    ASSERT_TRUE(d.window().composer().is_open());
    SetWindowPos(d.window().composer().hwnd(), nullptr, 123, 145, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    d.Pump(50);
  }  // closing the main window closes the form and saves its place
  ini = SavedSettings(index_);
  EXPECT_NE(ini.find("QueryComposerPos=123,145"), std::string::npos) << ini;
  WindowDriver d(&index_, ini);
  ASSERT_TRUE(d.Open());
  d.Key('Q', /*ctrl=*/true);
  ASSERT_TRUE(d.window().composer().is_open());
  RECT rc;
  GetWindowRect(d.window().composer().hwnd(), &rc);
  EXPECT_EQ(rc.left, 123);
  EXPECT_EQ(rc.top, 145);
}

TEST_F(ComposerTest, LabelsFollowTheLanguageTable) {
  InEachLanguage({"en", "ja"}, [&](const std::string& code) {
    CMUI* ui = CurrentUI();
    WindowDriver d(&index_, "[Options]\r\nShowAllItemsForEmptySearch=1\r\n");
    ASSERT_TRUE(d.Open(u"D:\\My Data\\ \"my notes*\\\" /d a*z /hidden /size:10-20M /date:20140101-20141231"));
    d.Key('Q', /*ctrl=*/true);
    HWND form = d.window().composer().hwnd();
    ASSERT_TRUE(form);
    EXPECT_EQ(WindowText(form), ui ? ui->DialogText(u"dialog.query_composer", u"") : u"Query Composer");
    EXPECT_EQ(WindowText(GetDlgItem(form, kQcFirstLabel)),
              ui ? ui->DialogText(u"label.root_dir", u"") : u"Root folder:");
    EXPECT_EQ(WindowText(GetDlgItem(form, kQcOffline)), ui ? ui->DialogText(u"radio.offline", u"") : u"Offline");
    // Size units: the composer's lists and the size column.
    wchar_t unit[64] = {};
    SendMessageW(Field(d, kQcMaxUnit), CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(unit));
    EXPECT_EQ(U(unit), ui ? ui->Message(u"LBL.BYTES", u"") : u"Bytes");
    SendMessageW(Field(d, kQcMinUnit), CB_GETLBTEXT, 1, reinterpret_cast<LPARAM>(unit));
    EXPECT_EQ(U(unit), ui ? ui->Message(u"LBL.KB", u"") : u"KB");
    EXPECT_EQ(d.list().cell_options().units.bytes, ui ? ui->Message(u"LBL.SIZE_BYTES", u"") : u"bytes");
    if (ui) { EXPECT_NE(d.list().cell_options().units.bytes, u"bytes"); }
    EXPECT_EQ(WindowText(Field(d, kQcPartialPath)), u"my notes");
    EXPECT_EQ(WindowText(Field(d, kQcMisc)), u"/hidden");
    // Every label fits its text.
    for (int id = kQcFirstLabel; id < kQcFirstLabel + 11; ++id) {
      HWND label = GetDlgItem(form, id);
      HDC dc = GetDC(label);
      HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(label, WM_GETFONT, 0, 0)));
      const std::wstring text = W(WindowText(label));
      SIZE size{};
      GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
      SelectObject(dc, old);
      ReleaseDC(label, dc);
      RECT rc;
      GetClientRect(label, &rc);
      EXPECT_LE(size.cx, rc.right) << ToUtf8(U(text.c_str()));
    }
    RedrawWindow(form, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
    d.Pump(150);
    RECT rc;
    GetWindowRect(form, &rc);
    EXPECT_TRUE(SaveScreenPng(rc, "query_composer_" + code));
  });
}

}  // namespace
}  // namespace nusk::testing
