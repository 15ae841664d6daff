// WebSearch over the loaded index: one NuskDb loaded at start, RunQuery (the window's
// search, without its worker thread) per query, and the drive map for paths and file links.
// Recent result arrays are kept in a ResultCache (see there for why that is exact).
#include <memory>

#include "index/nusk_db.h"
#include "platform/profile.h"
#include "search/named_searches.h"
#include "search/present_drives.h"
#include "search/query_runner.h"
#include "search/search_view.h"
#include "settings/drive_map.h"
#include "web/result_cache.h"
#include "web/web_search.h"

namespace nusk {

namespace {

// Sixteen million items (64 MB of result arrays) across at most eight queries.
constexpr size_t kCacheEntries = 8;
constexpr size_t kCacheItems = size_t{16} << 20;

class IndexWebSearch : public WebSearch {
 public:
  explicit IndexWebSearch(const std::u16string& settings_path)
      : named_(Profile::Default(), settings_path),
        drives_(DriveMap::Load(settings_path)),
        cache_(kCacheEntries, kCacheItems) {}

  Status Load(const std::u16string& home, Env* env) {
    Status st = LoadNuskDb(&db_, home, env);
    if (!st.ok()) return st;
    view_ = std::make_unique<SearchView>(&db_);
    return Status::Ok();
  }

  uint32_t Run(std::u16string_view query) override {
    TermContext ctx;
    ctx.present_drives = PresentDrives(drives_);
    ResultCache::Key key{std::u16string(query), ctx.today.year * 10000LL + ctx.today.month * 100 + ctx.today.day,
                         ctx.present_drives};
    auto lookup = [this](std::u16string_view name) { return named_.Lookup(name); };
    results_ = cache_.Find(key, lookup);
    if (results_) return static_cast<uint32_t>(results_->size());

    ResultCache::NamedTexts seen;
    ctx.lookup_named = [&](std::u16string_view name) {
      std::u16string text = named_.Lookup(name);
      seen.emplace_back(std::u16string(name), text);
      return text;
    };
    RunOptions options;
    options.browse = true;
    options.browse_folder = LineBrowses(query);
    QueryRun run = RunQuery(*view_, ParseQuery(query), ctx, options);
    results_ = std::make_shared<const std::vector<uint32_t>>(std::move(run.items));
    cache_.Add(std::move(key), std::move(seen), results_);
    return static_cast<uint32_t>(results_->size());
  }

  bool Row(uint32_t position, WebRow* row) override {
    if (!results_ || position >= results_->size()) return false;
    uint32_t item = (*results_)[position];
    row->path = std::u16string(db_.BuildPath(item, /*mark_folders=*/false));
    row->is_folder = db_.IsFolder(item);
    row->size_bytes = db_.ItemSizeBytes(item);
    return true;
  }

  bool Shows(std::u16string_view index_path, bool* is_folder) override {
    uint32_t item = Find(index_path);
    if (item == kNoItem || db_.GetHideState(item) != HideState::kShown) return false;
    *is_folder = db_.IsFolder(item);
    return true;
  }

  std::u16string ToNativePath(std::u16string_view index_path) override { return drives_.ToNativePath(index_path); }
  bool FromNativePath(std::u16string_view native_path, std::u16string* index_path) override {
    return drives_.FromNativePath(native_path, index_path);
  }

 private:
  // Item of an exact index path, kNoItem when absent. Folders by the index's own lookup;
  // a file by a pass over its parent's children, comparing the name in exact case.
  uint32_t Find(std::u16string_view path) {
    uint32_t folder = db_.FindFolderByPath(path);
    if (folder != kNoItem && std::u16string_view(db_.BuildPath(folder, false)) == path) return folder;
    size_t cut = path.rfind(u'\\');
    if (cut == std::u16string_view::npos) return kNoItem;
    std::u16string_view parent_path = path.substr(0, cut);
    std::u16string_view name = path.substr(cut + 1);
    uint32_t parent = db_.FindFolderByPath(parent_path);
    if (parent == kNoItem || name.empty()) return kNoItem;
    const uint32_t* parents = db_.parents();
    for (uint32_t i = db_.folder_count(); i < db_.item_count(); ++i) {
      if (parents[i] == parent && db_.ItemName(i) == name) return i;
    }
    return kNoItem;
  }

  NamedSearches named_;
  DriveMap drives_;
  NuskDb db_;
  std::unique_ptr<SearchView> view_;
  ResultCache cache_;
  ResultCache::Results results_;  // of the last Run
};

}  // namespace

std::unique_ptr<WebSearch> OpenIndexWebSearch(const std::u16string& home_folder, const std::u16string& settings_path,
                                              Env* env, std::string* error) {
  auto search = std::make_unique<IndexWebSearch>(settings_path);
  Status st = search->Load(home_folder, env);
  if (!st.ok()) {
    *error = st.message();
    return nullptr;
  }
  return search;
}

}  // namespace nusk
