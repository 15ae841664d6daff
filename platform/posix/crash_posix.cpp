// The crash handler on POSIX: a signal handler that appends the prepared report and the
// memory figures with write(2), then re-raises the signal. The alternate stack belongs to
// the installing (main) thread, where a stack overflow of the walk or scan would happen.
#include <fcntl.h>
#include <signal.h>
#include <sys/sysinfo.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "platform/crash.h"
#include "util/utf.h"

namespace nusk {

namespace {

constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};

// Everything the handler reads, prepared beforehand: no allocation while crashing.
// Replaced only from the main thread before the guarded work (see crash.h).
std::string* g_log_path = nullptr;
std::string* g_prepared = nullptr;
alignas(16) char g_alt_stack[64 * 1024];

void WriteAll(int fd, const char* p, size_t n) {
  while (n > 0) {
    ssize_t w = ::write(fd, p, n);
    if (w <= 0) return;
    p += w;
    n -= static_cast<size_t>(w);
  }
}

void WriteText(int fd, const char* s) { WriteAll(fd, s, std::strlen(s)); }

void WriteNumber(int fd, unsigned long long v) {
  char buf[24];
  size_t at = sizeof(buf);
  do {
    buf[--at] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v != 0);
  WriteAll(fd, buf + at, sizeof(buf) - at);
}

void WriteLine(int fd, const char* label, unsigned long long v) {
  WriteText(fd, label);
  WriteNumber(fd, v);
  WriteText(fd, "\n");
}

// /proc/self/statm: total program pages, resident pages, shared resident pages.
bool ReadStatm(unsigned long long out[3]) {
  int fd = ::open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char buf[128];
  ssize_t n = ::read(fd, buf, sizeof(buf) - 1);
  ::close(fd);
  if (n <= 0) return false;
  buf[n] = '\0';
  const char* p = buf;
  for (int i = 0; i < 3; ++i) {
    unsigned long long v = 0;
    while (*p == ' ') ++p;
    if (*p < '0' || *p > '9') return false;
    while (*p >= '0' && *p <= '9') v = v * 10 + static_cast<unsigned>(*p++ - '0');
    out[i] = v;
  }
  return true;
}

void WriteMemory(int fd) {
  WriteText(fd, "-- memory info --\n");
  struct sysinfo si;
  if (::sysinfo(&si) == 0) {
    unsigned long long unit = si.mem_unit ? si.mem_unit : 1;
    WriteLine(fd, "Total Physical Memory: ", si.totalram * unit);
    WriteLine(fd, "Physical Memory Used: ", (si.totalram - si.freeram) * unit);
    WriteLine(fd, "Total Virtual Memory: ", (si.totalram + si.totalswap) * unit);
  }
  unsigned long long pages[3];
  if (ReadStatm(pages)) {
    unsigned long long page = static_cast<unsigned long long>(::sysconf(_SC_PAGESIZE));
    WriteLine(fd, "Virtual Memory Used: ", pages[0] * page);
    WriteLine(fd, "Working Set Size: ", pages[1] * page);
    WriteLine(fd, "Private Working Set Size: ", (pages[1] - pages[2]) * page);
  }
}

void OnFatalSignal(int sig) {
  int saved = errno;
  if (g_log_path && g_prepared) {
    int fd = ::open(g_log_path->c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd >= 0) {
      WriteAll(fd, g_prepared->data(), g_prepared->size());
      const std::string_view tail = CrashReportTail();
      WriteAll(fd, tail.data(), tail.size());
      WriteLine(fd, "Signal: ", static_cast<unsigned long long>(sig));
      WriteMemory(fd);
      ::close(fd);
    }
  }
  errno = saved;
  // SA_RESETHAND restored the default action: the signal ends the process as before.
  ::raise(sig);
}

std::string FirstCpuInfo(const char* key) {
  std::ifstream in("/proc/cpuinfo");
  std::string line;
  while (std::getline(in, line)) {
    if (line.compare(0, std::strlen(key), key) == 0) {
      size_t value = line.find_first_not_of(" \t", line.find(':') + 1);
      return value == std::string::npos ? std::string() : line.substr(value);
    }
  }
  return std::string();
}

}  // namespace

bool InstallCrashHandler(const CrashReportSetup& setup) {
  // Kept for the life of the process: a handler may run at any moment after this.
  static std::string log_path, prepared;
  log_path = ToUtf8(setup.log_path);
  prepared = setup.prepared;
  g_log_path = &log_path;
  g_prepared = &prepared;
  stack_t ss{};
  ss.ss_sp = g_alt_stack;
  ss.ss_size = sizeof(g_alt_stack);
  if (::sigaltstack(&ss, nullptr) != 0) return false;
  struct sigaction sa {};
  sa.sa_handler = OnFatalSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_ONSTACK | SA_RESETHAND | SA_NODEFER;
  for (int sig : kSignals) {
    if (::sigaction(sig, &sa, nullptr) != 0) return false;
  }
  return true;
}

std::string DescribeSystemForCrash() {
  std::string out = "-- os info --\n";
  struct utsname u;
  if (::uname(&u) == 0) {
    out += std::string("Version: ") + u.release + ", " + u.sysname + " " + u.version + "\n";
    out += std::string("Architecture: ") + u.machine + "\n";
  }
  out += "-- processor info --\n";
  out += "Brand String: " + FirstCpuInfo("model name") + "\n";
  std::string cores = FirstCpuInfo("cpu cores");
  long logical = ::sysconf(_SC_NPROCESSORS_ONLN);
  out += "Core Count: " + (cores.empty() ? std::to_string(logical) : cores) + "\n";
  out += "Logical Processor Count: " + std::to_string(logical) + "\n";
  out += std::string("Supports 64 bit: ") + (sizeof(void*) == 8 ? "Y" : "N") + "\n";
  return out;
}

}  // namespace nusk
