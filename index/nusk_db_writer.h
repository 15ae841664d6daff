// NuskDbWriter: the writable form of the index, used by `build` and `clean`.
//
// Items are FileRecords held in a block pool (stable addresses, reused after deletes);
// distinct names are NameRecords in a NameTable keyed by NameKey (a build looks names up
// once per item, and hashing a key is far cheaper than a tree descent comparing UTF-16
// strings); the commit sorts the names once into key order, the file order. Folders are
// also in a hash map from reference to record so parents resolve to item indexes.
//
// Threads: one build thread mutates the writer. CommitIndex may instead run once on the
// console control thread: every operation takes the writer's mutex, and after a commit
// has started all mutators return false, so the written index is never changed under it.
#pragma once
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "index/folder_map.h"
#include "index/index_types.h"
#include "index/name_key.h"
#include "index/name_table.h"
#include "index/scan_record.h"
#include "index/status_sink.h"
#include "platform/env.h"
#include "util/status.h"

namespace nusk {

struct FileRecord {
  uint64_t reference = 0;
  uint64_t parent_reference = 0;  // 0 = none
  uint32_t item_index = kNoItem;  // row in the table as loaded, then as written
  CompactTime time = 0;
  uint32_t size = 0;  // size form
};

struct CommitOptions {
  // The build covered every drive: the header's last full build time becomes now.
  bool all_drives = false;
};

class NuskDbWriter {
 public:
  using NameTree = NameTable;  // unordered; see above

  NuskDbWriter();
  ~NuskDbWriter();
  NuskDbWriter(const NuskDbWriter&) = delete;
  NuskDbWriter& operator=(const NuskDbWriter&) = delete;

  // ---- Listener operations. False when nothing changed (not found, a bad name, or the
  // index is already being written). ----
  bool AddRecord(const ScanRecord& r);
  // New time and size for the first item of r's name with r's reference.
  bool UpdateRecord(const ScanRecord& r);
  // Removes the item under old_name, then adds r; false (and no change) when the old
  // item is not found.
  bool RenameRecord(const ScanRecord& r, std::u16string_view old_name);
  // Removes the first item of r's name with r's reference. Items below a removed folder
  // stay; they are written with parent none.
  bool DeleteRecord(const ScanRecord& r);
  // Removes the first item with this reference, whatever its name: for an item renamed
  // from a name nobody knows any more. Looks through every name of the kind, so it is
  // for rare events only.
  bool DeleteByReference(uint64_t reference, bool is_folder);
  // Removes every item of a volume: mount 0 takes the drive's own volume and every volume
  // mounted in a folder on it; mount m takes only that mounted volume. Returns the count.
  size_t ForgetVolume(char16_t letter, uint8_t mount);
  // Gives the drive (its own volume and every volume mounted on it) back exactly what
  // `from` holds: its items, its DriveState and the mount slots that name it. `from` must
  // be loaded from the same files as this writer, so restored items keep their loaded
  // item indexes (the hidden-items list follows them). For a drive whose scan stopped
  // part-way. Returns the number of items restored.
  size_t RestoreDrive(char16_t letter, const NuskDbWriter& from);
  // Marks the drive built and sets its last-build time to now.
  void DriveScanned(char16_t letter);
  // Before LoadIndexForWrite: the load leaves out every item of the drive (all its
  // volumes), giving the index ForgetVolume(letter, 0) right after the load would, without
  // building records only to drop them. For a drive about to be rescanned in full.
  void ForgetDriveOnLoad(char16_t letter) { forget_on_load_ = letter; }

  // ---- State blocks (the build reads and updates journal positions). Not locked: use
  // them from the build thread only, before a commit. ----
  DriveState& drive_state(int drive) { return drives_[drive]; }
  const DriveState& drive_state(int drive) const { return drives_[drive]; }
  MountState& mount_state(int slot) { return mounts_[slot]; }
  const MountState& mount_state(int slot) const { return mounts_[slot]; }

  size_t item_count() const { return item_count_; }
  size_t name_count() const { return names_.size(); }
  const NameTree& names() const { return names_; }
  CompactTime last_full_build() const;
  bool loaded() const { return loaded_; }
  bool written() const { return written_; }
  // Non-empty when the load found damaged files and set them aside (the message names
  // the file and the fault); the writer then starts empty.
  const std::string& damage() const { return damage_; }

 private:
  friend Status LoadIndexForWrite(NuskDbWriter*, const std::u16string&, Env*, IStatusSink*);
  friend Status CommitIndex(NuskDbWriter*, const CommitOptions&);
  friend class WriterLoader;
  friend class WriterCommitter;

  FileRecord* NewRecord();
  void FreeRecord(FileRecord* r);
  bool AddLocked(const ScanRecord& r);
  bool DeleteLocked(const ScanRecord& r);
  size_t ForgetLocked(char16_t letter, uint8_t mount);
  bool Frozen() const { return written_; }

  EncodedName scratch_;  // AddLocked's encoding buffer, reused so an add allocates nothing

  mutable std::mutex mu_;
  NameTree names_;
  FolderMap folders_;
  std::deque<FileRecord> pool_;  // stable storage for FileRecords
  std::vector<FileRecord*> free_records_;
  size_t item_count_ = 0;
  unsigned char header_[128] = {};
  DriveState drives_[kDriveCount];
  MountState mounts_[kMountSlots];
  // Items as loaded: a live record keeps its loaded item index until the commit, which
  // maps old indexes to new ones for the hidden-items list (freed records lose theirs).
  uint32_t loaded_count_ = 0;
  char16_t forget_on_load_ = 0;
  std::u16string home_;
  Env* env_ = nullptr;
  IStatusSink* sink_ = nullptr;
  bool loaded_ = false;
  bool written_ = false;
  Status commit_result_;
  std::string damage_;
};

// Loads "nusk.frs" and "nusk.nrs" from home into an empty writer (missing files give an
// empty index). Finishes an interrupted commit first. Damaged files are reported to the
// sink, moved aside (".bad") and the writer starts empty with damage() set; the result
// is still Ok then. Fails only when the files cannot be read or set aside; the writer
// is then not loaded and CommitIndex refuses to run. Call once, on the build thread.
Status LoadIndexForWrite(NuskDbWriter* writer, const std::u16string& home, Env* env, IStatusSink* sink = nullptr);

// Writes the index to the files of its home folder, crash-safely (db_files.h), and
// carries the hidden-items list over to the new item indexes. Runs at most once; a second
// call returns the first call's result. Fails when the writer was not loaded or any write
// or move failed; on failure the previous files stay in force (or, when the moves were
// already under way, the next load completes them). Safe to call from another thread.
Status CommitIndex(NuskDbWriter* writer, const CommitOptions& options = {});

}  // namespace nusk
