#include "web/http_server.h"

#include <algorithm>
#include <chrono>
#include <random>
#include <unordered_map>
#include <vector>

#include "util/utf.h"
#include "web/file_reply.h"
#include "web/http_text.h"

namespace nusk::http {

namespace {

constexpr size_t kReadChunk = 16 * 1024;
constexpr size_t kFileChunk = 64 * 1024;
constexpr uint64_t kDrainMs = 2000;
constexpr uint64_t kAcceptPauseMs = 100;  // no accepting for this long when out of descriptors
constexpr const char* kAllowedMethods =
    "GET, HEAD, POST, OPTIONS";  // how long a closing connection may keep sending us data

// FILETIME of the Unix epoch.
constexpr uint64_t kUnixEpochFileTime = 116444736000000000ULL;

// Whole seconds since 1970-01-01 UTC.
int64_t UnixNow(Env* env) { return static_cast<int64_t>((env->NowFileTime() - kUnixEpochFileTime) / 10000000ULL); }

std::string RandomSecret() {
  std::random_device rd;
  std::string s;
  for (int i = 0; i < 8; ++i) s += std::to_string(rd()) + ".";
  s += std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
  return s;
}

std::string HexLength(size_t n) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  do {
    out.insert(out.begin(), kHex[n & 15]);
    n >>= 4;
  } while (n != 0);
  return out;
}

}  // namespace

bool ParseListeningPort(std::string_view value, std::string* address, uint16_t* port) {
  address->clear();
  std::string_view port_text = value;
  size_t colon = value.rfind(':');
  if (colon != std::string_view::npos) {
    std::string_view addr = value.substr(0, colon);
    if (addr.size() >= 2 && addr.front() == '[' && addr.back() == ']') addr = addr.substr(1, addr.size() - 2);
    if (addr.empty() || addr.size() > 47) return false;
    *address = addr;
    port_text = value.substr(colon + 1);
  }
  return ParsePortNumber(port_text, port);
}

// One client connection and the response in progress.
struct Server::Conn : public Connection {
  enum class Phase { kHead, kBody, kSending, kDraining };

  Server* server = nullptr;
  net::SocketHandle sock = net::kNoSocket;
  std::string peer;
  Phase phase = Phase::kHead;
  uint64_t deadline = 0;
  uint64_t waiting_since = 0;  // accepted, or the last response finished: for eviction

  std::string in;  // received, not yet consumed
  Request req;
  size_t head_bytes = 0;

  std::string out;  // waiting to be sent, from out_pos on
  size_t out_pos = 0;
  std::unique_ptr<FileStream> file;
  uint64_t file_pos = 0;
  uint64_t file_left = 0;

  int status = 0;
  bool chunked = false;     // body framed in chunks
  bool unframed = false;    // body ends when the connection closes (HTTP/1.0)
  bool file_reply = false;  // SendFile supplied complete framing
  bool close_after = false;

  // Connection interface for the handler.
  const Request& request() const override { return req; }
  const std::string& peer_address() const override { return peer; }
  int status_code() const override { return status; }

  void WriteRaw(std::string_view bytes) override {
    if (status == 0 && bytes.size() >= 12 && bytes.substr(0, 7) == "HTTP/1.") {
      int code = 0;
      for (size_t i = 9; i < 12 && bytes[i] >= '0' && bytes[i] <= '9'; ++i) code = code * 10 + (bytes[i] - '0');
      status = code;
    }
    out.append(bytes);
  }

  void WriteChunk(std::string_view data) override {
    if (!chunked && !unframed) {
      if (status == 0) WriteRaw("HTTP/1.1 200 OK\r\n");
      if (req.http_version == "1.0") {
        // HTTP/1.0 has no chunked coding: send the body as it is and close at its end.
        out += "Connection: close\r\n\r\n";
        unframed = true;
        close_after = true;
      } else {
        out += "Transfer-Encoding: chunked\r\n\r\n";
        chunked = true;
      }
    }
    if (data.empty() || req.method == "HEAD") return;
    if (chunked) {
      out += HexLength(data.size());
      out += "\r\n";
      out.append(data);
      out += "\r\n";
    } else {
      out.append(data);
    }
  }

