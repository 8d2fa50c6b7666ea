#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "drawing/bitmap.h"
#include "drawing/canvas.h"
#include "drawing/font.h"
#include "drawing/units.h"
#include "platform/native_forms.h"
#include "platform/painter.h"

using namespace brek;

namespace {

constexpr uint32_t WHITE = 0xFFFFFFFFu, BLACK = 0xFF000000u;

// A window layer that reports a fixed screen resolution.
struct Fixed_ppi : brek_platform::Native_forms {
  explicit Fixed_ppi(double v) : ppi(v) {}
  double pixels_per_inch() override { return ppi; }
  double ppi;
};

class CanvasTest : public ::testing::Test {
 protected:
  void SetUp() override { old_ = brek_platform::set_native_forms(&ppi_); }
  void TearDown() override { brek_platform::set_native_forms(old_); }
  Fixed_ppi ppi_{96};
  brek_platform::Native_forms* old_ = nullptr;


  // A white 24-bit bitmap and its canvas in the given unit.
  Ref<C_Canvas> white(int w, int h, units_measure_graphics u = units_measure_graphics::PIXELS) {
    bmp = C_Bitmap::create(w, h, 24);
    auto c = bmp->canvas();
    c->clear();
    c->units = u;
    return c;
  }
  uint32_t at(int x, int y) const { return bmp->pixels()->at(x, y); }
  // Columns of row y that are not white, as a string of '#' and '.'.
  std::string row(int y) const {
    std::string s;
    for (int x = 0; x < bmp->pixels()->width(); ++x) s += at(x, y) == WHITE ? '.' : '#';
    return s;
  }
  std::string column(int x) const {
    std::string s;
    for (int y = 0; y < bmp->pixels()->height(); ++y) s += at(x, y) == WHITE ? '.' : '#';
    return s;
  }

  Ref<C_Bitmap> bmp;
};

}  // namespace

TEST_F(CanvasTest, UnitsBecomePixelsAtTheDeviceResolution) {
  using U = units_measure_graphics;
  EXPECT_EQ(Draw_units::to_pixels(7.5, U::POINTS, 96), 10);
  EXPECT_EQ(Draw_units::to_pixels(0.375, U::POINTS, 96), 0);  // 0.5 rounds to even
  EXPECT_EQ(Draw_units::to_pixels(1.125, U::POINTS, 96), 2);  // 1.5 rounds to even
  EXPECT_EQ(Draw_units::to_pixels(3.9, U::PIXELS, 96), 3);
  EXPECT_EQ(Draw_units::to_pixels(-3.9, U::PIXELS, 96), -3);
  EXPECT_EQ(Draw_units::to_pixels(0.5, U::INCHES, 96), 48);
  EXPECT_EQ(Draw_units::to_pixels(2.54, U::CENTIMETERS, 96), 96);
  EXPECT_EQ(Draw_units::to_pixels(NAN, U::POINTS, 96), 0);
  EXPECT_EQ(Draw_units::to_pixels(INFINITY, U::PIXELS, 96), 0);
  EXPECT_EQ(Draw_units::to_pixels(1e300, U::POINTS, 96), 16777216);  // held, never undefined
  EXPECT_DOUBLE_EQ(Draw_units::from_pixels(10, U::POINTS, 96), 7.5);

  EXPECT_EQ(C_Canvas::to_device_pixels(72), 96);
  EXPECT_EQ(C_Canvas::to_device_pixels(0.75), 1);
  EXPECT_EQ(C_Canvas::to_device_pixels(-INFINITY), 0);
  EXPECT_EQ(C_Canvas::to_device_pixels(INFINITY), 1000000);
  EXPECT_DOUBLE_EQ(C_Canvas::from_device_pixels(96.7), 72);
  EXPECT_DOUBLE_EQ(C_Canvas::convert_units(1, U::INCHES, U::PIXELS), 96);
  EXPECT_DOUBLE_EQ(C_Canvas::convert_units(2.54, U::CENTIMETERS, U::POINTS), 72);

  // A line at 7.5 points lands on row 10.
  auto c = white(20, 20, U::POINTS);
  c->draw_line(point{0, 7.5}, point{14.25, 7.5});
  EXPECT_EQ(row(10), "###################.");
  EXPECT_EQ(row(9), std::string(20, '.'));

  // Bitmaps take the screen's resolution: at 120 pixels per inch 7.5
  // points are 12.5 pixels, row 12.
  ppi_.ppi = 120;
  c = white(20, 20, U::POINTS);
  c->draw_line(point{0, 7.5}, point{6, 7.5});
  EXPECT_EQ(row(12), "##########..........");
  EXPECT_EQ(C_Canvas::to_device_pixels(72), 120);
}

