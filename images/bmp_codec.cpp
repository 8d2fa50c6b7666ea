#include "images/bmp_codec.h"

#include <cstring>
#include <string>

#include "images/bmp_dib.h"

namespace brek::Bmp_dib {

using K = load_failure_kind;


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

bool parse_file(const uint8_t* data, size_t size, Dib& dib, size_t& bits_at, Load_failure* why) {
  if (size < 2 || data[0] != 'B' || data[1] != 'M') return Load_failure::note(why, K::MALFORMED, "not a BMP file");
  if (size < 14 + 12) return Load_failure::note(why, K::TRUNCATED);
  // The palette ends where the bits begin; writers that leave the offset 0
  // or point into the header mean "right after the palette".
  size_t offset = le32(data + 10);
  if (!parse_header(data + 14, size - 14, false, dib, offset > 14 && offset < size ? offset - 14 : size, why))
    return false;
  bits_at = offset >= 14 + dib.header_end && offset < size ? offset : 14 + dib.header_end;
  return true;
}

Row_format row_format(const Dib& dib, bool icon) {
  Row_format r;
  if (dib.bpp != 16 && dib.bpp != 32) return r;
  uint32_t m[4] = {dib.masks[0], dib.masks[1], dib.masks[2], dib.masks[3]};
  bool fields = dib.compression == BI_BITFIELDS || dib.compression == BI_ALPHABITFIELDS;
  if (!fields) {
    if (dib.bpp == 16) {
      m[0] = 0x7C00; m[1] = 0x03E0; m[2] = 0x001F; m[3] = 0;
    } else {
      m[0] = 0xFF0000; m[1] = 0xFF00; m[2] = 0xFF; m[3] = icon ? 0xFF000000u : 0;
    }
  }
  for (int i = 0; i < 4; ++i) r.fields[i] = Field(m[i]);
  r.use_alpha = m[3] != 0;
  return r;
}

void read_row(const Dib& dib, const Row_format& rf, const uint8_t* s, uint32_t* o, int w, bool& any_alpha) {
  const Field* f = rf.fields;
  const bool use_alpha = rf.use_alpha;
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

}  // namespace brek::Bmp_dib

namespace brek::Bmp_codec {

namespace {

using namespace Bmp_dib;
using K = load_failure_kind;

// Uncompressed rows at bits[0..available).
bool decode_rows(const Dib& dib, const uint8_t* bits, size_t available, bool icon, Pixels& out, Load_failure* why) {
  int64_t stride = row_bytes(dib.width, dib.bpp);
  int64_t last = (dib.width * dib.bpp + 7) / 8;  // the last row may lack its padding
  if (int64_t(available) < stride * (dib.height - 1) + last) return Load_failure::note(why, K::TRUNCATED);
  if (!out.resize(static_cast<int>(dib.width), static_cast<int>(dib.height)))
    return Load_failure::no_memory(why);
  const Row_format format = row_format(dib, icon);
  const int w = out.width();
  bool any_alpha = false;
  for (int y = 0; y < out.height(); ++y)
    read_row(dib, format, bits + stride * (dib.top_down ? y : dib.height - 1 - y), out.row(y), w, any_alpha);
  // An alpha channel that is zero everywhere is an unused one.
  if (format.use_alpha && !any_alpha)
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
  struct Bytes {
    const uint8_t* bits;
    size_t available;
    bool has(size_t pos, size_t n) const { return pos + n <= available; }
    const uint8_t* at(size_t pos, size_t) const { return bits + pos; }
  } bytes{bits, available};
  const int64_t w = dib.width, h = dib.height;
  Rle_at at;
  while (at.y < h) {
    uint32_t* row = out.row(static_cast<int>(dib.top_down ? at.y : h - 1 - at.y));
    auto put = [&](int64_t x, uint8_t index) {
      if (x < w) row[x] = dib.palette[index];
    };
    if (!rle_row(bytes, dib.compression == BI_RLE4, at, put)) break;
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
  Dib h;
  size_t bits_at = 0;
  if (!parse_file(data, size, h, bits_at, why)) return false;
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
