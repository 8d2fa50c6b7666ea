#include "images/icon_codec.h"

#include <algorithm>
#include <cstring>
#include <string>
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

using K = load_failure_kind;

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
bool describe(const uint8_t* d, Entry& e, Load_failure* why) {
  if (e.size >= 24 && std::memcmp(d, kPngSignature, 8) == 0) {
    e.png = true;
    // Two 32-bit sides: their product fits in 64 unsigned bits only.
    uint64_t area = uint64_t(be32(d + 16)) * be32(d + 20);
    e.area = static_cast<int64_t>(std::min<uint64_t>(area, INT64_MAX));
    e.depth = 32;
    return true;
  }
  if (e.size < 40) return Load_failure::note(why, K::TRUNCATED);
  uint32_t hsize = le32(d);
  if (hsize < 40)
    return Load_failure::note(why, K::UNSUPPORTED, "icon entry header of " + std::to_string(hsize) + " bytes");
  int64_t w = static_cast<int32_t>(le32(d + 4)), h = static_cast<int32_t>(le32(d + 8)) / 2;
  if (w <= 0 || h <= 0) return Load_failure::note(why, K::MALFORMED, "no pixels");
  e.area = w * h;
  e.depth = static_cast<int>(le16(d + 14));
  return true;
}

bool decode_png_entry(const Entry& e, const uint8_t* d, Pixels& out, Load_failure* why) {
  // The platform does not say why; the size it refuses is known here.
  if (e.area > Pixels::MAX_PIXELS) return Load_failure::note(why, K::TOO_LARGE, "PNG entry");
  brek_platform::Decoded_image img;
  if (!brek_platform::decode_png(d, e.size, Pixels::MAX_PIXELS, img))
    return Load_failure::note(why, K::MALFORMED, "PNG entry");
  if (!Load_failure::size_allowed(img.width, img.height, why) || !out.resize(img.width, img.height)) return false;
  std::copy(img.pixels.begin(), img.pixels.end(), out.words());
  return true;
}

// The entries whose own header makes sense, in directory order; when there
// is none, `why` says what was wrong with the first one (or the directory).
std::vector<Entry> list_entries(const uint8_t* data, size_t size, Load_failure* why) {
  std::vector<Entry> entries;
  if (!data) size = 0;
  if (size < 6) {
    Load_failure::note(why, K::TRUNCATED);
    return entries;
  }
  uint32_t type = le16(data + 2);
  if (le16(data) != 0 || (type != 1 && type != 2)) {
    Load_failure::note(why, K::MALFORMED, "not an icon file");
    return entries;
  }
  const size_t declared = le16(data + 4);
  if (declared == 0) Load_failure::note(why, K::MALFORMED, "no images");
  size_t count = std::min<size_t>(declared, (size - 6) / 16);
  Load_failure first;
  if (count < declared) Load_failure::note(&first, K::TRUNCATED);
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* d = data + 6 + 16 * i;
    Entry e;
    e.size = le32(d + 8);
    e.offset = le32(d + 12);
    e.order = static_cast<int>(i);
    if (e.offset >= size || e.size == 0) {
      Load_failure::note(&first, e.size == 0 ? K::MALFORMED : K::TRUNCATED, e.size == 0 ? "empty entry" : "");
      continue;
    }
    e.size = std::min(e.size, size - e.offset);
    if (describe(data + e.offset, e, &first)) entries.push_back(e);
  }
  if (entries.empty()) Load_failure::note(why, first);
  return entries;
}

bool decode_entry(const uint8_t* data, const Entry& e, Pixels& out, Load_failure* why) {
  return e.png ? decode_png_entry(e, data + e.offset, out, why)
               : Bmp_codec::decode_dib(data + e.offset, e.size, true, out, why);
}

}  // namespace

bool decode(const uint8_t* data, size_t size, Pixels& out, Load_failure* why) {
  out.clear();
  std::vector<Entry> entries = list_entries(data, size, why);
  std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
    return a.area != b.area ? a.area > b.area : a.depth > b.depth;
  });
  // The best entry's reason is the file's: the others only stood in.
  Load_failure best;
  for (const Entry& e : entries)
    if (decode_entry(data, e, out, &best)) return true;
  out.clear();
  Load_failure::note(why, best);
  return false;
}

std::vector<Pixels> decode_all(const uint8_t* data, size_t size) {
  std::vector<Pixels> images;
  for (const Entry& e : list_entries(data, size, nullptr)) {
    Pixels p;
    if (decode_entry(data, e, p, nullptr)) images.push_back(std::move(p));
  }
  return images;
}

}  // namespace brek::Icon_codec
