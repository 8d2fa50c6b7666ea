#pragma once
// Combo box: an edit with a list of items to choose from.

#include "forms/control.h"

namespace brek {

class C_Combo : public C_Control {
  BREK_CLASS(C_Combo)
 public:
  // items: one item per line.
  static Ref<C_Combo> create(const Ref<C_Form>& form, const std::string& name, const std::string& items);

  void create_native() override;
  // The selected item's text.
  std::string get_native_text() override;
  // What the edit field shows: the selected item's text, or what was typed
  // over it.
  std::string edit_text();
  std::string get_line(int64_t index) override;
  void set_line(int64_t index, const std::string& text) override;
  int64_t line_count() override;
  void clear() override;
  // Replaces every item by the lines of the text.
  void set_items(const std::string& text);
  int64_t add_item(const std::string& text);
  // The first item with the text, -1 when none.
  int64_t index_of(const std::string& text);
  // The selected item, -1 when none.
  int64_t item_index();
  // Selects an item (-1: none) when the index is valid; relayouts in any case.
  void set_item_index(int64_t index);
};

}  // namespace brek
