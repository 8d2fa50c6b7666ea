// A BMP file's picture read row by row for a picture made small
// (Picture_shrink), by the rules of the whole decode (bmp_dib.h), holding
// rows rather than the file or the picture.
#include <algorithm>
#include <vector>

#include "images/bmp_codec.h"
#include "images/bmp_dib.h"
#include "images/picture_fit.h"

namespace brek::Bmp_codec {

namespace {

using namespace Bmp_dib;
using K = load_failure_kind;
using Go_on = std::function<bool()>;

// Whether the work stops before row n of a pass.
bool stopped(const Go_on& go_on, int64_t n) { return (n & 255) == 0 && go_on && !go_on(); }

// The `available` bytes from `base` on, seen through a window that follows
// the reads (run-length data, walked forward within a row, and bottom-up
// rows read from the last): the bytes a pass needs, never all of them.
class Window {
 public:
  Window(const Read_at& read, uint64_t base, size_t available) : read_(read), base_(base), available_(available) {}
  bool has(size_t pos, size_t n) const { return pos + n <= available_; }
  // n bytes from pos, where has(pos, n); zeros once a read failed.
  const uint8_t* at(size_t pos, size_t n) {
    if (pos < start_ || pos + n > start_ + held_) fill(pos, n);
    return buffer_.data() + (pos - start_);
  }
  bool failed() const { return failed_; }

 private:
  static constexpr size_t SIZE = size_t(64) << 10;
  void fill(size_t pos, size_t n) {
    // Going back, the window reaches as far behind as ahead.
    start_ = pos < start_ ? pos - std::min(pos, SIZE / 2) : pos;
    held_ = std::min(std::max(SIZE, pos - start_ + n), available_ - start_);
    buffer_.resize(held_);
    if (!failed_ && read_(base_ + start_, buffer_.data(), held_)) return;
    failed_ = true;
    std::fill(buffer_.begin(), buffer_.end(), uint8_t(0));
  }
  const Read_at& read_;
  uint64_t base_;
  size_t available_;
  std::vector<uint8_t> buffer_;
  size_t start_ = 0, held_ = 0;
  bool failed_ = false;
};

// Uncompressed rows at [bits_at, bits_at + available), each read where it
// lies.
bool feed_rows(const Dib& dib, const Read_at& read, uint64_t bits_at, size_t available, Picture_shrink& into,
               Load_failure* why, const Go_on& go_on) {
  const int64_t stride = row_bytes(dib.width, dib.bpp);
  const int64_t last = (dib.width * dib.bpp + 7) / 8;  // the last row may lack its padding
  if (int64_t(available) < stride * (dib.height - 1) + last) return Load_failure::note(why, K::TRUNCATED);
  const Row_format format = row_format(dib, false);
  const int w = int(dib.width);
  std::vector<uint8_t> bytes(size_t(last), 0);
  std::vector<uint32_t> row(static_cast<size_t>(w));
  auto read_file_row = [&](int64_t f) { return read(bits_at + uint64_t(stride * f), bytes.data(), bytes.size()); };
  // An alpha channel that is zero everywhere is an unused one: known
  // before the first row is handed on.
  bool any_alpha = false;
  for (int64_t f = 0; format.use_alpha && !any_alpha && f < dib.height; ++f) {
    if (stopped(go_on, f)) return false;
    if (!read_file_row(f)) return Load_failure::note(why, K::TRUNCATED);
    read_row(dib, format, bytes.data(), row.data(), w, any_alpha);
  }
  const bool opaque = format.use_alpha && !any_alpha;
  for (int64_t y = into.first_row(); y < into.end_row(); ++y) {
    if (stopped(go_on, y)) return false;
    if (!into.wants(y)) {
      into.add_row(y, nullptr);
      continue;
    }
    if (!read_file_row(dib.top_down ? y : dib.height - 1 - y)) return Load_failure::note(why, K::TRUNCATED);
    bool seen = false;
    read_row(dib, format, bytes.data(), row.data(), w, seen);
    if (opaque)
      for (uint32_t& p : row) p |= 0xFF000000u;
    into.add_row(y, row.data());
  }
  return true;
}

// RLE4 and RLE8: a first pass notes where each row's commands begin, then
// each row wanted is decoded from there. Rows the data never reaches stay
// opaque black.
bool feed_rle(const Dib& dib, const Read_at& read, uint64_t bits_at, size_t available, Picture_shrink& into,
              Load_failure* why, const Go_on& go_on) {
  Window bytes(read, bits_at, available);
  const bool four = dib.compression == BI_RLE4;
  const int64_t w = dib.width, h = dib.height;
  constexpr size_t NONE = SIZE_MAX;
  std::vector<Rle_at> starts(size_t(h), Rle_at{NONE, 0, 0});
  Rle_at at;
  for (int64_t n = 0; at.y < h && !bytes.failed(); ++n) {
    if (stopped(go_on, n)) return false;
    starts[size_t(at.y)] = at;
    if (!rle_row(bytes, four, at, [](int64_t, uint8_t) {})) break;
  }
  std::vector<uint32_t> row(static_cast<size_t>(w));
  for (int64_t y = into.first_row(); y < into.end_row() && !bytes.failed(); ++y) {
    if (stopped(go_on, y)) return false;
    if (!into.wants(y)) {
      into.add_row(y, nullptr);
      continue;
    }
    std::fill(row.begin(), row.end(), OPAQUE_BLACK);
    Rle_at from = starts[size_t(dib.top_down ? y : h - 1 - y)];
    if (from.pos != NONE)
      rle_row(bytes, four, from, [&](int64_t x, uint8_t index) {
        if (x < w) row[size_t(x)] = dib.palette[index];
      });
    into.add_row(y, row.data());
  }
  return !bytes.failed() || Load_failure::note(why, K::TRUNCATED);
}

// The headers, read first: parse_file reads no further.
bool read_headers(uint64_t size, const Read_at& read, Dib& dib, size_t& bits_at, Load_failure* why) {
  std::vector<uint8_t> head(size_t(std::min<uint64_t>(size, 14 + HEADER_BYTES)));
  if (!head.empty() && !read(0, head.data(), head.size())) return Load_failure::note(why, K::TRUNCATED);
  return parse_file(head.data(), size_t(size), dib, bits_at, why);
}

}  // namespace

bool picture_size(uint64_t size, const Read_at& read, int64_t& width, int64_t& height, Load_failure* why) {
  Dib dib;
  size_t bits_at = 0;
  if (!read_headers(size, read, dib, bits_at, why)) return false;
  width = dib.width;
  height = dib.height;
  return true;
}

bool decode_rows_into(uint64_t size, const Read_at& read, Picture_shrink& into, Load_failure* why,
                      const Go_on& go_on) {
  Dib dib;
  size_t bits_at = 0;
  if (!read_headers(size, read, dib, bits_at, why)) return false;
  if (!into.ok() || into.end_column() > dib.width || into.end_row() > dib.height) return false;
  if (bits_at > size) return Load_failure::note(why, K::TRUNCATED);
  const size_t available = size_t(size) - bits_at;
  return dib.run_length() ? feed_rle(dib, read, bits_at, available, into, why, go_on)
                          : feed_rows(dib, read, bits_at, available, into, why, go_on);
}

}  // namespace brek::Bmp_codec
