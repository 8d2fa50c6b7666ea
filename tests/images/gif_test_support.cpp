#include "gif_test_support.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

namespace gif_test {

// ---- LZW -------------------------------------------------------------------

std::string pack_codes(const std::vector<int>& codes, int min_code_size, size_t block_size,
                       bool terminator) {
  const int clear = 1 << min_code_size;
  const int end = clear + 1;
  int width = min_code_size + 1;
  int next_free = clear + 2;
  bool after_clear = true;
  bool full = false;
  std::string data;
  uint64_t acc = 0;
  int bits = 0;
  for (int code : codes) {
    acc |= uint64_t(code) << bits;
    bits += width;
    while (bits >= 8) {
      data.push_back(static_cast<char>(acc & 0xFF));
      acc >>= 8;
      bits -= 8;
    }
    // Follow the decoder's table to know the width of the next code.
    if (code == clear) {
      width = min_code_size + 1;
      next_free = clear + 2;
      after_clear = true;
      full = false;
    } else if (code == end) {
    } else if (after_clear) {
      after_clear = false;
    } else if (!full) {
      ++next_free;
      if (next_free >= (1 << width)) {
        if (width <= 11) ++width;
        if (next_free >= (1 << width)) full = true;
      }
    }
  }
  if (bits > 0) data.push_back(static_cast<char>(acc & 0xFF));

  std::string out;
  for (size_t i = 0; i < data.size(); i += block_size) {
    size_t n = std::min(block_size, data.size() - i);
    out.push_back(static_cast<char>(n));
    out.append(data, i, n);
  }
  if (terminator) out.push_back('\0');
  return out;
}

std::vector<int> lzw_codes(const std::vector<uint8_t>& indexes, int min_code_size,
                           Lzw_options options) {
  const int clear = 1 << min_code_size;
  const int end = clear + 1;
  std::vector<int> codes;
  std::vector<int16_t> dict(4096 * 256, -1);  // (prefix code, character) -> code
  int next = clear + 2;
  auto reset = [&] {
    std::fill(dict.begin(), dict.end(), int16_t(-1));
    next = clear + 2;
  };
  if (options.initial_clear) codes.push_back(clear);
  if (!indexes.empty()) {
    int cur = indexes[0];
    for (size_t i = 1; i < indexes.size(); ++i) {
      int k = indexes[i];
      int16_t found = dict[size_t(cur) * 256 + k];
      if (found >= 0) {
        cur = found;
        continue;
      }
      codes.push_back(cur);
      if (next < 4096) {
        dict[size_t(cur) * 256 + k] = static_cast<int16_t>(next++);
      } else if (options.clear_when_full) {
        codes.push_back(clear);
        reset();
      }
      cur = k;
    }
    codes.push_back(cur);
  }
  if (options.end_code) codes.push_back(end);
  return codes;
}

std::string one_index_data(int64_t pixels, int index, int min_code_size) {
  const int clear = 1 << min_code_size, end = clear + 1, first = clear + 2;
  std::vector<int> codes{clear};
  int next = first;  // the entry the code after the next one makes
  bool fresh = true;
  for (int64_t left = pixels, run = 1; left > 0;) {
    const int64_t k = std::min(run, left);
    codes.push_back(k == 1 ? index : int(first + k - 2));
    left -= k;
    if (fresh) {
      fresh = false;
    } else if (next < 4096) {
      ++next;
    }
    if (next < 4096) {
      ++run;
    } else {
      codes.push_back(clear);
      next = first;
      fresh = true;
      run = 1;
    }
  }
  codes.push_back(end);
  return pack_codes(codes, min_code_size);
}

// ---- whole files -------------------------------------------------------------

std::string le16(int v) {
  std::string s;
  s.push_back(static_cast<char>(v & 0xFF));
  s.push_back(static_cast<char>((v >> 8) & 0xFF));
  return s;
}

brek::Gif_palette grey_palette(int entries) {
  brek::Gif_palette p(static_cast<size_t>(entries));
  for (int i = 0; i < entries; ++i) {
    uint8_t v = static_cast<uint8_t>(entries > 1 ? i * 255 / (entries - 1) : 0);
    p[static_cast<size_t>(i)] = {v, v, v};
  }
  return p;
}

brek::Gif_palette make_palette(const std::vector<uint32_t>& rgb) {
  brek::Gif_palette p;
  for (uint32_t c : rgb)
    p.push_back({static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8), static_cast<uint8_t>(c)});
  return p;
}

namespace {
// The size field of a palette of n entries (n a power of two, 2..256).
int size_bits(size_t n) {
  int b = 0;
  while ((size_t(2) << b) < n) ++b;
  return b;
}
void put_palette(std::string& out, const brek::Gif_palette& p) {
  size_t n = size_t(2) << size_bits(p.size());
  for (size_t i = 0; i < n; ++i) {
    brek::St_color_item__C_Gif c = i < p.size() ? p[i] : brek::St_color_item__C_Gif{};
    out.push_back(static_cast<char>(c.red));
    out.push_back(static_cast<char>(c.green));
    out.push_back(static_cast<char>(c.blue));
  }
}
}  // namespace

