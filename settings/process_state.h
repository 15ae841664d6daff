// Process-wide start-up state: set once by start-up before any sub-command runs and
// read-only afterwards, except the cancel flag, which the console control handler sets.
#pragma once
#include <atomic>
#include <string>

namespace nusk {

struct ProcessState {
  std::u16string home_folder;      // database folder; always ends with the path separator
  std::u16string folder_override;  // normalised --dbdir value, empty when absent
  std::u16string settings_path;    // home_folder + "nusk.ini"
  bool newer_system = true;        // Windows 6.0 or later (always true on POSIX)
  std::atomic<bool> cancel_requested{false};  // set on Ctrl-C / SIGINT / SIGTERM, never cleared
};

// The one instance.
ProcessState& Process();

}  // namespace nusk
