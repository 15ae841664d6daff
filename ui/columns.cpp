#include "ui/columns.h"

#include <algorithm>

#include "l10n/mui.h"

namespace nusk {

namespace {

constexpr ColumnInfo kColumns[kColumnCount] = {
    {kColName, u"NAME", u"Name", u"COL.NAME", 250, 1, false, kNeedsNothing},
    {kColPath, u"PATH", u"Path", u"COL.PATH", 410, 1, false, kNeedsNothing},
    {kColDate, u"DATE", u"Date modified", u"COL.DATE", 115, -1, false, kNeedsNothing},
    {kColType, u"TYPE", u"Type", u"COL.TYPE", 140, 0, false, kNeedsTypeName},
    {kColSize, u"SIZE", u"Size", u"COL.SIZE", 105, -1, true, kNeedsNothing},
    {kColCreated, u"CDAT", u"Date created", u"COL.CDAT", 120, 0, false, kNeedsCreationTime},
    {kColAttributes, u"ATTR", u"Attributes", u"COL.ATTR", 80, 0, false, kNeedsAttributes},
    {kColExtension, u"EXT", u"Extension", u"COL.EXT", 65, 1, false, kNeedsNothing},
    {kColFileCount, u"FCNT", u"File count", u"COL.FCNT", 80, -1, true, kNeedsFileCounts},
    {kColRowNumber, u"RNUM", u"#", u"COL.RNUM", 60, 0, true, kNeedsNothing},
    {kColHash, u"HASH", u"Hash", u"COL.HASH", 76, -1, false, kNeedsHash},
    {kColDupCount, u"DCNT", u"Duplicate count", u"COL.DCNT", 96, -1, true, kNeedsDupCount},
};

// Splits at ',' and parses each piece as a whole decimal (blanks around it allowed);
// false for a piece that is not one.
template <typename Fn>
void ForEachPiece(std::u16string_view text, Fn fn) {
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(u',', start);
    if (end == std::u16string_view::npos) end = text.size();
    std::u16string_view piece = text.substr(start, end - start);
    while (!piece.empty() && piece.front() == u' ') piece.remove_prefix(1);
    while (!piece.empty() && piece.back() == u' ') piece.remove_suffix(1);
    int64_t value = 0;
    bool ok = !piece.empty() && piece.size() <= 9;
    for (char16_t c : piece) {
      if (c < u'0' || c > u'9') ok = false;
      else value = value * 10 + (c - u'0');
    }
    fn(ok, ok ? value : 0);
    start = end + 1;
  }
}

std::u16string JoinNumbers(std::span<const int> values) {
  std::u16string text;
  for (size_t i = 0; i < values.size(); ++i) {
    if (i) text += u',';
    for (char c : std::to_string(values[i])) text += char16_t(c);
  }
  return text;
}

}  // namespace

const ColumnInfo& Column(int id) { return kColumns[id]; }
std::span<const ColumnInfo> AllColumns() { return kColumns; }
bool IsColumnId(int id) { return id >= 0 && id < kColumnCount; }

ColumnIds DefaultColumns() { return {kColName, kColPath, kColSize, kColDate}; }

ColumnIds ParseColumns(std::u16string_view text, const ColumnIds& current) {
  ColumnIds ids;
  ForEachPiece(text, [&](bool ok, int64_t v) {
    if (ok && IsColumnId(int(v)) && std::find(ids.begin(), ids.end(), int(v)) == ids.end()) ids.push_back(int(v));
  });
  return ids.empty() ? current : ids;
}

std::u16string ColumnsText(const ColumnIds& ids) { return JoinNumbers(ids); }

uint32_t ColumnsNeeds(const ColumnIds& ids) {
  uint32_t needs = 0;
  for (int id : ids) {
    if (IsColumnId(id)) needs |= kColumns[id].needs;
  }
  return needs;
}

bool UsesHashColumns(const ColumnIds& ids) { return (ColumnsNeeds(ids) & (kNeedsHash | kNeedsDupCount)) != 0; }

std::u16string ColumnTitle(int id) {
  const ColumnInfo& c = kColumns[id];
  // The row-number column has no table entry: "#" reads the same in every language.
  if (id == kColRowNumber) return std::u16string(c.default_title);
  return Tr(c.title_key, std::u16string(c.default_title).c_str());
}

ColumnIds ToggleColumn(const ColumnIds& ids, int id) {
  ColumnIds out = ids;
  auto it = std::find(out.begin(), out.end(), id);
  if (it != out.end()) {
    if (out.size() > 1) out.erase(it);
  } else if (IsColumnId(id)) {
    out.push_back(id);
  }
  return out;
}

std::vector<int> WidthsForColumns(std::u16string_view text, const ColumnIds& ids) {
  std::vector<int> widths;
  for (int id : ids) widths.push_back(kColumns[id].default_width);
  size_t i = 0;
  if (text.empty()) return widths;
  ForEachPiece(text, [&](bool ok, int64_t v) {
    if (i < widths.size() && ok && v >= 1 && v <= 10000) widths[i] = int(v);
    ++i;
  });
  return widths;
}

std::u16string WidthsText(std::span<const int> widths) { return JoinNumbers(widths); }

std::vector<int> StretchWidths(std::span<const int> widths, int client_width, int min_width) {
  std::vector<int> out(widths.begin(), widths.end());
  if (client_width <= 0 || out.empty()) return out;
  int64_t total = 0;
  for (int w : out) total += std::max(w, 0);
  int64_t given = 0;
  for (size_t i = 0; i < out.size(); ++i) {
    int64_t share =
        total > 0 ? int64_t(std::max(out[i], 0)) * client_width / total : int64_t(client_width) / int64_t(out.size());
    out[i] = int(std::max<int64_t>(share, min_width));
    given += out[i];
  }
  // Rounding leaves a few pixels over: the last column takes them.
  if (given < client_width) out.back() += int(client_width - given);
  return out;
}

}  // namespace nusk
