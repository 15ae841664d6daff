#include "ui/build_schedule.h"

#include <cmath>
#include <string>

#include "l10n/mui.h"
#include "ui/status_text.h"

namespace nusk {

BuildRequest DecideBuildRequest(bool build_running, bool periodic, bool db_loaded) {
  if (build_running) return periodic ? BuildRequest::kSkipped : BuildRequest::kRefused;
  if (!db_loaded) return BuildRequest::kPending;
  return BuildRequest::kStart;
}

int64_t AutoBuildIntervalSeconds(bool auto_build, double value, int64_t unit) {
  if (!auto_build || !std::isfinite(value) || value <= 0) return 0;
  double seconds_per_unit = 0;
  switch (unit) {
    case 0: seconds_per_unit = 60; break;
    case 1: seconds_per_unit = 3600; break;
    case 2: seconds_per_unit = 86400; break;
    default: return 0;
  }
  const double seconds = value * seconds_per_unit;
  // A value too large for any clock means "never" rather than an overflowed interval.
  if (seconds >= 9.0e15) return 0;
  return static_cast<int64_t>(seconds);
}

bool AutoBuildDue(int64_t now_s, int64_t last_build_s, int64_t interval_s) {
  if (interval_s <= 0) return false;
  if (last_build_s > now_s) return true;
  return now_s - last_build_s >= interval_s;
}

BuildOutcome BuildFinishedOutcome(std::u16string_view building_drive, bool show_built_notification,
                                  uint64_t elapsed_ms) {
  BuildOutcome out;
  std::u16string ms;
  for (char c : std::to_string(elapsed_ms)) ms += char16_t(c);
  if (!building_drive.empty()) {
    out.kind = BuildOutcome::kFailureBox;
    out.text = FillPlaceholders(Tr(u"MSG.BUILD_FAILURE_DETECTED",
                                   u"The build process seems to have stopped "
                                   u"unexpectedly.\nYou might need to exclude the "
                                   u"failed drive %s in the options dialog, then "
                                   u"perform a build again."),
                                {building_drive});
    return out;
  }
  out.kind = show_built_notification ? BuildOutcome::kBalloon : BuildOutcome::kStatusBar;
  out.text = FillPlaceholders(Tr(u"MSG.BUILD_TIME", u"Build time: %d ms"), {ms});
  if (show_built_notification) out.title = Tr(u"MSG.DATABASE_BUILT_SUCCESSFULLY", u"Database built successfully");
  return out;
}

std::u16string BuildInProgressText() {
  return Tr(u"MSG.BUILD_IN_PROGRESS", u"A build is in progress, operation canceled.");
}
std::u16string BuildingStatusText() { return Tr(u"MSG.BUILDING_DATABASE", u"Building database..."); }
std::u16string BuildFailedText() { return Tr(u"MSG.BUILD_FAILED", u"Something wrong when building nusk"); }
std::u16string ReloadPromptText() { return Tr(u"MSG.RELOAD_DB_PROMPT", u"Database changed, reload now?"); }
std::u16string LoadingAfterBuildText() { return Tr(u"MSG.LOADING_DATABASE", u"Loading database..."); }

}  // namespace nusk
