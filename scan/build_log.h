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

class BuildLog {
 public:
  BuildLog();
  ~BuildLog();

  // Opens home + "nusk.build.log": appending when append is set, else truncating.
  Status Open(const std::u16string& home, bool append);
  void Close();
  bool is_open() const;

  // Writes text and a line feed (text may itself hold line feeds). No effect when closed.
  void Line(std::string_view text);

  // Full path of the log in a home folder.
  static std::u16string PathIn(const std::u16string& home);

 private:
  mutable std::mutex mu_;
  std::unique_ptr<AppendFile> file_;
};

}  // namespace nusk
