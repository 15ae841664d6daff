#include "scan/build_command.h"

#include <cstdio>
#include <mutex>

#include "index/index_types.h"
#include "index/nusk_db_writer.h"
#include "index/status_sink.h"
#include "platform/elevation.h"
#include "platform/env.h"
#include "platform/profile.h"
#include "scan/crash_report.h"
#include "scan/ntfs_volume_scanner.h"
#include "scan/nusk_to_db_listener.h"
#include "scan/start_build.h"
#include "scan/walk.h"
#include "settings/process_state.h"
#include "settings/settings_file.h"
#include "util/utf.h"

namespace nusk {

namespace {

std::string Letter(char16_t c) { return std::string(1, static_cast<char>(c)); }

// The index's progress texts go to the status output; its problems also to the log.
class BuildStatusSink : public IStatusSink {
 public:
  explicit BuildStatusSink(BuildLog* log) : log_(log) {}
  void Progress(std::string_view text) override {
    std::string t(text);
    while (!t.empty() && t.back() == '\n') t.pop_back();
    StatusOutput::Get().Print(t);
    log_->Line(t);  // the log keeps the load and write times beside the scan times
  }
  void Problem(std::string_view text) override {
    StatusOutput::Get().Print(text);
    log_->Line(text);
  }

 private:
  BuildLog* log_;
};

}  // namespace

// The exclusion settings as the folder walk asks for them.
class WalkExclusionAdapter : public IWalkExclusions {
 public:
  explicit WalkExclusionAdapter(const ExclusionSettings& s) : s_(s) {}
  bool ExcludeHidden() const override { return s_.exclude_hidden; }
  bool FolderNameExcluded(std::u16string_view name) const override {
    return s_.exclude_by_name && MatchesFolderPattern(s_, name);
  }
  bool FileNameExcluded(std::u16string_view name) const override {
    return s_.exclude_by_name && MatchesFilePattern(s_, name);
  }

