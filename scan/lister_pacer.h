// ListerPacer: how many of the walk's listing threads work at a time.
//
// Listing a folder is system calls. While the tree is in the cache they are processor
// work, and one listing thread per core (at least two: the inserting thread needs little)
// keeps the machine busy; more would only take turns. While the disk has to be read, each
// listing waits for it, and twice as many listings in flight keep the disk queue and the
// cores busier. Which case holds is read from what the process reads from storage: the
// processor time it uses cannot tell, as it also falls when threads merely take turns.
#pragma once
#include <cstdint>

namespace nusk {

class ListerPacer {
 public:
  // cores: the machine's processor count (0 when unknown counts as 1).
  explicit ListerPacer(unsigned cores);

  int max() const { return max_; }        // threads to start
  int active() const { return active_; }  // threads that may take a folder now

  // Whether a reading taken now would be used (a reading costs a system call or two, so
  // it is taken only then).
  bool Due(uint64_t now_us) const { return !started_ || now_us < last_now_ || now_us - last_now_ >= kWindowUs; }

  // A reading: the monotonic time in microseconds and the bytes the process has read from
  // storage so far. Readings less than a window apart are ignored. True when active()
  // changed.
  bool Update(uint64_t now_us, uint64_t read_bytes);

  static constexpr uint64_t kWindowUs = 50000;
  // Storage reads within one window that mean the listing waits for the disk (a cold
  // walk reads inode tables at megabytes per window; a cached one reads nothing).
  static constexpr uint64_t kDiskBoundBytes = 256 * 1024;

 private:
  int base_, max_, active_;
  bool started_ = false;
  uint64_t last_now_ = 0, last_read_ = 0;
};

}  // namespace nusk
