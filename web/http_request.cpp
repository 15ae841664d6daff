#include "web/http_request.h"

#include <optional>

#include "web/http_text.h"

namespace nusk::http {

namespace {

// RFC 9110 token characters (method and header names).
bool IsTokenChar(char c) {
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
  return std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

bool IsToken(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s) {
    if (!IsTokenChar(c)) return false;
  }
  return true;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

ParseResult Fail(int status) {
  ParseResult r;
  r.state = ParseState::kError;
  r.error_status = status;
  return r;
}

// Splits the request line and fills method, target, version, uri and query.
int ParseRequestLine(std::string_view line, Request* req) {
  size_t sp1 = line.find(' ');
  if (sp1 == std::string_view::npos) return 400;
  size_t sp2 = line.find(' ', sp1 + 1);
  if (sp2 == std::string_view::npos || line.find(' ', sp2 + 1) != std::string_view::npos) return 400;
  std::string_view method = line.substr(0, sp1);
  std::string_view target = line.substr(sp1 + 1, sp2 - sp1 - 1);
  std::string_view version = line.substr(sp2 + 1);
  if (!IsToken(method) || target.empty()) return 400;
  if (version.size() != 8 || version.substr(0, 5) != "HTTP/" || version[6] != '.') return 400;
  if (version[5] != '1' || (version[7] != '0' && version[7] != '1')) {
    return (version[5] >= '0' && version[5] <= '9') ? 505 : 400;
  }
  for (char c : target) {
    if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F) return 400;
  }
  req->method = method;
  req->target = target;
  req->http_version = version.substr(5);
  if (method == "OPTIONS" && target == "*") {
    req->uri = "*";
    return 0;
  }
  size_t q = target.find('?');
  std::string_view path = target.substr(0, q);
  req->has_query = q != std::string_view::npos;
  req->query_string = req->has_query ? std::string(target.substr(q + 1)) : std::string();
  // Escaped control characters are kept: they are legal in file names, and every indexed
  // name must be reachable by its link. A NUL never is.
  std::optional<std::string> decoded = UrlDecode(path, false, false);
  if (!decoded || decoded->find('\0') != std::string::npos) return 400;
  std::optional<std::string> normal = NormalizePath(*decoded);
  if (!normal) return 400;
  req->uri = std::move(*normal);
  return 0;
}

int ParseHeaderLine(std::string_view line, Request* req) {
  if (line.front() == ' ' || line.front() == '\t') return 400;  // obsolete line folding
  size_t colon = line.find(':');
  if (colon == std::string_view::npos || !IsToken(line.substr(0, colon))) return 400;
  std::string_view value = Trim(line.substr(colon + 1));
  for (char c : value) {
    if ((static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7F) return 400;
  }
  if (req->headers.size() >= kMaxHeaders) return 431;
  req->headers.push_back({std::string(line.substr(0, colon)), std::string(value)});
  return 0;
}

// Content-Length (digits only; repeated values must agree) and Transfer-Encoding.
int CheckFraming(Request* req) {
  bool seen = false;
  for (const Header& h : req->headers) {
    if (EqualsIgnoreCase(h.name, "Transfer-Encoding")) return 501;  // chunked uploads are not accepted
    if (!EqualsIgnoreCase(h.name, "Content-Length")) continue;
    if (h.value.empty() || h.value.size() > 15) return h.value.empty() ? 400 : 413;
    size_t n = 0;
    for (char c : h.value) {
      if (c < '0' || c > '9') return 400;
      n = n * 10 + static_cast<size_t>(c - '0');
    }
    if (seen && n != req->content_length) return 400;
    seen = true;
    req->content_length = n;
  }
  return req->content_length > kMaxBodyBytes ? 413 : 0;
}

}  // namespace

const std::string* Request::FindHeader(std::string_view name) const {
  for (const Header& h : headers) {
    if (EqualsIgnoreCase(h.name, name)) return &h.value;
  }
  return nullptr;
}

bool Request::WantsKeepAlive() const {
  const std::string* connection = FindHeader("Connection");
  if (connection != nullptr) return EqualsIgnoreCase(*connection, "keep-alive");
  return http_version == "1.1";
}

ParseResult ParseRequestHead(std::string_view data, Request* req) {
  *req = Request();
  size_t pos = 0;
  // Clients may send stray empty lines between requests (RFC 9112, 2.2).
  while (pos < data.size() && (data[pos] == '\r' || data[pos] == '\n')) ++pos;
  bool first = true;
  for (;;) {
    size_t eol = data.find('\n', pos);
    if (eol == std::string_view::npos || eol >= kMaxHeadBytes) {
      if (data.size() < kMaxHeadBytes) return ParseResult();
      return Fail(first ? 414 : 431);
    }
    std::string_view line = data.substr(pos, eol - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    pos = eol + 1;
    if (first) {
      int status = ParseRequestLine(line, req);
      if (status != 0) return Fail(status);
      first = false;
      continue;
    }
    if (line.empty()) break;
    int status = ParseHeaderLine(line, req);
    if (status != 0) return Fail(status);
  }
  int status = CheckFraming(req);
  if (status != 0) return Fail(status);
  ParseResult r;
  r.state = ParseState::kDone;
  r.head_bytes = pos;
  return r;
}

}  // namespace nusk::http
