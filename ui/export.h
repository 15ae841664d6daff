// Exporting the result list to a CSV or a text file (UTF-8 with a byte-order mark).
//
// Every row is written whole, however long its path, and CSV values have their double
// quotes doubled, so every spreadsheet reads one row per item.
#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform/env.h"
#include "search/search_view.h"
#include "ui/cell_text.h"
#include "util/status.h"

namespace nusk {

// True when the file name ends with ".csv" in any case ('result.CSV').
bool IsCsvExportName(std::u16string_view file_name);

// "\"Name\",\"Path\",\"Size(KB)\",\"Date modified\"\r\n".
std::string CsvHeaderLine();
// One CSV line: each value in double quotes with its own double quotes doubled, joined
// by ',', ended by CR LF; UTF-8.
std::string CsvLine(std::u16string_view name, std::u16string_view path, std::u16string_view size_kb,
                    std::u16string_view date);
// The text form: the full path and CR LF; UTF-8.
std::string TextLine(std::u16string_view full_path);

struct ExportOptions {
  bool show_folder_size = false;  // folders write their folder total in the size column
  UtcOffsetFn utc_offset;         // null: UTC
};

// The whole file: the byte-order mark EF BB BF, then for CSV the header line and one line
// per row (name, parent path, size / 1024 truncated, local time "YYYY-MM-DD HH:MM"), or
// for text one full path per row. rows: item indexes in list order. Reads the index only
// (folder totals as computed by the window, see CellText).
std::string ExportBytes(const SearchView& view, std::span<const uint32_t> rows, bool csv, const ExportOptions& options);

// Writes ExportBytes to path (CSV when IsCsvExportName), replacing an existing file.
Status ExportList(Env* env, const std::u16string& path, const SearchView& view, std::span<const uint32_t> rows,
                  const ExportOptions& options);

}  // namespace nusk
