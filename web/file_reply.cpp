#include "web/file_reply.h"

#include <cinttypes>
#include <cstdio>

#include "util/utf.h"
#include "web/http_text.h"

namespace nusk::http {

namespace {

struct ByteRange {
  uint64_t first;
  uint64_t last;  // inclusive
};

enum class RangeKind { kNone, kOk, kUnsatisfiable };

// "bytes=a-b", "bytes=a-" or "bytes=-n". Anything else (several ranges, other units,
// garbage) is ignored and the whole file is sent, which RFC 9110 allows.
RangeKind ParseRange(const std::string& value, uint64_t size, ByteRange* out) {
  if (!StartsWithIgnoreCase(value, "bytes=")) return RangeKind::kNone;
  std::string_view spec = std::string_view(value).substr(6);
  size_t dash = spec.find('-');
  if (dash == std::string_view::npos || spec.find(',') != std::string_view::npos) return RangeKind::kNone;
  auto number = [](std::string_view s, uint64_t* v) {
    if (s.empty() || s.size() > 18) return false;
    *v = 0;
    for (char c : s) {
      if (c < '0' || c > '9') return false;
      *v = *v * 10 + static_cast<uint64_t>(c - '0');
    }
    return true;
  };
  std::string_view a = spec.substr(0, dash), b = spec.substr(dash + 1);
  uint64_t first = 0, last = 0;
  if (a.empty()) {  // suffix: the last n bytes
    uint64_t n;
    if (!number(b, &n)) return RangeKind::kNone;
    if (n == 0 || size == 0) return RangeKind::kUnsatisfiable;
    first = n >= size ? 0 : size - n;
    last = size - 1;
  } else {
    if (!number(a, &first)) return RangeKind::kNone;
    if (b.empty()) {
      last = size == 0 ? 0 : size - 1;
    } else if (!number(b, &last) || last < first) {
      return RangeKind::kNone;
    }
    if (first >= size) return RangeKind::kUnsatisfiable;
    if (last >= size) last = size - 1;
  }
  *out = {first, last};
  return RangeKind::kOk;
}

bool IsScript(std::string_view path) {
  return EndsWithIgnoreCase(path, ".cgi") || EndsWithIgnoreCase(path, ".pl") || EndsWithIgnoreCase(path, ".php");
}

bool NotModified(const Request& req, const std::string& etag, int64_t mtime) {
  if (const std::string* inm = req.FindHeader("If-None-Match")) return EqualsIgnoreCase(*inm, etag);
  if (const std::string* ims = req.FindHeader("If-Modified-Since")) {
    std::optional<int64_t> since = ParseHttpDate(*ims);
    return since && *since >= mtime;
  }
  return false;
}

}  // namespace

std::string EntityTag(int64_t mtime_unix, uint64_t size) {
  char buf[64];
  std::snprintf(buf, sizeof(buf), "\"%" PRIx64 ".%" PRIu64 "\"", static_cast<uint64_t>(mtime_unix), size);
  return buf;
}

FileReply PrepareFileReply(const Request& req, OpenedItem* item, std::string_view name, int64_t now, bool keep_alive) {
  FileReply reply;
  if (item == nullptr) {
    reply.error = 404;
    return reply;
  }
  const PathInfo& info = item->info;
  if (info.is_folder) {
    if (req.uri.empty() || req.uri.back() != '/') {
      reply.head = "HTTP/1.1 301 Moved Permanently\r\nLocation: " + EncodePath(req.uri) + "/\r\n\r\n";
      reply.close_after = true;
    } else {
      reply.error = 404;  // folders are not listed
    }
    return reply;
  }
  if (IsScript(name) || !item->file) {
    reply.error = item->file ? 501 : 404;
    return reply;
  }
  std::string etag = EntityTag(info.mtime_unix, info.size);
  // Only a GET or HEAD may be answered "not modified" (RFC 9110, 13.1.2).
  if ((req.method == "GET" || req.method == "HEAD") && NotModified(req, etag, info.mtime_unix)) {
    reply.error = 304;
    return reply;
  }
  std::unique_ptr<FileStream> file = std::move(item->file);
  int status = 200;
  ByteRange range{0, info.size == 0 ? 0 : info.size - 1};
  uint64_t length = info.size;
  std::string content_range;
  if (const std::string* r = req.FindHeader("Range")) {
    RangeKind kind = ParseRange(*r, info.size, &range);
    if (kind == RangeKind::kUnsatisfiable) {
      reply.head = "HTTP/1.1 416 Range Not Satisfiable\r\nContent-Range: bytes */" + std::to_string(info.size) +
                   "\r\nContent-Length: 0\r\nConnection: " + (keep_alive ? "keep-alive" : "close") + "\r\n\r\n";
      reply.close_after = !keep_alive;
      return reply;
    }
    if (kind == RangeKind::kOk) {
      status = 206;
      length = range.last - range.first + 1;
      content_range = "Content-Range: bytes " + std::to_string(range.first) + "-" + std::to_string(range.last) + "/" +
                      std::to_string(info.size) + "\r\n";
    }
  }
  std::string_view type = ContentTypeFor(name);
  reply.head = "HTTP/1.1 " + std::to_string(status) + " " + ReasonPhrase(status) + "\r\nDate: " + FormatHttpDate(now) +
               "\r\nLast-Modified: " + FormatHttpDate(info.mtime_unix) + "\r\nEtag: " + etag +
               "\r\nContent-Type: " + std::string(type) + "\r\nContent-Length: " + std::to_string(length) +
               "\r\nConnection: " + (keep_alive ? "keep-alive" : "close") + "\r\nAccept-Ranges: bytes\r\n" +
               content_range + "\r\n";
  reply.close_after = !keep_alive;
  if (req.method != "HEAD" && length > 0) {
    reply.file = std::move(file);
    reply.offset = status == 206 ? range.first : 0;
    reply.length = length;
  }
  return reply;
}

}  // namespace nusk::http
