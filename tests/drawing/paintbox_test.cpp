// The paint box: content size and scroll position, merged invalidations,
// the three paint stages over a persistent back buffer, and shifting the
// buffer in every direction with only the uncovered band repainted.

#include <gtest/gtest.h>

#include <cmath>

#include "drawing/paintbox.h"
#include "paint_test_support.h"
#include "platform/native_controls.h"
#include "runtime/exceptions.h"

using namespace paint_test;

namespace {

// Logs its own stages with the event kind the form was in.
class Stage_box : public C_Paintbox {
  BREK_CLASS(Stage_box)
 public:
  std::vector<std::string>* log = nullptr;
  void on_paint() override {
    C_Paintbox::on_paint();
    if (log) log->push_back("before " + std::to_string(form.lock()->current_kind));
  }
  void paint_content() override {
    if (log) log->push_back("after " + std::to_string(form.lock()->current_kind));
    C_Paintbox::paint_content();
  }
};

class Paintbox : public Paint_test {
 protected:
  Ref<C_Paintbox> box(const std::string& options, int64_t w = 200, int64_t h = 100) {
    Ref<C_Paintbox> b = C_Paintbox::new_paintbox(form, "PB", options);
    set_surface(b, w, h);
    return b;
  }
  static uint32_t word(const Ref<C_Bitmap>& b, int x, int y) { return b->pixels()->at(x, y); }
};

bool same(const rect& a, const rect& b) { return a.x == b.x && a.y == b.y && a.w == b.w && a.h == b.h; }

}  // namespace

TEST_F(Paintbox, OptionsContentSizeAndScrollClamps) {
  Ref<C_Paintbox> b = box("vH");
  EXPECT_EQ(b->has_vbar, 1);
  EXPECT_EQ(b->has_hbar, 1);
  EXPECT_TRUE(panel(b).desc.vbar && panel(b).desc.hbar);
  EXPECT_EQ(b->can_stretch, 1);
  EXPECT_EQ(C_Paintbox::new_paintbox(form, "P2", "")->has_vbar, 0);
  // A 200 x 100 pixel surface is 150 x 75 points.
  EXPECT_DOUBLE_EQ(b->visible_extent("h"), 150);
  EXPECT_DOUBLE_EQ(b->visible_extent("V"), 75);
  EXPECT_DOUBLE_EQ(b->visible_extent("x"), 0);

  b->set_content_size(300, 600);
  b->set_content_size(0, 500);
  EXPECT_DOUBLE_EQ(b->content_width, 300);
  EXPECT_DOUBLE_EQ(b->content_height, 500);
  EXPECT_DOUBLE_EQ(panel(b).total_h, 666);  // whole pixels

  b->set_scroll_pos({10, -5});
  EXPECT_DOUBLE_EQ(b->scroll_y, 0);
  b->set_scroll_pos({1000, 1000});
  EXPECT_DOUBLE_EQ(b->scroll_x, 150);
  EXPECT_DOUBLE_EQ(b->scroll_y, 425);
  EXPECT_DOUBLE_EQ(panel(b).vpos, 566);
  EXPECT_TRUE(same(b->visible_rect(), rect{150, 425, 150, 75}));
  // The user moved the bar: the view follows the bar.
  panel(b).vpos = 40;
  EXPECT_DOUBLE_EQ(b->visible_rect().y, 30);
  // Content smaller than the view scrolls nowhere.
  b->set_content_size(100, 50);
  b->set_scroll_pos({20, 20});
  EXPECT_DOUBLE_EQ(b->scroll_x, 0);
  EXPECT_DOUBLE_EQ(b->scroll_y, 0);
}

TEST_F(Paintbox, InvalidRectanglesUniteUntilEverythingIsPending) {
  Ref<C_Paintbox> b = box("");
  b->paint_surface();
  ASSERT_EQ(b->needs_paint, 0);
  b->invalidate_rect({10, 10, 20, 20});
  b->invalidate_rect({50, 5, 10, 10});
  EXPECT_TRUE(same(b->pending_rect, rect{10, 5, 50, 25}));
  EXPECT_EQ(b->needs_paint, 1);
  EXPECT_TRUE(same(b->paint_rect(), rect{10, 5, 50, 25}));
  b->invalidate_all();
  EXPECT_TRUE(same(b->pending_rect, rect{0, 0, 1000000, 1000000}));
  size_t asked = panels.invalidated.size();
  b->invalidate_rect({1, 1, 2, 2});
  b->invalidate_all();
  EXPECT_TRUE(same(b->pending_rect, rect{0, 0, 1000000, 1000000}));
  EXPECT_EQ(panels.invalidated.size(), asked);
  b->paint_surface();
  EXPECT_EQ(b->whole_pending, 0);
  EXPECT_TRUE(same(b->pending_rect, rect{}));
}

