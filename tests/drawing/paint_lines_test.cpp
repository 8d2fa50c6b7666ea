// Line lists: page arithmetic, the first visible line, key navigation at
// both ends and without a current line, paging by the wheel, the caret.

#include <gtest/gtest.h>

#include "drawing/paint_lines.h"
#include "paint_test_support.h"

using namespace paint_test;

namespace {

class Lines : public Paint_test {
 protected:
  // 100 lines of 12 points in a view 60 points (80 pixels) high.
  Ref<C_Paint_lines> list(int64_t count = 100, int64_t surface_h = 80) {
    Ref<C_Paint_lines> l = make_on<C_Paint_lines>(form, "L");
    set_surface(l, 200, surface_h);
    l->set_line_height(12);
    l->set_line_count(count);
    return l;
  }
  static St_key_info__C_Form key(int64_t code) {
    St_key_info__C_Form k;
    k.key_code = code;
    return k;
  }
  // Presses a key and reports (current line, first visible line).
  static std::pair<int64_t, int64_t> press(const Ref<C_Paint_lines>& l, int64_t code) {
    l->key_down(key(code));
    return {l->current_line(), l->first_visible_line()};
  }
  using P = std::pair<int64_t, int64_t>;
};

}  // namespace

TEST_F(Lines, StartValuesAndClampedSettings) {
  Ref<C_Paint_lines> l = make_on<C_Paint_lines>(form, "L");
  EXPECT_EQ(l->line_count(), 0);
  EXPECT_EQ(l->current_line(), -1);
  EXPECT_DOUBLE_EQ(l->line_height(), 1.0);
  EXPECT_DOUBLE_EQ(l->line_width, 1000.0);
  l->set_line_height(0);
  EXPECT_DOUBLE_EQ(l->line_height(), 0.001);
  l->set_line_count(-4);
  EXPECT_EQ(l->line_count(), 0);
  l->set_line_width(-3);
  EXPECT_DOUBLE_EQ(l->line_width, 0);
}

TEST_F(Lines, PagesContentAndLinesUnderAPlace) {
  Ref<C_Paint_lines> l = list();
  EXPECT_EQ(l->page_lines(), 5);
  EXPECT_DOUBLE_EQ(l->content_height, 1200);
  EXPECT_DOUBLE_EQ(l->content_width, 1000);
  EXPECT_DOUBLE_EQ(panel(l).line_step, 16);  // the bar's arrow moves a line
  l->set_first_line(3);
  EXPECT_EQ(l->first_visible_line(), 3);
  EXPECT_EQ(l->line_at_y(0), 3);
  EXPECT_EQ(l->line_at_y(25), 5);
  l->set_current_line(4);
  EXPECT_DOUBLE_EQ(l->current_line_y(), 12);
  // Beyond the end: the last full page.
  l->set_first_line(500);
  EXPECT_EQ(l->first_visible_line(), 95);
  // Fewer lines than a page: line 0.
  Ref<C_Paint_lines> few = list(3);
  few->set_first_line(2);
  EXPECT_EQ(few->first_visible_line(), 0);
}

TEST_F(Lines, KeysMoveTheCurrentLineAndTheViewFollows) {
  Ref<C_Paint_lines> l = list();
  l->set_current_line(0);
  EXPECT_EQ(press(l, 34), P(5, 1));   // Page Down
  EXPECT_EQ(press(l, 33), P(0, 0));   // Page Up
  EXPECT_EQ(press(l, 35), P(99, 95)); // End
  EXPECT_EQ(press(l, 40), P(99, 95)); // Down on the last line keeps it
  EXPECT_EQ(press(l, 36), P(0, 0));   // Home
  EXPECT_EQ(press(l, 38), P(-1, 0));  // Up from 0: no current line
  EXPECT_EQ(press(l, 40), P(0, 0));   // Down from none: the first
  l->set_current_line(-1);
  EXPECT_EQ(press(l, 38), P(0, 0));   // Up from none: the first too
  for (int i = 0; i < 6; ++i) l->key_down(key(40));
  EXPECT_EQ(l->current_line(), 6);
  EXPECT_EQ(l->first_visible_line(), 2);
}

TEST_F(Lines, LeftRightOtherKeysAndEmptyListsChangeNothing) {
  Ref<C_Paint_lines> l = list();
  l->set_current_line(7);
  l->paint_surface();
  for (int64_t code : {37, 39, 13, 32, 41, 32 + 0}) {
    l->key_down(key(code));
    EXPECT_EQ(l->current_line(), 7);
    EXPECT_EQ(l->needs_paint, 0) << code;  // no repaint
  }
  Ref<C_Paint_lines> empty = list(0);
  empty->paint_surface();
  empty->key_down(key(40));
  EXPECT_EQ(empty->current_line(), -1);
  EXPECT_EQ(empty->needs_paint, 0);
}

TEST_F(Lines, ScrollPagesMovesAtLeastALine) {
  Ref<C_Paint_lines> l = list();
  l->scroll_pages(-1);  // a page down
  EXPECT_EQ(l->first_visible_line(), 5);
  l->scroll_pages(1);
  EXPECT_EQ(l->first_visible_line(), 0);
  l->scroll_pages(0);
  EXPECT_EQ(l->first_visible_line(), 1);
  l->scroll_pages(-100);
  EXPECT_EQ(l->first_visible_line(), 95);
  // A view smaller than one line moves one line down, whatever the sign.
  Ref<C_Paint_lines> thin = list(100, 10);
  EXPECT_EQ(thin->page_lines(), 0);
  thin->scroll_pages(3);
  EXPECT_EQ(thin->first_visible_line(), 1);
  thin->scroll_pages(-3);
  EXPECT_EQ(thin->first_visible_line(), 2);
}

TEST_F(Lines, AMovedBarKeepsTheLastPageFullOnRepaint) {
  Ref<C_Paint_lines> l = make_on_prepared<C_Paint_lines>(form, "LV", [](C_Paint_lines& b) { b.has_vbar = 1; });
  set_surface(l, 200, 80);
  l->set_line_height(12);
  l->set_line_count(100);
  l->set_first_line(10);
  EXPECT_DOUBLE_EQ(panel(l).vpos, 160);
  EXPECT_EQ(l->first_visible_line(), 10);
  // The user drags the bar past the last full page.
  panel(l).vpos = 1600;
  l->bar_moved();
  EXPECT_EQ(l->first_visible_line(), 95);
}
