// The web/webserver sub-command lives in web/; this is its entry point.
#include "app/subcommands.h"
#include "web/web_command.h"

namespace nusk {

int RunWebServer(const Args& args) { return RunWebCommand(args); }

}  // namespace nusk
