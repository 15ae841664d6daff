// Sorting result arrays by precomputed integer keys.
//
// Sorting a result list by size, date or path is the slowest step of many searches;
// comparing through the index per comparison costs far more than reading one key per item
// once and ordering the keys with a radix sort (linear, no branches on the data).
#pragma once
#include <cstdint>
#include <vector>

#include "platform/table_memory.h"

namespace nusk {

// One result with its order: ascending by key, then by tie.
struct KeyedItem {
  uint64_t key;
  uint32_t tie;
  uint32_t item;
};

// Keyed results: millions of entries for a whole-index sort, in table memory (huge pages
// where the system has them), so filling them costs a fault per 2 MiB, not per 4 KiB.
using KeyedItems = std::vector<KeyedItem, TableAllocator<KeyedItem>>;

// Sorts by (key, tie), ascending or descending, stable either way (entries with equal key
// and tie keep their order). Only the items are meaningful afterwards: keys and ties are
// rewritten on the way. Only the bits that some key (tie) sets are sorted on: when both
// fit in 64 bits together they form one key, sorted in digits of up to 11 bits; a digit
// that is equal in every entry costs no pass. Uses a scratch copy.
void RadixSort(KeyedItems* v, bool descending = false);

}  // namespace nusk
