// Sorting the result list by its columns: header clicks (with Ctrl as the add flag),
// Ctrl+1..9, the header arrows and writing the sort into the query.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "search/sort.h"

namespace nusk {

// The sort key id of a column (search/sort.h), or 0 for a column that cannot be sorted
// (initial direction 0: Type, Date created, Attributes, #).
uint32_t SortKeyOfColumn(int column);
// The column of a sort key id, or -1.
int ColumnOfSortKey(uint32_t key_id);

// The new keys after a click on column. nullopt: the column cannot be sorted (the window
// shows "This column does not support sorting" and keeps the current order).
// Without add: the only key flips when it is this column, otherwise the keys become this
// column alone in its initial direction. With add: a column already in the keys flips and
// moves to the end; a new one is appended in its initial direction.
std::optional<SortKeys> SortByColumn(const SortKeys& keys, int column, bool add);

// The header arrow of a column: 1 ascending, -1 descending, 0 none.
int SortArrow(const SortKeys& keys, int column);

// Whether the header menu offers "Use current sort order in the query": keys other than
// name ascending alone (and not none).
bool OffersSortInQuery(const SortKeys& keys);
// The search text with the keys written as a sort clause: replaces an existing "/sort"
// term (up to the next space) or adds the clause after a space.
std::u16string SortClauseForQuery(std::u16string_view search_text, const SortKeys& keys);

}  // namespace nusk
