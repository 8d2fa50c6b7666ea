#pragma once
// BMP files (and the device-independent bitmaps inside icon files) to and
// from the program's 32-bit pixel layout. Run-length data that ends early
// keeps what it drew (the rest opaque black); other truncated data fails.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "drawing/pixels.h"
#include "images/load_failure.h"

namespace brek {
class Picture_shrink;
}

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

// Reads n bytes of a file image from byte `at` into `into`; false when it
// can not (the file ends before, or fails).
using Read_at = std::function<bool(uint64_t at, uint8_t* into, size_t n)>;

// The size of the picture of a BMP file image of `size` bytes, from its
// headers read through `read`, as decode() reads them (top-down rows
// counted as rows); false, `why` saying why, where decode() refuses them
// (a size past the caps among them).
bool picture_size(uint64_t size, const Read_at& read, int64_t& width, int64_t& height, Load_failure* why = nullptr);

// The picture of a BMP file image of `size` bytes, read through `read` a
// piece at a time, handed to `into` row by row, top row first, as its part
// wants them (those it passes over are not decoded): the pixels decode()
// gives, by its rules, and its failures, with neither the file nor the
// picture held whole. A few rows are held, and for run-length data where
// each row begins, found by a first pass over it; a picture whose alpha
// channel may be unused is read once in full to learn whether it is. False,
// `why` saying why where the file is at fault, for a file decode() refuses
// or that ends early, a part past the picture's edges, or when `go_on` said
// stop.
bool decode_rows_into(uint64_t size, const Read_at& read, Picture_shrink& into, Load_failure* why = nullptr,
                      const std::function<bool()>& go_on = {});

// A 24-bit bottom-up BMP file image of the picture's colours; with
// `alpha_as_grey` of its alpha channel instead (grey levels, 255 opaque).
// Empty for an empty picture.
std::vector<uint8_t> encode24(const Pixels& in, bool alpha_as_grey = false);

}  // namespace brek::Bmp_codec
