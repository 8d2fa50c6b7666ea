#pragma once
// The image-file routines of the native drawing layer: which extensions
// load and save natively.

#include <string>

namespace brek::Brek_drawing {

// Extension without its dot, upper-cased by the caller: "BMP", "JPG",
// "JPEG", "ICO", "CUR" and "GIF" load.
bool can_load_ext(const std::string& extension);

// Extension without its dot, exactly as the caller gives it: "BMP", "JPG",
// "JPEG" and "GIF" save.
bool can_save_ext(const std::string& extension);

}  // namespace brek::Brek_drawing
