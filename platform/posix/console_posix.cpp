// Interrupts on POSIX: SIGINT/SIGTERM write one byte to a self-pipe; a thread reads the
// pipe and runs the handler, so the handler may lock, allocate and print.
#include <fcntl.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "platform/console.h"

namespace nusk {

namespace {

int g_pipe_write = -1;  // written by the signal handler; set before the handler is installed

void OnSignal(int) {
  int saved = errno;
  char byte = 1;
  // A full pipe already holds a pending interrupt, so a lost byte loses nothing.
  ssize_t ignored = ::write(g_pipe_write, &byte, 1);
  (void)ignored;
  errno = saved;
}

void HandlerLoop(int read_fd, std::function<void()> on_interrupt) {
  for (;;) {
    char byte;
    ssize_t n = ::read(read_fd, &byte, 1);
    if (n == 1) {
      on_interrupt();
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      return;
    }
  }
}

}  // namespace

bool InstallInterruptHandler(std::function<void()> on_interrupt) {
  if (g_pipe_write != -1) return false;  // installed already
  int fds[2];
  if (::pipe(fds) != 0) return false;
  ::fcntl(fds[0], F_SETFD, FD_CLOEXEC);
  ::fcntl(fds[1], F_SETFD, FD_CLOEXEC);
  ::fcntl(fds[1], F_SETFL, O_NONBLOCK);
  g_pipe_write = fds[1];
  try {
    std::thread(HandlerLoop, fds[0], std::move(on_interrupt)).detach();
  } catch (...) {
    ::close(fds[0]);
    ::close(fds[1]);
    g_pipe_write = -1;
    return false;
  }
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  return ::sigaction(SIGINT, &sa, nullptr) == 0 && ::sigaction(SIGTERM, &sa, nullptr) == 0;
}

void WaitForKeyPress() {
  if (!::isatty(STDIN_FILENO)) return;
  struct termios saved;
  if (::tcgetattr(STDIN_FILENO, &saved) != 0) return;
  struct termios raw = saved;
  raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  ::tcsetattr(STDIN_FILENO, TCSANOW, &raw);
  char c;
  while (::read(STDIN_FILENO, &c, 1) < 0 && errno == EINTR) {}
  ::tcsetattr(STDIN_FILENO, TCSANOW, &saved);
}

}  // namespace nusk
