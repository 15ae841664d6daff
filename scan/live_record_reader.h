// LiveRecordReader: the MFT records of a volume as they are now, for the change pass and
// the scanner's live queries (the time, size and name of one item, a folder's path, a
// folder's children).
//
// On a live Windows volume each record comes from the file system (its copy is current);
// elsewhere, and where that fails, from the raw MFT. Inside a change pass a window of
// journal records names the MFT records it will need first (Want); ReadWanted then reads
// them sorted, neighbours sharing one read, into a cache that serves the whole window
// (see scan/mft_record_cache.h for why the copies stay correct). Outside a pass every
// query reads afresh. One thread at a time.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "scan/mft_parser.h"
#include "scan/mft_record_cache.h"

namespace nusk {

class LiveRecordReader {
 public:
  // open: opens the volume's MFT, called once on first use; null when it cannot be read.
  // escape_backslash: names keep a '\' as U+F05C (see NtfsVolumeConfig).
  LiveRecordReader(std::function<std::unique_ptr<MftParser>()> open, bool escape_backslash);
  ~LiveRecordReader();

  // Uses a parser the caller opened (its MFT loaded) instead of opening one.
  void Adopt(std::unique_ptr<MftParser> live);
  // True when the MFT can be read (opening it on first use).
  bool Open();

  // Change passes: between BeginPass and EndPass the cache serves copies for a window;
  // NewWindow drops them before the next window is fetched.
  void BeginPass() { in_pass_ = true; }
  void EndPass() { in_pass_ = false; }
  void NewWindow();
  // How many records a window may ask for: three quarters of the cache (the rest: folders
  // and records no window named); 0 when the MFT cannot be read.
  size_t WindowRoom();
  void ClearWanted() { wanted_.clear(); }
  void Want(uint32_t record) { wanted_.push_back(record); }
  size_t wanted() const { return wanted_.size(); }
  // True when the records wanted so far would need more than one read per eight records:
  // then a longer window lets more of them share reads.
  bool WantedLieApart();
  // Reads the wanted records into the cache in record order, neighbours sharing reads.
  void ReadWanted();

  // Reads one record in use (following its attribute list for a name or size kept in
  // an extension record). The name points into memory valid until the next read.
  bool ReadInfo(uint64_t record_number, ntfs::RecordInfo* info);
  // The name of a record just read, in its index form.
  std::u16string Name(const ntfs::RecordInfo& info) const;
  // The size of a file by its NTFS reference: from the system (open by id) where it
  // answers, else from the record.
  uint64_t SizeOf(uint64_t ntfs_reference);
  // "prefix\a\b" for folder b, following parents up to the root; empty when the first
  // record cannot be read, and when the chain is longer than any NTFS path (a loop).
  std::u16string PathOf(uint64_t record_number, const std::u16string& root_prefix);
  // The child of a folder with this index-form name, from the folder's index on the
  // volume; std::nullopt when there is none or the folder cannot be read.
  std::optional<uint64_t> FindChild(uint64_t folder_record, std::u16string_view name);

 private:
  void MakeRecordCache();
  const uint8_t* ReadRecord(uint64_t record_number, size_t* length);
  bool RawWanted();
  size_t SpanEnd(size_t i) const;

  std::function<std::unique_ptr<MftParser>()> open_;
  const bool escape_backslash_;
  std::unique_ptr<MftParser> live_;
  bool tried_ = false;
  std::unique_ptr<MftRecordCache> cache_;  // records read for the current window
  bool in_pass_ = false;                   // inside a change pass: the cache may serve copies
  std::string info_record_;                // a record whose attribute list is being followed
  std::string fetched_record_;             // a record from the file system or a single raw read
  std::vector<uint8_t> record_group_;      // reused buffer of a raw group read
  std::vector<uint64_t> wanted_;           // MFT records the window asks for
  std::vector<uint8_t> span_;              // one coalesced raw read
};

}  // namespace nusk
