// The result list's column registry, the `Columns` set and the column widths.
//
// A column is named everywhere by its id: its row in the fixed registry of twelve. The
// shown set is a list of ids in display order; widths are kept in the same order.
#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace nusk {

enum ColumnId : int {
  kColName = 0,
  kColPath,
  kColDate,
  kColType,
  kColSize,
  kColCreated,
  kColAttributes,
  kColExtension,
  kColFileCount,
  kColRowNumber,
  kColHash,
  kColDupCount,
};
inline constexpr int kColumnCount = 12;

// What a column needs beyond the index record (OR-ed into a mask).
enum ColumnNeeds : uint32_t {
  kNeedsNothing = 0,
  kNeedsTypeName = 1,
  kNeedsCreationTime = 2,
  kNeedsAttributes = 4,
  kNeedsFileCounts = 8,
  kNeedsHash = 16,
  kNeedsDupCount = 32,
};

struct ColumnInfo {
  int id;
  std::u16string_view code;           // "NAME" .. "DCNT"; the extension column is "EXT"
  std::u16string_view default_title;  // English title
  std::u16string_view title_key;      // "COL." + code
  int default_width;                  // pixels at 100 % zoom
  int initial_direction;              // 1 ascending, -1 descending, 0 not sortable
  bool right_aligned;
  uint32_t needs;  // ColumnNeeds
};

using ColumnIds = std::vector<int>;

// The registry row of id; id must be 0..11 (IsColumnId).
const ColumnInfo& Column(int id);
std::span<const ColumnInfo> AllColumns();
bool IsColumnId(int id);

// Name, Path, Size, Date modified: the set shown when `Columns` is absent.
ColumnIds DefaultColumns();

// The `Columns` text: pieces split at ',' and read as decimals; ids 0..11 are kept in
// order, anything else (99, "x", "") is ignored. A repeated id is kept once (the list
// cannot show one column twice). No valid id at all keeps `current`.
ColumnIds ParseColumns(std::u16string_view text, const ColumnIds& current);
// The ids joined by ',' ("0,1,4,2").
std::u16string ColumnsText(const ColumnIds& ids);

// The OR of the needs of the shown columns.
uint32_t ColumnsNeeds(const ColumnIds& ids);
// True when a shown column reads the content-hash tables (HASH or DCNT).
bool UsesHashColumns(const ColumnIds& ids);

// The header title in the current language table (English without one).
std::u16string ColumnTitle(int id);

// Header menu: removes a shown column, or appends one that is not shown. Keeps at least
// one column: removing the last one is refused (returns ids unchanged).
ColumnIds ToggleColumn(const ColumnIds& ids, int id);

// Widths for the shown columns from the `Lv_DynColWidths` text (display order, joined by
// ','). A missing, unreadable or implausible piece (not 1..10000) takes the column's
// default width, so a damaged value never leaves a column invisible.
std::vector<int> WidthsForColumns(std::u16string_view text, const ColumnIds& ids);
// The widths joined by ','.
std::u16string WidthsText(std::span<const int> widths);

// "Stretch columns to fill window": scales the widths so that they add up to
// client_width exactly, each keeping its share; no column drops below min_width (the
// total may then exceed client_width). client_width <= 0 returns the widths unchanged.
std::vector<int> StretchWidths(std::span<const int> widths, int client_width, int min_width = 20);

}  // namespace nusk