TEST_F(CanvasTest, RectangleEllipseAndLineEnds) {
  auto c = white(16, 16);
  c->draw_rectangle(rect{0, 0, 10, 10});
  EXPECT_EQ(row(0), "###########.....");
  EXPECT_EQ(row(5), "#.........#.....");
  EXPECT_EQ(row(10), "###########.....");
  EXPECT_EQ(row(11), "................");

  c->clear();
  c->draw_ellipse(rect{0, 0, 10, 10});
  EXPECT_EQ(at(10, 5), BLACK);
  EXPECT_EQ(at(0, 5), BLACK);
  EXPECT_EQ(at(11, 5), WHITE);
  EXPECT_EQ(at(5, 10), BLACK);

  c->clear();
  c->draw_line(point{2, 3}, point{8, 3});
  EXPECT_EQ(row(3), "..######........");  // without its end pixel
  c->draw_line(point{4, 4}, point{4, 4});     // nothing
  EXPECT_EQ(row(4), std::string(16, '.'));
}

TEST_F(CanvasTest, ClearPenFillsWithoutOutline) {
  auto c = white(12, 12);
  c->brush_color = Colors::make(0, 0, 255);
  c->pen_style = pen_style::CLEAR_PEN;
  c->draw_rectangle(rect{1, 1, 4, 4});
  EXPECT_EQ(at(1, 1), 0xFF0000FFu);
  EXPECT_EQ(at(5, 5), 0xFF0000FFu);
  EXPECT_EQ(at(6, 6), WHITE);
  c->brush_style = brush_style::CLEAR_BRUSH;
  c->pen_style = pen_style::SOLID_PEN;
  c->draw_rectangle(rect{7, 7, 3, 3});
  EXPECT_EQ(at(7, 7), BLACK);
  EXPECT_EQ(at(8, 8), WHITE);  // outline only
}

TEST_F(CanvasTest, HatchBrushesDrawTheirLinesOnly) {
  auto c = white(16, 16);
  c->pen_style = pen_style::CLEAR_PEN;
  c->brush_color = COLOR_BLACK;
  auto fill = [&](brush_style s) {
    c->brush_style = brush_style::SOLID_BRUSH;
    c->brush_color = COLOR_WHITE;
    c->clear();
    c->brush_color = COLOR_BLACK;
    c->brush_style = s;
    c->draw_rectangle(rect{0, 0, 15, 15});
  };
  fill(brush_style::HORIZONTAL);
  int full_rows = 0;
  for (int y = 0; y < 16; ++y) full_rows += row(y) == std::string(16, '#');
  EXPECT_EQ(full_rows, 2);
  EXPECT_NE(row(0) + row(1), std::string(32, '#'));

  fill(brush_style::VERTICAL);
  int full_cols = 0;
  for (int x = 0; x < 16; ++x) full_cols += column(x) == std::string(16, '#');
  EXPECT_EQ(full_cols, 2);

  // A forward diagonal falls from left to right, a backward one rises.
  fill(brush_style::DIAGONAL);
  int fx = int(row(0).find('#'));
  ASSERT_GE(fx, 0);
  EXPECT_EQ(at((fx + 1) % 16, 1), BLACK);
  fill(brush_style::BDIAGONAL);
  int bx = int(row(1).find('#'));
  ASSERT_GE(bx, 0);
  EXPECT_EQ(at((bx + 1) % 16, 0), BLACK);

  fill(brush_style::CROSS);
  full_rows = full_cols = 0;
  for (int i = 0; i < 16; ++i) {
    full_rows += row(i) == std::string(16, '#');
    full_cols += column(i) == std::string(16, '#');
  }
  EXPECT_EQ(full_rows, 2);
  EXPECT_EQ(full_cols, 2);

  fill(brush_style::DIAGONAL_CROSS);
  int marked = 0;
  for (int y = 0; y < 16; ++y)
    for (char ch : row(y)) marked += ch == '#';
  EXPECT_GT(marked, 40);
  EXPECT_LT(marked, 100);
}

