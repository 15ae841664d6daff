// The Env contract, run natively and under Wine against the real system calls.
#include "platform/env.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "tests/testing/test_env.h"

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
  ASSERT_TRUE(env->ListFolder(dir.path(), [&](const DirEntry& e) {
    names.insert(e.name);
    if (e.name == u"one.txt") {
      EXPECT_FALSE(e.is_folder);
      EXPECT_EQ(e.size, 5u);
      // Modified within the last day, as a FILETIME.
      EXPECT_LT(env->NowFileTime() - e.mtime, 864000000000ULL);
    }
    if (e.name == u"sub") {
      EXPECT_TRUE(e.is_folder);
    }
    return true;
  }).ok());
  EXPECT_EQ(names, (std::set<std::u16string>{u"one.txt", u"sub", u"\u65E5\u672C.txt"}));
  EXPECT_FALSE(env->ListFolder(dir.Sub(u"missing"), [](const DirEntry&) { return true; }).ok());
}

TEST(Env, NamedMutexIsExclusiveUntilUnlocked) {
  Env* env = Env::Default();
  // Names are formed like the build lock: a folder with its separators turned into '/'.
  auto lock_name = [](std::u16string folder) {
    for (char16_t& c : folder) if (c == u'\\') c = u'/';
    return u"nusk-test/" + folder + u"|LOCK";
  };
  auto a = env->CreateNamedMutex(lock_name(testing::TempDir().path()));
  auto b = env->CreateNamedMutex(lock_name(testing::TempDir().path()));
  // Different folders give different names, so both lock.
  EXPECT_TRUE(a->TryLock());
  EXPECT_TRUE(b->TryLock());
  auto c = env->CreateNamedMutex(u"nusk-test|SAME");
  auto d = env->CreateNamedMutex(u"nusk-test|SAME");
  ASSERT_TRUE(c->TryLock());
  // Windows mutexes are recursive per thread, so contend from another thread.
  bool second = true;
  std::thread([&] { second = d->TryLock(); if (second) d->Unlock(); }).join();
  EXPECT_FALSE(second);
  c->Unlock();
  std::thread([&] { second = d->TryLock(); d->Unlock(); }).join();
  EXPECT_TRUE(second);
}

}  // namespace
}  // namespace nusk
