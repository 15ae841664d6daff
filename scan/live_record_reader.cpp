#include "scan/live_record_reader.h"

#include <algorithm>
#include <cstring>

#include "index/file_reference.h"
#include "platform/native_name.h"
#include "scan/ntfs_folder_index.h"

namespace nusk {
namespace {

using namespace ntfs;

// MFT records kept for one window: 32 MiB, touched only as far as a window needs.
constexpr size_t kRecordCacheBytes = 32u << 20;
// Raw reads of single records take the aligned 4 KiB around the record asked for: items
// created together get neighbouring records, and 4 KiB costs what 1 KiB does.
constexpr uint32_t kRecordGroupBytes = 4096;
// Coalesced reads of a window's records: at most this much unwanted MFT between two
// wanted records, and at most this much in one read.
constexpr uint32_t kCoalesceGapBytes = 16 * 1024;
constexpr uint32_t kCoalesceReadBytes = 1u << 20;
constexpr size_t kMaxPathChars = 32767;  // the longest path NTFS allows

bool UsableRecord(uint8_t* r, uint32_t size) {
  return std::memcmp(r, "FILE", 4) == 0 && ApplyFixup(r, size);  // else unused, wiped or torn
}

}  // namespace

LiveRecordReader::LiveRecordReader(std::function<std::unique_ptr<MftParser>()> open, bool escape_backslash)
    : open_(std::move(open)), escape_backslash_(escape_backslash) {}

LiveRecordReader::~LiveRecordReader() = default;

void LiveRecordReader::Adopt(std::unique_ptr<MftParser> live) {
  tried_ = true;
  live_ = std::move(live);
  if (live_) MakeRecordCache();
}

bool LiveRecordReader::Open() {
  if (live_) return true;
  if (tried_) return false;
  tried_ = true;
  std::unique_ptr<MftParser> p = open_ ? open_() : nullptr;
  if (!p) return false;
  live_ = std::move(p);
  MakeRecordCache();
  return true;
}

// The cache never needs more room than the whole MFT: a small volume does not reserve
// the full arena and its table.
void LiveRecordReader::MakeRecordCache() {
  const uint32_t rs = live_->boot().record_size;
  const size_t bytes = static_cast<size_t>(std::min<uint64_t>(kRecordCacheBytes, live_->record_count() * rs));
  cache_ = std::make_unique<MftRecordCache>(rs, bytes);
}

void LiveRecordReader::NewWindow() {
  if (cache_) cache_->NewBatch();  // copies from the previous window may be stale now
}

size_t LiveRecordReader::WindowRoom() {
  Open();
  return cache_ ? cache_->capacity() / 4 * 3 : 0;
}

// Returns record `number` (fix-up applied) and its length, or null when it is not in
// use or cannot be read. The bytes stay valid until the next call.
const uint8_t* LiveRecordReader::ReadRecord(uint64_t number, size_t* length) {
  if (!Open()) return nullptr;
  MftRecordCache& cache = *cache_;
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
    if (!UsableRecord(r, rs)) continue;
    if (group != record_group_.data()) cache.Insert(first + k, r);
    if (first + k == number) hit = r;
  }
  return hit;
}

// Sorts the wanted records and drops repeats. False when nothing is to be read raw: none
// is wanted, or the volume is live and answers each record from the file system's
// current copy, which raw MFT bytes may lag behind.
bool LiveRecordReader::RawWanted() {
  if (wanted_.empty() || !Open() || live_->volume()->ServesFileRecords()) return false;
  std::sort(wanted_.begin(), wanted_.end());
  wanted_.erase(std::unique(wanted_.begin(), wanted_.end()), wanted_.end());
  return true;
}

// The end of the coalesced read that starts at wanted_[i]: the index after its last
// wanted record.
size_t LiveRecordReader::SpanEnd(size_t i) const {
  const uint32_t rs = cache_->record_size();
  const uint64_t total = live_->record_count();
  const uint64_t max_gap = std::max<uint32_t>(1, kCoalesceGapBytes / rs);
  const uint64_t max_span = std::max<uint32_t>(1, kCoalesceReadBytes / rs);
  const uint64_t first = wanted_[i];
  uint64_t last = first;
  size_t end = i + 1;
  while (end < wanted_.size() && wanted_[end] < total && wanted_[end] - last <= max_gap &&
         wanted_[end] - first < max_span)
    last = wanted_[end++];
  return end;
}

