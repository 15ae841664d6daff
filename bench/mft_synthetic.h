// A synthetic NTFS volume held in no memory at all: the boot sector and MFT records are
// produced on request, so MFT parsing can be measured over millions of records without
// a multi-gigabyte image. Records follow the on-disk format (header, update sequence,
// $STANDARD_INFORMATION, $FILE_NAME, non-resident $DATA); every 1000th user record is a folder.
#pragma once
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/raw_volume.h"

namespace nusk::bench {

class SyntheticVolume : public RawVolume {
 public:
  static constexpr uint32_t kCluster = 4096, kRecord = 1024, kMftCluster = 4;

  explicit SyntheticVolume(uint32_t records) : records_(records) {
    boot_.assign(512, 0);
    std::memcpy(&boot_[3], "NTFS    ", 8);
    Put16(boot_, 11, 512);
    boot_[13] = 8;
    Put64(boot_, 40, (uint64_t{kMftCluster} * kCluster + uint64_t{records} * kRecord) / 512 + 16);
    Put64(boot_, 48, kMftCluster);
    boot_[64] = 0xF6;
    file_ = Template(false);
    folder_ = Template(true);
  }

  int64_t ReadAt(uint64_t offset, void* buffer, size_t length) override {
    uint8_t* out = static_cast<uint8_t*>(buffer);
    const uint64_t mft = uint64_t{kMftCluster} * kCluster, end = mft + uint64_t{records_} * kRecord;
    size_t done = 0;
    while (done < length) {
      uint64_t at = offset + done;
      if (at >= end) break;
      if (at < mft) {
        size_t n = static_cast<size_t>(std::min<uint64_t>(mft - at, length - done));
        for (size_t i = 0; i < n; ++i) out[done + i] = at + i < 512 ? boot_[at + i] : 0;
        done += n;
        continue;
      }
      uint32_t number = static_cast<uint32_t>((at - mft) / kRecord);
      size_t in = static_cast<size_t>((at - mft) % kRecord);
      Make(number);
      size_t n = std::min<size_t>(kRecord - in, length - done);
      std::memcpy(out + done, scratch_.data() + in, n);
      done += n;
    }
    return static_cast<int64_t>(done);
  }
  bool QueryNtfsGeometry(NtfsVolumeGeometry*) override { return false; }
  bool ReadFileRecord(uint64_t, std::string*, uint64_t*) override { return false; }
  bool FileSizeById(uint64_t, uint64_t*) override { return false; }

  // The parent folder of a user record, and its name, as the generator makes them:
  // folders sit in the root, each holding the 999 files that follow it.
  static uint32_t ParentOf(uint32_t n) { return n < 16 || IsFolder(n) ? 5 : 16 + (n - 16) / 1000 * 1000; }
  static bool IsFolder(uint32_t n) { return n >= 16 && (n - 16) % 1000 == 0; }
  static std::u16string NameOf(uint32_t n) {
    std::u16string s = IsFolder(n) ? u"dir-0000000" : u"file-0000000.txt";
    for (int i = 0, pos = IsFolder(n) ? 10 : 11; i < 7; ++i, --pos, n /= 10) s[pos] = static_cast<char16_t>(u'0' + n % 10);
    return s;
  }

 private:
  static void Put16(std::vector<uint8_t>& b, size_t at, uint16_t v) { std::memcpy(&b[at], &v, 2); }
  static void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) { std::memcpy(&b[at], &v, 4); }
  static void Put64(std::vector<uint8_t>& b, size_t at, uint64_t v) { std::memcpy(&b[at], &v, 8); }

  // Attribute offsets inside the templates (fixed so Make() can patch them).
  static constexpr size_t kSi = 56, kFn = kSi + 96, kFnValue = kFn + 24, kData = kFn + 24 + 104;

