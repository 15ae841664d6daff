#include "index/name_table.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace nusk {

namespace {
uint64_t Mix(uint64_t x) {
  x ^= x >> 32;
  x *= 0xD6E8FEB86659FD93ull;
  x ^= x >> 32;
  x *= 0xD6E8FEB86659FD93ull;
  return x ^ (x >> 32);
}
}  // namespace

uint64_t NameTable::Hash(std::u16string_view key) {
  // Four units per step, folded through a multiply-xorshift mix.
  const char16_t* p = key.data();
  size_t n = key.size();
  uint64_t h = 0x9E3779B97F4A7C15ull ^ n;
  for (; n >= 4; n -= 4, p += 4) {
    uint64_t chunk;
    std::memcpy(&chunk, p, 8);
    h = (h ^ chunk) * 0xBF58476D1CE4E5B9ull;
    h ^= h >> 31;
  }
  uint64_t tail = 0;
  for (size_t i = 0; i < n; ++i) tail |= uint64_t{p[i]} << (16 * i);
  return Mix(h ^ tail);
}

namespace {
constexpr uint64_t kAddressBits = 0x0000FFFFFFFFFFFFull;  // user-space addresses fit in 48 bits
uint64_t Tag(uint64_t hash) { return hash & ~kAddressBits; }
// Blocks start small (a writer may hold a handful of names) and double up to 256 KiB; the
// longest entry (kind, 255 units, mark, 255 positions) fits in the first.
constexpr size_t kFirstBlockBytes = size_t{1} << 12, kMaxBlockBytes = size_t{1} << 18;
}  // namespace

const NameTable::Entry* NameTable::Find(std::u16string_view key, uint64_t hash) const {
  if (slots_.empty()) return nullptr;
  const size_t mask = slots_.size() - 1;
  const uint64_t tag = Tag(hash);
  for (size_t i = hash & mask;; i = (i + 1) & mask) {
    const uint64_t slot = slots_[i];
    if (slot == 0) return nullptr;
    if ((slot & ~kAddressBits) == tag) {
      const Entry* e = reinterpret_cast<const Entry*>(slot & kAddressBits);
      if (e->first == key) return e;
    }
  }
}

NameTable::Entry* NameTable::FindOrInsert(std::u16string_view key, bool* inserted) {
  const uint64_t hash = Hash(key);
  if (Entry* e = const_cast<Entry*>(Find(key, hash))) {
    *inserted = false;
    return e;
  }
  if ((order_.size() + 1) * 2 > slots_.size()) Grow(slots_.empty() ? 64 : slots_.size() * 2);
  Entry* e = NewEntry(key);
  const size_t mask = slots_.size() - 1;
  size_t i = hash & mask;
  while (slots_[i] != 0) i = (i + 1) & mask;
  slots_[i] = Tag(hash) | reinterpret_cast<uint64_t>(e);
  *inserted = true;
  return e;
}

NameTable::Entry* NameTable::NewEntry(std::u16string_view key) {
  constexpr size_t kAlign = alignof(Entry);
  const size_t bytes = (sizeof(Entry) + key.size() * sizeof(char16_t) + kAlign - 1) / kAlign * kAlign;
  if (blocks_.empty() || block_used_ + bytes > block_size_) {
    block_size_ = blocks_.empty() ? kFirstBlockBytes : std::min(block_size_ * 2, kMaxBlockBytes);
    blocks_.emplace_back(new char[block_size_]);  // operator new[] aligns for any Entry
    block_used_ = 0;
  }
  char* at = blocks_.back().get() + block_used_;
  block_used_ += bytes;
  auto* units = reinterpret_cast<char16_t*>(at + sizeof(Entry));
  std::memcpy(units, key.data(), key.size() * sizeof(char16_t));
  Entry* e = new (at) Entry{std::u16string_view(units, key.size()), NameRecord()};
  if (reinterpret_cast<uint64_t>(e) & ~kAddressBits) std::abort();  // the slot could not hold it
  order_.push_back(e);
  return e;
}

void NameTable::Grow(size_t capacity) {
  std::vector<uint64_t> old;
  old.swap(slots_);
  slots_.assign(capacity, 0);
  const size_t mask = capacity - 1;
  for (uint64_t slot : old) {
    if (slot == 0) continue;
    // The position comes from the low bits of the hash, which the slot does not keep.
    size_t i = Hash(reinterpret_cast<const Entry*>(slot & kAddressBits)->first) & mask;
    while (slots_[i] != 0) i = (i + 1) & mask;
    slots_[i] = slot;
  }
}

void NameTable::reserve(size_t n) {
  size_t capacity = 64;
  while (capacity < n * 2) capacity *= 2;
  if (capacity > slots_.size()) Grow(capacity);
  order_.reserve(n);
}

void NameTable::clear() {
  for (Entry* e : order_) e->~Entry();
  order_.clear();
  slots_.clear();
  blocks_.clear();
  block_used_ = block_size_ = 0;
}

}  // namespace nusk
