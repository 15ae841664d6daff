// One HTTP/1.x request head and its parser. The parser is a pure function over the bytes
// received so far, so it is tested and fuzzed without sockets.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace nusk::http {

// Limits that keep one client from tying up memory.
constexpr size_t kMaxHeadBytes = 16 * 1024;  // request line + headers
constexpr size_t kMaxHeaders = 100;
constexpr size_t kMaxBodyBytes = 1024 * 1024;

struct Header {
  std::string name;
  std::string value;
};

struct Request {
  std::string method;        // "GET", "POST", ...
  std::string target;        // the request target exactly as sent ("/a%20b?q=1")
  std::string uri;           // path: percent-decoded once ('+' kept) and normalised
  std::string http_version;  // "1.0" or "1.1"
  std::string query_string;  // the part after '?', still encoded
  bool has_query = false;    // a '?' was present (the query string may still be empty)
  std::vector<Header> headers;
  size_t content_length = 0;
  std::string body;

  // Value of the first header with this name (compared without case), or null.
  const std::string* FindHeader(std::string_view name) const;
  // Whether the client asked to keep the connection open after this request.
  bool WantsKeepAlive() const;
};

enum class ParseState { kIncomplete, kDone, kError };

struct ParseResult {
  ParseState state = ParseState::kIncomplete;
  size_t head_bytes = 0;  // kDone: bytes of the head including the blank line
  int error_status = 0;   // kError: the status to answer (400, 413, 414, 431, 501, 505)
};

// Parses the head at the start of data. kIncomplete means more bytes are needed (and at
// most kMaxHeadBytes have been seen). Lines may end with CRLF or a bare LF.
ParseResult ParseRequestHead(std::string_view data, Request* request);

}  // namespace nusk::http
