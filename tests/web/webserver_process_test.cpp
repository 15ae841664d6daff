// The real `nusk webserver` process on a loopback port, against a database made by
// `nusk build` of a fixture tree in a temporary home folder.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "index/nusk_db.h"
#include "platform/process.h"
#include "platform/socket.h"
#include "tests/app/nusk_child.h"
#include "tests/testing/test_env.h"
#include "tests/web/raw_client.h"
#include "tests/web/web_test_util.h"
#include "util/utf.h"
#include "web/md5.h"

namespace nusk {
namespace {

using nusk::testing::Get;
using nusk::testing::RawClient;

using nusk::testing::OnWindows;
using nusk::testing::PlainText;

std::u16string Program() { return nusk::testing::NuskExecutable(); }

// A port that was free a moment ago.
uint16_t FreePort() {
  net::InitSockets();
  net::SocketHandle s;
  if (!net::Listen("127.0.0.1", 0, &s).ok()) return 0;
  uint16_t port = net::LocalPort(s);
  net::Close(s);
  return port;
}

class WebserverProcessTest : public ::testing::Test {
 protected:
  std::u16string Home() const { return home_.path(); }

  // Builds the index of the fixture tree (POSIX: drive C: mapped to the tree).
  void BuildIndex() {
    tree_.WriteFile(u"docs/readme.txt", "hello web\n");
    tree_.WriteFile(u"docs/report.PDF", "0123456789");
    tree_.WriteFile(u"docs/private.txt", "top secret");
    std::u16string root = tree_.path().substr(0, tree_.path().size() - 1);
    home_.WriteFile(u"nusk.ini", "[Drives]\r\nC=" + ToUtf8(root) + "\r\n");
    ChildResult r;
    Status st = RunChild(Program(), {u"--dbdir", Home(), u"build"}, ChildOptions(), 60000, &r);
    ASSERT_TRUE(st.ok()) << st.message();
    ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
  }

