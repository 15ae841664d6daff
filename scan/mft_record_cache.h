// MftRecordCache: MFT records the change pass has already read in the current journal
// batch. One item usually leaves several close records in a batch (created, written,
// renamed), and a burst of creations walks the same folders; each record is read once.
//
// Why copies stay correct: a record read after a journal batch was fetched already shows
// every change recorded in that batch, so it may serve the rest of the batch. Before the
// next batch is fetched the pass calls NewBatch(), which drops every copy at once.
// Direct-mapped on the record number, so consecutive records (read together from the raw
// MFT) never evict each other. One thread at a time.
#pragma once
#include <cstdint>
#include <vector>

namespace nusk {

class MftRecordCache {
 public:
  // record_size: bytes per MFT record (512..65536).
  explicit MftRecordCache(uint32_t record_size);

  // The copy of record `number` made in this batch, or null.
  const uint8_t* Find(uint64_t number) const;
  // Stores record_size bytes as the copy of record `number` for this batch.
  void Store(uint64_t number, const uint8_t* record);
  // Drops every copy (a new journal batch, or a query outside a pass).
  void NewBatch() { ++generation_; }

  uint32_t record_size() const { return record_size_; }

 private:
  struct Slot {
    uint64_t number = 0;
    uint32_t generation = 0;  // 0: never filled
  };
  uint32_t record_size_;
  uint32_t mask_;
  uint32_t generation_ = 1;
  std::vector<Slot> slots_;
  std::vector<uint8_t> bytes_;  // slots_.size() records
};

}  // namespace nusk
