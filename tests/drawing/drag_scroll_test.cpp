// Drag scrolling: the threshold toward a side that can scroll, moves taken
// from the form while the pointer is down, the view following the pointer
// once (whatever the scroll position), the glide and the edge indicators.

#include <gtest/gtest.h>

#include "drawing/paintbox.h"
#include "forms/timer_ticks.h"
#include "paint_test_support.h"
#include "runtime/clock.h"

using namespace paint_test;

namespace {

constexpr auto LMB = button_mouse::LMB;

class Drag : public Paint_test {
 protected:
  void SetUp() override {
    Paint_test::SetUp();
    // A view of 150 x 75 points on a content of 450 x 225, scrolled to the
    // middle of both axes.
    b = C_Paintbox::new_paintbox(form, "PB", "");
    set_surface(b, 200, 100);
    b->set_content_size(450, 225);
    b->set_drag_scrolling(true);
    b->set_scroll_pos({150, 75});
    b->paint_surface();
  }
  // A move as the form's routing gives it: handled cleared first.
  bool move(double x, double y) {
    b->handled = 0;
    b->on_mouse_move(x, y, LMB, 0);
    return b->handled != 0;
  }
  point origin() {
    rect v = b->visible_rect();
    return {v.x, v.y};
  }

  Brek_runtime::Test_clock clock;
  Ref<C_Paintbox> b;
};

}  // namespace

TEST_F(Drag, EightPointsDoNotStartADragAndAlittleMoreDoesInEachDirection) {
  struct Way {
    double dx, dy;
  };
  for (Way w : {Way{0, 1}, Way{0, -1}, Way{1, 0}, Way{-1, 0}}) {
    b->on_mouse_down(60, 40, LMB, 0);
    EXPECT_TRUE(move(60 + 8.0 * w.dx, 40 + 8.0 * w.dy));
    EXPECT_EQ(b->dragging, 0);
    EXPECT_TRUE(move(60 + 8.01 * w.dx, 40 + 8.01 * w.dy));
    EXPECT_EQ(b->dragging, 1);
    // The content follows the pointer: the view moves the other way.
    EXPECT_NEAR(origin().x, 150 - 8.01 * w.dx, 1e-9);
    EXPECT_NEAR(origin().y, 75 - 8.01 * w.dy, 1e-9);
    b->on_mouse_up(60, 40, LMB, 0);
    b->drag_offset = point{};
    b->paint_surface();
  }
}

TEST_F(Drag, TheViewMovesOnceWithThePointerWhateverTheScrollPosition) {
  b->on_mouse_down(60, 40, LMB, 0);
  move(60, 20);
  // 20 points up: the view's top goes from 75 to 95, not by the scroll
  // position once more.
  EXPECT_DOUBLE_EQ(origin().y, 95);
  EXPECT_DOUBLE_EQ(b->drag_offset.y, 20);
  move(60, -500);
  EXPECT_DOUBLE_EQ(origin().y, 150);  // held at the end of the content
  b->on_mouse_up(60, -500, LMB, 0);
}

TEST_F(Drag, EdgesThatAreReachedIgnoreTheDragAndLetTheFormHaveIt) {
  b->set_scroll_pos({0, 0});
  b->paint_surface();
  b->on_mouse_down(60, 40, LMB, 0);
  // Down would show what lies above the top: nothing there.
  EXPECT_FALSE(move(60, 60));
  EXPECT_EQ(b->dragging, 0);
  EXPECT_FALSE(move(80, 40));
  b->on_mouse_up(60, 40, LMB, 0);
  b->set_scroll_pos({300, 150});
  b->paint_surface();
  b->on_mouse_down(60, 40, LMB, 0);
  EXPECT_FALSE(move(60, 20));
  EXPECT_FALSE(move(40, 40));
  b->on_mouse_up(60, 40, LMB, 0);
  // Without drag scrolling the box takes nothing.
  b->set_drag_scrolling(false);
  b->paint_surface();
  b->on_mouse_down(60, 40, LMB, 0);
  EXPECT_EQ(b->tracking, 0);
  EXPECT_FALSE(move(60, 0));
}

