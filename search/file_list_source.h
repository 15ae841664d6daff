// FileListSource: the result list of the window and the search worker that fills it as
// the user types.
//
// Submit hands over a query line. One worker thread serves a source: started by the first
// asynchronous search and kept, idle, until the source goes (starting a thread for each
// keystroke costs milliseconds on some systems). A query submitted
// while it runs raises the new-query flag, which the search (RunQuery, query_runner.h)
// looks at every 100 candidates / 1024 names, so a superseded search stops within a
// bounded amount of work and the worker goes on with the latest text. The results are
// emptied when a search starts and published only when it completes, so every submitted
// text ends with exactly its own results; resubmitting the text being searched resumes
// the walk instead of restarting or truncating it.
//
// Threads: Submit, SetResults, RefilterHidden and the readers are called from the owner's
// thread; listener calls come from the worker thread (or the caller's, without async).
// The index must not be reloaded while a search runs: call WaitIdle first.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "search/find_result.h"
#include "search/query_runner.h"
#include "search/search_view.h"
#include "search/sort.h"
#include "search/term_parser.h"

namespace nusk {

class IFileListSourceChangeListener {
 public:
  virtual ~IFileListSourceChangeListener() = default;
  virtual void OnSearchStarted(int reserved) = 0;
  virtual void OnResultsReady(void* reserved) = 0;
  // cut_short: a newer query arrived while this worker was searching.
  virtual void OnSearchFinished(bool cut_short) = 0;
  // Raised by the window itself when it swaps the source's index; the driver never calls it.
  virtual void OnIndexReplaced() = 0;
};

class NopFileListSourceChangeListener : public IFileListSourceChangeListener {
 public:
  void OnSearchStarted(int) override {}
  void OnResultsReady(void*) override {}
  void OnSearchFinished(bool) override {}
  void OnIndexReplaced() override {}
};

// The line the window submits: the box text, the GlobalFilter setting, or both joined
// by a space. An empty box with a filter gives the filter only when empty searches show all.
std::u16string ComposeQuery(std::u16string_view box, std::u16string_view global_filter, bool show_all);

class FileListSource {
 public:
  // view: the loaded index (may be replaced with SetView while idle); listener: never null.
  FileListSource(const SearchView* view, IFileListSourceChangeListener* listener);
  ~FileListSource();  // waits for a running search, then ends the worker thread
  FileListSource(const FileListSource&) = delete;
  FileListSource& operator=(const FileListSource&) = delete;

  void SetView(const SearchView* view) { view_ = view; }
  void set_show_all(bool v) { show_all_ = v; }
  void set_folder_sizes_shown(bool v) { folder_sizes_shown_ = v; }
  // Parse-time context (named searches, today, drives present); copied per search.
  void set_term_context(TermContext ctx);

  // Hands over a new query line; with async the search runs on a worker thread.
  void Submit(std::u16string_view query, bool async);
  // Blocks until no worker runs.
  void WaitIdle();

  // Replaces the results without searching and publishes their count.
  void SetResults(const uint32_t* items, size_t count);
  // Drops results whose hidden state no longer fits the current query.
  void RefilterHidden();
  // Sorts the results by a clause (see sort.h); clears the keys first.
  void ApplySortClause(std::u16string_view clause);
  // Sorts again by the current keys.
  void Resort();

  // Memory for the result arrays of the searches to come, in place of fresh memory: a
  // caller may allocate and touch it on another thread beforehand (the window does while
  // it is made). Kept when smaller than what the source holds already. Owner's thread.
  void GiveResultMemory(std::vector<uint32_t> memory);

  // Readers (owner's thread); the copy is consistent with the published count.
  std::vector<uint32_t> Results() const;
  // The same into `out`, whose memory is reused when large enough.
  void CopyResults(std::vector<uint32_t>* out) const;
  uint32_t ResultCount() const;
  std::u16string scope_folder() const;
  bool browse() const { return browse_; }
  SortKeys sort_keys() const;
  std::vector<SearchStats> History() const;  // the last searches, oldest first

 private:
  void WorkerLoop();                                      // the worker thread: waits for work, then SearchUntilIdle
  void SearchUntilIdle();                                 // searches the current line until no newer one is waiting
  bool Search(const std::u16string& query, bool browse);  // false when abandoned
  // Clears the new-query flag; true when the current line differs from the searched one.
  bool Superseded(const std::u16string& query, bool browse);
  void Record(const SearchStats& stats);

  const SearchView* view_;
  IFileListSourceChangeListener* listener_;
  bool show_all_ = true;
  bool folder_sizes_shown_ = false;
  std::atomic<bool> browse_{false};

  mutable std::mutex mu_;  // guards everything below
  std::condition_variable idle_cv_;
  TermContext ctx_;
  std::u16string current_query_;
  bool current_browse_ = false;  // the browse flag of current_query_
  bool show_hidden_ = false;     // the last completed search asked for hidden items
  std::u16string scope_folder_;
  std::vector<uint32_t> results_;
  // The memory of the result before the last: the next search builds its result in it,
  // so searches alternate between two arrays instead of taking fresh memory each time.
  std::vector<uint32_t> spare_;
  SortKeys keys_;
  std::vector<SearchStats> history_;
  bool busy_ = false;    // a search is under way or handed to the worker
  bool handed_ = false;  // the worker thread has a search to start
  bool stop_ = false;    // the worker thread is to end
  std::condition_variable work_cv_;
  std::thread worker_;

  std::atomic<bool> new_query_{false};
};

}  // namespace nusk
