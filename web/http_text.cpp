#include "web/http_text.h"

#include <cstdio>

namespace nusk::http {

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

constexpr const char* kDays[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int64_t* y, unsigned* m, unsigned* d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  *d = doy - (153 * mp + 2) / 5 + 1;
  *m = mp < 10 ? mp + 3 : mp - 9;
  *y = static_cast<int64_t>(yoe) + era * 400 + (*m <= 2);
}

bool ParseDigits(std::string_view s, int* out) {
  if (s.empty()) return false;
  int v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  *out = v;
  return true;
}

}  // namespace

std::optional<std::string> UrlDecode(std::string_view text, bool plus_is_space, bool reject_controls) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '%') {
      if (i + 2 >= text.size()) return std::nullopt;
      int hi = HexValue(text[i + 1]), lo = HexValue(text[i + 2]);
      if (hi < 0 || lo < 0) return std::nullopt;
      c = static_cast<char>(hi * 16 + lo);
      i += 2;
    } else if (c == '+' && plus_is_space) {
      c = ' ';
    }
    if (reject_controls && (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)) return std::nullopt;
    out += c;
  }
  return out;
}

std::string PercentEncode(std::string_view text, std::string_view also_plain) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
                 c == '_' || c == '~' || also_plain.find(static_cast<char>(c)) != std::string_view::npos;
    if (plain) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

std::string EncodePath(std::string_view path) { return PercentEncode(path, "/:@!$&'()*+,;="); }

std::optional<std::string> NormalizePath(std::string_view decoded) {
  if (decoded.empty() || (decoded[0] != '/' && decoded[0] != '\\')) return std::nullopt;
  std::string out = "/";
  size_t i = 0;
  while (i < decoded.size()) {
    while (i < decoded.size() && (decoded[i] == '/' || decoded[i] == '\\')) ++i;
    size_t start = i;
    while (i < decoded.size() && decoded[i] != '/' && decoded[i] != '\\') ++i;
    std::string_view seg = decoded.substr(start, i - start);
    if (seg.empty() || seg == ".") continue;
    if (seg == "..") {
      if (out.size() == 1) return std::nullopt;  // above the root
      out.pop_back();                            // the separator after the last segment
      out.resize(out.rfind('/') + 1);
      continue;
    }
    out.append(seg);
    out += '/';
  }
  // out now ends with '/'; keep it only when the request had a trailing separator.
  char last = decoded.back();
  bool trailing = last == '/' || last == '\\' || (decoded.size() >= 2 && decoded.substr(decoded.size() - 2) == "/.") ||
                  (decoded.size() >= 3 && decoded.substr(decoded.size() - 3) == "/..");
  if (out.size() > 1 && !trailing) out.pop_back();
  return out;
}

int GetVar(std::string_view data, std::string_view name, std::string* value, size_t max_bytes) {
  value->clear();
  if (name.empty()) return -1;
  size_t pos = 0;
  while (pos <= data.size()) {
    size_t end = data.find('&', pos);
    if (end == std::string_view::npos) end = data.size();
    std::string_view pair = data.substr(pos, end - pos);
    if (pair.size() > name.size() && pair[name.size()] == '=' && EqualsIgnoreCase(pair.substr(0, name.size()), name)) {
      std::optional<std::string> decoded = UrlDecode(pair.substr(name.size() + 1), true, false);
      if (!decoded) return -3;
      if (decoded->size() >= max_bytes) return -2;
      *value = std::move(*decoded);
      return static_cast<int>(value->size());
    }
    pos = end + 1;
  }
  return -1;
}

const char* ReasonPhrase(int code) {
  switch (code) {
    case 100: return "Continue";
    case 101: return "Switching Protocols";
    case 102: return "Processing";
    case 200: return "OK";
    case 201: return "Created";
    case 202: return "Accepted";
    case 203: return "Non-Authoritative Information";
    case 204: return "No Content";
    case 205: return "Reset Content";
    case 206: return "Partial Content";
    case 207: return "Multi-Status";
    case 300: return "Multiple Choices";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 303: return "See Other";
    case 304: return "Not Modified";
    case 305: return "Use Proxy";
    case 307: return "Temporary Redirect";
    case 308: return "Permanent Redirect";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 402: return "Payment Required";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 406: return "Not Acceptable";
    case 407: return "Proxy Authentication Required";
    case 408: return "Request Timeout";
    case 409: return "Conflict";
    case 410: return "Gone";
    case 411: return "Length Required";
    case 412: return "Precondition Failed";
    case 413: return "Payload Too Large";
    case 414: return "URI Too Long";
    case 415: return "Unsupported Media Type";
    case 416: return "Range Not Satisfiable";
    case 417: return "Expectation Failed";
    case 422: return "Unprocessable Entity";
    case 423: return "Locked";
    case 424: return "Failed Dependency";
    case 426: return "Upgrade Required";
    case 428: return "Precondition Required";
    case 429: return "Too Many Requests";
    case 431: return "Request Header Fields Too Large";
    case 500: return "Internal Server Error";
    case 501: return "Not Implemented";
    case 502: return "Bad Gateway";
    case 503: return "Service Unavailable";
    case 504: return "Gateway Timeout";
    case 505: return "HTTP Version Not Supported";
    case 507: return "Insufficient Storage";
    default: return "Server Error";
  }
}

