#pragma once
// Single-line edit. Option letters, compared by case: "R" read-only (shown
// in the face colour), "N" digits and ".,+-" only; without options the
// edit offers suggestions.

#include "forms/control.h"

namespace brek {

class C_Edit : public C_Control {
  BREK_CLASS(C_Edit)
 public:
  std::string options;
  uint8_t read_only = 0;
  // Its first character, when there is one, hides each typed character.
  std::string password;

  C_Edit() = default;
  explicit C_Edit(const std::string& option_text);

  static Ref<C_Edit> create(const Ref<C_Form>& form, const std::string& name, const std::string& option_text);

  void create_native() override;
  std::string get_value_text() override;
  void set_value_text(const std::string& text) override;
  bool numeric_only() override;
};

}  // namespace brek
