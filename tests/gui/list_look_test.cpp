// The explorer-style list's look (alternate row-group colours, thumbnails, sleeping
// drives), what happens after the first result, opening items and the export dialog, in a
// real window of this process.
#include <windows.h>

#include <commctrl.h>
#include <objidl.h>

#include <algorithm>
using std::max;
using std::min;
#include <gdiplus.h>

#include <gtest/gtest.h>

#include "gui/resource.h"
#include "platform/win32/win_text.h"
#include "settings/recent_list.h"
#include "tests/gui/window_driver.h"
#include "ui/first_result.h"
#include "util/utf.h"

namespace nusk::testing {
namespace {

constexpr uint32_t kT = 1500000000;

// The colour on screen at a point of a window's client area.
COLORREF PixelAt(HWND hwnd, POINT p) {
  RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  HDC dc = GetDC(hwnd);
  const COLORREF c = GetPixel(dc, p.x, p.y);
  ReleaseDC(hwnd, dc);
  return c;
}

// A point inside a row near the right end of the last column, where no text is drawn.
POINT RowBackground(HWND list, int row) {
  RECT rc;
  ListView_GetItemRect(list, row, &rc, LVIR_BOUNDS);
  return {rc.right - 4, (rc.top + rc.bottom) / 2};
}

// Writes a width x height picture of one colour (0xAARRGGBB) with GDI+ in the given format.
bool WritePicture(const std::u16string& path, uint32_t argb, const CLSID& encoder, int width = 120, int height = 80) {
  Gdiplus::GdiplusStartupInput input;
  ULONG_PTR token = 0;
  if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) return false;
  bool ok;
  {
    Gdiplus::Bitmap bitmap(width, height, PixelFormat32bppARGB);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) bitmap.SetPixel(x, y, Gdiplus::Color(argb));
    ok = bitmap.Save(W(path).c_str(), &encoder, nullptr) == Gdiplus::Ok;
  }
  Gdiplus::GdiplusShutdown(token);
  return ok;
}

