// Plain value types shared by both forms of the index and by every component that reads
// or fills it: item references, compact times, the 32-bit size form, per-drive and
// per-mount state blocks and the per-item hidden state.
#pragma once
#include <cstdint>
#include <string>

#include "index/file_reference.h"

namespace nusk {

// Item index meaning "no item" (no parent, not found).
inline constexpr uint32_t kNoItem = 0xFFFFFFFFu;

// Longest name the index can hold: the name length is stored in 8 bits.
inline constexpr size_t kMaxNameLength = 255;

// ---- Index file reference (64 bits): index/file_reference.h ----

// ---- CompactTime: whole seconds since 1977-10-02 00:00 UTC, modulo 2^32 ----
using CompactTime = uint32_t;
inline constexpr CompactTime CompactTimeFromFileTime(uint64_t filetime) {
  return static_cast<uint32_t>(filetime / 10000000u + 995829888u);
}
inline constexpr uint64_t FileTimeFromCompactTime(CompactTime t) {
  return (uint64_t{t} + 11889072000ull) * 10000000ull;
}

// ---- 32-bit size form ----
// Up to 0x7FFFFFFF: bytes. Larger sizes are stored as the negation of the size in KiB,
// so a negative value v (as int32) means (-v) * 1024 bytes. Folders store 0.
// The form reaches 2^31 KiB (2 TiB); larger sizes are held at that ceiling instead of
// wrapping round to a small or positive value.
inline constexpr uint32_t SizeFormFromBytes(uint64_t bytes) {
  if (bytes <= 0x7FFFFFFFu) return static_cast<uint32_t>(bytes);
  uint64_t kib = bytes >> 10;
  if (kib > 0x80000000u) kib = 0x80000000u;
  return static_cast<uint32_t>(0u - static_cast<uint32_t>(kib));
}
inline constexpr uint64_t BytesFromSizeForm(uint32_t form) {
  return (form & 0x80000000u) ? uint64_t{0u - form} * 1024u : uint64_t{form};
}

// ---- Per-item hidden state (search form) ----
enum class HideState : uint8_t {
  kShown = 0,
  kRemoved = 1,   // deleted from the window; dropped by the next build
  kHidden = 255,  // hidden by the user, or an orphan whose folder is gone
};

// ---- Per-drive state, one per letter A-Z (128 bytes in "nusk.frs") ----
struct DriveState {
  uint64_t journal_id = 0;      // change-journal id of the volume
  uint64_t journal_next = 0;    // next change-journal position
  uint32_t serial = 0;          // volume serial number at the last build
  CompactTime last_build = 0;   // time of the last build of this drive
  std::u16string display_name;  // empty when none
  bool built = false;           // the drive has been built at least once
};

// ---- Per-mount state, slots 0-255 (slot 0 never assigned; 128 bytes each) ----
struct MountState {
  uint64_t journal_id = 0;
  uint64_t journal_next = 0;
  std::string volume_guid;        // 8-bit GUID text, at most 36 characters
  uint64_t mount_folder_ref = 0;  // reference of the mount folder on its host; 0 = free slot
  bool free() const { return mount_folder_ref == 0; }
};

inline constexpr int kDriveCount = 26;
inline constexpr int kMountSlots = 256;

}  // namespace nusk
