// Sockets over WinSock 2 and WSAPoll.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <string>

#include "platform/socket.h"

namespace nusk::net {

namespace {

std::string Endpoint(const std::string& address, uint16_t port) {
  return (address.empty() ? std::string("*") : address) + ":" + std::to_string(port);
}

std::string ErrorText(int code) {
  wchar_t* text = nullptr;
  FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                 static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string out;
  if (text != nullptr) {
    int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (n > 1) {
      out.resize(static_cast<size_t>(n - 1));
      WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
    }
    LocalFree(text);
  }
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == '.')) out.pop_back();
  return out.empty() ? "error " + std::to_string(code) : out + " (" + std::to_string(code) + ")";
}

bool SetNonBlocking(SOCKET s) {
  u_long on = 1;
  return ioctlsocket(s, FIONBIO, &on) == 0;
}

}  // namespace

bool InitSockets() {
  static const bool ok = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return ok;
}

Status Listen(const std::string& address, uint16_t port, SocketHandle* out) {
  *out = kNoSocket;
  if (!InitSockets()) return Status::Error("WinSock is not available");
  addrinfo hints{};
  hints.ai_family = address.empty() ? AF_INET : AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  hints.ai_flags = AI_PASSIVE;
  addrinfo* found = nullptr;
  std::string service = std::to_string(port);
  int rc = getaddrinfo(address.empty() ? nullptr : address.c_str(), service.c_str(), &hints, &found);
  if (rc != 0) return Status::Error("cannot resolve " + Endpoint(address, port) + ": " + ErrorText(rc));
  int err = 0;
  for (addrinfo* ai = found; ai != nullptr; ai = ai->ai_next) {
    SOCKET s = socket(ai->ai_family, ai->ai_socktype, ai->ai_protocol);
    if (s == INVALID_SOCKET) {
      err = WSAGetLastError();
      continue;
    }
    // Without this another process could bind the same port and steal connections.
    BOOL one = TRUE;
    setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&one), sizeof(one));
    SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
    if (bind(s, ai->ai_addr, static_cast<int>(ai->ai_addrlen)) == 0 && listen(s, 512) == 0 && SetNonBlocking(s)) {
      freeaddrinfo(found);
      *out = static_cast<SocketHandle>(s);
      return Status::Ok();
    }
    err = WSAGetLastError();
    closesocket(s);
  }
  freeaddrinfo(found);
  return Status::Error("cannot listen on " + Endpoint(address, port) + ": " + ErrorText(err));
}

Status Connect(const std::string& address, uint16_t port, int timeout_ms, SocketHandle* out) {
  *out = kNoSocket;
  if (!InitSockets()) return Status::Error("WinSock is not available");
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  addrinfo* found = nullptr;
  std::string service = std::to_string(port);
  int rc = getaddrinfo(address.c_str(), service.c_str(), &hints, &found);
  if (rc != 0) return Status::Error("cannot resolve " + Endpoint(address, port) + ": " + ErrorText(rc));
  SOCKET s = socket(found->ai_family, found->ai_socktype, found->ai_protocol);
  if (s == INVALID_SOCKET || !SetNonBlocking(s)) {
    int err = WSAGetLastError();
    if (s != INVALID_SOCKET) closesocket(s);
    freeaddrinfo(found);
    return Status::Error("socket: " + ErrorText(err));
  }
  rc = connect(s, found->ai_addr, static_cast<int>(found->ai_addrlen));
  freeaddrinfo(found);
  if (rc != 0) {
    int err = WSAGetLastError();
    if (err != WSAEWOULDBLOCK) {
      closesocket(s);
      return Status::Error("cannot connect to " + Endpoint(address, port) + ": " + ErrorText(err));
    }
    WSAPOLLFD p{};
    p.fd = s;
    p.events = POLLWRNORM;
    int so_error = 0;
    int len = sizeof(so_error);
    if (WSAPoll(&p, 1, timeout_ms) != 1 ||
        getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&so_error), &len) != 0 || so_error != 0) {
      closesocket(s);
      return Status::Error("cannot connect to " + Endpoint(address, port) + ": " +
                           (so_error != 0 ? ErrorText(so_error) : std::string("timed out")));
    }
  }
  BOOL one = TRUE;
  setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof(one));
  *out = static_cast<SocketHandle>(s);
  return Status::Ok();
}

