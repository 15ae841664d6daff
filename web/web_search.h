// What the web service needs from the index and the search engine: run a query, read
// result rows, decide whether a link names something the index shows, and convert
// between index paths and the paths of the running system.
// An interface so the routes are tested with a small fake as well as the real index.
// Called only under the service lock, one request at a time.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/env.h"

namespace nusk {

// One result as the index knows it.
struct WebRow {
  std::u16string path;  // index path without a folder mark: "C:\a\b.txt", "C:" for a drive root
  bool is_folder = false;
  uint64_t size_bytes = 0;  // for a folder its total once computed, else 0
};

class WebSearch {
 public:
  virtual ~WebSearch() = default;

  // Runs a query line and keeps its results for Row. Returns the result count.
  virtual uint32_t Run(std::u16string_view query) = 0;

  // Result row at a position of the last Run. False when the position is out of range.
  virtual bool Row(uint32_t position, WebRow* row) = 0;

  // Whether an index path ("C:\a\b.txt", no trailing '\') names an item that a search can
  // find: in the index and not hidden or removed by the user. Sets *is_folder.
  virtual bool Shows(std::u16string_view index_path, bool* is_folder) = 0;

  // Index path -> path of the running system ("C:\usr\a" -> "/usr/a" on POSIX; unchanged
  // on Windows). Native path -> index path; false when no indexed drive holds it.
  virtual std::u16string ToNativePath(std::u16string_view index_path) = 0;
  virtual bool FromNativePath(std::u16string_view native_path, std::u16string* index_path) = 0;
};

// The real index: loads the database files of the home folder once and searches them with
// the same parser, cursors and sorting as the window. settings_path: "nusk.ini" (named
// searches, drive map). On a load failure *error says why and null is returned.
std::unique_ptr<WebSearch> OpenIndexWebSearch(const std::u16string& home_folder, const std::u16string& settings_path,
                                              Env* env, std::string* error);

}  // namespace nusk
