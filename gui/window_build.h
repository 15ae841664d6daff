// Builds started from the main window: the build thread that runs the delegated build
// (StartBuild: a child build, a build service or the elevated build server), the taskbar
// button's progress, the build-drive menu and the window messages of a build.
//
// The MainWindow members that start, wait for and finish a build live in
// gui/window_build.cpp; the decisions they follow come from ui/build_schedule.h.
#pragma once
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

struct ITaskbarList3;

namespace nusk {

inline constexpr UINT kMsgDbChanged = 20424;            // a build or clean wrote the database
inline constexpr UINT kMsgBackgroundBuildDone = 20446;  // the background build thread ended
inline constexpr UINT_PTR kAutoBuildTimer = 5;
inline constexpr UINT_PTR kBuildBusyTimer = 6;  // the busy display of a foreground build

// The build of one request on its own thread.
class BuildThread {
 public:
  BuildThread() = default;
  ~BuildThread();
  BuildThread(const BuildThread&) = delete;
  BuildThread& operator=(const BuildThread&) = delete;

  // Runs StartBuild for drive (0: all drives) with the home folder's settings; posts
  // done_msg to notify when it ends (no message when notify is null).
  void Start(char16_t drive, const std::u16string& program, const std::u16string& home,
             const std::u16string& settings_path, HWND notify, UINT done_msg);
  bool running() const { return thread_.joinable(); }
  bool finished() const { return finished_; }
  // After finished(): whether the build ran and said so, and how long it took.
  bool succeeded() const { return succeeded_; }
  uint64_t elapsed_ms() const { return elapsed_ms_; }
  // The last status line the build relayed.
  std::string last_line() const;
  void Join();

 private:
  std::thread thread_;
  std::atomic<bool> finished_{false};
  std::atomic<bool> succeeded_{false};
  std::atomic<uint64_t> elapsed_ms_{0};
  mutable std::mutex mu_;
  std::string last_line_;
};

// The taskbar button's progress through ITaskbarList3, where the system has it.
class TaskbarProgress {
 public:
  ~TaskbarProgress();
  // Indeterminate progress on the window's button; false when the interface is missing.
  bool Busy(HWND hwnd);
  void Clear(HWND hwnd);

 private:
  ::ITaskbarList3* list_ = nullptr;
  bool tried_ = false;
};

// Fills the build-drive menu: one entry per drive shown (ListVolumes) labelled with the
// drive's display name, "  ✔" after the drives an all-drives build covers. Command
// first_id + (letter - 'A').
void FillBuildDriveMenu(HMENU menu, const std::u16string& settings_path, UINT first_id);

// True when the home folder's build lock is held by anyone else: asked from a thread of
// its own, since the lock is re-entrant for the thread that holds it.
bool BuildLockHeld(const std::u16string& home);

}  // namespace nusk
