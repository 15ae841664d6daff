#include <windows.h>

#include <atomic>
#include <cstdio>

#include "platform/win32/pipe_drain.h"
#include "platform/process_relay.h"
#include "platform/win32/win_text.h"

namespace nusk {

namespace {

std::atomic<HANDLE> g_running_child{nullptr};

// Quotes one argument so that CommandLineToArgvW returns it unchanged.
void AppendQuoted(std::wstring* line, const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) {
    *line += arg;
    return;
  }
  line->push_back(L'"');
  size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    if (c == L'"') backslashes = backslashes * 2 + 1;
    line->append(backslashes, L'\\');
    backslashes = 0;
    line->push_back(c);
  }
  line->append(backslashes * 2, L'\\');
  line->push_back(L'"');
}

}  // namespace

Status RunRelayedChild(const std::u16string& program, const std::vector<std::u16string>& args,
                       const std::function<void(std::string_view)>& on_output, int* exit_code) {
  std::wstring line = L"\"" + W(program) + L"\"";
  for (const std::u16string& a : args) {
    line.push_back(L' ');
    AppendQuoted(&line, W(a));
  }
  SECURITY_ATTRIBUTES sa{sizeof(sa), nullptr, TRUE};
  HANDLE out_rd = nullptr, out_wr = nullptr, in_rd = nullptr, in_wr = nullptr;
  if (!CreatePipe(&out_rd, &out_wr, &sa, 0)) std::printf("StdoutRd CreatePipe\n");
  if (!SetHandleInformation(out_rd, HANDLE_FLAG_INHERIT, 0)) std::printf("Stdout SetHandleInformation\n");
  if (!CreatePipe(&in_rd, &in_wr, &sa, 0)) std::printf("Stdin CreatePipe\n");
  if (!SetHandleInformation(in_wr, HANDLE_FLAG_INHERIT, 0)) std::printf("Stdin SetHandleInformation\n");

  STARTUPINFOW si;
  ZeroMemory(&si, sizeof(si));
  si.cb = sizeof(si);
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = out_wr;
  si.hStdError = out_wr;
  si.hStdInput = in_rd;
  PROCESS_INFORMATION pi;
  ZeroMemory(&pi, sizeof(pi));
  BOOL started =
      CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi);
  DWORD start_err = GetLastError();
  if (out_wr) CloseHandle(out_wr);
  if (in_rd) CloseHandle(in_rd);
  if (!started) {
    if (out_rd) CloseHandle(out_rd);
    if (in_wr) CloseHandle(in_wr);
    return Status::Error("Failed to create build process (error " + std::to_string(start_err) + ")");
  }
  CloseHandle(pi.hThread);
  g_running_child = pi.hProcess;
  // Read until the child has ended and its output is drained. End of file alone is not
  // enough: a process the child started may keep an inherited copy of the pipe open.
  DrainPipe(
      out_rd, 511, [&pi] { return WaitForSingleObject(pi.hProcess, 20) == WAIT_OBJECT_0; }, on_output);
  CloseHandle(out_rd);
  if (in_wr) CloseHandle(in_wr);
  WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  g_running_child = nullptr;
  CloseHandle(pi.hProcess);
  *exit_code = static_cast<int>(code);
  return Status::Ok();
}

bool EndRelayedChild(int exit_code) {
  if (EndPublishedBuildProcess(exit_code)) return true;
  HANDLE h = g_running_child.load();
  return h != nullptr && TerminateProcess(h, static_cast<UINT>(exit_code));
}

}  // namespace nusk
