#include <windows.h>
#include <shellapi.h>

#include "platform/elevation.h"
#include "platform/win32/win_text.h"

namespace nusk {

namespace {

class Win32ElevatedProcess : public ElevatedProcess {
 public:
  explicit Win32ElevatedProcess(HANDLE h) : h_(h) {}
  ~Win32ElevatedProcess() override { CloseHandle(h_); }
  bool Wait(uint32_t timeout_ms) override { return WaitForSingleObject(h_, timeout_ms) == WAIT_OBJECT_0; }
  void Terminate(int exit_code) override { TerminateProcess(h_, static_cast<UINT>(exit_code)); }

 private:
  HANDLE h_;
};

std::wstring ProcessImagePath(DWORD pid) {
  HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  if (!h) return std::wstring();
  wchar_t path[MAX_PATH * 2] = {0};
  DWORD n = MAX_PATH * 2;
  if (!QueryFullProcessImageNameW(h, 0, path, &n)) n = 0;
  CloseHandle(h);
  return std::wstring(path, n);
}

}  // namespace

bool IsProcessAdmin() {
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID admins = nullptr;
  if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                &admins)) {
    return false;
  }
  BOOL member = FALSE;
  if (!CheckTokenMembership(nullptr, admins, &member)) member = FALSE;
  FreeSid(admins);
  return member != FALSE;
}

Status StartElevated(const std::u16string& program, const std::u16string& parameters,
                     std::unique_ptr<ElevatedProcess>* process) {
  std::wstring file = W(program), params = W(parameters);
  SHELLEXECUTEINFOW sei;
  ZeroMemory(&sei, sizeof(sei));
  sei.cbSize = sizeof(sei);
  sei.fMask = SEE_MASK_NOCLOSEPROCESS;
  sei.lpVerb = L"runas";
  sei.lpFile = file.c_str();
  sei.lpParameters = params.c_str();
  sei.nShow = SW_HIDE;
  if (!ShellExecuteExW(&sei) || !sei.hProcess) {
    return Status::Error("elevated start failed (error " + std::to_string(GetLastError()) + ")");
  }
  process->reset(new Win32ElevatedProcess(sei.hProcess));
  return Status::Ok();
}

int NotifyMainWindows(uintptr_t wparam) {
  wchar_t self[MAX_PATH * 2] = {0};
  GetModuleFileNameW(nullptr, self, MAX_PATH * 2);
  DWORD self_pid = GetCurrentProcessId();
  int told = 0;
  HWND w = nullptr;
  while ((w = FindWindowExW(nullptr, w, L"Nusk_Main_Window", nullptr)) != nullptr) {
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid != self_pid && lstrcmpiW(ProcessImagePath(pid).c_str(), self) != 0) continue;
    if (PostMessageW(w, 0x4FC8, static_cast<WPARAM>(wparam), 0)) ++told;
  }
  return told;
}

}  // namespace nusk
