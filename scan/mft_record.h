// Decoding of single NTFS structures: the boot sector, the update-sequence fix-up,
// one MFT file record and a mapping-pairs run list. Pure functions over bytes with no
// I/O, so they can be fed hostile input directly (see tests/fuzz).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "scan/ntfs_layout.h"

namespace nusk::ntfs {

struct BootInfo {
  uint32_t bytes_per_sector = 0;
  uint32_t cluster_size = 0;
  uint32_t record_size = 0;
  uint64_t mft_offset = 0;    // byte offset of the MFT start
  uint64_t volume_bytes = 0;  // total sectors x sector size (0 when the field is 0)
};

// Reads the first 512 bytes of a volume. False (with *error set) when they are not an
// NTFS boot sector or its geometry is impossible (sector size not a power of two in
// 256..4096, cluster over 2 MiB, record size not a power of two in 512..64 KiB).
bool ParseBootSector(const uint8_t* sector, size_t length, BootInfo* info, std::string* error);

// Applies the update-sequence fix-up to one record in place. The array must hold one
// entry per 512 bytes plus the check value, lie inside the record, and every protected
// sector end must carry the check value; otherwise the record is torn or damaged, it is
// left unchanged and false is returned. Applying it twice is harmless.
bool ApplyFixup(uint8_t* record, size_t record_size);

// One run of a non-resident attribute: `length` clusters from virtual cluster `vcn`,
// stored at logical cluster `lcn`, or not stored at all when sparse.
struct Run {
  uint64_t vcn = 0;
  uint64_t lcn = 0;
  uint64_t length = 0;
  bool sparse = false;
};

// Decodes the mapping pairs at [pairs, pairs + length), starting at start_vcn. Runs
// that would reach beyond total_clusters (when non-zero) or overflow end the list with
// false; a list ended by its 0 header returns true.
bool DecodeRunList(const uint8_t* pairs, size_t length, uint64_t start_vcn, uint64_t total_clusters,
                   std::vector<Run>* runs);

// What one file record contributes to its item. Offsets of the name point into the
// record passed to ParseFileRecord, which must outlive the use of `name`.
struct RecordInfo {
  bool valid = false;  // "FILE" signature and a sound header
  uint16_t flags = 0;  // header flags (bit 0 in use, bit 1 directory)
  uint16_t sequence = 0;
  uint32_t base_record = 0;  // non-zero for an extension record
  bool has_name = false;
  const uint8_t* name_bytes = nullptr;  // UTF-16LE inside the record, not NUL-terminated
  uint16_t name_length = 0;             // characters, trailing NULs removed
  uint64_t parent = 0;                  // parent reference, sequence bits cleared
  bool has_data_size = false;           // the unnamed $DATA (first segment) was in this record
  uint64_t data_size = 0;
  uint64_t file_name_size = 0;  // size recorded in $FILE_NAME: often stale, a last resort
  bool has_standard_info = false;
  uint64_t time = 0;        // $STANDARD_INFORMATION modification time
  uint32_t attributes = 0;  // $STANDARD_INFORMATION attributes | $FILE_NAME flags
  bool has_attribute_list = false;
  bool malformed = false;  // an attribute overran the record; what came before it is kept
};

// Parses one record whose fix-up has been applied. Never reads outside
// [record, record + record_size).
void ParseFileRecord(const uint8_t* record, size_t record_size, RecordInfo* info);

// Finds the first attribute of `type` (any name when unnamed_only is false) and returns
// its offset inside the record, or 0 when absent.
size_t FindAttribute(const uint8_t* record, size_t record_size, uint32_t type, bool unnamed_only);

}  // namespace nusk::ntfs