uint16_t LocalPort(SocketHandle s) {
  sockaddr_storage ss{};
  int len = sizeof(ss);
  if (getsockname(static_cast<SOCKET>(s), reinterpret_cast<sockaddr*>(&ss), &len) != 0) return 0;
  if (ss.ss_family == AF_INET) return ntohs(reinterpret_cast<sockaddr_in*>(&ss)->sin_port);
  if (ss.ss_family == AF_INET6) return ntohs(reinterpret_cast<sockaddr_in6*>(&ss)->sin6_port);
  return 0;
}

AcceptResult Accept(SocketHandle listener, SocketHandle* out, std::string* peer) {
  sockaddr_storage ss{};
  int len = sizeof(ss);
  SOCKET s = accept(static_cast<SOCKET>(listener), reinterpret_cast<sockaddr*>(&ss), &len);
  if (s == INVALID_SOCKET) {
    int err = WSAGetLastError();
    if (err == WSAEWOULDBLOCK || err == WSAECONNRESET || err == WSAEINTR) return AcceptResult::kWouldBlock;
    return (err == WSAEMFILE || err == WSAENOBUFS) ? AcceptResult::kOutOfResources : AcceptResult::kError;
  }
  if (!SetNonBlocking(s)) {
    closesocket(s);
    return AcceptResult::kWouldBlock;
  }
  SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
  BOOL one = TRUE;
  setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof(one));
  char text[INET6_ADDRSTRLEN] = "";
  if (ss.ss_family == AF_INET) {
    inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(&ss)->sin_addr, text, sizeof(text));
  } else if (ss.ss_family == AF_INET6) {
    inet_ntop(AF_INET6, &reinterpret_cast<sockaddr_in6*>(&ss)->sin6_addr, text, sizeof(text));
  }
  *peer = text;
  *out = static_cast<SocketHandle>(s);
  return AcceptResult::kAccepted;
}

long Read(SocketHandle s, char* buffer, size_t size) {
  int n = recv(static_cast<SOCKET>(s), buffer, static_cast<int>(size > 1 << 30 ? 1 << 30 : size), 0);
  if (n >= 0) return n;
  int err = WSAGetLastError();
  return err == WSAEWOULDBLOCK ? kWouldBlock : kFailed;
}

long Write(SocketHandle s, const char* data, size_t size) {
  int n = send(static_cast<SOCKET>(s), data, static_cast<int>(size > 1 << 30 ? 1 << 30 : size), 0);
  if (n > 0) return n;
  if (n == 0) return kWouldBlock;
  int err = WSAGetLastError();
  return err == WSAEWOULDBLOCK ? kWouldBlock : kFailed;
}

void ShutdownSend(SocketHandle s) { shutdown(static_cast<SOCKET>(s), SD_SEND); }

void Close(SocketHandle s) {
  if (s != kNoSocket) closesocket(static_cast<SOCKET>(s));
}

int Poll(std::vector<PollItem>& items, int timeout_ms) {
  if (items.empty()) {
    Sleep(static_cast<DWORD>(timeout_ms < 0 ? 0 : timeout_ms));
    return 0;
  }
  std::vector<WSAPOLLFD> fds(items.size());
  for (size_t i = 0; i < items.size(); ++i) {
    fds[i].fd = static_cast<SOCKET>(items[i].socket);
    fds[i].events = static_cast<SHORT>((items[i].want_read ? POLLRDNORM : 0) | (items[i].want_write ? POLLWRNORM : 0));
  }
  int n = WSAPoll(fds.data(), static_cast<ULONG>(fds.size()), timeout_ms);
  if (n == SOCKET_ERROR) return WSAGetLastError() == WSAEINTR ? 0 : -1;
  for (size_t i = 0; i < items.size(); ++i) {
    SHORT r = fds[i].revents;
    items[i].readable = (r & (POLLRDNORM | POLLHUP | POLLERR | POLLNVAL)) != 0;
    items[i].writable = (r & (POLLWRNORM | POLLERR | POLLHUP)) != 0;
  }
  return n;
}

}  // namespace nusk::net
