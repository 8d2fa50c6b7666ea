#pragma once
// A font described by name, size in points and four attributes, owning a
// native font that is rebuilt only when the description changes.

#include <cstdint>
#include <string>

#include "platform/painter.h"
#include "runtime/object.h"

namespace brek {

class C_Canvas;

enum class font_attribute { BOLD, ITALIC, UNDERLINE, STRIKE };

class C_Font : public Brek_object {
  BREK_CLASS(C_Font)
 public:
  ~C_Font() override;

  int64_t native = 0;  // native font handle; 0 for none
  Ref<C_Canvas> canvas;
  std::string name;
  std::string applied_name;
  double size = 0;
  double applied_size = 0;
  bool applied_bold = false, applied_italic = false, applied_underline = false, applied_strike = false;
  bool bold = false, italic = false, underline = false, strike = false;

  // A font with that name and size, no attributes.
  static Ref<C_Font> new_font(const std::string& name, double size);

  void init() override;
  void destroy_hook() override;

  // Rebuilds the native font when the description changed since the last
  // build.
  void apply();
  // Attributes from upper-case letters anywhere in the text: "B" bold, "I"
  // italic, "U" underline, "S" strike; other characters are ignored.
  void set_style(const std::string& letters);
  // "B", "I", "U", "S" for the attributes set, in that order.
  std::string style_text() const;
  // Adds bold, keeping the other attributes; the same font.
  C_Font& add_bold();

  // The style bits of the attributes: bold 1, italic 2, underline 4, strike 8.
  int style_bits() const;
  // How the drawing layer asks for this font at `dpi`: the size truncated
  // to whole points, scaled to the device.
  brek_platform::Font_desc desc_at(int dpi) const;
};

// Creates and frees native fonts.
class C_Brek_font : public Brek_object {
  BREK_CLASS(C_Brek_font)
 public:
  // A native font of that name whose height is the size in screen pixels.
  static int64_t create_native(const C_Font& owner, const std::string& name, double size);
  static void free_native(int64_t native);
};

}  // namespace brek
