// TableArena: several fixed-size tables carved out of one block of table memory
// (platform/table_memory.h), so a load pays for one mapping and the tables share huge
// pages instead of each rounding up to its own.
//
// Use: Reserve each table (getting its offset), Allocate once, then Table<T>(offset).
// Each table starts at a 64-byte offset and is followed by a 64-byte guard that
// AddressSanitizer builds poison, so reading one entry past a table is still reported.
// Not thread-safe; one owner.
#pragma once
#include <cstddef>
#include <cstdint>

namespace nusk {

class TableArena {
 public:
  TableArena() = default;
  ~TableArena() { Release(); }
  TableArena(const TableArena&) = delete;
  TableArena& operator=(const TableArena&) = delete;

  // Lays out a table of `bytes` bytes; returns its offset in the block.
  size_t Reserve(size_t bytes);
  // Gets the block for every reserved table (zero-filled). False when the memory cannot
  // be had; the arena is then empty.
  bool Allocate();
  template <typename T>
  T* Table(size_t offset) const {
    return reinterpret_cast<T*>(block_ + offset);
  }
  // Frees the block and forgets the layout.
  void Release();
  size_t size() const { return size_; }

 private:
  static constexpr size_t kAlign = 64;
  static constexpr size_t kMaxTables = 16;
  char* block_ = nullptr;
  size_t size_ = 0;
  size_t ends_[kMaxTables] = {};  // end of each reserved table (start of its guard)
  size_t tables_ = 0;
};

}  // namespace nusk
