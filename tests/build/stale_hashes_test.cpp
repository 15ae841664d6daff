// The hashing tool against real builds: hashes made before a rebuild that renumbered the
// walked drive must not turn into false duplicates, and names that are not regular files
// are skipped instead of read.
#include <gtest/gtest.h>

#include <set>

#include "platform/env.h"
#include "platform/native_name.h"
#include "platform/process.h"
#include "tests/build/build_test_support.h"
#include "tests/search/console_find_run.h"
#include "util/utf.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace nusk::testing {
namespace {

class SumtorBuildTest : public ::testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_FIXTURE_DRIVES();
    root_ = f_.MapDrive(u'D', u"d");
  }

  ChildResult RunSumtor() {
    ChildResult r;
    EXPECT_TRUE(
        RunChild(FromUtf8(NUSK_BINARY_DIR "/tools/sumtor/sumtor"), {u"--dbdir", f_.home().path()}, {}, 20000, &r).ok());
    EXPECT_EQ(r.exit_code, 0) << r.out << r.err;
    return r;
  }

  // find's output lines (names only) and its error text.
  std::set<std::u16string> Find(const std::u16string& query, std::string* errors) {
    const ConsoleFind found = RunConsoleFind(f_.home().path(), {query}, DriveMap::Load(f_.SettingsPath()));
    EXPECT_EQ(found.status, 0);
    *errors += found.err;
    std::set<std::u16string> names;
    for (const std::u16string& line : found.Entries()) names.insert(line.substr(line.find_last_of(u"/\\") + 1));
    return names;
  }

  void Write(const std::u16string& name, const std::string& content) {
    ASSERT_TRUE(Env::Default()->WriteWholeFile(root_ + name, content, false).ok());
  }

  BuildFixture f_;
  std::u16string root_;
};

TEST_F(SumtorBuildTest, RebuildThatRenumbersGivesNoFalseDuplicates) {
  Write(u"a1", "AAAA");
  Write(u"a2", "AAAA");
  ASSERT_EQ(f_.RunInProcess({u"D"}), 0) << f_.ReadLog();
  RunSumtor();
  std::string errors;
  EXPECT_EQ(Find(u"/dup:2", &errors), (std::set<std::u16string>{u"a1", u"a2"}));
  EXPECT_EQ(errors, "");

  // "0first" is walked first and takes the number a1 had; same size, other content.
  ASSERT_TRUE(Env::Default()->RemoveFile(root_ + u"a1").ok());
  Write(u"0first", "DDDD");
  ASSERT_EQ(f_.RunInProcess({u"D"}), 0) << f_.ReadLog();
  EXPECT_EQ(Find(u"/dup:2", &errors), std::set<std::u16string>{});
  EXPECT_NE(errors.find("1 content hashes no longer match their files"), std::string::npos) << errors;

  // Hashing again brings the index and the hashes together.
  Write(u"a1", "DDDD");
  ASSERT_EQ(f_.RunInProcess({u"D"}), 0) << f_.ReadLog();
  RunSumtor();
  errors.clear();
  EXPECT_EQ(Find(u"/dup:2", &errors), (std::set<std::u16string>{u"0first", u"a1"}));
  EXPECT_EQ(errors, "");
}

#ifndef _WIN32
TEST_F(SumtorBuildTest, FifoIsSkippedNotRead) {
  // A FIFO nobody writes to would block an ordinary open forever; give it an empty
  // regular file of the same size so the tool has a reason to read it.
  ASSERT_EQ(::mkfifo(NativeFromPath(root_ + u"pipe").c_str(), 0644), 0);
  Write(u"empty", "");
  ASSERT_EQ(f_.RunInProcess({u"D"}), 0) << f_.ReadLog();
  const ChildResult r = RunSumtor();
  EXPECT_NE(r.out.find("Hashed 1 of 2 files"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("1 not regular skipped"), std::string::npos) << r.out;
}
#endif

}  // namespace
}  // namespace nusk::testing
