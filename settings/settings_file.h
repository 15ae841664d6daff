// The settings primitives over one settings file ("nusk.ini"): every read goes to the file
// and every write goes straight to it, with no cache (the profile functions do the work).
//
// Settings() is the process's settings file, Process().settings_path; construct a
// SettingsFile with another path (tests, a second home folder) to use that file instead.
// An empty section name means `Global`. A SettingsFile with an empty path (start-up has
// not settled the home folder yet) reads defaults and refuses every write. Failures of the file are not reported to the
// user: a read of an unreadable file gives the default, a write that fails returns false
// and leaves the file as it was. Safe from any thread (the profile layer serialises calls).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace nusk {

class Profile;

inline constexpr std::u16string_view kGlobalSection = u"Global";
inline constexpr std::u16string_view kOptionsSection = u"Options";
inline constexpr std::u16string_view kUIStateSection = u"UIState";

class SettingsFile {
 public:
  explicit SettingsFile(std::u16string path);
  SettingsFile(std::u16string path, Profile* profile);

  const std::u16string& path() const { return path_; }

  // The text of section/key (up to 254 characters), empty when absent.
  std::u16string ReadText(std::u16string_view section, std::u16string_view key) const;
  // Whether the key is present at all (an empty value counts as present).
  bool HasKey(std::u16string_view section, std::u16string_view key) const;
  // Empty gives 0, otherwise the base-10 parse (leading blanks and a sign allowed, stops at
  // the first non-digit; a text without digits is 0).
  int64_t ReadInteger(std::u16string_view section, std::u16string_view key) const;
  // In `Options`: empty or absent gives def, otherwise whether the parsed value equals 1.
  bool ReadFlag(std::u16string_view key, bool def) const;
  // Parsed as a floating-point number; an unparsable or empty text gives 0.
  double ReadReal(std::u16string_view section, std::u16string_view key) const;

  bool WriteInteger(std::u16string_view section, std::u16string_view key, int64_t value) const;
  // Writes the value so that it reads back unchanged: a value that the reader would alter
  // (enclosing quotes, blanks at either end) is wrapped in one more pair of double quotes.
  // Refuses (false, file untouched) a section, key or value that would break the file's
  // line structure: a line break anywhere, '=' or a leading '[' or ';' in a key, ']' in a section.
  bool WriteText(std::u16string_view section, std::u16string_view key, std::u16string_view value) const;

  // Line lists in `Options`: stored with carriage returns removed and line feeds as ":";
  // read back with every ":" as a carriage return and line feed.
  std::u16string ReadLineList(std::u16string_view key) const;
  // A line list as stored (lines joined by ':'), read whole up to 4,095 characters.
  std::u16string ReadStoredLineList(std::u16string_view section, std::u16string_view key) const;
  bool WriteLineList(std::u16string_view key, std::u16string_view lines) const;

  // Removes the key (every copy of it, should the file hold it twice).
  bool DeleteKey(std::u16string_view section, std::u16string_view key) const;
  // Removes the section (every copy of it).
  bool DeleteSection(std::u16string_view section) const;
  // The section names (4,096-character buffer).
  std::vector<std::u16string> ListSections() const;

  // Counted struct: stores the byte count as the integer "_cb_" + key, then the bytes.
  bool WriteStruct(std::u16string_view section, std::u16string_view key, const void* data, size_t size) const;
  // Returns the stored byte count; fills data when the count is non-zero and at most size
  // (data may be null to ask for the count). Returns 0 when the stored bytes are damaged.
  size_t ReadStruct(std::u16string_view section, std::u16string_view key, void* data, size_t size) const;

 private:
  std::u16string_view Section(std::u16string_view section) const;

  std::u16string path_;
  Profile* profile_;
};

// The settings file of this process (Process().settings_path at the time of the call).
SettingsFile Settings();

// Turns a line list as stored into the text a multi-line box shows, and back.
std::u16string LineListToText(std::u16string_view stored);
std::u16string TextToLineList(std::u16string_view text);
// The stored list split into its lines.
std::vector<std::u16string> SplitLineList(std::u16string_view stored);

// Base-10 parse of the integer encoding.
int64_t ParseSettingInteger(std::u16string_view text);

}  // namespace nusk
