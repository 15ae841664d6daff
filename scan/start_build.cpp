#include "scan/start_build.h"

#include <chrono>
#include <memory>
#include <thread>

#include "platform/elevation.h"
#include "platform/pipe.h"
#include "platform/process_relay.h"
#include "scan/volume_drives.h"
#include "util/utf.h"

namespace nusk {

namespace {

std::u16string DbdirPart(const std::u16string& home, char16_t drive) {
  std::u16string part = u" --dbdir \"" + home;
  if (!home.empty() && home.back() == u'\\') part.push_back(u'\\');
  part += u"\" --delegate";
  if (drive) {
    part.push_back(u' ');
    part.push_back(drive);
  }
  return part;
}

// Joins the pieces of a relayed stream into whole lines before forwarding them, so a
// line cut by a read boundary still arrives as one line.
class LineRelay {
 public:
  explicit LineRelay(IStatusInfoListener* listener) : listener_(listener) {}
  void Feed(std::string_view piece) {
    pending_.append(piece.data(), piece.size());
    size_t end = pending_.rfind('\n');
    if (end == std::string::npos) return;
    ForwardStatusText(listener_, std::string_view(pending_).substr(0, end));
    pending_.erase(0, end + 1);
  }
  void Finish() {
    if (!pending_.empty()) ForwardStatusText(listener_, pending_);
    pending_.clear();
  }

 private:
  IStatusInfoListener* listener_;
  std::string pending_;
};

// Some network drive is selected for building (state 1, no marker in its root).
bool NetworkDriveSelected(const StartBuildContext& context) {
  for (char16_t letter : context.drives->PresentLetters()) {
    if (context.volume_states[letter - u'A'] == kVolumeSelected &&
        context.drives->TypeOf(letter) == DriveType::kRemote && !context.drives->HasIgnoreMarker(letter))
      return true;
  }
  return false;
}

}  // namespace

std::u16string MakeBuildCommandLine(const std::u16string& program, const std::u16string& home, char16_t drive) {
  return u"\"" + program + u"\" build" + DbdirPart(home, drive);
}

std::u16string MakeBuildServerParameters(const std::u16string& home, char16_t drive) {
  return u"build_server" + DbdirPart(home, drive);
}

std::vector<std::u16string> BuildChildArgs(const std::u16string& home, char16_t drive) {
  std::vector<std::u16string> args = {u"build", u"--dbdir", home, u"--delegate"};
  if (drive) args.push_back(std::u16string(1, drive));
  return args;
}

void ForwardStatusText(IStatusInfoListener* listener, std::string_view text, int pause_ms) {
  bool first = true;
  while (!text.empty()) {
    size_t nl = text.find('\n');
    std::string_view line = text.substr(0, nl);
    text = nl == std::string_view::npos ? std::string_view() : text.substr(nl + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.size() < 2) continue;
    if (!first && pause_ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(pause_ms));
    first = false;
    listener->OnStatusInfo(u"BUILD", line);
  }
}

bool RunBuildChild(IStatusInfoListener* listener, char16_t drive, const StartBuildContext& context,
                   const std::vector<std::u16string>& extra_args) {
  std::vector<std::u16string> args = BuildChildArgs(context.home, drive);
  args.insert(args.end(), extra_args.begin(), extra_args.end());
  LineRelay relay(listener);
  int exit_code = -1;
  Status s = RunRelayedChild(
      context.program, args, [&relay](std::string_view piece) { relay.Feed(piece); }, &exit_code);
  relay.Finish();
  if (!s.ok()) {
    ForwardStatusText(listener, "Failed to create build process");
    return false;
  }
  return exit_code == 0;
}

bool AskBuildService(IStatusInfoListener* listener, const std::u16string& pipe_name, char16_t drive,
                     const StartBuildContext& context) {
  std::unique_ptr<MessagePipe> pipe;
  Status s = MessagePipe::Connect(pipe_name, 3000, &pipe);
  if (!s.ok()) {
    if (s.message().find("timed out") != std::string::npos) std::printf("%s\n", s.message().c_str());
    return false;
  }
  std::u16string line = MakeBuildCommandLine(context.program, context.home, drive);
  std::string request;
  for (char16_t c : line) {  // UTF-16LE with its terminating NUL
    request.push_back(static_cast<char>(c & 0xFF));
    request.push_back(static_cast<char>(c >> 8));
  }
  request.append(2, '\0');
  if (!pipe->WriteMessage(request)) return false;
  std::string piece;
  for (;;) {
    MessagePipe::ReadResult r = pipe->ReadPiece(512, &piece);
    if (r == MessagePipe::ReadResult::kEnd) break;
    if (r == MessagePipe::ReadResult::kError) return false;
    size_t nul = piece.find('\0');
    ForwardStatusText(listener, std::string_view(piece).substr(0, nul));
  }
  if (pipe_name == kEarlierServicePipe && drive == 0 && context.newer_system && NetworkDriveSelected(context) &&
      !RunBuildChild(listener, 0, context, {u"--remoteDrives"})) {
    ForwardStatusText(listener, "The selected network drives could not be built.");
  }
  return true;
}

void RelayServerStatus(IStatusInfoListener* listener, MessagePipe* pipe) {
  std::string piece;
  while (pipe->ReadPiece(512, &piece) == MessagePipe::ReadResult::kPiece) {
    size_t nul = piece.find('\0');
    ForwardStatusText(listener, std::string_view(piece).substr(0, nul));
  }
}

bool ElevateBuildServer(IStatusInfoListener* listener, char16_t drive, const StartBuildContext& context) {
  std::unique_ptr<ElevatedProcess> server;
  const std::u16string parameters = MakeBuildServerParameters(context.home, drive);
  const Status started = context.start_elevated ? context.start_elevated(context.program, parameters, &server)
                                                : StartElevated(context.program, parameters, &server);
  if (!started.ok() || !server) return false;
  // Published while the relay runs, so a window that is closed meanwhile can end it.
  struct Published {
    explicit Published(ElevatedProcess* p) { PublishBuildProcess(p); }
    ~Published() { PublishBuildProcess(nullptr); }
  } published(server.get());
  for (int attempt = 0; attempt < 10; ++attempt) {
    std::unique_ptr<MessagePipe> pipe;
    Status s = MessagePipe::Connect(kBuildServerPipe, 4000, &pipe);
    if (s.ok()) {
      RelayServerStatus(listener, pipe.get());
      return true;
    }
    if (s.message().find("timed out") != std::string::npos) std::printf("%s\n", s.message().c_str());
    std::this_thread::sleep_for(std::chrono::seconds(1));
  }
  return false;
}

bool StartBuild(IStatusInfoListener* listener, char16_t drive, const StartBuildContext& context) {
  if (drive) {
    DriveType t = context.drives->TypeOf(drive);
    if (t == DriveType::kRemote || t == DriveType::kCdrom) return RunBuildChild(listener, drive, context);
    if (t != DriveType::kRemovable && t != DriveType::kFixed) return false;
  }
  if (context.is_admin ? context.is_admin() : IsProcessAdmin()) return RunBuildChild(listener, drive, context);
  if (AskBuildService(listener, kSudoServicePipe, drive, context)) return true;
  if (AskBuildService(listener, kEarlierServicePipe, drive, context)) return true;
  return ElevateBuildServer(listener, drive, context);
}

}  // namespace nusk
