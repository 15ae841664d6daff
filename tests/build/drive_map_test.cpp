#include "settings/drive_map.h"

#include <gtest/gtest.h>

namespace nusk {
namespace {

DriveMap PosixMap() {
  std::array<std::u16string, 26> targets{};
  std::array<bool, 26> folder{};
  targets['C' - 'A'] = u"/";
  folder['C' - 'A'] = true;
  targets['D' - 'A'] = u"/mnt/data/";  // trailing slash is normalised away
  folder['D' - 'A'] = true;
  targets['E' - 'A'] = u"/images/disk.img";
  targets['F' - 'A'] = u"/mnt/data/deep";
  folder['F' - 'A'] = true;
  return DriveMap::FromTargets(targets, folder);
}

TEST(DriveMapTest, IndexPathsBecomeNativePaths) {
  DriveMap map = PosixMap();
  EXPECT_EQ(map.Letters(), u"CDEF");
  EXPECT_EQ(map.ToNativePath(u"C:"), u"/");
  EXPECT_EQ(map.ToNativePath(u"C:\\"), u"/");
  EXPECT_EQ(map.ToNativePath(u"C:\\usr\\lib\\x"), u"/usr/lib/x");
  EXPECT_EQ(map.ToNativePath(u"d:\\photos\\a.jpg"), u"/mnt/data/photos/a.jpg");
  EXPECT_EQ(map.ToNativePath(u"D:"), u"/mnt/data");
  EXPECT_EQ(map.ToNativePath(u"D:\\"), u"/mnt/data/");
  // An image drive has no folder to stand for it: the letter stays.
  EXPECT_EQ(map.ToNativePath(u"E:\\docs\\a.txt"), u"E:/docs/a.txt");
  // U+F05C is a '\' inside a name, never a separator.
  EXPECT_EQ(map.ToNativePath(u"C:\\lib\\a\uF05Cx2d.slice"), u"/lib/a\\x2d.slice");
  EXPECT_EQ(map.ToNativePath(u"E:\\a\uF05C\\b"), u"E:/a\\/b");
  // Unmapped letters and paths without a drive part are left alone.
  EXPECT_EQ(map.ToNativePath(u"Q:\\x"), u"Q:\\x");
  EXPECT_EQ(map.ToNativePath(u"relative"), u"relative");
}

TEST(DriveMapTest, NativePathsFindTheLongestFolderTarget) {
  DriveMap map = PosixMap();
  std::u16string out;
  ASSERT_TRUE(map.FromNativePath(u"/usr/lib", &out));
  EXPECT_EQ(out, u"C:\\usr\\lib");
  ASSERT_TRUE(map.FromNativePath(u"/", &out));
  EXPECT_EQ(out, u"C:\\");
  ASSERT_TRUE(map.FromNativePath(u"/usr/a\\b\\", &out));  // '\' belongs to the names
  EXPECT_EQ(out, u"C:\\usr\\a\uF05Cb\uF05C");
  ASSERT_TRUE(map.FromNativePath(u"/mnt/data/photos", &out));
  EXPECT_EQ(out, u"D:\\photos");
  ASSERT_TRUE(map.FromNativePath(u"/mnt/data", &out));
  EXPECT_EQ(out, u"D:\\");
  ASSERT_TRUE(map.FromNativePath(u"/mnt/data/deep/x", &out));
  EXPECT_EQ(out, u"F:\\x");
  // "/mnt/database" is not inside "/mnt/data": whole components only.
  ASSERT_TRUE(map.FromNativePath(u"/mnt/database", &out));
  EXPECT_EQ(out, u"C:\\mnt\\database");
}

TEST(DriveMapTest, RoundTripAndMissingDrives) {
  std::array<std::u16string, 26> targets{};
  std::array<bool, 26> folder{};
  targets['H' - 'A'] = u"/home/u";
  folder['H' - 'A'] = true;
  DriveMap map = DriveMap::FromTargets(targets, folder);
  std::u16string out;
  EXPECT_FALSE(map.FromNativePath(u"/usr", &out));  // no drive covers "/"
  for (std::u16string shown : {u"/home/u", u"/home/u/a b/ü.txt", u"/home/u/x\\y\\/z\\"}) {
    ASSERT_TRUE(map.FromNativePath(shown, &out));
    EXPECT_EQ(map.ToNativePath(out), shown == u"/home/u" ? u"/home/u/" : shown);
  }
  EXPECT_EQ(map.Target(u'h'), u"/home/u");
  EXPECT_TRUE(map.Target(u'C').empty());
}

TEST(DriveMapTest, WindowsMapIsIdentity) {
  DriveMap map = DriveMap::Native();
  EXPECT_TRUE(map.native_letters());
  EXPECT_EQ(map.Target(u'c'), u"C:\\");
  EXPECT_EQ(map.ToNativePath(u"C:\\Users\\x\uF05C"), u"C:\\Users\\x\uF05C");  // a name made by a Linux tool
  std::u16string out;
  ASSERT_TRUE(map.FromNativePath(u"D:\\a", &out));
  EXPECT_EQ(out, u"D:\\a");
  EXPECT_FALSE(map.FromNativePath(u"/usr", &out));
}

}  // namespace
}  // namespace nusk
