#include "images/bmp_codec.h"

#include <bit>
#include <cstring>
#include <string>

namespace brek::Bmp_codec {

namespace {

constexpr uint32_t BI_RGB = 0, BI_RLE8 = 1, BI_RLE4 = 2, BI_BITFIELDS = 3, BI_ALPHABITFIELDS = 6;
constexpr uint32_t OPAQUE_BLACK = 0xFF000000u;

using K = load_failure_kind;

uint32_t le16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
uint32_t le32(const uint8_t* p) { return le16(p) | le16(p + 2) << 16; }

// One channel of a bit-field pixel, scaled to 0..255.
struct Field {
  uint32_t mask = 0;
  int shift = 0;
  uint32_t max = 0;

  explicit Field(uint32_t m = 0) : mask(m) {
    if (!m) return;
    shift = std::countr_zero(m);
    max = m >> shift;
    // Only the lowest contiguous run counts.
    max = (max & (max + 1)) == 0 ? max : (uint32_t(1) << std::countr_one(max)) - 1;
  }
  uint8_t get(uint32_t v) const {
    if (!mask) return 0;
    uint32_t x = (v >> shift) & max;
    return static_cast<uint8_t>((uint64_t(x) * 255 + max / 2) / max);
  }
};

struct Dib {
  int64_t width = 0, height = 0;
  bool top_down = false;
  int bpp = 0;
  uint32_t compression = BI_RGB;
  uint32_t masks[4] = {0, 0, 0, 0};  // red, green, blue, alpha
  bool has_masks = false;
  uint32_t palette[256];
  size_t header_end = 0;  // first byte after header, masks and palette
};

// Reads the header, masks and palette of a DIB at data[0..size).
bool parse_header(const uint8_t* d, size_t size, bool icon, Dib& dib, size_t palette_end, Load_failure* why) {
  if (size < 12) return Load_failure::note(why, K::TRUNCATED);
  uint32_t hsize = le32(d);
  int64_t h = 0;
  size_t entry = 4;
  uint32_t colours_used = 0;
  if (hsize == 12) {
    dib.width = le16(d + 4);
    h = le16(d + 6);
    dib.bpp = static_cast<int>(le16(d + 10));
    entry = 3;
  } else if (hsize >= 40 && hsize <= 1024) {
    if (hsize > size) return Load_failure::note(why, K::TRUNCATED);
    dib.width = static_cast<int32_t>(le32(d + 4));
    h = static_cast<int32_t>(le32(d + 8));
    dib.bpp = static_cast<int>(le16(d + 14));
    dib.compression = le32(d + 16);
    colours_used = le32(d + 32);
    if (hsize == 64 && dib.compression > BI_RLE4)
      return Load_failure::note(why, K::UNSUPPORTED, "OS/2 BMP compression " + std::to_string(dib.compression));
    if (hsize >= 52) {
      for (int i = 0; i < 3; ++i) dib.masks[i] = le32(d + 40 + 4 * i);
      dib.has_masks = true;
    }
    if (hsize >= 56) dib.masks[3] = le32(d + 52);
  } else {
    return Load_failure::note(why, K::UNSUPPORTED, "BMP header of " + std::to_string(hsize) + " bytes");
  }
  size_t pos = hsize;
  bool fields = dib.compression == BI_BITFIELDS || dib.compression == BI_ALPHABITFIELDS;
  if (fields && hsize < 52) {
    int n = dib.compression == BI_ALPHABITFIELDS ? 4 : 3;
    if (pos + 4 * size_t(n) > size) return Load_failure::note(why, K::TRUNCATED);
    for (int i = 0; i < n; ++i) dib.masks[i] = le32(d + pos + 4 * i);
    dib.has_masks = true;
    pos += 4 * size_t(n);
  }
  const std::string depth = std::to_string(dib.bpp) + " bits per pixel";
  switch (dib.compression) {
    case BI_RGB: break;
    case BI_RLE8:
      if (dib.bpp != 8) return Load_failure::note(why, K::MALFORMED, "RLE8 at " + depth);
      break;
    case BI_RLE4:
      if (dib.bpp != 4) return Load_failure::note(why, K::MALFORMED, "RLE4 at " + depth);
      break;
    case BI_BITFIELDS:
    case BI_ALPHABITFIELDS:
      if (dib.bpp != 16 && dib.bpp != 32) return Load_failure::note(why, K::MALFORMED, "bit fields at " + depth);
      break;
    default:
      return Load_failure::note(why, K::UNSUPPORTED, "BMP compression " + std::to_string(dib.compression));
  }
  if (dib.bpp != 1 && dib.bpp != 4 && dib.bpp != 8 && dib.bpp != 16 && dib.bpp != 24 && dib.bpp != 32)
    return Load_failure::note(why, K::UNSUPPORTED, depth);
  if (icon) {
    if (h <= 0) return Load_failure::note(why, K::MALFORMED, "icon height " + std::to_string(h));
    h /= 2;
  } else if (h < 0) {
    dib.top_down = true;
    h = -h;
  }
  dib.height = h;
  if (!Load_failure::size_allowed(dib.width, dib.height, why)) return false;

  for (uint32_t& c : dib.palette) c = OPAQUE_BLACK;
  if (dib.bpp <= 8) {
    uint64_t count = colours_used ? colours_used : (uint64_t(1) << dib.bpp);
    size_t end = palette_end < size ? palette_end : size;
    uint64_t fit = end > pos ? (end - pos) / entry : 0;
    if (count > fit) count = fit;
    if (count > 256) count = 256;
    for (uint64_t i = 0; i < count; ++i) {
      const uint8_t* e = d + pos + i * entry;
      dib.palette[i] = Pixels::bgra(e[0], e[1], e[2]);
    }
    pos += static_cast<size_t>(count) * entry;
  } else if (colours_used && colours_used <= 256 && pos + size_t(colours_used) * entry <= size) {
    pos += size_t(colours_used) * entry;  // a palette nobody needs
  }
  dib.header_end = pos;
  return true;
}

int64_t row_bytes(int64_t width, int bpp) { return ((width * bpp + 31) / 32) * 4; }

// Uncompressed rows at bits[0..available).
bool decode_rows(const Dib& dib, const uint8_t* bits, size_t available, bool icon, Pixels& out, Load_failure* why) {
  int64_t stride = row_bytes(dib.width, dib.bpp);
  int64_t last = (dib.width * dib.bpp + 7) / 8;  // the last row may lack its padding
  if (int64_t(available) < stride * (dib.height - 1) + last) return Load_failure::note(why, K::TRUNCATED);
  if (!out.resize(static_cast<int>(dib.width), static_cast<int>(dib.height)))
    return Load_failure::no_memory(why);

  Field f[4];
  bool use_alpha = false;
  if (dib.bpp == 16 || dib.bpp == 32) {
    uint32_t m[4] = {dib.masks[0], dib.masks[1], dib.masks[2], dib.masks[3]};
    bool fields = dib.compression == BI_BITFIELDS || dib.compression == BI_ALPHABITFIELDS;
    if (!fields) {
      if (dib.bpp == 16) {
        m[0] = 0x7C00; m[1] = 0x03E0; m[2] = 0x001F; m[3] = 0;
      } else {
        m[0] = 0xFF0000; m[1] = 0xFF00; m[2] = 0xFF; m[3] = icon ? 0xFF000000u : 0;
      }
    }
    for (int i = 0; i < 4; ++i) f[i] = Field(m[i]);
    use_alpha = m[3] != 0;
  }

  const int w = out.width();
  bool any_alpha = false;
  for (int y = 0; y < out.height(); ++y) {
    const uint8_t* s = bits + stride * (dib.top_down ? y : dib.height - 1 - y);
    uint32_t* o = out.row(y);
    switch (dib.bpp) {
      case 1:
        for (int x = 0; x < w; ++x) o[x] = dib.palette[(s[x >> 3] >> (7 - (x & 7))) & 1];
        break;
      case 4:
        for (int x = 0; x < w; ++x) o[x] = dib.palette[(s[x >> 1] >> ((x & 1) ? 0 : 4)) & 15];
        break;
      case 8:
        for (int x = 0; x < w; ++x) o[x] = dib.palette[s[x]];
        break;
      case 24:
        for (int x = 0; x < w; ++x, s += 3) o[x] = Pixels::bgra(s[0], s[1], s[2]);
        break;
      case 32:
        if (!dib.has_masks || dib.compression == BI_RGB) {
          // The common layout: bytes B, G, R and (maybe) A.
          for (int x = 0; x < w; ++x, s += 4) {
            uint8_t a = use_alpha ? s[3] : 255;
            any_alpha |= use_alpha && a != 0;
            o[x] = Pixels::bgra(s[0], s[1], s[2], a);
          }
          break;
        }
        [[fallthrough]];
      case 16:
        for (int x = 0; x < w; ++x) {
          uint32_t v;
          if (dib.bpp == 16) {
            v = le16(s);
            s += 2;
          } else {
            v = le32(s);
            s += 4;
          }
          uint8_t a = use_alpha ? f[3].get(v) : 255;
          any_alpha |= use_alpha && a != 0;
          o[x] = Pixels::bgra(f[2].get(v), f[1].get(v), f[0].get(v), a);
        }
        break;
    }
  }
  // An alpha channel that is zero everywhere is an unused one.
  if (use_alpha && !any_alpha)
    for (int y = 0; y < out.height(); ++y) {
      uint32_t* o = out.row(y);
      for (int x = 0; x < w; ++x) o[x] |= 0xFF000000u;
    }
  return true;
}

// RLE4 and RLE8; what the data does not reach stays opaque black, and data
// that ends early keeps what it drew.
bool decode_rle(const Dib& dib, const uint8_t* bits, size_t available, Pixels& out, Load_failure* why) {
  if (!out.resize(static_cast<int>(dib.width), static_cast<int>(dib.height), OPAQUE_BLACK))
    return Load_failure::no_memory(why);
  const bool four = dib.compression == BI_RLE4;
  const int64_t w = dib.width, h = dib.height;
  int64_t x = 0, y = 0;  // y counts rows in file order
  size_t pos = 0;
  auto put = [&](int64_t px, uint8_t index) {
    if (px < w && y < h) out.set(static_cast<int>(px), static_cast<int>(dib.top_down ? y : h - 1 - y), dib.palette[index]);
  };
  while (pos + 2 <= available && y < h) {
    uint8_t n = bits[pos], c = bits[pos + 1];
    pos += 2;
    if (n) {
      for (int i = 0; i < n; ++i, ++x) put(x, four ? ((i & 1) ? c & 15 : c >> 4) : c);
      continue;
    }
    if (c == 0) {
      x = 0;
      ++y;
    } else if (c == 1) {
      break;
    } else if (c == 2) {
      if (pos + 2 > available) break;
      x += bits[pos];
      y += bits[pos + 1];
      pos += 2;
    } else {
      size_t bytes = four ? (size_t(c) + 1) / 2 : c;
      if (pos + bytes > available) break;
      for (int i = 0; i < c; ++i, ++x) {
        uint8_t b = bits[pos + (four ? i / 2 : i)];
        put(x, four ? ((i & 1) ? b & 15 : b >> 4) : b);
      }
      pos += bytes + (bytes & 1);
    }
  }
  return true;
}

// The AND mask of an icon: a set bit is a transparent pixel. Used unless
// the colour bits brought alpha of their own.
void apply_and_mask(const Dib& dib, const uint8_t* mask, size_t available, Pixels& out) {
  bool has_alpha = false;
  for (int y = 0; y < out.height() && !has_alpha; ++y)
    for (int x = 0; x < out.width(); ++x)
      if (Pixels::alpha(out.row(y)[x]) != 255) {
        has_alpha = true;
        break;
      }
  if (has_alpha && dib.bpp == 32) return;
  int64_t stride = row_bytes(dib.width, 1);
  if (int64_t(available) < stride * dib.height) return;  // no mask: opaque
  for (int y = 0; y < out.height(); ++y) {
    const uint8_t* s = mask + stride * (dib.height - 1 - y);
    uint32_t* o = out.row(y);
    for (int x = 0; x < out.width(); ++x)
      if ((s[x >> 3] >> (7 - (x & 7))) & 1) o[x] &= 0x00FFFFFFu;
  }
}

bool decode_at(const uint8_t* d, size_t size, const Dib& dib, size_t bits_at, bool icon, Pixels& out,
               Load_failure* why) {
  if (bits_at > size) return Load_failure::note(why, K::TRUNCATED);
  const uint8_t* bits = d + bits_at;
  size_t available = size - bits_at;
  bool ok = (dib.compression == BI_RLE4 || dib.compression == BI_RLE8)
                ? decode_rle(dib, bits, available, out, why)
                : decode_rows(dib, bits, available, icon, out, why);
  if (ok && icon) {
    size_t colour = static_cast<size_t>(row_bytes(dib.width, dib.bpp) * dib.height);
    if (dib.compression == BI_RGB && colour <= available)
      apply_and_mask(dib, bits + colour, available - colour, out);
  }
  return ok;
}

}  // namespace

bool decode_dib(const uint8_t* dib, size_t size, bool icon, Pixels& out, Load_failure* why) {
  out.clear();
  Dib h;
  if (!parse_header(dib, dib ? size : 0, icon, h, size, why)) return false;
  if (decode_at(dib, size, h, h.header_end, icon, out, why)) return true;
  out.clear();
  return false;
}

bool decode(const uint8_t* data, size_t size, Pixels& out, Load_failure* why) {
  out.clear();
  if (!data) size = 0;
  if (size < 2 || data[0] != 'B' || data[1] != 'M') return Load_failure::note(why, K::MALFORMED, "not a BMP file");
  if (size < 14 + 12) return Load_failure::note(why, K::TRUNCATED);
  // The palette ends where the bits begin; writers that leave the offset 0
  // or point into the header mean "right after the palette".
  size_t offset = le32(data + 10);
  Dib h;
  if (!parse_header(data + 14, size - 14, false, h, offset > 14 && offset < size ? offset - 14 : size, why))
    return false;
  size_t bits_at = offset >= 14 + h.header_end && offset < size ? offset : 14 + h.header_end;
  if (decode_at(data, size, h, bits_at, false, out, why)) return true;
  out.clear();
  return false;
}

std::vector<uint8_t> encode24(const Pixels& in, bool alpha_as_grey) {
  std::vector<uint8_t> f;
  if (in.empty()) return f;
  const uint32_t w = static_cast<uint32_t>(in.width()), h = static_cast<uint32_t>(in.height());
  const uint32_t stride = (w * 3 + 3) & ~3u;
  const uint32_t image = stride * h;
  const uint32_t offset = 14 + 40;
  f.resize(size_t(offset) + image);
  uint8_t* p = f.data();
  auto w16 = [&](size_t at, uint32_t v) { p[at] = uint8_t(v); p[at + 1] = uint8_t(v >> 8); };
  auto w32 = [&](size_t at, uint32_t v) { w16(at, v & 0xFFFF); w16(at + 2, v >> 16); };
  p[0] = 'B';
  p[1] = 'M';
  w32(2, offset + image);
  w32(10, offset);
  w32(14, 40);
  w32(18, w);
  w32(22, h);
  w16(26, 1);
  w16(28, 24);
  w32(30, BI_RGB);
  w32(34, image);
  w32(38, 2835);  // 72 dots per inch
  w32(42, 2835);
  for (uint32_t y = 0; y < h; ++y) {
    const uint32_t* s = in.row(static_cast<int>(h - 1 - y));
    uint8_t* o = p + offset + size_t(y) * stride;
    for (uint32_t x = 0; x < w; ++x, o += 3) {
      uint32_t v = s[x];
      if (alpha_as_grey) {
        o[0] = o[1] = o[2] = Pixels::alpha(v);
      } else {
        o[0] = Pixels::blue(v);
        o[1] = Pixels::green(v);
        o[2] = Pixels::red(v);
      }
    }
  }
  return f;
}

}  // namespace brek::Bmp_codec
