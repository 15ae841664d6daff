// The folder walk against real folders: what it records, what it skips, and that it
// agrees with find(1) on sizes and times.
#include "scan/walk.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <set>
#include <stdexcept>
#include <thread>

#include "index/index_types.h"
#include "tests/testing/test_env.h"
#include "util/utf.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace nusk {
namespace {

// Collects what a scanner reports and rebuilds each item's path from the parent links.
class CollectingListener : public INuskListener {
 public:
  void DriveScanned(char16_t) override {}
  void IgnoredFolderFound(const std::u16string& path) override { ignored.push_back(path); }
  void ForgetVolume(char16_t letter, uint8_t mount) override { forgets.push_back({letter, mount}); }
  void AddRecord(const ScanRecord& r) override { records.push_back(r); }
  void UpdateRecord(const ScanRecord&, const std::u16string*) override { FAIL() << "walk never updates"; }
  void DeleteRecord(const ScanRecord&) override { FAIL() << "walk never deletes"; }
  void DeleteByReference(const ScanRecord&) override { FAIL() << "walk never deletes"; }

  // "a/b/c.txt" -> record, relative to the drive root ("" for the root).
  std::map<std::string, ScanRecord> ByPath() const {
    std::map<uint64_t, const ScanRecord*> by_ref;
    for (const ScanRecord& r : records) by_ref[r.reference] = &r;
    std::map<std::string, ScanRecord> out;
    for (const ScanRecord& r : records) {
      std::string path;
      const ScanRecord* at = &r;
      while (at->parent_reference != 0) {
        path = ToUtf8(at->name) + (path.empty() ? "" : "/" + path);
        auto it = by_ref.find(at->parent_reference);
        if (it == by_ref.end()) {
          ADD_FAILURE() << "parent of " << ToUtf8(r.name) << " was never added";
          break;
        }
        at = it->second;
      }
      EXPECT_TRUE(out.emplace(path, r).second) << "duplicate path " << path;
    }
    return out;
  }

