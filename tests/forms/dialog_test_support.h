#pragma once
// A small modal dialog with a default OK and a Cancel button, and runs of
// dialogs that a stuck test cannot hang.

#include <string>

#include "controls_test_support.h"
#include "forms/button.h"
#include "forms/dialog.h"

namespace forms_test {

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

class Dialog_test : public Controls_test {
 protected:
  // A run that no task ends would never return; this one is ended anyway.
  std::string run(const Ref<C_Dialog>& d, const Ref<C_Form>& owner) {
    Weak<C_Dialog> weak(d);
    brek_platform::test_events::post_task([weak] { weak.lock()->close_with("TIMEOUT"); }, 10000);
    return d->show_modal(owner);
  }
};

}  // namespace forms_test
