// What the main window does once, after the first search result has arrived: start a build
// asked for while the database was loading, offer to build an empty database (or build it
// without asking when start-up cleaned an incompatible one), record the version that ran,
// and show the tip of the day unless a build started.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "util/version.h"

namespace nusk {

// The version this program writes to `LastRunVersion`.
inline constexpr char16_t kProgramVersion[] = u"" NUSK_VERSION;

struct FirstResultState {
  bool pending_build = false;     // a build was asked for before the database was loaded
  bool database_empty = false;    // the loaded database holds no item
  bool build_running = false;     // a build runs, here or in another process
  bool rebuild_required = false;  // start-up cleaned an incompatible database
  std::u16string last_run_version;
  int64_t show_tip_on_startup = 1;  // `ShowTipOnStartup`
};

struct FirstResultSteps {
  bool start_pending_build = false;
  bool build_without_asking = false;  // the empty database after a required rebuild
  bool ask_build_empty = false;       // "Database is empty, do you want to build it now?"
  bool write_last_run_version = false;
  bool tip_wanted = false;  // shown only when no build was started (ShowTipAfter)
};

FirstResultSteps DecideFirstResultSteps(const FirstResultState& state);

// Whether the tip of the day appears, after the steps above ran and a build did or did
// not start.
bool ShowTipAfter(const FirstResultSteps& steps, bool build_started);

}  // namespace nusk
