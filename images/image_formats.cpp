#include "images/image_formats.h"

namespace brek::Brek_drawing {

// ".jpeg" is a JPEG wherever ".jpg" is.
bool can_load_ext(const std::string& e) {
  return e == "BMP" || e == "JPG" || e == "JPEG" || e == "ICO" || e == "CUR" || e == "GIF";
}

bool can_save_ext(const std::string& e) { return e == "BMP" || e == "JPG" || e == "JPEG" || e == "GIF"; }

}  // namespace brek::Brek_drawing
