// The nusk program run as a child process: command lines, output, exit status and the
// home folder it settles on (seen through the folder start-up creates).
#include <gtest/gtest.h>

#include "platform/env.h"
#include "platform/process.h"
#include "tests/app/nusk_child.h"
#include "tests/testing/test_env.h"
#include "util/utf.h"

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
  ChildResult Run(std::vector<std::u16string> args) {
    ChildOptions options;
    options.env = {{u"XDG_DATA_HOME", scratch_.Sub(u"xdg")}, {u"HOME", scratch_.Sub(u"home")}};
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

TEST_F(ProgramTest, VersionAloneAndDbdirAfterIt) {
  std::u16string db = scratch_.Sub(u"db");
  ChildResult r = Run({u"-v", u"--dbdir", db});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, "\nnusk version: 4.4.0\n");
  EXPECT_EQ(r.err, "");
  EXPECT_TRUE(Exists(db)) << "the --dbdir folder after the sub-command is the home folder";

  r = Run({u"--version", u"--dbdir", db});
  EXPECT_EQ(r.out, "\nnusk version: 4.4.0\n");
}

TEST_F(ProgramTest, VersionWithMoreArgumentsPrintsUsageAndFails) {
  ChildResult r = Run({u"-v", u"x", u"--dbdir", scratch_.Sub(u"db")});
  EXPECT_NE(r.exit_code, 0);
  EXPECT_EQ(r.out, usage_);
  EXPECT_NE(r.err, "");
}

TEST_F(ProgramTest, HelpPrintsTheUsage) {
  ChildResult r = Run({u"-h", u"--dbdir", scratch_.Sub(u"db")});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, usage_);
}

TEST_F(ProgramTest, DbdirWithoutAFolderIsRefused) {
  for (const std::vector<std::u16string>& args :
       {std::vector<std::u16string>{u"test", u"--dbdir"}, {u"--dbdir", u"", u"test"}, {u"-v", u"--dbdir"}}) {
    ChildResult r = Run(args);
    EXPECT_NE(r.exit_code, 0);
    EXPECT_EQ(r.out, usage_);
    EXPECT_NE(r.err.find("--dbdir"), std::string::npos) << r.err;
  }
}

TEST_F(ProgramTest, SecondDbdirStaysAnArgument) {
  std::u16string first = scratch_.Sub(u"first"), second = scratch_.Sub(u"second");
  // "-v" is then followed by "--dbdir second", so it is no longer the last argument.
  ChildResult r = Run({u"-v", u"--dbdir", first, u"--dbdir", second});
  EXPECT_NE(r.exit_code, 0);
  EXPECT_EQ(r.out, usage_);
  EXPECT_TRUE(Exists(first));
  EXPECT_FALSE(Exists(second));
}

TEST_F(ProgramTest, DbdirWithForwardSlashes) {
  std::u16string db = scratch_.Sub(u"fwd");
  std::u16string written = db;
  for (char16_t& c : written) {
    if (c == u'\\') c = u'/';
  }
  ChildResult r = Run({u"test", u"--dbdir", written});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_TRUE(Exists(db));
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

TEST_F(ProgramTest, UnknownSubcommandFails) {
  ChildResult r = Run({u"GUI", u"--dbdir", scratch_.Sub(u"db")});
  EXPECT_NE(r.exit_code, 0);
  EXPECT_EQ(r.err, "invalid sub command :GUI\n");
  EXPECT_EQ(r.out, usage_);
}

TEST_F(ProgramTest, TestPrintsNothing) {
  ChildResult r = Run({u"test", u"--dbdir", scratch_.Sub(u"db")});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "");
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

}  // namespace
}  // namespace nusk
