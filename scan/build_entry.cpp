#include "scan/build_entry.h"

#include <memory>

#include "platform/env.h"
#include "platform/profile.h"
#include "settings/drive_map.h"
#include "settings/process_state.h"

namespace nusk {

BuildEnvironment DefaultBuildEnvironment() {
  static std::unique_ptr<DriveSystem> drives;
  ProcessState& process = Process();
  Env* env = Env::Default();
  drives = std::make_unique<DriveSystem>(DriveMap::Load(process.settings_path), Volumes::Default(), env);
  BuildEnvironment e;
  e.env = env;
  e.profile = Profile::Default();
  e.drives = drives.get();
  e.home = process.home_folder;
  e.settings_path = process.settings_path;
  e.program = env->ExecutablePath();
  e.cancel = &process.cancel_requested;
  return e;
}

int RunBuildCommand(const std::vector<std::u16string>& args) {
  CBuildCommand command(DefaultBuildEnvironment());
  return command.Run(args);
}

}  // namespace nusk
