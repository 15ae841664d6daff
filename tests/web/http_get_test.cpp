// The small GET client against a local server that serves a version string, answers with an
// error, or stays silent; the whole exchange must end by the deadline.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/socket.h"
#include "tests/web/one_shot_server.h"
#include "web/http_get.h"

namespace nusk::http {
namespace {

using testing::OneShotServer;

TEST(HttpGet, VersionFilesErrorsAndSilence) {
  struct Case {
    const char* reply;
    bool silent;
    bool ok;
    const char* body;
  } cases[] = {
      {"HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n\r\n4.4.0\r\n", false, true, "4.4.0\r\n"},
      {"HTTP/1.0 200 OK\r\n\r\n5.0.1", false, true, "5.0.1"},
      {"HTTP/1.0 200 OK\r\n\r\n", false, true, ""},
      {"HTTP/1.0 404 Not Found\r\n\r\n4.4.0", false, false, ""},
      {"garbage", false, false, ""},
      {"HTTP/1.0 200 OK\r\n\r\n0123456789012345678901234567890123456789", false, false, ""},  // over max_body
      {"", true, false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reply);
    OneShotServer server(c.reply, c.silent);
    std::string body = "stale";
    const auto start = std::chrono::steady_clock::now();
    const Status s = HttpGet("http://127.0.0.1:" + std::to_string(server.port()) + "/ver.txt?_rnd=7", 5000, 32, &body);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(s.ok(), c.ok) << s.message();
    EXPECT_EQ(body, c.body);
    if (c.silent) {
      EXPECT_GE(ms, 4900);
      EXPECT_LE(ms, 6500) << "the limit bounds the whole exchange";
    } else {
      EXPECT_LT(ms, 3000);
      const std::string request = server.request();
      EXPECT_EQ(request.rfind("GET /ver.txt?_rnd=7 HTTP/1.0\r\n", 0), 0u) << request;
      EXPECT_NE(request.find("\r\nHost: 127.0.0.1:" + std::to_string(server.port()) + "\r\n"), std::string::npos);
    }
  }
}

TEST(HttpGet, Addresses) {
  struct Case {
    const char* url;
    bool ok;
    const char* host;
    uint16_t port;
    const char* target;
  } cases[] = {
      {"http://example.org", true, "example.org", 80, "/"},
      {"http://example.org:8080/v/ver.txt?a=1#top", true, "example.org", 8080, "/v/ver.txt?a=1"},
      {"http://10.0.0.2?x=1", true, "10.0.0.2", 80, "/?x=1"},
      {"http://[::1]:81/ver", true, "::1", 81, "/ver"},
      {"https://example.org/", false, "", 0, ""},
      {"ftp://example.org/", false, "", 0, ""},
      {"http://", false, "", 0, ""},
      {"http://:80/", false, "", 0, ""},
      {"http://example.org:/", false, "", 0, ""},
      {"http://example.org:70000/", false, "", 0, ""},
      {"http://example.org:8x/", false, "", 0, ""},
      {"http://example.org/a b", false, "", 0, ""},
      {"http://example.org/\r\nX: y", false, "", 0, ""},
      {"http://user@example.org/", false, "", 0, ""},
  };
  for (const Case& c : cases) {
    UrlParts p;
    std::string error;
    EXPECT_EQ(ParseHttpUrl(c.url, &p, &error), c.ok) << c.url;
    if (!c.ok) {
      EXPECT_FALSE(error.empty()) << c.url;
      continue;
    }
    EXPECT_EQ(p.host, c.host) << c.url;
    EXPECT_EQ(p.port, c.port) << c.url;
    EXPECT_EQ(p.target, c.target) << c.url;
  }
}

}  // namespace
}  // namespace nusk::http
