// The clean sub-command: empties the database of the home folder, either completely (the
// database files are deleted) or for one drive (its items, and those of volumes mounted
// in its folders, leave the index, and its next build is a full scan). The running main
// windows of this program are then told that the database changed.
//
// Both forms take the build lock first, so a clean never runs under a build writing
// the same files.
#pragma once
#include <string>

#include "app/subcommands.h"
#include "platform/env.h"
#include "platform/profile.h"

namespace nusk {

struct CleanIo {
  Env* env = Env::Default();
  Profile* profile = Profile::Default();
  std::u16string home;
  std::u16string settings_path;
  bool notify_windows = true;
  static CleanIo Process();
};

// args: program, "clean" [, drive]. Exit status: 0 done; 1 a build is running, the index
// could not be loaded or written, or a file could not be deleted; 2 a drive argument that
// is not a letter A-Z (the usage text is printed).
int CleanCommand(const Args& args, const CleanIo& io);

// The whole database: deletes the index and mapping files of the home folder and the
// NuskIgnoreFolders settings section. False when any file could not be deleted.
bool CleanWholeDatabase(const CleanIo& io);

// One drive (letter 'A'..'Z'): forgets its items and resets its journal position and
// serial so its next build is a full scan, then writes the index.
Status CleanDrive(const CleanIo& io, char16_t letter);

}  // namespace nusk
