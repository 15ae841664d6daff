// NuskDb: the read-only search form of the index, used by the window, `find` and the web
// service.
//
// Structure of arrays indexed by item index (parents, times, sizes, drives, references,
// name of item), each allocated once with its final size, so chain walks and filters
// touch only the array they need. Names are rows in NameKey order over one UTF-16 text
// buffer; items 0 .. F-1 are the folders, and the items of name k are
// first(k) .. first(k) + count(k) - 1.
//
// Threads: no locks. One thread at a time; BuildPath/BuildLowerPath share one buffer and
// the derived tables (folder sizes, counts, ancestor cache, hide states) fill lazily.
#pragma once
#include <bit>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "index/index_types.h"
#include "index/snapshot_block_ring.h"
#include "index/status_sink.h"
#include "index/table_arena.h"
#include "platform/env.h"
#include "util/status.h"

namespace nusk {

// One distinct name. The text (lower-cased, NUL-terminated) starts at text_offset in the
// text buffer and the kind character sits in the unit just before it.
struct NameRow {
  uint32_t text_offset = 0;
  uint32_t case_offset = 0;  // into the case-position bytes; meaningful when case_count > 0
  uint32_t bits = 0;         // NameBits
  uint32_t first = 0;        // first item index
  uint32_t count = 0;        // number of items
  uint8_t wide = 0;
  uint8_t length = 0;
  uint8_t case_count = 0;
};

struct SnapshotState;

// How a load takes the tables of a search snapshot that matches (search_snapshot.h).
enum class SnapshotReads {
  // The snapshot is mapped: a table's pages come from the page cache when first used,
  // and stay shared with it. For programs that use every table (the window, the web service).
  kMapped,
  // The blocks of tables used piece by piece are read into a block cache of the process
  // (Env::MapWholeFileWithReads), the mapping touched only for tables used whole: for a
  // short process that uses a few blocks (console find), where touching the mapping
  // would also make the cached pages around each block resident.
  kOnDemand,
};

// The tables of NuskDb, one bit each (which tables a use needs checked).
enum NuskTable : uint32_t {
  kTabParent = 1u << 0,
  kTabTime = 1u << 1,
  kTabSize = 1u << 2,
  kTabNameOf = 1u << 3,
  kTabDrive = 1u << 4,
  kTabRef = 1u << 5,
  kTabRows = 1u << 6,
  kTabText = 1u << 7,
  kTabCase = 1u << 8,
  kTabTrigrams = 1u << 9,  // the trigram index of the name texts (snapshot only)
  kTabNameText = kTabRows | kTabText | kTabCase,
  kTabAll = (1u << 10) - 1,
};

class NuskDb {
 public:
  NuskDb();
  ~NuskDb();
  NuskDb(const NuskDb&) = delete;
  NuskDb& operator=(const NuskDb&) = delete;

  bool loaded() const { return loaded_; }
  // The tables were mapped from a search snapshot that matched the files and none of them
  // has failed its check so far (search_snapshot.h).
  bool from_snapshot() const;
  // Checks every table still unchecked now. Programs that read the index from several
  // threads (the window, the web service) call it right after loading: no check, and no
  // decode of a damaged table, then runs later beside another reader, and a damaged table
  // is replaced while the files it stood for are still there. Throws std::runtime_error
  // when a table is damaged and the files changed since the load.
  void CheckAllTables() const { Need(kTabAll); }
  uint32_t item_count() const { return n_; }          // N
  uint32_t folder_count() const { return f_; }        // F: items 0 .. F-1 are folders
  uint32_t name_count() const { return m_; }          // M
  uint32_t folder_name_count() const { return fm_; }  // FM: names 0 .. FM-1 are folders
  CompactTime last_full_build() const { return last_full_build_; }

