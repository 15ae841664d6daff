// The gui sub-command where there is no window (POSIX builds): say so and fail. The
// Windows build takes RunGui from gui/ instead of this file.
#include <cstdio>

#include "app/subcommands.h"

namespace nusk {

int RunGui(const Args&) {
  std::fprintf(stderr, "nusk: the gui sub-command is not available in this build\n");
  return 2;
}

}  // namespace nusk
