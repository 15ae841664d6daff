#include "ui/tips.h"

#include "l10n/ui_keys.h"

namespace nusk {

std::u16string TipKey(int index) {
  std::u16string key = u"TIP.";
  for (char c : std::to_string(index + 1)) key += static_cast<char16_t>(c);
  return key;
}

const char16_t* EnglishTip(int index) { return EnglishMessage(TipKey(index)); }

int FirstTipIndex(std::optional<int64_t> default_tod_index) {
  if (!default_tod_index) return 0;
  return static_cast<int>(((*default_tod_index % kTipCount) + kTipCount) % kTipCount);
}

int StepTip(int index, int step) { return ((index + step) % kTipCount + kTipCount) % kTipCount; }

}  // namespace nusk
