// The search snapshot: encoding, checking and mapping (search_snapshot.h).
#include "index/search_snapshot.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "index/db_files.h"
#include "index/nusk_db.h"

#define XXH_INLINE_ALL
#include "xxhash.h"

static_assert(std::endian::native == std::endian::little,
              "the snapshot holds the tables in the host's little-endian form");

namespace nusk {

namespace {

constexpr char kMagic[8] = {'N', 'u', 's', 'k', 'S', 'n', 'a', 'p'};
constexpr uint32_t kVersion = 1;
constexpr size_t kHeader = 256;
constexpr size_t kAlign = 64;

// Header offsets.
enum : size_t {
  kOffVersion = 8,
  kOffRowSize = 12,    // sizeof(NameRow): a snapshot of another build's row layout is refused
  kOffStamp = 16,      // 3 sizes, 3 hashes (u64 each)
  kOffCounts = 64,     // n, f, m, fm (u32 each)
  kOffLastBuild = 80,  // u32
  kOffHasHide = 84,    // u32
  kOffTextUnits = 88,  // u64
  kOffCaseBytes = 96,  // u64
  kOffLabelUnits = 104,
  kOffHash = 120,          // u64: XXH3 of the header without this field, then the body
  kOffLabelLengths = 128,  // 26 x u32
};

enum Table { kParent, kTime, kSize, kNameOf, kDrive, kRef, kRows, kText, kCase, kHide, kLabels, kTables };

struct Layout {
  uint64_t off[kTables] = {};
  uint64_t end = 0;
};

Layout MakeLayout(uint64_t n, uint64_t m, uint64_t text_units, uint64_t case_bytes, bool has_hide,
                  uint64_t label_units) {
  const uint64_t bytes[kTables] = {
      4 * n,          4 * n, 4 * n, 4 * n, n, 8 * n, m * sizeof(NameRow), 2 * text_units, case_bytes, has_hide ? n : 0,
      2 * label_units};
  Layout l;
  uint64_t pos = kHeader;
  for (int t = 0; t < kTables; ++t) {
    pos = (pos + kAlign - 1) / kAlign * kAlign;
    l.off[t] = pos;
    pos += bytes[t];
  }
  l.end = pos;
  return l;
}

uint32_t Get32(const char* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
uint64_t Get64(const char* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}
void Put32(char* p, uint32_t v) { std::memcpy(p, &v, 4); }
void Put64(char* p, uint64_t v) { std::memcpy(p, &v, 8); }

uint64_t SnapshotHash(std::string_view bytes) {
  XXH3_state_t state;
  XXH3_64bits_reset(&state);
  XXH3_64bits_update(&state, bytes.data(), kOffHash);
  XXH3_64bits_update(&state, bytes.data() + kOffHash + 8, bytes.size() - kOffHash - 8);
  return XXH3_64bits_digest(&state);
}

}  // namespace

SnapshotStamp StampOf(std::string_view frs, std::string_view nrs, std::string_view hid) {
  SnapshotStamp s;
  const std::string_view files[3] = {frs, nrs, hid};
  for (int i = 0; i < 3; ++i) {
    s.size[i] = files[i].size();
    s.hash[i] = XXH3_64bits(files[i].data(), files[i].size());
  }
  return s;
}

std::string SearchSnapshot::Encode(const NuskDb& db, const SnapshotStamp& stamp) {
  const uint64_t n = db.n_, m = db.m_;
  const uint64_t text_units = m ? uint64_t{db.rows_[m - 1].text_offset} + db.rows_[m - 1].length + 1 : 0;
  uint64_t case_bytes = 0;
  for (uint64_t k = 0; k < m; ++k) case_bytes += db.rows_[k].case_count;
  uint64_t label_units = 0;
  for (const std::u16string& label : db.labels_) label_units += label.size();
  const bool has_hide = !db.hide_.empty();
  const Layout l = MakeLayout(n, m, text_units, case_bytes, has_hide, label_units);

  std::string out(l.end, '\0');
  char* h = out.data();
  std::memcpy(h, kMagic, 8);
  Put32(h + kOffVersion, kVersion);
  Put32(h + kOffRowSize, sizeof(NameRow));
  for (int i = 0; i < 3; ++i) {
    Put64(h + kOffStamp + 8 * i, stamp.size[i]);
    Put64(h + kOffStamp + 24 + 8 * i, stamp.hash[i]);
  }
  Put32(h + kOffCounts, db.n_);
  Put32(h + kOffCounts + 4, db.f_);
  Put32(h + kOffCounts + 8, db.m_);
  Put32(h + kOffCounts + 12, db.fm_);
  Put32(h + kOffLastBuild, db.last_full_build_);
  Put32(h + kOffHasHide, has_hide ? 1 : 0);
  Put64(h + kOffTextUnits, text_units);
  Put64(h + kOffCaseBytes, case_bytes);
  Put64(h + kOffLabelUnits, label_units);
  for (int d = 0; d < kDriveCount; ++d)
    Put32(h + kOffLabelLengths + 4 * d, static_cast<uint32_t>(db.labels_[d].size()));

  auto copy = [&](Table t, const void* src, uint64_t bytes) {
    if (bytes) std::memcpy(h + l.off[t], src, bytes);
  };
  copy(kParent, db.parent_, 4 * n);
  copy(kTime, db.time_, 4 * n);
  copy(kSize, db.size_, 4 * n);
  copy(kNameOf, db.name_of_, 4 * n);
  copy(kDrive, db.drive_, n);
  copy(kRef, db.ref_, 8 * n);
  copy(kRows, db.rows_, m * sizeof(NameRow));
  copy(kText, db.text_, 2 * text_units);
  copy(kCase, db.case_, case_bytes);
  if (has_hide) copy(kHide, db.hide_.data(), n);
  uint64_t at = l.off[kLabels];
  for (const std::u16string& label : db.labels_) {
    if (!label.empty()) std::memcpy(h + at, label.data(), 2 * label.size());
    at += 2 * label.size();
  }
  Put64(h + kOffHash, SnapshotHash(out));
  return out;
}

bool SearchSnapshot::Use(NuskDb* db, const std::u16string& home, const SnapshotStamp& stamp, Env* env) {
  const std::u16string path = DbPath(home, kSnapName, env);
  if (!env->FileExists(path)) return false;
  std::unique_ptr<FileView> view;
  if (!env->ViewWholeFile(path, &view).ok() || !view) return false;
  const std::string_view b = view->bytes();
  if (b.size() < kHeader || std::memcmp(b.data(), kMagic, 8) != 0) return false;
  const char* h = b.data();
  if (Get32(h + kOffVersion) != kVersion || Get32(h + kOffRowSize) != sizeof(NameRow)) return false;
  SnapshotStamp in;
  for (int i = 0; i < 3; ++i) {
    in.size[i] = Get64(h + kOffStamp + 8 * i);
    in.hash[i] = Get64(h + kOffStamp + 24 + 8 * i);
  }
  if (!(in == stamp)) return false;
  const uint32_t n = Get32(h + kOffCounts), f = Get32(h + kOffCounts + 4), m = Get32(h + kOffCounts + 8),
                 fm = Get32(h + kOffCounts + 12);
  const uint32_t has_hide = Get32(h + kOffHasHide);
  const uint64_t text_units = Get64(h + kOffTextUnits), case_bytes = Get64(h + kOffCaseBytes),
                 label_units = Get64(h + kOffLabelUnits);
  if (f > n || fm > m || has_hide > 1 || text_units > 0xFFFFFFFFull || case_bytes > 0xFFFFFFFFull ||
      label_units > b.size())
    return false;
  uint64_t label_sum = 0;
  for (int d = 0; d < kDriveCount; ++d) label_sum += Get32(h + kOffLabelLengths + 4 * d);
  if (label_sum != label_units) return false;
  const Layout l = MakeLayout(n, m, text_units, case_bytes, has_hide != 0, label_units);
  if (l.end != b.size() || Get64(h + kOffHash) != SnapshotHash(b)) return false;

  // Only reads go through these pointers: the view is mapped read-only.
  auto table = [&](Table t) { return const_cast<char*>(h + l.off[t]); };
  db->n_ = n;
  db->f_ = f;
  db->m_ = m;
  db->fm_ = fm;
  db->last_full_build_ = Get32(h + kOffLastBuild);
  db->parent_ = reinterpret_cast<uint32_t*>(table(kParent));
  db->time_ = reinterpret_cast<uint32_t*>(table(kTime));
  db->size_ = reinterpret_cast<uint32_t*>(table(kSize));
  db->name_of_ = reinterpret_cast<uint32_t*>(table(kNameOf));
  db->drive_ = reinterpret_cast<uint8_t*>(table(kDrive));
  db->ref_ = reinterpret_cast<uint64_t*>(table(kRef));
  db->rows_ = reinterpret_cast<NameRow*>(table(kRows));
  db->text_ = reinterpret_cast<char16_t*>(table(kText));
  db->case_ = reinterpret_cast<uint8_t*>(table(kCase));
  // The hidden states change while the index is shown, so they get their own copy.
  if (has_hide) db->hide_.assign(table(kHide), table(kHide) + n);
  const char16_t* label = reinterpret_cast<const char16_t*>(table(kLabels));
  for (int d = 0; d < kDriveCount; ++d) {
    const uint32_t len = Get32(h + kOffLabelLengths + 4 * d);
    db->labels_[d].assign(label, len);
    label += len;
  }
  db->snapshot_ = std::move(view);
  return true;
}

void SearchSnapshot::Write(const NuskDb& db, const std::u16string& home, const SnapshotStamp& stamp, Env* env) {
  const std::u16string path = DbPath(home, kSnapName, env);
  std::string bytes;
  try {
    bytes = Encode(db, stamp);
  } catch (const std::bad_alloc&) {
    env->RemoveFile(path);
    return;
  }
  // No flush: a snapshot that reaches the disk only in part fails its hash and is
  // written again.
  if (!env->WriteWholeFile(path + u".tmp", bytes, false).ok() || !env->RenameFile(path + u".tmp", path).ok()) {
    env->RemoveFile(path + u".tmp");
    env->RemoveFile(path);
  }
}

void RefreshSearchSnapshot(const std::u16string& home, Env* env) {
  NuskDb db;
  LoadNuskDb(&db, home, env);
}

}  // namespace nusk
