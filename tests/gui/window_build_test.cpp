// Builds started from real windows in this process, run by the real program as a child:
// two windows and a build from one (the other asks before it reloads), a background build
// during which searches go on, and periodic builds against the build lock.
#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "gui/resource.h"
#include "platform/env.h"
#include "scan/build_command.h"
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
