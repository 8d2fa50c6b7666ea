#pragma once
// Colour reduction to 8 bits per pixel: a picture of any number of colours
// becomes a palette of 256 entries and one palette index per pixel, by one
// of six mapping methods. The GIF writer uses the histogram method, or the
// grey ramp for frames marked grayscale. The histogram counts the colours
// that occur (in a direct table where the masks keep few bits) and gives
// each entry the mean of its pixels, not the masked-down colour, which
// would darken the picture.

#include <array>
#include <cstdint>
#include <vector>

#include "drawing/pixels.h"

namespace brek {

// How colours are mapped to the 256 entries.
enum class mapping_method {
  HISTOGRAM,     // the most frequent colours, the rest to the nearest of them
  BOX_SPLIT,     // boxes of colour space split at their median
  FIXED_224,     // 7 red x 8 green x 4 blue levels
  FIXED_216,     // 6 levels of each channel
  CHANNEL_RAMPS, // one channel per pixel, by position
  GRAYSCALE      // the grey ramp
};

struct Rgb_entry {
  uint8_t red = 0;
  uint8_t green = 0;
  uint8_t blue = 0;
  bool operator==(const Rgb_entry&) const = default;
};

// An 8-bit picture: indexes into a palette of 256 entries, one byte per
// pixel, rows top first without padding.
struct Indexed_bitmap {
  int width = 0;
  int height = 0;
  std::array<Rgb_entry, 256> palette{};
  // Entries that hold colours of the method (the rest are filler); 256
  // for the histogram and grey methods.
  int used_colors = 0;
  std::vector<uint8_t> indexes;

  bool empty() const { return indexes.empty(); }
  uint8_t at(int x, int y) const { return indexes[size_t(y) * size_t(width) + size_t(x)]; }
};

namespace RxGraph {

// The method used unless a frame asks for grey.
inline constexpr mapping_method default_mapping_method = mapping_method::HISTOGRAM;

// The picture's colours (alpha is not carried over) reduced by the method;
// an empty result for an empty picture.
Indexed_bitmap reduce_to_8bit(const Pixels& source, mapping_method method);

// The histogram's limit: colours counted before channel bits are given up.
inline constexpr int HISTOGRAM_ENTRIES = 2049;

}  // namespace RxGraph

}  // namespace brek
