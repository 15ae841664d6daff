// The three searchers of the program run one query runner: for a set of queries over one
// index, console find, the web service and the window's FileListSource give the same
// items. The web service and the window also agree on the order; console find lists in
// cursor order, so its items are compared as a set.
#include <gtest/gtest.h>

#include "tests/search/console_find_run.h"
#include "tests/search/search_fixture.h"
#include "util/utf.h"
#include "web/web_search.h"

namespace nusk::testing {
namespace {

class RunnerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    index_ = new TestIndex();
    AddFixtureTree(index_);
    index_->Build();
    std::string error;
    web_ = OpenIndexWebSearch(index_->home(), index_->home() + u"nusk.ini", Env::Default(), &error).release();
    ASSERT_NE(web_, nullptr) << error;
  }
  static void TearDownTestSuite() {
    delete web_;
    delete index_;
  }

  static std::vector<std::u16string> Web(std::u16string_view query) {
    std::vector<std::u16string> paths;
    const uint32_t n = web_->Run(query);
    WebRow row;
    for (uint32_t i = 0; i < n && web_->Row(i, &row); ++i) paths.push_back(row.path);
    return paths;
  }

  // Console find with the query's words (split at spaces, as a shell passes them).
  static PathSet Console(std::u16string_view query) {
    std::vector<std::u16string> words = {u"--"};
    for (size_t start = 0; start < query.size();) {
      size_t end = query.find(u' ', start);
      if (end == std::u16string_view::npos) end = query.size();
      if (end > start) words.emplace_back(query.substr(start, end - start));
      start = end + 1;
    }
    const ConsoleFind found = RunConsoleFind(index_->home(), words);
    EXPECT_EQ(found.status, 0);
    EXPECT_EQ(found.err, "");
    PathSet paths;
    for (std::u16string path : found.Entries()) {
      if (path.size() > 2 && path.back() == u'\\') path.pop_back();  // a folder's mark
      paths.insert(path);
    }
    return paths;
  }

  static TestIndex* index_;
  static WebSearch* web_;
};
TestIndex* RunnerTest::index_ = nullptr;
WebSearch* RunnerTest::web_ = nullptr;

TEST_F(RunnerTest, ConsoleWebAndWindowFindTheSameItems) {
  const char16_t* queries[] = {
      u"",
      u"notepad",
      u"c:\\windows notepad",     // an absolute folder scope
      u"c: x",                    // a whole drive
      u"windows\\system32 calc",  // a folder without a drive
      u"system32\\ *.exe",
      u"*.exe|*.dll",
      u"/f /size:1k-10m",
      u"<read me> !<bob>",
      u"/d",
      u"d:\\data\\ a",
      u"a*b*",
      u"readme /sort:name-",
      u"/sort:size /f",
      u"x /sort:path",
  };
  for (const char16_t* q : queries) {
    SCOPED_TRACE(ToUtf8(q));
    const std::vector<std::u16string> window = FindOrdered(*index_, q);
    EXPECT_EQ(Web(q), window);
    EXPECT_EQ(Console(q), PathSet(window.begin(), window.end()));
  }
  // The window and the web service list a folder when the line ends with '\', and the
  // drive roots for "\" (spaces around it too).
  const PathSet roots = {u"C:", u"D:"};
  for (const char16_t* q : {u"\\", u" \\ ", u"c:\\windows\\", u"c:\\windows\\ "}) {
    SCOPED_TRACE(ToUtf8(q));
    const std::vector<std::u16string> window = FindOrdered(*index_, q);
    EXPECT_EQ(Web(q), window);
    if (q[0] != u'c') { EXPECT_EQ(PathSet(window.begin(), window.end()), roots); }
  }
}

}  // namespace
}  // namespace nusk::testing
