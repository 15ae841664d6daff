// The find sub-command: runs one query over the index of the home folder and prints the
// full path of every match, one per line, so the output can be piped; a summary line
// "Found %d items (%d ms)" goes to the terminal only (standard error when standard output
// is redirected). Ctrl-C ends the listing early; the summary still prints.
//
// Options, anywhere before "--": "-f" files only, "-0"/"--null" ends each path with a NUL,
// "--in FOLDER" scopes the search to a native folder (on Linux "/usr/lib"; "/" would start
// a switch inside the query), "-h"/"--help" prints the help text. Another word beginning
// with '-' is refused; after "--" every word is query text. The search itself is
// RunQuery (search/query_runner.h) in cursor order, hidden items included.
#pragma once
#include <functional>
#include <string>

#include "app/subcommands.h"
#include "settings/drive_map.h"

namespace nusk {

class Env;

extern const char kFindHelpText[];

// Where find writes and what it reads; the defaults are the process's own.
struct FindIo {
  std::function<void(std::u16string_view line)> result;  // one path with its line feed
  std::function<void(std::u16string_view text)> note;    // summary for the terminal
  std::function<void(std::string_view text)> error;      // problems, UTF-8, with line feed
  std::u16string home;                                   // database folder
  std::u16string settings_path;                          // "nusk.ini"
  DriveMap drives = DriveMap::Native();                  // index paths <-> shown paths
  Env* env = nullptr;                                    // the system; required
  // The process's own: its standard streams, home folder, drive map, and env.
  static FindIo Process(Env* env);
};

// Exit status: 0 after listing (also with no results or when interrupted), 1 when the
// database cannot be loaded (damaged files), 2 for unusable options or a switch value
// that cannot be read ("/size:>10k"), reported on the error stream.
int FindCommand(const Args& args, const FindIo& io);

}  // namespace nusk
