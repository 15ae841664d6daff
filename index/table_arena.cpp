#include "index/table_arena.h"

#include <cstdlib>

#include "platform/table_memory.h"

#if defined(__SANITIZE_ADDRESS__)
#define NUSK_ARENA_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define NUSK_ARENA_ASAN 1
#endif
#endif
#ifdef NUSK_ARENA_ASAN
#include <sanitizer/asan_interface.h>
#define NUSK_POISON(p, n) ASAN_POISON_MEMORY_REGION(p, n)
#define NUSK_UNPOISON(p, n) ASAN_UNPOISON_MEMORY_REGION(p, n)
#else
#define NUSK_POISON(p, n) ((void)(p), (void)(n))
#define NUSK_UNPOISON(p, n) ((void)(p), (void)(n))
#endif

namespace nusk {

size_t TableArena::Reserve(size_t bytes) {
  if (tables_ == kMaxTables) std::abort();  // a layout error of the caller, not of the data
  size_t offset = (size_ + kAlign - 1) / kAlign * kAlign;
  ends_[tables_++] = offset + bytes;
  size_ = offset + bytes + kAlign;  // guard
  return offset;
}

bool TableArena::Allocate() {
  block_ = static_cast<char*>(AllocateTableMemory(size_));
  if (!block_) {
    Release();
    return false;
  }
  for (size_t t = 0; t < tables_; ++t) {
    // Guard from the table's end up to the next table's start (at least kAlign bytes).
    size_t guard_end = t + 1 < tables_ ? (ends_[t] + kAlign + kAlign - 1) / kAlign * kAlign : size_;
    NUSK_POISON(block_ + ends_[t], guard_end - ends_[t]);
  }
  return true;
}

void TableArena::Release() {
  if (block_) {
    NUSK_UNPOISON(block_, size_);
    FreeTableMemory(block_, size_);
  }
  block_ = nullptr;
  size_ = 0;
  tables_ = 0;
}

}  // namespace nusk
