// Running a build somewhere else and relaying its status lines: a child build with the
// same rights (network and optical drives, or when this process may build itself), one
// of the two build services on their pipes, or an elevated one-shot build server.
// On POSIX every process may build, so StartBuild always runs a child build.
//
// Every way ends with the `build` sub-command running with the same home folder; the
// asking side only relays text to an IStatusInfoListener. StartBuild blocks its caller
// for the whole build (the window calls it on a worker thread).
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "scan/status_output.h"
#include "scan/volume_state.h"

namespace nusk {

class DriveSystem;
class ElevatedProcess;
class MessagePipe;
class Status;

inline constexpr char16_t kBuildServerPipe[] = u"\\\\.\\pipe\\nusk_server";
inline constexpr char16_t kSudoServicePipe[] = u"\\\\.\\pipe\\sudo";
inline constexpr char16_t kEarlierServicePipe[] = u"\\\\.\\pipe\\Nusk_Service_3.5.1";

struct StartBuildContext {
  DriveSystem* drives = nullptr;
  std::u16string home;     // the home folder the build must use
  std::u16string program;  // this executable
  // The drives' volume states (Options/VolumeStates as the build reads them) and whether
  // the system is Windows 6.0 or later: the earlier build service builds no network
  // drives, so they are built beside it, on such systems, when one is selected.
  VolumeStates volume_states{};
  bool newer_system = true;
  // Whether this process may build itself; empty: IsProcessAdmin.
  std::function<bool()> is_admin{};
  // Starts the elevated build server (program, parameters); empty: StartElevated.
  std::function<Status(const std::u16string&, const std::u16string&, std::unique_ptr<ElevatedProcess>*)>
      start_elevated{};
};

// "\"<program>\" build --dbdir \"<home>\" --delegate[ <letter>]", a trailing backslash of
// home doubled so that it does not escape the closing quote.
std::u16string MakeBuildCommandLine(const std::u16string& program, const std::u16string& home, char16_t drive);
// The same without the program, starting with "build_server" (the elevated parameters).
std::u16string MakeBuildServerParameters(const std::u16string& home, char16_t drive);
// The child's arguments after the program: build --dbdir <home> --delegate [<letter>].
std::vector<std::u16string> BuildChildArgs(const std::u16string& home, char16_t drive);

// Hands each line of at least two characters (cut at line feeds, a trailing carriage
// return dropped) to the listener with the source "BUILD", pausing pause_ms before
// every line after the first.
void ForwardStatusText(IStatusInfoListener* listener, std::string_view text, int pause_ms = 20);

// Chooses the way (see above). True when a build ran and its status was relayed.
bool StartBuild(IStatusInfoListener* listener, char16_t drive, const StartBuildContext& context);

// A child build with its output relayed line by line; extra_args follow the drive part
// ("--remoteDrives"). True when the child ran and ended with status 0.
bool RunBuildChild(IStatusInfoListener* listener, char16_t drive, const StartBuildContext& context,
                   const std::vector<std::u16string>& extra_args = {});

// One request to a build service on pipe_name: the command line as UTF-16 with its NUL,
// then status messages until an empty one. False when the service is absent or fails.
// After the earlier service's build of all drives, the selected network drives (state 1,
// no marker in the root) are built by a child here; its failure (a share offline) is
// reported on the listener and does not undo the service's build.
bool AskBuildService(IStatusInfoListener* listener, const std::u16string& pipe_name, char16_t drive,
                     const StartBuildContext& context);

// Starts an elevated build server and relays its status. False when the start fails
// (elevation declined) or the server cannot be reached in 10 tries. While it runs the
// server is published (PublishBuildProcess), so EndRelayedChild ends it.
bool ElevateBuildServer(IStatusInfoListener* listener, char16_t drive, const StartBuildContext& context);

// Relays every piece the build server sends until it closes the pipe.
void RelayServerStatus(IStatusInfoListener* listener, MessagePipe* pipe);

}  // namespace nusk
