// Cache file names of thumbnails, and making and reusing them with this system's maker.
#include <gtest/gtest.h>

#include <set>

#include "tests/testing/test_env.h"
#include "tests/web/web_test_util.h"
#include "util/utf.h"
#include "web/thumbnail_cache.h"

namespace nusk {
namespace {

using nusk::testing::OnWindows;

TEST(ThumbnailCacheTest, NamesStayInsideTheFolderAndNeverCollide) {
  EXPECT_EQ(ThumbnailCache::FileName(u"C:\\Photos\\a.jpg"), u"C#Photos#a.jpg.png");
  EXPECT_EQ(ThumbnailCache::FileName(u"/home/a b/x.png"), u"#home#a b#x.png.png");
  // Climbing, other separators and streams of other files are just characters of a name.
  EXPECT_EQ(ThumbnailCache::FileName(u"C:/../../x"), u"C#..#..#x.png");
  EXPECT_EQ(ThumbnailCache::FileName(u"C:\\a.txt:stream"), u"C#a.txt%3Astream.png");
  EXPECT_EQ(ThumbnailCache::FileName(u"/a/\x01|?*<>\""), u"#a#%01%7C%3F%2A%3C%3E%22.png");
  // Relative paths have no cache file.
  EXPECT_EQ(ThumbnailCache::FileName(u"x\\y"), u"");
  EXPECT_EQ(ThumbnailCache::FileName(u""), u"");
  // '#' and '%' in names cannot make two paths share a file.
  std::set<std::u16string> names;
  for (const char16_t* p : {u"C:\\a#b", u"C:\\a\\b", u"C:\\a%23b", u"/a#b", u"/a/b"}) {
    EXPECT_TRUE(names.insert(ThumbnailCache::FileName(p)).second) << ToUtf8(p);
  }
  // Long paths are shortened, still told apart, and no surrogate pair is split.
  std::u16string a = u"C:\\" + std::u16string(300, u'x') + u"\\same.jpg";
  std::u16string b = a;
  b[150] = u'y';
  std::u16string na = ThumbnailCache::FileName(a), nb = ThumbnailCache::FileName(b);
  EXPECT_LE(na.size(), 170u);
  EXPECT_NE(na, nb);
  EXPECT_EQ(na.substr(na.size() - 13), u"#same.jpg.png");
  std::u16string pairs = u"/";
  for (int i = 0; i < 200; ++i) pairs += u"\U0001F600";
  std::u16string np = ThumbnailCache::FileName(pairs);
  for (size_t i = 0; i < np.size(); ++i) {
    bool high = np[i] >= 0xD800 && np[i] <= 0xDBFF, low = np[i] >= 0xDC00 && np[i] <= 0xDFFF;
    if (high) { EXPECT_TRUE(i + 1 < np.size() && np[i + 1] >= 0xDC00 && np[i + 1] <= 0xDFFF) << i; }
    if (low) { EXPECT_TRUE(i > 0 && np[i - 1] >= 0xD800 && np[i - 1] <= 0xDBFF) << i; }
  }
}

// Checks the PNG signature and a sane IHDR (first chunk, 13 bytes, 1..256 pixels a side).
void ExpectPng(const std::string& bytes) {
  ASSERT_GE(bytes.size(), 33u);
  EXPECT_EQ(bytes.substr(0, 16), std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16));
  auto u32 = [&](size_t at) {
    uint32_t v = 0;
    for (size_t i = 0; i < 4; ++i) v = (v << 8) | static_cast<uint8_t>(bytes[at + i]);
    return v;
  };
  EXPECT_GE(u32(16), 1u);
  EXPECT_LE(u32(16), 256u);
  EXPECT_GE(u32(20), 1u);
  EXPECT_LE(u32(20), 256u);
}

TEST(ThumbnailCacheTest, MakesOnceAndReuses) {
  nusk::testing::TempDir dir;
  Env* env = Env::Default();
  std::u16string source = dir.WriteFile(u"in/dot.png", nusk::testing::TinyPng());
  std::u16string text = dir.WriteFile(u"in/notes.txt", "not a picture");
  ThumbnailCache cache(dir.Sub(u"thumbs/"), 48, Env::Default());

  std::u16string made = cache.Get(source);
  ASSERT_EQ(made, dir.Sub(u"thumbs/") + ThumbnailCache::FileName(source));
  std::string bytes;
  ASSERT_TRUE(env->ReadWholeFile(made, &bytes).ok());
  ExpectPng(bytes);
  EXPECT_FALSE(env->FileExists(made + u".tmp"));
  // A thumbnail not older than its file is reused, not made again.
  ASSERT_TRUE(env->WriteWholeFile(made, "kept", false).ok());
  EXPECT_EQ(cache.Get(source), made);
  ASSERT_TRUE(env->ReadWholeFile(made, &bytes).ok());
  EXPECT_EQ(bytes, "kept");

  // Windows pictures any file (at least by its icon); elsewhere only small PNG files.
  std::u16string other = cache.Get(text);
  if (OnWindows()) {
    ASSERT_FALSE(other.empty());
    ASSERT_TRUE(env->ReadWholeFile(other, &bytes).ok());
    ExpectPng(bytes);
  } else {
    EXPECT_EQ(other, u"");
  }
  EXPECT_EQ(cache.Get(dir.Sub(u"in/missing.png")), u"");
  EXPECT_EQ(cache.Get(dir.Sub(u"in")), u"");
  // A cache folder that cannot be created gives no thumbnail, and no error escapes.
  dir.WriteFile(u"plain", "a file, not a folder");
  ThumbnailCache broken(dir.Sub(u"plain/thumbs/"), 48, Env::Default());
  EXPECT_EQ(broken.Get(source), u"");
}

}  // namespace
}  // namespace nusk