constexpr CLSID kPngEncoder = {0x557CF406, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
constexpr CLSID kBmpEncoder = {0x557CF400, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};

int Red(COLORREF c) { return GetRValue(c); }
int Blue(COLORREF c) { return GetBValue(c); }

TEST(WindowLookTest, AlternateRowGroupColoursFollowTheParentFolder) {
  TestIndex index;
  for (const char16_t* p :
       {u"C:\\alpha\\x1.txt", u"C:\\alpha\\x2.txt", u"C:\\beta\\x3.txt", u"C:\\beta\\x4.txt", u"C:\\gamma\\x5.txt"}) {
    index.File(p, 10, kT);
  }
  index.Build();
  WindowDriver d(&index, "[Options]\r\nAltRowGroupColor=1\r\nExplorerStyleList=1\r\n");
  ASSERT_TRUE(d.Open());
  ASSERT_TRUE(d.list().look().alt_row_colors());
  d.Type(u"x");
  d.ClickHeader(1);  // Path ascending: alpha, alpha, beta, beta, gamma
  ASSERT_EQ(d.list().count(), 5u);
  ASSERT_EQ(d.Cell(0, 1), u"C:\\alpha");
  ASSERT_EQ(d.Cell(2, 1), u"C:\\beta");
  const COLORREF window = GetSysColor(COLOR_WINDOW);
  const COLORREF tint = d.list().look().tint();
  ASSERT_NE(tint, window);
  HWND lv = d.list().hwnd();
  const COLORREF want[] = {window, window, tint, tint, window};
  for (int row = 0; row < 5; ++row) EXPECT_EQ(PixelAt(lv, RowBackground(lv, row)), want[row]) << "row " << row;
  EXPECT_TRUE(d.Screenshot("alt_row_colors"));
  // Sorted by name the folders interleave: x1 alpha, x2 alpha, x3 beta... the same here, so
  // hide the second row: alpha, beta, beta, gamma.
  ListView_SetItemState(lv, 1, LVIS_SELECTED, LVIS_SELECTED);
  d.list().HideSelected();
  ListView_SetItemState(lv, -1, 0, LVIS_SELECTED);
  const COLORREF after[] = {window, tint, tint, window};
  for (int row = 0; row < 4; ++row) EXPECT_EQ(PixelAt(lv, RowBackground(lv, row)), after[row]) << "row " << row;
  // Off: every row has the window's colour.
  d.list().look().SetAltRowColors(false);
  for (int row = 0; row < 4; ++row) EXPECT_EQ(PixelAt(lv, RowBackground(lv, row)), window) << "row " << row;
}

class ThumbnailTest : public ::testing::Test {
 protected:
  void SetUp() override {
    red_ = index_.dir().WriteFile(u"pics/shot red.png", "");
    blue_ = index_.dir().WriteFile(u"pics/shot blue.bmp", "");
    text_ = index_.dir().WriteFile(u"pics/shot notes.txt", "not a picture");
    ASSERT_TRUE(WritePicture(red_, 0xFFE01010, kPngEncoder));
    ASSERT_TRUE(WritePicture(blue_, 0xFF1010E0, kBmpEncoder, 60, 100));
    for (const std::u16string& p : {red_, blue_, text_}) index_.File(p, 100, kT);
    index_.Build();
  }

  int Row(WindowDriver& d, const std::u16string& path) {
    for (uint32_t r = 0; r < d.list().count(); ++r)
      if (d.list().FullPath(r) == path) return static_cast<int>(r);
    return -1;
  }

  // The colour at the centre of the row's picture.
  COLORREF PictureCentre(WindowDriver& d, int row) {
    RECT rc;
    ListView_GetItemRect(d.list().hwnd(), row, &rc, LVIR_ICON);
    return PixelAt(d.list().hwnd(), {(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2});
  }

  // Waits until every shown row's picture has come back from the worker.
  void WaitForPictures(WindowDriver& d) {
    InvalidateRect(d.list().hwnd(), nullptr, TRUE);
    d.Pump(100);
    PumpUntil(
        &d.window(), [&] { return !d.list().look().worker()->running(); }, 10000);
    d.Pump(100);
  }

  TestIndex index_;
  std::u16string red_, blue_, text_;
};

TEST_F(ThumbnailTest, PicturesOfImageFilesFillTallRows) {
  WindowDriver d(&index_, "[Options]\r\nThumbnailSize=96\r\n[UIState]\r\nThumbnailsView=1\r\n");
  ASSERT_TRUE(d.Open());
  ASSERT_TRUE(d.list().look().thumbnails());
  d.Type(u"shot");
  ASSERT_EQ(d.list().count(), 3u);
  WaitForPictures(d);
  const uint32_t red_item = d.list().ItemAt(Row(d, red_)), blue_item = d.list().ItemAt(Row(d, blue_));
  EXPECT_TRUE(d.list().look().HasOwnPicture(red_item));
  EXPECT_TRUE(d.list().look().HasOwnPicture(blue_item));
  RECT rc;
  ListView_GetItemRect(d.list().hwnd(), 0, &rc, LVIR_BOUNDS);
  EXPECT_GE(rc.bottom - rc.top, 96);
  const COLORREF red = PictureCentre(d, Row(d, red_)), blue = PictureCentre(d, Row(d, blue_));
  EXPECT_GT(Red(red), 200);
  EXPECT_LT(Blue(red), 60);
  EXPECT_GT(Blue(blue), 200);
  EXPECT_LT(Red(blue), 60);
  EXPECT_TRUE(d.Screenshot("thumbnails"));
  // Off again: rows of text height, no image list.
  d.list().look().SetThumbnails(false, 96);
  d.Pump(50);
  ListView_GetItemRect(d.list().hwnd(), 0, &rc, LVIR_BOUNDS);
  EXPECT_LT(rc.bottom - rc.top, 48);
}

// AvoidWakingUpHdds: items on a sleeping drive get the generic icon and no details, and the
// file system is not asked about them.
TEST_F(ThumbnailTest, ASleepingDriveIsNotAskedForPicturesOrDetails) {
  std::atomic<int> asked{0};
  WindowDriver d(&index_, "[Options]\r\nThumbnailSize=48\r\n[UIState]\r\nThumbnailsView=1\r\nColumns=0,3,6\r\n");
  ASSERT_TRUE(d.Open());
  auto asleep = [&](std::u16string_view) {
    ++asked;
    return false;
  };
  d.list().look().set_may_touch(asleep);
  d.list().look().SetThumbnails(true, 48);
  d.list().details()->set_may_touch(asleep);
  d.list().details()->Clear();  // the first result's rows were asked about before
  d.Type(u"shot");
  ASSERT_EQ(d.list().count(), 3u);
  WaitForPictures(d);
  PumpUntil(
      &d.window(), [&] { return !d.list().details()->running(); }, 5000);
  d.Pump(50);
  const int row = Row(d, red_);
  EXPECT_FALSE(d.list().look().HasOwnPicture(d.list().ItemAt(row)));
  EXPECT_LT(Red(PictureCentre(d, row)), 200);
  EXPECT_EQ(d.Cell(row, 1), u"");  // no type name
  EXPECT_EQ(d.Cell(row, 2), u"");  // no attributes
  EXPECT_GE(asked.load(), 6);      // three pictures and three rows of details were refused
  // The system's own answer for a drive whose volume cannot be opened (a letter that does
  // not exist): not known to sleep, so its items are asked about as usual. The letter is one
  // no test maps: the end-to-end scripts link q: and n: into the prefix, and Wine's mount
  // manager can still answer for a drive after its link is gone.
  char16_t missing = u'K';
  while (missing < u'P' && (GetLogicalDrives() & (1u << (missing - u'A')))) ++missing;
  EXPECT_TRUE(SystemDriveSpinning()(missing));
}

// Steps after the first result: the empty-database question, LastRunVersion, the tip hook.
TEST(WindowFirstResultTest, EmptyDatabaseQuestionBuildAndTip) {
  struct Case {
    int answer;  // 0: no question expected
    bool empty;
    const char* ini;
    int builds, tips;
  } cases[] = {
      {IDYES, true, "", 1, 0},
      {IDNO, true, "", 0, 1},
      {0, false, "[Global]\r\nShowTipOnStartup=0\r\n", 0, 0},
      {0, false, "", 0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer);
    TestIndex index;
    if (!c.empty) index.File(u"C:\\a.txt", 1, kT);
    index.Build();
    int builds = 0, tips = 0, drive = -1;
    WindowDriver d(&index, c.ini);
    d.configure = [&](MainWindowConfig* config) {
      config->start_build = [&](int letter) {
        ++builds;
        drive = letter;
        return true;
      };
      config->show_tip = [&] { ++tips; };
    };
    {
      MessageBoxCatcher box(c.answer ? c.answer : IDOK);
      ASSERT_TRUE(d.Open());
      d.Pump(100);
      EXPECT_EQ(box.seen(), c.answer != 0);
      if (c.answer) { EXPECT_EQ(box.text(), u"Database is empty, do you want to build it now?"); }
    }
    EXPECT_EQ(builds, c.builds);
    if (c.builds) {
      EXPECT_EQ(drive, 0);  // all drives
    }
    EXPECT_EQ(tips, c.tips);
    SettingsFile ini(index.home() + u"nusk.ini");
    EXPECT_EQ(ini.ReadText(u"Global", u"LastRunVersion"), kProgramVersion);
  }
}

// Open runs the shell's default command (a command script here, which leaves a file) and
// the window records the opened item (message 20433); the export dialog writes the file
// named in it.
TEST(WindowOpenTest, OpenRecordsTheItemAndExportDialogWritesTheFile) {
  TestIndex index;
  const std::u16string script = index.dir().WriteFile(u"run/mark.cmd", "@echo opened> \"%~dp0opened.txt\"\r\n");
  index.File(script, 40, kT);
  index.Build();
  WindowDriver d(&index, "[Options]\r\nRememberRecentOpened=1\r\n");
  ASSERT_TRUE(d.Open());
  d.Type(u"mark.cmd");
  ASSERT_EQ(d.list().count(), 1u);
  ListView_SetItemState(d.list().hwnd(), 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  d.window().Command(IDM_FILE_OPEN);
  const std::u16string marker = index.dir().Sub(u"run") + u"\\opened.txt";
  EXPECT_TRUE(PumpUntil(
      &d.window(), [&] { return GetFileAttributesW(W(marker).c_str()) != INVALID_FILE_ATTRIBUTES; }, 20000));
  RecentList opened(kRecentOpened);
  opened.Load(SettingsFile(index.home() + u"nusk.ini"));
  ASSERT_FALSE(opened.entries().empty());
  EXPECT_EQ(opened.entries()[0], script);

  // The export dialog: a helper thread types the file name and presses Save.
  const std::u16string out = index.home() + u"picked.csv";
  std::atomic<bool> answered{false};
  std::thread answer([&] {
    for (int i = 0; i < 1000 && !answered; ++i) {
      HWND dlg = FindWindowW(L"#32770", W(u"Export result list file:").c_str());
      if (dlg && IsWindowVisible(dlg)) {
        Sleep(200);
        HWND edit = nullptr;
        EnumChildWindows(
            dlg,
            [](HWND child, LPARAM lp) -> BOOL {
              wchar_t cls[32] = {};
              GetClassNameW(child, cls, 31);
              if (lstrcmpiW(cls, L"Edit") == 0 && IsWindowVisible(child)) {
                *reinterpret_cast<HWND*>(lp) = child;
                return FALSE;
              }
              return TRUE;
            },
            reinterpret_cast<LPARAM>(&edit));
        if (edit) SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(W(out).c_str()));
        PostMessageW(dlg, WM_COMMAND, IDOK, 0);
        answered = true;
      }
      Sleep(10);
    }
  });
  wchar_t before[MAX_PATH] = {}, after[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, before);
  d.window().Command(IDM_FILE_EXPORT);
  answer.join();
  EXPECT_TRUE(answered.load());
  GetCurrentDirectoryW(MAX_PATH, after);
  EXPECT_EQ(U(after), U(before)) << "the program's current folder stays";
  std::string bytes;
  ASSERT_TRUE(Env::Default()->ReadWholeFile(out, &bytes).ok());
  EXPECT_EQ(bytes.rfind("\xEF\xBB\xBF\"Name\",\"Path\",\"Size(KB)\",\"Date modified\"\r\n\"mark.cmd\",", 0), 0u)
      << bytes;
}

// Opening eleven items asks before the eleventh; No stops there.
TEST(WindowOpenTest, ElevenItemsAskBeforeTheEleventh) {
  TestIndex index;
  std::vector<std::u16string> markers;
  for (int i = 1; i <= 11; ++i) {
    const std::u16string n = FromUtf8((i < 10 ? "0" : "") + std::to_string(i));
    index.File(index.dir().WriteFile(u"many/m" + n + u".cmd", "@echo x> \"%~dp0done" + ToUtf8(n) + ".txt\"\r\n"), 40,
               kT);
    markers.push_back(index.dir().Sub(u"many") + u"\\done" + n + u".txt");
  }
  index.Build();
  WindowDriver d(&index, "");
  ASSERT_TRUE(d.Open());
  d.Type(u".cmd");
  ASSERT_EQ(d.list().count(), 11u);
  d.ClickHeader(0);
  ListView_SetItemState(d.list().hwnd(), -1, LVIS_SELECTED, LVIS_SELECTED);
  auto exists = [](const std::u16string& p) { return GetFileAttributesW(W(p).c_str()) != INVALID_FILE_ATTRIBUTES; };
  {
    MessageBoxCatcher box(IDNO);
    d.window().Command(IDM_FILE_OPEN);
    EXPECT_EQ(box.text(), u"You have opened 10 files, do you want to continue?");
  }
  EXPECT_TRUE(PumpUntil(
      &d.window(), [&] { return std::all_of(markers.begin(), markers.begin() + 10, exists); }, 30000));
  d.Pump(1000);
  EXPECT_FALSE(exists(markers[10]));
}

}  // namespace
}  // namespace nusk::testing
