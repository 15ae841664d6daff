// ScanMemory: one large zero-filled block for the tables of a volume scan (the MFT
// entry table, the name blocks, the read buffer). The system hands out zeroed pages on
// first write, so nothing is filled twice; where it can, it uses large pages, so a table
// of tens of MiB costs a few dozen page faults instead of thousands.
//
// Owned by its creator; movable, not copyable. Any thread, one at a time.
#pragma once
#include <cstddef>

namespace nusk {

class ScanMemory {
 public:
  ScanMemory() = default;
  // Reserves `bytes` of zeroed memory. data() is null when the system has none to give.
  explicit ScanMemory(size_t bytes);
  ~ScanMemory();
  ScanMemory(ScanMemory&& other) noexcept : data_(other.data_), size_(other.size_) {
    other.data_ = nullptr;
    other.size_ = 0;
  }
  ScanMemory& operator=(ScanMemory&& other) noexcept {
    if (this != &other) {
      ScanMemory gone(static_cast<ScanMemory&&>(*this));
      data_ = other.data_;
      size_ = other.size_;
      other.data_ = nullptr;
      other.size_ = 0;
    }
    return *this;
  }
  ScanMemory(const ScanMemory&) = delete;
  ScanMemory& operator=(const ScanMemory&) = delete;

  void* data() const { return data_; }
  size_t size() const { return size_; }

 private:
  void* data_ = nullptr;
  size_t size_ = 0;
};

}  // namespace nusk
