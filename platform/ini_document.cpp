#include "platform/ini_document.h"

#include "util/casemap.h"
#include "util/utf.h"

namespace nusk {

namespace {

// Windows-1252 for 0x80..0x9F; the five undefined bytes map to themselves as the
// Windows conversion does.
const char16_t kCp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                  0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                  0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                  0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

bool IsProfileSpace(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\v' || c == u'\f';
}

bool IsValidUtf8(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    unsigned char b = static_cast<unsigned char>(s[i]);
    size_t len = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 0;
    if (len == 0 || i + len > s.size()) return false;
    for (size_t k = 1; k < len; ++k) {
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    }
    i += len;
  }
  // Overlong forms and surrogates decode to U+FFFD: valid only when every U+FFFD was literal.
  std::u16string decoded = FromUtf8(s);
  size_t replaced = 0, literal = 0;
  for (char16_t c : decoded) replaced += c == u'\uFFFD';
  for (size_t p = s.find("\xEF\xBF\xBD"); p != std::string_view::npos; p = s.find("\xEF\xBF\xBD", p + 3)) ++literal;
  return replaced == literal;
}

std::u16string DecodeAnsiLine(std::string_view raw) {
  if (IsValidUtf8(raw)) return FromUtf8(raw);
  std::u16string out;
  out.reserve(raw.size());
  for (char c : raw) out.push_back(Cp1252ToUnit(static_cast<unsigned char>(c)));
  return out;
}

std::u16string DecodeUtf16Line(std::string_view raw) {
  std::u16string out;
  out.reserve(raw.size() / 2);
  for (size_t i = 0; i + 1 < raw.size(); i += 2) {
    out.push_back(
        static_cast<char16_t>(static_cast<unsigned char>(raw[i]) | (static_cast<unsigned char>(raw[i + 1]) << 8)));
  }
  if (raw.size() % 2) out.push_back(u'\uFFFD');
  return out;
}

void AppendUtf16Le(std::string* out, std::u16string_view text) {
  for (char16_t c : text) {
    out->push_back(static_cast<char>(c & 0xFF));
    out->push_back(static_cast<char>(c >> 8));
  }
}

}  // namespace

char16_t Cp1252ToUnit(unsigned char b) {
  return b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : static_cast<char16_t>(b);
}

std::u16string_view TrimProfileSpace(std::u16string_view s) {
  while (!s.empty() && IsProfileSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsProfileSpace(s.back())) s.remove_suffix(1);
  return s;
}

void IniDocument::Classify(Line* line) {
  std::u16string_view t = TrimProfileSpace(line->text);
  line->name.clear();
  line->value.clear();
  if (!t.empty() && t.front() == u'[') {
    size_t close = t.rfind(u']');
    if (close != std::u16string_view::npos && close > 0) {
      line->kind = Kind::kHeader;
      line->name = std::u16string(TrimProfileSpace(t.substr(1, close - 1)));
      return;
    }
  }
  if (!t.empty() && t.front() == u';') {
    line->kind = Kind::kComment;
    return;
  }
  size_t eq = t.find(u'=');
  if (eq == std::u16string_view::npos) {
    line->kind = Kind::kOther;
    return;
  }
  line->kind = Kind::kEntry;
  line->name = std::u16string(TrimProfileSpace(t.substr(0, eq)));
  std::u16string_view value = t.substr(eq + 1);
  // The reader sees C strings: an embedded NUL ends the value.
  value = value.substr(0, value.find(u'\0'));
  line->value = std::u16string(TrimProfileSpace(value));
}

IniDocument IniDocument::Parse(std::string_view bytes) {
  IniDocument doc;
  bool utf16 = false;
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
      static_cast<unsigned char>(bytes[1]) == 0xFE) {
    utf16 = true;
    doc.encoding_ = IniEncoding::kUtf16Le;
    bytes.remove_prefix(2);
  } else if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
    doc.encoding_ = IniEncoding::kUtf8Bom;
    bytes.remove_prefix(3);
  } else {
    doc.encoding_ = IniEncoding::kAnsi;
  }
  const size_t unit = utf16 ? 2 : 1;
  size_t start = 0;
  while (start < bytes.size()) {
    // Find the next line feed (one byte, or the unit 0x000A in UTF-16LE).
    size_t end = start;
    while (end + unit <= bytes.size() && !(bytes[end] == '\n' && (unit == 1 || bytes[end + 1] == '\0'))) end += unit;
    if (end + unit > bytes.size()) end = bytes.size();
    Line line;
    size_t content_end = end;
    if (content_end >= start + unit && bytes[content_end - unit] == '\r' &&
        (unit == 1 || bytes[content_end - 1] == '\0')) {
      content_end -= unit;
    }
    line.raw = std::string(bytes.substr(start, content_end - start));
    size_t next = end < bytes.size() ? end + unit : end;
    line.eol = std::string(bytes.substr(content_end, next - content_end));
    line.text = utf16                                    ? DecodeUtf16Line(line.raw)
                : doc.encoding_ == IniEncoding::kUtf8Bom ? FromUtf8(line.raw)
                                                         : DecodeAnsiLine(line.raw);
    Classify(&line);
    doc.lines_.push_back(std::move(line));
    start = next;
  }
  return doc;
}

