// The find driver: a newer query abandons an older one within bounded work, every
// submitted text ends with exactly its own results, the hidden refilter and composition
// of the submitted line.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "search/file_list_source.h"
#include "tests/search/search_fixture.h"

namespace nusk::testing {
namespace {

// Submits a second query from inside the first search, so the order of events is fixed
// without any timing: the first search starts with the new-query flag already set.
// Each start also notes the published count, which must be empty by then. `then` may
// hold further lines (typing a letter, then deleting it).
class InterruptingListener : public NopFileListSourceChangeListener {
 public:
  void OnSearchStarted(int) override {
    counts_at_start.push_back(source->ResultCount());
    if (starts_++ == 0) {
      source->Submit(second, true);
      for (const std::u16string& line : then) source->Submit(line, true);
    }
  }
  void OnSearchFinished(bool) override { ++finished; }
  FileListSource* source = nullptr;
  std::u16string second;
  std::vector<std::u16string> then;
  std::vector<uint32_t> counts_at_start;
  std::atomic<int> starts_{0};
  std::atomic<int> finished{0};
};

class BigIndexTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    index_ = new TestIndex();
    for (int i = 0; i < 60000; ++i) {
      index_->File(u"C:\\d" + U16(std::to_string(i % 50)) + u"\\file" + U16(std::to_string(i)) + u".txt", i);
    }
    index_->Build();
  }
  static void TearDownTestSuite() { delete index_; }

  // Submits `first`, whose search submits `second` as it starts; returns the history.
  std::vector<SearchStats> Interrupted(std::u16string_view first, std::u16string second) {
    listener_.source = &source_;
    listener_.second = std::move(second);
    source_.Submit(first, true);
    source_.WaitIdle();
    return source_.History();
  }

  static TestIndex* index_;
  InterruptingListener listener_;
  FileListSource source_{&index_->view(), &listener_};
};
TestIndex* BigIndexTest::index_ = nullptr;

TEST_F(BigIndexTest, SlowQueryFindingNothingIsAbandonedWithinBoundedWork) {
  // Matches no name, so the cursor never yields a candidate to check on.
  const std::vector<SearchStats> h = Interrupted(u"*q*zz* /f", u"file123.txt");
  ASSERT_EQ(h.size(), 2u);
  EXPECT_EQ(h[0].query, u"*q*zz* /f");
  EXPECT_TRUE(h[0].abandoned);
  EXPECT_LE(h[0].names_examined, 2 * kStopCheckNames);
  EXPECT_LT(h[0].names_examined, index_->db().name_count());
  EXPECT_FALSE(h[1].abandoned);
  // Tested on the few rows the trigram index gives, not on every row.
  EXPECT_LE(h[1].names_examined, 20u);
  ASSERT_EQ(source_.ResultCount(), 1u);
  EXPECT_EQ(index_->Path(source_.Results()[0]), u"C:\\d23\\file123.txt");
  EXPECT_EQ(listener_.finished.load(), 1);
}

TEST_F(BigIndexTest, QueryWithManyCandidatesIsAbandonedWithinAHundred) {
  const std::vector<SearchStats> h = Interrupted(u"file /f", u"file7");  // every file is a candidate
  ASSERT_EQ(h.size(), 2u);
  EXPECT_TRUE(h[0].abandoned);
  EXPECT_LE(h[0].candidates, 100u);
  EXPECT_EQ(source_.ResultCount(), h[1].candidates);
}

// A query of item switches only loops over the item tables, not the name rows; it
// stops at the same checks, and resumes where it stopped when the text is unchanged.
TEST_F(BigIndexTest, ItemSwitchQueryStopsAndResumes) {
  // File i has i bytes: none has 60,000 or more.
  const std::vector<SearchStats> h = Interrupted(u"/size:60000-", u"file123.txt");
  ASSERT_EQ(h.size(), 2u);
  EXPECT_TRUE(h[0].abandoned);
  EXPECT_LE(h[0].names_examined, 2 * kStopCheckNames);
  EXPECT_EQ(source_.ResultCount(), 1u);

  InterruptingListener same;
  FileListSource source(&index_->view(), &same);
  same.source = &source;
  same.second = u"/size:-100 /f";
  source.Submit(same.second, true);
  source.WaitIdle();
  ASSERT_EQ(source.History().size(), 1u);
  EXPECT_FALSE(source.History()[0].abandoned);
  // Files 0 to 100 lie before and after the first stop check, each found once.
  std::vector<std::u16string> found;
  for (uint32_t i : source.Results()) found.push_back(index_->Path(i));
  std::set<std::u16string> want;
  for (int i = 0; i <= 100; ++i)
    want.insert(u"C:\\d" + U16(std::to_string(i % 50)) + u"\\file" + U16(std::to_string(i)) + u".txt");
  EXPECT_EQ(found.size(), want.size());
  EXPECT_EQ(std::set<std::u16string>(found.begin(), found.end()), want);
}

