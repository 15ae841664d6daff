// The query line: tokens, terms, folders, pattern and sort clause.
#include "search/query_parser.h"

#include <gtest/gtest.h>

namespace nusk {
namespace {

using L = TermList;

TEST(TokenizeQueryTest, SpacesQuotesGroupsAndBars) {
  EXPECT_EQ(TokenizeQuery(u"  abc   def "), (L{u"abc", u"def"}));
  EXPECT_EQ(TokenizeQuery(u"\"my file\" x"), (L{u"my file", u"x"}));
  EXPECT_EQ(TokenizeQuery(u"\"a|b<c\""), (L{u"a|b<c"}));
  EXPECT_EQ(TokenizeQuery(u"a|b"), (L{u"a", u"|", u"b"}));
  EXPECT_EQ(TokenizeQuery(u"x<a b>y"), (L{u"x", u"<a b>", u"y"}));
  EXPECT_EQ(TokenizeQuery(u"<a <b c> d> e"), (L{u"<a <b c> d>", u"e"}));
  // An unclosed group takes the rest of the line.
  EXPECT_EQ(TokenizeQuery(u"x <a b"), (L{u"x", u"<a b"}));
  // Closed inner group, open outer one: one token to the end of the line.
  EXPECT_EQ(TokenizeQuery(u"<<a b>"), (L{u"<<a b>"}));
  // Open at a depth above one: the first "<" is dropped and reading goes on after it.
  EXPECT_EQ(TokenizeQuery(u"<<a b"), (L{u"<a b"}));
  EXPECT_TRUE(TokenizeQuery(u"").empty());
  EXPECT_TRUE(TokenizeQuery(u"\"\"").empty());
}

TEST(TokenizeQueryTest, PathsKeepSpacesUntilTheFolderEnds) {
  EXPECT_EQ(TokenizeQuery(u"c:\\my docs\\x.txt"), (L{u"c:\\my docs\\x.txt"}));
  EXPECT_EQ(TokenizeQuery(u"c:\\a b"), (L{u"c:\\a", u"b"}));
  EXPECT_EQ(TokenizeQuery(u"c:\\program files\\ *.txt"), (L{u"c:\\program files\\", u"*.txt"}));
  // A switch or a drive after the space ends the path even when a backslash follows.
  EXPECT_EQ(TokenizeQuery(u"c:\\a /size:1 x\\y"), (L{u"c:\\a", u"/size:1", u"x\\y"}));
  EXPECT_EQ(TokenizeQuery(u"c:\\a d:\\b"), (L{u"c:\\a", u"d:\\b"}));
  EXPECT_EQ(TokenizeQuery(u"c:\\a|b"), (L{u"c:\\a", u"|", u"b"}));
}

TEST(SplitQueryTest, OrJoiningAndFolders) {
  L terms, folders;
  SplitQuery(u"a | b c", &terms, &folders);
  EXPECT_EQ(terms, (L{u"a|b", u"c"}));
  terms.clear();
  SplitQuery(u"a|b", &terms, &folders);
  EXPECT_EQ(terms, (L{u"a|b"}));
  terms.clear();
  SplitQuery(u"x | ! <a b>", &terms, &folders);
  EXPECT_EQ(terms, (L{u"x|!<a b>"}));
  terms.clear();
  SplitQuery(u"c:\\x | y z\\", &terms, &folders);
  EXPECT_EQ(terms, (L{u"y"}));
  EXPECT_EQ(folders, (L{u"c:\\x", u"z\\"}));
  terms.clear();
  SplitQuery(u"d: q", &terms, nullptr);  // folder tokens dropped without a list
  EXPECT_EQ(terms, (L{u"q"}));
}

TEST(SplitQueryTest, EnclosingStarsAreCut) {
  L terms;
  SplitQuery(u"*abc* ** *a*b a* *b ***", &terms, nullptr);
  EXPECT_EQ(terms, (L{u"abc", u"", u"*a*b", u"a*", u"*b", u"***"}));
}

TEST(ParseQueryTest, PatternFolderAndSort) {
  ParsedQuery q = ParseQuery(u"c:\\program files\\ *.txt");
  EXPECT_EQ(q.folder, u"c:\\program files\\");
  EXPECT_EQ(q.pattern, u"*.txt");
  EXPECT_TRUE(q.terms.empty());

  q = ParseQuery(u"\"c:\\program files\" *.txt");
  EXPECT_EQ(q.folder, u"c:\\program files");
  EXPECT_EQ(q.pattern, u"*.txt");

  q = ParseQuery(u"abc /sort:size /sort:name");
  EXPECT_EQ(q.sort, u"/sort:size");
  EXPECT_EQ(q.terms, (L{u"abc", u"/sort:name"}));  // a later clause stays a term
  EXPECT_TRUE(q.pattern.empty());

  q = ParseQuery(u"/SORT:name");  // not a sort clause
  EXPECT_TRUE(q.sort.empty());
  EXPECT_EQ(q.terms, (L{u"/SORT:name"}));

  q = ParseQuery(u"a b");
  EXPECT_EQ(q.terms, (L{u"a", u"b"}));
  EXPECT_TRUE(q.pattern.empty());

  // Two folders: a folder list, no scope, no pattern.
  q = ParseQuery(u"foo c:\\x\\ d:\\y\\");
  EXPECT_TRUE(q.folder.empty());
  EXPECT_EQ(q.folders, (L{u"c:\\x\\", u"d:\\y\\"}));
  EXPECT_EQ(q.terms, (L{u"foo"}));
}

TEST(ParseQueryTest, WhatIsNotAPattern) {
  for (const char16_t* t : {u"a|b", u"/f", u"<a>", u">x", u"@office"}) {
    const ParsedQuery q = ParseQuery(t);
    EXPECT_TRUE(q.pattern.empty()) << std::string(t, t + 1);
    EXPECT_EQ(q.terms.size(), 1u);
  }
  EXPECT_EQ(ParseQuery(u"@").pattern, u"@");
  EXPECT_EQ(ParseQuery(u"!").pattern, u"!");
  EXPECT_EQ(ParseQuery(u"**").pattern, u"");
}

}  // namespace
}  // namespace nusk
