// The web service's routes over a real socket, against a fake index.
#include <gtest/gtest.h>

#include <map>

#include "tests/testing/test_env.h"
#include "tests/web/raw_client.h"
#include "util/utf.h"
#include "web/web_service.h"

namespace nusk {
namespace {

using nusk::testing::Get;
using nusk::testing::RawClient;

class FakeSearch : public WebSearch {
 public:
  uint32_t Run(std::u16string_view query) override {
    queries.push_back(ToUtf8(query));
    return static_cast<uint32_t>(rows.size());
  }
  bool Row(uint32_t position, std::u16string* path, uint64_t* size) override {
    if (position >= rows.size()) return false;
    *path = FromUtf8(rows[position].first);
    *size = rows[position].second;
    return true;
  }
  bool Shows(std::u16string_view index_path, bool* is_folder) override {
    auto it = shown.find(ToUtf8(index_path));
    if (it == shown.end()) return false;
    *is_folder = it->second;
    return true;
  }
  std::u16string ToNativePath(std::u16string_view index_path) override {
    std::u16string rest(index_path.substr(3));  // after "C:\"
    for (char16_t& c : rest) {
      if (c == u'\\') c = Env::Default()->PathSeparator();
    }
    return root + rest;
  }

  std::vector<std::pair<std::string, uint64_t>> rows;
  std::map<std::string, bool> shown;
  std::u16string root;
  std::vector<std::string> queries;
};

class WebServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    search_.root = dir_.path();
    service_ = std::make_unique<WebService>(&search_);
    service_->Configure(u"127.0.0.1", 0, u"", u"");
    ASSERT_TRUE(service_->Start()) << ToUtf8(service_->LastError());
  }
  void TearDown() override { service_->Stop(); }

  // The body of a chunked answer, and the head in *head.
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

  void AddFiles(int n) {
    for (int i = 0; i < n; ++i) search_.rows.push_back({"C:\\d\\f" + std::to_string(i) + ".txt", 1});
  }

  nusk::testing::TempDir dir_;
  FakeSearch search_;
  std::unique_ptr<WebService> service_;
};

int CountStrings(const std::string& json) {
  int n = 0;
  for (char c : json) n += c == '"';
  return n / 2;
}

TEST_F(WebServiceTest, JsonRangesFollowFromAndTo) {
  AddFiles(120);
  std::string head;
  std::string json = Fetch("/query.json?q=abc&from=0", &head);
  EXPECT_EQ(head, "HTTP/1.1 200 OK\r\nContent-Type: application/json; charset=utf-8\r\nTransfer-Encoding: chunked\r\n\r\n");
  EXPECT_EQ(CountStrings(json), 50);
  EXPECT_EQ(json.substr(0, 16), "[\"C:/d/f0.txt\",\"");
  EXPECT_NE(json.find("\"C:/d/f49.txt\"]"), std::string::npos);
  json = Fetch("/query.json?q=abc&from=10&to=200");
  EXPECT_EQ(CountStrings(json), 50);
  EXPECT_EQ(json.substr(0, 15), "[\"C:/d/f10.txt\"");
  EXPECT_NE(json.find("\"C:/d/f59.txt\"]"), std::string::npos);
  EXPECT_EQ(Fetch("/query.json?q=abc&from=100&to=102"), "[\"C:/d/f100.txt\",\"C:/d/f101.txt\",\"C:/d/f102.txt\"]");
  EXPECT_EQ(Fetch("/query.json?q=abc&from=110"), std::string("[") + [] {
              std::string s;
              for (int i = 110; i < 120; ++i) s += std::string(i > 110 ? "," : "") + "\"C:/d/f" + std::to_string(i) + ".txt\"";
              return s;
            }() + "]");
  EXPECT_EQ(Fetch("/query.json?q=abc&from=500"), "[]");
  EXPECT_EQ(search_.queries.back(), "abc");
}

TEST_F(WebServiceTest, JsonRowsForFoldersRootsAndSizes) {
  search_.rows = {{"C:\\", 0}, {"C:\\Program Files\\", 0}, {"C:\\a\\b.bin", 1536},
                  {"C:\\a\\empty", 0}, {"C:\\a\\big", 1234567890}, {"C:\\a\\q\"uote\\x", 1}};
  EXPECT_EQ(Fetch("/query.json?q=x&showSize=1"),
            "[\"C:/\",\"C:/Program Files/\",\"C:/a/b.bin|2 KB\",\"C:/a/empty|0 KB\",\"C:/a/big|1,205,633 KB\","
            "\"C:/a/q\\\"uote/x|1 KB\"]");
  EXPECT_EQ(Fetch("/query.json?q=x&showSize=0&to=3"), "[\"C:/\",\"C:/Program Files/\",\"C:/a/b.bin\",\"C:/a/empty\"]");
}

