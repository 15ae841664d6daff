#include "web/digest_auth.h"

#include <cstdio>

#include "web/http_text.h"
#include "web/md5.h"

namespace nusk::http {

namespace {

constexpr size_t kMacDigits = 20;
constexpr size_t kSequenceDigits = 10;

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
constexpr size_t kMaxParamBytes = 16384;

const std::string* Param(const std::vector<Header>& params, std::string_view name) {
  for (const Header& p : params) {
    if (EqualsIgnoreCase(p.name, name)) return &p.value;
  }
  return nullptr;
}

std::string Lowercase(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

}  // namespace

bool ParseDigestParams(std::string_view s, std::vector<Header>* params) {
  params->clear();
  size_t i = 0;
  auto skip_space = [&] {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == ',')) ++i;
  };
  skip_space();
  while (i < s.size()) {
    size_t start = i;
    while (i < s.size() && s[i] != '=' && s[i] != ',' && s[i] != ' ') ++i;
    if (i >= s.size() || s[i] != '=' || i == start) return false;
    Header p;
    p.name = s.substr(start, i - start);
    ++i;
    if (i < s.size() && s[i] == '"') {
      ++i;
      for (;;) {
        if (i >= s.size()) return false;  // unterminated quote
        char c = s[i++];
        if (c == '"') break;
        if (c == '\\') {
          if (i >= s.size()) return false;
          c = s[i++];
        }
        p.value += c;
      }
    } else {
      start = i;
      while (i < s.size() && s[i] != ',' && s[i] != ' ') ++i;
      p.value = s.substr(start, i - start);
    }
    if (p.value.size() > kMaxParamBytes) return false;
    params->push_back(std::move(p));
    skip_space();
  }
  return true;
}

DigestAuth::DigestAuth(std::string secret, int64_t lifetime, size_t max_tracked)
    : secret_(std::move(secret)), lifetime_(lifetime), max_tracked_(max_tracked == 0 ? 1 : max_tracked) {}

void DigestAuth::SetCredentials(std::string user, std::string password) {
  user_ = std::move(user);
  password_ = std::move(password);
}

std::string DigestAuth::Mac(std::string_view digits) const {
  // Key on both sides so the value cannot be extended (MD5 is a plain Merkle-Damgard hash).
  std::string hex = Md5Hex(secret_ + ":" + std::string(digits) + ":" + secret_);
  unsigned long long v = std::stoull(hex.substr(0, 16), nullptr, 16);
  char buf[32];
  std::snprintf(buf, sizeof(buf), "%020llu", v);
  return buf;
}

std::string DigestAuth::MakeNonce(int64_t now) {
  char sequence[16];
  std::snprintf(sequence, sizeof(sequence), "%010llu",
                static_cast<unsigned long long>(next_sequence_++ % 10000000000ULL));
  std::string digits = std::to_string(now < 0 ? 0 : now) + sequence;
  return digits + Mac(digits);
}

std::string DigestAuth::Challenge(int64_t now, bool stale) {
  return std::string("HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Digest qop=\"auth\", realm=\"") + kRealm +
         "\", nonce=\"" + MakeNonce(now) + "\"" + (stale ? ", stale=true" : "") + "\r\n\r\n";
}

bool DigestAuth::TakeCount(uint64_t sequence, int64_t issued, int64_t now, uint32_t nc) {
  if (nc == 0 || sequence < forgotten_below_) return false;
  auto it = used_.find(sequence);
  if (it == used_.end()) {
    // Expired nonces go first; then, when still full, the oldest one.
    while (!used_.empty() && now - used_.begin()->second.issued > lifetime_) used_.erase(used_.begin());
    while (used_.size() >= max_tracked_) {
      forgotten_below_ = used_.begin()->first + 1;
      used_.erase(used_.begin());
    }
    if (sequence < forgotten_below_) return false;
    used_[sequence] = Counts{issued, nc, 1};
    return true;
  }
  Counts& c = it->second;
  if (nc > c.highest) {
    uint32_t shift = nc - c.highest;
    c.window = shift >= 64 ? 1 : (c.window << shift) | 1;
    c.highest = nc;
    return true;
  }
  uint32_t back = c.highest - nc;
  if (back >= 64 || (c.window >> back) & 1) return false;
  c.window |= uint64_t{1} << back;
  return true;
}

DigestAuth::Verdict DigestAuth::Check(const Request& req, int64_t now, std::string* user_seen) {
  user_seen->clear();
  if (user_.empty()) return Verdict::kPass;
  const std::string* header = req.FindHeader("Authorization");
  if (header == nullptr || !StartsWithIgnoreCase(*header, "Digest ")) return Verdict::kMissing;
  std::vector<Header> params;
  if (!ParseDigestParams(std::string_view(*header).substr(7), &params)) return Verdict::kRejected;
  const std::string* user = Param(params, "username");
  const std::string* cnonce = Param(params, "cnonce");
  const std::string* response = Param(params, "response");
  const std::string* uri = Param(params, "uri");
  const std::string* qop = Param(params, "qop");
  const std::string* nc = Param(params, "nc");
  const std::string* nonce = Param(params, "nonce");
  if (user) *user_seen = *user;
  if (!user || !cnonce || !response || !uri || !qop || !nc || !nonce) return Verdict::kRejected;
  // The digest covers the header's uri, so it must be the target of this very request;
  // otherwise a captured header would open any other path.
  if (*uri != req.target) return Verdict::kRejected;
  std::string ha1 = Md5Hex(*user + ":" + kRealm + ":" + password_);
  std::string ha2 = Md5Hex(req.method + ":" + *uri);
  std::string expected = Md5Hex(ha1 + ":" + *nonce + ":" + *nc + ":" + *cnonce + ":" + *qop + ":" + ha2);
  bool user_ok = ConstantTimeEquals(*user, user_);
  bool response_ok = ConstantTimeEquals(Lowercase(*response), expected);
  if (!user_ok || !response_ok) return Verdict::kRejected;
  // Our own nonce? Decimal time, the sequence digits, then the MAC digits.
  if (nonce->size() <= kSequenceDigits + kMacDigits || nonce->size() > kSequenceDigits + kMacDigits + 18) {
    return Verdict::kRejected;
  }
  const size_t signed_size = nonce->size() - kMacDigits;
  for (char c : std::string_view(*nonce).substr(0, signed_size)) {
    if (c < '0' || c > '9') return Verdict::kRejected;
  }
  if (!ConstantTimeEquals(std::string_view(*nonce).substr(signed_size),
                          Mac(std::string_view(*nonce).substr(0, signed_size)))) {
    return Verdict::kRejected;
  }
  const size_t time_size = signed_size - kSequenceDigits;
  int64_t issued = std::stoll(nonce->substr(0, time_size));
  uint64_t sequence = std::stoull(nonce->substr(time_size, kSequenceDigits));
  if (issued > now + 5) return Verdict::kRejected;  // from the future: not one of ours
  if (now - issued > lifetime_) return Verdict::kStale;
  // nc: the client's request counter for this nonce, 8 hexadecimal digits.
  if (nc->empty() || nc->size() > 8) return Verdict::kRejected;
  uint32_t count = 0;
  for (char c : *nc) {
    int v = HexDigitValue(c);
    if (v < 0) return Verdict::kRejected;
    count = count * 16 + static_cast<uint32_t>(v);
  }
  // A count already used with this nonce is a replay: a fresh nonce is needed.
  if (!TakeCount(sequence, issued, now, count)) return Verdict::kStale;
  return Verdict::kPass;
}

}  // namespace nusk::http
