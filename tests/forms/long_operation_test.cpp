// The long-operation window over an in-memory native layer, on a test
// clock: when it shows, Cancel raising the Stop inside the running
// handler, the close box, Pause and the step counter.

#include <gtest/gtest.h>

#include "baselib/localize_str.h"
#include "forms/long_operation.h"
#include "forms_test_support.h"
#include "runtime/exceptions.h"
#include "runtime/runtime_services.h"

using namespace forms_test;

namespace {

class Long_operation_test : public Forms_test {
 protected:
  // Runs the screen's tick as loop ticks would, at the clock's time.
  void tick() { Brek_runtime::run_handlers(); }
  Ref<C_Long_operation> window() { return ref_cast<C_Long_operation>(screen->long_operation); }
  bool visible(const Ref<C_Form>& f) { return native.windows[f->native].visible; }
  // The user presses one of the window's buttons.
  void press(const Ref<C_Control>& button) { Event_routing::click(window(), button, {}); }

  Brek_runtime::Test_clock clock;
};

}  // namespace

TEST_F(Long_operation_test, BuiltHiddenWithTextBarAndButtons) {
  auto f = new_form();
  f->busy_control_name = "SCAN";
  Ref<C_Long_operation> w = f->long_operation();
  ASSERT_FALSE(w.is_none());
  EXPECT_EQ(f->long_operation().get(), w.get());  // made once
  EXPECT_EQ(w->busy_name, "SCAN");
  EXPECT_EQ(w->text_label->name, "A long operation is started...");
  EXPECT_EQ(w->detail_label->name, " ");
  EXPECT_EQ(w->progress->name, "PROGRESS");
  EXPECT_EQ(w->pause_button->name, "PAUSE");
  EXPECT_EQ(w->cancel_button_->name, "CANCEL");
  EXPECT_EQ(w->get_caption(), "Please, wait...");
  EXPECT_EQ(w->track_busy, 0);
  EXPECT_EQ(w->column_layout("COL_BUTTONS"), layout_on_form::BOTTOM);
  brek_platform::Rect_pt b = native.windows[w->native].bounds;
  EXPECT_EQ(b.w, 250);
  EXPECT_EQ(b.h, 114);
  // Running the forms leaves it hidden.
  EXPECT_TRUE(w->is_closed());
  EXPECT_FALSE(visible(w));
}

TEST_F(Long_operation_test, CancelRaisesTheStopInsideTheRunningHandler) {
  auto f = new_form();
  clock.advance(60000);
  bool window_early = true;
  bool shown = false;
  int ticks_after_cancel = 0;
  std::string stopped;
  f->inside["click"] = [&] {
    clock.advance(1999);
    tick();
    window_early = !screen->long_operation.is_none() && visible(screen->long_operation);
    clock.advance(1);
    tick();
    shown = visible(window());
    EXPECT_FALSE(native.windows[f->native].enabled);
    // Pressed twice before the next tick: one Stop.
    press(window()->cancel_button_);
    press(window()->cancel_button_);
    EXPECT_FALSE(visible(window()));
    clock.advance(100);
    try {
      tick();
    } catch (const Stop_exception& e) {
      stopped = e.message();
      throw;
    }
    ticks_after_cancel += 1;
  };
  EXPECT_THROW(Event_routing::click(f, Ref<C_Control>(), {}), Stop_exception);
  EXPECT_FALSE(window_early);
  EXPECT_TRUE(shown);
  EXPECT_EQ(stopped, "Long operation is cancelled");
  EXPECT_EQ(ticks_after_cancel, 0);
  EXPECT_TRUE(native.windows[f->native].enabled);
  EXPECT_FALSE(visible(window()));

  // The second press of that double cancel is not left over.
  f->inside["click"] = [&] {
    clock.advance(2500);
    tick();
    clock.advance(200);
    tick();
  };
  EXPECT_NO_THROW(Event_routing::click(f, Ref<C_Control>(), {}));

  // A later operation can be cancelled again, and the window still only
  // hides on its close box.
  EXPECT_EQ(window()->closable, 0);
  f->inside["click"] = [&] {
    clock.advance(2000);
    tick();
    EXPECT_FALSE(Event_routing::close_query(window()));
    EXPECT_FALSE(visible(window()));
    press(window()->cancel_button_);
    clock.advance(100);
    tick();
  };
  EXPECT_THROW(Event_routing::click(f, Ref<C_Control>(), {}), Stop_exception);
}

