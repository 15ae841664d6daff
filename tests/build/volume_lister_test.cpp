// Folder listing on the real file systems: a folder needs several system calls when its
// entries do not fit in one buffer, and the lister must neither stop early nor list an
// entry twice (the POSIX lister skips the final empty call where the file system is known
// to fill the buffer: ext4 under the temporary folder, tmpfs under /dev/shm).
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "platform/env.h"
#include "platform/volume_lister.h"
#include "tests/testing/test_env.h"
#include "util/utf.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace nusk::testing {
namespace {

// Fills folder (ending with the separator) with count files whose names take about 90
// bytes each in a listing, file i holding i % 7 bytes; returns name -> size.
std::map<std::u16string, uint64_t> FillFolder(const std::u16string& folder, int count) {
  std::map<std::u16string, uint64_t> made;
  for (int i = 0; i < count; ++i) {
    std::u16string name = FromUtf8("entry-" + std::to_string(i) + std::string(60, 'x') + ".txt");
    EXPECT_TRUE(Env::Default()->WriteWholeFile(folder + name, std::string(i % 7, 'a'), false).ok());
    made[name] = i % 7;
  }
  return made;
}

void ExpectListedOnce(const std::u16string& folder, const std::map<std::u16string, uint64_t>& made) {
  std::unique_ptr<VolumeLister> lister;
  ASSERT_TRUE(Env::Default()->NewVolumeLister(folder, &lister).ok());
  // Twice through the same lister: the second listing reuses the first one's strings.
  for (int pass = 0; pass < 2; ++pass) {
    std::vector<VolumeEntry> entries;
    ASSERT_TRUE(lister->List(folder, &entries).ok());
    std::map<std::u16string, uint64_t> listed;
    for (const VolumeEntry& e : entries) {
      EXPECT_FALSE(e.is_folder);
      EXPECT_TRUE(listed.emplace(e.name, e.size).second) << "listed twice: " << ToUtf8(e.name);
    }
    EXPECT_EQ(listed, made) << "pass " << pass;
  }
}

TEST(VolumeListerTest, FolderLargerThanOneBufferIsListedWholeAndOnce) {
  TempDir dir;
  const std::u16string folder = dir.Sub(u"big/");
  ASSERT_TRUE(Env::Default()->CreateFolder(dir.Sub(u"big")).ok());
  ExpectListedOnce(folder, FillFolder(folder, 3000));  // about 270 KB of entries
  // A folder that fits one buffer with little room to spare.
  const std::u16string small = dir.Sub(u"small/");
  ASSERT_TRUE(Env::Default()->CreateFolder(dir.Sub(u"small")).ok());
  ExpectListedOnce(small, FillFolder(small, 335));
}

#ifndef _WIN32
TEST(VolumeListerTest, FolderOnTmpfsIsListedWholeAndOnce) {
  const std::u16string base = u"/dev/shm/nusk-lister-" + FromUtf8(std::to_string(::getpid()));
  if (!Env::Default()->CreateFolder(base).ok()) GTEST_SKIP() << "no writable /dev/shm";
  ExpectListedOnce(base + u"/", FillFolder(base + u"/", 3000));
  RemoveTree(Env::Default(), base);
}
#endif

}  // namespace
}  // namespace nusk::testing
