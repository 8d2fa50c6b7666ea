// The tab strip: widths and outlines, the selected tab drawn last and
// taller, the tab on top taking a press, a row wider than its control
// scrolled to its last tab and dragged between its ends.

#include <gtest/gtest.h>

#include <cmath>

#include "drawing/paint_tabs.h"
#include "forms/timer_ticks.h"
#include "paint_test_support.h"

using namespace paint_test;

namespace {

constexpr auto LMB = button_mouse::LMB;

// Logs the strip's clicks with their event code.
class Tabs_form : public Paint_form {
  BREK_CLASS(Tabs_form)
 public:
  std::vector<int64_t> clicks;
  void on_control_click() override {
    Ref<C_Paint_tabs> t = ref_cast<C_Paint_tabs>(current_control());
    clicks.push_back(t->event_code);
  }
};

class Tabs : public Paint_test {
 protected:
  void SetUp() override {
    Paint_test::SetUp();
    tabs_form = make<Tabs_form>();
    tabs_form->set_bounds({40, 40, 500, 300});
    tabs_form->new_column("C", layout_on_form::CENTER, St_sizes_col__C_Form{});
  }
  void TearDown() override {
    tabs_form.reset();
    Paint_test::TearDown();
  }
  // A strip of 200 x 30 pixels: 150 x 22.5 points.
  Ref<C_Paint_tabs> strip(int count, const std::string& stem = "Caption ") {
    DynAStr names;
    for (int i = 0; i < count; ++i) names.append(stem + std::to_string(i + 1));
    Ref<C_Paint_tabs> t = C_Paint_tabs::new_tabs(tabs_form, "TABS", names);
    set_surface(t, 200, 30);
    return t;
  }
  void paint(const Ref<C_Paint_tabs>& t) {
    t->invalidate_all();
    t->paint_surface();
  }
  void press(const Ref<C_Paint_tabs>& t, double x, double y) {
    Event_routing::Pointer p;
    p.at = {x, y};
    p.at_control = {x, y};
    p.button = LMB;
    Event_routing::mouse_down(tabs_form, t, p);
  }
  uint32_t pixel(const Ref<C_Paint_tabs>& t, double x_pt, double y_pt) {
    return t->back_buffer->pixels()->at(int(x_pt * 96 / 72), int(y_pt * 96 / 72)) & 0xFFFFFFu;
  }
  static uint32_t rgb(Color c) { return Colors::to_pixel(c) & 0xFFFFFFu; }
  // Right edge of a tab as laid out, with the current offset.
  static double right_of(const Ref<C_Paint_tabs>& t, int64_t i) { return t->tab_x.get(i) + t->offset + t->tab_w.get(i); }

  Ref<Tabs_form> tabs_form;
};

}  // namespace

TEST_F(Tabs, KnownCaptionsGiveKnownWidthsAndOutlinesAndTheSelectionStaysInRange) {
  DynAStr names;
  names.append("A");
  names.append("Wide enough to be cut at the widest a tab may be");
  names.append("C");
  Ref<C_Paint_tabs> t = C_Paint_tabs::new_tabs(tabs_form, "TABS", names);
  set_surface(t, 400, 30);
  EXPECT_EQ(t->line_count(), 3);
  t->set_selected(-1);
  t->set_selected(3);
  EXPECT_EQ(t->selected_index(), 0);
  EXPECT_EQ(t->scroll_request, 0);
  t->set_selected(1);
  EXPECT_EQ(t->selected_index(), 1);
  EXPECT_EQ(t->scroll_request, 1);
  EXPECT_EQ(tabs_form->log.back(), "select:TABS");

  paint(t);
  // The canvas's font (Liberation Sans, the metric twin of "Arial") at 96
  // pixels per inch: a line is 15 pixels (11.25 points), "A" and "C"
  // advance 9 pixels (6.75 points). So a tab row is 13.25 points high, and
  // a tab is its caption plus that: 20 points; the long caption is held to
  // 100.
  const double H = 13.25;
  EXPECT_DOUBLE_EQ(t->tab_height, H);
  const double widths[] = {20, 100, 20}, starts[] = {0, 20, 120};
  for (int i = 0; i < 3; ++i) {
    EXPECT_DOUBLE_EQ(t->tab_w.get(i), widths[i]) << i;
    EXPECT_DOUBLE_EQ(t->tab_x.get(i), starts[i]) << i;
  }
  // Outlines, corner by corner: the tab left of the selection leans left
  // and is H + 2 high; the selected one stands upright, a quarter of H
  // taller; the one right of it leans right, an eighth of H taller than
  // the row.
  const point corners[] = {{0, 21.5},       {6.625, 7.25},       {23.3125, 7.25},     {23.3125, 21.5},
                           {20, 22.5},      {20, 5.9375},        {133.25, 5.9375},    {133.25, 22.5},
                           {129.9375, 21.5}, {129.9375, 7.59375}, {146.625, 7.59375}, {153.25, 21.5}};
  ASSERT_EQ(t->tab_corners.count(), 12);
  for (int i = 0; i < 12; ++i) {
    EXPECT_NEAR(t->tab_corners.get(i).x, corners[i].x, 1e-9) << i;
    EXPECT_NEAR(t->tab_corners.get(i).y, corners[i].y, 1e-9) << i;
  }
  // The selection was brought into view (nothing to move) and told.
  EXPECT_EQ(t->scroll_request, 0);
  EXPECT_DOUBLE_EQ(t->offset, 0);
  ASSERT_EQ(tabs_form->clicks.size(), 1u);
  EXPECT_EQ(tabs_form->clicks[0], -2);
}

