// The search snapshot: stamping, encoding, checking and mapping (search_snapshot.h).
#include "index/search_snapshot.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstdint>
#include <cstring>
#include <stdexcept>

#include "index/name_trigrams.h"
#include "platform/file_stream.h"
#include "platform/table_memory.h"
#include "util/utf.h"

#define XXH_INLINE_ALL
#include "xxhash.h"

static_assert(std::endian::native == std::endian::little,
              "the snapshot holds the tables in the host's little-endian form");

namespace nusk {

namespace {

constexpr char kMagic[8] = {'N', 'u', 's', 'k', 'S', 'n', 'a', 'p'};
constexpr uint32_t kVersion = 3;
constexpr size_t kHeader = 512;
constexpr size_t kAlign = 64;
constexpr uint64_t kBlock = 4096;  // bytes of a table per block hash
constexpr size_t kEdge = 4096;     // bytes hashed at each end of a database file stamped by identity

// Header offsets.
enum : size_t {
  kOffVersion = 8,
  kOffRowSize = 12,     // sizeof(NameRow): a snapshot of another build's row layout is refused
  kOffByIdentity = 16,  // u32
  kOffHasHide = 20,     // u32
  kOffStamp = 24,       // per file: size, write time, change time, volume, file id, hash (u64 each)
  kOffCounts = 168,     // n, f, m, fm (u32 each)
  kOffLastBuild = 184,  // u32
  kOffTextUnits = 192,  // u64
  kOffCaseBytes = 200,  // u64
  kOffLabelUnits = 208,
  kOffHash = 216,          // u64: XXH3 of the header without this field
  kOffLabelLengths = 224,  // 26 x u32
  kOffTrigramBytes = 328,  // u64
  kOffBlocksHash = 336,    // u64: XXH3 of the block hashes
  kOffHeaderEnd = 344,
};

// The tables in file order; the first SnapshotState::kChecked are the NuskTable bits.
// kBlocks, the hashes of every block of the tables before it, comes last.
enum Table {
  kParent,
  kTime,
  kSize,
  kNameOf,
  kDrive,
  kRef,
  kRows,
  kText,
  kCase,
  kTrigrams,
  kHide,
  kLabels,
  kBlocks,
  kTables
};
static_assert(kHide == SnapshotState::kChecked && kTabAll == (1u << kHide) - 1 && kTabTrigrams == 1u << kTrigrams);
static_assert(kOffHeaderEnd <= kHeader);

struct Layout {
  uint64_t off[kTables + 1] = {};          // off[kTables]: the end of the file
  uint64_t first_block[kBlocks + 1] = {};  // index of each table's first block hash
};

// A table's extent runs to the next table (its padding included) and is hashed in blocks
// of kBlock bytes, the last one shorter.
Layout MakeLayout(uint64_t n, uint64_t m, uint64_t text_units, uint64_t case_bytes, bool has_hide, uint64_t label_units,
                  uint64_t trigram_bytes) {
  const uint64_t bytes[kBlocks] = {4 * n,
                                   4 * n,
                                   4 * n,
                                   4 * n,
                                   n,
                                   8 * n,
                                   m * sizeof(NameRow),
                                   2 * text_units,
                                   case_bytes,
                                   trigram_bytes,
                                   has_hide ? n : 0,
                                   2 * label_units};
  Layout l;
  uint64_t pos = kHeader;
  for (int t = 0; t <= kBlocks; ++t) {
    pos = (pos + kAlign - 1) / kAlign * kAlign;
    l.off[t] = pos;
    if (t < kBlocks) pos += bytes[t];
  }
  for (int t = 0; t < kBlocks; ++t)
    l.first_block[t + 1] = l.first_block[t] + (l.off[t + 1] - l.off[t] + kBlock - 1) / kBlock;
  l.off[kTables] = l.off[kBlocks] + 8 * l.first_block[kBlocks];
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

uint64_t HeaderHash(const char* h) {
  XXH3_state_t state;
  XXH3_64bits_reset(&state);
  XXH3_64bits_update(&state, h, kOffHash);
  XXH3_64bits_update(&state, h + kOffHash + 8, kHeader - kOffHash - 8);
  return XXH3_64bits_digest(&state);
}

// Bytes in block b of a table whose extent (with the padding after it) is `extent`.
uint64_t BlockBytes(uint64_t extent, uint64_t b) { return std::min(kBlock, extent - b * kBlock); }

// Block b of a table that starts at `table`.
uint64_t BlockHash(const char* table, uint64_t extent, uint64_t b) {
  return XXH3_64bits(table + b * kBlock, BlockBytes(extent, b));
}

// Places in the block ring (snapshot_block_ring.h): the folders along the paths of the
// results stay held between a few rounds of the ring, and a search that prints many
// paths keeps this much memory of blocks however many it reads.
constexpr uint64_t kRingBlocks = 1024;
std::atomic<uint32_t> g_ring_places{0};  // SetSnapshotRingPlaces
// Blocks read at once when a table is read in order (the names and items of results).
constexpr uint64_t kReadAhead = 8;
// A table whose blocks were read into the ring this many times over is used in order
// too rarely for the ring: it is checked whole, in the mapping.
constexpr uint64_t kRereadLimit = 4;

// XXH3 of the first and the last kEdge bytes of a file (the whole file when shorter).
bool EdgeHash(const std::u16string& path, uint64_t size, Env* env, uint64_t* hash) {
  std::unique_ptr<FileStream> file = env->OpenFileStream(path, nullptr);
  if (!file) return false;
  std::string buf;
  auto read = [&](uint64_t at, size_t bytes) {
    const size_t had = buf.size();
    buf.resize(had + bytes);
    size_t done = 0;
    while (done < bytes) {
      const int64_t got = file->ReadAt(at + done, buf.data() + had + done, bytes - done);
      if (got <= 0) return false;
      done += static_cast<size_t>(got);
    }
    return true;
  };
  const bool ok = size <= 2 * kEdge ? read(0, static_cast<size_t>(size)) : read(0, kEdge) && read(size - kEdge, kEdge);
  *hash = XXH3_64bits(buf.data(), buf.size());
  return ok;
}

bool IdentifyOnce(const DbFileSet& files, Env* env, SnapshotStamp* s) {
  const std::u16string* paths[3] = {&files.frs, &files.nrs, &files.hid};
  *s = {};
  s->by_identity = 1;
  for (int i = 0; i < 3; ++i) {
    if (!env->FileExists(*paths[i])) continue;  // all zero: missing
    if (!env->IdentifyFile(*paths[i], &s->id[i])) return false;
    if (!EdgeHash(*paths[i], s->id[i].size, env, &s->hash[i])) return false;
  }
  return true;
}

}  // namespace

SnapshotStamp StampOf(std::string_view frs, std::string_view nrs, std::string_view hid) {
  SnapshotStamp s;
  const std::string_view files[3] = {frs, nrs, hid};
  for (int i = 0; i < 3; ++i) {
    s.id[i].size = files[i].size();
    s.hash[i] = XXH3_64bits(files[i].data(), files[i].size());
  }
  return s;
}

bool IdentityStampOf(const DbFileSet& files, Env* env, SnapshotStamp* stamp) {
  // The edges are read between two looks at the identities: a file replaced meanwhile
  // shows another identity the second time.
  SnapshotStamp again;
  return IdentifyOnce(files, env, stamp) && IdentifyOnce(files, env, &again) && again == *stamp;
}

std::string SearchSnapshot::Encode(const NuskDb& db, const SnapshotStamp& stamp) {
  const uint64_t n = db.n_, m = db.m_;
  const uint64_t text_units = m ? uint64_t{db.rows_[m - 1].text_offset} + db.rows_[m - 1].length + 1 : 0;
  uint64_t case_bytes = 0;
  for (uint64_t k = 0; k < m; ++k) case_bytes += db.rows_[k].case_count;
  uint64_t label_units = 0;
  for (const std::u16string& label : db.labels_) label_units += label.size();
  const bool has_hide = !db.hide_.empty();
  const std::string trigrams = BuildNameTrigrams(db.rows_, db.m_, db.text_);
  const Layout l = MakeLayout(n, m, text_units, case_bytes, has_hide, label_units, trigrams.size());

  std::string out(l.off[kTables], '\0');
  char* h = out.data();
  std::memcpy(h, kMagic, 8);
  Put32(h + kOffVersion, kVersion);
  Put32(h + kOffRowSize, sizeof(NameRow));
  Put32(h + kOffByIdentity, stamp.by_identity);
  for (int i = 0; i < 3; ++i) {
    const FileIdentity& id = stamp.id[i];
    const uint64_t fields[6] = {id.size, id.write_time, id.change_time, id.volume, id.file_id, stamp.hash[i]};
    for (int k = 0; k < 6; ++k) Put64(h + kOffStamp + 48 * i + 8 * k, fields[k]);
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
  Put64(h + kOffTrigramBytes, trigrams.size());
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
  copy(kTrigrams, trigrams.data(), trigrams.size());
  if (has_hide) copy(kHide, db.hide_.data(), n);
  uint64_t at = l.off[kLabels];
  for (const std::u16string& label : db.labels_) {
    if (!label.empty()) std::memcpy(h + at, label.data(), 2 * label.size());
    at += 2 * label.size();
  }
  for (int t = 0; t < kBlocks; ++t)
    for (uint64_t b = 0; b < l.first_block[t + 1] - l.first_block[t]; ++b)
      Put64(h + l.off[kBlocks] + 8 * (l.first_block[t] + b), BlockHash(h + l.off[t], l.off[t + 1] - l.off[t], b));
  Put64(h + kOffBlocksHash, XXH3_64bits(h + l.off[kBlocks], l.off[kTables] - l.off[kBlocks]));
  Put64(h + kOffHash, HeaderHash(h));
  return out;
}

bool SearchSnapshot::Use(NuskDb* db, const std::u16string& home, const SnapshotStamp& stamp, Env* env,
                         SnapshotReads reads) {
  const std::u16string path = DbPath(home, kSnapName, env);
  if (!env->FileExists(path)) return false;
  const bool on_demand = reads == SnapshotReads::kOnDemand;
  std::unique_ptr<FileView> view;
  const Status opened = on_demand ? env->MapWholeFileWithReads(path, &view) : env->MapWholeFile(path, &view);
  if (!opened.ok() || !view) return false;
  const std::string_view b = view->bytes();
  if (b.size() < kHeader) return false;
  // Read on demand, the header and the end of the file are read, not touched in the mapping.
  char header[kHeader];
  if (on_demand && !view->ReadAt(0, header, kHeader)) return false;
  const char* h = on_demand ? header : b.data();
  if (std::memcmp(h, kMagic, 8) != 0) return false;
  if (Get32(h + kOffVersion) != kVersion || Get32(h + kOffRowSize) != sizeof(NameRow)) return false;
  if (Get64(h + kOffHash) != HeaderHash(h)) return false;
  SnapshotStamp in;
  in.by_identity = Get32(h + kOffByIdentity);
  for (int i = 0; i < 3; ++i) {
    FileIdentity& id = in.id[i];
    uint64_t* fields[6] = {&id.size, &id.write_time, &id.change_time, &id.volume, &id.file_id, &in.hash[i]};
    for (int k = 0; k < 6; ++k) *fields[k] = Get64(h + kOffStamp + 48 * i + 8 * k);
  }
  if (!(in == stamp)) return false;
  const uint32_t n = Get32(h + kOffCounts), f = Get32(h + kOffCounts + 4), m = Get32(h + kOffCounts + 8),
                 fm = Get32(h + kOffCounts + 12);
  const uint32_t has_hide = Get32(h + kOffHasHide);
  const uint64_t text_units = Get64(h + kOffTextUnits), case_bytes = Get64(h + kOffCaseBytes),
                 label_units = Get64(h + kOffLabelUnits), trigram_bytes = Get64(h + kOffTrigramBytes);
  if (trigram_bytes > b.size() || f > n || fm > m || has_hide > 1 || text_units > 0xFFFFFFFFull ||
      case_bytes > 0xFFFFFFFFull || label_units > b.size())
    return false;
  uint64_t label_sum = 0;
  for (int d = 0; d < kDriveCount; ++d) label_sum += Get32(h + kOffLabelLengths + 4 * d);
  if (label_sum != label_units) return false;
  const Layout l = MakeLayout(n, m, text_units, case_bytes, has_hide != 0, label_units, trigram_bytes);
  if (l.off[kTables] != b.size()) return false;

  // The hidden states, the labels and the block hashes lie together at the end of the
  // file: read on demand, they are read into the start of the block cache.
  std::unique_ptr<SnapshotBlockCache> cache;
  const char* tail = b.data() + l.off[kHide];
  const uint64_t tail_bytes = l.off[kTables] - l.off[kHide];
  if (on_demand) {
    cache = std::make_unique<SnapshotBlockCache>();
    SnapshotBlockRing& ring = cache->ring;
    const uint64_t tail_room = (tail_bytes + kBlock - 1) / kBlock * kBlock;
    const uint64_t blocks = l.first_block[SnapshotState::kChecked];
    const uint32_t places = g_ring_places.load();
    ring.count = static_cast<uint32_t>(std::min<uint64_t>(blocks, places ? places : kRingBlocks));
    cache->capacity = tail_room + ring.count * kBlock;
    if (cache->capacity > SIZE_MAX || blocks >= UINT32_MAX) return false;
    cache->memory = static_cast<char*>(AllocateTableMemory(static_cast<size_t>(cache->capacity)));
    if (!cache->memory) return false;
    if (!view->ReadAt(l.off[kHide], cache->memory, tail_bytes)) return false;
    ring.places = cache->memory + tail_room;
    for (auto& ends : ring.read_end) ends[0] = ends[1] = blocks;  // no read yet
    ring.slot.assign(blocks, 0);
    ring.owner.assign(ring.count, 0);
    for (int t = 0; t <= SnapshotState::kChecked; ++t) ring.first_block[t] = l.first_block[t];
    tail = cache->memory;
  }
  auto at_end = [&](Table t) { return tail + (l.off[t] - l.off[kHide]); };
  // The block hashes are read now; the hidden states and the labels are copied now, so
  // they are checked now. Every other block is checked when it is first used.
  if (XXH3_64bits(at_end(kBlocks), l.off[kTables] - l.off[kBlocks]) != Get64(h + kOffBlocksHash)) return false;
  const uint64_t* blocks = reinterpret_cast<const uint64_t*>(at_end(kBlocks));
  for (Table t : {kHide, kLabels})
    for (uint64_t k = l.first_block[t]; k < l.first_block[t + 1]; ++k)
      if (BlockHash(at_end(t), l.off[t + 1] - l.off[t], k - l.first_block[t]) != blocks[k]) return false;

  auto state = std::make_unique<SnapshotState>();
  state->stamp = stamp;
  for (int t = 0; t <= SnapshotState::kChecked; ++t) {
    state->off[t] = l.off[t];
    state->first_block[t] = l.first_block[t];
  }
  state->block_hash = blocks;
  state->block_ok.assign(l.first_block[SnapshotState::kChecked], 0);
  state->trigram_bytes = trigram_bytes;
  // Only reads go through these pointers: the view is mapped read-only.
  auto table = [&](Table t) { return const_cast<char*>(b.data() + l.off[t]); };
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
  if (has_hide) db->hide_.assign(at_end(kHide), at_end(kHide) + n);
  const char16_t* label = reinterpret_cast<const char16_t*>(at_end(kLabels));
  for (int d = 0; d < kDriveCount; ++d) {
    const uint32_t len = Get32(h + kOffLabelLengths + 4 * d);
    db->labels_[d].assign(label, len);
    label += len;
  }
  state->view = std::move(view);
  state->cache = std::move(cache);
  db->ring_ = state->cache ? &state->cache->ring : nullptr;
  db->snapshot_ = std::move(state);
  db->unchecked_ = kTabAll;
  return true;
}

SnapshotBlockCache::~SnapshotBlockCache() { FreeTableMemory(memory, static_cast<size_t>(capacity)); }

namespace {

// Checks blocks [first, last) of table t in the mapping; false when one fails.
bool CheckBlocks(SnapshotState& s, int t, uint64_t first, uint64_t last) {
  const char* table = s.view->bytes().data() + s.off[t];
  const uint64_t extent = s.off[t + 1] - s.off[t];
  for (uint64_t b = first; b < last; ++b) {
    const uint64_t k = s.first_block[t] + b;
    if (s.block_ok[k]) continue;
    if (BlockHash(table, extent, b) != s.block_hash[k]) return false;
    s.block_ok[k] = 1;
  }
  return true;
}

// Blocks [first, last) of table t (the last one up to the table's end) read from the file
// into dst and checked block by block. Reads only: any thread.
bool ReadCheckedBlocks(const SnapshotState& s, int t, uint64_t first, uint64_t last, char* dst) {
  const uint64_t extent = s.off[t + 1] - s.off[t];
  const uint64_t from = first * kBlock, to = std::min(extent, last * kBlock);
  if (!s.view->ReadAt(s.off[t] + from, dst, to - from)) return false;
  for (uint64_t b = first; b < last; ++b)
    if (XXH3_64bits(dst + (b - first) * kBlock, BlockBytes(extent, b)) != s.block_hash[s.first_block[t] + b])
      return false;
  return true;
}

enum class Cached { kOk, kFull, kFailed };

// Blocks [first, last) of table t side by side in the block ring: where they are held, or
// read from the file into the ring's next places and checked there. A table read in
// order is read ahead. kFull: the ring cannot serve them (more than a quarter of it at
// once, or a table read over and over); the table is then to be checked whole.
Cached RingBlocks(SnapshotState& s, int t, uint64_t first, uint64_t last, const char** out) {
  SnapshotBlockRing& r = s.cache->ring;
  const uint64_t k0 = s.first_block[t] + first, count = last - first;
  auto held = [&r](uint64_t k) { return r.slot[k] && r.owner[r.slot[k] - 1] == k + 1 ? r.slot[k] : 0; };
  bool together = held(k0) != 0;
  for (uint64_t i = 1; together && i < count; ++i) together = held(k0 + i) == held(k0) + i;
  if (together) {
    *out = r.places + (held(k0) - 1) * kBlock;
    return Cached::kOk;
  }
  const uint64_t table_blocks = s.first_block[t + 1] - s.first_block[t];
  const uint64_t most = std::max<uint64_t>(r.count / 4, std::min<uint64_t>(r.count, 2));
  if (count > most || r.reads[t] > kRereadLimit * table_blocks + r.count) return Cached::kFull;
  // In order: the read starts where one of the table's last two reads ended (a run of
  // results through a table, with the folders of their paths read between).
  const bool in_order = first == r.read_end[t][0] || first == r.read_end[t][1];
  const uint64_t ahead = std::min<uint64_t>({kReadAhead, table_blocks - first, r.count});
  const uint64_t want = in_order ? std::max(count, ahead) : count;
  if (r.next + want > r.count) r.next = 0;
  char* dst = r.places + r.next * kBlock;
  // The places are marked empty first: a failed read leaves none of them claimed.
  for (uint64_t i = 0; i < want; ++i) r.owner[r.next + i] = 0;
  if (!ReadCheckedBlocks(s, t, first, first + want, dst)) return Cached::kFailed;
  for (uint64_t i = 0; i < want; ++i) {
    r.owner[r.next + i] = k0 + i + 1;
    r.slot[k0 + i] = static_cast<uint32_t>(r.next + i + 1);
  }
  r.next = static_cast<uint32_t>(r.next + want);
  r.reads[t] += want;
  r.read_end[t][1] = r.read_end[t][0];
  r.read_end[t][0] = first + want;
  *out = dst;
  return Cached::kOk;
}

}  // namespace

// A damaged block: every table is taken from the files the snapshot stood for.
void SearchSnapshot::TakeDecodedTables(NuskDb* db) {
  SnapshotState& s = *db->snapshot_;
  auto fresh = std::make_unique<NuskDb>();
  SnapshotStamp stamp;
  bool stamped = false, used = false;
  const Status st =
      ReadAndDecode(fresh.get(), db->home_, db->env_, false, SnapshotReads::kMapped, &stamp, &stamped, &used);
  if (!st.ok() || !stamped || !(stamp == s.stamp) || fresh->n_ != db->n_ || fresh->f_ != db->f_ ||
      fresh->m_ != db->m_ || fresh->fm_ != db->fm_)
    throw std::runtime_error("The search snapshot of " + ToUtf8(db->home_) +
                             " is damaged and the index changed since it was loaded; load the index again.");
  db->env_->DebugOutput(u"The search snapshot failed its check; the index files were decoded instead.\n");
  SearchSnapshot::Write(*fresh, db->home_, stamp, db->env_);
  db->parent_ = fresh->parent_;
  db->time_ = fresh->time_;
  db->size_ = fresh->size_;
  db->name_of_ = fresh->name_of_;
  db->drive_ = fresh->drive_;
  db->ref_ = fresh->ref_;
  db->rows_ = fresh->rows_;
  db->text_ = fresh->text_;
  db->case_ = fresh->case_;
  db->unchecked_ = 0;
  s.decoded = std::move(fresh);
}

void SearchSnapshot::Check(NuskDb* db, uint32_t tables) {
  SnapshotState& s = *db->snapshot_;
  // Read on demand, the file is kept open: one that became shorter since the load (written
  // in place) would fault in the mapping, so it fails the check before the mapping is read.
  char last;
  if (s.cache && (tables & db->unchecked_) && !s.view->ReadAt(s.view->bytes().size() - 1, &last, 1))
    return TakeDecodedTables(db);
  for (int t = 0; t < SnapshotState::kChecked; ++t) {
    const uint32_t bit = 1u << t;
    if (!(tables & db->unchecked_ & bit)) continue;
    if (!CheckBlocks(s, t, 0, s.first_block[t + 1] - s.first_block[t])) return TakeDecodedTables(db);
    db->unchecked_ &= ~bit;
  }
}

const char* SearchSnapshot::CheckBytes(NuskDb* db, uint32_t table, uint64_t at, uint64_t bytes) {
  SnapshotState& s = *db->snapshot_;
  const int t = std::countr_zero(table);
  const uint64_t size = s.off[t + 1] - s.off[t];
  if (bytes == 0 || at >= size) return nullptr;
  const uint64_t first = at / kBlock, last = (std::min(size, at + bytes) - 1) / kBlock + 1;
  if (s.cache) {
    const char* blocks = nullptr;
    switch (RingBlocks(s, t, first, last, &blocks)) {
      case Cached::kOk: return blocks + (at - first * kBlock);
      case Cached::kFull: Check(db, table); return nullptr;
      case Cached::kFailed: TakeDecodedTables(db); return nullptr;
    }
  }
  // Mapped, many small uses (paths of thousands of items) cost less with the whole table
  // checked once: later uses then skip the check.
  if (++s.partial_uses[t] > std::max<uint64_t>(4096, 16 * (s.first_block[t + 1] - s.first_block[t]))) {
    Check(db, table);
    return nullptr;
  }
  if (!CheckBlocks(s, t, first, last)) TakeDecodedTables(db);
  return nullptr;
}

namespace {

// Blocks of name rows per run: 1,024 rows and their texts, a buffer that stays in the
// processor's cache between runs.
constexpr uint64_t kRunRowBlocks = sizeof(NameRow) * 1024 / kBlock;

// Room for `bytes` in the buffer; grown to twice that, not copied, when it is short.
char* BufferRoom(std::vector<uint64_t>* buffer, uint64_t bytes) {
  if (buffer->size() * 8 < bytes) {
    buffer->clear();
    buffer->resize((2 * bytes + 7) / 8);
  }
  return reinterpret_cast<char*>(buffer->data());
}

}  // namespace

bool SearchSnapshot::ReadNameRun(const NuskDb& db, uint32_t first, std::vector<uint64_t>* buffer,
                                 NuskDb::NameRun* run) {
  const SnapshotState& s = *db.snapshot_;
  if (first >= db.m_) return false;
  const uint64_t row_bytes = sizeof(NameRow);
  const uint64_t rows_extent = s.off[kRows + 1] - s.off[kRows];
  const uint64_t b0 = first * row_bytes / kBlock;
  const uint64_t b1 = std::min(s.first_block[kRows + 1] - s.first_block[kRows], b0 + kRunRowBlocks);
  const uint64_t rows_from = b0 * kBlock, rows_to = std::min(rows_extent, b1 * kBlock);
  const uint32_t last = static_cast<uint32_t>(std::min<uint64_t>(db.m_, rows_to / row_bytes));
  if (last <= first) return false;
  // The rows first, then their texts; the room for a run's texts is known once its rows
  // are read, and a buffer that has room for both is kept for the next runs.
  const uint64_t rows_room = (rows_to - rows_from + 7) / 8 * 8;
  char* bytes;
  try {
    bytes = BufferRoom(buffer, rows_room + kRunRowBlocks * kBlock);
  } catch (const std::bad_alloc&) { return false; }
  if (!ReadCheckedBlocks(s, kRows, b0, b1, bytes)) return false;
  const NameRow* rows = reinterpret_cast<const NameRow*>(bytes + (first * row_bytes - rows_from));
  // The texts of the rows lie one after another, each with its kind character before
  // and its terminator after it.
  const uint32_t count = last - first;
  const NameRow& end_row = rows[count - 1];
  const uint64_t text_from = rows[0].text_offset ? rows[0].text_offset - 1u : 0;
  const uint64_t text_to = uint64_t{end_row.text_offset} + end_row.length + 1;
  const uint64_t text_extent = s.off[kText + 1] - s.off[kText];
  if (text_to <= text_from || 2 * text_to > text_extent || text_to - text_from > uint64_t{count} * 257) return false;
  const uint64_t t0 = 2 * text_from / kBlock, t1 = (2 * text_to + kBlock - 1) / kBlock;
  const uint64_t room = rows_room + (t1 - t0) * kBlock;
  if (buffer->size() * 8 < room) {
    // Longer names than usual: the rows are read again into a larger buffer.
    try {
      bytes = BufferRoom(buffer, room);
    } catch (const std::bad_alloc&) { return false; }
    if (!ReadCheckedBlocks(s, kRows, b0, b1, bytes)) return false;
    rows = reinterpret_cast<const NameRow*>(bytes + (first * row_bytes - rows_from));
  }
  if (!ReadCheckedBlocks(s, kText, t0, t1, bytes + rows_room)) return false;
  for (uint32_t i = 0; i < count; ++i) {
    const NameRow& r = rows[i];
    if (r.text_offset == 0 || r.text_offset - 1u < text_from || uint64_t{r.text_offset} + r.length + 1 > text_to)
      return false;
  }
  run->rows = rows;
  run->first = first;
  run->count = count;
  run->text = reinterpret_cast<const char16_t*>(bytes + rows_room) + (text_from - t0 * kBlock / 2);
  run->text_first = text_from;
  return true;
}

bool SearchSnapshot::TrigramCandidates(const NuskDb& db, const std::vector<std::u16string>& literals,
                                       std::vector<uint32_t>* rows) {
  // A fetch checks the blocks it reads; after a failed check the tables were decoded and
  // there is no trigram index any more.
  auto fetch = [&db](uint64_t at, uint64_t bytes) -> const char* {
    if (!db.from_snapshot()) return nullptr;
    const SnapshotState& s = *db.snapshot_;
    if (at > s.trigram_bytes || bytes > s.trigram_bytes - at) return nullptr;
    const char* p = db.CheckedBytes(kTabTrigrams, at, bytes);
    return db.from_snapshot() ? p : nullptr;
  };
  if (!db.from_snapshot()) return false;
  return nusk::TrigramCandidates(literals, db.snapshot_->trigram_bytes, db.m_, fetch, rows);
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
  // No flush: a snapshot that reaches the disk only in part fails its hashes and is
  // written again. A mapped snapshot in the way (Windows) is first moved aside.
  bool written = env->WriteWholeFile(path + u".tmp", bytes, false).ok();
  if (written && !env->RenameFile(path + u".tmp", path).ok())
    written = RemoveSearchSnapshot(home, env).ok() && env->RenameFile(path + u".tmp", path).ok();
  if (!written) {
    env->RemoveFile(path + u".tmp");
    RemoveSearchSnapshot(home, env);
  }
}

std::u16string SetAsideSnapshotName(int slot) {
  return std::u16string(kSnapName) + u".old" + static_cast<char16_t>(u'0' + slot);
}

Status RemoveSearchSnapshot(const std::u16string& home, Env* env) {
  // A set-aside name is free once its file is gone; deleting a file that is still mapped
  // fails (Windows) or only marks it for deletion at its last close (Wine).
  int free_slot = 0;
  for (int k = 1; k <= kSnapSetAsideSlots; ++k) {
    const std::u16string aside = DbPath(home, SetAsideSnapshotName(k), env);
    if (env->FileExists(aside)) env->RemoveFile(aside);
    if (!free_slot && !env->FileExists(aside)) free_slot = k;
  }
  // Moved aside first, then deleted: a mapped file can always be renamed, while deleting it
  // may fail or leave its name taken until it is unmapped.
  const std::u16string path = DbPath(home, kSnapName, env);
  if (!env->FileExists(path)) return Status::Ok();
  if (free_slot) {
    const std::u16string aside = DbPath(home, SetAsideSnapshotName(free_slot), env);
    if (env->RenameFile(path, aside).ok()) env->RemoveFile(aside);
  }
  if (env->FileExists(path)) env->RemoveFile(path);
  return env->FileExists(path) ? Status::Error("the search snapshot is in use and cannot be removed") : Status::Ok();
}

bool NuskDb::from_snapshot() const { return snapshot_ != nullptr && snapshot_->decoded == nullptr; }

void NuskDb::CheckSnapshotTables(uint32_t tables) const {
  // The object is never defined const; a check only marks tables checked or moves the
  // (mutable) table pointers to decoded tables.
  SearchSnapshot::Check(const_cast<NuskDb*>(this), tables);
}

const char* NuskDb::CheckSnapshotBytes(uint32_t table, uint64_t at, uint64_t bytes) const {
  return SearchSnapshot::CheckBytes(const_cast<NuskDb*>(this), table, at, bytes);
}

bool NuskDb::NameRunsFromFile() const {
  return from_snapshot() && snapshot_->cache && (unchecked_ & kTabRows) && (unchecked_ & kTabText);
}

bool NuskDb::ReadNameRun(uint32_t first, std::vector<uint64_t>* buffer, NameRun* run) const {
  // Nothing that a check changes is read here: a helper thread reads runs while the
  // index's own thread may be checking tables or taking decoded ones.
  return snapshot_ && snapshot_->cache && SearchSnapshot::ReadNameRun(*this, first, buffer, run);
}

const char* NuskDb::SnapshotTrigrams() const {
  return snapshot_ ? snapshot_->view->bytes().data() + snapshot_->off[kTrigrams] : nullptr;
}

bool NuskDb::TrigramCandidateRows(const std::vector<std::u16string>& literals, std::vector<uint32_t>* rows) const {
  return SearchSnapshot::TrigramCandidates(*this, literals, rows);
}

void SetSnapshotRingPlaces(uint32_t places) { g_ring_places.store(places); }

void RefreshSearchSnapshot(const std::u16string& home, Env* env) {
  NuskDb db;
  LoadNuskDb(&db, home, env);
}

}  // namespace nusk