TEST_F(WebServiceTest, ParametersFromQueryStringOrFormBody) {
  AddFiles(3);
  Fetch("/query.json?q=caf%C3%A9+bar");
  EXPECT_EQ(search_.queries.back(), "caf\xC3\xA9 bar");
  RawClient client(service_->port());
  client.Send("POST /query.json HTTP/1.1\r\nContent-Type: application/x-www-form-urlencoded\r\nContent-Length: 17\r\n"
              "Connection: close\r\n\r\nq=posted&from=2&x");
  ASSERT_TRUE(client.ReadUntilClosed());
  EXPECT_EQ(search_.queries.back(), "posted");
  EXPECT_NE(client.received().find("[\"C:/d/f2.txt\"]"), std::string::npos);
  // Bad input is refused with a reason instead of searching for something else.
  std::string head;
  std::string body = Fetch("/query.json?q=" + std::string(261, 'a'), &head);
  EXPECT_EQ(head.substr(0, 24), "HTTP/1.1 400 Bad Request");
  EXPECT_NE(body.find("longer than 260"), std::string::npos);
  EXPECT_EQ(Fetch("/query.json?q=" + std::string(260, 'a')).substr(0, 1), "[");
  Fetch("/query.json?q=abc&from=x", &head);
  EXPECT_EQ(head.substr(0, 24), "HTTP/1.1 400 Bad Request");
  Fetch("/?q=%zz", &head);
  EXPECT_EQ(head.substr(0, 24), "HTTP/1.1 400 Bad Request");
}

