// The drives present now, for "/online" and "/offline" (bit i = drive i, A: = bit 0).
#pragma once
#include <cstdint>

#include "settings/drive_map.h"

namespace nusk {

class Env;

// Windows: the system's logical drives. POSIX: the mapped letters whose target exists in env.
uint32_t PresentDrives(const DriveMap& drives, Env* env);

}  // namespace nusk
