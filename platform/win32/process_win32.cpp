// Child processes on Windows: CreateProcessW with anonymous pipes for standard output
// and error, read by two threads of the parent.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "platform/win32/pipe_drain.h"
#include "platform/process.h"
#include "platform/win32/win_text.h"
#include "util/casemap.h"
#include "util/utf.h"

namespace nusk {

namespace {

// Quotes one argument so that CommandLineToArgvW returns it unchanged: backslashes are
// doubled only where they precede a quote.
void AppendQuoted(const std::wstring& arg, std::wstring* line) {
  if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
    line->append(arg);
    return;
  }
  line->push_back(L'"');
  size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    if (c == L'"') {
      line->append(backslashes * 2 + 1, L'\\');
    } else {
      line->append(backslashes, L'\\');
    }
    backslashes = 0;
    line->push_back(c);
  }
  line->append(backslashes * 2, L'\\');
  line->push_back(L'"');
}

// The parent's environment with the overrides applied, as a CREATE_UNICODE_ENVIRONMENT block.
std::wstring ChildEnvironment(const ChildOptions& options) {
  std::wstring block;
  wchar_t* parent = GetEnvironmentStringsW();
  for (const wchar_t* p = parent; p && *p; p += wcslen(p) + 1) {
    std::wstring var = p;
    size_t eq = var.find(L'=', 1);  // entries such as "=C:=C:\" begin with '='
    std::u16string name = U(var.substr(0, eq));
    bool replaced = false;
    for (const auto& o : options.env) replaced = replaced || EqualsNoCase(o.first, name);
    if (!replaced) block.append(var).push_back(L'\0');
  }
  if (parent) FreeEnvironmentStringsW(parent);
  for (const auto& [name, value] : options.env) {
    if (!value.empty()) block.append(W(name) + L"=" + W(value)).push_back(L'\0');
  }
  block.push_back(L'\0');
  return block;
}

// Reads a pipe until the child has ended and the pipe is empty. A blocking read would
// wait for every copy of the write end to close, and a process the child started (Wine
// starts its desktop process on demand) may hold one for much longer than the child lives.
void ReadAll(HANDLE pipe, const std::atomic<bool>* ended, std::string* out) {
  const auto wait_for_end = [ended] {
    if (ended->load()) return true;
    Sleep(2);
    return false;
  };
  DrainPipe(pipe, 4096, wait_for_end, [out](std::string_view piece) { out->append(piece); });
  CloseHandle(pipe);
}

BOOL WINAPI IgnoreControlEvent(DWORD) { return TRUE; }

class Win32Child : public ChildProcess {
 public:
  Win32Child(HANDLE process, HANDLE out, HANDLE err)
      : process_(process), out_reader_(ReadAll, out, &ended_, &out_), err_reader_(ReadAll, err, &ended_, &err_) {}

  ~Win32Child() override {
    if (!ended_) {
      TerminateProcess(process_, 1);
      WaitForSingleObject(process_, INFINITE);
      ended_ = true;
    }
    JoinReaders();
    CloseHandle(process_);
  }

  Status Interrupt() override {
    // Ctrl-C reaches every process of the console; this one ignores it from now on. A
    // routine rather than SetConsoleCtrlHandler(nullptr, TRUE): that flag would be
    // inherited by later children, which would then never see their Ctrl-C.
    static const BOOL ignoring = SetConsoleCtrlHandler(IgnoreControlEvent, TRUE);
    (void)ignoring;
    if (!GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) {
      return Status::Error("GenerateConsoleCtrlEvent failed (error " + std::to_string(GetLastError()) + ")");
    }
    return Status::Ok();
  }

  bool Wait(uint32_t timeout_ms, int* exit_code) override {
    if (!ended_) {
      if (WaitForSingleObject(process_, timeout_ms) != WAIT_OBJECT_0) return false;
      ended_ = true;
    }
    JoinReaders();
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    *exit_code = static_cast<int>(code);
    return true;
  }

  const std::string& Stdout() const override { return out_; }
  const std::string& Stderr() const override { return err_; }

 private:
  void JoinReaders() {
    if (out_reader_.joinable()) out_reader_.join();
    if (err_reader_.joinable()) err_reader_.join();
  }

  HANDLE process_;
  std::atomic<bool> ended_{false};  // the readers stop once it is set and the pipes are empty
  std::string out_, err_;
  std::thread out_reader_, err_reader_;
};

// Gives the process a console window when it has none, keeping its standard handles
// (which AllocConsole would point at the new console). A console without a window (Wine
// gives one to programs started from a Unix shell) cannot carry Ctrl-C events, so it is
// replaced.
void EnsureConsole() {
  if (GetConsoleWindow() != nullptr) return;
  HANDLE in = GetStdHandle(STD_INPUT_HANDLE), out = GetStdHandle(STD_OUTPUT_HANDLE),
         err = GetStdHandle(STD_ERROR_HANDLE);
  if (!AllocConsole() && !(FreeConsole() && AllocConsole())) return;
  ShowWindow(GetConsoleWindow(), SW_HIDE);
  SetStdHandle(STD_INPUT_HANDLE, in);
  SetStdHandle(STD_OUTPUT_HANDLE, out);
  SetStdHandle(STD_ERROR_HANDLE, err);
}

Status Win32Error(const std::string& what) {
  return Status::Error(what + " (error " + std::to_string(GetLastError()) + ")");
}

}  // namespace

Status ChildProcess::Start(const std::u16string& program, const std::vector<std::u16string>& args,
                           const ChildOptions& options, std::unique_ptr<ChildProcess>* child) {
  std::wstring line;
  AppendQuoted(W(program), &line);
  for (const auto& a : args) {
    line.push_back(L' ');
    AppendQuoted(W(a), &line);
  }
  std::wstring environment = ChildEnvironment(options);

  SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
  HANDLE out_read, out_write, err_read, err_write;
  if (!CreatePipe(&out_read, &out_write, &inherit, 0)) return Win32Error("cannot create a pipe");
  if (!CreatePipe(&err_read, &err_write, &inherit, 0)) {
    CloseHandle(out_read);
    CloseHandle(out_write);
    return Win32Error("cannot create a pipe");
  }
  SetHandleInformation(out_read, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(err_read, HANDLE_FLAG_INHERIT, 0);
  HANDLE null_in =
      CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);

  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = null_in;
  startup.hStdOutput = out_write;
  startup.hStdError = err_write;
  PROCESS_INFORMATION info = {};
  if (options.interruptible) EnsureConsole();
  DWORD flags = CREATE_UNICODE_ENVIRONMENT;
  BOOL ok = CreateProcessW(W(program).c_str(), line.data(), nullptr, nullptr, TRUE, flags, environment.data(), nullptr,
                           &startup, &info);
  Status failure = ok ? Status::Ok() : Win32Error("cannot start " + ToUtf8(program));
  CloseHandle(out_write);
  CloseHandle(err_write);
  if (null_in != INVALID_HANDLE_VALUE) CloseHandle(null_in);
  if (!ok) {
    CloseHandle(out_read);
    CloseHandle(err_read);
    return failure;
  }
  CloseHandle(info.hThread);
  *child = std::make_unique<Win32Child>(info.hProcess, out_read, err_read);
  return Status::Ok();
}

}  // namespace nusk
