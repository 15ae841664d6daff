#include "web/web_service.h"

#include <chrono>

#include "platform/file_stream.h"
#include "platform/native_name.h"
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

bool IsDriveForm(std::u16string_view path) {
  return path.size() >= 2 && ((path[0] >= u'A' && path[0] <= u'Z') || (path[0] >= u'a' && path[0] <= u'z')) &&
         path[1] == u':';
}

// The request's path as text. The HTTP layer takes '\' for a separator, as Windows does;
// where it belongs to names (POSIX), the path is decoded again from the target with each
// '\' kept as U+F05C, its index form, so a link to "/a\b" is not served as "/a/b".
std::u16string LinkPath(const http::Request& request, bool backslash_in_names) {
  if (backslash_in_names) {
    const std::string_view target = std::string_view(request.target).substr(0, request.target.find('?'));
    std::optional<std::string> decoded = http::UrlDecode(target, false, false);
    if (decoded && decoded->find('\\') != std::string::npos) {
      const std::string escaped = ToUtf8(std::u16string(1, kEscapedBackslash));
      std::string kept;
      for (char ch : *decoded) {
        if (ch == '\\') kept += escaped;
        else kept += ch;
      }
      if (std::optional<std::string> normal = http::NormalizePath(kept)) return FromUtf8(*normal);
    }
  }
  return FromUtf8(request.uri);
}

// A query word for a folder, quoted when it holds a space (as the page's script does).
std::u16string FolderQuery(std::u16string folder) {
  if (folder.empty() || folder.back() != u'\\') folder += u'\\';
  return folder.find(u' ') == std::u16string::npos ? folder : u"\"" + folder + u"\"";
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
  search_->Refresh();  // between requests: a newer index may take over here
  const std::string& uri = c.request().uri;
  if (uri == "/") return SendResults(c, /*page=*/true);
  if (uri == "/query.json") return SendResults(c, /*page=*/false);
  if (uri == "/thumb.png") return SendThumbnail(c);
  // A file link: "/C:/docs/a.txt" (the drive form, on every system) or, on POSIX, the
  // native path "/docs/a.txt". Only a path the index shows is served.
  std::u16string link = LinkPath(c.request(), env_->PathSeparator() != u'\\'), index_path;
  std::u16string_view tail = std::u16string_view(link).substr(1);
  if (IsDriveForm(tail) ? IndexPathOf(tail, &index_path) : IndexPathOf(link, &index_path)) {
    bool is_folder = false;
    if (search_->Shows(index_path, &is_folder) || IsDriveForm(tail)) return SendFileLink(c, index_path);
  }
  return HandleResult::kNotHandled;  // the layer answers 404
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

  const char separator = static_cast<char>(env_->PathSeparator());
  std::string body;
  for (int64_t i = from; i <= last; ++i) {
    WebRow found;
    if (!search_->Row(static_cast<uint32_t>(i), &found)) break;
    ResultRow row{ToUtf8(search_->ToNativePath(found.path)), found.is_folder, found.size_bytes, separator};
    if (page) {
      body += PageRow(row, show_size);
      body += '\n';
    } else {
      body += body.empty() ? "" : ",";
      body += JsonRow(row, show_size);
    }
  }
  if (page) {
    PageInfo info{q, show_size, separator, count, last, search_ms};
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

bool WebService::IndexPathOf(std::u16string_view path, std::u16string* index_path) {
  // On POSIX '\' is a character of a name (U+F05C in the index), never a separator.
  const bool backslash_in_names = env_->PathSeparator() != u'\\';
  if (IsDriveForm(path)) {
    index_path->assign(path);
    for (char16_t& ch : *index_path) {
      if (ch == u'/') ch = u'\\';
      else if (ch == u'\\' && backslash_in_names) ch = kEscapedBackslash;
    }
  } else {
    std::u16string native(path);
    while (native.size() > 1 && (native.back() == u'/' || (native.back() == u'\\' && !backslash_in_names))) {
      native.pop_back();
    }
    if (!search_->FromNativePath(native, index_path)) return false;
  }
  while (index_path->size() > 2 && index_path->back() == u'\\') index_path->pop_back();
  return true;
}

HandleResult WebService::SendFileLink(Connection& c, const std::u16string& index_path) {
  bool is_folder = false;
  // Only what a search can find is served: not excluded folders, not items the user hid.
  if (!search_->Shows(index_path, &is_folder)) {
    c.SendError(404);
    return HandleResult::kComplete;
  }
  const std::string& uri = c.request().uri;
  if (is_folder && !uri.empty() && uri.back() == '/') {
    // Folders are not listed; their link opens the search inside them.
    c.WriteRaw("HTTP/1.1 302 Found\r\nLocation: /?q=" + http::PercentEncode(ToUtf8(FolderQuery(index_path)), "") +
               "\r\nContent-Length: 0\r\n\r\n");
    return HandleResult::kComplete;
  }
  // Opened below the drive's folder without following links: only the item the index
  // shows is sent, never what a link put in its place points at.
  std::u16string root;
  std::vector<std::u16string> names;
  if (!search_->Locate(index_path, &root, &names)) {
    c.SendError(404);
    return HandleResult::kComplete;
  }
  c.SendFile(root, names);
  return HandleResult::kMoreData;
}

HandleResult WebService::SendThumbnail(Connection& c) {
  std::string file;
  if (Param(c, "file", &file, kMaxQueryChars * 4 + 1) <= 0 || thumbnails_ == nullptr) {
    return HandleResult::kNotHandled;
  }
  std::u16string path = FromUtf8(file), index_path;
  bool is_folder = false;
  if (path.size() > kMaxQueryChars || !IndexPathOf(path, &index_path) || !search_->Shows(index_path, &is_folder) ||
      is_folder) {
    return HandleResult::kNotHandled;
  }
  // The picture is made only of a regular file reached without links.
  std::u16string root;
  std::vector<std::u16string> names;
  OpenedItem source;
  if (!search_->Locate(index_path, &root, &names) || !env_->OpenBelow(root, names, &source) || !source.file) {
    return HandleResult::kNotHandled;
  }
  source.file.reset();
  std::u16string png = thumbnails_->Get(search_->ToNativePath(index_path));
  const std::u16string& folder = thumbnails_->folder();
  if (png.size() <= folder.size() || png.compare(0, folder.size(), folder) != 0) return HandleResult::kNotHandled;
  c.SendFile(folder.substr(0, folder.size() - 1), {png.substr(folder.size())});
  return HandleResult::kMoreData;
}

}  // namespace nusk
