// The window's build decisions: start, wait for the load, refuse or skip; the periodic
// build's interval and tick; what the window shows after a build.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "ui/build_schedule.h"

namespace nusk {
namespace {

TEST(BuildScheduleTest, RequestIsStartedRememberedRefusedOrSkipped) {
  struct Case {
    bool running, periodic, loaded;
    BuildRequest want;
  } cases[] = {
      {false, false, true, BuildRequest::kStart},    {false, true, true, BuildRequest::kStart},
      {false, false, false, BuildRequest::kPending}, {true, false, true, BuildRequest::kRefused},
      {true, false, false, BuildRequest::kRefused},  {true, true, true, BuildRequest::kSkipped},
      {true, true, false, BuildRequest::kSkipped},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DecideBuildRequest(c.running, c.periodic, c.loaded), c.want) << c.running << c.periodic << c.loaded;
  }
}

TEST(BuildScheduleTest, IntervalFollowsValueAndUnit) {
  struct Case {
    bool on;
    double value;
    int64_t unit, want;
  } cases[] = {
      {true, 30, 0, 1800},  {true, 2, 1, 7200},         {true, 1, 2, 86400},
      {true, 0.5, 1, 1800}, {true, 0.01, 0, 0},  // 0.6 s truncates to 0
      {true, 0.1, 0, 6},    {true, 1.999, 0, 119},      {true, 5, 3, 0},
      {true, 5, -1, 0},     {false, 30, 0, 0},          {true, 0, 0, 0},
      {true, -4, 1, 0},     {true, std::nan(""), 0, 0}, {true, std::numeric_limits<double>::infinity(), 0, 0},
      {true, 1e300, 2, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(AutoBuildIntervalSeconds(c.on, c.value, c.unit), c.want) << c.value << " unit " << c.unit;
  }
  EXPECT_FALSE(AutoBuildTimerRuns(5));
  EXPECT_TRUE(AutoBuildTimerRuns(6));
}

TEST(BuildScheduleTest, TickIsDueOnceTheIntervalHasPassed) {
  EXPECT_FALSE(AutoBuildDue(1000, 995, 6));
  EXPECT_TRUE(AutoBuildDue(1001, 995, 6));
  EXPECT_TRUE(AutoBuildDue(5000, 0, 3600)) << "never built";
  EXPECT_TRUE(AutoBuildDue(1000, 2000, 60)) << "a last build in the future";
  EXPECT_FALSE(AutoBuildDue(1000, 0, 0)) << "periodic builds off";
}

TEST(BuildScheduleTest, FinishedCheckNamesTheFailedDriveOrTheTime) {
  const BuildOutcome failed = BuildFinishedOutcome(u"D", true, 1234);
  EXPECT_EQ(failed.kind, BuildOutcome::kFailureBox);
  EXPECT_NE(failed.text.find(u"the failed drive D in the options"), std::u16string::npos);
  const BuildOutcome bar = BuildFinishedOutcome(u"", false, 1234);
  EXPECT_EQ(bar.kind, BuildOutcome::kStatusBar);
  EXPECT_EQ(bar.text, u"Build time: 1234 ms");
  const BuildOutcome balloon = BuildFinishedOutcome(u"", true, 7);
  EXPECT_EQ(balloon.kind, BuildOutcome::kBalloon);
  EXPECT_EQ(balloon.title, u"Database built successfully");
  EXPECT_EQ(balloon.text, u"Build time: 7 ms");
  EXPECT_TRUE(ReloadNeedsQuestion(0, 42)) << "a console build names no window";
  EXPECT_FALSE(ReloadNeedsQuestion(42, 42));
}

}  // namespace
}  // namespace nusk
