// The HTTP layer over real loopback sockets: exact response bytes, framing, keep-alive,
// pipelining, 100-continue, limits, timeouts, the per-address cap and files.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "tests/testing/test_env.h"
#include "tests/web/raw_client.h"
#include "util/utf.h"
#include "web/http_server.h"

namespace nusk::http {
namespace {

using nusk::testing::Get;
using nusk::testing::RawClient;

// Runs a Server on 127.0.0.1 with an ephemeral port on its own polling thread.
class ServerThread {
 public:
  ServerThread(RequestHandler handler, ServerLimits limits = ServerLimits(), Env* env = Env::Default())
      : server_(std::move(handler), env, limits) {
    Status st = server_.SetOption("listening_port", "127.0.0.1:0");
    EXPECT_TRUE(st.ok()) << st.message();
  }
  ~ServerThread() { Stop(); }
  void Start() {
    thread_ = std::thread([this] {
      while (!stop_) server_.Poll(20);
    });
  }
  void Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }
  Server& server() { return server_; }
  uint16_t port() { return server_.port(); }

 private:
  Server server_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// Routes for the tests; files are served from `root`.
HandleResult TestRoutes(Connection& c, const std::string& root) {
  const Request& r = c.request();
  if (r.uri == "/chunks") {
    c.WriteRaw("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n");
    c.WriteChunk("one");
    c.WriteChunk("two!");
    c.WriteChunk("0123456789abcdef");
    return HandleResult::kComplete;
  }
  if (r.uri == "/plain") {
    c.WriteChunk("hello");
    return HandleResult::kComplete;
  }
  if (r.uri == "/echo") {
    c.WriteChunk(r.method + ":" + r.body);
    return HandleResult::kComplete;
  }
  if (r.uri == "/silent") return HandleResult::kComplete;
  if (r.uri.rfind("/f/", 0) == 0) {
    std::vector<std::u16string> names;
    std::string rest = r.uri.substr(3);
    for (size_t at = 0; at <= rest.size();) {
      size_t end = std::min(rest.find('/', at), rest.size());
      if (end > at) names.push_back(FromUtf8(rest.substr(at, end - at)));
      at = end + 1;
    }
    c.SendFile(FromUtf8(root), names);
    return HandleResult::kMoreData;
  }
  return HandleResult::kNotHandled;
}

class HttpServerTest : public ::testing::Test {
 protected:
  HttpServerTest() : root_(ToUtf8(dir_.path())) {}
  void StartServer(ServerLimits limits = ServerLimits(), Env* env = Env::Default()) {
    server_ = std::make_unique<ServerThread>([this](Connection& c) { return TestRoutes(c, root_); }, limits, env);
    server_->Start();
  }
  uint16_t port() { return server_->port(); }

  // One request on a fresh connection; the whole answer up to the server's close.
  std::string Exchange(const std::string& request) {
    RawClient client(port());
    EXPECT_TRUE(client.connected()) << client.error();
    client.Send(request);
    EXPECT_TRUE(client.ReadUntilClosed()) << "server did not close: " << client.received();
    return client.Take();
  }

