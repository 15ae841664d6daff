// The dispatch table with stand-in sub-commands: which entry runs, what is printed, and
// the exit status, without starting a process.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "app/startup.h"
#include "app/usage.h"
#include "tests/app/nusk_child.h"

namespace nusk {
namespace {

// Captures what one Dispatch call writes and which stand-in ran with which arguments.
class DispatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    out_ = std::tmpfile();
    err_ = std::tmpfile();
    ASSERT_TRUE(out_ && err_);
    auto stand_in = [this](const char* name, int status) {
      return [this, name, status](const Args& args) {
        ran_ += name;
        received_ = args;
        return status;
      };
    };
    table_ = {stand_in("build", 1), stand_in("build_server", 2), stand_in("find", 3),
              stand_in("clean", 4), stand_in("web", 5),          stand_in("gui", 6)};
  }
  void TearDown() override {
    std::fclose(out_);
    std::fclose(err_);
  }

  int Run(Args args) { return Dispatch(args, table_, out_, err_); }

  static std::string Read(std::FILE* f) {
    std::fflush(f);
    std::rewind(f);
    std::string text;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof(buf), f)) > 0) text.append(buf, n);
    return testing::PlainText(text);  // Windows text-mode streams write CR LF
  }
  std::string Out() { return Read(out_); }
  std::string Err() { return Read(err_); }

  std::FILE* out_ = nullptr;
  std::FILE* err_ = nullptr;
  SubcommandTable table_;
  std::string ran_;
  Args received_;
};

// Each stand-in returns its own status, which must come back as the result.
TEST_F(DispatchTest, EachWordReachesItsEntryWithAllArgumentsAndReturnsItsStatus) {
  const struct {
    std::u16string word;
    std::string entry;
    int status;
  } words[] = {{u"clean", "clean", 4},
               {u"build", "build", 1},
               {u"find", "find", 3},
               {u"gui", "gui", 6},
               {u"build_server", "build_server", 2},
               {u"web", "web", 5},
               {u"webserver", "web", 5}};
  for (const auto& [word, entry, status] : words) {
    ran_.clear();
    Args args = {u"nusk", word, u"x", u"-v"};
    EXPECT_EQ(Run(args), status);
    EXPECT_EQ(ran_, entry);
    EXPECT_EQ(received_, args) << "the entry sees the program, its word and every later argument";
  }
  EXPECT_EQ(Out(), "");
  EXPECT_EQ(Err(), "");
}

TEST_F(DispatchTest, UnknownWordsFailWithReasonAndUsage) {
  for (const char16_t* word : {u"GUI", u"Find", u"", u"webservers"}) {
    ran_.clear();
    EXPECT_EQ(Run({u"nusk", word}), kUsageError);
    EXPECT_EQ(ran_, "") << "nothing runs for an unknown word";
  }
  EXPECT_EQ(Err(),
            "invalid sub command :GUI\ninvalid sub command :Find\ninvalid sub command :\n"
            "invalid sub command :webservers\n");
  std::string usage = kUsageText;
  EXPECT_EQ(Out(), usage + usage + usage + usage);
  EXPECT_EQ(Run({u"nusk", u"--force"}), kUsageError);
  EXPECT_NE(Err().find("--force"), std::string::npos);
}

}  // namespace
}  // namespace nusk
