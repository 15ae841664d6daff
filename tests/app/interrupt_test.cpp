// Ctrl-C (SIGINT on POSIX) delivered to a real process: the handler sets the cancel flag,
// the dispatcher ends its wait, and a stand-in index is committed exactly once and never
// half-changed. This test program starts itself as the child; the environment variable
// NUSK_INTERRUPT_CHILD makes it play the child before any test runs.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "app/interrupt.h"
#include "app/startup.h"
#include "platform/env.h"
#include "platform/process.h"
#include "settings/process_state.h"
#include "tests/app/nusk_child.h"
#include "tests/testing/test_env.h"
#include "util/utf.h"

namespace nusk {
namespace {

void Say(const char* line) {
  std::fputs(line, stdout);
  std::fputs("\n", stdout);
  std::fflush(stdout);
}

// Stands in for the writable index: two counters that every change moves together, so
// a commit that ran in the middle of a change would see them differ.
struct StandInIndex {
  long a = 0, b = 0;
  bool written = false;

  void Change() {
    std::lock_guard<std::mutex> lock(IndexMutex());
    ++a;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ++b;
  }
  void Commit() {  // called by the handler under IndexMutex()
    if (written) return;
    written = true;
    auto event = CurrentCancelEvent();
    Say(a == b ? "commit consistent" : "commit torn");
    Say(event && event->IsSet() ? "commit after return" : "commit after timeout");
  }
};

// The child: a "build" that changes the index until cancelled ("prompt") or that goes on
// for four seconds after the flag, beyond the handler's wait ("stubborn").
int RunChild(const std::string& mode, const std::string& ready_file) {
  if (!InstallInterruptHandling()) return 10;
  StandInIndex index;
  SetCancelCommitHook([&index] { index.Commit(); });
  SubcommandTable table;
  table.build = [&](const Args&) {
    index.Change();
    Env::Default()->WriteWholeFile(FromUtf8(ready_file), "ready", false);
    auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!Process().cancel_requested.load()) {
      if (std::chrono::steady_clock::now() > limit) return 7;
      index.Change();
    }
    if (mode == "stubborn") {
      auto until = std::chrono::steady_clock::now() + std::chrono::seconds(4);
      while (std::chrono::steady_clock::now() < until) index.Change();
    }
    Say("returned");
    return 0;
  };
  int status = Dispatch({u"nusk", u"build"}, table, stdout, stderr);
  {
    std::lock_guard<std::mutex> lock(IndexMutex());
    SetCancelCommitHook({});
  }
  Say("exit");
  return status;
}

// Plays the child before main when asked to.
const bool kChildPlayed = [] {
  const char* mode = std::getenv("NUSK_INTERRUPT_CHILD");
  const char* ready = std::getenv("NUSK_INTERRUPT_READY");
  if (mode && *mode && ready) std::exit(RunChild(mode, ready));
  return false;
}();

std::string RunInterrupted(const std::string& mode) {
  testing::TempDir dir;
  std::u16string ready = dir.Sub(u"ready");
  ChildOptions options;
  options.env = {{u"NUSK_INTERRUPT_CHILD", FromUtf8(mode)}, {u"NUSK_INTERRUPT_READY", ready}};
  options.interruptible = true;
  std::unique_ptr<ChildProcess> child;
  Status s = ChildProcess::Start(Env::Default()->ExecutablePath(), {}, options, &child);
  EXPECT_TRUE(s.ok()) << s.message();
  if (!s.ok()) return "";
  for (int i = 0; i < 3000 && !Env::Default()->FileExists(ready); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(Env::Default()->FileExists(ready)) << "child did not start its work";
  s = child->Interrupt();
  EXPECT_TRUE(s.ok()) << s.message();
  int code = -1;
  EXPECT_TRUE(child->Wait(30000, &code)) << "child did not end after the interrupt";
  EXPECT_EQ(code, 0) << child->Stderr();
  return testing::PlainText(child->Stdout());
}

TEST(Interrupt, PromptSubcommandIsCommittedAfterItReturns) {
  std::string out = RunInterrupted("prompt");
  EXPECT_EQ(out, "Ctrl-C handled\nreturned\ncommit consistent\ncommit after return\nexit\n");
}

TEST(Interrupt, SlowSubcommandIsCommittedSafelyAfterTheWait) {
  std::string out = RunInterrupted("stubborn");
  EXPECT_EQ(out, "Ctrl-C handled\ncommit consistent\ncommit after timeout\nreturned\nexit\n");
}

}  // namespace
}  // namespace nusk
