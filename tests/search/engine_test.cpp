// Every construct of the language against a small fixture index, through the same path
// the window takes (FileListSource). Expected sets come from the language rules.
#include <gtest/gtest.h>

#include "search/find_result.h"
#include "search/named_searches.h"
#include "platform/profile.h"
#include "tests/search/search_fixture.h"

namespace nusk::testing {
namespace {

class EngineTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    index_ = new TestIndex();
    AddFixtureTree(index_);
    index_->Build();
  }
  static void TearDownTestSuite() { delete index_; }
  PathSet F(std::u16string_view q, TermContext ctx = {}) { return Find(*index_, q, std::move(ctx)); }
  std::string Kind(std::u16string_view q) { return CreateFindResult(ParseQuery(q), index_->view(), {})->kind(); }
  static TestIndex* index_;
};
TestIndex* EngineTest::index_ = nullptr;

const std::u16string kCalc = u"C:\\Windows\\System32\\calc.exe";
const std::u16string kNote32 = u"C:\\Windows\\System32\\notepad.exe";
const std::u16string kNote = u"C:\\Windows\\notepad.exe";
const std::u16string kReport = u"C:\\Users\\Ann\\My Docs\\report 2014.docx";
const std::u16string kReadme = u"C:\\Users\\Ann\\readme.txt";
const std::u16string kReadmeBob = u"C:\\Users\\Bob\\ReadMe.TXT";
const std::u16string kDll = u"C:\\Program Files\\app\\abc.dll";

TEST_F(EngineTest, KeywordsIgnoreCaseAndNeedAllWords) {
  EXPECT_EQ(F(u"notepad"), (PathSet{kNote, kNote32}));
  EXPECT_EQ(F(u"NOTEPAD"), (PathSet{kNote, kNote32}));  // upper case: no bits, still found
  EXPECT_EQ(F(u"exe pad"), (PathSet{kNote, kNote32}));
  EXPECT_EQ(F(u"\"t 2014\""), (PathSet{kReport}));  // a quoted space is part of the keyword
  EXPECT_EQ(F(u"a?c"), PathSet{});                  // '?' is literal in a plain keyword
  EXPECT_EQ(Kind(u"notepad"), "NameBitsResult");
  EXPECT_EQ(Kind(u"exe pad"), "KeywordsResult");
}

TEST_F(EngineTest, SingleCharacterAndEverything) {
  EXPECT_EQ(F(u"y"), (PathSet{u"D:\\data\\axxbyc", u"C:\\Users\\Ann\\My Docs", u"C:\\Windows\\System32"}));
  EXPECT_EQ(Kind(u"y"), "SingleCharResult");
  EXPECT_EQ(F(u"*").size(), index_->db().item_count());
  EXPECT_EQ(F(u"**").size(), index_->db().item_count());
  EXPECT_EQ(F(u"").size(), index_->db().item_count());
  EXPECT_EQ(Kind(u"*"), "AllResult");
}

TEST_F(EngineTest, HeadTailAndWildcardPatterns) {
  EXPECT_EQ(F(u"note*"), (PathSet{kNote, kNote32}));
  EXPECT_EQ(F(u"**.dll"), (PathSet{kDll}));
  EXPECT_EQ(Kind(u"note**"), "HeadTailNameBitsResult");
  EXPECT_EQ(Kind(u"**.dll"), "HeadTailNameBitsResult");
  // Lone 'a*b': begins with a, ends with b.
  EXPECT_EQ(F(u"a*b"), (PathSet{u"D:\\data\\ab", u"D:\\data\\acb", u"D:\\data\\a.b"}));
  EXPECT_EQ(Kind(u"a*b"), "WildcardResult");
  // Lone wildcard: '?' is literal; next to another term it is any one character.
  EXPECT_EQ(F(u"a*b?c"), PathSet{});
  EXPECT_EQ(F(u"a*b?c* /f"), (PathSet{u"D:\\data\\axxbyc"}));
  EXPECT_EQ(F(u"a*b?c /f"), PathSet{});  // one star: head and tail, '?' literal
  EXPECT_EQ(F(u"*.* /f").count(u"D:\\data\\ab"), 0u);
  EXPECT_EQ(F(u"*.* /f").count(u"D:\\data\\a.b"), 1u);
}

TEST_F(EngineTest, OrGroupsAndNegation) {
  EXPECT_EQ(F(u"calc | abc"), (PathSet{kCalc, kDll}));
  EXPECT_EQ(F(u"exe !<note>"), (PathSet{kCalc}));
  EXPECT_EQ(F(u"!exe"), PathSet{});  // negation applies to groups only
  EXPECT_EQ(F(u"<calc|note> <system32\\ >"), (PathSet{kCalc, kNote32}));
  // Name and item conditions mixed under OR and NOT evaluate as the boolean formula.
  EXPECT_EQ(F(u"calc|/size:3g"), (PathSet{kCalc, u"D:\\data\\big.iso"}));
  EXPECT_EQ(F(u"notepad !<exe /size:3k>"), (PathSet{kNote32}));
  EXPECT_EQ(F(u"!<exe|/size:1>"), F(u"/d"));  // neither .exe nor any bytes: the folders
  EXPECT_EQ(F(u"!<exe|/size:1>").size(), 11u);
}

