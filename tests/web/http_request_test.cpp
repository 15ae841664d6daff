// Request-head parsing: fields, limits and malformed input; digest parameters and checks.
#include <gtest/gtest.h>

#include "web/digest_auth.h"
#include "web/http_request.h"
#include "web/md5.h"

namespace nusk::http {
namespace {

ParseResult Parse(std::string_view text, Request* req) { return ParseRequestHead(text, req); }

TEST(RequestParseTest, FieldsOfAGetRequest) {
  Request req;
  std::string head = "GET /C:/My%20Docs/a+b.txt?q=x%20y&from=2 HTTP/1.1\r\nHost: h\r\nX-A:  spaced value \r\n\r\nrest";
  ParseResult r = Parse(head, &req);
  ASSERT_EQ(r.state, ParseState::kDone);
  EXPECT_EQ(r.head_bytes, head.size() - 4);
  EXPECT_EQ(req.method, "GET");
  EXPECT_EQ(req.uri, "/C:/My Docs/a+b.txt");
  EXPECT_EQ(req.target, "/C:/My%20Docs/a+b.txt?q=x%20y&from=2");
  EXPECT_EQ(req.query_string, "q=x%20y&from=2");
  EXPECT_TRUE(req.has_query);
  EXPECT_EQ(req.http_version, "1.1");
  ASSERT_NE(req.FindHeader("x-a"), nullptr);
  EXPECT_EQ(*req.FindHeader("X-A"), "spaced value");
  EXPECT_EQ(req.FindHeader("Cookie"), nullptr);
}

TEST(RequestParseTest, IncompleteUntilTheBlankLine) {
  Request req;
  EXPECT_EQ(Parse("", &req).state, ParseState::kIncomplete);
  EXPECT_EQ(Parse("GET / HTTP/1.1\r\nHost: h\r\n", &req).state, ParseState::kIncomplete);
  EXPECT_EQ(Parse("GET / HTTP/1.1\nHost: h\n\n", &req).state, ParseState::kDone);
  EXPECT_EQ(Parse("\r\n\r\nGET / HTTP/1.0\r\n\r\n", &req).state, ParseState::kDone);
  EXPECT_EQ(req.http_version, "1.0");
}

TEST(RequestParseTest, KeepAliveRules) {
  for (auto [head, keep] : {std::pair{"GET / HTTP/1.1\r\n\r\n", true},
                            {"GET / HTTP/1.1\r\nConnection: close\r\n\r\n", false},
                            {"GET / HTTP/1.0\r\n\r\n", false},
                            {"GET / HTTP/1.0\r\nConnection: Keep-Alive\r\n\r\n", true}}) {
    Request req;
    ASSERT_EQ(Parse(head, &req).state, ParseState::kDone) << head;
    EXPECT_EQ(req.WantsKeepAlive(), keep) << head;
  }
}

TEST(RequestParseTest, EscapedControlCharactersOfNamesReachThePath) {
  // File names may hold TAB, CR, LF, ESC and DEL; their links must open them.
  Request req;
  ASSERT_EQ(Parse("GET /C:/a%09b%0D%0Ac%1Bd%7F HTTP/1.1\r\nHost: t\r\n\r\n", &req).state, ParseState::kDone);
  EXPECT_EQ(req.uri,
            "/C:/a\tb\r\nc\x1b"
            "d\x7f");
}

TEST(RequestParseTest, MalformedHeadsGetTheRightStatus) {
  struct Case {
    std::string head;
    int status;
  } cases[] = {
      {"GET\r\n\r\n", 400},
      {"GET / HTTP/1.1 extra\r\n\r\n", 400},
      {"GET / FOO/1.1\r\n\r\n", 400},
      {"GET / HTTP/2.0\r\n\r\n", 505},
      {"G(T / HTTP/1.1\r\n\r\n", 400},
      {"GET /a%zz HTTP/1.1\r\n\r\n", 400},
      {"GET /a%00b HTTP/1.1\r\n\r\n", 400},
      {"GET /../etc/passwd HTTP/1.1\r\n\r\n", 400},
      {"GET /C:/%2e%2e/%2e%2e/x HTTP/1.1\r\n\r\n", 400},
      {"GET http://example.com/ HTTP/1.1\r\n\r\n", 400},
      {"CONNECT example.com:443 HTTP/1.1\r\n\r\n", 400},
      {"GET / HTTP/1.1\r\nNo colon here\r\n\r\n", 400},
      {"GET / HTTP/1.1\r\nA: 1\r\n folded\r\n\r\n", 400},
      {"GET / HTTP/1.1\r\nBad Name: 1\r\n\r\n", 400},
      {"GET / HTTP/1.1\r\nX: a\x01z\r\n\r\n", 400},
      {"POST / HTTP/1.1\r\nContent-Length: -1\r\n\r\n", 400},
      {"POST / HTTP/1.1\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\n", 400},
      {"POST / HTTP/1.1\r\nContent-Length: 1048577\r\n\r\n", 413},
      {"POST / HTTP/1.1\r\nContent-Length: 99999999999999999999\r\n\r\n", 413},
      {"POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n", 501},
  };
  for (const Case& c : cases) {
    Request req;
    ParseResult r = Parse(c.head, &req);
    EXPECT_EQ(r.state, ParseState::kError) << c.head;
    EXPECT_EQ(r.error_status, c.status) << c.head;
  }
}

TEST(RequestParseTest, SizeLimits) {
  Request req;
  std::string long_line = "GET /" + std::string(kMaxHeadBytes, 'a') + " HTTP/1.1\r\n\r\n";
  EXPECT_EQ(Parse(long_line, &req).error_status, 414);
  std::string big_headers = "GET / HTTP/1.1\r\n";
  while (big_headers.size() < kMaxHeadBytes) big_headers += "X-Filler: " + std::string(100, 'b') + "\r\n";
  EXPECT_EQ(Parse(big_headers, &req).error_status, 431);
  std::string many = "GET / HTTP/1.1\r\n";
  for (size_t i = 0; i <= kMaxHeaders; ++i) many += "H" + std::to_string(i) + ": v\r\n";
  EXPECT_EQ(Parse(many + "\r\n", &req).error_status, 431);
  std::string exactly = "GET / HTTP/1.1\r\n";
  for (size_t i = 0; i < kMaxHeaders; ++i) exactly += "H" + std::to_string(i) + ": v\r\n";
  EXPECT_EQ(Parse(exactly + "\r\n", &req).state, ParseState::kDone);
  std::string body_limit = "POST / HTTP/1.1\r\nContent-Length: 1048576\r\n\r\n";
  ASSERT_EQ(Parse(body_limit, &req).state, ParseState::kDone);
  EXPECT_EQ(req.content_length, kMaxBodyBytes);
}

// ---- Digest authentication ----

// The client's side of RFC 2617 with qop=auth, written out independently of DigestAuth.
std::string ClientResponse(const std::string& user, const std::string& password, const std::string& method,
                           const std::string& uri, const std::string& nonce, const std::string& nc = "00000001") {
  std::string ha1 = Md5Hex(user + ":Nusk:" + password);
  std::string ha2 = Md5Hex(method + ":" + uri);
  return Md5Hex(ha1 + ":" + nonce + ":" + nc + ":0a4f113b:auth:" + ha2);
}

Request AuthRequest(const std::string& target, const std::string& user, const std::string& response,
                    const std::string& nonce, const std::string& header_uri = "", const std::string& nc = "00000001") {
  Request req;
  req.method = "GET";
  req.target = target;
  req.headers.push_back({"Authorization", "Digest username=\"" + user + "\", realm=\"Nusk\", nonce=\"" + nonce +
                                              "\", uri=\"" + (header_uri.empty() ? target : header_uri) +
                                              "\", response=\"" + response + "\", qop=auth, nc=" + nc +
                                              ", cnonce=\"0a4f113b\""});
  return req;
}

TEST(DigestAuthTest, ParamsQuotedAndBare) {
  std::vector<Header> p;
  ASSERT_TRUE(ParseDigestParams(R"(username="a\"b", qop=auth,nc=00000001 , uri="/x?y=1,2")", &p));
  ASSERT_EQ(p.size(), 4u);
  EXPECT_EQ(p[0].value, "a\"b");
  EXPECT_EQ(p[1].value, "auth");
  EXPECT_EQ(p[2].value, "00000001");
  EXPECT_EQ(p[3].value, "/x?y=1,2");
  EXPECT_FALSE(ParseDigestParams(R"(username="unterminated)", &p));
  EXPECT_FALSE(ParseDigestParams("novalue, x=1", &p));
}

TEST(DigestAuthTest, HandshakeAcceptsOnlyRightCredentialsOnOurNonces) {
  DigestAuth auth("secret-1", 300);
  std::string seen;
  EXPECT_EQ(auth.Check(Request(), 1000, &seen), DigestAuth::Verdict::kPass);  // no user configured
  auth.SetCredentials("joe", "pa:ss");
  EXPECT_EQ(auth.Check(Request(), 1000, &seen), DigestAuth::Verdict::kMissing);

  std::string nonce = auth.MakeNonce(1000);
  for (char c : nonce) ASSERT_TRUE(c >= '0' && c <= '9') << nonce;
  std::string good = ClientResponse("joe", "pa:ss", "GET", "/q?x=1", nonce);
  EXPECT_EQ(auth.Check(AuthRequest("/q?x=1", "joe", good, nonce), 1010, &seen), DigestAuth::Verdict::kPass);
  EXPECT_EQ(seen, "joe");
  // Upper-case hex digits in the response are fine.
  std::string upper = ClientResponse("joe", "pa:ss", "GET", "/q?x=1", nonce, "00000002");
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  EXPECT_EQ(auth.Check(AuthRequest("/q?x=1", "joe", upper, nonce, "", "00000002"), 1010, &seen),
            DigestAuth::Verdict::kPass);

  std::string wrong_pw = ClientResponse("joe", "nope", "GET", "/q?x=1", nonce);
  EXPECT_EQ(auth.Check(AuthRequest("/q?x=1", "joe", wrong_pw, nonce), 1010, &seen), DigestAuth::Verdict::kRejected);
  std::string other_user = ClientResponse("Joe", "pa:ss", "GET", "/q?x=1", nonce);
  EXPECT_EQ(auth.Check(AuthRequest("/q?x=1", "Joe", other_user, nonce), 1010, &seen), DigestAuth::Verdict::kRejected);
  // A header captured for one path does not open another.
  EXPECT_EQ(auth.Check(AuthRequest("/C:/secret.txt", "joe", good, nonce, "/q?x=1"), 1010, &seen),
            DigestAuth::Verdict::kRejected);
  // A nonce we did not issue (any number, or one from another server's secret).
  std::string forged = "1000" + std::string(20, '7');
  EXPECT_EQ(auth.Check(AuthRequest("/q?x=1", "joe", ClientResponse("joe", "pa:ss", "GET", "/q?x=1", forged), forged),
                       1010, &seen),
            DigestAuth::Verdict::kRejected);
  DigestAuth other("secret-2", 300);
  std::string foreign = other.MakeNonce(1000);
  EXPECT_EQ(auth.Check(AuthRequest("/q?x=1", "joe", ClientResponse("joe", "pa:ss", "GET", "/q?x=1", foreign), foreign),
                       1010, &seen),
            DigestAuth::Verdict::kRejected);
  // Missing fields.
  Request partial;
  partial.method = "GET";
  partial.target = "/";
  partial.headers.push_back({"Authorization", "Digest username=\"joe\", response=\"" + good + "\""});
  EXPECT_EQ(auth.Check(partial, 1010, &seen), DigestAuth::Verdict::kRejected);
}

TEST(DigestAuthTest, ExpiredNonceIsStaleAndFutureNonceRejected) {
  DigestAuth auth("k", 300);
  auth.SetCredentials("joe", "pw");
  std::string seen;
  std::string nonce = auth.MakeNonce(1000);
  std::string resp = ClientResponse("joe", "pw", "GET", "/", nonce);
  EXPECT_EQ(auth.Check(AuthRequest("/", "joe", resp, nonce), 1300, &seen), DigestAuth::Verdict::kPass);
  resp = ClientResponse("joe", "pw", "GET", "/", nonce, "00000002");
  EXPECT_EQ(auth.Check(AuthRequest("/", "joe", resp, nonce, "", "00000002"), 1301, &seen), DigestAuth::Verdict::kStale);
  EXPECT_EQ(auth.Check(AuthRequest("/", "joe", resp, nonce), 900, &seen), DigestAuth::Verdict::kRejected);
  // A stale nonce with a wrong password is a failure, not a silent retry.
  std::string bad = ClientResponse("joe", "x", "GET", "/", nonce);
  EXPECT_EQ(auth.Check(AuthRequest("/", "joe", bad, nonce), 5000, &seen), DigestAuth::Verdict::kRejected);
}

TEST(DigestAuthTest, NonceCountsCannotBeReplayed) {
  DigestAuth auth("k", 300, /*max_tracked=*/2);
  auth.SetCredentials("joe", "pw");
  std::string seen;
  auto check = [&](const std::string& nonce, const std::string& nc, int64_t now) {
    return auth.Check(AuthRequest("/", "joe", ClientResponse("joe", "pw", "GET", "/", nonce, nc), nonce, "", nc), now,
                      &seen);
  };
  using V = DigestAuth::Verdict;
  std::string a = auth.MakeNonce(1000);
  EXPECT_EQ(check(a, "00000001", 1001), V::kPass);
  EXPECT_EQ(check(a, "00000001", 1001), V::kStale);  // the same header again
  EXPECT_EQ(check(a, "00000003", 1001), V::kPass);
  EXPECT_EQ(check(a, "00000002", 1001), V::kPass);  // late, but never used
  EXPECT_EQ(check(a, "00000002", 1001), V::kStale);
  EXPECT_EQ(check(a, "0000004a", 1001), V::kPass);
  EXPECT_EQ(check(a, "00000003", 1001), V::kStale);
  EXPECT_EQ(check(a, "00000009", 1001), V::kStale);  // more than 64 below the highest
  EXPECT_EQ(check(a, "00000000", 1001), V::kStale);
  EXPECT_EQ(check(a, "zz", 1001), V::kRejected);
  // The table is bounded: a third nonce in use pushes out the oldest, which then no
  // longer passes at all (stale: the browser fetches a fresh one) instead of passing twice.
  std::string b = auth.MakeNonce(1000), c = auth.MakeNonce(1000);
  EXPECT_EQ(check(b, "00000001", 1001), V::kPass);
  EXPECT_EQ(check(c, "00000001", 1001), V::kPass);
  EXPECT_EQ(auth.tracked_nonces(), 2u);
  EXPECT_EQ(check(a, "000000ff", 1001), V::kStale);
  EXPECT_EQ(check(b, "00000002", 1001), V::kPass);
}

TEST(DigestAuthTest, ChallengeBytes) {
  DigestAuth auth("k", 300);
  std::string challenge = auth.Challenge(1234567890, false);
  const std::string head =
      "HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Digest qop=\"auth\", realm=\"Nusk\", nonce=\"";
  ASSERT_EQ(challenge.substr(0, head.size()), head);
  std::string nonce = challenge.substr(head.size(), challenge.find('"', head.size()) - head.size());
  EXPECT_EQ(challenge.substr(head.size() + nonce.size()), "\"\r\n\r\n");
  EXPECT_EQ(nonce.substr(0, 10), "1234567890");
  for (char c : nonce) ASSERT_TRUE(c >= '0' && c <= '9') << nonce;
  EXPECT_NE(auth.MakeNonce(1234567890), nonce);  // never the same nonce twice
  EXPECT_NE(auth.Challenge(1234567890, true).find("\", stale=true\r\n"), std::string::npos);
}

}  // namespace
}  // namespace nusk::http
