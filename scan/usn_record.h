// One change-journal record (USN_RECORD_V2 or USN_RECORD_V3) as a journal read returns
// it: the one decoder of these records, used by the change pass and by the tests that
// write journals (through the layouts below).
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace nusk {

// The reasons of a change (USN_REASON_*) the change pass reads.
enum UsnReason : uint32_t {
  kUsnDataOverwrite = 0x1,
  kUsnDataExtend = 0x2,
  kUsnDataTruncation = 0x4,
  kUsnFileCreate = 0x100,
  kUsnFileDelete = 0x200,
  kUsnRenameOldName = 0x1000,
  kUsnRenameNewName = 0x2000,
  kUsnBasicInfoChange = 0x8000,
  kUsnClose = 0x80000000u,
};
inline constexpr uint32_t kUsnDataChange = kUsnDataOverwrite | kUsnDataExtend | kUsnDataTruncation;
// What the pass asks the journal for (records closing a change carry these reasons too).
inline constexpr uint32_t kUsnReadMask =
    kUsnDataChange | kUsnFileCreate | kUsnFileDelete | kUsnRenameOldName | kUsnRenameNewName | kUsnBasicInfoChange;

// Byte offsets of the fields of one record version. Both versions start with the record
// length (4 bytes) and the major and minor version (2 bytes each); version 3 holds 128-bit
// file ids, whose low 64 bits are the NTFS references.
struct UsnRecordLayout {
  uint16_t reference, parent, usn, reason, attributes, name_bytes, name_offset;
  uint16_t fixed;  // the size before the name
};
inline constexpr UsnRecordLayout kUsnRecordV2{8, 16, 24, 40, 52, 56, 58, 60};
inline constexpr UsnRecordLayout kUsnRecordV3{8, 24, 40, 56, 68, 72, 74, 76};
// The layout of a major version, or null for a version this reader does not know.
inline const UsnRecordLayout* UsnLayoutOf(uint16_t major) {
  return major == 2 ? &kUsnRecordV2 : major == 3 ? &kUsnRecordV3 : nullptr;
}

// The fields of one record, whatever its version. The name stays in the record's bytes.
struct UsnRecord {
  uint32_t length = 0;
  uint64_t reference = 0;  // NTFS file reference
  uint64_t parent = 0;
  int64_t usn = 0;
  uint32_t reason = 0;
  uint32_t attributes = 0;
  uint16_t name_offset = 0;  // from the record's start
  uint16_t name_chars = 0;   // at most kUsnNameLimit
};
// Names are cut to this many characters, as the longest name NTFS holds (255) leaves room.
inline constexpr size_t kUsnNameLimit = 259;

// Decodes the record at p, of which `available` bytes are readable. std::nullopt with
// *error set when the version is unknown, the record does not fit its own length or the
// bytes given, its name lies outside it, or its USN leaves no position after it.
std::optional<UsnRecord> DecodeUsnRecord(const uint8_t* p, size_t available, std::string* error);

// The name of a record decoded from `record`.
std::u16string UsnRecordName(const uint8_t* record, const UsnRecord& r);

}  // namespace nusk
