#include "images/lzw.h"

#include <algorithm>
#include <cstring>

#include "baselib/memory_stream.h"
#include "runtime/runtime_services.h"

namespace brek {

namespace {
// A chain longer than this can only come from a corrupt table (a cycle).
constexpr int64_t kMaxChain = 4096;
}  // namespace

DynAByte C_Lzw::decompress(const DynAByte& data, int64_t position, bool interlaced,
                           int64_t min_code_size, int64_t bits_per_pixel, int64_t height,
                           int64_t width) {
  return decompress(data.data(), data.count(), position, interlaced, min_code_size,
                    bits_per_pixel, height, width);
}

Ref<C_Memory_stream_contig> C_Lzw::decompress(const Ref<C_Memory_stream_contig>& data,
                                              bool interlaced, int64_t min_code_size,
                                              int64_t bits_per_pixel, int64_t height,
                                              int64_t width) {
  DynAByte rows = decompress(data->data.data(), std::min(data->used(), data->data.count()), data->pos(),
                             interlaced, min_code_size, bits_per_pixel, height, width);
  if (rows.empty()) return Ref<C_Memory_stream_contig>();
  Ref<C_Memory_stream_contig> out = C_Memory_stream_contig::create();
  int64_t n = rows.count();
  out->data = std::move(rows);
  out->set_size(n);
  return out;
}

bool C_Lzw::start(const uint8_t* data, int64_t size, int64_t position, bool interlaced, int64_t min_code_size,
                  int64_t bits_per_pixel, int64_t height, int64_t width, int64_t kept_rows) {
  if (min_code_size < 2 || min_code_size > 8) return false;
  if (bits_per_pixel != 1 && bits_per_pixel != 4 && bits_per_pixel != 8) return false;
  if (width < 1 || width > 65535 || height < 1 || height > 65535) return false;
  stride_ = row_stride(width, bits_per_pixel);
  if (!sink_ && stride_ * height > MAX_OUTPUT_BYTES) return false;
  min_code_size_ = static_cast<int>(min_code_size);
  code_width_ = min_code_size_ + 1;
  code_mask_ = (1 << code_width_) - 1;
  end_code_ = (1 << min_code_size_) + 1;
  next_free_ = (1 << min_code_size_) + 2;
  limit_ = 1 << code_width_;
  width_ = width;
  height_ = height;
  kept_rows_ = kept_rows < 1 || kept_rows > height ? height : kept_rows;
  bits_per_pixel_ = static_cast<int>(bits_per_pixel);
  interlaced_ = interlaced;
  if (data && size > 0) gather(data, size, position);
  return true;
}

DynAByte C_Lzw::decompress(const uint8_t* data, int64_t size, int64_t position, bool interlaced,
                           int64_t min_code_size, int64_t bits_per_pixel, int64_t height,
                           int64_t width, int64_t kept_rows, const Go_on& go_on) {
  DynAByte out;
  Ref<C_Lzw> lzw = make<C_Lzw>();
  C_Lzw& z = *lzw;
  if (!z.start(data, size, position, interlaced, min_code_size, bits_per_pixel, height, width, kept_rows))
    return out;
  if (go_on) z.go_on_ = &go_on;
  if (z.bits_per_pixel_ == 8 && z.kept_rows_ == height) {
    out.set_length(z.stride_ * height);
    z.decode_linear(out.data());
    if (z.stopped_) out = DynAByte();
    return out;
  }
  // Rows that are not kept all go to one spare row after the kept ones,
  // cut off at the end: the decoding loop needs no test of its own.
  const int64_t rows = z.kept_rows_ < height ? z.kept_rows_ + 1 : height;
  out.set_length(z.stride_ * rows);
  z.out_ = out.data();
  z.code_ = z.next_code();
  z.decode_loop();
  if (z.stopped_) return DynAByte();
  if (rows != z.kept_rows_) out.set_length(z.stride_ * z.kept_rows_);
  return out;
}

bool C_Lzw::decompress_into(uint8_t* out, const uint8_t* data, int64_t size, int64_t position,
                            bool interlaced, int64_t min_code_size, int64_t height, int64_t width,
                            const Go_on& go_on) {
  Ref<C_Lzw> lzw = make<C_Lzw>();
  C_Lzw& z = *lzw;
  if (!out || !z.start(data, size, position, interlaced, min_code_size, 8, height, width, -1)) return false;
  if (go_on) z.go_on_ = &go_on;
  std::memset(out, 0, static_cast<size_t>(width * height));
  z.stride_ = width;
  z.decode_linear(out);
  return !z.stopped_;
}

bool C_Lzw::decode_rows(const uint8_t* data, int64_t size, int64_t position, bool interlaced, int64_t min_code_size,
                        int64_t height, int64_t width, const Row_sink& row, const Go_on& go_on) {
  Ref<C_Lzw> lzw = make<C_Lzw>();
  C_Lzw& z = *lzw;
  z.sink_ = &row;
  if (!row || !z.start(data, size, position, interlaced, min_code_size, 8, height, width, -1)) return false;
  if (go_on) z.go_on_ = &go_on;
  // Every row is decoded into the one row, which goes on once full: the
  // table is walked code by code (a run cannot be copied from a row gone).
  std::vector<uint8_t> line(static_cast<size_t>(width), 0);
  z.out_ = line.data();
  z.code_ = z.next_code();
  z.decode_loop();
  z.hand_on_the_rest();
  return !z.stopped_;
}

void C_Lzw::hand_on_the_rest() {
  while (!stopped_ && row_ < height_) {
    std::memset(out_ + column_, 0, static_cast<size_t>(width_ - column_));
    next_row();
  }
}

// Joins the payload of the sub-blocks, up to the zero-length terminator or
// the end of the data; a length byte that claims more than is left is cut.
void C_Lzw::gather(const uint8_t* data, int64_t size, int64_t position) {
  if (position < 0) position = 0;
  bytes_.reserve(static_cast<size_t>(std::max<int64_t>(0, size - position)));
  int64_t p = position;
  while (p < size) {
    int64_t n = data[p++];
    if (n == 0) break;
    n = std::min(n, size - p);
    bytes_.insert(bytes_.end(), data + p, data + p + n);
    p += n;
  }
}

// Codes are packed least significant bit first. When the data ends before
// a whole code, the end code is given: a truncated frame ends cleanly.
inline int C_Lzw::next_code() {
  if (bits_held_ < code_width_) {
    const int64_t n = static_cast<int64_t>(bytes_.size());
    if (read_pos_ + 8 <= n) {
      // Whole bytes up to 56 bits held, in one load.
      uint64_t v;
      std::memcpy(&v, bytes_.data() + read_pos_, 8);
      const int take = (63 - bits_held_) >> 3;
      const int held = bits_held_ + take * 8;
      bit_buffer_ |= (v << bits_held_) & ((uint64_t(1) << held) - 1);
      read_pos_ += take;
      bits_held_ = held;
    } else {
      while (bits_held_ <= 56 && read_pos_ < n) {
        bit_buffer_ |= uint64_t(bytes_[static_cast<size_t>(read_pos_++)]) << bits_held_;
        bits_held_ += 8;
      }
      if (bits_held_ < code_width_) return end_code_;
    }
  }
  int code = static_cast<int>(bit_buffer_ & static_cast<uint64_t>(code_mask_));
  bit_buffer_ >>= code_width_;
  bits_held_ -= code_width_;
  return code;
}

int64_t C_Lzw::next_interlaced_row(int64_t row) {
  static const int kStep[4] = {8, 8, 4, 2};
  int64_t next = row + kStep[pass_ & 3];
  if (next < height_) return next;
  if (pass_ == 0) {
    pass_ = 1;
    if (height_ > 4) return 4;
  }
  if (pass_ == 1) {
    pass_ = 2;
    if (height_ > 2) return 2;
  }
  if (pass_ == 2) {
    pass_ = 3;
    return 1;
  }
  return next;
}

void C_Lzw::next_row() {
  if (sink_) (*sink_)(row_, out_);
  column_ = 0;
  row_ = interlaced_ ? next_interlaced_row(row_) : row_ + 1;
  row_offset_ = sink_ ? 0 : std::min(row_, kept_rows_) * stride_;
  if (!row_done()) row_ = height_;  // ends the loop
}

bool C_Lzw::row_done() {
  Brek_runtime::loop_tick();
  return going_on();
}

bool C_Lzw::going_on() {
  if (go_on_ && !stopped_ && !(*go_on_)()) stopped_ = true;
  return !stopped_;
}

// Stores one index at the current place. Indexes wider than the depth are
// cut to it, so that they never spill into the neighbouring pixels.
inline void C_Lzw::put_pixel(uint8_t index) {
  if (row_ >= height_) return;
  uint8_t* p = out_ + row_offset_;
  switch (bits_per_pixel_) {
    case 8:
      p[column_] = index;
      break;
    case 4:
      if ((column_ & 1) == 0)
        p[column_ >> 1] = index & 0x0F;
      else
        p[column_ >> 1] |= static_cast<uint8_t>((index & 0x0F) << 4);
      break;
    case 1:
      if ((column_ & 7) == 0)
        p[column_ >> 3] = index & 1;
      else
        p[column_ >> 3] |= static_cast<uint8_t>((index & 1) << (column_ & 7));
      break;
    default:
      break;
  }
  if (++column_ == width_) next_row();
}

inline void C_Lzw::emit(const uint8_t* s, int64_t n) {
  if (bits_per_pixel_ != 8) {
    for (int64_t i = 0; i < n && row_ < height_; ++i) put_pixel(s[i]);
    return;
  }
  while (n > 0 && row_ < height_) {
    int64_t k = std::min(n, width_ - column_);
    uint8_t* d = out_ + row_offset_ + column_;
    // Strings are mostly short: a plain loop beats a library call.
    if (k <= 16) {
      for (int64_t i = 0; i < k; ++i) d[i] = s[i];
    } else {
      std::memcpy(d, s, static_cast<size_t>(k));
    }
    s += k;
    n -= k;
    column_ += k;
    if (column_ == width_) next_row();
  }
}

// After a clear code: codes one bit wider than the literals; the first
// entry that needs a wider code.
inline int C_Lzw::narrowest_codes() {
  code_width_ = min_code_size_ + 1;
  code_mask_ = (1 << code_width_) - 1;
  return 1 << code_width_;
}

// After an entry was added: codes grow a bit when the table reaches their
// limit, up to 12 bits. True once entry 4095 is taken: no new entries until
// the next clear code.
inline bool C_Lzw::widen_codes(int next_free, int& limit) {
  if (next_free < limit) return false;
  if (code_width_ <= 11) {
    ++code_width_;
    limit = 1 << code_width_;
    code_mask_ = limit - 1;
  }
  return next_free >= limit;
}

// The general loop: any depth, interlaced rows, kept rows, and whatever a
// damaged stream holds. Each code's string is walked back through the
// prefix table onto a stack and emitted from there.
void C_Lzw::decode_loop() {
  const int literal_mask = (1 << min_code_size_) - 1;
  const int clear_code = literal_mask + 1;
  const int end_code = clear_code + 1;
  int next_free = next_free_;
  int limit = limit_;
  int previous = previous_;
  uint8_t first = first_;
  bool table_full = table_full_;
  bool after_clear = after_clear_;
  uint8_t* const stack_end = stack_ + sizeof(stack_);

  int code = code_;
  for (;;) {
    if (code == end_code || row_ >= height_) return;
    if (code == clear_code) {
      limit = narrowest_codes();
      next_free = clear_code + 2;
      table_full = false;
      after_clear = true;
      code = next_code();
      continue;
    }
    if (after_clear) {
      // The first code after a clear stands for one pixel.
      after_clear = false;
      previous = code;
      first = static_cast<uint8_t>(code & literal_mask);
      if (bits_per_pixel_ == 8 && column_ + 1 < width_)
        out_[row_offset_ + column_++] = first;
      else
        put_pixel(first);
      code = next_code();
      continue;
    }

    if (code <= literal_mask) {
      // A literal: the commonest code, one pixel, no walk.
      first = static_cast<uint8_t>(code);
      if (bits_per_pixel_ == 8 && column_ + 1 < width_)
        out_[row_offset_ + column_++] = first;
      else
        put_pixel(first);
    } else {
      uint8_t* sp = stack_end;
      int c = code;
      if (code >= next_free) {
        // Not yet defined: the previous string plus its own first character.
        *--sp = first;
        c = previous;
      }
      while (c > literal_mask) {
        if (stack_end - sp > kMaxChain) return;  // a cycle: the table is corrupt
        *--sp = suffix_[c];
        c = prefix_[c];
      }
      first = static_cast<uint8_t>(c);
      *--sp = first;
      emit(sp, stack_end - sp);
    }

    if (!table_full) {
      prefix_[next_free] = static_cast<uint16_t>(previous);
      suffix_[next_free] = first;
      table_full = widen_codes(++next_free, limit);
    }
    previous = code;
    code = next_code();
  }
}

namespace {
// A string of n indexes that lies wholly before dst. Short strings go in
// 8-byte pieces, which may write past the string (never past `room`);
// what follows overwrites that.
inline void copy_run(uint8_t* dst, const uint8_t* src, int64_t n, int64_t room) {
  if (n <= 8 && room >= 8) {
    std::memcpy(dst, src, 8);
  } else if (n <= 16 && room >= 16) {
    std::memcpy(dst, src, 8);
    std::memcpy(dst + 8, src + 8, 8);
  } else {
    std::memcpy(dst, src, static_cast<size_t>(n));
  }
}
}  // namespace

// 8-bit indexes written one after another into out[0..total): a string
// of the table is a run of indexes already written, so it is copied from
// there. Keeps the prefix table too, so that the general loop can take
// over at a code this loop does not decode (one above the next free entry,
// or a code other than a literal after a clear code: only a damaged stream
// holds these). True when decoding is over; the column and row then tell
// where it ended.
bool C_Lzw::decode_runs(uint8_t* out, int64_t total) {
  const int literal_mask = (1 << min_code_size_) - 1;
  const int clear_code = literal_mask + 1;
  const int end_code = clear_code + 1;
  int next_free = next_free_;
  int limit = limit_;
  int previous = previous_;
  uint8_t first = first_;
  bool table_full = table_full_;
  bool after_clear = after_clear_;
  int64_t cur = 0, prev_start = 0, prev_length = 0;
  int64_t row_end = width_;  // a loop tick for each row finished
  bool over = false;

  int code = code_;
  for (;;) {
    if (code == end_code || cur >= total) {
      over = true;
      break;
    }
    if (code == clear_code) {
      limit = narrowest_codes();
      next_free = clear_code + 2;
      table_full = false;
      after_clear = true;
      code = next_code();
      continue;
    }
    if (after_clear) {
      if (code > literal_mask) break;
      after_clear = false;
      previous = code;
      first = static_cast<uint8_t>(code);
      out[cur] = first;
      prev_start = cur++;
      prev_length = 1;
      code = next_code();
      continue;
    }
    const int64_t s = cur;
    if (code <= literal_mask) {
      out[cur++] = static_cast<uint8_t>(code);
    } else if (code < next_free) {
      const int64_t n = std::min<int64_t>(length_[code], total - cur);
      copy_run(out + cur, out + start_[code], n, total - cur);
      cur += n;
    } else if (code == next_free) {
      // The previous string plus its own first index.
      const int64_t n = std::min(prev_length, total - cur);
      copy_run(out + cur, out + prev_start, n, total - cur);
      cur += n;
      if (cur < total) out[cur++] = out[prev_start];
    } else {
      break;
    }
    first = out[s];
    if (!table_full) {
      prefix_[next_free] = static_cast<uint16_t>(previous);
      suffix_[next_free] = first;
      start_[next_free] = static_cast<uint32_t>(prev_start);
      length_[next_free] = static_cast<uint16_t>(prev_length + 1);
      table_full = widen_codes(++next_free, limit);
    }
    previous = code;
    prev_start = s;
    prev_length = cur - s;
    while (cur >= row_end) {
      if (!row_done()) break;
      row_end += width_;
    }
    if (stopped_) {
      over = true;
      break;
    }
    code = next_code();
  }
  // Nothing a short copy wrote past the end of the output stays.
  std::memset(out + cur, 0, static_cast<size_t>(std::min<int64_t>(16, total - cur)));
  next_free_ = next_free;
  limit_ = limit;
  previous_ = previous;
  first_ = first;
  table_full_ = table_full;
  after_clear_ = after_clear;
  code_ = code;
  row_ = cur / width_;
  column_ = cur % width_;
  return over;
}

// 8 bits per pixel, every row kept: the rows are decoded as one run of
// width x height indexes in the output itself, then moved to their padded
// places and, when interlaced, into picture order.
void C_Lzw::decode_linear(uint8_t* out) {
  const int64_t total = width_ * height_;
  code_ = next_code();
  if (!decode_runs(out, total)) {
    // A damaged stream: the general loop goes on over the same rows.
    const int64_t stride = stride_;
    const bool interlaced = interlaced_;
    stride_ = width_;
    interlaced_ = false;
    out_ = out;
    row_offset_ = row_ * stride_;
    decode_loop();
    stride_ = stride;
    interlaced_ = interlaced;
  }
  if (stopped_) return;
  if (stride_ != width_) {
    // From the last row up, so that no row is overwritten before it moved.
    for (int64_t y = height_ - 1; y >= 0; --y) {
      if (!going_on()) return;
      std::memmove(out + y * stride_, out + y * width_, static_cast<size_t>(width_));
      std::memset(out + y * stride_ + width_, 0, static_cast<size_t>(stride_ - width_));
    }
  }
  if (interlaced_) to_picture_order(out);
}

// Row k of the file goes to the k-th row of the interlace order. The rows
// move along the cycles of that order, with one row held aside.
void C_Lzw::to_picture_order(uint8_t* out) {
  std::vector<int64_t> from(static_cast<size_t>(height_));  // picture row -> file row
  pass_ = 0;
  int64_t row = 0;
  for (int64_t k = 0; k < height_ && row < height_; ++k) {
    from[static_cast<size_t>(row)] = k;
    row = next_interlaced_row(row);
  }
  std::vector<uint8_t> held(static_cast<size_t>(stride_));
  std::vector<bool> done(static_cast<size_t>(height_), false);
  const size_t n = static_cast<size_t>(stride_);
  for (int64_t start = 0; start < height_; ++start) {
    if (done[static_cast<size_t>(start)] || from[static_cast<size_t>(start)] == start) continue;
    if (!going_on()) return;
    std::memcpy(held.data(), out + start * stride_, n);
    int64_t to = start;
    for (;;) {
      done[static_cast<size_t>(to)] = true;
      const int64_t src = from[static_cast<size_t>(to)];
      if (src == start) {
        std::memcpy(out + to * stride_, held.data(), n);
        break;
      }
      std::memcpy(out + to * stride_, out + src * stride_, n);
      to = src;
      if (!going_on()) return;
    }
  }
}

}  // namespace brek
