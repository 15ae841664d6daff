#include "ui/query_composer.h"

#include <array>
#include <vector>

#include "search/query_parser.h"

namespace nusk {

namespace {

bool HasChar(std::u16string_view s, char16_t c) { return s.find(c) != std::u16string_view::npos; }

// The unit letter of a list position: both size lists run none ("Same as below" or
// "Bytes"), "KB", "MB", "GB".
template <typename Unit>
std::u16string_view UnitLetter(Unit u) {
  static constexpr std::u16string_view kLetters[] = {u"", u"K", u"M", u"G"};
  const int i = static_cast<int>(u);
  return i >= 0 && i < 4 ? kLetters[i] : std::u16string_view();
}

std::u16string DateText(const ComposerDate& d) {
  std::u16string s;
  const int parts[3][2] = {{d.year, 4}, {d.month, 2}, {d.day, 2}};
  for (const auto& p : parts) {
    std::u16string digits;
    for (int v = p[0] < 0 ? 0 : p[0]; v > 0 || digits.empty(); v /= 10)
      digits.insert(digits.begin(), char16_t(u'0' + v % 10));
    while (digits.size() < static_cast<size_t>(p[1])) digits.insert(digits.begin(), u'0');
    s += digits;
  }
  return s;
}

// The name pattern from the three name fields: "begin*", "*contains*", "*end", runs of "*"
// reduced to one, and a pattern that both begins and ends with "*" loses them (a plain word
// already means "contains").
std::u16string NamePattern(const ComposerFields& f) {
  std::u16string raw;
  if (!f.name_begin.empty()) raw += f.name_begin + u"*";
  if (!f.name_contains.empty()) raw += u"*" + f.name_contains + u"*";
  if (!f.name_end.empty()) raw += u"*" + f.name_end;
  std::u16string pat;
  for (char16_t c : raw) {
    if (c == u'*' && !pat.empty() && pat.back() == u'*') continue;
    pat += c;
  }
  if (!pat.empty() && pat.front() == u'*' && pat.back() == u'*') {
    while (!pat.empty() && pat.back() == u'*') pat.pop_back();
    size_t lead = 0;
    while (lead < pat.size() && pat[lead] == u'*') ++lead;
    pat.erase(0, lead);
  }
  return pat;
}

// True when `token`, written as the start of a query and followed by `rest` (which begins with
// a space), is not read back as the same token: in a folder path a space followed by text with
// a backslash continues the folder name.
bool RunsInto(std::u16string_view token, std::u16string_view rest) {
  if (rest.empty()) return false;
  const TermList alone = TokenizeQuery(token);
  std::u16string joined(token);
  joined += rest;
  const TermList both = TokenizeQuery(joined);
  if (alone.empty()) return false;
  return both.size() < alone.size() || both[alone.size() - 1] != alone.back();
}

bool IsSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

std::u16string_view Trim(std::u16string_view s) {
  while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
  while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
  return s;
}

std::optional<ComposerDate> ReadDate(std::u16string_view s) {
  if (s.size() != 8) return std::nullopt;
  int v[8];
  for (size_t i = 0; i < 8; ++i) {
    if (s[i] < u'0' || s[i] > u'9') return std::nullopt;
    v[i] = s[i] - u'0';
  }
  ComposerDate d{v[0] * 1000 + v[1] * 100 + v[2] * 10 + v[3], v[4] * 10 + v[5], v[6] * 10 + v[7]};
  if (d.year < 1 || d.month < 1 || d.month > 12 || d.day < 1 || d.day > 31) return std::nullopt;
  return d;
}

// "/date:" values the composer writes: "from", "from-to", "-to".
bool ReadDates(std::u16string_view v, ComposerFields* f) {
  const size_t dash = v.find(u'-');
  const std::u16string_view left = v.substr(0, dash);
  if (!left.empty() && !(f->from = ReadDate(left))) return false;
  if (dash != std::u16string_view::npos && !(f->to = ReadDate(v.substr(dash + 1)))) return false;
  return f->from || f->to;
}

// One size bound: a number and an optional unit letter "K", "M" or "G".
bool ReadBound(std::u16string_view s, std::u16string* number, int* unit) {
  *unit = 0;
  if (!s.empty()) {
    const char16_t last = s.back();
    *unit = last == u'K' ? 1 : last == u'M' ? 2 : last == u'G' ? 3 : 0;
    if (*unit) s.remove_suffix(1);
  }
  number->assign(s);
  return !s.empty();
}

bool ReadSizes(std::u16string_view v, ComposerFields* f) {
  const size_t dash = v.find(u'-');
  int unit = 0;
  if (dash == std::u16string_view::npos) {
    if (!ReadBound(v, &f->min_size, &unit)) return false;
    // "10" alone can only come from "Same as below" over "Bytes"; "10K" keeps its own unit.
    f->min_unit = static_cast<MinSizeUnit>(unit);
    f->max_unit = unit ? MaxSizeUnit::kMB : MaxSizeUnit::kBytes;
    return true;
  }
  if (!ReadBound(v.substr(dash + 1), &f->max_size, &unit)) return false;
  f->max_unit = static_cast<MaxSizeUnit>(unit);
  const std::u16string_view left = v.substr(0, dash);
  if (left.empty()) return true;
  if (!ReadBound(left, &f->min_size, &unit)) return false;
  f->min_unit = static_cast<MinSizeUnit>(unit);
  return true;
}

// The name fields from a pattern of one of the shapes NamePattern writes.
bool ReadPattern(std::u16string_view p, ComposerFields* f) {
  std::vector<size_t> stars;
  for (size_t i = 0; i < p.size(); ++i) {
    if (p[i] == u'*') stars.push_back(i);
  }
  if (p.empty() || stars.size() > 2) return false;
  if (stars.empty()) {
    f->name_contains.assign(p);
    return true;
  }
  if (stars.size() == 1) {
    const size_t s = stars[0];
    if (s == 0 && p.size() == 1) return false;
    f->name_begin.assign(p.substr(0, s));
    f->name_end.assign(p.substr(s + 1));
    return true;
  }
  // Two stars: "b*c*", "*c*e" or "b*c*e"; never both at the ends, never adjacent.
  if (stars[1] == stars[0] + 1 || (stars[0] == 0 && stars[1] == p.size() - 1)) return false;
  f->name_begin.assign(p.substr(0, stars[0]));
  f->name_contains.assign(p.substr(stars[0] + 1, stars[1] - stars[0] - 1));
  f->name_end.assign(p.substr(stars[1] + 1));
  return true;
}

}  // namespace

std::u16string ComposeFieldsQuery(const ComposerFields& f) {
  std::u16string tail;
  if (f.type == 1) tail += u" /f";
  if (f.type == 2) tail += u" /d";
  if (f.drive == DriveStatus::kOnline) tail += u" /online";
  if (f.drive == DriveStatus::kOffline) tail += u" /offline";
  const std::u16string pattern = NamePattern(f);
  if (!pattern.empty()) tail += HasChar(pattern, u' ') ? u" \"" + pattern + u"\"" : u" " + pattern;
  if (!f.misc.empty()) tail += u" " + f.misc;
  const bool has_min = !f.min_size.empty(), has_max = !f.max_size.empty();
  if (has_min || has_max) {
    tail += u" /size:";
    if (has_min) tail += f.min_size + std::u16string(UnitLetter(f.min_unit));
    if (has_max) tail += u"-" + f.max_size;
    if (has_max || f.min_unit == MinSizeUnit::kSameAsBelow) tail += UnitLetter(f.max_unit);
  }
  if (f.from || f.to) {
    tail += u" /date:";
    if (f.from) tail += DateText(*f.from);
    if (f.to) tail += u"-" + DateText(*f.to);
  }

  std::u16string part;
  if (!f.partial_path.empty()) {
    std::u16string body = f.partial_path;
    if (!HasChar(body, u'\\')) body += u"*\\";
    const bool quote = HasChar(body, u' ') || RunsInto(body, tail);
    part = quote ? u" \"" + body + u"\"" : u" " + body;
  }

  std::u16string text = f.root_dir;
  if (!text.empty() && text.back() != u'\\' && (HasChar(text, u' ') || RunsInto(text, part + tail))) text += u'\\';
  text += part;
  text += tail;
  return std::u16string(Trim(text));
}

ComposerFields FieldsFromQuery(std::u16string_view input) {
  const std::u16string text(Trim(input));
  if (text.empty()) return ComposerFields{};
  const TermList tokens = TokenizeQuery(text);
  const std::u16string_view t = text;

  // Consumes `literal` at *pos when it is followed by a space or the end.
  auto take = [&](size_t* pos, std::u16string_view literal) {
    if (t.substr(*pos).substr(0, literal.size()) != literal) return false;
    const size_t end = *pos + literal.size();
    if (end != t.size() && t[end] != u' ') return false;
    *pos = end == t.size() ? end : end + 1;
    return true;
  };

  // The variants: the first plain term as the name pattern or as a further condition; a root
  // folder's trailing backslash as written by the composer or typed; a partial path's "*\"
  // likewise. The first variant that composes the text again wins.
  for (int variant = 0; variant < 8; ++variant) {
    const bool use_pattern = (variant & 1) == 0, strip_root = (variant & 2) == 0, strip_partial = (variant & 4) == 0;
    ComposerFields f;
    size_t pos = 0, idx = 0;
    if (idx < tokens.size() && tokens[idx].size() >= 2 && tokens[idx][1] == u':' && take(&pos, tokens[idx])) {
      f.root_dir = tokens[idx++];
      if (strip_root && f.root_dir.size() > 3 && f.root_dir.back() == u'\\') f.root_dir.pop_back();
    }
    if (idx < tokens.size() && HasChar(tokens[idx], u'\\') && !(tokens[idx].size() >= 2 && tokens[idx][1] == u':') &&
        (take(&pos, u"\"" + tokens[idx] + u"\"") || take(&pos, tokens[idx]))) {
      f.partial_path = tokens[idx++];
      const std::u16string_view p = f.partial_path;
      if (strip_partial && p.size() > 2 && p.substr(p.size() - 2) == u"*\\") f.partial_path.resize(p.size() - 2);
    }
    if (idx < tokens.size() && (tokens[idx] == u"/f" || tokens[idx] == u"/d") && take(&pos, tokens[idx])) {
      f.type = tokens[idx++] == u"/f" ? 1 : 2;
    }
    if (idx < tokens.size() && (tokens[idx] == u"/online" || tokens[idx] == u"/offline") && take(&pos, tokens[idx])) {
      f.drive = tokens[idx++] == u"/online" ? DriveStatus::kOnline : DriveStatus::kOffline;
    }
    size_t back = tokens.size(), end = t.size();
    auto take_back = [&](std::u16string_view prefix, bool (*read)(std::u16string_view, ComposerFields*)) {
      if (back <= idx) return;
      const std::u16string& tok = tokens[back - 1];
      if (tok.substr(0, prefix.size()) != prefix || t.substr(0, end).size() < tok.size() ||
          t.substr(end - tok.size(), tok.size()) != tok) {
        return;
      }
      ComposerFields trial = f;
      if (!read(std::u16string_view(tok).substr(prefix.size()), &trial)) return;
      f = trial;
      --back;
      end -= tok.size();
      if (end > 0 && t[end - 1] == u' ') --end;
    };
    take_back(u"/date:", ReadDates);
    take_back(u"/size:", ReadSizes);
    if (use_pattern && idx < back) {
      const std::u16string& p = tokens[idx];
      const bool spaced = HasChar(p, u' ');
      size_t after = pos;
      if (!p.empty() && p[0] != u'/' && p[0] != u'<' && p != u"|" &&
          take(&after, spaced ? u"\"" + p + u"\"" : std::u16string(p)) && ReadPattern(p, &f)) {
        pos = after;
        ++idx;
      }
    }
    if (pos < end) f.misc.assign(t.substr(pos, end - pos));
    if (ComposeFieldsQuery(f) == text) return f;
  }
  ComposerFields whole;
  whole.misc = text;
  return whole;
}

std::u16string WithSearchFolder(std::u16string_view text, std::u16string_view folder) {
  std::u16string_view rest = Trim(text);
  // A previous choice of the tree's root.
  if (rest == u"\\") rest = {};
  if (rest.substr(0, 2) == u"\\ ") rest = Trim(rest.substr(2));
  ComposerFields f = FieldsFromQuery(rest);
  // Absolute folders among the further conditions go as well: the chosen folder replaces them.
  for (const std::u16string& token : TokenizeQuery(f.misc)) {
    if (token.size() < 2 || token[1] != u':') continue;
    size_t at = f.misc.find(u"\"" + token + u"\"");
    size_t len = token.size() + 2;
    if (at == std::u16string::npos) at = f.misc.find(token), len = token.size();
    if (at == std::u16string::npos) continue;
    f.misc.erase(at, len);
    if (at < f.misc.size() && f.misc[at] == u' ') f.misc.erase(at, 1);
    else if (at > 0 && at == f.misc.size() && f.misc[at - 1] == u' ') f.misc.erase(at - 1, 1);
  }
  if (folder == u"\\") {
    f.root_dir.clear();
    const std::u16string others = ComposeFieldsQuery(f);
    return others.empty() ? u"\\" : u"\\ " + others;
  }
  f.root_dir = folder;
  return ComposeFieldsQuery(f);
}

namespace {

// A decimal integer with an optional minus sign filling the whole text, within int range.
std::optional<int> ReadInt(std::u16string_view s) {
  const bool negative = !s.empty() && s[0] == u'-';
  if (negative) s.remove_prefix(1);
  if (s.empty() || s.size() > 9) return std::nullopt;
  int v = 0;
  for (char16_t c : s) {
    if (c < u'0' || c > u'9') return std::nullopt;
    v = v * 10 + (c - u'0');
  }
  return negative ? -v : v;
}

}  // namespace

std::optional<WindowPos> ParseWindowPos(std::u16string_view text) {
  const size_t comma = text.find(u',');
  if (comma == std::u16string_view::npos) return std::nullopt;
  const std::optional<int> left = ReadInt(Trim(text.substr(0, comma))), top = ReadInt(Trim(text.substr(comma + 1)));
  if (!left || !top) return std::nullopt;
  return WindowPos{*left, *top};
}

std::u16string WindowPosText(WindowPos pos) {
  auto num = [](int v) {
    std::u16string s;
    const bool negative = v < 0;
    long long x = negative ? -static_cast<long long>(v) : v;
    do {
      s.insert(s.begin(), char16_t(u'0' + x % 10));
      x /= 10;
    } while (x > 0);
    return negative ? u"-" + s : s;
  };
  return num(pos.left) + u"," + num(pos.top);
}

}  // namespace nusk
