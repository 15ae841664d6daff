// Non-blocking TCP sockets and readiness polling (BSD sockets + poll on POSIX,
// WinSock + WSAPoll on Windows), just enough for the HTTP service.
//
// Handles are plain integers so this header pulls in no system headers. Every call
// returns at once (the sockets are non-blocking); Poll is the only call that waits.
// A handle is used by one thread at a time; different handles from different threads.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "util/status.h"

namespace nusk::net {

using SocketHandle = intptr_t;
constexpr SocketHandle kNoSocket = -1;

// Starts the socket library (WSAStartup on Windows; nothing on POSIX). Safe to call
// more than once; false when sockets cannot be used at all.
bool InitSockets();

// Opens a listening TCP socket. address: an IPv4 or IPv6 literal ("127.0.0.1", "::1",
// "0.0.0.0"), or empty for every IPv4 address. port 0 picks a free port (see LocalPort).
// On failure *out is kNoSocket and the status says why ("cannot bind 1.2.3.4:80: ...").
Status Listen(const std::string& address, uint16_t port, SocketHandle* out);

// Opens a client connection (waiting for the connect to finish, at most timeout_ms) and
// returns it non-blocking. Used by tests and load tools; the service itself only listens.
Status Connect(const std::string& address, uint16_t port, int timeout_ms, SocketHandle* out);

// Port a socket is bound to, 0 when unknown.
uint16_t LocalPort(SocketHandle s);

// kOutOfResources: the process or system has no descriptor or buffer left for another
// socket; the pending connection stays queued, so polling the listener again at once would
// spin: close something or wait first.
enum class AcceptResult { kAccepted, kWouldBlock, kOutOfResources, kError };
// Accepts one pending connection as a non-blocking socket; *peer gets its address
// without the port ("127.0.0.1").
AcceptResult Accept(SocketHandle listener, SocketHandle* out, std::string* peer);

// Result of Read/Write: bytes moved (> 0), or one of these.
constexpr long kClosed = 0;       // Read only: the peer closed its side
constexpr long kWouldBlock = -1;  // nothing can move now; poll again
constexpr long kFailed = -2;      // connection reset or another error: close it
long Read(SocketHandle s, char* buffer, size_t size);
long Write(SocketHandle s, const char* data, size_t size);

// Stops sending (the peer reads end-of-stream) while still allowing reads.
void ShutdownSend(SocketHandle s);
void Close(SocketHandle s);

struct PollItem {
  SocketHandle socket = kNoSocket;
  bool want_read = false;
  bool want_write = false;
  // Results.
  bool readable = false;  // also set on hang-up and errors, so a Read sees them
  bool writable = false;
};
// Waits up to timeout_ms (-1: no limit) until an item is ready. Returns the number of
// ready items, 0 on timeout, -1 on failure (interrupted calls count as a timeout).
int Poll(std::vector<PollItem>& items, int timeout_ms);

}  // namespace nusk::net
