// The print dialog's rules apart from its window (grey values, the slider,
// the alignment grid, the steppers, the job title, the printer lookup) and
// the preview painted from a poster source onto a bitmap.

#include <gtest/gtest.h>

#include "drawing/bitmap.h"
#include "drawing/canvas.h"
#include "printing/print_dialog.h"
#include "printing/print_preview.h"
#include "tests/printing/print_test_support.h"

using namespace brek;
namespace R = Print_dialog_rules;
using print_test::BLUE;
using print_test::Fake_source;
using print_test::WHITE;

namespace {

constexpr uint32_t GROUND = 0xFFC0C0C0u;
constexpr uint32_t SHADOW = 0xFF404040u;

// 0xAARRGGBB of a pixel of a bitmap.
uint32_t pixel(const Ref<C_Bitmap>& b, int x, int y) { return b->pixels()->at(x, y) | 0xFF000000u; }

}  // namespace

TEST(PrintDialogRules, GreyValuesOfTheDrawingModes) {
  // Pure red: the weights, truncated.
  EXPECT_EQ(R::grey_of(1, 255, 0, 0), 76);
  EXPECT_EQ(R::grey_of(2, 255, 0, 0), 84);
  EXPECT_EQ(R::grey_of(3, 255, 0, 0), 54);
  EXPECT_EQ(R::grey_of(4, 255, 0, 0), 54);
  // Green 128 encodes to 0.7367 of full: 0.7152 x 0.7367 x 255 = 134.3.
  EXPECT_EQ(R::grey_of(4, 0, 128, 0), 134);
  EXPECT_EQ(R::grey_of(4, 200, 100, 50), 177);  // 177.78
  EXPECT_EQ(R::grey_of(3, 200, 100, 50), 117);  // 42.52 + 71.52 + 3.61 = 117.65
  // A neutral pixel keeps its value in the linear modes, whatever the
  // rounding of the weights; white stays white in every mode.
  for (int64_t mode = 1; mode <= 3; ++mode)
    for (int v = 0; v < 256; ++v) ASSERT_EQ(R::grey_of(mode, v, v, v), v) << mode << " " << v;
  EXPECT_EQ(R::grey_of(4, 255, 255, 255), 255);
  EXPECT_EQ(R::grey_of(4, 0, 0, 0), 0);
  // The encoding's two pieces meet.
  EXPECT_NEAR(R::srgb_encode(0.0031308), 12.92 * 0.0031308, 1e-6);
  EXPECT_NEAR(R::srgb_encode(0.0031309), 12.92 * 0.0031308, 1e-4);
  EXPECT_NEAR(R::srgb_encode(1), 1, 1e-12);
}

TEST(PrintDialogRules, GreyscaleCopyOfABitmap) {
  Ref<C_Bitmap> src = C_Bitmap::create(4, 2, 32);
  Pixels& px = *src->pixels();
  px.set(0, 0, 0xFFFF0000u);  // red
  px.set(1, 0, 0xFF00FF00u);  // green
  px.set(2, 0, 0x00000000u);  // transparent
  px.set(3, 0, 0xFF808080u);
  for (int x = 0; x < 4; ++x) px.set(x, 1, 0xFFFFFFFFu);
  Ref<C_Bitmap> grey = C_Print_dialog::to_grayscale(src, 1);
  ASSERT_EQ(grey->width, 4);
  ASSERT_EQ(grey->height, 2);
  EXPECT_EQ(grey->bits, 24);
  EXPECT_EQ(pixel(grey, 0, 0), 0xFF4C4C4Cu);  // 76
  EXPECT_EQ(pixel(grey, 1, 0), 0xFF959595u);  // 149
  EXPECT_EQ(pixel(grey, 2, 0), 0xFFFFFFFFu);  // the paper shows through
  EXPECT_EQ(pixel(grey, 3, 0), 0xFF808080u);
  EXPECT_EQ(pixel(grey, 3, 1), 0xFFFFFFFFu);
  EXPECT_EQ(pixel(C_Print_dialog::to_grayscale(src, 2), 0, 0), 0xFF545454u);  // 84
  EXPECT_EQ(pixel(C_Print_dialog::to_grayscale(src, 4), 3, 1), 0xFFFFFFFFu);
  // Every mode gives each colour the grey of its rule.
  Ref<C_Bitmap> many = C_Bitmap::create(64, 64, 24);
  uint32_t state = 7;
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) {
      state = state * 1664525u + 1013904223u;
      many->pixels()->set(x, y, 0xFF000000u | state >> 8);
    }
  for (int64_t mode = 1; mode <= 4; ++mode) {
    Ref<C_Bitmap> g = C_Print_dialog::to_grayscale(many, mode);
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 64; ++x) {
        const uint32_t c = many->pixels()->at(x, y);
        const uint32_t v = uint32_t(R::grey_of(mode, int(c >> 16 & 0xFF), int(c >> 8 & 0xFF), int(c & 0xFF)));
        ASSERT_EQ(pixel(g, x, y), 0xFF000000u | v << 16 | v << 8 | v) << mode << " at " << x << ", " << y;
      }
  }
  // The source is left as it was.
  EXPECT_EQ(px.at(0, 0), 0xFFFF0000u);
  EXPECT_TRUE(C_Print_dialog::to_grayscale(Ref<C_Bitmap>(), 1).is_none());
  EXPECT_TRUE(C_Print_dialog::to_grayscale(C_Bitmap::create(0, 0, 24), 1).is_none());
}

