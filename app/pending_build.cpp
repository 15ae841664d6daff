// Placeholder until the build sub-command lands; delete this file when it does.
#include <cstdio>

#include "app/subcommands.h"

namespace nusk {

int RunBuild(const Args&) {
  std::fprintf(stderr, "nusk: the build sub-command is not available in this build\n");
  return 2;
}

}  // namespace nusk
