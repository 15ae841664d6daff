// Synthetic NTFS file records, and a volume made of them that is held in no memory at
// all: the boot sector and MFT records are produced on request, so MFT parsing can be
// measured over millions of records without a multi-gigabyte image.
//
// SyntheticRecords writes records in the on-disk format that ntfs-3g accepts (checked by
// tests/ntfs/synthetic_mft_check_test.cpp, which writes them into a real mkntfs volume
// with tools/mft_inject). Layout: records 0-15 are system records, 16 up to kFirstUser
// are formatted but not in use (as on a fresh volume), then every kFolderEvery-th record
// is a folder in the root and the records after it are files in that folder.
#pragma once
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/raw_volume.h"

namespace nusk::bench {

class SyntheticRecords {
 public:
  static constexpr uint32_t kCluster = 4096, kRecord = 1024;
  static constexpr uint32_t kFirstUser = 64, kFolderEvery = 1000;

  // What each record means; readers of the records are checked against these.
  static bool InUse(uint32_t n) { return n < 16 || n >= kFirstUser; }
  static bool IsFolder(uint32_t n) { return n == 5 || (n >= kFirstUser && (n - kFirstUser) % kFolderEvery == 0); }
  static uint32_t ParentOf(uint32_t n) {
    return n < kFirstUser || IsFolder(n) ? 5 : kFirstUser + (n - kFirstUser) / kFolderEvery * kFolderEvery;
  }
  // System records carry their own number as sequence (record 0 has 1), as mkntfs makes them.
  static uint16_t SequenceOf(uint32_t n) { return static_cast<uint16_t>(n == 0 ? 1 : n < 16 ? n : 1 + n % 7); }
  static uint64_t TimeOf(uint32_t n) { return 133000000000000000ull + uint64_t{n} * 10000000u; }
  // Files are sparse (no clusters behind them); every 97th is large, past 4 GiB from record 1024 on.
  static uint64_t SizeOf(uint32_t n) { return IsFolder(n) ? 0 : n % 97 == 0 ? uint64_t{n} << 22 : uint64_t{n} * 4099; }
  static std::u16string NameOf(uint32_t n) {
    if (n < kFirstUser) return n == 5 ? u"." : u"$sys";
    std::u16string s = IsFolder(n) ? u"dir-0000000" : u"file-0000000.txt";
    for (int i = 0, pos = IsFolder(n) ? 10 : 11; i < 7; ++i, --pos, n /= 10)
      s[pos] = static_cast<char16_t>(u'0' + n % 10);
    return s;
  }
  SyntheticRecords() : file_(Template(kFile)), folder_(Template(kFolder)), free_(Template(kFree)) {}

  // Writes record n (kRecord bytes, update sequence applied) to out. Record 0 is written
  // as a plain in-use system record: a volume supplies its own $MFT record.
  void Make(uint32_t n, uint8_t* out) const {
    const bool folder = IsFolder(n);
    std::memcpy(out, (!InUse(n) ? free_ : folder ? folder_ : file_).data(), kRecord);
    Put16(out, 16, SequenceOf(n));
    Put32(out, 44, n);
    if (!InUse(n)) return Protect(out);
    const uint64_t time = TimeOf(n);
    for (int i = 0; i < 4; ++i) Put64(out, kSi + 24 + 8 * i, time);
    for (int i = 0; i < 4; ++i) Put64(out, kFnValue + 8 + 8 * i, time);
    Put64(out, kFnValue, ParentOf(n) | (uint64_t{SequenceOf(ParentOf(n))} << 48));
    const std::u16string name = NameOf(n);
    Put32(out, kFn + 16, static_cast<uint32_t>(66 + 2 * name.size()));
    out[kFnValue + 64] = static_cast<uint8_t>(name.size());
    std::memcpy(out + kFnValue + 66, name.data(), 2 * name.size());
    if (!folder) {
      const uint64_t size = SizeOf(n), allocated = (size + kCluster - 1) / kCluster * kCluster;
      Put64(out, kFnValue + 40, allocated);
      Put64(out, kFnValue + 48, size);
      SetSparseData(out, size, allocated);
    }
    Protect(out);
  }

 private:
  enum Kind { kFile, kFolder, kFree };
  static void Put16(uint8_t* b, size_t at, uint16_t v) { std::memcpy(b + at, &v, 2); }
  static void Put32(uint8_t* b, size_t at, uint32_t v) { std::memcpy(b + at, &v, 4); }
  static void Put64(uint8_t* b, size_t at, uint64_t v) { std::memcpy(b + at, &v, 8); }

  // Attribute offsets inside the templates, fixed so Make() only patches values:
  // $STANDARD_INFORMATION (72-byte value), $FILE_NAME (room for 19 characters), then
  // $DATA for files or an empty $I30 $INDEX_ROOT for folders.
  static constexpr size_t kSi = 56, kFn = kSi + 96, kFnValue = kFn + 24, kThird = kFn + 24 + 104;
  static constexpr size_t kDataLength = 80;   // non-resident header with compressed size
  static constexpr size_t kRunsAt = 72;       // mapping pairs, after the compressed size
  static constexpr size_t kIndexLength = 80;  // header, "$I30", index root with end entry

