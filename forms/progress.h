#pragma once
// Progress bar, from 0 to its maximum (100 at first). In a band column it
// may stretch across the column.

#include "forms/control.h"

namespace brek {

class C_Progress : public C_Control {
  BREK_CLASS(C_Progress)
 public:
  static Ref<C_Progress> new_on_form(const Ref<C_Form>& form, const std::string& name);

  void create_native() override;
  // The bar's position, truncated to a whole number within 0 and the maximum.
  void set_position(double value);
  // The bar's maximum, truncated to a whole number.
  void set_maximum(double value);
};

}  // namespace brek
