#pragma once
// JPEG decoding and encoding over libjpeg-turbo, straight into the program's
// 32-bit pixel layout.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "drawing/pixels.h"
#include "runtime/exceptions.h"

namespace brek {

// A library error: the message is "JPEG error #<library message code>".
class E_Jpeg_error : public Brek_Exception {
 public:
  explicit E_Jpeg_error(int code);
  const char* class_name() const override { return "E_Jpeg_error"; }
  int code() const { return code_; }

 private:
  int code_;
};

namespace Jpeg_codec {

// Most progressive scans a file may hold; more is treated as malformed.
// Each scan passes over the whole picture, so a few bytes per scan could
// otherwise keep a large picture decoding for many seconds; encoders write
// a few dozen at most.
inline constexpr int MAX_SCANS = 100;

// Baseline files of at least this many pixels are decoded by two threads.
inline constexpr int64_t SPLIT_PIXELS = 4000000;

// Decodes a JPEG file image into `out` at 1/factor of its size (factor 2, 4
// or 8; any other value means full size; a remainder gives one more pixel).
// Greyscale, colour and CMYK/YCCK files give opaque pixels. Damaged or
// truncated data is decoded as far as it goes (the rest stays grey).
// False, with `out` empty, when the picture would be too large or has too
// many scans; library errors throw E_Jpeg_error. Baseline files of at least
// split_pixels pixels are decoded by two threads, to the same pixels.
bool decode(const uint8_t* data, size_t size, int factor, Pixels& out, int64_t split_pixels = SPLIT_PIXELS);

// Encodes the picture as a baseline JFIF file at the given quality (alpha is
// dropped). False for an empty picture; library errors throw E_Jpeg_error.
bool encode(const Pixels& in, int quality, std::vector<uint8_t>& out);

}  // namespace Jpeg_codec
}  // namespace brek
