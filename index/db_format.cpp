#include "index/db_format.h"

#include <algorithm>

#include "index/name_key.h"

namespace nusk::dbformat {

std::string CheckFrsSize(std::string_view head, uint64_t size, uint32_t* n) {
  *n = 0;
  if (size == 0) return {};
  if (size < kRowsOffset || head.size() < kRowsOffset)
    return "the file has " + std::to_string(size) + " bytes, fewer than its fixed header of " +
           std::to_string(kRowsOffset);
  const char* p = head.data();
  const uint32_t items = Get32(p + 4);
  uint64_t label_units = 0;
  for (int d = 0; d < kDriveCount; ++d) label_units += Get32(p + kHeaderSize + d * kStateBlockSize + 28);
  const uint64_t need = kRowsOffset + uint64_t{items} * kFileRowSize + 2 * label_units;
  if (size != need && size != need + kMountBlocksSize) {
    return "the file has " + std::to_string(size) + " bytes, but its header's " + std::to_string(items) +
           " items and " + std::to_string(label_units) + " label characters make " + std::to_string(need) + " bytes (" +
           std::to_string(need + kMountBlocksSize) + " with the mount table)";
  }
  *n = items;
  return {};
}

std::string CheckNrsSize(std::string_view head, uint64_t size, uint32_t* m) {
  *m = 0;
  if (size == 0) return {};
  if (size < 4 || head.size() < 4) return "the file has " + std::to_string(size) + " bytes, too few for its name count";
  const uint32_t names = Get32(head.data());
  // Each name has its row and a text of 1 (kind only) to 1 + 255 + 1 + 255 units of 1 or 2 bytes.
  const uint64_t least = 4 + uint64_t{names} * (kNameRowSize + 1);
  const uint64_t most = 4 + uint64_t{names} * (kNameRowSize + 2 * 512);
  if (size < least || size > most) {
    return "the file has " + std::to_string(size) + " bytes, but " + std::to_string(names) + " names need " +
           std::to_string(least) + " to " + std::to_string(most);
  }
  *m = names;
  return {};
}

std::string CheckHidSize(std::string_view head, uint64_t size) {
  if (size == 0) return {};
  if (size < 4 || head.size() < 4)
    return "the file has " + std::to_string(size) + " bytes, too few for its entry count";
  const uint64_t k = Get32(head.data());
  if (size < 4 + 4 * k || size > 4 + 5 * k) {
    return "the file has " + std::to_string(size) + " bytes, but " + std::to_string(k) + " entries need " +
           std::to_string(4 + 4 * k) + " to " + std::to_string(4 + 5 * k);
  }
  return {};
}

std::string CheckFrs(std::string_view bytes, FrsView* out) {
  *out = FrsView();
  if (bytes.empty()) return {};
  uint64_t size = bytes.size();
  if (size < kRowsOffset)
    return "the file has " + std::to_string(size) + " bytes, fewer than its fixed header of " +
           std::to_string(kRowsOffset);
  const char* p = bytes.data();
  uint32_t n = Get32(p + 4);
  uint64_t rows_end = kRowsOffset + uint64_t{n} * kFileRowSize;
  if (rows_end > size)
    return "the header promises " + std::to_string(n) + " items but the file holds only " +
           std::to_string((size - kRowsOffset) / kFileRowSize);
  uint64_t label_units = 0;
  for (int d = 0; d < kDriveCount; ++d) label_units += Get32(p + kHeaderSize + d * kStateBlockSize + 28);
  uint64_t pool_end = rows_end + 2 * label_units;
  if (pool_end > size) return "the drive labels run past the end of the file";
  uint64_t rest = size - pool_end;
  if (rest != 0 && rest < kMountBlocksSize) return "the mount table is truncated";
  if (rest > kMountBlocksSize)
    return std::to_string(rest - kMountBlocksSize) + " unexpected bytes follow the mount table";
  out->n = n;
  out->header = p;
  out->drives = p + kHeaderSize;
  out->rows = p + kRowsOffset;
  const char* pool = p + rows_end;
  for (int d = 0; d < kDriveCount; ++d) {
    uint32_t len = Get32(out->drives + d * kStateBlockSize + 28);
    out->labels[d].resize(len);
    for (uint32_t c = 0; c < len; ++c, pool += 2) out->labels[d][c] = static_cast<char16_t>(Get16(pool));
  }
  out->mounts = rest ? p + pool_end : nullptr;
  return {};
}

void DecodeDriveState(const char* b, DriveState* d) {
  d->journal_id = Get64(b);
  d->journal_next = Get64(b + 8);
  d->serial = Get32(b + 16);
  d->last_build = Get32(b + 20);
  d->built = b[32] != 0;
}

void EncodeDriveState(const DriveState& d, uint32_t label_start, char* b) {
  std::memset(b, 0, kStateBlockSize);
  Set64(b, d.journal_id);
  Set64(b + 8, d.journal_next);
  Set32(b + 16, d.serial);
  Set32(b + 20, d.last_build);
  Set32(b + 24, d.display_name.empty() ? 0 : label_start);
  Set32(b + 28, static_cast<uint32_t>(d.display_name.size()));
  b[32] = d.built ? 1 : 0;
}

void DecodeMountState(const char* b, MountState* m) {
  m->journal_id = Get64(b);
  m->journal_next = Get64(b + 8);
  size_t len = 0;
  while (len < 36 && b[33 + len] != 0) ++len;  // never past the 37-byte field
  m->volume_guid.assign(b + 33, len);
  m->mount_folder_ref = Get64(b + 70);
}

void EncodeMountState(const MountState& m, char* b) {
  std::memset(b, 0, kStateBlockSize);
  Set64(b, m.journal_id);
  Set64(b + 8, m.journal_next);
  std::memcpy(b + 33, m.volume_guid.data(), std::min<size_t>(m.volume_guid.size(), 36));
  Set64(b + 70, m.mount_folder_ref);
}

std::string ParentFault(uint32_t i, uint32_t p, uint32_t n) {
  if (p >= n)
    return "item " + std::to_string(i) + " has parent index " + std::to_string(p) + ", beyond the " +
           std::to_string(n) + " items";
  return "the parent of item " + std::to_string(i) + " is item " + std::to_string(p) + ", which is not a folder";
}

namespace {
// Compares two stored keys unit by unit (plain UTF-16 order, a prefix first). Narrow
// keys hold one byte per unit, so memcmp gives the same order for them.
int CompareKeys(const NameRaw& a, const NameRaw& b) {
  size_t na = a.KeyUnits(), nb = b.KeyUnits();
  size_t n = std::min(na, nb);
  if (!a.wide && !b.wide) {
    int c = std::memcmp(a.text, b.text, n);
    if (c != 0) return c;
  } else {
    for (size_t i = 0; i < n; ++i) {
      char16_t x = a.Unit(i), y = b.Unit(i);
      if (x != y) return x < y ? -1 : 1;
    }
  }
  return na == nb ? 0 : (na < nb ? -1 : 1);
}

std::string CheckNameText(const NameRaw& r) {
  char16_t kind = r.Kind();
  if (kind != u'1' && kind != u'2') return "has kind character " + std::to_string(kind) + " instead of 1 or 2";
  if (r.case_count == 0) return {};
  if (r.Unit(size_t{r.length} + 1) != 0x1F) return "lacks the mark before its case positions";
  for (size_t c = 0; c < r.case_count; ++c) {
    char16_t pos = r.Unit(size_t{r.length} + 2 + c);
    if (pos < 1 || pos > r.length)
      return "has case position " + std::to_string(pos) + " outside its " + std::to_string(r.length) + " characters";
  }
  return {};
}
}  // namespace

std::string CheckNrsRows(std::string_view bytes, uint32_t n, NrsLayout* out) {
  *out = NrsLayout();
  if (bytes.empty()) {
    if (n != 0) return "the file is empty but the file records list " + std::to_string(n) + " items";
    return {};
  }
  if (bytes.size() < 4) return "the file has " + std::to_string(bytes.size()) + " bytes, too few for its name count";
  const char* p = bytes.data();
  const uint64_t size = bytes.size();
  const uint32_t m = Get32(p);
  const uint64_t text_start = 4 + uint64_t{m} * kNameRowSize;
  if (text_start > size) return "the name count " + std::to_string(m) + " does not fit in the file";
  if (m == 0 && n != 0) return "the file has no names but the file records list " + std::to_string(n) + " items";
  uint64_t text_pos = text_start, units = 0, cases = 0;
  uint32_t prev_first = 0;
  const char* row = p + 4;
  for (uint32_t k = 0; k < m; ++k, row += kNameRowSize) {
    const uint32_t first = Get32(row + 4);
    const uint8_t wide = static_cast<uint8_t>(row[8]), length = static_cast<uint8_t>(row[9]),
                  case_count = static_cast<uint8_t>(row[10]);
    if (wide > 1 || first < prev_first || first >= n || (k == 0 && first != 0)) {
      std::string where = "name " + std::to_string(k) + " ";  // built only on a fault
      if (wide > 1) return where + "has wide flag " + std::to_string(wide);
      if (k == 0 && first != 0) return where + "starts at item " + std::to_string(first) + " instead of 0";
      if (first < prev_first) return where + "starts before the previous name";
      return where + "starts at item " + std::to_string(first) + ", beyond the " + std::to_string(n) + " items";
    }
    text_pos += (uint64_t{length} + 1 + (case_count ? uint64_t{case_count} + 1 : 0)) << wide;
    if (text_pos > size) return "name " + std::to_string(k) + " has its text past the end of the file";
    units += uint64_t{length} + 2;
    cases += case_count;
    prev_first = first;
  }
  if (text_pos != size) return std::to_string(size - text_pos) + " unexpected bytes follow the last name";
  out->m = m;
  out->rows = p + 4;
  out->texts = p + text_start;
  out->text_units = units;
  out->case_bytes = cases;
  return {};
}

bool NameReader::Fail(std::string what) {
  fault_ = "name " + std::to_string(k_) + " " + what;
  return false;
}

bool NameReader::Next(NameRaw* r) {
  if (k_ >= layout_.m || !fault_.empty()) return false;
  const char* row = layout_.rows + size_t{k_} * kNameRowSize;
  r->bits = Get32(row);
  r->first = Get32(row + 4);
  r->wide = row[8] != 0;
  r->length = static_cast<uint8_t>(row[9]);
  r->case_count = static_cast<uint8_t>(row[10]);
  r->count = (k_ + 1 < layout_.m ? Get32(row + kNameRowSize + 4) : n_) - r->first;
  r->text = text_;
  const char16_t kind = r->Kind();
  if (r->case_count != 0 || (kind != kFolderKind && kind != kFileKind)) {
    std::string fault = CheckNameText(*r);
    if (!fault.empty()) return Fail(std::move(fault));
  }
  if (k_ > 0 && CompareKeys(prev_, *r) >= 0) return Fail("is out of order");
  if (kind == kFolderKind) {
    if (fm_ != k_) return Fail("is a folder name after a file name");
    ++fm_;
  }
  text_ += r->KeyUnits() << (r->wide ? 1 : 0);
  prev_ = *r;
  ++k_;
  return true;
}

uint32_t NameReader::FolderItems() const {
  // The first item of the first file name, or all items when every name is a folder.
  return fm_ == layout_.m ? n_ : Get32(layout_.rows + size_t{fm_} * kNameRowSize + 4);
}

std::string CheckNrs(std::string_view bytes, uint32_t n, NrsSummary* out) {
  *out = NrsSummary();
  NrsLayout layout;
  std::string fault = CheckNrsRows(bytes, n, &layout);
  if (!fault.empty()) return fault;
  NameReader reader(layout, n);
  NameRaw r;
  while (reader.Next(&r)) {}
  if (!reader.fault().empty()) return reader.fault();
  out->m = layout.m;
  out->fm = reader.folder_names();
  out->f = reader.FolderItems();
  out->text_units = layout.text_units;
  out->case_bytes = layout.case_bytes;
  return {};
}

std::string CheckHid(std::string_view bytes, std::vector<HidEntry>* out) {
  out->clear();
  if (bytes.empty()) return {};
  if (bytes.size() < 4) return "the file has " + std::to_string(bytes.size()) + " bytes, too few for its entry count";
  uint64_t k = Get32(bytes.data());
  if (4 + 4 * k > bytes.size()) return "the entry count " + std::to_string(k) + " does not fit in the file";
  const char* idx = bytes.data() + 4;
  const char* states = idx + 4 * k;
  uint64_t have_states = bytes.size() - 4 - 4 * k;
  if (have_states > k) return std::to_string(have_states - k) + " unexpected bytes follow the states";
  out->reserve(k);
  for (uint64_t i = 0; i < k; ++i)
    out->push_back({Get32(idx + 4 * i), i < have_states ? static_cast<uint8_t>(states[i]) : uint8_t{1}});
  return {};
}

std::string EncodeHid(const std::vector<HidEntry>& entries) {
  std::string s;
  s.reserve(4 + 5 * entries.size());
  Put32(&s, static_cast<uint32_t>(entries.size()));
  for (const HidEntry& e : entries) Put32(&s, e.item);
  for (const HidEntry& e : entries) s.push_back(static_cast<char>(e.state));
  return s;
}

}  // namespace nusk::dbformat