std::string IniDocument::Serialize() const {
  std::string out;
  if (encoding_ == IniEncoding::kUtf16Le) out = "\xFF\xFE";
  if (encoding_ == IniEncoding::kUtf8Bom) out = "\xEF\xBB\xBF";
  for (const Line& line : lines_) {
    if (!line.changed) {
      out += line.raw;
      out += line.eol;
    } else if (encoding_ == IniEncoding::kUtf16Le) {
      AppendUtf16Le(&out, line.text);
      AppendUtf16Le(&out, u"\r\n");
    } else {
      out += ToUtf8(line.text);
      out += "\r\n";
    }
  }
  return out;
}

void IniDocument::Reencode(IniEncoding e) {
  if (e == encoding_) return;
  encoding_ = e;
  for (Line& line : lines_) line.changed = true;
}

std::optional<std::pair<size_t, size_t>> IniDocument::FindSection(std::u16string_view section) const {
  section = TrimProfileSpace(section);
  size_t begin = 0;
  bool found = section.empty();  // the leading lines form the nameless section
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (lines_[i].kind != Kind::kHeader) continue;
    if (found) return std::make_pair(begin, i);
    if (EqualsNoCase(lines_[i].name, section)) {
      found = true;
      begin = i;
    }
  }
  if (found) return std::make_pair(begin, lines_.size());
  return std::nullopt;
}

std::optional<std::u16string> IniDocument::Find(std::u16string_view section, std::u16string_view key) const {
  auto range = FindSection(section);
  if (!range) return std::nullopt;
  key = TrimProfileSpace(key);
  for (size_t i = range->first; i < range->second; ++i) {
    if (lines_[i].kind == Kind::kEntry && EqualsNoCase(lines_[i].name, key)) return lines_[i].value;
  }
  return std::nullopt;
}

std::vector<std::u16string> IniDocument::SectionNames() const {
  std::vector<std::u16string> names;
  for (const Line& line : lines_) {
    if (line.kind == Kind::kHeader && !line.name.empty()) names.push_back(line.name);
  }
  return names;
}

std::vector<std::u16string> IniDocument::KeyNames(std::u16string_view section) const {
  std::vector<std::u16string> keys;
  auto range = FindSection(section);
  if (!range) return keys;
  for (size_t i = range->first; i < range->second; ++i) {
    if (lines_[i].kind == Kind::kEntry) keys.push_back(lines_[i].name);
  }
  return keys;
}

IniDocument::Line IniDocument::MakeLine(std::u16string text) const {
  Line line;
  line.text = std::move(text);
  line.changed = true;
  Classify(&line);
  return line;
}

void IniDocument::EnsureLastLineEnds() {
  // Only a line feed ends a line: a last line without one (no line break, or a lone
  // carriage return) would swallow the line added after it.
  if (lines_.empty() || lines_.back().changed || lines_.back().eol.find('\n') != std::string::npos) return;
  Line& last = lines_.back();
  if (encoding_ != IniEncoding::kUtf16Le) {
    last.eol = "\r\n";
    return;
  }
  // A UTF-16 file may end in an odd byte, kept as it was; it is completed to a unit so
  // that the lines after it stay aligned.
  last.eol = last.raw.size() % 2 ? std::string("\0\r\0\n\0", 5) : std::string("\r\0\n\0", 4);
}

void IniDocument::Set(std::u16string_view section, std::u16string_view key, std::u16string_view value) {
  key = TrimProfileSpace(key);
  std::u16string text = std::u16string(key) + u"=" + std::u16string(value);
  auto range = FindSection(section);
  if (!range) {
    EnsureLastLineEnds();
    lines_.push_back(MakeLine(u"[" + std::u16string(TrimProfileSpace(section)) + u"]"));
    lines_.push_back(MakeLine(std::move(text)));
    return;
  }
  size_t insert_at = range->first + (TrimProfileSpace(section).empty() ? 0 : 1);
  for (size_t i = range->first; i < range->second; ++i) {
    if (lines_[i].kind == Kind::kEntry && EqualsNoCase(lines_[i].name, key)) {
      lines_[i] = MakeLine(std::move(text));
      return;
    }
    // New keys go after the last non-blank line of the section, before blank separators.
    if (lines_[i].kind != Kind::kHeader && !TrimProfileSpace(lines_[i].text).empty()) insert_at = i + 1;
  }
  if (insert_at == lines_.size()) EnsureLastLineEnds();
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insert_at), MakeLine(std::move(text)));
}

bool IniDocument::RemoveKey(std::u16string_view section, std::u16string_view key) {
  auto range = FindSection(section);
  if (!range) return false;
  key = TrimProfileSpace(key);
  for (size_t i = range->first; i < range->second; ++i) {
    if (lines_[i].kind == Kind::kEntry && EqualsNoCase(lines_[i].name, key)) {
      lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(i));
      return true;
    }
  }
  return false;
}

bool IniDocument::RemoveSection(std::u16string_view section) {
  auto range = FindSection(section);
  if (!range) return false;
  lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(range->first),
               lines_.begin() + static_cast<std::ptrdiff_t>(range->second));
  return true;
}

}  // namespace nusk