TEST_F(Paintbox, StagesRunInOrderAndThePaintOnlyWhenInvalidated) {
  Ref<Stage_box> b = make_on<Stage_box>(form, "SB");
  set_surface(b, 120, 60);
  std::vector<std::string>& log = form->log;
  b->log = &log;
  const std::string before = "before " + std::to_string(int(event_kind::BEFORE_PAINT));
  const std::string after = "after " + std::to_string(int(event_kind::AFTER_PAINT));
  form->painter = [&](const Ref<C_Canvas>& c) {
    log.push_back("kind " + std::to_string(form->current_kind));
    EXPECT_EQ(b->in_paint, 1);
    // While painting, the size is the back buffer's.
    EXPECT_DOUBLE_EQ(b->get_width(), 90);
  };
  b->paint_surface();
  EXPECT_EQ(log, (std::vector<std::string>{before, "paint", "kind " + std::to_string(int(event_kind::PAINT)), after}));
  EXPECT_TRUE(b->canvas.is_none());
  EXPECT_EQ(b->in_paint, 0);

  log.clear();
  b->paint_surface();
  EXPECT_EQ(log, (std::vector<std::string>{before, after}));
  log.clear();
  b->repaint_keep_state();
  b->paint_surface();
  EXPECT_EQ(log, (std::vector<std::string>{before, after}));
  log.clear();
  b->invalidate_rect({1, 1, 5, 5});
  b->paint_surface();
  EXPECT_EQ(log.size(), 4u);

  // A paint handler that fails still leaves the box ready for the next.
  log.clear();
  form->painter = [&](const Ref<C_Canvas>&) { throw Brek_Exception("broken paint"); };
  b->invalidate_all();
  EXPECT_FALSE(b->paint_surface().empty());
  EXPECT_EQ(b->in_paint, 0);
  EXPECT_EQ(b->whole_pending, 0);
  EXPECT_TRUE(b->canvas.is_none());
}

TEST_F(Paintbox, BackBufferFollowsTheSurfaceAndItsMargins) {
  Ref<C_Paintbox> b = box("VH", 200, 100);
  b->paint_surface();
  Ref<C_Bitmap> first = b->back_buffer;
  ASSERT_EQ(first->width, 200);
  ASSERT_EQ(first->height, 100);
  EXPECT_EQ(first->bits, 32);
  // Scroll bars make the control larger than its surface; the buffer stays.
  b->paint_surface();
  b->invalidate_all();
  b->paint_surface();
  EXPECT_EQ(b->back_buffer.get(), first.get());

  set_surface(b, 210, 100);
  b->paint_surface();
  EXPECT_NE(b->back_buffer.get(), first.get());
  EXPECT_EQ(b->back_buffer->width, 210);

  b->margin_x_percent = 20;
  b->margin_y_percent = 10;
  set_surface(b, 100, 100);
  b->paint_surface();
  Ref<C_Bitmap> roomy = b->back_buffer;
  EXPECT_EQ(roomy->width, 120);
  EXPECT_EQ(roomy->height, 110);
  set_surface(b, 115, 105);
  form->log.clear();
  b->paint_surface();
  EXPECT_EQ(b->back_buffer.get(), roomy.get());
  EXPECT_TRUE(form->log.empty());  // kept: nothing to repaint
  set_surface(b, 121, 105);
  b->paint_surface();
  EXPECT_NE(b->back_buffer.get(), roomy.get());
}

TEST_F(Paintbox, ColourSetClearsTheBufferAndTheFormColourIsTheBrush) {
  Ref<C_Paintbox> b = box("", 40, 20);
  b->set_color(Colors::make(10, 20, 30));
  b->paint_surface();
  EXPECT_EQ(word(b->back_buffer, 5, 5), Colors::to_pixel(Colors::make(10, 20, 30)));
  Ref<C_Paintbox> c = box("", 40, 20);
  form->set_colors(COLOR_BLACK, Colors::make(200, 100, 50));
  form->painter = [&](const Ref<C_Canvas>& canvas) {
    EXPECT_EQ(canvas->brush_color, Colors::make(200, 100, 50));
  };
  c->paint_surface();
}