bool LiveRecordReader::WantedLieApart() {
  if (!RawWanted()) return false;
  size_t reads = 0;
  for (size_t i = 0; i < wanted_.size() && wanted_[i] < live_->record_count(); i = SpanEnd(i)) ++reads;
  return reads * 8 > wanted_.size();
}

// Numbers that lie close together share one raw read, so a window costs a few large
// reads instead of one small read per change (a read costs about what copying 16 KiB
// does).
void LiveRecordReader::ReadWanted() {
  if (!RawWanted()) return;
  const std::vector<uint64_t>& wanted = wanted_;
  MftRecordCache& cache = *cache_;
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
    if (!out) return;                                // the window's arena is full: the rest is read when asked for
    if (live_->ReadRawRecords(first, count, out)) {  // else a sparse run: asked for singly later
      for (size_t k = i; k < end; ++k) {
        uint8_t* r = out + size_t{wanted[k] - first} * rs;
        if (!UsableRecord(r, rs)) continue;
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

bool LiveRecordReader::ReadInfo(uint64_t number, RecordInfo* info) {
  std::string* storage = &info_record_;
  size_t length = 0;
  const uint8_t* rec = ReadRecord(number, &length);
  if (!rec) return false;
  ParseFileRecord(rec, length, info);
  if (!info->valid || info->malformed || !(info->flags & kRecordInUse)) return false;
  // The name points into the record, which lasts until the next read: callers copy it.
  if (info->has_data_size && info->has_name) return true;
  if (!info->has_attribute_list) return true;
  // The name or the size lives in an extension record: follow the attribute list. The
  // reads below may reuse the record's memory, so it moves to the storage.
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
    uint64_t rn = U64(a + 16) & kNtfsRecordBits;
    bool wanted = (type == kAttrData && a[6] == 0 && U64(a + 8) == 0 && !info->has_data_size) ||
                  (type == kAttrFileName && !info->has_name);
    const uint8_t* ext = nullptr;
    size_t ext_length = 0;
    if (wanted && rn != number && std::find(done.begin(), done.end(), rn) == done.end() &&
        (ext = ReadRecord(rn, &ext_length)) != nullptr) {
      done.push_back(rn);
      ParseFileRecord(ext, ext_length, &x);
      if (x.valid && x.has_data_size && !info->has_data_size) {
        info->has_data_size = true;
        info->data_size = x.data_size;
      }
      if (x.valid && x.has_name && !info->has_name) {
        // Copy the name into the storage so it outlives ext.
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

std::u16string LiveRecordReader::Name(const RecordInfo& info) const {
  std::u16string name(info.name_length, u'\0');
  for (uint16_t i = 0; i < info.name_length; ++i) name[i] = static_cast<char16_t>(U16(info.name_bytes + 2 * i));
  if (escape_backslash_) std::replace(name.begin(), name.end(), u'\\', kEscapedBackslash);
  return name;
}

uint64_t LiveRecordReader::SizeOf(uint64_t ntfs_reference) {
  uint64_t size = 0;
  if (Open() && live_->volume()->FileSizeById(ntfs_reference, &size)) return size;
  RecordInfo info;
  if (!ReadInfo(NtfsRecordOf(ntfs_reference), &info)) return 0;
  return info.has_data_size ? info.data_size : info.file_name_size;
}

std::u16string LiveRecordReader::PathOf(uint64_t record_number, const std::u16string& root_prefix) {
  std::u16string path;
  uint64_t at = record_number;
  RecordInfo info;
  // A path longer than NTFS allows means a parent cycle: no path, before the repeated
  // inserts at the front grow costly.
  for (int steps = 0; path.size() <= kMaxPathChars; ++steps) {
    if (at == kRootRecord) return root_prefix + path;
    if (!ReadInfo(at, &info) || !info.has_name) return steps == 0 ? std::u16string() : path;
    path.insert(0, u"\\" + Name(info));
    at = NtfsRecordOf(info.parent);
  }
  return std::u16string();
}

std::optional<uint64_t> LiveRecordReader::FindChild(uint64_t folder_record, std::u16string_view name) {
  size_t length = 0;
  const uint8_t* rec = ReadRecord(folder_record, &length);
  if (!rec) return std::nullopt;
  std::u16string volume_name(name);  // the name as the volume spells it
  if (escape_backslash_) std::replace(volume_name.begin(), volume_name.end(), kEscapedBackslash, u'\\');
  return FindFolderChild(rec, length, volume_name, live_->volume(), live_->boot().cluster_size,
                         live_->boot().volume_bytes / std::max<uint32_t>(1, live_->boot().cluster_size));
}

}  // namespace nusk
