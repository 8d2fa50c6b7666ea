#include "drawing/dialog_common.h"

#include "baselib/global_var.h"

namespace brek {

void C_Dialog_common::init() {
  Common_handlers<C_Dialog>::init();
  if (is_none()) return;
  apply_colours();
  int64_t width = C_Global_var::get("Min_width_all_dialogs");
  int64_t height = C_Global_var::get("Min_height_all_dialogs");
  if (width == 0 && height == 0) {
    width = C_Global_var::get("Min_width_all_forms");
    height = C_Global_var::get("Min_height_all_forms");
  }
  apply_minimum_size(static_cast<double>(width), static_cast<double>(height));
}

void C_Dialog_common::on_click() {
  Ref<C_Control> c = current_control();
  if (!c.is_none() && (c.get() == default_button.get() || c.get() == cancel_button.get())) close_with(c->name);
  Common_handlers<C_Dialog>::on_click();
}

}  // namespace brek
