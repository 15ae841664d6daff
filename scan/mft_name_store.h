// MftNameStore: the names of every MFT entry, packed into 4 MiB blocks that are filled
// in order and freed together. Adding a name never moves earlier ones (a growing vector
// would copy the whole pool on each doubling), blocks come from ScanMemory (no fill,
// large pages where possible), and an entry refers to its name by one 32-bit offset.
// One thread at a time.
#pragma once
#include <bit>
#include <cstdint>
#include <cstring>
#include <new>
#include <string_view>
#include <vector>

#include "platform/raw_volume_memory.h"

namespace nusk {

class MftNameStore {
 public:
  static constexpr uint32_t kBlockChars = 1u << 21;  // 4 MiB of UTF-16 per block
  static constexpr uint32_t kMaxBlocks = 1u << 11;   // offsets stay below 2^32

  // Copies `length` (at most 255) characters of little-endian UTF-16 from utf16le and
  // returns their offset in *offset. False when the store is full (4 Gi characters);
  // then nothing is stored. Throws std::bad_alloc when memory runs out.
  bool Add(const uint8_t* utf16le, uint32_t length, uint32_t* offset) {
    if (blocks_.empty() || length > kBlockChars - used_) {
      if (blocks_.size() >= kMaxBlocks) return false;
      ScanMemory block(size_t{kBlockChars} * sizeof(char16_t));
      if (!block.data()) throw std::bad_alloc();
      blocks_.push_back(std::move(block));
      used_ = 0;
    }
    char16_t* to = static_cast<char16_t*>(blocks_.back().data()) + used_;
    if constexpr (std::endian::native == std::endian::little) {
      std::memcpy(to, utf16le, size_t{length} * 2);
    } else {
      for (uint32_t i = 0; i < length; ++i) to[i] = static_cast<char16_t>(utf16le[2 * i] | utf16le[2 * i + 1] << 8);
    }
    *offset = static_cast<uint32_t>(blocks_.size() - 1) * kBlockChars + used_;
    used_ += length;
    return true;
  }

  // The name at an offset returned by Add, with the length given there.
  std::u16string_view Get(uint32_t offset, uint32_t length) const {
    if (length == 0) return {};
    return std::u16string_view(
        static_cast<const char16_t*>(blocks_[offset / kBlockChars].data()) + offset % kBlockChars, length);
  }

  void Clear() {
    blocks_.clear();
    used_ = 0;
  }

 private:
  std::vector<ScanMemory> blocks_;
  uint32_t used_ = 0;  // characters used in the last block
};

}  // namespace nusk
