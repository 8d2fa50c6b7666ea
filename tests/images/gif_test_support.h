#pragma once
// Building GIF data inside tests: LZW code streams, whole files, and the
// independent decoders the GIF reader is checked against. It needs no
// GoogleTest, so the fuzz seeds are built with it too.

#include <cstdint>
#include <string>
#include <vector>

#include "images/gif.h"
#include "drawing/pixels.h"

namespace gif_test {

// ---- LZW -------------------------------------------------------------------

// Packs codes least significant bit first at the widths a GIF decoder reads
// them (following its table as the codes define entries), into data
// sub-blocks of at most block_size bytes plus the zero-length terminator.
std::string pack_codes(const std::vector<int>& codes, int min_code_size, size_t block_size = 255,
                       bool terminator = true);

struct Lzw_options {
  bool initial_clear = true;    // begin with a clear code
  bool clear_when_full = true;  // a clear code when the table is full; else keep it (deferred)
  bool end_code = true;         // finish with the end code
};
// The codes of a plain LZW encoder for the indexes.
std::vector<int> lzw_codes(const std::vector<uint8_t>& indexes, int min_code_size,
                           Lzw_options options = {});

// The data sub-blocks (and terminator) of `pixels` pixels of one index,
// each run one pixel longer than the last (every code the string the
// table just made), so that a picture at the size limit takes a few
// hundred kilobytes and milliseconds.
std::string one_index_data(int64_t pixels, int index, int min_code_size);

// ---- whole files -------------------------------------------------------------

brek::Gif_palette grey_palette(int entries);
brek::Gif_palette make_palette(const std::vector<uint32_t>& rgb);  // 0xRRGGBB each

struct Frame_desc {
  int64_t left = 0, top = 0, width = 0, height = 0;
  std::vector<uint8_t> indexes;  // width * height, rows top first
  brek::Gif_palette local_palette;
  bool interlaced = false;
  int min_code_size = 0;  // 0: from the palette size (at least 2)
  Lzw_options lzw;
};

// An image of one index everywhere.
Frame_desc solid(int64_t left, int64_t top, int64_t w, int64_t h, uint8_t index);

// Writes a GIF file piece by piece.
class Gif_writer {
 public:
  Gif_writer& header(int64_t w, int64_t h, const brek::Gif_palette& global, int background = 0,
                     const char* version = "GIF89a");
  // disposal 0..7, delay in hundredths, transparent index or -1.
  Gif_writer& graphic_control(int disposal, int delay, int transparent = -1);
  Gif_writer& comment(const std::vector<std::string>& blocks);
  Gif_writer& looping(int count);
  Gif_writer& image(const Frame_desc& desc);
  // An image of one index everywhere, written by one_index_data: of any
  // size, its indexes never held.
  Gif_writer& one_index_image(int64_t left, int64_t top, int64_t w, int64_t h, int index, bool interlaced = false);
  Gif_writer& raw(const std::string& bytes);
  Gif_writer& trailer();
  const std::string& bytes() const { return out_; }

 private:
  std::string out_;
  int global_entries_ = 0;
};

std::string le16(int v);

// ---- independent decoding ----------------------------------------------------

// Frames decoded by giflib (DGifSlurp) and composed by the usual rules:
// the canvas starts as the background colour made opaque, disposal 2
// restores the background, 3 the picture before the frame, 0 and 1 leave
// the frame. Pixel words as in brek::Pixels.
struct Reference {
  bool ok = false;
  int64_t width = 0, height = 0;
  std::vector<std::vector<uint32_t>> composed;  // one per frame
  std::vector<std::vector<uint32_t>> raw;       // each frame alone, alpha 0 where transparent
  std::vector<int> disposals;
  std::vector<int> delays;  // hundredths
};
Reference giflib_decode(const std::string& bytes);

// ---- gifsicle ----------------------------------------------------------------

bool have_gifsicle();
// Runs gifsicle with the arguments (words); input and output are files.
bool run_gifsicle(const std::string& args);
std::string read_bytes(const std::string& path);

// A frame-sized difference report: empty when equal, else the first
// differing pixel.
std::string first_difference(const brek::Pixels& got, const std::vector<uint32_t>& want);

}  // namespace gif_test
