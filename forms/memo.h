#pragma once
// Multi-line text. The options word: bit 0 read-only, bit 1 no horizontal
// scroll bar, bit 2 no vertical one, bits 3 to 5 passed on as "s", "c", "E".

#include "forms/control.h"

namespace brek {

class C_Memo : public C_Control {
  BREK_CLASS(C_Memo)
 public:
  uint8_t read_only = 0;
  uint8_t no_h_scroll = 0;
  uint8_t no_v_scroll = 0;
  int64_t options = 0;

  C_Memo() = default;
  explicit C_Memo(int64_t option_bits);

  static Ref<C_Memo> new_on_form(const Ref<C_Form>& form, const std::string& name, int64_t option_bits);
  // The style letters of an options word, in the order R, H, V, s, c, E.
  static std::string style_letters(int64_t option_bits);

  void create_native() override;
  std::string get_value_text() override;
  void set_all_text(const std::string& text) override;
  std::string get_line(int64_t index) override;
  void set_line(int64_t index, const std::string& text) override;
  int64_t line_count() override;
  void clear() override;
  // Appends a line.
  void add_line(const std::string& text);
};

}  // namespace brek
