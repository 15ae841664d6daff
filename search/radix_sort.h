// Sorting result arrays by precomputed integer keys.
//
// Sorting a result list by size, date or path is the slowest step of many searches;
// comparing through the index per comparison costs far more than reading one key per item
// once and ordering the keys with a radix sort (linear, no branches on the data).
#pragma once
#include <cstdint>
#include <vector>

namespace nusk {

// One result with its order: ascending by key, then by tie.
struct KeyedItem {
  uint64_t key;
  uint32_t tie;
  uint32_t item;
};

// Sorts ascending by (key, tie), stable. LSD radix over bytes; a byte that is equal in
// every entry costs no pass, so narrow keys sort in few passes. Uses a scratch copy.
void RadixSort(std::vector<KeyedItem>* v);

}  // namespace nusk