  nusk::testing::TempDir dir_;
  std::string root_;
  std::unique_ptr<ServerThread> server_;
};

TEST_F(HttpServerTest, ChunkedBodyKeepsTheConnectionOpen) {
  StartServer();
  RawClient client(port());
  ASSERT_TRUE(client.connected());
  const std::string expected =
      "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nTransfer-Encoding: chunked\r\n\r\n"
      "3\r\none\r\n4\r\ntwo!\r\n10\r\n0123456789abcdef\r\n0\r\n\r\n";
  for (int round = 0; round < 3; ++round) {
    client.Send(Get("/chunks"));
    ASSERT_TRUE(client.ReadUntil("0\r\n\r\n")) << client.received();
    EXPECT_EQ(client.Take(), expected);
  }
  // Without a status line the first chunk supplies "200 OK".
  client.Send(Get("/plain", "Connection: close\r\n"));
  ASSERT_TRUE(client.ReadUntilClosed());
  EXPECT_EQ(client.Take(), "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n");
}

TEST_F(HttpServerTest, Http10AndHeadGetBodiesTheyCanRead) {
  StartServer();
  EXPECT_EQ(Exchange(Get("/plain", "", "1.0")), "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\nhello");
  EXPECT_EQ(Exchange("HEAD /chunks HTTP/1.1\r\nHost: t\r\nConnection: close\r\n\r\n"),
            "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nTransfer-Encoding: chunked\r\n\r\n");
}

TEST_F(HttpServerTest, DefaultErrorsOptionsAndMalformedRequests) {
  StartServer();
  // The default error writer closes the connection even when keep-alive was asked for.
  EXPECT_EQ(Exchange(Get("/nothing-here")),
            "HTTP/1.1 404 Not Found\r\nContent-Length: 14\r\nContent-Type: text/plain\r\n\r\n404 Not Found\n");
  // Only the methods served are advertised; others get 405 with the same list.
  EXPECT_EQ(Exchange("OPTIONS * HTTP/1.1\r\nHost: t\r\nConnection: close\r\n\r\n"),
            "HTTP/1.1 200 OK\r\nAllow: GET, HEAD, POST, OPTIONS\r\nContent-Length: 0\r\n\r\n");
  for (const char* method : {"DELETE", "PUT", "PROPFIND", "MKCOL"}) {
    EXPECT_EQ(Exchange(std::string(method) + " /plain HTTP/1.1\r\nHost: t\r\nContent-Length: 0\r\n\r\n"),
              "HTTP/1.1 405 Method Not Allowed\r\nAllow: GET, HEAD, POST, OPTIONS\r\nContent-Length: 23\r\n"
              "Content-Type: text/plain\r\n\r\n405 Method Not Allowed\n")
        << method;
  }
  // HTTP/1.1 requires Host; HTTP/1.0 does not.
  EXPECT_EQ(Exchange("GET /plain HTTP/1.1\r\n\r\n").substr(0, 24), "HTTP/1.1 400 Bad Request");
  EXPECT_EQ(Exchange("GET /plain HTTP/1.0\r\n\r\n"), "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\nhello");
  EXPECT_EQ(Exchange("BLAH\r\n\r\n"),
            "HTTP/1.1 400 Bad Request\r\nContent-Length: 16\r\nContent-Type: text/plain\r\n\r\n400 Bad Request\n");
  // A handler that claims success without writing anything must not leave the client hanging.
  EXPECT_EQ(Exchange(Get("/silent")).substr(0, 34), "HTTP/1.1 500 Internal Server Error");
}

TEST_F(HttpServerTest, PipelinedRequestsAreAnsweredInOrder) {
  StartServer();
  RawClient client(port());
  client.Send("POST /echo HTTP/1.1\r\nHost: t\r\nContent-Length: 3\r\n\r\nabc" + Get("/plain") +
              "POST /echo HTTP/1.1\r\nHost: t\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
  ASSERT_TRUE(client.ReadUntilClosed());
  EXPECT_EQ(client.Take(),
            "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n8\r\nPOST:abc\r\n0\r\n\r\n"
            "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n"
            "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nPOST:\r\n0\r\n\r\n");
}

TEST_F(HttpServerTest, ExpectContinueBeforeTheBody) {
  StartServer();
  RawClient client(port());
  client.Send(
      "POST /echo HTTP/1.1\r\nHost: t\r\nContent-Length: 5\r\nExpect: 100-continue\r\nConnection: close\r\n\r\n");
  ASSERT_TRUE(client.ReadUntil("\r\n\r\n"));
  EXPECT_EQ(client.Take(), "HTTP/1.1 100 Continue\r\n\r\n");
  client.Send("hello");
  ASSERT_TRUE(client.ReadUntilClosed());
  EXPECT_EQ(client.Take(), "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nA\r\nPOST:hello\r\n0\r\n\r\n");
}

TEST_F(HttpServerTest, SlowAndIdleClientsAreDropped) {
  ServerLimits limits;
  limits.head_timeout_ms = 300;
  limits.idle_timeout_ms = 600;
  StartServer(limits);
  RawClient slow(port());
  slow.Send("GET / HTTP/1.1\r\nX-Slow: ");  // never finishes its head
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_TRUE(slow.ReadUntilClosed(5000));
  EXPECT_EQ(slow.received(), "");
  auto head_ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
  EXPECT_GE(head_ms, 250);

  RawClient idle(port());
  idle.Send(Get("/plain"));
  ASSERT_TRUE(idle.ReadUntil("0\r\n\r\n"));
  idle.Take();
  t0 = std::chrono::steady_clock::now();
  EXPECT_TRUE(idle.ReadUntilClosed(5000));
  auto idle_ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
  EXPECT_GE(idle_ms, 500);  // the longer keep-alive limit, not the head limit
}

TEST_F(HttpServerTest, CapsCloseTheOldestWaitingConnectionToMakeRoom) {
  ServerLimits limits;
  limits.max_connections_per_address = 3;
  StartServer(limits);
  // Three half-sent requests fill this address's share.
  std::vector<std::unique_ptr<RawClient>> slow;
  for (int i = 0; i < 3; ++i) {
    slow.push_back(std::make_unique<RawClient>(port()));
    slow.back()->Send("GET /plain HTTP/1.1\r\nHost: t\r\nX-Slow: ");
    std::this_thread::sleep_for(std::chrono::milliseconds(30));  // a clear age order
  }
  // A working client still gets in: the oldest half-sent connection gives way.
  RawClient normal(port());
  normal.Send(Get("/plain", "Connection: close\r\n"));
  ASSERT_TRUE(normal.ReadUntilClosed(3000));
  EXPECT_EQ(normal.received(), "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n");
  EXPECT_TRUE(slow[0]->ReadUntilClosed(3000));
  EXPECT_EQ(slow[0]->received(), "");
  // The younger ones were kept and are answered when they finish.
  for (int i = 1; i < 3; ++i) {
    slow[i]->Send("\r\n\r\n");
    EXPECT_TRUE(slow[i]->ReadUntil("0\r\n\r\n", 3000)) << i << slow[i]->received();
  }

  // The same across addresses when the whole server is full.
  limits.max_connections_per_address = 100;
  limits.max_connections = 2;
  StartServer(limits);
  RawClient a(port()), b(port());
  a.Send("GET /plain HT");
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  b.Send("GET /plain HT");
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  RawClient c(port());
  c.Send(Get("/plain", "Connection: close\r\n"));
  ASSERT_TRUE(c.ReadUntilClosed(3000));
  EXPECT_EQ(c.received().substr(0, 15), "HTTP/1.1 200 OK");
  EXPECT_TRUE(a.ReadUntilClosed(3000));
  EXPECT_EQ(a.received(), "");
}

TEST_F(HttpServerTest, FileWithEntityTagRangesAnd304) {
  dir_.WriteFile(u"data/report.PDF", "0123456789");
  StartServer();
  std::string full = Exchange(Get("/f/data/report.PDF", "Connection: close\r\n"));
  std::string etag = full.substr(full.find("Etag: ") + 6);
  etag = etag.substr(0, etag.find("\r\n"));
  ASSERT_GE(etag.size(), 5u);
  EXPECT_EQ(etag.front(), '"');
  EXPECT_EQ(etag.substr(etag.size() - 4), ".10\"");  // hex mtime, '.', size
  EXPECT_EQ(full.substr(0, 17), "HTTP/1.1 200 OK\r\n");
  EXPECT_NE(full.find("\r\nContent-Type: application/pdf\r\nContent-Length: 10\r\nConnection: close\r\n"
                      "Accept-Ranges: bytes\r\n\r\n0123456789"),
            std::string::npos);
  EXPECT_EQ(full.substr(full.size() - 10), "0123456789");

  std::string part = Exchange(Get("/f/data/report.PDF", "Range: bytes=2-5\r\nConnection: close\r\n"));
  EXPECT_EQ(part.substr(0, 30), "HTTP/1.1 206 Partial Content\r\n");
  EXPECT_NE(part.find("Content-Length: 4\r\n"), std::string::npos);
  EXPECT_NE(part.find("Content-Range: bytes 2-5/10\r\n"), std::string::npos);
  EXPECT_EQ(part.substr(part.size() - 6), "\r\n2345");

  std::string tail = Exchange(Get("/f/data/report.PDF", "Range: bytes=-3\r\nConnection: close\r\n"));
  EXPECT_NE(tail.find("Content-Range: bytes 7-9/10\r\n"), std::string::npos);
  EXPECT_EQ(tail.substr(tail.size() - 3), "789");
  std::string open_end = Exchange(Get("/f/data/report.PDF", "Range: bytes=8-\r\nConnection: close\r\n"));
  EXPECT_EQ(open_end.substr(open_end.size() - 2), "89");
  EXPECT_NE(Exchange(Get("/f/data/report.PDF", "Range: bytes=10-\r\nConnection: close\r\n"))
                .find("416 Range Not Satisfiable"),
            std::string::npos);

  std::string not_modified = "HTTP/1.1 304 Not Modified\r\nContent-Length: 0\r\nContent-Type: text/plain\r\n\r\n";
  EXPECT_EQ(Exchange(Get("/f/data/report.PDF", "If-None-Match: " + etag + "\r\n")), not_modified);
  EXPECT_EQ(Exchange(Get("/f/data/report.PDF", "If-Modified-Since: Fri, 01 Jan 2100 00:00:00 GMT\r\n")), not_modified);
  EXPECT_EQ(Exchange(Get("/f/data/report.PDF",
                         "If-Modified-Since: Thu, 01 Jan 1970 00:00:00 GMT\r\n"
                         "Connection: close\r\n"))
                .substr(0, 15),
            "HTTP/1.1 200 OK");

  std::string head = Exchange("HEAD /f/data/report.PDF HTTP/1.1\r\nHost: t\r\nConnection: close\r\n\r\n");
  EXPECT_EQ(head.substr(head.size() - 4), "\r\n\r\n");
  EXPECT_NE(head.find("Content-Length: 10\r\n"), std::string::npos);
}

TEST_F(HttpServerTest, FoldersMissingFilesScriptsAndTypes) {
  dir_.WriteFile(u"My Dir/x.php", "<?php");
  dir_.WriteFile(u"My Dir/notes", "n");
  StartServer();
  EXPECT_EQ(Exchange(Get("/f/My%20Dir")), "HTTP/1.1 301 Moved Permanently\r\nLocation: /f/My%20Dir/\r\n\r\n");
  EXPECT_EQ(Exchange(Get("/f/My%20Dir/")).substr(0, 22), "HTTP/1.1 404 Not Found");
  EXPECT_EQ(Exchange(Get("/f/missing.txt")).substr(0, 22), "HTTP/1.1 404 Not Found");
  EXPECT_EQ(Exchange(Get("/f/My%20Dir/x.php")).substr(0, 28), "HTTP/1.1 501 Not Implemented");
  EXPECT_NE(Exchange(Get("/f/My%20Dir/notes", "Connection: close\r\n")).find("Content-Type: text/plain\r\n"),
            std::string::npos);
}

TEST_F(HttpServerTest, LargeFileArrivesWholeOverKeepAlive) {
  std::string big(3 * 1024 * 1024 + 17, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>((i * 7919) >> 5);
  dir_.WriteFile(u"big.bin", big);
  StartServer();
  RawClient client(port());
  for (int round = 0; round < 2; ++round) {
    client.Send(Get("/f/big.bin"));
    ASSERT_TRUE(client.ReadUntil("\r\n\r\n"));
    size_t head_end = client.received().find("\r\n\r\n") + 4;
    EXPECT_NE(client.received().find("Connection: keep-alive\r\n"), std::string::npos);
    ASSERT_TRUE(client.ReadBytes(head_end + big.size(), 20000));
    std::string got = client.Take();
    EXPECT_EQ(got.size(), head_end + big.size());
    EXPECT_TRUE(got.compare(head_end, big.size(), big) == 0);
  }
}

TEST_F(HttpServerTest, AFileThatFailsMidBodyEndsItsConnectionAndTheServerServesOn) {
  const std::string big(1 << 20, 'b');
  dir_.WriteFile(u"big.bin", big);
  dir_.WriteFile(u"small.txt", "ok");
  nusk::testing::FaultInjectionEnv env;
  env.file_read_error_at = 300000;
  StartServer(ServerLimits(), &env);
  RawClient client(port());
  client.Send(Get("/f/big.bin"));  // keep-alive: only the server's close ends the answer
  ASSERT_TRUE(client.ReadUntilClosed()) << "a body that cannot be finished must end its connection";
  const std::string got = client.Take();
  EXPECT_EQ(got.substr(0, 17), "HTTP/1.1 200 OK\r\n");
  const size_t head_end = got.find("\r\n\r\n") + 4;
  EXPECT_GT(got.size() - head_end, 0u);
  EXPECT_LE(got.size() - head_end, 300000u);
  EXPECT_EQ(got.compare(head_end, std::string::npos, big, 0, got.size() - head_end), 0) << "what was sent is the file";
  for (int round = 0; round < 2; ++round) {
    const std::string next = Exchange(Get("/f/small.txt", "Connection: close\r\n"));
    EXPECT_EQ(next.substr(0, 17), "HTTP/1.1 200 OK\r\n");
    EXPECT_EQ(next.substr(next.size() - 2), "ok");
  }
  server_.reset();  // its thread uses env
}

}  // namespace
}  // namespace nusk::http