  // ---- Items (i < item_count()) ----
  uint32_t Parent(uint32_t i) const { return Need(kTabParent), parent_[i]; }  // kNoItem for none
  CompactTime Time(uint32_t i) const { return Need(kTabTime), time_[i]; }
  uint32_t SizeForm(uint32_t i) const { return Need(kTabSize), size_[i]; }
  uint8_t Drive(uint32_t i) const { return Need(kTabDrive), drive_[i]; }
  uint64_t Reference(uint32_t i) const { return Need(kTabRef), ref_[i]; }
  uint32_t NameOf(uint32_t i) const { return Need(kTabNameOf), name_of_[i]; }
  bool IsFolder(uint32_t i) const { return i < f_; }
  // Raw arrays for hot loops (item_count() entries each).
  const uint32_t* parents() const { return Need(kTabParent), parent_; }
  const uint32_t* names_of_items() const { return Need(kTabNameOf), name_of_; }
  const uint8_t* drives() const { return Need(kTabDrive), drive_; }
  const uint32_t* times() const { return Need(kTabTime), time_; }
  const uint32_t* size_forms() const { return Need(kTabSize), size_; }

  // ---- Names (k < name_count()) ----
  const NameRow& Name(uint32_t k) const { return Need(kTabRows), rows_[k]; }
  const NameRow* name_rows() const { return Need(kTabRows), rows_; }
  // Lower-cased name text, without kind character or terminator.
  std::u16string_view NameText(uint32_t k) const {
    Need(kTabRows | kTabText);
    return {text_ + rows_[k].text_offset, rows_[k].length};
  }
  const char16_t* NameTextPtr(uint32_t k) const { return Need(kTabRows | kTabText), text_ + rows_[k].text_offset; }
  char16_t NameKind(uint32_t k) const { return Need(kTabRows | kTabText), text_[rows_[k].text_offset - 1]; }
  const uint8_t* CasePositions(uint32_t k) const {
    Need(kTabRows | kTabCase);
    return rows_[k].case_count ? case_ + rows_[k].case_offset : nullptr;
  }
  // The whole text buffer: name k's text starts at Name(k).text_offset.
  const char16_t* name_text() const { return Need(kTabText), text_; }

  // ---- Scans of every name row ----
  // A run of name rows and their texts, for a scan that tests every row once.
  struct NameRun {
    const NameRow* rows = nullptr;  // rows first .. first + count - 1 of the index
    uint32_t first = 0, count = 0;
    const char16_t* text = nullptr;  // text[u] is unit text_first + u of the text buffer
    uint64_t text_first = 0;
    bool Holds(uint32_t row) const { return row >= first && row - first < count; }
    const NameRow& Row(uint32_t row) const { return rows[row - first]; }
    const char16_t* Text(const NameRow& row) const { return text + (row.text_offset - text_first); }
  };
  // True when the names of a snapshot read on demand are not checked whole: a scan then
  // reads them in runs (ReadNameRun), each checked in the scan's own buffer, so the
  // scan's memory is its buffer, not the tables. Otherwise a scan uses WholeNameRun.
  bool NameRunsFromFile() const;
  // A run of rows from row `first` (< name_count()) and their texts, read from the
  // snapshot into *buffer and checked there. Only reads the file: any thread, several at
  // once. False when a read or a check fails; the scan then goes on with WholeNameRun on
  // the index's own thread, which decodes the files when the snapshot is damaged.
  bool ReadNameRun(uint32_t first, std::vector<uint64_t>* buffer, NameRun* run) const;
  // Every row, in the tables (checked whole first).
  NameRun WholeNameRun() const {
    Need(kTabRows | kTabText);
    return {rows_, 0, m_, text_, 0};
  }

  // ---- Single rows, for searches that test a few of them ----
  // As Name and NameTextPtr, but of a snapshot table only the blocks that hold this row
  // are checked (search_snapshot.h), not the whole table. The text is valid until the
  // next checked use of the index (NameRowChecked, NameTextChecked, BuildPath...).
  NameRow NameRowChecked(uint32_t k) const {
    NameRow row;
    std::memcpy(&row, CheckedBytes(kTabRows, uint64_t{k} * sizeof(NameRow), sizeof(NameRow)), sizeof(NameRow));
    return row;
  }
  const char16_t* NameTextChecked(uint32_t k) const;
  const char16_t* NameTextChecked(const NameRow& row) const;  // of a row of NameRowChecked
  // The name rows (ascending) that may hold every one of `literals` (lower-cased, each
  // of 3 units or more), from the trigram index of the snapshot: a superset of the rows
  // that do, each still to be tested. False when there is no usable trigram index (the
  // tables were decoded, or it failed its check); then every row must be tested.
  bool TrigramCandidateRows(const std::vector<std::u16string>& literals, std::vector<uint32_t>* rows) const;

