// Bounds-checked little-endian reads and the on-disk constants of NTFS used by the
// MFT reader. Every structure read from a volume is hostile until checked: these
// helpers never read outside the span they are given.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace nusk::ntfs {

inline uint16_t U16(const uint8_t* p) {
  uint16_t v;
  std::memcpy(&v, p, 2);
  return v;
}
inline uint32_t U32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
inline uint64_t U64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}

// A read-only byte span; At() returns null when [offset, offset + length) is not inside.
struct Bytes {
  const uint8_t* data = nullptr;
  size_t size = 0;
  const uint8_t* At(size_t offset, size_t length) const {
    return (offset <= size && length <= size - offset) ? data + offset : nullptr;
  }
};

constexpr uint32_t kAttrStandardInformation = 0x10;
constexpr uint32_t kAttrAttributeList = 0x20;
constexpr uint32_t kAttrFileName = 0x30;
constexpr uint32_t kAttrData = 0x80;
constexpr uint32_t kAttrBitmap = 0xB0;
constexpr uint32_t kAttrEnd = 0xFFFFFFFF;

constexpr uint16_t kRecordInUse = 0x1;
constexpr uint16_t kRecordDirectory = 0x2;

constexpr uint8_t kNamespacePosix = 0;
constexpr uint8_t kNamespaceWin32 = 1;
constexpr uint8_t kNamespaceDos = 2;
constexpr uint8_t kNamespaceWin32AndDos = 3;

constexpr uint32_t kFileAttributeHidden = 0x2;
constexpr uint32_t kFileAttributeDirectory = 0x10;
constexpr uint32_t kFileNameFlagDirectory = 0x10000000;  // directory bit of $FILE_NAME flags

constexpr uint32_t kRootRecord = 5;
constexpr uint32_t kFirstUserRecord = 16;
constexpr size_t kFixupStride = 512;  // update-sequence entries protect every 512 bytes

// FILETIME -> whole seconds since 2 October 1977 00:00 UTC, modulo 2^32.
inline uint32_t ToCompactTime(uint64_t filetime) {
  return static_cast<uint32_t>(static_cast<uint32_t>(filetime / 10000000u) + 995829888u);
}

// Byte count -> the index's 32-bit size form: bytes up to 0x7FFFFFFF, else -(KiB).
// Sizes of 2 TiB and more would wrap into the positive (byte) range, so their KiB count
// is capped at 0x7FFFFFFF and they read back as the largest size the form can express.
inline uint32_t ToSizeForm(uint64_t size) {
  if (size <= 0x7FFFFFFFu) return static_cast<uint32_t>(size);
  uint64_t kib = size >> 10;
  if (kib > 0x7FFFFFFFu) kib = 0x7FFFFFFFu;
  return static_cast<uint32_t>(0u - static_cast<uint32_t>(kib));
}

}  // namespace nusk::ntfs
