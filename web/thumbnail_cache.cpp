#include "web/thumbnail_cache.h"

#include "platform/file_stream.h"
#include "platform/thumbnail.h"
#include "util/utf.h"

namespace nusk {

namespace {

// Long enough for any ordinary path, short enough that the temporary folder, the name and
// ".tmp" stay within the classic 260-unit path limit of Windows.
constexpr size_t kMaxNameUnits = 160;
constexpr size_t kKeepHead = 100;
constexpr size_t kKeepTail = 36;

bool NeedsEscape(char16_t c) {
  return c < 0x20 || c == 0x7F || c == u'#' || c == u'%' || c == u':' || c == u'*' || c == u'?' || c == u'"' ||
         c == u'<' || c == u'>' || c == u'|';
}

void AppendHex(uint64_t v, int digits, std::u16string* out) {
  static const char16_t kHex[] = u"0123456789ABCDEF";
  for (int i = digits - 1; i >= 0; --i) out->push_back(kHex[(v >> (4 * i)) & 15]);
}

uint64_t Fnv1a(std::u16string_view text) {
  uint64_t h = 1469598103934665603ull;
  for (char16_t c : text) {
    h ^= c;
    h *= 1099511628211ull;
  }
  return h;
}

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }

}  // namespace

ThumbnailCache::ThumbnailCache(std::u16string folder, int size, Env* env)
    : folder_(std::move(folder)), size_(size), env_(env) {}

std::u16string ThumbnailCache::FileName(std::u16string_view path) {
  bool drive = path.size() >= 3 && ((path[0] >= u'A' && path[0] <= u'Z') || (path[0] >= u'a' && path[0] <= u'z')) &&
               path[1] == u':' && (path[2] == u'\\' || path[2] == u'/');
  if (!drive && (path.empty() || (path[0] != u'/' && path[0] != u'\\'))) return std::u16string();
  std::u16string name;
  for (size_t i = 0; i < path.size(); ++i) {
    char16_t c = path[i];
    if (drive && i == 1) continue;  // the drive's colon
    if (c == u'\\' || c == u'/') {
      name += u'#';
    } else if (NeedsEscape(c)) {
      name += u'%';
      AppendHex(c, 2, &name);
    } else {
      name += c;
    }
  }
  if (name.size() > kMaxNameUnits) {
    size_t head = IsHighSurrogate(name[kKeepHead - 1]) ? kKeepHead - 1 : kKeepHead;
    size_t tail_at = name.size() - kKeepTail;
    if (tail_at > 0 && IsHighSurrogate(name[tail_at - 1])) ++tail_at;  // do not split a pair
    std::u16string shortened = name.substr(0, head) + u'~';
    AppendHex(Fnv1a(path), 16, &shortened);
    name = shortened + u'~' + name.substr(tail_at);
  }
  return name + u".png";
}

std::u16string ThumbnailCache::Get(const std::u16string& native_path) {
  std::u16string name = FileName(native_path);
  PathInfo source;
  if (name.empty() || folder_.size() < 2 || !StatPath(native_path, &source) || source.is_folder) {
    return std::u16string();
  }
  std::u16string folder = folder_.substr(0, folder_.size() - 1);  // without its separator
  if (!PrepareThumbnailFolder(folder_).ok()) return std::u16string();
  // The cached file is looked at without following a link, as it will be sent.
  OpenedItem cached;
  std::u16string target = folder_ + name;
  if (env_->OpenBelow(folder, {name}, &cached) && cached.file && cached.info.mtime_unix >= source.mtime_unix)
    return target;
  // A fresh temporary name each time: it is created new, never over something planted.
  std::u16string temporary = target + u"." + FromUtf8(std::to_string(env_->MonotonicMs())) + u"." +
                             FromUtf8(std::to_string(++made_)) + u".tmp";
  if (!MakeThumbnailPng(native_path, size_, temporary).ok()) {
    env_->RemoveFile(temporary);
    return std::u16string();
  }
  if (!env_->RenameFile(temporary, target).ok()) {
    env_->RemoveFile(temporary);
    return std::u16string();
  }
  return target;
}

}  // namespace nusk
