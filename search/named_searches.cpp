#include "search/named_searches.h"

#include <string>

#include "platform/profile.h"
#include "settings/settings_file.h"
#include "util/utf.h"

namespace nusk {
namespace {

constexpr std::u16string_view kSection = u"NamedSearch";

struct DefaultEntry {
  const char16_t* name;
  const char16_t* search;
};

constexpr DefaultEntry kDefaults[] = {
    {u"File", u"/f"},
    {u"Folder", u"/d"},
    {u"Executable", u"/f *.exe|*.bat|*.cmd|*.ps1"},
    {u"Office", u"/f *.doc|*.xls|*.ppt|*.docx|*.xlsx|*.pptx"},
    {u"Book", u"/f *.pdf|*.chm|*.epub"},
    {u"Video", u"/f *.avi|*.wmv|*.mpg|*.mkv|*.mp4|*.mov"},
    {u"Audio", u"/f *.mp3|*.wav|*.ape|*.flac|*.wma"},
    {u"Picture", u"/f *.jpg|*.png|*.gif|*.bmp|*.ico|*.wmf"},
    {u"Archive", u"/f *.rar|*.zip|*.cab|*.7z|*.gz"},
    {u"Code", u"/f *.c|*.cpp|*.h|*.java|*.jsp|*.js|*.css|*.cs|*.py|*.sql"},
    {u"Text", u"/f *.txt|*.html|*.xml|*.csv"},
};

std::u16string Key(const char* prefix, int n) { return U16(prefix + std::to_string(n)); }

std::u16string_view Trim(std::u16string_view s) {
  const auto is_space = [](char16_t c) { return c == u' ' || c == u'\t' || c == u'\v' || c == u'\f'; };
  while (!s.empty() && is_space(s.front())) s.remove_prefix(1);
  while (!s.empty() && is_space(s.back())) s.remove_suffix(1);
  return s;
}

// Leading optional sign and decimal digits, as the C library reads an integer; 0 otherwise.
bool ReadInt(std::u16string_view s, int* out) {
  s = Trim(s);
  bool negative = false;
  if (!s.empty() && (s[0] == u'-' || s[0] == u'+')) {
    negative = s[0] == u'-';
    s.remove_prefix(1);
  }
  if (s.empty() || s[0] < u'0' || s[0] > u'9') return false;
  long long v = 0;
  for (char16_t c : s) {
    if (c < u'0' || c > u'9') break;
    if (v < 100000000) v = v * 10 + (c - u'0');
  }
  *out = static_cast<int>(negative ? -v : v);
  return true;
}

}  // namespace

bool EqualsAsciiNoCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  const auto fold = [](char16_t c) -> char16_t { return c >= u'A' && c <= u'Z' ? c + 32 : c; };
  for (size_t i = 0; i < a.size(); ++i) {
    if (fold(a[i]) != fold(b[i])) return false;
  }
  return true;
}

std::u16string NamedSearches::Get(std::u16string_view key) const {
  return profile_->GetString(file_, kSection, key, u"", 1024);
}

int NamedSearches::Count() const {
  int n = 0;
  if (!ReadInt(Get(u"Count"), &n) || n < 0) return 0;
  return n;
}

bool NamedSearches::EnsureDefaults() {
  if (!UsesDefaults()) return true;
  bool ok = true;
  int i = 1;
  for (const DefaultEntry& e : kDefaults) {
    ok &= profile_->WriteString(file_, kSection, Key("Name", i), std::u16string_view(e.name));
    ok &= profile_->WriteString(file_, kSection, Key("Search", i), std::u16string_view(e.search));
    ++i;
  }
  // Count last: an interrupted write leaves the defaults to be written again next time.
  ok &= profile_->WriteString(file_, kSection, u"Count", std::u16string_view(u"11"));
  return ok;
}

bool NamedSearches::UsesDefaults() const {
  const std::u16string count = profile_->GetString(file_, kSection, u"Count", u"\x1");
  int n = 0;
  return count == u"\x1" || (ReadInt(count, &n) && n == -1);
}

std::u16string NamedSearches::Lookup(std::u16string_view name) const {
  // Without a stored list the built-in one applies, whether or not it could be written.
  if (UsesDefaults()) {
    for (const DefaultEntry& e : kDefaults) {
      if (EqualsAsciiNoCase(e.name, name)) return e.search;
    }
    return {};
  }
  const int count = Count();
  for (int n = 1; n <= count; ++n) {
    if (EqualsAsciiNoCase(Get(Key("Name", n)), name)) return Get(Key("Search", n));
  }
  return {};
}

std::vector<std::u16string> NamedSearches::List() {
  EnsureDefaults();
  std::vector<std::u16string> names;
  if (UsesDefaults()) {  // the file could not take them
    for (const DefaultEntry& e : kDefaults) names.emplace_back(e.name);
    return names;
  }
  const int count = Count();
  for (int n = 1; n <= count; ++n) {
    std::u16string name = Get(Key("Name", n));
    if (!name.empty()) names.push_back(std::move(name));
  }
  return names;
}

std::u16string NamedSearches::ToText() const {
  std::u16string text;
  const int count = Count();
  for (int n = 1; n <= count; ++n) {
    text += Get(Key("Name", n));
    text += u'=';
    text += Get(Key("Search", n));
    text += u"\r\n";
  }
  return text;
}

bool NamedSearches::FromText(std::u16string_view text, std::u16string* bad_line) {
  std::vector<std::pair<std::u16string, std::u16string>> entries;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(u'\n', start);
    if (end == std::u16string_view::npos) end = text.size();
    std::u16string line;
    for (char16_t c : text.substr(start, end - start)) {
      if (c != u'\r') line += c;
    }
    start = end + 1;
    const std::u16string_view trimmed = Trim(line);
    if (trimmed.empty()) continue;
    const size_t eq = trimmed.find(u'=');
    if (eq == std::u16string_view::npos || eq == 0) {
      if (bad_line) *bad_line = std::u16string(trimmed);
      return false;
    }
    entries.emplace_back(std::u16string(Trim(trimmed.substr(0, eq))), std::u16string(Trim(trimmed.substr(eq + 1))));
  }
  // Through the store's text writer, so a fragment such as "my file" (quotes included)
  // reads back as written instead of losing its quotes to the profile reader.
  const SettingsFile settings(file_, profile_);
  bool ok = true;
  for (size_t i = 0; i < entries.size(); ++i) {
    ok &= settings.WriteText(kSection, Key("Name", static_cast<int>(i + 1)), entries[i].first);
    ok &= settings.WriteText(kSection, Key("Search", static_cast<int>(i + 1)), entries[i].second);
  }
  ok &= settings.WriteInteger(kSection, u"Count", static_cast<int64_t>(entries.size()));
  return ok;
}

}  // namespace nusk
