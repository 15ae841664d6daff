#include "gui/instance.h"

#include "app/console_clean.h"
#include "l10n/mui.h"
#include "l10n/ui_keys.h"
#include "platform/env.h"
#include "platform/win32/win_text.h"
#include "scan/build_command.h"
#include "settings/setting_keys.h"
#include "ui/window_life.h"

namespace nusk {

namespace {

HANDLE g_instance_mutex = nullptr;

bool NamedMutexExists(const wchar_t* name) {
  HANDLE h = OpenMutexW(SYNCHRONIZE, FALSE, name);
  if (h) {
    CloseHandle(h);
    return true;
  }
  return GetLastError() == ERROR_ACCESS_DENIED;
}

}  // namespace

bool BuildInProgress(const std::u16string& home) {
  if (NamedMutexExists(L"Global\\NUSK_BUILD")) return true;
  // The build holds its lock for the whole build; taking it for a moment tells whether
  // one runs. A lock that cannot even be asked counts as held.
  std::unique_ptr<NamedMutex> lock = Env::Default()->CreateFolderLock(home, kBuildLockTag);
  bool taken = false;
  if (!lock->TryLock(&taken).ok()) return true;
  if (taken) lock->Unlock();
  return !taken;
}

bool TakeInstanceMutex(const std::u16string& home) {
  CloseInstanceMutex();
  SetLastError(0);
  g_instance_mutex = CreateMutexW(nullptr, FALSE, W(InstanceMutexName(home)).c_str());
  const DWORD error = GetLastError();
  return !g_instance_mutex || error == ERROR_ALREADY_EXISTS || error == ERROR_ACCESS_DENIED;
}

void CloseInstanceMutex() {
  if (g_instance_mutex) CloseHandle(g_instance_mutex);
  g_instance_mutex = nullptr;
}

std::optional<int> RunInstanceSteps(std::span<const std::u16string> search_args, const SettingsFile& settings,
                                    const std::u16string& home, bool* other_instance) {
  // Step 1 (the language is not chosen yet: English).
  if (BuildInProgress(home)) {
    MessageBoxW(nullptr, L"Nusk build in progress, please run GUI few seconds later.", L"Nusk",
                MB_OK | MB_ICONINFORMATION);
    return 0;
  }
  // Step 2.
  *other_instance = TakeInstanceMutex(home);
  if (!*other_instance || GetFlag(settings, SettingId::kMultiInstance)) return std::nullopt;
  HWND running = FindWindowW(L"Nusk_Main_Window", nullptr);
  if (!running) return 0;
  // Held until this process ends: the running window takes its activation as the hand-over.
  CreateMutexW(nullptr, FALSE, kInstanceActivateMutex);
  const HandOver message = HandOverMessage(search_args);
  SetText(settings, SettingId::kMessageFindStr, message.find_str);
  if (message.find_text.empty()) {
    settings.DeleteKey(u"Message", kFindTextKey);
  } else {
    settings.WriteText(u"Message", kFindTextKey, message.find_text);
  }
  DWORD_PTR answer = 0;
  SendMessageTimeoutW(running, kMsgHandOver, 0, 0, SMTO_ABORTIFHUNG, 10000, &answer);
  ShowWindow(running, SW_SHOW);
  SetForegroundWindow(running);
  if (IsIconic(running)) ShowWindow(running, SW_RESTORE);
  return 0;
}

bool CleanAfterAbnormalEndStep(const SettingsFile& settings, bool other_instance) {
  if (!AskCleanAfterAbnormalEnd(other_instance, GetInteger(settings, SettingId::kLastUIStartTime),
                                GetInteger(settings, SettingId::kLastUIEndTime))) {
    return true;
  }
  const std::u16string text = Tr(u"MSG.CLEAN_AFTER_CRASH_PROMPT", EnglishMessage(u"MSG.CLEAN_AFTER_CRASH_PROMPT"));
  switch (MessageBoxW(nullptr, W(text).c_str(), L"Nusk", MB_YESNOCANCEL | MB_ICONWARNING)) {
    case IDYES: {
      CleanIo io = CleanIo::Process();
      io.notify_windows = false;  // no window of this folder runs
      if (!CleanWholeDatabase(io)) {
        MessageBoxW(nullptr, W(Tr(u"MSG.CLEAN_FAILED", EnglishMessage(u"MSG.CLEAN_FAILED"))).c_str(), L"Nusk",
                    MB_OK | MB_ICONWARNING);
      }
      return true;
    }
    case IDNO: return true;
    default: return false;
  }
}

bool PathExists(std::u16string_view path) {
  return !path.empty() && GetFileAttributesW(W(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

int64_t NowFileTime() {
  FILETIME ft;
  GetSystemTimeAsFileTime(&ft);
  return (static_cast<int64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

bool HandOverActivationPending() { return NamedMutexExists(kInstanceActivateMutex); }

std::u16string ProgramFolder() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring p = path;
  const size_t slash = p.find_last_of(L"\\/");
  return U(slash == std::wstring::npos ? L"" : p.substr(0, slash + 1));
}

bool StartAgain() {
  std::wstring command = GetCommandLineW();
  STARTUPINFOW si = {};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return true;
}

}  // namespace nusk