TEST_F(WebServiceTest, SearchPageRowsAndMarkup) {
  search_.rows = {{"C:\\", 0}, {"C:\\Docs\\", 0}, {"C:\\Docs\\a.txt", 1536}, {"C:\\Docs\\zero", 0},
                  {"C:\\x\\<b>&.txt", 5}};
  std::string head;
  std::string page = Fetch("/?q=say+%22hi%22&showSize=1", &head);
  EXPECT_EQ(head, "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nTransfer-Encoding: chunked\r\n\r\n");
  EXPECT_NE(page.find("<title>Nusk file search</title>"), std::string::npos);
  EXPECT_NE(page.find("value=\"say &quot;hi&quot;\""), std::string::npos);
  EXPECT_NE(page.find("var totalFoundCount = 5;"), std::string::npos);
  EXPECT_NE(page.find("var firstLoadedCount = 5;"), std::string::npos);
  EXPECT_NE(page.find("<li><a href=\"/C:/\">C:\\</a></li>"), std::string::npos);
  EXPECT_NE(page.find("<li><a href=\"/C:/Docs/\">C:\\Docs\\</a></li>"), std::string::npos);
  EXPECT_NE(page.find("<li><a href=\"/C:/Docs/a.txt\">C:\\Docs\\a.txt</a>(2 KB)</li>"), std::string::npos);
  EXPECT_NE(page.find("<li><a href=\"/C:/Docs/zero\">C:\\Docs\\zero</a>(0 KB)</li>"), std::string::npos);
  // Markup in a name is shown as text, and the link still names the file.
  EXPECT_NE(page.find("<li><a href=\"/C:/x/%3Cb%3E&amp;.txt\">C:\\x\\&lt;b&gt;&amp;.txt</a>(1 KB)</li>"),
            std::string::npos);
  EXPECT_NE(page.find("id=\"chkShowSize\" name=\"showSize\" value=\"1\" checked"), std::string::npos);
  for (const char* id : {"id=\"frm\"", "id=\"txt\" name=\"q\"", "id=\"chkThumbnails\"", "id=\"chkAutoShowMore\"",
                         "id=\"txtHistory\"", "<ol id=\"ol\">", "New search", "Root folder", "Go up"}) {
    EXPECT_NE(page.find(id), std::string::npos) << id;
  }
  EXPECT_NE(page.find("</ol>\n<script>updateThumbnails();</script>\n"), std::string::npos);
  EXPECT_EQ(page.find("id=\"showMore\""), std::string::npos);  // everything is shown
  EXPECT_NE(page.find("Found <b>5</b> items ("), std::string::npos);
  const std::string tail = "\n<script>\n  loadHistory();\n</script>\n<script>onload();</script></body></html>\n";
  ASSERT_GT(page.size(), tail.size());
  EXPECT_EQ(page.substr(page.size() - tail.size()), tail);

  page = Fetch("/?q=a");
  EXPECT_EQ(page.find(" checked"), std::string::npos);
  EXPECT_NE(page.find("<li><a href=\"/C:/Docs/a.txt\">C:\\Docs\\a.txt</a></li>"), std::string::npos);
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

TEST_F(WebServiceTest, FileLinksServeOnlyWhatTheIndexShows) {
  dir_.WriteFile(u"Docs/a.txt", "alpha");
  dir_.WriteFile(u"Docs/hidden.txt", "secret");
  search_.shown = {{"C:\\Docs", true}, {"C:\\Docs\\a.txt", false}};
  std::string head;
  EXPECT_EQ(Fetch("/C:/Docs/a.txt", &head), "alpha");
  EXPECT_NE(head.find("Content-Length: 5\r\n"), std::string::npos);
  Fetch("/C:/Docs/hidden.txt", &head);
  EXPECT_EQ(head.substr(0, 22), "HTTP/1.1 404 Not Found");
  Fetch("/C:/Docs/../Docs/hidden.txt", &head);
  EXPECT_EQ(head.substr(0, 22), "HTTP/1.1 404 Not Found");
  Fetch("/C:/Docs", &head);
  EXPECT_EQ(head, "HTTP/1.1 301 Moved Permanently\r\nLocation: /C:/Docs/\r\n\r\n");
  // Shown by the index but gone from the disk.
  search_.shown["C:\\Docs\\gone.txt"] = false;
  Fetch("/C:/Docs/gone.txt", &head);
  EXPECT_EQ(head.substr(0, 22), "HTTP/1.1 404 Not Found");
}

TEST_F(WebServiceTest, OtherPathsAndThumbnails) {
  std::string head;
  EXPECT_EQ(Fetch("/favicon.ico", &head), "This is a reply from server instance # (null)");
  EXPECT_EQ(head.substr(0, 17), "HTTP/1.1 200 OK\r\n");
  Fetch("/thumb.png?file=C%3A%5Cx.jpg", &head);
  EXPECT_EQ(head.substr(0, 22), "HTTP/1.1 404 Not Found");
}

TEST_F(WebServiceTest, DigestProtectsEveryRoute) {
  service_->Stop();
  service_->Configure(u"127.0.0.1", 0, u"joe", u"pw");
  ASSERT_TRUE(service_->Start());
  std::string head;
  Fetch("/query.json?q=a", &head);
  EXPECT_EQ(head.substr(0, 25), "HTTP/1.1 401 Unauthorized");
  Fetch("/C:/Docs/a.txt", &head);
  EXPECT_EQ(head.substr(0, 25), "HTTP/1.1 401 Unauthorized");
}

TEST_F(WebServiceTest, StartFailsWithTheReasonWhenThePortIsTaken) {
  WebService second(&search_);
  second.Configure(u"127.0.0.1", service_->port(), u"", u"");
  EXPECT_FALSE(second.Start());
  EXPECT_NE(ToUtf8(second.LastError()).find(std::to_string(service_->port())), std::string::npos);
  second.Configure(u"not an address", 8080, u"", u"");
  EXPECT_FALSE(second.Start());
  EXPECT_FALSE(second.LastError().empty());
}

TEST(WebTextTest, SizesNumbersAndEscapes) {
  EXPECT_EQ(SizeText(0), "0 KB");
  EXPECT_EQ(SizeText(1), "1 KB");
  EXPECT_EQ(SizeText(1024), "1 KB");
  EXPECT_EQ(SizeText(1025), "2 KB");
  EXPECT_EQ(SizeText(1024ull * 999999), "999,999 KB");
  EXPECT_EQ(SizeText(1024ull * 1000000), "1,000,000 KB");
  EXPECT_EQ(GroupedNumber(999), "999");
  EXPECT_EQ(GroupedNumber(1000), "1,000");
  EXPECT_EQ(GroupedNumber(12345678), "12,345,678");
  EXPECT_EQ(JsonEscape("a\"b\\c\x01"), "a\\\"b\\\\c\\u0001");
  EXPECT_EQ(HtmlEscape("<a href=\"x\">&</a>"), "&lt;a href=&quot;x&quot;&gt;&amp;&lt;/a&gt;");
}

}  // namespace
}  // namespace nusk