  // ---- Paths and names ----
  // Full path in exact case, folders separated by '\'; with mark_folders a folder's path
  // ends with '\'. Paths of any depth are whole (the shared buffer grows to hold them).
  // The view points into that buffer and is valid until the next BuildPath/BuildLowerPath.
  std::u16string_view BuildPath(uint32_t item, bool mark_folders);
  // The same in stored (lower-case) spelling; a folder's path always ends with '\'.
  std::u16string_view BuildLowerPath(uint32_t item);
  // Folder whose '\'-separated path matches (case-insensitively for mapped letters);
  // kNoItem when a part does not exist.
  uint32_t FindFolderByPath(std::u16string_view path) const;
  // The item's drive root (the last item of its parent chain).
  uint32_t RootOf(uint32_t item) const;
  std::u16string ItemName(uint32_t item) const;
  // Bytes of the size form; a folder of size 0 gives its folder size once computed.
  uint64_t ItemSizeBytes(uint32_t item) const;
  // Text after the last '.' of a file's lower-cased name; empty for folders.
  std::u16string_view Extension(uint32_t item) const;
  const std::u16string& DriveLabel(char16_t letter) const;

  // ---- Derived tables (computed once per load) ----
  void ComputeFolderSizes();
  void ComputeFolderFileCounts();
  uint64_t FolderSize(uint32_t folder) const { return folder_sizes_.empty() ? 0 : folder_sizes_[folder]; }
  int32_t FolderFileCount(uint32_t folder) const { return folder_counts_.empty() ? 0 : folder_counts_[folder]; }

  // ---- Hidden states ----
  HideState GetHideState(uint32_t item) const {
    return hide_.empty() ? HideState::kShown : static_cast<HideState>(hide_[item]);
  }
  bool HasHideStates() const { return !hide_.empty(); }
  // Removed -> kRemoved, else kHidden; a folder passes the state to everything below it.
  void SetHideState(uint32_t item, bool removed);

  // ---- Ordering and trees ----
  // Name indexes of the item and its ancestors, root first, at any depth.
  std::vector<uint32_t> AncestorChain(uint32_t item);
  // Orders two items by the name chains of their parents (path order); <0, 0, >0.
  int CompareByAncestors(uint32_t a, uint32_t b);
  // Drive letters of all root items, in item order.
  const std::u16string& DriveListText();
  // Parent item index -> shown children below n, in index order; roots under kNoItem.
  std::map<uint32_t, std::vector<uint32_t>> ChildLists(uint32_t n) const;

 private:
  friend class NuskDbLoader;
  friend class SearchSnapshot;
  friend Status LoadNuskDb(NuskDb*, const std::u16string&, Env*, IStatusSink*, SnapshotReads);
  friend void UnloadNuskDb(NuskDb*);
  friend Status SaveHiddenList(NuskDb*);