  void SendFile(const std::u16string& root, const std::vector<std::u16string>& names) override {
    int64_t now = UnixNow(server->env_);
    OpenedItem item;
    bool found = server->env_->OpenBelow(root, names, &item);
    std::string name = ToUtf8(names.empty() ? root : names.back());
    FileReply reply = PrepareFileReply(req, found ? &item : nullptr, name, now, req.WantsKeepAlive());
    if (reply.error != 0) {
      SendError(reply.error);
      return;
    }
    WriteRaw(reply.head);
    file_reply = true;
    close_after = close_after || reply.close_after;
    file = std::move(reply.file);
    file_pos = reply.offset;
    file_left = file ? reply.length : 0;
  }

  void SendError(int code) override {
    const char* reason = ReasonPhrase(code);
    std::string body;
    if (code != 204 && !(code >= 300 && code <= 399)) body = std::to_string(code) + " " + reason + "\n";
    WriteRaw("HTTP/1.1 " + std::to_string(code) + " " + reason + "\r\nContent-Length: " + std::to_string(body.size()) +
             "\r\nContent-Type: text/plain\r\n\r\n");
    if (req.method != "HEAD") out += body;
    file_reply = true;  // framing is complete
    close_after = true;
  }

  bool HasPendingOutput() const { return out_pos < out.size() || file_left > 0; }

  void ResetForNextRequest() {
    req = Request();
    head_bytes = 0;
    out.clear();
    out_pos = 0;
    file.reset();
    file_left = 0;
    status = 0;
    chunked = unframed = file_reply = close_after = false;
  }
};

Server::Server(RequestHandler handler, Env* env, ServerLimits limits)
    : handler_(std::move(handler)), env_(env), limits_(limits), auth_(RandomSecret(), limits.nonce_lifetime_s) {
  net::InitSockets();
}

Server::~Server() {
  while (!conns_.empty()) CloseConn(conns_.begin());
  net::Close(listener_);
}

Status Server::SetOption(std::string_view name, std::string_view value) {
  if (name != "listening_port") return Status::Error("unknown option " + std::string(name));
  std::string address;
  uint16_t port = 0;
  if (!ParseListeningPort(value, &address, &port)) {
    return Status::Error("invalid listening port \"" + std::string(value) + "\"");
  }
  net::SocketHandle s;
  Status st = net::Listen(address, port, &s);
  if (!st.ok()) return st;
  net::Close(listener_);
  listener_ = s;
  port_ = net::LocalPort(s);
  return Status::Ok();
}

void Server::SetCredentials(std::string user, std::string password) {
  auth_.SetCredentials(std::move(user), std::move(password));
}

size_t Server::connection_count() const { return conns_.size(); }

void Server::CloseConn(std::list<std::unique_ptr<Conn>>::iterator it) {
  net::Close((*it)->sock);
  conns_.erase(it);
}

bool Server::EvictOldestWaiting(const std::string* peer) {
  auto oldest = conns_.end();
  for (auto it = conns_.begin(); it != conns_.end(); ++it) {
    const Conn& c = **it;
    if (c.phase == Conn::Phase::kSending || (peer != nullptr && c.peer != *peer)) continue;
    if (oldest == conns_.end() || c.waiting_since < (*oldest)->waiting_since) oldest = it;
  }
  if (oldest == conns_.end()) return false;
  CloseConn(oldest);
  return true;
}

void Server::AcceptAll(uint64_t now) {
  for (int i = 0; i < 256; ++i) {
    net::SocketHandle s;
    std::string peer;
    net::AcceptResult r = net::Accept(listener_, &s, &peer);
    if (r == net::AcceptResult::kOutOfResources || r == net::AcceptResult::kError) {
      // Out of descriptors: the connection stays queued and the listener stays readable.
      // Free one by closing the oldest waiting connection, or stop accepting for a moment
      // rather than spin on the listener.
      if (r == net::AcceptResult::kOutOfResources && EvictOldestWaiting(nullptr)) continue;
      accept_paused_until_ = now + kAcceptPauseMs;
      return;
    }
    if (r != net::AcceptResult::kAccepted) return;
    // Over a cap the oldest connection that is idle or still sending its request makes
    // room: a slow or hostile client never keeps a working one out. Only when every
    // connection is being answered is the new one refused.
    size_t same = 0;
    for (const auto& c : conns_) same += c->peer == peer;
    bool room = same < limits_.max_connections_per_address || EvictOldestWaiting(&peer);
    room = room && (conns_.size() < limits_.max_connections || EvictOldestWaiting(nullptr));
    if (!room) {
      net::Close(s);
      continue;
    }
    auto c = std::make_unique<Conn>();
    c->server = this;
    c->sock = s;
    c->peer = std::move(peer);
    c->deadline = now + limits_.head_timeout_ms;
    c->waiting_since = now;
    conns_.push_back(std::move(c));
  }
}

