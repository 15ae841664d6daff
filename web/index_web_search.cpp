// WebSearch over the loaded index: one NuskDb at a time (a Snapshot), RunQuery (the window's
// search, without its worker thread) per query, and the drive map for paths and file
// links. Recent result arrays are kept per snapshot in a ResultCache (see there for why
// that is exact).
//
// Following builds: a watcher thread stats the database files once a second. When their
// stamps change it loads a new snapshot on its own thread (a search never waits for it),
// checks that the files did not change again meanwhile (else the load is retried next
// time), and leaves it for Refresh, which swaps it in between requests.
#include <condition_variable>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "index/db_files.h"
#include "index/nusk_db.h"
#include "platform/file_stream.h"
#include "platform/profile.h"
#include "search/hash_info.h"
#include "search/named_searches.h"
#include "search/present_drives.h"
#include "search/query_runner.h"
#include "search/search_view.h"
#include "settings/drive_map.h"
#include "util/casemap.h"
#include "web/result_cache.h"
#include "web/web_search.h"

namespace nusk {

namespace {

// Sixteen million items (64 MB of result arrays) across at most eight queries.
constexpr size_t kCacheEntries = 8;
constexpr size_t kCacheItems = size_t{16} << 20;

// Stamps of the files that make up the index (see db_files.h): any commit changes one.
std::vector<uint64_t> DbStamps(const std::u16string& home, Env* env) {
  std::vector<uint64_t> stamps;
  for (const char16_t* name : {kFrsName, kNrsName, kHidName}) {
    for (const char16_t* suffix : {u"", u".old", u".tmp"}) {
      PathInfo info;
      bool found = StatPath(DbPath(home, name, env) + suffix, &info);
      stamps.push_back(found ? info.stamp : 0);
      stamps.push_back(found ? info.size + 1 : 0);
    }
  }
  return stamps;
}

// One loaded index with what is derived from it.
struct Snapshot {
  NuskDb db;
  HashInfo hashes;
  bool hashes_loaded = false;
  PathInfo hash_file;  // "nusk.hash" as it was when the hashes were loaded
  std::unique_ptr<SearchView> view;
  ResultCache cache{kCacheEntries, kCacheItems};
};

class IndexWebSearch : public WebSearch {
 public:
  IndexWebSearch(const std::u16string& home, const std::u16string& settings_path, Env* env, SearchLog log,
                 uint64_t interval_ms)
      : home_(home),
        env_(env),
        log_(std::move(log)),
        interval_ms_(interval_ms),
        named_(Profile::Default(), settings_path),
        drives_(DriveMap::Load(settings_path, Profile::Default(), env)) {}

  ~IndexWebSearch() override {
    {
      std::lock_guard<std::mutex> hold(mu_);
      stopping_ = true;
    }
    wake_.notify_all();
    if (watcher_.joinable()) watcher_.join();
  }

  Status LoadFirst() {
    std::vector<uint64_t> stamps;
    std::unique_ptr<Snapshot> snap;
    Status st = LoadSnapshot(&snap, &stamps);
    for (int retry = 0; retry < 5 && !st.ok() && DbStamps(home_, env_) != stamps; ++retry) {
      st = LoadSnapshot(&snap, &stamps);  // a commit was under way: read it again
    }
    if (!st.ok()) return st;
    current_ = std::move(snap);
    loaded_stamps_ = stamps;
    watcher_ = std::thread([this] { Watch(); });
    return Status::Ok();
  }

  void Refresh() override {
    std::unique_ptr<Snapshot> next;
    {
      std::lock_guard<std::mutex> hold(mu_);
      next = std::move(pending_);
    }
    if (!next) return;
    current_ = std::move(next);
    results_.reset();
    if (log_) log_("Loaded the new index (" + std::to_string(current_->db.item_count()) + " items).");
  }

  uint32_t Run(std::u16string_view query) override {
    Snapshot& s = *current_;
    if (WantsHashes(query)) UpdateHashes(&s);
    TermContext ctx;
    ctx.present_drives = PresentDrives(drives_, env_);
    ResultCache::Key key{std::u16string(query), ctx.today.year * 10000LL + ctx.today.month * 100 + ctx.today.day,
                         ctx.present_drives};
    auto lookup = [this](std::u16string_view name) { return named_.Lookup(name); };
    results_ = s.cache.Find(key, lookup);
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
    QueryRun run = RunQuery(*s.view, ParseQuery(query), ctx, options);
    results_ = std::make_shared<const std::vector<uint32_t>>(std::move(run.items));
    s.cache.Add(std::move(key), std::move(seen), results_);
    return static_cast<uint32_t>(results_->size());
  }

  bool Row(uint32_t position, WebRow* row) override {
    if (!results_ || position >= results_->size()) return false;
    NuskDb& db = current_->db;
    uint32_t item = (*results_)[position];
    row->path = std::u16string(db.BuildPath(item, /*mark_folders=*/false));
    row->is_folder = db.IsFolder(item);
    row->size_bytes = db.ItemSizeBytes(item);
    return true;
  }

  bool Shows(std::u16string_view index_path, bool* is_folder) override {
    NuskDb& db = current_->db;
    uint32_t item = Find(db, index_path);
    if (item == kNoItem || db.GetHideState(item) != HideState::kShown) return false;
    *is_folder = db.IsFolder(item);
    return true;
  }

