#include "platform/table_memory.h"

#include <windows.h>

namespace nusk {

void* AllocateTableMemory(size_t bytes) {
  // Committed pages read as zero; large pages would need a privilege users lack.
  return ::VirtualAlloc(nullptr, bytes ? bytes : 1, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void FreeTableMemory(void* block, size_t) {
  if (block) ::VirtualFree(block, 0, MEM_RELEASE);
}

}  // namespace nusk
