// Fuzz target for the change pass: arbitrary bytes as the change-journal buffer the
// journal read returns (USN_RECORD_V2/V3 records) and as the MFT records the pass then
// fetches for its window, read raw or served by the file system as on a live volume.
// The pass may reject the input, but must not crash, hang or read out of bounds.
//
// Input: byte 0 = options (bit 0 the volume serves records itself, bit 1 exclusions on,
// bits 2-4 the number n of MFT records given, bit 5 marker files everywhere, bits 6-7
// shorten served records by 256 bytes each); then n records of 1024 bytes that replace
// MFT records 16..16+n-1 of a small valid volume; the rest is the journal.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/env.h"
#include "bench/mft_synthetic.h"
#include "scan/exclusion.h"
#include "scan/mft_parser.h"
#include "platform/env.h"
#include "scan/ntfs_volume_scanner.h"

namespace nusk {
namespace {

constexpr uint32_t kRecords = 64;
constexpr uint32_t kFirstGiven = 16;
constexpr uint32_t kRecord = bench::SyntheticVolume::kRecord;
constexpr uint64_t kMftOffset = uint64_t{bench::SyntheticVolume::kMftCluster} * bench::SyntheticVolume::kCluster;

// The synthetic volume with some MFT records replaced by the input's bytes.
class GivenVolume : public RawVolume {
 public:
  GivenVolume(const uint8_t* given, uint32_t count, bool serves, uint32_t served_length)
      : base_(kRecords),
        given_(given, given + size_t{count} * kRecord),
        serves_(serves),
        served_length_(served_length) {}

  int64_t ReadAt(uint64_t offset, void* buffer, size_t length) override {
    int64_t got = base_.ReadAt(offset, buffer, length);
    const uint64_t from = kMftOffset + uint64_t{kFirstGiven} * kRecord, to = from + given_.size();
    const uint64_t lo = std::max(offset, from), hi = std::min(offset + static_cast<uint64_t>(got), to);
    if (lo < hi) std::memcpy(static_cast<uint8_t*>(buffer) + (lo - offset), given_.data() + (lo - from), hi - lo);
    return got;
  }
  bool QueryNtfsGeometry(NtfsVolumeGeometry*) override { return false; }
  bool ReadFileRecord(uint64_t number, std::string* record, uint64_t* found) override {
    if (!serves_ || number >= kRecords) return false;
    record->resize(kRecord);
    ReadAt(kMftOffset + number * kRecord, record->data(), kRecord);
    const uint64_t given = number - kFirstGiven;
    if (number >= kFirstGiven && given < given_.size() / kRecord) record->resize(served_length_);
    *found = number;
    return true;
  }
  bool ServesFileRecords() override { return serves_; }
  bool FileSizeById(uint64_t, uint64_t*) override { return false; }

 private:
  bench::SyntheticVolume base_;
  std::vector<uint8_t> given_;
  bool serves_;
  uint32_t served_length_;
};

// Hands out the journal bytes in reads of whatever the pass asks for.
class GivenJournal : public UsnJournal {
 public:
  GivenJournal(const uint8_t* data, size_t size) : bytes_(data, data + size) {}
  bool Query(UsnJournalData*, UsnJournalError*) override { return false; }
  bool Create(uint64_t, uint64_t, UsnJournalError*) override { return false; }
  int64_t Read(int64_t, uint32_t, uint64_t, void* buffer, size_t length) override {
    if (length <= 8) return -1;
    const size_t n = std::min(length - 8, bytes_.size() - at_);
    at_ += n;
    const int64_t next = static_cast<int64_t>(at_);
    std::memcpy(buffer, &next, 8);
    if (n != 0) std::memcpy(static_cast<uint8_t*>(buffer) + 8, bytes_.data() + at_ - n, n);
    return static_cast<int64_t>(n + 8);
  }

 private:
  std::vector<uint8_t> bytes_;
  size_t at_ = 0;
};

class IgnoringListener : public INuskListener {
 public:
  void DriveScanned(char16_t) override {}
  void IgnoredFolderFound(const std::u16string&) override {}
  void ForgetVolume(char16_t, uint8_t) override {}
  void AddRecord(const ScanRecord& r) override { names_ += r.name.size(); }
  void UpdateRecord(const ScanRecord& r, const std::u16string* old_name) override {
    names_ += r.name.size() + (old_name ? old_name->size() : 0);
  }
  void DeleteRecord(const ScanRecord&) override {}
  void DeleteByReference(const ScanRecord&) override {}

 private:
  size_t names_ = 0;
};

}  // namespace
}  // namespace nusk

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace nusk;
  if (size < 1) return 0;
  const uint8_t options = data[0];
  const uint32_t count = std::min<uint32_t>((options >> 2) & 7, static_cast<uint32_t>((size - 1) / kRecord));
  const uint8_t* given = data + 1;
  const uint8_t* journal = given + size_t{count} * kRecord;
  const size_t journal_size = size - 1 - size_t{count} * kRecord;

  auto live = std::make_unique<MftParser>(
      std::make_unique<GivenVolume>(given, count, options & 1, kRecord - 256u * (options >> 6)), nullptr);
  if (live->LoadMFT() == 0) __builtin_trap();  // the volume around the input is valid
  ExclusionSettings settings;
  if (options & 2) {
    settings.exclude_hidden = true;
    settings.exclude_by_name = true;
    ParseExcludeNames(u"*.tmp:Temp\\", &settings);
  }
  NtfsVolumeConfig config;
  config.drive_letter = u'N';
  config.escape_backslash = true;
  const bool markers = options & 0x20;
  config.marker_exists = [markers](const std::u16string&) { return markers; };
  IgnoringListener listener;
  NtfsVolumeScanner scanner(Env::Default(), config, &settings, &listener, nullptr, nullptr);
  UsnJournalData journal_data;
  journal_data.journal_id = 1;
  journal_data.max_size = 1 << 20;
  scanner.UseOpened(std::make_unique<GivenJournal>(journal, journal_size), journal_data, std::move(live));
  int64_t usn = 0;
  scanner.ReadChanges(&usn);
  return 0;
}
