// The text of every result-list cell, computed on demand from the index record.
//
// The list never holds row texts: the window asks for the cells of visible rows only.
// Sizes follow the two formats of the list (KB, or human-readable); dates are local time
// through an injected UTC-offset function, so the rules are testable without a system
// time zone.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "index/index_types.h"
#include "search/search_view.h"

namespace nusk {

// The names sizes are written with. English by default; the window takes them from the
// language table (TableSizeUnits).
struct SizeUnits {
  std::u16string bytes = u"bytes";       // after a number below 1,024 ("512 bytes")
  std::u16string bytes_name = u"Bytes";  // the unit on its own, as a list offers it
  std::u16string kb = u"KB";
  std::u16string mb = u"MB";
  std::u16string gb = u"GB";
  std::u16string tb = u"TB";
};
const SizeUnits& EnglishSizeUnits();
// The units in the current language table (English without one).
SizeUnits TableSizeUnits();

// 1234567 -> "1,234,567".
std::u16string GroupDigits(uint64_t n);
// Bytes / 1024 rounded up, grouped, " KB": 1 -> "1 KB", 0 -> "0 KB".
std::u16string FormatSizeKb(uint64_t bytes, const SizeUnits& units = EnglishSizeUnits());
// Below 1,024: "%d bytes"; below 1,024,000: KB; below 2^30: MB; below 2^40: GB; else
// TB; the value is written with three decimals, then cut to two below 10, one below
// 100 and none below 1,024 ("1.50 KB", "20.0 KB", "500 KB"); from 1,024 TB on all three stay.
std::u16string FormatHumanSize(uint64_t bytes, const SizeUnits& units = EnglishSizeUnits());
std::u16string FormatSize(uint64_t bytes, bool human, const SizeUnits& units = EnglishSizeUnits());

// Offset of local time from UTC in seconds at a UTC instant (seconds since 1970). The
// window passes the system's time-zone rules; tests pass fixed offsets.
using UtcOffsetFn = std::function<int64_t(int64_t unix_seconds)>;

struct CivilTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};
// Seconds since 1970 of a CompactTime.
int64_t UnixSecondsFromCompactTime(CompactTime t);
// Calendar fields of t shifted by the local offset (a null offset function means UTC).
CivilTime LocalCivilTime(CompactTime t, const UtcOffsetFn& offset);
// "2024-03-05 07:08:09".
std::u16string DateTimeText(const CivilTime& t);
// "2024-03-05 07:08" (the export's form).
std::u16string DateMinuteText(const CivilTime& t);

// Attribute bits as the ATTR column writes them: one letter per set bit in the order
// R (read-only 0x1), H (hidden 0x2), S (system 0x4), D (folder 0x10), A (archive 0x20),
// T (temporary 0x100), C (compressed 0x800), O (offline 0x1000), E (encrypted 0x4000).
std::u16string AttributeText(uint32_t attributes);

// Details a row-details worker fetched for a row (shell type name, creation time,
// attributes); a missing detail leaves its cell empty.
struct RowDetails {
  std::u16string type_name;
  bool has_created = false;
  CompactTime created = 0;
  bool has_attributes = false;
  uint32_t attributes = 0;
};

struct CellOptions {
  bool show_folder_size = false;  // `ShowFolderSize`: folders show their folder total
  bool human_sizes = false;       // `HumanReadableSize`
  UtcOffsetFn utc_offset;         // null: UTC
  SizeUnits units;                // the names of the size units
};

// Full path of an item (folders joined by '\'), of any length: unlike NuskDb::BuildPath it
// never cuts long paths, so exports and copies keep every character.
std::u16string ItemFullPath(const NuskDb& db, uint32_t item);
// Full path of the item's parent folder; empty for a drive root.
std::u16string ParentPath(const NuskDb& db, uint32_t item);
// Extension as the EXT column shows it: the name's text after its last '.', in the name's
// own case; empty for folders and names without a '.'.
std::u16string ItemExtension(const NuskDb& db, uint32_t item);

// The text of one cell. row: the row's index in the list (RNUM shows row + 1); details:
// may be null. Size of a folder: its folder total only with show_folder_size, else empty.
// DATE: empty when the stored time is 0 (no time known). FCNT: folders only. HASH "%08X" and DCNT: only when the view has hash tables.
// Reads the index only: the per-folder totals must already exist (the window computes
// folder sizes when `ShowFolderSize` is on and file counts when the FCNT column is shown,
// while no search runs), because a search worker may be reading the index meanwhile.
std::u16string CellText(const SearchView& view, uint32_t item, int column, uint32_t row, const CellOptions& options,
                        const RowDetails* details);

}  // namespace nusk