TEST_F(BigIndexTest, ResubmittingTheSameTextDoesNotAbandon) {
  const std::vector<SearchStats> h = Interrupted(u"*q*zz* /f", u"*q*zz* /f");
  ASSERT_EQ(h.size(), 1u);
  EXPECT_FALSE(h[0].abandoned);
  EXPECT_EQ(h[0].names_examined, index_->db().name_count());
}

// File i of the big index lives in folder d(i mod 50).
std::set<std::u16string> FilesOfFolder(int folder) {
  std::set<std::u16string> paths;
  for (int i = folder; i < 60000; i += 50) {
    paths.insert(u"C:\\d" + U16(std::to_string(folder)) + u"\\file" + U16(std::to_string(i)) + u".txt");
  }
  return paths;
}

// A search that sees the new-query flag goes on when the text is back to its own, and a
// text that comes back after its search was given up is searched again: either way the
// list ends with that text's results, never a previous query's or a truncated one.
TEST_F(BigIndexTest, EverySubmittedTextEndsWithItsOwnResults) {
  const std::set<std::u16string> d1 = FilesOfFolder(1);
  const struct {
    const char16_t* first;
    const char16_t* second;
    std::vector<std::u16string> then;
  } cases[] = {
      {u"d1\\ file", u"d1\\ filex", {u"d1\\ file"}},  // partial folder: a letter typed and deleted
      {u"c:\\d1\\", u"c:\\d1\\", {}},                 // browsing a folder, the same text again
      {u"c:\\d1\\ file", u"c:\\d1\\ filex", {u"c:\\d1\\ file"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ToUtf8(c.first));
    InterruptingListener listener;
    FileListSource source(&index_->view(), &listener);
    listener.source = &source;
    listener.starts_ = 1;            // the first search is not interrupted
    source.Submit(u"file7", false);  // a previous result on the list
    ASSERT_GT(source.ResultCount(), 0u);
    listener.starts_ = 0;
    listener.counts_at_start.clear();
    listener.second = c.second;
    listener.then = c.then;
    source.Submit(c.first, true);
    source.WaitIdle();
    std::set<std::u16string> paths;
    for (uint32_t i : source.Results()) paths.insert(index_->Path(i));
    EXPECT_EQ(paths, d1);
    for (uint32_t count : listener.counts_at_start) EXPECT_EQ(count, 0u);  // emptied as each search starts
    EXPECT_EQ(listener.finished.load(), 2);                                // the previous search and this one
  }
}

// Results are built in memory the source was given or kept from earlier results (two
// arrays in turn, an abandoned search's memory kept too): whatever it held never shows,
// in a result of any size.
TEST_F(BigIndexTest, ResultsAreRightWhateverMemoryTheyAreBuiltIn) {
  auto fresh = [](std::u16string_view query) {
    NopFileListSourceChangeListener nop;
    FileListSource source(&index_->view(), &nop);
    source.Submit(query, false);
    return source.Results();
  };
  NopFileListSourceChangeListener nop;
  FileListSource given(&index_->view(), &nop);
  given.GiveResultMemory(std::vector<uint32_t>(70000, 5));
  given.Submit(u"file7", false);
  EXPECT_EQ(given.Results(), fresh(u"file7"));
  source_.GiveResultMemory(std::vector<uint32_t>(70000, 5));
  Interrupted(u"file", u"file4");  // the first search is abandoned
  EXPECT_EQ(source_.Results(), fresh(u"file4"));
  const char16_t* lines[] = {u"file1", u"file7", u"file12345", u"", u"file7", u"d3\\ file", u"file1", u"file"};
  for (const char16_t* line : lines) {
    SCOPED_TRACE(ToUtf8(line));
    source_.Submit(line, false);
    EXPECT_EQ(source_.Results(), fresh(line));
  }
}

TEST_F(BigIndexTest, TypingFastEndsWithTheLastText) {
  NopFileListSourceChangeListener nop;
  FileListSource source(&index_->view(), &nop);
  const std::u16string typed = u"file4999";
  for (size_t n = 1; n <= typed.size(); ++n) source.Submit(typed.substr(0, n), true);
  source.WaitIdle();
  std::set<std::u16string> paths;
  for (uint32_t i : source.Results()) paths.insert(index_->Path(i));
  // file4999 and file49990..file49999; file i lives in folder d(i mod 50).
  std::set<std::u16string> expected = {u"C:\\d49\\file4999.txt"};
  for (int i = 49990; i <= 49999; ++i) {
    expected.insert(u"C:\\d" + U16(std::to_string(i % 50)) + u"\\file" + U16(std::to_string(i)) + u".txt");
  }
  EXPECT_EQ(paths, expected);
}

// One worker thread serves every asynchronous search of a source (a thread per keystroke
// costs milliseconds on some systems); a synchronous search in between runs on the
// caller's thread, and the source still ends cleanly with its worker waiting.
TEST_F(BigIndexTest, OneWorkerThreadServesEveryAsynchronousSearch) {
  struct ThreadListener : NopFileListSourceChangeListener {
    void OnSearchStarted(int) override {
      thread_local int searches_here = 0;
      most_on_one_thread = std::max(most_on_one_thread.load(), ++searches_here);
      if (std::this_thread::get_id() == caller) ++on_caller;
    }
    std::thread::id caller = std::this_thread::get_id();
    std::atomic<int> most_on_one_thread{0}, on_caller{0};
  } listener;
  {
    FileListSource source(&index_->view(), &listener);
    for (const char16_t* q : {u"file1", u"file22", u"d7"}) {
      source.Submit(q, true);
      source.WaitIdle();
    }
    source.Submit(u"file3", false);
    source.Submit(u"file4", true);
    source.WaitIdle();
    EXPECT_EQ(source.ResultCount(), 11111u);  // file4, file40..49, ..., file40000..49999
  }
  EXPECT_EQ(listener.most_on_one_thread.load(), 4);
  EXPECT_EQ(listener.on_caller.load(), 1);
}

class FileListSourceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    AddFixtureTree(&t_);
    t_.Build();
    source_ = std::make_unique<FileListSource>(&t_.view(), &nop_);
  }
  TestIndex t_;
  NopFileListSourceChangeListener nop_;
  std::unique_ptr<FileListSource> source_;
};

