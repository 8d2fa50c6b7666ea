// Reading a GIF file into a TGIFImage: the logical screen, the colour
// tables, the extensions and each frame decoded to its bitmap. The frames
// keep their compressed data as read, so that writing the image again does
// not encode them anew; only a damaged frame's is made whole when written.

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "baselib/stream.h"
#include "images/gif_writer.h"
#include "images/lzw.h"

namespace brek {

namespace {

// Data that ends before the trailer ends the reading as the trailer would.
struct Data_ended {};

class Cursor {
 public:
  Cursor(const uint8_t* data, int64_t size) : data_(data), size_(data ? size : 0) {}
  int64_t position() const { return pos_; }
  const uint8_t* at(int64_t p) const { return data_ + p; }
  bool at_end() const { return pos_ >= size_; }
  uint8_t byte() {
    if (pos_ >= size_) throw Data_ended{};
    return data_[pos_++];
  }
  int64_t word() {
    const int64_t lo = byte();
    return lo | int64_t(byte()) << 8;
  }
  // n bytes, or Data_ended when fewer are left.
  const uint8_t* take(int64_t n) {
    if (n > size_ - pos_) throw Data_ended{};
    const uint8_t* p = data_ + pos_;
    pos_ += n;
    return p;
  }
  // Data sub-blocks up to their zero-length terminator; each one's bytes
  // when `blocks` is given.
  void sub_blocks(std::vector<std::string>* blocks) {
    for (int64_t n; (n = byte()) != 0;) {
      const uint8_t* p = take(n);
      if (blocks) blocks->emplace_back(reinterpret_cast<const char*>(p), size_t(n));
    }
  }

 private:
  const uint8_t* data_;
  int64_t size_;
  int64_t pos_ = 0;
};

std::vector<Rgb_entry> read_table(Cursor& c, int64_t bits) {
  const int64_t count = int64_t(1) << bits;
  const uint8_t* p = c.take(count * 3);
  std::vector<Rgb_entry> table(static_cast<size_t>(count));
  for (int64_t i = 0; i < count; ++i) table[size_t(i)] = Rgb_entry{p[3 * i], p[3 * i + 1], p[3 * i + 2]};
  return table;
}

Color color_of(const Rgb_entry& e) { return Colors::make(e.red, e.green, e.blue); }

// What the code stream says, walked by the rules of the program's LZW
// decoder, which itself takes any stream: whether every code names a
// string the table holds, and whether the codes fill the picture.
struct Code_check {
  bool valid = true;
  bool complete = false;
};

Code_check check_codes(const std::vector<uint8_t>& data, int min_code_size, int64_t pixels) {
  std::vector<uint8_t> bytes;
  for (size_t p = 1; p < data.size();) {
    const size_t n = data[p++];
    if (n == 0) break;
    const size_t k = std::min(n, data.size() - p);
    bytes.insert(bytes.end(), data.begin() + std::ptrdiff_t(p), data.begin() + std::ptrdiff_t(p + k));
    p += k;
  }
  const int clear = 1 << min_code_size, end = clear + 1;
  int width = min_code_size + 1, limit = 1 << width, next = clear + 2, previous = 0;
  bool after_clear = true, table_full = false;
  std::array<uint32_t, 4096> length{};
  auto length_of = [&](int c) { return c < clear ? 1u : length[size_t(c)]; };
  size_t read_bits = 0;
  int64_t count = 0;
  Code_check out;
  while (count < pixels) {
    if (read_bits + size_t(width) > bytes.size() * 8) return out;  // the data ran out
    int code = 0;
    for (int i = 0; i < width; ++i, ++read_bits)
      code |= ((bytes[read_bits >> 3] >> (read_bits & 7)) & 1) << i;
    if (code == end) break;
    if (code == clear) {
      width = min_code_size + 1;
      limit = 1 << width;
      next = clear + 2;
      after_clear = true;
      table_full = false;
      continue;
    }
    if (after_clear || code > next) {
      // After a clear only a literal has a meaning; later, a code past the
      // next free entry names nothing.
      if (code > next || (after_clear && code > clear)) {
        out.valid = false;
        return out;
      }
      after_clear = false;
      previous = code;
      ++count;
      continue;
    }
    count += code == next ? length_of(previous) + 1 : length_of(code);
    if (!table_full) {
      length[size_t(next)] = length_of(previous) + 1;
      if (++next >= limit) {
        if (width <= 11) limit = 1 << ++width;
        if (next >= limit) table_full = true;
      }
    }
    previous = code;
  }
  out.complete = count >= pixels;
  return out;
}

// Settings of the graphic control blocks and the other extensions met
// since the last frame; they belong to the next one.
struct Pending {
  std::vector<TExtension> extensions;
  int64_t delay = 0;  // milliseconds
  int64_t disposal = 0;
  int64_t transparent_index = -1;
};

bool is_loop_application(const std::string& id) { return id == "NETSCAPE2.0" || id == "ANIMEXTS1.0"; }

class Reader {
 public:
  Reader(TGIFImage& gif, const uint8_t* data, int64_t size) : gif_(gif), c_(data, size) {}

