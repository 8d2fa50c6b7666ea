#pragma once
// List box. A click on an item reaches the form as a SELECTION_CHANGE.

#include "forms/control.h"

namespace brek {

class C_Listbox : public C_Control {
  BREK_CLASS(C_Listbox)
 public:
  uint8_t native_flag = 0;  // passed to the native list box at creation

  void init() override;
  void create_native() override;
  // Items from the text's CR LF separated lines.
  void set_text(const std::string& text) override;
  std::string get_line(int64_t index) override;
  void set_line(int64_t index, const std::string& text) override;
  int64_t line_count() override;
  void clear() override;
  // Returns the new item's index.
  int64_t add_item(const std::string& text);
  // The selected item, -1 when none.
  int64_t item_index();
};

}  // namespace brek
