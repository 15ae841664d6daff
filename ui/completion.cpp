#include "ui/completion.h"

#include "util/casemap.h"

namespace nusk {

namespace {

constexpr std::u16string_view kOptionKeywords[] = {u"size", u"date",   u"f",      u"d",       u"dup",
                                                   u"hash", u"hidden", u"online", u"offline", u"sort"};

// Characters before which a trigger starts a word.
bool StartsWord(char16_t c) { return c == u' ' || c == u'<' || c == u'>' || c == u'|'; }

template <typename S>
std::vector<std::u16string> Filter(std::span<const S> all, std::u16string_view word) {
  const std::u16string lower = ToLower(word);
  std::vector<std::u16string> kept;
  for (const S& c : all) {
    std::u16string_view cand(c);
    // Named searches keep their own case ("Music"): compare both sides lowered.
    if (cand.size() >= lower.size() && ToLower(cand.substr(0, lower.size())) == lower) kept.emplace_back(cand);
  }
  if (kept.size() == 1 && EqualsNoCase(kept[0], word)) kept.clear();
  return kept;
}

}  // namespace

std::optional<CompletionWord> WordBeforeCaret(std::u16string_view text, size_t caret) {
  if (caret > text.size()) return std::nullopt;
  for (size_t i = caret; i-- > 0;) {
    const char16_t c = text[i];
    if (c == u' ') return std::nullopt;
    if ((c == u'@' || c == u'/') && (i == 0 || StartsWord(text[i - 1]))) {
      return CompletionWord{c, i + 1, caret, std::u16string(text.substr(i + 1, caret - i - 1))};
    }
  }
  return std::nullopt;
}

std::span<const std::u16string_view> OptionKeywords() { return kOptionKeywords; }

std::vector<std::u16string> CompletionCandidates(std::span<const std::u16string> all, std::u16string_view word) {
  return Filter(all, word);
}
std::vector<std::u16string> CompletionCandidates(std::span<const std::u16string_view> all, std::u16string_view word) {
  return Filter(all, word);
}

CompletedText ApplyCompletion(std::u16string_view text, const CompletionWord& word, std::u16string_view candidate) {
  CompletedText out;
  out.text = std::u16string(text.substr(0, word.start)) + std::u16string(candidate) +
             std::u16string(text.substr(std::min(word.end, text.size())));
  out.caret = word.start + candidate.size();
  return out;
}

}  // namespace nusk
