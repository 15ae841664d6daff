// FolderMap: the writer's map from a folder's reference to its FileRecord.
//
// A build inserts every folder and the commit looks up the parent of every item, so the
// map is one flat array with linear probing: a lookup usually reads one cache line,
// where a node-based map reads a bucket and then a node. An erase shifts the entries
// behind it back into place, so no tombstones pile up through deletes and renames.
//
// Not thread-safe; the writer's mutex guards it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace nusk {

struct FileRecord;

class FolderMap {
 public:
  // The record of the folder with this reference; null when none.
  FileRecord* Find(uint64_t ref) const;
  // Maps ref to rec (not null), replacing an earlier record.
  void Set(uint64_t ref, FileRecord* rec);
  // Removes ref when it maps to rec, or to anything when rec is null.
  void Erase(uint64_t ref, const FileRecord* rec = nullptr);
  size_t size() const { return size_; }
  // Makes room for n folders without regrowing.
  void reserve(size_t n);
  void clear();

 private:
  struct Slot {
    uint64_t ref;
    FileRecord* rec;  // null = empty slot
  };
  size_t Home(uint64_t ref) const;
  void Grow(size_t capacity);

  std::vector<Slot> slots_;
  size_t size_ = 0;
};

}  // namespace nusk
