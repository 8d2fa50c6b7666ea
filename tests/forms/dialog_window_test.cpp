// Modal dialogs and the long-operation window on real windows (offscreen):
// the user's clicks and the close box end a run, a dialog runs again, and
// Cancel on the long-operation window stops the work.

#include <gtest/gtest.h>

#include "dialog_test_support.h"
#include "forms/long_operation.h"
#include "runtime/exceptions.h"
#include "runtime/runtime_services.h"

using namespace forms_test;
using namespace brek_platform;

namespace {
class Dialog_window : public Dialog_test {};
}  // namespace

TEST_F(Dialog_window, ButtonsAndTheCloseBoxEndARunAndTheDialogRunsAgain) {
  Ref<Log_form> owner = new_form(400, 300);
  owner->show();
  Ref<Button_dialog> d = make<Button_dialog>();
  d->build();

  bool modal_meanwhile = false;
  test_events::post_task([&] {
    modal_meanwhile = test_events::modal_window_open() && d->is_visible();
    user_click(d->ok->native);
  });
  EXPECT_EQ(run(d, owner), "OK");
  EXPECT_TRUE(modal_meanwhile);
  EXPECT_FALSE(d->is_visible());

  test_events::post_task([&] { user_key(d->ok->native, 27); });  // Escape presses Cancel
  EXPECT_EQ(run(d, owner), "CANCEL");

  test_events::post_task([&] { test_events::close(d->native); });
  EXPECT_EQ(run(d, owner), "");
  ASSERT_NE(d->native, 0);  // only hidden
  EXPECT_FALSE(test_events::modal_window_open());

  test_events::post_task([&] { user_click(d->ok->native); });
  EXPECT_EQ(run(d, owner), "OK");
  EXPECT_TRUE(owner->modal_child.is_none());
}

TEST_F(Dialog_window, CancelOnTheLongOperationWindowStopsTheWork) {
  Brek_runtime::Test_clock clock;
  Ref<Log_form> f = new_form(300, 200);
  f->show();
  bool early = true;
  bool shown = false;
  f->inside["click"] = [&] {
    clock.advance(1900);
    Brek_runtime::run_handlers();
    early = !screen->long_operation.is_none();
    clock.advance(100);
    Brek_runtime::run_handlers();
    Ref<C_Long_operation> w = f->long_operation();
    shown = w->is_visible();
    user_click(w->cancel_button_->native);
    clock.advance(100);
    Brek_runtime::run_handlers();
  };
  EXPECT_THROW(Event_routing::click(f, Ref<C_Control>(), {}), Stop_exception);
  EXPECT_FALSE(early);
  EXPECT_TRUE(shown);
  Ref<C_Long_operation> w = f->long_operation();
  EXPECT_FALSE(w->is_visible());

  // Its close box hides it and keeps it.
  w->show();
  test_events::close(w->native);
  test_events::settle();
  EXPECT_FALSE(w->is_visible());
  EXPECT_NE(w->native, 0);
}
