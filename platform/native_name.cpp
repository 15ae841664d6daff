#include "platform/native_name.h"

#include "util/utf.h"

namespace nusk {

namespace {

constexpr char16_t kByteBase = 0xF000;

// The characters that stand for a byte: U+F05C and U+F080..U+F0FF.
bool StandsForByte(char32_t c) { return c == kEscapedBackslash || (c >= 0xF080 && c <= 0xF0FF); }

// Length and value of the well-formed UTF-8 sequence at s[i]; 0 when it is malformed
// (bad lead or continuation byte, cut short, overlong, a surrogate, past U+10FFFF).
size_t DecodeOne(std::string_view s, size_t i, char32_t* cp) {
  const unsigned char b = static_cast<unsigned char>(s[i]);
  size_t len;
  if ((b & 0xE0) == 0xC0) {
    *cp = b & 0x1F;
    len = 2;
  } else if ((b & 0xF0) == 0xE0) {
    *cp = b & 0x0F;
    len = 3;
  } else if ((b & 0xF8) == 0xF0) {
    *cp = b & 0x07;
    len = 4;
  } else return 0;
  if (i + len > s.size()) return 0;
  for (size_t k = 1; k < len; ++k) {
    const unsigned char c = static_cast<unsigned char>(s[i + k]);
    if ((c & 0xC0) != 0x80) return 0;
    *cp = (*cp << 6) | (c & 0x3F);
  }
  static const char32_t kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
  if (*cp < kMin[len] || *cp > 0x10FFFF || (*cp >= 0xD800 && *cp <= 0xDFFF)) return 0;
  return len;
}

std::u16string Decode(std::string_view s, bool escape_backslash) {
  std::u16string out;
  out.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) {
    const unsigned char b = static_cast<unsigned char>(s[i]);
    if (b < 0x80) {  // most names are ASCII: one comparison per byte
      out.push_back(b == '\\' && escape_backslash ? kEscapedBackslash : static_cast<char16_t>(b));
      ++i;
      continue;
    }
    char32_t cp = 0;
    const size_t len = DecodeOne(s, i, &cp);
    if (len == 0) {  // a byte that is no text: keep the byte
      out.push_back(static_cast<char16_t>(kByteBase + b));
      ++i;
    } else if (StandsForByte(cp)) {  // keep its bytes, or it would read back as one byte
      for (size_t end = i + len; i < end; ++i) {
        out.push_back(static_cast<char16_t>(kByteBase + static_cast<unsigned char>(s[i])));
      }
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char16_t>(cp));
      i += len;
    } else {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
      i += len;
    }
  }
  return out;
}

}  // namespace

std::u16string NameFromNative(std::string_view bytes) { return Decode(bytes, true); }

std::u16string PathFromNative(std::string_view bytes) { return Decode(bytes, false); }

std::string NativeFromPath(std::u16string_view text) {
  // Sized once for the longest result and cut to what was written: every path `find`
  // prints goes through here.
  std::string out(3 * text.size(), '\0');
  char* end = out.data();
  for (size_t i = 0; i < text.size();) {
    // Runs of ASCII, the usual path, four units at a time.
    while (i + 4 <= text.size() && (text[i] | text[i + 1] | text[i + 2] | text[i + 3]) < 0x80) {
      for (size_t k = 0; k < 4; ++k) end[k] = static_cast<char>(text[i + k]);
      end += 4;
      i += 4;
    }
    if (i == text.size()) break;
    const char16_t c = text[i];
    if (c < 0x80) {
      *end++ = static_cast<char>(c);
      ++i;
    } else if (StandsForByte(c)) {
      *end++ = static_cast<char>(c - kByteBase);
      ++i;
    } else {
      end = PutUtf8(end, NextCodePoint(text, &i));
    }
  }
  out.resize(static_cast<size_t>(end - out.data()));
  return out;
}

}  // namespace nusk