void Server::OnReadable(Conn& c, uint64_t now) {
  char buf[kReadChunk];
  long n = net::Read(c.sock, buf, sizeof(buf));
  if (n == net::kWouldBlock) return;
  if (n <= 0) {  // closed or failed: nothing more will come
    c.phase = Conn::Phase::kDraining;
    c.deadline = 0;
    return;
  }
  if (c.phase == Conn::Phase::kDraining) return;  // discard what arrives after our answer
  if (c.in.empty() && c.phase == Conn::Phase::kHead) c.deadline = now + limits_.head_timeout_ms;
  c.in.append(buf, static_cast<size_t>(n));
  ProcessInput(c, now);
}

void Server::ProcessInput(Conn& c, uint64_t now) {
  if (c.phase == Conn::Phase::kHead) {
    if (c.in.empty()) return;
    ParseResult r = ParseRequestHead(c.in, &c.req);
    if (r.state == ParseState::kIncomplete) return;
    if (r.state == ParseState::kError) {
      c.SendError(r.error_status);
      FinishResponse(c, now);
      return;
    }
    c.head_bytes = r.head_bytes;
    c.phase = Conn::Phase::kBody;
    c.deadline = now + limits_.idle_timeout_ms;
    const std::string* expect = c.req.FindHeader("Expect");
    if (expect != nullptr && c.req.content_length > 0 && c.in.size() < c.head_bytes + c.req.content_length) {
      if (!EqualsIgnoreCase(*expect, "100-continue")) {
        c.SendError(417);
        FinishResponse(c, now);
        return;
      }
      c.out += "HTTP/1.1 100 Continue\r\n\r\n";
      OnWritable(c, now);
    }
  }
  if (c.phase == Conn::Phase::kBody) {
    if (c.in.size() < c.head_bytes + c.req.content_length) return;
    c.req.body = c.in.substr(c.head_bytes, c.req.content_length);
    Dispatch(c, now);
  }
}

void Server::Dispatch(Conn& c, uint64_t now) {
  c.out.erase(0, c.out_pos);  // a "100 Continue" may still be waiting
  c.out_pos = 0;
  // HTTP/1.1 makes Host mandatory (RFC 9112, 3.2); a request without it is malformed.
  if (c.req.http_version == "1.1" && c.req.FindHeader("Host") == nullptr) {
    c.SendError(400);
    FinishResponse(c, now);
    return;
  }
  if (c.req.method == "OPTIONS") {
    // Only the methods this server answers; it speaks no WebDAV.
    c.WriteRaw(std::string("HTTP/1.1 200 OK\r\nAllow: ") + kAllowedMethods + "\r\nContent-Length: 0\r\n\r\n");
    c.file_reply = true;
    FinishResponse(c, now);
    return;
  }
  if (c.req.method != "GET" && c.req.method != "HEAD" && c.req.method != "POST") {
    std::string body = "405 Method Not Allowed\n";
    c.WriteRaw(std::string("HTTP/1.1 405 Method Not Allowed\r\nAllow: ") + kAllowedMethods +
               "\r\nContent-Length: " + std::to_string(body.size()) + "\r\nContent-Type: text/plain\r\n\r\n" + body);
    c.file_reply = true;
    c.close_after = true;
    FinishResponse(c, now);
    return;
  }
  if (auth_.enabled()) {
    int64_t unix_now = UnixNow(env_);
    std::string user_seen;
    DigestAuth::Verdict v = auth_.Check(c.req, unix_now, &user_seen);
    if (v != DigestAuth::Verdict::kPass) {
      if (v == DigestAuth::Verdict::kRejected && log_) {
        // The path and user name may hold escaped line breaks: logged encoded, so a client
        // cannot forge log lines.
        log_("Failed login for user \"" + PercentEncode(user_seen, " !#$&'()*+,/:;=?@[]") + "\" from " + c.peer + " (" +
             c.req.method + " " + EncodePath(c.req.uri) + ")");
      }
      c.WriteRaw(auth_.Challenge(unix_now, v == DigestAuth::Verdict::kStale));
      c.close_after = true;
      FinishResponse(c, now);
      return;
    }
  }
  HandleResult result = handler_(c);
  if (result == HandleResult::kNotHandled) {
    c.out.clear();
    c.status = 0;
    c.chunked = c.unframed = c.file_reply = false;
    c.file.reset();
    c.file_left = 0;
    c.SendError(404);
  } else if (c.out.empty() && !c.HasPendingOutput()) {
    c.SendError(500);  // a handler that claimed success but wrote nothing
  } else if (c.chunked && c.req.method != "HEAD") {
    c.out += "0\r\n\r\n";
  }
  FinishResponse(c, now);
}

