// The trigram index of the name texts: for every run of three UTF-16 units that occurs in
// some stored (lower-cased) name text, the ascending list of the name rows whose text
// holds it. A search for a literal of three units or more then tests only the rows on
// the lists of all the literal's trigrams instead of every row: any row whose text holds
// the literal holds each of its trigrams, so no match is lost, and every candidate is
// still tested with the ordinary comparison.
//
// The trigrams are taken from the stored texts themselves, so they use exactly the case
// folding of the name scan (the stored texts are already folded, and queries are folded
// the same way before they are compared).
//
// Layout (little-endian), as one table of the search snapshot:
//   u64 E (number of trigrams)
//   E + 1 entries {u64 key, u64 offset}: keys ascending ((u0 << 32) | (u1 << 16) | u2),
//     offsets into the lists, non-decreasing; the last entry has key ~0 and the offset
//     of the end of the lists, so a list's bytes are offset[i] .. offset[i + 1]
//   the lists: row numbers, the first as is and each later one as its difference to the
//     one before (>= 1), each as an unsigned LEB128 varint.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "index/nusk_db.h"

namespace nusk {

inline uint64_t TrigramKey(const char16_t* t) {
  return (uint64_t{t[0]} << 32) | (uint64_t{t[1]} << 16) | uint64_t{t[2]};
}

// The table bytes for name rows [0, m) over text (rows[k].text_offset indexes it).
std::string BuildNameTrigrams(const NameRow* rows, uint32_t m, const char16_t* text);

// Gives `bytes` bytes of the table from offset `at`, or nullptr when they cannot be
// read (out of the table, or they failed their check).
using TrigramFetch = std::function<const char*(uint64_t at, uint64_t bytes)>;

// The rows (ascending) whose texts may hold every literal of `literals` (each of at least
// 3 units; shorter ones are ignored): the intersection of the lists of their trigrams.
// For speed only the shortest few lists are intersected; the caller tests every row.
// False when the table cannot be used (a fetch failed, or it does not hold together);
// the caller then tests every row of the name table.
bool TrigramCandidates(const std::vector<std::u16string>& literals, uint64_t table_bytes, uint32_t m,
                       const TrigramFetch& fetch, std::vector<uint32_t>* rows);

}  // namespace nusk
