#include "index/folder_map.h"

namespace nusk {

size_t FolderMap::Home(uint64_t ref) const {
  // References of one volume differ mostly in their low record-number bits; the multiply
  // spreads them and the drive and sequence bits over the whole index.
  uint64_t h = ref * 0x9E3779B97F4A7C15ull;
  return static_cast<size_t>(h ^ (h >> 29)) & (slots_.size() - 1);
}

FileRecord* FolderMap::Find(uint64_t ref) const {
  if (slots_.empty()) return nullptr;
  const size_t mask = slots_.size() - 1;
  for (size_t i = Home(ref);; i = (i + 1) & mask) {
    const Slot& s = slots_[i];
    if (!s.rec) return nullptr;
    if (s.ref == ref) return s.rec;
  }
}

void FolderMap::Set(uint64_t ref, FileRecord* rec) {
  if ((size_ + 1) * 2 > slots_.size()) Grow(slots_.empty() ? 64 : slots_.size() * 2);
  const size_t mask = slots_.size() - 1;
  size_t i = Home(ref);
  while (slots_[i].rec && slots_[i].ref != ref) i = (i + 1) & mask;
  if (!slots_[i].rec) ++size_;
  slots_[i] = {ref, rec};
}

void FolderMap::Erase(uint64_t ref, const FileRecord* rec) {
  if (slots_.empty()) return;
  const size_t mask = slots_.size() - 1;
  size_t i = Home(ref);
  while (slots_[i].rec && slots_[i].ref != ref) i = (i + 1) & mask;
  if (!slots_[i].rec || (rec && slots_[i].rec != rec)) return;
  // Backward-shift deletion: move each later entry of the run into the hole when its
  // home position does not lie cyclically between the hole and itself.
  size_t hole = i;
  for (size_t j = (i + 1) & mask; slots_[j].rec; j = (j + 1) & mask) {
    const size_t home = Home(slots_[j].ref);
    const bool stays = hole <= j ? (hole < home && home <= j) : (hole < home || home <= j);
    if (stays) continue;
    slots_[hole] = slots_[j];
    hole = j;
  }
  slots_[hole] = {0, nullptr};
  --size_;
}

void FolderMap::Grow(size_t capacity) {
  std::vector<Slot> old(capacity, Slot{0, nullptr});
  old.swap(slots_);
  const size_t mask = capacity - 1;
  for (const Slot& s : old) {
    if (!s.rec) continue;
    size_t i = Home(s.ref);
    while (slots_[i].rec) i = (i + 1) & mask;
    slots_[i] = s;
  }
}

void FolderMap::reserve(size_t n) {
  size_t capacity = 64;
  while (capacity < n * 2) capacity *= 2;
  if (capacity > slots_.size()) Grow(capacity);
}

void FolderMap::clear() {
  slots_.clear();
  size_ = 0;
}

}  // namespace nusk
