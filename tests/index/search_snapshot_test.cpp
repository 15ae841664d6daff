// The search snapshot stands in for decoding only while it matches the database files
// it came from: a changed database, a damaged or truncated snapshot, or one from another
// home is passed over, the files are decoded, and a matching snapshot is written again.
// A damaged table is found when it is first used, and never read.
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

#include "index/search_snapshot.h"
#include "tests/index/index_test_util.h"
#include "tests/testing/test_env.h"

namespace nusk::testing {
namespace {

std::vector<ScanRecord> FirstTree() {
  return {Rec(C(5), 0, u"C:", true, 7),
          Rec(C(10), C(5), u"Users", true, 8),
          Rec(C(11), C(10), u"Ärger", true, 9),
          Rec(C(20), C(10), u"ReadMe.TXT", false, 10, 300),
          Rec(C(21), C(11), u"notes.txt", false, 11, 5000),
          Rec(C(22), C(11), u"keep.txt", false, 12, 70),
          Rec(D(5), 0, u"D:", true, 13),
          Rec(D(6), D(5), u"data.bin", false, 14, 1 << 20)};
}

// The same shape with other times and one name more: same counts would not tell them apart.
std::vector<ScanRecord> SecondTree() {
  std::vector<ScanRecord> t = FirstTree();
  for (ScanRecord& r : t) r.time += 100;
  t.push_back(Rec(C(23), C(10), u"extra.log", false, 50, 9));
  return t;
}

// A drive root holding `files` files "f0", "f1", ...
std::vector<ScanRecord> FlatTree(uint32_t files) {
  std::vector<ScanRecord> tree = {Rec(C(5), 0, u"C:", true)};
  for (uint32_t i = 0; i < files; ++i) tree.push_back(Rec(C(100 + i), C(5), U16("f" + std::to_string(i)), false));
  return tree;
}

std::u16string Snap(const std::u16string& home) { return DbPath(home, kSnapName, Env::Default()); }

void Hide(const std::u16string& home, std::string_view path) {
  NuskDb db;
  ASSERT_TRUE(LoadNuskDb(&db, home, Env::Default()).ok());
  const uint32_t item = FindItem(&db, path);
  ASSERT_NE(item, kNoItem) << path;
  db.SetHideState(item, false);
  ASSERT_TRUE(SaveHiddenList(&db).ok());
}

std::string Flip(std::string bytes, size_t at) {
  bytes[at] = static_cast<char>(bytes[at] ^ 0x10);
  return bytes;
}

struct Case {
  const char* what;
  // Changes home (whose snapshot bytes are given) so that the snapshot no longer matches.
  std::function<void(const std::u16string& home, const std::string& snap, const std::u16string& other)> change;
};

TEST(SearchSnapshotTest, PassedOverAndWrittenAgainWhenItDoesNotMatch) {
  const Case cases[] = {
      {"database rewritten, old snapshot put back",
       [](const std::u16string& home, const std::string& snap, const std::u16string&) {
         ASSERT_TRUE(WriteIndex(home, SecondTree()).ok());
         WriteFile(Snap(home), snap);
       }},
      {"another item hidden", [](const std::u16string& home, const std::string&,
                                 const std::u16string&) { Hide(home, "C:\\Users\\ReadMe.TXT"); }},
      {"hidden list removed",
       [](const std::u16string& home, const std::string&, const std::u16string&) {
         ASSERT_TRUE(Env::Default()->RemoveFile(DbPath(home, kHidName, Env::Default())).ok());
       }},
      {"one byte of a file row flipped (the files still load)",
       [](const std::u16string& home, const std::string&, const std::u16string&) {
         const std::string frs = ReadFile(DbPath(home, kFrsName, Env::Default()));
         WriteFile(DbPath(home, kFrsName, Env::Default()), Flip(frs, kRowsOffset + kFileRowSize + 13));  // a time
       }},
      {"snapshot cut in half", [](const std::u16string& home, const std::string& snap,
                                  const std::u16string&) { WriteFile(Snap(home), snap.substr(0, snap.size() / 2)); }},
      {"snapshot one byte short",
       [](const std::u16string& home, const std::string& snap, const std::u16string&) {
         WriteFile(Snap(home), snap.substr(0, snap.size() - 1));
       }},
      {"snapshot empty",
       [](const std::u16string& home, const std::string&, const std::u16string&) { WriteFile(Snap(home), ""); }},
      {"snapshot byte flipped in the header counts",
       [](const std::u16string& home, const std::string& snap, const std::u16string&) {
         WriteFile(Snap(home), Flip(snap, 64));
       }},
      {"snapshot byte flipped in the first table (found when the table is used)",
       [](const std::u16string& home, const std::string& snap, const std::u16string&) {
         WriteFile(Snap(home), Flip(snap, 256));
       }},
      {"snapshot from another home",
       [](const std::u16string& home, const std::string&, const std::u16string& other) {
         ASSERT_TRUE(WriteIndex(other, SecondTree()).ok());
         WriteFile(Snap(home), ReadFile(Snap(other)));
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir home, other;
    ASSERT_TRUE(WriteIndex(home.path(), FirstTree()).ok());
    Hide(home.path(), "C:\\Users\\Ärger\\keep.txt");
    {
      NuskDb db;  // decodes (the hidden list changed) and writes the snapshot
      ASSERT_TRUE(LoadNuskDb(&db, home.path(), Env::Default()).ok());
      EXPECT_FALSE(db.from_snapshot());
    }
    NuskDb before;
    ASSERT_TRUE(LoadNuskDb(&before, home.path(), Env::Default()).ok());
    ASSERT_TRUE(before.from_snapshot()) << "a snapshot that matches is used";
    EXPECT_EQ(DumpSearchForm(&before), DecodedSearchForm(home.path()));
    UnloadNuskDb(&before);

    c.change(home.path(), ReadFile(Snap(home.path())), other.path());
    const std::vector<std::string> truth = DecodedSearchForm(home.path());
    NuskDb db;
    ASSERT_TRUE(LoadNuskDb(&db, home.path(), Env::Default()).ok());
    EXPECT_EQ(DumpSearchForm(&db), truth);
    EXPECT_FALSE(db.from_snapshot());
    NuskDb again;
    ASSERT_TRUE(LoadNuskDb(&again, home.path(), Env::Default()).ok());
    EXPECT_TRUE(again.from_snapshot()) << "the load wrote a matching snapshot";
    EXPECT_EQ(DumpSearchForm(&again), truth);
  }
}

// A flipped bit of the snapshot, wherever it falls (header, tables, padding), makes
// the load decode the files, at once (header, hidden states, labels) or when the
// damaged table is first used; mapped or read on demand.
TEST(SearchSnapshotTest, EveryFlippedByteIsNoticed) {
  TempDir home;
  ASSERT_TRUE(WriteIndex(home.path(), FirstTree()).ok());
  Hide(home.path(), "C:\\Users\\Ärger\\keep.txt");
  NuskDb db;
  ASSERT_TRUE(LoadNuskDb(&db, home.path(), Env::Default()).ok());  // the snapshot with the hidden list
  const std::vector<std::string> truth = DecodedSearchForm(home.path());
  const std::string snap = ReadFile(Snap(home.path()));
  ASSERT_GT(snap.size(), 512u);
  for (SnapshotReads reads : {SnapshotReads::kMapped, SnapshotReads::kOnDemand}) {
    SCOPED_TRACE(reads == SnapshotReads::kMapped ? "mapped" : "read on demand");
    int used = 0;
    // The whole header, then every 7th byte: a stride prime to 8 reaches every byte position
    // of the tables' 2-, 4- and 8-byte values, in every table and block. Read on demand,
    // where only the way the blocks arrive differs, every 13th.
    // Read on demand, through a ring of five places, so blocks are also overwritten and read again.
    const size_t stride = reads == SnapshotReads::kMapped ? 7 : 13;
    SetSnapshotRingPlaces(reads == SnapshotReads::kMapped ? 0 : 5);
    for (size_t at = 0; at < snap.size(); at += at < 512 ? 1 : stride) {
      UnloadNuskDb(&db);  // a mapped file cannot be written on Windows
      WriteFile(Snap(home.path()), Flip(snap, at));
      ASSERT_TRUE(LoadNuskDb(&db, home.path(), Env::Default(), nullptr, reads).ok());
      if (DumpSearchForm(&db) != truth) ADD_FAILURE() << "byte " << at << " flipped gave another index";
      db.CheckAllTables();  // the trigram index too, which the dump does not read
      if (db.from_snapshot() && used++ < 3) ADD_FAILURE() << "a snapshot with byte " << at << " flipped was used";
    }
    EXPECT_EQ(used, 0);
  }
  SetSnapshotRingPlaces(0);
}

// Read on demand through a ring of a few places, which a path's pieces overwrite again
// and again, every path is right whatever the order they are built in, and nothing is
// taken as damaged.
TEST(SearchSnapshotTest, ReadOnDemandThroughASmallRing) {
  constexpr uint32_t kFiles = 6000;
  TempDir home;
  ASSERT_TRUE(WriteIndex(home.path(), FlatTree(kFiles)).ok());
  const std::vector<std::string> truth = DecodedSearchForm(home.path());
  auto path_of = [&](uint32_t item) { return truth[1 + item].substr(0, truth[1 + item].find(' ')); };
  for (const uint32_t places : {2u, 5u, 64u}) {
    SCOPED_TRACE(std::to_string(places) + " places");
    SetSnapshotRingPlaces(places);
    NuskDb db;
    ASSERT_TRUE(LoadNuskDb(&db, home.path(), Env::Default(), nullptr, SnapshotReads::kOnDemand).ok());
    ASSERT_TRUE(db.from_snapshot());
    const uint32_t n = db.item_count();
    int wrong = 0;
    for (int order = 0; order < 3; ++order) {
      for (uint32_t k = 0; k < n && wrong < 5; ++k) {
        const uint32_t item = order == 0 ? k : order == 1 ? n - 1 - k : static_cast<uint32_t>((uint64_t{k} * 2749) % n);
        const std::string path = ToUtf8(db.BuildPath(item, true));
        if (path != path_of(item)) ADD_FAILURE() << "item " << item << ": " << path << " " << wrong++;
      }
    }
    EXPECT_TRUE(db.from_snapshot());
  }
  SetSnapshotRingPlaces(0);
}

// Read on demand, the snapshot gives the index the files give; a path reads only the
// blocks that hold its pieces, and once: building it again reads nothing. (The wrapper
// tells no identities: the files are stamped by their contents.)
TEST(SearchSnapshotTest, ReadOnDemandReadsOnlyTheBlocksUsedAndEachOnce) {
  constexpr uint32_t kFiles = 6000;
  const std::vector<ScanRecord> tree = FlatTree(kFiles);
  TempDir home;
  ASSERT_TRUE(WriteIndex(home.path(), tree).ok());
  const std::vector<std::string> truth = DecodedSearchForm(home.path());
  FaultInjectionEnv env;
  NuskDb db;
  ASSERT_TRUE(LoadNuskDb(&db, home.path(), &env).ok());  // writes the snapshot stamped by contents
  const uint64_t size = ReadFile(Snap(home.path())).size();
  ASSERT_EQ(env.piece_bytes, 0u) << "mapped, nothing is read piece by piece";
  ASSERT_TRUE(LoadNuskDb(&db, home.path(), &env, nullptr, SnapshotReads::kOnDemand).ok());
  ASSERT_TRUE(db.from_snapshot());
  const uint64_t at_load = env.piece_bytes;
  for (const uint32_t item : {kFiles / 2, uint32_t{0}, kFiles}) {
    const std::string path = ToUtf8(db.BuildPath(item, true));
    EXPECT_EQ(truth[1 + item].substr(0, truth[1 + item].find(' ')), path);
  }
  const uint64_t three_paths = env.piece_bytes;
  EXPECT_GT(three_paths, at_load);
  EXPECT_LT(three_paths, size / 8) << "three paths read a large part of the snapshot";
  EXPECT_EQ(ToUtf8(db.BuildPath(kFiles / 2, true)), truth[1 + kFiles / 2].substr(0, truth[1 + kFiles / 2].find(' ')));
  EXPECT_EQ(env.piece_bytes, three_paths) << "a path built again read its blocks again";
  EXPECT_EQ(DumpSearchForm(&db), truth);
  db.CheckAllTables();
  EXPECT_TRUE(db.from_snapshot());
}

// A read that fails, wherever it falls (header, tables, the block hashes at the end),
// counts as a failed check: the files are decoded and nothing unread is used.
TEST(SearchSnapshotTest, ReadOnDemandFailuresMeanADecode) {
  TempDir home;
  ASSERT_TRUE(WriteIndex(home.path(), FirstTree()).ok());
  Hide(home.path(), "C:\\Users\\Ärger\\keep.txt");
  {
    FaultInjectionEnv env;  // tells no identities: the snapshot is stamped by contents
    NuskDb db;
    ASSERT_TRUE(LoadNuskDb(&db, home.path(), &env).ok());
  }
  const std::vector<std::string> truth = DecodedSearchForm(home.path());
  const std::string snap = ReadFile(Snap(home.path()));
  // Failing at load (the header, the block hashes at the end) or in the parents (the
  // first table, at 512, read by building the paths).
  for (const uint64_t at : {uint64_t{0}, uint64_t{100}, uint64_t{520}, uint64_t{snap.size() - 1}}) {
    SCOPED_TRACE("reads of byte " + std::to_string(at) + " failing");
    FaultInjectionEnv env;
    env.piece_error_at = static_cast<int64_t>(at);
    NuskDb db;
    ASSERT_TRUE(LoadNuskDb(&db, home.path(), &env, nullptr, SnapshotReads::kOnDemand).ok());
    for (uint32_t i = 0; i < db.item_count(); ++i)
      EXPECT_EQ(ToUtf8(db.BuildPath(i, true)), truth[1 + i].substr(0, truth[1 + i].find(' ')));
    EXPECT_FALSE(db.from_snapshot()) << "the load or the paths read the failing byte";
    EXPECT_EQ(DumpSearchForm(&db), truth);
    db.CheckAllTables();
    EXPECT_FALSE(db.from_snapshot());
    ASSERT_EQ(ReadFile(Snap(home.path())), snap) << "the decode wrote the same snapshot again";
  }
}

// Read on demand, a snapshot shortened in place after the load (not something nusk does:
// it replaces snapshots by a rename) is a failed check, whether a piece read comes back
// short or a table is first used whole (the mapping is not read past the file's end).
TEST(SearchSnapshotTest, ReadOnDemandSnapshotShortenedInPlace) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows keeps a mapped file from being written";
#endif
  constexpr uint32_t kFiles = 6000;
  const std::vector<ScanRecord> tree = FlatTree(kFiles);
  TempDir home;
  ASSERT_TRUE(WriteIndex(home.path(), tree).ok());
  const std::vector<std::string> truth = DecodedSearchForm(home.path());
  const std::string snap = ReadFile(Snap(home.path()));
  for (const bool whole_first : {false, true}) {
    SCOPED_TRACE(whole_first ? "a table used whole first" : "paths first");
    WriteFile(Snap(home.path()), snap);
    NuskDb db;
    ASSERT_TRUE(LoadNuskDb(&db, home.path(), Env::Default(), nullptr, SnapshotReads::kOnDemand).ok());
    ASSERT_TRUE(db.from_snapshot());
    WriteFile(Snap(home.path()), snap.substr(0, 100));  // in place: the same file, shorter
    if (whole_first) db.CheckAllTables();
    EXPECT_EQ(DumpSearchForm(&db), truth);
    EXPECT_FALSE(db.from_snapshot());
  }
}

// Read on demand, the snapshot stays the file that was opened: a commit that replaces
// the database and its snapshot after the load changes nothing of what the load gives.
TEST(SearchSnapshotTest, ReadOnDemandKeepsTheFileItOpened) {
  TempDir home;
  ASSERT_TRUE(WriteIndex(home.path(), FirstTree()).ok());
  const std::vector<std::string> first = DecodedSearchForm(home.path());
  NuskDb db;
  ASSERT_TRUE(LoadNuskDb(&db, home.path(), Env::Default(), nullptr, SnapshotReads::kOnDemand).ok());
  ASSERT_TRUE(db.from_snapshot());
  ASSERT_TRUE(WriteIndex(home.path(), SecondTree()).ok());
  ASSERT_TRUE(Env::Default()->FileExists(Snap(home.path()))) << "the commit wrote a snapshot of its own";
  ASSERT_NE(DecodedSearchForm(home.path()), first);
  EXPECT_EQ(DumpSearchForm(&db), first);
  db.CheckAllTables();
  EXPECT_TRUE(db.from_snapshot());
}

// A file system whose clocks are too coarse to tell two writes apart: identities keep
// size, volume and file id but show no times.
class CoarseClockEnv : public EnvWrapper {
 public:
  CoarseClockEnv() : EnvWrapper(Env::Default()) {}
  bool IdentifyFile(const std::u16string& path, FileIdentity* id) override {
    if (!target()->IdentifyFile(path, id)) return false;
    id->write_time = id->change_time = 0;
    return true;
  }
  Status MapWholeFile(const std::u16string& path, std::unique_ptr<FileView>* view) override {
    return target()->MapWholeFile(path, view);
  }
};

// A database file rewritten in place with its size kept, within one tick of the clock:
// the hash of its first and last bytes tells it apart.
TEST(SearchSnapshotTest, SameSizeAndTimesButOtherContentIsNoticed) {
  struct Rewrite {
    const char* what;
    const char16_t* file;
    std::function<std::string(std::string)> change;
  };
  const Rewrite cases[] = {
      {"time of the last full build in the header", kFrsName, [](std::string b) { return Flip(b, 8); }},
      {"last byte of the mount states", kFrsName, [](std::string b) { return Flip(b, b.size() - 1); }},
      {"another item hidden", kHidName, [](std::string b) { return Flip(b, 4); }},
  };
  for (const Rewrite& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir home;
    ASSERT_TRUE(WriteIndex(home.path(), FirstTree()).ok());
    Hide(home.path(), "C:\\Users\\Ärger\\keep.txt");
    CoarseClockEnv env;
    const std::u16string path = DbPath(home.path(), c.file, &env);
    FileIdentity id;
    if (!env.IdentifyFile(path, &id)) GTEST_SKIP() << "no file identities on this system";
    NuskDb db;
    ASSERT_TRUE(LoadNuskDb(&db, home.path(), &env).ok());  // writes the snapshot
    ASSERT_TRUE(LoadNuskDb(&db, home.path(), &env).ok());
    ASSERT_TRUE(db.from_snapshot());
    UnloadNuskDb(&db);

    WriteFile(path, c.change(ReadFile(path)));  // in place: same file, same size
    FileIdentity now;
    ASSERT_TRUE(env.IdentifyFile(path, &now));
    ASSERT_EQ(now, id);
    ASSERT_TRUE(LoadNuskDb(&db, home.path(), &env).ok());
    EXPECT_EQ(DumpSearchForm(&db), DecodedSearchForm(home.path()));
    EXPECT_FALSE(db.from_snapshot());
  }
}

// A damaged table is checked only when used, and it is never read: with the files it
// stood for gone, its use fails instead of giving items that are not in the index.
TEST(SearchSnapshotTest, DamagedTableAfterTheFilesChangedIsNotRead) {
  TempDir home;
  ASSERT_TRUE(WriteIndex(home.path(), FirstTree()).ok());
  NuskDb db;
  ASSERT_TRUE(LoadNuskDb(&db, home.path(), Env::Default()).ok());
  UnloadNuskDb(&db);                                                     // a mapped file cannot be written on Windows
  WriteFile(Snap(home.path()), Flip(ReadFile(Snap(home.path())), 512));  // the first parent
  ASSERT_TRUE(LoadNuskDb(&db, home.path(), Env::Default()).ok());
  ASSERT_TRUE(db.from_snapshot());
  ASSERT_TRUE(WriteIndex(home.path(), SecondTree()).ok());
  EXPECT_EQ(ToUtf8(db.NameText(db.NameOf(0))), "c:") << "names and the name of each item are other tables";
  EXPECT_THROW(db.Parent(0), std::runtime_error);

  // Checked right after its load (as the window and the web service do), the damaged table
  // is replaced while its files are there: later uses read the index that was loaded.
  ASSERT_TRUE(WriteIndex(home.path(), FirstTree()).ok());
  const auto first = DecodedSearchForm(home.path());
  WriteFile(Snap(home.path()), Flip(ReadFile(Snap(home.path())), 512));
  NuskDb checked;
  ASSERT_TRUE(LoadNuskDb(&checked, home.path(), Env::Default()).ok());
  ASSERT_TRUE(checked.from_snapshot());
  checked.CheckAllTables();
  ASSERT_TRUE(WriteIndex(home.path(), SecondTree()).ok());
  EXPECT_EQ(DumpSearchForm(&checked), first);
}

// Printing the paths of many items checks a table whole once it has been read in many
// small pieces (search_snapshot.cpp); a damaged byte the paths have not reached yet is
// still never used.
TEST(SearchSnapshotTest, DamageIsFoundWhenManyPathsAreBuilt) {
  constexpr uint32_t kFiles = 6000;
  const std::vector<ScanRecord> tree = FlatTree(kFiles);
  TempDir home;
  ASSERT_TRUE(WriteIndex(home.path(), tree).ok());
  const std::vector<std::string> truth = DecodedSearchForm(home.path());
  WriteFile(Snap(home.path()), Flip(ReadFile(Snap(home.path())), 512 + 4 * kFiles));  // the last item's parent
  NuskDb db;
  ASSERT_TRUE(LoadNuskDb(&db, home.path(), Env::Default()).ok());
  ASSERT_TRUE(db.from_snapshot());
  EXPECT_EQ(DumpSearchForm(&db), truth);
  EXPECT_FALSE(db.from_snapshot());
}

// A snapshot that cannot be written (full disk, read-only home) costs nothing but speed,
// and a commit that fails leaves no snapshot of the files it did not replace.
TEST(SearchSnapshotTest, WriteFailuresLeaveNoSnapshotThatIsUsed) {
  TempDir home;
  ASSERT_TRUE(WriteIndex(home.path(), FirstTree()).ok());
  FaultInjectionEnv env;
  env.fail_writes_after = 0;
  ASSERT_TRUE(Env::Default()->RemoveFile(Snap(home.path())).ok());
  NuskDb db;
  ASSERT_TRUE(LoadNuskDb(&db, home.path(), &env).ok());
  EXPECT_FALSE(db.from_snapshot());
  EXPECT_EQ(DumpSearchForm(&db), DecodedSearchForm(home.path()));
  EXPECT_FALSE(Env::Default()->FileExists(Snap(home.path())));
  EXPECT_FALSE(Env::Default()->FileExists(Snap(home.path()) + u".tmp"));

  ASSERT_TRUE(LoadNuskDb(&db, home.path(), Env::Default()).ok());  // writes one
  ASSERT_TRUE(Env::Default()->FileExists(Snap(home.path())));
  EXPECT_FALSE(WriteIndex(home.path(), SecondTree(), &env).ok());
  ASSERT_TRUE(LoadNuskDb(&db, home.path(), Env::Default()).ok());
  EXPECT_EQ(DumpSearchForm(&db), DecodedSearchForm(home.path()));
}

// Files behave as on Windows while a view of them lives: they cannot be deleted or
// replaced by a rename, only renamed themselves. On Windows itself the real system says so.
class MappedFilesStayEnv : public EnvWrapper {
 public:
  MappedFilesStayEnv() : EnvWrapper(Env::Default()) {}
  bool IdentifyFile(const std::u16string& path, FileIdentity* id) override { return target()->IdentifyFile(path, id); }
  Status MapWholeFile(const std::u16string& path, std::unique_ptr<FileView>* view) override {
    std::unique_ptr<FileView> real;
    Status s = target()->MapWholeFile(path, &real);
    if (s.ok()) *view = std::make_unique<Held>(this, path, std::move(real));
    return s;
  }
  Status RemoveFile(const std::u16string& path) override {
    return mapped(path) ? Status::Error("mapped") : target()->RemoveFile(path);
  }
  Status RenameFile(const std::u16string& from, const std::u16string& to) override {
    if (mapped(to)) return Status::Error("mapped");
    Status s = target()->RenameFile(from, to);
    if (s.ok())
      for (auto& [path, count] : views_)
        if (path == from) path = to;
    return s;
  }
  bool mapped(const std::u16string& path) const {
    for (const auto& [p, count] : views_)
      if (p == path && count > 0) return true;
    return false;
  }

 private:
  class Held : public FileView {
   public:
    Held(MappedFilesStayEnv* env, const std::u16string& path, std::unique_ptr<FileView> real)
        : env_(env), at_(env->views_.size()), real_(std::move(real)) {
      env->views_.emplace_back(path, 1);
    }
    ~Held() override { env_->views_[at_].second = 0; }
    std::string_view bytes() const override { return real_->bytes(); }

   private:
    MappedFilesStayEnv* env_;
    size_t at_;
    std::unique_ptr<FileView> real_;
  };
  std::vector<std::pair<std::u16string, int>> views_;
};

std::vector<std::u16string> SetAsideFiles(const std::u16string& home) {
  std::vector<std::u16string> present;
  for (int k = 1; k <= kSnapSetAsideSlots; ++k)
    if (Env::Default()->FileExists(DbPath(home, SetAsideSnapshotName(k), Env::Default())))
      present.push_back(SetAsideSnapshotName(k));
  return present;
}

// An index loaded from its snapshot holds a view of it while builds commit: each commit
// still leaves a snapshot of its own files that the next load uses, the index already
// loaded keeps reading what it loaded, and the snapshots moved aside are deleted once
// released. Runs on the real system too: on Windows the views are real mappings.
TEST(SearchSnapshotTest, CommitsReplaceASnapshotThatIsMapped) {
  MappedFilesStayEnv simulated;
  for (Env* env : {static_cast<Env*>(&simulated), Env::Default()}) {
    SCOPED_TRACE(env == Env::Default() ? "this system" : "files stay while mapped");
    TempDir home;
    ASSERT_TRUE(WriteIndex(home.path(), FirstTree(), env).ok());
    const std::vector<std::string> first = DecodedSearchForm(home.path());
    auto held = std::make_unique<NuskDb>();
    ASSERT_TRUE(LoadNuskDb(held.get(), home.path(), env).ok());
    ASSERT_TRUE(held->from_snapshot());
    ASSERT_TRUE(WriteIndex(home.path(), SecondTree(), env).ok());
    if (env == &simulated) { EXPECT_TRUE(simulated.mapped(DbPath(home.path(), SetAsideSnapshotName(1), env))); }
    NuskDb second;
    ASSERT_TRUE(LoadNuskDb(&second, home.path(), env).ok());
    EXPECT_TRUE(second.from_snapshot()) << "the commit wrote a snapshot of its files";
    EXPECT_EQ(DumpSearchForm(&second), DecodedSearchForm(home.path()));
    EXPECT_EQ(DumpSearchForm(held.get()), first) << "the loaded index keeps its bytes";

    held.reset();
    UnloadNuskDb(&second);
    ASSERT_TRUE(WriteIndex(home.path(), FirstTree(), env).ok());
    EXPECT_EQ(SetAsideFiles(home.path()), std::vector<std::u16string>{}) << "released snapshots are deleted";
    ASSERT_TRUE(LoadNuskDb(&second, home.path(), env).ok());
    EXPECT_TRUE(second.from_snapshot());
  }
}

// With every set-aside name taken by a snapshot still mapped, the commit cannot move the
// old one: the next load decodes the files (the old snapshot does not match them) and
// no snapshot file is lost or half written.
TEST(SearchSnapshotTest, EverySetAsideNameHeldLeavesTheFilesDecoded) {
  MappedFilesStayEnv env;
  TempDir home;
  ASSERT_TRUE(WriteIndex(home.path(), FirstTree(), &env).ok());
  std::vector<std::unique_ptr<NuskDb>> held;
  std::vector<std::vector<std::string>> truths;
  for (int k = 0; k <= kSnapSetAsideSlots; ++k) {
    held.push_back(std::make_unique<NuskDb>());
    ASSERT_TRUE(LoadNuskDb(held.back().get(), home.path(), &env).ok());
    ASSERT_TRUE(held.back()->from_snapshot()) << k;
    truths.push_back(DecodedSearchForm(home.path()));
    ASSERT_TRUE(WriteIndex(home.path(), k % 2 ? FirstTree() : SecondTree(), &env).ok());
  }
  EXPECT_EQ(SetAsideFiles(home.path()).size(), size_t{kSnapSetAsideSlots});
  EXPECT_TRUE(env.mapped(Snap(home.path()))) << "the ninth view keeps the snapshot in place";
  EXPECT_FALSE(Env::Default()->FileExists(Snap(home.path()) + u".tmp"));
  NuskDb db;
  ASSERT_TRUE(LoadNuskDb(&db, home.path(), &env).ok());
  EXPECT_FALSE(db.from_snapshot());
  EXPECT_EQ(DumpSearchForm(&db), DecodedSearchForm(home.path()));
  for (size_t k = 0; k < held.size(); ++k) EXPECT_EQ(DumpSearchForm(held[k].get()), truths[k]) << k;
}

}  // namespace
}  // namespace nusk::testing
