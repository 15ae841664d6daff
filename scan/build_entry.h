// The build's view of the running process: its settings, drives, home folder and cancel
// flag, as start-up left them in Process().
#pragma once
#include <string>
#include <vector>

#include "scan/build_command.h"

namespace nusk {

// Filled from Process(), Env::Default(), Profile::Default() and the drive map of the
// settings file. The drive system lives until the process ends.
BuildEnvironment DefaultBuildEnvironment();

// The `build` sub-command (args: program, "build", options...). Returns the exit status.
int RunBuildCommand(const std::vector<std::u16string>& args);

// The `build_server` sub-command (build_server.cpp).
int ServeBuild(const std::vector<std::u16string>& args);

}  // namespace nusk
