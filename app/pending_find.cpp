// Placeholder until the find sub-command lands; delete this file when it does.
#include <cstdio>

#include "app/subcommands.h"

namespace nusk {

int RunFind(const Args&) {
  std::fprintf(stderr, "nusk: the find sub-command is not available in this build\n");
  return 2;
}

}  // namespace nusk
