#pragma once
// C_Dialog_common: the modal dialog application dialogs derive from; the
// common handlers of drawing/common_handlers.h over C_Dialog. Its default
// and cancel buttons end a run with their names.

#include "drawing/common_handlers.h"
#include "forms/dialog.h"

namespace brek {

class C_Dialog_common : public Common_handlers<C_Dialog> {
  BREK_CLASS(C_Dialog_common)
 public:
  C_Dialog_common() = default;

  // Colours and the minimum size ("Min_width_all_dialogs" and
  // "Min_height_all_dialogs", or the forms' pair when both are 0).
  void init() override;
  // The default or the cancel button: close_with its name.
  void on_click() override;
};

}  // namespace brek