TEST_F(Drag, AFastReleaseGlidesTwentyStepsAndAPressStopsIt) {
  b->on_mouse_down(60, 20, LMB, 0);
  move(60, 30);  // past the threshold, the first sample
  clock.advance(100);
  move(60, 35);  // the second, 100 ms later: 5 points down
  clock.advance(50);
  move(60, 36);  // too soon for a sample; the interval is known now
  b->on_mouse_up(60, 36, LMB, 0);
  EXPECT_DOUBLE_EQ(b->glide_speed.y, 50);
  ASSERT_EQ(b->glide_steps, 20);
  double y = origin().y;
  int repaints = 0;
  for (int i = 0; i < 20; ++i) {
    b->paint_surface();
    clock.advance(20);
    b->on_animation_tick();
    if (b->needs_paint) ++repaints;
    EXPECT_DOUBLE_EQ(origin().y, std::max(0.0, y - 1)) << i;
    y = origin().y;
  }
  EXPECT_EQ(b->glide_steps, 0);
  // The view started at 75 - 16 = 59 and moved a point per tick.
  EXPECT_DOUBLE_EQ(y, 39);
  EXPECT_EQ(repaints, 20);
  b->paint_surface();
  b->on_animation_tick();
  EXPECT_DOUBLE_EQ(origin().y, 39);

  // Against the edge: the view stops and so do the repaints.
  b->glide_steps = 20;
  b->glide_speed = point{0, 2000};
  int moved = 0;
  for (int i = 0; i < 5; ++i) {
    b->paint_surface();
    clock.advance(20);
    b->on_animation_tick();
    if (b->needs_paint) ++moved;
  }
  EXPECT_DOUBLE_EQ(origin().y, 0);
  EXPECT_EQ(moved, 1);
  // A press during a glide stops it.
  b->on_mouse_down(10, 10, LMB, 0);
  EXPECT_EQ(b->glide_steps, 0);
  EXPECT_DOUBLE_EQ(b->glide_speed.y, 0);
  b->on_mouse_up(10, 10, LMB, 0);
}

TEST_F(Drag, TheGlidesTimerStopsAfterItsTwentySteps) {
  b->on_mouse_down(60, 20, LMB, 0);
  move(60, 30);
  clock.advance(100);
  move(60, 35);
  clock.advance(50);
  move(60, 36);
  b->on_mouse_up(60, 36, LMB, 0);
  ASSERT_EQ(b->glide_steps, 20);
  EXPECT_TRUE(Timer_ticks::animation_running(Ref<C_Control>(b)));
  for (int i = 0; i < 20; ++i) {
    clock.advance(20);
    Timer_ticks::run_due(clock.ticks());
  }
  EXPECT_EQ(b->glide_steps, 0);
  // Nothing ticks on once the glide is over.
  EXPECT_FALSE(Timer_ticks::animation_running(Ref<C_Control>(b)));
  clock.advance(20);
  EXPECT_EQ(Timer_ticks::run_due(clock.ticks()), 0);
}

TEST_F(Drag, SlowOrShortReleasesDoNotGlide) {
  // One sample only.
  b->on_mouse_down(60, 20, LMB, 0);
  move(60, 40);
  b->on_mouse_up(60, 40, LMB, 0);
  EXPECT_EQ(b->glide_steps, 0);
  EXPECT_EQ(b->dragging, 0);
  EXPECT_EQ(b->tracking, 0);
  // The last two samples less than a point apart.
  b->on_mouse_down(60, 20, LMB, 0);
  move(60, 40);
  clock.advance(120);
  move(60, 40.5);
  clock.advance(10);
  move(60, 40.6);
  b->on_mouse_up(60, 40.6, LMB, 0);
  EXPECT_EQ(b->glide_steps, 0);
}

TEST_F(Drag, IndicatorsShowWhereTheViewLies) {
  // The form clears what it paints in the box's own colour.
  form->painter = [](const Ref<C_Canvas>& c) { c->clear(); };
  // Content three times the view's height, at the top.
  b->set_content_size(150, 225);
  b->set_scroll_pos({0, 0});
  b->invalidate_all();
  b->paint_surface();
  const uint32_t ground = b->back_buffer->pixels()->at(100, 50);
  auto at = [&](int x, int y) { return b->back_buffer->pixels()->at(x, y); };
  // No top indicator; a bottom one 0.9 of the width long, centred: from
  // 7.5 to 142.5 points, 10 to 190 pixels, in the last three rows.
  EXPECT_EQ(at(100, 1), ground);
  EXPECT_NE(at(100, 98), ground);
  EXPECT_NE(at(12, 98), ground);
  EXPECT_NE(at(188, 98), ground);
  EXPECT_EQ(at(7, 98), ground);
  EXPECT_EQ(at(193, 98), ground);
  // At the bottom: the top one, 0.9 long, and no bottom one.
  b->set_scroll_pos({0, 150});
  b->invalidate_all();
  b->paint_surface();
  EXPECT_NE(at(100, 0), ground);
  EXPECT_NE(at(12, 0), ground);
  EXPECT_EQ(at(7, 0), ground);
  EXPECT_EQ(at(100, 98), ground);
  // The canvas keeps the form's own settings.
  EXPECT_EQ(b->back_buffer->canvas()->brush_style, brush_style::SOLID_BRUSH);
}
