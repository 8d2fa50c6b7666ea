#pragma once
// BMP files (and the device-independent bitmaps inside icon files) to and
// from the program's 32-bit pixel layout.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "drawing/pixels.h"
#include "images/load_failure.h"

namespace brek::Bmp_codec {

// Decodes a BMP file image: core, info, V4 and V5 headers; 1, 4 and 8 bits
// with palettes, 16 bits (555 or bit fields), 24 and 32 bits, RLE4 and
// RLE8, bottom-up and top-down rows. False, with `out` empty, for anything
// malformed, truncated, unsupported or too large; `why` says which.
bool decode(const uint8_t* data, size_t size, Pixels& out, Load_failure* why = nullptr);

// Decodes a device-independent bitmap (header, palette, bits) that starts
// at `dib`. In an icon the header's height counts the AND mask too, which
// follows the colour bits, and 32-bit pixels carry alpha.
bool decode_dib(const uint8_t* dib, size_t size, bool icon, Pixels& out, Load_failure* why = nullptr);

// A 24-bit bottom-up BMP file image of the picture's colours; with
// `alpha_as_grey` of its alpha channel instead (grey levels, 255 opaque).
// Empty for an empty picture.
std::vector<uint8_t> encode24(const Pixels& in, bool alpha_as_grey = false);

}  // namespace brek::Bmp_codec
