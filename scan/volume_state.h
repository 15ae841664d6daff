// What the VolumeStates setting says of each drive, A: first.
#pragma once
#include <array>
#include <cstdint>

namespace nusk {

enum VolumeState : uint8_t {
  kVolumeSkipped = 0,     // the user unticked it: never built
  kVolumeSelected = 1,    // the user ticked it: built
  kVolumeUnlisted = 255,  // not named in the setting: built when it is a fixed drive
};

using VolumeStates = std::array<VolumeState, 26>;

}  // namespace nusk
