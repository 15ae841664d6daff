// The nusk program run as a child process: command lines, output, exit status and the
// home folder it settles on (seen through the folder start-up creates).
#include <gtest/gtest.h>

#include "platform/env.h"
#include "platform/process.h"
#include "tests/app/nusk_child.h"
#include "tests/testing/test_env.h"
#include "util/utf.h"
#include "util/version.h"

namespace nusk {
namespace {

using testing::NativePath;
using testing::PlainText;
using testing::TempDir;

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    env_ = Env::Default();
    sep_ = env_->PathSeparator();
    ASSERT_TRUE(env_->FileExists(testing::NuskExecutable()))
        << "build the nusk program first: " << ToUtf8(testing::NuskExecutable());
    std::string usage;
    ASSERT_TRUE(env_->ReadWholeFile(NativePath(std::string(NUSK_TEST_DATA) + "/app/usage.txt"), &usage).ok());
    usage_ = usage;
  }

  // Runs nusk; the default home on POSIX goes to the test's own folder.
  ChildResult Run(std::vector<std::u16string> args, std::vector<std::pair<std::u16string, std::u16string>> env = {}) {
    ChildOptions options;
    options.env = {{u"XDG_DATA_HOME", scratch_.Sub(u"xdg")}, {u"HOME", scratch_.Sub(u"home")}};
    options.env.insert(options.env.end(), env.begin(), env.end());
    ChildResult r;
    Status s = RunChild(testing::NuskExecutable(), args, options, 60000, &r);
    EXPECT_TRUE(s.ok()) << s.message();
    r.out = PlainText(r.out);
    r.err = PlainText(r.err);
    return r;
  }

  bool Exists(const std::u16string& folder) { return env_->FolderExists(folder); }

  Env* env_;
  char16_t sep_;
  std::string usage_;
  TempDir scratch_;
};

// Command lines whose whole effect is their output, exit status and home folder.
TEST_F(ProgramTest, OutputAndStatusOfEachCommandLine) {
  const std::u16string db = scratch_.Sub(u"db"), first = scratch_.Sub(u"first"), second = scratch_.Sub(u"second");
  const std::string version = "\nnusk version: " NUSK_VERSION "\n";
  const struct {
    std::vector<std::u16string> args;
    bool ok;
    std::string out;
    std::string err;  // all of it when ok, else a part that must be there
  } cases[] = {
      {{u"-v", u"--dbdir", db}, true, version, ""},  // --dbdir after the sub-command names the home
      {{u"--version", u"--dbdir", db}, true, version, ""},
      {{u"-h", u"--dbdir", db}, true, usage_, ""},
      {{u"test", u"--dbdir", db}, true, "", ""},
      {{u"-v", u"x", u"--dbdir", db}, false, usage_, ""},
      {{u"--dbdir", u"", u"test"}, false, usage_, "--dbdir"},
      // The second --dbdir stays an argument, so "-v" is no longer alone.
      {{u"-v", u"--dbdir", first, u"--dbdir", second}, false, usage_, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ToUtf8(c.args[0]) + " " + ToUtf8(c.args[1]));
    ChildResult r = Run(c.args);
    EXPECT_EQ(r.exit_code == 0, c.ok) << r.err;
    EXPECT_EQ(r.out, c.out);
    if (c.ok) {
      EXPECT_EQ(r.err, c.err);
    } else {
      EXPECT_NE(r.err, "");
      EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
    }
  }
  EXPECT_TRUE(Exists(db));
  EXPECT_TRUE(Exists(first));
  EXPECT_FALSE(Exists(second));
}

TEST_F(ProgramTest, UnusableDbdirFailsAndSaysWhy) {
  std::u16string db = scratch_.Sub(u"missing/parent/db");
  ChildResult r = Run({u"test", u"--dbdir", db});
  EXPECT_NE(r.exit_code, 0);
  EXPECT_NE(r.err.find("missing"), std::string::npos) << r.err;
  EXPECT_FALSE(Exists(scratch_.Sub(u"missing"))) << "a folder the user named is not made up";
}

