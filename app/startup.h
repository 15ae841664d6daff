// Program start-up and sub-command dispatch.
#pragma once
#include <cstdio>
#include <functional>

#include "app/subcommands.h"

namespace nusk {

// The sub-command entry points the dispatcher calls; tests substitute stand-ins.
struct SubcommandTable {
  std::function<int(const Args&)> build, build_server, find, clean, web, gui;
};

// The real entry points of app/subcommands.h.
const SubcommandTable& DefaultSubcommands();

// Exit status of a command line that could not be used (unknown sub-command or option,
// "--dbdir" without a folder, unusable home folder).
constexpr int kUsageError = 2;

// Runs the sub-command named by args[1] (exact, case-sensitive): "clean", "build",
// "find", "test" (does nothing), "gui", "build_server", "web"/"webserver"; "-v" or
// "--version" as the last argument prints the version; "-h" prints the usage. Any other
// word beginning with '-' (also "-v" with more arguments) and any other word print the
// usage and a reason on err and give kUsageError. Otherwise the sub-command's status.
// Afterwards FinishSubcommand() runs (interrupt.h). Main thread.
int Dispatch(const Args& args, const SubcommandTable& table, std::FILE* out, std::FILE* err);

// The whole program: splits off "--dbdir", installs the interrupt handler, settles the
// home folder and settings path in Process(), then dispatches. No arguments (or only
// "--dbdir folder") mean "gui". Returns the process exit status: the sub-command's, or 1
// when the interrupt handler cannot be installed, or kUsageError for an unusable command
// line or home folder (with the reason on standard error).
int RunProgram(Args args);

}  // namespace nusk
