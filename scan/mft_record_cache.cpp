#include "scan/mft_record_cache.h"

#include <cstring>

namespace nusk {
namespace {

uint32_t Capacity(uint32_t record_size, size_t arena_bytes) {
  size_t n = arena_bytes / record_size;
  return n < 16 ? 16 : n > (1u << 24) ? 1u << 24 : static_cast<uint32_t>(n);
}

uint32_t SlotCount(uint32_t capacity) {
  uint32_t slots = 64;
  while (slots < 2 * capacity) slots *= 2;
  return slots;
}

uint32_t Hash(uint64_t number) { return static_cast<uint32_t>((number * 0x9E3779B97F4A7C15ull) >> 32); }

}  // namespace

MftRecordCache::MftRecordCache(uint32_t record_size, size_t arena_bytes)
    : record_size_(record_size),
      capacity_(Capacity(record_size, arena_bytes)),
      mask_(SlotCount(capacity_) - 1),
      slots_(SlotCount(capacity_)),
      arena_(size_t{capacity_} * record_size) {
  if (!arena_.data()) capacity_ = 0;  // no memory: every record is read when asked for
}

const uint8_t* MftRecordCache::Find(uint64_t number) const {
  for (uint32_t i = Hash(number) & mask_;; i = (i + 1) & mask_) {
    const Slot& s = slots_[i];
    if (s.generation != generation_) return nullptr;
    if (s.number == number) return Arena() + size_t{s.record} * record_size_;
  }
}

uint8_t* MftRecordCache::Reserve(uint32_t count) {
  if (count > capacity_ - used_) return nullptr;
  uint8_t* at = Arena() + size_t{used_} * record_size_;
  used_ += count;
  return at;
}

void MftRecordCache::Insert(uint64_t number, const uint8_t* record) {
  const uint32_t index = static_cast<uint32_t>((record - Arena()) / record_size_);
  // At most capacity_ records are inserted per batch and the table has twice as many
  // slots, so a free slot is always found.
  for (uint32_t i = Hash(number) & mask_;; i = (i + 1) & mask_) {
    Slot& s = slots_[i];
    if (s.generation != generation_ || s.number == number) {
      s = Slot{number, generation_, index};
      return;
    }
  }
}

void MftRecordCache::Store(uint64_t number, const uint8_t* record) {
  uint8_t* at = Reserve(1);
  if (!at) return;
  std::memcpy(at, record, record_size_);
  Insert(number, at);
}

void MftRecordCache::NewBatch() {
  used_ = 0;
  if (++generation_ == 0) {  // after 2^32 batches: old stamps could match again
    for (Slot& s : slots_) s.generation = 0;
    generation_ = 1;
  }
}

}  // namespace nusk
