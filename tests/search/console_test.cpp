// The find and clean sub-commands on a real index, and the hashing tool end to end.
#include <gtest/gtest.h>

#include <memory>

#include <future>
#include <thread>

#include "app/console_clean.h"
#include "index/search_snapshot.h"
#include "app/console_find.h"
#include "scan/build_command.h"
#include "index/db_files.h"
#include "platform/process.h"
#include "search/hash_info.h"
#include "tests/search/console_find_run.h"
#include "tests/search/search_fixture.h"
#include "util/utf.h"

namespace nusk::testing {
namespace {

// Output lines as a sorted list: items of one name come in index order, which the
// language does not fix.
std::vector<std::u16string> Lines(const std::u16string& out) {
  std::vector<std::u16string> lines;
  size_t start = 0;
  for (size_t nl; (nl = out.find(u'\n', start)) != std::u16string::npos; start = nl + 1) {
    lines.push_back(out.substr(start, nl - start));
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}
using V = std::vector<std::u16string>;

class ConsoleFindTest : public ::testing::Test {
 protected:
  void SetUp() override {
    AddFixtureTree(&t_);
    t_.Build();
  }
  TestIndex t_;
};

TEST_F(ConsoleFindTest, PrintsPathsAndKeepsTheSummaryOutOfTheResults) {
  const ConsoleFind c = RunConsoleFind(t_.home(), {u"c:\\windows", u"notepad"});
  EXPECT_EQ(c.status, 0);
  EXPECT_EQ(Lines(c.out), (V{u"C:\\Windows\\System32\\notepad.exe", u"C:\\Windows\\notepad.exe"}));
  EXPECT_NE(c.note.find(u"Found 2 items ("), std::u16string::npos);
  EXPECT_EQ(c.out.find(u"Found"), std::u16string::npos);
}

TEST_F(ConsoleFindTest, WordsWithSpacesAndEverything) {
  // One argument with a space.
  EXPECT_EQ(RunConsoleFind(t_.home(), {u"t 2014"}).out, u"C:\\Users\\Ann\\My Docs\\report 2014.docx\n");
  const ConsoleFind all = RunConsoleFind(t_.home(), {});  // no words: every item, folders marked
  EXPECT_NE(all.out.find(u"C:\\Windows\\\n"), std::u16string::npos);
  EXPECT_NE(all.note.find(u"Found 25 items"), std::u16string::npos);
}

TEST_F(ConsoleFindTest, NativeFolderOptionAndNativePaths) {
  std::array<std::u16string, 26> targets{};
  std::array<bool, 26> folder{};
  targets[2] = u"/mnt/c";
  folder[2] = true;
  targets[3] = u"/srv/d";
  folder[3] = true;
  const DriveMap map = DriveMap::FromTargets(targets, folder);
  const auto find = [&](const std::vector<std::u16string>& words) { return RunConsoleFind(t_.home(), words, map); };
  // Separators at the end, as a shell's completion leaves them, name the same folder.
  for (const char16_t* folder : {u"/mnt/c/Windows", u"/mnt/c/Windows/", u"/mnt/c/Windows//"}) {
    const ConsoleFind in = find({u"--in", folder, u"notepad"});
    EXPECT_EQ(in.status, 0);
    EXPECT_EQ(Lines(in.out), (V{u"/mnt/c/Windows/System32/notepad.exe", u"/mnt/c/Windows/notepad.exe"}));
  }
  EXPECT_EQ(Lines(find({u"--in", u"/mnt/c//", u"notepad.exe"}).out).size(), 2u);
  const ConsoleFind elsewhere = find({u"--in", u"/elsewhere", u"x"});
  EXPECT_EQ(elsewhere.status, 2);
  EXPECT_NE(elsewhere.err.find("no indexed drive"), std::string::npos);
  EXPECT_EQ(find({u"--in"}).status, 2);
  EXPECT_EQ(find({u"--in", u"/mnt/c", u"d:\\data", u"x"}).status, 2);
  EXPECT_EQ(find({u"--", u"--in"}).out, u"");  // after "--" it is a word
  EXPECT_NE(find({u"--help"}).out.find(u"--in FOLDER"), std::u16string::npos);
}

// Options and switch values that cannot be used stop before anything is listed, with the
// reason on the error stream; the same words after "--" or well written run.
TEST_F(ConsoleFindTest, UnusableWordsAreReportedNotSearched) {
  const struct {
    std::initializer_list<const char16_t*> words;
    int status;
    const char* error;  // part of the message; empty: none at all
  } cases[] = {
      {{u"-x", u"notepad"}, 2, "unknown option -x"},
      {{u"notepad", u"--nul"}, 2, "unknown option --nul"},
      {{u"--", u"-x"}, 0, ""},
      {{u"/size:>10k"}, 2, "cannot read /size:>10k"},
      {{u"<a", u"/SIZE:10q>"}, 2, "cannot read /SIZE:10q"},
      {{u"/date:20141345"}, 2, "cannot read /date:20141345"},
      {{u"/date:2014-0101"}, 2, "cannot read"},
      {{u"/dup:two"}, 2, "cannot read /dup:two"},
      {{u"/hash:xyz"}, 2, "cannot read /hash:xyz"},
      {{u"/size:"}, 2, "cannot read"},
      {{u"/size:1.5k-10mb", u"/date:0101-", u"/dup:2-3", u"/hash:00ff"}, 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ToUtf8(*c.words.begin()));
    const ConsoleFind out = RunConsoleFind(t_.home(), std::vector<std::u16string>(c.words.begin(), c.words.end()));
    EXPECT_EQ(out.status, c.status);
    if (*c.error) {
      EXPECT_NE(out.err.find(c.error), std::string::npos) << out.err;
      EXPECT_EQ(out.out, u"");
    } else {
      EXPECT_EQ(out.err, "");
    }
  }
}

// Console find lists hidden items (the window and the web service do not) and ends each
// path with a NUL on request, so a name holding a line break stays one entry.
TEST_F(ConsoleFindTest, HiddenItemsAndNulSeparatedPaths) {
  t_.db().SetHideState(t_.Item(u"C:\\Windows\\notepad.exe"), false);
  ASSERT_TRUE(SaveHiddenList(&t_.db()).ok());  // find loads the index from the files
  EXPECT_EQ(Find(t_, u"notepad"), (PathSet{u"C:\\Windows\\System32\\notepad.exe"}));
  const ConsoleFind c = RunConsoleFind(t_.home(), {u"-0", u"notepad"});
  EXPECT_EQ(c.status, 0);
  EXPECT_EQ(Lines(c.out), V{});  // no line feed at all
  std::u16string expected[] = {u"C:\\Windows\\System32\\notepad.exe", u"C:\\Windows\\notepad.exe"};
  for (const std::u16string& path : expected) EXPECT_NE(c.out.find(path + u'\0'), std::u16string::npos);
  EXPECT_EQ(c.out.size(), expected[0].size() + expected[1].size() + 2);
}

TEST_F(ConsoleFindTest, DamagedDatabaseFailsWithAReason) {
  std::string bytes;
  ASSERT_TRUE(Env::Default()->ReadWholeFile(DbPath(t_.home(), u"nusk.nrs", Env::Default()), &bytes).ok());
  bytes.resize(bytes.size() / 2);
  t_.dir().WriteFile(u"nusk.nrs", bytes);
  const ConsoleFind c = RunConsoleFind(t_.home(), {u"x"});
  EXPECT_EQ(c.status, 1);
  EXPECT_NE(c.err.find("nusk.nrs"), std::string::npos);
  EXPECT_TRUE(c.out.empty());
}

TEST(ConsoleFindEmptyTest, NoDatabaseFindsNothing) {
  TempDir dir;
  const ConsoleFind c = RunConsoleFind(dir.path(), {u"x"});
  EXPECT_EQ(c.status, 0);
  EXPECT_NE(c.note.find(u"Found 0 items"), std::u16string::npos);
}

TEST(ConsoleCleanTest, DriveAndWholeDatabase) {
  TestIndex t;
  AddFixtureTree(&t);
  t.Build();
  CleanIo io;
  io.home = t.home();
  io.settings_path = t.home() + u"nusk.ini";
  io.notify_windows = false;
  EXPECT_EQ(CleanCommand({u"nusk", u"clean", u"d"}, io), 0);
  NuskDb db;
  ASSERT_TRUE(LoadNuskDb(&db, t.home(), Env::Default()).ok());
  for (uint32_t i = 0; i < db.item_count(); ++i) EXPECT_EQ(db.Drive(i), 2) << ToUtf8(db.BuildPath(i, false));
  EXPECT_EQ(db.item_count(), 16u);  // the 25 items less D:, data and its seven files
  EXPECT_EQ(CleanCommand({u"nusk", u"clean", u"1"}, io), 2);
  EXPECT_TRUE(Env::Default()->FileExists(DbPath(t.home(), kSnapName, Env::Default())));  // written by the commit
  // A snapshot a commit moved aside while a window mapped it goes too, and one a loaded
  // index still maps (a window's web service) does not make the clean fail.
  const std::u16string aside = DbPath(t.home(), SetAsideSnapshotName(kSnapSetAsideSlots), Env::Default());
  ASSERT_TRUE(Env::Default()->WriteWholeFile(aside, "old", false).ok());
  auto held = std::make_unique<NuskDb>();
  ASSERT_TRUE(LoadNuskDb(held.get(), t.home(), Env::Default()).ok());
  ASSERT_TRUE(held->from_snapshot());
  EXPECT_EQ(CleanCommand({u"nusk", u"clean"}, io), 0);
  EXPECT_FALSE(HasDatabase(t.home(), Env::Default()));
  EXPECT_FALSE(Env::Default()->FileExists(DbPath(t.home(), kSnapName, Env::Default())));
  EXPECT_FALSE(Env::Default()->FileExists(aside));
}

TEST(ConsoleCleanTest, RefusedWhileABuildHoldsTheLock) {
  TempDir dir;
  CleanIo io;
  io.home = dir.path();
  io.notify_windows = false;
  dir.WriteFile(u"nusk.frs", "x");
  // The build holds the lock on a thread of its own (Windows mutexes are re-entrant
  // for the thread that owns them, as a build in another process would not be).
  std::promise<bool> locked;
  std::promise<void> done;
  std::thread build([&] {
    std::unique_ptr<NamedMutex> lock = Env::Default()->CreateFolderLock(dir.path(), kBuildLockTag);
    bool taken = false;
    locked.set_value(lock->TryLock(&taken).ok() && taken);
    done.get_future().wait();
    lock->Unlock();
  });
  ASSERT_TRUE(locked.get_future().get());
  EXPECT_EQ(CleanCommand({u"nusk", u"clean"}, io), 1);
  EXPECT_TRUE(Env::Default()->FileExists(dir.Sub(u"nusk.frs")));
  done.set_value();
  build.join();
}

// A thousand nested folders: find prints the whole path of the file at the bottom, and
// a folder 300 levels down scopes a search to what lies below it.
TEST(DeepTreeFindTest, WholePathsAndDeepFolderScopes) {
  TestIndex t;
  uint64_t parent = t.Folder(u"C:");
  std::u16string path = u"C:", level300;
  for (int level = 0; level < 1000; ++level) {
    parent = t.Child(parent, u"d", true);
    path += u"\\d";
    if (level == 299) level300 = path;
  }
  t.Child(parent, u"bottom", false);
  t.File(u"C:\\bottom.elsewhere");
  t.Build();
  const ConsoleFind all = RunConsoleFind(t.home(), {u"bottom"});
  EXPECT_EQ(all.status, 0);
  EXPECT_EQ(Lines(all.out), (V{u"C:\\bottom.elsewhere", path + u"\\bottom"}));
  const ConsoleFind scoped = RunConsoleFind(t.home(), {u"--in", level300, u"bottom"});
  EXPECT_EQ(scoped.status, 0);
  EXPECT_EQ(Lines(scoped.out), V{path + u"\\bottom"});
}

// sumtor hashes a real tree and /dup:2 then finds exactly the files with equal content.
TEST(SumtorTest, FindsRealDuplicates) {
  TempDir tree;
  tree.WriteFile(u"one/same.txt", "same content");
  tree.WriteFile(u"two/copy.txt", "same content");
  tree.WriteFile(u"two/other.txt", "diff content");  // same size, other content
  tree.WriteFile(u"unique.bin", "a size nobody else has");
  TestIndex t;
  DriveMap map = DriveMap::Load(t.home() + u"nusk.ini");
  const auto index_path = [&](std::u16string_view rel) {
    std::u16string native = tree.Sub(rel), out;
    while (!native.empty() && (native.back() == u'/' || native.back() == u'\\')) native.pop_back();
    EXPECT_TRUE(map.FromNativePath(native, &out)) << ToUtf8(native);
    return out;
  };
  for (const char16_t* f : {u"one/same.txt", u"two/copy.txt", u"two/other.txt"}) t.File(index_path(f), 12);
  t.File(index_path(u"unique.bin"), 22);
  t.File(index_path(u"gone.txt"), 12);  // indexed but no longer on disk
  t.Build();
#ifdef _WIN32
  const std::u16string tool = FromUtf8(NUSK_BINARY_DIR "/app/Sumtor.exe");
#else
  const std::u16string tool = FromUtf8(NUSK_BINARY_DIR "/tools/sumtor/sumtor");
#endif
  ChildResult r;
  ASSERT_TRUE(RunChild(tool, {u"--dbdir", t.home()}, {}, 60000, &r).ok());
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.out.find("Hashed 3 of 5 files"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("1 unreadable and 0 not regular skipped"), std::string::npos) << r.out;
  std::string bytes;
  ASSERT_TRUE(Env::Default()->ReadWholeFile(DbPath(t.home(), u"nusk.hash", Env::Default()), &bytes).ok());
  std::vector<HashRecord> records;
  ASSERT_TRUE(DecodeHashFile(bytes, &records).ok());
  t.SetHashes(records);
  EXPECT_EQ(Find(t, u"/dup:2"), (PathSet{index_path(u"one/same.txt"), index_path(u"two/copy.txt")}));
  EXPECT_FALSE(Env::Default()->FileExists(DbPath(t.home(), u"nusk.hash.tmp", Env::Default())));
  // Every file has a value; the unique-size one is alone.
  char text[32];
  std::snprintf(text, sizeof text, "/hash:%X", t.view().hash_values[t.Item(index_path(u"unique.bin"))]);
  EXPECT_EQ(Find(t, U16(text)), (PathSet{index_path(u"unique.bin")}));
}

}  // namespace
}  // namespace nusk::testing