  // Starts `nusk webserver` with the options and waits until it answers.
  void StartServer(std::vector<std::u16string> options) {
    port_ = FreePort();
    ASSERT_NE(port_, 0);
    std::vector<std::u16string> args = {u"--dbdir", Home(), u"webserver", u"--port", FromUtf8(std::to_string(port_))};
    args.insert(args.end(), options.begin(), options.end());
    ChildOptions opts;
    opts.interruptible = !OnWindows();  // under Wine the test has no console to interrupt through
    Status st = ChildProcess::Start(Program(), args, opts, &child_);
    ASSERT_TRUE(st.ok()) << st.message();
    for (int i = 0; i < 300; ++i) {
      net::SocketHandle s;
      if (net::Connect("127.0.0.1", port_, 1000, &s).ok()) {
        net::Close(s);
        return;
      }
      int code;
      if (child_->Wait(0, &code)) FAIL() << "webserver ended: " << child_->Stdout() << child_->Stderr();
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    FAIL() << "webserver never answered on port " << port_;
  }

  // Interrupts the server and returns its output; expects a clean stop. Under Wine the
  // test has no console to send Ctrl-C through: the child is ended and "" returned, so
  // only the HTTP checks run there.
  std::string StopServer() {
    if (OnWindows()) {
      child_.reset();
      return "";
    }
    EXPECT_TRUE(child_->Interrupt().ok());
    int code = -1;
    EXPECT_TRUE(child_->Wait(10000, &code));
    EXPECT_EQ(code, 0) << child_->Stdout() << child_->Stderr();
    std::string out = PlainText(child_->Stdout());
    child_.reset();
    return out;
  }

  std::string Exchange(const std::string& request) {
    RawClient client(port_);
    EXPECT_TRUE(client.connected()) << client.error();
    client.Send(request);
    EXPECT_TRUE(client.ReadUntilClosed(10000));
    return client.Take();
  }

  nusk::testing::TempDir home_;
  nusk::testing::TempDir tree_;
  uint16_t port_ = 0;
  std::unique_ptr<ChildProcess> child_;
};

TEST_F(WebserverProcessTest, LoopbackByDefaultExplicitAddressKeptAndCleanStop) {
  StartServer({});
  EXPECT_EQ(Exchange(Get("/query.json?q=nothing-like-this", "Connection: close\r\n")),
            "HTTP/1.1 200 OK\r\nContent-Type: application/json; charset=utf-8\r\nTransfer-Encoding: chunked\r\n\r\n"
            "2\r\n[]\r\n0\r\n\r\n");
  const uint16_t first_port = port_;
  std::string out = StopServer();
  StartServer({u"--ip", u"127.0.0.1"});
  std::string explicit_out = StopServer();
  if (OnWindows()) return;
  EXPECT_NE(out.find("loopback address only"), std::string::npos) << out;
  EXPECT_NE(out.find("Web server started at 127.0.0.1:" + std::to_string(first_port) + ".\n"), std::string::npos)
      << out;
  EXPECT_NE(out.find("Bye.\n"), std::string::npos) << out;
  EXPECT_EQ(explicit_out.find("loopback address only"), std::string::npos) << explicit_out;
  EXPECT_NE(explicit_out.find("Web server started at 127.0.0.1:"), std::string::npos) << explicit_out;
}

TEST_F(WebserverProcessTest, BusyPortAndBadOptionsFailWithAReason) {
  uint16_t port = FreePort();
  net::SocketHandle holder;
  ASSERT_TRUE(net::Listen("127.0.0.1", port, &holder).ok());
  ChildResult r;
  ASSERT_TRUE(
      RunChild(Program(),
               {u"--dbdir", Home(), u"webserver", u"--ip", u"127.0.0.1", u"--port", FromUtf8(std::to_string(port))},
               ChildOptions(), 30000, &r)
          .ok());
  net::Close(holder);
  EXPECT_EQ(r.exit_code, 1);
  r.out = PlainText(r.out);
  EXPECT_EQ(r.out.substr(0, 28), "Failed to start web server:\n") << r.out;
  EXPECT_NE(r.out.find(std::to_string(port)), std::string::npos) << r.out;

  ASSERT_TRUE(
      RunChild(Program(), {u"--dbdir", Home(), u"webserver", u"--port", u"70000"}, ChildOptions(), 30000, &r).ok());
  EXPECT_EQ(r.exit_code, 2);
  r.out = PlainText(r.out);
  EXPECT_NE(r.out.find("invalid port \"70000\""), std::string::npos) << r.out;
  ASSERT_TRUE(RunChild(Program(), {u"--dbdir", Home(), u"webserver", u"--port"}, ChildOptions(), 30000, &r).ok());
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_NE(r.out.find("--port needs a value"), std::string::npos) << r.out;
}

TEST_F(WebserverProcessTest, DigestHandshakeAgainstTheProcess) {
  StartServer({u"--username", u"joe", u"--password", u"pa ss"});
  std::string challenge = Exchange(Get("/query.json?q=a"));
  size_t n = challenge.find("nonce=\"");
  ASSERT_NE(n, std::string::npos) << challenge;
  std::string nonce = challenge.substr(n + 7, challenge.find('"', n + 7) - n - 7);
  auto header = [&](const std::string& pw) {
    std::string resp =
        Md5Hex(Md5Hex("joe:Nusk:" + pw) + ":" + nonce + ":00000001:c0ffee:auth:" + Md5Hex("GET:/query.json?q=a"));
    return "Authorization: Digest username=\"joe\", realm=\"Nusk\", nonce=\"" + nonce +
           "\", uri=\"/query.json?q=a\", qop=auth, nc=00000001, cnonce=\"c0ffee\", response=\"" + resp +
           "\"\r\nConnection: close\r\n";
  };
  EXPECT_EQ(Exchange(Get("/query.json?q=a", header("pa ss"))).substr(0, 17), "HTTP/1.1 200 OK\r\n");
  EXPECT_EQ(Exchange(Get("/query.json?q=a", header("wrong"))).substr(0, 25), "HTTP/1.1 401 Unauthorized");
  std::string out = StopServer();
  if (OnWindows()) return;
  // Listening on every address was asked for implicitly by setting a user.
  EXPECT_NE(out.find("Web server started at :" + std::to_string(port_)), std::string::npos) << out;
  EXPECT_NE(out.find("Failed login for user \"joe\" from 127.0.0.1"), std::string::npos) << out;
  // Wrong passwords are logged; the bare first requests that get a challenge are not.
  size_t failures = 0;
  for (size_t p = out.find("Failed login"); p != std::string::npos; p = out.find("Failed login", p + 1)) ++failures;
  EXPECT_EQ(failures, 1u) << out;
  EXPECT_EQ(out.find("wrong"), std::string::npos) << out;
  EXPECT_EQ(out.find("pa ss"), std::string::npos) << out;
}

// ---- With a built index (POSIX: the drive map points C: at the fixture tree) ----

TEST_F(WebserverProcessTest, SearchesDownloadsAndHiddenItems) {
  if (OnWindows()) GTEST_SKIP() << "drive C: cannot be pointed at a fixture tree on Windows";
  BuildIndex();
  {
    // Hide one file, as the window's "hide" command would.
    NuskDb db;
    ASSERT_TRUE(LoadNuskDb(&db, Home(), Env::Default()).ok());
    uint32_t i = 0;
    while (i < db.item_count() && db.ItemName(i) != u"private.txt") ++i;
    ASSERT_LT(i, db.item_count());
    db.SetHideState(i, false);
    ASSERT_TRUE(SaveHiddenList(&db).ok());
  }
  StartServer({});
  // Paths are shown and linked as this system writes them; drive forms still resolve.
  const std::string tree = ToUtf8(tree_.path());
  std::string json = Exchange(Get("/query.json?q=readme&showSize=1", "Connection: close\r\n"));
  EXPECT_NE(json.find("[\"" + tree + "docs/readme.txt|1 KB\"]"), std::string::npos) << json;
  std::string folders = Exchange(Get("/query.json?q=docs", "Connection: close\r\n"));
  EXPECT_NE(folders.find("\"" + tree + "docs/\""), std::string::npos) << folders;

  std::string file = Exchange(Get(tree + "docs/readme.txt", "Connection: close\r\n"));
  EXPECT_EQ(file.substr(0, 17), "HTTP/1.1 200 OK\r\n");
  EXPECT_EQ(file.substr(file.size() - 10), "hello web\n");
  EXPECT_EQ(Exchange(Get("/C:/docs")), "HTTP/1.1 301 Moved Permanently\r\nLocation: /C:/docs/\r\n\r\n");
  EXPECT_EQ(Exchange(Get(tree + "docs/")),
            "HTTP/1.1 302 Found\r\nLocation: /?q=C%3A%5Cdocs%5C\r\nContent-Length: 0\r\n\r\n");
  // Hidden by the user or outside the index: never served.
  EXPECT_EQ(Exchange(Get("/C:/docs/private.txt")).substr(0, 22), "HTTP/1.1 404 Not Found");
  EXPECT_EQ(Exchange(Get("/C:/nusk.ini")).substr(0, 22), "HTTP/1.1 404 Not Found");
  std::string page = Exchange(Get("/?q=txt", "Connection: close\r\n"));
  EXPECT_NE(page.find("<li><a href=\"" + tree + "docs/readme.txt\">" + tree + "docs/readme.txt</a></li>"),
            std::string::npos);
  EXPECT_EQ(page.find("private.txt"), std::string::npos);
  StopServer();
}

}  // namespace
}  // namespace nusk
