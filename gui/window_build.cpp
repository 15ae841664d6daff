#include "gui/window_build.h"

#include <commctrl.h>
#include <shobjidl.h>

#include <chrono>
#include <future>

#include "gui/main_window.h"
#include "gui/resource.h"
#include "index/index_types.h"
#include "l10n/mui.h"
#include "platform/elevation.h"
#include "platform/env.h"
#include "platform/process_relay.h"
#include "platform/profile.h"
#include "platform/volume.h"
#include "platform/win32/win_text.h"
#include "scan/build_command.h"
#include "scan/exclusion.h"
#include "scan/start_build.h"
#include "scan/volume_drives.h"
#include "settings/drive_map.h"
#include "settings/process_state.h"
#include "settings/setting_keys.h"
#include "ui/build_schedule.h"
#include "util/utf.h"

namespace nusk {

namespace {

std::u16string ThisProgram() {
  wchar_t path[MAX_PATH * 2] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
  return U(path);
}

// Keeps the last relayed status line for the window's busy display.
class LastLineListener : public IStatusInfoListener {
 public:
  LastLineListener(std::mutex* mu, std::string* line) : mu_(mu), line_(line) {}
  void OnStatusInfo(std::u16string_view, std::string_view text) override {
    std::lock_guard<std::mutex> lock(*mu_);
    line_->assign(text);
  }

 private:
  std::mutex* mu_;
  std::string* line_;
};

StartBuildContext ContextFor(DriveSystem* drives, const std::u16string& program, const std::u16string& home,
                             const std::u16string& settings_path) {
  StartBuildContext context{drives, home, program};
  context.newer_system = Process().newer_system;
  ExclusionSettings exclusions;
  ReadExclusionSettings(
      Profile::Default(), settings_path, [drives](char16_t l) { return IsFixedNtfsDrive(drives, l); }, &exclusions);
  context.volume_states = exclusions.volume_states;
  return context;
}

int MessageBoxText(HWND owner, std::u16string_view text, UINT flags) {
  return MessageBoxW(owner, W(text).c_str(), L"Nusk", flags);
}

}  // namespace

// ---- BuildThread ----

BuildThread::~BuildThread() { Join(); }

void BuildThread::Start(char16_t drive, const std::u16string& program, const std::u16string& home,
                        const std::u16string& settings_path, HWND notify, UINT done_msg) {
  Join();
  finished_ = false;
  succeeded_ = false;
  elapsed_ms_ = 0;
  {
    std::lock_guard<std::mutex> lock(mu_);
    last_line_.clear();
  }
  thread_ = std::thread([this, drive, program, home, settings_path, notify, done_msg] {
    const auto start = std::chrono::steady_clock::now();
    DriveSystem drives(DriveMap::Load(settings_path), Volumes::Default(), Env::Default());
    LastLineListener listener(&mu_, &last_line_);
    const bool ok = StartBuild(&listener, drive, ContextFor(&drives, program, home, settings_path));
    elapsed_ms_ = static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
    succeeded_ = ok;
    finished_ = true;
    if (notify) PostMessageW(notify, done_msg, 0, 0);
  });
}

std::string BuildThread::last_line() const {
  std::lock_guard<std::mutex> lock(mu_);
  return last_line_;
}

void BuildThread::Join() {
  if (thread_.joinable()) thread_.join();
}

// ---- TaskbarProgress ----

TaskbarProgress::~TaskbarProgress() {
  if (list_) list_->Release();
}

bool TaskbarProgress::Busy(HWND hwnd) {
  if (!tried_) {
    tried_ = true;
    ITaskbarList3* list = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                   reinterpret_cast<void**>(&list)))) {
      if (SUCCEEDED(list->HrInit())) {
        list_ = list;
      } else {
        list->Release();
      }
    }
  }
  return list_ && SUCCEEDED(list_->SetProgressState(hwnd, TBPF_INDETERMINATE));
}

void TaskbarProgress::Clear(HWND hwnd) {
  if (list_) list_->SetProgressState(hwnd, TBPF_NOPROGRESS);
}

// ---- The build-drive menu (the build-drive command handler's entries) ----

void FillBuildDriveMenu(HMENU menu, const std::u16string& settings_path, UINT first_id) {
  if (!menu) return;
  while (GetMenuItemCount(menu) > 0) DeleteMenu(menu, 0, MF_BYPOSITION);
  DriveSystem drives(DriveMap::Load(settings_path), Volumes::Default(), Env::Default());
  ExclusionSettings exclusions;
  ReadExclusionSettings(
      Profile::Default(), settings_path, [&drives](char16_t l) { return IsFixedNtfsDrive(&drives, l); }, &exclusions);
  const std::u16string built = drives.DrivesToBuild(exclusions.volume_states);
  for (char16_t letter : drives.ListVolumes()) {
    std::u16string label = drives.DisplayName(letter);
    if (label.empty()) label = std::u16string(1, letter) + u":";
    if (built.find(letter) != std::u16string::npos) label += u"  \u2714";
    AppendMenuW(menu, MF_STRING, first_id + (letter - u'A'), W(label).c_str());
  }
  if (GetMenuItemCount(menu) == 0) {
    AppendMenuW(menu, MF_STRING | MF_GRAYED, first_id, W(Tr(u"Menu.Empty", u"(Empty)")).c_str());
  }
}

