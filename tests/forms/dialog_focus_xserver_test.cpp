// A modal dialog on a real X server, where the window system keeps a
// window's focus between runs: focus the program sets takes, and Enter in
// an edit presses the default button.

#include <gtest/gtest.h>

#include <cstdlib>

#include "dialog_test_support.h"
#include "forms/edit.h"

using namespace forms_test;
using namespace brek_platform;

namespace {
class Dialog_focus : public Dialog_test {};
}  // namespace

TEST_F(Dialog_focus, FocusSetByTheProgramTakesOnADialogShownAgain) {
  if (!std::getenv("DISPLAY") || !*std::getenv("DISPLAY")) GTEST_SKIP() << "no X server";
  Ref<Log_form> owner = new_form(400, 300);
  owner->show();
  Ref<Button_dialog> d = make<Button_dialog>();
  d->build();
  Ref<C_Edit> edit = C_Edit::create(d, "NAME", "");

  // The first run ends with a click on Cancel, which takes the focus.
  test_events::post_task([&] { user_click(d->cancel->native); });
  EXPECT_EQ(run(d, owner), "CANCEL");

  // Shown again, the program puts the focus into the edit; Enter there
  // presses the default button, not the button focused last time.
  Ref<C_Control> active;
  test_events::post_task([&] {
    d->set_focus(edit);
    active = d->active_control();
    test_events::key_at_focus(d->native, 13);
  });
  EXPECT_EQ(run(d, owner), "OK");
  EXPECT_EQ(active.get(), edit.get());

  // Focus set before the dialog is shown takes as well.
  d->set_focus(edit);
  test_events::post_task([&] {
    active = d->active_control();
    test_events::key_at_focus(d->native, 13);
  });
  EXPECT_EQ(run(d, owner), "OK");
  EXPECT_EQ(active.get(), edit.get());
}
