#pragma once
// The one way a real number becomes a pixel. NaN and infinities give 0 and
// huge values are held to +-PIXEL_LIMIT before the runtime's checked
// conversion, so no coordinate overflows the rasteriser's fixed-point range.

#include <cmath>
#include <cstdint>

#include "runtime/strings.h"

namespace brek::Pixel_math {

inline constexpr double PIXEL_LIMIT = 16777216.0;  // 2^24

inline double held(double v) {
  if (!std::isfinite(v)) return 0;
  if (v > PIXEL_LIMIT) return PIXEL_LIMIT;
  if (v < -PIXEL_LIMIT) return -PIXEL_LIMIT;
  return v;
}

// Round half to even (the processor's default rounding mode).
inline int32_t round_even(double v) {
  return static_cast<int32_t>(Brek_runtime::round_even_to_int64_checked(held(v)));
}
// Towards zero.
inline int32_t trunc(double v) { return Brek_runtime::to_int32_checked(held(v)); }
// Half away from zero.
inline int32_t round_away(double v) {
  return static_cast<int32_t>(Brek_runtime::round_to_int64_checked(held(v)));
}

}  // namespace brek::Pixel_math
