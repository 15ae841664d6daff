// MftParser: reads the Master File Table of one NTFS volume into a table of MftEntry,
// one per MFT record, from raw volume bytes (an image file, a device or a live volume).
//
// Use: OpenDisk -> LoadMFT -> ReadMftRecords -> read entries -> destroy (which is what
// closing the parser means). One thread at a time; the object owns its volume.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "platform/raw_volume.h"
#include "platform/raw_volume_memory.h"
#include "scan/mft_name_store.h"
#include "scan/mft_record.h"

namespace nusk {

class Env;

// One log line for the build log (no newline); may be empty (then nothing is logged).
using ScanLog = std::function<void(const std::string& line)>;

// An MFT record reduced to what the index needs. 40 bytes so that a table of a few
// million stays small and is walked in order; names live in one shared pool.
struct MftEntry {
  uint32_t name_offset = 0;  // into MftParser's name store
  uint16_t name_length = 0;  // 0 = no name found
  uint16_t flags = 0;        // record header flags; an extension record is stored as 0
  uint64_t parent = 0;       // parent MFT record number (sequence bits cleared)
  uint64_t size = 0;         // bytes; kUnknownSize when no source gave one
  uint64_t time = 0;         // modification time (FILETIME)
  uint32_t attributes = 0;   // $STANDARD_INFORMATION attributes | $FILE_NAME flags
  uint16_t sequence = 0;     // record header sequence number
  uint16_t reserved = 0;

  static constexpr uint64_t kUnknownSize = 0xFFFFFFFF00000000ull;
  bool in_use() const { return (flags & ntfs::kRecordInUse) != 0; }
  bool is_folder() const { return flags == (ntfs::kRecordInUse | ntfs::kRecordDirectory); }
  bool has_name() const { return name_length != 0; }
  bool size_known() const { return (size >> 32) != 0xFFFFFFFFu; }
};
// All-zero bytes are an empty entry, so the table lives in ScanMemory: the system hands
// out zeroed pages as they are first written instead of the table being filled twice.
static_assert(std::is_trivially_copyable_v<MftEntry> && std::is_aggregate_v<MftEntry> && sizeof(MftEntry) == 40);

class MftParser {
 public:
  // Opens the volume at path through env and reads its boot sector. Null (with a log line) when the
  // path cannot be opened; a parser whose boot sector is not NTFS is returned with
  // ok() false and every later operation does nothing.
  static std::unique_ptr<MftParser> OpenDisk(Env* env, const std::u16string& path, const ScanLog& log);
  // The same over an already opened volume (tests, images).
  MftParser(std::unique_ptr<RawVolume> volume, ScanLog log);

  bool ok() const { return state_ok_; }
  const ntfs::BootInfo& boot() const { return boot_; }

  // Reads the $MFT record and its run list. Returns 0 on failure (logged), otherwise
  // the $MFT data size in bytes. An $MFT whose $DATA is spread over extension records
  // (an $ATTRIBUTE_LIST) is followed through those records.
  uint64_t LoadMFT();

  // Reads every MFT record into the entry table and merges extension records into their
  // base records. False (logged) when reading failed before the end of the table; the
  // entries read so far stay valid. Must follow a successful LoadMFT.
  bool ReadMftRecords();

  uint32_t entry_count() const { return entry_count_; }
  uint32_t named_count() const { return named_count_; }
  uint32_t skipped_records() const { return skipped_records_; }  // failed fix-up or malformed
  const MftEntry& entry(uint32_t i) const { return entries_[i]; }
  std::u16string_view name(const MftEntry& e) const { return names_.Get(e.name_offset, e.name_length); }

  // Reads one record straight from the MFT (fix-up applied). False when the number lies
  // outside the MFT, the read fails or the fix-up does not match.
  bool ReadRecord(uint64_t record_number, std::string* record);
  // Reads `count` consecutive records from record `first` into out (count x record size
  // bytes), without fix-up. False when any of them lies outside the MFT or a read fails.
  bool ReadRawRecords(uint64_t first, uint32_t count, uint8_t* out);
  uint64_t record_count() const { return record_count_; }

  RawVolume* volume() const { return volume_.get(); }
  const std::vector<ntfs::Run>& mft_runs() const { return runs_; }

 private:
  bool CollectMftRuns(const uint8_t* record, uint32_t record_number);
  void ParseBuffer(uint8_t* data, size_t length);
  void StoreRecord(uint32_t number, uint8_t* record);
  void MergeExtensions();
  void Log(const std::string& line) const {
    if (log_) log_(line);
  }

  std::unique_ptr<RawVolume> volume_;
  ScanLog log_;
  bool state_ok_ = false;
  ntfs::BootInfo boot_;
  uint64_t total_clusters_ = 0;
  uint64_t mft_data_size_ = 0;
  uint64_t record_count_ = 0;
  std::vector<ntfs::Run> runs_;
  std::vector<uint8_t> mft_record_;

  ScanMemory entry_memory_;
  MftEntry* entries_ = nullptr;  // entry_count_ entries in entry_memory_
  uint32_t entry_count_ = 0;
  MftNameStore names_;                                     // no allocation per record
  std::vector<std::pair<uint32_t, uint32_t>> extensions_;  // (extension record, base record)
  std::vector<uint64_t> extension_sizes_;                  // first-segment $DATA size found in an extension
  uint32_t named_count_ = 0;
  uint32_t skipped_records_ = 0;
  uint32_t next_record_ = 0;
};

}  // namespace nusk