// Both ends of a range are included (random sizes and times rarely hit a bound exactly).
TEST_F(EngineTest, RangeBoundsAreInclusive) {
  EXPECT_EQ(F(u"/size:1000-1000"), (PathSet{kCalc}));
  // Fixture times are small CompactTime values: day 0 is 1977-10-02 (UTC).
  TermContext ctx;
  ctx.today = Today{2020, 6, 15, false};
  EXPECT_EQ(F(u"/date:19771002 /f", ctx).size(), 14u);   // from that day on: every file
  EXPECT_EQ(F(u"/date:-19771002 /f", ctx).size(), 14u);  // the upper day is included whole
  EXPECT_EQ(F(u"/date:19771003 /f", ctx), PathSet{});
  EXPECT_EQ(F(u"/date:-19771001 /f", ctx), PathSet{});
}

TEST_F(EngineTest, FolderScopes) {
  EXPECT_EQ(F(u"c:\\windows\\system32 notepad"), (PathSet{kNote32}));
  EXPECT_EQ(F(u"c:\\windows windows"), PathSet{});  // the folder is not below itself
  EXPECT_EQ(F(u"c: x"), (PathSet{kCalc, kNote, kNote32, kReport, kReadme, kReadmeBob}));
  EXPECT_EQ(F(u"C:\\WINDOWS\\ *.exe"), (PathSet{kCalc, kNote, kNote32}));
  EXPECT_EQ(F(u"c:\\windows\\"), (PathSet{u"C:\\Windows\\System32", kNote}));  // browse
  EXPECT_EQ(F(u"c:\\windows\\ "), (PathSet{u"C:\\Windows\\System32", kCalc, kNote32, kNote}));
  EXPECT_EQ(F(u"\\"), (PathSet{u"C:", u"D:"}));
  EXPECT_EQ(F(u"system32\\ *.exe"), (PathSet{kCalc, kNote32}));
  EXPECT_EQ(F(u"\\system\\ *.exe"), PathSet{});  // a folder named exactly "system"
  EXPECT_EQ(F(u"c:\\nothing\\ exe"), PathSet{});
  EXPECT_EQ(F(u"q: calc"), (PathSet{kCalc}));  // unknown drive without '\': ignored
  EXPECT_EQ(F(u"\"c:\\program files\" *.dll"), (PathSet{kDll}));
  // Two folders: a folder list evaluated by the matchers.
  EXPECT_EQ(F(u"exe c:\\windows\\system32\\ d:\\data\\"), (PathSet{kCalc, kNote32}));
  EXPECT_EQ(F(u"b d:\\ c:\\nothing\\").size(), F(u"d: b").size());
}

TEST_F(EngineTest, NamedSearches) {
  TempDir dir;
  NamedSearches named(Profile::Default(), dir.Sub(u"nusk.ini"));
  named.EnsureDefaults();
  TermContext ctx;
  ctx.lookup_named = [&](std::u16string_view n) { return named.Lookup(n); };
  EXPECT_EQ(F(u"@office", ctx), (PathSet{kReport}));
  EXPECT_EQ(F(u"@Office My 2014", ctx), PathSet{});  // "my" is not in the name
  EXPECT_EQ(F(u"@Office report 2014", ctx), (PathSet{kReport}));
  EXPECT_EQ(F(u"@Executable pad", ctx), (PathSet{kNote, kNote32}));
  EXPECT_EQ(F(u"@unknown", ctx), PathSet{});
}

TEST_F(EngineTest, SelfReferringNamedSearchIsSearchedLiterally) {
  TermContext ctx;
  ctx.lookup_named = [](std::u16string_view n) -> std::u16string { return n == u"loop" ? u"@loop" : u""; };
  EXPECT_EQ(F(u"@loop", ctx), PathSet{});  // terminates; no name contains "@loop"
  ctx.lookup_named = [](std::u16string_view n) -> std::u16string { return n == u"a" ? u"<x @a>" : u""; };
  EXPECT_EQ(F(u"@a", ctx), PathSet{});
  // Naming itself twice would double the tree at every level.
  ctx.lookup_named = [](std::u16string_view n) -> std::u16string { return n == u"b" ? u"<@b|@b @b>" : u""; };
  EXPECT_EQ(F(u"@b @b", ctx), PathSet{});
}

TEST_F(EngineTest, DeepGroupsDoNotExhaustTheStack) {
  std::u16string q(100000, u'<');
  q += u"calc";
  q += std::u16string(100000, u'>');
  EXPECT_NO_THROW(F(q));
}

TEST_F(EngineTest, OnlineAndOffline) {
  TermContext ctx;
  ctx.present_drives = 1u << 2;  // only C:
  EXPECT_EQ(F(u"/online a*b", ctx), PathSet{});
  EXPECT_EQ(F(u"/offline a*b", ctx), (PathSet{u"D:\\data\\ab", u"D:\\data\\acb", u"D:\\data\\a.b"}));
}

}  // namespace
}  // namespace nusk::testing
