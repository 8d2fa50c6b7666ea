#pragma once
// Shared pieces of the printing tests: a poster source with plain cards,
// solid bitmaps, offscreen pages and a look into printed PDF files through
// poppler's command-line tools.

#include <cstdint>
#include <string>
#include <vector>

#include "drawing/bitmap.h"
#include "printing/report_print_pages.h"

namespace print_test {

inline constexpr uint32_t WHITE = 0xFFFFFFFFu;
inline constexpr uint32_t BLUE = 0xFF0000FFu;  // as read from B, G, R, A bytes
inline constexpr uint32_t RED = 0xFFFF0000u;
inline constexpr uint32_t GREEN = 0xFF00FF00u;

// A 24-bit bitmap of one colour (0xRRGGBB).
brek::Ref<brek::C_Bitmap> solid(int w, int h, uint32_t rgb);

// Cards with plain rectangles and one bitmap each.
class Fake_source : public brek::Brek_object, public brek::Poster_source {
  BREK_CLASS(Fake_source)
 public:
  brek::Poster_options options;
  std::vector<brek::rect> cards;
  std::vector<brek::Ref<brek::C_Bitmap>> bitmaps;
  std::vector<int64_t> modes_asked;

  void add(const brek::rect& r, uint32_t rgb) {
    cards.push_back(r);
    bitmaps.push_back(solid(8, 8, rgb));
  }
  brek::Poster_options poster_options() override { return options; }
  int64_t poster_card_count() override { return int64_t(cards.size()); }
  brek::rect poster_card_rect(int64_t i) override { return cards.at(size_t(i)); }
  brek::Ref<brek::C_Bitmap> poster_card_bitmap(int64_t i, int64_t mode, int64_t, int64_t) override {
    modes_asked.push_back(mode);
    return bitmaps.at(size_t(i));
  }
};

// An offscreen page drawn on as a printer page; freed with the object.
class Page {
 public:
  Page(int w, int h, int dpi);
  ~Page();
  Page(const Page&) = delete;
  Page& operator=(const Page&) = delete;
  int64_t handle() const { return handle_; }
  uint32_t at(int x, int y) const;
  // Whether any pixel of the box (inclusive) has the colour.
  bool any(int x0, int y0, int x1, int y1, uint32_t colour) const;

 private:
  int64_t handle_ = 0;
};

// Pixels of a rendered PDF page, 0xFFRRGGBB.
struct Picture {
  int width = 0, height = 0;
  std::vector<uint32_t> px;
  uint32_t at(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) return 0;
    return px[size_t(y) * size_t(width) + size_t(x)];
  }
  // The pixel is the colour within a few steps per channel (pictures may
  // be stored compressed).
  bool near(int x, int y, uint32_t colour) const;
  bool any(int x0, int y0, int x1, int y1, uint32_t colour) const;
};

// Whether poppler's tools are installed.
bool have_poppler();
// pdfinfo's output for the file (with per-page sizes).
std::string pdf_info(const std::string& pdf);
// The value of one pdfinfo field ("Pages", "Title", "Page    1 size").
std::string pdf_field(const std::string& info, const std::string& name);
// The pixels of every picture the document holds, width times height as
// pdfimages lists them; -1 when it cannot be read.
int64_t pdf_image_pixels(const std::string& pdf);
// Page n (from 1) rendered at `dpi` without antialiasing.
Picture render(const std::string& pdf, int page, int dpi);

}  // namespace print_test
