// ScanMemory from VirtualAlloc: committed pages are zero and materialise on first touch.
// Large pages would need the lock-memory privilege, which a build does not hold.
#include <windows.h>

#include "platform/raw_volume_memory.h"

namespace nusk {

ScanMemory::ScanMemory(size_t bytes) {
  if (bytes == 0) return;
  data_ = VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  if (data_) size_ = bytes;
}

ScanMemory::~ScanMemory() {
  if (data_) VirtualFree(data_, 0, MEM_RELEASE);
}

}  // namespace nusk
