// Every find command line that the README and the usage texts show runs as written: the
// command is split as a POSIX shell splits it (so an unquoted '>' or '\' fails here as it
// would for a reader), run over a small index with C: mapped to "/", and its output is
// compared with what the line's meaning selects from the index.
#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <functional>

#include "app/usage.h"
#include "search/hash_file.h"
#include "search/query_ranges.h"  // UnixToCompactTime
#include "tests/search/console_find_run.h"
#include "tests/search/search_fixture.h"
#include "util/utf.h"

namespace nusk::testing {
namespace {

// Shell words of a command line up to a pipe or a comment. False for what a shell would
// read otherwise (redirections, unbalanced quotes).
bool ShellWords(const std::string& line, std::vector<std::string>* words) {
  std::string word;
  bool in_word = false;
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '\'') {
      const size_t end = line.find('\'', i + 1);
      if (end == std::string::npos) return false;
      word += line.substr(i + 1, end - i - 1);
      in_word = true;
      i = end;
    } else if (c == '"') {
      in_word = true;
      for (++i; i < line.size() && line[i] != '"'; ++i) {
        if (line[i] == '\\' && i + 1 < line.size() && std::string("$`\"\\").find(line[i + 1]) != std::string::npos) ++i;
        word += line[i];
      }
      if (i >= line.size()) return false;
    } else if (c == '\\') {
      if (++i < line.size()) word += line[i];
      in_word = true;
    } else if (c == ' ') {
      if (in_word) words->push_back(word);
      word.clear();
      in_word = false;
    } else if (c == '#' && !in_word) {
      break;
    } else if (c == '|') {
      break;
    } else if (c == '<' || c == '>' || c == ';' || c == '&') {
      return false;
    } else {
      word += c;
      in_word = true;
    }
  }
  if (in_word) words->push_back(word);
  return true;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1) {
    lines.push_back(text.substr(start, nl - start));
  }
  lines.push_back(text.substr(start));
  return lines;
}

// The find command lines of the README: indented code lines beginning "nusk find".
std::vector<std::string> ReadmeFindLines() {
  std::string readme;
  EXPECT_TRUE(Env::Default()->ReadWholeFile(FromUtf8(NUSK_TEST_DATA "/../../README.md"), &readme).ok());
  std::vector<std::string> found;
  for (const std::string& line : Lines(readme)) {
    if (line.starts_with("    nusk find")) found.push_back(line.substr(4));
  }
  return found;
}

struct Item {
  std::u16string path;  // index path
  std::u16string name;
  bool folder;
  uint64_t bytes;
  uint32_t time;
};

uint32_t LocalDay(int year, int month, int day) {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_isdst = -1;
  return UnixToCompactTime(std::mktime(&tm));
}

bool Below(const Item& i, std::u16string_view folder) {
  return i.path.size() > folder.size() && i.path.starts_with(folder) && i.path[folder.size()] == u'\\';
}

class ConsoleExamplesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const uint32_t old = LocalDay(2010, 6, 1), recent = LocalDay(2020, 6, 1);
    t_.File(u"C:\\usr\\lib\\libc.so.6", 2u << 20, recent);
    t_.File(u"C:\\usr\\lib\\x86\\libcrypt.so", 500, old);
    t_.File(u"C:\\usr\\lib\\libm.so", 300, recent);
    t_.Folder(u"C:\\usr\\share\\libc-doc");
    t_.File(u"C:\\etc\\big.conf", 20 << 10, recent);
    t_.File(u"C:\\etc\\small.conf", 100, recent);
    t_.File(u"C:\\etc\\old.conf", 200, old);
    t_.Folder(u"C:\\etc\\dir.conf");
    t_.File(u"C:\\home\\a\\plan-draft.txt", 50, recent);
    t_.File(u"C:\\var\\log\\sys.log", 5000, recent);
    t_.File(u"C:\\var\\log\\two\nlines.log", 10, old);
    t_.File(u"C:\\home\\a\\copy1.bin", 64, recent);
    t_.File(u"C:\\home\\b\\copy2.bin", 64, recent);
    t_.File(u"C:\\home\\c\\other.bin", 64, recent);
    t_.Build();
    std::vector<HashRecord> hashes;
    for (const char16_t* f : {u"C:\\home\\a\\copy1.bin", u"C:\\home\\b\\copy2.bin", u"C:\\home\\c\\other.bin"}) {
      hashes.push_back(t_.RecordFor(f, f[8] == u'c' ? 2 : 1));  // copy1 and copy2 share a digest
    }
    t_.dir().WriteFile(u"nusk.hash", EncodeHashFile(hashes));
    for (uint32_t i = 0; i < t_.db().item_count(); ++i) {
      items_.push_back({t_.Path(i), std::u16string(t_.db().ItemName(i)), i < t_.db().folder_count(),
                        t_.db().ItemSizeBytes(i), t_.db().Time(i)});
    }
    std::array<std::u16string, 26> targets{};
    std::array<bool, 26> folder{};
    targets[2] = u"/";
    folder[2] = true;
    map_ = DriveMap::FromTargets(targets, folder);
  }

  // Runs a command line; the shown paths, split at the separator find was asked for.
  std::set<std::u16string> Run(const std::string& line, int* status) {
    std::vector<std::string> words;
    EXPECT_TRUE(ShellWords(line, &words)) << "a shell would not run this as one find: " << line;
    EXPECT_TRUE(words.size() >= 2 && words[0] == "nusk" && words[1] == "find") << line;
    std::vector<std::u16string> args;
    for (size_t i = 2; i < words.size(); ++i) args.push_back(FromUtf8(words[i]));
    const ConsoleFind found = RunConsoleFind(t_.home(), args, map_);
    *status = found.status;
    EXPECT_EQ(found.err, "") << line;
    const char16_t end = line.find(" -0 ") != std::string::npos ? u'\0' : u'\n';
    EXPECT_TRUE(found.out.empty() || found.out.back() == end) << "output not ended by its separator";
    const std::vector<std::u16string> entries = found.Entries(end);
    return std::set<std::u16string>(entries.begin(), entries.end());
  }

  std::set<std::u16string> Select(const std::function<bool(const Item&)>& keep) {
    std::set<std::u16string> paths;
    for (const Item& i : items_) {
      if (keep(i)) paths.insert(map_.ToNativePath(i.folder ? i.path + u"\\" : i.path));
    }
    return paths;
  }

  TestIndex t_;
  std::vector<Item> items_;
  DriveMap map_ = DriveMap::Native();
};

