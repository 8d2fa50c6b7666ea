// The editor's mouse, wheel and keys, sent through the platform's test
// hooks to the paint box and the window.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "forms/button.h"
#include "forms/dialog.h"
#include "forms/event_routing.h"
#include "forms/timer.h"
#include "platform/test_events.h"
#include "platform/window.h"
#include "runtime/clock.h"
#include "tests/printing/editor_test_support.h"
#include "tests/support/wait_until.h"

using namespace editor_test;
namespace te = brek_platform::test_events;

namespace {

class Input : public Editor {
 protected:
  // Cards A (0..90 x 0..60), B (150..240 x 0..60), C (0..90 x 120..180).
  void three() {
    add(0, 0, 90, 60, RED);
    add(150, 0, 90, 60, GREEN);
    add(0, 120, 90, 60, BLUE);
    e->reset_selection();
  }
  void select(std::vector<int64_t> s) {
    e->selection.clear();
    for (int64_t i : s) e->selection.append(i);
  }
};

}  // namespace

TEST_F(Input, AClickSelectsTheCardUnderThePointerAndMovesNothing) {
  three();
  click(160, 10);
  EXPECT_EQ(selected(), (std::vector<int64_t>{1}));
  press(20, 130);
  move(22, 131);  // within the three points
  release(22, 131);
  EXPECT_EQ(selected(), (std::vector<int64_t>{2}));
  EXPECT_EQ(card_rect(2), (rect{0, 120, 90, 60}));
  EXPECT_EQ(card_rect(1), (rect{150, 0, 90, 60}));
  // The top card wins where cards overlap.
  set_rect(2, rect{60, 30, 90, 60});
  click(70, 40);
  EXPECT_EQ(selected(), (std::vector<int64_t>{2}));
}

TEST_F(Input, PressesOnTheEmptySheet) {
  three();
  select({0, 1});
  click(400, 300, 2);  // right: the selection stays
  EXPECT_EQ(selected(), (std::vector<int64_t>{0, 1}));
  click(400, 300);
  EXPECT_TRUE(selected().empty());
  // Outside the sheet (right of the buttons) nothing happens.
  select({0});
  const int64_t buttons = e->column_handle("COL_BUTTONS");
  const double right = e->get_column_width("COL_BUTTONS") - 6;
  te::mouse_press(buttons, {right, 6});
  te::mouse_release(buttons, {right, 6});
  const rect box = e->pbox->get_bounds();
  EXPECT_GT(e->press_point.y, box.y + box.h);  // the press reached the editor
  EXPECT_EQ(selected(), (std::vector<int64_t>{0}));
}

TEST_F(Input, CtrlAddsACardAndTakesASelectedOneOutOnlyWithoutADrag) {
  three();
  click(10, 10);
  hold(17, true);
  click(160, 10);
  EXPECT_EQ(selected(), (std::vector<int64_t>{0, 1}));
  // A press on a selected card keeps the selection and arms a move...
  press(10, 10);
  EXPECT_EQ(selected(), (std::vector<int64_t>{0, 1}));
  EXPECT_EQ(e->press_on_card, 1);
  // ...and the release of a plain Ctrl click takes it out.
  release(10, 10);
  EXPECT_EQ(selected(), (std::vector<int64_t>{1}));
  hold(17, false);
  // Without Ctrl a click on a selected card changes nothing.
  select({0, 1});
  click(160, 10);
  EXPECT_EQ(selected(), (std::vector<int64_t>{0, 1}));
}

TEST_F(Input, DraggingMovesEverySelectedCard) {
  three();
  select({0, 1});
  drag(162, 12, 201, 42);  // points on whole pixels: 39 and 30
  EXPECT_EQ(selected(), (std::vector<int64_t>{0, 1}));
  EXPECT_EQ(card_rect(0), (rect{39, 30, 90, 60}));
  EXPECT_EQ(card_rect(1), (rect{189, 30, 90, 60}));
  EXPECT_EQ(card_rect(2), (rect{0, 120, 90, 60}));
  EXPECT_EQ(e->moving, 0);
  // An unselected card is selected by the press and dragged alone.
  drag(12, 132, 33, 153);
  EXPECT_EQ(selected(), (std::vector<int64_t>{2}));
  EXPECT_EQ(card_rect(2), (rect{21, 141, 90, 60}));
  // At zoom 2 the sheet moves half as far as the pointer.
  e->zoom = 2;
  drag(60, 300, 162, 300);
  EXPECT_EQ(card_rect(2), (rect{72, 141, 90, 60}));
}

