// The window's life between processes: real "nusk.exe gui" processes under one home
// folder, the hand-over of a search from a second start, the refusal while a build runs,
// the question after an abnormal end, the crash handler, and the restart after the
// database location changed.
#include <windows.h>

#include <commctrl.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include "gui/resource.h"
#include "gui/tray_icon.h"
#include "index/db_files.h"
#include "l10n/builtin_ui.h"
#include "platform/env.h"
#include "platform/process.h"
#include "platform/win32/win_text.h"
#include "search/query_parser.h"
#include "search/query_runner.h"
#include "settings/recent_list.h"
#include "tests/app/nusk_child.h"
#include "tests/gui/window_driver.h"
#include "util/utf.h"
#include "util/version.h"

namespace nusk::testing {
namespace {

std::vector<HWND> MainWindows() {
  std::vector<HWND> found;
  EnumWindows(
      [](HWND w, LPARAM lp) -> BOOL {
        wchar_t cls[64] = {};
        GetClassNameW(w, cls, 63);
        if (lstrcmpW(cls, L"Nusk_Main_Window") == 0) reinterpret_cast<std::vector<HWND>*>(lp)->push_back(w);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

HWND SearchBoxOf(HWND window) {
  HWND box = FindWindowExW(window, nullptr, L"RICHEDIT50W", nullptr);
  return box ? box : FindWindowExW(window, nullptr, L"EDIT", nullptr);
}

int ListCount(HWND window) {
  return static_cast<int>(SendMessageW(FindWindowExW(window, nullptr, WC_LISTVIEWW, nullptr), LVM_GETITEMCOUNT, 0, 0));
}

bool WaitFor(const std::function<bool()>& done, int ms) {
  for (int waited = 0; waited < ms; waited += 50) {
    if (done()) return true;
    Sleep(50);
  }
  return done();
}

bool IsLoadingText(const std::u16string& status) {
  static const std::u16string japanese = [] {
    CJaUI ja;
    ja.Fill();
    return ja.Message(u"MSG.LoadingDB", u"");
  }();
  return status == u"Loading database.." || status == japanese;
}

// A window of another process that shows the list (its database has loaded).
HWND WaitForLoadedWindow(const std::vector<HWND>& known, int ms = 20000) {
  HWND found = nullptr;
  WaitFor(
      [&] {
        for (HWND w : MainWindows()) {
          if (std::find(known.begin(), known.end(), w) != known.end()) continue;
          // The status bar leaves "Loading database.." (in any language) once the first search ran.
          const std::u16string status = WindowText(FindWindowExW(w, nullptr, STATUSCLASSNAMEW, nullptr));
          if (IsWindowVisible(w) && !status.empty() && !IsLoadingText(status) && status != u"Searching ..") {
            found = w;
          }
        }
        return found != nullptr;
      },
      ms);
  return found;
}

// The next message box captioned "Nusk" of any process: its text (empty when none came).
// Saves a screenshot under shot when given, then presses button.
std::u16string AnswerBox(int button, int ms, const std::string& shot = "") {
  HWND dlg = nullptr;
  if (!WaitFor([&] { return (dlg = FindWindowW(L"#32770", L"Nusk")) != nullptr && IsWindowVisible(dlg); }, ms)) {
    return u"";
  }
  std::u16string text;
  for (HWND child = GetWindow(dlg, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    wchar_t cls[32] = {};
    GetClassNameW(child, cls, 31);
    if (lstrcmpiW(cls, L"Static") == 0) text += WindowText(child);
  }
  if (!shot.empty()) {
    Sleep(300);  // let it paint
    RECT rc;
    GetWindowRect(dlg, &rc);
    EXPECT_TRUE(SaveScreenPng(rc, shot));
  }
  PostMessageW(dlg, WM_COMMAND, button, 0);
  WaitFor([&] { return !IsWindow(dlg); }, 5000);
  return text;
}

// The process that started process pid (0 when unknown).
DWORD ParentOf(DWORD pid) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  DWORD parent = 0;
  for (BOOL ok = Process32FirstW(snapshot, &entry); ok; ok = Process32NextW(snapshot, &entry))
    if (entry.th32ProcessID == pid) parent = entry.th32ParentProcessID;
  CloseHandle(snapshot);
  return parent;
}

class InstanceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The folder handed over exists on disk and in the index.
    CreateDirectoryW(L"C:\\nusk life", nullptr);
    CreateDirectoryW(L"C:\\nusk life\\My Folder", nullptr);
    for (const char16_t* p : {u"C:\\nusk life\\My Folder\\plan.txt", u"C:\\nusk life\\My Folder\\photo.jpg",
                              u"C:\\nusk life\\other.txt", u"C:\\elsewhere\\notes.txt"}) {
      index_.File(p, 10);
    }
    index_.Build();
  }
  void TearDown() override {
    for (HWND w : MainWindows()) PostMessageW(w, kMsgExitProgram, 0, 0);  // ends a window kept in the tray too
    for (auto& c : children_) {
      int code = 0;
      c->Wait(10000, &code);
    }
  }

  // The settings file as given, with the tip of the day off: a tip over the window would
  // take the focus and the keys these tests send.
  void WriteIni(std::string_view text) {
    std::string ini(text);
    constexpr std::string_view kGlobal = "[Global]\r\n";
    const size_t global = ini.find(kGlobal);
    if (global == std::string::npos) {
      ini.insert(0, std::string(kGlobal) + "ShowTipOnStartup=0\r\n");
    } else {
      ini.insert(global + kGlobal.size(), "ShowTipOnStartup=0\r\n");
    }
    index_.dir().WriteFile(u"nusk.ini", ini);
  }
  std::string Ini() {
    std::string bytes;
    Env::Default()->ReadWholeFile(index_.home() + u"nusk.ini", &bytes);
    return FromUtf16Ini(bytes);
  }
  static std::string FromUtf16Ini(const std::string& bytes) {
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
      return ToUtf8(std::u16string(reinterpret_cast<const char16_t*>(bytes.data() + 2), (bytes.size() - 2) / 2));
    }
    return bytes;
  }

  ChildProcess* StartGui(const std::vector<std::u16string>& words, ChildOptions options = {}) {
    std::vector<std::u16string> args = {u"gui", u"--dbdir", index_.home()};
    args.insert(args.end(), words.begin(), words.end());
    std::unique_ptr<ChildProcess> child;
    const Status s = ChildProcess::Start(NuskExecutable(), args, options, &child);
    EXPECT_TRUE(s.ok()) << s.message();
    children_.push_back(std::move(child));
    return children_.back().get();
  }

  // What the index answers for a search text (the oracle for the window's count).
  size_t Matches(std::u16string_view text, TestIndex* index = nullptr) {
    RunOptions options;
    return RunQuery((index ? index : &index_)->view(), ParseQuery(text), TermContext{}, options).items.size();
  }

  TestIndex index_;
  std::vector<std::unique_ptr<ChildProcess>> children_;
};

TEST_F(InstanceTest, SecondStartHandsItsFolderToTheRunningWindowAndEnds) {
  WriteIni("[Options]\r\nMultiInstance=0\r\n");
  StartGui({});
  HWND first = WaitForLoadedWindow({});
  ASSERT_TRUE(first);
  ASSERT_TRUE(WaitFor([&] { return ListCount(first) == static_cast<int>(Matches(u"")); }, 10000));

  ChildProcess* second = StartGui({u"C:\\nusk life\\My Folder"});
  int code = -1;
  ASSERT_TRUE(second->Wait(20000, &code)) << "the second start did not end";
  EXPECT_EQ(code, 0);
  EXPECT_EQ(MainWindows().size(), 1u);
  const std::u16string want = u"\"C:\\nusk life\\My Folder\" ";  // quotes back, one space: the folder exists
  EXPECT_TRUE(WaitFor([&] { return WindowText(SearchBoxOf(first)) == want; }, 5000))
      << ToUtf8(WindowText(SearchBoxOf(first)));
  const size_t expected = Matches(want);
  ASSERT_GT(expected, 0u);
  ASSERT_LT(expected, Matches(u""));
  EXPECT_TRUE(WaitFor([&] { return ListCount(first) == static_cast<int>(expected); }, 5000)) << ListCount(first);
  EXPECT_NE(Ini().find("FindStr=|C:\\nusk life\\My Folder|"), std::string::npos) << Ini();

  // The query's own "|" arrives as it was typed.
  ChildProcess* third = StartGui({u"*.txt|*.jpg"});
  ASSERT_TRUE(third->Wait(20000, &code));
  EXPECT_TRUE(WaitFor([&] { return WindowText(SearchBoxOf(first)) == u"*.txt|*.jpg"; }, 5000))
      << ToUtf8(WindowText(SearchBoxOf(first)));
  EXPECT_TRUE(WaitFor([&] { return ListCount(first) == static_cast<int>(Matches(u"*.txt|*.jpg")); }, 5000));
}

TEST_F(InstanceTest, WithMultiInstanceBothWindowsStayAndNoQuestionWhileOneRuns) {
  WriteIni("[Options]\r\nMultiInstance=1\r\n");
  StartGui({});
  HWND first = WaitForLoadedWindow({});
  ASSERT_TRUE(first);
  // The first window's start is now later than any recorded end: only the running
  // instance keeps the second start from asking about an abnormal end.
  StartGui({u"other"});
  HWND second = WaitForLoadedWindow({first});
  ASSERT_TRUE(second) << "no second window (a question box?): " << ToUtf8(AnswerBox(IDNO, 100));
  EXPECT_EQ(MainWindows().size(), 2u);
  EXPECT_EQ(WindowText(SearchBoxOf(first)), u"");
  EXPECT_EQ(WindowText(SearchBoxOf(second)), u"other");
}

// StartMinimized with CloseToTray: the window starts hidden behind its icon, whose
// click brings it up.
TEST_F(InstanceTest, StartMinimizedShowsOnlyTheIconUntilItIsClicked) {
  WriteIni("[Options]\r\nCloseToTray=1\r\nStartMinimized=1\r\n");
  StartGui({});
  HWND window = nullptr;
  ASSERT_TRUE(WaitFor([&] { return !MainWindows().empty() && (window = MainWindows()[0]); }, 20000));
  Sleep(500);
  EXPECT_FALSE(IsWindowVisible(window));
  SendMessageW(window, kMsgTrayIcon, 1, WM_LBUTTONUP);
  EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(window) != FALSE; }, 5000));
}

