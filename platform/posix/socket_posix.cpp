// Sockets over BSD sockets and poll(2).
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/socket.h"

namespace nusk::net {

namespace {

bool SetNonBlocking(int fd) {
  int flags = ::fcntl(fd, F_GETFL, 0);
  return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

std::string Endpoint(const std::string& address, uint16_t port) {
  return (address.empty() ? std::string("*") : address) + ":" + std::to_string(port);
}

}  // namespace

bool InitSockets() { return true; }

Status Listen(const std::string& address, uint16_t port, SocketHandle* out) {
  *out = kNoSocket;
  addrinfo hints{};
  hints.ai_family = address.empty() ? AF_INET : AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE;
  addrinfo* found = nullptr;
  std::string service = std::to_string(port);
  int rc = ::getaddrinfo(address.empty() ? nullptr : address.c_str(), service.c_str(), &hints, &found);
  if (rc != 0) { return Status::Error("cannot resolve " + Endpoint(address, port) + ": " + ::gai_strerror(rc)); }
  int err = 0;
  for (addrinfo* ai = found; ai != nullptr; ai = ai->ai_next) {
    int fd = ::socket(ai->ai_family, ai->ai_socktype | SOCK_CLOEXEC, ai->ai_protocol);
    if (fd < 0) {
      err = errno;
      continue;
    }
    int one = 1;
    // Lets a restarted server bind while old connections sit in TIME_WAIT.
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof(one));
    if (::bind(fd, ai->ai_addr, ai->ai_addrlen) == 0 && ::listen(fd, 512) == 0 && SetNonBlocking(fd)) {
      ::freeaddrinfo(found);
      *out = fd;
      return Status::Ok();
    }
    err = errno;
    ::close(fd);
  }
  ::freeaddrinfo(found);
  return Status::Error("cannot listen on " + Endpoint(address, port) + ": " + std::strerror(err));
}

Status Connect(const std::string& address, uint16_t port, int timeout_ms, SocketHandle* out) {
  *out = kNoSocket;
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  std::string service = std::to_string(port);
  int rc = ::getaddrinfo(address.c_str(), service.c_str(), &hints, &found);
  if (rc != 0) return Status::Error("cannot resolve " + Endpoint(address, port) + ": " + ::gai_strerror(rc));
  int fd = ::socket(found->ai_family, found->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, found->ai_protocol);
  if (fd < 0) {
    ::freeaddrinfo(found);
    return Status::Error(std::string("socket: ") + std::strerror(errno));
  }
  rc = ::connect(fd, found->ai_addr, found->ai_addrlen);
  ::freeaddrinfo(found);
  if (rc != 0 && errno != EINPROGRESS) {
    int err = errno;
    ::close(fd);
    return Status::Error("cannot connect to " + Endpoint(address, port) + ": " + std::strerror(err));
  }
  if (rc != 0) {
    pollfd p{fd, POLLOUT, 0};
    int err = 0;
    socklen_t len = sizeof(err);
    if (::poll(&p, 1, timeout_ms) != 1 || ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0 || err != 0) {
      ::close(fd);
      return Status::Error("cannot connect to " + Endpoint(address, port) + ": " +
                           (err != 0 ? std::strerror(err) : "timed out"));
    }
  }
  int one = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof(one));
  *out = fd;
  return Status::Ok();
}

uint16_t LocalPort(SocketHandle s) {
  sockaddr_storage ss{};
  socklen_t len = sizeof(ss);
  if (::getsockname(static_cast<int>(s), reinterpret_cast<sockaddr*>(&ss), &len) != 0) return 0;
  if (ss.ss_family == AF_INET) return ntohs(reinterpret_cast<sockaddr_in*>(&ss)->sin_port);
  if (ss.ss_family == AF_INET6) return ntohs(reinterpret_cast<sockaddr_in6*>(&ss)->sin6_port);
  return 0;
}

AcceptResult Accept(SocketHandle listener, SocketHandle* out, std::string* peer) {
  sockaddr_storage ss{};
  socklen_t len = sizeof(ss);
  int fd = ::accept4(static_cast<int>(listener), reinterpret_cast<sockaddr*>(&ss), &len, SOCK_NONBLOCK | SOCK_CLOEXEC);
  if (fd < 0) {
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR || errno == ECONNABORTED) {
      return AcceptResult::kWouldBlock;
    }
    if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) return AcceptResult::kOutOfResources;
    return AcceptResult::kError;
  }
  char text[INET6_ADDRSTRLEN] = "";
  if (ss.ss_family == AF_INET) {
    ::inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(&ss)->sin_addr, text, sizeof(text));
  } else if (ss.ss_family == AF_INET6) {
    ::inet_ntop(AF_INET6, &reinterpret_cast<sockaddr_in6*>(&ss)->sin6_addr, text, sizeof(text));
  }
  int one = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof(one));
  *peer = text;
  *out = fd;
  return AcceptResult::kAccepted;
}

long Read(SocketHandle s, char* buffer, size_t size) {
  for (;;) {
    ssize_t n = ::recv(static_cast<int>(s), buffer, size, 0);
    if (n >= 0) return static_cast<long>(n);
    if (errno == EINTR) continue;
    return (errno == EAGAIN || errno == EWOULDBLOCK) ? kWouldBlock : kFailed;
  }
}

long Write(SocketHandle s, const char* data, size_t size) {
  for (;;) {
    ssize_t n = ::send(static_cast<int>(s), data, size, MSG_NOSIGNAL);
    if (n > 0) return static_cast<long>(n);
    if (n == 0) return kWouldBlock;
    if (errno == EINTR) continue;
    return (errno == EAGAIN || errno == EWOULDBLOCK) ? kWouldBlock : kFailed;
  }
}

void ShutdownSend(SocketHandle s) { ::shutdown(static_cast<int>(s), SHUT_WR); }

void Close(SocketHandle s) {
  if (s != kNoSocket) ::close(static_cast<int>(s));
}

int Poll(std::vector<PollItem>& items, int timeout_ms) {
  std::vector<pollfd> fds(items.size());
  for (size_t i = 0; i < items.size(); ++i) {
    fds[i].fd = static_cast<int>(items[i].socket);
    fds[i].events = static_cast<short>((items[i].want_read ? POLLIN : 0) | (items[i].want_write ? POLLOUT : 0));
  }
  int n = ::poll(fds.data(), fds.size(), timeout_ms);
  if (n < 0) return errno == EINTR ? 0 : -1;
  for (size_t i = 0; i < items.size(); ++i) {
    short r = fds[i].revents;
    items[i].readable = (r & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) != 0;
    items[i].writable = (r & (POLLOUT | POLLERR | POLLHUP)) != 0;
  }
  return n;
}

}  // namespace nusk::net
