// The keyboard-shortcut table: built-in defaults, the user's section laid over them, what
// saving writes, and the display text of a shortcut.
#include <gtest/gtest.h>

#include <ostream>

#include <string>

#include "settings/settings_file.h"
#include "tests/testing/test_env.h"
#include "l10n/builtin_ui.h"
#include "l10n/mui.h"
#include "ui/menu_help.h"
#include "ui/shortcuts.h"
#include "util/utf.h"

namespace nusk {
// Failure messages name a shortcut's fields.
inline void PrintTo(const Shortcut& s, std::ostream* os) {
  *os << "{" << s.command << "," << int(s.flags) << "," << s.key << "}";
}
}  // namespace nusk

namespace nusk {
namespace {

constexpr uint8_t V = kAccelVirtKey, C = kAccelCtrl, S = kAccelShift, A = kAccelAlt;
constexpr int kCopy = 40010, kOpen = 40001, kGoBack = 40031, kExport = 40003;

// A built-in table as a resource holds it: no-invert flags, a second shortcut for one command.
const std::vector<Shortcut> kBuiltin = {
    {kOpen, V | C | kAccelNoInvert, 'O'},
    {kCopy, V | C | kAccelNoInvert, 'C'},
    {kCopy, V | kAccelNoInvert, 0x2D},  // a second entry of Copy: dropped
    {kGoBack, V | A, vk::kLeft},
};

std::u16string Fake(uint16_t key, bool extended) {
  return u"<" + U16(std::to_string(key)) + (extended ? u"x" : u"") + u">";
}

std::string Ini(const std::string& shortcuts) { return "[KeyboardShortcuts]\r\n" + shortcuts; }

TEST(UiShortcuts, DefaultsTableHoldsEveryNamedCommandOnce) {
  // Spot checks of the defaults the editor and the resource table are compared against.
  struct Want {
    std::u16string_view name;
    uint8_t flags;
    uint16_t key;
  };
  const Want wants[] = {{u"File.OpenPath", V | C, vk::kReturn},   {u"File.MoreActions", V | S, vk::kApps},
                        {u"Edit.CopyName", V | C | S, 'C'},       {u"Edit.CopyFullName", V | C | S | A, 'C'},
                        {u"Edit.TextSize.Increase", V | C, 0xBB}, {u"Database.RebuildAll", V | S, 0x76},
                        {u"Search.NamedSearches", V | A, '2'},    {u"View.FolderTree", V | C, vk::kTab},
                        {u"Other.FocusTheSearchBox", V | A, 'D'}, {u"Help.About", 0, 0}};
  for (const Want& w : wants) {
    const NamedCommand* c = FindNamedCommand(w.name);
    ASSERT_NE(c, nullptr) << ToUtf8(w.name);
    EXPECT_EQ(c->flags, w.flags) << ToUtf8(w.name);
    EXPECT_EQ(c->key, w.key) << ToUtf8(w.name);
  }
  EXPECT_NE(FindNamedCommand(u"MoreActions.Action9"), nullptr);
  EXPECT_EQ(FindNamedCommand(u"MoreActions.Action10"), nullptr);
  // No two commands share a default shortcut, and no name appears twice.
  const auto all = NamedCommands();
  EXPECT_EQ(all.size(), 59u);
  for (size_t i = 0; i < all.size(); ++i) {
    for (size_t j = i + 1; j < all.size(); ++j) {
      EXPECT_NE(all[i].name, all[j].name);
      if (all[i].key) { EXPECT_FALSE(all[i].key == all[j].key && all[i].flags == all[j].flags) << ToUtf8(all[i].name); }
    }
  }
}

TEST(UiShortcuts, UserSectionLaidOverTheDefaults) {
  testing::TempDir dir;
  const std::vector<Shortcut> defaults = PrepareBuiltinShortcuts(kBuiltin);
  ASSERT_EQ(defaults, (std::vector<Shortcut>{{kOpen, V | C, 'O'}, {kCopy, V | C, 'C'}, {kGoBack, V | A, vk::kLeft}}));

  // No section and an empty one keep every default.
  EXPECT_EQ(ReadUserShortcuts(SettingsFile(dir.Sub(u"none.ini")), defaults), defaults);
  EXPECT_EQ(ReadUserShortcuts(SettingsFile(dir.WriteFile(u"empty.ini", Ini("Count=0\r\n"))), defaults), defaults);

  // Copy rebound to Ctrl+X; Export, without a default, gains Ctrl+S; broken items are skipped;
  // key 0 takes Go Back's shortcut away.
  const SettingsFile file(dir.WriteFile(
      u"user.ini", Ini("Count=7\r\nItem1=40010,9,88\r\nItem2=40003,9,83\r\nItem3=40001;9;80\r\nItem4=40001,9\r\n"
                       "Item5=40001,x,80\r\nItem6=40001,9,70000\r\nItem7=40031,0,0\r\n")));
  EXPECT_EQ(ReadUserShortcuts(file, defaults),
            (std::vector<Shortcut>{{kOpen, V | C, 'O'}, {kCopy, V | C, 'X'}, {kExport, V | C, 'S'}}));
}

TEST(UiShortcuts, SavingWritesOnlyTheChangedCommands) {
  testing::TempDir dir;
  const std::vector<Shortcut> defaults = PrepareBuiltinShortcuts(kBuiltin);
  // Nothing changed: Count 0, no items, and an old item is gone with the section.
  const SettingsFile file(dir.WriteFile(u"nusk.ini", Ini("Count=1\r\nItem1=40010,9,88\r\n")));
  ASSERT_TRUE(SaveUserShortcuts(file, defaults, defaults));
  EXPECT_EQ(file.ReadText(u"KeyboardShortcuts", u"Count"), u"0");
  EXPECT_FALSE(file.HasKey(u"KeyboardShortcuts", u"Item1"));

  // Copy changed, Export added, Go Back removed: three items that read back to the same table.
  const std::vector<Shortcut> changed = {{kOpen, V | C, 'O'}, {kCopy, V | C, 'X'}, {kExport, V | C, 'S'}};
  ASSERT_TRUE(SaveUserShortcuts(file, defaults, changed));
  EXPECT_EQ(file.ReadInteger(u"KeyboardShortcuts", u"Count"), 3);
  EXPECT_EQ(file.ReadText(u"KeyboardShortcuts", u"Item1"), u"40010,9,88");
  EXPECT_EQ(file.ReadText(u"KeyboardShortcuts", u"Item3"), u"40031,0,0");
  EXPECT_EQ(ReadUserShortcuts(file, defaults), changed);
}

TEST(UiShortcuts, EditorAssignsOneCombinationToOneCommand) {
  std::vector<Shortcut> table = {{kOpen, V | C, 'O'}, {kCopy, V | C, 'C'}};
  // Open takes Ctrl+C: Copy loses it and is named.
  EXPECT_EQ(AssignShortcut(&table, kOpen, V | C, 'C'), kCopy);
  EXPECT_EQ(table, (std::vector<Shortcut>{{kOpen, V | C, 'C'}}));
  // Ctrl+Shift+C is another combination: nobody loses anything.
  EXPECT_EQ(AssignShortcut(&table, kCopy, V | C | S, 'C'), 0);
  EXPECT_EQ(table, (std::vector<Shortcut>{{kOpen, V | C, 'C'}, {kCopy, V | C | S, 'C'}}));
  // Key 0 takes the shortcut away.
  EXPECT_EQ(AssignShortcut(&table, kOpen, 0, 0), 0);
  EXPECT_EQ(table, (std::vector<Shortcut>{{kCopy, V | C | S, 'C'}}));
  EXPECT_EQ(AccelFlagsFromHotkey(0x01 | 0x02), V | C | S);
  EXPECT_EQ(AccelFlagsFromHotkey(0x04), V | A);
}

TEST(UiShortcuts, DisplayTexts) {
  struct Case {
    uint8_t flags;
    uint16_t key;
    std::u16string_view text;
  };
  const Case cases[] = {
      {V | C | S, 'C', u"Ctrl + Shift + <67>"},
      {V | S | A | C, 'C', u"Ctrl + Shift + Alt + <67>"},  // always in this order
      {V | A, vk::kLeft, u"Alt + Left"},
      {V | A, vk::kUp, u"Alt + Up"},
      {V | C, vk::kRight, u"Ctrl + Right"},
      {V, vk::kDown, u"Down"},
      {V | S, vk::kApps, u"Shift + ContextMenu"},
      {V, vk::kF7, u"<118>"},
      {V | C, vk::kOemPlus, u"Ctrl + <187>"},  // no name of its own: the system's name
      {V, vk::kNext, u"<34x>"},                // Page Down: asked with the extended bit
      {V | C, vk::kDelete, u"Ctrl + <46x>"},
      {V, vk::kDivide, u"<111x>"},
      {V, vk::kNumLock, u"<144x>"},
      {V, 0x63, u"<99>"},      // numeric-pad 3 shares Page Down's scan code, without the bit
      {C, u'x', u"Ctrl + x"},  // a character accelerator shows its character
      {V | C, 0, u""},
  };
  for (const Case& c : cases) { EXPECT_EQ(ShortcutText(c.flags, c.key, Fake), c.text) << ToUtf8(c.text); }
}

TEST(UiShortcuts, SearchBoxKeepsItsEditingKeys) {
  struct Case {
    uint8_t mods;
    uint16_t key;
    bool kept;
  };
  const Case cases[] = {{C, 'C', true},           {C, 'X', true},         {C, 'V', true},       {C, 'A', true},
                        {C | S, vk::kLeft, true}, {S, vk::kInsert, true}, {0, vk::kHome, true}, {C | S, 'C', false},
                        {C, 'N', false},          {A, vk::kLeft, false},  {0, vk::kF7, false},  {C | A, 'C', false}};
  for (const Case& c : cases) EXPECT_EQ(SearchBoxKeepsKey(c.mods, c.key), c.kept) << int(c.mods) << "/" << c.key;
}

TEST(UiMenuHelp, EnglishTextsAndTheLanguageTable) {
  EXPECT_EQ(MenuHelpText(u"search.go_backword"), u"Go back to previous search.");
  EXPECT_EQ(MenuHelpText(u"edit.copy_full_name"), u"Copy selected items's full names");
  EXPECT_EQ(MenuHelpText(u"search.recent"), u"");  // a key without an English text
  auto de = std::make_unique<CDeUI>();
  de->Fill();
  InstallUI(std::move(de));
  EXPECT_EQ(MenuHelpText(u"file.close"), u"Fenster schlie\u00dfen");
  InstallUI(nullptr);
}

}  // namespace
}  // namespace nusk
