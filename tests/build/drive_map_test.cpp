#include "settings/drive_map.h"

#include <gtest/gtest.h>

#include "util/utf.h"

namespace nusk {
namespace {

// Letter -> target; a target ending in ".img" is an image, any other a folder.
DriveMap MapOf(std::initializer_list<std::pair<char, const char16_t*>> drives) {
  std::array<std::u16string, 26> targets{};
  std::array<bool, 26> folder{};
  for (const auto& [letter, target] : drives) {
    targets[letter - 'A'] = target;
    folder[letter - 'A'] = !targets[letter - 'A'].ends_with(u".img");
  }
  return DriveMap::FromTargets(targets, folder);
}

// A trailing slash on a target is normalised away; F: lies inside D:.
const DriveMap kPosix =
    MapOf({{'C', u"/"}, {'D', u"/mnt/data/"}, {'E', u"/images/disk.img"}, {'F', u"/mnt/data/deep"}});

TEST(DriveMapTest, IndexPathsBecomeNativePaths) {
  EXPECT_EQ(kPosix.Letters(), u"CDEF");
  for (const auto& [index, shown] : std::vector<std::pair<std::u16string, std::u16string>>{
           {u"C:", u"/"},
           {u"C:\\", u"/"},
           {u"C:\\usr\\lib\\x", u"/usr/lib/x"},
           {u"d:\\photos\\a.jpg", u"/mnt/data/photos/a.jpg"},
           {u"D:", u"/mnt/data"},
           {u"D:\\", u"/mnt/data/"},
           {u"E:\\docs\\a.txt", u"E:/docs/a.txt"},                // an image has no folder to stand for it
           {u"C:\\lib\\a\uF05Cx2d.slice", u"/lib/a\\x2d.slice"},  // U+F05C is a '\' inside a name
           {u"E:\\a\uF05C\\b", u"E:/a\\/b"},
           {u"Q:\\x", u"Q:\\x"},  // unmapped letters and paths without a drive part stay
           {u"relative", u"relative"}}) {
    EXPECT_EQ(kPosix.ToNativePath(index), shown) << ToUtf8(index);
  }
}

TEST(DriveMapTest, NativePathsFindTheLongestFolderTarget) {
  for (const auto& [shown, index] : std::vector<std::pair<std::u16string, std::u16string>>{
           {u"/usr/lib", u"C:\\usr\\lib"},
           {u"/", u"C:\\"},
           {u"/usr/a\\b\\", u"C:\\usr\\a\uF05Cb\uF05C"},  // '\' belongs to the names
           {u"/mnt/data/photos", u"D:\\photos"},
           {u"/mnt/data", u"D:\\"},
           {u"/mnt/data/deep/x", u"F:\\x"},
           {u"/mnt/database", u"C:\\mnt\\database"}}) {  // whole components only
    std::u16string out;
    ASSERT_TRUE(kPosix.FromNativePath(shown, &out)) << ToUtf8(shown);
    EXPECT_EQ(out, index) << ToUtf8(shown);
    // Each index path shows as the path it came from ("/mnt/data" is the root "D:\").
    if (shown != u"/mnt/data") { EXPECT_EQ(kPosix.ToNativePath(out), shown) << ToUtf8(shown); }
  }
  DriveMap home = MapOf({{'H', u"/home/u"}});
  std::u16string out;
  EXPECT_FALSE(home.FromNativePath(u"/usr", &out));  // no drive covers "/"
  EXPECT_EQ(home.Target(u'h'), u"/home/u");
  EXPECT_TRUE(home.Target(u'C').empty());
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
