// A modal dialog on a real X server, where the window system keeps a
// window's focus between runs: focus the program sets takes, and Enter in
// an edit presses the default button.

#include <gtest/gtest.h>

#include <cstdlib>

#include "controls_test_support.h"
#include "forms/button.h"
#include "forms/dialog.h"
#include "forms/edit.h"

using namespace forms_test;
using namespace brek_platform;

namespace {

// Ends its run with the name of the button pressed.
class Button_dialog : public C_Dialog {
  BREK_CLASS(Button_dialog)
 public:
  Ref<C_Button> ok;
  Ref<C_Button> cancel;
  void build() {
    Ref<C_Form> self(this);
    set_client_size(120, 240);
    new_column("BUTTONS", layout_on_form::BOTTOM, St_sizes_col__C_Form());
    ok = C_Button::new_on_form(self, "OK", "OK");
    ok->set_default();
    cancel = C_Button::new_on_form(self, "CANCEL", "Cancel");
    cancel->set_cancel();
  }
  void on_click() override { close_with(event_control_name()); }
};

class Dialog_focus : public Controls_test {
 protected:
  // A run that no task ends would never return; this one is ended anyway.
  std::string run(const Ref<C_Dialog>& d, const Ref<C_Form>& owner) {
    Weak<C_Dialog> weak(d);
    test_events::post_task([weak] { weak.lock()->close_with("TIMEOUT"); }, 10000);
    return d->show_modal(owner);
  }
};

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