  static std::vector<uint8_t> Template(Kind kind) {
    std::vector<uint8_t> v(kRecord, 0);
    uint8_t* r = v.data();
    std::memcpy(r, "FILE", 4);
    Put16(r, 4, 48);  // update sequence: offset and count (one per 512-byte sector, plus one)
    Put16(r, 6, kRecord / 512 + 1);
    Put16(r, 20, kSi);
    Put32(r, 28, kRecord);
    if (kind == kFree) {
      Put32(r, kSi, 0xFFFFFFFF);
      Put32(r, 24, kSi + 8);
      return v;
    }
    Put16(r, 18, 1);  // one name links the record
    Put16(r, 22, kind == kFolder ? 3 : 1);
    Put16(r, 40, 3);  // next attribute instance
    Put32(r, kSi, 0x10);
    Put32(r, kSi + 4, 96);
    Put32(r, kSi + 16, 72);
    Put16(r, kSi + 20, 24);
    Put32(r, kSi + 24 + 32, kind == kFolder ? 0x10 : 0x220);  // files: archive, sparse
    Put32(r, kFn, 0x30);
    Put32(r, kFn + 4, 24 + 104);
    Put16(r, kFn + 14, 1);
    Put16(r, kFn + 20, 24);
    r[kFn + 22] = 1;  // indexed
    Put32(r, kFnValue + 56, kind == kFolder ? 0x10000000 : 0x220);
    r[kFnValue + 65] = 1;  // Win32 namespace
    size_t end = kThird;
    if (kind == kFile) {
      Put32(r, kThird, 0x80);
      Put32(r, kThird + 4, kDataLength);
      r[kThird + 8] = 1;
      Put16(r, kThird + 12, 0x8000);  // sparse
      Put16(r, kThird + 14, 2);
      Put16(r, kThird + 32, kRunsAt);
      end += kDataLength;
    } else {
      Put32(r, kThird, 0x90);
      Put32(r, kThird + 4, kIndexLength);
      r[kThird + 9] = 4;  // name "$I30" at 24, value at 32
      Put16(r, kThird + 10, 24);
      Put16(r, kThird + 14, 2);
      Put32(r, kThird + 16, 48);
      Put16(r, kThird + 20, 32);
      const char16_t i30[] = u"$I30";
      std::memcpy(r + kThird + 24, i30, 8);
      uint8_t* root = r + kThird + 32;
      Put32(root, 0, 0x30);  // indexes $FILE_NAME, file-name collation
      Put32(root, 4, 1);
      Put32(root, 8, 4096);
      root[12] = 4096 / kCluster;
      Put32(root, 16, 16);  // index header: entries at 16, 32 bytes used and allocated
      Put32(root, 20, 32);
      Put32(root, 24, 32);
      Put16(root, 32 + 8, 16);  // the end entry
      Put16(root, 32 + 12, 2);
      end += kIndexLength;
    }
    Put32(r, end, 0xFFFFFFFF);
    Put32(r, 24, static_cast<uint32_t>(end + 8));
    return v;
  }

  // A sparse $DATA of `size` bytes: allocated in whole clusters, one run with no clusters
  // behind it, so any size costs no disk space.
  static void SetSparseData(uint8_t* r, uint64_t size, uint64_t allocated) {
    uint8_t* a = r + kThird;
    const uint64_t clusters = allocated / kCluster;
    Put64(a, 24, clusters - 1);  // last VCN (all ones for an empty file)
    Put64(a, 40, allocated);
    Put64(a, 48, size);
    Put64(a, 56, size);
    std::memset(a + kRunsAt, 0, kDataLength - kRunsAt);
    if (clusters == 0) return;
    uint8_t bytes = 1;  // the run length is signed: keep its top bit clear
    while (bytes < 7 && (clusters >> (8 * bytes - 1)) != 0) ++bytes;
    a[kRunsAt] = bytes;
    for (uint8_t i = 0; i < bytes; ++i) a[kRunsAt + 1 + i] = static_cast<uint8_t>(clusters >> (8 * i));
  }

 public:
  // Update sequence: each sector's last two bytes move into the array and are replaced
  // by the check value.
  static void Protect(uint8_t* r) {
    const uint16_t check = 1;
    Put16(r, 48, check);
    for (size_t i = 1; i <= kRecord / 512; ++i) {
      std::memcpy(r + 48 + 2 * i, r + i * 512 - 2, 2);
      Put16(r, i * 512 - 2, check);
    }
  }

