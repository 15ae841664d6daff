#include "settings/settings_file.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <limits>
#include <optional>

#include "platform/profile.h"
#include "settings/process_state.h"
#include "util/casemap.h"
#include "util/utf.h"

namespace nusk {

namespace {

constexpr size_t kValueBuffer = 255;
// Line lists (the global filter, the excluded names) are written longer than a text value
// (the options page keeps 510 characters of the global filter): read through the short
// buffer they would come back cut.
constexpr size_t kLineListBuffer = 4096;
constexpr size_t kSectionNamesBuffer = 4096;
// Bound on the copies of one key or section removed by a delete (hand-edited files).
constexpr int kMaxDuplicates = 64;
// A counted struct larger than this is treated as damaged rather than allocated for.
constexpr int64_t kMaxStructBytes = 1 << 20;
// A default that no value in a settings file holds, to tell an absent key from an empty one.
constexpr std::u16string_view kAbsent = u"\x01<absent>\x01";

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\v' || c == u'\f'; }

bool HasLineBreak(std::u16string_view s) {
  return s.find_first_of(std::u16string_view(u"\r\n\0", 3)) != std::u16string_view::npos;
}

// Whether the profile reader would return something other than value.
bool ReaderWouldAlter(std::u16string_view value) {
  if (value.empty()) return false;
  if (IsBlank(value.front()) || IsBlank(value.back())) return true;
  return value.size() > 1 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front();
}

bool IsWritableKey(std::u16string_view key) {
  if (key.empty() || HasLineBreak(key) || key.find(u'=') != std::u16string_view::npos) return false;
  size_t first = key.find_first_not_of(u" \t");
  return first == std::u16string_view::npos || (key[first] != u'[' && key[first] != u';');
}

}  // namespace

SettingsFile::SettingsFile(std::u16string path) : SettingsFile(std::move(path), Profile::Default()) {}
SettingsFile::SettingsFile(std::u16string path, Profile* profile) : path_(std::move(path)), profile_(profile) {}

SettingsFile Settings() { return SettingsFile(Process().settings_path); }

std::u16string_view SettingsFile::Section(std::u16string_view section) const {
  return section.empty() ? kGlobalSection : section;
}

std::u16string SettingsFile::ReadText(std::u16string_view section, std::u16string_view key) const {
  return profile_->GetString(path_, Section(section), key, u"", kValueBuffer);
}

bool SettingsFile::HasKey(std::u16string_view section, std::u16string_view key) const {
  return profile_->GetString(path_, Section(section), key, kAbsent, kValueBuffer) != kAbsent;
}

int64_t ParseSettingInteger(std::u16string_view text) {
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
  // Saturates at the 64-bit limits rather than wrapping.
  constexpr uint64_t kLimit = uint64_t{1} << 63;
  uint64_t magnitude = 0;
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
    uint64_t digit = static_cast<uint64_t>(text[i] - u'0');
    magnitude = magnitude > kLimit / 10 ? kLimit : std::min<uint64_t>(magnitude * 10 + digit, kLimit);
  }
  if (negative) return magnitude == kLimit ? std::numeric_limits<int64_t>::min() : -static_cast<int64_t>(magnitude);
  return magnitude >= kLimit ? std::numeric_limits<int64_t>::max() : static_cast<int64_t>(magnitude);
}

int64_t SettingsFile::ReadInteger(std::u16string_view section, std::u16string_view key) const {
  std::u16string text = ReadText(section, key);
  return text.empty() ? 0 : ParseSettingInteger(text);
}

bool SettingsFile::ReadFlag(std::u16string_view key, bool def) const {
  std::u16string text = ReadText(kOptionsSection, key);
  return text.empty() ? def : ParseSettingInteger(text) == 1;
}

double SettingsFile::ReadReal(std::u16string_view section, std::u16string_view key) const {
  std::string text = ToUtf8(ReadText(section, key));
  size_t i = text.find_first_not_of(" \t");
  if (i == std::string::npos) return 0;
  if (text[i] == '+') ++i;
  double value = 0;
  auto result = std::from_chars(text.data() + i, text.data() + text.size(), value);
  return result.ec == std::errc() ? value : 0;
}

