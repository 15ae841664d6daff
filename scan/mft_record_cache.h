// MftRecordCache: MFT records the change pass has read for the current window of journal
// records. One item usually leaves several close records (created, written, renamed),
// and a burst of creations walks the same folders; each record is read once per window.
//
// Why copies stay correct: a record read after a window of journal records was fetched
// already shows every change recorded in that window, so it may serve the whole window.
// Before the next window is fetched the pass calls NewBatch(), which drops every copy.
//
// Layout: the records sit one after another in a fixed arena (pointers stay valid until
// NewBatch; its pages cost nothing until first used), found through an open-addressing
// table keyed by record number and stamped with a generation, so NewBatch clears
// nothing. One thread at a time.
#pragma once
#include <cstdint>
#include <vector>

#include "platform/raw_volume_memory.h"

namespace nusk {

class MftRecordCache {
 public:
  // record_size: bytes per MFT record (512..65536); arena_bytes: room for the records of
  // one window (at least 16 records are kept whatever it says).
  MftRecordCache(uint32_t record_size, size_t arena_bytes);

  // The copy of record `number` made in this batch, or null. Valid until NewBatch.
  const uint8_t* Find(uint64_t number) const;
  // Room for `count` consecutive records in the arena, or null when the batch's arena is
  // full (the caller then reads without caching). Fill it, then Insert what is usable.
  uint8_t* Reserve(uint32_t count);
  // Makes the record at `record` (inside memory from Reserve) the copy of `number`.
  void Insert(uint64_t number, const uint8_t* record);
  // Copies record_size bytes as the copy of `number`; dropped silently when full.
  void Store(uint64_t number, const uint8_t* record);
  // Drops every copy (a new journal batch, or a query outside a pass).
  void NewBatch();

  uint32_t record_size() const { return record_size_; }
  // How many records one window can hold.
  uint32_t capacity() const { return capacity_; }

 private:
  uint8_t* Arena() const { return static_cast<uint8_t*>(arena_.data()); }

  struct Slot {
    uint64_t number = 0;
    uint32_t generation = 0;  // 0: never filled
    uint32_t record = 0;      // index of the record in the arena
  };
  uint32_t record_size_;
  uint32_t capacity_;  // records in the arena
  uint32_t used_ = 0;  // records reserved in this batch
  uint32_t mask_;      // slots_.size() - 1; at least twice the capacity
  uint32_t generation_ = 1;
  std::vector<Slot> slots_;
  ScanMemory arena_;
};

}  // namespace nusk