  void Reset();
  // Tables mapped from a snapshot are checked against their hashes when first used: a
  // use of the tables in `tables` checks those not checked yet. A table that fails is
  // never read: the database files are decoded and every table taken from them.
  void Need(uint32_t tables) const {
    if (unchecked_ & tables) [[unlikely]]
      CheckSnapshotTables(tables);
  }
  void CheckSnapshotTables(uint32_t tables) const;  // search_snapshot.cpp
  // Bytes [at, at + bytes) of one table (a NuskTable bit), of a snapshot only the blocks
  // that hold them checked: in the table, or, of a snapshot read on demand, in its block
  // ring while the table has not been used whole. A failed check moves the table
  // pointers as Need does. The pointer is valid until the next use of CheckedBytes.
  const char* CheckedBytes(uint32_t table, uint64_t at, uint64_t bytes) const {
    if (unchecked_ & table) [[unlikely]] {
      if (ring_)
        if (const char* held = ring_->Find(std::countr_zero(table), at, bytes)) return held;
      if (const char* cached = CheckSnapshotBytes(table, at, bytes)) return cached;
    }
    return TableBytes(table) + at;
  }
  const char* CheckSnapshotBytes(uint32_t table, uint64_t at, uint64_t bytes) const;  // search_snapshot.cpp
  const char* TableBytes(uint32_t table) const {
    switch (table) {
      case kTabParent: return reinterpret_cast<const char*>(parent_);
      case kTabTime: return reinterpret_cast<const char*>(time_);
      case kTabSize: return reinterpret_cast<const char*>(size_);
      case kTabNameOf: return reinterpret_cast<const char*>(name_of_);
      case kTabDrive: return reinterpret_cast<const char*>(drive_);
      case kTabRef: return reinterpret_cast<const char*>(ref_);
      case kTabRows: return reinterpret_cast<const char*>(rows_);
      case kTabText: return reinterpret_cast<const char*>(text_);
      case kTabCase: return reinterpret_cast<const char*>(case_);
      default: return SnapshotTrigrams();
    }
  }
  const char* SnapshotTrigrams() const;  // search_snapshot.cpp; null without a snapshot
  uint32_t ParentChecked(uint32_t i) const {
    return *reinterpret_cast<const uint32_t*>(CheckedBytes(kTabParent, 4ull * i, 4));
  }
  uint32_t NameOfChecked(uint32_t i) const {
    return *reinterpret_cast<const uint32_t*>(CheckedBytes(kTabNameOf, 4ull * i, 4));
  }
  void CopyName(const NameRow& row, bool restore_case, size_t* pos);
  std::u16string_view BuildPathInto(uint32_t item, bool mark_folders, bool restore_case);
  const std::vector<uint32_t>& CachedChain(uint32_t folder);
  // Folder name k's key (without kind character) against v: <0, 0, >0 in key order.
  int CompareFolderKey(uint32_t k, std::u16string_view v) const;
  // The first folder name whose key is not below v.
  uint32_t FolderKeyBound(std::u16string_view v) const;

  uint32_t n_ = 0, f_ = 0, m_ = 0, fm_ = 0;
  CompactTime last_full_build_ = 0;
  // The item and name tables, all in one arena sized at load.
  TableArena tables_;
  // Or, after a load from a matching snapshot, the mapped snapshot they point into and
  // what checking its tables needs (search_snapshot.h). The table pointers may be moved
  // to decoded tables by a failed check, hence mutable.
  std::unique_ptr<SnapshotState> snapshot_;
  mutable uint32_t unchecked_ = 0;           // NuskTable bits of snapshot tables not checked yet
  const SnapshotBlockRing* ring_ = nullptr;  // of a snapshot read on demand: its blocks read so far
  mutable uint32_t *parent_ = nullptr, *time_ = nullptr, *size_ = nullptr, *name_of_ = nullptr;
  mutable uint8_t* drive_ = nullptr;
  mutable uint64_t* ref_ = nullptr;
  mutable NameRow* rows_ = nullptr;
  mutable char16_t* text_ = nullptr;
  mutable uint8_t* case_ = nullptr;
  std::vector<uint8_t> hide_;                       // empty until first needed
  std::vector<uint64_t> folder_sizes_;              // F entries once computed
  std::vector<int32_t> folder_counts_;              // F entries once computed
  std::vector<std::vector<uint32_t>> chain_cache_;  // per folder, empty until asked
  std::vector<uint8_t> chain_cached_;
  std::u16string labels_[kDriveCount];
  std::u16string drive_list_;
  bool drive_list_built_ = false;
  std::vector<char16_t> path_;  // built from its end; grows for deep paths
  std::u16string home_;
  Env* env_ = nullptr;
  bool loaded_ = false;
};

// Loads "nusk.frs", "nusk.nrs" and "nusk.hid" from home into db (unloading it first).
// Missing files give an empty index and Ok. Every count, index, length and position is
// checked against the file sizes: a damaged file fails with a message naming the file
// and the fault, db is left empty, and the caller must not present results as complete.
// An interrupted commit is resolved read-only (db_files.h). `reads`: how the tables of a
// matching search snapshot are taken.
Status LoadNuskDb(NuskDb* db, const std::u16string& home, Env* env, IStatusSink* sink = nullptr,
                  SnapshotReads reads = SnapshotReads::kMapped);

// Frees every table; db becomes empty and not loaded.
void UnloadNuskDb(NuskDb* db);

// Writes the items whose hidden state is not kShown to "nusk.hid" (through "nusk.hid.tmp");
// leaves the files alone when none is set or "nusk.hid" holds exactly these entries.
// Fails when db is not loaded or the write or move fails.
Status SaveHiddenList(NuskDb* db);

}  // namespace nusk
