// Fuzz target for the HTTP request parser and the text helpers it relies on: any input
// must parse to a request, "need more", or an error status, and never to a path that
// leaves the root or carries control characters.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "web/digest_auth.h"
#include "web/http_request.h"
#include "web/http_text.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

void CheckUri(const std::string& uri) {
  if (uri == "*") return;
  Check(!uri.empty() && uri[0] == '/');
  for (char c : uri) Check(c != '\0' && c != '\\');
  Check(uri.find("//") == std::string::npos);
  Check(uri.find("/../") == std::string::npos && uri.find("/./") == std::string::npos);
  Check(uri.size() < 3 || uri.compare(uri.size() - 3, 3, "/..") != 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  nusk::http::Request req;
  nusk::http::ParseResult r = nusk::http::ParseRequestHead(text, &req);
  switch (r.state) {
    case nusk::http::ParseState::kIncomplete:
      Check(size < nusk::http::kMaxHeadBytes);
      break;
    case nusk::http::ParseState::kError:
      Check(r.error_status >= 400 && r.error_status <= 505);
      break;
    case nusk::http::ParseState::kDone:
      Check(r.head_bytes <= size);
      Check(req.headers.size() <= nusk::http::kMaxHeaders);
      Check(req.content_length <= nusk::http::kMaxBodyBytes);
      CheckUri(req.uri);
      break;
  }
  std::string value;
  int n = nusk::http::GetVar(text, "q", &value);
  Check(n >= -3 && (n < 0 || static_cast<size_t>(n) == value.size()) && value.size() < 260);
  std::vector<nusk::http::Header> params;
  nusk::http::ParseDigestParams(text, &params);
  if (auto decoded = nusk::http::UrlDecode(text, false, true)) {
    if (auto normal = nusk::http::NormalizePath(*decoded)) CheckUri(*normal);
  }
  nusk::http::ParseHttpDate(text);
  return 0;
}
