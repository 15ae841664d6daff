#include "ui/database_commands.h"

#include <cstdio>

#include "util/casemap.h"

namespace nusk {

CleanScope DecideCleanScope(char16_t letter, std::u16string_view indexed_drives) {
  if (letter == 0) return CleanScope::kWholeDatabase;
  if (indexed_drives.empty()) return CleanScope::kOneDrive;
  for (char16_t d : indexed_drives)
    if (ToUpperUnit(d) != ToUpperUnit(letter)) return CleanScope::kOneDrive;
  return CleanScope::kWholeDatabase;
}

std::u16string HasherParameters(std::u16string_view home) {
  std::u16string out = u" --dbdir \"";
  out += home;
  if (!home.empty() && home.back() == u'\\') out += u'\\';
  out += u'"';
  return out;
}

std::u16string SameContentQuery(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(value));
  std::u16string out = u"/hash:";
  for (const char* c = text; *c; ++c) out += static_cast<char16_t>(*c);
  return out;
}

bool QueryNeedsHashes(std::u16string_view query) {
  const std::u16string lower = ToLower(query);
  return lower.find(u"/dup:") != std::u16string::npos || lower.find(u"/hash:") != std::u16string::npos ||
         lower.find(u'@') != std::u16string::npos;
}

std::u16string IgnoredFoldersText(const std::vector<std::u16string>& folders, std::u16string_view none) {
  if (folders.empty()) return std::u16string(none);
  std::u16string out;
  for (const std::u16string& f : folders) {
    if (!out.empty()) out += u"\r\n";
    out += f;
  }
  return out;
}

}  // namespace nusk
