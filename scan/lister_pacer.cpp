#include "scan/lister_pacer.h"

#include <algorithm>

namespace nusk {

namespace {
constexpr int kMostThreads = 16;
}  // namespace

ListerPacer::ListerPacer(unsigned cores) {
  base_ = std::clamp(static_cast<int>(std::max(cores, 1u)), 2, kMostThreads / 2);
  max_ = 2 * base_;
  active_ = base_;
}

bool ListerPacer::Update(uint64_t now_us, uint64_t read_bytes) {
  if (!started_ || now_us < last_now_ || read_bytes < last_read_) {  // first reading, or a counter went back
    started_ = true;
    last_now_ = now_us;
    last_read_ = read_bytes;
    return false;
  }
  if (now_us - last_now_ < kWindowUs) return false;
  // Reads are scaled to one window, so a late reading does not count as a busy disk.
  const uint64_t per_window = (read_bytes - last_read_) * kWindowUs / (now_us - last_now_);
  last_now_ = now_us;
  last_read_ = read_bytes;
  const int wanted = per_window >= kDiskBoundBytes ? max_ : base_;
  if (wanted == active_) return false;
  active_ = wanted;
  return true;
}

}  // namespace nusk
