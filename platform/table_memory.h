// Memory for large tables that are filled once and then mostly read (the search form's
// arrays, tens of megabytes for a few million items).
//
// On Linux the block is mapped privately with transparent huge pages advised: filling
// it then takes one page fault per 2 MiB instead of one per 4 KiB, which is most of the
// cost of building fresh tables. On Windows it is committed virtual memory.
#pragma once
#include <cstddef>
#include <cstdint>
#include <new>

namespace nusk {

// A zero-filled block of at least `bytes` bytes, aligned to 16 bytes at least; null when
// the memory cannot be had. Blocks below 2 MiB come from the ordinary heap (a mapping
// would cost more than it saves). Any thread.
void* AllocateTableMemory(size_t bytes);

// Returns a block of AllocateTableMemory, given the same size; null is ignored.
void FreeTableMemory(void* block, size_t bytes);

// For a short process that reads a little of much memory (a console search over a mapped
// index): no huge pages from here on, so a few bytes touched cost 4 KiB, not 2 MiB. The
// heap of the Linux executables asks for huge pages everywhere (allocator_conf.c). Where
// the kernel tells them apart (Linux 6.18), blocks of AllocateTableMemory keep them: they
// are filled densely. No effect elsewhere.
void UseSmallPages();

// An allocator for std::vector that takes its blocks from AllocateTableMemory: for arrays
// of millions of entries made afresh (the keys of a sort), whose page faults would cost
// more than the work on them.
template <class T>
struct TableAllocator {
  using value_type = T;
  TableAllocator() = default;
  template <class U>
  TableAllocator(const TableAllocator<U>&) {}
  T* allocate(size_t n) {
    if (n > SIZE_MAX / sizeof(T)) throw std::bad_array_new_length();
    void* block = AllocateTableMemory(n * sizeof(T));
    if (!block) throw std::bad_alloc();
    return static_cast<T*>(block);
  }
  void deallocate(T* p, size_t n) { FreeTableMemory(p, n * sizeof(T)); }
  template <class U>
  bool operator==(const TableAllocator<U>&) const {
    return true;
  }
};

}  // namespace nusk
