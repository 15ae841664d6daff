// A build that dies of a fault leaves its crash report in the build log (and on Windows
// a minidump beside it). The fault happens in a child: this test program run again with
// a filter that selects the crashing case.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <regex>

#include "platform/env.h"
#include "platform/process.h"
#include "platform/volume.h"
#include "tests/build/build_test_support.h"
#include "util/utf.h"
#include "util/version.h"

namespace nusk {
namespace {

constexpr char kChildHome[] = "NUSK_CRASH_CHILD_HOME";

bool OnWindows() { return Env::Default()->PathSeparator() == u'\\'; }

std::u16string Self() {
  return FromUtf8(NUSK_BINARY_DIR) + (OnWindows() ? u"\\tests\\nusk_build_tests.exe" : u"/tests/nusk_build_tests");
}

// A write to an unmapped page (not null: the undefined-behaviour checker would stop the
// program itself before the fault).
void CrashNow() {
  volatile uintptr_t unmapped = 64;
  *reinterpret_cast<volatile int*>(unmapped) = 1;
}

// Only as the child of the case below: a build of one missing drive that crashes when
// it starts writing the database.
TEST(CrashReportTest, ChildBuildThatCrashes) {
  const char* home_env = std::getenv(kChildHome);
  if (!home_env || !*home_env) GTEST_SKIP() << "runs only as the child of CrashingBuildLeavesItsReport";
  std::u16string home = FromUtf8(home_env);
  testing::FaultInjectionEnv env;
  env.before_step = [](const std::u16string& step) {
    if (step.find(u"nusk.frs") != std::u16string::npos) CrashNow();
  };
  std::array<std::u16string, 26> targets{};
  std::array<bool, 26> folder{};
  targets[3] = home;  // D: on POSIX, so the report has a drive to describe
  folder[3] = true;
  DriveSystem drives(OnWindows() ? DriveMap::Native() : DriveMap::FromTargets(targets, folder), Volumes::Default(),
                     Env::Default());
  BuildEnvironment e = testing::MakeBuildEnvironment(home, &drives, &env);
  e.program = Self();
  e.may_delegate = false;
  CBuildCommand command(e);
  command.Run({Self(), u"build", u"y"});
  ADD_FAILURE() << "the build did not crash";
}

TEST(CrashReportTest, CrashingBuildLeavesItsReport) {
  // One crash only: writing the dump takes Wine half a minute. (The full dump that a
  // "_MAX_DMP" file in the home folder asks for differs only in the dump type passed.)
  testing::TempDir home;
  ChildOptions options;
  // AddressSanitizer keeps SIGSEGV to itself unless told to let the program handle it.
  options.env = {{FromUtf8(kChildHome), home.path()},
                 {u"NUSK_CRASH_NO_DEBUGGER", u"1"},
                 {u"ASAN_OPTIONS", u"allow_user_segv_handler=1"}};
  ChildResult r;
  ASSERT_TRUE(RunChild(Self(), {u"--gtest_filter=CrashReportTest.ChildBuildThatCrashes", u"--gtest_catch_exceptions=0"},
                       options, 120000, &r)
                  .ok());
  EXPECT_NE(r.exit_code, 0) << r.out << r.err;
  std::string log;
  ASSERT_TRUE(Env::Default()->ReadWholeFile(home.path() + u"nusk.build.log", &log).ok());
  std::erase(log, '\r');
  testing::ExpectInOrder(
      log, {"build y", "Writing database..", "--------------- build crashed ---------------",
            "Nusk version: " NUSK_VERSION ", 64 bit", "Nusk home: " + ToUtf8(home.path()), "Portable: Y",
            "-- drive info --", "-- os info --", "-- processor info --", "-- memory info --", "Working Set Size: "});
  EXPECT_TRUE(
      std::regex_search(log, std::regex("\n[A-Z]: type: [0-9]+, fs: [^,\n]+, free: [0-9]+, total: [1-9][0-9]*\n")))
      << log;
  EXPECT_TRUE(std::regex_search(log, std::regex("Working Set Size: [1-9][0-9]*\n"))) << log;
  std::string bytes;
  bool dumped = Env::Default()->ReadWholeFile(home.path() + u"nusk.build.mini.dmp", &bytes).ok();
  if (OnWindows()) {
    EXPECT_EQ(bytes.substr(0, 4), "MDMP");
  } else {
    EXPECT_FALSE(dumped) << "POSIX leaves dumps to the system";
  }
}

}  // namespace
}  // namespace nusk
