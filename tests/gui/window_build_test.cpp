// Builds started from real windows in this process, run by the real program as a child:
// two windows and a build from one (the other asks before it reloads), a background build
// during which searches go on, and periodic builds against the build lock.
#include <windows.h>

#include <commctrl.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <chrono>
#include <thread>

#include "gui/resource.h"
#include "platform/env.h"
#include "platform/win32/win_text.h"
#include "scan/build_command.h"
#include "settings/settings_file.h"
#include "tests/gui/window_driver.h"
#include "util/utf.h"

namespace nusk::testing {
namespace {

// Every drive deselected: an all-drives build writes the index back with its last full
// build time and touches no disk of the machine.
constexpr char kNoDrives[] =
    "[Options]\r\nShowAllItemsForEmptySearch=1\r\n"
    "VolumeStates=A0B0C0D0E0F0G0H0I0J0K0L0M0N0O0P0Q0R0S0T0U0V0W0X0Y0Z0\r\n";

std::u16string NuskProgram() {
  std::u16string p = FromUtf8(NUSK_BINARY_DIR) + u"/app/nusk.exe";
  for (char16_t& c : p) c = c == u'/' ? u'\\' : c;
  return p;
}

// Runs a script in the machine's own shell (Wine starts Unix programs) and waits for it.
// Its exit code; -1 when it could not be started or did not end within two minutes.
int RunShell(const std::string& script) {
  // Wine does not wait for a Unix program: the script leaves its exit code in a file.
  static int runs = 0;
  const std::string rc = "/tmp/nusk-shell-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++runs);
  std::wstring line = L"Z:\\bin\\sh -c \"(" + W(FromUtf8(script)) + L"); echo $? > " + W(FromUtf8(rc)) + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(L"Z:\\bin\\sh", line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1;
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  std::wstring file = L"Z:" + W(FromUtf8(rc));
  for (wchar_t& c : file) c = c == L'/' ? L'\\' : c;
  for (int i = 0; i < 12000; ++i, Sleep(10)) {
    FILE* f = _wfopen(file.c_str(), L"r");
    if (!f) continue;
    int code = -1;
    const bool read = fscanf(f, "%d", &code) == 1;
    fclose(f);
    if (!read) continue;  // not written yet
    DeleteFileW(file.c_str());
    return code;
  }
  return -1;
}

// The nusk.exe this process started (the build), or 0.
DWORD ChildBuild() {
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32W e{};
  e.dwSize = sizeof(e);
  DWORD found = 0;
  for (BOOL ok = Process32FirstW(snap, &e); ok && !found; ok = Process32NextW(snap, &e)) {
    if (e.th32ParentProcessID == GetCurrentProcessId() && lstrcmpiW(e.szExeFile, L"nusk.exe") == 0) {
      found = e.th32ProcessID;
    }
  }
  CloseHandle(snap);
  return found;
}

class WindowBuildTest : public ::testing::Test {
 protected:
  void SetUp() override {
    index_.File(u"C:\\docs\\report 2014.docx", 100);
    index_.File(u"C:\\docs\\report draft.txt", 100);
    index_.File(u"C:\\music\\report.wav", 100);
    index_.File(u"D:\\data\\readme.md", 100);
    index_.Build();
  }

  std::unique_ptr<WindowDriver> OpenWindow(const std::string& ini, int tick_ms = 10000) {
    auto d = std::make_unique<WindowDriver>(&index_, ini);
    d->configure = [tick_ms](MainWindowConfig* c) {
      c->program = NuskProgram();
      c->auto_build_tick_ms = tick_ms;
    };
    EXPECT_TRUE(d->Open());
    return d;
  }

  TestIndex index_;
};

TEST_F(WindowBuildTest, BuilderReloadsAtOnceAndTheOtherWindowAsksFirst) {
  auto builder = OpenWindow(std::string(kNoDrives) + "ShowBuiltNotification=0\r\n");
  auto other = OpenWindow(std::string(kNoDrives) + "ShowBuiltNotification=0\r\n");
  const uint32_t rows = builder->list().count();
  ASSERT_GT(rows, 0u);
  MainWindow& b = builder->window();
  // While the foreground build runs, a helper thread looks at the window from outside.
  std::atomic<bool> stop{false}, saw_menu_grayed{false}, saw_box_off{false}, saw_list_empty{false};
  std::thread watcher([&] {
    while (!stop) {
      if (GetMenuState(GetMenu(b.hwnd()), IDM_DATABASE_BUILD_ALL, MF_BYCOMMAND) & MF_GRAYED) saw_menu_grayed = true;
      if (!IsWindowEnabled(b.search_box())) {
        saw_box_off = true;
        if (SendMessageW(b.list(), LVM_GETITEMCOUNT, 0, 0) == 0) saw_list_empty = true;
      }
      Sleep(5);
    }
  });
  MessageBoxCatcher prompt(IDOK);
  PostMessageW(b.hwnd(), WM_COMMAND, IDM_DATABASE_BUILD_ALL, 0);
  const bool done = PumpUntil(
      &b,
      [&] {
        return b.builds_started() == 1 && !b.building() && b.reloads() == 1 && b.loaded() &&
               other->window().reloads() == 1 && other->window().loaded() && other->list().count() == rows;
      },
      60000);
  stop = true;
  watcher.join();
  ASSERT_TRUE(done) << "started " << b.builds_started() << ", reloads " << b.reloads() << "/"
                    << other->window().reloads() << ", note " << ToUtf8(b.last_build_note());
  EXPECT_TRUE(prompt.seen());
  EXPECT_EQ(prompt.text(), u"Database changed, reload now?") << "only the other window asks";
  EXPECT_EQ(b.last_build_note().rfind(u"Build time: ", 0), 0u) << ToUtf8(b.last_build_note());
  EXPECT_TRUE(saw_menu_grayed) << "the Build command is disabled during the build";
  // Wine has ITaskbarList3 (nothing to see under Xvfb): the calls are accepted.
  EXPECT_TRUE(b.taskbar_progress_shown());
  EXPECT_TRUE(saw_box_off && saw_list_empty) << "a foreground build empties the list and stops searches";
  EXPECT_FALSE(GetMenuState(GetMenu(b.hwnd()), IDM_DATABASE_BUILD_ALL, MF_BYCOMMAND) & MF_GRAYED);
  EXPECT_EQ(builder->list().count(), rows) << "the builder shows the reloaded index";

  // A build asked for while the lock is held elsewhere is refused with a message.
  std::unique_ptr<NamedMutex> lock = Env::Default()->CreateFolderLock(index_.home(), kBuildLockTag);
  bool taken = false;
  ASSERT_TRUE(lock->TryLock(&taken).ok() && taken);
  MessageBoxCatcher refused(IDOK);
  PostMessageW(b.hwnd(), WM_COMMAND, IDM_DATABASE_BUILD_ALL, 0);
  EXPECT_TRUE(PumpUntil(
      &b, [&] { return refused.seen(); }, 5000));
  EXPECT_EQ(refused.text(), u"A build is in progress, operation canceled.");
  EXPECT_EQ(b.builds_started(), 1);
}

// Closing the window during a foreground build ends the build process (exit code 4), saves
// the window's state and leaves an index that loads.
TEST_F(WindowBuildTest, ClosedDuringAForegroundBuildEndsTheBuildAndSavesTheState) {
  wchar_t prefix[MAX_PATH] = {};
  if (!GetEnvironmentVariableW(L"WINEPREFIX", prefix, MAX_PATH))
    GTEST_SKIP() << "the drive is linked into Wine's prefix";
  char letter = 0;
  for (char c = 'Y'; c > 'M' && !letter; --c) {
    if (!(GetLogicalDrives() & (1u << (c - 'A')))) letter = c;
  }
  ASSERT_NE(letter, 0);
  // The drive is the machine's /usr, linked into Wine's prefix: its walk of some 100,000
  // items takes seconds, far longer than the half second the window is given.
  const std::string link = "'" + ToUtf8(U(prefix)) + "/dosdevices/" + char(letter - 'A' + 'a') + ":'";
  struct Cleanup {
    std::string link;
    ~Cleanup() { RunShell("rm -f " + link); }
  } cleanup{link};
  ASSERT_EQ(RunShell("ln -sfn /usr " + link), 0);
  std::string states;
  for (char c = 'A'; c <= 'Z'; ++c) states += std::string(1, c) + (c == letter ? "1" : "0");
  const std::string ini =
      "[Options]\r\nShowAllItemsForEmptySearch=1\r\nShowBuiltNotification=0\r\nVolumeStates=" + states + "\r\n";
  auto d = OpenWindow(ini);
  MainWindow& w = d->window();
  const uint32_t rows = d->list().count();
  ASSERT_GT(rows, 0u);
  const HWND hwnd = w.hwnd();
  HANDLE child = nullptr;
  std::atomic<bool> running_at_close{false};
  std::thread closer([&] {
    for (int i = 0; i < 1000 && !child; ++i, Sleep(10)) {
      if (const DWORD pid = ChildBuild())
        child = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    }
    Sleep(500);
    running_at_close = child && WaitForSingleObject(child, 0) == WAIT_TIMEOUT;
    PostMessageW(hwnd, WM_CLOSE, 0, 0);
  });
  // The drive's own entry of Database > Build: the link is new to Wine's drive list.
  PostMessageW(hwnd, WM_COMMAND, IDM_BUILD_DRIVE_FIRST + (letter - 'A'), 0);
  // The build's own wait handles the window's messages, the close among them.
  PumpUntil(
      &w, [&] { return !IsWindow(hwnd); }, 60000);
  closer.join();
  ASSERT_NE(child, nullptr) << "no build process started";
  EXPECT_TRUE(running_at_close) << "the build ended before the close: nothing was tested";
  EXPECT_EQ(WaitForSingleObject(child, 10000), WAIT_OBJECT_0);
  DWORD code = 0;
  GetExitCodeProcess(child, &code);
  CloseHandle(child);
  EXPECT_EQ(code, 4u);
  EXPECT_FALSE(IsWindow(hwnd));
  EXPECT_NE(SettingsFile(index_.home() + u"nusk.ini").ReadText(u"Global", u"LastUIEndTime"), u"");
  // The index the ended build left behind loads, with every item.
  d.reset();
  auto again = OpenWindow(ini);
  EXPECT_EQ(again->list().count(), rows);
}

TEST_F(WindowBuildTest, BuildAskedForDuringTheLoadStartsOnceLoaded) {
  // BuildOnStartup asks for a build of all drives before the index is loaded.
  auto d = OpenWindow(std::string(kNoDrives) + "BuildOnStartup=1\r\nBuildInBackground=1\r\n");
  MainWindow& w = d->window();
  EXPECT_EQ(w.builds_started(), 1) << "started with the first result";
  EXPECT_FALSE(w.build_pending());
  ASSERT_TRUE(PumpUntil(
      &w, [&] { return !w.building() && w.reloads() == 1 && w.loaded(); }, 60000));
  EXPECT_EQ(w.builds_started(), 1);
}

TEST_F(WindowBuildTest, BackgroundBuildKeepsSearchesAnswering) {
  auto d = OpenWindow(std::string(kNoDrives) + "BuildInBackground=1\r\nShowBuiltNotification=1\r\n");
  MainWindow& w = d->window();
  d->SetText(u"readme");
  ASSERT_EQ(d->list().count(), 1u);
  PostMessageW(w.hwnd(), WM_COMMAND, IDM_DATABASE_BUILD_ALL, 0);
  ASSERT_TRUE(PumpUntil(
      &w, [&] { return w.building(); }, 5000));
  const uint64_t taken = w.results_taken();
  d->SetText(u"report");
  EXPECT_TRUE(w.building()) << "the build ended before the search: the check proves nothing";
  EXPECT_GT(w.results_taken(), taken);
  EXPECT_EQ(d->list().count(), 3u) << "searches answer during a background build";
  EXPECT_TRUE(IsWindowEnabled(w.search_box()));
  ASSERT_TRUE(PumpUntil(
      &w, [&] { return !w.building() && w.reloads() == 1 && w.loaded(); }, 60000));
  EXPECT_EQ(w.last_build_note().rfind(u"Build time: ", 0), 0u) << ToUtf8(w.last_build_note());
  // The build time shows in a balloon, which the next key press takes away.
  ASSERT_TRUE(w.build_balloon() && IsWindowVisible(w.build_balloon()));
  EXPECT_TRUE(d->Screenshot("build_balloon"));
  d->Key(VK_END);
  EXPECT_EQ(w.build_balloon(), nullptr);
  d->Settle();
  EXPECT_EQ(d->list().count(), 3u) << "the reloaded index answers the same search";
}

TEST_F(WindowBuildTest, PeriodicBuildIsSkippedWhileLockedThenFiresAtItsInterval) {
  // 0.1 minutes: 6 s, checked every 200 ms. The index was never fully built: due at once.
  std::unique_ptr<NamedMutex> lock = Env::Default()->CreateFolderLock(index_.home(), kBuildLockTag);
  bool taken = false;
  ASSERT_TRUE(lock->TryLock(&taken).ok() && taken);
  auto d = OpenWindow(
      std::string(kNoDrives) + "ShowBuiltNotification=0\r\nAutoBuild=1\r\nBuildEveryValue=0.1\r\nBuildEveryUnit=0\r\n",
      200);
  MainWindow& w = d->window();
  EXPECT_EQ(w.auto_build_interval(), 6);
  MessageBoxCatcher silent(IDOK);
  ASSERT_TRUE(PumpUntil(
      &w, [&] { return w.builds_skipped() >= 2; }, 5000));
  EXPECT_EQ(w.builds_started(), 0);
  lock->Unlock();
  ASSERT_TRUE(PumpUntil(
      &w, [&] { return w.builds_started() == 1; }, 5000));
  const auto first = std::chrono::steady_clock::now();
  ASSERT_TRUE(PumpUntil(
      &w, [&] { return !w.building() && w.loaded(); }, 60000));
  EXPECT_FALSE(silent.seen()) << "a skipped periodic build says nothing: " << ToUtf8(silent.text());
  ASSERT_TRUE(PumpUntil(
      &w, [&] { return w.builds_started() == 2; }, 15000));
  const auto gap = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - first);
  EXPECT_GE(gap.count(), 5000) << "the next build waits for the interval after the last build";
  ASSERT_TRUE(PumpUntil(
      &w, [&] { return !w.building() && w.loaded(); }, 60000));
}

}  // namespace
}  // namespace nusk::testing