Gif_writer& Gif_writer::header(int64_t w, int64_t h, const brek::Gif_palette& global,
                               int background, const char* version) {
  out_ = version;
  out_ += le16(static_cast<int>(w)) + le16(static_cast<int>(h));
  int packed = global.empty() ? 0 : (0x80 | 0x70 | size_bits(global.size()));
  out_.push_back(static_cast<char>(packed));
  out_.push_back(static_cast<char>(background));
  out_.push_back('\0');
  if (!global.empty()) put_palette(out_, global);
  global_entries_ = global.empty() ? 0 : 2 << size_bits(global.size());
  return *this;
}

Gif_writer& Gif_writer::graphic_control(int disposal, int delay, int transparent) {
  out_ += "\x21\xF9\x04";
  out_.push_back(static_cast<char>((disposal << 2) | (transparent >= 0 ? 1 : 0)));
  out_ += le16(delay);
  out_.push_back(static_cast<char>(transparent >= 0 ? transparent : 0));
  out_.push_back('\0');
  return *this;
}

Gif_writer& Gif_writer::comment(const std::vector<std::string>& blocks) {
  out_ += "\x21\xFE";
  for (const auto& b : blocks) {
    out_.push_back(static_cast<char>(b.size()));
    out_ += b;
  }
  out_.push_back('\0');
  return *this;
}

Gif_writer& Gif_writer::looping(int count) {
  out_ += "\x21\xFF\x0BNETSCAPE2.0\x03\x01" + le16(count);
  out_.push_back('\0');
  return *this;
}

Gif_writer& Gif_writer::image(const Frame_desc& s) {
  out_.push_back(',');
  out_ += le16(static_cast<int>(s.left)) + le16(static_cast<int>(s.top)) +
          le16(static_cast<int>(s.width)) + le16(static_cast<int>(s.height));
  int packed = 0;
  if (!s.local_palette.empty()) packed |= 0x80 | size_bits(s.local_palette.size());
  if (s.interlaced) packed |= 0x40;
  out_.push_back(static_cast<char>(packed));
  if (!s.local_palette.empty()) put_palette(out_, s.local_palette);

  int entries = !s.local_palette.empty() ? (2 << size_bits(s.local_palette.size())) : global_entries_;
  int mcs = s.min_code_size;
  if (mcs == 0) {
    mcs = 2;
    while ((1 << mcs) < entries) ++mcs;
  }
  // Rows go into the file in interlace order when interlaced.
  std::vector<uint8_t> ordered;
  std::vector<int64_t> rows;
  if (s.interlaced) {
    for (int64_t y = 0; y < s.height; y += 8) rows.push_back(y);
    for (int64_t y = 4; y < s.height; y += 8) rows.push_back(y);
    for (int64_t y = 2; y < s.height; y += 4) rows.push_back(y);
    for (int64_t y = 1; y < s.height; y += 2) rows.push_back(y);
  } else {
    for (int64_t y = 0; y < s.height; ++y) rows.push_back(y);
  }
  for (int64_t y : rows)
    ordered.insert(ordered.end(), s.indexes.begin() + y * s.width,
                   s.indexes.begin() + (y + 1) * s.width);
  out_.push_back(static_cast<char>(mcs));
  out_ += pack_codes(lzw_codes(ordered, mcs, s.lzw), mcs);
  return *this;
}

Gif_writer& Gif_writer::one_index_image(int64_t left, int64_t top, int64_t w, int64_t h, int index,
                                        bool interlaced) {
  out_.push_back(',');
  out_ += le16(static_cast<int>(left)) + le16(static_cast<int>(top)) + le16(static_cast<int>(w)) +
          le16(static_cast<int>(h));
  out_.push_back(interlaced ? '\x40' : '\0');
  int mcs = 2;
  while ((1 << mcs) < global_entries_) ++mcs;
  out_.push_back(static_cast<char>(mcs));
  out_ += one_index_data(w * h, index, mcs);
  return *this;
}

Frame_desc solid(int64_t left, int64_t top, int64_t w, int64_t h, uint8_t index) {
  Frame_desc s;
  s.left = left;
  s.top = top;
  s.width = w;
  s.height = h;
  s.indexes.assign(static_cast<size_t>(w * h), index);
  return s;
}

Gif_writer& Gif_writer::raw(const std::string& bytes) {
  out_ += bytes;
  return *this;
}

Gif_writer& Gif_writer::trailer() {
  out_.push_back(';');
  return *this;
}

// ---- giflib --------------------------------------------------------------------

