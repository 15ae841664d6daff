#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "platform/posix/read_until_end.h"
#include "platform/process_relay.h"
#include "platform/native_name.h"

extern char** environ;

namespace nusk {

namespace {
std::atomic<pid_t> g_running_child{0};
}  // namespace

Status RunRelayedChild(const std::u16string& program, const std::vector<std::u16string>& args,
                       const std::function<void(std::string_view)>& on_output, int* exit_code) {
  std::vector<std::string> storage;
  storage.push_back(NativeFromPath(program));
  for (const std::u16string& a : args) storage.push_back(NativeFromPath(a));
  std::vector<char*> argv;
  for (std::string& s : storage) argv.push_back(s.data());
  argv.push_back(nullptr);

  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) return Status::Error(std::string("StdoutRd CreatePipe: ") + std::strerror(errno));
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDERR_FILENO);
  pid_t pid = 0;
  int rc = ::posix_spawn(&pid, storage[0].c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  if (rc != 0) {
    ::close(out[0]);
    return Status::Error("Failed to create build process: " + std::string(std::strerror(rc)));
  }
  g_running_child = pid;
  ReadUntilEnd(out[0], 511, on_output);
  ::close(out[0]);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
  g_running_child = 0;
  *exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return Status::Ok();
}

bool EndRelayedChild(int exit_code) {
  if (EndPublishedBuildProcess(exit_code)) return true;
  pid_t pid = g_running_child.load();
  return pid != 0 && ::kill(pid, SIGTERM) == 0;
}

}  // namespace nusk
