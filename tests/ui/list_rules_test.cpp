// Sorting by columns, the navigation history, opening many items, zoom and the keyboard
// rules of the main window.
#include <gtest/gtest.h>

#include "ui/column_sort.h"
#include "ui/columns.h"
#include "ui/keyboard_rules.h"
#include "ui/list_rows.h"
#include "ui/nav_history.h"
#include "ui/open_batch.h"
#include "ui/zoom.h"

namespace nusk {
namespace {

SortKey Key(uint32_t id, bool up) { return SortKey{0xFFFFFFFF, up ? 1u : 0u, id}; }

TEST(UiColumnSort, WithoutAddFlag) {
  // A new column starts in its initial direction: name ascending, size descending.
  EXPECT_EQ(SortByColumn({}, kColName, false), (SortKeys{Key(kSortName, true)}));
  EXPECT_EQ(SortByColumn({Key(kSortName, true)}, kColSize, false), (SortKeys{Key(kSortSize, false)}));
  // The only key flips.
  EXPECT_EQ(SortByColumn({Key(kSortSize, false)}, kColSize, false), (SortKeys{Key(kSortSize, true)}));
  // Several keys are replaced by the column alone, even when it is among them.
  EXPECT_EQ(SortByColumn({Key(kSortDate, true), Key(kSortName, true)}, kColDate, false),
            (SortKeys{Key(kSortDate, false)}));
}

TEST(UiColumnSort, WithAddFlag) {
  const SortKeys keys = {Key(kSortSize, false), Key(kSortName, true)};
  // A key already there flips and moves to the end.
  EXPECT_EQ(SortByColumn(keys, kColSize, true), (SortKeys{Key(kSortName, true), Key(kSortSize, true)}));
  EXPECT_EQ(SortByColumn(keys, kColName, true), (SortKeys{Key(kSortSize, false), Key(kSortName, false)}));
  // A new one is appended in its initial direction.
  EXPECT_EQ(SortByColumn(keys, kColExtension, true),
            (SortKeys{Key(kSortSize, false), Key(kSortName, true), Key(kSortExt, true)}));
  EXPECT_EQ(SortByColumn({}, kColDupCount, true), (SortKeys{Key(kSortDupCount, false)}));
}

TEST(UiColumnSort, UnsortableColumnsChangeNothing) {
  for (int c : std::initializer_list<int>{kColType, kColCreated, kColAttributes, kColRowNumber, -1, 12}) {
    EXPECT_FALSE(SortByColumn({Key(kSortName, true)}, c, false).has_value()) << c;
    EXPECT_FALSE(SortByColumn({Key(kSortName, true)}, c, true).has_value()) << c;
  }
  // Every sortable column maps to a key id and back.
  for (int c = 0; c < kColumnCount; ++c) {
    if (Column(c).initial_direction == 0) continue;
    EXPECT_EQ(ColumnOfSortKey(SortKeyOfColumn(c)), c);
  }
  EXPECT_EQ(ColumnOfSortKey(0), -1);
}

TEST(UiColumnSort, ArrowsAndQueryClause) {
  const SortKeys keys = {Key(kSortSize, false), Key(kSortName, true)};
  EXPECT_EQ(SortArrow(keys, kColSize), -1);
  EXPECT_EQ(SortArrow(keys, kColName), 1);
  EXPECT_EQ(SortArrow(keys, kColPath), 0);
  EXPECT_EQ(SortArrow(keys, kColType), 0);
  EXPECT_FALSE(OffersSortInQuery({Key(kSortName, true)}));
  EXPECT_FALSE(OffersSortInQuery({}));
  EXPECT_TRUE(OffersSortInQuery({Key(kSortName, false)}));
  EXPECT_TRUE(OffersSortInQuery(keys));
  EXPECT_EQ(SortClauseForQuery(u"abc", keys), u"abc /sort:size-name+");
  EXPECT_EQ(SortClauseForQuery(u"", keys), u"/sort:size-name+");
  EXPECT_EQ(SortClauseForQuery(u"abc /sort:date *.txt", keys), u"abc /sort:size-name+ *.txt");
  EXPECT_EQ(SortClauseForQuery(u"/SORT:date", keys), u"/sort:size-name+");
  // A "/sort" inside a word is not the clause.
  EXPECT_EQ(SortClauseForQuery(u"a/sort", keys), u"a/sort /sort:size-name+");
}

NavEntry Entry(std::u16string text, int row = -1) {
  NavEntry e;
  e.text = std::move(text);
  e.focused_row = row;
  return e;
}

TEST(UiNavHistory, BackAndForwardRestoreEntries) {
  NavHistory h;
  EXPECT_FALSE(h.CanBack());
  EXPECT_FALSE(h.Back(Entry(u"x")).has_value());
  h.Record(Entry(u"a"));
  h.Record(Entry(u"b"));
  NavEntry c = Entry(u"c");
  c.keys = {Key(kSortSize, false)};
  h.Record(c);
  EXPECT_TRUE(h.CanBack());
  EXPECT_FALSE(h.CanForward());
  // Going back stores the current positions in the entry being left.
  NavEntry at_c = c;
  at_c.focused_row = 7;
  at_c.scroll_pos = 3;
  EXPECT_EQ(h.Back(at_c)->text, u"b");
  EXPECT_EQ(h.Back(Entry(u"b"))->text, u"a");
  EXPECT_FALSE(h.CanBack());
  EXPECT_EQ(h.Forward(Entry(u"a"))->text, u"b");
  const NavEntry back_at_c = *h.Forward(Entry(u"b"));
  EXPECT_EQ(back_at_c, at_c);
  EXPECT_FALSE(h.CanForward());
}

TEST(UiNavHistory, NewTextDropsLaterEntries) {
  NavHistory h;
  h.Record(Entry(u"a"));
  h.Record(Entry(u"b"));
  h.Record(Entry(u"c"));
  h.Back(Entry(u"c"));
  h.Back(Entry(u"b"));
  // Searching for a new text from "a" drops "b" and "c".
  h.Record(Entry(u"d"));
  EXPECT_EQ(h.size(), 2u);
  EXPECT_FALSE(h.CanForward());
  EXPECT_EQ(h.Back(Entry(u"d"))->text, u"a");
  // The same text only updates the entry.
  h.Record(Entry(u"a", 4));
  EXPECT_EQ(h.size(), 2u);
  EXPECT_EQ(h.Forward(Entry(u"a", 5))->text, u"d");
  EXPECT_EQ(h.Back(Entry(u"d"))->focused_row, 5);
  // Going back from a typed but not yet searched text keeps it reachable forward.
  NavHistory g;
  g.Record(Entry(u"a"));
  g.Record(Entry(u"b"));
  EXPECT_EQ(g.Back(Entry(u"bx"))->text, u"b");
  EXPECT_EQ(g.Forward(Entry(u"b"))->text, u"bx");
}

TEST(UiNavHistory, GoUpFolder) {
  EXPECT_EQ(GoUpFolder(u"C:\\a\\b\\"), u"C:\\a\\");
  EXPECT_EQ(GoUpFolder(u"C:\\a\\b"), u"C:\\a\\");
  EXPECT_EQ(GoUpFolder(u"C:\\a"), u"C:\\");
  EXPECT_EQ(GoUpFolder(u"C:\\"), u"");
  EXPECT_EQ(GoUpFolder(u""), u"");
}

TEST(UiOpenBatch, AsksEveryTenItems) {
  // Open 25 items, answering Yes: asked before the 11th and the 21st.
  std::vector<size_t> asked_before;
  for (size_t opened = 0; opened < 25; ++opened) {
    if (AskBeforeOpening(opened)) asked_before.push_back(opened + 1);
  }
  EXPECT_EQ(asked_before, (std::vector<size_t>{11, 21}));
  EXPECT_FALSE(AskBeforeOpening(0));
  EXPECT_FALSE(AskBeforeOpening(9));
  EXPECT_TRUE(AskBeforeOpening(10));
  EXPECT_EQ(ContinueOpeningQuestion(10, false), u"You have opened 10 files, do you want to continue?");
  EXPECT_EQ(ContinueOpeningQuestion(20, true), u"You have opened 20 windows, do you want to continue?");
  EXPECT_EQ(SelectInFolderParameters(u"C:\\a b\\c.txt"), u"/select,\"C:\\a b\\c.txt\"");
  const std::vector<std::u16string> lines = {u"a", u"b", u"c"};
  EXPECT_EQ(ClipboardLines(lines), u"a\r\nb\r\nc");
  EXPECT_EQ(ClipboardLines({}), u"");
}

TEST(UiZoom, StepsStayInRange) {
  EXPECT_EQ(ClampZoom(0), 100);
  EXPECT_EQ(ClampZoom(5), 10);
  EXPECT_EQ(ClampZoom(5000), 1400);
  EXPECT_EQ(ZoomIn(100), 125);
  EXPECT_EQ(ZoomOut(100), 90);
  EXPECT_EQ(ZoomIn(90), 100);
  EXPECT_EQ(ZoomOut(125), 100);
  EXPECT_EQ(ZoomOut(10), 10);
  EXPECT_EQ(ZoomIn(1400), 1400);
  EXPECT_EQ(ZoomIn(1350), 1400);
  // Zooming in and out returns to where it started.
  for (int p = 10; p <= 1400; p = ZoomIn(p)) {
    if (p == 1400) break;
    EXPECT_EQ(ZoomOut(ZoomIn(p)), p) << p;
  }
  EXPECT_EQ(ZoomedSize(16, 150), 24);
  EXPECT_EQ(ZoomedSize(16, 10), 1);
}

KeyDecision Press(UiKey k, KeyContext c, bool ctrl = false, int digit = 0) {
  return DecideKey(KeyPress{k, digit, ctrl}, c);
}

TEST(UiKeyboardRules, EscapeWithAndWithoutCloseByEsc) {
  KeyContext c;
  c.close_by_esc = true;
  c.focus = UiFocus::kSearchBox;
  EXPECT_EQ(Press(UiKey::kEscape, c).action, KeyAction::kCloseWindow);
  c.focus = UiFocus::kResultList;
  EXPECT_EQ(Press(UiKey::kEscape, c).action, KeyAction::kCloseWindow);
  c.box_has_text = true;
  EXPECT_EQ(Press(UiKey::kEscape, c).action, KeyAction::kClearAndFocusBox);
  c.close_by_esc = false;
  EXPECT_EQ(Press(UiKey::kEscape, c).action, KeyAction::kFocusSearchBox);
  c.focus = UiFocus::kSearchBox;
  EXPECT_EQ(Press(UiKey::kEscape, c).action, KeyAction::kClearAndFocusBox);
  c.box_has_text = false;
  EXPECT_EQ(Press(UiKey::kEscape, c).action, KeyAction::kClearAndFocusBox);
  // An open drop-down, popup or balloon takes the key first, even with CloseByEsc.
  c.close_by_esc = true;
  for (bool KeyContext::*open :
       {&KeyContext::box_dropdown_open, &KeyContext::completion_open, &KeyContext::balloon_shown}) {
    KeyContext d = c;
    d.*open = true;
    EXPECT_EQ(Press(UiKey::kEscape, d).action, KeyAction::kPass);
  }
}

TEST(UiKeyboardRules, FocusMovesAndEnter) {
  KeyContext c;
  c.focus = UiFocus::kSearchBox;
  EXPECT_EQ(Press(UiKey::kTab, c).action, KeyAction::kFocusResultList);
  EXPECT_EQ(Press(UiKey::kDown, c).action, KeyAction::kFocusResultList);
  EXPECT_EQ(Press(UiKey::kEnter, c).action, KeyAction::kFocusResultList);
  c.search_button = true;
  EXPECT_EQ(Press(UiKey::kEnter, c).action, KeyAction::kFocusResultList);
  c.box_text_changed = true;
  EXPECT_EQ(Press(UiKey::kEnter, c).action, KeyAction::kRunSearch);
  c.completion_open = true;
  EXPECT_EQ(Press(UiKey::kEnter, c).action, KeyAction::kPass);
  EXPECT_EQ(Press(UiKey::kTab, c).action, KeyAction::kPass);
  EXPECT_EQ(Press(UiKey::kDown, c).action, KeyAction::kPass);

  KeyContext l;
  l.focus = UiFocus::kResultList;
  EXPECT_EQ(Press(UiKey::kTab, l).action, KeyAction::kFocusSearchBox);
  EXPECT_EQ(Press(UiKey::kUp, l).action, KeyAction::kPass);
  l.list_on_first_row = true;
  EXPECT_EQ(Press(UiKey::kUp, l).action, KeyAction::kFocusSearchBox);
  EXPECT_EQ(Press(UiKey::kDown, l).action, KeyAction::kPass);
  EXPECT_EQ(Press(UiKey::kEnter, l).action, KeyAction::kOpenSelection);
  l.tree_shown = true;
  EXPECT_EQ(Press(UiKey::kEnter, l).action, KeyAction::kOpenSelection);
  l.focused_row_is_folder = true;
  EXPECT_EQ(Press(UiKey::kEnter, l).action, KeyAction::kShowFolderInTree);
  EXPECT_EQ(Press(UiKey::kMouseBack, l).action, KeyAction::kGoBack);
  EXPECT_EQ(Press(UiKey::kMouseForward, l).action, KeyAction::kGoForward);
}

TEST(UiKeyboardRules, CtrlKeys) {
  KeyContext c;
  c.focus = UiFocus::kSearchBox;
  EXPECT_EQ(Press(UiKey::kA, c, true).action, KeyAction::kPass);  // empty box
  c.box_has_text = true;
  EXPECT_EQ(Press(UiKey::kA, c, true).action, KeyAction::kSelectAllText);
  EXPECT_EQ(Press(UiKey::kA, c, false).action, KeyAction::kPass);
  c.column_count = 4;
  EXPECT_EQ(Press(UiKey::kDigit, c, true, 1), (KeyDecision{KeyAction::kSortByColumn, 0}));
  EXPECT_EQ(Press(UiKey::kDigit, c, true, 4), (KeyDecision{KeyAction::kSortByColumn, 3}));
  EXPECT_EQ(Press(UiKey::kDigit, c, true, 5).action, KeyAction::kPass);
  EXPECT_EQ(Press(UiKey::kDigit, c, false, 1).action, KeyAction::kPass);
}

}  // namespace
}  // namespace nusk

