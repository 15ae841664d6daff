// The drive map of the running system (kept apart so that code given its own Profile
// does not pull in the system's profile functions).
#include "platform/env.h"
#include "platform/profile.h"
#include "settings/drive_map.h"

namespace nusk {

DriveMap DriveMap::Load(const std::u16string& settings_path) {
  return Load(settings_path, Profile::Default(), Env::Default());
}

}  // namespace nusk
