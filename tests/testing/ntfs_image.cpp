#include "tests/testing/ntfs_image.h"

#include <cstdlib>
#include <filesystem>
#ifndef _WIN32
#include <unistd.h>
#endif

#include "platform/env.h"
#include "scan/mft_parser.h"
#include "util/utf.h"

namespace nusk::testing {

std::map<uint32_t, uint16_t> MftSequences(const std::string& image, bool in_use_only) {
  std::map<uint32_t, uint16_t> out;
  std::unique_ptr<RawVolume> volume;
  if (!Env::Default()->OpenRawVolume(FromUtf8(image), &volume).ok()) return out;
  MftParser parser(std::move(volume), nullptr);
  if (parser.LoadMFT() == 0) return out;
  parser.ReadMftRecords();
  for (uint32_t i = 0; i < parser.entry_count(); ++i)
    if (parser.entry(i).sequence != 0 && (parser.entry(i).in_use() || !in_use_only)) out[i] = parser.entry(i).sequence;
  return out;
}

bool NtfsMount::Possible(std::string* why) {
#ifdef _WIN32
  *why = "NTFS images are mounted on Linux (ntfs-3g)";
#else
  if (::geteuid() != 0) *why = "mounting needs root";
  else if (::access("/dev/fuse", R_OK | W_OK) != 0) *why = "no /dev/fuse";
  else if (std::system("command -v ntfs-3g >/dev/null 2>&1") != 0) *why = "ntfs-3g is not installed";
#endif
  return why->empty();
}

NtfsMount::NtfsMount(const std::string& image, const std::string& folder) : folder_(folder) {
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  mounted_ = std::system(("ntfs-3g '" + image + "' '" + folder + "'").c_str()) == 0;
}

void NtfsMount::Unmount() {
  if (mounted_)
    mounted_ = std::system(("fusermount -u '" + folder_ + "' 2>/dev/null || umount '" + folder_ + "'").c_str()) != 0;
}

}  // namespace nusk::testing