namespace nusk {
namespace {

TEST(UiListRows, HideKeepsOrderAndSurvivesResort) {
  HiddenRows hidden;
  const std::vector<uint32_t> shown = {40, 10, 30, 20};
  const std::vector<uint32_t> rows = {1, 3, 99};
  hidden.Hide(shown, rows);
  EXPECT_EQ(hidden.count(), 2u);
  EXPECT_EQ(hidden.Filter(shown), (std::vector<uint32_t>{40, 30}));
  // The same items stay hidden after the result is sorted again.
  EXPECT_EQ(hidden.Filter(std::vector<uint32_t>{10, 20, 30, 40}), (std::vector<uint32_t>{30, 40}));
  hidden.Clear();
  EXPECT_EQ(hidden.Filter(shown), shown);
}

TEST(UiListRows, GotoRowNumber) {
  EXPECT_EQ(GotoRowIndex(u"1", 10), 0u);
  EXPECT_EQ(GotoRowIndex(u" 10 ", 10), 9u);
  EXPECT_EQ(GotoRowIndex(u"11", 10), 9u);
  EXPECT_EQ(GotoRowIndex(u"99999999999999999999999", 10), 9u);
  EXPECT_FALSE(GotoRowIndex(u"0", 10).has_value());
  EXPECT_FALSE(GotoRowIndex(u"-3", 10).has_value());
  EXPECT_FALSE(GotoRowIndex(u"3a", 10).has_value());
  EXPECT_FALSE(GotoRowIndex(u"", 10).has_value());
  EXPECT_FALSE(GotoRowIndex(u"1", 0).has_value());
}

}  // namespace
}  // namespace nusk