TEST_F(CanvasTest, ArcsRunCounterClockwiseFromTheSecondAngle) {
  auto c = white(24, 24);
  c->brush_style = brush_style::CLEAR_BRUSH;
  c->draw_arc(rect{2, 2, 20, 20}, arc_information{180, 0}, false);
  // From 0 degrees counter-clockwise to 180: the upper half.
  EXPECT_EQ(at(12, 2), BLACK);
  EXPECT_EQ(at(12, 21), WHITE);
  c->brush_style = brush_style::SOLID_BRUSH;
  c->clear();
  c->draw_arc(rect{2, 2, 20, 20}, arc_information{0, 180}, false);
  EXPECT_EQ(at(12, 2), WHITE);
  EXPECT_EQ(at(12, 21), BLACK);

  c->clear();
  c->brush_color = COLOR_BLACK;
  // Angles grow downwards (y grows downwards): from 0 counter-clockwise
  // round to 90, which points down, leaves out the lower right quarter.
  c->draw_arc(rect{2, 2, 20, 20}, arc_information{90, 0}, true);
  EXPECT_EQ(at(16, 7), BLACK);
  EXPECT_EQ(at(7, 7), BLACK);
  EXPECT_EQ(at(7, 16), BLACK);
  EXPECT_EQ(at(16, 16), WHITE);
}

TEST_F(CanvasTest, RoundRectArcsRunCounterClockwiseWithAnglesAsOnPaper) {
  // A circle of radius 20 about (30, 30); a point 45 degrees into each
  // quarter lies 14 pixels from the centre on both axes.
  auto dark_near = [&](int x, int y) {
    for (int dy = -1; dy <= 1; ++dy)
      for (int dx = -1; dx <= 1; ++dx)
        if (at(x + dx, y + dy) != WHITE) return true;
    return false;
  };
  // Upper right, upper left, lower left, lower right.
  const int qx[4] = {44, 16, 16, 44}, qy[4] = {16, 16, 44, 44};
  auto quarters = [&] {
    std::string s;
    for (int i = 0; i < 4; ++i) s += dark_near(qx[i], qy[i]) ? '#' : '.';
    return s;
  };
  auto c = white(60, 60);
  c->draw_round_rect(rect{10, 10, 41, 41}, point{90, 270});  // the left half
  EXPECT_EQ(quarters(), ".##.");
  EXPECT_TRUE(dark_near(10, 30));
  EXPECT_FALSE(dark_near(50, 30));
  c->clear();
  c->draw_round_rect(rect{10, 10, 41, 41}, point{270, 90});  // the right half, through 0
  EXPECT_EQ(quarters(), "#..#");
  EXPECT_TRUE(dark_near(50, 30));
  EXPECT_FALSE(dark_near(10, 30));
  c->clear();
  c->draw_round_rect(rect{10, 10, 41, 41}, point{0, 90});
  EXPECT_EQ(quarters(), "#...");
  // An outline only: the inside stays white whatever the brush.
  c->clear();
  c->brush_color = COLOR_BLACK;
  c->draw_round_rect(rect{10, 10, 41, 41}, point{0, 90});
  EXPECT_EQ(at(36, 24), WHITE);
  EXPECT_EQ(quarters(), "#...");
}

TEST_F(CanvasTest, LaterTransformsActFirst) {
  auto c = white(20, 10);
  c->pen_style = pen_style::CLEAR_PEN;
  c->brush_color = COLOR_BLACK;
  c->translate_transform(4, 0);
  c->scale_transform(2, 2);
  c->draw_rectangle(rect{0, 0, 1, 1});  // widened to 2 x 2, scaled to 4 x 4, then moved by 4
  EXPECT_EQ(row(0), "....####............");
  EXPECT_EQ(row(3), "....####............");
  EXPECT_EQ(row(4), std::string(20, '.'));
  c->reset_transform();
  c->brush_color = COLOR_WHITE;
  c->clear();
  c->brush_color = COLOR_BLACK;
  c->scale_transform(2, 2);
  c->translate_transform(4, 0);  // now the move is scaled too
  c->draw_rectangle(rect{0, 0, 1, 1});
  EXPECT_EQ(row(0), "........####........");
}

