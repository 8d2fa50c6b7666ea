#pragma once
// LZW decompression of one GIF frame's image data into rows of pixel
// indexes.
//
// Output: `height` rows of `row_stride(width, bits_per_pixel)` bytes each
// (a multiple of 4), top row first, the GIF interlace order undone. Within
// a row, 8 bits: byte c is column c; 4 bits: column c is in byte c / 2, an
// even column in the low nibble; 1 bit: column c is bit c % 8 of byte c / 8,
// counted from the least significant bit. Pixels the data does not reach
// stay 0.
//
// Whole 8-bit frames (decompress_into) copy each code's run at once; other
// depths and damaged data walk the table code by code, and a chain longer
// than 4096 (a cycle in a corrupt table) ends the decode. Each row is a
// loop tick. decode_rows hands the rows on one at a time as they come,
// holding no more than one: a picture whose rows are used as they are
// decoded never has its indexes held whole.

#include <cstdint>
#include <functional>
#include <vector>

#include "runtime/dyn_array.h"
#include "runtime/object.h"

namespace brek {

class C_Memory_stream_contig;

class C_Lzw : public Brek_object {
  BREK_CLASS(C_Lzw)
 public:
  // The largest output one call produces (256 MiB).
  static constexpr int64_t MAX_OUTPUT_BYTES = int64_t(1) << 28;

  // Decodes the data sub-blocks that start at data[position] (the length
  // byte of the first sub-block, just after the minimum-code-size byte).
  // Gives an empty array, decoding nothing, when the minimum code size is
  // outside 2..8, the bits per pixel are not 1, 4 or 8, the width or height
  // is outside 1..65535 or the output would pass MAX_OUTPUT_BYTES (which
  // decode_rows, holding one row, does not ask).
  // Decoding ends at the end code, when the picture is full, at the
  // terminating zero-length sub-block or at the end of the data, whichever
  // comes first; bytes outside data[0..size) are never read.
  //
  // With `kept_rows` (1..height) only the first kept_rows rows are stored
  // and returned; the rest are decoded and passed over, so an interlaced
  // picture of which little is shown costs little memory.
  //
  // `go_on`, when given, is asked after each row whether the work is still
  // wanted: a worker told to stop ends within the frame. A stop gives an
  // empty array (decompress_into: false).
  using Go_on = std::function<bool()>;
  static DynAByte decompress(const uint8_t* data, int64_t size, int64_t position, bool interlaced,
                             int64_t min_code_size, int64_t bits_per_pixel, int64_t height,
                             int64_t width, int64_t kept_rows = -1, const Go_on& go_on = {});
  static DynAByte decompress(const DynAByte& data, int64_t position, bool interlaced,
                             int64_t min_code_size, int64_t bits_per_pixel, int64_t height,
                             int64_t width);

  // The same over memory streams: the data from its position (the length
  // byte of the first sub-block) to its size; the rows in a new stream at
  // position 0. The None stream when the arguments are refused.
  static Ref<C_Memory_stream_contig> decompress(const Ref<C_Memory_stream_contig>& data,
                                                bool interlaced, int64_t min_code_size,
                                                int64_t bits_per_pixel, int64_t height,
                                                int64_t width);

  // The 8-bit indexes of the same data written into out[0 .. width x
  // height), rows one after another without padding, top row first (the
  // caller's memory: no rows are allocated). False, writing nothing, when
  // the arguments are refused.
  static bool decompress_into(uint8_t* out, const uint8_t* data, int64_t size, int64_t position,
                              bool interlaced, int64_t min_code_size, int64_t height, int64_t width,
                              const Go_on& go_on = {});

  // The same rows handed to `row` one at a time as they are decoded, in
  // the data's order (an interlaced picture pass by pass), each as `width`
  // 8-bit indexes with its row number; only that one row is held. Rows the
  // data does not reach (or reaches in part) come last, their missing
  // pixels 0, as decompress leaves them. `go_on` is asked after each row
  // handed on. False when the arguments are refused (no row is handed on)
  // or go_on said stop.
  using Row_sink = std::function<void(int64_t y, const uint8_t* indexes)>;
  static bool decode_rows(const uint8_t* data, int64_t size, int64_t position, bool interlaced,
                          int64_t min_code_size, int64_t height, int64_t width, const Row_sink& row,
                          const Go_on& go_on = {});

  // Bytes per output row: whole 32-bit words.
  static int64_t row_stride(int64_t width, int64_t bits_per_pixel) {
    return (width * bits_per_pixel + 31) / 32 * 4;
  }

  // The row that follows `row` in the interlace order, advancing the pass;
  // at or beyond the height once every pass is done.
  int64_t next_interlaced_row(int64_t row);

 private:
  bool start(const uint8_t* data, int64_t size, int64_t position, bool interlaced, int64_t min_code_size,
             int64_t bits_per_pixel, int64_t height, int64_t width, int64_t kept_rows);
  void gather(const uint8_t* data, int64_t size, int64_t position);
  void decode_loop();
  bool decode_runs(uint8_t* out, int64_t total);
  void decode_linear(uint8_t* out);
  void to_picture_order(uint8_t* out);
  inline int next_code();
  inline int narrowest_codes();
  inline bool widen_codes(int next_free, int& limit);
  inline void emit(const uint8_t* s, int64_t n);
  inline void put_pixel(uint8_t index);
  void next_row();
  // A row is done: a loop tick, and whether the work goes on.
  bool row_done();
  // Whether the work goes on, asked between the rows of a pass over the
  // decoded rows (moving them into place).
  bool going_on();
  // decode_rows: the row the data ended in and those it never reached,
  // handed on with their missing pixels 0.
  void hand_on_the_rest();

  // The data sub-blocks' payload, joined.
  std::vector<uint8_t> bytes_;
  int64_t read_pos_ = 0;
  uint64_t bit_buffer_ = 0;
  int bits_held_ = 0;

  int min_code_size_ = 0;
  int code_width_ = 0;
  int code_mask_ = 0;
  int end_code_ = 0;

  // The decoder's state between its two loops: the code read and not yet
  // decoded, the previous code, the first index of the last string, the
  // next free table entry and the width limit.
  int code_ = 0;
  int previous_ = 0;
  uint8_t first_ = 0;
  int next_free_ = 0;
  int limit_ = 0;
  bool table_full_ = false;
  bool after_clear_ = true;

  uint8_t* out_ = nullptr;
  int64_t width_ = 0;
  int64_t height_ = 0;
  int64_t kept_rows_ = 0;
  int64_t column_ = 0;
  int64_t row_ = 0;
  int bits_per_pixel_ = 8;
  bool interlaced_ = false;
  int pass_ = 0;
  int64_t stride_ = 0;
  int64_t row_offset_ = 0;
  const Go_on* go_on_ = nullptr;
  bool stopped_ = false;
  // decode_rows: where each finished row goes; the one row is out_.
  const Row_sink* sink_ = nullptr;

  // The string table as prefix code and last index (walked backwards), and
  // as the place and length of each string in the output (copied as runs).
  uint16_t prefix_[4096] = {};
  uint8_t suffix_[4096] = {};
  uint32_t start_[4096] = {};
  uint16_t length_[4096] = {};
  uint8_t stack_[4100] = {};
};

}  // namespace brek
