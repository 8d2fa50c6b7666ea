#pragma once
// Test pictures and the bare libjpeg-turbo decode that benchmarks measure
// against.

#include <cstdio>  // before jpeglib.h, which uses FILE

#include <jpeglib.h>

#include <csetjmp>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "drawing/pixels.h"

namespace brek_bench {

// A fresh temporary directory named after the benchmark.
inline std::string temp_dir(const char* prefix) {
  const char* base = std::getenv("TMPDIR");
  std::string t = std::string(base && *base ? base : "/tmp") + "/" + prefix + "-XXXXXX";
  std::vector<char> buf(t.begin(), t.end());
  buf.push_back('\0');
  if (!mkdtemp(buf.data())) throw std::runtime_error("no temporary directory");
  return buf.data();
}

// A photograph-like picture: smooth light, texture and sharp edges.
inline brek::Pixels photo(int w, int h) {
  brek::Pixels p(w, h);
  uint32_t seed = 1;
  for (int y = 0; y < h; ++y) {
    uint32_t* row = p.row(y);
    for (int x = 0; x < w; ++x) {
      seed = seed * 1664525u + 1013904223u;
      int noise = int(seed >> 27) - 16;
      int r = (x * 255) / w + noise, g = (y * 255) / h + noise;
      int b = ((x / 97 + y / 61) % 3) * 90 + noise / 2;
      auto c = [](int v) { return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v); };
      row[x] = brek::Pixels::bgra(c(b), c(g), c(r));
    }
  }
  return p;
}

namespace detail {
struct Error_exit {
  jpeg_error_mgr pub;
  jmp_buf jump;
};
}  // namespace detail

// A picture in plain heap memory, as a program with libjpeg-turbo alone
// would hold it (not in the program's own pixel memory).
struct Plain_picture {
  std::unique_ptr<uint8_t[]> bytes;
  int width = 0, height = 0;
  void resize(int w, int h) {
    bytes.reset(new uint8_t[size_t(w) * size_t(h) * 4]);
    width = w;
    height = h;
  }
  int stride() const { return width * 4; }
  uint8_t* data() { return bytes.get(); }
};

// Fills a picture with a horizontal red and a vertical green gradient and
// blue noise from the seed: a stand-in for a photograph that no scaler can
// take a shortcut through.
inline void fill_gradient_noise(brek::Pixels& p, uint32_t seed) {
  const int w = p.width(), h = p.height();
  for (int y = 0; y < h; ++y) {
    uint32_t* row = p.row(y);
    for (int x = 0; x < w; ++x) {
      seed = seed * 1103515245u + 12345u;
      row[x] = 0xFF000000u | ((x * 255 / w) << 16) | ((y * 255 / h) << 8) | (seed >> 24);
    }
  }
}

inline uint8_t* bytes_of(brek::Pixels& p) { return p.bytes(); }
inline uint8_t* bytes_of(Plain_picture& p) { return p.data(); }

// What a viewer showing a picture at its own size decodes of it: w x h
// pixels from (x, y) on.
struct Visible {
  int x = 0, y = 0, w = 0, h = 0;
};

// libjpeg-turbo alone: the JPEG decoded at 1/denom straight into 32-bit
// pixels (brek::Pixels or Plain_picture). With `visible`, only that part:
// the columns cut with jpeg_crop_scanline (widened to whole iMCUs; *left is
// the column of `out` where visible->x lies), the rows above passed over
// with jpeg_skip_scanlines, none read below. The frame holding the jump has
// no C++ objects with destructors.
template <class Picture>
inline bool libjpeg_decode(const std::vector<uint8_t>& data, int denom, Picture& out,
                           const Visible* visible = nullptr, int* left = nullptr) {
  jpeg_decompress_struct cinfo;
  detail::Error_exit err;
  cinfo.err = jpeg_std_error(&err.pub);
  err.pub.error_exit = [](j_common_ptr c) { longjmp(reinterpret_cast<detail::Error_exit*>(c->err)->jump, 1); };
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, data.data(), static_cast<unsigned long>(data.size()));
  jpeg_read_header(&cinfo, TRUE);
  cinfo.out_color_space = JCS_EXT_BGRA;
  cinfo.scale_num = 1;
  cinfo.scale_denom = unsigned(denom < 1 ? 1 : denom);
  jpeg_start_decompress(&cinfo);
  JDIMENSION end = cinfo.output_height;
  if (visible) {
    JDIMENSION cx = JDIMENSION(visible->x), cw = JDIMENSION(visible->w);
    jpeg_crop_scanline(&cinfo, &cx, &cw);
    if (left) *left = visible->x - int(cx);
    out.resize(int(cw), visible->h);
    if (visible->y > 0) jpeg_skip_scanlines(&cinfo, JDIMENSION(visible->y));
    end = JDIMENSION(visible->y + visible->h);
  } else {
    out.resize(int(cinfo.output_width), int(cinfo.output_height));
  }
  const JDIMENSION top = cinfo.output_scanline;
  while (cinfo.output_scanline < end && cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = bytes_of(out) + size_t(cinfo.output_scanline - top) * size_t(out.stride());
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  // Rows below a visible part are not wanted.
  if (cinfo.output_scanline < cinfo.output_height)
    jpeg_abort_decompress(&cinfo);
  else
    jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return true;
}

// The picture as a baseline JPEG written by libjpeg-turbo at the quality
// (4:2:0, integer DCT), with a restart marker after every `restart_rows`
// MCU rows (0: none, as most programs write; cameras often write one a
// row).
inline std::vector<uint8_t> libjpeg_encode(const brek::Pixels& p, int quality, int restart_rows) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr err;
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = JDIMENSION(p.width());
  cinfo.image_height = JDIMENSION(p.height());
  cinfo.input_components = 4;
  cinfo.in_color_space = JCS_EXT_BGRA;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  cinfo.restart_in_rows = restart_rows;
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(reinterpret_cast<const JSAMPLE*>(p.row(int(cinfo.next_scanline))));
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::vector<uint8_t> out(buffer, buffer + size);
  std::free(buffer);
  return out;
}

// A whole file's bytes (empty when it cannot be read).
inline std::vector<uint8_t> read_file(const std::string& path) {
  std::vector<uint8_t> bytes;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    std::fseek(f, 0, SEEK_END);
    const long size = std::ftell(f);
    std::fseek(f, 0, SEEK_SET);
    bytes.resize(size > 0 ? size_t(size) : 0);
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), f));
    std::fclose(f);
  }
  return bytes;
}

// Writes bytes to a file; false when that fails.
inline bool write_file(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace brek_bench