TEST_F(InstanceTest, NoWindowWhileABuildHoldsTheLock) {
  WriteIni("");
  std::unique_ptr<NamedMutex> lock = Env::Default()->CreateFolderLock(index_.home(), u"NUSK_BUILD");
  bool taken = false;
  ASSERT_TRUE(lock->TryLock(&taken).ok());
  ASSERT_TRUE(taken);
  ChildProcess* gui = StartGui({});
  EXPECT_EQ(AnswerBox(IDOK, 20000), u"Nusk build in progress, please run GUI few seconds later.");
  int code = -1;
  ASSERT_TRUE(gui->Wait(10000, &code));
  EXPECT_EQ(code, 0);
  EXPECT_TRUE(MainWindows().empty());
  lock->Unlock();
}

// LastUIStartTime after LastUIEndTime: the previous window did not end normally.
constexpr char kAbnormalEnd[] = "[Global]\r\nLastUIStartTime=200\r\nLastUIEndTime=100\r\n";

TEST_F(InstanceTest, CleanQuestionAfterAbnormalEnd) {
  // Cancel ends the start and keeps the database.
  WriteIni(kAbnormalEnd);
  ChildProcess* gui = StartGui({});
  const std::u16string text = AnswerBox(IDCANCEL, 20000, "crash_question_en");
  EXPECT_NE(text.find(u"Nusk Gui didn't shutdown correctly last time."), std::u16string::npos) << ToUtf8(text);
  int code = -1;
  ASSERT_TRUE(gui->Wait(10000, &code));
  EXPECT_TRUE(MainWindows().empty());
  EXPECT_TRUE(HasDatabase(index_.home(), Env::Default()));

  // No goes on with the database as it is (asked in the chosen language).
  WriteIni(std::string(kAbnormalEnd) + "[Options]\r\nLanguage=4\r\n");
  StartGui({});
  EXPECT_NE(AnswerBox(IDNO, 20000, "crash_question_ja").find(u"データベース"), std::u16string::npos);
  HWND window = WaitForLoadedWindow({});
  ASSERT_TRUE(window);
  EXPECT_TRUE(WaitFor([&] { return ListCount(window) == static_cast<int>(Matches(u"")); }, 10000));
  // A normal end records an end after the start: the next start asks nothing.
  PostMessageW(window, WM_CLOSE, 0, 0);
  ASSERT_TRUE(children_.back()->Wait(10000, &code));
  EXPECT_EQ(code, 0);
  StartGui({});
  window = WaitForLoadedWindow({});
  ASSERT_TRUE(window) << ToUtf8(AnswerBox(IDNO, 100));
  PostMessageW(window, WM_CLOSE, 0, 0);
  ASSERT_TRUE(children_.back()->Wait(10000, &code));

  // Yes cleans: the window opens on an empty database.
  WriteIni(kAbnormalEnd);
  StartGui({});
  EXPECT_FALSE(AnswerBox(IDYES, 20000).empty());
  window = WaitForLoadedWindow({});
  ASSERT_TRUE(window);
  EXPECT_FALSE(HasDatabase(index_.home(), Env::Default()));
  AnswerBox(IDNO, 1500);  // an offer to build the empty database, where the window makes one
  EXPECT_TRUE(WaitFor(
      [&] { return WindowText(FindWindowExW(window, nullptr, STATUSCLASSNAMEW, nullptr)) != u"Loading database.."; },
      10000));
  EXPECT_EQ(ListCount(window), 0);
}

