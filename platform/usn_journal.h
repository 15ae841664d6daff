// The change journal of an NTFS volume (FSCTL_QUERY/CREATE/READ_USN_JOURNAL).
//
// Windows: the real journal of "\\.\X:" or "\\?\Volume{guid}", opened read-write.
// POSIX has no change journal; there the journal of a volume image IMAGE is the file
// IMAGE + ".usnjrnl" (written by tests and tools): an 8-byte magic "NUSKUSN1", the 56-byte
// journal description below, then USN_RECORD_V2 records in USN order, each record's
// Usn field holding its USN. A missing file is a volume without an active journal.
// One thread at a time per object.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "util/status.h"

namespace nusk {

// USN_JOURNAL_DATA (56 bytes, little-endian, in this order).
struct UsnJournalData {
  uint64_t journal_id = 0;
  int64_t first_usn = 0;
  int64_t next_usn = 0;
  int64_t lowest_valid_usn = 0;
  int64_t max_usn = 0;
  uint64_t max_size = 0;  // 0: the volume has no usable journal
  uint64_t allocation_delta = 0;
};

// Why a journal call failed. The system's own error number rides along for the log only;
// decisions are taken on the kind.
struct UsnJournalError {
  enum Kind : uint8_t {
    kNone,
    kNotActive,     // the volume has no active journal (it can be created)
    kNotSupported,  // the file system keeps no journals at all (Wine's drives)
    kDiskFull,      // no room to create one
    kOther,
  };
  Kind kind = kNone;
  uint32_t system_code = 0;
};

class UsnJournal {
 public:
  virtual ~UsnJournal() = default;

  // Made by Env::OpenUsnJournal for one volume.

  // Describes the journal. False with *error (kNotActive when there is none).
  virtual bool Query(UsnJournalData* data, UsnJournalError* error) = 0;

  // Creates (or resizes) the journal. False with *error (kDiskFull, ...).
  virtual bool Create(uint64_t max_size, uint64_t allocation_delta, UsnJournalError* error) = 0;

  // Reads records from start_usn whose reasons meet reason_mask into buffer. On success
  // returns the bytes written: the 8-byte USN to continue from, then whole records.
  // -1 when the read fails (journal gone, id mismatch, start before the valid range).
  virtual int64_t Read(int64_t start_usn, uint32_t reason_mask, uint64_t journal_id, void* buffer, size_t length) = 0;
};

}  // namespace nusk
