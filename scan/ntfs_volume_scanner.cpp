#include "scan/ntfs_volume_scanner.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>

#include "platform/env.h"
#include "platform/native_name.h"
#include "util/utf.h"

namespace nusk {
namespace {

using namespace ntfs;

constexpr uint32_t kReasonDataOverwrite = 0x1;
constexpr uint32_t kReasonDataExtend = 0x2;
constexpr uint32_t kReasonDataTruncation = 0x4;
constexpr uint32_t kReasonFileCreate = 0x100;
constexpr uint32_t kReasonFileDelete = 0x200;
constexpr uint32_t kReasonRenameOldName = 0x1000;
constexpr uint32_t kReasonRenameNewName = 0x2000;
constexpr uint32_t kReasonClose = 0x80000000u;
constexpr uint32_t kReasonMask = 0xB307;
// One journal read returns up to this much; a window gathers reads up to kWindowBytes.
constexpr size_t kJournalBuffer = 64 * 1024;
constexpr size_t kWindowBytes = 4u << 20;
// MFT records kept for one window: 32 MiB, touched only as far as a window needs.
constexpr size_t kRecordCacheBytes = 32u << 20;
constexpr size_t kFirstWindowRecords = 4096;
constexpr uint64_t kAllOnes = ~uint64_t{0};
constexpr uint32_t kNoSizeMarker = 1234567890;
constexpr size_t kMaxPathChars = 32767;  // the longest path NTFS allows
constexpr uint32_t kErrorNotSupported = 50;  // ERROR_NOT_SUPPORTED
constexpr uint32_t kErrorInvalidFunction = 1;  // ERROR_INVALID_FUNCTION
// Raw MFT reads of the live queries take the aligned 4 KiB around the record asked for:
// items created together get neighbouring records, and 4 KiB costs what 1 KiB does.
constexpr uint32_t kRecordGroupBytes = 4096;
// Coalesced reads of a window's records: at most this much unwanted MFT between two
// wanted records, and at most this much in one read.
constexpr uint32_t kCoalesceGapBytes = 16 * 1024;
constexpr uint32_t kCoalesceReadBytes = 1u << 20;
constexpr uint32_t kReasonDataMask = kReasonDataOverwrite | kReasonDataExtend | kReasonDataTruncation;

uint32_t RecordOf(uint64_t reference) { return static_cast<uint32_t>(reference); }

// Replaces bits 32-47 (the high part of the NTFS record number, always 0 on volumes
// with fewer than 2^32 records) with the scanner's drive and mount bits.
uint64_t ToIndexReference(uint64_t ntfs_reference, uint16_t bits) {
  return (ntfs_reference & 0xFFFF0000FFFFFFFFull) | (uint64_t{bits} << 32);
}

// The fields of one change-journal record, whatever its version.
struct JournalRecord {
  uint32_t length = 0;
  uint64_t reference = 0;
  uint64_t parent = 0;
  int64_t usn = 0;
  uint32_t reason = 0;
  uint32_t attributes = 0;
  std::u16string name;
};

// Decodes a version 2 or 3 record (v3 carries 128-bit ids whose low 64 bits are the NTFS
// reference). False for other versions or a record that does not fit its own length.
bool DecodeJournalRecord(const uint8_t* p, size_t available, JournalRecord* r, std::string* error) {
  if (available < 8) { *error = "truncated change record"; return false; }
  r->length = U32(p);
  uint16_t major = U16(p + 4);
  size_t fixed = major == 2 ? 60 : major == 3 ? 76 : 0;
  if (fixed == 0) { *error = "change record version " + std::to_string(major) + " is not understood"; return false; }
  if (r->length < fixed || r->length > available) { *error = "change record with a bad length"; return false; }
  size_t base = major == 2 ? 0 : 16;  // v3 fields after the references shift by 16 bytes
  r->reference = U64(p + 8);
  r->parent = major == 2 ? U64(p + 16) : U64(p + 24);
  r->usn = static_cast<int64_t>(U64(p + 24 + base));
  // A USN is a byte offset in the journal: the position after the record must exist.
  if (r->usn < 0 || r->usn > INT64_MAX - static_cast<int64_t>(r->length)) {
    *error = "change record with a bad USN";
    return false;
  }
  r->reason = U32(p + 40 + base);
  r->attributes = U32(p + 52 + base);
  uint16_t name_bytes = U16(p + 56 + base);
  uint16_t name_offset = U16(p + 58 + base);
  if (name_offset > r->length || name_bytes > r->length - name_offset || (name_bytes & 1)) {
    *error = "change record whose name lies outside it";
    return false;
  }
  size_t chars = std::min<size_t>(name_bytes / 2, 259);
  r->name.resize(chars);
  for (size_t i = 0; i < chars; ++i) r->name[i] = static_cast<char16_t>(U16(p + name_offset + 2 * i));
  return true;
}

std::u16string Letter(char16_t c) { return std::u16string(1, c); }

}  // namespace

NtfsVolumeScanner::NtfsVolumeScanner(NtfsVolumeConfig config, const ExclusionSettings* exclusions,
                                     INuskListener* listener, ScanLog log, const std::atomic<bool>* cancel)
    : config_(std::move(config)), exclusions_(exclusions), listener_(listener), log_(std::move(log)), cancel_(cancel) {
  if (config_.drive_letter != 0) {
    drive_mount_bits_ = MakeDriveMountBits(static_cast<uint8_t>(config_.drive_letter - u'A'), 0);
  } else {
    drive_mount_bits_ = MakeDriveMountBits(static_cast<uint8_t>(config_.mount_folder_reference >> 32),
                                           config_.mount_index);
  }
}

NtfsVolumeScanner::~NtfsVolumeScanner() = default;

std::u16string NtfsVolumeScanner::VolumePath() const {
  if (!config_.volume_path.empty()) return config_.volume_path;
  if (config_.drive_letter != 0) return u"\\\\.\\" + Letter(config_.drive_letter) + u":";
  return u"\\\\?\\Volume{" + config_.volume_guid + u"}";
}

// "C:" for a drive-letter volume, the mount path for a volume mounted in a folder.
std::u16string NtfsVolumeScanner::RootPrefix() const {
  if (config_.drive_letter != 0) return Letter(config_.drive_letter) + u":";
  std::u16string p = config_.mount_path;
  while (!p.empty() && p.back() == u'\\') p.pop_back();
  return p;
}

// Every name read from the volume passes here before it is used; in place, so a name
// without '\\' (all but a handful) is only looked at, never copied again.
void NtfsVolumeScanner::ToIndexName(std::u16string* name) const {
  if (config_.escape_backslash) std::replace(name->begin(), name->end(), u'\\', kEscapedBackslash);
}

// The name of a record read from the live volume, in its index form.
std::u16string NtfsVolumeScanner::LiveName(const RecordInfo& info) const {
  std::u16string name(info.name_length, u'\0');
  for (uint16_t i = 0; i < info.name_length; ++i) name[i] = static_cast<char16_t>(U16(info.name_bytes + 2 * i));
  ToIndexName(&name);
  return name;
}

// ---------------------------------------------------------------- full scan

bool NtfsVolumeScanner::ScanMft() {
  std::unique_ptr<MftParser> parser = MftParser::OpenDisk(config_.env, VolumePath(), log_);
  return parser && ScanMft(parser.get());
}

bool NtfsVolumeScanner::ScanMft(MftParser* parser) {
  if (!parser->ok() || (parser->record_count() == 0 && parser->LoadMFT() == 0)) {
    Log("Assertion failed: LoadMFT returns zero");
    return false;
  }
  delivered_ = 0;
  Log("Parsing MFT..");
  bool complete = parser->ReadMftRecords();
  Log(std::to_string(parser->entry_count()) + " entries found.");
  if (parser->entry_count() <= kFirstUserRecord || !parser->entry(kRootRecord).in_use()) {
    Log("The root folder record is missing; nothing delivered");
    return false;
  }
  const uint16_t bits = drive_mount_bits_;
  const uint64_t root = MakeIndexReference(kRootRecord, bits, parser->entry(kRootRecord).sequence);
  if (config_.drive_letter != 0) {
    ScanRecord r;
    r.reference = root;
    r.is_folder = 1;
    r.name = config_.root_name.empty() ? Letter(config_.drive_letter) + u":" : config_.root_name;
    listener_->AddRecord(r);
  }
  std::vector<uint8_t> map(parser->entry_count(), 0xFF);
  MarkExclusions(*parser, &map);

  uint32_t orphans = 0;
  ScanRecord r;
  for (uint32_t i = 0; i < parser->entry_count(); ++i) {
    const MftEntry& e = parser->entry(i);
    if (!e.in_use() || !e.has_name()) continue;
    if (i < kFirstUserRecord) {
      if (i != kRootRecord) map[i] = 1;
      continue;
    }
    uint64_t p = e.parent;
    // A parent outside the table, unused or not a folder cannot place the item.
    if (p >= parser->entry_count() || !parser->entry(static_cast<uint32_t>(p)).in_use() ||
        !parser->entry(static_cast<uint32_t>(p)).is_folder()) {
      ++orphans;
      map[i] = 1;
      continue;
    }
    if (map[p] == 1) map[i] = 1;
    if (map[i] == 1) continue;
    if (Cancelled()) {
      Log("Scan cancelled after " + std::to_string(delivered_) +
          " records; this volume is incomplete and will be scanned in full next time");
      return false;
    }
    const MftEntry& pe = parser->entry(static_cast<uint32_t>(p));
    r.reference = MakeIndexReference(i, bits, e.sequence);
    r.parent_reference = MakeIndexReference(static_cast<uint32_t>(p), bits, pe.sequence);
    if (config_.drive_letter == 0 && r.parent_reference == root) r.parent_reference = config_.mount_folder_reference;
    r.is_folder = e.is_folder() ? 1 : 0;
    uint64_t size = r.is_folder ? 0 : e.size_known() ? e.size : QuerySizeById(r.reference);
    r.size = ToSizeForm(size);
    r.time = ToCompactTime(e.time);
    r.name.assign(parser->name(e));
    ToIndexName(&r.name);
    ++delivered_;
    listener_->AddRecord(r);
  }
  if (orphans != 0) Log(std::to_string(orphans) + " records without a valid parent folder skipped");
  if (!complete) Log("The MFT could not be read completely; this volume will be scanned in full next time");
  return complete;
}

// Marks excluded entries in map (1 excluded, 0 kept, 0xFF undecided): hidden items,
// names matching patterns, folders holding the marker file, and every folder below an
// excluded one. Files are decided during delivery from their parent's mark.
void NtfsVolumeScanner::MarkExclusions(const MftParser& parser, std::vector<uint8_t>* map_ptr) {
  std::vector<uint8_t>& map = *map_ptr;
  const ExclusionSettings& x = *exclusions_;
  const uint32_t n = parser.entry_count();
  std::vector<uint32_t> folders;
  for (uint32_t i = 0; i < n; ++i) {
    const MftEntry& e = parser.entry(i);
    if (!e.in_use() || !e.has_name()) continue;
    if (x.exclude_hidden && (e.attributes & kFileAttributeHidden) && i != kRootRecord) map[i] = 1;
    std::u16string_view name = parser.name(e);
    if (e.is_folder()) {
      if (i >= kFirstUserRecord) folders.push_back(i);
      if (x.exclude_by_name && map[i] != 1 && i >= kFirstUserRecord && MatchesFolderPattern(x, name)) map[i] = 1;
    } else {
      if (name == kIgnoreMarkerName && e.parent < n && i >= kFirstUserRecord) {
        // The path comes from the table already in memory: no extra reads per marker.
        std::u16string path;
        uint64_t at = e.parent;
        bool ok = true;
        for (uint32_t steps = 0; at != kRootRecord; ++steps) {
          if (at >= n || steps > n || !parser.entry(static_cast<uint32_t>(at)).has_name()) { ok = false; break; }
          const MftEntry& f = parser.entry(static_cast<uint32_t>(at));
          std::u16string part(parser.name(f));
          ToIndexName(&part);
          path.insert(0, u"\\" + part);
          at = f.parent;
        }
        listener_->IgnoredFolderFound(ok ? RootPrefix() + path : std::u16string());
        if (e.parent != kRootRecord) map[e.parent] = 1;
      }
      if (x.exclude_by_name && map[i] != 1 && MatchesFilePattern(x, name)) map[i] = 1;
    }
  }
  map[kRootRecord] = 0;
  // Decide each folder by walking up to the first decided ancestor; the whole walked
  // chain takes that decision, so every folder is resolved once. 2 marks "on the current
  // chain" and exposes parent cycles in a damaged MFT.
  std::vector<uint32_t> chain;
  for (uint32_t f : folders) {
    if (map[f] != 0xFF) continue;
    chain.clear();
    uint64_t at = f;
    uint8_t decision = 1;  // a chain that never reaches a decided folder is unreachable
    while (at < n) {
      uint8_t m = map[at];
      if (m == 0 || m == 1) { decision = m; break; }
      if (m == 2) break;  // cycle
      const MftEntry& e = parser.entry(static_cast<uint32_t>(at));
      if (!e.in_use() || !e.has_name()) break;
      map[at] = 2;
      chain.push_back(static_cast<uint32_t>(at));
      at = e.parent;
    }
    for (uint32_t c : chain) map[c] = decision;
  }
}

// ---------------------------------------------------------------- live queries

bool NtfsVolumeScanner::OpenLive() {
  if (live_) return true;
  if (live_tried_) return false;
  live_tried_ = true;
  std::unique_ptr<MftParser> p = MftParser::OpenDisk(config_.env, VolumePath(), log_);
  if (!p || !p->ok() || p->LoadMFT() == 0) return false;
  live_ = std::move(p);
  MakeRecordCache();
  return true;
}

// The cache never needs more room than the whole MFT: a small volume does not reserve
// the full arena and its table.
void NtfsVolumeScanner::MakeRecordCache() {
  const uint32_t rs = live_->boot().record_size;
  const size_t bytes = static_cast<size_t>(std::min<uint64_t>(kRecordCacheBytes, live_->record_count() * rs));
  record_cache_ = std::make_unique<MftRecordCache>(rs, bytes);
}

// Returns record `number` (fix-up applied) and its length, or null when it is not in
// use or cannot be read. The bytes stay valid until the next call.
const uint8_t* NtfsVolumeScanner::ReadLiveRecord(uint64_t number, size_t* length) {
  if (!OpenLive()) return nullptr;
  MftRecordCache& cache = *record_cache_;
  if (!in_pass_) cache.NewBatch();  // outside a change pass every query reads afresh
  const uint32_t rs = cache.record_size();
  *length = rs;
  if (const uint8_t* hit = cache.Find(number)) return hit;
  uint64_t found = 0;
  std::string& fetched = fetched_record_;
  // The file system's own copy is current; raw MFT bytes are the fallback (images, Wine).
  if (live_->volume()->ReadFileRecord(number, &fetched, &found)) {
    if (found != number) return nullptr;
    *length = fetched.size();
    if (fetched.size() == rs) cache.Store(number, reinterpret_cast<const uint8_t*>(fetched.data()));
    return reinterpret_cast<const uint8_t*>(fetched.data());
  }
  const uint64_t total = live_->record_count();
  if (number >= total) return nullptr;
  const uint32_t per_group = std::max<uint32_t>(1, kRecordGroupBytes / rs);
  const uint64_t first = number - number % per_group;
  const uint32_t count = static_cast<uint32_t>(std::min<uint64_t>(per_group, total - first));
  uint8_t* group = cache.Reserve(count);
  if (!group) {  // the window's arena is full: read without keeping a copy
    record_group_.resize(size_t{count} * rs);
    group = record_group_.data();
  }
  if (!live_->ReadRawRecords(first, count, group)) {
    // A neighbour lies in a sparse run: the record alone.
    if (!live_->ReadRecord(number, &fetched)) return nullptr;
    return reinterpret_cast<const uint8_t*>(fetched.data());
  }
  const uint8_t* hit = nullptr;
  for (uint32_t k = 0; k < count; ++k) {
    uint8_t* r = group + size_t{k} * rs;
    if (std::memcmp(r, "FILE", 4) != 0 || !ApplyFixup(r, rs)) continue;  // unused, wiped or torn
    if (group != record_group_.data()) cache.Insert(first + k, r);
    if (first + k == number) hit = r;
  }
  return hit;
}

// Notes the MFT records a piece of journal data will ask for: the items whose time and
// size a close record needs, and the folders of created or moved items. Stops quietly at
// a record it cannot decode (the pass itself reports it).
void NtfsVolumeScanner::CollectWantedRecords(const uint8_t* records, size_t length) {
  for (size_t pos = 0; pos + 8 <= length;) {
    const uint8_t* p = records + pos;
    const uint32_t len = U32(p);
    const uint16_t major = U16(p + 4);
    const size_t fixed = major == 2 ? 60 : major == 3 ? 76 : 0;
    if (fixed == 0 || len < fixed || len > length - pos) return;
    const size_t shift = major == 2 ? 0 : 16;
    const uint32_t reason = U32(p + 40 + shift);
    pos += len;
    if (!(reason & kReasonClose) || (reason & kReasonFileDelete) ||
        !(reason & (kReasonFileCreate | kReasonRenameNewName | kReasonDataMask)))
      continue;
    wanted_.push_back(RecordOf(U64(p + 8)));
    const uint32_t parent = RecordOf(major == 2 ? U64(p + 16) : U64(p + 24));
    if ((reason & (kReasonFileCreate | kReasonRenameNewName)) && parent != kRootRecord &&
        folder_cache_.find(parent) == folder_cache_.end())
      wanted_.push_back(parent);
  }
}

// Sorts the wanted records and drops repeats. False when nothing is to be read raw: none
// is wanted, or the volume is live and answers each record from the file system's
// current copy, which raw MFT bytes may lag behind.
bool NtfsVolumeScanner::RawWanted() {
  if (wanted_.empty() || !OpenLive() || live_->volume()->ServesFileRecords()) return false;
  std::sort(wanted_.begin(), wanted_.end());
  wanted_.erase(std::unique(wanted_.begin(), wanted_.end()), wanted_.end());
  return true;
}

// The end of the coalesced read that starts at wanted_[i]: the index after its last
// wanted record.
size_t NtfsVolumeScanner::SpanEnd(size_t i) const {
  const uint32_t rs = record_cache_->record_size();
  const uint64_t total = live_->record_count();
  const uint64_t max_gap = std::max<uint32_t>(1, kCoalesceGapBytes / rs);
  const uint64_t max_span = std::max<uint32_t>(1, kCoalesceReadBytes / rs);
  const uint64_t first = wanted_[i];
  uint64_t last = first;
  size_t end = i + 1;
  while (end < wanted_.size() && wanted_[end] < total && wanted_[end] - last <= max_gap && wanted_[end] - first < max_span)
    last = wanted_[end++];
  return end;
}

// True when the records wanted so far would need more than one read per eight records:
// then a longer window lets more of them share reads.
bool NtfsVolumeScanner::WantedLieApart() {
  if (!RawWanted()) return false;
  size_t reads = 0;
  for (size_t i = 0; i < wanted_.size() && wanted_[i] < live_->record_count(); i = SpanEnd(i)) ++reads;
  return reads * 8 > wanted_.size();
}

// Reads the records CollectWantedRecords noted into the cache, in record order: numbers
// that lie close together share one raw read, so a window costs a few large reads
// instead of one small read per change (a read costs about what copying 16 KiB does).
void NtfsVolumeScanner::ReadWantedRecords() {
  if (!RawWanted()) return;
  const std::vector<uint64_t>& wanted = wanted_;
  MftRecordCache& cache = *record_cache_;
  const uint32_t rs = cache.record_size();
  const uint64_t total = live_->record_count();
  // A read never spans more than the whole MFT.
  span_.resize(static_cast<size_t>(std::min<uint64_t>(std::max<size_t>(kCoalesceReadBytes, rs), total * rs)));
  for (size_t i = 0; i < wanted.size();) {
    const uint64_t first = wanted[i];
    if (first >= total) break;
    const size_t end = SpanEnd(i);
    const uint64_t last = wanted[end - 1];
    const uint32_t count = static_cast<uint32_t>(last - first + 1);
    // A dense span is read straight into the cache, neighbours and all; a sparse one
    // into a scratch buffer from which only the wanted records are kept.
    const bool dense = count <= 2 * (end - i);
    uint8_t* out = dense ? cache.Reserve(count) : span_.data();
    if (!out) return;  // the window's arena is full: the rest is read when asked for
    if (live_->ReadRawRecords(first, count, out)) {  // else a sparse run: asked for singly later
      for (size_t k = i; k < end; ++k) {
        uint8_t* r = out + size_t{wanted[k] - first} * rs;
        if (std::memcmp(r, "FILE", 4) != 0 || !ApplyFixup(r, rs)) continue;  // unused, wiped or torn
        uint8_t* copy = r;
        if (!dense) {
          copy = cache.Reserve(1);
          if (!copy) return;
          std::memcpy(copy, r, rs);
        }
        cache.Insert(wanted[k], copy);
      }
    }
    i = end;
  }
}

bool NtfsVolumeScanner::ReadLiveInfo(uint64_t number, RecordInfo* info, std::string* storage) {
  size_t length = 0;
  const uint8_t* rec = ReadLiveRecord(number, &length);
  if (!rec) return false;
  ParseFileRecord(rec, length, info);
  if (!info->valid || info->malformed || !(info->flags & kRecordInUse)) return false;
  // The name points into the record, which lasts until the next read: callers copy it.
  if (info->has_data_size && info->has_name) return true;
  if (!info->has_attribute_list) return true;
  // The name or the size lives in an extension record: follow the attribute list. The
  // reads below may reuse the record's memory, so it moves to the caller's storage.
  storage->assign(reinterpret_cast<const char*>(rec), length);
  const uint8_t* moved = reinterpret_cast<const uint8_t*>(storage->data());
  if (info->has_name) info->name_bytes = moved + (info->name_bytes - rec);
  rec = moved;
  size_t list = FindAttribute(rec, storage->size(), kAttrAttributeList, false);
  if (!list || rec[list + 8] != 0) return true;
  uint32_t alen = U32(rec + list + 4);
  uint32_t vlen = U32(rec + list + 16);
  uint16_t voff = U16(rec + list + 20);
  if (voff > alen || vlen > alen - voff) return true;
  std::string value(reinterpret_cast<const char*>(rec + list + voff), vlen);
  RecordInfo x;
  std::vector<uint64_t> done;
  for (size_t pos = 0; pos + 26 <= value.size();) {
    const uint8_t* a = reinterpret_cast<const uint8_t*>(value.data()) + pos;
    uint16_t elen = U16(a + 4);
    if (elen < 26 || pos + elen > value.size()) break;
    uint32_t type = U32(a);
    uint64_t rn = U64(a + 16) & 0xFFFFFFFFFFFFull;
    bool wanted = (type == kAttrData && a[6] == 0 && U64(a + 8) == 0 && !info->has_data_size) ||
                  (type == kAttrFileName && !info->has_name);
    const uint8_t* ext = nullptr;
    size_t ext_length = 0;
    if (wanted && rn != number && std::find(done.begin(), done.end(), rn) == done.end() &&
        (ext = ReadLiveRecord(rn, &ext_length)) != nullptr) {
      done.push_back(rn);
      ParseFileRecord(ext, ext_length, &x);
      if (x.valid && x.has_data_size && !info->has_data_size) {
        info->has_data_size = true;
        info->data_size = x.data_size;
      }
      if (x.valid && x.has_name && !info->has_name) {
        // Copy the name into the caller's storage so it outlives ext.
        size_t at = storage->size();
        storage->append(reinterpret_cast<const char*>(x.name_bytes), x.name_length * 2u);
        info->has_name = true;
        info->name_length = x.name_length;
        info->parent = x.parent;
        info->name_bytes = reinterpret_cast<const uint8_t*>(storage->data()) + at;
      }
    }
    pos += elen;
  }
  return true;
}

void NtfsVolumeScanner::QueryRecordInfo(uint64_t reference, ScanRecord* record, bool indexed_name) {
  RecordInfo info;
  if (!ReadLiveInfo(RecordOf(reference), &info, &live_record_)) {
    // The item is gone or unreadable: report it empty rather than with stale values.
    record->time = 0;
    record->size = 0;
    return;
  }
  if (indexed_name && info.has_name) {
    record->name = LiveName(info);
    record->parent_reference = config_.drive_letter == 0 && RecordOf(info.parent) == kRootRecord
                                   ? config_.mount_folder_reference
                                   : ToIndexReference(info.parent, drive_mount_bits_);
  }
  record->time = ToCompactTime(info.has_standard_info ? info.time : 0);
  uint32_t size = info.has_data_size ? ToSizeForm(info.data_size) : kNoSizeMarker;
  if (record->is_folder) size = 0;
  else if (size == kNoSizeMarker) size = ToSizeForm(QuerySizeById(reference));
  record->size = size;
}

uint64_t NtfsVolumeScanner::QuerySizeById(uint64_t reference) {
  uint64_t size = 0;
  if (OpenLive() && live_->volume()->FileSizeById(reference & 0xFFFF0000FFFFFFFFull, &size)) return size;
  RecordInfo info;
  if (!ReadLiveInfo(RecordOf(reference), &info, &live_record_)) return 0;
  return info.has_data_size ? info.data_size : info.file_name_size;
}

std::u16string NtfsVolumeScanner::PathFromReference(uint64_t reference) {
  std::u16string path;
  uint64_t at = RecordOf(reference);
  RecordInfo info;
  // A path longer than NTFS allows means a parent cycle: no path, before the repeated
  // inserts at the front grow costly.
  for (int steps = 0; path.size() <= kMaxPathChars; ++steps) {
    if (at == kRootRecord) return RootPrefix() + path;
    if (!ReadLiveInfo(at, &info, &live_record_) || !info.has_name) return steps == 0 ? std::u16string() : path;
    path.insert(0, u"\\" + LiveName(info));
    at = info.parent & 0xFFFFFFFFull;
  }
  return std::u16string();
}

// ---------------------------------------------------------------- change journal

bool NtfsVolumeScanner::OpenVolumeJournal() {
  if (journal_handle_) return true;
  uint32_t err = 0;
  std::unique_ptr<UsnJournal> j;
  if (!config_.env->OpenUsnJournal(VolumePath(), &j, &err).ok()) {
    Log("Failed to obtain a file handle for the root drive(err=" + std::to_string(err) + ")");
    return false;
  }
  if (!j->Query(&journal_, &err)) {
    if (err == kErrorNotSupported || err == kErrorInvalidFunction) {  // a driver without change journals (Wine)
      Log("The volume keeps no change journal; it is scanned in full at every build");
      journal_ = UsnJournalData();
      journal_handle_ = std::move(j);
      return true;
    }
    if (err != kErrorJournalNotActive) {
      Log("Failed to query USN records(err=" + std::to_string(err) + ")");
      return false;
    }
    if (!j->Create(0x2000000, 0x100000, &err)) {
      if (err != kErrorDiskFull) {
        Log("Failed to query USN records(err=" + std::to_string(err) + ")");
        return false;
      }
      journal_ = UsnJournalData();  // no journal: every build scans in full
    } else if (!j->Query(&journal_, &err)) {
      Log("Failed to query USN records(err=" + std::to_string(err) + ")");
      return false;
    }
  }
  journal_handle_ = std::move(j);
  return true;
}

void NtfsVolumeScanner::UseOpened(std::unique_ptr<UsnJournal> journal, const UsnJournalData& data,
                                  std::unique_ptr<MftParser> live) {
  journal_handle_ = std::move(journal);
  journal_ = data;
  live_tried_ = true;
  live_ = std::move(live);
  if (live_) MakeRecordCache();
}

bool NtfsVolumeScanner::ScanVolume(uint64_t* journal_id, uint64_t* next_usn, std::vector<MountedVolume>* mounted) {
  if (mounted) mounted->clear();
  if (!OpenVolumeJournal()) return false;
  const int64_t s = static_cast<int64_t>(*next_usn);
  bool current = journal_.max_size != 0 && *journal_id == journal_.journal_id && s != 0 &&
                 (s < 0 || (s >= journal_.lowest_valid_usn && s >= journal_.first_usn && s <= journal_.next_usn));
  if (current) {
    Log("(No full scan needed)");
  } else {
    // The volume's records are forgotten only once its MFT is known to be readable: a
    // volume that cannot be read keeps what the index had, and is scanned in full the
    // next time.
    std::unique_ptr<MftParser> parser = MftParser::OpenDisk(config_.env, VolumePath(), log_);
    if (!parser || !parser->ok() || parser->LoadMFT() == 0) {
      Log("Assertion failed: LoadMFT returns zero");
      *journal_id = 0;
      *next_usn = 0;
      return false;
    }
    char16_t letter = config_.drive_letter != 0 ? config_.drive_letter
                      : config_.mount_path.empty() ? u'\0' : config_.mount_path[0];
    listener_->ForgetVolume(letter, config_.mount_index);
    *journal_id = journal_.journal_id;
    *next_usn = static_cast<uint64_t>(journal_.next_usn);
    Log("Doing full scan");
    if (!ScanMft(parser.get())) {
      *journal_id = 0;  // the next build must not trust a partial scan
      *next_usn = 0;
      return false;
    }
  }
  if (*next_usn == kAllOnes) *next_usn = 0;
  bool ok = true;
  if (journal_.max_size != 0) {
    Log("Scanning changes");
    int64_t usn = static_cast<int64_t>(*next_usn);
    if (!ReadChanges(&usn)) {
      Log("Change journal not understood; the next build scans this volume in full");
      *journal_id = 0;
      ok = false;
    }
    *next_usn = static_cast<uint64_t>(usn);
  }
  if (*next_usn == 0) *next_usn = kAllOnes;
  return ok;
}

bool NtfsVolumeScanner::ReadChanges(int64_t* next_usn, ChangePassStats* stats_out) {
  ChangePassStats stats;
  folder_cache_.clear();
  in_pass_ = true;
  const uint16_t bits = drive_mount_bits_;
  bool ok = true;
  if (!Cancelled() && journal_handle_) {
    std::vector<uint8_t> buffer(kJournalBuffer);
    std::vector<uint8_t>& window = window_;
    int64_t start = *next_usn;
    int64_t last_usn = 0;
    uint32_t last_length = 0;
    JournalRecord jr;
    ScanRecord r;
    std::string error;
    bool stop = false, exhausted = false;
    OpenLive();  // sizes the record cache, and so the windows
    const size_t room = record_cache_ ? record_cache_->capacity() / 4 * 3 : 0;  // the rest: folders, misses
    // Windows start small, so the records of changes that lie together in the MFT are
    // still in the processor's cache when they are used, and grow while their records
    // lie apart, so that more of them share reads.
    size_t budget = std::min(room, kFirstWindowRecords);
    while (!stop && !exhausted) {
      // A window: journal reads until its records ask for about as many MFT records as
      // the cache holds, it reaches its size bound, or the journal has nothing more.
      window.clear();
      wanted_.clear();
      do {
        int64_t got = journal_handle_->Read(start, kReasonMask, journal_.journal_id, buffer.data(), buffer.size());
        if (got <= 8) {
          // A failed read (journal deleted or wrapped meanwhile) ends the pass like its end:
          // the stored position then lies before the lost records, and the next build,
          // finding it out of range, scans in full.
          if (got < 0) Log("Change journal read failed at USN " + std::to_string(start) + "; the pass ends there");
          exhausted = true;
          break;
        }
        start = static_cast<int64_t>(U64(buffer.data()));
        window.insert(window.end(), buffer.data() + 8, buffer.data() + got);
        CollectWantedRecords(buffer.data() + 8, static_cast<size_t>(got) - 8);
        if (window.size() >= kWindowBytes) break;
        if (wanted_.size() >= budget) {
          if (budget >= room || !WantedLieApart()) break;
          budget = std::min(room, budget * 2);
        }
      } while (true);
      if (window.empty()) break;
      if (record_cache_) record_cache_->NewBatch();  // copies from the previous window may be stale now
      ReadWantedRecords();
      for (size_t pos = 0; pos < window.size() && !stop;) {
        if (!DecodeJournalRecord(window.data() + pos, window.size() - pos, &jr, &error)) {
          Log("Change pass stopped: " + error);
          ok = false;
          stop = true;
          break;
        }
        pos += jr.length;
        ToIndexName(&jr.name);  // the old name of a rename too: it must match the index
        ++stats.records_read;
        last_usn = jr.usn;
        last_length = jr.length;
        const uint64_t ref = ToIndexReference(jr.reference, bits);
        if (jr.reason & kReasonClose) {
          r.reference = ref;
          r.parent_reference = ToIndexReference(jr.parent, bits);
          if (config_.drive_letter == 0 && RecordOf(jr.parent) == kRootRecord)
            r.parent_reference = config_.mount_folder_reference;
          r.is_folder = (jr.attributes & kFileAttributeDirectory) ? 1 : 0;
          r.name = jr.name;
          r.time = r.size = 0;
          bool changed = (jr.reason & kReasonDataMask) != 0;
          if (jr.reason & kReasonFileCreate) {
            if (IsCreatedItemExcluded(r, jr.reference, jr.parent, jr.attributes)) {
              ++stats.excluded;
              goto next;
            }
            QueryRecordInfo(ref, &r);
            listener_->AddRecord(r);
            ++stats.added;
            changed = false;  // the add already carries the current size and time
          } else if (jr.reason & kReasonRenameNewName) {
            if (r.is_folder) folder_cache_.clear();  // decisions below a moved folder may change
            std::optional<std::u16string> old_name;
            if (auto it = rename_map_.find(ref); it != rename_map_.end()) {
              old_name = std::move(it->second);
              rename_map_.erase(it);
            }
            const bool keep = !IsCreatedItemExcluded(r, jr.reference, jr.parent, jr.attributes) &&
                              !(jr.reason & kReasonFileDelete);
            if (keep) QueryRecordInfo(ref, &r);
            if (keep && old_name) {
              listener_->UpdateRecord(r, &*old_name);
              ++stats.renamed;
            } else if (old_name) {  // moved where items are left out: drop it
              ScanRecord old = r;
              old.name = *old_name;
              listener_->DeleteRecord(old);
              ++stats.deleted;
            } else {
              // The old name was read before this pass: the index knows the item under a
              // name the scanner does not, so it goes by its reference.
              listener_->DeleteByReference(r);
              ++stats.deleted;
              if (keep) {
                listener_->AddRecord(r);
                ++stats.added;
              }
            }
            changed = false;
          }
          if (changed && !(jr.reason & kReasonFileDelete)) {
            QueryRecordInfo(ref, &r, true);
            listener_->UpdateRecord(r, nullptr);
            ++stats.updated;
          }
          if (jr.reason & kReasonFileDelete) {
            listener_->DeleteRecord(r);
            ++stats.deleted;
            if (r.is_folder) folder_cache_.erase(RecordOf(jr.reference));
          }
        } else if (jr.reason & kReasonRenameOldName) {
          rename_map_[ref] = jr.name;
        }
      next:
        if (Cancelled()) stop = true;
      }
    }
    if (stats.records_read > 0) *next_usn = last_usn + last_length;
  }
  in_pass_ = false;
  Log(std::to_string(stats.records_read) + " change records processed.");
  if (stats_out) *stats_out = stats;
  return ok;
}

// Decides whether an item created since the last build belongs in the index: hidden,
// a name pattern, or a folder on its path that is hidden, matches a folder pattern or
// holds the marker file. Folder decisions are cached for the rest of the pass.
uint8_t NtfsVolumeScanner::IsCreatedItemExcluded(const ScanRecord& record, uint64_t ntfs_reference,
                                                 uint64_t ntfs_parent, uint32_t attributes) {
  const ExclusionSettings& x = *exclusions_;
  const bool folder = record.is_folder != 0;
  const uint32_t own = RecordOf(ntfs_reference);
  if (x.exclude_hidden && (attributes & kFileAttributeHidden)) {
    if (folder) folder_cache_[own] = 1;
    return 1;
  }
  if (folder) {
    auto it = folder_cache_.find(own);
    if (it != folder_cache_.end()) return it->second;
  } else {
    // The file's own name first: a kept parent must not let a matching name through.
    if (x.exclude_by_name && MatchesFilePattern(x, record.name)) return 1;
    if (record.name == kIgnoreMarkerName) {
      // A new marker, also in a folder already decided as kept: its folder and everything
      // created in it from now on stay out, and the folder is reported as a full scan
      // would report it.
      listener_->IgnoredFolderFound(PathFromReference(ntfs_parent));
      folder_cache_[RecordOf(ntfs_parent)] = 1;
      return 1;
    }
    auto it = folder_cache_.find(RecordOf(ntfs_parent));
    if (it != folder_cache_.end()) return it->second;
  }
  // The chain of folders from the item's own folder up to (not including) the root.
  struct Level { uint32_t record; std::u16string name; uint32_t attributes; };
  std::vector<Level> levels;
  if (folder) levels.push_back({own, record.name, attributes});
  uint64_t at = RecordOf(ntfs_parent);
  RecordInfo info;
  int cached = -1;
  // A chain longer than any NTFS path (a parent cycle in a damaged or changing MFT)
  // reaches no folder: its items are left out, as the full scan leaves them out.
  size_t path_length = folder ? record.name.size() + 1 : 0;
  for (;;) {
    auto it = folder_cache_.find(static_cast<uint32_t>(at));
    if (it != folder_cache_.end()) { cached = it->second; break; }
    if (at == kRootRecord) break;
    if (!ReadLiveInfo(at, &info, &live_record_) || !info.has_name) {
      Env::Default()->DebugOutput(u"xTF\n");
      break;
    }
    levels.push_back({static_cast<uint32_t>(at), LiveName(info), info.attributes});
    path_length += info.name_length + 1u;
    if (path_length > kMaxPathChars) {
      for (const Level& l : levels) folder_cache_[l.record] = 1;
      return 1;
    }
    at = info.parent & 0xFFFFFFFFull;
  }
  if (cached >= 0) {
    for (const Level& l : levels) folder_cache_[l.record] = static_cast<uint8_t>(cached);
    if (cached == 1 || levels.empty()) return static_cast<uint8_t>(cached);
    // Kept above: the levels walked below it still need their own tests (below).
  }
  // The deepest level's path; each level's own path is a prefix of it (ends[k] long).
  std::vector<size_t> ends(levels.size());
  std::u16string full = RootPrefix();
  for (size_t k = levels.size(); k-- > 0;) {
    full += u"\\" + levels[k].name;
    ends[k] = full.size();
  }
  auto marker_exists = [this](const std::u16string& path) {
    if (config_.marker_exists) return config_.marker_exists(path);
    return Env::Default()->FileExists(path + u"\\" + std::u16string(kIgnoreMarkerName));
  };
  for (size_t j = 0; j < levels.size(); ++j) {
    const Level& l = levels[j];
    bool excluded = (x.exclude_hidden && (l.attributes & kFileAttributeHidden)) ||
                    (x.exclude_by_name && MatchesFolderPattern(x, l.name));
    if (!excluded) {
      const std::u16string path = full.substr(0, ends[j]);
      if (marker_exists(path)) {
        excluded = true;
        listener_->IgnoredFolderFound(path);
      }
    }
    if (excluded) {
      for (size_t k = 0; k <= j; ++k) folder_cache_[levels[k].record] = 1;
      return 1;
    }
  }
  for (const Level& l : levels) folder_cache_[l.record] = 0;
  return 0;
}

}  // namespace nusk
