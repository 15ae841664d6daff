// Path order of folders as integers, so sorting by path compares two u32 per item
// instead of two ancestor chains.
//
// A folder's path is the chain of name indexes from its drive root down to itself, and
// paths order element by element with a prefix first. That order is a pre-order walk of
// the folder tree that visits siblings by name index; folders with equal chains (the same
// name under folders of equal chains) share one rank, so items in them tie on the path
// and fall to the name tie-break exactly as a chain comparison would.
#pragma once
#include <cstdint>
#include <vector>

namespace nusk {

// Rank of the empty chain: items without a parent sort before every other item.
inline constexpr uint32_t kNoParentRank = 0;

// Ranks of the folders 0 .. folder_count-1, numbered from 1 in path order.
// parents/names_of_items are the index's arrays (folder_count entries are read). Folders
// that no walk from a drive root reaches (damaged data: a parent that is a file, a cycle)
// share the rank folder_count + 1, after all others. Deep trees are walked without
// recursion and ordered by their full path. Pure; O(F) plus sorting of siblings whose
// name indexes are out of order.
std::vector<uint32_t> ComputeFolderPathRanks(const uint32_t* parents, const uint32_t* names_of_items,
                                             uint32_t folder_count);

}  // namespace nusk
