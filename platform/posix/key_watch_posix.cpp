// KeyWatch over a terminal in non-canonical mode.
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include "platform/key_watch.h"

namespace nusk {

namespace {

class PosixKeyWatch : public KeyWatch {
 public:
  explicit PosixKeyWatch(const termios& saved) : saved_(saved) {}
  ~PosixKeyWatch() override { ::tcsetattr(STDIN_FILENO, TCSANOW, &saved_); }

  bool KeyPressed() override {
    bool pressed = false;
    pollfd p{STDIN_FILENO, POLLIN, 0};
    while (::poll(&p, 1, 0) == 1 && (p.revents & POLLIN) != 0) {
      char buf[64];
      if (::read(STDIN_FILENO, buf, sizeof(buf)) <= 0) break;
      pressed = true;
    }
    return pressed;
  }

 private:
  termios saved_;
};

}  // namespace

std::unique_ptr<KeyWatch> KeyWatch::Open() {
  if (!::isatty(STDIN_FILENO)) return nullptr;
  termios saved;
  if (::tcgetattr(STDIN_FILENO, &saved) != 0) return nullptr;
  termios raw = saved;
  // Keys arrive one by one without Enter; Ctrl-C still raises SIGINT (ISIG stays on).
  raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
  raw.c_cc[VMIN] = 0;
  raw.c_cc[VTIME] = 0;
  if (::tcsetattr(STDIN_FILENO, TCSANOW, &raw) != 0) return nullptr;
  return std::make_unique<PosixKeyWatch>(saved);
}

}  // namespace nusk