  void run() {
    try {
      header();
      blocks();
    } catch (const Data_ended&) {
      gif_.corrupted = true;
    }
    if (!gif_.frames.empty()) gif_.current_frame = 0;
  }

 private:
  void header() {
    char h[7] = {};
    for (int i = 0; i < 6; ++i) {
      if (c_.at_end()) throw E_Gif_error("Unknown GIF version");
      h[i] = char(std::tolower(c_.byte()));
    }
    if (std::strncmp(h, "gif", 3) != 0) throw E_Gif_error("Unknown GIF version");
    if (std::strcmp(h + 3, "87a") == 0)
      gif_.version = gif_version::GIF87A;
    else if (std::strcmp(h + 3, "89a") == 0)
      gif_.version = gif_version::GIF89A;
    else
      throw E_Gif_error("Unknown GIF version");

    gif_.screen_width = c_.word();
    gif_.screen_height = c_.word();
    const uint8_t packed = c_.byte();
    const uint8_t background = c_.byte();
    gif_.data.aspect = c_.byte();
    if (packed & 0x80) {
      gif_.data.palette_bits = (packed & 7) + 1;
      gif_.data.color_table = read_table(c_, gif_.data.palette_bits);
      if (background < gif_.data.color_table.size())
        gif_.background_color = color_of(gif_.data.color_table[background]);
    }
  }

  void blocks() {
    for (;;) {
      const uint8_t b = c_.byte();
      if (b == 0x3B) return;
      if (b == 0x21)
        extension();
      else if (b == 0x2C)
        image();
      else
        throw Data_ended{};  // not a block: what follows is no GIF data
    }
  }

  void extension() {
    const uint8_t label = c_.byte();
    switch (label) {
      case 0xF9: graphic_control(); break;
      case 0xFE: c_.sub_blocks(&gif_.data.comments); break;
      case 0x01:
      case 0xFF: {
        TExtension e;
        e.type = label == 0x01 ? extension_type::PLAIN_TEXT : extension_type::APPLICATION;
        const int64_t n = c_.byte();
        const uint8_t* head = c_.take(n);
        // The header as in the file: its size byte, then the bytes, made
        // at their final size at once.
        e.header.assign(size_t(n) + 1, uint8_t(n));
        std::copy(head, head + n, e.header.begin() + 1);
        c_.sub_blocks(&e.texts);
        const std::string id(reinterpret_cast<const char*>(head), size_t(n));
        if (label == 0xFF && is_loop_application(id)) {
          // The loop setting is the image's; the writer makes its own block.
          const std::string& d = e.texts.empty() ? std::string() : e.texts[0];
          if (d.size() >= 3 && d[0] == 1) {
            gif_.looping = true;
            gif_.loop_count = std::min<int64_t>(uint8_t(d[1]) | int64_t(uint8_t(d[2])) << 8, 30000);
          }
          break;
        }
        pending_.extensions.push_back(std::move(e));
        break;
      }
      default: {
        char text[64];
        std::snprintf(text, sizeof text, "Unrecognized extension block: %.2x", unsigned(label));
        throw E_Gif_error(text);
      }
    }
  }

  void graphic_control() {
    std::vector<std::string> blocks;
    c_.sub_blocks(&blocks);
    if (blocks.empty() || blocks[0].size() < 4) return;
    const auto* g = reinterpret_cast<const uint8_t*>(blocks[0].data());
    pending_.delay = std::max<int64_t>(pending_.delay, 10 * (g[1] | int64_t(g[2]) << 8));
    pending_.disposal = (g[0] >> 2) & 7;
    pending_.transparent_index = (g[0] & 1) ? g[3] : -1;
    // One control block per frame: the writer brings the first up to date.
    std::erase_if(pending_.extensions, [](const TExtension& e) { return e.type == extension_type::GRAPHIC; });
    TExtension e = TExtension::graphic_control();
    std::copy(g, g + 4, e.header.begin() + 1);
    pending_.extensions.push_back(std::move(e));
  }