  std::vector<ScanRecord> records;
  std::vector<std::u16string> ignored;
  std::vector<std::pair<char16_t, uint8_t>> forgets;
};

class FakeExclusions : public IWalkExclusions {
 public:
  bool hidden = false;
  bool ExcludeHidden() const override { return hidden; }
  bool FolderNameExcluded(std::u16string_view n) const override { return n == u"node_modules"; }
  bool FileNameExcluded(std::u16string_view n) const override {
    return n.size() >= 4 && n.substr(n.size() - 4) == u".tmp";
  }
};

struct WalkRun {
  CollectingListener listener;
  WalkContext ctx;
  std::vector<std::string> log, status;
  WalkResult result;
};

std::unique_ptr<WalkRun> Walk(const std::u16string& root, const IWalkExclusions* ex = nullptr,
                              std::function<bool()> cancel = nullptr, char16_t letter = u'D',
                              std::unique_ptr<WalkListing> started = nullptr, Env* env = Env::Default()) {
  auto run = std::make_unique<WalkRun>();
  run->ctx.env = env;
  run->ctx.drive_letter = letter;
  run->ctx.root_path = root;
  run->ctx.listener = &run->listener;
  run->ctx.exclusions = ex;
  run->ctx.cancel_requested = std::move(cancel);
  WalkRun* p = run.get();
  run->ctx.log = [p](const std::string& l) { p->log.push_back(l); };
  run->ctx.status = [p](const std::string& l) { p->status.push_back(l); };
  run->result = WalkDrive(&run->ctx, std::move(started));
  return run;
}

void ExpectSameRecords(const std::vector<ScanRecord>& a, const std::vector<ScanRecord>& b) {
  ASSERT_EQ(a.size(), b.size());
  for (size_t i = 0; i < a.size(); ++i) {
    EXPECT_EQ(a[i].reference, b[i].reference) << i;
    EXPECT_EQ(a[i].parent_reference, b[i].parent_reference) << i;
    EXPECT_EQ(a[i].name, b[i].name) << i;
    EXPECT_EQ(a[i].size, b[i].size) << i;
    EXPECT_EQ(a[i].time, b[i].time) << i;
    EXPECT_EQ(a[i].is_folder, b[i].is_folder) << i;
  }
}

TEST(WalkTest, EmptyDriveHoldsOnlyItsRoot) {
  testing::TempDir dir;
  auto run = Walk(dir.path());
  ASSERT_EQ(run->result, WalkResult::kDone);
  ASSERT_EQ(run->listener.records.size(), 1u);
  const ScanRecord& root = run->listener.records[0];
  EXPECT_EQ(root.reference, (uint64_t{3} << 32) | 1024);  // D: is drive number 3
  EXPECT_EQ(root.parent_reference, 0u);
  EXPECT_EQ(root.name, u"D:");
  EXPECT_EQ(root.is_folder, 1);
  ASSERT_EQ(run->listener.forgets.size(), 1u);
  EXPECT_EQ(run->listener.forgets[0], std::make_pair(u'D', uint8_t{0}));
  EXPECT_EQ(run->log.back(), "Recorded 0 folders, 0 files.");
}

TEST(WalkTest, AFolderThatCannotBeListedMidWalkIsSaidAndEverythingElseIsKept) {
  testing::TempDir dir;
  dir.WriteFile(u"a/locked/inner.txt", "x");
  dir.WriteFile(u"a/locked/deeper/more.txt", "x");
  dir.WriteFile(u"a/open.txt", "y");
  dir.WriteFile(u"b/z.txt", "z");
  testing::FaultInjectionEnv env;
  const std::u16string locked = dir.Sub(u"a/locked/");
  env.fail_listing = [locked](const std::u16string& folder) { return folder == locked; };
  auto run = Walk(dir.path(), nullptr, nullptr, u'D', nullptr, &env);
  ASSERT_EQ(run->result, WalkResult::kDone);
  auto items = run->listener.ByPath();
  EXPECT_TRUE(items.count("a/locked") && items["a/locked"].is_folder);
  EXPECT_EQ(items.count("a/locked/inner.txt"), 0u);
  for (const char* kept : {"a/open.txt", "b", "b/z.txt"}) EXPECT_EQ(items.count(kept), 1u) << kept;
  EXPECT_EQ(items.size(), 6u);  // root, a, a/locked, a/open.txt, b, b/z.txt
  EXPECT_EQ(run->status, std::vector<std::string>{"Find files in " + ToUtf8(locked) + " failed.."});
}

TEST(WalkTest, RecordsTreeBreadthFirstWithSyntheticReferences) {
  testing::TempDir dir;
  dir.WriteFile(u"top.txt", "12345");
  dir.WriteFile(u"a/one.bin", std::string(1000, 'x'));
  dir.WriteFile(u"a/b/deep.txt", "d");
  dir.WriteFile(u"c/z.txt", "");
  auto run = Walk(dir.path());
  ASSERT_EQ(run->result, WalkResult::kDone);
  auto items = run->listener.ByPath();
  ASSERT_EQ(items.size(), 8u);  // root, a, a/b, c and four files
  EXPECT_EQ(items["top.txt"].size, 5u);
  EXPECT_EQ(items["a/one.bin"].size, 1000u);
  EXPECT_EQ(items["a/b"].is_folder, 1);
  EXPECT_EQ(items["a/b"].size, 0u);
  // Every reference is distinct, carries the drive number and counts up from 1024.
  std::set<uint32_t> numbers;
  for (const ScanRecord& r : run->listener.records) {
    EXPECT_EQ(RefDrive(r.reference), 3);
    EXPECT_EQ(RefMount(r.reference), 0);
    numbers.insert(RefRecord(r.reference));
  }
  EXPECT_EQ(numbers.size(), 8u);
  EXPECT_EQ(*numbers.begin(), 1024u);
  EXPECT_EQ(*numbers.rbegin(), 1031u);
  // Breadth first: a folder two levels down is met after everything one level down.
  EXPECT_GT(RefRecord(items["a/b"].reference), RefRecord(items["c"].reference));
  EXPECT_GT(RefRecord(items["a/b/deep.txt"].reference), RefRecord(items["c/z.txt"].reference));
  EXPECT_EQ(run->log.back(), "Recorded 3 folders, 4 files.");
}

TEST(WalkTest, ExclusionsAndMarkerFilesLeaveTreesOut) {
  testing::TempDir dir;
  dir.WriteFile(u"keep/a.txt", "a");
  dir.WriteFile(u"keep/junk.tmp", "t");
  dir.WriteFile(u"keep/node_modules/x/y.js", "y");
  dir.WriteFile(u"ignored/_nuskignore", "");
  dir.WriteFile(u"ignored/inner/file.txt", "f");
  dir.WriteFile(u".hidden/secret.txt", "s");
  dir.WriteFile(u"_nuskignore", "");  // a marker in the root does not exclude the root
  FakeExclusions ex;
  ex.hidden = true;
  auto run = Walk(dir.path(), &ex);
  ASSERT_EQ(run->result, WalkResult::kDone);
  auto items = run->listener.ByPath();
  EXPECT_TRUE(items.count("keep/a.txt"));
  EXPECT_TRUE(items.count("_nuskignore"));
  for (const char* gone : {"keep/junk.tmp", "keep/node_modules", "keep/node_modules/x/y.js", "ignored",
                           "ignored/inner/file.txt", ".hidden", ".hidden/secret.txt"}) {
    EXPECT_FALSE(items.count(gone)) << gone;
  }
  ASSERT_EQ(run->listener.ignored.size(), 1u);
  EXPECT_EQ(run->listener.ignored[0], u"D:\\ignored");

  // Without exclusion settings only the marker still applies.
  auto plain = Walk(dir.path());
  auto all = plain->listener.ByPath();
  EXPECT_TRUE(all.count("keep/junk.tmp"));
  EXPECT_TRUE(all.count(".hidden/secret.txt"));
  EXPECT_FALSE(all.count("ignored"));
}

TEST(WalkTest, UnreadableRootChangesNothing) {
  testing::TempDir dir;
  auto missing = Walk(dir.Sub(u"no-such-folder/"));
  EXPECT_EQ(missing->result, WalkResult::kRootFailed);
  EXPECT_TRUE(missing->listener.records.empty());
  EXPECT_TRUE(missing->listener.forgets.empty()) << "the drive's old records must stay";
  ASSERT_EQ(missing->status.size(), 1u);
  EXPECT_NE(missing->status[0].find("failed.."), std::string::npos);

  // Started ahead, the failure is reported only when the walk is run.
  auto early = StartWalkListing({u'D', dir.Sub(u"no-such-folder/"), nullptr, Env::Default()}, true);
  auto late = Walk(dir.Sub(u"no-such-folder/"), nullptr, nullptr, u'D', std::move(early));
  EXPECT_EQ(late->result, WalkResult::kRootFailed);
  EXPECT_TRUE(late->listener.forgets.empty());
  EXPECT_EQ(late->status, missing->status);
}

// A listing started ahead (while an index loads) is used only for the same drive, root
// and exclusions; it gives the records a walk started late would give.
TEST(WalkTest, ListingStartedAheadIsUsedOnlyForItsTarget) {
  testing::TempDir dir;
  for (int i = 0; i < 300; ++i)
    dir.WriteFile(U16("f" + std::to_string(i % 7) + "/x" + std::to_string(i) + (i % 2 ? ".tmp" : ".txt")), "");
  dir.WriteFile(u"node_modules/m.js", "m");
  FakeExclusions ex;
  auto direct = Walk(dir.path(), &ex);
  auto ahead = Walk(dir.path(), &ex, nullptr, u'D', StartWalkListing({u'D', dir.path(), &ex, Env::Default()}, true));
  ExpectSameRecords(ahead->listener.records, direct->listener.records);
  EXPECT_EQ(ahead->log, direct->log);

  // Started without exclusions, then run with them: the early listing is dropped.
  auto other =
      Walk(dir.path(), &ex, nullptr, u'D', StartWalkListing({u'D', dir.path(), nullptr, Env::Default()}, true));
  ExpectSameRecords(other->listener.records, direct->listener.records);
  // Never run: dropping it stops its threads (the queue holds the whole tree meanwhile).
  StartWalkListing({u'D', dir.path(), nullptr, Env::Default()}, true).reset();
}

// Enough folders that the listing threads run ahead, fill the hand-over queue and wait.
TEST(WalkTest, ManyFoldersKeepQueueOrderAndStopCleanly) {
  testing::TempDir dir;
  constexpr int kFolders = 2500;  // more than the queue holds (8 chunks of 256 folders)
  auto name = [](int i) {
    char b[8];
    std::snprintf(b, sizeof(b), "d%04d", i);
    return U16(b);
  };
  for (int i = 0; i < kFolders; ++i) ASSERT_TRUE(Env::Default()->CreateFolder(dir.Sub(name(i))).ok());
  auto run = Walk(dir.path());
  ASSERT_EQ(run->listener.records.size(), kFolders + 1u);
  for (int i = 0; i < kFolders; ++i) {  // listed on several threads, recorded in queue order
    EXPECT_EQ(run->listener.records[i + 1].name, name(i));
    EXPECT_EQ(RefRecord(run->listener.records[i + 1].reference), 1025u + i);
  }

  // Canceled while the listing is far ahead: the walk stops before the next folder.
  int polls = 0;
  auto canceled = Walk(dir.path(), nullptr, [&polls] {
    if (polls == 0) std::this_thread::sleep_for(std::chrono::milliseconds(200));
    return ++polls > 5;
  });
  EXPECT_EQ(canceled->result, WalkResult::kCanceled);
  EXPECT_EQ(polls, 6);
  EXPECT_EQ(canceled->listener.records.size(), 1u + 5);
  EXPECT_NE(canceled->log.back().rfind("Recorded", 0), 0u) << "a canceled walk must not report success";

  // A listener that fails part way: its error comes out of the walk once the threads stopped.
  struct FailingListener : CollectingListener {
    void AddRecord(const ScanRecord& r) override {
      if (records.size() == 100) throw std::runtime_error("index full");
      records.push_back(r);
    }
  } failing;
  WalkContext ctx;
  ctx.env = Env::Default();
  ctx.drive_letter = u'D';
  ctx.root_path = dir.path();
  ctx.listener = &failing;
  EXPECT_THROW(WalkDrive(&ctx), std::runtime_error);
}

#ifndef _WIN32
TEST(WalkTest, NeverFollowsSymbolicLinks) {
  testing::TempDir dir;
  dir.WriteFile(u"real/file.txt", "abc");
  std::string base = ToUtf8(dir.path());
  ASSERT_EQ(::symlink("..", (base + "real/loop").c_str()), 0);
  ASSERT_EQ(::symlink(base.c_str(), (base + "to-root").c_str()), 0);
  auto run = Walk(dir.path());
  ASSERT_EQ(run->result, WalkResult::kDone);
  auto items = run->listener.ByPath();
  ASSERT_TRUE(items.count("real/loop"));
  EXPECT_EQ(items["real/loop"].is_folder, 0);  // listed as the link itself
  EXPECT_EQ(items["real/loop"].size, 2u);      // a link's size is its target's length
  EXPECT_FALSE(items.count("real/loop/file.txt"));
  EXPECT_FALSE(items.count("to-root/real"));
  EXPECT_EQ(items.size(), 5u);
}

TEST(WalkTest, HugeFilesUseTheKibibyteSizeForm) {
  testing::TempDir dir;
  std::string path = ToUtf8(dir.WriteFile(u"big.iso", ""));
  ASSERT_EQ(::truncate(path.c_str(), 3LL << 30), 0);  // sparse: no real 3 GiB written
  auto run = Walk(dir.path());
  auto items = run->listener.ByPath();
  EXPECT_EQ(items["big.iso"].size, static_cast<uint32_t>(-(3 << 20)));
  EXPECT_EQ(BytesFromSizeForm(items["big.iso"].size), 3ULL << 30);
}

// Every entry find(1) lists on one file system is recorded with find's size and time.
void ExpectSameAsFind(const std::string& root) {
  auto run = Walk(FromUtf8(root));
  ASSERT_EQ(run->result, WalkResult::kDone);
  auto items = run->listener.ByPath();
  std::string cmd = "find '" + root + "' -xdev -mindepth 1 -printf '%P\\t%y\\t%s\\t%T@\\n'";
  FILE* p = ::popen(cmd.c_str(), "r");
  ASSERT_NE(p, nullptr);
  char line[8192];
  size_t listed = 0;
  while (std::fgets(line, sizeof(line), p)) {
    std::string s(line);
    if (!s.empty() && s.back() == '\n') s.pop_back();
    size_t t1 = s.find('\t'), t2 = s.find('\t', t1 + 1), t3 = s.find('\t', t2 + 1);
    std::string rel = s.substr(0, t1);
    char type = s[t1 + 1];
    uint64_t size = std::stoull(s.substr(t2 + 1, t3 - t2 - 1));
    int64_t secs = std::stoll(s.substr(t3 + 1));
    ++listed;
    auto it = items.find(rel);
    if (it == items.end()) {
      ADD_FAILURE() << "missing " << rel;
      continue;
    }
    EXPECT_EQ(it->second.is_folder, type == 'd' ? 1 : 0) << rel;
    if (type != 'd') {
      EXPECT_EQ(BytesFromSizeForm(it->second.size), size <= 0x7FFFFFFF ? size : (size >> 10) << 10) << rel;
    }
    uint32_t unix_secs = it->second.time - 995829888u - static_cast<uint32_t>(11644473600ULL);
    EXPECT_EQ(unix_secs, static_cast<uint32_t>(secs)) << rel;
  }
  ::pclose(p);
  EXPECT_EQ(listed + 1, items.size()) << "the walk recorded items find does not list";
}

TEST(WalkTest, AgreesWithFindOnFixtureAndSystemTrees) {
  testing::TempDir dir;
  dir.WriteFile(u"docs/readme.md", "hello");
  dir.WriteFile(u"docs/ÜberGröße.txt", std::string(70000, 'u'));
  dir.WriteFile(u"src/a b/c d.cpp", "int x;");
  dir.WriteFile(u"src/.git/HEAD", "ref");
  ASSERT_EQ(::mkdir(ToUtf8(dir.Sub(u"empty")).c_str(), 0755), 0);
  ExpectSameAsFind(ToUtf8(dir.path()));
  if (::access("/usr/include/", R_OK) == 0) ExpectSameAsFind("/usr/include/");
}
#endif

}  // namespace
}  // namespace nusk
