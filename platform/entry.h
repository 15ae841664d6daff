// The console program's entry point, so that app/main.cpp stays free of system
// conditionals: Windows uses wmain (the executable is linked with -municode), POSIX main.
// Both hand the split command line (process_info.h) to run and return its exit status.
//
// The windowed entry point (wWinMain, subsystem "windows") belongs to the window code;
// it splits the command line the same way and always ends the process with exit code 0.
#pragma once
#include "platform/process_info.h"

#ifdef _WIN32
#define NUSK_CONSOLE_MAIN(run) \
  int wmain(int, wchar_t**) { return run(::nusk::CommandLineArguments(0, nullptr)); }
#else
#define NUSK_CONSOLE_MAIN(run) \
  int main(int argc, char** argv) { return run(::nusk::CommandLineArguments(argc, argv)); }
#endif