namespace {

// A content of 1000 x 1000 pixels whose every pixel tells where it lies.
uint32_t content_pixel(int64_t x, int64_t y) { return 0xFF000000u | uint32_t((x & 0x3FF) << 10) | uint32_t(y & 0x3FF); }

class Scrolling : public Paintbox {
 protected:
  void SetUp() override {
    Paintbox::SetUp();
    b = box("", W, H);
    // The form paints the whole view; the clip keeps it to the band.
    form->painter = [this](const Ref<C_Canvas>& c) {
      clips.push_back(c->clip_rect);
      c->units = units_measure_graphics::PIXELS;
      c->pen_style = pen_style::CLEAR_PEN;
      if (by_rows) {
        for (int y = 0; y < H; ++y) {
          c->brush_color = Colors::from_pixel(content_pixel(0, oy + y));
          c->draw_rectangle({0, double(y), double(W - 1), 0});
        }
      } else {
        for (int x = 0; x < W; ++x) {
          c->brush_color = Colors::from_pixel(content_pixel(ox + x, 0));
          c->draw_rectangle({double(x), 0, 0, double(H - 1)});
        }
      }
    };
  }
  // Every pixel of the buffer shows the content at the current offset.
  int stale() {
    int bad = 0;
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x) {
        uint32_t want = by_rows ? content_pixel(0, oy + y) : content_pixel(ox + x, 0);
        if (word(b->back_buffer, x, y) != want) ++bad;
      }
    return bad;
  }
  // Moves the content by (dx, dy) the way a scrolling window does.
  void move(int dx, int dy, int extra) {
    ox -= dx;
    oy -= dy;
    clips.clear();
    if (dx != 0)
      b->scroll_back_buffer(0, dx, 0, extra);
    else
      b->scroll_back_buffer(extra, 0, dy, 0);
  }

  static constexpr int W = 60, H = 40;
  Ref<C_Paintbox> b;
  int ox = 100, oy = 100;
  bool by_rows = true;
  std::vector<rect> clips;
};

rect pixels_to_points(rect r) {
  auto p = [](double v) { return C_Canvas::convert_units(v, units_measure_graphics::PIXELS, units_measure_graphics::POINTS); };
  return rect{p(r.x), p(r.y), p(r.w), p(r.h)};
}

}  // namespace

TEST_F(Scrolling, DownAndUpRepaintOnlyTheUncoveredRows) {
  b->paint_surface();
  ASSERT_EQ(stale(), 0);
  // Scrolled down by 16 rows: the content moves up, the bottom is new.
  move(0, -16, 0);
  EXPECT_EQ(panels.paints, 1);
  ASSERT_EQ(clips.size(), 1u);
  // The first paint left the canvas in pixels, and the clip comes in them.
  EXPECT_TRUE(same(clips[0], rect{0, H - 16, W, 16}));
  EXPECT_EQ(stale(), 0);
  EXPECT_TRUE(same(b->strip_rect, rect{}));
  // With an extra band of 5 rows above the uncovered ones.
  move(0, -7, 5);
  EXPECT_TRUE(same(clips[0], rect{0, H - 12, W, 12}));
  EXPECT_EQ(stale(), 0);
  // Scrolled up: the top is new.
  move(0, 9, 3);
  EXPECT_TRUE(same(clips[0], rect{0, 0, W, 12}));
  EXPECT_EQ(stale(), 0);
  // Further than the view: everything is new.
  move(0, -H - 5, 0);
  EXPECT_TRUE(same(clips[0], rect{0, 0, W, H}));
  EXPECT_EQ(stale(), 0);
}

TEST_F(Scrolling, RightAndLeftRepaintOnlyTheUncoveredColumns) {
  by_rows = false;
  b->paint_surface();
  ASSERT_EQ(stale(), 0);
  move(-10, 0, 0);  // the content moves left: the right edge is new
  EXPECT_TRUE(same(clips[0], rect{W - 10, 0, 10, H}));
  EXPECT_EQ(stale(), 0);
  move(6, 0, 2);  // right: the left edge is new
  EXPECT_TRUE(same(clips[0], rect{0, 0, 8, H}));
  EXPECT_EQ(stale(), 0);
  move(-3, 0, 4);
  EXPECT_TRUE(same(clips[0], rect{W - 7, 0, 7, H}));
  EXPECT_EQ(stale(), 0);
}

