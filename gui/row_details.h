// The row-details worker: the shell type name, creation time and attributes of the rows on
// screen, fetched from the file system on a thread of its own so that a slow or sleeping
// disk never stalls the window.
//
// The window thread hands over the visible rows with their paths (Request); the worker
// walks them, stores each row's details by item index and posts kMsgRowDetail with the row
// so that the window redraws it. A request while a pass runs sets the restart flag: the
// worker drops the rest of its pass and starts over with the newest rows. At the end it
// posts kMsgRowDetailsDone. Get may be called from the window thread at any time.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "gui/row_pass.h"
#include "ui/cell_text.h"

namespace nusk {

inline constexpr UINT kMsgRowDetailsDone = 20451;
inline constexpr UINT kMsgRowDetail = 20452;

class RowDetailsWorker {
 public:
  struct Row {
    uint32_t row = 0;
    uint32_t item = 0;
    std::u16string path;
  };

  explicit RowDetailsWorker(HWND notify);

  // Fetches the details of these rows (replacing any pass in progress).
  void Request(std::vector<Row> rows);
  // The details fetched for an item; false while there are none.
  bool Get(uint32_t item, RowDetails* out) const;
  // Forgets every stored detail (a new result, or the files may have changed).
  void Clear();
  // Whether a pass is running (tests wait for it).
  bool running() const { return pass_.running(); }
  // `AvoidWakingUpHdds`: a row whose path may not be touched gets empty details without
  // any question to the file system or the shell. Null: every row is asked about.
  void set_may_touch(std::function<bool(std::u16string_view)> may_touch);

 private:
  void Visit(const Row& r);
  static RowDetails Fetch(const std::u16string& path);

  HWND notify_;
  mutable std::mutex mu_;  // guards cache_ and may_touch_
  std::unordered_map<uint32_t, RowDetails> cache_;
  std::function<bool(std::u16string_view)> may_touch_;
  RowPass<Row> pass_;  // last: stopped before the members it uses go
};

}  // namespace nusk
