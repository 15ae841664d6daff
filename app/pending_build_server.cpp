// Placeholder until the build_server sub-command lands; delete this file when it does.
#include <cstdio>

#include "app/subcommands.h"

namespace nusk {

int RunBuildServer(const Args&) {
  std::fprintf(stderr, "nusk: the build_server sub-command is not available in this build\n");
  return 2;
}

}  // namespace nusk
