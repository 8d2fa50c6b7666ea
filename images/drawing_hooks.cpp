#include "images/drawing_hooks.h"

#include <cstdint>
#include <string>
#include <vector>

#include "drawing/bitmap.h"
#include "images/icon_codec.h"
#include "images/image_file_io.h"

namespace brek::Drawing_hooks {

namespace {
bool read_icon_file(const std::string& path, Pixels& out, Load_failure* why) {
  std::vector<uint8_t> bytes;
  if (!Image_file_io::read_whole_file(path, bytes, why)) return false;
  return Icon_codec::decode(bytes.data(), bytes.size(), out, why);
}
}  // namespace

void install() { C_Icon::set_file_decoder(&read_icon_file); }

}  // namespace brek::Drawing_hooks
