// The folder walk: fills the index for a drive that has no MFT to read (FAT, exFAT,
// network shares, optical media, and on POSIX every folder drive).
//
// The walk forgets every record of the drive and lists the whole tree again, breadth
// first, handing each folder and file to the listener. References are synthetic: the
// root gets record number 1024, then 1025, 1026, ... in the order items are met, with the
// drive number in bits 32-39; they are stable only within one build of the drive.
//
// It never enters links, reparse points or (POSIX) folders of another file system, so it
// cannot loop or list a tree twice; such entries are indexed as items without children.
// It honours the exclusion rules (hidden items, name patterns, "_nuskignore" markers) as
// the MFT path does; the root itself is never excluded. It checks the process's cancel
// flag before every folder.
//
// Threads: folders are listed on threads of the walk's own (one per core, twice as many
// while the listing waits for the disk) while the calling thread hands the results to
// the listener, so listing and index insertion overlap. The listener, log, status and cancel callbacks are called on the calling thread
// only, in the same order a one-thread walk would call them; the exclusions are asked
// on the listing threads. The listing may be started ahead (StartWalkListing), e.g.
// while the index is still loading, and handed to WalkDrive later.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "scan/nusk_listener.h"

namespace nusk {

class Env;
class VolumeLister;
struct VolumeEntry;

// Which entries the walk leaves out (the build adapts its exclusion settings to this).
// Asked from the walk's listing thread: implementations must not change while a walk runs.
class IWalkExclusions {
 public:
  virtual ~IWalkExclusions() = default;
  virtual bool ExcludeHidden() const = 0;
  virtual bool FolderNameExcluded(std::u16string_view name) const = 0;
  virtual bool FileNameExcluded(std::u16string_view name) const = 0;
};

// How the walk ended.
enum class WalkResult {
  kDone,        // the whole tree was listed (folders that could not be listed are empty)
  kCanceled,    // the cancel flag was set; the drive holds only part of its items
  kRootFailed,  // the drive's root cannot be listed; nothing was changed
};

struct WalkContext {
  Env* env = nullptr;            // lists the folders (Env::NewVolumeLister); required
  char16_t drive_letter = u'C';  // 'A'..'Z'
  std::u16string root_path;      // native root, ending with the separator ("C:\\", "/", "/data/")
  INuskListener* listener = nullptr;
  const IWalkExclusions* exclusions = nullptr;  // null: nothing is excluded
  // One line for the build log ("Performing full scan.."), without line break.
  std::function<void(const std::string&)> log;
  // One line for the status output ("Find files in %s failed.."), without line break.
  std::function<void(const std::string&)> status;
  // Polled before every folder; true stops the walk. Null: never.
  std::function<bool()> cancel_requested;

  // Filled by the walk.
  uint32_t next_reference = 1025;
  uint32_t folder_count = 0;
  uint32_t file_count = 0;
};

// What the listing side of a walk needs: which drive, where, and what to leave out.
struct WalkTarget {
  char16_t drive_letter = u'C';
  std::u16string root_path;
  const IWalkExclusions* exclusions = nullptr;
  Env* env = nullptr;  // required
  bool operator==(const WalkTarget& o) const {
    return drive_letter == o.drive_letter && root_path == o.root_path && exclusions == o.exclusions && env == o.env;
  }
};

// A walk's listing under way, not yet handed to a listener. Destroying it stops and
// joins its threads (nothing was changed then).
class WalkListing {
 public:
  struct State;  // defined by the walk
  explicit WalkListing(std::unique_ptr<State> state);
  ~WalkListing();
  const WalkTarget& target() const;
  // The root was listed: WalkDrive with this listing forgets the drive's items first.
  bool root_listed() const;

 private:
  friend WalkResult WalkDrive(WalkContext*, std::unique_ptr<WalkListing>);
  std::unique_ptr<State> state_;
};

// Lists the root now and starts the listing threads. early: the records will be taken
// only later (after an index load), so the listing may run further ahead meanwhile. A
// root that cannot be listed is reported by WalkDrive. target.exclusions must stay
// valid and unchanged while the listing lives.
std::unique_ptr<WalkListing> StartWalkListing(const WalkTarget& target, bool early);

// The whole walk of one drive (see above). started: a listing begun for the same
// target (drive, root and exclusions) to use instead of starting one; any other is
// dropped.
WalkResult WalkDrive(WalkContext* ctx, std::unique_ptr<WalkListing> started = nullptr);

}  // namespace nusk