// A window that crashes writes the dump and the report with its last search, and the
// next start asks about the abnormal end.
TEST_F(InstanceTest, CrashWritesDumpAndLogWithTheLastSearch) {
  for (const bool full : {false, true}) {
    SCOPED_TRACE(full ? "full dump" : "small dump");
    WriteIni("");
    if (full) index_.dir().WriteFile(u"_MAX_DMP", "");
    ChildOptions options;
    options.env = {{u"NUSK_TEST_CRASH_MESSAGE", u"1"}, {u"NUSK_CRASH_NO_DEBUGGER", u"1"}};
    ChildProcess* gui = StartGui({}, options);
    HWND window = WaitForLoadedWindow({});
    ASSERT_TRUE(window);
    const std::u16string search = full ? u"plan 資料" : u"photo";
    SendMessageW(SearchBoxOf(window), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(W(search).c_str()));
    // The list shows the typed search's rows once it ran (the first search showed all).
    const int rows = static_cast<int>(Matches(search));
    ASSERT_NE(rows, ListCount(window));
    ASSERT_TRUE(WaitFor([&] { return ListCount(window) == rows; }, 10000)) << ListCount(window);
    PostMessageW(window, 20490, 0, 0);
    int code = 0;
    ASSERT_TRUE(gui->Wait(120000, &code)) << "the window did not end after its crash";
    EXPECT_NE(code, 0);
    const std::u16string dump = index_.home() + (full ? u"nusk.gui.max.dmp" : u"nusk.gui.mini.dmp");
    const std::u16string other = index_.home() + (full ? u"nusk.gui.mini.dmp" : u"nusk.gui.max.dmp");
    EXPECT_GT(Env::Default()->FileSize(dump), 0);
    if (full) {
      EXPECT_TRUE(Env::Default()->FileExists(other));  // the small one of the first round stays
    } else {
      EXPECT_FALSE(Env::Default()->FileExists(other));
    }
    std::string log;
    ASSERT_TRUE(Env::Default()->ReadWholeFile(index_.home() + u"nusk.gui.log", &log).ok());
    const std::string report =
        "--------------- gui crashed ---------------\n-- nusk info --\nNusk version: " NUSK_VERSION
        ", 64 bit\n"
        "Nusk home: " +
        ToUtf8(index_.home()) +
        "\nPortable: Y\n-- Search info --\n"
        "Last search: " +
        ToUtf8(search) + "\n";
    EXPECT_NE(log.find(report), std::string::npos) << log;
  }
  // The crash left no end time: the next start asks.
  StartGui({});
  EXPECT_FALSE(AnswerBox(IDNO, 20000).empty());
  EXPECT_TRUE(WaitForLoadedWindow({}));
}