  std::u16string ToNativePath(std::u16string_view index_path) override { return drives_.ToNativePath(index_path); }
  bool FromNativePath(std::u16string_view native_path, std::u16string* index_path) override {
    return drives_.FromNativePath(native_path, index_path);
  }
  bool Locate(std::u16string_view index_path, std::u16string* root, std::vector<std::u16string>* names) override {
    return drives_.Locate(index_path, root, names);
  }

 private:
  // Loads the index as the files are now; fails when they changed while being read, so a
  // commit in progress is never taken half-way.
  Status LoadSnapshot(std::unique_ptr<Snapshot>* out, std::vector<uint64_t>* stamps) {
    *stamps = DbStamps(home_, env_);
    auto snap = std::make_unique<Snapshot>();
    Status st = LoadNuskDb(&snap->db, home_, env_);
    if (!st.ok()) return st;
    // Requests are answered on several threads: every snapshot table is checked now.
    try {
      snap->db.CheckAllTables();
    } catch (const std::runtime_error& e) { return Status::Error(e.what()); }
    if (DbStamps(home_, env_) != *stamps) return Status::Error("the database files changed while being read");
    snap->view = std::make_unique<SearchView>(&snap->db);
    *out = std::move(snap);
    return Status::Ok();
  }

  // The watcher thread: once an interval, loads the index again when its files changed.
  void Watch() {
    std::vector<uint64_t> failed;  // stamps of a set that could not be loaded
    std::unique_lock<std::mutex> lock(mu_);
    while (!stopping_) {
      wake_.wait_for(lock, std::chrono::milliseconds(interval_ms_));
      if (stopping_) break;
      lock.unlock();
      std::vector<uint64_t> now = DbStamps(home_, env_), stamps;
      if (now != loaded_stamps_ && now != failed) {
        std::unique_ptr<Snapshot> snap;
        Status st = LoadSnapshot(&snap, &stamps);
        if (st.ok()) {
          loaded_stamps_ = stamps;
          failed.clear();
          lock.lock();
          pending_ = std::move(snap);
          continue;
        }
        if (DbStamps(home_, env_) == now) {  // damaged, not merely moving: say so once
          failed = now;
          if (log_) log_("The new index cannot be loaded; the one loaded before is still served: " + st.message());
        }
      }
      lock.lock();
    }
  }

  static bool WantsHashes(std::u16string_view query) {
    std::u16string lower = ToLower(std::u16string(query));
    return lower.find(u"/dup:") != std::u16string::npos || lower.find(u"/hash:") != std::u16string::npos ||
           lower.find(u'@') != std::u16string::npos;
  }

  // Loads the hashes on first need and again when "nusk.hash" changed (one stat per query
  // that needs them). The view is remade to see them, and cached results dropped.
  void UpdateHashes(Snapshot* s) {
    PathInfo info;
    const std::u16string path = DbPath(home_, kHashFileName, env_);
    if (!StatPath(path, &info)) info = PathInfo();
    if (s->hashes_loaded && info.stamp == s->hash_file.stamp && info.size == s->hash_file.size) return;
    Status st = s->hashes.Load(s->db, home_, env_);
    if (!st.ok() && log_) log_("Content hashes ignored: " + st.message());
    s->hashes_loaded = true;
    s->hash_file = info;
    s->view = std::make_unique<SearchView>(&s->db, &s->hashes);
    s->cache = ResultCache(kCacheEntries, kCacheItems);
    results_.reset();
  }

  // Item of an exact index path, kNoItem when absent. Folders by the index's own lookup;
  // a file by a pass over its parent's children, comparing the name in exact case.
  static uint32_t Find(NuskDb& db, std::u16string_view path) {
    uint32_t folder = db.FindFolderByPath(path);
    if (folder != kNoItem && std::u16string_view(db.BuildPath(folder, false)) == path) return folder;
    size_t cut = path.rfind(u'\\');
    if (cut == std::u16string_view::npos) return kNoItem;
    std::u16string_view parent_path = path.substr(0, cut);
    std::u16string_view name = path.substr(cut + 1);
    uint32_t parent = db.FindFolderByPath(parent_path);
    if (parent == kNoItem || name.empty()) return kNoItem;
    const uint32_t* parents = db.parents();
    for (uint32_t i = db.folder_count(); i < db.item_count(); ++i) {
      if (parents[i] == parent && db.ItemName(i) == name) return i;
    }
    return kNoItem;
  }

  const std::u16string home_;
  Env* env_;
  SearchLog log_;
  const uint64_t interval_ms_;
  NamedSearches named_;
  DriveMap drives_;
  std::unique_ptr<Snapshot> current_;    // used by requests only
  ResultCache::Results results_;         // of the last Run, in current_
  std::vector<uint64_t> loaded_stamps_;  // watcher thread only, after LoadFirst

  std::mutex mu_;  // guards pending_ and stopping_
  std::condition_variable wake_;
  std::unique_ptr<Snapshot> pending_;
  bool stopping_ = false;
  std::thread watcher_;
};

}  // namespace

std::unique_ptr<WebSearch> OpenIndexWebSearch(const std::u16string& home_folder, const std::u16string& settings_path,
                                              Env* env, std::string* error, SearchLog log, uint64_t check_interval_ms) {
  auto search = std::make_unique<IndexWebSearch>(home_folder, settings_path, env, std::move(log), check_interval_ms);
  Status st = search->LoadFirst();
  if (!st.ok()) {
    *error = st.message();
    return nullptr;
  }
  return search;
}

}  // namespace nusk
