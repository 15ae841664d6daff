// The web search service: the search page, "/query.json", thumbnails and file downloads
// over the HTTP layer, answering from one WebSearch (the process's index).
//
// Paths are shown as the running system writes them ("C:\docs\a.txt" on Windows,
// "/docs/a.txt" on POSIX); links name files by that path too, and a link is served only
// when it maps back to an item the index shows. A link to a shown folder whose path ends
// with '/' is answered with a redirect to the search inside that folder.
//
// Threads: Start runs a polling thread that handles every request; the lock serialises
// request handling against Stop. Configure/Start/Stop/IsRunning/LastError belong to the
// owner's thread (the console command, or the window starting and stopping it).
#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/env.h"
#include "web/http_server.h"
#include "web/thumbnail_cache.h"
#include "web/web_search.h"

namespace nusk {

class WebService {
 public:
  // search: borrowed; must outlive the service. Never null.
  explicit WebService(WebSearch* search, Env* env);
  ~WebService();  // stops a running service
  WebService(const WebService&) = delete;
  WebService& operator=(const WebService&) = delete;

  // address: empty = every address; port 0 picks a free one (see port()).
  void Configure(std::u16string address, uint32_t port, std::u16string user, std::u16string password);
  // Binds and starts the polling thread (a running service is stopped first). False with
  // LastError() set when binding fails; then nothing listens.
  bool Start();
  const std::u16string& LastError() const { return last_error_; }
  // Ends the polling thread (within one poll interval, 250 ms) and closes every socket,
  // so the port is free again when it returns. Safe when not running.
  void Stop();
  bool IsRunning() const { return thread_.joinable(); }
  // The bound port while running.
  uint16_t port() const { return server_ ? server_->port() : 0; }
  // Where failed logins are reported (no passwords). Default: nowhere.
  void SetLog(http::LogSink log) { log_ = std::move(log); }
  // Where "/thumb.png" gets its pictures; borrowed, must outlive the service. Without one
  // every thumbnail request is declined (404).
  void SetThumbnails(ThumbnailCache* thumbnails) { thumbnails_ = thumbnails; }

  // The request callback (public for tests that drive it without sockets).
  http::HandleResult HandleRequest(http::Connection& c);

 private:
  http::HandleResult SendResults(http::Connection& c, bool page);
  http::HandleResult SendFileLink(http::Connection& c, const std::u16string& index_path);
  http::HandleResult SendThumbnail(http::Connection& c);
  // The index path a shown or linked path names: a drive form ("C:\a", "C:/a") as it is,
  // else through the drive map. False when it names nothing indexed.
  bool IndexPathOf(std::u16string_view path, std::u16string* index_path);

  WebSearch* search_;
  Env* env_;
  std::u16string address_, user_, password_;
  uint32_t port_ = 8080;
  std::u16string last_error_;
  http::LogSink log_;
  ThumbnailCache* thumbnails_ = nullptr;
  std::mutex lock_;  // held for the whole handling of one request
  std::atomic<bool> stop_{false};
  std::unique_ptr<http::Server> server_;
  std::thread thread_;
};

// ---- Pieces of the answers (pure; tested on their own) ----

// ceil(bytes / 1024) with ',' before every group of three digits, then " KB".
std::string SizeText(uint64_t bytes);
// Decimal with ',' group separators.
std::string GroupedNumber(uint64_t n);
// Text for HTML element content and attribute values ('&', '<', '>', '"' escaped).
std::string HtmlEscape(std::string_view text);
// Text inside a JSON string ('"', '\', control characters escaped).
std::string JsonEscape(std::string_view text);

// One result as shown (UTF-8).
struct ResultRow {
  std::string path;  // native, without a folder mark: "C:\a\b.txt", "C:", "/a/b.txt", "/"
  bool is_folder = false;
  uint64_t size_bytes = 0;
  char separator = '\\';  // of shown paths: '\\' on Windows, '/' on POSIX
};
// The string of one row in "/query.json".
std::string JsonRow(const ResultRow& row, bool show_size);
// The <li> entry of one row on the search page.
std::string PageRow(const ResultRow& row, bool show_size);

struct PageInfo {
  std::string query;  // UTF-8, as typed
  bool show_size = false;
  char separator = '\\';  // of shown paths
  uint64_t total = 0;     // C
  int64_t last = -1;      // last position shown
  uint64_t search_ms = 0;
};
// The search page around the already rendered rows.
std::string PageHead(const PageInfo& info);
std::string PageTail(const PageInfo& info);

}  // namespace nusk
