#include "ui/cell_text.h"

#include <algorithm>
#include <cstdio>

#include "index/nusk_db.h"
#include "l10n/mui.h"
#include "ui/columns.h"
#include "util/utf.h"

namespace nusk {

namespace {

// Groups the leading run of digits of an ASCII number text: "1234.500" -> "1,234.500".
std::string GroupLeadingDigits(const std::string& text) {
  size_t digits = 0;
  while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
  std::string out;
  for (size_t i = 0; i < digits; ++i) {
    if (i && (digits - i) % 3 == 0) out += ',';
    out += text[i];
  }
  return out + text.substr(digits);
}

std::u16string Ascii(const std::string& s) { return std::u16string(s.begin(), s.end()); }

// Days since 1970-01-01 to a calendar date (proleptic Gregorian).
void CivilFromDays(int64_t z, int* y, int* m, int* d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  *d = int(doy - (153 * mp + 2) / 5 + 1);
  *m = int(mp < 10 ? mp + 3 : mp - 9);
  *y = int(yoe + era * 400 + (*m <= 2));
}

std::u16string DecimalText(int64_t v) { return Ascii(std::to_string(v)); }

}  // namespace

std::u16string GroupDigits(uint64_t n) { return Ascii(GroupLeadingDigits(std::to_string(n))); }

const SizeUnits& EnglishSizeUnits() {
  static const SizeUnits english;
  return english;
}

SizeUnits TableSizeUnits() {
  SizeUnits units;
  units.bytes = Tr(u"LBL.SIZE_BYTES", u"bytes");
  units.bytes_name = Tr(u"LBL.BYTES", u"Bytes");
  units.kb = Tr(u"LBL.KB", u"KB");
  units.mb = Tr(u"LBL.MB", u"MB");
  units.gb = Tr(u"LBL.GB", u"GB");
  units.tb = Tr(u"LBL.TB", u"TB");
  return units;
}

std::u16string FormatSizeKb(uint64_t bytes, const SizeUnits& units) {
  return GroupDigits(bytes / 1024 + (bytes % 1024 != 0)) + u" " + units.kb;
}

std::u16string FormatHumanSize(uint64_t bytes, const SizeUnits& units) {
  if (bytes < 1024) return DecimalText(int64_t(bytes)) + u" " + units.bytes;
  // KB ends at 1,024,000 rather than 1,048,576, so no KB text reaches four digits.
  struct Unit {
    uint64_t below;
    double divisor;
    const std::u16string* name;
  };
  const Unit kUnits[] = {
      {1024000ull, 1024.0, &units.kb},
      {1073741824ull, 1048576.0, &units.mb},
      {1099511627776ull, 1073741824.0, &units.gb},
      {UINT64_MAX, 1099511627776.0, &units.tb},
  };
  const Unit* unit = &kUnits[3];
  for (const Unit& u : kUnits) {
    if (bytes < u.below) {
      unit = &u;
      break;
    }
  }
  const double x = double(bytes) / unit->divisor;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%0.3f", x);
  std::string text = GroupLeadingDigits(buf);
  size_t cut = x < 10 ? 1 : x < 100 ? 2 : x < 1024 ? 4 : 0;
  text.resize(text.size() - std::min(cut, text.size()));
  return Ascii(text) + u" " + *unit->name;
}

std::u16string FormatSize(uint64_t bytes, bool human, const SizeUnits& units) {
  return human ? FormatHumanSize(bytes, units) : FormatSizeKb(bytes, units);
}

int64_t UnixSecondsFromCompactTime(CompactTime t) {
  // FILETIME seconds of 1970-01-01.
  return int64_t(FileTimeFromCompactTime(t) / 10000000ull) - 11644473600ll;
}

CivilTime LocalCivilTime(CompactTime t, const UtcOffsetFn& offset) {
  int64_t s = UnixSecondsFromCompactTime(t);
  if (offset) s += offset(s);
  int64_t days = s >= 0 ? s / 86400 : (s - 86399) / 86400;
  int64_t rest = s - days * 86400;
  CivilTime c;
  CivilFromDays(days, &c.year, &c.month, &c.day);
  c.hour = int(rest / 3600);
  c.minute = int(rest / 60 % 60);
  c.second = int(rest % 60);
  return c;
}

std::u16string DateTimeText(const CivilTime& t) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%02d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
  return Ascii(buf);
}