TEST_F(ProgramTest, RedirectInTheBaseFolderMovesTheHome) {
  std::u16string base = scratch_.Sub(u"base");
  std::u16string target = scratch_.Sub(u"data");
  ASSERT_TRUE(env_->CreateFolder(base).ok());
  std::u16string key = testing::NuskExecutable();
  for (char16_t& c : key) {
    if (c == u'=') c = u'#';
  }
  std::string ini = "[NuskHome]\r\n" + ToUtf8(key) + "=" + ToUtf8(target) + "\r\n";
  ASSERT_TRUE(env_->WriteWholeFile(base + sep_ + u"nusk.ini", ini, false).ok());

  ChildResult r = Run({u"test", u"--dbdir", base});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_TRUE(Exists(target)) << "redirect target becomes the home folder";

  // A redirect to a folder that cannot be made is reported, not ignored.
  std::u16string broken = scratch_.Sub(u"nowhere/data");
  ini = "[NuskHome]\r\n" + ToUtf8(key) + "=" + ToUtf8(broken) + "\r\n";
  ASSERT_TRUE(env_->WriteWholeFile(base + sep_ + u"nusk.ini", ini, false).ok());
  r = Run({u"test", u"--dbdir", base});
  EXPECT_NE(r.exit_code, 0);
  EXPECT_NE(r.err.find("nowhere"), std::string::npos) << r.err;
}

TEST_F(ProgramTest, DefaultHomeIsCreated) {
  ChildResult r = Run({u"test"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  if (sep_ == u'/') {
    EXPECT_TRUE(Exists(scratch_.Sub(u"xdg/nusk"))) << "under XDG_DATA_HOME";
  } else {
    std::u16string exe = testing::NuskExecutable();
    EXPECT_TRUE(Exists(exe.substr(0, exe.rfind(u'\\')) + u"\\.nusk")) << "beside the program";
  }
}

TEST_F(ProgramTest, NoArgumentsIsGui) {
  if (sep_ == u'\\') GTEST_SKIP() << "on Windows this would open the window";
  ChildResult none = Run({});
  ChildResult gui = Run({u"gui"});
  ChildResult dbdir_only = Run({u"--dbdir", scratch_.Sub(u"db")});
  EXPECT_EQ(none.exit_code, gui.exit_code);
  EXPECT_EQ(none.out, gui.out);
  EXPECT_EQ(none.err, gui.err);
  EXPECT_EQ(dbdir_only.err, gui.err);
  EXPECT_EQ(dbdir_only.exit_code, gui.exit_code);
}

// The Linux program serves `find` from the C library's allocator and every other command
// from jemalloc, which prints its statistics at exit when MALLOC_CONF asks for them.
TEST_F(ProgramTest, OnlyFindStartsWithoutJemalloc) {
#ifndef NUSK_JEMALLOC_LINKED
  GTEST_SKIP() << "built without jemalloc";
#else
  const std::u16string db = scratch_.Sub(u"db");
  const struct {
    std::vector<std::u16string> args;
    bool jemalloc;
  } cases[] = {
      {{u"find", u"--dbdir", db, u"abc"}, false},
      {{u"--dbdir", db, u"find", u"--help"}, false},
      {{u"-v", u"--dbdir", db}, true},
      {{u"test", u"--dbdir", db, u"find"}, true},
  };
  for (const auto& c : cases) {
    ChildResult r = Run(c.args, {{u"MALLOC_CONF", u"stats_print:true"}});
    EXPECT_EQ(r.err.find("jemalloc statistics") != std::string::npos, c.jemalloc)
        << ToUtf8(c.args[0]) << " " << ToUtf8(c.args[1]) << ": " << r.err.substr(0, 200);
  }
#endif
}

}  // namespace
}  // namespace nusk
