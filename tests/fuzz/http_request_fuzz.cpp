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
#include "web/md5.h"

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
    case nusk::http::ParseState::kIncomplete: Check(size < nusk::http::kMaxHeadBytes); break;
    case nusk::http::ParseState::kError: Check(r.error_status >= 400 && r.error_status <= 505); break;
    case nusk::http::ParseState::kDone:
      Check(r.head_bytes <= size);
      Check(req.headers.size() <= nusk::http::kMaxHeaders);
      Check(req.content_length <= nusk::http::kMaxBodyBytes);
      CheckUri(req.uri);
      break;
  }
  if (r.state == nusk::http::ParseState::kDone) {
    // Whatever the header holds, a check passes only for the configured user, and the
    // same header never passes twice.
    nusk::http::DigestAuth auth("fuzz", 300, 4);
    auth.SetCredentials("joe", "pw");
    std::string seen;
    for (int i = 0; i < 2; ++i) {
      auto v = auth.Check(req, 1000, &seen);
      Check(v != nusk::http::DigestAuth::Verdict::kPass || (i == 0 && seen == "joe"));
    }
    // A correct digest with a nonce count taken from the input: it may pass once, and the
    // same header never again.
    nusk::http::Request signed_req = req;
    const std::string nonce = auth.MakeNonce(1000);
    const std::string nc = req.query_string.substr(0, 10);
    const std::string ha1 = nusk::Md5Hex("joe:Nusk:pw"), ha2 = nusk::Md5Hex(req.method + ":" + req.target);
    const std::string response = nusk::Md5Hex(ha1 + ":" + nonce + ":" + nc + ":c:auth:" + ha2);
    signed_req.headers.insert(signed_req.headers.begin(),
                              {"Authorization", "Digest username=joe, nonce=" + nonce + ", uri=\"" + req.target +
                                                    "\", qop=auth, nc=\"" + nc + "\", cnonce=c, response=" + response});
    const bool plain_count = !nc.empty() && nc.find_first_of("\"\\") == std::string::npos &&
                             req.target.find_first_of("\"\\") == std::string::npos;
    auto first = auth.Check(signed_req, 1000, &seen);
    if (plain_count) Check(auth.Check(signed_req, 1000, &seen) != nusk::http::DigestAuth::Verdict::kPass);
    (void)first;
    Check(auth.tracked_nonces() <= 4);
    for (const char* name : {"q", "from", "to", "showSize", "file"}) {
      std::string v;
      int got = nusk::http::GetVar(req.query_string, name, &v, 1041);
      Check(got >= -3 && (got < 0 || (static_cast<size_t>(got) == v.size() && v.size() < 1041)));
    }
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
