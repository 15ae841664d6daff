// HTTP digest authentication (RFC 2617, qop "auth", MD5) for one user name and password.
//
// Nonces: the decimal issue time, a 10-digit sequence number and 20 decimal digits of a
// keyed MD5 over both, so the server recognises its own nonces without storing them and
// refuses forged ones and those older than the lifetime (answered with stale=true, on
// which browsers retry without asking the user again). Against replay, the nonce counts
// ("nc") used with each nonce are tracked in a bounded table: a count already used with a
// nonce is refused as stale, so a captured header cannot be sent again. Counts may arrive
// somewhat out of order (parallel connections): any unused count within the last 64 below
// the highest is still taken. When the table is full the oldest nonce is forgotten and
// every nonce issued up to it is treated as stale from then on. Not thread-safe; the HTTP
// layer uses one object on its polling thread.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "web/http_request.h"

namespace nusk::http {

constexpr const char* kRealm = "Nusk";

class DigestAuth {
 public:
  enum class Verdict {
    kPass,      // no user name configured, or correct credentials with a fresh nonce
    kMissing,   // no digest Authorization header
    kRejected,  // wrong user, wrong response, unknown nonce, malformed header
    kStale,     // right credentials on a nonce of ours that has expired
  };

  // secret: key for nonces (random per server run); lifetime in seconds; max_tracked:
  // how many nonces' counts are remembered at once.
  DigestAuth(std::string secret, int64_t nonce_lifetime_seconds, size_t max_tracked = 4096);

  // An empty user name turns the check off.
  void SetCredentials(std::string user, std::string password);
  bool enabled() const { return !user_.empty(); }

  // Checks the request's Authorization header at time now (seconds since 1970) and, on
  // success, records its nonce count. *user_seen receives the user name the client sent
  // (for logging), if any.
  Verdict Check(const Request& request, int64_t now, std::string* user_seen);

  // A new nonce issued at time now (each call gives a different one).
  std::string MakeNonce(int64_t now);

  // The 401 answer for a failed check, with a new nonce: exact status line and challenge,
  // no body; the connection is closed after it.
  std::string Challenge(int64_t now, bool stale);

  size_t tracked_nonces() const { return used_.size(); }

 private:
  struct Counts {
    int64_t issued = 0;
    uint32_t highest = 0;  // highest nc taken
    uint64_t window = 0;   // bit i: highest - i was taken
  };
  std::string Mac(std::string_view digits) const;
  // Records nc for the nonce with this sequence number; false when it is a replay or the
  // nonce is too old to be tracked.
  bool TakeCount(uint64_t sequence, int64_t issued, int64_t now, uint32_t nc);

  std::string secret_;
  int64_t lifetime_;
  size_t max_tracked_;
  std::string user_;
  std::string password_;
  uint64_t next_sequence_ = 1;
  uint64_t forgotten_below_ = 0;  // sequences below this are no longer tracked
  std::map<uint64_t, Counts> used_;
};

// Reads the name=value parameters of a "Digest ..." header value; values may be quoted
// (with backslash escapes) or bare tokens. Returns false when the text is malformed.
bool ParseDigestParams(std::string_view header_value, std::vector<Header>* params);

}  // namespace nusk::http