TEST_F(CanvasTest, ClipFollowsTranslationAndTextKeepsToIt) {
  auto c = white(30, 30);
  c->pen_style = pen_style::CLEAR_PEN;
  c->brush_color = COLOR_BLACK;
  c->clip_rect = rect{0, 0, 5, 5};
  c->translate_transform(10, 0);
  c->draw_rectangle(rect{-10, 0, 40, 40});
  EXPECT_EQ(row(0), "..........#####...............");
  EXPECT_EQ(row(5), std::string(30, '.'));

  c->brush_color = COLOR_WHITE;
  c->clip_rect = rect{};
  c->reset_transform();
  c->clear();
  // Text under the same clip and translation: no ink outside columns 10..14.
  c->clip_rect = rect{0, 0, 5, 30};
  c->translate_transform(10, 0);
  c->draw_text(point{-10, 0}, "WWWWWWWWWW");
  int inside = 0, outside = 0;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 30; ++x)
      if (at(x, y) != WHITE) (x >= 10 && x < 15 ? inside : outside)++;
  EXPECT_GT(inside, 0);
  EXPECT_EQ(outside, 0);

  // No clip at all when width and height are both 0.
  c->clip_rect = rect{};
  c->reset_transform();
  c->draw_text(point{0, 0}, "WWWWWWWWWW");
  EXPECT_NE(row(6).find('#'), std::string::npos);
}

TEST_F(CanvasTest, AlphaPlaneTakesTheAlphaByteAsRed) {
  bmp = C_Bitmap::create(10, 10, 32);
  auto c = bmp->canvas();
  c->units = units_measure_graphics::PIXELS;
  c->alpha_plane = true;
  c->pen_color = Colors::make(0, 255, 0, 0x80);
  c->draw_line(point{0, 2}, point{9, 2});
  Native_bitmap* nb = bmp->native.get();
  ASSERT_TRUE(nb->alpha);
  EXPECT_EQ(Pixels::red(nb->alpha->at(3, 2)), 0x80);
  EXPECT_EQ(Pixels::red(nb->alpha->at(3, 3)), 0);
  EXPECT_EQ(Pixels::green(bmp->pixels()->at(3, 2)), 255);
  c->alpha_plane = false;
  c->draw_line(point{0, 4}, point{9, 4});
  EXPECT_FALSE(nb->alpha);

  // A 24-bit bitmap never gets one.
  auto c24 = white(4, 4);
  c24->alpha_plane = true;
  c24->draw_line(point{0, 0}, point{3, 0});
  EXPECT_FALSE(bmp->native->alpha);
}

TEST_F(CanvasTest, ArialTextHasMetricCompatibleExtents) {
  auto c = white(10, 10);
  EXPECT_EQ(c->text_extent(""), rect{});
  rect e = c->text_extent("Hello");
  EXPECT_NEAR(e.w, 30, 1);  // advance widths of the metric twin: 30.4 px at 13 px
  EXPECT_EQ(e.h, 15);
  e = c->text_extent("Hello World Hello World");
  EXPECT_NEAR(e.w, 138, 2);
  c->units = units_measure_graphics::POINTS;
  e = c->text_extent("Hello");
  EXPECT_DOUBLE_EQ(e.h, 11.25);

  // Text sits with its top-left corner at the point.
  c->units = units_measure_graphics::PIXELS;
  c->draw_text(point{0, 0}, "");
  EXPECT_EQ(row(5), std::string(10, '.'));
}