TEST(PrintDialogRules, SliderAlignmentAndSteppers) {
  const rect box{100, 50, 120, 20};  // the line runs from x 110 to 210
  EXPECT_EQ(R::slider_value(110, box), 1);  // the left end of the line
  EXPECT_EQ(R::slider_value(0, box), 1);
  EXPECT_EQ(R::slider_value(160, box), 50);
  EXPECT_EQ(R::slider_value(209.5, box), 99);
  EXPECT_EQ(R::slider_value(400, box), 100);
  EXPECT_EQ(R::slider_value(115, rect{100, 50, 20, 20}), 100);  // no line at all
  EXPECT_EQ(R::slider_value(110, rect{100, 50, 20, 20}), 1);
  EXPECT_DOUBLE_EQ(R::knob_x(50, 120, 20), 60);
  EXPECT_DOUBLE_EQ(R::knob_x(250, 120, 20), 110);

  int64_t c = -1, r = -1;
  const rect grid{10, 10, 60, 60};
  R::align_cell(point{40, 40}, grid, c, r);
  EXPECT_EQ(c, 1);
  EXPECT_EQ(r, 1);
  R::align_cell(point{70, 10}, grid, c, r);  // the right edge, the top edge
  EXPECT_EQ(c, 2);
  EXPECT_EQ(r, 0);
  R::align_cell(point{29.9, 50.1}, grid, c, r);
  EXPECT_EQ(c, 0);
  EXPECT_EQ(r, 2);
  R::align_cell(point{10, 10}, rect{10, 10, 0, 0}, c, r);
  EXPECT_EQ(c, 0);

  EXPECT_EQ(R::step_count("1", -1), "1");
  EXPECT_EQ(R::step_count("9", 1), "10");
  EXPECT_EQ(R::step_count("0", 1), "1");
  EXPECT_EQ(R::step_count("abc", -1), "1");
  EXPECT_EQ(R::step_count("100", 1), "100");  // as many as a poster holds
  EXPECT_EQ(R::step_count("99999999999999999999", -1), "100");
}

TEST(PrintDialogRules, JobTitleAndPrinterLookup) {
  EXPECT_EQ(R::job_title("Collage", 1, 1, 1), "Collage 1 x 1 (1)");
  EXPECT_EQ(R::job_title("Collage", 2, 3, 5), "Collage 2 x 3 (5)");
  const std::string names = "Office\r\n Lab laser \r\nPrint to PDF file";
  EXPECT_EQ(R::printer_position(names, "Office"), 0);
  EXPECT_EQ(R::printer_position(names, "Lab laser"), 1);
  EXPECT_EQ(R::printer_position(names, " Print to PDF file"), 2);
  EXPECT_EQ(R::printer_position(names, "Gone"), -1);
  EXPECT_EQ(R::printer_position("", "Office"), -1);
}

// ---- the preview ----

namespace {

class Preview : public ::testing::Test {
 protected:
  void SetUp() override {
    src->options.paper_mm = point{210, 297};
    src->options.margins = margins_for_cell{20, 20, 20, 20};
    src->options.overlap_mm = 10;
  }
  // The preview in a bitmap whose pixels are the canvas's units.
  void paint(int w, int h, bool as_images) {
    bitmap = C_Bitmap::create(w, h, 32);
    Ref<C_Canvas> c = bitmap->canvas();
    c->units = units_measure_graphics::PIXELS;
    Print_preview::paint(c, point{double(w), double(h)}, *src, as_images);
  }
  uint32_t at(int x, int y) const { return pixel(bitmap, x, y); }
  bool any(int x0, int y0, int x1, int y1, uint32_t colour) const {
    for (int y = y0; y <= y1; ++y)
      for (int x = x0; x <= x1; ++x)
        if (at(x, y) == colour) return true;
    return false;
  }

