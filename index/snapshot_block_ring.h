// SnapshotBlockRing: the checked blocks of a search snapshot read on demand
// (SnapshotReads::kOnDemand), in a ring of fixed size.
//
// A use of a few bytes of a table (one parent, one name row, one name's text) gets the
// blocks that hold them side by side in the ring, read from the file and checked when
// they are not held already; the places are filled in turn, so the oldest blocks are
// overwritten first and the memory of a search stays the ring's, however many blocks it
// reads. A block is held while the place its slot names still records it as its owner.
// Find is the lookup of every such use, kept inline: paths of thousands of results ask
// for millions of small pieces. The filling is SearchSnapshot's (search_snapshot.cpp).
//
// A pointer into the ring is valid until the next block is read into it. Not thread-safe;
// the thread that uses the index.
#pragma once
#include <cstdint>
#include <vector>

namespace nusk {

struct SnapshotBlockRing {
  static constexpr uint64_t kBlock = 4096;  // bytes of a table per block (one block hash each)
  static constexpr int kTables = 10;        // the tables checked on first use: NuskTable bits 0..9

  // Bytes [at, at + bytes) of table t (bytes > 0) when the ring holds their block, else null.
  const char* Find(int t, uint64_t at, uint64_t bytes) const {
    const uint64_t b = at / kBlock;
    if ((at + bytes - 1) / kBlock != b) return nullptr;
    const uint64_t k = first_block[t] + b;
    const uint32_t place = slot[k];
    if (place == 0 || owner[place - 1] != k + 1) return nullptr;
    return places + (place - 1) * kBlock + (at - b * kBlock);
  }

  uint64_t first_block[kTables + 1] = {};  // table t: blocks first_block[t] .. first_block[t + 1] - 1
  char* places = nullptr;                  // `count` places of kBlock bytes (the cache's memory)
  uint32_t count = 0;
  uint32_t next = 0;             // the place filled next
  std::vector<uint32_t> slot;    // per block: 1 + the place it was last read into; 0: never read
  std::vector<uint64_t> owner;   // per place: 1 + the block it holds; 0: empty
  uint64_t reads[kTables] = {};  // per table: blocks read into the ring
  // Per table: the block after each of its last two reads (a read that starts at one reads ahead).
  uint64_t read_end[kTables][2] = {};
};

}  // namespace nusk
