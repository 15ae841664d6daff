// The checks behind the text-editing configuration dialogs (custom actions, named
// searches): the typed text is taken as a whole or refused with a reason, and nothing is
// written when it is refused.
#pragma once
#include <string>
#include <string_view>

#include "settings/settings_file.h"

namespace nusk {

class NamedSearches;

// What the dialog does with its text on OK: close (accepted), or keep the text and show
// `message` under `title` with a warning.
struct TextConfigVerdict {
  bool accepted = true;
  std::u16string message;
  std::u16string title;
  bool operator==(const TextConfigVerdict&) const = default;
};

// Parses the custom actions' text and, when sound, writes the list into file. Refused: a
// bad line (the line is the message), a name or command line too long, too many actions,
// or a failed write (the message names the file).
TextConfigVerdict ApplyCustomActionsText(const SettingsFile& file, std::u16string_view text);

// Replaces the named searches from their text; refused with the offending line (or a
// general message when the settings file could not be written).
TextConfigVerdict ApplyNamedSearchesText(NamedSearches* named, std::u16string_view text);

}  // namespace nusk
