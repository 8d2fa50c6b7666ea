#pragma once
// Points (1/72 inch) and device pixels. Every size and position crosses the
// window seam in points; both sides convert with these two rules so that a
// round trip never drifts. Header-only: the native layer and the program
// share one copy of the arithmetic.

#include <cmath>
#include <cstdint>

namespace brek_platform {

// trunc(points x ppi / 72 + 0.000001), toward zero, as a 32-bit integer.
// Minus infinity gives 0 and plus infinity 1000000; NaN gives 0, and a
// result beyond the 32-bit range is clamped to it instead of reaching an
// undefined cast.
inline int32_t points_to_pixels(double points, double pixels_per_inch) {
  if (std::isnan(points) || std::isnan(pixels_per_inch)) return 0;
  if (std::isinf(points)) return points < 0 ? 0 : 1000000;
  double v = std::trunc(points * pixels_per_inch / 72.0 + 0.000001);
  if (std::isnan(v)) return 0;
  if (v >= 2147483647.0) return 2147483647;
  if (v <= -2147483648.0) return -2147483647 - 1;
  return static_cast<int32_t>(v);
}

// pixels / ppi x 72; a resolution of 0 or less gives 0 instead of infinity.
inline double pixels_to_points(double pixels, double pixels_per_inch) {
  if (!(pixels_per_inch > 0)) return 0.0;
  return pixels / pixels_per_inch * 72.0;
}

}  // namespace brek_platform