TEST_F(Long_operation_test, TheCloseBoxHidesAndTheWorkGoesOn) {
  auto f = new_form();
  int ticks = 0;
  f->inside["click"] = [&] {
    clock.advance(2000);
    tick();
    ASSERT_TRUE(visible(window()));
    EXPECT_FALSE(Event_routing::close_query(window()));  // refused
    EXPECT_FALSE(visible(window()));
    for (int i = 0; i < 5; ++i) {
      clock.advance(100);
      tick();
      ticks += 1;
    }
    // It shows again once the next 2000 ms have passed.
    clock.advance(1500);
    tick();
    EXPECT_TRUE(visible(window()));
  };
  Event_routing::click(f, Ref<C_Control>(), {});
  EXPECT_EQ(ticks, 5);
  EXPECT_FALSE(window()->is_none());
  EXPECT_FALSE(visible(window()));
}

TEST_F(Long_operation_test, AnotherFormsEventLeavesTheWindowShown) {
  auto f = new_form();
  auto other = new_form();
  bool still_shown = false;
  f->inside["click"] = [&] {
    clock.advance(2000);
    tick();
    ASSERT_TRUE(visible(window()));
    // Another window repaints or takes a click while the work runs.
    Event_routing::click(other, Ref<C_Control>(), {});
    still_shown = visible(window());
  };
  Event_routing::click(f, Ref<C_Control>(), {});
  EXPECT_TRUE(still_shown);
  // The busy form's own event ends: the window goes.
  EXPECT_FALSE(visible(window()));
  EXPECT_TRUE(native.windows[f->native].enabled);
}

TEST_F(Long_operation_test, PauseHoldsTheWorkInTheMessage) {
  auto f = new_form();
  Ref<C_Long_operation> w = f->long_operation();
  std::string asked;
  uint8_t paused_meanwhile = 0;
  screen->own_dialogs = 1;
  C_Screen::set_own_dialog([&](const Ref<C_Form>& over, const std::string& text, bool question) {
    EXPECT_EQ(over.get(), w.get());
    EXPECT_FALSE(question);
    asked = text;
    paused_meanwhile = w->paused;
    return true;
  });
  Event_routing::click(w, w->pause_button, {});
  C_Screen::set_own_dialog(nullptr);
  EXPECT_EQ(asked, "Click OK to continue");
  EXPECT_EQ(paused_meanwhile, 1);
  EXPECT_EQ(w->paused, 0);
  EXPECT_EQ(w->cancel_requested, 0);
}

TEST_F(Long_operation_test, StepsWrapAndLoopTicksKeepTheWindow) {
  auto f = new_form();
  Ref<C_Long_operation> w = f->long_operation();
  w->steps = 999998;
  w->step(false);
  EXPECT_EQ(w->steps, 999999u);
  w->step(false);
  EXPECT_EQ(w->steps, 0u);
  EXPECT_GT(w->last_step, 0);

  // A long loop counts with tick: the window stays up and a Cancel stops
  // the loop from inside.
  int items = 0;
  f->inside["click"] = [&] {
    for (; items < 100; ++items) {
      clock.advance(50);
      w->tick(0);
      if (items == 50) {
        EXPECT_TRUE(visible(w));
        press(w->cancel_button_);
      }
    }
  };
  EXPECT_THROW(Event_routing::click(f, Ref<C_Control>(), {}), Stop_exception);
  EXPECT_GT(items, 50);
  EXPECT_LT(items, 54);
  // One a tick, the Stop's included, and one at the event's end.
  EXPECT_EQ(w->steps, static_cast<uint64_t>(items) + 2);
}
