// Helpers for tests over NTFS image files: the sequence numbers of their MFT records, and
// an ntfs-3g mount of an image for as long as a scope lasts.
#pragma once
#include <cstdint>
#include <map>
#include <string>

namespace nusk::testing {

// Sequence numbers of the image's MFT records by record number (records never used are
// left out); with in_use_only, of the records in use only. Empty when it cannot be read.
std::map<uint32_t, uint16_t> MftSequences(const std::string& image, bool in_use_only = false);

// The image mounted with ntfs-3g on folder (created when missing); unmounted, the folder
// kept, when it goes out of scope.
class NtfsMount {
 public:
  // False with *why where this machine cannot mount (not root, no /dev/fuse or ntfs-3g).
  static bool Possible(std::string* why);
  NtfsMount(const std::string& image, const std::string& folder);
  ~NtfsMount() { Unmount(); }
  NtfsMount(const NtfsMount&) = delete;
  NtfsMount& operator=(const NtfsMount&) = delete;
  bool mounted() const { return mounted_; }
  void Unmount();

 private:
  std::string folder_;
  bool mounted_ = false;
};

}  // namespace nusk::testing