TEST_F(CanvasTest, DegenerateInputDrawsNothingOrSafely) {
  auto c = white(10, 10);
  c->draw_polyline(DynArray<point>{point{1, 1}}, false);
  EXPECT_EQ(row(1), std::string(10, '.'));
  c->draw_polyline(DynArray<point>{point{1, 1}, point{5, 1}}, false);
  EXPECT_EQ(row(1), ".####.....");
  double nan = std::numeric_limits<double>::quiet_NaN();
  c->draw_line(point{nan, 3}, point{INFINITY, 3});  // both ends become 0: nothing
  c->draw_rectangle(rect{1e300, -1e300, 1e300, nan});
  c->scale_transform(nan, 2);
  c->rotate_transform(INFINITY);
  c->draw_line(point{0, 8}, point{3, 8});
  EXPECT_EQ(row(8), "###.......");

  // An all-zero pending transform counts as none.
  for (float& v : bmp->native->xform) v = 0;
  c->draw_line(point{0, 9}, point{3, 9});
  EXPECT_EQ(row(9), "###.......");

  // Canvases without a surface do nothing.
  auto loose = make<C_Canvas>();
  loose->draw_rectangle(rect{0, 0, 5, 5});
  loose->clear();
  EXPECT_EQ(loose->text_extent("abc"), rect{});
  none_of<C_Canvas>()->draw_line(point{0, 0}, point{5, 5});
}

TEST_F(CanvasTest, CopyRectMovesPixelsAlsoOntoItself) {
  auto c = white(8, 8);
  c->pen_color = COLOR_BLACK;
  c->draw_line(point{0, 0}, point{8, 0});  // row 0 black
  // Shift the picture down by 2 rows in place.
  c->copy_rect(rect{0, 2, 8, 8}, rect{0, 0, 8, 8}, c);
  EXPECT_EQ(row(2), "########");
  EXPECT_EQ(row(0), "########");  // the uncovered band keeps its old pixels
  EXPECT_EQ(row(1), "........");
  EXPECT_EQ(row(4), "........");
  // And up by 2 again.
  c->copy_rect(rect{0, 0, 8, 8}, rect{0, 2, 8, 8}, c);
  EXPECT_EQ(row(0), "########");
  EXPECT_EQ(row(2), "........");

  // Stretched from another bitmap: 2 x 1 into 8 x 2.
  auto src = C_Bitmap::create(2, 1, 24);
  src->pixels()->set(0, 0, 0xFF0000FFu);
  src->pixels()->set(1, 0, 0xFFFF0000u);
  c->copy_rect(rect{0, 4, 8, 2}, rect{0, 0, 2, 1}, src->canvas());
  EXPECT_EQ(at(3, 5), 0xFF0000FFu);
  EXPECT_EQ(at(4, 4), 0xFFFF0000u);
  c->copy_rect(rect{0, 0, 2, 2}, rect{0, 0, 2, 2}, Ref<C_Canvas>());  // nothing
}

TEST_F(CanvasTest, PrinterPagesDrawInPointsAtTheirOwnResolution) {
  int64_t page = brek_platform::page_create(400, 400, 300, 600);
  ASSERT_NE(page, 0);
  auto c = C_Canvas::create_on_printer(page);
  c->pen_style = pen_style::CLEAR_PEN;
  c->brush_color = COLOR_BLACK;
  // 72 points are 300 pixels; vertical coordinates use the horizontal
  // resolution too.
  c->draw_rectangle(rect{24, 24, 23, 23});
  brek_platform::Raster r = brek_platform::page_raster(page);
  auto px = [&](int x, int y) { return reinterpret_cast<uint32_t*>(r.bits + y * r.stride)[x]; };
  EXPECT_EQ(px(100, 100), BLACK);
  EXPECT_EQ(px(199, 199), BLACK);
  EXPECT_EQ(px(201, 201), WHITE);
  EXPECT_EQ(px(99, 99), WHITE);

  // Text keeps its size in points on the page.
  rect on_page = c->text_extent("Hello");
  auto screen = white(4, 4, units_measure_graphics::POINTS);
  rect on_screen = screen->text_extent("Hello");
  EXPECT_NEAR(on_page.w, on_screen.w, 1.5);

  // A bitmap at its natural size is scaled from screen pixels to the page.
  auto pic = C_Bitmap::create(48, 48, 24);
  pic->canvas()->clear();
  pic->draw_at(c, point{0, 0});
  EXPECT_EQ(px(149, 149), WHITE);  // 48 screen pixels are 150 page pixels
  EXPECT_EQ(px(151, 151), BLACK);
  brek_platform::page_free(page);
  c->draw_rectangle(rect{0, 0, 10, 10});  // the page is gone: nothing
}

