// Per-item content-hash values and duplicate counts, from "nusk.hash".
//
// Hash value (u32) per item: 0 without hash; equal values mean equal content. A content
// hash shared by several items gives 0xF0000000 + g (g = 1, 2, ... in order of first
// appearance); one held by a single item gives R + its item index (R = record count); a
// record with an all-zero hash gives its record position. Duplicate count (u16): the
// number of items sharing the content when at least 2 (saturating at 65,535), else 0.
//
// A record names its item by reference, but a walked drive numbers its items in walk
// order, so after a rebuild a reference can name another file. A record therefore counts
// only for a file that has the record's size and whose path check (ItemChecks, kept in the
// record's hashed field) equals the record's; otherwise it goes to the one file of the
// index with that size and check, or, when there is none, it is dropped as stale.
//
// Load runs on one thread; afterwards the tables are read-only and may be read from any
// thread until the next Load.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "index/nusk_db.h"
#include "platform/env.h"
#include "search/hash_file.h"
#include "util/status.h"

namespace nusk {

// The check of an item's place in the index: a 32-bit digest of its drive-rooted chain
// of names in exact case. Never 0 or 1, so it also serves as a record's "hashed" value.
class ItemChecks {
 public:
  explicit ItemChecks(const NuskDb& db);
  uint32_t operator()(uint32_t item) const;

 private:
  uint64_t NameDigest(uint32_t name) const;
  uint64_t Chain(uint64_t parent_chain, uint32_t item) const;

  const NuskDb& db_;
  std::vector<uint64_t> folder_chains_;  // per folder: the digest of its path
};

// What Assign did with the records.
struct HashMatchStats {
  uint32_t matched = 0;  // attached to the item at their reference
  uint32_t moved = 0;    // attached to the file with their path check and size elsewhere
  uint32_t stale = 0;    // no file matches them any more: left out
};

class HashInfo {
 public:
  // Fills the tables for the loaded index from home + "nusk.hash". A missing or empty
  // file gives all zeros and Ok. A damaged file gives all zeros and an error. Records
  // that match no file (above), records without hash and repeated records of one item
  // are ignored.
  Status Load(const NuskDb& db, const std::u16string& home, Env* env);
  // The same from records already read (tests and the hashing tool).
  void Assign(const NuskDb& db, const std::vector<HashRecord>& records);
  // How the records of the last Load or Assign met the index.
  const HashMatchStats& match() const { return match_; }

  // N entries (the index's item count), or 0 when the index has no items.
  size_t size() const { return values_.size(); }
  const uint32_t* values() const { return values_.empty() ? nullptr : values_.data(); }
  const uint16_t* counts() const { return counts_.empty() ? nullptr : counts_.data(); }
  uint32_t value(uint32_t item) const { return item < values_.size() ? values_[item] : 0; }
  uint16_t count(uint32_t item) const { return item < counts_.size() ? counts_[item] : 0; }

 private:
  std::vector<uint32_t> values_;
  std::vector<uint16_t> counts_;
  HashMatchStats match_;
};

}  // namespace nusk
