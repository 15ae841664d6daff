// Writes the synthetic MFT records of bench/mft_synthetic.h into a real NTFS volume image
// (as made by mkntfs), so that ntfs-3g's tools and the project's reader can both be
// asked what the records hold.
//
// The image keeps its own system records. The $MFT grows into the free clusters that
// follow it (one run), the volume's $Bitmap and the $MFT's $BITMAP mark the new clusters
// and in-use records, and $MFTMirr gets the new $MFT record. Records from the first one
// past the image's MFT up to `records` - 1 are replaced by SyntheticRecords::Make(n).
// The records are not linked into folder indexes: they are found by record number.
// Limits: the $MFT's $BITMAP keeps its one cluster (32768 records), and the new clusters
// must be free; mkntfs keeps about an eighth of the volume free behind the MFT, so
// 2200 records need a 32 MiB volume and 15000 a 128 MiB one.
#pragma once
#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "bench/mft_synthetic.h"
#include "util/status.h"

namespace nusk::tools {

class MftInjector {
 public:
  using Records = bench::SyntheticRecords;

  // Injects records up to `records` - 1 into the image at path. On failure (not an image
  // this can extend, no room) the status says why; the image is then left as it was
  // unless the failure was a write error.
  static Status Inject(const std::string& path, uint32_t records) {
    MftInjector in(path);
    return in.InjectAll(records);
  }

 private:
  struct Run {
    uint64_t lcn, length;
  };

  explicit MftInjector(const std::string& path)
      : path_(path), file_(path, std::ios::in | std::ios::out | std::ios::binary) {}

