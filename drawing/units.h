#pragma once
// Units of measure of the drawing layer: the canvas's own conversion of
// points, pixels, inches and centimetres to device pixels (rounded half to
// even at the device's resolution), and the screen's conversion of points
// to whole pixels that windows and fonts use.

#include <cstdint>

namespace brek {

enum class units_measure_graphics { POINTS, PIXELS, INCHES, CENTIMETERS };

namespace Draw_units {

// A value in `unit` to device pixels at `dpi`: POINTS round(v / 72 x dpi),
// PIXELS trunc(v), INCHES round(v x dpi), CENTIMETERS round(v / 2.54 x dpi);
// not finite gives 0.
int32_t to_pixels(double v, units_measure_graphics unit, int dpi);
// Device pixels back to `unit` at `dpi`; not finite gives 0.
double from_pixels(double v, units_measure_graphics unit, int dpi);

// Device pixels per pixel of the window system (2 on a screen scaled by 2).
double device_pixel_ratio();
// What is painted for the screen is made of device pixels: the screen's
// pixels per inch times its device pixel ratio (a screen scaled by 2 has
// twice as many device pixels per inch as window pixels).
double screen_pixels_per_inch();
// The window layer's rule (platform/units.h) at the screen's device pixels
// per inch: trunc(points x ppi / 72 + 0.000001); minus infinity and NaN
// give 0, plus infinity 1000000.
int64_t screen_points_to_pixels(double points);
// Device pixels (truncated to whole ones first) to points.
double screen_pixels_to_points(double pixels);

}  // namespace Draw_units
}  // namespace brek
