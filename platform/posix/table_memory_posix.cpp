#include "platform/table_memory.h"

#include <sys/mman.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

namespace nusk {

namespace {
constexpr size_t kHugePage = size_t{2} << 20;

size_t PageRound(size_t bytes) {
  const size_t page = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
  return (bytes + page - 1) / page * page;
}
}  // namespace

void* AllocateTableMemory(size_t bytes) {
  if (bytes < kHugePage) return std::calloc(bytes ? bytes : 1, 1);
  const size_t size = PageRound(bytes ? bytes : 1);
  // Map one huge page more than needed and trim both ends, so the block starts on a
  // huge-page boundary and the kernel can back it with huge pages from its first byte.
  const size_t span = size + kHugePage;
  void* raw = ::mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) return nullptr;
  const uintptr_t start = reinterpret_cast<uintptr_t>(raw);
  const uintptr_t aligned = (start + kHugePage - 1) & ~uintptr_t{kHugePage - 1};
  if (aligned > start) ::munmap(raw, aligned - start);
  const uintptr_t end = start + span, used_end = aligned + size;
  if (end > used_end) ::munmap(reinterpret_cast<void*>(used_end), end - used_end);
  void* block = reinterpret_cast<void*>(aligned);
#ifdef MADV_HUGEPAGE
  ::madvise(block, size, MADV_HUGEPAGE);  // advice only: failure is harmless
#endif
  return block;
}

void UseSmallPages() {
#ifdef PR_SET_THP_DISABLE
  // Where the kernel can (Linux 6.18), memory advised for huge pages keeps them; a
  // preference only: failure is harmless.
  constexpr unsigned long kExceptAdvised = 1UL << 1;  // PR_THP_DISABLE_EXCEPT_ADVISED
  if (::prctl(PR_SET_THP_DISABLE, 1, kExceptAdvised, 0, 0) != 0) ::prctl(PR_SET_THP_DISABLE, 1, 0, 0, 0);
#endif
}

void FreeTableMemory(void* block, size_t bytes) {
  if (!block) return;
  if (bytes < kHugePage) return std::free(block);
  ::munmap(block, PageRound(bytes));
}

}  // namespace nusk
