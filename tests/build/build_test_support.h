// Helpers shared by the build tests: a home folder with drives mapped to fixture
// folders, running the build in this process or as the real program, and reading back
// what the database files hold.
#pragma once
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "scan/build_command.h"
#include "tests/testing/test_env.h"

namespace nusk::testing {

// True where fixture folders can stand for drive letters (the Drives section of the
// settings file). On Windows letters are the system's own, so tests that need fixture
// drives are skipped there (tests/build/wine_compare.sh covers a Wine drive letter).
bool FixtureDrivesSupported();

// A home folder (with its settings file) and fixture folders standing for drives.
class BuildFixture {
 public:
  BuildFixture();
  TempDir& home() { return home_; }
  TempDir& drives() { return drives_; }

  // Maps a letter to the fixture folder drives()/<folder>/ (created when missing).
  std::u16string MapDrive(char16_t letter, const std::u16string& folder);
  // Unpacks tests/data/ntfs/<name>.img.gz to drives()/<file> and returns its path.
  std::string UnpackImage(const std::string& name, const std::string& file);
  // Maps a letter to an NTFS image file (read with the MFT reader).
  void MapImage(char16_t letter, const std::string& image);
  // Writes key=value into the settings file.
  void SetSetting(const std::u16string& section, const std::u16string& key, const std::u16string& value);

  // Runs the build command in this process with the given options after "build".
  int RunInProcess(const std::vector<std::u16string>& options, const std::atomic<bool>* cancel = nullptr);

  // Path of the real program.
  static std::u16string Program();
  std::vector<std::u16string> ProgramArgs(const std::vector<std::u16string>& options) const;

  // Every item of the written database: "D:\a\b.txt" -> (size form, time, folder).
  struct Item {
    uint32_t size = 0;
    uint32_t time = 0;
    bool folder = false;
  };
  std::map<std::u16string, Item> Items();
  std::string ReadLog();

 private:
  TempDir home_;
  TempDir drives_;
  std::array<std::u16string, 26> targets_{};
  std::array<bool, 26> folder_{};
  std::unique_ptr<DriveSystem> system_;
};

}  // namespace nusk::testing
