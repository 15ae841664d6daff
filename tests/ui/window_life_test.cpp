// The window's life decisions: instance mutex name, hand-over texts both ways, the
// question after an abnormal end, closing, the saved placement and the crash report lines.
#include <gtest/gtest.h>

#include <set>

#include "platform/crash.h"
#include "ui/window_life.h"
#include "util/utf.h"
#include "util/version.h"

namespace nusk {
namespace {

TEST(UiWindowLife, InstanceMutexNameTurnsBackslashesOnly) {
  EXPECT_EQ(InstanceMutexName(u"C:\\Tools\\.nusk\\"), u"C:/Tools/.nusk/|NUSK_GUI");
  EXPECT_EQ(InstanceMutexName(u"/home/a b/"), u"/home/a b/|NUSK_GUI");
}

// A second start's arguments travel through the settings file and come back as the
// first window's search text.
TEST(UiWindowLife, HandOverRoundTrip) {
  const std::set<std::u16string> existing = {u"C:\\My Files", u"C:\\a.txt"};
  auto exists = [&](std::u16string_view p) { return existing.count(std::u16string(p)) != 0; };
  struct Case {
    std::vector<std::u16string> args;
    std::u16string find_str;   // Message/FindStr
    std::u16string find_text;  // Message/FindText
    std::u16string searched;   // what the running window searches
  };
  const Case cases[] = {
      {{u"C:\\My Files"}, u"|C:\\My Files|", u"", u"\"C:\\My Files\" "},
      {{u"\"C:\\My Files\""}, u"|C:\\My Files|", u"", u"\"C:\\My Files\" "},  // quoted: not wrapped twice
      {{u"C:\\a.txt"}, u"C:\\a.txt", u"", u"C:\\a.txt "},
      {{u"abc", u"*.txt"}, u"abc *.txt", u"", u"abc *.txt"},
      {{u"two words", u"x"}, u"|two words| x", u"", u"\"two words\" x"},  // not an item: no space
      {{u"say \"hi\""}, u"|say |hi||", u"", u"\"say \"hi\"\""},
      {{}, u"", u"", u""},
      // The query's "or" keeps its meaning.
      {{u"*.jpg|*.png", u"50%"}, u"*.jpg|*.png 50%", u"*.jpg%7C*.png 50%25", u"*.jpg|*.png 50%"},
      {{u"a b|c"}, u"|a b|c|", u"%22a b%7Cc%22", u"\"a b|c\""},
  };
  for (const Case& c : cases) {
    const HandOver h = HandOverMessage(c.args);
    EXPECT_EQ(h.find_str, c.find_str);
    EXPECT_EQ(h.find_str.find(u'"'), std::u16string::npos);
    EXPECT_EQ(h.find_text, c.find_text);
    EXPECT_EQ(ReceivedSearchText(h.find_str, h.find_text, exists), c.searched);
  }
  // A damaged FindText falls back to the bars.
  for (std::u16string_view bad : {u"%", u"ab%2", u"%G1", u"x%7"}) {
    EXPECT_EQ(ReceivedSearchText(u"|q|", bad, exists), u"\"q\"") << std::string(bad.begin(), bad.end());
  }
  EXPECT_EQ(ReceivedSearchText(u"|q|", u"%7c%22", exists), u"|\"");
}

TEST(UiWindowLife, CleanQuestionOnlyAfterAnAbnormalEndWithoutAnotherInstance) {
  EXPECT_TRUE(AskCleanAfterAbnormalEnd(false, 200, 100));
  EXPECT_TRUE(AskCleanAfterAbnormalEnd(false, 200, 0));  // started once, never ended
  EXPECT_FALSE(AskCleanAfterAbnormalEnd(true, 200, 100));
  EXPECT_FALSE(AskCleanAfterAbnormalEnd(false, 200, 200));
  EXPECT_FALSE(AskCleanAfterAbnormalEnd(false, 100, 200));
  EXPECT_FALSE(AskCleanAfterAbnormalEnd(false, 0, 0));  // first run
}

TEST(UiWindowLife, CloseHidesDefersOrEnds) {
  struct Case {
    CloseContext c;
    CloseStep step;
  };
  const Case cases[] = {
      {{false, false, false, false}, CloseStep::kEnd},     {{true, false, false, false}, CloseStep::kHideToTray},
      {{true, false, true, true}, CloseStep::kHideToTray},  // hiding needs no wait
      {{true, true, false, false}, CloseStep::kEnd},        // the tray's Exit
      {{true, true, true, false}, CloseStep::kDefer},      {{false, false, true, false}, CloseStep::kDefer},
      {{false, false, false, true}, CloseStep::kDefer},
  };
  for (const Case& c : cases) EXPECT_EQ(DecideClose(c.c), c.step);
  EXPECT_TRUE(ShowsHiddenBalloon(false, false));
  EXPECT_FALSE(ShowsHiddenBalloon(true, false));
  EXPECT_FALSE(ShowsHiddenBalloon(false, true));
}

TEST(UiWindowLife, PlacementTextRoundTripAndBadInput) {
  const SavedPlacement p{true, -8, 10, 932, 630};
  EXPECT_EQ(PlacementText(p), u"3,-8,10,932,630");
  const std::optional<SavedPlacement> back = ParsePlacement(PlacementText(p));
  ASSERT_TRUE(back);
  EXPECT_TRUE(back->maximized);
  EXPECT_EQ(back->left, -8);
  EXPECT_EQ(back->bottom, 630);
  EXPECT_FALSE(ParsePlacement(u"1,0,0,100,100")->maximized);
  for (std::u16string_view bad :
       {u"", u"1,0,0,100", u"1,0,0,100,100,5", u"2,0,0,100,100", u"1,0,0,0,100", u"1,0,50,100,40", u"1,a,0,100,100",
        u"1,,0,100,100", u"1,0,0,100,100,", u"1,0,0,9999999999,100", u"1,-,0,100,100"}) {
    EXPECT_FALSE(ParsePlacement(bad)) << std::string(bad.begin(), bad.end());
  }
}

TEST(UiWindowLife, CrashReportLines) {
  EXPECT_EQ(GuiCrashReportPrelude(u"C:\\n\\日本\\"),
            "--------------- gui crashed ---------------\n-- nusk info --\nNusk version: " NUSK_VERSION ", " +
                std::to_string(sizeof(void*) * 8) +
                " bit\nNusk home: C:\\n\\\xE6\x97\xA5\xE6\x9C\xAC\\\n"
                "Portable: Y\n-- Search info --\n");
  EXPECT_EQ(LastSearchLine(u"a\r\nb 資"), "Last search: a  b \xE8\xB3\x87\n");
  EXPECT_EQ(LastSearchLine(u""), "Last search: \n");
}

// The crash report's last-search line: replaced whole, cut at a character, line ended.
TEST(UiWindowLife, CrashTailKeepsWholeCharactersAndEndsItsLine) {
  SetCrashReportTail(LastSearchLine(u"abc"));
  EXPECT_EQ(CrashReportTail(), "Last search: abc\n");
  SetCrashReportTail(LastSearchLine(std::u16string(3000, u'資')));  // 3 bytes each
  const std::string_view tail = CrashReportTail();
  ASSERT_LE(tail.size(), 2047u);
  EXPECT_GT(tail.size(), 2000u);
  EXPECT_EQ(tail.back(), '\n');
  const std::string_view cut = tail.substr(13, tail.size() - 14);  // between "Last search: " and the line end
  EXPECT_EQ(cut.size() % 3, 0u);
  EXPECT_EQ(ToUtf8(FromUtf8(cut)), cut);
  SetCrashReportTail(LastSearchLine(u"x"));
  EXPECT_EQ(CrashReportTail(), "Last search: x\n");
}

}  // namespace
}  // namespace nusk