  Ref<Fake_source> src = make<Fake_source>();
  Ref<C_Bitmap> bitmap;
};

}  // namespace

TEST_F(Preview, SheetsSideBySideCutToThePostersProportions) {
  src->options.columns = 3;
  Print_preview::Sheets s = Print_preview::sheets_of(src->options, point{700, 200});
  EXPECT_EQ(s.columns, 3);
  EXPECT_EQ(s.rows, 1);
  // Height limits: 180 points for 29.7 cm.
  EXPECT_NEAR(s.scale, 180 / 29.7, 1e-9);
  rect third = s.sheet(2, 0);
  EXPECT_NEAR(third.x, 10 + 2 * (21 * s.scale + 10), 1e-9);
  EXPECT_NEAR(third.y, 10, 1e-9);
  EXPECT_NEAR(third.h, 180, 1e-9);

  // Rows or columns of 0 preview as one; a landscape sheet turns.
  src->options.rows = 0;
  src->options.columns = 0;
  src->options.landscape = true;
  s = Print_preview::sheets_of(src->options, point{400, 400});
  EXPECT_EQ(s.columns, 1);
  EXPECT_EQ(s.rows, 1);
  EXPECT_NEAR(s.paper_cm.x, 29.7, 1e-9);
  EXPECT_NEAR(s.scale, 380 / 29.7, 1e-9);
  // A tiny preview narrows the gaps and shows the sheet within it.
  s = Print_preview::sheets_of(src->options, point{5, 5});
  EXPECT_GT(s.scale, 0);
  EXPECT_NEAR(s.gap, 0.5, 1e-9);
  EXPECT_LE(s.sheet(0, 0).y + s.sheet(0, 0).h + s.gap, 5 + 1e-9);
  src->options.paper_mm = point{0, 0};
  EXPECT_EQ(Print_preview::sheets_of(src->options, point{400, 400}).scale, 0);
}

TEST_F(Preview, TheGapsOfALargePosterNarrowToAFifthOfThePreview) {
  src->options.rows = 100;
  src->options.columns = 100;
  src->add(rect{0, 0, 100, 50}, 0x0000FF);
  const Print_preview::Sheets s = Print_preview::sheets_of(src->options, point{577, 530});
  // 101 gaps take 106 of 530 points; the height limits the sheets.
  EXPECT_NEAR(s.gap, 530.0 / 505, 1e-9);
  EXPECT_NEAR(s.scale, (530 - 101 * s.gap) / (100 * 29.7), 1e-9);
  paint(577, 530, true);
  // The first sheet shows its part of the card; the last, below the card,
  // is white, with its shadow half a gap off.
  const rect first = s.sheet(0, 0);
  EXPECT_NEAR(first.x, s.gap, 1e-9);
  EXPECT_EQ(at(0, 0), GROUND);
  EXPECT_EQ(at(int(first.x + first.w / 2), int(first.y + first.h / 2)), BLUE);
  const rect last = s.sheet(99, 99);
  EXPECT_LE(last.x + last.w + s.gap / 2, 577);
  EXPECT_EQ(at(int(last.x + last.w / 2), int(last.y + last.h / 2)), WHITE);
  EXPECT_EQ(at(int(last.x + last.w + s.gap / 4), int(last.y + last.h)), SHADOW);
}

