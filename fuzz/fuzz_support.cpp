#include "fuzz/fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "drawing/pixels.h"
#include "images/gif_writer.h"

namespace brek_fuzz {

namespace {

uint32_t le16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
uint32_t le32(const uint8_t* p) { return le16(p) | le16(p + 2) << 16; }
uint32_t be16(const uint8_t* p) { return uint32_t(p[0]) << 8 | p[1]; }

// Allocated by a decoder, and slow to fill.
bool too_many(int64_t w, int64_t h) {
  if (w < 0) w = -w;
  if (h < 0) h = -h;
  return brek::Pixels::size_allowed(w, h) && w * h > FUZZ_MAX_PIXELS;
}

}  // namespace

bool jpeg_too_large(const uint8_t* data, size_t size, int factor) {
  for (size_t i = 0; i + 9 <= size; ++i) {
    if (data[i] != 0xFF) continue;
    uint8_t m = data[i + 1];
    if (m < 0xC0 || m > 0xCF || m == 0xC4 || m == 0xC8 || m == 0xCC) continue;
    int64_t w = be16(data + i + 7), h = be16(data + i + 5);
    // The work follows the frame size, once the scaled output is allowed.
    if (w * h > FUZZ_MAX_PIXELS && brek::Pixels::size_allowed((w + factor - 1) / factor, (h + factor - 1) / factor))
      return true;
  }
  return false;
}

bool dib_too_large(const uint8_t* data, size_t size, size_t at) {
  if (at + 16 > size) return false;
  const uint8_t* d = data + at;
  int64_t w, h;
  if (le32(d) == 12) {
    w = le16(d + 4);
    h = le16(d + 6);
  } else {
    w = int32_t(le32(d + 4));
    h = int32_t(le32(d + 8));
  }
  return too_many(w, h) || too_many(w, h / 2);
}

bool gif_screen_too_large(const uint8_t* data, size_t size) {
  return size >= 10 && too_many(le16(data + 6), le16(data + 8));
}

void limit_gif_image_frames() { brek::TGIFImage::decoded_bytes_limit = 4 * FUZZ_MAX_PIXELS; }

bool icon_too_large(const uint8_t* data, size_t size) {
  if (size < 6) return false;
  size_t count = le16(data + 4);
  for (size_t i = 0; i < count && 6 + 16 * i + 16 <= size; ++i) {
    size_t offset = le32(data + 6 + 16 * i + 12);
    if (offset < size && dib_too_large(data, size, offset)) return true;
  }
  return false;
}

const std::string& scratch_dir() {
  static const std::string dir = [] {
    const char* base = std::getenv("TMPDIR");
    std::string t = std::string(base && *base ? base : "/tmp") + "/collage-fuzz-XXXXXX";
    if (!mkdtemp(t.data())) std::abort();
    static std::string remove_at_exit;
    remove_at_exit = t;
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(remove_at_exit, ec);
    });
    return t + "/";
  }();
  return dir;
}

std::string write_scratch(const std::string& name, const uint8_t* data, size_t size) {
  std::string path = scratch_dir() + name;
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) std::abort();
  if (size && std::fwrite(data, 1, size, f) != size) std::abort();
  std::fclose(f);
  return path;
}

}  // namespace brek_fuzz
