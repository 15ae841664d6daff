#include "app/console_clean.h"

#include <cstdio>
#include <string_view>

#include "app/usage.h"
#include "index/db_files.h"
#include "index/nusk_db_writer.h"
#include "index/search_snapshot.h"
#include "platform/elevation.h"
#include "scan/build_command.h"
#include "scan/build_log.h"
#include "scan/status_output.h"
#include "settings/process_state.h"
#include "util/casemap.h"
#include "util/utf.h"

namespace nusk {
namespace {

// Files of a database, in the order they are deleted.
constexpr const char16_t* kDatabaseFiles[] = {u"FRN_FUID.map",  u"FUID_FRN.map", u"nusk.file.bas",
                                              u"nusk.file.ext", u"nusk.snap",    u"nusk.snap.tmp",
                                              u"nusk.nrs",      u"nusk.hid",     u"nusk.frs"};

// Progress and problems of the index code go to the status output.
class StatusSink : public IStatusSink {
 public:
  void Progress(std::string_view text) override { StatusOutput::Get().Print(text); }
  void Problem(std::string_view text) override { StatusOutput::Get().Print(text); }
};

}  // namespace

CleanIo CleanIo::Process() {
  CleanIo io;
  io.home = nusk::Process().home_folder;
  io.settings_path = nusk::Process().settings_path;
  return io;
}

bool CleanWholeDatabase(const CleanIo& io) {
  bool ok = true;
  for (const char16_t* name : kDatabaseFiles) {
    const std::u16string path = DbPath(io.home, name, io.env);
    const bool snapshot = std::u16string_view(name) == kSnapName;
    // Snapshots that commits moved aside go too, once no process maps them (the web
    // service of a window on Windows may): they are never read again.
    if (snapshot && !io.env->FileExists(path)) RemoveSearchSnapshot(io.home, io.env);
    if (!io.env->FileExists(path)) continue;
    StatusOutput::Get().Print("Deleting " + ToUtf8(path));
    if (!(snapshot ? RemoveSearchSnapshot(io.home, io.env) : io.env->RemoveFile(path)).ok()) {
      StatusOutput::Get().Print("Delete failed..");
      ok = false;
    }
  }
  io.profile->WriteString(io.settings_path, u"NuskIgnoreFolders", std::nullopt, std::nullopt);
  return ok;
}

Status CleanDrive(const CleanIo& io, char16_t letter) {
  BuildLog log;
  log.Open(io.env, io.home, false);
  StatusSink sink;
  NuskDbWriter writer;
  Status s = LoadIndexForWrite(&writer, io.home, io.env, &sink);
  if (s.ok()) {
    // Ctrl-C while the drive is being forgotten still leaves a written index.
    SetCancelCommitHook([&writer] { CommitIndex(&writer); });
    {
      std::lock_guard<std::mutex> lock(IndexMutex());
      writer.ForgetVolume(letter, 0);
      DriveState& state = writer.drive_state(letter - u'A');
      state.serial = 0;
      state.journal_id = 0;
      state.journal_next = 0;
    }
    s = CommitIndex(&writer);
    std::lock_guard<std::mutex> lock(IndexMutex());
    SetCancelCommitHook(nullptr);
  }
  if (!s.ok()) log.Line(s.message());
  log.Close();
  return s;
}

int CleanCommand(const Args& args, const CleanIo& io) {
  char16_t letter = 0;
  if (args.size() >= 3 && !args[2].empty()) {
    letter = ToUpperUnit(args[2][0]);
    if (letter < u'A' || letter > u'Z') {
      std::fprintf(stderr, "nusk clean: \"%s\" is not a drive letter A-Z\n", ToUtf8(args[2]).c_str());
      PrintUsage(stderr);
      return 2;
    }
  }
  std::unique_ptr<NamedMutex> lock = io.env->CreateFolderLock(io.home, kBuildLockTag);
  bool taken = false;
  const Status locked = lock->TryLock(&taken);
  if (!locked.ok()) {
    StatusOutput::Get().Print("nusk clean: cannot take the build lock: " + locked.message());
    return 1;
  }
  if (!taken) {
    StatusOutput::Get().Print("A build is in progress, operation canceled.");
    return 1;
  }
  int status = 0;
  if (letter) {
    const Status s = CleanDrive(io, letter);
    if (!s.ok()) {
      StatusOutput::Get().Print("nusk clean: " + s.message());
      status = 1;
    }
  } else if (!CleanWholeDatabase(io)) {
    status = 1;
  }
  lock->Unlock();
  if (io.notify_windows) NotifyMainWindows(0);
  return status;
}

int RunClean(const Args& args) { return CleanCommand(args, CleanIo::Process()); }

}  // namespace nusk