TEST_F(Input, CtrlMovesByWholeUnits) {
  three();
  e->zoom = 2;
  select({0});
  hold(17, true);
  drag(20, 20, 25, 27);  // 2.5 and 3.5 sheet units
  hold(17, false);
  EXPECT_EQ(card_rect(0), (rect{2, 3, 90, 60}));
}

TEST_F(Input, CornerHandlesResize) {
  // Corners and pointer moves on whole pixels (multiples of 3 points).
  add(30, 30, 240, 120, RED);
  // Bottom-right keeps the proportions: 48 > 12, so the height follows.
  drag(270, 150, 318, 162);
  EXPECT_EQ(card_rect(0), (rect{30, 30, 288, 144}));
  // Top-right without Ctrl changes both sides; the bottom stays.
  set_rect(0, rect{30, 30, 240, 120});
  drag(270, 30, 318, 42);
  EXPECT_EQ(card_rect(0), (rect{30, 42, 288, 108}));
  // Top-left keeps the proportions and the bottom-right corner.
  set_rect(0, rect{30, 30, 240, 120});
  drag(30, 30, 6, 24);  // 24 and 6 outwards
  EXPECT_EQ(card_rect(0), (rect{6, 18, 264, 132}));
  // Bottom-left moves the left side and the bottom.
  set_rect(0, rect{30, 30, 240, 120});
  drag(30, 150, 54, 174);
  EXPECT_EQ(card_rect(0), (rect{54, 30, 216, 144}));
}

TEST_F(Input, CtrlOnTheBottomRightHandleTakesTheImagesOwnProportions) {
  e->add_image(pasted(200, 100, RED));  // 150 x 75 points
  set_rect(0, rect{0, 0, 150, 150});     // squashed by an earlier drag
  hold(17, true);
  drag(150, 150, 180, 160);
  hold(17, false);
  // Back to 2:1 first, then 30 wider.
  EXPECT_EQ(card_rect(0), (rect{0, 0, 180, 90}));
}

TEST_F(Input, AResizeNeverTurnsACardInsideOut) {
  add(100, 100, 60, 60, RED);
  drag(160, 100, 20, 260);  // the top-right corner far past the other side
  const rect r = card_rect(0);
  EXPECT_GE(r.w, 1);
  EXPECT_GE(r.h, 1);
  EXPECT_DOUBLE_EQ(r.x, 100);
  EXPECT_DOUBLE_EQ(r.y + r.h, 160);  // the bottom-left corner stays
  // A card without a size has no proportions, and gets no NaN.
  e->add_image(pasted(1, 1, RED));
  set_rect(1, rect{300, 300, 0, 0});
  drag(300, 300, 330, 310);
  const rect z = card_rect(1);
  EXPECT_FALSE(std::isnan(z.w) || std::isnan(z.h) || std::isnan(z.x) || std::isnan(z.y));
  EXPECT_GE(z.w, 1);
}

TEST_F(Input, ShiftPressesSpanARubberBand) {
  three();
  click(120, 90);  // a plain press on the empty sheet: the band's corner
  hold(16, true);
  click(170, 10);  // meets A? no: x from 120; meets B
  EXPECT_EQ(selected(), (std::vector<int64_t>{1}));
  click(40, 150);  // from (120, 90) to (40, 150): meets C only
  EXPECT_EQ(selected(), (std::vector<int64_t>{1, 2}));
  click(10, 10);  // meets all: A is added, nothing twice
  EXPECT_EQ(selected(), (std::vector<int64_t>{1, 2, 0}));
  hold(16, false);
  // Touching counts.
  select({});
  click(90, 90);
  hold(16, true);
  click(100, 60);
  hold(16, false);
  EXPECT_EQ(selected(), (std::vector<int64_t>{0}));
}

