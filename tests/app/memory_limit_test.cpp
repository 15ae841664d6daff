// An index larger than the process may hold: find reports it and fails, it does not abort.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "index/db_files.h"
#include "index/db_format.h"
#include "platform/env.h"
#include "platform/process.h"
#include "tests/app/nusk_child.h"
#include "tests/testing/test_env.h"
#include "util/utf.h"

namespace nusk {
namespace {

#ifndef _WIN32
TEST(MemoryLimitTest, IndexTooLargeForTheProcessIsAnErrorNotAnAbort) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "AddressSanitizer reserves more address space than the limit allows";
#endif
  testing::TempDir home;
  // A consistent index of 100 million items, all of one folder name: the files are
  // sparse, so they cost no disk, but loading needs gigabytes.
  constexpr uint32_t kItems = 100000000;
  std::string header(kRowsOffset, '\0');
  dbformat::Set32(header.data(), kFormatVersion);
  dbformat::Set32(header.data() + 4, kItems);
  const std::u16string frs = DbPath(home.path(), kFrsName, Env::Default());
  ASSERT_TRUE(Env::Default()->WriteWholeFile(frs, header, false).ok());
  std::filesystem::resize_file(ToUtf8(frs), kRowsOffset + uint64_t{kItems} * kFileRowSize + kMountBlocksSize);
  std::string nrs(4 + kNameRowSize, '\0');
  dbformat::Set32(nrs.data(), 1);
  nrs[4 + 9] = 1;  // length 1, narrow, no case positions, first item 0
  nrs += "1x";
  ASSERT_TRUE(Env::Default()->WriteWholeFile(DbPath(home.path(), kNrsName, Env::Default()), nrs, false).ok());

  ChildResult r;
  ASSERT_TRUE(
      RunChild(u"/bin/sh",
               {u"-c", u"ulimit -v 1000000; exec \"$0\" --dbdir \"$1\" find x", testing::NuskExecutable(), home.path()},
               {}, 60000, &r)
          .ok());
  EXPECT_EQ(r.exit_code, 1) << r.err;
  EXPECT_NE(r.err.find("Not enough memory to load the index"), std::string::npos) << r.err;
}
#endif

}  // namespace
}  // namespace nusk
