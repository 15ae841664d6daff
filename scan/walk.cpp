#include "scan/walk.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>

#include "index/index_types.h"
#include "platform/env.h"
#include "platform/process_info.h"
#include "platform/volume_lister.h"
#include "scan/exclusion.h"
#include "scan/lister_pacer.h"
#include "util/utf.h"

namespace nusk {

namespace {

// Walked drives number their items from here; the root folder takes this number.
constexpr uint32_t kWalkRootRecord = 1024;

// The walk's listing threads read folders (system calls, name conversion, sorting,
// exclusions) while the calling thread hands the results to the listener (index
// insertion). They meet in a bounded queue of chunks, so the listing may run ahead by a
// few thousand items but never holds the whole tree. The listing side decides everything
// (order, references, exclusions); the listener sees exactly the calls a one-thread walk
// would make, in the same order, all on the calling thread.

// What one listed folder contributes: its records, then at most one status line. A
// folder left out for its marker file contributes only ignored_path.
struct Segment {
  uint32_t end = 0;         // its records are chunk.records[previous end, end)
  bool poll_cancel = true;  // the walk stops before a folder when cancel is asked
  bool ignored = false;
  std::u16string ignored_path;
  std::string failure;  // "Find files in %s failed.." when the listing failed
};

// A batch of segments. Records are overwritten in place rather than cleared, so a
// recycled chunk reuses the name buffers it already has.
struct Chunk {
  std::vector<ScanRecord> records;
  uint32_t used = 0;
  std::vector<Segment> segments;

  ScanRecord& NewRecord() {
    if (used == records.size()) records.emplace_back();
    return records[used++];
  }
  void Reset() {
    used = 0;
    segments.clear();
  }
};

constexpr uint32_t kChunkRecords = 2048;  // big enough that handing over costs nothing per item
constexpr size_t kChunkSegments = 256;
constexpr size_t kQueuedChunks = 8;  // how far the listing may run ahead
// A listing started before the index is loaded runs further ahead, so that it is not
// held up for the whole load; about 130 bytes per record, 34 MB at most.
constexpr size_t kEarlyQueuedChunks = 128;

// Hand-over between the two threads. Full chunks go one way, emptied ones come back.
class ChunkQueue {
 public:
  // Listing side. Blocks while kQueuedChunks wait; false once the walk was abandoned.
  bool Push(std::unique_ptr<Chunk> chunk) {
    std::unique_lock<std::mutex> lock(mu_);
    not_full_.wait(lock, [this] { return abandoned_ || full_.size() < limit_; });
    if (abandoned_) return false;
    full_.push_back(std::move(chunk));
    not_empty_.notify_one();
    return true;
  }
  // Listing side: no more chunks will come (error holds an exception of the listing).
  void Finish(std::exception_ptr error) {
    std::lock_guard<std::mutex> lock(mu_);
    finished_ = true;
    error_ = error;
    not_empty_.notify_one();
  }
  std::unique_ptr<Chunk> TakeEmpty() {
    std::lock_guard<std::mutex> lock(mu_);
    if (empty_.empty()) return std::make_unique<Chunk>();
    std::unique_ptr<Chunk> c = std::move(empty_.back());
    empty_.pop_back();
    return c;
  }
  bool abandoned() {
    std::lock_guard<std::mutex> lock(mu_);
    return abandoned_;
  }

  // Inserting side. Null when the listing has finished and everything was taken.
  std::unique_ptr<Chunk> Pop() {
    std::unique_lock<std::mutex> lock(mu_);
    not_empty_.wait(lock, [this] { return finished_ || !full_.empty(); });
    if (full_.empty()) return nullptr;
    std::unique_ptr<Chunk> c = std::move(full_.front());
    full_.pop_front();
    not_full_.notify_one();
    return c;
  }
  void Recycle(std::unique_ptr<Chunk> chunk) {
    chunk->Reset();
    std::lock_guard<std::mutex> lock(mu_);
    empty_.push_back(std::move(chunk));
  }
  // How many full chunks may wait before the listing blocks.
  void SetLimit(size_t chunks) {
    std::lock_guard<std::mutex> lock(mu_);
    limit_ = chunks;
    not_full_.notify_all();
  }
  // Inserting side: stop the listing (cancel, or the listener failed).
  void Abandon() {
    std::lock_guard<std::mutex> lock(mu_);
    abandoned_ = true;
    not_full_.notify_all();
  }
  std::exception_ptr error() {
    std::lock_guard<std::mutex> lock(mu_);
    return error_;
  }

