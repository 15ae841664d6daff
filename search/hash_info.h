// Per-item content-hash values and duplicate counts, from "nusk.hash".
//
// Hash value (u32) per item: 0 without hash; equal values mean equal content. A content
// hash shared by several items gives 0xF0000000 + g (g = 1, 2, ... in order of first
// appearance); one held by a single item gives R + its item index (R = record count); a
// record with an all-zero hash gives its record position. Duplicate count (u16): the
// number of items sharing the content when at least 2 (saturating at 65,535), else 0.
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

class HashInfo {
 public:
  // Fills the tables for the loaded index from home + "nusk.hash". A missing or empty
  // file gives all zeros and Ok. A damaged file gives all zeros and an error. Records whose
  // reference is not in the index, and repeated records of one item, are ignored.
  Status Load(const NuskDb& db, const std::u16string& home, Env* env = Env::Default());
  // The same from records already read (tests and the hashing tool).
  void Assign(const NuskDb& db, const std::vector<HashRecord>& records);

  // N entries (the index's item count), or 0 when the index has no items.
  size_t size() const { return values_.size(); }
  const uint32_t* values() const { return values_.empty() ? nullptr : values_.data(); }
  const uint16_t* counts() const { return counts_.empty() ? nullptr : counts_.data(); }
  uint32_t value(uint32_t item) const { return item < values_.size() ? values_[item] : 0; }
  uint16_t count(uint32_t item) const { return item < counts_.size() ? counts_[item] : 0; }

 private:
  std::vector<uint32_t> values_;
  std::vector<uint16_t> counts_;
};

}  // namespace nusk
