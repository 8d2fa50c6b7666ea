#pragma once
// Check box. Boxes of one form with the same non-zero group behave as radio
// buttons: checking one unchecks the others.

#include "forms/control.h"

namespace brek {

class C_Checkbox : public C_Control {
  BREK_CLASS(C_Checkbox)
 public:
  int64_t group = 0;

  static Ref<C_Checkbox> new_on_form(const Ref<C_Form>& form, const std::string& name, const std::string& caption);

  void create_native() override;
  bool is_check_box() const override { return true; }
  bool get_checked();
  void set_checked(bool checked);
  // The user clicked the box: a checked box of a group unchecks the others.
  void native_value_changed() override;
};

}  // namespace brek
