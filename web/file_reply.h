// Decides how to answer a request for a local file: 200 or 206 with headers, 304, 301 for
// a folder named without its trailing '/', or an error code. Reads only file metadata;
// the bytes are read later, as the socket drains.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/file_stream.h"
#include "web/http_request.h"

namespace nusk::http {

struct FileReply {
  int error = 0;     // non-zero: answer with the default error response for this code
  std::string head;  // status line and headers, blank line included (error == 0)
  bool close_after = false;
  std::unique_ptr<FileStream> file;  // null when no body follows (HEAD, 301)
  uint64_t offset = 0;
  uint64_t length = 0;
};

// Entity tag of a file: "\"<mtime hex>.<size>\"", quotes included.
std::string EntityTag(int64_t mtime_unix, uint64_t size);

// item: the file or folder as opened (null: nothing servable there, 404); its stream is
// taken over. name: its UTF-8 file name (content type, script check). now_unix: the
// current time for the Date header. keep_alive: whether the connection stays open.
FileReply PrepareFileReply(const Request& request, OpenedItem* item, std::string_view name, int64_t now_unix,
                           bool keep_alive);

}  // namespace nusk::http
