#include "scan/exclusion.h"

#include <set>

#include "platform/profile.h"
#include "util/utf.h"

namespace nusk {
namespace {

char16_t AsciiLower(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c; }

bool EqualNoCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  return true;
}

bool Matches(const std::vector<std::u16string>& patterns, const std::vector<uint16_t>& kinds,
             std::u16string_view name) {
  for (size_t i = patterns.size(); i-- > 0;) {
    std::u16string_view p = patterns[i];
    if (name.size() < p.size()) continue;
    switch (kinds[i]) {
      case kPatternExact:
        if (EqualNoCase(name, p)) return true;
        break;
      case kPatternSuffix:
        if (EqualNoCase(name.substr(name.size() - p.size()), p)) return true;
        break;
      case kPatternPrefix:
        if (EqualNoCase(name.substr(0, p.size()), p)) return true;
        break;
    }
  }
  return false;
}

// GetPrivateProfileInt-like: optional sign and leading decimal digits; otherwise 0.
long ProfileInt(std::u16string_view v) {
  size_t i = 0;
  while (i < v.size() && (v[i] == u' ' || v[i] == u'\t')) ++i;
  bool negative = i < v.size() && v[i] == u'-';
  if (i < v.size() && (v[i] == u'-' || v[i] == u'+')) ++i;
  long n = 0;
  for (; i < v.size() && v[i] >= u'0' && v[i] <= u'9' && n < 100000000; ++i) n = n * 10 + (v[i] - u'0');
  return negative ? -n : n;
}

void AddPattern(std::u16string item, ExclusionSettings* s) {
  bool folder = !item.empty() && (item.back() == u'\\' || item.back() == u'/');
  if (folder) item.pop_back();
  if (item.empty()) return;
  uint16_t kind = kPatternExact;
  if (item.front() == u'*') {
    item.erase(0, 1);
    kind = kPatternSuffix;
  } else if (item.back() == u'*') {
    item.pop_back();
    kind = kPatternPrefix;
  }
  (folder ? s->folder_patterns : s->file_patterns).push_back(std::move(item));
  (folder ? s->folder_pattern_kinds : s->file_pattern_kinds).push_back(kind);
}

std::u16string Decimal(size_t n) { return FromUtf8(std::to_string(n)); }

}  // namespace

void ParseExcludeNames(std::u16string_view value, ExclusionSettings* s) {
  std::u16string item;
  bool quoted = false;
  auto finish = [&] {
    if (!item.empty()) AddPattern(std::move(item), s);
    item.clear();
  };
  for (char16_t c : value) {
    if (c == u':') c = u'\n';
    if (c == u'\r') continue;
    if (!quoted) {
      if (c == u'"') quoted = true;
      else if (c == u' ' || c == u'\n') finish();
      else item.push_back(c);
    } else {
      if (c == u'"' || c == u'\n') {
        finish();
        quoted = false;
      } else item.push_back(c);
    }
  }
  finish();
}

void ParseVolumeStates(std::u16string_view v, const FixedNtfsDriveQuery& is_fixed_ntfs, VolumeStates* states) {
  while (!v.empty() && (v.front() == u' ' || v.front() == u'\t' || v.front() == u'\r' || v.front() == u'\n'))
    v.remove_prefix(1);
  while (!v.empty() && (v.back() == u' ' || v.back() == u'\t' || v.back() == u'\r' || v.back() == u'\n'))
    v.remove_suffix(1);
  if (v.empty()) {
    for (int i = 0; i < 26; ++i) {
      (*states)[i] = is_fixed_ntfs && is_fixed_ntfs(static_cast<char16_t>(u'A' + i)) ? kVolumeSelected : kVolumeSkipped;
    }
    return;
  }
  states->fill(kVolumeUnlisted);
  for (size_t i = 0; i < v.size(); ++i) {
    if (v[i] >= u'A' && v[i] <= u'Z')
      (*states)[v[i] - u'A'] = (i + 1 < v.size() && v[i + 1] == u'0') ? kVolumeSkipped : kVolumeSelected;
  }
}

void ReadExclusionSettings(Profile* profile, const std::u16string& path, const FixedNtfsDriveQuery& is_fixed_ntfs,
                           ExclusionSettings* s) {
  *s = ExclusionSettings();
  s->exclude_hidden = ProfileInt(profile->GetString(path, u"Options", u"ExcludeHidden", u"0")) == 1;
  s->exclude_by_name = ProfileInt(profile->GetString(path, u"Options", u"ExcludeByName", u"0")) == 1;
  if (s->exclude_by_name) ParseExcludeNames(profile->GetString(path, u"Options", u"ExcludeNames", u"", 32768), s);
  ParseVolumeStates(profile->GetString(path, u"Options", u"VolumeStates", u""), is_fixed_ntfs, &s->volume_states);
}

bool MatchesFolderPattern(const ExclusionSettings& s, std::u16string_view name) {
  return Matches(s.folder_patterns, s.folder_pattern_kinds, name);
}

bool MatchesFilePattern(const ExclusionSettings& s, std::u16string_view name) {
  return Matches(s.file_patterns, s.file_pattern_kinds, name);
}

std::vector<std::u16string> ReadIgnoredFolders(Profile* profile, const std::u16string& path) {
  std::vector<std::u16string> out;
  long count = ProfileInt(profile->GetString(path, u"NuskIgnoreFolders", u"Count", u"0"));
  for (long i = 1; i <= count && i <= 100000; ++i) {
    std::u16string v = profile->GetString(path, u"NuskIgnoreFolders", u"Item_" + Decimal(i), u"", 1024);
    if (!v.empty()) out.push_back(std::move(v));
  }
  return out;
}

bool StoreIgnoredFolders(Profile* profile, const std::u16string& path, const std::array<bool, 26>& built,
                         const std::vector<std::u16string>& found,
                         const std::function<bool(const std::u16string&)>& marker_exists) {
  long stored = ProfileInt(profile->GetString(path, u"NuskIgnoreFolders", u"Count", u"0"));
  std::set<std::u16string> folders;
  for (std::u16string& item : ReadIgnoredFolders(profile, path)) {
    char16_t d = AsciiLower(item[0]);
    bool drive_built = d >= u'a' && d <= u'z' && built[d - u'a'];
    if (!drive_built || marker_exists(item)) folders.insert(std::move(item));
  }
  for (const std::u16string& f : found)
    if (!f.empty()) folders.insert(f);
  bool ok = true;
  if (stored > static_cast<long>(folders.size()))
    ok = profile->WriteString(path, u"NuskIgnoreFolders", std::nullopt, std::nullopt) && ok;
  ok = profile->WriteString(path, u"NuskIgnoreFolders", u"Count", Decimal(folders.size())) && ok;
  size_t i = 1;
  for (const std::u16string& f : folders)
    ok = profile->WriteString(path, u"NuskIgnoreFolders", u"Item_" + Decimal(i++), f) && ok;
  return ok;
}

}  // namespace nusk