TEST_F(Input, DoubleClicksSendTheCardToTheTopOrTheBottom) {
  add(0, 0, 90, 90, RED);
  add(30, 30, 90, 90, GREEN);
  add(60, 60, 90, 90, BLUE);
  e->reset_selection();
  double_click(10, 10);
  EXPECT_EQ(serials(), (std::vector<int64_t>{3, 2, 1}));
  EXPECT_EQ(selected(), (std::vector<int64_t>{2}));
  // The right button: to the bottom.
  click(51, 51);  // the card of serial 1 is on top there now
  double_click(51, 51, 2);
  EXPECT_EQ(serials(), (std::vector<int64_t>{1, 2, 3}));
  EXPECT_EQ(selected(), (std::vector<int64_t>{0}));
}

TEST_F(Input, TheWheelZoomsWithCtrlAndScrollsWithout) {
  // Turns closer together than the folding interval arrive as one.
  brek::Brek_runtime::Test_clock clock;
  auto apart = [&] { clock.advance(brek::Event_routing::WHEEL_FOLD_MS); };
  add(0, 0, 1200, 1800, RED);
  paint();
  const rect v = e->pbox->visible_rect();
  hold(17, true);
  wheel(v.w / 2, v.h / 2, -120);  // towards the user: in
  EXPECT_DOUBLE_EQ(e->zoom, 1.1);
  apart();
  wheel(v.w / 2, v.h / 2, 120);
  EXPECT_DOUBLE_EQ(e->zoom, 1.1 / 1.1);
  hold(17, false);
  e->zoom = 1;
  paint();

  // Faster towards the edges: a tenth from the top is 0.4 off the middle.
  apart();
  wheel(v.w / 2, v.h / 10, -120);
  const point p = e->box_point(e->mouse_position());
  const double s = (std::max(std::fabs(p.x - v.w / 2) / v.w, std::fabs(p.y - v.h / 2) / v.h) + 0.001) * 15000;
  EXPECT_NEAR(e->pbox->visible_rect().y, 0.25 / 120 * s, 0.01);
  EXPECT_DOUBLE_EQ(e->pbox->visible_rect().x, 0);

  // In the bottom strip the same wheel scrolls sideways.
  apart();
  wheel(v.w * 0.8, v.h * 0.95, -120);
  const double x = e->box_point(e->mouse_position()).x;
  const double s2 = (std::fabs(x - v.w / 2) / v.w + 0.001) * 15000;
  EXPECT_NEAR(e->pbox->visible_rect().x, 0.25 / 120 * s2, 0.01);
  // Never past the content.
  for (int i = 0; i < 20; ++i) {
    apart();
    wheel(v.w - 2, v.h / 2, -1200);
  }
  EXPECT_LE(e->pbox->visible_rect().y, 1800 - v.h + 0.01);
  apart();
  wheel(v.w - 2, v.h / 2, 120000);
  EXPECT_DOUBLE_EQ(e->pbox->visible_rect().y, 0);
}

TEST_F(Input, KeysRunTheCommands) {
  three();
  // Next and previous start from card 0 when nothing is selected.
  key(190);
  EXPECT_EQ(selected(), (std::vector<int64_t>{0}));
  key(190);
  EXPECT_EQ(selected(), (std::vector<int64_t>{1}));
  key(221);
  EXPECT_EQ(selected(), (std::vector<int64_t>{2}));
  key(188);
  EXPECT_EQ(selected(), (std::vector<int64_t>{1}));
  key(219);
  EXPECT_EQ(selected(), (std::vector<int64_t>{0}));
  e->reset_selection();
  key(219);
  EXPECT_EQ(selected(), (std::vector<int64_t>{0}));

  // Zoom.
  key(187);
  EXPECT_DOUBLE_EQ(e->zoom, 1.1);
  key(189);
  EXPECT_DOUBLE_EQ(e->zoom, 1.0);
  key(187);
  key('1');
  EXPECT_DOUBLE_EQ(e->zoom, 1.0);

  // Alignments with Shift: "{", "}", "^", "_".
  select({1});
  key(219, shift());
  EXPECT_DOUBLE_EQ(card_rect(1).x, 90);
  key(221, shift());
  EXPECT_DOUBLE_EQ(card_rect(1).x, 0);  // nothing to the right: the largest side, 90
  set_rect(1, rect{150, 30, 90, 60});
  key('6', shift());
  EXPECT_DOUBLE_EQ(card_rect(1).y, 0);
  key(189, shift());
  EXPECT_DOUBLE_EQ(card_rect(1).y, 60);  // its bottom to the top of C
  EXPECT_DOUBLE_EQ(e->zoom, 1.0);
  key('6');  // without Shift nothing
  EXPECT_DOUBLE_EQ(card_rect(1).y, 60);

  // Turns and z-order need Ctrl.
  set_rect(1, rect{150, 0, 90, 60});
  key(39);
  EXPECT_EQ(card_rect(1).w, 90);
  key(39, ctrl());
  EXPECT_EQ(card_rect(1), (rect{150, 0, 60, 90}));
  key(37, ctrl());
  EXPECT_EQ(card_rect(1), (rect{150, 0, 90, 60}));
  key(38, shift());
  EXPECT_EQ(serials(), (std::vector<int64_t>{1, 2, 3}));
  key(38, ctrl());
  EXPECT_EQ(serials(), (std::vector<int64_t>{1, 3, 2}));
  key(40, ctrl());
  EXPECT_EQ(serials(), (std::vector<int64_t>{1, 2, 3}));

  // Flips keep the rectangle; Delete deletes.
  key('H');
  key('V');
  EXPECT_EQ(card_rect(1), (rect{150, 0, 90, 60}));
  key(46);
  EXPECT_EQ(serials(), (std::vector<int64_t>{1, 3}));
  EXPECT_TRUE(selected().empty());
}

