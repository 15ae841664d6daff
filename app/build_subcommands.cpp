// The build and build_server sub-commands live in scan/; these are their entry points.
#include "app/subcommands.h"
#include "scan/build_entry.h"

namespace nusk {

int RunBuild(const Args& args) { return RunBuildCommand(args); }

int RunBuildServer(const Args& args) { return ServeBuild(args); }

}  // namespace nusk
