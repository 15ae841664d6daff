// Where each drive letter of the index lives on this machine, and the conversion of
// index paths ("C:\usr\lib") to the paths shown to the user and back.
//
// Windows: the letters are the system's own drives and paths are shown as they are.
// POSIX: section `Drives` of "nusk.ini" maps a letter (key "C", value a path) to a folder
// (walked), an NTFS image file or a block device (read as NTFS). Without the section,
// drive C: is "/". A drive whose target is a folder is shown with its folder in place of
// the drive part ("C:\usr\lib" -> "/usr/lib"); other targets keep the letter ("E:/docs").
// A '\' inside a POSIX name is U+F05C in the index (platform/native_name.h), since '\'
// separates index folders: the file "/x/a\b" is "C:\x\a" U+F05C "b" in the index.
//
// A DriveMap is a value: loaded once, then read from any thread.
#pragma once
#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace nusk {

class Env;
class Profile;

class DriveMap {
 public:
  // Reads the map for the running system. On Windows the settings are not consulted.
  static DriveMap Load(const std::u16string& settings_path);
  static DriveMap Load(const std::u16string& settings_path, Profile* profile, Env* env);

  // A POSIX map from explicit targets (index 0 = A:); empty = no such drive.
  // folder[i] tells whether target i is a folder (shown in place of the drive part).
  static DriveMap FromTargets(const std::array<std::u16string, 26>& targets, const std::array<bool, 26>& folder);
  // The Windows map: every letter is itself.
  static DriveMap Native();

  // True on Windows, where letters are real drives.
  bool native_letters() const { return native_; }

  // The mapped letters in letter order ("CD"); on Windows empty (ask the system).
  std::u16string Letters() const;

  // Target of a letter (any case): the POSIX folder, image or device; on Windows "C:\".
  // Empty when the letter is not mapped.
  std::u16string Target(char16_t letter) const;
  // True when the letter's target is a folder (or on Windows, always).
  bool IsFolderTarget(char16_t letter) const;

  // Index path -> shown path. "C:" and "C:\" give the root itself; an unmapped letter
  // or a path without a drive part is returned unchanged.
  std::u16string ToNativePath(std::u16string_view index_path) const;
  // The same, appended to *out (a buffer reused for many paths allocates once).
  void AppendNativePath(std::u16string_view index_path, std::u16string* out) const;

  // Where an index path lives on this machine, split for opening without following links
  // below the drive (OpenBelow): the drive's folder ("C:\\" on Windows, the mapped folder
  // on POSIX) and the names below it, in index form. False for an unmapped letter or a
  // drive that is not a folder here (an image or a device).
  bool Locate(std::u16string_view index_path, std::u16string* root, std::vector<std::u16string>* names) const;

  // Shown path -> index path ("/usr/lib" -> "C:\usr\lib"), choosing the folder target
  // with the longest match on whole path components. False when no drive holds it.
  bool FromNativePath(std::u16string_view native_path, std::u16string* index_path) const;

 private:
  bool native_ = false;
  std::array<std::u16string, 26> targets_{};  // normalised: no trailing '/', except "/"
  std::array<bool, 26> folder_{};
};

}  // namespace nusk