 private:
  const ExclusionSettings& s_;
};

// The drive's listener; it notes when a scan forgot all of the drive's items (a full MFT
// scan or a walk), which also dropped the items of the volumes mounted in its folders.
class DriveListener : public CNuskToDbListener {
 public:
  using CNuskToDbListener::CNuskToDbListener;
  void ForgetVolume(char16_t letter, uint8_t mount) override {
    if (mount == 0) host_forgotten = true;
    CNuskToDbListener::ForgetVolume(letter, mount);
  }
  bool host_forgotten = false;
};

namespace {

bool Buildable(DriveType t) {
  return t == DriveType::kRemovable || t == DriveType::kFixed || t == DriveType::kRemote || t == DriveType::kCdrom;
}

}  // namespace

bool ParseBuildArgs(const std::vector<std::u16string>& args, BuildOptions* options, std::string* error) {
  for (const std::u16string& a : args) {
    if (a == u"--delegate") {
      options->delegate = true;
    } else if (a == u"--remoteDrives") {
      options->remote_drives = true;
    } else if (a.size() != 1) {
      *error = "Unrecognized arg";
      return false;
    } else {
      char16_t c = a[0] >= u'a' && a[0] <= u'z' ? static_cast<char16_t>(a[0] - 32) : a[0];
      if (c < u'A' || c > u'Z') {
        *error = "Invalid drive arg";
        return false;
      }
      options->drive = c;
    }
  }
  return true;
}

CBuildCommand::CBuildCommand(BuildEnvironment environment) : env_(std::move(environment)) {}

CBuildCommand::~CBuildCommand() {
  // The Ctrl-C hook refers to this object and its index: remove it first.
  std::lock_guard<std::mutex> lock(IndexMutex());
  SetCancelCommitHook(nullptr);
}

void CBuildCommand::OnStatusInfo(std::u16string_view, std::string_view text) { StatusOutput::Get().Print(text); }

int CBuildCommand::Run(const std::vector<std::u16string>& args) {
  BuildOptions options;
  std::string error;
  std::vector<std::u16string> rest(args.size() > 2 ? args.begin() + 2 : args.end(), args.end());
  if (!ParseBuildArgs(rest, &options, &error)) {
    Say(error);
    Say(kBuildUsage);
    return kExitUsage;
  }
  bool network_drive = false;
  if (options.drive) {
    DriveType t = env_.drives->TypeOf(options.drive);
    network_drive = t == DriveType::kRemote || t == DriveType::kCdrom;
  }
  if (env_.may_delegate && !options.delegate && !IsProcessAdmin() && !network_drive && !options.remote_drives) {
    // Building needs administrator rights: hand the build to a process that has them.
    StartBuildContext start{env_.drives, env_.home, env_.program};
    start.newer_system = Process().newer_system;
    ReadExclusionSettings(
        env_.profile, env_.settings_path, [this](char16_t l) { return IsFixedNtfsDrive(env_.drives, l); },
        &exclusions_);
    start.volume_states = exclusions_.volume_states;
    bool ok = StartBuild(this, options.drive, start);
    NotifyMainWindows(0);
    if (!ok) Say("The build could not be started with administrator rights.");
    return ok ? 0 : kExitDriveFailed;
  }
  int status = BuildHere(options, args);
  if (int lost = log_.failed_lines()) {
    Say("The build log " + ToUtf8(BuildLog::PathIn(env_.home, env_.env)) + " could not be written (" +
        std::to_string(lost) + " lines lost); the database itself is not affected.");
  }
  if (!options.delegate) NotifyMainWindows(0);
  log_.Close();
  return status;
}

int CBuildCommand::BuildHere(const BuildOptions& options, const std::vector<std::u16string>& args) {
  Status opened = log_.Open(env_.env, env_.home, options.remote_drives);
  if (!opened.ok()) Say("Cannot write the build log: " + opened.message());
  if (options.remote_drives) Log("--------------------------------");
  std::string line;
  for (const std::u16string& a : args) line += (line.empty() ? "" : " ") + ToUtf8(a);
  Log(line);
  if (!InstallBuildCrashReport(env_.home, env_.drives)) Log("The crash handler could not be installed.");
  if (options.remote_drives) return BuildRemoteDrives();
  if (!TakeBuildLock()) return kExitLockHeld;
  auto fixed_default = [this](char16_t letter) {
    // On POSIX the Drives section is the user's explicit choice: every mapped drive
    // counts as a default drive, whatever its file system.
    if (!env_.drives->map().native_letters()) return env_.drives->TypeOf(letter) == DriveType::kFixed;
    return IsFixedNtfsDrive(env_.drives, letter);
  };
  ReadExclusionSettings(env_.profile, env_.settings_path, fixed_default, &exclusions_);
  int status = options.drive ? BuildOneDrive(options.drive) : BuildAllDrives();
  if (status != kExitDatabase) StoreIgnored();
  lock_.reset();
  return status;
}

bool CBuildCommand::TakeBuildLock() {
  lock_ = env_.env->CreateFolderLock(env_.home, kBuildLockTag);
  bool taken = false;
  Status s = lock_->TryLock(&taken);
  if (taken) return true;
  lock_.reset();
  if (!s.ok()) {
    // Not knowing whether another build runs is no licence to build beside it.
    Report("Cannot take the build lock: " + s.message());
  } else {
    Say(kLockHeldMessage);
    if (remote_drives_) Log("Failed to obtain build lock.");
  }
  return false;
}

bool CBuildCommand::OpenIndexForBuild() {
  Log("Opening the database..");
  writer_ = std::make_unique<NuskDbWriter>();
  // The writer keeps the sink for its commit: it lives as long as this command.
  sink_ = std::make_unique<BuildStatusSink>(&log_);
  // A drive whose walk has listed its root forgets all its items first thing: they need
  // not be loaded at all. Should it not be walked after all, it is marked for a full
  // rebuild before the index is written (KeepForgottenDriveConsistent).
  char16_t walked = early_walk_ ? early_walk_->target().drive_letter : 0;
  if (walked && early_walk_->root_listed() && !Canceled() && env_.drives->VolumeSerial(walked) != 0) {
    writer_->ForgetDriveOnLoad(walked);
    forgotten_on_load_ = walked;
  }
  Status s = LoadIndexForWrite(writer_.get(), env_.home, env_.env, sink_.get());
  if (!s.ok()) {
    Report("Failed to open the database: " + s.message());
    writer_.reset();
    return false;
  }
  Log("Database opened.");
  // From now on Ctrl-C may write the index from the control thread (after 3 s).
  std::lock_guard<std::mutex> lock(IndexMutex());
  SetCancelCommitHook([this] {
    // The drive being built, and one left out of the load, go back to what the files hold.
    RestoreDrivesLocked({building_.load(), forgotten_on_load_.load()});
    CommitIndex(writer_.get(), {});
  });
  return true;
}

bool CBuildCommand::SelectedForBuild(char16_t letter) const {
  VolumeState state = exclusions_.volume_states[letter - u'A'];
  DriveType t = env_.drives->TypeOf(letter);
  if (state == kVolumeSkipped || !Buildable(t)) return false;
  if (state == kVolumeUnlisted && t != DriveType::kFixed) return false;
  if (state == kVolumeSelected && !env_.drives->CanOpenVolume(letter)) return false;
  return !env_.drives->HasIgnoreMarker(letter);
}

void CBuildCommand::StartEarlyWalk(char16_t letter) {
  // Listing a walked drive does not need the index: start it now, so the folders are
  // read while the previous index loads.
  if (!letter || env_.drives->IsNtfsDrive(letter) || !env_.drives->map().IsFolderTarget(letter)) return;
  walk_exclusions_ = std::make_unique<WalkExclusionAdapter>(exclusions_);
  early_walk_ = StartWalkListing(WalkTarget{letter, env_.drives->Root(letter), walk_exclusions_.get(), env_.env}, true);
}

int CBuildCommand::BuildAllDrives() {
  std::vector<char16_t> letters;
  for (char16_t letter : env_.drives->PresentLetters())
    if (SelectedForBuild(letter)) letters.push_back(letter);
  if (!letters.empty()) StartEarlyWalk(letters.front());
  if (!OpenIndexForBuild()) return kExitDatabase;
  return WriteIndex(true, BuildDrives(letters));
}

int CBuildCommand::BuildDrives(const std::vector<char16_t>& letters) {
  int status = 0;
  for (char16_t letter : letters) {
    if (Canceled()) break;
    DriveOutcome outcome = BuildDrive(letter);
    if (outcome == DriveOutcome::kFailed) status = kExitDriveFailed;
    if (outcome != DriveOutcome::kFailed) built_[letter - u'A'] = true;
  }
  return Canceled() ? kExitCanceled : status;
}

int CBuildCommand::BuildOneDrive(char16_t letter) {
  StartEarlyWalk(letter);
  if (!OpenIndexForBuild()) return kExitDatabase;
  Say(" ");
  DriveOutcome outcome = BuildDrive(letter);
  built_[letter - u'A'] = true;
  int status = outcome == DriveOutcome::kBuilt      ? 0
               : outcome == DriveOutcome::kCanceled ? kExitCanceled
                                                    : kExitDriveFailed;
  return WriteIndex(false, status);
}

int CBuildCommand::BuildRemoteDrives() {
  Log("----------");
  remote_drives_ = true;
  if (!TakeBuildLock()) return kExitLockHeld;
  if (!OpenIndexForBuild()) return kExitDatabase;
  ReadExclusionSettings(
      env_.profile, env_.settings_path, [this](char16_t l) { return IsFixedNtfsDrive(env_.drives, l); }, &exclusions_);
  std::vector<char16_t> letters;
  for (char16_t letter : env_.drives->PresentLetters()) {
    if (exclusions_.volume_states[letter - u'A'] != kVolumeSelected) continue;
    if (env_.drives->TypeOf(letter) != DriveType::kRemote || env_.drives->HasIgnoreMarker(letter)) continue;
    letters.push_back(letter);
  }
  const int status = BuildDrives(letters);
  lock_.reset();
  StoreIgnored();
  return WriteIndex(false, status);
}

int CBuildCommand::WriteIndex(bool all_drives, int status) {
  early_walk_.reset();  // not taken (drive failed or canceled first): stop its threads
  KeepForgottenDriveConsistent();
  Log("--");
  Log("Writing database..");
  Status s;
  {
    std::lock_guard<std::mutex> lock(IndexMutex());
    CommitOptions options;
    options.all_drives = all_drives && status == 0;
    s = CommitIndex(writer_.get(), options);
  }
  if (!s.ok()) {
    Report("Failed to write the database: " + s.message());
    return kExitDatabase;
  }
  Log("Database written.");
  return status;
}

void CBuildCommand::KeepForgottenDriveConsistent() {
  char16_t letter = forgotten_on_load_.exchange(0);
  if (!letter) return;
  std::string kept;
  {
    std::lock_guard<std::mutex> lock(IndexMutex());
    kept = RestoreDrivesLocked({letter});
  }
  Log("Drive " + Letter(letter) + " was not built; " + kept);
}

std::string CBuildCommand::RestoreDrivesLocked(std::initializer_list<char16_t> letters) {
  std::vector<char16_t> todo;
  for (char16_t letter : letters)
    if (letter) todo.push_back(letter);
  if (todo.empty()) return std::string();
  // Nothing has been written by this build (it holds the lock), so the files still hold
  // each drive as the previous build left it, records and journal positions together.
  NuskDbWriter previous;
  Status s = LoadIndexForWrite(&previous, env_.home, env_.env, nullptr);
  if (s.ok() && previous.damage().empty()) {
    for (char16_t letter : todo) writer_->RestoreDrive(letter, previous);
    return "its previous records were kept.";
  }
  // The files cannot be read again: a partial drive must not be written as if whole.
  for (char16_t letter : todo) MarkForFullRebuildLocked(letter);
  return "its records were removed and it will be scanned in full by the next build.";
}

void CBuildCommand::SetBuildingDrive(char16_t letter) {
  SettingsFile settings(env_.settings_path, env_.profile);
  settings.WriteText(u"Build", u"BuildingDrive", letter ? std::u16string(1, letter) : std::u16string());
}

CBuildCommand::DriveOutcome CBuildCommand::BuildDrive(char16_t letter) {
  SetBuildingDrive(letter);
  Log("--\nBuilding drive " + Letter(letter));
  uint64_t start = env_.env->MonotonicMs();
  Say("Building nusk for drive " + Letter(letter) + " ...");
  int d = letter - u'A';
  uint32_t serial = env_.drives->VolumeSerial(letter);
  if (serial == 0) {
    std::string msg = "Error getting drive serial number: " + Letter(letter) + ", build canceled.";
    Report(msg);
    SetBuildingDrive(0);
    return DriveOutcome::kFailed;
  }
  {
    std::lock_guard<std::mutex> lock(IndexMutex());
    DriveState& ds = writer_->drive_state(d);
    if (ds.serial != serial) {  // a reformatted volume: its journal state means nothing now
      ds.serial = serial;
      ds.journal_id = 0;
      ds.journal_next = 0;
    }
  }
  std::u16string display_name = env_.drives->DisplayName(letter);
  DriveListener listener(writer_.get());
  building_ = letter;
  DriveOutcome outcome;
  if (env_.drives->IsNtfsDrive(letter)) {
    Log("(NTFS Mode)");
    outcome = BuildNtfsDrive(letter, &listener);
  } else {
    Log("(Non-NTFS Mode)");
    outcome = WalkOneDrive(letter, &listener);
  }
  if (outcome == DriveOutcome::kBuilt && Canceled()) outcome = DriveOutcome::kCanceled;
  if (outcome == DriveOutcome::kCanceled) {
    std::string kept;
    {
      std::lock_guard<std::mutex> lock(IndexMutex());
      kept = RestoreDrivesLocked({letter});
      if (forgotten_on_load_ == letter) forgotten_on_load_ = 0;  // restored with it
    }
    std::string msg = "Build of drive " + Letter(letter) + " canceled: " + kept;
    Report(msg);
  } else if (outcome == DriveOutcome::kBuilt) {
    for (const std::u16string& folder : listener.ignored_folders()) exclusions_.ignored_folders_found.push_back(folder);
    std::lock_guard<std::mutex> lock(IndexMutex());
    DriveState& ds = writer_->drive_state(d);
    ds.display_name = display_name;
    writer_->DriveScanned(letter);
    ds.last_build = CompactTimeFromFileTime(env_.env->NowFileTime());
    ds.built = true;
  }
  building_ = 0;
  uint64_t ms = env_.env->MonotonicMs() - start;
  if (outcome == DriveOutcome::kBuilt) {
    char buf[96];
    std::snprintf(buf, sizeof(buf), "Drive %c build done. (%ds)\n", static_cast<char>(letter),
                  static_cast<int>(ms / 1000));
    Say(buf);
    std::snprintf(buf, sizeof(buf), "Drive build done (%d ms)", static_cast<int>(ms));
    Log(buf);
  }
  SetBuildingDrive(0);
  return outcome;
}

CBuildCommand::DriveOutcome CBuildCommand::WalkOneDrive(char16_t letter, CNuskToDbListener* listener) {
  std::u16string root = env_.drives->Root(letter);
  if (!env_.drives->map().IsFolderTarget(letter)) {
    std::string msg = "Drive " + Letter(letter) + ": " + ToUtf8(root) + " is neither a folder nor an NTFS volume.";
    Report(msg);
    return DriveOutcome::kFailed;
  }
  if (!walk_exclusions_) walk_exclusions_ = std::make_unique<WalkExclusionAdapter>(exclusions_);
  WalkContext ctx;
  ctx.env = env_.env;
  ctx.drive_letter = letter;
  ctx.root_path = root;
  ctx.listener = listener;
  ctx.exclusions = walk_exclusions_.get();
  ctx.log = [this](const std::string& l) { Log(l); };
  ctx.status = [this](const std::string& l) { Say(l); };
  ctx.cancel_requested = [this] { return Canceled(); };
  // The early listing is used: the walk itself now forgets the drive's items.
  if (forgotten_on_load_ == letter && early_walk_ &&
      early_walk_->target() == WalkTarget{letter, root, ctx.exclusions, ctx.env})
    forgotten_on_load_ = 0;
  switch (WalkDrive(&ctx, std::move(early_walk_))) {
    case WalkResult::kDone:
      BuildFolderMounts(letter, true, true, listener);
      return Canceled() ? DriveOutcome::kCanceled : DriveOutcome::kBuilt;
    case WalkResult::kCanceled: return DriveOutcome::kCanceled;
    case WalkResult::kRootFailed: break;
  }
  std::string msg = "Drive " + Letter(letter) + " cannot be read; its records were kept.";
  Report(msg);
  return DriveOutcome::kFailed;
}

CBuildCommand::DriveOutcome CBuildCommand::BuildNtfsDrive(char16_t letter, DriveListener* listener) {
  int d = letter - u'A';
  NtfsVolumeConfig config;
  config.drive_letter = letter;
  if (!env_.drives->map().native_letters()) {
    config.volume_path = env_.drives->Root(letter);
    config.escape_backslash = true;  // shown as POSIX paths: a '\' in a name stays in it
  } else {
    config.marker_lookup = NtfsVolumeConfig::MarkerLookup::kFileSystem;  // the live volume at its letter
  }
  uint64_t journal_id, next_usn;
  {
    std::lock_guard<std::mutex> lock(IndexMutex());
    journal_id = writer_->drive_state(d).journal_id;
    next_usn = writer_->item_count() != 0 ? writer_->drive_state(d).journal_next : 0;
  }
  std::vector<MountedVolume> mounted;
  NtfsVolumeScanner scanner(
      env_.env, config, &exclusions_, listener, [this](const std::string& l) { Log(l); }, env_.cancel);
  bool ok = scanner.ScanVolume(&journal_id, &next_usn, &mounted);
  if (config.marker_lookup == NtfsVolumeConfig::MarkerLookup::kVolume)
    NoteVolumeMarkers(&scanner, std::u16string{letter, u':'});
  {
    std::lock_guard<std::mutex> lock(IndexMutex());
    writer_->drive_state(d).journal_id = journal_id;
    writer_->drive_state(d).journal_next = next_usn;
  }
  if (Canceled()) return DriveOutcome::kCanceled;
  if (!ok) {
    // A scan that stopped part-way (a read error, a damaged record) must not replace the
    // drive's records with the part it read: the previous ones come back, and the journal
    // position goes, so the next build reads the whole volume.
    std::string kept;
    {
      std::lock_guard<std::mutex> lock(IndexMutex());
      kept = RestoreDrivesLocked({letter});
      writer_->drive_state(d).journal_id = 0;
      writer_->drive_state(d).journal_next = 0;
    }
    std::string msg =
        "Drive " + Letter(letter) + " could not be read completely: " + kept + " It will be scanned in full next time.";
    Report(msg);
    return DriveOutcome::kFailed;
  }
  BuildFolderMounts(letter, false, listener->host_forgotten, listener);
  return Canceled() ? DriveOutcome::kCanceled : DriveOutcome::kBuilt;
}

void CBuildCommand::MarkForFullRebuildLocked(char16_t letter) {
  // The drive's records are partial: drop them all, and forget its journal positions and
  // serial so that the next build reads the drive (and its mounted volumes) in full.
  uint8_t d = static_cast<uint8_t>(letter - u'A');
  writer_->ForgetVolume(letter, 0);
  DriveState& ds = writer_->drive_state(d);
  ds.built = false;
  ds.serial = 0;
  ds.journal_id = 0;
  ds.journal_next = 0;
  for (int slot = 1; slot < kMountSlots; ++slot) {
    MountState& m = writer_->mount_state(slot);
    if (!m.free() && RefDrive(m.mount_folder_ref) == d) {
      m.journal_id = 0;
      m.journal_next = 0;
    }
  }
}

void CBuildCommand::NoteVolumeMarkers(NtfsVolumeScanner* scanner, const std::u16string& prefix) {
  for (const std::u16string& folder : ReadIgnoredFolders(env_.profile, env_.settings_path)) {
    if (folder.size() > prefix.size() + 1 && folder.compare(0, prefix.size(), prefix) == 0 &&
        folder[prefix.size()] == u'\\')
      volume_markers_[folder] = scanner->FolderHoldsMarker(folder);
  }
}

void CBuildCommand::StoreIgnored() {
  const DriveMap& map = env_.drives->map();
  Env* env = env_.env;
  const std::map<std::u16string, bool>& on_volumes = volume_markers_;
  StoreIgnoredFolders(env_.profile, env_.settings_path, built_, exclusions_.ignored_folders_found,
                      [&map, env, &on_volumes](const std::u16string& folder) {
                        if (auto it = on_volumes.find(folder); it != on_volumes.end()) return it->second;
                        std::u16string native = map.ToNativePath(folder);
                        return env->FileExists(native + env->PathSeparator() + std::u16string(kIgnoreMarkerName));
                      });
}

}  // namespace nusk