std::string_view ContentTypeFor(std::string_view path) {
  struct Row {
    const char* ext;
    const char* type;
  };
  static const Row kRows[] = {
      {".html", "text/html"},
      {".htm", "text/html"},
      {".shtm", "text/html"},
      {".shtml", "text/html"},
      {".css", "text/css"},
      {".js", "application/x-javascript"},
      {".ico", "image/x-icon"},
      {".gif", "image/gif"},
      {".jpg", "image/jpeg"},
      {".jpeg", "image/jpeg"},
      {".png", "image/png"},
      {".svg", "image/svg+xml"},
      {".txt", "text/plain"},
      {".torrent", "application/x-bittorrent"},
      {".wav", "audio/x-wav"},
      {".mp3", "audio/x-mp3"},
      {".mid", "audio/mid"},
      {".m3u", "audio/x-mpegurl"},
      {".ogg", "application/ogg"},
      {".ram", "audio/x-pn-realaudio"},
      {".xml", "text/xml"},
      {".json", "application/json"},
      {".xslt", "application/xml"},
      {".xsl", "application/xml"},
      {".ra", "audio/x-pn-realaudio"},
      {".doc", "application/msword"},
      {".exe", "application/octet-stream"},
      {".zip", "application/x-zip-compressed"},
      {".xls", "application/excel"},
      {".tgz", "application/x-tar-gz"},
      {".tar", "application/x-tar"},
      {".gz", "application/x-gunzip"},
      {".arj", "application/x-arj-compressed"},
      {".rar", "application/x-rar-compressed"},
      {".rtf", "application/rtf"},
      {".pdf", "application/pdf"},
      {".swf", "application/x-shockwave-flash"},
      {".mpg", "video/mpeg"},
      {".webm", "video/webm"},
      {".mpeg", "video/mpeg"},
      {".mov", "video/quicktime"},
      {".mp4", "video/mp4"},
      {".m4v", "video/x-m4v"},
      {".asf", "video/x-ms-asf"},
      {".avi", "video/x-msvideo"},
      {".bmp", "image/bmp"},
      {".ttf", "application/x-font-ttf"},
      {".wmv", "video/x-ms-wmv"},
      {".mkv", "video/x-matroska"},
  };
  for (const Row& row : kRows) {
    if (EndsWithIgnoreCase(path, row.ext)) return row.type;
  }
  return "text/plain";
}

std::string FormatHttpDate(int64_t t) {
  int64_t days = t >= 0 ? t / 86400 : (t - 86399) / 86400;
  int64_t secs = t - days * 86400;
  int64_t y;
  unsigned m, d;
  CivilFromDays(days, &y, &m, &d);
  int weekday = static_cast<int>(((days % 7) + 11) % 7);  // 1970-01-01 was a Thursday
  char buf[64];
  std::snprintf(buf, sizeof(buf), "%s, %02u %s %04lld %02d:%02d:%02d GMT", kDays[weekday], d, kMonths[m - 1],
                static_cast<long long>(y), static_cast<int>(secs / 3600), static_cast<int>(secs / 60 % 60),
                static_cast<int>(secs % 60));
  return buf;
}

std::optional<int64_t> ParseHttpDate(std::string_view s) {
  // "Sun, 06 Nov 1994 08:49:37 GMT": fixed positions.
  if (s.size() != 29 || s[3] != ',' || s[4] != ' ' || s[7] != ' ' || s[11] != ' ' || s[16] != ' ' || s[19] != ':' ||
      s[22] != ':' || s.substr(25) != " GMT") {
    return std::nullopt;
  }
  int day, year, hh, mm, ss;
  if (!ParseDigits(s.substr(5, 2), &day) || !ParseDigits(s.substr(12, 4), &year) ||
      !ParseDigits(s.substr(17, 2), &hh) || !ParseDigits(s.substr(20, 2), &mm) || !ParseDigits(s.substr(23, 2), &ss)) {
    return std::nullopt;
  }
  int month = -1;
  for (int i = 0; i < 12; ++i) {
    if (s.substr(8, 3) == kMonths[i]) month = i + 1;
  }
  if (month < 0 || day < 1 || day > 31 || hh > 23 || mm > 59 || ss > 60) return std::nullopt;
  return DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) * 86400 + hh * 3600 + mm * 60 +
         ss;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

bool EndsWithIgnoreCase(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && EqualsIgnoreCase(text.substr(text.size() - suffix.size()), suffix);
}

bool ConstantTimeEquals(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  unsigned char diff = 0;
  for (size_t i = 0; i < a.size(); ++i) diff |= static_cast<unsigned char>(a[i] ^ b[i]);
  return diff == 0;
}

bool ParsePortNumber(std::string_view text, uint16_t* port) {
  if (text.empty() || text.size() > 5) return false;
  unsigned v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<unsigned>(c - '0');
  }
  if (v > 65535) return false;
  *port = static_cast<uint16_t>(v);
  return true;
}

}  // namespace nusk::http
