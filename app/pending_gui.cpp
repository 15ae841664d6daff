// Placeholder until the gui sub-command lands; delete this file when it does.
#include <cstdio>

#include "app/subcommands.h"

namespace nusk {

int RunGui(const Args&) {
  std::fprintf(stderr, "nusk: the gui sub-command is not available in this build\n");
  return 2;
}

}  // namespace nusk
