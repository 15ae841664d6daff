// Helpers shared by the build tests: a home folder with drives mapped to fixture
// folders, running the build in this process or as the real program, and reading back
// what the database files and the build log hold.
#pragma once
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "index/nusk_db_writer.h"
#include "platform/process.h"
#include "scan/build_command.h"
#include "tests/testing/test_env.h"

namespace nusk::testing {

// True where fixture folders can stand for drive letters (the Drives section of the
// settings file). On Windows letters are the system's own, so tests that need fixture
// drives are skipped there (tests/build/wine_compare.sh covers a Wine drive letter).
bool FixtureDrivesSupported();

#define REQUIRE_FIXTURE_DRIVES() \
  if (!::nusk::testing::FixtureDrivesSupported()) GTEST_SKIP() << "drive letters are the system's own here"

// The environment of a build of home over the given drives, as the program sets it up.
BuildEnvironment MakeBuildEnvironment(const std::u16string& home, DriveSystem* drives, Env* env);

// Each step must appear in text after the one before it.
void ExpectInOrder(const std::string& text, const std::vector<std::string>& steps);

// A home folder (with its settings file) and fixture folders standing for drives.
class BuildFixture {
 public:
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

  // Runs the build command in this process with the given options after "build", on
  // env (null: the real system).
  int RunInProcess(const std::vector<std::u16string>& options, const std::atomic<bool>* cancel = nullptr,
                   Env* env = nullptr);

  // Path of the real program, and its arguments for a build of this home.
  static std::u16string Program();
  std::vector<std::u16string> ProgramArgs(const std::vector<std::u16string>& options) const;
  // Runs the real program's build to its end; its console text with CR LF read as LF.
  ChildResult RunProgram(const std::vector<std::u16string>& options);

  // Every item of the written database: "D:\a\b.txt" -> (size form, time, folder).
  struct Item {
    uint32_t size = 0;
    uint32_t time = 0;
    bool folder = false;
    bool operator==(const Item&) const = default;
  };
  std::map<std::u16string, Item> Items();
  // The index opened for writing (drive and mount states), or null with a failure.
  std::unique_ptr<NuskDbWriter> Writer();
  // The settings file, the build log, a database file ("" when missing).
  std::u16string SettingsPath() { return home_.path() + u"nusk.ini"; }
  std::string ReadLog() { return HomeFile(u"nusk.build.log"); }
  std::string HomeFile(const std::u16string& name);

 private:
  TempDir home_;
  TempDir drives_;
  std::array<std::u16string, 26> targets_{};
  std::array<bool, 26> folder_{};
  std::unique_ptr<DriveSystem> system_;
};

}  // namespace nusk::testing