  void image() {
    Ref<TGIFFrame> f = TGIFFrame::create();
    f->image = Weak<TGIFImage>(Ref<TGIFImage>(&gif_));
    f->left = c_.word();
    f->top = c_.word();
    f->item.width = c_.word();
    f->item.height = c_.word();
    const uint8_t packed = c_.byte();
    f->interlaced = (packed & 0x40) != 0;
    f->local_color_table = (packed & 0x80) != 0;
    int64_t bits = gif_.data.palette_bits;
    if (f->local_color_table) {
      bits = (packed & 7) + 1;
      f->item.color_table = read_table(c_, bits);
    } else {
      f->item.color_table = gif_.data.color_table;
    }
    const int64_t start = c_.position();
    const uint8_t code_size = c_.byte();
    if (code_size < 2 || code_size > 9) throw E_Gif_error("GIF code size not in range 2 to 9");
    f->item.bits_per_pixel = bits > 0 ? bits : code_size;
    f->item.color_count = int64_t(f->item.color_table.size());
    bool ended = false;
    try {
      c_.sub_blocks(nullptr);
    } catch (const Data_ended&) {
      ended = true;
    }
    f->item.data.assign(c_.at(start), c_.at(c_.position()));
    // The frames decoded so far and this one stay within the limit, or the
    // reading ends here as at the end of the data.
    const int64_t bytes = 4 * int64_t(f->item.width) * int64_t(f->item.height);
    if (bytes > TGIFImage::decoded_bytes_limit - decoded_bytes_) throw Data_ended{};
    decoded_bytes_ += bytes;
    decode(*f, code_size);
    f->corrupted = f->corrupted || ended;
    take_pending(*f);
    gif_.frames.push_back(f);
    if (ended) throw Data_ended{};
  }

  void decode(TGIFFrame& f, int code_size) {
    const TGIFItem& it = f.item;
    const Code_check check = check_codes(it.data, code_size, it.width * it.height);
    if (!check.valid) throw E_Gif_error("GIF encoded data is corrupt");
    // The decoder refuses what it cannot hold (a code size of 9, an empty
    // or oversized frame).
    DynAByte rows = C_Lzw::decompress(it.data.data(), int64_t(it.data.size()), 1, f.interlaced, code_size, 8,
                                      it.height, it.width);
    if (rows.empty() || !f.bitmap.resize(int(it.width), int(it.height)))
      throw E_Gif_error("GIF encoded data is corrupt");
    f.corrupted = !check.complete;
    uint32_t colours[256];
    for (size_t i = 0; i < 256; ++i)
      colours[i] = i < it.color_table.size()
                       ? Pixels::bgra(it.color_table[i].blue, it.color_table[i].green, it.color_table[i].red)
                       : Pixels::bgra(0, 0, 0);
    const int64_t stride = C_Lzw::row_stride(it.width, 8);
    for (int y = 0; y < f.bitmap.height(); ++y) {
      const uint8_t* src = rows.data() + y * stride;
      uint32_t* dst = f.bitmap.row(y);
      for (int x = 0; x < f.bitmap.width(); ++x) dst[x] = colours[src[x]];
    }
    f.bitmap_bits = 8;
  }

  void take_pending(TGIFFrame& f) {
    f.extensions = std::move(pending_.extensions);
    f.delay = uint16_t(std::min<int64_t>(pending_.delay, 65535));
    f.disposal = pending_.disposal;
    const int64_t t = pending_.transparent_index;
    if (t >= 0 && t < int64_t(f.item.color_table.size())) f.transparent_color = color_of(f.item.color_table[size_t(t)]);
    pending_ = Pending{};
  }

  TGIFImage& gif_;
  Cursor c_;
  Pending pending_;
  int64_t decoded_bytes_ = 0;  // of the frames' pictures so far
};

}  // namespace

void TGIFImage::read_data(const uint8_t* bytes, int64_t size) {
  if (is_none()) return;
  clear();
  try {
    Reader(*this, bytes, size).run();
  } catch (...) {
    clear();  // never half an image
    throw;
  }
}

void TGIFImage::read_data(const std::vector<uint8_t>& bytes) { read_data(bytes.data(), int64_t(bytes.size())); }

void TGIFImage::read_data(const Ref<C_Stream>& stream) {
  std::vector<uint8_t> bytes;
  const int64_t left = stream->size_int64() - stream->position_int64();
  if (left > 0 && left <= C_Lzw::MAX_OUTPUT_BYTES) {
    bytes.resize(size_t(left));
    bytes.resize(size_t(std::max<int64_t>(0, stream->read_buffer(bytes.data(), left))));
  }
  read_data(bytes);
}

bool TGIFImage::IsCorrupted() const {
  return corrupted || std::any_of(frames.begin(), frames.end(), [](const Ref<TGIFFrame>& f) { return f->corrupted; });
}

}  // namespace brek