namespace {
struct Memory_source {
  const std::string* bytes;
  size_t pos = 0;
};
int read_memory(GifFileType* gif, GifByteType* buf, int n) {
  auto* src = static_cast<Memory_source*>(gif->UserData);
  size_t k = std::min<size_t>(static_cast<size_t>(n), src->bytes->size() - src->pos);
  std::memcpy(buf, src->bytes->data() + src->pos, k);
  src->pos += k;
  return static_cast<int>(k);
}
uint32_t pixel(const GifColorType& c, uint32_t alpha) {
  return (alpha << 24) | (uint32_t(c.Red) << 16) | (uint32_t(c.Green) << 8) | c.Blue;
}
}  // namespace

Reference giflib_decode(const std::string& bytes) {
  Reference ref;
  Memory_source src{&bytes};
  int err = 0;
  GifFileType* gif = DGifOpen(&src, read_memory, &err);
  if (!gif) return ref;
  if (DGifSlurp(gif) != GIF_OK) {
    DGifCloseFile(gif, &err);
    return ref;
  }
  ref.ok = true;
  ref.width = gif->SWidth;
  ref.height = gif->SHeight;
  uint32_t back = 0xFF000000;
  if (gif->SColorMap && gif->SBackGroundColor < gif->SColorMap->ColorCount)
    back = pixel(gif->SColorMap->Colors[gif->SBackGroundColor], 255);
  else if (gif->SColorMap)
    back = pixel(gif->SColorMap->Colors[0], 255);

  std::vector<uint32_t> canvas(static_cast<size_t>(ref.width * ref.height), back);
  std::vector<uint32_t> before;
  for (int i = 0; i < gif->ImageCount; ++i) {
    const SavedImage& im = gif->SavedImages[i];
    GraphicsControlBlock gcb{};
    gcb.TransparentColor = NO_TRANSPARENT_COLOR;
    DGifSavedExtensionToGCB(gif, i, &gcb);
    ref.disposals.push_back(gcb.DisposalMode);
    ref.delays.push_back(gcb.DelayTime);
    const ColorMapObject* map = im.ImageDesc.ColorMap ? im.ImageDesc.ColorMap : gif->SColorMap;
    const GifImageDesc& d = im.ImageDesc;
    if (gcb.DisposalMode == DISPOSE_PREVIOUS) before = canvas;
    std::vector<uint32_t> alone(static_cast<size_t>(d.Width) * d.Height);
    for (int y = 0; y < d.Height; ++y) {
      for (int x = 0; x < d.Width; ++x) {
        int idx = im.RasterBits[static_cast<size_t>(y) * d.Width + x];
        bool transparent = idx == gcb.TransparentColor;
        uint32_t c = 0x00808080;
        if (map && idx < map->ColorCount) c = pixel(map->Colors[idx], 0);
        alone[static_cast<size_t>(y) * d.Width + x] = c | (transparent ? 0 : 0xFF000000u);
        int cx = d.Left + x, cy = d.Top + y;
        if (transparent || cx >= ref.width || cy >= ref.height) continue;
        canvas[static_cast<size_t>(cy * ref.width + cx)] = c | 0xFF000000u;
      }
    }
    ref.raw.push_back(std::move(alone));
    ref.composed.push_back(canvas);
    if (gcb.DisposalMode == DISPOSE_BACKGROUND) {
      for (int y = d.Top; y < std::min<int64_t>(d.Top + d.Height, ref.height); ++y)
        for (int x = d.Left; x < std::min<int64_t>(d.Left + d.Width, ref.width); ++x)
          canvas[static_cast<size_t>(y * ref.width + x)] = back;
    } else if (gcb.DisposalMode == DISPOSE_PREVIOUS) {
      canvas = before;
    }
  }
  DGifCloseFile(gif, &err);
  return ref;
}

// ---- gifsicle ----------------------------------------------------------------

bool have_gifsicle() { return std::system("gifsicle --version >/dev/null 2>&1") == 0; }

bool run_gifsicle(const std::string& args) {
  std::string cmd = "gifsicle --no-warnings " + args + " 2>/dev/null";
  return std::system(cmd.c_str()) == 0;
}

std::string read_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string first_difference(const brek::Pixels& got, const std::vector<uint32_t>& want) {
  if (static_cast<size_t>(got.width()) * got.height() != want.size())
    return "size " + std::to_string(got.width()) + "x" + std::to_string(got.height()) + " vs " +
           std::to_string(want.size()) + " pixels";
  for (size_t i = 0; i < want.size(); ++i) {
    if (got.words()[i] != want[i]) {
      char buf[128];
      std::snprintf(buf, sizeof buf, "pixel (%lld, %lld): %08X, expected %08X",
                    static_cast<long long>(i % got.width()), static_cast<long long>(i / got.width()),
                    got.words()[i], want[i]);
      return buf;
    }
  }
  return "";
}

}  // namespace gif_test
