// The search box: completion, its own undo history, the context menu and the text the
// window starts with.
#include <gtest/gtest.h>

#include "ui/box_menu.h"
#include "ui/completion.h"
#include "ui/edit_history.h"
#include "ui/launch_text.h"

namespace nusk {
namespace {

std::vector<std::u16string> Options(std::u16string_view typed) {
  auto w = WordBeforeCaret(typed, typed.size());
  if (!w) return {{u"<no word>"}};
  return CompletionCandidates(OptionKeywords(), w->word);
}

TEST(UiCompletion, OptionKeywordsFilterAndClose) {
  EXPECT_EQ(Options(u"/si"), (std::vector<std::u16string>{u"size"}));
  EXPECT_EQ(Options(u"/size"), (std::vector<std::u16string>{}));  // one left, equal: closes
  EXPECT_EQ(Options(u"/SIZE"), (std::vector<std::u16string>{}));
  EXPECT_EQ(Options(u"/h"), (std::vector<std::u16string>{u"hash", u"hidden"}));
  EXPECT_EQ(Options(u"/d"), (std::vector<std::u16string>{u"date", u"d", u"dup"}));
  EXPECT_EQ(Options(u"abc /o"), (std::vector<std::u16string>{u"online", u"offline"}));
  EXPECT_EQ(Options(u"/x"), (std::vector<std::u16string>{}));
  EXPECT_EQ(Options(u"/").size(), 10u);
  // "d" equals one candidate but others remain: the popup stays.
  EXPECT_EQ(Options(u"/D").size(), 3u);
}

TEST(UiCompletion, NamedSearches) {
  const std::vector<std::u16string> none;
  auto w = WordBeforeCaret(u"@", 1);
  ASSERT_TRUE(w.has_value());
  EXPECT_EQ(w->trigger, u'@');
  EXPECT_TRUE(CompletionCandidates(none, w->word).empty());
  // Names keep their case; the typed word matches them without regard to case.
  const std::vector<std::u16string> names = {u"Music", u"Movies", u"docs"};
  EXPECT_EQ(CompletionCandidates(names, u"M"), (std::vector<std::u16string>{u"Music", u"Movies"}));
  EXPECT_EQ(CompletionCandidates(names, u"mu"), (std::vector<std::u16string>{u"Music"}));
  EXPECT_EQ(CompletionCandidates(names, u"music"), (std::vector<std::u16string>{}));
}

TEST(UiCompletion, WordBeforeCaret) {
  EXPECT_FALSE(WordBeforeCaret(u"abc", 3).has_value());
  EXPECT_FALSE(WordBeforeCaret(u"/si ze", 6).has_value());  // a space ends the word
  EXPECT_FALSE(WordBeforeCaret(u"a/si", 4).has_value());    // "/" inside a word
  EXPECT_FALSE(WordBeforeCaret(u"/si", 9).has_value());
  auto w = WordBeforeCaret(u"x <@mu|y", 6);
  ASSERT_TRUE(w.has_value());
  EXPECT_EQ(w->word, u"mu");
  EXPECT_EQ(w->start, 4u);
  // The caret in the middle: only the part before it counts.
  w = WordBeforeCaret(u"abc /sizz def", 7);
  ASSERT_TRUE(w.has_value());
  EXPECT_EQ(w->word, u"si");
  CompletedText done = ApplyCompletion(u"abc /sizz def", *w, u"size");
  EXPECT_EQ(done.text, u"abc /sizezz def");
  EXPECT_EQ(done.caret, 9u);
  w = WordBeforeCaret(u"@mu", 3);
  done = ApplyCompletion(u"@mu", *w, u"Music");
  EXPECT_EQ(done.text, u"@Music");
  EXPECT_EQ(done.caret, 6u);
}

EditState S(std::u16string t) { return EditState{t, t.size()}; }

TEST(UiEditHistory, GroupsTypingIntoWords) {
  EditHistory h;
  h.Reset(S(u""));
  EXPECT_FALSE(h.CanUndo());
  for (auto t : {u"a", u"ab", u"abc", u"abc ", u"abc d", u"abc de"}) h.Record(S(t), EditKind::kTyping);
  EXPECT_EQ(h.Undo()->text, u"abc ");
  EXPECT_EQ(h.Undo()->text, u"");
  EXPECT_FALSE(h.Undo().has_value());
  EXPECT_EQ(h.Redo()->text, u"abc ");
  EXPECT_EQ(h.Redo()->text, u"abc de");
  EXPECT_FALSE(h.CanRedo());
}

TEST(UiEditHistory, KindsCaretAndRedoRules) {
  EditHistory h;
  h.Reset(S(u"hello"));
  h.Record(S(u"hell"), EditKind::kDeleting);
  h.Record(S(u"hel"), EditKind::kDeleting);
  h.Record(S(u"help"), EditKind::kTyping);  // a change of kind starts a step
  EXPECT_EQ(h.Undo()->text, u"hel");
  EXPECT_EQ(h.Undo()->text, u"hello");
  // A new edit after undo drops the redo states.
  h.Record(S(u"hello!"), EditKind::kOther);
  EXPECT_FALSE(h.CanRedo());
  // Pastes never merge; typing elsewhere in the text starts a new step.
  h.Record(S(u"hello!xy"), EditKind::kOther);
  h.Record(EditState{u"Ahello!xy", 1}, EditKind::kTyping);
  h.Record(EditState{u"ABhello!xy", 2}, EditKind::kTyping);
  h.Record(EditState{u"ABhello!xyZ", 11}, EditKind::kTyping);
  EXPECT_EQ(h.Undo()->text, u"ABhello!xy");
  EXPECT_EQ(h.Undo()->text, u"hello!xy");
  EXPECT_EQ(h.Undo()->text, u"hello!");
  // Recording the current state changes nothing.
  h.Record(S(u"hello!"), EditKind::kOther);
  EXPECT_TRUE(h.CanRedo());
}

TEST(UiEditHistory, KeepsAtMostLimitSteps) {
  EditHistory h(3);
  h.Reset(S(u""));
  for (auto t : {u"1", u"12", u"123", u"1234", u"12345"}) h.Record(S(t), EditKind::kOther);
  int undone = 0;
  while (h.Undo()) ++undone;
  EXPECT_EQ(undone, 3);
}

TEST(UiSearchBoxMenu, GreyingRules) {
  EXPECT_EQ(SearchBoxMenu(0, 0, 0, false, false), (BoxMenuState{}));
  BoxMenuState s = SearchBoxMenu(5, 1, 3, true, true);
  EXPECT_TRUE(s.undo && s.cut && s.copy && s.paste && s.del && s.select_all);
  s = SearchBoxMenu(5, 5, 0, false, false);  // all selected, backwards
  EXPECT_TRUE(s.cut);
  EXPECT_FALSE(s.select_all);
  s = SearchBoxMenu(5, 2, 2, false, true);
  EXPECT_FALSE(s.copy);
  EXPECT_TRUE(s.select_all);
}

TEST(UiLaunchText, JoinQuoteAndHandOver) {
  const std::vector<std::u16string> args = {u"C:\\My Files", u"\"x y\"", u"*.txt"};
  EXPECT_EQ(JoinSearchArguments(args), u"\"C:\\My Files\" \"x y\" *.txt");
  EXPECT_EQ(JoinSearchArguments({}), u"");
  const std::u16string joined = JoinSearchArguments(args);
  const std::u16string handed = ToHandOverText(joined);
  EXPECT_EQ(handed.find(u'"'), std::u16string::npos);
  EXPECT_EQ(FromHandOverText(handed), joined);
}

TEST(UiLaunchText, SpaceAfterAnExistingPath) {
  std::u16string asked;
  auto exists = [&](std::u16string_view p) {
    asked = p;
    return p == u"C:\\My Files";
  };
  EXPECT_EQ(WithSpaceForExistingPath(u"\"C:\\My Files\"", exists), u"\"C:\\My Files\" ");
  EXPECT_EQ(asked, u"C:\\My Files");
  EXPECT_EQ(WithSpaceForExistingPath(u"C:\\Other", exists), u"C:\\Other");
  asked = u"untouched";
  EXPECT_EQ(WithSpaceForExistingPath(u"", exists), u"");
  EXPECT_EQ(asked, u"untouched");
}

}  // namespace
}  // namespace nusk
