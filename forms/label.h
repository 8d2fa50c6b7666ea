#pragma once
// Static text. Its width follows its caption until the layout gives it one.

#include "forms/control.h"

namespace brek {

class C_Label : public C_Control {
  BREK_CLASS(C_Label)
 public:
  // A label on the form, named by its text.
  static Ref<C_Label> new_on_form(const Ref<C_Form>& form, const std::string& text);

  void create_native() override;
  void set_text(const std::string& text) override;
  bool is_label() const override { return true; }
};

}  // namespace brek