TEST_F(ConsoleExamplesTest, EveryDocumentedFindLineFindsWhatItSays) {
  const auto libc = [](const Item& i) { return Below(i, u"C:\\usr\\lib") && i.name.find(u"libc") != i.name.npos; };
  const uint32_t since_2014 = LocalDay(2014, 1, 1);
  const std::map<std::string, std::function<bool(const Item&)>> meaning = {
      {"nusk find libc", [](const Item& i) { return i.name.find(u"libc") != i.name.npos; }},
      {"nusk find --in /usr/lib libc", libc},
      {"nusk find 'c:\\usr\\lib' libc", libc},
      {"nusk find -f '*.conf' /size:10k",
       [](const Item& i) { return !i.folder && i.name.ends_with(u".conf") && i.bytes >= 10240; }},
      {"nusk find -f /size:-1k /date:20140101-",
       [&](const Item& i) { return !i.folder && i.bytes <= 1024 && i.time >= since_2014; }},
      {"nusk find -- -draft", [](const Item& i) { return i.name.find(u"-draft") != i.name.npos; }},
      {"nusk find -0 -f '*.log' | xargs -0 ls -l",
       [](const Item& i) { return !i.folder && i.name.ends_with(u".log"); }},
      {"nusk find /dup:2", [](const Item& i) { return i.name.starts_with(u"copy"); }},
  };
  const std::vector<std::string> lines = ReadmeFindLines();
  size_t examples = 0;
  for (std::string line : lines) {
    if (line.find('[') != std::string::npos) continue;  // the synopsis, below
    line = line.substr(0, line.find(" #"));
    while (line.ends_with(' ')) line.pop_back();
    SCOPED_TRACE(line);
    const auto it = meaning.find(line);
    ASSERT_NE(it, meaning.end()) << "a README example this test does not know";
    int status = -1;
    const std::set<std::u16string> found = Run(line, &status);
    EXPECT_EQ(status, 0);
    EXPECT_FALSE(found.empty());
    EXPECT_EQ(found, Select(it->second));
    ++examples;
  }
  EXPECT_EQ(examples, meaning.size());
}

// The synopses of the README and the usage text, with their placeholders filled in.
TEST_F(ConsoleExamplesTest, SynopsesRunWithEveryOption) {
  const std::string usage = kUsageText;
  ASSERT_NE(usage.find("find [-f] [rootdir] [filepattern]"), std::string::npos);
  int status = -1;
  EXPECT_EQ(Run("nusk find -f 'c:\\etc' '*.conf'", &status),
            Select([](const Item& i) { return !i.folder && Below(i, u"C:\\etc") && i.name.ends_with(u".conf"); }));
  EXPECT_EQ(status, 0);
  const std::vector<std::string> lines = ReadmeFindLines();
  const auto synopsis =
      std::find_if(lines.begin(), lines.end(), [](const std::string& l) { return l.find('[') != l.npos; });
  ASSERT_NE(synopsis, lines.end());
  ASSERT_EQ(*synopsis, "nusk find [-f] [-0] [--in FOLDER] [--] [words...]");
  EXPECT_EQ(Run("nusk find -f -0 --in /usr/lib -- libc", &status),
            Select([](const Item& i) { return !i.folder && Below(i, u"C:\\usr\\lib") && i.name.find(u"libc") == 0; }));
  EXPECT_EQ(status, 0);
}

}  // namespace
}  // namespace nusk::testing
