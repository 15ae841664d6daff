// The window's build decisions that need no window: whether a build asked for starts,
// waits for the database, or is refused; the periodic build's interval and its tick; what
// the window shows when a build has ended; and how a window answers "the database
// changed" from another window.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace nusk {

// What becomes of a build asked for from the window.
enum class BuildRequest {
  kStart,    // start it now
  kPending,  // the database is still loading: remember the drive, start once it is loaded
  kRefused,  // another build runs: say "A build is in progress, operation canceled."
  kSkipped,  // a periodic build while another build runs: nothing is said
};

// build_running: the home folder's build lock is held anywhere, or this window's own
// build has not ended yet.
BuildRequest DecideBuildRequest(bool build_running, bool periodic, bool db_loaded);

// The periodic build's interval in whole seconds: value minutes (unit 0), hours (1) or
// days (2); 0 when auto_build is off, for any other unit, or for a value that is not a
// positive finite number.
int64_t AutoBuildIntervalSeconds(bool auto_build, double value, int64_t unit);

// The 10-second timer runs only for intervals above 5 seconds.
inline bool AutoBuildTimerRuns(int64_t interval_s) { return interval_s > 5; }

// At a tick: the time since the database's last build reached the interval. A last
// build in the future (the clock was set back) counts as due, so a wrong clock cannot
// stop periodic builds for good.
bool AutoBuildDue(int64_t now_s, int64_t last_build_s, int64_t interval_s);

// The build-finished check.
struct BuildOutcome {
  enum Kind { kFailureBox, kStatusBar, kBalloon } kind = kStatusBar;
  std::u16string title;  // the balloon's title
  std::u16string text;
};
// building_drive: `Build`/`BuildingDrive` after the build (not empty: the build stopped
// while it built that drive).
BuildOutcome BuildFinishedOutcome(std::u16string_view building_drive, bool show_built_notification,
                                  uint64_t elapsed_ms);

// A window told that the database changed (20424): the window that built reloads at
// once; another asks "Database changed, reload now?" first.
inline bool ReloadNeedsQuestion(uintptr_t sender, uintptr_t self) { return sender != self; }

// Texts of the window's builds.
std::u16string BuildInProgressText();    // "A build is in progress, operation canceled."
std::u16string BuildingStatusText();     // "Building database..."
std::u16string BuildFailedText();        // "Something wrong when building nusk"
std::u16string ReloadPromptText();       // "Database changed, reload now?"
std::u16string LoadingAfterBuildText();  // "Loading database..."

}  // namespace nusk
