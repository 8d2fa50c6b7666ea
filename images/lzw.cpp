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

DynAByte C_Lzw::decompress(const uint8_t* data, int64_t size, int64_t position, bool interlaced,
                           int64_t min_code_size, int64_t bits_per_pixel, int64_t height,
                           int64_t width, int64_t kept_rows) {
  DynAByte out;
  if (min_code_size < 2 || min_code_size > 8) return out;
  if (bits_per_pixel != 1 && bits_per_pixel != 4 && bits_per_pixel != 8) return out;
  if (width < 1 || width > 65535 || height < 1 || height > 65535) return out;
  int64_t stride = row_stride(width, bits_per_pixel);
  if (stride * height > MAX_OUTPUT_BYTES) return out;

  Ref<C_Lzw> lzw = make<C_Lzw>();
  C_Lzw& z = *lzw;
  z.min_code_size_ = static_cast<int>(min_code_size);
  z.code_width_ = z.min_code_size_ + 1;
  z.code_mask_ = (1 << z.code_width_) - 1;
  z.end_code_ = (1 << z.min_code_size_) + 1;
  z.width_ = width;
  z.height_ = height;
  z.kept_rows_ = kept_rows < 1 || kept_rows > height ? height : kept_rows;
  z.bits_per_pixel_ = static_cast<int>(bits_per_pixel);
  z.interlaced_ = interlaced;
  z.stride_ = stride;
  if (data && size > 0) z.gather(data, size, position);

  // Rows that are not kept all go to one spare row after the kept ones,
  // cut off at the end: the decoding loop needs no test of its own.
  const int64_t rows = z.kept_rows_ < height ? z.kept_rows_ + 1 : height;
  out.set_length(stride * rows);
  z.out_ = out.data();
  z.decode_loop();
  if (rows != z.kept_rows_) out.set_length(stride * z.kept_rows_);
  return out;
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
    while (bits_held_ <= 56 && read_pos_ < n) {
      bit_buffer_ |= uint64_t(bytes_[static_cast<size_t>(read_pos_++)]) << bits_held_;
      bits_held_ += 8;
    }
    if (bits_held_ < code_width_) return end_code_;
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
  column_ = 0;
  row_ = interlaced_ ? next_interlaced_row(row_) : row_ + 1;
  row_offset_ = std::min(row_, kept_rows_) * stride_;
  Brek_runtime::loop_tick();
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

void C_Lzw::decode_loop() {
  const int literal_mask = (1 << min_code_size_) - 1;
  const int clear_code = literal_mask + 1;
  const int end_code = clear_code + 1;
  int next_free = clear_code + 2;
  int limit = 1 << code_width_;
  int previous = 0;
  uint8_t first = 0;
  bool table_full = false;
  // The stream starts as if a clear code had just been read, whether or not
  // it begins with one: the first code defines no table entry.
  bool after_clear = true;
  uint8_t* const stack_end = stack_ + sizeof(stack_);

  int code = next_code();
  for (;;) {
    if (code == end_code || row_ >= height_) return;
    if (code == clear_code) {
      code_width_ = min_code_size_ + 1;
      limit = 1 << code_width_;
      code_mask_ = limit - 1;
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
      ++next_free;
      if (next_free >= limit) {
        if (code_width_ <= 11) {
          ++code_width_;
          limit = 1 << code_width_;
          code_mask_ = limit - 1;
        }
        // Entry 4095 taken: no new entries until the next clear code.
        if (next_free >= limit) table_full = true;
      }
    }
    previous = code;
    code = next_code();
  }
}

}  // namespace brek
