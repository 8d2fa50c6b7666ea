#include "tests/printing/print_test_support.h"

#include <cstdio>
#include <sstream>

#include "baselib/system_functions.h"
#include "drawing/canvas.h"
#include "platform/painter.h"
#include "tests/support/temp_dir.h"

namespace print_test {

using namespace brek;

Ref<C_Bitmap> solid(int w, int h, uint32_t rgb) {
  Ref<C_Bitmap> b = C_Bitmap::create(w, h, 24);
  auto c = b->canvas();
  c->brush_color = Colors::from_bits(0xFF000000u | (rgb >> 16 & 0xFF) | (rgb & 0xFF00) | (rgb & 0xFF) << 16);
  c->clear();
  return b;
}

Page::Page(int w, int h, int dpi) { handle_ = brek_platform::page_create(w, h, dpi, dpi); }
Page::~Page() { brek_platform::page_free(handle_); }

uint32_t Page::at(int x, int y) const {
  brek_platform::Raster r = brek_platform::page_raster(handle_);
  if (r.empty() || x < 0 || y < 0 || x >= r.width || y >= r.height) return 0;
  return reinterpret_cast<const uint32_t*>(r.bits + size_t(y) * size_t(r.stride))[x];
}

bool Page::any(int x0, int y0, int x1, int y1, uint32_t colour) const {
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x)
      if (at(x, y) == colour) return true;
  return false;
}

bool Picture::near(int x, int y, uint32_t colour) const {
  uint32_t c = at(x, y);
  if (c == 0) return false;
  for (int shift = 0; shift < 24; shift += 8) {
    int a = int(c >> shift & 0xFF), b = int(colour >> shift & 0xFF);
    if (a - b > 6 || b - a > 6) return false;
  }
  return true;
}

bool Picture::any(int x0, int y0, int x1, int y1, uint32_t colour) const {
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x)
      if (at(x, y) == colour) return true;
  return false;
}

bool have_poppler() {
  return System_functions::program_exists("pdfinfo") && System_functions::program_exists("pdftoppm");
}

std::string pdf_info(const std::string& pdf) {
  return System_functions::run_process("pdfinfo", {"-f", "1", "-l", "100000", pdf});
}

std::string pdf_field(const std::string& info, const std::string& name) {
  std::istringstream in(info);
  std::string line;
  while (std::getline(in, line)) {
    if (line.compare(0, name.size() + 1, name + ":") != 0) continue;
    std::string v = line.substr(name.size() + 1);
    size_t a = v.find_first_not_of(' ');
    return a == std::string::npos ? std::string() : v.substr(a);
  }
  return {};
}

int64_t pdf_image_pixels(const std::string& pdf) {
  int rc = -1;
  std::istringstream in(System_functions::run_process("pdfimages", {"-list", pdf}, System_functions::CAPTURE_STDOUT, &rc));
  if (rc != 0) return -1;
  // "page num type width height ...", a line of dashes, then a line a picture.
  int64_t pixels = 0;
  std::string line;
  for (int i = 0; i < 2 && std::getline(in, line);) ++i;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    int64_t page = 0, num = 0, w = 0, h = 0;
    std::string type;
    if (fields >> page >> num >> type >> w >> h) pixels += w * h;
  }
  return pixels;
}

Picture render(const std::string& pdf, int page, int dpi) {
  Picture pic;
  brek_test::Temp_dir dir;
  std::string prefix = dir.file("page");
  std::string n = std::to_string(page);
  int rc = -1;
  System_functions::run_process("pdftoppm",
                                {"-r", std::to_string(dpi), "-f", n, "-l", n, "-singlefile", "-aa", "no", "-aaVector",
                                 "no", "-thinlinemode", "solid", pdf, prefix},
                                System_functions::CAPTURE_NONE, &rc);
  if (rc != 0) return pic;
  std::string data = brek_test::read_file(prefix + ".ppm");
  // "P6", width, height, maximum, one blank, then the rows.
  std::istringstream in(data);
  std::string magic;
  int maxval = 0;
  in >> magic >> pic.width >> pic.height >> maxval;
  if (magic != "P6" || maxval != 255 || pic.width <= 0 || pic.height <= 0) return Picture{};
  size_t at = size_t(in.tellg()) + 1;
  size_t n_px = size_t(pic.width) * size_t(pic.height);
  if (data.size() < at + n_px * 3) return Picture{};
  pic.px.resize(n_px);
  for (size_t i = 0; i < n_px; ++i) {
    auto b = [&](size_t k) { return uint32_t(uint8_t(data[at + i * 3 + k])); };
    pic.px[i] = 0xFF000000u | b(0) << 16 | b(1) << 8 | b(2);
  }
  return pic;
}

}  // namespace print_test
