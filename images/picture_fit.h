#pragma once
// A picture made small for a view that shows it small: part of a picture
// averaged down (a box filter) to the few pixels a thumbnail, a cell or a
// dialog draws, from rows handed in one at a time, so that a decoder can
// feed it without ever holding the whole picture in 32 bits. Plain data:
// a worker thread may use it.

#include <cstdint>
#include <functional>
#include <string>

#include "drawing/pixels.h"
#include "images/load_failure.h"

namespace brek {

// Averages the part [x0, x1) x [y0, y1) of a picture down to w x h pixels
// (w <= x1 - x0, h <= y1 - y0): each output pixel is the mean of the
// picture's pixels behind it (of up to 16 x 16 evenly spread ones where
// more stand behind it), their colours weighted by their alpha. A part of
// the size itself is copied as it is: the picture read whole, row by row.
class Picture_shrink {
 public:
  Picture_shrink(int64_t x0, int64_t y0, int64_t x1, int64_t y1, int w, int h);
  // False when the part or the size is empty, the part is smaller than
  // the size, or no memory was had.
  bool ok() const { return ok_; }
  // The picture's rows the part covers.
  int64_t first_row() const { return y0_; }
  int64_t end_row() const { return y1_; }
  // The picture's columns the part ends before.
  int64_t end_column() const { return x1_; }
  // Whether row y of the picture is one the result reads.
  bool wants(int64_t y) const { return y >= y0_ && y < y1_ && (y - y0_) % step_y_ == 0; }
  // Row y of the picture (from its column 0); rows come top to bottom,
  // those outside the part or not wanted are passed over (and may be
  // nullptr).
  void add_row(int64_t y, const uint32_t* row);
  // The result once every row of the part was added; empty otherwise.
  Pixels take();
  // Whether some pixel added was not opaque.
  bool had_alpha() const { return alpha_; }

 private:
  void flush_row();

  static constexpr int64_t SAMPLES = 16;
  bool ok_ = false;
  bool copy_ = false;  // no reduction: rows are copied
  int64_t step_x_ = 1, step_y_ = 1;
  int64_t x0_ = 0, y0_ = 0, x1_ = 0, y1_ = 0;
  int w_ = 0, h_ = 0;
  std::vector<int> column_;    // the output column of each sampled column
  std::vector<uint64_t> sum_;  // per output column: blue, green, red (times alpha), alpha
  std::vector<uint32_t> count_;  // per output column: the sampled columns behind it
  int64_t rows_ = 0;              // picture rows added to the output row
  int out_row_ = 0;
  int64_t next_y_ = 0;
  bool alpha_ = false;
  Pixels out_;
};

namespace Picture_fit {

// The part (picture pixels) of a pw x ph picture whose mean fills w x h:
// the whole picture, or its central part with the proportions of w x h
// (rounded to whole pixels) when `crop`.
struct Part {
  int64_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};
Part part(int64_t pw, int64_t ph, int w, int h, bool crop);

// The part of a picture averaged down to w x h (see Picture_shrink); empty
// when that is not a reduction.
Pixels shrink(const Pixels& picture, const Part& part, int w, int h, bool* had_alpha = nullptr);

// Whether a decoder here reads the file's picture into its reduced form
// without the main thread: GIF and BMP by the file's extension.
bool decodes_reduced(const std::string& extension);

// Asked between rows whether the work is still wanted.
using Go_on = std::function<bool()>;

// The file's picture as a view shows it: the part of it averaged down to
// w x h. A GIF shows its first frame, composed on the logical screen
// without the screen being made whole in memory (its rows of palette
// indexes are); a BMP is read a piece at a time, the rows the reduction
// takes decoded one by one (Bmp_codec::decode_rows_into), so that neither
// the file nor the picture is held whole. False, `out` empty,
// when the file does not decode, the part is no reduction, the extension
// is not one of decodes_reduced's, or `go_on` said stop; `why` says why
// where the file is at fault.
bool decode_reduced(const std::string& file_name, const std::string& extension, const Part& part, int w, int h,
                    Pixels& out, bool& had_alpha, Load_failure* why = nullptr, const Go_on& go_on = {});

// The whole picture of a BMP file, read row by row as decode_reduced reads
// one (neither the file nor a second picture held), at the size the
// file's own headers give, whatever a header reader took it for. False,
// `out` empty, when the file does not decode or no memory is to be had
// for the picture (`why` says why), or `go_on` said stop.
bool decode_whole_bmp(const std::string& file_name, Pixels& out, bool& had_alpha, Load_failure* why = nullptr,
                      const Go_on& go_on = {});

}  // namespace Picture_fit

}  // namespace brek
