#include "images/icon_codec.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "images/bmp_codec.h"
#include "platform/image_decode.h"

namespace brek::Icon_codec {

namespace {

uint32_t le16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
uint32_t le32(const uint8_t* p) { return le16(p) | le16(p + 2) << 16; }
uint32_t be32(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

const uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

struct Entry {
  size_t offset = 0;
  size_t size = 0;
  bool png = false;
  int64_t area = 0;
  int depth = 0;
  int order = 0;
};

// The real size and depth of an entry come from its own header: the
// directory's bytes are 0 for 256 pixels and hold the hot spot in cursors.
bool describe(const uint8_t* d, Entry& e) {
  if (e.size >= 24 && std::memcmp(d, kPngSignature, 8) == 0) {
    e.png = true;
    // Two 32-bit sides: their product fits in 64 unsigned bits only.
    uint64_t area = uint64_t(be32(d + 16)) * be32(d + 20);
    e.area = static_cast<int64_t>(std::min<uint64_t>(area, INT64_MAX));
    e.depth = 32;
    return true;
  }
  if (e.size < 40) return false;
  uint32_t hsize = le32(d);
  if (hsize < 40) return false;
  int64_t w = static_cast<int32_t>(le32(d + 4)), h = static_cast<int32_t>(le32(d + 8)) / 2;
  if (w <= 0 || h <= 0) return false;
  e.area = w * h;
  e.depth = static_cast<int>(le16(d + 14));
  return true;
}

bool decode_png_entry(const uint8_t* d, size_t n, Pixels& out) {
  brek_platform::Decoded_image img;
  if (!brek_platform::decode_png(d, n, Pixels::MAX_PIXELS, img)) return false;
  if (!out.resize(img.width, img.height)) return false;
  std::copy(img.pixels.begin(), img.pixels.end(), out.words());
  return true;
}

// The entries whose own header makes sense, in directory order.
std::vector<Entry> list_entries(const uint8_t* data, size_t size) {
  std::vector<Entry> entries;
  if (!data || size < 6 || le16(data) != 0) return entries;
  uint32_t type = le16(data + 2);
  if (type != 1 && type != 2) return entries;
  size_t count = std::min<size_t>(le16(data + 4), (size - 6) / 16);
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* d = data + 6 + 16 * i;
    Entry e;
    e.size = le32(d + 8);
    e.offset = le32(d + 12);
    e.order = static_cast<int>(i);
    if (e.offset >= size || e.size == 0) continue;
    e.size = std::min(e.size, size - e.offset);
    if (describe(data + e.offset, e)) entries.push_back(e);
  }
  return entries;
}

bool decode_entry(const uint8_t* data, const Entry& e, Pixels& out) {
  return e.png ? decode_png_entry(data + e.offset, e.size, out)
               : Bmp_codec::decode_dib(data + e.offset, e.size, true, out);
}

}  // namespace

bool decode(const uint8_t* data, size_t size, Pixels& out) {
  out.clear();
  std::vector<Entry> entries = list_entries(data, size);
  std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
    return a.area != b.area ? a.area > b.area : a.depth > b.depth;
  });
  for (const Entry& e : entries)
    if (decode_entry(data, e, out)) return true;
  out.clear();
  return false;
}

std::vector<Pixels> decode_all(const uint8_t* data, size_t size) {
  std::vector<Pixels> images;
  for (const Entry& e : list_entries(data, size)) {
    Pixels p;
    if (decode_entry(data, e, p)) images.push_back(std::move(p));
  }
  return images;
}

}  // namespace brek::Icon_codec
