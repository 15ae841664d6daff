#include "ui/first_result.h"

namespace nusk {

FirstResultSteps DecideFirstResultSteps(const FirstResultState& state) {
  FirstResultSteps s;
  s.start_pending_build = state.pending_build;
  const bool building = state.build_running || s.start_pending_build;
  if (state.database_empty && !building) {
    if (state.rebuild_required) {
      s.build_without_asking = true;
    } else {
      s.ask_build_empty = true;
    }
  }
  s.write_last_run_version = state.last_run_version != kProgramVersion;
  s.tip_wanted = state.show_tip_on_startup != 0;
  return s;
}

bool ShowTipAfter(const FirstResultSteps& steps, bool build_started) {
  return steps.tip_wanted && !build_started && !steps.start_pending_build && !steps.build_without_asking;
}

}  // namespace nusk