TEST_F(CanvasTest, ThinOutlinesKeepToTheirPixelsUnderMovesAndClips) {
  auto c = white(20, 12);
  c->brush_style = brush_style::CLEAR_BRUSH;
  c->translate_transform(3, 2);
  c->draw_rectangle(rect{0, 0, 6, 4});  // pixels 3..9 by 2..6
  EXPECT_EQ(row(1), std::string(20, '.'));
  EXPECT_EQ(row(2), "...#######..........");
  EXPECT_EQ(row(4), "...#.....#..........");
  EXPECT_EQ(row(6), "...#######..........");
  EXPECT_EQ(row(7), std::string(20, '.'));
  // One pixel wide, two high, and a single pixel.
  c = white(20, 12);
  c->brush_style = brush_style::CLEAR_BRUSH;
  c->draw_rectangle(rect{12, 0, 0, 1});
  c->draw_rectangle(rect{15, 0, 0, 0});
  EXPECT_EQ(row(0), "............#..#....");
  EXPECT_EQ(row(1), "............#.......");
  EXPECT_EQ(row(2), std::string(20, '.'));
  // A clip cuts the frame like any drawing.
  c = white(20, 12);
  c->brush_style = brush_style::CLEAR_BRUSH;
  c->clip_rect = rect{0, 0, 5, 12};
  c->draw_rectangle(rect{2, 2, 6, 6});
  EXPECT_EQ(row(2), "..###...............");
  EXPECT_EQ(row(5), "..#.................");
  // A wider pen is no thin outline.
  c = white(20, 12);
  c->brush_style = brush_style::CLEAR_BRUSH;
  c->pen_width = 2;
  c->draw_rectangle(rect{2, 2, 8, 8});
  EXPECT_EQ(row(5).substr(0, 5).find('#') != std::string::npos, true) << row(5);
  EXPECT_EQ(row(5).substr(5, 2), "..");
}

TEST_F(CanvasTest, CopyRectTakesTheAskedPartOfAnotherBitmap) {
  auto c = white(8, 4);
  auto src = C_Bitmap::create(4, 1, 24);
  const uint32_t colours[] = {0xFF0000FFu, 0xFF00FF00u, 0xFFFF0000u, 0xFF123456u};
  for (int x = 0; x < 4; ++x) src->pixels()->set(x, 0, colours[x]);
  // Source columns 1..2 doubled into 4 pixels.
  c->copy_rect(rect{0, 0, 4, 1}, rect{1, 0, 2, 1}, src->canvas());
  EXPECT_EQ(at(0, 0), colours[1]);
  EXPECT_EQ(at(1, 0), colours[1]);
  EXPECT_EQ(at(2, 0), colours[2]);
  EXPECT_EQ(at(3, 0), colours[2]);
  EXPECT_EQ(at(4, 0), WHITE);
  // A part reaching past the source keeps its scale: the last column
  // lands where it would, the rest comes from outside the picture.
  c->copy_rect(rect{0, 2, 8, 1}, rect{2, 0, 4, 1}, src->canvas());
  EXPECT_EQ(at(0, 2), colours[2]);
  EXPECT_EQ(at(3, 2), colours[3]);
  EXPECT_NE(at(4, 2), colours[3]);
}

