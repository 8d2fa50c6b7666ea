#pragma once
// C_Form_common: the form application windows derive from for the
// program's common behaviour (drawing/common_handlers.h). Making one also
// switches the screen's messages and questions to the program's own
// dialog. A common form that is not the screen's main form hides when its
// window is closed and stays built.

#include "drawing/common_handlers.h"
#include "forms/form.h"

namespace brek {

class C_Form_common : public Common_handlers<C_Form> {
  BREK_CLASS(C_Form_common)
 public:
  C_Form_common() = default;

  // Colours, the own message dialog, the minimum size.
  void init() override;
  // Only the main form really closes.
  bool on_close_query() override;
};

}  // namespace brek
