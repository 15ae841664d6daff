#include "search/file_list_source.h"

#include <algorithm>

#include "search/folder_scope.h"
#include "search/query_parser.h"
#include "util/casemap.h"

namespace nusk {
namespace {

constexpr uint64_t kCheckEvery = 100;         // candidates between new-query checks
constexpr uint64_t kBrowseCheckEvery = 1000;  // the same while browsing a folder
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
  if (worker_.joinable()) worker_.join();
}

void FileListSource::set_term_context(TermContext ctx) {
  std::lock_guard<std::mutex> lock(mu_);
  ctx_ = std::move(ctx);
}

void FileListSource::Submit(std::u16string_view query, bool async) {
  browse_ = !query.empty() && query.back() == u'\\';
  {
    std::lock_guard<std::mutex> lock(mu_);
    current_query_ = std::u16string(TrimSpaces(query));
    if (busy_) {
      new_query_ = true;
      return;
    }
    busy_ = true;
  }
  if (!async) {
    Worker();
    return;
  }
  if (worker_.joinable()) worker_.join();  // a finished earlier worker
  worker_ = std::thread([this] { Worker(); });
}

void FileListSource::WaitIdle() {
  std::unique_lock<std::mutex> lock(mu_);
  idle_cv_.wait(lock, [this] { return !busy_; });
}

void FileListSource::Worker() {
  for (;;) {
    std::u16string query;
    {
      std::lock_guard<std::mutex> lock(mu_);
      query = current_query_;
    }
    Search(query);
    bool cut_short;
    {
      std::lock_guard<std::mutex> lock(mu_);
      if (current_query_ != query) continue;
      cut_short = new_query_.load();
    }
    listener_->OnSearchFinished(cut_short);
    // A query that arrived during the listener call is searched before going idle.
    std::lock_guard<std::mutex> lock(mu_);
    if (current_query_ != query) continue;
    new_query_ = false;
    busy_ = false;
    idle_cv_.notify_all();
    return;
  }
}

bool FileListSource::QueryChanged(const std::u16string& query) {
  std::lock_guard<std::mutex> lock(mu_);
  return current_query_ != query;
}

bool FileListSource::Superseded(const std::u16string& query) {
  if (!new_query_.load()) return false;
  new_query_ = false;
  return QueryChanged(query);
}

void FileListSource::Publish(std::vector<uint32_t> results) {
  std::lock_guard<std::mutex> lock(mu_);
  results_ = std::move(results);
}

void FileListSource::Record(const SearchStats& stats) {
  std::lock_guard<std::mutex> lock(mu_);
  history_.push_back(stats);
  if (history_.size() > kHistory) history_.erase(history_.begin());
}

bool FileListSource::Search(const std::u16string& query) {
  TermContext ctx;
  {
    std::lock_guard<std::mutex> lock(mu_);
    ctx = ctx_;
  }
  const ParsedQuery parsed = ParseQuery(query);
  {
    std::lock_guard<std::mutex> lock(mu_);
    scope_folder_ = parsed.folder;
  }
  listener_->OnSearchStarted(0);
  const SearchView& view = *view_;
  const FolderScope scope = ResolveFolderScope(view, parsed.folder);

  if (query == u"\\") {
    Browse(kNoItem, query);
    return true;
  }
  SearchStats stats;
  stats.query = query;
  FindResultPtr cursor =
      !show_all_ && query.empty() ? MakeEmptyResult() : CreateFindResult(parsed, view, ctx);
  cursor->set_stop_flag(&new_query_);
  const bool show_hidden = query.find(u"/hidden") != std::u16string::npos;

  if (!scope.resolved() && parsed.folder.find(u'\\') != std::u16string::npos) {
    PartialFolderSearch(parsed.folder, cursor.get(), show_hidden, &stats);
    Record(stats);
    return !stats.abandoned;
  }
  if (scope.resolved() && browse_) {
    Browse(scope.folder, query);
    return true;
  }

  std::vector<uint32_t> results;
  for (;;) {
    while (cursor->Next()) {
      if (++stats.candidates % kCheckEvery == 0 && Superseded(query)) {
        stats.abandoned = true;
        break;
      }
      const uint32_t item = cursor->Current();
      if (!show_hidden && !view.shown(item)) continue;
      if (scope.resolved() && !scope.Contains(view, item)) continue;
      results.push_back(item);
    }
    if (stats.abandoned || !cursor->interrupted()) break;
    if (Superseded(query)) {
      stats.abandoned = true;
      break;
    }
    // The same text was submitted again: resume the walk where it stopped.
  }
  stats.names_examined = cursor->names_examined();
  Record(stats);
  if (stats.abandoned) return false;

  const SortKeys keys = parsed.sort.empty() ? SortKeys() : ParseSortClause(parsed.sort);
  SortItems(&results, keys, view, folder_sizes_shown_);
  {
    std::lock_guard<std::mutex> lock(mu_);
    keys_ = keys;
    results_ = std::move(results);
  }
  listener_->OnResultsReady(nullptr);
  return true;
}

void FileListSource::Browse(uint32_t folder, const std::u16string& query) {
  const SearchView& view = *view_;
  std::vector<uint32_t> results;
  for (uint32_t i = 0; i < view.item_count; ++i) {
    if ((i + 1) % kBrowseCheckEvery == 0 && new_query_.load()) break;
    if (view.shown(i) && view.parents[i] == folder) results.push_back(i);
  }
  Publish(std::move(results));
  listener_->OnResultsReady(nullptr);
}

void FileListSource::PartialFolderSearch(std::u16string folder, INuskFindResult* cursor, bool show_hidden,
                                         SearchStats* stats) {
  const SearchView& view = *view_;
  folder = ToLower(folder);
  if (folder.ends_with(u"*\\")) folder.resize(folder.size() - 2);
  std::vector<int8_t> by_parent(view.folder_count, -1);  // parent path contains the text?
  std::vector<uint32_t> results;
  for (;;) {
    while (cursor->Next()) {
      if (++stats->candidates % kCheckEvery == 0 && new_query_.load()) {
        stats->abandoned = true;
        break;
      }
      const uint32_t item = cursor->Current();
      if (!show_hidden && !view.shown(item)) continue;
      const uint32_t p = view.parents[item];
      if (p == kNoItem || p >= view.folder_count) continue;
      if (by_parent[p] < 0) by_parent[p] = view.db().BuildLowerPath(p).find(folder) != std::u16string_view::npos;
      if (by_parent[p]) results.push_back(item);
    }
    if (stats->abandoned || !cursor->interrupted()) break;
    stats->abandoned = true;  // the cursor stopped for a newer query
  }
  stats->names_examined = cursor->names_examined();
  if (stats->abandoned) return;
  Publish(std::move(results));
  listener_->OnResultsReady(nullptr);
}

void FileListSource::SetResults(const uint32_t* items, size_t count) {
  std::lock_guard<std::mutex> lock(mu_);
  results_.assign(items, items + count);
  busy_ = false;
  idle_cv_.notify_all();
}

void FileListSource::RefilterHidden() {
  std::lock_guard<std::mutex> lock(mu_);
  const bool want_hidden = current_query_.find(u"/hidden") != std::u16string::npos;
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
