#pragma once
// Date picker, showing today at first. Only the user changes the date.

#include "forms/control.h"

namespace brek {

class C_Date : public C_Control {
  BREK_CLASS(C_Date)
 public:
  void create_native() override;
  // The picked date in the platform's default format.
  std::string get_native_text() override;
  void set_text(const std::string& text) override {}
};

}  // namespace brek
