#include "drawing/units.h"

#include <cmath>

#include "drawing/pixel_math.h"
#include "platform/native_forms.h"
#include "platform/painter.h"
#include "platform/units.h"

namespace brek::Draw_units {

int32_t to_pixels(double v, units_measure_graphics unit, int dpi) {
  if (!std::isfinite(v)) return 0;
  switch (unit) {
    case units_measure_graphics::POINTS: return Pixel_math::round_even(v / 72 * dpi);
    case units_measure_graphics::PIXELS: return Pixel_math::trunc(v);
    case units_measure_graphics::INCHES: return Pixel_math::round_even(v * dpi);
    case units_measure_graphics::CENTIMETERS: return Pixel_math::round_even(v / 2.54 * dpi);
  }
  return 0;
}

double from_pixels(double v, units_measure_graphics unit, int dpi) {
  if (!std::isfinite(v) || dpi <= 0) return 0;
  switch (unit) {
    case units_measure_graphics::POINTS: return v * 72 / dpi;
    case units_measure_graphics::PIXELS: return v;
    case units_measure_graphics::INCHES: return v / dpi;
    case units_measure_graphics::CENTIMETERS: return 2.54 * v / dpi;
  }
  return 0;
}

double device_pixel_ratio() { return brek_platform::device_pixel_ratio(); }

double screen_pixels_per_inch() { return brek_platform::device_pixels_per_inch(); }

int64_t screen_points_to_pixels(double points) {
  return brek_platform::points_to_pixels(points, screen_pixels_per_inch());
}

double screen_pixels_to_points(double pixels) {
  return brek_platform::pixels_to_points(double(Pixel_math::trunc(pixels)), screen_pixels_per_inch());
}

}  // namespace brek::Draw_units