bool BuildLockHeld(const std::u16string& home) {
  return std::async(std::launch::async,
                    [home] {
                      std::unique_ptr<NamedMutex> lock = Env::Default()->CreateFolderLock(home, kBuildLockTag);
                      bool taken = false;
                      Status s = lock->TryLock(&taken);
                      lock->Unlock();
                      // A lock that cannot even be examined is treated as held: no build beside it.
                      return !s.ok() || !taken;
                    })
      .get();
}

// ---- The window's side ----

void MainWindow::StartBuildFromWindow(char16_t drive, bool periodic) {
  const bool running = building_ || BuildLockHeld(config_.home);
  switch (DecideBuildRequest(running, periodic, loaded_)) {
    case BuildRequest::kSkipped: ++builds_skipped_; return;
    case BuildRequest::kRefused: MessageBoxText(hwnd_, BuildInProgressText(), MB_OK | MB_ICONINFORMATION); return;
    case BuildRequest::kPending: pending_build_ = drive; return;
    case BuildRequest::kStart: break;
  }
  pending_build_ = -1;
  building_ = true;
  ++builds_started_;
  // The web service serves its own snapshot of the index: it keeps answering from the
  // old files during the build and takes the new ones over once they are committed.
  taskbar_shown_ = Process().newer_system && taskbar_.Busy(hwnd_);
  EnableBuildCommands(false);
  HideBuildBalloon();
  const std::u16string program = config_.program.empty() ? ThisProgram() : config_.program;
  if (options_.build_in_background) {
    foreground_build_ = false;
    status_stack_.Set(u"{PUSH}");
    SetStatus(BuildingStatusText());
    build_thread_.Start(drive, program, config_.home, config_.settings_path, hwnd_, kMsgBackgroundBuildDone);
    return;
  }
  foreground_build_ = true;
  SetStatus(BuildingStatusText());
  ReleaseDatabase();
  EnableWindow(box_.hwnd(), FALSE);
  busy_step_ = 0;
  SetTimer(hwnd_, kBuildBusyTimer, 250, nullptr);
  build_thread_.Start(drive, program, config_.home, config_.settings_path, nullptr, 0);
  RunForegroundBuild();
}

void MainWindow::RunForegroundBuild() {
  // The wait keeps the window alive: messages are dispatched until the build ends. When
  // the message loop is told to end meanwhile, the build process is ended (exit code 4).
  const bool done = PumpUntil(
      this, [this] { return build_thread_.finished(); }, INT_MAX);
  if (!done) {
    // The wait took the message loop's WM_QUIT: end the build, and the loop after it.
    EndRelayedChild(4);
    quit_requested_ = true;
    PostQuitMessage(0);
  }
  build_thread_.Join();
  KillTimer(hwnd_, kBuildBusyTimer);
  EnableWindow(box_.hwnd(), TRUE);
  OnBuildEnded(false);
}

void MainWindow::OnBuildEnded(bool background) {
  build_thread_.Join();
  if (background) status_stack_.Set(u"{POP}");
  if (quit_requested_ && !background) {
    building_ = false;
    taskbar_.Clear(hwnd_);
    EndWindow();
    return;
  }
  if (!build_thread_.succeeded()) {
    last_build_note_ = BuildFailedText();
    MessageBoxText(hwnd_, last_build_note_, MB_OK | MB_ICONWARNING);
  } else {
    const BuildOutcome outcome = BuildFinishedOutcome(GetText(settings_, SettingId::kBuildingDrive),
                                                      options_.show_built_notification, build_thread_.elapsed_ms());
    last_build_note_ = outcome.text;
    switch (outcome.kind) {
      case BuildOutcome::kFailureBox: MessageBoxText(hwnd_, outcome.text, MB_OK | MB_ICONWARNING); break;
      case BuildOutcome::kStatusBar: SetStatus(outcome.text); break;
      case BuildOutcome::kBalloon: ShowBuildBalloon(outcome.title, outcome.text); break;
    }
  }
  if (!background) SetStatus(LoadingAfterBuildText());
  EnableBuildCommands(true);
  building_ = false;
  foreground_build_ = false;
  taskbar_.Clear(hwnd_);
  // Every window of this program learns that the database changed; this one reloads at
  // once (the message names it as the sender), the others ask first. The reload happens
  // in every case, also after a failed build.
  if (NotifyMainWindows(reinterpret_cast<uintptr_t>(hwnd_)) == 0 || !IsWindow(hwnd_)) ReloadDatabase();
}