 private:
  std::mutex mu_;
  std::condition_variable not_full_, not_empty_;
  std::deque<std::unique_ptr<Chunk>> full_;
  std::vector<std::unique_ptr<Chunk>> empty_;
  size_t limit_ = kQueuedChunks;
  bool finished_ = false;
  bool abandoned_ = false;
  std::exception_ptr error_;
};

// A folder met but not yet listed. Its own record is added only when it is listed, so a
// folder holding the marker file can still be left out together with its contents.
struct QueuedFolder {
  std::u16string path;  // native, ending with the separator
  uint64_t reference = 0;
  uint64_t parent_reference = 0;
  std::u16string name;
  uint32_t time = 0;
  bool root = false;
};

// One folder's listing, made on any listing thread, used in queue order.
struct ListedFolder {
  Status status;
  std::vector<VolumeEntry> entries;
  std::vector<uint32_t> order;                      // entries positions in name order
  std::vector<std::pair<uint64_t, uint32_t>> keys;  // SortNames' work space, kept for reuse
};

struct Pending {
  QueuedFolder folder;
  std::unique_ptr<ListedFolder> listed;  // null until listed
};

constexpr size_t kListedAhead = 256;  // folders listed but not yet turned into records

uint64_t NowMicroseconds() {
  using namespace std::chrono;
  return static_cast<uint64_t>(duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
}

// Lists the tree breadth first on several threads (ListerPacer says how many work at a
// time). Listing a folder (system calls, name conversion, sorting) may happen on any
// thread and in any order, but turning the listings into records ("emitting": exclusions,
// references, queueing sub-folders) happens strictly in queue order, by one thread at a
// time, so the result is the same as a one-thread walk's. Whichever thread finds the next
// folder in queue order listed takes the emitting role.
class TreeLister {
 public:
  TreeLister(const WalkTarget& target, std::vector<VolumeEntry> root_entries, ChunkQueue* out)
      : target_(target),
        pacer_(std::thread::hardware_concurrency()),
        drive_(static_cast<uint8_t>(target.drive_letter - u'A')),
        separator_(target.root_path.back()),
        out_(out) {
    Pending& root = pending_.emplace_back();
    root.folder.path = target.root_path;
    root.folder.reference = MakeRef(kWalkRootRecord, drive_);
    root.folder.root = true;
    root.listed = std::make_unique<ListedFolder>();
    root.listed->entries = std::move(root_entries);
    SortNames(root.listed.get());
    unclaimed_ = 1;
  }

  int thread_count() const { return pacer_.max(); }

  // One listing thread's whole life (index: 0 .. thread_count() - 1; only the first
  // pacer_.active() take folders to list, any may emit). The last one to leave tells the
  // queue the walk ended.
  void RunThread(int index) {
    std::unique_ptr<VolumeLister> lister;
    Status created = target_.env->NewVolumeLister(target_.root_path, &lister);
    std::unique_lock<std::mutex> lock(mu_);
    ++running_;
    try {
      while (!stop_) {
        if (!emitting_ && !pending_.empty() && pending_.front().listed) {
          EmitReady(lock);
          continue;
        }
        if (index >= pacer_.active()) {  // not needed now: sleeps apart, so the many wake-ups
          standby_.wait(lock);           // of the working threads do not reach it
          continue;
        }
        if (unclaimed_ < pending_.size() && unclaimed_ < kListedAhead) {
          Pending* p = &pending_[unclaimed_++];
          std::unique_ptr<ListedFolder> listed = TakeSpare();
          lock.unlock();
          // A lister that could not be made fails each folder like an unreadable one.
          listed->status = lister ? lister->List(p->folder.path, &listed->entries) : created;
          if (listed->status.ok()) SortNames(listed.get());
          lock.lock();
          p->listed = std::move(listed);
          const uint64_t now = NowMicroseconds();
          if (pacer_.Due(now) && pacer_.Update(now, ProcessStorageReadBytes())) WakeAll();
          continue;
        }
        work_.wait(lock);
      }
    } catch (...) {
      if (!lock.owns_lock()) lock.lock();
      if (!error_) error_ = std::current_exception();
      stop_ = true;
    }
    WakeAll();
    if (--running_ == 0) out_->Finish(error_);
  }

  uint32_t next_reference() const { return next_reference_; }

 private:
  void WakeAll() {
    work_.notify_all();
    standby_.notify_all();
  }

  // A listing whose entry strings are kept from an earlier folder, so names are copied
  // into buffers that already exist. Called holding mu_.
  std::unique_ptr<ListedFolder> TakeSpare() {
    if (spare_.empty()) return std::make_unique<ListedFolder>();
    std::unique_ptr<ListedFolder> listed = std::move(spare_.back());
    spare_.pop_back();
    listed->status = Status::Ok();
    return listed;
  }

  // Emits the listed folders at the front of the queue. Called holding mu_; releases it
  // while it works, so other threads go on listing.
  void EmitReady(std::unique_lock<std::mutex>& lock) {
    emitting_ = true;
    std::vector<QueuedFolder> found;
    while (!stop_ && !pending_.empty() && pending_.front().listed) {
      Pending p = std::move(pending_.front());
      pending_.pop_front();
      --unclaimed_;  // positions count from the front, which just moved
      lock.unlock();
      bool go_on = true;
      try {
        go_on = Emit(p, &found);
      } catch (...) {
        lock.lock();
        emitting_ = false;
        throw;
      }
      lock.lock();
      for (QueuedFolder& f : found) pending_.push_back(Pending{std::move(f), nullptr});
      found.clear();
      spare_.push_back(std::move(p.listed));
      if (!go_on) stop_ = true;
      if (stop_) WakeAll();
      else work_.notify_all();
    }
    if (!stop_ && pending_.empty()) {  // everything listed and emitted
      stop_ = true;
      lock.unlock();
      Flush();
      lock.lock();
    }
    emitting_ = false;
  }

  // One folder's records into the current chunk. False when the inserting side has given up.
  bool Emit(Pending& p, std::vector<QueuedFolder>* found) {
    if (!chunk_) chunk_ = out_->TakeEmpty();
    if (chunk_->used >= kChunkRecords || chunk_->segments.size() >= kChunkSegments) {
      if (!Flush()) return false;
      chunk_ = out_->TakeEmpty();
    }
    const QueuedFolder& folder = p.folder;
    ListedFolder& listed = *p.listed;
    Segment& segment = chunk_->segments.emplace_back();
    segment.end = chunk_->used;
    if (folder.root) {
      segment.poll_cancel = false;  // the root's record is the caller's
    } else {
      if (listed.status.ok() && HoldsMarker(listed)) {
        segment.ignored = true;
        segment.ignored_path = IndexPath(folder.path);
        return true;
      }
      ScanRecord& r = chunk_->NewRecord();
      r.reference = folder.reference;
      r.parent_reference = folder.parent_reference;
      r.name = folder.name;
      r.time = folder.time;
      r.is_folder = true;
      r.size = 0;
      segment.end = chunk_->used;
      if (!listed.status.ok()) {
        segment.failure = "Find files in " + ToUtf8(folder.path) + " failed..";
        return true;
      }
    }
    AddChildren(folder.path, folder.reference, &listed, found);
    return true;
  }

  // Hands the current chunk over. False when the inserting side has given up.
  bool Flush() {
    if (!chunk_ || chunk_->segments.empty()) return !out_->abandoned();
    return out_->Push(std::move(chunk_));
  }

  // A fixed order makes the index independent of the order the system lists entries in.
  // What is sorted is (first four units, position) pairs: most names differ within their
  // first four units, so most comparisons never reach the strings. A unit is never 0, so
  // a short name's zero padding sorts it before the longer names it starts.
  static void SortNames(ListedFolder* listed) {
    const std::vector<VolumeEntry>& entries = listed->entries;
    std::vector<std::pair<uint64_t, uint32_t>>& keys = listed->keys;
    keys.resize(entries.size());
    for (uint32_t i = 0; i < entries.size(); ++i) keys[i] = {NamePrefix(entries[i].name), i};
    std::sort(keys.begin(), keys.end(), [&entries](const auto& a, const auto& b) {
      if (a.first != b.first) return a.first < b.first;
      return entries[a.second].name < entries[b.second].name;
    });
    listed->order.resize(keys.size());
    for (size_t i = 0; i < keys.size(); ++i) listed->order[i] = keys[i].second;
  }

  static uint64_t NamePrefix(const std::u16string& name) {
    uint64_t prefix = 0;
    for (size_t i = 0; i < 4; ++i) prefix = prefix << 16 | (i < name.size() ? name[i] : 0);
    return prefix;
  }

  static bool HoldsMarker(const ListedFolder& listed) {
    return std::any_of(listed.entries.begin(), listed.entries.end(),
                       [](const VolumeEntry& e) { return !e.is_folder && e.name == kIgnoreMarkerName; });
  }

  // Adds the files of a listing and queues (or, for links and mount points, adds) its
  // folders, in name order.
  void AddChildren(const std::u16string& path, uint64_t parent, ListedFolder* listed,
                   std::vector<QueuedFolder>* found) {
    for (uint32_t i : listed->order) {
      VolumeEntry& e = listed->entries[i];
      if (Excluded(e)) continue;
      if (e.is_folder && !e.no_descend) {
        QueuedFolder& q = found->emplace_back();
        q.path.reserve(path.size() + e.name.size() + 1);
        q.path.append(path).append(e.name).push_back(separator_);
        q.reference = NextReference();
        q.parent_reference = parent;
        q.name = e.name;
        q.time = CompactTimeFromFileTime(e.mtime);
        continue;
      }
      ScanRecord& r = chunk_->NewRecord();
      r.reference = NextReference();
      r.parent_reference = parent;
      r.name = e.name;
      r.time = CompactTimeFromFileTime(e.mtime);
      r.is_folder = e.is_folder;
      r.size = e.is_folder ? 0 : SizeFormFromBytes(e.size);
    }
    chunk_->segments.back().end = chunk_->used;
  }

  bool Excluded(const VolumeEntry& e) const {
    const IWalkExclusions* ex = target_.exclusions;
    if (!ex) return false;
    if (ex->ExcludeHidden() && (e.attributes & 0x2)) return true;
    return e.is_folder ? ex->FolderNameExcluded(e.name) : ex->FileNameExcluded(e.name);
  }

  uint64_t NextReference() { return MakeRef(next_reference_++, drive_); }

  // Native folder path -> the form the index shows ("C:\a\b", no trailing backslash).
  std::u16string IndexPath(const std::u16string& native) const {
    std::u16string out{target_.drive_letter, u':'};
    std::u16string_view rest(native);
    rest.remove_prefix(std::min(rest.size(), target_.root_path.size()));
    out.push_back(u'\\');
    for (char16_t c : rest) out.push_back(c == separator_ ? u'\\' : c);
    while (out.size() > 3 && out.back() == u'\\') out.pop_back();
    return out;
  }

  const WalkTarget target_;
  ListerPacer pacer_;  // guarded by mu_
  const uint8_t drive_;
  const char16_t separator_;
  ChunkQueue* out_;

  // Guarded by mu_.
  std::mutex mu_;
  std::condition_variable work_;     // a folder became listable or emittable, or the walk stopped
  std::condition_variable standby_;  // the pacer let more threads work, or the walk stopped
  std::deque<Pending> pending_;      // queue order; the front ones may be listed already
  size_t unclaimed_ = 0;             // pending_[unclaimed_...] are not yet being listed
  bool emitting_ = false;
  bool stop_ = false;
  int running_ = 0;
  std::exception_ptr error_;
  std::vector<std::unique_ptr<ListedFolder>> spare_;  // emitted listings, for reuse

  // Used only by the thread holding the emitting role.
  std::unique_ptr<Chunk> chunk_;
  uint32_t next_reference_ = kWalkRootRecord + 1;
};

// Starts the listing threads; stops and joins them however the inserting side leaves.
class ListingThreads {
 public:
  ListingThreads(TreeLister* lister, ChunkQueue* queue) : queue_(queue) {
    for (int i = 0; i < lister->thread_count(); ++i) threads_.emplace_back([lister, i] { lister->RunThread(i); });
  }
  ~ListingThreads() { Join(); }
  void Join() {
    queue_->Abandon();
    for (std::thread& t : threads_) {
      if (t.joinable()) t.join();
    }
  }

 private:
  ChunkQueue* queue_;
  std::vector<std::thread> threads_;
};

}  // namespace

// The listing side of one walk: the root's listing, then the threads filling the queue.
// Members are destroyed in reverse order, so the threads are joined before the lister
// and the queue they use go away.
struct WalkListing::State {
  WalkTarget target;
  Status root_status;
  ChunkQueue queue;
  std::unique_ptr<TreeLister> tree;
  std::unique_ptr<ListingThreads> threads;
};

WalkListing::WalkListing(std::unique_ptr<State> state) : state_(std::move(state)) {}
WalkListing::~WalkListing() = default;
const WalkTarget& WalkListing::target() const { return state_->target; }
bool WalkListing::root_listed() const { return state_->root_status.ok(); }

std::unique_ptr<WalkListing> StartWalkListing(const WalkTarget& target, bool early) {
  auto state = std::make_unique<WalkListing::State>();
  state->target = target;
  std::unique_ptr<VolumeLister> lister;
  std::vector<VolumeEntry> root_entries;
  Status s = target.env->NewVolumeLister(target.root_path, &lister);
  if (s.ok()) s = lister->List(target.root_path, &root_entries);
  state->root_status = s;
  if (s.ok()) {
    if (early) state->queue.SetLimit(kEarlyQueuedChunks);
    state->tree = std::make_unique<TreeLister>(target, std::move(root_entries), &state->queue);
    state->threads = std::make_unique<ListingThreads>(state->tree.get(), &state->queue);
  }
  return std::make_unique<WalkListing>(std::move(state));
}

namespace {

class Walker {
 public:
  Walker(WalkContext* ctx, WalkListing::State* listing) : ctx_(ctx), listing_(listing) {}

