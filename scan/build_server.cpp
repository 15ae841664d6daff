// The `build_server` sub-command: an elevated one-shot server that waits up to 5 seconds
// for the process that started it, runs the build for it and sends every status line
// over the pipe "\\.\pipe\nusk_server" as one message. Closing the pipe ends the
// client's relay.
#include <cstdio>

#include "platform/env.h"
#include "platform/pipe.h"
#include "scan/build_command.h"
#include "scan/build_entry.h"
#include "scan/start_build.h"

namespace nusk {

int ServeBuild(const std::vector<std::u16string>& args) {
  BuildEnvironment environment = DefaultBuildEnvironment();
  environment.may_delegate = false;  // this process was started to build: never hand it on
  std::unique_ptr<MessagePipe> pipe;
  Status s = MessagePipe::Serve(kBuildServerPipe, 5000, &pipe);
  if (!s.ok()) {
    if (s.message().rfind("Client connect timeout", 0) == 0) {
      environment.env->DebugOutput(u"Client connect timeout..\n");
    } else {
      std::printf("%s\n", s.message().c_str());
    }
    return kExitDriveFailed;
  }
  StatusOutput::Get().SetPipe(pipe.get());
  std::vector<std::u16string> build_args = args;
  if (build_args.size() > 1) build_args[1] = u"build";
  int status;
  {
    CBuildCommand command(environment);
    status = command.Run(build_args);
  }
  StatusOutput::Get().SetPipe(nullptr);
  return status;
}

}  // namespace nusk
