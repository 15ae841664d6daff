#include "search/file_list_source.h"

#include <algorithm>

#include "search/query_parser.h"

namespace nusk {
namespace {

constexpr size_t kHistory = 16;

std::u16string_view TrimSpaces(std::u16string_view s) {
  while (!s.empty() && s.back() == u' ') s.remove_suffix(1);
  while (!s.empty() && s.front() == u' ') s.remove_prefix(1);
  return s;
}

}  // namespace

std::u16string ComposeQuery(std::u16string_view box, std::u16string_view global_filter, bool show_all) {
  if (global_filter.empty()) return std::u16string(box);
  if (box.empty()) return show_all ? std::u16string(global_filter) : std::u16string();
  std::u16string q(global_filter);
  q += u' ';
  q += box;
  return q;
}

FileListSource::FileListSource(const SearchView* view, IFileListSourceChangeListener* listener)
    : view_(view), listener_(listener) {}

FileListSource::~FileListSource() {
  WaitIdle();
  {
    std::lock_guard<std::mutex> lock(mu_);
    stop_ = true;
  }
  work_cv_.notify_one();
  if (worker_.joinable()) worker_.join();
}

void FileListSource::set_term_context(TermContext ctx) {
  std::lock_guard<std::mutex> lock(mu_);
  ctx_ = std::move(ctx);
}

void FileListSource::Submit(std::u16string_view query, bool async) {
  const bool browse = LineBrowses(query);
  browse_ = browse;
  {
    std::lock_guard<std::mutex> lock(mu_);
    current_query_ = std::u16string(TrimSpaces(query));
    current_browse_ = browse;
    if (busy_) {
      new_query_ = true;
      return;
    }
    busy_ = true;
    handed_ = async;
  }
  if (!async) {
    SearchUntilIdle();
    return;
  }
  if (!worker_.joinable()) worker_ = std::thread([this] { WorkerLoop(); });
  work_cv_.notify_one();
}

void FileListSource::WorkerLoop() {
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(mu_);
      work_cv_.wait(lock, [this] { return handed_ || stop_; });
      if (!handed_) return;  // stopping, nothing handed over
      handed_ = false;
    }
    SearchUntilIdle();
  }
}

void FileListSource::WaitIdle() {
  std::unique_lock<std::mutex> lock(mu_);
  idle_cv_.wait(lock, [this] { return !busy_; });
}

void FileListSource::SearchUntilIdle() {
  for (;;) {
    std::u16string query;
    bool browse;
    {
      std::lock_guard<std::mutex> lock(mu_);
      query = current_query_;
      browse = current_browse_;
    }
    // An abandoned search goes round again even when the text is back to this one
    // (typing a letter and deleting it): its results were never published.
    const bool completed = Search(query, browse);
    bool cut_short;
    {
      std::lock_guard<std::mutex> lock(mu_);
      if (!completed || current_query_ != query || current_browse_ != browse) continue;
      cut_short = new_query_.load();
    }
    listener_->OnSearchFinished(cut_short);
    // A query that arrived during the listener call is searched before going idle.
    std::lock_guard<std::mutex> lock(mu_);
    if (current_query_ != query || current_browse_ != browse) continue;
    new_query_ = false;
    busy_ = false;
    idle_cv_.notify_all();
    return;
  }
}

bool FileListSource::Superseded(const std::u16string& query, bool browse) {
  new_query_ = false;
  std::lock_guard<std::mutex> lock(mu_);
  return current_query_ != query || current_browse_ != browse;
}

void FileListSource::Record(const SearchStats& stats) {
  std::lock_guard<std::mutex> lock(mu_);
  history_.push_back(stats);
  if (history_.size() > kHistory) history_.erase(history_.begin());
}

bool FileListSource::Search(const std::u16string& query, bool browse) {
  TermContext ctx;
  const ParsedQuery parsed = ParseQuery(query);
  std::vector<uint32_t> memory;
  {
    std::lock_guard<std::mutex> lock(mu_);
    ctx = ctx_;
    scope_folder_ = parsed.folder;
    results_.clear();
    memory.swap(spare_);
  }
  listener_->OnSearchStarted(0);
  RunOptions options;
  options.show_all = show_all_;
  options.browse = true;
  options.browse_folder = browse;
  options.folder_sizes_shown = folder_sizes_shown_;
  StopCheck stop;
  stop.flag = &new_query_;
  stop.confirm = [&] { return Superseded(query, browse); };
  SearchStats stats;
  stats.query = query;
  QueryRun run = RunQuery(*view_, parsed, ctx, options, stop, &stats, &memory);
  Record(stats);
  {
    std::lock_guard<std::mutex> lock(mu_);
    if (!run.abandoned) {
      keys_ = std::move(run.keys);
      show_hidden_ = run.show_hidden;
      results_.swap(run.items);  // run.items: the memory of the result before
    }
    if (run.items.capacity() > spare_.capacity()) spare_.swap(run.items);
  }
  if (run.abandoned) return false;
  listener_->OnResultsReady(nullptr);
  return true;
}

void FileListSource::GiveResultMemory(std::vector<uint32_t> memory) {
  std::lock_guard<std::mutex> lock(mu_);
  if (memory.capacity() > spare_.capacity()) spare_.swap(memory);
}

void FileListSource::SetResults(const uint32_t* items, size_t count) {
  std::lock_guard<std::mutex> lock(mu_);
  results_.assign(items, items + count);
  busy_ = false;
  idle_cv_.notify_all();
}

void FileListSource::RefilterHidden() {
  std::lock_guard<std::mutex> lock(mu_);
  const bool want_hidden = show_hidden_;
  const SearchView& view = *view_;
  std::erase_if(results_, [&](uint32_t i) { return want_hidden ? !view.hidden(i) : !view.shown(i); });
}

void FileListSource::ApplySortClause(std::u16string_view clause) {
  std::lock_guard<std::mutex> lock(mu_);
  keys_ = ParseSortClause(clause);
  SortItems(&results_, keys_, *view_, folder_sizes_shown_);
}

void FileListSource::Resort() {
  std::lock_guard<std::mutex> lock(mu_);
  SortItems(&results_, keys_, *view_, folder_sizes_shown_);
}

std::vector<uint32_t> FileListSource::Results() const {
  std::lock_guard<std::mutex> lock(mu_);
  return results_;
}

void FileListSource::CopyResults(std::vector<uint32_t>* out) const {
  std::lock_guard<std::mutex> lock(mu_);
  out->assign(results_.begin(), results_.end());
}

uint32_t FileListSource::ResultCount() const {
  std::lock_guard<std::mutex> lock(mu_);
  return static_cast<uint32_t>(results_.size());
}

std::u16string FileListSource::scope_folder() const {
  std::lock_guard<std::mutex> lock(mu_);
  return scope_folder_;
}

SortKeys FileListSource::sort_keys() const {
  std::lock_guard<std::mutex> lock(mu_);
  return keys_;
}

std::vector<SearchStats> FileListSource::History() const {
  std::lock_guard<std::mutex> lock(mu_);
  return history_;
}

}  // namespace nusk
