#include "search/present_drives.h"

#include "platform/env.h"
#include "platform/volume.h"

namespace nusk {

uint32_t PresentDrives(const DriveMap& drives, Env* env) {
  if (drives.native_letters()) return Volumes::Default()->LogicalDrives();
  uint32_t mask = 0;
  for (char16_t letter : drives.Letters()) {
    const std::u16string target = drives.Target(letter);
    if (env->FolderExists(target) || env->FileExists(target)) mask |= 1u << (letter - u'A');
  }
  return mask;
}

}  // namespace nusk
