// Result cursors: forward-only walks over the items that satisfy a query (all of it but
// the single folder scope and the hidden-items filter, which the caller applies).
//
// All cursors but AllResult walk the name table in stored order and yield the items of
// each accepted name in index order. Plain one-term queries get a specialised cursor
// that tests names with a bits mask and a direct string comparison; everything else
// evaluates the matcher tree (LogicalResult).
//
// A cursor may be given a stop flag: while scanning names it looks at the flag every
// kStopCheckNames rows, and when it is set Next returns false with interrupted() true
// and the position kept, so calling Next again resumes. This bounds the work a newer
// query has to wait for even when an old query finds nothing for a long time.
// One thread walks a cursor; the view must outlive it. A name scan of a large table
// tests the second half of the rows on a helper thread of its own while the walking
// thread tests the first (NameScanSplit); the results come out in the same order.
#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "search/query_parser.h"
#include "search/search_view.h"
#include "search/term_parser.h"

namespace nusk {

inline constexpr uint32_t kStopCheckNames = 1024;

class INuskFindResult {
 public:
  virtual ~INuskFindResult() = default;
  // Advances to the next result; false at the end (or when interrupted, see above).
  virtual bool Next() = 0;
  // Item index of the current result; valid after Next returned true.
  virtual uint32_t Current() const = 0;

  void set_stop_flag(const std::atomic<bool>* stop) { stop_ = stop; }
  bool interrupted() const { return interrupted_; }
  // Name-table rows examined so far (0 for cursors that do not scan names).
  uint64_t names_examined() const { return names_examined_; }
  // Which cursor this is, for tests and diagnostics ("NameBitsResult", ...).
  virtual const char* kind() const = 0;
  // How many items the cursor yields when that is known before the walk (every item),
  // else 0: the walk then sizes its result array once instead of growing it.
  virtual uint32_t known_count() const { return 0; }

 protected:
  const std::atomic<bool>* stop_ = nullptr;
  bool interrupted_ = false;
  uint64_t names_examined_ = 0;
};

using FindResultPtr = std::unique_ptr<INuskFindResult>;

// When the plain cursors split their name scan: with threads 2, a table of at least
// min_names rows. Process-wide; the default is 2 threads from 100,000 names on a machine
// with two or more cores, else 1.
struct NameScanSplit {
  int threads = 1;
  uint32_t min_names = 0;
};
void SetNameScanSplit(NameScanSplit split);
NameScanSplit CurrentNameScanSplit();

// Yields nothing (an empty query when empty queries show nothing).
FindResultPtr MakeEmptyResult();
// Yields every item index 0 .. N-1.
FindResultPtr MakeAllResult(const SearchView& view);

// Chooses and builds the cursor for a parsed query (see the class comments in the .cpp).
FindResultPtr CreateFindResult(const ParsedQuery& query, const SearchView& view, const TermContext& ctx);

}  // namespace nusk
