// The checks behind the text-editing configuration dialogs: what is refused, why, and that
// a refused text writes nothing.
#include <gtest/gtest.h>

#include <string>

#include "platform/profile.h"
#include "search/named_searches.h"
#include "settings/settings_file.h"
#include "tests/testing/test_env.h"
#include "ui/custom_actions.h"
#include "ui/text_config.h"

namespace nusk {
namespace {

TEST(UiTextConfig, CustomActionsTakenWholeOrRefusedWithTheReason) {
  testing::TempDir dir;
  const SettingsFile file(dir.Sub(u"nusk.ini"));
  const std::vector<CustomAction> before = {{u"Keep", u"keep.exe"}};
  ASSERT_TRUE(WriteCustomActions(file, before));
  std::u16string many;
  for (int i = 0; i < 25; ++i) many += u"a=b\r\n";
  const std::u16string too_long = u"L=" + std::u16string(kMaxCustomActionText + 1, u'x');
  struct Case {
    std::u16string text;
    TextConfigVerdict want;
  } cases[] = {
      {u"Good=x.exe\r\n=notepad.exe\r\n", {false, u"=notepad.exe", u"Invalid custom action config"}},
      {too_long,
       {false, too_long + u"\n\nA name or command line can hold at most 252 characters.",
        u"Invalid custom action config"}},
      {many, {false, u"Custom actions is limited to 24 items", u"Invalid config"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ApplyCustomActionsText(file, c.text), c.want);
    EXPECT_EQ(ReadCustomActions(file), before);  // nothing written
  }
  EXPECT_EQ(ApplyCustomActionsText(file, u" A = a.exe \r\n\r\nB=b.exe"), TextConfigVerdict{});
  EXPECT_EQ(ReadCustomActions(file), (std::vector<CustomAction>{{u"A", u"a.exe"}, {u"B", u"b.exe"}}));
  // A file that cannot be written: refused, naming the file.
  const SettingsFile unwritable(u"");
  const TextConfigVerdict failed = ApplyCustomActionsText(unwritable, u"A=a.exe");
  EXPECT_FALSE(failed.accepted);
  EXPECT_NE(failed.message.find(u"could not be saved"), std::u16string::npos);
}

TEST(UiTextConfig, NamedSearchesRefuseABadLineAndKeepTheList) {
  testing::TempDir dir;
  NamedSearches named(Profile::Default(), dir.Sub(u"nusk.ini"));
  ASSERT_EQ(ApplyNamedSearchesText(&named, u"Foo=*.foo\r\n"), TextConfigVerdict{});
  EXPECT_EQ(ApplyNamedSearchesText(&named, u"ok=1\r\n=x"),
            (TextConfigVerdict{false, u"=x", u"Invalid named search config"}));
  EXPECT_EQ(named.List(), std::vector<std::u16string>{u"Foo"});
  EXPECT_EQ(named.Lookup(u"foo"), u"*.foo");
}

}  // namespace
}  // namespace nusk
