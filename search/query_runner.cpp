#include "search/query_runner.h"

#include "search/find_result.h"
#include "search/folder_scope.h"
#include "util/casemap.h"

namespace nusk {
namespace {

constexpr uint32_t kBrowseCheckEvery = 1000;  // items between looks at the stop flag while browsing

bool IsEmpty(const ParsedQuery& q) {
  return q.folder.empty() && q.pattern.empty() && q.terms.empty() && q.folders.empty() && q.sort.empty();
}

// The line "\" alone: list the drive roots.
bool ListsRoots(const ParsedQuery& q) {
  return q.folder == u"\\" && q.pattern.empty() && q.terms.empty() && q.folders.empty() && q.sort.empty();
}

class Runner {
 public:
  Runner(const SearchView& view, const RunOptions& options, const StopCheck& stop, SearchStats* stats, QueryRun* run)
      : view_(view), options_(options), stop_(stop), stats_(stats), run_(run) {}

  // Items whose parent is `folder` (kNoItem: the drive roots), hidden ones never.
  void Browse(uint32_t folder) {
    for (uint32_t i = 0; i < view_.item_count; ++i) {
      if ((i + 1) % kBrowseCheckEvery == 0 && Stop()) return Abandon();
      if (view_.shown(i) && view_.parents()[i] == folder) Keep(i);
    }
  }

  // Walks the cursor; keep(item) decides past the hidden filter. A cursor interrupted
  // by the flag resumes when the caller confirms that the run goes on.
  template <class Test>
  void Walk(INuskFindResult* cursor, Test test) {
    cursor->set_stop_flag(stop_.flag);
    if (!options_.on_item) run_->items.reserve(cursor->known_count());
    const uint32_t every = stop_.every ? stop_.every : 1;
    // Counts down to the next look at the flag (every `every` candidates): no division
    // per candidate.
    uint32_t until_check = every - stats_->candidates % every;
    for (;;) {
      while (cursor->Next()) {
        ++stats_->candidates;
        if (--until_check == 0 && (until_check = every, Stop())) {
          stats_->names_examined = cursor->names_examined();
          return Abandon();
        }
        const uint32_t item = cursor->Current();
        if (filter_hidden_ && !view_.shown(item)) continue;
        if (test(item)) Keep(item);
      }
      stats_->names_examined = cursor->names_examined();
      if (!cursor->interrupted()) return;
      if (Stop()) return Abandon();
    }
  }

  void set_filter_hidden(bool v) { filter_hidden_ = v; }
  bool abandoned() const { return run_->abandoned; }

 private:
  bool Stop() const {
    if (!stop_.flag || !stop_.flag->load(std::memory_order_relaxed)) return false;
    return !stop_.confirm || stop_.confirm();
  }
  void Abandon() {
    run_->abandoned = stats_->abandoned = true;
    run_->items.clear();
  }
  void Keep(uint32_t item) {
    if (options_.on_item) options_.on_item(item);
    else run_->items.push_back(item);
  }

  const SearchView& view_;
  const RunOptions& options_;
  const StopCheck& stop_;
  SearchStats* stats_;
  QueryRun* run_;
  bool filter_hidden_ = true;
};

// A partial folder: which items lie in a folder whose path holds the text.
void PartialFolderWalk(const SearchView& view, std::u16string folder, PartialFolder rule, INuskFindResult* cursor,
                       Runner* runner) {
  folder = ToLower(folder);
  if (rule == PartialFolder::kItemPath) {
    runner->Walk(cursor, [&](uint32_t item) {
      return view.db().BuildLowerPath(item).find(folder) != std::u16string_view::npos;
    });
    return;
  }
  if (folder.ends_with(u"*\\")) folder.resize(folder.size() - 2);
  std::vector<int8_t> by_parent(view.folder_count, -1);  // does the parent's path hold the text?
  runner->Walk(cursor, [&](uint32_t item) {
    const uint32_t p = view.parents()[item];
    if (p == kNoItem || p >= view.folder_count) return false;
    if (by_parent[p] < 0) by_parent[p] = view.db().BuildLowerPath(p).find(folder) != std::u16string_view::npos;
    return by_parent[p] == 1;
  });
}

}  // namespace

QueryRun RunQuery(const SearchView& view, const ParsedQuery& query, const TermContext& ctx, const RunOptions& options,
                  const StopCheck& stop, SearchStats* stats, std::vector<uint32_t>* memory) {
  QueryRun run;
  if (memory) {
    run.items.swap(*memory);
    run.items.clear();
  }
  SearchStats own;
  Runner runner(view, options, stop, stats ? stats : &own, &run);
  if (options.browse && ListsRoots(query)) {
    runner.Browse(kNoItem);
    return run;
  }
  const FolderScope scope = ResolveFolderScope(view, query.folder);
  TermNotes notes;
  TermContext noted = ctx;
  noted.notes = &notes;
  FindResultPtr cursor = !options.show_all && IsEmpty(query) ? MakeEmptyResult() : CreateFindResult(query, view, noted);
  run.show_hidden = notes.hidden_switch;
  runner.set_filter_hidden(options.hide_hidden && !run.show_hidden);

  if (!scope.resolved() && query.folder.find(u'\\') != std::u16string::npos) {
    PartialFolderWalk(view, query.folder, options.partial, cursor.get(), &runner);
    return run;  // in cursor order: a partial folder takes no sort clause
  }
  if (scope.resolved() && options.browse && options.browse_folder) {
    runner.Browse(scope.folder);
    return run;
  }
  runner.Walk(cursor.get(), [&](uint32_t item) { return !scope.resolved() || scope.Contains(view, item); });
  if (runner.abandoned() || !options.sort || options.on_item || query.sort.empty()) return run;
  run.keys = ParseSortClause(query.sort);
  SortItems(&run.items, run.keys, view, options.folder_sizes_shown);
  return run;
}

}  // namespace nusk
