// Child processes on POSIX: posix_spawn with pipes for standard output and error.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/posix/read_until_end.h"
#include "platform/process.h"
#include "platform/native_name.h"
#include "util/utf.h"

extern char** environ;

namespace nusk {

namespace {

void ReadAll(int fd, std::string* out) {
  ReadUntilEnd(fd, 4096, [out](std::string_view piece) { out->append(piece); });
  ::close(fd);
}

// The parent's environment with the overrides applied, as "NAME=value" strings.
std::vector<std::string> ChildEnvironment(const ChildOptions& options) {
  std::vector<std::string> vars;
  for (char** e = environ; *e; ++e) {
    std::string var(*e);
    bool replaced = false;
    for (const auto& [name, value] : options.env) {
      std::string prefix = ToUtf8(name) + "=";
      if (var.compare(0, prefix.size(), prefix) == 0) replaced = true;
    }
    if (!replaced) vars.push_back(var);
  }
  for (const auto& [name, value] : options.env) {
    if (!value.empty()) vars.push_back(ToUtf8(name) + "=" + ToUtf8(value));
  }
  return vars;
}

class PosixChild : public ChildProcess {
 public:
  PosixChild(pid_t pid, int out_fd, int err_fd)
      : pid_(pid), out_reader_(ReadAll, out_fd, &out_), err_reader_(ReadAll, err_fd, &err_) {}

  ~PosixChild() override {
    if (!reaped_) {
      ::kill(pid_, SIGKILL);
      int status;
      while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {}
    }
    JoinReaders();
  }

  Status Interrupt() override {
    if (reaped_ || ::kill(pid_, SIGINT) != 0) return Status::Error("cannot interrupt the child process");
    return Status::Ok();
  }

  bool Wait(uint32_t timeout_ms, int* exit_code) override {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (!reaped_) {
      int status = 0;
      pid_t r = ::waitpid(pid_, &status, WNOHANG);
      if (r == pid_) {
        reaped_ = true;
        code_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        break;
      }
      if (r < 0 && errno != EINTR) return false;
      if (std::chrono::steady_clock::now() >= deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    JoinReaders();
    *exit_code = code_;
    return true;
  }

  const std::string& Stdout() const override { return out_; }
  const std::string& Stderr() const override { return err_; }

 private:
  void JoinReaders() {
    if (out_reader_.joinable()) out_reader_.join();
    if (err_reader_.joinable()) err_reader_.join();
  }

  pid_t pid_;
  bool reaped_ = false;
  int code_ = -1;
  std::string out_, err_;
  std::thread out_reader_, err_reader_;
};

}  // namespace

Status ChildProcess::Start(const std::u16string& program, const std::vector<std::u16string>& args,
                           const ChildOptions& options, std::unique_ptr<ChildProcess>* child) {
  std::string path = NativeFromPath(program);
  std::vector<std::string> argv_storage{path};
  for (const auto& a : args) argv_storage.push_back(NativeFromPath(a));
  std::vector<char*> argv;
  for (auto& a : argv_storage) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<std::string> env_storage = ChildEnvironment(options);
  std::vector<char*> envp;
  for (auto& e : env_storage) envp.push_back(e.data());
  envp.push_back(nullptr);

  int out_pipe[2], err_pipe[2];
  if (::pipe2(out_pipe, O_CLOEXEC) != 0) return Status::Error("cannot create a pipe");
  if (::pipe2(err_pipe, O_CLOEXEC) != 0) {
    ::close(out_pipe[0]);
    ::close(out_pipe[1]);
    return Status::Error("cannot create a pipe");
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out_pipe[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err_pipe[1], STDERR_FILENO);
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  // The child starts with default signal handling whatever the parent ignores.
  sigset_t all;
  sigfillset(&all);
  posix_spawnattr_setsigdefault(&attr, &all);
  short flags = POSIX_SPAWN_SETSIGDEF;
  if (options.interruptible) {
    flags |= POSIX_SPAWN_SETPGROUP;
    posix_spawnattr_setpgroup(&attr, 0);
  }
  posix_spawnattr_setflags(&attr, flags);

  pid_t pid = 0;
  int rc = ::posix_spawn(&pid, path.c_str(), &actions, &attr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  ::close(out_pipe[1]);
  ::close(err_pipe[1]);
  if (rc != 0) {
    ::close(out_pipe[0]);
    ::close(err_pipe[0]);
    return Status::Error("cannot start " + path + ": " + std::strerror(rc));
  }
  *child = std::make_unique<PosixChild>(pid, out_pipe[0], err_pipe[0]);
  return Status::Ok();
}

}  // namespace nusk
