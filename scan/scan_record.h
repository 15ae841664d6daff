// ScanRecord: one file or folder as a scanner reports it to its listener.
//
// Scanners (the NTFS MFT reader, the change-journal pass, the folder walk) never touch
// the index; they describe each item with one of these and hand it to an INuskListener.
#pragma once
#include <cstdint>
#include <string>

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

struct ScanRecord {
  uint64_t reference = 0;         // index file reference of the item
  uint64_t parent_reference = 0;  // index file reference of its folder; 0 for a drive's root
  uint32_t time = 0;              // modification time as CompactTime
  uint32_t size = 0;              // 32-bit size form (negative = KiB); 0 for folders
  uint8_t is_folder = 0;          // 1 for a folder
  std::u16string name;            // the item's name, at most 255 UTF-16 units (NTFS limit)
  std::u16string second_text;     // left empty by every scanner

  // Name length in characters as the index stores it (one byte).
  uint8_t name_length() const { return static_cast<uint8_t>(name.size() > 255 ? 255 : name.size()); }
};

}  // namespace nusk
