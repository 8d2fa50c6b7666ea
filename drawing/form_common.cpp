#include "drawing/form_common.h"

#include "baselib/global_var.h"
#include "drawing/message_dialog.h"
#include "forms/screen.h"

namespace brek {

void C_Form_common::init() {
  Common_handlers<C_Form>::init();
  if (is_none()) return;
  apply_colours();
  Ref<C_Screen> s = screen.lock();
  if (!s.is_none()) {
    s->own_dialogs = 1;
    C_Message_dialog::install();
  }
  apply_minimum_size(static_cast<double>(C_Global_var::get("Min_width_all_forms")),
                     static_cast<double>(C_Global_var::get("Min_height_all_forms")));
}

bool C_Form_common::on_close_query() {
  if (screen.lock()->main_form.get() == this) return false;
  hide_window();
  return true;
}

}  // namespace brek
