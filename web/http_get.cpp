#include "web/http_get.h"

#include <chrono>
#include <vector>

#include "platform/socket.h"

namespace nusk::http {

namespace {

using Clock = std::chrono::steady_clock;

int MsLeft(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

bool WaitFor(net::SocketHandle s, bool write, Clock::time_point deadline) {
  std::vector<net::PollItem> items(1);
  items[0].socket = s;
  items[0].want_read = !write;
  items[0].want_write = write;
  const int left = MsLeft(deadline);
  return left > 0 && net::Poll(items, left) > 0;
}

struct SocketCloser {
  net::SocketHandle s = net::kNoSocket;
  ~SocketCloser() {
    if (s != net::kNoSocket) net::Close(s);
  }
};

}  // namespace

bool ParseHttpUrl(const std::string& url, UrlParts* parts, std::string* error) {
  const std::string scheme = "http://";
  if (url.size() < scheme.size() || url.compare(0, scheme.size(), scheme) != 0) {
    *error = "only http:// addresses are supported";
    return false;
  }
  for (unsigned char c : url) {
    if (c <= 0x20 || c >= 0x7f) {
      *error = "the address holds spaces or characters outside ASCII";
      return false;
    }
  }
  std::string rest = url.substr(scheme.size());
  const size_t hash = rest.find('#');
  if (hash != std::string::npos) rest.resize(hash);
  const size_t slash = rest.find_first_of("/?");
  std::string authority = rest.substr(0, slash);
  parts->target = slash == std::string::npos ? "/" : rest.substr(slash);
  if (parts->target[0] == '?') parts->target.insert(0, "/");
  if (authority.find('@') != std::string::npos) {
    *error = "user names in the address are not supported";
    return false;
  }
  std::string port_text;
  bool has_port = false;
  if (!authority.empty() && authority[0] == '[') {
    const size_t close = authority.find(']');
    if (close == std::string::npos) {
      *error = "unclosed [ in the address";
      return false;
    }
    parts->host = authority.substr(1, close - 1);
    if (close + 1 < authority.size()) {
      if (authority[close + 1] != ':') {
        *error = "bad address after ]";
        return false;
      }
      port_text = authority.substr(close + 2);
      has_port = true;
    }
  } else {
    const size_t colon = authority.find(':');
    parts->host = authority.substr(0, colon);
    if (colon != std::string::npos) {
      port_text = authority.substr(colon + 1);
      has_port = true;
    }
  }
  if (parts->host.empty()) {
    *error = "the address has no host";
    return false;
  }
  parts->port = 80;
  if (has_port) {
    uint32_t v = 0;
    bool digits = !port_text.empty() && port_text.size() <= 5;
    for (char c : port_text) {
      if (c < '0' || c > '9') digits = false;
      else v = v * 10 + static_cast<uint32_t>(c - '0');
    }
    if (!digits || v == 0 || v > 65535) {
      *error = "bad port in the address";
      return false;
    }
    parts->port = static_cast<uint16_t>(v);
  }
  return true;
}

Status HttpGet(const std::string& url, int timeout_ms, size_t max_body, std::string* body) {
  body->clear();
  UrlParts parts;
  std::string error;
  if (!ParseHttpUrl(url, &parts, &error)) return Status::Error(error);
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  if (!net::InitSockets()) return Status::Error("sockets are not available");
  SocketCloser sock;
  Status s = net::Connect(parts.host, parts.port, timeout_ms, &sock.s);
  if (!s.ok()) return s;
  const std::string host_field = (parts.host.find(':') != std::string::npos ? "[" + parts.host + "]" : parts.host) +
                                 (parts.port == 80 ? "" : ":" + std::to_string(parts.port));
  const std::string request = "GET " + parts.target + " HTTP/1.0\r\nHost: " + host_field +
                              "\r\nCache-Control: no-cache\r\nConnection: close\r\n\r\n";
  for (size_t sent = 0; sent < request.size();) {
    const long n = net::Write(sock.s, request.data() + sent, request.size() - sent);
    if (n > 0) {
      sent += static_cast<size_t>(n);
    } else if (n == net::kWouldBlock) {
      if (!WaitFor(sock.s, true, deadline)) return Status::Error("no answer in time");
    } else {
      return Status::Error("the connection failed while sending");
    }
  }
  // The answer until the server closes (HTTP/1.0), bounded by the header and body limits.
  const size_t limit = max_body + 16384;
  std::string answer;
  char buf[4096];
  for (;;) {
    const long n = net::Read(sock.s, buf, sizeof buf);
    if (n > 0) {
      answer.append(buf, static_cast<size_t>(n));
      if (answer.size() > limit) return Status::Error("the answer is too long");
    } else if (n == net::kClosed) {
      break;
    } else if (n == net::kWouldBlock) {
      if (!WaitFor(sock.s, false, deadline)) return Status::Error("no answer in time");
    } else {
      return Status::Error("the connection failed while reading");
    }
  }
  const size_t head_end = answer.find("\r\n\r\n");
  if (head_end == std::string::npos) return Status::Error("the answer has no header");
  // "HTTP/1.x 200 ..."
  if (answer.compare(0, 5, "HTTP/") != 0) return Status::Error("not an HTTP answer");
  const size_t sp = answer.find(' ');
  if (sp == std::string::npos || sp > head_end || answer.compare(sp + 1, 3, "200") != 0) {
    return Status::Error("the server answered " + answer.substr(0, answer.find("\r\n")));
  }
  *body = answer.substr(head_end + 4);
  if (body->size() > max_body) {
    body->clear();
    return Status::Error("the answer is too long");
  }
  return Status::Ok();
}

}  // namespace nusk::http
