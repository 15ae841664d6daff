#include "platform/table_memory.h"

#include <windows.h>

#include <cstdlib>

namespace nusk {

namespace {
constexpr size_t kHeapLimit = size_t{2} << 20;
}

void* AllocateTableMemory(size_t bytes) {
  if (bytes < kHeapLimit) return std::calloc(bytes ? bytes : 1, 1);
  // Committed pages read as zero; large pages would need a privilege users lack.
  return ::VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void FreeTableMemory(void* block, size_t bytes) {
  if (!block) return;
  if (bytes < kHeapLimit) return std::free(block);
  ::VirtualFree(block, 0, MEM_RELEASE);
}

void UseSmallPages() {}

}  // namespace nusk