TEST_F(Tabs, TheSelectedTabIsDrawnOnTopAndTakesThePressWhereTabsOverlap) {
  Ref<C_Paint_tabs> t = strip(3);
  const Color face = Colors::make(100, 150, 200);
  t->set_color(face);
  t->set_selected(1);
  paint(t);
  const double H = t->tab_height, B = 22.5;
  const double x1 = t->tab_x.get(1);
  // Tab 0 reaches a quarter of H under the selected tab.
  const double overlap = x1 + H / 8;
  EXPECT_EQ(pixel(t, overlap, B - 3), rgb(Colors::average(face, t->tab_color)));
  EXPECT_EQ(t->tab_at(overlap, B - 3), 1);
  // Its own part away from the caption.
  const double own = x1 - H / 4;
  EXPECT_EQ(pixel(t, own, B - 3), rgb(face));
  EXPECT_EQ(t->tab_at(own, B - 3), 0);
  // Above the tabs nothing is hit.
  EXPECT_EQ(t->tab_at(own, 0.5), -1);

  // Two tabs left of the selected one: the later lies on the earlier, and
  // a press where it does selects the later.
  t->set_selected(2);
  paint(t);
  const double between = x1 + H / 8;
  EXPECT_EQ(t->tab_at(between, B - 2), 1);
  press(t, between, B - 2);
  EXPECT_EQ(t->selected_index(), 1);
  t->on_mouse_up(between, B - 2, LMB, 0);
}

TEST_F(Tabs, ARowWiderThanItsControlIsScrolledToItsLastTabAndBack) {
  Ref<C_Paint_tabs> t = strip(8);
  paint(t);
  const double W = t->usable_width();
  EXPECT_DOUBLE_EQ(W, 150);
  ASSERT_GT(right_of(t, 7), W);  // the row is wider than the strip
  EXPECT_DOUBLE_EQ(t->offset, 0);
  tabs_form->clicks.clear();

  t->set_selected(7);
  paint(t);
  // The last tab ends at the right edge.
  EXPECT_NEAR(right_of(t, 7), W, 1e-9);
  EXPECT_LT(t->offset, 0);
  EXPECT_DOUBLE_EQ(t->target_offset, t->offset);
  ASSERT_EQ(tabs_form->clicks.size(), 1u);
  EXPECT_EQ(tabs_form->clicks[0], -2);
  EXPECT_EQ(t->event_code, -2);
  // One animation tick shows the row at its new place, and then no timer
  // keeps repainting the strip.
  EXPECT_TRUE(Timer_ticks::animation_running(Ref<C_Control>(t)));
  t->paint_surface();
  EXPECT_EQ(t->needs_paint, 0);
  Timer_ticks::run_due(Timer_ticks::next_due());
  EXPECT_EQ(t->needs_paint, 1);
  EXPECT_FALSE(Timer_ticks::animation_running(Ref<C_Control>(t)));
  // The outlines were painted where the row is now.
  t->paint_surface();
  EXPECT_NEAR(t->tab_corners.get(4 * 7).x, t->tab_x.get(7) + t->offset, 1e-9);

  // A tab in view does not move the row.
  const double before = t->offset;
  t->set_selected(6);
  paint(t);
  EXPECT_DOUBLE_EQ(t->offset, before);
  // The first tab brings the row back to its start.
  t->set_selected(0);
  paint(t);
  EXPECT_DOUBLE_EQ(t->offset, 0);
  EXPECT_DOUBLE_EQ(t->event_code, -2);
}

TEST_F(Tabs, DraggingTheRowStopsAtBothEnds) {
  Ref<C_Paint_tabs> t = strip(8);
  paint(t);
  const double W = t->usable_width(), h = 22.5;
  press(t, 100, 1);  // above the tabs: nothing selected
  EXPECT_EQ(t->dragging, 1);
  EXPECT_EQ(t->selected_index(), 0);
  // To the right the row does not leave the left edge.
  t->handled = 0;
  t->on_mouse_move(400, 1, LMB, 0);
  EXPECT_DOUBLE_EQ(t->offset, 0);
  EXPECT_EQ(t->handled, 1);
  // To the left it stops where its end plus half the height meets the edge.
  t->on_mouse_move(-2000, 1, LMB, 0);
  EXPECT_NEAR(right_of(t, 7) + h / 2, W, 1e-9);
  t->on_mouse_move(60, 1, LMB, 0);
  EXPECT_DOUBLE_EQ(t->offset, t->clamp_offset(-40));
  t->on_mouse_up(60, 1, LMB, 0);
  EXPECT_EQ(t->dragging, 0);
  const double kept = t->offset;
  t->on_mouse_move(500, 1, LMB, 0);
  EXPECT_DOUBLE_EQ(t->offset, kept);

  // A row that fits starts no drag.
  Ref<C_Paint_tabs> small = strip(2, "T");
  paint(small);
  press(small, 10, 1);
  EXPECT_EQ(small->dragging, 0);
  small->on_mouse_move(-200, 1, LMB, 0);
  EXPECT_DOUBLE_EQ(small->offset, 0);
  EXPECT_DOUBLE_EQ(small->clamp_offset(-200), 0);
  EXPECT_DOUBLE_EQ(small->clamp_offset(std::nan("")), 0);
}

TEST_F(Tabs, AnEmptyStripPaintsAndTakesPresses) {
  Ref<C_Paint_tabs> t = strip(0);
  paint(t);
  EXPECT_EQ(t->tab_corners.count(), 0);
  press(t, 10, 10);
  EXPECT_EQ(t->dragging, 0);
  EXPECT_DOUBLE_EQ(t->clamp_offset(-50), 0);
  dispose_now(t);
  EXPECT_EQ(t->captions.count(), 0);
}
