#include "scan/walk.h"

#include <algorithm>
#include <deque>

#include "index/index_types.h"
#include "platform/volume_lister.h"
#include "util/utf.h"

namespace nusk {

namespace {

constexpr char16_t kMarkerName[] = u"_nuskignore";
constexpr uint32_t kRootRecord = 1024;

// A folder met but not yet listed. Its own record is added only when it is listed, so a
// folder holding the marker file can still be left out together with its contents.
struct QueuedFolder {
  std::u16string path;  // native, ending with the separator
  uint64_t reference = 0;
  uint64_t parent_reference = 0;
  std::u16string name;
  uint32_t time = 0;
};

class Walker {
 public:
  explicit Walker(WalkContext* ctx) : ctx_(ctx), drive_(static_cast<uint8_t>(ctx->drive_letter - u'A')) {}

  WalkResult Run() {
    Status s = VolumeLister::Create(ctx_->root_path, &lister_);
    if (s.ok()) s = lister_->List(ctx_->root_path, &entries_);
    if (!s.ok()) {
      Say("Find files in " + ToUtf8(ctx_->root_path) + " failed..");
      return WalkResult::kRootFailed;
    }
    Log(std::string("Deleting all records for drive ") + static_cast<char>(ctx_->drive_letter));
    ctx_->listener->ForgetVolume(ctx_->drive_letter, 0);
    ScanRecord root;
    root.reference = MakeRef(kRootRecord, drive_);
    root.is_folder = 1;
    root.name = std::u16string{ctx_->drive_letter, u':'};
    ctx_->listener->AddRecord(root);
    Log("Performing full scan..");
    ctx_->folder_count = 0;
    ctx_->file_count = 0;
    ctx_->next_reference = kRootRecord + 1;
    AddChildren(ctx_->root_path, root.reference);
    while (!queue_.empty()) {
      if (ctx_->cancel_requested && ctx_->cancel_requested()) return WalkResult::kCanceled;
      QueuedFolder folder = std::move(queue_.front());
      queue_.pop_front();
      ListFolder(folder);
    }
    Log("Recorded " + std::to_string(ctx_->folder_count) + " folders, " + std::to_string(ctx_->file_count) +
        " files.");
    return WalkResult::kDone;
  }

 private:
  void ListFolder(const QueuedFolder& folder) {
    Status listed = lister_->List(folder.path, &entries_);
    if (listed.ok() && HoldsMarker()) {
      ctx_->listener->IgnoredFolderFound(IndexPath(folder.path));
      return;
    }
    AddFolder(folder);
    if (!listed.ok()) {
      Say("Find files in " + ToUtf8(folder.path) + " failed..");
      return;
    }
    AddChildren(folder.path, folder.reference);
  }

  bool HoldsMarker() const {
    return std::any_of(entries_.begin(), entries_.end(),
                       [](const VolumeEntry& e) { return !e.is_folder && e.name == kMarkerName; });
  }

  // Adds the files of entries_ and queues (or, for links and mount points, adds) its folders.
  void AddChildren(const std::u16string& path, uint64_t parent) {
    // A fixed order makes the index independent of the order the system lists entries in.
    std::sort(entries_.begin(), entries_.end(),
              [](const VolumeEntry& a, const VolumeEntry& b) { return a.name < b.name; });
    for (const VolumeEntry& e : entries_) {
      if (Excluded(e)) continue;
      if (e.is_folder && !e.no_descend) {
        QueuedFolder q;
        q.path = path + e.name + ctx_->root_path.back();
        q.reference = NextReference();
        q.parent_reference = parent;
        q.name = e.name;
        q.time = CompactTimeFromFileTime(e.mtime);
        queue_.push_back(std::move(q));
        continue;
      }
      ScanRecord r;
      r.reference = NextReference();
      r.parent_reference = parent;
      r.name = e.name;
      r.time = CompactTimeFromFileTime(e.mtime);
      r.is_folder = e.is_folder ? 1 : 0;
      r.size = e.is_folder ? 0 : SizeFormFromBytes(e.size);
      if (e.is_folder) {
        ++ctx_->folder_count;
      } else {
        ++ctx_->file_count;
      }
      ctx_->listener->AddRecord(r);
    }
  }

  void AddFolder(const QueuedFolder& folder) {
    ScanRecord r;
    r.reference = folder.reference;
    r.parent_reference = folder.parent_reference;
    r.name = folder.name;
    r.time = folder.time;
    r.is_folder = 1;
    ++ctx_->folder_count;
    ctx_->listener->AddRecord(r);
  }

  bool Excluded(const VolumeEntry& e) const {
    const IWalkExclusions* ex = ctx_->exclusions;
    if (!ex) return false;
    if (ex->ExcludeHidden() && (e.attributes & 0x2)) return true;
    return e.is_folder ? ex->FolderNameExcluded(e.name) : ex->FileNameExcluded(e.name);
  }

  uint64_t NextReference() { return MakeRef(ctx_->next_reference++, drive_); }

  // Native folder path -> the form the index shows ("C:\a\b", no trailing backslash).
  std::u16string IndexPath(const std::u16string& native) const {
    std::u16string out{ctx_->drive_letter, u':'};
    std::u16string_view rest(native);
    rest.remove_prefix(std::min(rest.size(), ctx_->root_path.size()));
    out.push_back(u'\\');
    for (char16_t c : rest) out.push_back(c == ctx_->root_path.back() ? u'\\' : c);
    while (out.size() > 3 && out.back() == u'\\') out.pop_back();
    return out;
  }

  void Log(const std::string& line) {
    if (ctx_->log) ctx_->log(line);
  }
  void Say(const std::string& line) {
    if (ctx_->status) ctx_->status(line);
  }

  WalkContext* ctx_;
  uint8_t drive_;
  std::unique_ptr<VolumeLister> lister_;
  std::vector<VolumeEntry> entries_;  // the folder being listed; reused to avoid allocations
  std::deque<QueuedFolder> queue_;
};

}  // namespace

WalkResult WalkDrive(WalkContext* ctx) { return Walker(ctx).Run(); }

}  // namespace nusk
