#include "ui/zoom.h"

#include <algorithm>
#include <cstdint>

namespace nusk {

namespace {
int StepAt(int percent, bool up) {
  // The step that leads away from percent in the given direction.
  if (up ? percent < 100 : percent <= 100) return 10;
  if (up ? percent < 400 : percent <= 400) return 25;
  return 100;
}
}  // namespace

int ClampZoom(int percent) { return percent <= 0 ? kZoomDefault : std::clamp(percent, kZoomMin, kZoomMax); }

int ZoomIn(int percent) {
  const int p = ClampZoom(percent);
  return ClampZoom(p + StepAt(p, true));
}

int ZoomOut(int percent) {
  const int p = ClampZoom(percent);
  return std::max(kZoomMin, p - StepAt(p, false));
}

int ZoomedSize(int size_at_100, int percent) {
  return std::max(1, int(int64_t(size_at_100) * ClampZoom(percent) / 100));
}

}  // namespace nusk
