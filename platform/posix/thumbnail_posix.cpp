#include <cstdlib>

#include "platform/env.h"
#include "platform/thumbnail.h"

namespace nusk {

namespace {

// A PNG this small is cheaper to send than to scale, and the page scales it on display.
constexpr int64_t kMaxServedAsIs = 512 * 1024;

// The 8-byte signature followed by an IHDR chunk of length 13 with a non-zero size.
bool LooksLikePng(const std::string& bytes) {
  static const char kHead[] = "\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR";
  if (bytes.size() < 24 || bytes.compare(0, 16, std::string(kHead, 16)) != 0) return false;
  auto u32 = [&](size_t at) {
    return (uint32_t{static_cast<uint8_t>(bytes[at])} << 24) | (uint32_t{static_cast<uint8_t>(bytes[at + 1])} << 16) |
           (uint32_t{static_cast<uint8_t>(bytes[at + 2])} << 8) | uint32_t{static_cast<uint8_t>(bytes[at + 3])};
  };
  return u32(16) != 0 && u32(20) != 0;
}

}  // namespace

std::u16string ThumbnailFolder() {
  std::u16string tmp = Env::Default()->GetEnvVar(u"TMPDIR");
  if (tmp.empty() || tmp[0] != u'/') tmp = u"/tmp";
  while (tmp.size() > 1 && tmp.back() == u'/') tmp.pop_back();
  return (tmp == u"/" ? u"" : tmp) + u"/nusk_thumbs/";
}

Status MakeThumbnailPng(const std::u16string& source, int /*size*/, const std::u16string& png_path) {
  Env* env = Env::Default();
  int64_t n = env->FileSize(source);
  if (n < 0 || n > kMaxServedAsIs) return Status::Error("no thumbnail maker for this file on this system");
  std::string bytes;
  Status st = env->ReadWholeFile(source, &bytes);
  if (!st.ok()) return st;
  if (!LooksLikePng(bytes)) return Status::Error("no thumbnail maker for this file on this system");
  return env->WriteWholeFile(png_path, bytes, /*flush=*/false);
}

}  // namespace nusk