TEST_F(Input, OnAGermanKeyboardTheKeysGoByTheCharacterTheyType) {
  three();
  auto german = [&](const char* c) { ASSERT_TRUE(te::german_key(e->native, c)) << c; };
  // "{" and "}" (AltGr+7, AltGr+0) align; they step through nothing.
  select({1});
  german("{");
  EXPECT_DOUBLE_EQ(card_rect(1).x, 90);
  EXPECT_EQ(selected(), (std::vector<int64_t>{1}));
  german("}");
  EXPECT_DOUBLE_EQ(card_rect(1).x, 0);
  EXPECT_EQ(selected(), (std::vector<int64_t>{1}));
  // "^" is a dead key there; "_" is Shift with the minus key.
  set_rect(1, rect{150, 30, 90, 60});
  german("^");
  EXPECT_DOUBLE_EQ(card_rect(1).y, 0);
  german("_");
  EXPECT_DOUBLE_EQ(card_rect(1).y, 60);
  EXPECT_DOUBLE_EQ(e->zoom, 1.0);

  // "[" and "]" (AltGr+8, AltGr+9), "," and "." step; "+" and "-" zoom.
  german("[");
  EXPECT_EQ(selected(), (std::vector<int64_t>{0}));
  german("]");
  german(".");
  EXPECT_EQ(selected(), (std::vector<int64_t>{2}));
  german(",");
  EXPECT_EQ(selected(), (std::vector<int64_t>{1}));
  german("+");
  EXPECT_DOUBLE_EQ(e->zoom, 1.1);
  german("-");
  EXPECT_DOUBLE_EQ(e->zoom, 1.0);
  // Shift+8 types "(" there, no digit: nothing happens.
  german("&");
  EXPECT_EQ(selected(), (std::vector<int64_t>{1}));
  EXPECT_EQ(card_rect(1), (rect{150, 60, 90, 60}));
}

TEST_F(Input, PPressesPrintOnceAfterAMoment) {
  key('P');  // nothing to print: the button is off
  EXPECT_FALSE(e->timer_press_p->is_enabled());
  add(0, 0, 30, 30, RED);
  key('P');
  EXPECT_TRUE(e->timer_press_p->is_enabled());
  // The print dialog the button opens is closed as soon as it runs.
  int looks = 0;
  std::function<void()> close_when_open = [&] {
    if (!e->print_dialog.is_none() && e->print_dialog->in_modal_loop()) {
      e->print_dialog->close_with("CANCEL");
    } else if (++looks < 500) {
      te::post_task(close_when_open, 10);
    }
  };
  te::post_task(close_when_open, 10);
  EXPECT_TRUE(brek_test::wait_until([&] {
    te::settle();
    return !e->print_dialog.is_none();
  }));
  EXPECT_FALSE(e->timer_press_p->is_enabled());
  EXPECT_FALSE(e->print_dialog.is_none());
  EXPECT_FALSE(e->print_dialog->is_visible());
  EXPECT_TRUE(screen->messages.empty());
}
