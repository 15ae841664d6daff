// The search snapshot "nusk.snap": the search form of NuskDb exactly as it lies in
// memory, written beside the database files so a later load maps it read-only instead
// of decoding every row.
//
// It is derived data and never trusted blindly. Its header records what the database
// files ("nusk.frs", "nusk.nrs", "nusk.hid") were when it was made:
// - where the system tells file identities (Env::IdentifyFile), each file's size, write
//   and change times, volume and file id, and a 64-bit hash (XXH3) of its first and last
//   4 KiB, so a file written in place within one clock tick is still caught when its
//   header or tail changed (the commit rewrites the header of "nusk.frs" and every file
//   ends in its last rows, labels or mount states). The files themselves are not read;
// - elsewhere, the size and the hash of each whole file, which every load then reads.
// A load uses the snapshot only when the files are those again and the header's own
// hash holds; otherwise the files are decoded and the snapshot written again (through
// "nusk.snap.tmp" and a move), so a missing, stale, truncated, damaged or foreign
// snapshot costs one ordinary load. The database files are not changed in any way.
//
// The tables are mapped lazily and each is hashed in blocks of 4 KiB; the block hashes
// follow the tables and are checked as a whole at load. A block is checked when NuskDb
// first uses it: a whole table when it is handed out (NuskDb::Need), or only the blocks
// of the rows and items a search touches (NuskDb::CheckedBytes), so a search that needs the
// names only never reads the times, sizes or references, and one answered by the trigram
// index reads a few blocks of the name rows and texts. A load may ask for reads on demand
// instead (SnapshotReads::kOnDemand, console find): the header, the block hashes, hidden
// states and labels are read at load rather than mapped; the blocks of a table used
// piece by piece (paths, trigram lists) are read (Env::MapWholeFileWithReads) into a ring
// of fixed size (snapshot_block_ring.h), each checked as it is read; a scan of every name
// reads the rows and texts in runs into a buffer of its own and checks them there
// (NuskDb::ReadNameRun); only a table used whole is checked in the mapping. So a search
// keeps the ring and its buffers resident, however many paths it prints, instead of the
// tables and the pages the system maps around each block it touches in a mapping. A read
// that fails or comes back short is a failed check. A block that fails its check is never
// read: the database files are decoded once more and every table is taken from them (and
// a fresh snapshot written), provided the files are still the ones the snapshot was made
// from; when they were replaced meanwhile, the use that needed the table fails with
// std::runtime_error and the index must be loaded again.
//
// Threads: checks (and the reads they make) run on one thread at a time, as every use
// of NuskDb does. A thread that reads a table beside another (the name scan's helper)
// is given it through a whole-table Need first, so nothing is read into what it reads,
// or reads its own runs of names from the file (ReadNameRun only reads).
//
// Layout (little-endian): a 512-byte header, then the tables of NuskDb one after another,
// each starting at a 64-byte boundary of the file: parents, times, sizes, name of item
// (u32 x N each), drives (u8 x N), references (u64 x N), name rows (NameRow x M), name
// text (UTF-16), case positions (bytes), the trigram index of the name texts
// (name_trigrams.h), hidden states (u8 x N, present when the header says so), drive
// labels (UTF-16, lengths in the header), then the block hashes (u64 per block of each
// table in turn, a table's extent including the padding after it). The block hashes
// are covered by a hash in the header, the header by its own: every byte is checked.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "index/db_files.h"
#include "index/nusk_db.h"
#include "index/snapshot_block_ring.h"
#include "platform/env.h"

