// ScanRecord: one file or folder as a scanner reports it to its listener.
//
// Scanners (the NTFS MFT reader, the change-journal pass, the folder walk) never touch
// the index; they describe each item with one of these and hand it to an INuskListener.
#pragma once
#include <cstdint>
#include <string>

#include "index/scan_record.h"

namespace nusk {

// Index file reference layout (64 bits):
//   bits  0-31  record number (MFT record on NTFS, a running number for walked drives)
//   bits 32-39  drive number (0 = A: ... 25 = Z:)
//   bits 40-47  mount index (0 = drive-letter volume, 1-255 = volume mounted in a folder)
//   bits 48-63  NTFS sequence number
// A scanner's "drive and mount bits" are the 16 bits 32-47: drive number in the low
// byte, mount index in the high byte.
inline constexpr uint64_t MakeIndexReference(uint32_t record, uint16_t drive_mount_bits, uint16_t sequence) {
  return uint64_t{record} | (uint64_t{drive_mount_bits} << 32) | (uint64_t{sequence} << 48);
}
inline constexpr uint32_t ReferenceRecord(uint64_t reference) { return static_cast<uint32_t>(reference); }
inline constexpr uint16_t ReferenceDriveMountBits(uint64_t reference) {
  return static_cast<uint16_t>(reference >> 32);
}
inline constexpr uint16_t ReferenceSequence(uint64_t reference) { return static_cast<uint16_t>(reference >> 48); }
inline constexpr uint16_t MakeDriveMountBits(uint8_t drive_number, uint8_t mount_index) {
  return static_cast<uint16_t>(drive_number | (mount_index << 8));
}

// ScanRecord itself is the index's (index/scan_record.h): the scanners and the index share
// one definition.

}  // namespace nusk
