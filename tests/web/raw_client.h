// A tiny HTTP client over raw sockets for tests: sends exact bytes, reads exact bytes.
#pragma once
#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "platform/socket.h"

namespace nusk::testing {

class RawClient {
 public:
  explicit RawClient(uint16_t port, const std::string& host = "127.0.0.1") {
    status_ = net::Connect(host, port, 5000, &sock_);
  }
  ~RawClient() { net::Close(sock_); }
  RawClient(const RawClient&) = delete;
  RawClient& operator=(const RawClient&) = delete;

  bool connected() const { return status_.ok(); }
  const std::string& error() const { return status_.message(); }

  // Sends all bytes (waiting while the socket is full). False when the peer is gone.
  bool Send(std::string_view data) {
    while (!data.empty()) {
      long n = net::Write(sock_, data.data(), data.size());
      if (n == net::kFailed) return false;
      if (n == net::kWouldBlock) {
        Wait(false, 1000);
        continue;
      }
      data.remove_prefix(static_cast<size_t>(n));
    }
    return true;
  }

  // Reads until the peer closes (true) or the time runs out (false). Bytes go to received().
  bool ReadUntilClosed(int timeout_ms = 5000) {
    return ReadUntilDone([] { return false; }, timeout_ms, /*closing_is_done=*/true);
  }
  // Reads until received() contains `marker`, or holds at least `bytes` bytes.
  bool ReadUntil(std::string_view marker, int timeout_ms = 5000) {
    return ReadUntilDone([&] { return received_.find(marker) != std::string::npos; }, timeout_ms, false);
  }
  bool ReadBytes(size_t bytes, int timeout_ms = 5000) {
    return ReadUntilDone([&] { return received_.size() >= bytes; }, timeout_ms, false);
  }

  std::string& received() { return received_; }
  // Takes the received bytes, leaving the buffer empty.
  std::string Take() {
    std::string out;
    out.swap(received_);
    return out;
  }

 private:
  using Clock = std::chrono::steady_clock;
  static int Remaining(Clock::time_point end) {
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
    return ms < 0 ? 0 : static_cast<int>(ms);
  }
  // True once done() holds, or when the peer closes and done() or closing_is_done holds.
  template <typename Done>
  bool ReadUntilDone(Done done, int timeout_ms, bool closing_is_done) {
    auto end = Clock::now() + std::chrono::milliseconds(timeout_ms);
    while (!done()) {
      if (Clock::now() >= end) return false;
      if (!Wait(true, Remaining(end))) continue;
      char buf[65536];
      long n = net::Read(sock_, buf, sizeof(buf));
      if (n == net::kClosed || n == net::kFailed) return closing_is_done || done();
      if (n > 0) received_.append(buf, static_cast<size_t>(n));
    }
    return true;
  }
  bool Wait(bool read, int timeout_ms) {
    std::vector<net::PollItem> items(1);
    items[0].socket = sock_;
    items[0].want_read = read;
    items[0].want_write = !read;
    return net::Poll(items, timeout_ms) > 0;
  }

  Status status_;
  net::SocketHandle sock_ = net::kNoSocket;
  std::string received_;
};

// One complete request with the given extra header lines ("Name: value\r\n" each).
inline std::string Get(std::string_view target, std::string_view extra = "", std::string_view version = "1.1") {
  return "GET " + std::string(target) + " HTTP/" + std::string(version) + "\r\nHost: test\r\n" + std::string(extra) +
         "\r\n";
}

}  // namespace nusk::testing
