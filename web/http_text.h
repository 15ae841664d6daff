// Small text helpers of the HTTP layer: URL decoding, path normalisation, form
// variables, reason phrases, content types and HTTP dates. Pure functions, any thread.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace nusk::http {

// Decodes %XX escapes; with plus_is_space, '+' becomes ' '. Fails (nullopt) on a broken
// escape, and with reject_controls also on any byte below 0x20 or 0x7F (a path with
// those is never legitimate and could split a header it is echoed into).
std::optional<std::string> UrlDecode(std::string_view text, bool plus_is_space, bool reject_controls);

// Percent-encodes every byte of `text` except unreserved characters (letters, digits, "-._~")
// and those in `also_plain`; with an empty `also_plain` the result fits a query-string value.
std::string PercentEncode(std::string_view text, std::string_view also_plain);
// Percent-encodes everything in a path except unreserved characters and "/:@!$&'()*+,;=".
std::string EncodePath(std::string_view path);

// Normalises a decoded request path: '/' and '\' both separate segments, empty and "."
// segments vanish, ".." removes the segment before it. A trailing separator is kept.
// Fails (nullopt) when ".." would climb above the root or the path does not start with '/'.
// Because this runs on the decoded path, "%2e%2e" and "%2f" get no second chance.
std::optional<std::string> NormalizePath(std::string_view decoded);

// Form variable lookup in "a=1&b=2" data: the name matches without regard to case, only
// at the start or after '&'. The value is decoded ('+' = space) into *value.
// Returns the value's length, -1 when absent, -2 when it has max_bytes or more bytes
// (then *value is empty), -3 when its escapes are broken.
int GetVar(std::string_view data, std::string_view name, std::string* value, size_t max_bytes = 260);

// Standard reason phrase, "Server Error" for unknown codes.
const char* ReasonPhrase(int code);

// Content type by file extension (compared without case); "text/plain" when unknown.
std::string_view ContentTypeFor(std::string_view path);

// "Sun, 06 Nov 1994 08:49:37 GMT" for seconds since 1970 (C-locale names, always UTC).
std::string FormatHttpDate(int64_t unix_seconds);
// Parses the form above; nullopt for anything else (then the date is simply not used).
std::optional<int64_t> ParseHttpDate(std::string_view text);

// ASCII case-insensitive comparisons for header names and tokens.
bool EqualsIgnoreCase(std::string_view a, std::string_view b);
bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix);
bool EndsWithIgnoreCase(std::string_view text, std::string_view suffix);

// Equality whose time depends only on the lengths, not on where the texts differ.
bool ConstantTimeEquals(std::string_view a, std::string_view b);

// A TCP port written in decimal digits only (no sign, no spaces), 0..65535.
bool ParsePortNumber(std::string_view text, uint16_t* port);

}  // namespace nusk::http
