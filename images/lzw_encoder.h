#pragma once
// LZW compression of one GIF frame's palette indexes into GIF image data:
// the minimum-code-size byte, the codes packed least significant bit first
// into data sub-blocks of up to 255 bytes, and the zero-length terminator.

#include <cstdint>
#include <functional>
#include <vector>

namespace brek::RxGIF {

// Appends the image data of `width` x `height` indexes (one byte each,
// rows top first) to `out`. bits_per_pixel is 1, 4 or 8 (the minimum code
// size is 2, 4 or 8); index bits above it are ignored. Interlaced rows
// are written in the four-pass order. The code width grows as the table
// does and a clear code restarts the table before code 4094 would be
// taken, so codes never pass 12 bits. `progress` (may be empty) hears the
// percentage of rows done after each row.
void lzw_encode(std::vector<uint8_t>& out, const uint8_t* indexes, int64_t width, int64_t height,
                int bits_per_pixel, bool interlaced,
                const std::function<void(int64_t)>& progress = {});

// The minimum code size for a depth: 2 for 1 bit, else the depth.
inline int min_code_size(int bits_per_pixel) { return bits_per_pixel <= 2 ? 2 : bits_per_pixel; }

}  // namespace brek::RxGIF
