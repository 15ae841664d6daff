// The tip of the day: which tip the dialog opens with and how Next and Previous step
// through the tips. The texts live in the language tables under TipKey(i).
#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace nusk {

inline constexpr int kTipCount = 8;

// The message key of tip i (0-based): "TIP.1" .. "TIP.8".
std::u16string TipKey(int index);
// The English text of tip i.
const char16_t* EnglishTip(int index);

// The tip to open with: `DefaultTodIndex` when present, taken modulo the number of tips
// (a stored index from a build with more tips, or a negative one, still picks a tip);
// the first tip when absent.
int FirstTipIndex(std::optional<int64_t> default_tod_index);
// The tip `step` places from `index`, wrapping round at both ends.
int StepTip(int index, int step);

}  // namespace nusk
