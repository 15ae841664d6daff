// A child process whose output is relayed while it runs: the build started on behalf of
// a window or an unprivileged console, whose status lines must reach the asker at once.
//
// Standard output and standard error of the child share one pipe; standard input is an
// empty pipe; on Windows the child gets no console window. While the child runs it is
// kept in a process-wide slot so another thread can end it (EndRelayedChild).
#pragma once
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "util/status.h"

namespace nusk {

// Starts program with args (argument 0, the program, is added; Windows quotes each
// argument so CommandLineToArgvW gives it back, doubling backslashes before a closing
// quote) and calls on_output with every piece of at most 511 bytes as it arrives, on the
// calling thread, until the child closes its output. Then waits for the child and sets
// *exit_code. Fails only when the child cannot be started.
Status RunRelayedChild(const std::u16string& program, const std::vector<std::u16string>& args,
                       const std::function<void(std::string_view)>& on_output, int* exit_code);

// Ends the child of a running RunRelayedChild, or the published build process, with the
// given exit code (Windows) or SIGTERM (POSIX). False when none runs. Any thread.
bool EndRelayedChild(int exit_code);

class ElevatedProcess;
// Publishes a build process started another way (the elevated build server) while its
// status is relayed; null clears the slot. The caller keeps the object alive until it
// clears the slot. EndRelayedChild ends the published process first.
void PublishBuildProcess(ElevatedProcess* process);
// Ends the published process; false when none is published.
bool EndPublishedBuildProcess(int exit_code);

}  // namespace nusk
