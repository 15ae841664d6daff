// How many listing threads the walk keeps at work: more only while it reads the disk.
#include "scan/lister_pacer.h"

#include <gtest/gtest.h>

namespace nusk {
namespace {

constexpr uint64_t kWindow = ListerPacer::kWindowUs;
constexpr uint64_t kBusy = ListerPacer::kDiskBoundBytes;

TEST(ListerPacerTest, MoreListingsOnlyWhileTheDiskIsRead) {
  ListerPacer pacer(2);
  EXPECT_EQ(pacer.active(), 2);
  EXPECT_EQ(pacer.max(), 4);

  uint64_t now = 1000000, read = 5 * kBusy;  // reads before the walk (start-up) do not count
  EXPECT_FALSE(pacer.Update(now, read));
  EXPECT_FALSE(pacer.Due(now + kWindow / 2));
  EXPECT_FALSE(pacer.Update(now + kWindow / 2, read + 10 * kBusy)) << "a reading inside the window is not used";
  EXPECT_EQ(pacer.active(), 2);

  now += kWindow, read += 10 * kBusy;
  ASSERT_TRUE(pacer.Due(now));
  EXPECT_TRUE(pacer.Update(now, read));
  EXPECT_EQ(pacer.active(), 4);
  now += kWindow, read += kBusy;  // still reading the disk
  EXPECT_FALSE(pacer.Update(now, read));
  EXPECT_EQ(pacer.active(), 4);

  now += kWindow, read += kBusy / 4;  // the rest of the tree is cached
  EXPECT_TRUE(pacer.Update(now, read));
  EXPECT_EQ(pacer.active(), 2);

  // A reading taken late spreads its reads over the time since the last one.
  now += 8 * kWindow, read += 4 * kBusy;
  EXPECT_FALSE(pacer.Update(now, read));
  EXPECT_EQ(pacer.active(), 2);

  // A counter that went back (another process's numbers, a wrap) starts over.
  now += kWindow;
  EXPECT_FALSE(pacer.Update(now, 0));
  EXPECT_TRUE(pacer.Update(now + kWindow, 2 * kBusy));
  EXPECT_EQ(pacer.active(), 4);
}

TEST(ListerPacerTest, ThreadsFollowTheCoresWithinBounds) {
  EXPECT_EQ(ListerPacer(0).active(), 2);  // unknown: as for one core
  EXPECT_EQ(ListerPacer(1).max(), 4);
  EXPECT_EQ(ListerPacer(6).active(), 6);
  EXPECT_EQ(ListerPacer(6).max(), 12);
  EXPECT_EQ(ListerPacer(64).active(), 8);
  EXPECT_EQ(ListerPacer(64).max(), 16);
}

}  // namespace
}  // namespace nusk
