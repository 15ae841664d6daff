// The build log "nusk.build.log" in the home folder: one line at a time, each written
// with its line feed and flushed at once, so a killed build leaves a readable log.
// Used by the build thread; the crash handler may write the last lines from another.
#pragma once
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "util/status.h"

namespace nusk {

class AppendFile;
class Env;

class BuildLog {
 public:
  BuildLog();
  ~BuildLog();

  // Opens home + "nusk.build.log" through env: appending when append is set, else
  // truncating. A log that cannot be opened fails with the system's text and leaves the
  // log closed (Line then writes nothing).
  Status Open(Env* env, const std::u16string& home, bool append);
  void Close();
  bool is_open() const;

  // Writes text and a line feed (text may itself hold line feeds). No effect when closed.
  void Line(std::string_view text);

  // Full path of the log in a home folder.
  static std::u16string PathIn(const std::u16string& home, Env* env);

  // Lines that could not be written since Open (a full disk, a log on a lost network
  // share); the build goes on without them and says so at its end.
  int failed_lines() const;

 private:
  mutable std::mutex mu_;
  std::unique_ptr<AppendFile> file_;
  int failed_lines_ = 0;
};

}  // namespace nusk
