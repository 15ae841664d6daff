// The query line: tokens, terms, folders, pattern and sort clause.
#include "search/query_parser.h"

#include <gtest/gtest.h>

#include <random>

#include "util/utf.h"

namespace nusk {
namespace {

using L = TermList;

// The tokenizer as the language describes it, with the plain scans to the end of the line
// (quadratic, fine for short lines): the reference for the linear one.
L ReferenceTokenize(std::u16string_view t) {
  L out;
  std::u16string tok;
  bool quoted = false, path = false;
  const auto finish = [&] {
    if (!tok.empty()) out.push_back(tok);
    tok.clear();
  };
  for (size_t i = 0; i < t.size(); ++i) {
    const char16_t c = t[i];
    if (quoted) {
      if (c == u'"') finish(), quoted = false;
      else tok += c;
    } else if (path) {
      bool keep = c != u'|' && c != u' ';
      if (c == u' ' && !(tok.ends_with(u'\\'))) {
        for (size_t j = i + 1; j < t.size() && !keep; ++j) {
          if (t[j] == u'|' || t[j] == u':' || (t[j] == u'/' && t[j - 1] == u' ')) break;
          keep = t[j] == u'\\';
        }
      }
      if (keep) tok += c;
      else finish(), path = false;
      if (c == u'|') out.push_back(u"|");
    } else if (c == u'"') {
      finish(), quoted = true;
    } else if (c == u'|') {
      finish(), out.push_back(u"|");
    } else if (c == u'<') {
      finish();
      int depth = 1;
      size_t j = i + 1;
      for (; j < t.size() && depth > 0; ++j) depth += t[j] == u'<' ? 1 : t[j] == u'>' ? -1 : 0;
      if (depth == 0) out.emplace_back(t.substr(i, j - i)), i = j - 1;
      else if (depth == 1) return out.emplace_back(t.substr(i)), out;
    } else if (c == u' ') {
      finish();
    } else {
      tok += c, path = c == u'\\';
    }
  }
  finish();
  return out;
}

TEST(TokenizeQueryTest, AgreesWithTheReferenceOnRandomLines) {
  std::mt19937 rng(11);
  const std::u16string alphabet = u"a  \\\\|:/<<>>\"";
  for (int n = 0; n < 20000; ++n) {
    std::u16string line;
    for (size_t len = rng() % 24; line.size() < len;) line += alphabet[rng() % alphabet.size()];
    ASSERT_EQ(TokenizeQuery(line), ReferenceTokenize(line)) << ToUtf8(line);
  }
}

TEST(TokenizeQueryTest, LongLinesOfPathSpacesAndOpenGroups) {
  std::u16string path = u"c:\\";
  for (int i = 0; i < 100000; ++i) path += u"ab ";
  path += u"\\";
  EXPECT_EQ(TokenizeQuery(path), L{path});  // the final backslash keeps every space
  const std::u16string open = std::u16string(100000, u'<') + u"a";
  EXPECT_EQ(TokenizeQuery(open), L{u"<a"});  // every "<" but the last is dropped
}

TEST(TokenizeQueryTest, SpacesQuotesGroupsAndBars) {
  EXPECT_EQ(TokenizeQuery(u"  abc   def "), (L{u"abc", u"def"}));
  EXPECT_EQ(TokenizeQuery(u"\"my file\" x"), (L{u"my file", u"x"}));
  EXPECT_EQ(TokenizeQuery(u"\"a|b<c\""), (L{u"a|b<c"}));
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
}

TEST(SplitQueryTest, OrJoiningAndFolders) {
  const struct {
    const char16_t* line;
    L terms, folders;
  } cases[] = {
      {u"a | b c", {u"a|b", u"c"}, {}},
      {u"a|b", {u"a|b"}, {}},
      {u"x | ! <a b>", {u"x|!<a b>"}, {}},
      {u"c:\\x | y z\\", {u"y"}, {u"c:\\x", u"z\\"}},
  };
  for (const auto& c : cases) {
    L terms, folders;
    SplitQuery(c.line, &terms, &folders);
    EXPECT_EQ(terms, c.terms) << ToUtf8(c.line);
    EXPECT_EQ(folders, c.folders) << ToUtf8(c.line);
  }
  L terms;
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
