#include "images/lzw_encoder.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

namespace brek::RxGIF {

namespace {

// Codes least significant bit first, cut into sub-blocks of 255 bytes.
class Code_packer {
 public:
  explicit Code_packer(std::vector<uint8_t>& out) : out_(out) {}

  void put(uint32_t code, int width) {
    acc_ |= code << bits_;
    bits_ += width;
    while (bits_ >= 8) {
      block_[used_++] = uint8_t(acc_);
      acc_ >>= 8;
      bits_ -= 8;
      if (used_ == 255) flush_block();
    }
  }

  void finish() {
    if (bits_ > 0) {
      block_[used_++] = uint8_t(acc_);
      acc_ = 0;
      bits_ = 0;
    }
    if (used_ > 0) flush_block();
    out_.push_back(0);
  }

 private:
  void flush_block() {
    out_.push_back(uint8_t(used_));
    out_.insert(out_.end(), block_.begin(), block_.begin() + used_);
    used_ = 0;
  }

  std::vector<uint8_t>& out_;
  std::array<uint8_t, 255> block_{};
  int used_ = 0;
  uint32_t acc_ = 0;  // never more than 19 bits pending
  int bits_ = 0;
};

// The string table: (prefix code, next index) -> code, open addressing.
// A slot holds key and code in one word, and the whole table stays in the
// first-level cache; a restart empties it.
class String_table {
 public:
  String_table() { clear(); }

  void clear() {
    slots_.fill(EMPTY);
    last_.fill(NO_CHILD);
  }

  // The code of the string of `prefix` and `c`, or -1 with `slot` at the
  // free place for it. The last string found or added after a prefix is
  // tried first: in runs and repeated patterns it is the one asked for,
  // and it costs no hashing.
  int find(uint32_t prefix, uint32_t c, uint32_t& slot) {
    const uint32_t last = last_[prefix];
    if ((last >> 12) == c) return int(last & 0xFFF);
    const uint32_t key = prefix << 8 | c;
    const int code = lookup(key, slot);
    if (code >= 0) last_[prefix] = c << 12 | uint32_t(code);
    return code;
  }

  void add(uint32_t slot, uint32_t prefix, uint32_t c, int code) {
    slots_[slot] = (prefix << 8 | c) << 12 | uint32_t(code);
    last_[prefix] = c << 12 | uint32_t(code);
  }

 private:
  int lookup(uint32_t key, uint32_t& slot) const {
    uint32_t s = (key * 2654435761u) >> (32 - BITS);
    for (;;) {
      const uint32_t v = slots_[s];
      if ((v >> 12) == key) return int(v & 0xFFF);
      if (v == EMPTY) break;
      s = (s + 1) & (SIZE - 1);
    }
    slot = s;
    return -1;
  }

  static constexpr int BITS = 13;  // twice the 4096 codes: short probes
  static constexpr uint32_t SIZE = 1u << BITS;
  // No slot holds it: codes stop at 4093.
  static constexpr uint32_t EMPTY = 0xFFFFFFFFu;
  std::array<uint32_t, SIZE> slots_{};
  // Per prefix code: the index and code of the last string after it.
  static constexpr uint32_t NO_CHILD = 0xFFFFFFFFu;
  std::array<uint32_t, 4096> last_{};
};

// Rows in the order they are written.
class Row_order {
 public:
  Row_order(int64_t height, bool interlaced) : height_(height), interlaced_(interlaced) {}
  int64_t first() const { return 0; }
  int64_t next(int64_t row) {
    if (!interlaced_) return row + 1;
    static constexpr int64_t start[4] = {0, 4, 2, 1};
    static constexpr int64_t step[4] = {8, 8, 4, 2};
    row += step[pass_];
    while (row >= height_ && pass_ < 3) row = start[++pass_];
    return row;
  }

 private:
  int64_t height_;
  bool interlaced_;
  int pass_ = 0;
};

}  // namespace

void lzw_encode(std::vector<uint8_t>& out, const uint8_t* indexes, int64_t width, int64_t height,
                int bits_per_pixel, bool interlaced, const std::function<void(int64_t)>& progress) {
  const int min_size = min_code_size(bits_per_pixel);
  const uint32_t clear = 1u << min_size;
  const uint32_t end = clear + 1;
  const uint8_t index_mask = uint8_t((1u << std::min(bits_per_pixel, 8)) - 1);
  const int initial_width = min_size + 1;

  out.push_back(uint8_t(min_size));
  Code_packer packer(out);
  auto table = std::make_unique<String_table>();

  int code_width = initial_width;
  uint32_t limit = 1u << code_width;
  uint32_t last_code = end;  // the last code given to a string
  uint32_t prefix = 0;
  bool have_prefix = false;

  packer.put(clear, code_width);
  if (width > 0 && height > 0 && indexes) {
    Row_order order(height, interlaced);
    int64_t done = 0;
    for (int64_t row = order.first(); row < height; row = order.next(row)) {
      const uint8_t* p = indexes + row * width;
      for (int64_t x = 0; x < width; ++x) {
        const uint32_t c = p[x] & index_mask;
        if (!have_prefix) {
          prefix = c;
          have_prefix = true;
          continue;
        }
        uint32_t slot = 0;
        const int found = table->find(prefix, c, slot);
        if (found >= 0) {
          prefix = uint32_t(found);
          continue;
        }
        packer.put(prefix, code_width);
        ++last_code;
        table->add(slot, prefix, c, int(last_code));
        prefix = c;
        if (last_code >= limit) {
          limit <<= 1;
          ++code_width;
        } else if (last_code >= 4094) {
          // The table is full: the pixel goes out alone and the table
          // starts again, so no code needs 13 bits.
          packer.put(prefix, code_width);
          packer.put(clear, code_width);
          have_prefix = false;
          last_code = end;
          code_width = initial_width;
          limit = 1u << code_width;
          table->clear();
        }
      }
      ++done;
      if (progress) progress(done * 100 / height);
    }
  }
  // A pixel already written before a restart is not written again.
  if (have_prefix) {
    packer.put(prefix, code_width);
    // A decoder takes a table entry for that code too and may widen its
    // codes before it reads the end code.
    if (last_code + 1 >= limit && code_width < 12) ++code_width;
  }
  packer.put(end, code_width);
  packer.finish();
}

}  // namespace brek::RxGIF
