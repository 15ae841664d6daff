#include "platform/profile_format.h"

#include <algorithm>
#include <cstdint>

#include "platform/env.h"
#include "platform/ini_document.h"
#include "platform/profile.h"

namespace nusk {

namespace {
int HexValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  return -1;
}
}  // namespace

std::u16string_view StripEnclosingQuotes(std::u16string_view value) {
  if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

std::u16string EncodeStructHex(const void* data, size_t size) {
  static const char16_t kDigits[] = u"0123456789ABCDEF";
  const auto* bytes = static_cast<const uint8_t*>(data);
  std::u16string out;
  out.reserve(size * 2 + 2);
  uint8_t sum = 0;
  for (size_t i = 0; i <= size; ++i) {
    uint8_t b = i < size ? bytes[i] : sum;
    sum = static_cast<uint8_t>(sum + b);
    out.push_back(kDigits[b >> 4]);
    out.push_back(kDigits[b & 15]);
  }
  return out;
}

bool DecodeStructHex(std::u16string_view text, void* out, size_t size) {
  text = TrimProfileSpace(text);
  if (text.size() != size * 2 + 2) return false;
  std::u16string_view digits = text;
  std::basic_string<uint8_t> bytes;
  bytes.reserve(size + 1);
  for (size_t i = 0; i < digits.size(); i += 2) {
    int hi = HexValue(digits[i]), lo = HexValue(digits[i + 1]);
    if (hi < 0 || lo < 0) return false;
    bytes.push_back(static_cast<uint8_t>(hi * 16 + lo));
  }
  uint8_t sum = 0;
  for (size_t i = 0; i < size; ++i) sum = static_cast<uint8_t>(sum + bytes[i]);
  if (sum != bytes[size]) return false;
  if (size) std::copy(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size), static_cast<uint8_t*>(out));
  return true;
}

std::vector<std::u16string> FitSectionNames(std::vector<std::u16string> names, size_t buffer_chars) {
  size_t used = 0;
  size_t keep = 0;
  for (; keep < names.size(); ++keep) {
    size_t need = used + names[keep].size() + 1;
    if (buffer_chars == 0 || need > buffer_chars - 1) break;
    used = need;
  }
  names.resize(keep);
  return names;
}

// Shared by both systems: the process-wide profile over the system Env.
Profile* Profile::Default() {
  static Profile* profile = Create(Env::Default()).release();
  return profile;
}

bool HasNonAscii(std::u16string_view text) {
  for (char16_t c : text) {
    if (c > 0x7F) return true;
  }
  return false;
}

}  // namespace nusk
