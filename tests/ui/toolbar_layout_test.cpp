// The toolbar's button table and its saved form (`ToolbarState`, `CustomCommandNames`).
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <set>
#include <string>

#include "l10n/ui_keys.h"
#include "ui/shortcuts.h"
#include "ui/toolbar_layout.h"
#include "util/utf.h"

namespace nusk {
inline void PrintTo(const ToolbarSlot& s, std::ostream* os) {
  *os << "{" << int(s.kind) << "," << s.code << "," << ToUtf8(s.action) << "}";
}
namespace {

using S = ToolbarSlot;
using Slots = std::vector<ToolbarSlot>;

TEST(UiToolbarLayout, TableHasUniqueCodesAndTheDefaultsComeFromIt) {
  std::set<int> codes;
  for (const ToolbarButtonDef& b : ToolbarButtons()) {
    EXPECT_TRUE(codes.insert(b.code).second) << b.code;
    EXPECT_EQ(FindToolbarButton(b.command), &b);
    EXPECT_FALSE(b.english.empty());
  }
  int nav = 0;
  for (const ToolbarSlot& s : DefaultToolbarSlots()) {
    if (s.kind != S::Kind::kButton) continue;
    ASSERT_NE(FindToolbarButton(s.code), nullptr) << s.code;
    nav += FindToolbarButton(s.code)->nav;
  }
  EXPECT_EQ(nav, 3);  // back, forward and up
  // Build, Clean All and Clean are offered, not placed.
  const Slots defaults = DefaultToolbarSlots();
  for (std::u16string_view command : {u"Database.Build", u"Database.CleanAll", u"Database.Clean"}) {
    ASSERT_NE(FindToolbarButton(command), nullptr) << ToUtf8(command);
    EXPECT_EQ(std::count(defaults.begin(), defaults.end(), S::Button(FindToolbarButton(command)->code)), 0);
  }
  EXPECT_EQ(FindToolbarButton(999), nullptr);
  // Every text key is one the language tables hold.
  for (const ToolbarButtonDef& b : ToolbarButtons()) {
    const auto keys = b.menu_key ? MenuCommandKeys() : ToolbarKeys();
    EXPECT_TRUE(std::find(keys.begin(), keys.end(), b.text_key) != keys.end()) << ToUtf8(b.text_key);
  }
}

TEST(UiToolbarLayout, SavedFormRoundTrips) {
  const Slots cases[] = {
      DefaultToolbarSlots(),
      {},
      {S::Button(30), S::Action(u"Open, then close"), S::Separator(), S::Action(u"Notepad"), S::Button(31)},
      {S::Button(76), S::Button(67), S::Button(77)},  // Build, Clean All, Clean
  };
  for (const Slots& slots : cases) {
    const SavedToolbar saved = EncodeToolbar(slots);
    EXPECT_EQ(DecodeToolbar(saved.state, saved.custom_names, true), slots) << ToUtf8(saved.state);
  }
  const SavedToolbar saved = EncodeToolbar(cases[2]);
  EXPECT_EQ(saved.state, u"30,c,-,c,31");
  EXPECT_EQ(saved.custom_names, u"Open\x1b then close,Notepad");  // the comma as code 27
}

TEST(UiToolbarLayout, DecodingDropsWhatCannotBeShown) {
  struct Case {
    std::u16string_view state, names;
    Slots want;
  };
  const Case cases[] = {
      // Unknown codes and repeats go; separators collapse and do not end the bar.
      {u"30, 999,30,-,-,x,31,-", u"", {S::Button(30), S::Separator(), S::Button(31)}},
      {u"-,30", u"", {S::Button(30)}},
      // A custom slot without a name left goes; a repeated action goes.
      {u"c,c,c,1", u"A,A", {S::Action(u"A"), S::Button(1)}},
      {u"c",
       u"\x1b"
       u"x\x1b,,B",
       {S::Action(u",x,")}},
  };
  for (const Case& c : cases) EXPECT_EQ(DecodeToolbar(c.state, c.names, true), c.want) << ToUtf8(c.state);
  // Absent or unusable: the default bar.
  EXPECT_EQ(DecodeToolbar(u"", u"", false), std::nullopt);
  EXPECT_EQ(DecodeToolbar(u"abc,999", u"", true), std::nullopt);
  EXPECT_EQ(DecodeToolbar(u" ", u"", true), Slots{});
}

TEST(UiToolbarLayout, SavedTextsFitTheReader) {
  Slots many;
  for (int i = 0; i < 30; ++i)
    many.push_back(S::Action(std::u16string(20, char16_t(u'a' + i % 26)) + U16(std::to_string(i))));
  for (const ToolbarButtonDef& b : ToolbarButtons()) many.push_back(S::Button(b.code));
  const SavedToolbar saved = EncodeToolbar(many);
  EXPECT_LE(saved.state.size(), 254u);
  EXPECT_LE(saved.custom_names.size(), 254u);
  const std::optional<Slots> back = DecodeToolbar(saved.state, saved.custom_names, true);
  ASSERT_TRUE(back);
  // What fitted reads back in order: every table button (short) and the first actions.
  EXPECT_EQ(back->size(), ParseCustomCommandNames(saved.custom_names).size() + ToolbarButtons().size());
  EXPECT_EQ((*back)[0], many[0]);
}

TEST(UiToolbarLayout, CustomCommandNamesAndMenuTexts) {
  EXPECT_EQ(ParseCustomCommandNames(u""), std::vector<std::u16string>{});
  EXPECT_EQ(ParseCustomCommandNames(u"a\x1b"
                                    u"b,,c"),
            (std::vector<std::u16string>{u"a,b", u"c"}));
  const std::vector<std::u16string> names = {u"x,y", u"", u"z"};
  EXPECT_EQ(JoinCustomCommandNames(names), u"x\x1by,z");
  struct Case {
    std::u16string_view menu, want;
  };
  const Case cases[] = {
      {u"Go &Back\tAlt+Left", u"Go Back"},
      {u"\u623b\u308b(&B)\tAlt+\u2190", u"\u623b\u308b"},
      {u"&Options...", u"Options"},
      {u"Save && &Quit", u"Save & Quit"},
  };
  for (const Case& c : cases) EXPECT_EQ(ToolbarTextFromMenuText(c.menu), c.want);
}

}  // namespace
}  // namespace nusk
