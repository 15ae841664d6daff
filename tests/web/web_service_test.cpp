// The web service's routes over a real socket, against a fake index whose items live in
// a scratch folder (POSIX: drive C: mapped to it; Windows: its own path is the index path).
#include <gtest/gtest.h>

#include <map>

#include "settings/drive_map.h"
#include "tests/testing/test_env.h"
#include "tests/web/raw_client.h"
#include "tests/web/web_test_util.h"
#include "util/utf.h"
#include "web/http_text.h"
#include "web/web_service.h"

namespace nusk {
namespace {

using nusk::testing::Get;
using nusk::testing::OnWindows;
using nusk::testing::RawClient;

std::string Slashed(std::u16string path) {
  for (char16_t& c : path) c = c == u'\\' ? u'/' : c;
  return ToUtf8(path);
}

class FakeSearch : public WebSearch {
 public:
  explicit FakeSearch(const std::u16string& root) {
    std::array<std::u16string, 26> targets{};
    std::array<bool, 26> folder{};
    targets[2] = root.substr(0, root.size() - 1);
    folder[2] = true;
    drives_ = OnWindows() ? DriveMap::Native() : DriveMap::FromTargets(targets, folder);
    index_root_ = OnWindows() ? root : u"C:\\";
  }
  // Index path of a path relative to the root ('/'-separated).
  std::u16string Index(std::string_view relative) const {
    std::u16string p = index_root_ + FromUtf8(relative);
    for (char16_t& c : p) c = c == u'/' ? u'\\' : c;
    while (p.size() > 2 && p.back() == u'\\') p.pop_back();
    return p;
  }
  void AddRow(std::string_view relative, uint64_t size = 1, bool folder = false) {
    rows.push_back({Index(relative), folder, size});
  }
  void Show(std::string_view relative, bool folder = false) { shown[Index(relative)] = folder; }

  uint32_t Run(std::u16string_view query) override {
    queries.push_back(ToUtf8(query));
    return static_cast<uint32_t>(rows.size());
  }
  bool Row(uint32_t position, WebRow* row) override {
    if (position >= rows.size()) return false;
    *row = rows[position];
    return true;
  }
  bool Shows(std::u16string_view index_path, bool* is_folder) override {
    auto it = shown.find(std::u16string(index_path));
    if (it == shown.end()) return false;
    *is_folder = it->second;
    return true;
  }
  std::u16string ToNativePath(std::u16string_view p) override { return drives_.ToNativePath(p); }
  bool FromNativePath(std::u16string_view p, std::u16string* out) override { return drives_.FromNativePath(p, out); }
  bool Locate(std::u16string_view p, std::u16string* root, std::vector<std::u16string>* names) override {
    return drives_.Locate(p, root, names);
  }

  std::vector<WebRow> rows;
  std::map<std::u16string, bool> shown;
  std::vector<std::string> queries;

 private:
  DriveMap drives_;
  std::u16string index_root_;
};

class WebServiceTest : public ::testing::Test {
 protected:
  void SetUp() override { Restart(u""); }

  void Restart(std::u16string user) {
    service_ = std::make_unique<WebService>(&search_, Env::Default());
    service_->Configure(u"127.0.0.1", 0, user, u"pw");
    service_->SetThumbnails(&thumbnails_);
    ASSERT_TRUE(service_->Start()) << ToUtf8(service_->LastError());
  }

  // The body of an answer (chunks joined), and the head in *head.
  std::string Fetch(const std::string& target, std::string* head = nullptr) {
    RawClient client(service_->port());
    client.Send(Get(target, "Connection: close\r\n"));
    EXPECT_TRUE(client.ReadUntilClosed());
    std::string all = client.Take();
    size_t end = all.find("\r\n\r\n");
    if (head) *head = all.substr(0, end + 4);
    std::string rest = all.substr(end + 4), body;
    if (all.find("Transfer-Encoding: chunked") == std::string::npos) return rest;
    for (size_t pos = 0;;) {
      size_t eol = rest.find("\r\n", pos);
      size_t n = std::stoul(rest.substr(pos, eol - pos), nullptr, 16);
      if (n == 0) break;
      body += rest.substr(eol + 2, n);
      pos = eol + 2 + n + 2;
    }
    return body;
  }
  std::string Status(const std::string& target) {
    std::string head;
    Fetch(target, &head);
    return head.substr(0, head.find("\r\n"));
  }

  // The '/'-separated shown path of a relative path, and the page's link to it.
  std::string Shown(std::string_view relative) const { return Slashed(dir_.path()) + std::string(relative); }
  std::string Link(std::string_view relative) const { return (OnWindows() ? "/" : "") + Shown(relative); }

  void AddFiles(int n) {
    for (int i = 0; i < n; ++i) search_.AddRow("d/f" + std::to_string(i) + ".txt");
  }

