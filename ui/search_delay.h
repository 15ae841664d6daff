// The search-as-you-type delay, derived from the keyboard repeat rate.
#pragma once

namespace nusk {

// Delay in ms of the search timer for the system keyboard-speed setting (0 slowest .. 31
// fastest; out-of-range values are clamped): period p = 33 + (31 - s) * 367 / 31,
// delay = min(max(3p, 50), 300) / 5. 19 ms at 31, 60 ms at 0.
int SearchDelayMs(int keyboard_speed);

}  // namespace nusk
