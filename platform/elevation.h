// Administrator rights, the elevated start of a build server, and telling the open main
// windows that a build wrote the index.
//
// POSIX has no elevation prompt: every process counts as allowed to build (a folder it
// cannot read is indexed without children) and StartElevated is never needed.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "util/status.h"

namespace nusk {

// Windows: the process token is a member of the built-in Administrators group
// (CheckTokenMembership). POSIX: true.
bool IsProcessAdmin();

// A process started by StartElevated.
class ElevatedProcess {
 public:
  virtual ~ElevatedProcess() = default;
  // Waits up to timeout_ms; true when it ended.
  virtual bool Wait(uint32_t timeout_ms) = 0;
  // Ends it with the exit code.
  virtual void Terminate(int exit_code) = 0;
};

// Starts program with the verb "runas" (the elevation prompt), the given parameter text
// and a hidden window. Fails when the user declines or the start fails. POSIX: fails.
Status StartElevated(const std::u16string& program, const std::u16string& parameters,
                     std::unique_ptr<ElevatedProcess>* process);

// Posts message 0x4FC8 (wParam, lParam 0) to every top-level window of class
// "Nusk_Main_Window" owned by this process or by a process whose executable path equals
// this program's, compared without case. No effect on POSIX. Returns the windows told.
int NotifyMainWindows(uintptr_t wparam);

}  // namespace nusk