void MainWindow::OnDbChanged(WPARAM sender) {
  if (building_) return;  // this window's own build reloads when it ends
  if (ReloadNeedsQuestion(static_cast<uintptr_t>(sender), reinterpret_cast<uintptr_t>(hwnd_)) &&
      MessageBoxText(hwnd_, ReloadPromptText(), MB_OKCANCEL | MB_ICONQUESTION) != IDOK) {
    return;
  }
  ReloadDatabase();
}

void MainWindow::ReleaseDatabase() {
  loaded_ = false;
  if (source_) source_->WaitIdle();
  list_.SetView(nullptr, CellOptions());
  tree_.Clear();  // the tree's rows point into the index being released
  source_.reset();
  view_.reset();
  hashes_.reset();  // its tables belong to the index being released
  UnloadNuskDb(&db_);
}

void MainWindow::ReloadDatabase() {
  if (loader_.joinable()) return;  // a load runs: it reads the new files anyway
  ++reloads_;
  ReleaseDatabase();
  SetStatus(LoadingAfterBuildText());
  StartLoader();
}

void MainWindow::ReadAutoBuildSettings() {
  options_.auto_build = GetFlag(settings_, SettingId::kAutoBuild);
  auto_build_interval_ = AutoBuildIntervalSeconds(options_.auto_build, GetReal(settings_, SettingId::kBuildEveryValue),
                                                  GetInteger(settings_, SettingId::kBuildEveryUnit));
  if (AutoBuildTimerRuns(auto_build_interval_)) {
    SetTimer(hwnd_, kAutoBuildTimer, static_cast<UINT>(config_.auto_build_tick_ms), nullptr);
  } else {
    KillTimer(hwnd_, kAutoBuildTimer);
  }
}

void MainWindow::OnAutoBuildTick() {
  if (!loaded_ || building_ || !AutoBuildTimerRuns(auto_build_interval_)) return;
  FILETIME ft;
  GetSystemTimeAsFileTime(&ft);
  const uint64_t now = (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  if (!AutoBuildDue(CompactTimeFromFileTime(now), db_.last_full_build(), auto_build_interval_)) return;
  StartBuildFromWindow(0, true);
}

void MainWindow::EnableBuildCommands(bool enable) {
  toolbar_.Enable(IDM_DATABASE_BUILD_ALL, enable);
  toolbar_.Enable(IDM_DATABASE_BUILD_MENU, enable);
  HMENU menu = GetMenu(hwnd_);
  if (!menu) return;
  const UINT state = MF_BYCOMMAND | (enable ? MF_ENABLED : MF_GRAYED);
  EnableMenuItem(menu, IDM_DATABASE_BUILD_ALL, state);
  // The third top-level menu holds the build commands.
  EnableMenuItem(menu, 2, MF_BYPOSITION | (enable ? MF_ENABLED : MF_GRAYED));
  DrawMenuBar(hwnd_);
}

void MainWindow::ShowBuildBalloon(const std::u16string& title, const std::u16string& text) {
  HideBuildBalloon();
  balloon_ =
      CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_BALLOON | TTS_NOPREFIX, CW_USEDEFAULT,
                      CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!balloon_) {
    SetStatus(text);
    return;
  }
  std::wstring body = W(text), head = W(title);
  TOOLINFOW ti{};
  ti.cbSize = sizeof(ti);
  ti.uFlags = TTF_TRACK | TTF_ABSOLUTE | TTF_IDISHWND;
  ti.hwnd = hwnd_;
  ti.uId = reinterpret_cast<UINT_PTR>(hwnd_);
  ti.lpszText = body.data();
  SendMessageW(balloon_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
  SendMessageW(balloon_, TTM_SETTITLEW, TTI_INFO, reinterpret_cast<LPARAM>(head.c_str()));
  // 114 pixels right of and 16 below the search box's corner; off the screen, the
  // window's own corner with the same offsets.
  RECT box;
  GetWindowRect(box_.hwnd(), &box);
  POINT at = {box.left + 114, box.top + 16};
  const int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
  if (at.x < 0 || at.y < 0 || at.x > sw - 80 || at.y > sh - 80) {
    RECT wr;
    GetWindowRect(hwnd_, &wr);
    at = {wr.left + 114, wr.top + 16};
  }
  SendMessageW(balloon_, TTM_TRACKPOSITION, 0, MAKELPARAM(at.x, at.y));
  SendMessageW(balloon_, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&ti));
}

void MainWindow::HideBuildBalloon() {
  if (!balloon_) return;
  DestroyWindow(balloon_);
  balloon_ = nullptr;
}

}  // namespace nusk
