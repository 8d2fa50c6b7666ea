#pragma once
// Colours: one 32-bit value, red in bits 0-7, green 8-15, blue 16-23 and
// alpha 24-31 (255 opaque), held in 64-bit integers sign-extended (opaque
// black is -16777216, opaque white -1). Pens, brushes and fonts take only
// the low 24 bits.

#include <cstdint>

namespace brek {

using Color = int64_t;

inline constexpr Color COLOR_BLACK = -16777216;  // 0xFF000000
inline constexpr Color COLOR_WHITE = -1;         // 0xFFFFFFFF

enum class rgba_order { R_G_B, B_G_R };
enum class rgba_items_of_color { R, G, B, A };

// The platform's scheme colours, in this order.
enum class system_color {
  ACTIVE_CAPTION,
  ACTIVE_GRADIENT,
  ACTIVE_BORDER,
  ACTIVE_TEXT,
  BUTTON,
  BUTTON_TEXT,
  BUTTON_HIGHLIGHT,
  BUTTON_SHADOW,
  DESKTOP,
  GRAY_TEXT,
  HELP,
  HELP_TEXT,
  INACTIVE_CAPTION,
  INACTIVE_GRADIENT,
  INACTIVE_BORDER,
  INACTIVE_TEXT,
  MENU,
  MENU_TEXT,
  MENU_HIGHLIGHT,
  SCROLLBAR,
  WINDOW,
  WINDOW_TEXT,
  WINDOW_FRAME,
  HIGHLIGHT,
  HIGHLIGHT_TEXT
};

namespace Colors {

// Builds a colour from its channels (sign-extended).
inline constexpr Color make(int red, int green, int blue, int alpha = 255) {
  uint32_t v = uint32_t(red & 0xFF) | uint32_t(green & 0xFF) << 8 | uint32_t(blue & 0xFF) << 16 |
               uint32_t(alpha & 0xFF) << 24;
  return static_cast<int32_t>(v);
}
// The 32 bits of a colour as they are stored (sign-extends again).
inline constexpr Color from_bits(uint32_t v) { return static_cast<int32_t>(v); }
inline constexpr int red(Color c) { return int(c & 0xFF); }
inline constexpr int green(Color c) { return int((c >> 8) & 0xFF); }
inline constexpr int blue(Color c) { return int((c >> 16) & 0xFF); }
inline constexpr int alpha(Color c) { return int((c >> 24) & 0xFF); }
// The low 24 bits, as pens and brushes take them.
inline constexpr uint32_t rgb(Color c) { return uint32_t(c) & 0xFFFFFF; }

// A pixel word of the picture layout (0xAARRGGBB) and back.
inline constexpr uint32_t to_pixel(Color c) {
  return uint32_t(alpha(c)) << 24 | uint32_t(red(c)) << 16 | uint32_t(green(c)) << 8 | uint32_t(blue(c));
}
inline constexpr Color from_pixel(uint32_t p) {
  return make(int((p >> 16) & 0xFF), int((p >> 8) & 0xFF), int(p & 0xFF), int(p >> 24));
}

// Dark when red + green + blue < 384; alpha does not count.
bool is_dark(Color c);
// Each colour channel halved (its low bit dropped) and summed; alpha the
// rounded-down mean.
Color average(Color a, Color b);
// percent of `first` and the rest of `second` in every channel; the
// percentage is held to 0..100 so channels never spill into each other.
Color blend(Color first, Color second, int64_t percent);
// The same hue and saturation with the lightness mirrored; alpha kept.
Color contrast(Color c);
// The platform's value of a scheme colour, alpha 0; items past the end
// give ACTIVE_CAPTION.
Color system(int64_t item);

}  // namespace Colors

// Hue, saturation and lightness (a group of plain operations).
namespace C_HSV {

struct hsl {
  double hue = 0;         // degrees, 0 <= hue < 360
  double saturation = 0;  // 0..1
  double lightness = 0;   // 0..1
};

void rgb_to_hsl(hsl& out, Color c);
// Alpha 0 in the result.
Color hsl_to_rgb(const hsl& v);
// v brought into 0 <= v < modulus, the fraction kept; 0 for a value or a
// modulus that is not a finite positive number.
double wrap_degrees(double modulus, double v);

}  // namespace C_HSV
}  // namespace brek