bool SettingsFile::WriteInteger(std::u16string_view section, std::u16string_view key, int64_t value) const {
  return WriteText(section, key, U16(std::to_string(value)));
}

bool SettingsFile::WriteText(std::u16string_view section, std::u16string_view key, std::u16string_view value) const {
  if (path_.empty() || HasLineBreak(section) || !IsWritableKey(key) || HasLineBreak(value)) return false;
  if (ReaderWouldAlter(value)) {
    std::u16string wrapped = u"\"" + std::u16string(value) + u"\"";
    return profile_->WriteString(path_, Section(section), key, std::u16string_view(wrapped));
  }
  return profile_->WriteString(path_, Section(section), key, value);
}

std::u16string LineListToText(std::u16string_view stored) {
  std::u16string text;
  for (char16_t c : stored) {
    if (c == u':') {
      text += u"\r\n";
    } else {
      text.push_back(c);
    }
  }
  return text;
}

std::u16string TextToLineList(std::u16string_view text) {
  std::u16string stored;
  for (char16_t c : text) {
    if (c == u'\r') continue;
    stored.push_back(c == u'\n' ? u':' : c);
  }
  return stored;
}

std::vector<std::u16string> SplitLineList(std::u16string_view stored) {
  std::vector<std::u16string> lines;
  if (stored.empty()) return lines;
  size_t start = 0;
  while (true) {
    size_t colon = stored.find(u':', start);
    lines.emplace_back(stored.substr(start, colon - start));
    if (colon == std::u16string_view::npos) break;
    start = colon + 1;
  }
  return lines;
}

std::u16string SettingsFile::ReadLineList(std::u16string_view key) const {
  return LineListToText(ReadStoredLineList(kOptionsSection, key));
}

std::u16string SettingsFile::ReadStoredLineList(std::u16string_view section, std::u16string_view key) const {
  return profile_->GetString(path_, Section(section), key, u"", kLineListBuffer);
}

bool SettingsFile::WriteLineList(std::u16string_view key, std::u16string_view lines) const {
  return WriteText(kOptionsSection, key, TextToLineList(lines));
}

bool SettingsFile::DeleteKey(std::u16string_view section, std::u16string_view key) const {
  for (int i = 0; i < kMaxDuplicates && HasKey(section, key); ++i) {
    if (!profile_->WriteString(path_, Section(section), key, std::nullopt)) return false;
  }
  return true;
}

bool SettingsFile::DeleteSection(std::u16string_view section) const {
  section = Section(section);
  auto present = [&] {
    for (const std::u16string& name : ListSections()) {
      if (EqualsNoCase(name, section)) return true;
    }
    return false;
  };
  for (int i = 0; i < kMaxDuplicates && present(); ++i) {
    if (!profile_->WriteString(path_, section, std::nullopt, std::nullopt)) return false;
  }
  return true;
}

std::vector<std::u16string> SettingsFile::ListSections() const {
  return profile_->SectionNames(path_, kSectionNamesBuffer);
}

bool SettingsFile::WriteStruct(std::u16string_view section, std::u16string_view key, const void* data,
                               size_t size) const {
  if (path_.empty() || HasLineBreak(section) || !IsWritableKey(key)) return false;
  std::u16string count_key = u"_cb_" + std::u16string(key);
  return WriteInteger(section, count_key, static_cast<int64_t>(size)) &&
         profile_->WriteStruct(path_, Section(section), key, data, size);
}

size_t SettingsFile::ReadStruct(std::u16string_view section, std::u16string_view key, void* data, size_t size) const {
  int64_t count = ReadInteger(section, u"_cb_" + std::u16string(key));
  if (count <= 0 || count > kMaxStructBytes) return 0;
  auto bytes = static_cast<size_t>(count);
  if (data == nullptr || bytes > size) return bytes;
  return profile_->GetStruct(path_, Section(section), key, data, bytes) ? bytes : 0;
}

}  // namespace nusk
