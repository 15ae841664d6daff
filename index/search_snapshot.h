// The search snapshot "nusk.snap": the search form of NuskDb exactly as it lies in
// memory, written beside the database files so a later load maps it read-only instead
// of decoding every row.
//
// It is derived data and never trusted blindly. Its header holds the sizes and a 64-bit
// hash (XXH3) of each database file it came from ("nusk.frs", "nusk.nrs", "nusk.hid"),
// and a hash over the whole snapshot. A load uses it only when the database files it
// has just read have those sizes and hashes and the snapshot's own hash and layout hold;
// otherwise the files are decoded as before and the snapshot is written again (through
// "nusk.snap.tmp" and a move), so a missing, stale, truncated, damaged or foreign
// snapshot costs one ordinary load. The database files are not changed in any way.
//
// Layout (little-endian): a 256-byte header, then the tables of NuskDb one after another,
// each starting at a 64-byte boundary of the file: parents, times, sizes, name of item
// (u32 x N each), drives (u8 x N), references (u64 x N), name rows (NameRow x M), name
// text (UTF-16), case positions (bytes), hidden states (u8 x N, present when the header
// says so), drive labels (UTF-16, lengths in the header).
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/env.h"

namespace nusk {

class NuskDb;

inline constexpr char16_t kSnapName[] = u"nusk.snap";

// What a snapshot must agree with: the bytes of the three database files it came from.
struct SnapshotStamp {
  uint64_t size[3] = {};  // frs, nrs, hid
  uint64_t hash[3] = {};
  bool operator==(const SnapshotStamp&) const = default;
};

SnapshotStamp StampOf(std::string_view frs, std::string_view nrs, std::string_view hid);

class SearchSnapshot {
 public:
  // Points db's tables into the snapshot file of home when it matches stamp and holds
  // together; db keeps the view. False (db untouched) when it is missing or does not
  // match; the caller then decodes the database files.
  static bool Use(NuskDb* db, const std::u16string& home, const SnapshotStamp& stamp, Env* env);
  // The snapshot bytes of a loaded db (exposed for tests).
  static std::string Encode(const NuskDb& db, const SnapshotStamp& stamp);
  // Writes the snapshot of db beside its database files (".tmp", then a move). A failure
  // is not an error of the load: the next load decodes again.
  static void Write(const NuskDb& db, const std::u16string& home, const SnapshotStamp& stamp, Env* env);
};

// Loads the database of home and leaves a snapshot that matches it beside the files
// (writing one when the present one does not match). Used after a commit.
void RefreshSearchSnapshot(const std::u16string& home, Env* env);

}  // namespace nusk
