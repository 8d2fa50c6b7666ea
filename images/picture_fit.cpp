// Pictures averaged down to what a view shows, and the decoders that feed
// them row by row.
#include "images/picture_fit.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "images/bmp_codec.h"
#include "images/gif.h"
#include "images/image_file_io.h"

namespace brek {

Picture_shrink::Picture_shrink(int64_t x0, int64_t y0, int64_t x1, int64_t y1, int w, int h)
    : x0_(x0), y0_(y0), x1_(x1), y1_(y1), w_(w), h_(h), next_y_(y0) {
  const int64_t pw = x1 - x0, ph = y1 - y0;
  if (w <= 0 || h <= 0 || pw < w || ph < h || x0 < 0 || y0 < 0) return;
  // Every picture pixel behind an output pixel counts up to 16 x 16 of
  // them; past that, evenly spread samples of them do.
  step_x_ = std::max<int64_t>(1, pw / w / SAMPLES);
  step_y_ = std::max<int64_t>(1, ph / h / SAMPLES);
  try {
    column_.resize(size_t((pw + step_x_ - 1) / step_x_));
    sum_.assign(size_t(w) * 4, 0);
    count_.assign(size_t(w), 0);
  } catch (const std::bad_alloc&) {
    return;
  }
  // The output column of each sampled column, and the samples behind each.
  for (size_t i = 0; i < column_.size(); ++i) ++count_[size_t(column_[i] = int(int64_t(i) * step_x_ * w / pw))];
  copy_ = pw == w && ph == h;
  // A copy writes every row as it comes: its memory is taken a row at a
  // time, so a decode stopped half way has touched only what it read.
  ok_ = copy_ ? out_.resize_unfilled(w, h) : out_.resize(w, h);
}

void Picture_shrink::add_row(int64_t y, const uint32_t* row) {
  if (!ok_ || y < next_y_ || y >= y1_) return;
  if (copy_) {
    // Rows passed over are opaque black.
    for (int64_t skipped = next_y_; skipped < y; ++skipped) std::fill_n(out_.row(int(skipped - y0_)), w_, 0xFF000000u);
    next_y_ = y + 1;
    uint32_t* o = out_.row(int(y - y0_));
    out_row_ = int(y - y0_) + 1;
    if (!row) {
      std::fill_n(o, w_, 0xFF000000u);
      return;
    }
    uint32_t all = 0xFF000000u;
    for (int x = 0; x < w_; ++x) all &= (o[x] = row[x0_ + x]);
    if ((all & 0xFF000000u) != 0xFF000000u) alpha_ = true;
    return;
  }
  next_y_ = y + 1;
  // The output row this picture row falls in; the one before is complete.
  const int target = int((y - y0_) * h_ / (y1_ - y0_));
  while (out_row_ < target) flush_row();
  if (wants(y) && row) {
    ++rows_;
    const uint32_t* p = row + x0_;
    uint32_t all = 0xFF000000u;
    for (size_t i = 0; i < column_.size(); ++i) {
      const uint32_t v = p[int64_t(i) * step_x_];
      const uint64_t a = v >> 24;
      all &= v;
      uint64_t* s = &sum_[size_t(column_[i]) * 4];
      s[0] += (v & 0xFF) * a;
      s[1] += ((v >> 8) & 0xFF) * a;
      s[2] += ((v >> 16) & 0xFF) * a;
      s[3] += a;
    }
    if ((all & 0xFF000000u) != 0xFF000000u) alpha_ = true;
  }
  if (next_y_ == y1_) flush_row();
}

void Picture_shrink::flush_row() {
  if (out_row_ >= h_) return;
  uint32_t* o = out_.row(out_row_++);
  for (int x = 0; x < w_; ++x) {
    uint64_t* s = &sum_[size_t(x) * 4];
    const uint64_t n = uint64_t(count_[size_t(x)]) * rows_;
    if (n == 0 || s[3] == 0) {
      o[x] = n == 0 ? 0xFF000000u : 0;
    } else {
      // Colours weighted by alpha, divided by the alpha they carry.
      auto c = [&](uint64_t v) { return uint8_t((v + s[3] / 2) / s[3]); };
      o[x] = Pixels::bgra(c(s[0]), c(s[1]), c(s[2]), uint8_t((s[3] + n / 2) / n));
    }
    s[0] = s[1] = s[2] = s[3] = 0;
  }
  rows_ = 0;
}

Pixels Picture_shrink::take() {
  if (!ok_ || next_y_ < y1_) return Pixels();
  while (out_row_ < h_) flush_row();
  ok_ = false;
  return std::move(out_);
}

namespace Picture_fit {

Part part(int64_t pw, int64_t ph, int w, int h, bool crop) {
  Part p{0, 0, pw, ph};
  if (!crop || pw <= 0 || ph <= 0 || w <= 0 || h <= 0) return p;
  // The largest part with the proportions of w x h, centred.
  const double s = std::min(double(pw) / w, double(ph) / h);
  const int64_t cw = std::clamp<int64_t>(std::llround(s * w), 1, pw);
  const int64_t ch = std::clamp<int64_t>(std::llround(s * h), 1, ph);
  p.x0 = (pw - cw) / 2;
  p.y0 = (ph - ch) / 2;
  p.x1 = p.x0 + cw;
  p.y1 = p.y0 + ch;
  return p;
}

Pixels shrink(const Pixels& picture, const Part& part, int w, int h, bool* had_alpha) {
  if (part.x1 > picture.width() || part.y1 > picture.height()) return Pixels();
  Picture_shrink s(part.x0, part.y0, part.x1, part.y1, w, h);
  for (int64_t y = s.first_row(); s.ok() && y < s.end_row(); ++y) s.add_row(y, picture.row(int(y)));
  if (had_alpha) *had_alpha = s.had_alpha();
  return s.take();
}

bool decodes_reduced(const std::string& extension) { return extension == ".gif" || extension == ".bmp"; }

namespace {

// Reads pieces of an open file.
Bmp_codec::Read_at reader_of(const Image_file_io::File_pieces& file) {
  return [&file](uint64_t at, uint8_t* into, size_t n) { return file.read(at, into, n); };
}

// A BMP file's rows read into `s`, and what it made of them.
bool bmp_rows_into(const Image_file_io::File_pieces& file, Picture_shrink& s, Pixels& out, bool& had_alpha,
                   Load_failure* why, const Go_on& go_on) {
  if (!s.ok() || !Bmp_codec::decode_rows_into(uint64_t(file.size()), reader_of(file), s, why, go_on)) return false;
  had_alpha = s.had_alpha();
  out = s.take();
  return !out.empty();
}

// Opens a BMP file and reads its picture's size from its headers.
bool open_bmp(Image_file_io::File_pieces& file, const std::string& file_name, int64_t& w, int64_t& h,
              Load_failure* why) {
  return file.open(file_name, why) && Bmp_codec::picture_size(uint64_t(file.size()), reader_of(file), w, h, why);
}

}  // namespace

bool decode_whole_bmp(const std::string& file_name, Pixels& out, bool& had_alpha, Load_failure* why,
                      const Go_on& go_on) {
  out.clear();
  had_alpha = false;
  Image_file_io::File_pieces file;
  int64_t w = 0, h = 0;
  if (!open_bmp(file, file_name, w, h, why)) return false;
  // A picture no longer wanted takes no memory.
  if (go_on && !go_on()) return false;
  // Copied as it is, row by row: the picture is the one thing made.
  Picture_shrink s(0, 0, w, h, int(w), int(h));
  if (!s.ok()) return Load_failure::no_memory(why);
  return bmp_rows_into(file, s, out, had_alpha, why, go_on);
}

bool decode_reduced(const std::string& file_name, const std::string& extension, const Part& part, int w, int h,
                    Pixels& out, bool& had_alpha, Load_failure* why, const Go_on& go_on) {
  out.clear();
  had_alpha = false;
  if (!decodes_reduced(extension)) return false;
  if (extension == ".bmp") {
    // Read in pieces, a row at a time: a BMP's rows lie where its header
    // says.
    Image_file_io::File_pieces file;
    if (!file.open(file_name, why)) return false;
    Picture_shrink s(part.x0, part.y0, part.x1, part.y1, w, h);
    return bmp_rows_into(file, s, out, had_alpha, why, go_on);
  }
  std::vector<uint8_t> bytes;
  if (!Image_file_io::read_whole_file(file_name, bytes, why)) return false;
  if (go_on && !go_on()) return false;
  Ref<C_Gif> gif = C_Gif::read_from_bytes(bytes.data(), int64_t(bytes.size()), false);
  bytes = std::vector<uint8_t>();
  if (part.x1 > gif->width() || part.y1 > gif->height()) return false;
  Picture_shrink s(part.x0, part.y0, part.x1, part.y1, w, h);
  if (!s.ok() || !gif->compose_first_frame(s, go_on)) return false;
  had_alpha = s.had_alpha();
  out = s.take();
  return !out.empty();
}

}  // namespace Picture_fit

}  // namespace brek
