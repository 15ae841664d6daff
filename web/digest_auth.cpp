#include "web/digest_auth.h"

#include <cstdio>

#include "web/http_text.h"
#include "web/md5.h"

namespace nusk::http {

namespace {

constexpr size_t kMacDigits = 20;
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

DigestAuth::DigestAuth(std::string secret, int64_t lifetime) : secret_(std::move(secret)), lifetime_(lifetime) {}

void DigestAuth::SetCredentials(std::string user, std::string password) {
  user_ = std::move(user);
  password_ = std::move(password);
}

std::string DigestAuth::Mac(std::string_view time_digits) const {
  // Key on both sides so the value cannot be extended (MD5 is a plain Merkle-Damgard hash).
  std::string hex = Md5Hex(secret_ + ":" + std::string(time_digits) + ":" + secret_);
  unsigned long long v = std::stoull(hex.substr(0, 16), nullptr, 16);
  char buf[32];
  std::snprintf(buf, sizeof(buf), "%020llu", v);
  return buf;
}

std::string DigestAuth::MakeNonce(int64_t now) const {
  std::string t = std::to_string(now < 0 ? 0 : now);
  return t + Mac(t);
}

std::string DigestAuth::Challenge(int64_t now, bool stale) const {
  return std::string("HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Digest qop=\"auth\", realm=\"") + kRealm +
         "\", nonce=\"" + MakeNonce(now) + "\"" + (stale ? ", stale=true" : "") + "\r\n\r\n";
}

DigestAuth::Verdict DigestAuth::Check(const Request& req, int64_t now, std::string* user_seen) const {
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
  // Our own nonce? Decimal time then the MAC digits.
  if (nonce->size() <= kMacDigits || nonce->size() > kMacDigits + 18) return Verdict::kRejected;
  std::string_view time_digits = std::string_view(*nonce).substr(0, nonce->size() - kMacDigits);
  for (char c : time_digits) {
    if (c < '0' || c > '9') return Verdict::kRejected;
  }
  if (!ConstantTimeEquals(std::string_view(*nonce).substr(time_digits.size()), Mac(time_digits))) {
    return Verdict::kRejected;
  }
  int64_t issued = std::stoll(std::string(time_digits));
  if (issued > now + 5) return Verdict::kRejected;  // from the future: not one of ours
  if (now - issued > lifetime_) return Verdict::kStale;
  return Verdict::kPass;
}

}  // namespace nusk::http