  static uint16_t Get16(const uint8_t* p) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
  }
  static uint32_t Get32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
  }
  static uint64_t Get64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
  }
  static void Put64(uint8_t* p, uint64_t v) { std::memcpy(p, &v, 8); }

  Status Fail(const std::string& why) const { return Status::Error(path_ + ": " + why); }

  bool ReadBytes(uint64_t at, void* out, size_t n) {
    file_.seekg(static_cast<std::streamoff>(at));
    file_.read(static_cast<char*>(out), static_cast<std::streamsize>(n));
    return file_.gcount() == static_cast<std::streamsize>(n);
  }
  bool WriteBytes(uint64_t at, const void* in, size_t n) {
    file_.seekp(static_cast<std::streamoff>(at));
    file_.write(static_cast<const char*>(in), static_cast<std::streamsize>(n));
    return static_cast<bool>(file_);
  }

  Status InjectAll(uint32_t records) {
    if (!file_) return Fail("cannot open for reading and writing");
    uint8_t boot[512];
    if (!ReadBytes(0, boot, sizeof boot) || std::memcmp(boot + 3, "NTFS", 4) != 0) return Fail("not an NTFS image");
    cluster_ = uint64_t{Get16(boot + 11)} * boot[13];
    if (cluster_ != Records::kCluster || boot[64] != 0xF6)
      return Fail("needs 4096-byte clusters and 1024-byte records (mkntfs -c 4096)");
    const uint64_t mft_lcn = Get64(boot + 48), mirror_lcn = Get64(boot + 56);
    std::vector<uint8_t> mft(Records::kRecord);
    if (!ReadRecord(mft_lcn * cluster_, mft.data()) || Get16(mft.data() + 4) != 48)  // Protect() writes the array at 48
      return Fail("the $MFT record is damaged");
    uint8_t* data = FindAttribute(mft.data(), 0x80);
    uint8_t* bitmap = FindAttribute(mft.data(), 0xB0);
    std::vector<Run> runs;
    if (!data || !bitmap || !data[8] || !bitmap[8] || !DecodeRuns(data, &runs) || runs.size() != 1)
      return Fail("the $MFT is not one run with a non-resident $BITMAP");
    const uint64_t old_records = Get64(data + 48) / Records::kRecord;
    if (records <= old_records) return Fail("the image already holds " + std::to_string(old_records) + " records");
    if (old_records > Records::kFirstUser) return Fail("the image's MFT reaches past the first synthetic user record");
    const uint64_t clusters = (uint64_t{records} * Records::kRecord + cluster_ - 1) / cluster_;
    if (Get64(bitmap + 40) * 8 < records) return Fail("the $MFT $BITMAP has no room for that many records");

    // The grown $DATA: one run of `clusters` clusters at the same place.
    Put64(data + 24, clusters - 1);
    Put64(data + 40, clusters * cluster_);
    Put64(data + 48, uint64_t{records} * Records::kRecord);
    Put64(data + 56, uint64_t{records} * Records::kRecord);
    if (!EncodeRun(data, runs[0].lcn, clusters)) return Fail("the $MFT run list has no room for the longer run");
    const uint64_t base = runs[0].lcn * cluster_;
    std::vector<uint8_t> record_bits;  // read before anything is written
    if (!Transfer(bitmap, &record_bits, false)) return Fail("cannot read the $MFT $BITMAP");
    Status s = MarkClusters(base, runs[0].lcn + runs[0].length, runs[0].lcn + clusters);
    if (!s.ok()) return s;
    s = MarkRecords(bitmap, &record_bits, old_records, records);
    if (!s.ok()) return s;

    std::vector<uint8_t> record(Records::kRecord);
    for (uint32_t n = static_cast<uint32_t>(old_records); n < records; ++n) {
      records_.Make(n, record.data());
      if (!WriteBytes(base + uint64_t{n} * Records::kRecord, record.data(), record.size())) return Fail("write failed");
    }
    // $MFTMirr starts with a copy of $MFT's record 0; ntfs-3g refuses a volume whose copies differ.
    Records::Protect(mft.data());
    if (!WriteBytes(base, mft.data(), mft.size()) || !WriteBytes(mirror_lcn * cluster_, mft.data(), mft.size()))
      return Fail("write failed");
    file_.flush();
    return file_ ? Status::Ok() : Fail("write failed");
  }

  // Reads one record and undoes its update sequence; false when a sector's check fails.
  bool ReadRecord(uint64_t at, uint8_t* r) {
    if (!ReadBytes(at, r, Records::kRecord) || std::memcmp(r, "FILE", 4) != 0) return false;
    const uint16_t usa = Get16(r + 4), count = Get16(r + 6);
    if (count != Records::kRecord / 512 + 1 || usa + 2u * count > Records::kRecord) return false;
    for (uint16_t i = 1; i < count; ++i) {
      if (Get16(r + i * 512 - 2) != Get16(r + usa)) return false;
      std::memcpy(r + i * 512 - 2, r + usa + 2 * i, 2);
    }
    return true;
  }

  // First unnamed attribute of `type` in a fixed-up record, or null.
  static uint8_t* FindAttribute(uint8_t* r, uint32_t type) {
    const uint32_t used = Get32(r + 24);
    for (uint32_t at = Get16(r + 20); used <= Records::kRecord && at + 16 <= used;) {
      const uint32_t t = Get32(r + at), length = Get32(r + at + 4);
      if (t == 0xFFFFFFFF || length < 16 || at + length > used) return nullptr;
      if (t == type && r[at + 9] == 0) return r + at;
      at += length;
    }
    return nullptr;
  }

  // Decodes a non-resident attribute's mapping pairs; false for sparse runs or damage.
  static bool DecodeRuns(const uint8_t* a, std::vector<Run>* runs) {
    const uint32_t length = Get32(a + 4);
    int64_t lcn = 0;
    for (uint32_t at = Get16(a + 32); at < length && a[at] != 0;) {
      const unsigned lb = a[at] & 15, ob = a[at] >> 4;
      if (lb == 0 || lb > 8 || ob == 0 || ob > 8 || at + 1 + lb + ob > length) return false;
      uint64_t len = 0;
      int64_t delta = 0;
      for (unsigned i = 0; i < lb; ++i) len |= uint64_t{a[at + 1 + i]} << (8 * i);
      for (unsigned i = 0; i < ob; ++i) delta |= int64_t{a[at + 1 + lb + i]} << (8 * i);
      if (ob < 8 && (a[at + lb + ob] & 0x80)) delta -= int64_t{1} << (8 * ob);  // sign of the offset
      lcn += delta;
      runs->push_back({static_cast<uint64_t>(lcn), len});
      at += 1 + lb + ob;
    }
    return !runs->empty();
  }

  // Replaces a non-resident attribute's mapping pairs with one run; false when they
  // would not fit in the attribute.
  static bool EncodeRun(uint8_t* a, uint64_t lcn, uint64_t clusters) {
    auto bytes_for = [](uint64_t v) {
      uint8_t b = 1;
      while (b < 8 && (v >> (8 * b - 1)) != 0) ++b;
      return b;
    };
    const uint8_t lb = bytes_for(clusters), ob = bytes_for(lcn);
    const uint32_t at = Get16(a + 32), length = Get32(a + 4);
    if (at + 2u + lb + ob > length) return false;
    std::memset(a + at, 0, length - at);
    a[at] = static_cast<uint8_t>(ob << 4 | lb);
    for (uint8_t i = 0; i < lb; ++i) a[at + 1 + i] = static_cast<uint8_t>(clusters >> (8 * i));
    for (uint8_t i = 0; i < ob; ++i) a[at + 1 + lb + i] = static_cast<uint8_t>(lcn >> (8 * i));
    return true;
  }

  // Reads or writes the whole value of a non-resident attribute (up to its data size).
  bool Transfer(const uint8_t* a, std::vector<uint8_t>* value, bool write) {
    std::vector<Run> runs;
    if (!DecodeRuns(a, &runs)) return false;
    if (!write) value->assign(Get64(a + 48), 0);
    uint64_t done = 0;
    for (const Run& run : runs) {
      const uint64_t n = std::min<uint64_t>(run.length * cluster_, value->size() - done);
      if (n == 0) break;
      const bool ok = write ? WriteBytes(run.lcn * cluster_, value->data() + done, n)
                            : ReadBytes(run.lcn * cluster_, value->data() + done, n);
      if (!ok) return false;
      done += n;
    }
    return done == value->size();
  }

  // Marks clusters [first, end) used in the volume's $Bitmap (record 6); all must be free.
  Status MarkClusters(uint64_t mft_base, uint64_t first, uint64_t end) {
    std::vector<uint8_t> rec(Records::kRecord), bits;
    if (!ReadRecord(mft_base + 6 * Records::kRecord, rec.data())) return Fail("the $Bitmap record is damaged");
    const uint8_t* a = FindAttribute(rec.data(), 0x80);
    if (!a || !a[8] || !Transfer(a, &bits, false)) return Fail("cannot read the volume's $Bitmap");
    if (end > bits.size() * 8) return Fail("the volume is too small for that many records; make a larger volume");
    for (uint64_t c = first; c < end; ++c) {
      if (bits[c / 8] >> (c % 8) & 1)
        return Fail("cluster " + std::to_string(c) + " after the $MFT is in use; make a larger volume");
      bits[c / 8] |= static_cast<uint8_t>(1 << (c % 8));
    }
    return Transfer(a, &bits, true) ? Status::Ok() : Fail("write failed");
  }

  // Grows the $MFT's $BITMAP to cover `records` and marks the in-use synthetic records.
  Status MarkRecords(uint8_t* bitmap, std::vector<uint8_t>* record_bits, uint64_t first, uint32_t records) {
    std::vector<uint8_t>& bits = *record_bits;
    const uint64_t size = (uint64_t{records} + 63) / 64 * 8;  // whole 8-byte words, as NTFS keeps it
    bits.resize(size, 0);
    for (uint64_t n = first; n < records; ++n)
      if (Records::InUse(static_cast<uint32_t>(n))) bits[n / 8] |= static_cast<uint8_t>(1 << (n % 8));
    Put64(bitmap + 48, size);
    Put64(bitmap + 56, size);
    return Transfer(bitmap, &bits, true) ? Status::Ok() : Fail("write failed");
  }

  std::string path_;
  std::fstream file_;
  uint64_t cluster_ = 0;
  Records records_;
};

}  // namespace nusk::tools
