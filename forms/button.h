#pragma once
// Push button. Its click reaches the form as a CLICK event; Space clicks it
// once, on the key's release.

#include "forms/control.h"

namespace brek {

class C_Button : public C_Control {
  BREK_CLASS(C_Button)
 public:
  static Ref<C_Button> new_on_form(const Ref<C_Form>& form, const std::string& name, const std::string& caption);

  void create_native() override;
  bool is_push_button() const override { return true; }
  // The button Enter presses; shown bold.
  void set_default();
  // The button Escape presses.
  void set_cancel();
};

}  // namespace brek