TEST_F(Preview, ThreeSheetsWithShadowsAndTheirPartsOfTheCards) {
  src->options.columns = 3;
  src->add(rect{0, 0, 100, 50}, 0x0000FF);
  paint(700, 200, true);
  // Sheets 127.3 wide and 180 high from x 10, 147.3 and 284.6; the card
  // spans all three from 20 mm (12.1 points) in, 490 x 245 mm (3 x 170 mm
  // less two shared bands), so it ends 265 mm (170.6 points) down.
  EXPECT_EQ(at(5, 5), GROUND);
  EXPECT_EQ(at(12, 100), WHITE);
  EXPECT_EQ(at(140, 100), SHADOW);
  EXPECT_EQ(at(145, 100), GROUND);
  EXPECT_EQ(at(139, 12), GROUND);
  EXPECT_EQ(at(100, 193), SHADOW);
  EXPECT_EQ(at(100, 197), GROUND);
  EXPECT_EQ(at(20, 100), WHITE);
  EXPECT_EQ(at(25, 25), BLUE);
  EXPECT_EQ(at(120, 100), BLUE);
  EXPECT_EQ(at(100, 168), BLUE);
  EXPECT_EQ(at(100, 173), WHITE);
  EXPECT_EQ(at(165, 100), BLUE);
  EXPECT_EQ(at(300, 100), BLUE);
  // The margins at the seams stay white, as on the paper.
  EXPECT_EQ(at(135, 100), WHITE);
  EXPECT_EQ(at(150, 100), WHITE);
  // The sheets hold their parts: nothing runs into the gaps.
  EXPECT_FALSE(any(138, 20, 146, 150, BLUE));
  EXPECT_FALSE(any(275, 20, 283, 150, BLUE));
  EXPECT_FALSE(any(0, 0, 699, 8, BLUE));
  EXPECT_EQ(src->modes_asked.back(), 0);
  // No cut lines in the preview.
  EXPECT_FALSE(any(0, 0, 699, 199, print_test::RED));

  // As boxes: light grey boxes, filled only, instead of the images; no
  // outline at the box's edge (22.1 points across) nor anywhere on the sheets.
  paint(700, 200, false);
  EXPECT_EQ(at(25, 25), GROUND);
  EXPECT_EQ(at(300, 100), GROUND);
  EXPECT_EQ(at(12, 100), WHITE);
  EXPECT_EQ(at(23, 23), GROUND);
  EXPECT_FALSE(any(11, 11, 136, 188, SHADOW));
  EXPECT_FALSE(any(149, 11, 273, 188, SHADOW));
  EXPECT_FALSE(any(0, 0, 699, 199, BLUE));
}

TEST_F(Preview, AlignmentAndModeReachThePreview) {
  src->add(rect{0, 0, 100, 50}, 0x0000FF);
  src->options.align_row = 2;
  src->options.drawing_mode = 2;
  paint(300, 400, true);
  // One sheet 21 x 29.7 cm in 280 x 380: the height limits; the card
  // fills the width within the margins and sits at the bottom.
  const double s = 380 / 29.7, u = s / 10;
  const double bottom = 10 + (297 - 20) * u;
  const double top = bottom - 85 * u;
  EXPECT_EQ(at(100, int(top) - 3), WHITE);
  EXPECT_EQ(at(100, int(top) + 3), BLUE);
  EXPECT_EQ(at(100, int(bottom) - 3), BLUE);
  EXPECT_EQ(at(100, int(bottom) + 3), WHITE);
  EXPECT_EQ(src->modes_asked.back(), 2);
}

TEST_F(Preview, PicturesAreReducedOnceToThePreviewsSize) {
  Print_preview::Preview_copies copies;
  Ref<C_Bitmap> big = print_test::solid(400, 300, 0x0000FF);
  Ref<C_Bitmap> copy = Print_preview::reduced(copies, big, 100, 100);
  ASSERT_NE(copy.get(), big.get());
  EXPECT_EQ(copy->width, 100);
  EXPECT_EQ(copy->height, 75);
  EXPECT_EQ(pixel(copy, 50, 40), BLUE);
  EXPECT_EQ(Print_preview::reduced(copies, big, 100, 100).get(), copy.get());
  // Another size is another copy; what fits, and what has transparency,
  // is drawn as it is.
  EXPECT_EQ(Print_preview::reduced(copies, big, 200, 200)->width, 200);
  EXPECT_EQ(Print_preview::reduced(copies, big, 400, 300).get(), big.get());
  Ref<C_Bitmap> clear = C_Bitmap::create(400, 300, 32);
  clear->pixels()->set(0, 0, 0x00000000u);
  EXPECT_EQ(Print_preview::reduced(copies, clear, 100, 100).get(), clear.get());
  EXPECT_EQ(copies.entries.size(), 2u);

  // A paint keeps the copies it drew from and lets the others go; it
  // shows the same as from the pictures themselves.
  src->add(rect{0, 0, 100, 50}, 0x0000FF);
  src->bitmaps[0] = big;
  // Within the margins, so that none of the card is cut off.
  src->options.fit = 80;
  bitmap = C_Bitmap::create(300, 400, 32);
  Ref<C_Canvas> c = bitmap->canvas();
  c->units = units_measure_graphics::PIXELS;
  Print_preview::paint(c, point{300, 400}, *src, true, &copies);
  ASSERT_EQ(copies.entries.size(), 1u);
  EXPECT_EQ(at(100, 60), BLUE);
  EXPECT_EQ(at(20, 60), WHITE);
  // The copy has the card's own size, so repaints draw it unscaled.
  int left = -1, right = -1;
  for (int x = 0; x < 300; ++x)
    if (at(x, 60) == BLUE) {
      if (left < 0) left = x;
      right = x;
    }
  EXPECT_EQ(copies.entries[0].copy->width, right - left + 1);
}