TEST_F(CanvasTest, PicturesAtTheirOwnSizeKeepToTheTargetTheClipAndTheMove) {
  auto c = white(6, 5);
  auto pic = C_Bitmap::create(4, 3, 24);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) pic->pixels()->set(x, y, 0xFF000000u | uint32_t(x * 16 + y));
  // Half outside on the left and moved by the transform.
  c->translate_transform(0, 1);
  pic->draw_at(c, point{-1, 0});
  EXPECT_EQ(at(0, 0), WHITE);
  EXPECT_EQ(at(0, 1), 0xFF000000u | 16u);  // source column 1, row 0
  EXPECT_EQ(at(2, 3), 0xFF000000u | 50u);  // column 3, row 2
  EXPECT_EQ(at(3, 1), WHITE);
  EXPECT_EQ(at(0, 4), WHITE);
  // Clipped: only the clip's pixels change.
  c = white(6, 5);
  c->clip_rect = rect{3, 0, 2, 5};
  pic->draw_at(c, point{2, 2});
  EXPECT_EQ(at(2, 2), WHITE);
  EXPECT_EQ(at(3, 2), 0xFF000000u | 16u);
  EXPECT_EQ(at(4, 4), 0xFF000000u | 34u);
  EXPECT_EQ(at(5, 2), WHITE);
  // Onto itself (a picture drawn on its own canvas) it is read safely.
  auto self = C_Bitmap::create(4, 3, 24);
  *self->pixels() = *pic->pixels();
  Ref<C_Canvas> sc = self->canvas();
  sc->units = units_measure_graphics::PIXELS;
  self->draw_at(sc, point{1, 0});
  EXPECT_EQ(self->pixels()->at(1, 0), 0xFF000000u);
  EXPECT_EQ(self->pixels()->at(3, 2), 0xFF000000u | 34u);
}

TEST_F(CanvasTest, ThinBoxOutlinesCoverEveryCornerWhereverTheyStart) {
  const point corners[4] = {{1, 1}, {8, 1}, {8, 6}, {1, 6}};
  for (int start = 0; start < 4; ++start)
    for (int step : {1, 3}) {
      auto c = white(12, 9);
      c->pen_color = COLOR_BLACK;
      DynArray<point> path;
      for (int i = 0; i < 5; ++i) path.append(corners[(start + step * i) % 4]);
      c->draw_polyline(path, false);
      EXPECT_EQ(row(1), ".########...") << start << " " << step;
      EXPECT_EQ(row(3), ".#......#...") << start << " " << step;
      EXPECT_EQ(row(6), ".########...") << start << " " << step;
      EXPECT_EQ(row(7), "............") << start << " " << step;
    }

  // Moved and clipped (the clip moves with the drawing).
  auto c = white(12, 9);
  c->pen_color = COLOR_BLACK;
  c->clip_rect = rect{0, 0, 6, 9};
  c->translate_transform(2, 1);
  c->draw_polyline(DynArray<point>{point{0, 0}, point{7, 0}, point{7, 5}, point{0, 5}, point{0, 0}}, false);
  EXPECT_EQ(row(0), "............");
  EXPECT_EQ(row(1), "..######....");
  EXPECT_EQ(row(3), "..#.........");
  EXPECT_EQ(row(6), "..######....");

  // Along the bitmap's edges.
  c = white(12, 9);
  c->pen_color = COLOR_BLACK;
  c->draw_polyline(DynArray<point>{point{0, 0}, point{11, 0}, point{11, 8}, point{0, 8}, point{0, 0}}, false);
  EXPECT_EQ(row(0), std::string(12, '#'));
  EXPECT_EQ(row(8), std::string(12, '#'));
  EXPECT_EQ(column(0), std::string(9, '#'));
  EXPECT_EQ(column(11), std::string(9, '#'));
  EXPECT_EQ(row(4), "#..........#");

  // Closed paths that double back are no boxes: no bottom side.
  c = white(12, 9);
  c->pen_color = COLOR_BLACK;
  c->draw_polyline(DynArray<point>{point{1, 1}, point{8, 1}, point{1, 1}, point{1, 6}, point{1, 1}}, false);
  c->draw_polyline(DynArray<point>{point{1, 1}, point{8, 1}, point{8, 6}, point{8, 1}, point{1, 1}}, false);
  EXPECT_EQ(row(6).substr(2, 6), "......");
}

