// Index file references: the 64-bit key that names one item of one drive, and the NTFS
// file references the scanners turn into them.
//
// Layout of an index reference:
//   bits  0-31  record number (MFT record on NTFS, a running number for walked drives)
//   bits 32-39  drive number (0 = A: ... 25 = Z:)
//   bits 40-47  mount index (0 = the drive's own volume, 1-255 = a volume mounted in a folder)
//   bits 48-63  NTFS sequence number
// A scanner's "drive and mount bits" are the 16 bits 32-47: drive number in the low byte,
// mount index in the high byte.
//
// An NTFS file reference has the record number in bits 0-47 and the sequence in 48-63.
// Volumes with fewer than 2^32 records (all that the index can hold) leave bits 32-47 at
// 0, which is where an index reference keeps its drive and mount bits.
#pragma once
#include <cstdint>

namespace nusk {

inline constexpr uint32_t RefRecord(uint64_t ref) { return static_cast<uint32_t>(ref); }
inline constexpr uint8_t RefDrive(uint64_t ref) { return static_cast<uint8_t>(ref >> 32); }
inline constexpr uint8_t RefMount(uint64_t ref) { return static_cast<uint8_t>(ref >> 40); }
inline constexpr uint16_t RefSequence(uint64_t ref) { return static_cast<uint16_t>(ref >> 48); }
inline constexpr uint16_t RefDriveMountBits(uint64_t ref) { return static_cast<uint16_t>(ref >> 32); }
inline constexpr uint64_t MakeRef(uint32_t record, uint8_t drive, uint8_t mount = 0, uint16_t sequence = 0) {
  return uint64_t{record} | (uint64_t{drive} << 32) | (uint64_t{mount} << 40) | (uint64_t{sequence} << 48);
}
inline constexpr uint16_t MakeDriveMountBits(uint8_t drive_number, uint8_t mount_index) {
  return static_cast<uint16_t>(drive_number | (mount_index << 8));
}
inline constexpr uint64_t MakeIndexReference(uint32_t record, uint16_t drive_mount_bits, uint16_t sequence) {
  return uint64_t{record} | (uint64_t{drive_mount_bits} << 32) | (uint64_t{sequence} << 48);
}

// The bits an NTFS reference and an index reference of the same item share: the low 32
// bits of the record number and the sequence.
inline constexpr uint64_t kSharedReferenceBits = 0xFFFF0000FFFFFFFFull;
// The record number field of an NTFS reference (48 bits, as attribute lists and folder
// indexes store it).
inline constexpr uint64_t kNtfsRecordBits = 0x0000FFFFFFFFFFFFull;

// The index reference of an NTFS reference read from a volume scanned with these bits.
inline constexpr uint64_t IndexReferenceOf(uint64_t ntfs_reference, uint16_t drive_mount_bits) {
  return (ntfs_reference & kSharedReferenceBits) | (uint64_t{drive_mount_bits} << 32);
}
// The NTFS reference of an item of an NTFS volume (what the system opens by id).
inline constexpr uint64_t NtfsReferenceOf(uint64_t index_reference) { return index_reference & kSharedReferenceBits; }
// The record number of an NTFS reference, as far as the index can hold it.
inline constexpr uint32_t NtfsRecordOf(uint64_t ntfs_reference) { return static_cast<uint32_t>(ntfs_reference); }

}  // namespace nusk
