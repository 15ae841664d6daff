// A worker thread that makes passes over the rows on screen for the result list (row
// details, thumbnails): the window thread hands over rows; a request while a pass runs
// sets the restart flag, and the worker drops the rest of its pass and starts over with
// the newest rows. Each row goes to `visit` on the worker thread (with COM initialised);
// `done` runs once no newer request waits.
#pragma once
#include <windows.h>

#include <objbase.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace nusk {

template <typename Row>
class RowPass {
 public:
  RowPass(std::function<void(const Row&)> visit, std::function<void()> done)
      : visit_(std::move(visit)), done_(std::move(done)) {}
  ~RowPass() {  // stops and waits
    stop_ = true;
    restart_ = true;
    if (thread_.joinable()) thread_.join();
  }
  RowPass(const RowPass&) = delete;
  RowPass& operator=(const RowPass&) = delete;

  // Visits these rows (replacing any pass in progress).
  void Request(std::vector<Row> rows) {
    std::lock_guard<std::mutex> lock(mu_);
    rows_ = std::move(rows);
    ++requests_;
    if (running_) {
      restart_ = true;
      return;
    }
    running_ = true;
    if (thread_.joinable()) thread_.join();  // the previous pass has ended
    thread_ = std::thread([this] { Run(); });
  }

  // Whether a pass is running (tests wait for it).
  bool running() const {
    std::lock_guard<std::mutex> lock(mu_);
    return running_;
  }

 private:
  void Run() {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);  // the shell's type names and pictures need COM
    for (;;) {
      std::vector<Row> rows;
      uint64_t seen;
      {
        std::lock_guard<std::mutex> lock(mu_);
        rows = rows_;
        seen = requests_;
        restart_ = false;
      }
      for (const Row& r : rows) {
        if (restart_) break;  // newer rows are waiting
        visit_(r);
      }
      std::lock_guard<std::mutex> lock(mu_);
      if (!stop_ && requests_ != seen) continue;
      running_ = false;
      if (done_) done_();
      break;
    }
    CoUninitialize();
  }

  std::function<void(const Row&)> visit_;
  std::function<void()> done_;
  mutable std::mutex mu_;  // guards rows_, requests_, running_ and thread_
  std::vector<Row> rows_;
  uint64_t requests_ = 0;
  bool running_ = false;
  std::thread thread_;
  std::atomic<bool> restart_{false};
  std::atomic<bool> stop_{false};
};

}  // namespace nusk
