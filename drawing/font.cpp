#include "drawing/font.h"

#include <cmath>

#include "baselib/mathematics.h"
#include "drawing/pixel_math.h"
#include "drawing/units.h"

namespace brek {

C_Font::~C_Font() {
  if (native != 0) C_Brek_font::free_native(native);
}

Ref<C_Font> C_Font::new_font(const std::string& name, double size) {
  auto f = make<C_Font>();
  f->name = name;
  f->size = size;
  f->native = C_Brek_font::create_native(*f, name, size);
  return f;
}

void C_Font::init() {}

void C_Font::destroy_hook() {
  if (native != 0) C_Brek_font::free_native(native);
  native = 0;
  canvas.reset();
  Brek_object::destroy_hook();
}

void C_Font::apply() {
  if (is_none()) return;
  if (name == applied_name && Mathematics::approx_equal(size, applied_size) && bold == applied_bold &&
      italic == applied_italic && underline == applied_underline && strike == applied_strike)
    return;
  applied_bold = bold;
  applied_italic = italic;
  applied_underline = underline;
  applied_strike = strike;
  applied_name = name;
  applied_size = size;
  if (native != 0) C_Brek_font::free_native(native);
  native = C_Brek_font::create_native(*this, name, size);
}

void C_Font::set_style(const std::string& letters) {
  if (is_none()) return;
  bold = letters.find('B') != std::string::npos;
  italic = letters.find('I') != std::string::npos;
  underline = letters.find('U') != std::string::npos;
  strike = letters.find('S') != std::string::npos;
}

std::string C_Font::style_text() const {
  std::string s;
  if (bold) s += "B";
  if (italic) s += "I";
  if (underline) s += "U";
  if (strike) s += "S";
  return s;
}

C_Font& C_Font::add_bold() {
  set_style(style_text() + "B");
  return *this;
}

int C_Font::style_bits() const { return (bold ? 1 : 0) | (italic ? 2 : 0) | (underline ? 4 : 0) | (strike ? 8 : 0); }

brek_platform::Font_desc C_Font::desc_at(int dpi) const {
  brek_platform::Font_desc s;
  s.name = name;
  int points = Pixel_math::trunc(size);
  // The em height in pixels, rounded as the classic MulDiv does.
  s.pixel_size = Pixel_math::round_away(double(points) * dpi / 72);
  if (s.pixel_size < 1) s.pixel_size = 1;
  s.style = style_bits();
  return s;
}

int64_t C_Brek_font::create_native(const C_Font& owner, const std::string& name, double size) {
  brek_platform::Font_desc s;
  s.name = name;
  int64_t px = Draw_units::screen_points_to_pixels(size);
  s.pixel_size = int(px < 1 ? 1 : (px > 100000 ? 100000 : px));
  s.style = owner.style_bits();
  return brek_platform::font_create(s);
}

void C_Brek_font::free_native(int64_t native) {
  try {
    brek_platform::font_free(native);
  } catch (...) {
    // Freeing never fails the caller.
  }
}

}  // namespace brek
