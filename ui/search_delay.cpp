#include "ui/search_delay.h"

#include <algorithm>

namespace nusk {

int SearchDelayMs(int keyboard_speed) {
  const int s = std::clamp(keyboard_speed, 0, 31);
  const int period = 33 + (31 - s) * 367 / 31;
  return std::min(std::max(3 * period, 50), 300) / 5;
}

}  // namespace nusk
