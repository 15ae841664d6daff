// HTTP digest authentication (RFC 2617, qop "auth", MD5) for one user name and password.
//
// Nonces are stateless: the decimal issue time followed by 20 decimal digits of a keyed
// MD5 over that time, so the server recognises its own nonces without storing them and
// refuses forged ones and those older than the lifetime (answered with stale=true, on
// which browsers retry without asking the user again). Not thread-safe; the HTTP layer
// uses one object on its polling thread.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "web/http_request.h"

namespace nusk::http {

constexpr const char* kRealm = "Nusk";

class DigestAuth {
 public:
  enum class Verdict {
    kPass,     // no user name configured, or correct credentials with a fresh nonce
    kMissing,  // no digest Authorization header
    kRejected, // wrong user, wrong response, unknown nonce, malformed header
    kStale,    // right credentials on a nonce of ours that has expired
  };

  // secret: key for nonces (random per server run); lifetime in seconds.
  DigestAuth(std::string secret, int64_t nonce_lifetime_seconds);

  // An empty user name turns the check off.
  void SetCredentials(std::string user, std::string password);
  bool enabled() const { return !user_.empty(); }

  // Checks the request's Authorization header at time now (seconds since 1970).
  // *user_seen receives the user name the client sent (for logging), if any.
  Verdict Check(const Request& request, int64_t now, std::string* user_seen) const;

  // A nonce issued at time now.
  std::string MakeNonce(int64_t now) const;

  // The 401 answer for a failed check: exact status line and challenge, no body; the
  // connection is closed after it.
  std::string Challenge(int64_t now, bool stale) const;

 private:
  std::string Mac(std::string_view time_digits) const;
  std::string secret_;
  int64_t lifetime_;
  std::string user_;
  std::string password_;
};

// Reads the name=value parameters of a "Digest ..." header value; values may be quoted
// (with backslash escapes) or bare tokens. Returns false when the text is malformed.
bool ParseDigestParams(std::string_view header_value, std::vector<Header>* params);

}  // namespace nusk::http