  nusk::testing::TempDir dir_;
  nusk::testing::TempDir cache_dir_;
  FakeSearch search_{dir_.path()};
  ThumbnailCache thumbnails_{cache_dir_.Sub(u"thumbs/"), 48, Env::Default()};
  std::unique_ptr<WebService> service_;
};

TEST_F(WebServiceTest, JsonRangesFollowFromAndTo) {
  AddFiles(120);
  auto json = [&](int first, int last) {
    std::string s = "[";
    for (int i = first; i <= last; ++i)
      s += (i > first ? ",\"" : "\"") + Shown("d/f" + std::to_string(i) + ".txt") + "\"";
    return s + "]";
  };
  std::string head;
  EXPECT_EQ(Fetch("/query.json?q=abc&from=0", &head), json(0, 49));
  EXPECT_EQ(head,
            "HTTP/1.1 200 OK\r\nContent-Type: application/json; charset=utf-8\r\nTransfer-Encoding: chunked\r\n\r\n");
  EXPECT_EQ(Fetch("/query.json?q=abc&from=10&to=200"), json(10, 59));
  EXPECT_EQ(Fetch("/query.json?q=abc&from=100&to=102"), json(100, 102));
  EXPECT_EQ(Fetch("/query.json?q=abc&from=110"), json(110, 119));
  EXPECT_EQ(Fetch("/query.json?q=abc&from=500"), "[]");
  EXPECT_EQ(search_.queries.back(), "abc");
}

TEST_F(WebServiceTest, ParametersFromQueryStringOrFormBody) {
  AddFiles(3);
  Fetch("/query.json?q=caf%C3%A9+bar");
  EXPECT_EQ(search_.queries.back(), "caf\xC3\xA9 bar");
  RawClient client(service_->port());
  client.Send(
      "POST /query.json HTTP/1.1\r\nHost: t\r\nContent-Type: application/x-www-form-urlencoded\r\nContent-Length: "
      "17\r\n"
      "Connection: close\r\n\r\nq=posted&from=2&x");
  ASSERT_TRUE(client.ReadUntilClosed());
  EXPECT_EQ(search_.queries.back(), "posted");
  EXPECT_NE(client.received().find("[\"" + Shown("d/f2.txt") + "\"]"), std::string::npos);
  // Bad input is refused with a reason instead of searching for something else.
  std::string head;
  std::string body = Fetch("/query.json?q=" + std::string(261, 'a'), &head);
  EXPECT_EQ(head.substr(0, 24), "HTTP/1.1 400 Bad Request");
  EXPECT_NE(body.find("longer than 260"), std::string::npos);
  EXPECT_EQ(Fetch("/query.json?q=" + std::string(260, 'a')).substr(0, 1), "[");
  EXPECT_EQ(Status("/query.json?q=abc&from=x"), "HTTP/1.1 400 Bad Request");
  EXPECT_EQ(Status("/?q=%zz"), "HTTP/1.1 400 Bad Request");
}

TEST_F(WebServiceTest, SearchPageMarkupAndNativeRows) {
  search_.AddRow("Docs", 0, /*folder=*/true);
  search_.AddRow("Docs/a.txt", 1536);
  std::string head;
  std::string page = Fetch("/?q=say+%22hi%22&showSize=1", &head);
  EXPECT_EQ(head, "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nTransfer-Encoding: chunked\r\n\r\n");
  EXPECT_NE(page.find("<title>Nusk file search</title>"), std::string::npos);
  EXPECT_NE(page.find("value=\"say &quot;hi&quot;\""), std::string::npos);
  EXPECT_NE(page.find("var totalFoundCount = 2;"), std::string::npos);
  EXPECT_NE(page.find("var firstLoadedCount = 2;"), std::string::npos);
  EXPECT_NE(page.find(OnWindows() ? "var backslashPaths = true;" : "var backslashPaths = false;"), std::string::npos);
  // Rows show the paths of this system.
  EXPECT_NE(
      page.find("<li><a href=\"" + Link("Docs/a.txt") + "\">" + ToUtf8(dir_.Sub(u"Docs/a.txt")) + "</a>(2 KB)</li>"),
      std::string::npos)
      << page;
  EXPECT_NE(page.find("id=\"chkShowSize\" name=\"showSize\" value=\"1\" checked"), std::string::npos);
  EXPECT_NE(page.find("</ol>\n<script>updateThumbnails();</script>\n"), std::string::npos);
  EXPECT_EQ(page.find("id=\"showMore\""), std::string::npos);  // everything is shown
  EXPECT_NE(page.find("Found <b>2</b> items ("), std::string::npos);
  const std::string tail = "\n<script>\n  loadHistory();\n</script>\n<script>onload();</script></body></html>\n";
  ASSERT_GT(page.size(), tail.size());
  EXPECT_EQ(page.substr(page.size() - tail.size()), tail);
  EXPECT_EQ(Fetch("/?q=a").find(" checked"), std::string::npos);
}

TEST_F(WebServiceTest, PageOffersMoreWhenResultsRemain) {
  AddFiles(1234);
  std::string page = Fetch("/?q=f");
  EXPECT_NE(page.find("var totalFoundCount = 1234;"), std::string::npos);
  EXPECT_NE(page.find("var firstLoadedCount = 50;"), std::string::npos);
  EXPECT_NE(page.find("Showing <label id=\"lblShowingCount\">50</label> items."), std::string::npos);
  EXPECT_NE(page.find("id=\"showMore\""), std::string::npos);
  EXPECT_NE(page.find("Found <b>1,234</b> items"), std::string::npos);
  size_t items = 0;
  for (size_t p = page.find("<li>"); p != std::string::npos; p = page.find("<li>", p + 1)) ++items;
  EXPECT_EQ(items, 50u);
}

TEST_F(WebServiceTest, LinksServeOnlyWhatTheIndexShows) {
  dir_.WriteFile(u"Docs/a.txt", "alpha");
  dir_.WriteFile(u"Docs/hidden.txt", "secret");
  search_.Show("Docs", true);
  search_.Show("Docs/a.txt");
  std::string head;
  EXPECT_EQ(Fetch(Link("Docs/a.txt"), &head), "alpha");
  EXPECT_NE(head.find("Content-Length: 5\r\n"), std::string::npos);
  EXPECT_EQ(Fetch(Link("Docs/hidden.txt")).find("secret"), std::string::npos);
  EXPECT_EQ(Fetch(Link("Docs/../Docs/hidden.txt")).find("secret"), std::string::npos);
  // A folder named without '/' gets 301; with '/', the search inside it.
  Fetch(Link("Docs"), &head);
  EXPECT_EQ(head, "HTTP/1.1 301 Moved Permanently\r\nLocation: " + Link("Docs") + "/\r\n\r\n");
  Fetch(Link("Docs/"), &head);
  std::u16string folder_query = search_.Index("Docs") + u"\\";
  if (folder_query.find(u' ') != std::u16string::npos) folder_query = u"\"" + folder_query + u"\"";
  const std::string location = "Location: /?q=";
  ASSERT_EQ(head.substr(0, 20 + location.size()), "HTTP/1.1 302 Found\r\n" + location) << head;
  const std::string value = head.substr(20 + location.size(), head.find("\r\n", 20) - 20 - location.size());
  EXPECT_EQ(value.find_first_of(" \\:\""), std::string::npos) << value;  // escaped for a header and a query
  EXPECT_EQ(http::UrlDecode(value, true, true), ToUtf8(folder_query));
  EXPECT_EQ(head.substr(head.size() - 23), "\r\nContent-Length: 0\r\n\r\n");
  // Shown by the index but gone from the disk.
  search_.Show("Docs/gone.txt");
  EXPECT_EQ(Status(Link("Docs/gone.txt")), "HTTP/1.1 404 Not Found");
  // The drive form of a link works on every system.
  if (!OnWindows()) { EXPECT_EQ(Fetch("/C:/Docs/a.txt"), "alpha"); }
}

TEST_F(WebServiceTest, ThumbnailsOfShownFilesOnly) {
  // Served as its own thumbnail where the system has no thumbnailer, pictured by the
  // shell (or its icon) on Windows.
  dir_.WriteFile(u"pics/dot.png", nusk::testing::TinyPng());
  dir_.WriteFile(u"pics/secret.png", nusk::testing::TinyPng());
  search_.Show("pics", true);
  search_.Show("pics/dot.png");
  auto query = [&](std::u16string_view relative) {
    std::string out = "/thumb.png?file=";
    for (char c : ToUtf8(dir_.Sub(relative))) out += c == '\\' ? "%5C" : c == ' ' ? "%20" : std::string(1, c);
    return out;
  };
  std::string head;
  std::string png = Fetch(query(u"pics/dot.png"), &head);
  EXPECT_EQ(head.substr(0, 17), "HTTP/1.1 200 OK\r\n");
  EXPECT_NE(head.find("Content-Type: image/png\r\n"), std::string::npos);
  EXPECT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n");
  // Hidden, a folder, or no file at all: declined.
  EXPECT_EQ(Status(query(u"pics/secret.png")), "HTTP/1.1 404 Not Found");
  EXPECT_EQ(Status(query(u"pics")), "HTTP/1.1 404 Not Found");
  EXPECT_EQ(Status("/thumb.png"), "HTTP/1.1 404 Not Found");
}

TEST_F(WebServiceTest, OtherPathsAreNotFound) {
  std::string head;
  EXPECT_EQ(Fetch("/favicon.ico", &head), "404 Not Found\n");
  EXPECT_EQ(head.substr(0, 24), "HTTP/1.1 404 Not Found\r\n");
  EXPECT_EQ(Status("/no/such/thing"), "HTTP/1.1 404 Not Found");
}

TEST_F(WebServiceTest, DigestProtectsEveryRoute) {
  Restart(u"joe");
  EXPECT_EQ(Status("/query.json?q=a"), "HTTP/1.1 401 Unauthorized");
  EXPECT_EQ(Status("/C:/Docs/a.txt"), "HTTP/1.1 401 Unauthorized");
  EXPECT_EQ(Status("/thumb.png?file=x"), "HTTP/1.1 401 Unauthorized");
}

TEST_F(WebServiceTest, StartStopStartOnOnePortAndBusyPorts) {
  uint16_t port = service_->port();
  WebService second(&search_, Env::Default());
  second.Configure(u"127.0.0.1", port, u"", u"");
  EXPECT_FALSE(second.Start());
  EXPECT_FALSE(second.IsRunning());
  EXPECT_NE(ToUtf8(second.LastError()).find(std::to_string(port)), std::string::npos);
  // As the window does: stop, start again on the same port, and again.
  service_->Stop();
  EXPECT_FALSE(service_->IsRunning());
  EXPECT_FALSE(RawClient(port).connected());
  for (int round = 0; round < 2; ++round) {
    service_->Configure(u"127.0.0.1", port, u"", u"");
    ASSERT_TRUE(service_->Start()) << ToUtf8(service_->LastError());
    EXPECT_TRUE(service_->IsRunning());
    EXPECT_EQ(Fetch("/query.json?q=x"), "[]");
    service_->Stop();
  }
  second.Configure(u"not an address", 8080, u"", u"");
  EXPECT_FALSE(second.Start());
  EXPECT_FALSE(second.LastError().empty());
}

TEST(WebTextTest, SizeRoundsUpToWholeKilobytes) {
  EXPECT_EQ(SizeText(1024), "1 KB");
  EXPECT_EQ(SizeText(1025), "2 KB");
  EXPECT_EQ(JsonEscape("a\x01"), "a\\u0001");
}

TEST(WebTextTest, RowsInWindowsAndPosixForm) {
  struct Case {
    ResultRow row;
    const char* json;
    const char* li;
  };
  const Case cases[] = {
      {{"C:", true, 0, '\\'}, "\"C:/\"", "<li><a href=\"/C:/\">C:\\</a></li>"},
      {{"C:\\Program Files", true, 0, '\\'},
       "\"C:/Program Files/\"",
       "<li><a href=\"/C:/Program%20Files/\">C:\\Program Files\\</a></li>"},
      {{"C:\\a\\b.bin", false, 1536, '\\'},
       "\"C:/a/b.bin|2 KB\"",
       "<li><a href=\"/C:/a/b.bin\">C:\\a\\b.bin</a>(2 KB)</li>"},
      {{"C:\\a\\<b>&.txt", false, 0, '\\'},
       "\"C:/a/<b>&.txt|0 KB\"",
       "<li><a href=\"/C:/a/%3Cb%3E&amp;.txt\">C:\\a\\&lt;b&gt;&amp;.txt</a>(0 KB)</li>"},
      {{"/", true, 0, '/'}, "\"/\"", "<li><a href=\"/\">/</a></li>"},
      {{"/srv/my docs", true, 0, '/'}, "\"/srv/my docs/\"", "<li><a href=\"/srv/my%20docs/\">/srv/my docs/</a></li>"},
      {{"/srv/q\"uote\\x", false, 1234567890, '/'},
       "\"/srv/q\\\"uote\\\\x|1,205,633 KB\"",
       "<li><a href=\"/srv/q%22uote%5Cx\">/srv/q&quot;uote\\x</a>(1,205,633 KB)</li>"},
      {{"E:/img/a.txt", false, 1, '/'},
       "\"E:/img/a.txt|1 KB\"",
       "<li><a href=\"/E:/img/a.txt\">E:/img/a.txt</a>(1 KB)</li>"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(JsonRow(c.row, true), c.json) << c.row.path;
    EXPECT_EQ(PageRow(c.row, true), c.li) << c.row.path;
  }
  EXPECT_EQ(JsonRow({"C:\\a\\b.bin", false, 1536, '\\'}, false), "\"C:/a/b.bin\"");
  EXPECT_EQ(PageRow({"/a/b", false, 1536, '/'}, false), "<li><a href=\"/a/b\">/a/b</a></li>");
}

}  // namespace
}  // namespace nusk
