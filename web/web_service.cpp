#include "web/web_service.h"

#include <chrono>

#include "util/utf.h"
#include "web/http_text.h"

namespace nusk {

namespace {

using http::Connection;
using http::HandleResult;

constexpr size_t kMaxQueryChars = 260;
constexpr int kPollMs = 250;  // also the longest Stop waits for the polling thread

// A request parameter: the query string first, then a form-encoded body.
// Returns the GetVar code (length, -1 absent, -2 too long, -3 broken escapes).
int Param(const Connection& c, std::string_view name, std::string* value, size_t max_bytes) {
  int n = http::GetVar(c.request().query_string, name, value, max_bytes);
  if (n == -1 && !c.request().body.empty()) n = http::GetVar(c.request().body, name, value, max_bytes);
  return n;
}

// A parameter that must be a decimal number; absent = 0. False when it is not one.
bool NumberParam(const Connection& c, std::string_view name, int64_t* out) {
  std::string v;
  int n = Param(c, name, &v, 32);
  *out = 0;
  if (n == -1 || n == 0) return n != -3;
  if (n < 0 || v.size() > 10) return false;
  for (char ch : v) {
    if (ch < '0' || ch > '9') return false;
    *out = *out * 10 + (ch - '0');
  }
  return true;
}

// A 400 answer that says what was wrong.
HandleResult BadRequest(Connection& c, const std::string& why) {
  std::string body = "400 Bad Request: " + why + "\n";
  c.WriteRaw("HTTP/1.1 400 Bad Request\r\nContent-Length: " + std::to_string(body.size()) +
             "\r\nContent-Type: text/plain\r\nConnection: close\r\n\r\n" + (c.request().method == "HEAD" ? "" : body));
  return HandleResult::kComplete;
}

bool IsFileLink(const std::string& uri) {
  return uri.size() >= 3 && ((uri[1] >= 'A' && uri[1] <= 'Z') || (uri[1] >= 'a' && uri[1] <= 'z')) && uri[2] == ':';
}

}  // namespace

WebService::WebService(WebSearch* search, Env* env) : search_(search), env_(env) {}

WebService::~WebService() { Stop(); }

void WebService::Configure(std::u16string address, uint32_t port, std::u16string user, std::u16string password) {
  address_ = std::move(address);
  port_ = port;
  user_ = std::move(user);
  password_ = std::move(password);
}

bool WebService::Start() {
  Stop();
  stop_ = false;
  last_error_.clear();
  server_ = std::make_unique<http::Server>([this](Connection& c) { return HandleRequest(c); }, env_);
  std::string address = ToUtf8(address_);
  while (!address.empty() && address.back() == ' ') address.pop_back();
  while (!address.empty() && address.front() == ' ') address.erase(0, 1);
  if (address.find(':') != std::string::npos && address.front() != '[') address = "[" + address + "]";
  std::string spec = address.empty() ? std::to_string(port_) : address + ":" + std::to_string(port_);
  Status st = port_ > 65535 ? Status::Error("invalid port " + std::to_string(port_))
                            : server_->SetOption("listening_port", spec);
  if (!st.ok()) {
    last_error_ = FromUtf8(st.message());
    server_.reset();
    return false;
  }
  server_->SetCredentials(ToUtf8(user_), ToUtf8(password_));
  if (log_) server_->SetLog(log_);
  thread_ = std::thread([this] {
    while (!stop_) server_->Poll(kPollMs);
  });
  return true;
}

void WebService::Stop() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  std::lock_guard<std::mutex> hold(lock_);
  server_.reset();  // closes the listening socket and every connection
}

HandleResult WebService::HandleRequest(Connection& c) {
  std::lock_guard<std::mutex> hold(lock_);
  const std::string& uri = c.request().uri;
  if (uri == "/") return SendResults(c, /*page=*/true);
  if (uri == "/query.json") return SendResults(c, /*page=*/false);
  if (IsFileLink(uri)) return SendFileLink(c);
  if (uri == "/thumb.png") {
    // No thumbnail maker on this system: declined, answered as not found.
    return HandleResult::kNotHandled;
  }
  c.WriteChunk("This is a reply from server instance # (null)");
  return HandleResult::kComplete;
}

HandleResult WebService::SendResults(Connection& c, bool page) {
  std::string q;
  int qn = Param(c, "q", &q, kMaxQueryChars * 4 + 1);
  if (qn == -2) return BadRequest(c, "the query is longer than 260 characters");
  if (qn == -3) return BadRequest(c, "the query is not properly URL-encoded");
  std::u16string query = FromUtf8(q);
  if (query.size() > kMaxQueryChars) return BadRequest(c, "the query is longer than 260 characters");
  int64_t from = 0, to = 0;
  if (!NumberParam(c, "from", &from) || !NumberParam(c, "to", &to)) {
    return BadRequest(c, "from and to must be decimal numbers");
  }
  std::string show_size_text;
  bool show_size = Param(c, "showSize", &show_size_text, 32) > 0 && show_size_text[0] == '1';

  uint64_t t0 = env_->MonotonicMs();
  uint32_t count = search_->Run(query);
  uint64_t search_ms = env_->MonotonicMs() - t0;
  if (to == 0 || to - from + 1 > 50) to = from + 49;
  int64_t last = std::min<int64_t>(to, static_cast<int64_t>(count) - 1);

  std::string body;
  for (int64_t i = from; i <= last; ++i) {
    std::u16string path;
    uint64_t size = 0;
    if (!search_->Row(static_cast<uint32_t>(i), &path, &size)) break;
    ResultRow row = SplitRow(path, size);
    if (page) {
      body += PageRow(row, show_size);
      body += '\n';
    } else {
      body += body.empty() ? "" : ",";
      body += JsonRow(row, show_size);
    }
  }
  if (page) {
    PageInfo info{q, show_size, count, last, search_ms};
    if (c.status_code() == 0) c.WriteRaw("HTTP/1.1 200 OK\r\n");
    c.WriteRaw("Content-Type: text/html; charset=utf-8\r\n");
    c.WriteChunk(PageHead(info));
    c.WriteChunk(body);
    c.WriteChunk(PageTail(info));
  } else {
    if (c.status_code() == 0) c.WriteRaw("HTTP/1.1 200 OK\r\n");
    c.WriteRaw("Content-Type: application/json; charset=utf-8\r\n");
    c.WriteChunk("[" + body + "]");
  }
  return HandleResult::kComplete;
}

HandleResult WebService::SendFileLink(Connection& c) {
  std::string uri = c.request().uri;
  std::u16string index_path = FromUtf8(uri.substr(1));
  for (char16_t& ch : index_path) {
    if (ch == u'/') ch = u'\\';
  }
  std::u16string lookup = index_path;
  while (lookup.size() > 2 && lookup.back() == u'\\') lookup.pop_back();
  bool is_folder = false;
  // Only what a search can find is served: not excluded folders, not items the user hid.
  if (!search_->Shows(lookup, &is_folder)) {
    c.SendError(404);
    return HandleResult::kComplete;
  }
  std::u16string native = search_->ToNativePath(is_folder ? lookup + u'\\' : lookup);
  c.SendFile(ToUtf8(native));
  return HandleResult::kMoreData;
}

}  // namespace nusk
