// The Env contract, run natively and under Wine against the real system calls.
#include "platform/env.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "tests/testing/test_env.h"
#include "util/utf.h"

namespace nusk {
namespace {

using testing::TempDir;

TEST(Env, WholeFileWriteReadRenameRemove) {
  TempDir dir;
  Env* env = Env::Default();
  std::string payload(100000, '\0');
  for (size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<char>(i * 7);
  ASSERT_TRUE(env->WriteWholeFile(dir.Sub(u"a.bin"), payload, true).ok());
  std::string back;
  ASSERT_TRUE(env->ReadWholeFile(dir.Sub(u"a.bin"), &back).ok());
  EXPECT_EQ(back, payload);
  EXPECT_EQ(env->FileSize(dir.Sub(u"a.bin")), 100000);

  // Rename replaces an existing target.
  ASSERT_TRUE(env->WriteWholeFile(dir.Sub(u"b.bin"), "old", false).ok());
  ASSERT_TRUE(env->RenameFile(dir.Sub(u"a.bin"), dir.Sub(u"b.bin")).ok());
  EXPECT_FALSE(env->FileExists(dir.Sub(u"a.bin")));
  ASSERT_TRUE(env->ReadWholeFile(dir.Sub(u"b.bin"), &back).ok());
  EXPECT_EQ(back.size(), payload.size());

  ASSERT_TRUE(env->RemoveFile(dir.Sub(u"b.bin")).ok());
  EXPECT_TRUE(env->RemoveFile(dir.Sub(u"b.bin")).ok()) << "removing a missing file succeeds";
  Status missing = env->ReadWholeFile(dir.Sub(u"b.bin"), &back);
  EXPECT_FALSE(missing.ok());
  EXPECT_NE(missing.message().find("b.bin"), std::string::npos) << missing.message();
}

// A view is what the loader parses the index files from: it must hold the bytes it
// opened even when a commit renames a new file over the old one meanwhile.
TEST(Env, FileViewKeepsItsBytesAcrossAReplacingRename) {
  TempDir dir;
  Env* env = Env::Default();
  std::string first(70000, 'a'), second = "new";
  first[69999] = 'z';
  ASSERT_TRUE(env->WriteWholeFile(dir.Sub(u"db"), first, false).ok());
  std::unique_ptr<FileView> view;
  ASSERT_TRUE(env->ViewWholeFile(dir.Sub(u"db"), &view).ok());
  ASSERT_TRUE(env->WriteWholeFile(dir.Sub(u"db.tmp"), second, false).ok());
  Status replaced = env->RenameFile(dir.Sub(u"db.tmp"), dir.Sub(u"db"));
  EXPECT_EQ(view->bytes(), first);
  if (replaced.ok()) {
    std::unique_ptr<FileView> after;
    ASSERT_TRUE(env->ViewWholeFile(dir.Sub(u"db"), &after).ok());
    EXPECT_EQ(after->bytes(), second);
  }

  ASSERT_TRUE(env->WriteWholeFile(dir.Sub(u"empty"), "", false).ok());
  ASSERT_TRUE(env->ViewWholeFile(dir.Sub(u"empty"), &view).ok());
  EXPECT_TRUE(view->bytes().empty());
  Status missing = env->ViewWholeFile(dir.Sub(u"missing"), &view);
  EXPECT_FALSE(missing.ok());
  EXPECT_NE(missing.message().find("missing"), std::string::npos) << missing.message();
}

#ifdef __linux__
// Resident kilobytes of the mapping that starts at `start` (/proc/self/smaps), -1 if not found.
long MappingRssKb(const void* start) {
  std::FILE* f = std::fopen("/proc/self/smaps", "r");
  if (!f) return -1;
  char line[512];
  bool in = false;
  long rss = -1;
  while (rss < 0 && std::fgets(line, sizeof line, f)) {
    unsigned long from = 0, to = 0;
    if (std::sscanf(line, "%lx-%lx ", &from, &to) == 2) {  // a mapping's first line; its fields follow
      in = from == reinterpret_cast<uintptr_t>(start);
    } else if (in && std::strncmp(line, "Rss:", 4) == 0) {
      rss = std::atol(line + 4);
    }
  }
  std::fclose(f);
  return rss;
}
#endif

// A mapped view that keeps its file open is what console find reads the search snapshot
// through: ReadAt reads pieces of the file that was opened, also after a rename replaced
// it, without making the mapping's pages resident; a piece past the end, or past the end
// of a file shortened in place, fails.
TEST(Env, MappedViewWithReadsReadsPiecesOfTheFileItOpened) {
  TempDir dir;
  Env* env = Env::Default();
  std::string first(size_t{4} << 20, '\0');
  for (size_t i = 0; i < first.size(); ++i) first[i] = static_cast<char>(i * 13 + (i >> 12));
  const std::string_view want(first);
  ASSERT_TRUE(env->WriteWholeFile(dir.Sub(u"db"), first, false).ok());
  std::unique_ptr<FileView> view;
  ASSERT_TRUE(env->MapWholeFileWithReads(dir.Sub(u"db"), &view).ok());
  ASSERT_EQ(view->bytes().size(), first.size());
  std::string piece(70000, '\0');
  const size_t at = (size_t{2} << 20) + 100;
  ASSERT_TRUE(view->ReadAt(at, piece.data(), 5000));
  EXPECT_EQ(piece.substr(0, 5000), want.substr(at, 5000));
#ifdef __linux__
  EXPECT_EQ(MappingRssKb(view->bytes().data()), 0) << "a piece read made pages of the mapping resident";
#endif
  EXPECT_FALSE(view->ReadAt(first.size() - 10, piece.data(), 11)) << "past the end";
  EXPECT_FALSE(view->ReadAt(first.size() + 1, piece.data(), 0));
  ASSERT_TRUE(view->ReadAt(first.size() - 10, piece.data(), 10));
  EXPECT_EQ(piece.substr(0, 10), want.substr(first.size() - 10));

  ASSERT_TRUE(env->WriteWholeFile(dir.Sub(u"db.tmp"), std::string(first.size(), 'x'), false).ok());
#ifdef _WIN32
  // Windows keeps a mapped file from being replaced, but lets it be renamed away.
  EXPECT_FALSE(env->RenameFile(dir.Sub(u"db.tmp"), dir.Sub(u"db")).ok());
  ASSERT_TRUE(env->RenameFile(dir.Sub(u"db"), dir.Sub(u"db.old")).ok());
#endif
  ASSERT_TRUE(env->RenameFile(dir.Sub(u"db.tmp"), dir.Sub(u"db")).ok());
  ASSERT_TRUE(view->ReadAt(0, piece.data(), piece.size()));
  EXPECT_EQ(piece, want.substr(0, piece.size())) << "the file opened, not the one renamed over it";
  EXPECT_EQ(view->bytes(), want);

#ifndef _WIN32  // a mapped file cannot be written on Windows
  ASSERT_TRUE(env->WriteWholeFile(dir.Sub(u"short"), first, false).ok());
  ASSERT_TRUE(env->MapWholeFileWithReads(dir.Sub(u"short"), &view).ok());
  ASSERT_TRUE(env->WriteWholeFile(dir.Sub(u"short"), want.substr(0, 100000), false).ok());  // in place
  ASSERT_TRUE(view->ReadAt(30000, piece.data(), piece.size()));
  EXPECT_EQ(piece, want.substr(30000, piece.size()));
  EXPECT_FALSE(view->ReadAt(90000, piece.data(), 20000)) << "the file now ends at 100000";
#endif

  ASSERT_TRUE(env->WriteWholeFile(dir.Sub(u"empty"), "", false).ok());
  ASSERT_TRUE(env->MapWholeFileWithReads(dir.Sub(u"empty"), &view).ok());
  EXPECT_TRUE(view->bytes().empty());
  EXPECT_TRUE(view->ReadAt(0, piece.data(), 0));
  const Status missing = env->MapWholeFileWithReads(dir.Sub(u"missing"), &view);
  EXPECT_FALSE(missing.ok());
  EXPECT_NE(missing.message().find("missing"), std::string::npos) << missing.message();
}

// A wrapper that serves its own files (as the fuzz and fault-injection Envs do) must
// serve views of them too, not let the view reach the real file system.
TEST(Env, WrapperServesViewsThroughItsReads) {
  class OneFileEnv : public EnvWrapper {
   public:
    OneFileEnv() : EnvWrapper(Env::Default()) {}
    Status ReadWholeFile(const std::u16string& path, std::string* bytes) override {
      if (path != u"virtual") return Status::Error("no such file");
      *bytes = "served";
      return Status::Ok();
    }
  } env;
  std::unique_ptr<FileView> view;
  ASSERT_TRUE(env.ViewWholeFile(u"virtual", &view).ok());
  EXPECT_EQ(view->bytes(), "served");
}

TEST(Env, ListFolderReportsNamesKindsAndSizes) {
  TempDir dir;
  Env* env = Env::Default();
  dir.WriteFile(u"one.txt", "12345");
  dir.WriteFile(u"sub/two.txt", "");
  dir.WriteFile(u"\u65E5\u672C.txt", "x");
  std::set<std::u16string> names;
  ASSERT_TRUE(env->ListFolder(dir.path(),
                              [&](const DirEntry& e) {
                                names.insert(e.name);
                                if (e.name == u"one.txt") {
                                  EXPECT_FALSE(e.is_folder);
                                  EXPECT_EQ(e.size, 5u);
                                  // Modified within the last day, as a FILETIME.
                                  EXPECT_LT(env->NowFileTime() - e.mtime, 864000000000ULL);
                                }
                                if (e.name == u"sub") { EXPECT_TRUE(e.is_folder); }
                                return true;
                              })
                  .ok());
  EXPECT_EQ(names, (std::set<std::u16string>{u"one.txt", u"sub", u"\u65E5\u672C.txt"}));
  EXPECT_FALSE(env->ListFolder(dir.Sub(u"missing"), [](const DirEntry&) { return true; }).ok());
}

// Tries the lock from another thread (Windows mutexes are re-entrant for their owner).
bool TakenElsewhere(NamedMutex* lock) {
  bool taken = false;
  std::thread([&] {
    EXPECT_TRUE(lock->TryLock(&taken).ok());
    if (taken) lock->Unlock();
  }).join();
  return taken;
}

TEST(Env, FolderLockIsExclusivePerFolderAndTag) {
  Env* env = Env::Default();
  TempDir one, two;
  auto a = env->CreateFolderLock(one.path(), u"NUSK_TEST");
  bool taken = false;
  ASSERT_TRUE(a->TryLock(&taken).ok());
  ASSERT_TRUE(taken);
  auto same = env->CreateFolderLock(one.path(), u"NUSK_TEST");
  EXPECT_FALSE(TakenElsewhere(same.get()));
  // Another folder, or another tag of the same folder, is another lock.
  auto other_folder = env->CreateFolderLock(two.path(), u"NUSK_TEST");
  EXPECT_TRUE(TakenElsewhere(other_folder.get()));
  auto other_tag = env->CreateFolderLock(one.path(), u"NUSK_OTHER");
  EXPECT_TRUE(TakenElsewhere(other_tag.get()));
  a->Unlock();
  EXPECT_TRUE(TakenElsewhere(same.get()));
}

#ifdef _WIN32
// A build mutex made by a process with more rights cannot be opened: that is a running
// build, not a reason to lock some other name.
TEST(Env, FolderLockCountsAMutexItMayNotOpenAsHeld) {
  TempDir dir;
  std::wstring name = L"Global\\";
  for (char16_t c : dir.path()) name.push_back(c == u'\\' ? L'/' : static_cast<wchar_t>(c));
  name += L"|NUSK_DENIED";
  SECURITY_DESCRIPTOR sd;
  ASSERT_TRUE(InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION));
  ACL acl;
  ASSERT_TRUE(InitializeAcl(&acl, sizeof(acl), ACL_REVISION));  // no entry: nobody may open it
  ASSERT_TRUE(SetSecurityDescriptorDacl(&sd, TRUE, &acl, FALSE));
  SECURITY_ATTRIBUTES sa{sizeof(sa), &sd, FALSE};
  HANDLE owner = CreateMutexW(&sa, TRUE, name.c_str());
  ASSERT_NE(owner, nullptr);
  HANDLE probe = CreateMutexW(nullptr, FALSE, name.c_str());
  if (probe) CloseHandle(probe);
  if (probe || GetLastError() != ERROR_ACCESS_DENIED) {
    CloseHandle(owner);
    GTEST_SKIP() << "this system does not check access to mutexes";
  }
  auto lock = Env::Default()->CreateFolderLock(dir.path(), u"NUSK_DENIED");
  bool taken = true;
  EXPECT_TRUE(lock->TryLock(&taken).ok());
  EXPECT_FALSE(taken);
  CloseHandle(owner);
}
#else
// Every spelling of a folder meets one lock, and nothing lands outside the folder.
TEST(Env, FolderLockIgnoresHowTheFolderIsSpelled) {
  Env* env = Env::Default();
  TempDir dir;
  dir.WriteFile(u"home/x", "");
  std::u16string home = dir.Sub(u"home");
  ASSERT_EQ(::symlink(ToUtf8(home).c_str(), ToUtf8(dir.Sub(u"link")).c_str()), 0);
  auto a = env->CreateFolderLock(home + u"/", u"NUSK_TEST");
  bool taken = false;
  ASSERT_TRUE(a->TryLock(&taken).ok());
  ASSERT_TRUE(taken);
  for (std::u16string spelling :
       {home, dir.Sub(u"home/."), dir.Sub(u"./home//"), u"/" + home, dir.Sub(u"link/"), dir.Sub(u"home/../home")}) {
    auto b = env->CreateFolderLock(spelling, u"NUSK_TEST");
    EXPECT_FALSE(TakenElsewhere(b.get())) << ToUtf8(spelling);
  }
  struct stat st;
  ASSERT_EQ(::stat(ToUtf8(home + u"/nusk_test.lock").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

// A lock file planted as a link (to a file that does not exist yet, or to one that does)
// or as a FIFO is refused with a message: nothing is created or locked through it, and
// the call does not hang.
TEST(Env, FolderLockRefusesAPlantedLinkOrFifo) {
  Env* env = Env::Default();
  TempDir dir;
  dir.WriteFile(u"home/x", "");
  dir.WriteFile(u"victim", "keep");
  const std::string lock_file = ToUtf8(dir.Sub(u"home/nusk_test.lock"));
  for (const char* target : {"created-by-root", "victim"}) {
    ASSERT_EQ(
        ::symlink(ToUtf8(dir.Sub(std::u16string(target, target + std::strlen(target)))).c_str(), lock_file.c_str()), 0);
    auto lock = env->CreateFolderLock(dir.Sub(u"home"), u"NUSK_TEST");
    bool taken = true;
    Status s = lock->TryLock(&taken);
    EXPECT_FALSE(s.ok()) << target;
    EXPECT_FALSE(taken);
    EXPECT_NE(s.message().find("nusk_test.lock"), std::string::npos) << s.message();
    ::unlink(lock_file.c_str());
  }
  EXPECT_FALSE(env->FileExists(dir.Sub(u"created-by-root")));
  std::string kept;
  ASSERT_TRUE(env->ReadWholeFile(dir.Sub(u"victim"), &kept).ok());
  EXPECT_EQ(kept, "keep");

  ASSERT_EQ(::mkfifo(lock_file.c_str(), 0600), 0);
  auto lock = env->CreateFolderLock(dir.Sub(u"home"), u"NUSK_TEST");
  bool taken = true;
  EXPECT_FALSE(lock->TryLock(&taken).ok());
  EXPECT_FALSE(taken);
}
#endif

}  // namespace
}  // namespace nusk
