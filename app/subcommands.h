// Entry points of the sub-commands, called by the dispatcher (app/startup.cpp).
// args[0] is the program path and args[1] the sub-command word; "--dbdir" and its value
// have already been taken out. Each returns the process exit status: 0 on success,
// non-zero (with the reason on standard error or the status output) on failure.
// The home folder and settings path are in Process() (settings/process_state.h).
#pragma once
#include <string>
#include <vector>

namespace nusk {

using Args = std::vector<std::u16string>;

int RunBuild(const Args& args);        // scan/: build the index (build sub-command)
int RunBuildServer(const Args& args);  // scan/: elevated one-shot build server
int RunFind(const Args& args);         // app/: console search
int RunClean(const Args& args);        // app/: empty the database or forget one drive
int RunWebServer(const Args& args);    // web/: HTTP search service ("web", "webserver")
int RunGui(const Args& args);          // gui/: the windowed application

}  // namespace nusk
