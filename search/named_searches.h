// Named searches: query fragments stored under a name in section `NamedSearch` of the
// settings file (`Count`, then "Name%d" / "Search%d" for 1..Count), used as "@Name".
//
// Every call reads the settings file through the profile functions (no cache), so a
// change made by another process is seen at once. Safe from any thread.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace nusk {

class Profile;

class NamedSearches {
 public:
  // profile: the settings file reader/writer; file: full path of "nusk.ini".
  NamedSearches(Profile* profile, std::u16string file) : profile_(profile), file_(std::move(file)) {}

  // Writes the default set of eleven when `Count` is absent or -1. False when the
  // settings file could not be written.
  bool EnsureDefaults();

  // The fragment stored for a name (ASCII letters compare without case; the first match
  // wins), or empty when there is none. When `Count` is absent or -1 the built-in set
  // answers, so a read-only or full settings file never empties a search.
  std::u16string Lookup(std::u16string_view name) const;

  // The non-empty names in order, after writing the defaults if needed.
  std::vector<std::u16string> List();

  // The list as "Name=Search\r\n" lines, for the editor.
  std::u16string ToText() const;

  // Replaces the list from editor text (one "Name=Search" per line, names and searches
  // trimmed). A line without "=" after its first character refuses the whole text:
  // nothing is written, *bad_line receives the line, and the result is false.
  bool FromText(std::u16string_view text, std::u16string* bad_line);

 private:
  bool UsesDefaults() const;  // `Count` absent or -1
  int Count() const;
  std::u16string Get(std::u16string_view key) const;

  Profile* profile_;
  std::u16string file_;
};

// Case-insensitive comparison that folds only 'A'-'Z', the rule for named-search names.
bool EqualsAsciiNoCase(std::u16string_view a, std::u16string_view b);

}  // namespace nusk
