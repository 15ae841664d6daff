#include "scan/mft_parser.h"

#include <algorithm>
#include <cstring>

#include "index/file_reference.h"
#include "platform/env.h"
#include "util/utf.h"

namespace nusk {
namespace {

using namespace ntfs;

constexpr size_t kChunkBytes = 4u << 20;  // sequential read size for the MFT
constexpr uint32_t kMaxLoggedSkips = 20;  // a damaged MFT must not flood the build log

std::string Hex(uint64_t v) {
  char buf[24];
  snprintf(buf, sizeof buf, "0x%llx", static_cast<unsigned long long>(v));
  return buf;
}

}  // namespace

std::unique_ptr<MftParser> MftParser::OpenDisk(Env* env, const std::u16string& path, const ScanLog& log) {
  std::unique_ptr<RawVolume> volume;
  Status s = env->OpenRawVolume(path, &volume);
  if (!s.ok()) {
    if (log) log("Failed on MftParser::OpenDisk, " + ToUtf8(path) + " (" + s.message() + ")");
    return nullptr;
  }
  return std::make_unique<MftParser>(std::move(volume), log);
}

MftParser::MftParser(std::unique_ptr<RawVolume> volume, ScanLog log)
    : volume_(std::move(volume)), log_(std::move(log)) {
  uint8_t sector[512];
  int64_t got = volume_->ReadAt(0, sector, sizeof sector);
  std::string error;
  if (got != 512) {
    Log("Cannot read the boot sector");
    return;
  }
  if (!ParseBootSector(sector, sizeof sector, &boot_, &error)) {
    Log("Not an NTFS volume: " + error);
    return;
  }
  total_clusters_ = boot_.volume_bytes / boot_.cluster_size;
  state_ok_ = true;
}

uint64_t MftParser::LoadMFT() {
  if (!state_ok_) return 0;
  mft_record_.assign(boot_.record_size, 0);
  if (volume_->ReadAt(boot_.mft_offset, mft_record_.data(), boot_.record_size) != boot_.record_size) {
    Log("Cannot read the $MFT record at " + Hex(boot_.mft_offset));
    return 0;
  }
  if (std::memcmp(mft_record_.data(), "FILE", 4) != 0 || !ApplyFixup(mft_record_.data(), boot_.record_size)) {
    Log("The $MFT record is damaged (signature or update sequence)");
    return 0;
  }
  if (!FindAttribute(mft_record_.data(), boot_.record_size, kAttrBitmap, false)) {
    Log("The $MFT record has no $BITMAP");
    return 0;
  }
  size_t data = FindAttribute(mft_record_.data(), boot_.record_size, kAttrData, true);
  if (!data || mft_record_[data + 8] == 0 || U32(mft_record_.data() + data + 4) < 64 ||
      U64(mft_record_.data() + data + 16) != 0) {
    Log("The $MFT record has no usable $DATA");
    return 0;
  }
  mft_data_size_ = U64(mft_record_.data() + data + 48);
  uint64_t limit = boot_.volume_bytes != 0 ? boot_.volume_bytes : (uint64_t{1} << 44);
  if (mft_data_size_ < boot_.record_size * 16ull || mft_data_size_ > limit) {
    Log("Implausible $MFT size " + std::to_string(mft_data_size_));
    return 0;
  }
  // Known before the run list is gathered: extension records of the $MFT itself are
  // read through ReadRecord, which refuses numbers beyond the record count.
  record_count_ = std::min<uint64_t>(mft_data_size_ / boot_.record_size, 0xFFFFFFF0u);
  if (!CollectMftRuns(mft_record_.data(), 0)) {
    record_count_ = 0;
    runs_.clear();
    return 0;
  }
  return mft_data_size_;
}

// Gathers the run list of the $MFT's $DATA: the segment in record 0 and, when record 0
// carries an $ATTRIBUTE_LIST, the later segments in its extension records.
bool MftParser::CollectMftRuns(const uint8_t* record, uint32_t) {
  runs_.clear();
  size_t rs = boot_.record_size;
  size_t data = FindAttribute(record, rs, kAttrData, true);
  uint32_t len = U32(record + data + 4);
  uint16_t pairs = U16(record + data + 32);
  if (pairs >= len ||
      !DecodeRunList(record + data + pairs, len - pairs, U64(record + data + 16), total_clusters_, &runs_)) {
    Log("The $MFT run list is damaged");
    return false;
  }
  size_t list = FindAttribute(record, rs, kAttrAttributeList, false);
  if (list) {
    Log("The $MFT record carries an attribute list; following its extension records");
    if (record[list + 8] != 0) {
      Log("Unsupported: non-resident attribute list in the $MFT record");
      return false;
    }
    uint32_t alen = U32(record + list + 4);
    uint32_t vlen = U32(record + list + 16);
    uint16_t voff = U16(record + list + 20);
    if (voff > alen || vlen > alen - voff) return false;
    const uint8_t* v = record + list + voff;
    std::vector<uint32_t> extension_records;
    for (size_t pos = 0; pos + 26 <= vlen;) {
      uint16_t elen = U16(v + pos + 4);
      if (elen < 26 || pos + elen > vlen) break;
      uint32_t type = U32(v + pos);
      uint32_t rec = static_cast<uint32_t>(U64(v + pos + 16) & kNtfsRecordBits);
      if (type == kAttrData && v[pos + 6] == 0 && rec != 0 &&
          std::find(extension_records.begin(), extension_records.end(), rec) == extension_records.end())
        extension_records.push_back(rec);
      pos += elen;
    }
    std::string ext;
    for (uint32_t rec : extension_records) {
      if (!ReadRecord(rec, &ext)) {
        Log("Cannot read $MFT extension record " + std::to_string(rec));
        return false;
      }
      const uint8_t* r = reinterpret_cast<const uint8_t*>(ext.data());
      size_t d = FindAttribute(r, rs, kAttrData, true);
      if (!d || r[d + 8] == 0) continue;
      uint32_t dlen = U32(r + d + 4);
      uint16_t dp = U16(r + d + 32);
      if (dlen < 64 || dp >= dlen || !DecodeRunList(r + d + dp, dlen - dp, U64(r + d + 16), total_clusters_, &runs_)) {
        Log("The $MFT run list in extension record " + std::to_string(rec) + " is damaged");
        return false;
      }
    }
    std::sort(runs_.begin(), runs_.end(), [](const Run& a, const Run& b) { return a.vcn < b.vcn; });
  }
  for (size_t i = 1; i < runs_.size(); ++i) {
    if (runs_[i].vcn != runs_[i - 1].vcn + runs_[i - 1].length) {
      Log("The $MFT run list has gaps or overlaps");
      return false;
    }
  }
  return !runs_.empty();
}

bool MftParser::ReadRecord(uint64_t number, std::string* out) {
  if (!state_ok_) return false;
  out->resize(boot_.record_size);
  uint8_t* record = reinterpret_cast<uint8_t*>(out->data());
  return ReadRawRecords(number, 1, record) && ApplyFixup(record, boot_.record_size);
}

bool MftParser::ReadRawRecords(uint64_t first, uint32_t count, uint8_t* out) {
  if (!state_ok_ || runs_.empty() || first >= record_count_ || count > record_count_ - first) return false;
  const uint64_t cs = boot_.cluster_size;
  const uint64_t start = first * boot_.record_size;
  const size_t length = size_t{count} * boot_.record_size;
  size_t done = 0;
  while (done < length) {
    uint64_t vcn = (start + done) / cs;
    auto it = std::upper_bound(runs_.begin(), runs_.end(), vcn, [](uint64_t v, const Run& r) { return v < r.vcn; });
    if (it == runs_.begin()) return false;
    --it;
    if (vcn >= it->vcn + it->length || it->sparse) return false;
    uint64_t in_run = (start + done) - it->vcn * cs;
    uint64_t avail = it->length * cs - in_run;
    size_t n = static_cast<size_t>(std::min<uint64_t>(avail, length - done));
    if (volume_->ReadAt(it->lcn * cs + in_run, out + done, n) != static_cast<int64_t>(n)) return false;
    done += n;
  }
  return true;
}

bool MftParser::ReadMftRecords() {
  if (!state_ok_ || runs_.empty()) return false;
  const size_t rs = boot_.record_size;
  const uint64_t cs = boot_.cluster_size;
  entries_ = nullptr;
  entry_count_ = 0;
  entry_memory_ = ScanMemory();
  entry_memory_ = ScanMemory(static_cast<size_t>(record_count_) * sizeof(MftEntry));
  entries_ = static_cast<MftEntry*>(entry_memory_.data());
  entry_count_ = entries_ ? static_cast<uint32_t>(record_count_) : 0;
  names_.Clear();
  if (!entries_) {
    Log("Cannot allocate the entry table for " + std::to_string(record_count_) + " MFT records");
    return false;
  }
  extensions_.clear();
  extension_sizes_.clear();
  named_count_ = skipped_records_ = next_record_ = 0;

  const uint64_t limit = record_count_ * rs;  // bytes of $DATA that hold table records
  // One reused buffer, not zero-filled: a chunk plus the tail of a record split by it.
  ScanMemory chunk(kChunkBytes + rs);
  if (!chunk.data()) {
    Log("Cannot allocate the MFT read buffer");
    return false;
  }
  uint8_t* const buf = static_cast<uint8_t*>(chunk.data());
  size_t have = 0;
  uint64_t stream = 0;
  bool complete = true;
  for (const Run& run : runs_) {
    uint64_t start = run.vcn * cs;
    if (start >= limit) break;
    uint64_t run_bytes = std::min<uint64_t>(run.length * cs, limit - start);
    for (uint64_t done = 0; done < run_bytes;) {
      size_t n = static_cast<size_t>(std::min<uint64_t>(run_bytes - done, kChunkBytes));
      if (run.sparse) {
        std::memset(buf + have, 0, n);  // unallocated records: empty entries
      } else {
        int64_t got = volume_->ReadAt(run.lcn * cs + done, buf + have, n);
        if (got != static_cast<int64_t>(n)) {
          if (complete) Log("MFT read failed at byte " + Hex(run.lcn * cs + done) + "; later records are missing");
          complete = false;
          std::memset(buf + have + std::max<int64_t>(got, 0), 0, n - std::max<int64_t>(got, 0));
        }
      }
      have += n;
      done += n;
      size_t whole = have / rs * rs;
      ParseBuffer(buf, whole);
      std::memmove(buf, buf + whole, have - whole);
      have -= whole;
    }
    stream = start + run_bytes;
  }
  if (stream < limit) {
    Log("The $MFT run list covers less than its data size");
    complete = false;
  }
  MergeExtensions();
  if (skipped_records_ > kMaxLoggedSkips)
    Log(std::to_string(skipped_records_) + " damaged MFT records skipped in total");
  return complete;
}

void MftParser::ParseBuffer(uint8_t* data, size_t length) {
  const size_t rs = boot_.record_size;
  for (size_t off = 0; off + rs <= length; off += rs) {
    uint32_t number = next_record_++;
    if (number >= entry_count_) continue;
    uint8_t* record = data + off;
    if (std::memcmp(record, "FILE", 4) != 0) continue;  // never used, or wiped
    StoreRecord(number, record);
  }
}

void MftParser::StoreRecord(uint32_t number, uint8_t* record) {
  const size_t rs = boot_.record_size;
  RecordInfo info;
  bool fixed = ApplyFixup(record, rs);
  if (fixed) ParseFileRecord(record, rs, &info);
  if (!fixed || !info.valid || info.malformed) {
    if (++skipped_records_ <= kMaxLoggedSkips)
      Log("MFT record " + std::to_string(number) +
          " skipped: " + (!fixed ? "update sequence mismatch" : "damaged attributes"));
    return;
  }
  MftEntry& e = entries_[number];
  e.flags = info.flags;
  e.sequence = info.sequence;
  e.time = info.time;
  e.attributes = info.attributes;
  e.size = info.has_data_size         ? info.data_size
           : info.file_name_size != 0 ? info.file_name_size
                                      : MftEntry::kUnknownSize;
  if (info.has_name && info.name_length > 0 && names_.Add(info.name_bytes, info.name_length, &e.name_offset)) {
    e.name_length = info.name_length;
    e.parent = info.parent;
    ++named_count_;
  }
  if (info.base_record != 0 && info.base_record != number) {
    // An extension record: its name, size and flags belong to the base record; it is
    // never an item of its own.
    e.flags = 0;
    if (e.has_name() || info.has_data_size || info.attributes != 0) {
      extensions_.emplace_back(number, info.base_record);
      extension_sizes_.push_back(info.has_data_size ? info.data_size : MftEntry::kUnknownSize);
    }
  }
}

void MftParser::MergeExtensions() {
  for (size_t i = 0; i < extensions_.size(); ++i) {
    auto [ext, base] = extensions_[i];
    if (base >= entry_count_) continue;
    MftEntry& b = entries_[base];
    MftEntry& x = entries_[ext];
    if (!b.has_name() && x.has_name()) {
      b.name_offset = x.name_offset;
      b.name_length = x.name_length;
      b.parent = x.parent;
    }
    b.attributes |= x.attributes;
    if (extension_sizes_[i] != MftEntry::kUnknownSize) b.size = extension_sizes_[i];
    x.parent = 0;
  }
  extensions_.clear();
  extension_sizes_.clear();
}

}  // namespace nusk
