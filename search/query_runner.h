// RunQuery: one query over the loaded index, the one search loop that the window's
// FileListSource, the web service and the console find share.
//
// From the parsed query it picks the cursor (find_result.h), walks it, applies the folder
// scope (an absolute folder resolved to an item), the partial-folder search (a folder
// without a drive), the hidden-items filter (off when the query holds the /hidden switch)
// and sorts by the query's sort clause. What differs between callers is an option, not a
// second loop: the console keeps cursor order, prints hidden items and matches a partial
// folder against the whole path of the item; the window browses a folder when its line
// ends with '\' (RunOptions::browse, browse_folder).
//
// A run may be stopped: the cursor looks at the stop flag while scanning names and the
// walk every few candidates; when the flag is up the caller's confirm decides (a window
// checks whether the text really changed, so resubmitting the same text resumes the walk
// instead of losing it). A stopped run returns no items: never part of a result.
// One thread per run; the view must not be reloaded meanwhile.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "search/query_parser.h"
#include "search/search_view.h"
#include "search/sort.h"
#include "search/term_parser.h"

namespace nusk {

// How a folder without a drive ("system32\") selects items.
enum class PartialFolder {
  kParentPath,  // the lower-case path of the item's folder, with a trailing '\', contains the text
  kItemPath,    // the item's own lower-case path contains the text (console find)
};

struct RunOptions {
  bool show_all = true;        // an empty query lists every item; false lists none
  bool browse = false;         // browsing is on: the query "\" alone lists the drive roots
  bool browse_folder = false;  // and the line ended with '\': a resolved folder lists its children
  bool hide_hidden = true;     // drop hidden items unless the query holds /hidden; false keeps them all
  bool sort = true;            // apply the sort clause; false keeps cursor order
  bool folder_sizes_shown = false;
  PartialFolder partial = PartialFolder::kParentPath;
  // When set, each accepted item goes here in cursor order instead of into the items.
  std::function<void(uint32_t item)> on_item;
};

// How a run looks at its stop flag.
struct StopCheck {
  const std::atomic<bool>* flag = nullptr;  // up when the run may have to stop
  uint32_t every = 100;                     // candidates between looks at the flag
  std::function<bool()> confirm;            // asked when the flag is up: true stops; unset stops
};

// Work done by one search, kept for diagnostics and tests.
struct SearchStats {
  std::u16string query;
  uint64_t candidates = 0;      // items the cursor yielded
  uint64_t names_examined = 0;  // name-table rows the cursor tested
  bool abandoned = false;       // stopped before the end
};

struct QueryRun {
  std::vector<uint32_t> items;  // accepted items, sorted when a sort clause applied
  SortKeys keys;                // the keys the items are sorted by (empty: cursor order)
  bool show_hidden = false;     // the query holds the /hidden switch
  bool abandoned = false;       // stopped: items is empty
};

// memory: when given, the result array is built in its memory (it is left empty), so a
// caller that searches again and again reuses pages it has already touched.
QueryRun RunQuery(const SearchView& view, const ParsedQuery& query, const TermContext& ctx, const RunOptions& options,
                  const StopCheck& stop = {}, SearchStats* stats = nullptr, std::vector<uint32_t>* memory = nullptr);

// The browse flag of a submitted line: it ends with '\' (looked at before trimming, so
// "c:\windows\ " searches below the folder instead of listing it).
inline bool LineBrowses(std::u16string_view line) { return !line.empty() && line.back() == u'\\'; }

}  // namespace nusk