// Which items /hidden shows is compared with the reference evaluator; this is the
// refilter of a finished result after the hidden list changes.
TEST_F(FileListSourceTest, HidingAfterASearchRefiltersTheResults) {
  t_.db().SetHideState(t_.Item(u"C:\\Windows\\System32"), false);
  source_->Submit(u"exe", false);
  EXPECT_EQ(source_->ResultCount(), 1u);
  t_.db().SetHideState(t_.Item(u"C:\\Windows\\notepad.exe"), false);
  source_->RefilterHidden();
  EXPECT_EQ(source_->ResultCount(), 0u);
  // The switch is read from the parsed query, in any case, so its results survive a refilter.
  uint32_t hidden = 0;  // the folder, its two files and the hidden file
  for (uint32_t i = 0; i < t_.db().item_count(); ++i) hidden += t_.view().hidden(i);
  ASSERT_EQ(hidden, 4u);
  source_->Submit(u"/HIDDEN", false);
  EXPECT_EQ(source_->ResultCount(), hidden);
  source_->RefilterHidden();
  EXPECT_EQ(source_->ResultCount(), hidden);
}

TEST_F(FileListSourceTest, EmptyQueryFollowsTheShowAllSetting) {
  source_->Submit(u"   ", false);
  EXPECT_EQ(source_->ResultCount(), t_.db().item_count());
  source_->set_show_all(false);
  source_->Submit(u"", false);
  EXPECT_EQ(source_->ResultCount(), 0u);
  source_->Submit(u"c:\\windows\\ ", false);
  EXPECT_EQ(source_->scope_folder(), u"c:\\windows\\");
}

TEST(ComposeQueryTest, FilterAndBox) {
  EXPECT_EQ(ComposeQuery(u"abc", u"", true), u"abc");
  EXPECT_EQ(ComposeQuery(u"abc", u"/f", true), u"/f abc");
  EXPECT_EQ(ComposeQuery(u"", u"/f", true), u"/f");
  EXPECT_EQ(ComposeQuery(u"", u"/f", false), u"");
}

}  // namespace
}  // namespace nusk::testing
