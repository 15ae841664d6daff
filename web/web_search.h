// What the web service needs from the index and the search engine: run a query, read
// result rows, decide whether a link names something the index shows, and convert
// between index paths and the paths of the running system.
// An interface so the routes are tested with a small fake as well as the real index.
// Called only under the service lock, one request at a time.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

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

  // Called at the start of every request, between requests: the place where a newer
  // index loaded meanwhile takes over. Does nothing by default.
  virtual void Refresh() {}

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
  // Index path -> the drive's folder on this system and the names below it, for opening
  // without following links (DriveMap::Locate). False when the drive is not a folder here.
  virtual bool Locate(std::u16string_view index_path, std::u16string* root, std::vector<std::u16string>* names) = 0;
};

// The real index: loads the database files of the home folder and searches them with the
// same parser, cursors and sorting as the window. settings_path: "nusk.ini" (named
// searches, drive map). A watcher thread looks at the database files once a second; after
// a build or clean has committed, it loads the new index in the background and Refresh
// swaps it in. A new index that cannot be loaded leaves the old one serving, and log says
// why. Content hashes ("nusk.hash") are loaded when a query asks for them ("/dup:",
// "/hash:", or a named search) and again when the file changes. On a failure of the first
// load *error says why and null is returned.
using SearchLog = std::function<void(const std::string& line)>;
std::unique_ptr<WebSearch> OpenIndexWebSearch(const std::u16string& home_folder, const std::u16string& settings_path,
                                              Env* env, std::string* error, SearchLog log = nullptr,
                                              uint64_t check_interval_ms = 1000);

}  // namespace nusk