namespace nusk {

inline constexpr char16_t kSnapName[] = u"nusk.snap";

// What a snapshot must agree with: the three database files it came from (frs, nrs, hid).
struct SnapshotStamp {
  uint32_t by_identity = 0;  // 1: identities + edge hashes; 0: sizes + whole-file hashes
  FileIdentity id[3];        // by_identity: all zero for a missing file; else only the size
  uint64_t hash[3] = {};
  bool operator==(const SnapshotStamp&) const = default;
};

// The stamp of the files' contents (sizes and whole-file hashes).
SnapshotStamp StampOf(std::string_view frs, std::string_view nrs, std::string_view hid);
// The stamp of the files' identities and edges. False when env tells no identities, or
// a file changed while it was examined; the caller then reads the files.
bool IdentityStampOf(const DbFileSet& files, Env* env, SnapshotStamp* stamp);

// Reads the database files of home (an interrupted commit resolved read-only) and
// decodes them into db. *stamp: the stamp of the files read, by identity when env tells
// them; *stamped false when it is not known (the files changed while they were read, or
// there is no database). With try_snapshot, a content stamp is first offered to the
// snapshot (taken as `reads` says), and *used_snapshot tells whether it stood in for
// decoding. (nusk_db_load.cpp)
Status ReadAndDecode(NuskDb* db, const std::u16string& home, Env* env, bool try_snapshot, SnapshotReads reads,
                     SnapshotStamp* stamp, bool* stamped, bool* used_snapshot);

// The memory of a snapshot read on demand: the bytes read at load (block hashes, hidden
// states, labels), then the places of the block ring (snapshot_block_ring.h). One block
// that asks for huge pages (AllocateTableMemory): a fresh small page costs a fault in
// every read into it, which would cost more than reading the block.
struct SnapshotBlockCache {
  SnapshotBlockCache() = default;
  SnapshotBlockCache(const SnapshotBlockCache&) = delete;
  SnapshotBlockCache& operator=(const SnapshotBlockCache&) = delete;
  ~SnapshotBlockCache();
  char* memory = nullptr;
  uint64_t capacity = 0;  // bytes
  SnapshotBlockRing ring;
};

// What NuskDb keeps of the snapshot its tables point into.
struct SnapshotState {
  static constexpr int kChecked = 10;  // the tables checked on first use: NuskTable bits 0..9
  std::unique_ptr<FileView> view;      // the whole file, mapped
  SnapshotStamp stamp;
  uint64_t off[kChecked + 1] = {};          // table t: bytes off[t] .. off[t + 1] of the file
  uint64_t first_block[kChecked + 1] = {};  // table t: block hashes first_block[t] ..
  const uint64_t* block_hash = nullptr;     // in the mapping or the cache, checked at load
  std::vector<uint8_t> block_ok;            // per block: 1 once its bytes in the mapping passed their check
  uint64_t partial_uses[kChecked] = {};     // per table: checks of a few of its bytes (mapped)
  uint64_t trigram_bytes = 0;
  // Reads on demand: the blocks of tables used piece by piece.
  std::unique_ptr<SnapshotBlockCache> cache;
  // After a failed check: the decoded files the tables now point into.
  std::unique_ptr<NuskDb> decoded;
};

class SearchSnapshot {
 public:
  // Points db's tables into the snapshot file of home when it matches stamp and its
  // header holds together; db keeps the view (mapped, or read on demand as `reads` says)
  // and checks each table on first use. False (db untouched) when it is missing, does
  // not match or cannot be read; the caller then decodes the database files.
  static bool Use(NuskDb* db, const std::u16string& home, const SnapshotStamp& stamp, Env* env, SnapshotReads reads);
  // Checks the unchecked tables among `tables` (NuskTable bits); see the file comment.
  static void Check(NuskDb* db, uint32_t tables);
  // Checks the blocks of one table (a NuskTable bit) that hold bytes [at, at + bytes).
  // Returns where the checked bytes are in the block cache (reads on demand), or null
  // when they are to be read in the table itself (checked there, or decoded).
  static const char* CheckBytes(NuskDb* db, uint32_t table, uint64_t at, uint64_t bytes);
  // NuskDb::ReadNameRun.
  static bool ReadNameRun(const NuskDb& db, uint32_t first, std::vector<uint64_t>* buffer, NuskDb::NameRun* run);
  // NuskDb::TrigramCandidateRows.
  static bool TrigramCandidates(const NuskDb& db, const std::vector<std::u16string>& literals,
                                std::vector<uint32_t>* rows);
  // The snapshot bytes of a loaded db (exposed for tests).
  static std::string Encode(const NuskDb& db, const SnapshotStamp& stamp);
  // Writes the snapshot of db beside its database files (".tmp", then a move). A failure
  // is not an error of the load: the next load decodes again.
  static void Write(const NuskDb& db, const std::u16string& home, const SnapshotStamp& stamp, Env* env);

 private:
  static void TakeDecodedTables(NuskDb* db);
};

// Deletes the snapshot of home. Windows refuses to delete or replace a file while a
// process maps it (a window or the web service holding the index) but lets it be
// renamed: such a snapshot is moved to the first of the set-aside names "nusk.snap.old1"
// .. "nusk.snap.old8" that is free or can be freed, and deleted by a later call once no
// process maps it. Set-aside snapshots that can be deleted now are deleted. Fails when
// the snapshot is still in place.
Status RemoveSearchSnapshot(const std::u16string& home, Env* env);
inline constexpr int kSnapSetAsideSlots = 8;
// "nusk.snap.old<slot>", slot 1 .. kSnapSetAsideSlots.
std::u16string SetAsideSnapshotName(int slot);

// Places in the block ring of later loads read on demand (0: the default, 1,024). Tests
// use a small ring to see blocks overwritten and read again.
void SetSnapshotRingPlaces(uint32_t places);

// Loads the database of home and leaves a snapshot that matches it beside the files
// (writing one when the present one does not match). Used after a commit.
void RefreshSearchSnapshot(const std::u16string& home, Env* env);

}  // namespace nusk
