// ScanMemory from anonymous mappings. On Linux the mapping is aligned to 2 MiB and
// marked for transparent huge pages (used when the system allows them on request).
#include <sys/mman.h>

#include <cstdint>

#include "platform/raw_volume_memory.h"

namespace nusk {
namespace {

constexpr size_t kLargePage = size_t{2} << 20;

}  // namespace

ScanMemory::ScanMemory(size_t bytes) {
  if (bytes == 0 || bytes > SIZE_MAX - kLargePage) return;
  // Map a large page more than asked, then cut the ends so that the block starts on a
  // large-page boundary: only aligned 2 MiB ranges can become huge pages.
  size_t mapped = bytes + kLargePage;
  void* p = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) return;
  uintptr_t start = reinterpret_cast<uintptr_t>(p);
  uintptr_t aligned = (start + kLargePage - 1) & ~(uintptr_t{kLargePage} - 1);
  if (aligned > start) munmap(p, aligned - start);
  size_t tail = (start + mapped) - (aligned + bytes);
  if (tail > 0) munmap(reinterpret_cast<void*>(aligned + bytes), tail);
#ifdef MADV_HUGEPAGE
  madvise(reinterpret_cast<void*>(aligned), bytes, MADV_HUGEPAGE);  // advice only: failure is harmless
#endif
  data_ = reinterpret_cast<void*>(aligned);
  size_ = bytes;
}

ScanMemory::~ScanMemory() {
  if (data_) munmap(data_, size_);
}

}  // namespace nusk
