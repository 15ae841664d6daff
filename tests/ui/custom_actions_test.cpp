// Custom actions: the stored list and its defaults, the configuration text and its
// refusals, and the command line an action starts.
#include <gtest/gtest.h>

#include <string>

#include "settings/settings_file.h"
#include "tests/testing/test_env.h"
#include "ui/custom_actions.h"
#include "util/utf.h"

namespace nusk {
namespace {

TEST(UiCustomActions, DefaultsAreWrittenOnceAndValuesSurvive) {
  testing::TempDir dir;
  const SettingsFile file(dir.Sub(u"nusk.ini"));
  ASSERT_TRUE(EnsureDefaultCustomActions(file));
  EXPECT_EQ(file.ReadInteger(u"CustomAction", u"Count"), 3);
  EXPECT_EQ(file.ReadText(u"CustomAction", u"Command2"), u"notepad.exe \"%1\"");
  const std::vector<CustomAction> defaults = ReadCustomActions(file);
  ASSERT_EQ(defaults.size(), 3u);
  EXPECT_EQ(defaults[0], (CustomAction{u"Open path in command prompt", u"cmd /K cd /d \"%~dp1\""}));
  EXPECT_EQ(defaults[2].command, u"%WINDIR%\\explorer.exe /select,\"%1\"");

  // A user's list, even an empty one, is never replaced by the defaults.
  ASSERT_TRUE(WriteCustomActions(file, {}));
  EXPECT_FALSE(EnsureDefaultCustomActions(file));
  EXPECT_TRUE(ReadCustomActions(file).empty());
  // Older items above the new Count stay in the file, unread.
  EXPECT_EQ(file.ReadText(u"CustomAction", u"Name1"), u"Open path in command prompt");

  // A command line wrapped in quotes and one with blanks at its ends read back unchanged.
  const std::vector<CustomAction> own = {{u"Viewer", u"\"C:\\Program Files\\v.exe\" \"%1\""}, {u"Pad", u"  x %1 "}};
  ASSERT_TRUE(WriteCustomActions(file, own));
  EXPECT_EQ(ReadCustomActions(file), own);
}

TEST(UiCustomActions, ConfigurationTextAndItsRefusals) {
  const ParsedCustomActions ok = ParseCustomActionsText(u"\r\nA = x.exe \"%1\"\r\n   \nB=set X=1\n");
  EXPECT_EQ(ok.error, CustomActionsError::kNone);
  EXPECT_EQ(ok.actions, (std::vector<CustomAction>{{u"A", u"x.exe \"%1\""}, {u"B", u"set X=1"}}));
  EXPECT_EQ(ParseCustomActionsText(CustomActionsText(ok.actions)).actions, ok.actions);

  struct Bad {
    std::u16string_view text;
    CustomActionsError error;
    std::u16string_view line;
  };
  const Bad bad[] = {
      {u"A=x\r\n=notepad.exe\r\n", CustomActionsError::kBadLine, u"=notepad.exe"},
      {u"Notepad=\r\n", CustomActionsError::kBadLine, u"Notepad="},
      {u"A=b=", CustomActionsError::kBadLine, u"A=b="},
      {u"  Notepad = \r\n", CustomActionsError::kBadLine, u"Notepad ="},
      {u"just a name", CustomActionsError::kBadLine, u"just a name"},
      {u"  = x", CustomActionsError::kBadLine, u"= x"},
  };
  for (const Bad& b : bad) {
    const ParsedCustomActions p = ParseCustomActionsText(b.text);
    EXPECT_EQ(p.error, b.error) << ToUtf8(b.text);
    EXPECT_EQ(p.line, b.line) << ToUtf8(b.text);
  }

  // 24 actions are taken, 25 refused.
  std::u16string lines;
  for (int i = 1; i <= 24; ++i)
    lines += u"N" + U16(std::to_string(i)) + u"=cmd /c echo " + U16(std::to_string(i)) + u"\n";
  EXPECT_EQ(ParseCustomActionsText(lines).actions.size(), 24u);
  const ParsedCustomActions many = ParseCustomActionsText(lines + u"N25=x");
  EXPECT_EQ(many.error, CustomActionsError::kTooMany);
  EXPECT_TRUE(many.actions.empty());

  // A command line the settings file could not give back whole is refused, not cut.
  const std::u16string longest(kMaxCustomActionText, u'x');
  EXPECT_EQ(ParseCustomActionsText(u"L=" + longest).error, CustomActionsError::kNone);
  EXPECT_EQ(ParseCustomActionsText(u"L=" + longest + u"x").error, CustomActionsError::kTooLong);
}

TEST(UiCustomActions, CommandLineKeepsThePathExact) {
  const auto expand = [](std::u16string_view s) {
    std::u16string out(s);
    const size_t at = out.find(u"%WINDIR%");
    if (at != std::u16string::npos) out.replace(at, 8, u"C:\\windows");
    return out;
  };
  struct Case {
    std::u16string_view stored, path, line;
  };
  const Case cases[] = {
      {u"notepad.exe \"%1\"", u"C:\\My Files\\a b.txt", u"notepad.exe \"C:\\My Files\\a b.txt\""},
      {u"cmd /K cd /d \"%~dp1\"", u"C:\\docs\\x.txt", u"cmd /K cd /d \"C:\\docs\""},
      {u"cmd /K cd /d \"%~dp1\"", u"C:\\boot.ini", u"cmd /K cd /d \"C:\""},
      {u"%WINDIR%\\explorer.exe /select,\"%1\"", u"D:\\q\\r.txt",
       u"C:\\windows\\explorer.exe /select,\"D:\\q\\r.txt\""},
      // Brackets, shell characters and placeholder-like names inside the path stay as they are.
      {u"v.exe \"%1\"", u"C:\\a [1] & b^c\\100% !x! %1 %~dp1.txt", u"v.exe \"C:\\a [1] & b^c\\100% !x! %1 %~dp1.txt\""},
      {u"v.exe \"%1\" \"%~dp1\"", u"C:\\x %WINDIR%\\y", u"v.exe \"C:\\x %WINDIR%\\y\" \"C:\\x %WINDIR%\""},
      // The template's own brackets go.
      {u"v.exe [/opt] \"%1\"", u"C:\\[b].txt", u"v.exe /opt \"C:\\[b].txt\""},
      {u"calc.exe", u"", u"calc.exe"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CustomActionCommandLine(c.stored, expand, c.path), c.line) << ToUtf8(c.stored);
  }
  EXPECT_TRUE(NeedsSelection(u"x \"%1\""));
  EXPECT_FALSE(NeedsSelection(u"calc.exe"));
  EXPECT_EQ(FolderOfPath(u"\\\\srv\\share\\f"), u"\\\\srv\\share");
  EXPECT_EQ(FolderOfPath(u"f"), u"");
  EXPECT_EQ(CommandProgram(u"\"C:\\Program Files\\v.exe\" \"%1\""), u"C:\\Program Files\\v.exe");
  EXPECT_EQ(CommandProgram(u"  notepad.exe \"%1\""), u"notepad.exe");
}

}  // namespace
}  // namespace nusk
