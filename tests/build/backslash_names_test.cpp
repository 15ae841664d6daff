// Names POSIX allows that an index path cannot hold as they are: a '\' inside a name (the
// index's folder separator) and bytes that are no UTF-8. Each such file must be indexed,
// printed by find with its real path, scoped by its folder, and opened again by the path
// the product shows (hashing, web links).
#include <gtest/gtest.h>

#include <random>
#include <set>

#include "platform/env.h"
#include "platform/native_name.h"
#include "platform/process.h"
#include "tests/build/build_test_support.h"
#include "tests/search/console_find_run.h"
#include "tests/web/raw_client.h"
#include "util/utf.h"
#include "web/web_search.h"
#include "web/web_service.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace nusk::testing {
namespace {

constexpr auto npos = std::u16string::npos;

TEST(NativeNameTest, EscapesOnlyWhatAnIndexNameCannotHold) {
  for (const auto& [bytes, name] : std::vector<std::pair<std::string, std::u16string>>{
           {"a\\x2db.slice", u"a\uF05Cx2db.slice"},
           {"caf\xC3\xA9 \xF0\x9F\x98\x80", u"caf\u00E9 \U0001F600"},
           {"b\xFF\xC3", u"b\uF0FF\uF0C3"},          // a stray byte, a cut sequence
           {"\xC0\xAF", u"\uF0C0\uF0AF"},            // an overlong '/' is no text
           {"\xED\xA0\x80", u"\uF0ED\uF0A0\uF080"},  // nor an encoded surrogate
           {"\xEF\x81\x9C", u"\uF0EF\uF081\uF09C"},  // U+F05C itself keeps its bytes
           {"\xEF\x81\x81", u"\uF041"}}) {           // U+F041 never stands for a byte,
    EXPECT_EQ(NameFromNative(bytes), name);
    EXPECT_EQ(NativeFromPath(name), bytes);
  }
  EXPECT_EQ(NativeFromPath(u"\uF041\uF000\uF02F"), "\xEF\x81\x81\xEF\x80\x80\xEF\x80\xAF");  // so no NUL or '/'
  EXPECT_EQ(PathFromNative("/a\\b"), u"/a\\b");                                              // in a path '\' is kept
  std::mt19937 rng(5);
  const std::string bytes_used = "a/\\\x80\xBF\xC3\xA9\xE2\x82\xAC\xEF\x81\x9C\xF0\x9F\xED\xFF";
  for (int n = 0; n < 3000; ++n) {
    std::string bytes;
    for (int k = static_cast<int>(rng() % 12); k > 0; --k) bytes += bytes_used[rng() % bytes_used.size()];
    const std::u16string name = NameFromNative(bytes);
    ASSERT_EQ(name.find(u'\\'), npos) << bytes;
    ASSERT_EQ(NativeFromPath(name), bytes);
    ASSERT_EQ(NativeFromPath(PathFromNative(bytes)), bytes);
  }
}

#ifndef _WIN32

// Relative byte path -> content. Each content tells which file was opened.
const std::vector<std::pair<std::string, std::string>> kFiles = {
    {"a\\x2db.slice", "slice"},     {"dir\\in/top.txt", "top"},
    {"dir\\in/sub/kid.txt", "kid"}, {"dir/in/decoy.txt", "decoy"},  // where "dir\in" split at its '\' would point
    {"bad\xFF\xFEname", "bad"},     {"pua\xEF\x81\x9Cx", "pua"},
};

// Writes a file and its folders by their bytes, as any program could.
void WriteByBytes(const std::string& root, const std::string& rel, const std::string& content) {
  for (size_t slash = rel.find('/'); slash != std::string::npos; slash = rel.find('/', slash + 1)) {
    ::mkdir((root + rel.substr(0, slash)).c_str(), 0755);
  }
  int fd = ::open((root + rel).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0) << rel;
  ASSERT_EQ(::write(fd, content.data(), content.size()), static_cast<ssize_t>(content.size()));
  ::close(fd);
}

class OddNamesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = NativeFromPath(f_.MapDrive(u'D', u"d"));
    for (const auto& [rel, content] : kFiles) WriteByBytes(root_, rel, content);
    ASSERT_EQ(f_.RunInProcess({u"D"}), 0) << f_.ReadLog();
  }

  // find's output lines, as bytes.
  std::set<std::string> Find(const std::vector<std::u16string>& words) {
    const ConsoleFind found = RunConsoleFind(f_.home().path(), words, DriveMap::Load(f_.SettingsPath()));
    EXPECT_EQ(found.status, 0);
    EXPECT_EQ(found.err, "");
    std::set<std::string> lines;
    for (const std::u16string& line : found.Entries()) lines.insert(NativeFromPath(line));
    return lines;
  }

  BuildFixture f_;
  std::string root_;
};

