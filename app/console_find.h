// The find sub-command: runs one query over the index of the home folder and prints the
// full path of every match, one per line, so the output can be piped; a summary line
// "Found %d items (%d ms)" goes to the terminal only (standard error when standard output
// is redirected). Ctrl-C ends the listing early; the summary still prints.
//
// Options before the query words: "--in FOLDER" scopes the search to a native folder
// (on Linux "/usr/lib"; "/" would start a switch inside the query), "--help" prints the
// help text, "--" ends the options. Every other word is query text.
#pragma once
#include <functional>
#include <string>

#include "app/subcommands.h"
#include "settings/drive_map.h"

namespace nusk {

extern const char kFindHelpText[];

// Where find writes and what it reads; the defaults are the process's own.
struct FindIo {
  std::function<void(std::u16string_view line)> result;  // one path with its line feed
  std::function<void(std::u16string_view text)> note;     // summary for the terminal
  std::function<void(std::string_view text)> error;       // problems, UTF-8, with line feed
  std::u16string home;                                    // database folder
  std::u16string settings_path;                           // "nusk.ini"
  DriveMap drives = DriveMap::Native();                   // index paths <-> shown paths
  static FindIo Process();
};

// Exit status: 0 after listing (also with no results or when interrupted), 1 when the
// database cannot be loaded (damaged files), 2 for unusable options.
int FindCommand(const Args& args, const FindIo& io);

}  // namespace nusk
