#pragma once
// JPEG decoding and encoding over libjpeg-turbo, straight into the program's
// 32-bit pixel layout.
//
// A picture's size is checked against Pixels before anything is allocated
// (at its scaled size), the library may take at most 2 GB (progressive
// files' coefficients) and a file at most MAX_SCANS scans. A split decode
// takes the scan's start from the library while it still reads the file's
// own bytes, and checks every offset against the file's size. A part keeps
// a margin of one iMCU (edges lack the upsampling's context), three
// columns of them for progressive files.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "drawing/pixels.h"
#include "images/load_failure.h"
#include "runtime/exceptions.h"

namespace brek {

// A library error: the message is "JPEG error #<library message code>".
// Raised by a decode, it says what kind of failure the error means, and
// in plain words what the user needs told (that the file is no JPEG).
class E_Jpeg_error : public Brek_Exception {
 public:
  explicit E_Jpeg_error(int code, load_failure_kind kind = load_failure_kind::MALFORMED, std::string said = {});
  const char* class_name() const override { return "E_Jpeg_error"; }
  int code() const { return code_; }
  // The kind, with the plain words or else the message as its detail.
  Load_failure failure() const { return Load_failure{kind_, 0, said_.empty() ? message() : said_}; }

 private:
  int code_;
  load_failure_kind kind_;
  std::string said_;
};

namespace Jpeg_codec {

// Most progressive scans a file may hold; more is treated as malformed.
// Each scan passes over the whole picture, so a few bytes per scan could
// otherwise keep a large picture decoding for many seconds; encoders write
// a few dozen at most.
inline constexpr int MAX_SCANS = 100;

// Baseline files of at least this many pixels may be decoded by two
// threads (see second_decoder_row).
inline constexpr int64_t SPLIT_PIXELS = 4000000;

// Asked between rows, on each thread that decodes, whether a decode is
// still wanted: one that is no longer stops soon after.
using Go_on = std::function<bool()>;

// Decodes a JPEG file image into `out` at 1/factor of its size (factor 2, 4
// or 8; any other value means full size; a remainder gives one more pixel).
// Greyscale, colour and CMYK/YCCK files give opaque pixels. Damaged or
// truncated data is decoded as far as it goes (the rest stays grey).
// False, with `out` empty, when the picture would be too large or has too
// many scans; library errors throw E_Jpeg_error. Either way `why` says
// why first: a library error after the data ran out is a truncated file.
// Where second_decoder_row names a row, a second thread decodes from
// there, to the same pixels. A decode that `go_on` stops gives false, `out`
// empty and `why` untold: nothing is wrong with the file.
bool decode(const uint8_t* data, size_t size, int factor, Pixels& out, int64_t split_pixels = SPLIT_PIXELS,
            Load_failure* why = nullptr, const Go_on& go_on = {});

// The first row of the output at 1/factor that a second decoder gives when
// decode() splits the file, or 0 when one decoder reads it all. A second
// decoder must not read again what the first reads, so it takes over only
// at a restart marker that starts an MCU row near the middle (the coding
// starts afresh there), in a baseline file of at least split_pixels
// pixels whose markers are all in place above it.
int64_t second_decoder_row(const uint8_t* data, size_t size, int factor, int64_t split_pixels = SPLIT_PIXELS);

// A rectangle of a picture, in its pixels.
struct Part {
  int64_t x = 0, y = 0, w = 0, h = 0;
};

// Decodes at full size only the part of the picture around `want` (clipped
// to the picture), with a margin that keeps the edges of the part, which
// the library upsamples without their neighbours, out of `want`: inside
// `want` the pixels are decode()'s. The whole file is in `data`; decoding
// stops below the part, and only the part's columns are made into pixels.
// `got` is the part `out` holds, and `exact` (when asked) the part of it
// whose pixels are decode()'s: all of `want` on the picture and what lies
// as far from the part's edges as the margin. False (out empty) when
// nothing of `want` lies on the picture or the part would be too large;
// library errors throw E_Jpeg_error; `why` says why, as for decode().
bool decode_part(const uint8_t* data, size_t size, const Part& want, Pixels& out, Part& got,
                 Load_failure* why = nullptr, Part* exact = nullptr);

// Encodes the picture as a baseline JFIF file at the given quality (alpha is
// dropped). False for an empty picture; library errors throw E_Jpeg_error.
bool encode(const Pixels& in, int quality, std::vector<uint8_t>& out);

}  // namespace Jpeg_codec
}  // namespace brek
