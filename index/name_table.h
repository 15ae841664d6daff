// NameTable: the writer's distinct names, from NameKey to NameRecord.
//
// A build looks a name up once per item, so lookups are the writer's hot path and their
// cost is cache misses. Each entry is placed in a large block with its key units right
// behind it (no allocation per name, and the key comparison reads the entry's own cache
// lines); an open-addressing index of slots holding a 16-bit hash tag and the entry's
// address finds an entry with, in the common case, one slot probe and one entry read.
// Names are never removed (an emptied name stays until the commit skips it), so the
// index needs no tombstones.
//
// Not thread-safe; the writer's mutex guards it.
#pragma once
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace nusk {

struct FileRecord;

struct NameRecord {
  uint32_t bits = 0;
  bool wide = false;
  uint8_t length = 0;
  uint8_t case_count = 0;
  std::vector<FileRecord*> items;  // in the order they were added
};

class NameTable {
 public:
  // A name: its key (`first`, valid as long as the table) and its record (`second`),
  // named like a map entry.
  struct Entry {
    std::u16string_view first;
    NameRecord second;
  };

  NameTable() = default;
  NameTable(const NameTable&) = delete;
  NameTable& operator=(const NameTable&) = delete;

  // The entry of this key, or end() when absent.
  const Entry* find(std::u16string_view key) const { return Find(key, Hash(key)); }
  Entry* find(std::u16string_view key) { return const_cast<Entry*>(Find(key, Hash(key))); }
  const Entry* end() const { return nullptr; }

  // The entry of this key, created with an empty record when absent (*inserted says so).
  Entry* FindOrInsert(std::u16string_view key, bool* inserted);

  size_t size() const { return order_.size(); }
  // Every entry, in insertion order.
  const std::vector<Entry*>& entries() const { return order_; }
  // Makes room for n names without regrowing the index.
  void reserve(size_t n);
  void clear();
  ~NameTable() { clear(); }

  static uint64_t Hash(std::u16string_view key);

 private:
  const Entry* Find(std::u16string_view key, uint64_t hash) const;
  Entry* NewEntry(std::u16string_view key);
  void Grow(size_t capacity);

  std::vector<Entry*> order_;
  // Slot: hash tag (top 16 bits of the hash) << 48 | entry address; 0 = empty.
  std::vector<uint64_t> slots_;
  std::vector<std::unique_ptr<char[]>> blocks_;
  size_t block_used_ = 0, block_size_ = 0;
};

}  // namespace nusk
