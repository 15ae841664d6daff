// Message pipes as SOCK_SEQPACKET sockets in the abstract namespace: message boundaries
// are kept like a Windows message-mode pipe, and nothing is left on disk.
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "platform/pipe.h"
#include "util/utf.h"

namespace nusk {

namespace {

// "\\.\pipe\nusk_server" -> "nusk-pipe-nusk_server" (the part after the last '\').
socklen_t AddressFor(const std::u16string& name, sockaddr_un* addr) {
  std::u16string last =
      name.substr(name.find_last_of(u'\\') == std::u16string::npos ? 0 : name.find_last_of(u'\\') + 1);
  std::string id = "nusk-pipe-" + ToUtf8(last);
  if (id.size() > sizeof(addr->sun_path) - 2) id.resize(sizeof(addr->sun_path) - 2);
  std::memset(addr, 0, sizeof(*addr));
  addr->sun_family = AF_UNIX;
  std::memcpy(addr->sun_path + 1, id.data(), id.size());  // sun_path[0] = 0: abstract
  return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + id.size());
}

class SocketPipe : public MessagePipe {
 public:
  explicit SocketPipe(int fd) : fd_(fd) {}
  ~SocketPipe() override { ::close(fd_); }

  bool WriteMessage(std::string_view bytes) override {
    for (;;) {
      ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
      if (n < 0 && errno == EINTR) continue;
      return n == static_cast<ssize_t>(bytes.size());
    }
  }

  ReadResult ReadPiece(size_t max_bytes, std::string* piece) override {
    if (pending_pos_ < pending_.size()) return TakePending(max_bytes, piece);
    pending_.resize(1 << 16);
    ssize_t n;
    do { n = ::recv(fd_, pending_.data(), pending_.size(), 0); } while (n < 0 && errno == EINTR);
    if (n < 0) return ReadResult::kError;
    if (n == 0) return ReadResult::kEnd;
    pending_.resize(static_cast<size_t>(n));
    pending_pos_ = 0;
    return TakePending(max_bytes, piece);
  }

 private:
  ReadResult TakePending(size_t max_bytes, std::string* piece) {
    size_t take = std::min(max_bytes, pending_.size() - pending_pos_);
    piece->assign(pending_.data() + pending_pos_, take);
    pending_pos_ += take;
    return ReadResult::kPiece;
  }

  int fd_;
  std::vector<char> pending_;  // rest of a message longer than the last piece
  size_t pending_pos_ = 0;
};

Status Errno(const char* what) { return Status::Error(std::string(what) + ": " + std::strerror(errno)); }

}  // namespace

Status MessagePipe::Serve(const std::u16string& name, uint32_t timeout_ms, std::unique_ptr<MessagePipe>* pipe) {
  sockaddr_un addr;
  socklen_t len = AddressFor(name, &addr);
  int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
  if (fd < 0) return Errno("socket");
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), len) != 0 || ::listen(fd, 1) != 0) {
    Status s = Status::Error("CreateNamedPipe failed, GLE=" + std::to_string(errno) + ".");
    ::close(fd);
    return s;
  }
  pollfd p{fd, POLLIN, 0};
  int ready;
  do { ready = ::poll(&p, 1, static_cast<int>(timeout_ms)); } while (ready < 0 && errno == EINTR);
  if (ready <= 0) {
    ::close(fd);
    return Status::Error("Client connect timeout..");
  }
  int client = ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
  ::close(fd);  // one client per server, as a one-instance pipe
  if (client < 0) return Errno("accept");
  pipe->reset(new SocketPipe(client));
  return Status::Ok();
}

Status MessagePipe::Connect(const std::u16string& name, uint32_t busy_wait_ms, std::unique_ptr<MessagePipe>* pipe) {
  (void)busy_wait_ms;  // a listening socket queues clients: never busy
  sockaddr_un addr;
  socklen_t len = AddressFor(name, &addr);
  int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
  if (fd < 0) return Errno("socket");
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), len) != 0) {
    Status s = Errno("cannot open pipe");
    ::close(fd);
    return s;
  }
  pipe->reset(new SocketPipe(fd));
  return Status::Ok();
}

}  // namespace nusk
