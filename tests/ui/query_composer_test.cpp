// The query composer's fields to query text and back.
#include <gtest/gtest.h>

#include <random>

#include "search/query_parser.h"
#include "ui/query_composer.h"

namespace nusk {
namespace {

struct ComposeCase {
  const char* what;
  ComposerFields fields;
  std::u16string text;
};

ComposerFields Root(std::u16string root) {
  ComposerFields f;
  f.root_dir = std::move(root);
  return f;
}

TEST(UiQueryComposer, ComposesInTheDocumentedOrder) {
  ComposerFields partial = Root(u"C:\\My Files");
  partial.partial_path = u"docs";
  ComposerFields partial_space = Root(u"C:\\My Files");
  partial_space.partial_path = u"my docs";
  ComposerFields report;
  report.name_contains = u"report";
  ComposerFields a_txt;
  a_txt.name_begin = u"a";
  a_txt.name_end = u".txt";
  ComposerFields all_names;
  all_names.name_begin = u"a";
  all_names.name_contains = u"b c";
  all_names.name_end = u".txt";
  ComposerFields size_both;
  size_both.min_size = u"10";
  size_both.max_size = u"20";
  ComposerFields size_kb;
  size_kb.min_size = u"10";
  size_kb.min_unit = MinSizeUnit::kKB;
  ComposerFields size_same;
  size_same.min_size = u"10";
  ComposerFields size_same_bytes = size_same;
  size_same_bytes.max_unit = MaxSizeUnit::kBytes;
  ComposerFields size_max_only;
  size_max_only.max_size = u"5";
  size_max_only.max_unit = MaxSizeUnit::kGB;
  size_max_only.min_unit = MinSizeUnit::kKB;  // no minimum: its unit is not written
  ComposerFields to_only;
  to_only.to = ComposerDate{2015, 3, 1};
  ComposerFields dates;
  dates.from = ComposerDate{2014, 1, 2};
  dates.to = ComposerDate{2014, 12, 31};
  ComposerFields everything = Root(u"D:\\Data");
  everything.partial_path = u"src";
  everything.type = 1;
  everything.drive = DriveStatus::kOffline;
  everything.name_end = u".cpp";
  everything.misc = u"/hidden";
  everything.min_size = u"1";
  everything.min_unit = MinSizeUnit::kMB;
  everything.max_size = u"2";
  everything.max_unit = MaxSizeUnit::kGB;
  everything.from = ComposerDate{2020, 5, 6};
  ComposerFields folders;
  folders.type = 2;
  folders.drive = DriveStatus::kOnline;
  ComposerFields root_runs_in = Root(u"C:\\Docs");
  root_runs_in.partial_path = u"src";
  ComposerFields partial_runs_in;
  partial_runs_in.partial_path = u"a\\b";
  partial_runs_in.name_contains = u"x";
  partial_runs_in.misc = u"c\\d";

  const ComposeCase cases[] = {
      {"root with a space", Root(u"C:\\My Files"), u"C:\\My Files\\"},
      {"root without a space", Root(u"C:\\Docs"), u"C:\\Docs"},
      {"partial path", partial, u"C:\\My Files\\ docs*\\"},
      {"partial path with a space", partial_space, u"C:\\My Files\\ \"my docs*\\\""},
      {"contains alone", report, u"report"},
      {"begins and ends", a_txt, u"a*.txt"},
      {"all name parts, quoted for the space", all_names, u"\"a*b c*.txt\""},
      {"same as below takes the maximum's unit", size_both, u"/size:10-20M"},
      {"minimum in KB alone", size_kb, u"/size:10K"},
      {"same as below alone, default MB", size_same, u"/size:10M"},
      {"same as below over bytes", size_same_bytes, u"/size:10"},
      {"maximum alone", size_max_only, u"/size:-5G"},
      {"to date alone", to_only, u"/date:-20150301"},
      {"both dates", dates, u"/date:20140102-20141231"},
      {"every part in order", everything, u"D:\\Data\\ src*\\ /f /offline *.cpp /hidden /size:1M-2G /date:20200506"},
      {"folders on present drives", folders, u"/d /online"},
      {"a root the partial path would run into", root_runs_in, u"C:\\Docs\\ src*\\"},
      {"a partial path the conditions would run into", partial_runs_in, u"\"a\\b\" x c\\d"},
      {"nothing", ComposerFields{}, u""},
  };
  for (const ComposeCase& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(ComposeFieldsQuery(c.fields), c.text);
  }
}

// What the query language makes of composed texts: the folders stay whole folder tokens.
TEST(UiQueryComposer, TheParserReadsTheFoldersBack) {
  EXPECT_EQ(ParseQuery(ComposeFieldsQuery(Root(u"C:\\My Files"))).folder, u"C:\\My Files\\");
  ComposerFields f = Root(u"C:\\Docs");
  f.partial_path = u"my src";
  f.name_begin = u"a";
  const ParsedQuery q = ParseQuery(ComposeFieldsQuery(f));
  EXPECT_EQ(q.folders, (TermList{u"C:\\Docs\\", u"my src*\\"}));
  EXPECT_EQ(q.terms, TermList{u"a*"});
}

// Texts the composer could have written come back as their fields; any other text comes
// back whole in the further conditions, so composing it again changes nothing.
TEST(UiQueryComposer, FillsFieldsFromASearchText) {
  ComposerFields report = Root(u"C:\\My Files");
  report.name_contains = u"report";
  EXPECT_EQ(FieldsFromQuery(u"C:\\My Files\\ report  "), report);
  ComposerFields typed = Root(u"C:\\Docs\\");
  EXPECT_EQ(FieldsFromQuery(u"C:\\Docs\\"), typed);
  ComposerFields size;
  size.min_size = u"10";
  size.min_unit = MinSizeUnit::kMB;
  EXPECT_EQ(FieldsFromQuery(u"/size:10M"), size);
  const std::u16string others[] = {u"a | b c", u"/size:10-", u"/date:2015-0301",
                                   u"*abc*",   u"<a b> /F",  u"x /date:20150301 y"};
  for (const std::u16string& text : others) {
    SCOPED_TRACE(std::string(text.begin(), text.end()));
    EXPECT_EQ(ComposeFieldsQuery(FieldsFromQuery(text)), text);
  }
  EXPECT_EQ(FieldsFromQuery(u"/size:10-").misc, u"/size:10-");
}

// Random field sets in the canonical form (see FieldsFromQuery) survive composing, the query
// tokenizer and filling.
TEST(UiQueryComposer, RandomFieldsRoundTrip) {
  std::mt19937 rng(20);
  auto pick = [&](std::initializer_list<std::u16string> options) {
    std::uniform_int_distribution<size_t> d(0, options.size() - 1);
    return *(options.begin() + d(rng));
  };
  auto number = [&]() -> std::u16string { return pick({u"", u"", u"0", u"7", u"10", u"1.5", u"4096"}); };
  auto date = [&]() -> std::optional<ComposerDate> {
    if (rng() % 2) return std::nullopt;
    return ComposerDate{1980 + int(rng() % 60), 1 + int(rng() % 12), 1 + int(rng() % 31)};
  };
  for (int i = 0; i < 3000; ++i) {
    ComposerFields f;
    f.root_dir = pick({u"", u"C:\\", u"C:\\Docs", u"D:\\My Files", u"E:\\a b\\c d", u"F:\\日本"});
    f.partial_path = pick({u"", u"docs", u"my docs", u"src\\lib", u"a b\\c"});
    f.type = 1 + int(rng() % 3);
    f.drive = static_cast<DriveStatus>(rng() % 3);
    f.name_begin = pick({u"", u"", u"a", u"rep ort", u"x.y"});
    f.name_contains = pick({u"", u"", u"b", u"日本語", u"two words"});
    f.name_end = pick({u"", u"", u".txt", u"z", u" end"});
    const bool named = !f.name_begin.empty() || !f.name_contains.empty() || !f.name_end.empty();
    // Without a name pattern the first plain further condition would be read as one.
    f.misc = named ? pick({u"", u"", u"word", u"/hidden x|y", u"!<a b>"})
                   : pick({u"", u"", u"/hidden", u"<a|b> w", u"/dup:2"});
    f.min_size = number();
    f.max_size = number();
    f.min_unit = static_cast<MinSizeUnit>(rng() % 4);
    f.max_unit = static_cast<MaxSizeUnit>(rng() % 4);
    if (f.max_size.empty()) {
      // Units the text does not show are canonical: the minimum keeps its own letter.
      if (f.min_size.empty()) {
        f.min_unit = MinSizeUnit::kSameAsBelow;
        f.max_unit = MaxSizeUnit::kMB;
      } else if (f.min_unit == MinSizeUnit::kSameAsBelow && f.max_unit != MaxSizeUnit::kBytes) {
        f.min_unit = static_cast<MinSizeUnit>(f.max_unit);
        f.max_unit = MaxSizeUnit::kMB;
      } else if (f.min_unit != MinSizeUnit::kSameAsBelow) {
        f.max_unit = MaxSizeUnit::kMB;
      }
    } else if (f.min_size.empty()) {
      f.min_unit = MinSizeUnit::kSameAsBelow;
    }
    f.from = date();
    f.to = date();
    const std::u16string text = ComposeFieldsQuery(f);
    SCOPED_TRACE(i);
    ASSERT_EQ(FieldsFromQuery(text), f) << std::string(text.begin(), text.end());
  }
}

TEST(UiQueryComposer, FolderChosenInTheTreeReplacesTheSearchFolder) {
  struct Case {
    std::u16string text, folder, expected;
  };
  const Case cases[] = {
      {u"", u"C:\\Docs", u"C:\\Docs"},
      {u"report", u"C:\\My Docs", u"C:\\My Docs\\ report"},
      {u"C:\\Old report /size:1M", u"D:\\", u"D:\\ report /size:1M"},
      {u"C:\\My Files\\ report", u"E:\\x", u"E:\\x report"},
      {u"a | b D:\\y c", u"E:\\x", u"E:\\x a | b c"},
      {u"x \"C:\\a b\"", u"E:\\x", u"E:\\x x"},
      {u"docs\\ *.txt", u"C:\\", u"C:\\ docs\\ *.txt"},
      {u"C:\\x report", u"\\", u"\\ report"},
      {u"\\ report", u"C:\\x", u"C:\\x report"},
      {u"C:\\x", u"\\", u"\\"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.text.begin(), c.text.end()));
    const std::u16string got = WithSearchFolder(c.text, c.folder);
    EXPECT_EQ(got, c.expected);
    const ParsedQuery q = ParseQuery(got);
    if (c.folder != u"\\") {
      const std::u16string first = q.folder.empty() && !q.folders.empty() ? q.folders[0] : q.folder;
      EXPECT_EQ(first.substr(0, c.folder.size()), c.folder);
    }
  }
}

TEST(UiQueryComposer, WindowPosition) {
  EXPECT_EQ(ParseWindowPos(u"120,-40"), (WindowPos{120, -40}));
  EXPECT_EQ(ParseWindowPos(WindowPosText({-1920, 7})), (WindowPos{-1920, 7}));
  for (std::u16string_view bad : {u"", u"12", u"12,", u"a,3", u"1,2,3", u"99999999999,1"}) {
    EXPECT_EQ(ParseWindowPos(bad), std::nullopt) << std::string(bad.begin(), bad.end());
  }
}

}  // namespace
}  // namespace nusk
