// Completion in the search box: after "@" the named-search names, after "/" the query
// option keywords.
#pragma once
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace nusk {

// The word being completed: the trigger and the text between it and the caret.
struct CompletionWord {
  char16_t trigger = 0;  // '@' or '/'
  size_t start = 0;      // index just after the trigger
  size_t end = 0;        // the caret
  std::u16string word;   // text[start, end)
};

// The word before the caret when the caret sits in a word that begins with "@" or "/"
// (the trigger at the start of the text or after a space, '<', '>' or '|'); nullopt
// otherwise. The word contains no space.
std::optional<CompletionWord> WordBeforeCaret(std::u16string_view text, size_t caret);

// The option keywords offered after "/": size, date, f, d, dup, hash, hidden, online,
// offline, sort.
std::span<const std::u16string_view> OptionKeywords();

// The candidates the popup shows for a word: those beginning with the word, compared
// without regard to case, in their order. Empty means the popup closes: no candidate
// left, or exactly one left that equals the word.
std::vector<std::u16string> CompletionCandidates(std::span<const std::u16string> all, std::u16string_view word);
std::vector<std::u16string> CompletionCandidates(std::span<const std::u16string_view> all, std::u16string_view word);

struct CompletedText {
  std::u16string text;
  size_t caret = 0;
};
// Replaces the word after the trigger with the chosen candidate; the caret follows it.
CompletedText ApplyCompletion(std::u16string_view text, const CompletionWord& word, std::u16string_view candidate);

}  // namespace nusk
