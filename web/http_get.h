// A small HTTP/1.0 GET client for short text files (the update check's version file):
// "http://host[:port]/path" only, one request, the exchange with the server bounded by a
// deadline so a silent server never holds a thread for long.
#pragma once
#include <string>

#include "util/status.h"

namespace nusk::http {

struct UrlParts {
  std::string host;  // name or IPv4 literal; an IPv6 literal without its brackets
  uint16_t port = 80;
  std::string target;  // path and query, "/" at least
};
// Splits an "http://" address; false (with *error) for any other scheme, an empty or
// malformed host, a bad port, or characters that cannot go on a request line.
bool ParseHttpUrl(const std::string& url, UrlParts* parts, std::string* error);

// Fetches `url` and puts the body of a 200 answer into *body (at most max_body bytes; more
// fails). Fails on any other status, a broken answer, or when timeout_ms passes first.
// The name look-up before connecting is the system's and has no limit of its own: a caller
// that must answer in time waits on its own clock (see DetachedFetch in ui/update_check.h).
Status HttpGet(const std::string& url, int timeout_ms, size_t max_body, std::string* body);

}  // namespace nusk::http
