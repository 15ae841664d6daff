// The result list's zoom scale in percent.
#pragma once

namespace nusk {

inline constexpr int kZoomMin = 10;
inline constexpr int kZoomMax = 1400;
inline constexpr int kZoomDefault = 100;

// Clamps a stored or computed scale to 10..1400; 0 or less (absent) reads as 100.
int ClampZoom(int percent);
// One step up or down: 10 points below 100 %, 25 from 100 % up to 400 %, 100 beyond,
// clamped to the range.
int ZoomIn(int percent);
int ZoomOut(int percent);
// A size (font height, row height, column width) at the given scale, at least 1.
int ZoomedSize(int size_at_100, int percent);

}  // namespace nusk