 private:
  std::vector<uint8_t> file_, folder_, free_;
};

// A volume of `records` synthetic MFT records with 4096-byte clusters: boot sector, an
// $MFT record whose $DATA is one run over the table, then SyntheticRecords.
class SyntheticVolume : public RawVolume {
 public:
  static constexpr uint32_t kCluster = SyntheticRecords::kCluster, kRecord = SyntheticRecords::kRecord;
  static constexpr uint32_t kMftCluster = 4;

  explicit SyntheticVolume(uint32_t records) : records_(records), scratch_(kRecord) {
    boot_.assign(512, 0);
    std::memcpy(&boot_[3], "NTFS    ", 8);
    Put16(boot_.data(), 11, 512);
    boot_[13] = kCluster / 512;
    Put64(boot_.data(), 40, (uint64_t{kMftCluster} * kCluster + uint64_t{records} * kRecord) / 512 + 16);
    Put64(boot_.data(), 48, kMftCluster);
    boot_[64] = 0xF6;
  }

  int64_t ReadAt(uint64_t offset, void* buffer, size_t length) override {
    uint8_t* out = static_cast<uint8_t*>(buffer);
    const uint64_t mft = uint64_t{kMftCluster} * kCluster, end = mft + uint64_t{records_} * kRecord;
    size_t done = 0;
    while (done < length) {
      const uint64_t at = offset + done;
      if (at >= end) break;
      if (at < mft) {
        size_t n = static_cast<size_t>(std::min<uint64_t>(mft - at, length - done));
        for (size_t i = 0; i < n; ++i) out[done + i] = at + i < 512 ? boot_[at + i] : 0;
        done += n;
        continue;
      }
      const uint32_t number = static_cast<uint32_t>((at - mft) / kRecord);
      const size_t in = static_cast<size_t>((at - mft) % kRecord);
      const size_t n = std::min<size_t>(kRecord - in, length - done);
      if (in == 0 && n == kRecord && number != 0) {
        records_maker_.Make(number, out + done);  // whole records go straight to the caller
      } else {
        if (number == 0) MakeMft();
        else records_maker_.Make(number, scratch_.data());
        std::memcpy(out + done, scratch_.data() + in, n);
      }
      done += n;
    }
    return static_cast<int64_t>(done);
  }
  bool QueryNtfsGeometry(NtfsVolumeGeometry*) override { return false; }
  bool ReadFileRecord(uint64_t, std::string*, uint64_t*) override { return false; }
  bool FileSizeById(uint64_t, uint64_t*) override { return false; }

  // Records that carry a name: 1-15 and every user record ($MFT has none).
  static uint32_t NamedRecords(uint32_t records) {
    using R = SyntheticRecords;
    return records <= R::kFirstUser ? std::min(records, 16u) - (records > 0) : records - R::kFirstUser + 15;
  }

 private:
  static void Put16(uint8_t* b, size_t at, uint16_t v) { std::memcpy(b + at, &v, 2); }
  static void Put32(uint8_t* b, size_t at, uint32_t v) { std::memcpy(b + at, &v, 4); }
  static void Put64(uint8_t* b, size_t at, uint64_t v) { std::memcpy(b + at, &v, 8); }

  // The $MFT record: a non-resident $DATA with one run over the whole table, and a
  // $BITMAP (found by type only). It carries no name.
  void MakeMft() {
    uint8_t* r = scratch_.data();
    std::memset(r, 0, kRecord);
    std::memcpy(r, "FILE", 4);
    Put16(r, 4, 48);
    Put16(r, 6, kRecord / 512 + 1);
    Put16(r, 16, 1);
    Put16(r, 20, 56);
    Put16(r, 22, 1);
    Put32(r, 28, kRecord);
    Put16(r, 40, 2);
    const size_t d = 56;
    const uint64_t clusters = (uint64_t{records_} * kRecord + kCluster - 1) / kCluster;
    Put32(r, d, 0x80);
    Put32(r, d + 4, 80);
    r[d + 8] = 1;
    Put64(r, d + 24, clusters - 1);
    Put16(r, d + 32, 64);
    Put64(r, d + 40, clusters * kCluster);
    Put64(r, d + 48, uint64_t{records_} * kRecord);
    Put64(r, d + 56, uint64_t{records_} * kRecord);
    r[d + 64] = 0x14;  // 4-byte length, 1-byte offset
    Put32(r, d + 65, static_cast<uint32_t>(clusters));
    r[d + 69] = kMftCluster;
    const size_t b = d + 80;  // resident $BITMAP
    Put32(r, b, 0xB0);
    Put32(r, b + 4, 32);
    Put16(r, b + 14, 1);
    Put32(r, b + 16, 8);
    Put16(r, b + 20, 24);
    Put32(r, b + 32, 0xFFFFFFFF);
    Put32(r, 24, static_cast<uint32_t>(b + 40));
    SyntheticRecords::Protect(r);
  }

  uint32_t records_;
  SyntheticRecords records_maker_;
  std::vector<uint8_t> boot_, scratch_;
};

}  // namespace nusk::bench
