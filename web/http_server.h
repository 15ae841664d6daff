// A small single-threaded HTTP/1.1 server over non-blocking sockets.
//
// One thread calls Poll in a loop; it accepts connections, reads and parses requests,
// applies digest authentication and hands each complete request to the handler, which
// answers through the HttpConnection it is given (raw writes, chunked body writes, or
// SendFile). Everything, handler calls included, happens on the thread that calls Poll.
//
// Protection against slow or hostile clients: the head of a request must arrive within
// 10 s, an idle keep-alive connection is closed after 30 s, a response the client does
// not read for 30 s is dropped, heads are limited to 16 KiB and 100 headers, bodies to
// 1 MiB, and one address may hold a limited number of connections at once. When a cap
// is reached, or descriptors run out, the connection that has waited longest without
// being answered is closed to make room; with none, accepting pauses briefly.
#pragma once
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/env.h"
#include "platform/socket.h"
#include "util/status.h"
#include "web/digest_auth.h"
#include "web/http_request.h"

namespace nusk::http {

class Connection;

// What the handler did with a request.
enum class HandleResult {
  kNotHandled,  // the layer answers 404
  kComplete,    // the response is written (a chunked response is ended by the layer)
  kMoreData,    // SendFile was called; the layer sends the file as the socket drains
};
using RequestHandler = std::function<HandleResult(Connection&)>;

// Reports for the console (failed logins, listening address); any thread-safe sink.
using LogSink = std::function<void(const std::string& line)>;

struct ServerLimits {
  uint64_t head_timeout_ms = 10000;
  uint64_t idle_timeout_ms = 30000;
  uint64_t write_timeout_ms = 30000;
  size_t max_connections = 2048;
  size_t max_connections_per_address = 128;
  int64_t nonce_lifetime_s = 300;
};

// The response side of one request, as the handler sees it.
class Connection {
 public:
  virtual ~Connection() = default;
  virtual const Request& request() const = 0;
  virtual const std::string& peer_address() const = 0;
  // 0 until a status line was written.
  virtual int status_code() const = 0;
  // Bytes sent as they are (a status line and headers). A status line sets status_code.
  virtual void WriteRaw(std::string_view bytes) = 0;
  // One chunk of a chunked body; the first call writes "HTTP/1.1 200 OK\r\n" when no status
  // line was written, then "Transfer-Encoding: chunked" and the blank line. Empty data
  // writes nothing (an empty chunk would end the body). HTTP/1.0 clients get the bytes
  // unframed and the connection closes after the response; HEAD gets no body bytes.
  virtual void WriteChunk(std::string_view data) = 0;
  // Sends the local file root + names (see OpenBelow: no link below root is followed, and
  // only regular files are sent) with ranges, entity tags, 304, and 301 for a folder named
  // without its '/'; answers errors itself (404 for links, devices, FIFOs, sockets). The
  // handler then returns kMoreData.
  virtual void SendFile(const std::u16string& root, const std::vector<std::u16string>& names) = 0;
  // Writes the default error response for a code and closes the connection after it.
  virtual void SendError(int code) = 0;
};

class Server {
 public:
  Server(RequestHandler handler, Env* env, ServerLimits limits = ServerLimits());
  ~Server();
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  // "listening_port": "8080" or "address:port" (address at most 47 characters; an IPv6
  // literal in brackets). Binds at once: returns an error text when that fails, and then
  // nothing listens. Unknown option names are an error too.
  Status SetOption(std::string_view name, std::string_view value);
  // The bound port (useful after "0"), 0 when not listening.
  uint16_t port() const { return port_; }

  // Digest credentials (8-bit). An empty user name serves everyone.
  void SetCredentials(std::string user, std::string password);
  void SetLog(LogSink log) { log_ = std::move(log); }

  // Waits at most timeout_ms for socket activity and processes it.
  void Poll(int timeout_ms);

  // Number of open connections (for tests and diagnostics).
  size_t connection_count() const;

 private:
  struct Conn;
  void AcceptAll(uint64_t now);
  void OnReadable(Conn& c, uint64_t now);
  void ProcessInput(Conn& c, uint64_t now);
  void Dispatch(Conn& c, uint64_t now);
  void FinishResponse(Conn& c, uint64_t now);
  void OnWritable(Conn& c, uint64_t now);
  void CloseConn(std::list<std::unique_ptr<Conn>>::iterator it);
  // Closes the connection (of peer, when given) that has waited longest for a request
  // while not being answered. False when there is none.
  bool EvictOldestWaiting(const std::string* peer);

  RequestHandler handler_;
  Env* env_;
  ServerLimits limits_;
  DigestAuth auth_;
  LogSink log_;
  net::SocketHandle listener_ = net::kNoSocket;
  uint16_t port_ = 0;
  std::list<std::unique_ptr<Conn>> conns_;
  uint64_t accept_paused_until_ = 0;  // out of descriptors: the listener rests until then
};

// Parses a "listening_port" value into address and port. False when malformed.
bool ParseListeningPort(std::string_view value, std::string* address, uint16_t* port);

}  // namespace nusk::http
