#include "scan/mft_record_cache.h"

#include <cstring>

namespace nusk {
namespace {

// At most 1 MiB of copies, and never fewer than 16 records (64 KiB records).
uint32_t SlotCount(uint32_t record_size) {
  uint32_t slots = 256;
  while (slots > 16 && size_t{slots} * record_size > (size_t{1} << 20)) slots /= 2;
  return slots;
}

}  // namespace

MftRecordCache::MftRecordCache(uint32_t record_size)
    : record_size_(record_size),
      mask_(SlotCount(record_size) - 1),
      slots_(SlotCount(record_size)),
      bytes_(size_t{SlotCount(record_size)} * record_size) {}

const uint8_t* MftRecordCache::Find(uint64_t number) const {
  const uint32_t i = static_cast<uint32_t>(number) & mask_;
  const Slot& s = slots_[i];
  if (s.generation != generation_ || s.number != number) return nullptr;
  return bytes_.data() + size_t{i} * record_size_;
}

void MftRecordCache::Store(uint64_t number, const uint8_t* record) {
  const uint32_t i = static_cast<uint32_t>(number) & mask_;
  slots_[i].number = number;
  slots_[i].generation = generation_;
  std::memcpy(bytes_.data() + size_t{i} * record_size_, record, record_size_);
}

}  // namespace nusk