TEST_F(CanvasTest, OpaquePictureAtItsSizeLandsWordForWordOnA32BitBitmap) {
  auto pic = C_Bitmap::create(4, 3, 24);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) pic->pixels()->row(y)[x] = 0xFF000000u | uint32_t(0x10203 * (y * 4 + x + 1));
  bmp = C_Bitmap::create(10, 8, 32);
  auto c = bmp->canvas();
  c->units = units_measure_graphics::PIXELS;
  const uint32_t before = at(9, 7);
  c->clip_rect = rect{0, 0, 4, 8};
  c->translate_transform(1, 1);
  pic->draw_at(c, point{1, 1});  // lands at 2..5 x 2..4, cut at column 4
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 10; ++x) {
      const bool inside = x >= 2 && x <= 4 && y >= 2 && y <= 4;
      EXPECT_EQ(at(x, y), inside ? pic->pixels()->at(x - 2, y - 2) : before) << x << "," << y;
    }
}

TEST_F(CanvasTest, DrawingGoesOnlyToTheBitmapOfTheMomentWhenOnesComeAndGo) {
  // A slanted line is drawn by the painter.
  auto c = white(20, 10);
  c->pen_color = COLOR_BLACK;
  c->draw_line(point{0, 0}, point{19, 9});
  ASSERT_EQ(at(0, 0), BLACK);
  // The bitmap goes and one of the same size takes its place.
  c = white(20, 10);
  c->pen_color = COLOR_BLACK;
  c->draw_line(point{0, 9}, point{19, 0});
  EXPECT_EQ(at(0, 0), WHITE);
  EXPECT_EQ(at(0, 9), BLACK);
  // Resized both ways, drawn on again: all of the new size takes ink.
  for (auto [w, h] : {std::pair{40, 30}, std::pair{8, 6}}) {
    bmp->set_size(w, h);
    c->draw_line(point{0, double(h - 1)}, point{double(h - 1), 0});
    EXPECT_EQ(at(0, h - 1), BLACK) << w;
    EXPECT_EQ(at(h - 2, 1), BLACK) << w;
  }
}

TEST_F(CanvasTest, NoCallsClipMoveOrCopyModeReachesTheNext) {
  auto c = white(20, 10);
  c->pen_color = COLOR_BLACK;
  c->clip_rect = rect{0, 0, 5, 10};
  c->translate_transform(3, 0);
  c->draw_line(point{0, 0}, point{10, 5});
  c->draw_text(point{0, 0}, "W");
  c->clip_rect = rect{};
  c->reset_transform();
  c->draw_line(point{0, 9}, point{19, 4});
  EXPECT_EQ(at(0, 9), BLACK);
  EXPECT_EQ(at(18, 4), BLACK);

  // A copy replaces pixels; a picture drawn after it blends by its alpha.
  bmp = C_Bitmap::create(6, 6, 24);
  c = bmp->canvas();
  c->units = units_measure_graphics::PIXELS;
  c->brush_color = COLOR_WHITE;
  c->clear();
  c->scale_transform(2, 2);  // scaled: the painter copies
  c->copy_rect(rect{0, 0, 1, 1}, rect{4, 4, 1, 1}, c);
  c->reset_transform();
  auto glass = C_Bitmap::create(2, 2, 32);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 2; ++x) glass->pixels()->row(y)[x] = 0x00000000u;  // fully transparent black
  glass->stretch_draw(c, rect{0, 0, 6, 6});
  EXPECT_EQ(at(3, 3), WHITE);
}

TEST_F(CanvasTest, LargeOutlinedBoxesKeepTheirFrameUnderAClipAndAMove) {
  auto c = white(300, 220);
  c->pen_color = COLOR_BLACK;
  c->brush_color = Colors::make(0, 0, 255);
  c->clip_rect = rect{0, 0, 200, 300};
  c->translate_transform(10, 5);
  c->draw_rectangle(rect{0, 0, 250, 200});  // columns 10..260, rows 5..205, cut after column 209
  const uint32_t blue = 0xFF0000FFu;
  EXPECT_EQ(at(10, 100), BLACK);
  EXPECT_EQ(at(100, 5), BLACK);
  EXPECT_EQ(at(100, 205), BLACK);
  EXPECT_EQ(at(100, 100), blue);
  EXPECT_EQ(at(209, 100), blue);
  EXPECT_EQ(at(210, 100), WHITE);
  EXPECT_EQ(at(9, 100), WHITE);
  EXPECT_EQ(at(100, 4), WHITE);
  EXPECT_EQ(at(100, 206), WHITE);
}
