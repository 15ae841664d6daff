// A local HTTP server for one request: accepts one connection, reads the request and
// answers with fixed bytes, or stays silent until the test ends.
#pragma once
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/socket.h"

namespace nusk::testing {

// Accepts one connection, reads the request and answers with `reply` (nothing at all when
// silent, keeping the connection open until the test ends).
class OneShotServer {
 public:
  OneShotServer(std::string reply, bool silent) {
    net::InitSockets();
    EXPECT_TRUE(net::Listen("127.0.0.1", 0, &listener_).ok());
    port_ = net::LocalPort(listener_);
    thread_ = std::thread([this, reply = std::move(reply), silent] {
      net::SocketHandle c = net::kNoSocket;
      std::string peer;
      for (int i = 0; i < 200 && !stop_; ++i) {
        std::vector<net::PollItem> items(1);
        items[0].socket = listener_;
        items[0].want_read = true;
        net::Poll(items, 50);
        if (net::Accept(listener_, &c, &peer) == net::AcceptResult::kAccepted) break;
      }
      if (c == net::kNoSocket) return;
      char buf[2048];
      while (!stop_ && request_.find("\r\n\r\n") == std::string::npos) {
        const long n = net::Read(c, buf, sizeof buf);
        if (n > 0) request_.append(buf, static_cast<size_t>(n));
        else if (n == net::kWouldBlock) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        else break;
      }
      if (!silent) {
        net::Write(c, reply.data(), reply.size());
        net::ShutdownSend(c);
      }
      while (!stop_ && silent) std::this_thread::sleep_for(std::chrono::milliseconds(20));
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      net::Close(c);
    });
  }
  ~OneShotServer() {
    stop_ = true;
    thread_.join();
    net::Close(listener_);
  }
  uint16_t port() const { return port_; }
  std::string request() {
    stop_ = true;
    thread_.join();
    thread_ = std::thread([] {});
    return request_;
  }

 private:
  net::SocketHandle listener_ = net::kNoSocket;
  uint16_t port_ = 0;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::string request_;
};

}  // namespace nusk::testing
