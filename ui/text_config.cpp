#include "ui/text_config.h"

#include "l10n/mui.h"
#include "search/named_searches.h"
#include "ui/custom_actions.h"

namespace nusk {

TextConfigVerdict ApplyCustomActionsText(const SettingsFile& file, std::u16string_view text) {
  constexpr std::u16string_view kInvalid = u"Invalid custom action config";
  const ParsedCustomActions parsed = ParseCustomActionsText(text);
  switch (parsed.error) {
    case CustomActionsError::kNone: break;
    case CustomActionsError::kBadLine: return {false, parsed.line, std::u16string(kInvalid)};
    case CustomActionsError::kTooLong:
      return {false, parsed.line + u"\n\nA name or command line can hold at most 252 characters.",
              std::u16string(kInvalid)};
    case CustomActionsError::kTooMany:
      return {false, Tr(u"msg.TooManyCustomActions", u"Custom actions is limited to 24 items"), u"Invalid config"};
  }
  if (!WriteCustomActions(file, parsed.actions))
    return {false, u"The custom actions could not be saved in " + file.path() + u".", u"Nusk"};
  return {};
}

TextConfigVerdict ApplyNamedSearchesText(NamedSearches* named, std::u16string_view text) {
  std::u16string bad;
  if (named->FromText(text, &bad)) return {};
  return {false, bad.empty() ? u"The named searches could not be saved." : bad, u"Invalid named search config"};
}

}  // namespace nusk
