// CBuildCommand: the `build` sub-command. Decides whether to build here or delegate,
// takes the build lock of the home folder, loads the writable index, builds the chosen
// drives (NTFS: MFT scan or change pass for the drive and its mounted volumes; other
// drives: the folder walk) and writes the index once at the end.
//
// Exit status: 0 built; kExitUsage bad arguments; kExitLockHeld another build of the
// same home folder runs (refused at once, nothing waits); kExitDatabase the index could
// not be loaded or written (the previous files stay in force); kExitDriveFailed a drive
// could not be read (others were still built and written); kExitCanceled Ctrl-C.
// Runs on the main thread; the Ctrl-C handler may commit from its own thread.
#pragma once
#include <array>
#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "scan/build_log.h"
#include "scan/exclusion.h"
#include "scan/status_output.h"
#include "scan/volume_drives.h"

namespace nusk {

class Env;
class NuskDbWriter;
class Profile;
class NamedMutex;
class IStatusSink;
class WalkExclusionAdapter;
class WalkListing;
class CNuskToDbListener;
class DriveListener;

inline constexpr int kExitUsage = 1;
inline constexpr int kExitLockHeld = 2;
inline constexpr int kExitDatabase = 3;
inline constexpr int kExitDriveFailed = 5;
inline constexpr int kExitCanceled = 6;

inline constexpr char kBuildUsage[] =
    "\nUSAGE: nusk build [options]\n\nOptions:\n  --dbdir  \tdb dir.\n  --delegate\tdelegate build flag.\n";
inline constexpr char kLockHeldMessage[] = "A previous build command is still running. \nOperation canceled.";

struct BuildOptions {
  bool delegate = false;       // started by another process to build: no delegation, no window notice
  bool remote_drives = false;  // build only the selected network drives
  char16_t drive = 0;          // 'A'..'Z', or 0 for every selected drive
};

// Parses the arguments after "build". False with *error = "Unrecognized arg" or
// "Invalid drive arg". The last drive argument wins.
bool ParseBuildArgs(const std::vector<std::u16string>& args, BuildOptions* options, std::string* error);

// The tag of the home folder's build lock (Env::CreateFolderLock), taken by build and clean.
inline constexpr char16_t kBuildLockTag[] = u"NUSK_BUILD";

// Where a build runs and what it may touch; tests fill it with their own parts.
struct BuildEnvironment {
  Env* env = nullptr;
  Profile* profile = nullptr;
  DriveSystem* drives = nullptr;
  std::u16string home;  // ends with the separator
  std::u16string settings_path;
  std::u16string program;                     // this executable, for delegation
  const std::atomic<bool>* cancel = nullptr;  // Ctrl-C flag; null: never
  bool may_delegate = true;                   // false in the build server, which must not delegate again
};

class CBuildCommand : public IStatusInfoListener {
 public:
  explicit CBuildCommand(BuildEnvironment environment);
  ~CBuildCommand() override;

  // args: the whole command line (program, "build", options...). Returns the exit status.
  int Run(const std::vector<std::u16string>& args);

  // Status text relayed from a delegated build goes to this process's status output.
  void OnStatusInfo(std::u16string_view source, std::string_view text) override;

 private:
  enum class DriveOutcome { kBuilt, kFailed, kCanceled };

  int BuildHere(const BuildOptions& options, const std::vector<std::u16string>& args);
  bool TakeBuildLock();  // false: refused, and the reason was said
  bool OpenIndexForBuild();
  bool SelectedForBuild(char16_t letter) const;  // by BuildAllDrives
  void StartEarlyWalk(char16_t letter);          // when the drive is walked
  int BuildAllDrives();
  int BuildOneDrive(char16_t letter);
  int BuildRemoteDrives();
  int BuildDrives(const std::vector<char16_t>& letters);  // status: 0, kExitDriveFailed or kExitCanceled
  int WriteIndex(bool all_drives, int status);
  DriveOutcome BuildDrive(char16_t letter);
  DriveOutcome BuildNtfsDrive(char16_t letter, DriveListener* listener);
  // Volumes mounted in folders of the drive (scan/build_command_mounts.cpp). walked_host:
  // the drive was walked (mount folders are found by name); host_rescanned: the drive's
  // items were all forgotten this build, so every mounted volume is read in full.
  void BuildFolderMounts(char16_t letter, bool walked_host, bool host_rescanned, CNuskToDbListener* listener);
  void BuildMountedVolume(char16_t letter, int slot, uint64_t ref, const std::string& volume_id,
                          const struct FolderMount& mount, const std::vector<std::u16string>& parts,
                          bool host_rescanned, CNuskToDbListener* listener);
  uint64_t FindWalkedFolder(char16_t letter, const std::vector<std::u16string>& parts) const;
  int FindMountSlot(uint64_t ref, const std::string& volume_id, const std::vector<int>& collected) const;
  char16_t DriveBuiltAs(const struct FolderMount& mount) const;
  DriveOutcome WalkOneDrive(char16_t letter, CNuskToDbListener* listener);
  void MarkForFullRebuildLocked(char16_t letter);  // caller holds IndexMutex()
  // Gives drives whose build stopped part-way (0s are skipped) back what the database
  // files hold; the text says what became of them. Caller holds IndexMutex().
  std::string RestoreDrivesLocked(std::initializer_list<char16_t> letters);
  void KeepForgottenDriveConsistent();  // before the index is written
  void SetBuildingDrive(char16_t letter);
  void StoreIgnored();
  // Notes, for the stored ignored folders below prefix (an NTFS volume read from its own
  // bytes), whether the volume still holds their marker: the host path of such a folder
  // names nothing on the host.
  void NoteVolumeMarkers(class NtfsVolumeScanner* scanner, const std::u16string& prefix);
  bool Canceled() const { return env_.cancel && env_.cancel->load(); }
  void Log(const std::string& line) { log_.Line(line); }
  void Say(const std::string& line) { StatusOutput::Get().Print(line); }
  void Report(const std::string& line) {  // both: the build log and the status output
    Log(line);
    Say(line);
  }

  BuildEnvironment env_;
  BuildLog log_;
  ExclusionSettings exclusions_;
  // Stored ignored folders of volumes read from their own bytes -> marker still there.
  std::map<std::u16string, bool> volume_markers_;
  std::unique_ptr<NamedMutex> lock_;
  std::unique_ptr<IStatusSink> sink_;  // index progress -> status output; outlives writer_
  std::unique_ptr<NuskDbWriter> writer_;
  // The first drive's walk, listing while the index loads; its threads read
  // walk_exclusions_, which reads exclusions_, so it is declared (and dropped) after them.
  std::unique_ptr<WalkExclusionAdapter> walk_exclusions_;
  std::unique_ptr<WalkListing> early_walk_;
  std::atomic<char16_t> forgotten_on_load_{0};  // its items were left out of the load, not yet walked
  std::array<bool, 26> built_{};
  std::atomic<char16_t> building_{0};  // drive being built, for the Ctrl-C commit
  bool remote_drives_ = false;         // the --remoteDrives build
};

}  // namespace nusk