  WalkResult Run() {
    if (!listing_->root_status.ok()) {
      Say("Find files in " + ToUtf8(ctx_->root_path) + " failed..");
      return WalkResult::kRootFailed;
    }
    ctx_->folder_count = 0;
    ctx_->file_count = 0;
    ChunkQueue& queue = listing_->queue;
    queue.SetLimit(kQueuedChunks);  // from now on chunks are taken as they come

    Log(std::string("Deleting all records for drive ") + static_cast<char>(ctx_->drive_letter));
    ctx_->listener->ForgetVolume(ctx_->drive_letter, 0);
    ScanRecord root;
    root.reference = MakeRef(kWalkRootRecord, static_cast<uint8_t>(ctx_->drive_letter - u'A'));
    root.is_folder = true;
    root.name = std::u16string{ctx_->drive_letter, u':'};
    ctx_->listener->AddRecord(root);
    Log("Performing full scan..");

    bool canceled = false;
    while (!canceled) {
      std::unique_ptr<Chunk> chunk = queue.Pop();
      if (!chunk) break;
      canceled = !Apply(*chunk);
      queue.Recycle(std::move(chunk));
    }
    listing_->threads->Join();
    if (std::exception_ptr error = queue.error()) std::rethrow_exception(error);
    ctx_->next_reference = listing_->tree->next_reference();
    if (canceled) return WalkResult::kCanceled;
    Log("Recorded " + std::to_string(ctx_->folder_count) + " folders, " + std::to_string(ctx_->file_count) + " files.");
    return WalkResult::kDone;
  }