std::u16string DateMinuteText(const CivilTime& t) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%02d-%02d-%02d %02d:%02d", t.year, t.month, t.day, t.hour, t.minute);
  return Ascii(buf);
}

std::u16string AttributeText(uint32_t attributes) {
  static constexpr struct {
    uint32_t bit;
    char16_t letter;
  } kLetters[] = {{0x1, u'R'},   {0x2, u'H'},   {0x4, u'S'},    {0x10, u'D'},  {0x20, u'A'},
                  {0x100, u'T'}, {0x800, u'C'}, {0x1000, u'O'}, {0x4000, u'E'}};
  std::u16string text;
  for (const auto& l : kLetters) {
    if (attributes & l.bit) text += l.letter;
  }
  return text;
}

std::u16string ItemFullPath(const NuskDb& db, uint32_t item) {
  if (item >= db.item_count()) return {};
  std::vector<uint32_t> chain;
  // A damaged parent table could loop; no real path is deeper than the item count.
  for (uint32_t cur = item; cur != kNoItem && chain.size() <= db.item_count(); cur = db.Parent(cur)) {
    chain.push_back(cur);
    if (db.Parent(cur) == cur) break;
  }
  std::u16string path;
  for (size_t i = chain.size(); i-- > 0;) {
    path += db.ItemName(chain[i]);
    if (i) path += u'\\';
  }
  return path;
}

std::u16string ParentPath(const NuskDb& db, uint32_t item) {
  if (item >= db.item_count()) return {};
  const uint32_t parent = db.Parent(item);
  if (parent == kNoItem || parent == item) return {};
  return ItemFullPath(db, parent);
}

std::u16string ItemExtension(const NuskDb& db, uint32_t item) {
  if (item >= db.item_count() || db.IsFolder(item)) return {};
  std::u16string name = db.ItemName(item);
  size_t dot = name.rfind(u'.');
  return dot == std::u16string::npos ? std::u16string() : name.substr(dot + 1);
}

std::u16string CellText(const SearchView& view, uint32_t item, int column, uint32_t row, const CellOptions& options,
                        const RowDetails* details) {
  NuskDb& db = view.db();
  if (item >= db.item_count()) return {};
  switch (column) {
    case kColName: return db.ItemName(item);
    case kColPath: return ParentPath(db, item);
    case kColDate:
      // A stored time of 0 means the scanner had none (folders of some file systems, drive
      // roots): an empty cell, not the first second of the time scale.
      if (db.Time(item) == 0) return {};
      return DateTimeText(LocalCivilTime(db.Time(item), options.utc_offset));
    case kColType: return details ? details->type_name : std::u16string();
    case kColSize:
      if (!db.IsFolder(item))
        return FormatSize(BytesFromSizeForm(db.SizeForm(item)), options.human_sizes, options.units);
      if (!options.show_folder_size) return {};
      return FormatSize(db.FolderSize(item), options.human_sizes, options.units);
    case kColCreated:
      if (!details || !details->has_created) return {};
      return DateTimeText(LocalCivilTime(details->created, options.utc_offset));
    case kColAttributes:
      return details && details->has_attributes ? AttributeText(details->attributes) : std::u16string();
    case kColExtension: return ItemExtension(db, item);
    case kColFileCount:
      if (!db.IsFolder(item)) return {};
      return GroupDigits(uint64_t(std::max(db.FolderFileCount(item), 0)));
    case kColRowNumber: return GroupDigits(uint64_t(row) + 1);
    case kColHash: {
      if (!view.hash_values) return {};
      char buf[16];
      std::snprintf(buf, sizeof buf, "%08X", unsigned(view.hash_values[item]));
      return Ascii(buf);
    }
    case kColDupCount: return view.dup_counts ? DecimalText(view.dup_counts[item]) : std::u16string();
    default: return {};
  }
}

}  // namespace nusk
