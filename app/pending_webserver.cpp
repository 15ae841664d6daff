// Placeholder until the webserver sub-command lands; delete this file when it does.
#include <cstdio>

#include "app/subcommands.h"

namespace nusk {

int RunWebServer(const Args&) {
  std::fprintf(stderr, "nusk: the webserver sub-command is not available in this build\n");
  return 2;
}

}  // namespace nusk
