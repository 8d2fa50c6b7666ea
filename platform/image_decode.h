#pragma once
// Image decoding the program leaves to the platform. No Qt types here.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace brek_platform {

// A decoded picture: width x height words 0xAARRGGBB (not premultiplied),
// rows top-down.
struct Decoded_image {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
};

// Decodes a PNG file image. False, with `out` empty, when the data is not a
// PNG, is damaged, or has more than max_pixels pixels (checked before
// anything is decoded).
bool decode_png(const uint8_t* data, size_t size, int64_t max_pixels, Decoded_image& out);

}  // namespace brek_platform