void Server::FinishResponse(Conn& c, uint64_t now) {
  // Without chunks or a file reply the body length is unknown: it ends with the connection.
  if (!c.chunked && !c.file_reply) c.close_after = true;
  if (!c.req.WantsKeepAlive()) c.close_after = true;
  c.phase = Conn::Phase::kSending;
  c.deadline = now + limits_.write_timeout_ms;
  OnWritable(c, now);
}

void Server::OnWritable(Conn& c, uint64_t now) {
  for (;;) {
    if (c.out_pos >= c.out.size() && c.file_left > 0) {
      c.out.resize(kFileChunk);
      size_t want = static_cast<size_t>(std::min<uint64_t>(kFileChunk, c.file_left));
      int64_t got = c.file->ReadAt(c.file_pos, c.out.data(), want);
      if (got <= 0) {  // the file shrank or failed under us: the promised length cannot be kept
        c.out.clear();
        c.out_pos = 0;
        c.phase = Conn::Phase::kDraining;
        c.deadline = 0;
        return;
      }
      c.out.resize(static_cast<size_t>(got));
      c.out_pos = 0;
      c.file_pos += static_cast<uint64_t>(got);
      c.file_left -= static_cast<uint64_t>(got);
    }
    if (c.out_pos >= c.out.size()) break;
    long n = net::Write(c.sock, c.out.data() + c.out_pos, c.out.size() - c.out_pos);
    if (n == net::kWouldBlock) return;
    if (n < 0) {
      c.phase = Conn::Phase::kDraining;
      c.deadline = 0;
      return;
    }
    c.out_pos += static_cast<size_t>(n);
    if (c.phase == Conn::Phase::kSending) c.deadline = now + limits_.write_timeout_ms;
  }
  if (c.phase != Conn::Phase::kSending) return;  // only a "100 Continue" went out
  if (c.close_after) {
    // Half-close and read what is left, so the client sees our answer instead of a reset.
    net::ShutdownSend(c.sock);
    c.phase = Conn::Phase::kDraining;
    c.deadline = now + kDrainMs;
    return;
  }
  c.in.erase(0, c.head_bytes + c.req.content_length);
  c.ResetForNextRequest();
  c.phase = Conn::Phase::kHead;
  c.waiting_since = now;
  c.deadline = now + (c.in.empty() ? limits_.idle_timeout_ms : limits_.head_timeout_ms);
  ProcessInput(c, now);  // a pipelined request may already be here
}

void Server::Poll(int timeout_ms) {
  uint64_t now = env_->MonotonicMs();
  std::vector<net::PollItem> items;
  std::vector<Conn*> owners;
  items.reserve(conns_.size() + 1);
  uint64_t nearest = now + static_cast<uint64_t>(timeout_ms < 0 ? 0 : timeout_ms);
  if (listener_ != net::kNoSocket && now >= accept_paused_until_) {
    items.push_back({listener_, true, false});
    owners.push_back(nullptr);
  } else if (listener_ != net::kNoSocket) {
    nearest = std::min(nearest, accept_paused_until_);
  }
  for (auto& c : conns_) {
    net::PollItem item;
    item.socket = c->sock;
    item.want_read = c->phase != Conn::Phase::kSending;
    item.want_write = c->phase == Conn::Phase::kSending && c->HasPendingOutput();
    items.push_back(item);
    owners.push_back(c.get());
    nearest = std::min(nearest, c->deadline);
  }
  int wait = static_cast<int>(nearest > now ? nearest - now : 0);
  int ready = net::Poll(items, wait);
  now = env_->MonotonicMs();
  if (ready > 0) {
    bool accept = false;
    for (size_t i = 0; i < items.size(); ++i) {
      Conn* c = owners[i];
      if (c == nullptr) {
        accept = items[i].readable;
        continue;
      }
      if (items[i].readable && c->phase != Conn::Phase::kSending) OnReadable(*c, now);
      if (items[i].writable && c->phase == Conn::Phase::kSending) OnWritable(*c, now);
    }
    // Last, because accepting may close other connections to make room.
    if (accept) AcceptAll(now);
  }
  for (auto it = conns_.begin(); it != conns_.end();) {
    auto next = std::next(it);
    if ((*it)->deadline <= now) CloseConn(it);
    it = next;
  }
}

}  // namespace nusk::http
