// Choosing the language table at start-up, finding language files for a locale, and the
// language list of the options dialog.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "l10n/mui.h"

namespace nusk {

class Env;
class Profile;

// The system's default locale as the window code reads it.
struct LocaleInfo {
  uint32_t lcid = 0;        // Windows locale identifier (2052 is Simplified Chinese)
  std::u16string language;  // ISO 639 code, "pt"
  std::u16string country;   // ISO 3166 code, "BR"
};

// The first existing of, relative to program_folder: "lang.<language>-<country>.ini",
// "lang\lang.<language>-<country>.ini", "lang.<language>.ini", "lang\lang.<language>.ini".
// Empty when none exists or the locale has no language code.
std::u16string FindLocaleLanguageFile(Env* env, const std::u16string& program_folder, const LocaleInfo& locale);

// The table for the `Language` setting (0 system default, 1 English, 2..6 built-in,
// 7 and above the file `LanguageFile` relative to program_folder), filled and ready.
// Null means English: `Language` 1, a locale without table or file, or a missing file.
std::unique_ptr<CMUI> CreateLanguageTable(int64_t language, std::u16string_view language_file, const LocaleInfo& locale,
                                          const std::u16string& program_folder, Env* env, Profile* profile);

// One entry of the options dialog's language list.
struct LanguageChoice {
  std::u16string display;  // "Deutsch", or the file's language name followed by "(file name)"
  std::u16string file;     // path relative to the program folder; empty for built-in entries
};

// "System Default", "English" and the five built-in languages (indices 0 to 6), then one
// entry per "lang.*.ini" file in program_folder and then in its "lang" subfolder, each
// folder in name order; names beginning with a dot are skipped.
std::vector<LanguageChoice> ListLanguageChoices(Env* env, const std::u16string& program_folder, Profile* profile);

// The index of the entry (7 or later) whose file equals language_file, compared without
// case; -1 when there is none.
int FindLanguageChoice(const std::vector<LanguageChoice>& choices, std::u16string_view language_file);

}  // namespace nusk
