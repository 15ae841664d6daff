// PNG thumbnails of local files for "/thumb.png", made once and kept in a cache folder.
//
// A cache file is named after the file's path: the ':' after a drive letter dropped and
// every separator turned into '#', then ".png" (C:\Photos\a.jpg -> C#Photos#a.jpg.png).
// Characters that would make the name ambiguous or unsafe ('#', '%', ':', the characters
// Windows forbids, control characters) are written as %XX first, so two paths never share
// a cache file and no path can name a file outside the folder or a stream of another
// file. Over-long names keep their beginning and end with a hash of the whole path.
//
// Threads: one at a time (the service lock); other processes of the same user may share
// the folder, so a thumbnail is written under a new temporary name and moved into place.
#pragma once
#include <string>
#include <string_view>

#include "platform/env.h"

namespace nusk {

class ThumbnailCache {
 public:
  // folder: where the PNG files go, ending with the path separator; created on first use
  // (its parent must exist). size: the longest edge asked of the system, in pixels.
  ThumbnailCache(std::u16string folder, int size, Env* env);

  // The cache file name (no folder) of an absolute native path; empty for anything else.
  static std::u16string FileName(std::u16string_view native_path);

  // The PNG thumbnail of an existing native file: reused while it is not older than the
  // file, else made afresh. Empty when the file is missing, the system makes none, or the
  // folder is not this user's own (see PrepareThumbnailFolder).
  std::u16string Get(const std::u16string& native_path);
  // The folder given at construction (with its separator).
  const std::u16string& folder() const { return folder_; }

 private:
  uint64_t made_ = 0;
  std::u16string folder_;
  int size_;
  Env* env_;
};

}  // namespace nusk
