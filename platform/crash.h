// The crash handler: when the process dies of a fault (Windows: an unhandled exception;
// POSIX: SIGSEGV, SIGBUS, SIGILL, SIGFPE or SIGABRT) it appends a report to a log file
// and, on Windows, writes a minidump, then lets the fault end the process as it would
// have without the handler (Windows: the exception goes on to the system; POSIX: the
// signal is raised again with its default action).
//
// Unattended runs (test children, CI) set the environment variable NUSK_CRASH_NO_DEBUGGER:
// Windows then ends the process right after the report instead of handing the fault to
// the system, whose debugger or error-reporting prompt would otherwise hold it open.
//
// The report is the prepared text given at installation (it may not be computed while
// the process is crashing) followed by the system and memory figures asked at crash time.
// POSIX writes no dump (the system's core dump settings cover that); its handler uses only
// async-signal-safe calls and runs on its own stack, so it also reports a stack overflow.
#pragma once
#include <string>
#include <string_view>

namespace nusk {

struct CrashReportSetup {
  std::u16string log_path;     // report appended here (created when missing)
  std::u16string dump_folder;  // Windows: "<dump_stem>.mini.dmp" (or "<dump_stem>.max.dmp"
                               // when the folder holds "_MAX_DMP") is written here
  std::u16string dump_stem = u"nusk.build";
  std::string prepared;  // report lines known before the crash, each ending in '\n'
};

// Lines that follow the prepared ones and change while the process runs (the window's
// last search). One thread sets them; a crash meanwhile reports the old or the new text,
// never a mix. At most 2,047 bytes are kept (cut at a character); each call replaces the
// earlier text.
void SetCrashReportTail(std::string_view lines);
// The current tail (empty until set); safe to read while crashing.
std::string_view CrashReportTail();

// Installs (or replaces the setup of) the process-wide handler. Call from the main thread
// before the work it guards; the handler may then run on any thread. False when the
// system refuses it (nothing is installed then).
bool InstallCrashHandler(const CrashReportSetup& setup);

// Lines of the sections "-- os info --" and "-- processor info --" for this system, each
// ending in '\n'. Called when the handler is installed, not while crashing.
std::string DescribeSystemForCrash();

}  // namespace nusk