TEST_F(OddNamesTest, FoundByTheirRealPathsAndScopedByTheirFolders) {
  auto items = f_.Items();
  for (const char16_t* p : {u"D:\\a\uF05Cx2db.slice", u"D:\\dir\uF05Cin\\sub\\kid.txt", u"D:\\dir\\in\\decoy.txt",
                            u"D:\\bad\uF0FF\uF0FEname", u"D:\\pua\uF0EF\uF081\uF09Cx"}) {
    EXPECT_EQ(items.count(p), 1u) << ToUtf8(p);
  }
  std::set<std::string> expected;
  for (const auto& [rel, content] : kFiles) expected.insert(root_ + rel);
  const std::set<std::string> files = Find({u"/f"});
  EXPECT_EQ(files, expected);
  // A folder holding '\' scopes the search to what lies below it, and only that.
  const std::set<std::string> below = {root_ + "dir\\in/sub/", root_ + "dir\\in/sub/kid.txt",
                                       root_ + "dir\\in/top.txt"};
  EXPECT_EQ(Find({u"--in", PathFromNative(root_ + "dir\\in")}), below);
  EXPECT_EQ(Find({u"--in", PathFromNative(root_ + "dir\\in/")}), below);
}

TEST_F(OddNamesTest, HashedAndServedByTheirLinks) {
  ChildResult r;
  ASSERT_TRUE(
      RunChild(FromUtf8(NUSK_BINARY_DIR "/tools/sumtor/sumtor"), {u"--dbdir", f_.home().path()}, {}, 60000, &r).ok());
  EXPECT_NE(r.out.find("Hashed 6 of 6 files"), std::string::npos) << r.out;

  std::string error;
  std::unique_ptr<WebSearch> search =
      OpenIndexWebSearch(f_.home().path(), f_.home().path() + u"nusk.ini", Env::Default(), &error);
  ASSERT_TRUE(search) << error;
  WebService service(search.get(), Env::Default());
  service.Configure(u"127.0.0.1", 0, u"", u"");
  ASSERT_TRUE(service.Start());
  const auto fetch = [&service](const std::string& target) {
    RawClient client(service.port());
    client.Send("GET " + target + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
    EXPECT_TRUE(client.ReadUntilClosed());
    return client.Take();
  };
  // The page's own link of each file serves that file.
  for (const auto& [word, content] : std::vector<std::pair<std::string, std::string>>{
           {"x2db", "slice"}, {"top", "top"}, {"kid", "kid"}, {"name", "bad"}, {"pua", "pua"}}) {
    const std::string page = fetch("/?q=" + word);
    const size_t at = page.find("<li><a href=\"");
    ASSERT_NE(at, std::string::npos) << page;
    const size_t from = at + 13;
    const std::string answer = fetch(page.substr(from, page.find('"', from) - from));
    EXPECT_EQ(answer.substr(answer.size() - content.size()), content) << answer;
  }
}

#endif  // _WIN32

}  // namespace
}  // namespace nusk::testing
