// The build's crash report: when a build process dies of a fault, the build log gets
// "--------------- build crashed ---------------" and what helps to explain it (version,
// home folder, drives, system, memory), and on Windows a minidump goes beside it.
#pragma once
#include <string>

namespace nusk {

class DriveSystem;

// The report lines known before a crash: the banner, "-- nusk info --", "-- drive info
// --" with one line per listed drive ("C: type: 3, fs: NTFS, free: 1, total: 2"; the file
// system "(N/A)" when it cannot be read), then the system's os and processor sections.
std::string CrashReportPrelude(const std::u16string& home, DriveSystem* drives);

// Installs the process's crash handler for a build in home (log and dumps go there).
// Asks every drive once, so call it before the build starts. False when the handler
// could not be installed (the build goes on without it).
bool InstallBuildCrashReport(const std::u16string& home, DriveSystem* drives);

}  // namespace nusk
