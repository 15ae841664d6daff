// WebSearch over the loaded index: one NuskDb loaded at start, a FileListSource per query
// run synchronously on the calling thread, and the drive map for file links.
//
// The page asks for the same query again for every "Show more"; the last few result
// arrays are kept for a few seconds so paging does not search the whole index each time.
// The index never changes while the service runs; the time limit keeps date-relative
// queries ("today") and drive presence current.
#include <list>
#include <memory>

#include "index/nusk_db.h"
#include "platform/profile.h"
#include "platform/volume.h"
#include "search/file_list_source.h"
#include "search/named_searches.h"
#include "search/search_view.h"
#include "settings/drive_map.h"
#include "web/web_search.h"

namespace nusk {

namespace {

class IndexWebSearch : public WebSearch {
 public:
  IndexWebSearch(const std::u16string& settings_path)
      : named_(Profile::Default(), settings_path), drives_(DriveMap::Load(settings_path)) {}

  Status Load(const std::u16string& home, Env* env) {
    env_ = env;
    Status st = LoadNuskDb(&db_, home, env);
    if (!st.ok()) return st;
    view_ = std::make_unique<SearchView>(&db_);
    return Status::Ok();
  }

  uint32_t Run(std::u16string_view query) override {
    uint64_t now = env_->MonotonicMs();
    for (auto it = cache_.begin(); it != cache_.end(); ++it) {
      if (now - it->made_ms > kCacheMs) {
        cache_.erase(it, cache_.end());  // entries are ordered newest first
        break;
      }
      if (it->query == query) {
        results_ = it->results;
        return static_cast<uint32_t>(results_->size());
      }
    }
    NopFileListSourceChangeListener nop;
    FileListSource source(view_.get(), &nop);
    TermContext ctx;
    ctx.lookup_named = [this](std::u16string_view name) { return named_.Lookup(name); };
    ctx.present_drives = PresentDrives();
    source.set_term_context(std::move(ctx));
    source.Submit(query, /*async=*/false);
    results_ = std::make_shared<const std::vector<uint32_t>>(source.Results());
    cache_.push_front({std::u16string(query), results_, env_->MonotonicMs()});
    if (cache_.size() > kCacheEntries) cache_.pop_back();
    return static_cast<uint32_t>(results_->size());
  }

  bool Row(uint32_t position, std::u16string* path, uint64_t* size_bytes) override {
    if (!results_ || position >= results_->size()) return false;
    uint32_t item = (*results_)[position];
    *path = std::u16string(db_.BuildPath(item, /*mark_folders=*/true));
    *size_bytes = db_.ItemSizeBytes(item);
    return true;
  }

  bool Shows(std::u16string_view index_path, bool* is_folder) override {
    uint32_t item = Find(index_path);
    if (item == kNoItem || db_.GetHideState(item) != HideState::kShown) return false;
    *is_folder = db_.IsFolder(item);
    return true;
  }

  std::u16string ToNativePath(std::u16string_view index_path) override { return drives_.ToNativePath(index_path); }

 private:
  uint32_t PresentDrives() {
    if (drives_.native_letters()) return Volumes::Default()->LogicalDrives();
    uint32_t mask = 0;
    for (char16_t c : drives_.Letters()) {
      if (c >= u'A' && c <= u'Z') mask |= 1u << (c - u'A');
    }
    return mask;
  }

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

  static constexpr size_t kCacheEntries = 8;
  static constexpr uint64_t kCacheMs = 5000;
  struct CacheEntry {
    std::u16string query;
    std::shared_ptr<const std::vector<uint32_t>> results;
    uint64_t made_ms;
  };

  Env* env_ = nullptr;
  NamedSearches named_;
  DriveMap drives_;
  NuskDb db_;
  std::unique_ptr<SearchView> view_;
  std::shared_ptr<const std::vector<uint32_t>> results_;  // of the last Run
  std::list<CacheEntry> cache_;                            // newest first
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