  std::vector<uint8_t> Template(bool folder) const {
    std::vector<uint8_t> r(kRecord, 0);
    std::memcpy(r.data(), "FILE", 4);
    Put16(r, 4, 48);
    Put16(r, 6, 3);
    Put16(r, 20, kSi);
    Put16(r, 22, folder ? 3 : 1);
    Put32(r, 28, kRecord);
    Put16(r, 40, 3);
    Put32(r, kSi, 0x10);  // $STANDARD_INFORMATION, 72-byte value
    Put32(r, kSi + 4, 96);
    Put32(r, kSi + 16, 72);
    Put16(r, kSi + 20, 24);
    Put32(r, kSi + 24 + 32, folder ? 0x10 : 0x20);
    Put32(r, kFn, 0x30);  // $FILE_NAME, 66 + 2 x 16-character value
    Put32(r, kFn + 4, 24 + 104);
    Put32(r, kFn + 16, 66 + 32);
    Put16(r, kFn + 20, 24);
    r[kFnValue + 64] = folder ? 11 : 16;
    r[kFnValue + 65] = 1;
    Put32(r, kFnValue + 56, folder ? 0x10000000 : 0x20);
    size_t end = kData;
    if (!folder) {
      Put32(r, kData, 0x80);  // non-resident $DATA, data size patched per record
      Put32(r, kData + 4, 72);
      r[kData + 8] = 1;
      Put16(r, kData + 32, 64);
      end = kData + 72;
    }
    Put32(r, end, 0xFFFFFFFF);
    Put32(r, 24, static_cast<uint32_t>(end + 8));
    return r;
  }

  void Make(uint32_t n) {
    if (n == 0) { MakeMft(); return; }
    bool folder = n == 5 || IsFolder(n);
    scratch_ = folder ? folder_ : file_;
    if (n < 16 && n != 5) { Put16(scratch_, 22, 1); }
    Put16(scratch_, 16, static_cast<uint16_t>(1 + n % 7));
    Put64(scratch_, kSi + 24 + 8, 133000000000000000ull + uint64_t{n} * 10000000u);
    Put64(scratch_, kFnValue, n < 16 ? 5 : ParentOf(n) | (uint64_t{1 + ParentOf(n) % 7} << 48));
    std::u16string name = n == 5 ? u"." : n < 16 ? u"$sys" : NameOf(n);
    scratch_[kFnValue + 64] = static_cast<uint8_t>(name.size());
    for (size_t i = 0; i < name.size(); ++i) Put16(scratch_, kFnValue + 66 + 2 * i, name[i]);
    if (!folder) Put64(scratch_, kData + 48, uint64_t{n} * 4099);
    Protect();
  }

  void MakeMft() {
    scratch_.assign(kRecord, 0);
    std::memcpy(scratch_.data(), "FILE", 4);
    Put16(scratch_, 4, 48);
    Put16(scratch_, 6, 3);
    Put16(scratch_, 16, 1);
    Put16(scratch_, 20, 56);
    Put16(scratch_, 22, 1);
    Put16(scratch_, 40, 3);
    size_t d = 56;  // non-resident $DATA: one run over the whole table
    uint64_t clusters = (uint64_t{records_} * kRecord + kCluster - 1) / kCluster;
    Put32(scratch_, d, 0x80);
    Put32(scratch_, d + 4, 80);
    scratch_[d + 8] = 1;
    Put64(scratch_, d + 24, clusters - 1);
    Put16(scratch_, d + 32, 64);
    Put64(scratch_, d + 40, clusters * kCluster);
    Put64(scratch_, d + 48, uint64_t{records_} * kRecord);
    Put64(scratch_, d + 56, uint64_t{records_} * kRecord);
    scratch_[d + 64] = 0x14;  // 4-byte length, 1-byte offset
    Put32(scratch_, d + 65, static_cast<uint32_t>(clusters));
    scratch_[d + 69] = kMftCluster;
    size_t b = d + 80;  // resident $BITMAP
    Put32(scratch_, b, 0xB0);
    Put32(scratch_, b + 4, 32);
    Put32(scratch_, b + 16, 8);
    Put16(scratch_, b + 20, 24);
    Put32(scratch_, b + 32, 0xFFFFFFFF);
    Put32(scratch_, 24, static_cast<uint32_t>(b + 40));
    Protect();
  }

  // Writes the update sequence: the tails move into the array, the check value replaces them.
  void Protect() {
    const uint16_t check = 0x0101;
    Put16(scratch_, 48, check);
    for (size_t i = 1; i <= kRecord / 512; ++i) {
      std::memcpy(&scratch_[48 + 2 * i], &scratch_[i * 512 - 2], 2);
      Put16(scratch_, i * 512 - 2, check);
    }
  }

  uint32_t records_;
  std::vector<uint8_t> boot_, file_, folder_, scratch_;
};

}  // namespace nusk::bench
