// What the web service needs from the index and the search engine: run a query, read
// result rows, and decide whether a file link names something the index shows.
// An interface so the routes are tested with a small fake as well as the real index.
// Called only under the service lock, one request at a time.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/env.h"

namespace nusk {

class WebSearch {
 public:
  virtual ~WebSearch() = default;

  // Runs a query line and keeps its results for Row. Returns the result count.
  virtual uint32_t Run(std::u16string_view query) = 0;

  // Result row at a position of the last Run: the full index path ("C:\a\b.txt"), with
  // a trailing '\' for a folder ("C:\a\", "C:\"), and its size in bytes (for a folder,
  // its total once computed, else 0). False when the position is out of range.
  virtual bool Row(uint32_t position, std::u16string* path, uint64_t* size_bytes) = 0;

  // Whether an index path ("C:\a\b.txt", no trailing '\') names an item that a search can
  // find: in the index and not hidden or removed by the user. Sets *is_folder.
  virtual bool Shows(std::u16string_view index_path, bool* is_folder) = 0;

  // Index path to the path of the running system ("C:\usr\a" -> "/usr/a" on POSIX).
  virtual std::u16string ToNativePath(std::u16string_view index_path) = 0;
};

// The real index: loads the database files of the home folder once and searches them with
// the same parser, cursors and sorting as the window. settings_path: "nusk.ini" (named
// searches, drive map). On a load failure *error says why and null is returned.
std::unique_ptr<WebSearch> OpenIndexWebSearch(const std::u16string& home_folder, const std::u16string& settings_path,
                                              Env* env, std::string* error);

}  // namespace nusk