TEST_F(Scrolling, DiagonalMovesAndPendingRepaintsRepaintEverything) {
  b->paint_surface();
  clips.clear();
  ox -= 3;
  oy -= 4;
  b->scroll_back_buffer(0, 3, 4, 0);
  EXPECT_EQ(panels.paints, 0);  // nothing copied, the whole view waits
  EXPECT_EQ(b->whole_pending, 1);
  b->paint_surface();
  EXPECT_TRUE(same(clips.back(), rect{}));
  EXPECT_EQ(stale(), 0);
  // Something else is waiting: the shift is not trusted with it.
  b->invalidate_rect({0, 0, 3, 3});
  clips.clear();
  move(0, -5, 0);
  EXPECT_EQ(panels.paints, 0);
  b->paint_surface();
  EXPECT_TRUE(same(clips.back(), rect{}));
  EXPECT_EQ(stale(), 0);
}

TEST_F(Scrolling, TheBandIsClippedInTheCanvasUnits) {
  b->paint_surface();
  // A painter that works in points sees the band in points.
  b->back_buffer->canvas()->units = units_measure_graphics::POINTS;
  clips.clear();
  form->painter = [&](const Ref<C_Canvas>& c) { clips.push_back(c->clip_rect); };
  b->scroll_back_buffer(0, 0, -8, 0);
  ASSERT_EQ(clips.size(), 1u);
  EXPECT_TRUE(same(clips[0], pixels_to_points(rect{0, H - 8, W, 8})));
}

TEST_F(Paintbox, DarkColoursAndTheirContrast) {
  EXPECT_TRUE(C_Paintbox::is_dark_colour(COLOR_BLACK));
  EXPECT_FALSE(C_Paintbox::is_dark_colour(COLOR_WHITE));
  EXPECT_FALSE(C_Paintbox::is_dark_colour(C_Paintbox::contrast_colour(Colors::make(20, 20, 60))));
}

TEST_F(Paintbox, CursorShapesReachTheSurface) {
  Ref<C_Paintbox> b = box("");
  b->set_cursor(cursor_shapes::SIZE_WE);
  EXPECT_EQ(b->cursor_shape, cursor_shapes::SIZE_WE);
  EXPECT_EQ(panel(b).cursor, bp::Panel_cursor::SIZE_WE);
}

TEST_F(Paintbox, NoneBoxAndFormlessBoxDoNothing) {
  Ref<C_Paintbox> none;
  none->invalidate_rect({1, 2, 3, 4});
  none->invalidate_all();
  none->set_content_size(10, 10);
  none->scroll_back_buffer(0, 0, 5, 0);
  EXPECT_TRUE(none->paint_surface().empty());
  EXPECT_TRUE(same(none->pending_rect, rect{}));
  EXPECT_EQ(none->needs_paint, 0);
  Ref<C_Paintbox> loose = C_Paintbox::new_paintbox(Ref<C_Form>(), "LOOSE", "vh");
  EXPECT_EQ(loose->native, 0);
  loose->scroll_back_buffer(0, 0, 5, 0);
  EXPECT_TRUE(loose->paint_surface().empty());
}

TEST(Scroll_bars, RangesPagesAndTheScaleBeyondTheBarsRange) {
  bp::Scroll_bar_setup v = bp::scroll_bar_setup(1000, 300, true);
  EXPECT_EQ(v.range, 1000);
  EXPECT_EQ(v.page, 300);
  EXPECT_EQ(v.maximum, 700);
  EXPECT_TRUE(v.visible);
  // Content that fits: no bar, and nowhere to scroll.
  bp::Scroll_bar_setup fits = bp::scroll_bar_setup(200, 300, true);
  EXPECT_EQ(fits.page, 200);
  EXPECT_EQ(fits.maximum, 0);
  EXPECT_FALSE(fits.visible);
  // A surface of nothing still has a page of one.
  EXPECT_EQ(bp::scroll_bar_setup(500, 0, false).page, 1);
  // Beyond 2^31 pixels the bar counts in larger units.
  bp::Scroll_bar_setup huge = bp::scroll_bar_setup(6e9, 1000, true);
  EXPECT_GT(huge.factor, 2.0);
  EXPECT_LE(huge.range, 2147483647);
  EXPECT_TRUE(huge.visible);
  EXPECT_EQ(bp::scroll_bar_setup(std::nan(""), 10, true).range, 0);
}
