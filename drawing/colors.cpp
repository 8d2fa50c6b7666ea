#include "drawing/colors.h"

#include <algorithm>
#include <cmath>

#include "baselib/mathematics.h"
#include "platform/painter.h"

namespace brek {

namespace {

// A channel value 0..1 to 0..255, truncated.
int channel(double v) {
  double c = v * 255;
  if (!(c > 0)) return 0;  // NaN too
  if (c >= 255) return 255;
  return int(c);
}

}  // namespace

namespace Colors {

bool is_dark(Color c) { return red(c) + green(c) + blue(c) < 384; }

Color average(Color a, Color b) {
  int al = (alpha(a) + alpha(b)) / 2;
  return make(red(a) / 2 + red(b) / 2, green(a) / 2 + green(b) / 2, blue(a) / 2 + blue(b) / 2, al);
}

Color blend(Color first, Color second, int64_t percent) {
  int p = int(std::clamp<int64_t>(percent, 0, 100));
  auto mix = [p](int a, int b) { return (a * p + b * (100 - p)) / 100; };
  return make(mix(red(first), red(second)), mix(green(first), green(second)), mix(blue(first), blue(second)),
              mix(alpha(first), alpha(second)));
}

Color contrast(Color c) {
  C_HSV::hsl v;
  C_HSV::rgb_to_hsl(v, c);
  v.lightness = 1 - v.lightness;
  Color back = C_HSV::hsl_to_rgb(v);
  return from_bits((uint32_t(back) & 0xFFFFFF) | (uint32_t(c) & 0xFF000000u));
}

Color system(int64_t item) {
  if (item < 0 || item >= 25) item = 0;
  return from_bits(brek_platform::system_color(int(item)) & 0xFFFFFF);
}

}  // namespace Colors

namespace C_HSV {

double wrap_degrees(double m, double v) {
  if (!std::isfinite(v) || !std::isfinite(m) || m <= 0) return 0;
  double r = std::fmod(v, m);
  if (r < 0) r += m;
  if (r >= m) r -= m;
  return r + 0.0;  // no negative zero
}

void rgb_to_hsl(hsl& out, Color c) {
  double r = Colors::red(c) / 255.0, g = Colors::green(c) / 255.0, b = Colors::blue(c) / 255.0;
  double mx = std::max({r, g, b}), mn = std::min({r, g, b});
  double delta = mx - mn;
  out = hsl{};
  if (Mathematics::approx_equal(delta, 0)) {
    out.hue = 0;
  } else if (Mathematics::approx_equal(r, mx)) {
    out.hue = wrap_degrees(360, 60 * (g - b) / delta);
  } else if (Mathematics::approx_equal(g, mx)) {
    out.hue = 60 * ((b - r) / delta + 2);
  } else {
    out.hue = 60 * ((r - g) / delta + 4);
  }
  out.lightness = (mx + mn) / 2;
  if (Mathematics::approx_equal(out.lightness, 0) || Mathematics::approx_equal(delta, 0)) {
    out.saturation = 0;
  } else if (out.lightness > 0.5) {
    out.saturation = delta / (2 - mx - mn);
  } else {
    out.saturation = delta / (2 * out.lightness);
  }
}

Color hsl_to_rgb(const hsl& v) {
  double l = v.lightness, s = v.saturation;
  double q = l < 0.5 ? l * (1 + s) : l + s - l * s;
  double p = 2 * l - q;
  double k = v.hue / 360;
  auto value = [&](double t) {
    if (t < 0) t += 1;
    if (t > 1) t -= 1;
    if (t < 1.0 / 6) return p + (q - p) * 6 * t;
    if (t < 0.5) return q;
    if (t >= 2.0 / 3) return p;
    return p + (q - p) * (2.0 / 3 - t) * 6;
  };
  return Colors::make(channel(value(k + 1.0 / 3)), channel(value(k)), channel(value(k - 1.0 / 3)), 0);
}

}  // namespace C_HSV
}  // namespace brek
