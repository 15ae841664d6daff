// The change pass: the journal read from the stored position in windows, each window's
// MFT records fetched together, then every record applied to the index in order.
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "index/file_reference.h"
#include "scan/ntfs_volume_scanner.h"

namespace nusk {
namespace {

using namespace ntfs;

// One journal read returns up to this much; a window gathers reads up to kWindowBytes.
constexpr size_t kJournalBuffer = 64 * 1024;
constexpr size_t kWindowBytes = 4u << 20;
constexpr size_t kFirstWindowRecords = 4096;

}  // namespace

struct NtfsVolumeScanner::PassState {
  std::vector<uint8_t> buffer = std::vector<uint8_t>(kJournalBuffer);
  int64_t start = 0;                 // the USN the next journal read starts at
  size_t room = 0;                   // MFT records one window may ask for
  size_t budget = 0;                 // MFT records the current window may ask for
  bool exhausted = false;            // the journal has nothing more (or a read failed)
  std::optional<std::string> error;  // a record that could not be decoded ends the pass
};

// Decodes the journal records of one read, appended to the window, and notes the MFT
// records they will ask for: the items whose time and size a close record needs, and the
// folders of created or moved items. False at a record that cannot be decoded.
bool NtfsVolumeScanner::DecodeInto(const uint8_t* bytes, size_t length, PassState* pass) {
  const size_t base = window_.size();
  window_.insert(window_.end(), bytes, bytes + length);
  std::string error;
  for (size_t pos = 0; pos < length;) {
    std::optional<UsnRecord> jr = DecodeUsnRecord(window_.data() + base + pos, length - pos, &error);
    if (!jr) {
      pass->error = error;
      return false;
    }
    window_records_.emplace_back(base + pos, *jr);
    pos += jr->length;
    const uint32_t reason = jr->reason;
    if (!(reason & kUsnClose) || (reason & kUsnFileDelete) ||
        !(reason & (kUsnFileCreate | kUsnRenameNewName | kUsnDataChange)))
      continue;
    live_.Want(NtfsRecordOf(jr->reference));
    const uint32_t parent = NtfsRecordOf(jr->parent);
    if ((reason & (kUsnFileCreate | kUsnRenameNewName)) && parent != kRootRecord && !filter_.Decided(parent))
      live_.Want(parent);
  }
  return true;
}

// A window: journal reads until its records ask for about as many MFT records as the
// cache holds, it reaches its size bound, or the journal has nothing more. Windows start
// small, so the records of changes that lie together in the MFT are still in the
// processor's cache when they are used, and grow while their records lie apart, so that
// more of them share reads. False when the window is empty.
bool NtfsVolumeScanner::ReadWindow(PassState* pass) {
  window_.clear();
  window_records_.clear();
  live_.ClearWanted();
  while (!pass->exhausted && !pass->error) {
    const int64_t got =
        journal_handle_->Read(pass->start, kUsnReadMask, journal_.journal_id, pass->buffer.data(), pass->buffer.size());
    if (got <= 8) {
      // A failed read (journal deleted or wrapped meanwhile) ends the pass like its end:
      // the stored position then lies before the lost records, and the next build,
      // finding it out of range, scans in full.
      if (got < 0) Log("Change journal read failed at USN " + std::to_string(pass->start) + "; the pass ends there");
      pass->exhausted = true;
      break;
    }
    pass->start = static_cast<int64_t>(U64(pass->buffer.data()));
    if (!DecodeInto(pass->buffer.data() + 8, static_cast<size_t>(got) - 8, pass)) break;
    if (window_.size() >= kWindowBytes) break;
    if (live_.wanted() >= pass->budget) {
      if (pass->budget >= pass->room || !live_.WantedLieApart()) break;
      pass->budget = std::min(pass->room, pass->budget * 2);
    }
  }
  return !window_records_.empty();
}

bool NtfsVolumeScanner::ReadChanges(int64_t* next_usn, ChangePassStats* stats_out) {
  ChangePassStats stats;
  filter_.Clear();
  live_.BeginPass();
  bool ok = true;
  if (!Cancelled() && journal_handle_) {
    PassState pass;
    pass.start = *next_usn;
    pass.room = live_.WindowRoom();  // opens the MFT: its size bounds the windows
    pass.budget = std::min(pass.room, kFirstWindowRecords);
    int64_t last_usn = 0;
    uint32_t last_length = 0;
    bool stop = false;
    while (!stop && ReadWindow(&pass)) {
      live_.NewWindow();
      live_.ReadWanted();
      for (const auto& [at, jr] : window_records_) {
        std::u16string name = UsnRecordName(window_.data() + at, jr);
        ToIndexName(&name);  // the old name of a rename too: it must match the index
        ++stats.records_read;
        last_usn = jr.usn;
        last_length = jr.length;
        if (jr.reason & kUsnClose) ApplyClose(jr, name, &stats);
        else if (jr.reason & kUsnRenameOldName) rename_map_[IndexReferenceOf(jr.reference, drive_mount_bits_)] = name;
        if (Cancelled()) {
          stop = true;
          break;
        }
      }
    }
    if (pass.error && !stop) {
      Log("Change pass stopped: " + *pass.error);
      ok = false;
    }
    if (stats.records_read > 0) *next_usn = last_usn + last_length;
  }
  live_.EndPass();
  Log(std::to_string(stats.records_read) + " change records processed.");
  if (stats_out) *stats_out = stats;
  return ok;
}

// A record closing a change: the item as it is now goes to the index.
void NtfsVolumeScanner::ApplyClose(const UsnRecord& jr, const std::u16string& name, ChangePassStats* stats) {
  const uint64_t ref = IndexReferenceOf(jr.reference, drive_mount_bits_);
  ScanRecord r;
  r.reference = ref;
  r.parent_reference = ParentReference(jr.parent);
  r.is_folder = (jr.attributes & kFileAttributeDirectory) != 0;
  r.name = name;
  bool changed = (jr.reason & kUsnDataChange) != 0;
  if (jr.reason & kUsnFileCreate) {
    if (filter_.Excluded(r.name, r.is_folder, jr.reference, jr.parent, jr.attributes)) {
      ++stats->excluded;
      return;
    }
    QueryRecordInfo(ref, &r);
    listener_->AddRecord(r);
    ++stats->added;
    changed = false;  // the add already carries the current size and time
  } else if (jr.reason & kUsnRenameNewName) {
    ApplyRename(jr, &r, stats);
    changed = false;
  }
  if (changed && !(jr.reason & kUsnFileDelete)) {
    QueryRecordInfo(ref, &r, true);
    listener_->UpdateRecord(r, nullptr);
    ++stats->updated;
  }
  if (jr.reason & kUsnFileDelete) {
    listener_->DeleteRecord(r);
    ++stats->deleted;
    if (r.is_folder) filter_.Forget(NtfsRecordOf(jr.reference));
  }
}

// The new name of a rename (or move): renamed in place, dropped when moved where items
// are left out, or added when its old name was never seen.
void NtfsVolumeScanner::ApplyRename(const UsnRecord& jr, ScanRecord* r, ChangePassStats* stats) {
  if (r->is_folder) filter_.Clear();  // decisions below a moved folder may change
  std::optional<std::u16string> old_name;
  if (auto it = rename_map_.find(r->reference); it != rename_map_.end()) {
    old_name = std::move(it->second);
    rename_map_.erase(it);
  }
  const bool keep =
      !filter_.Excluded(r->name, r->is_folder, jr.reference, jr.parent, jr.attributes) && !(jr.reason & kUsnFileDelete);
  if (keep) QueryRecordInfo(r->reference, r);
  if (keep && old_name) {
    listener_->UpdateRecord(*r, &*old_name);
    ++stats->renamed;
  } else if (old_name) {  // moved where items are left out: drop it
    ScanRecord old = *r;
    old.name = *old_name;
    listener_->DeleteRecord(old);
    ++stats->deleted;
  } else {
    // The old name was read before this pass: the index knows the item under a name the
    // scanner does not, so it goes by its reference.
    listener_->DeleteByReference(*r);
    ++stats->deleted;
    if (keep) {
      listener_->AddRecord(*r);
      ++stats->added;
    }
  }
}

}  // namespace nusk