// Another database location chosen and the restart accepted: the old window ends, and the
// program started again with the same command line ("gui --dbdir <home>", whose settings
// now lead to the chosen folder) opens the database there.
TEST_F(InstanceTest, RestartAfterTheLocationChangedOpensTheChosenDatabase) {
  TestIndex other;
  other.File(u"C:\\moved\\only.txt", 10);
  other.Build();
  other.dir().WriteFile(u"nusk.ini", "[Global]\r\nShowTipOnStartup=0\r\n");
  ASSERT_NE(Matches(u"", &other), Matches(u""));
  WriteIni("[RecentDbLocations]\r\n" + ToUtf8(RecentList::KeyFor(0)) + "=" + ToUtf8(other.home()) + "\r\n");
  StartGui({});
  HWND first = WaitForLoadedWindow({});
  ASSERT_TRUE(first);
  DWORD first_pid = 0;
  GetWindowThreadProcessId(first, &first_pid);
  PostMessageW(first, WM_COMMAND, IDM_DB_LOCATION_FIRST, 0);
  const std::u16string offer = AnswerBox(IDYES, 20000);
  EXPECT_NE(offer.find(other.home()), std::u16string::npos) << ToUtf8(offer);
  int code = -1;
  EXPECT_TRUE(children_.back()->Wait(20000, &code)) << "the old window did not end";
  HWND second = WaitForLoadedWindow({first});
  ASSERT_TRUE(second);
  DWORD pid = 0;
  GetWindowThreadProcessId(second, &pid);
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, pid);
  wchar_t image[MAX_PATH] = {};
  DWORD size = MAX_PATH;
  QueryFullProcessImageNameW(process, 0, image, &size);
  EXPECT_EQ(lstrcmpiW(image, W(NuskExecutable()).c_str()), 0) << ToUtf8(U(image));
  EXPECT_EQ(ParentOf(pid), first_pid);
  EXPECT_TRUE(WaitFor([&] { return ListCount(second) == static_cast<int>(Matches(u"", &other)); }, 10000))
      << ListCount(second);
  EXPECT_FALSE(IsWindow(first));
  PostMessageW(second, kMsgExitProgram, 0, 0);
  EXPECT_EQ(WaitForSingleObject(process, 20000), WAIT_OBJECT_0);
  CloseHandle(process);
}

}  // namespace
}  // namespace nusk::testing
