// Placeholder until the clean sub-command lands; delete this file when it does.
#include <cstdio>

#include "app/subcommands.h"

namespace nusk {

int RunClean(const Args&) {
  std::fprintf(stderr, "nusk: the clean sub-command is not available in this build\n");
  return 2;
}

}  // namespace nusk