 private:
  // Hands one chunk to the listener. False when the walk was canceled.
  bool Apply(const Chunk& chunk) {
    uint32_t begin = 0;
    for (const Segment& s : chunk.segments) {
      if (s.poll_cancel && ctx_->cancel_requested && ctx_->cancel_requested()) return false;
      if (s.ignored) ctx_->listener->IgnoredFolderFound(s.ignored_path);
      for (uint32_t i = begin; i < s.end; ++i) {
        const ScanRecord& r = chunk.records[i];
        ++(r.is_folder ? ctx_->folder_count : ctx_->file_count);
        ctx_->listener->AddRecord(r);
      }
      if (!s.failure.empty()) Say(s.failure);
      begin = s.end;
    }
    return true;
  }

  void Log(const std::string& line) {
    if (ctx_->log) ctx_->log(line);
  }
  void Say(const std::string& line) {
    if (ctx_->status) ctx_->status(line);
  }

  WalkContext* ctx_;
  WalkListing::State* listing_;
};

}  // namespace

WalkResult WalkDrive(WalkContext* ctx, std::unique_ptr<WalkListing> started) {
  WalkTarget target{ctx->drive_letter, ctx->root_path, ctx->exclusions, ctx->env};
  if (!started || !(started->target() == target)) started = StartWalkListing(target, false);
  return Walker(ctx, started->state_.get()).Run();
}

}  // namespace nusk
