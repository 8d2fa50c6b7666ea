#include "forms/memo.h"

#include "forms/control_bridge.h"
#include "forms/form.h"

namespace brek {

C_Memo::C_Memo(int64_t option_bits) : options(option_bits) {
  read_only = (option_bits & 1) ? 1 : 0;
  no_h_scroll = (option_bits & 2) ? 1 : 0;
  no_v_scroll = (option_bits & 4) ? 1 : 0;
}

Ref<C_Memo> C_Memo::new_on_form(const Ref<C_Form>& form, const std::string& name, int64_t option_bits) {
  return make_on<C_Memo>(form, name, option_bits);
}

std::string C_Memo::style_letters(int64_t bits) {
  std::string s;
  if (bits & 1) s += "R";
  if (!(bits & 2)) s += "H";
  if (!(bits & 4)) s += "V";
  if (bits & 8) s += "s";
  if (bits & 16) s += "c";
  if (bits & 32) s += "E";
  return s;
}

void C_Memo::create_native() {
  can_stretch = 1;
  Control_bridge::Control_desc desc;
  desc.kind = Control_bridge::Control_kind::MEMO;
  desc.memo_letters = style_letters(options);
  desc.read_only = read_only != 0;
  native = Control_bridge::create(this, desc);
}

std::string C_Memo::get_value_text() { return get_native_text(); }

void C_Memo::set_all_text(const std::string& text) { set_text(text); }

std::string C_Memo::get_line(int64_t index) { return Control_bridge::get_line(native, index); }

void C_Memo::set_line(int64_t index, const std::string& text) { Control_bridge::set_line(native, index, text); }

int64_t C_Memo::line_count() { return Control_bridge::line_count(native); }

void C_Memo::clear() {
  if (is_none()) return;
  set_text("");
  C_Control::clear();
}

void C_Memo::add_line(const std::string& text) { set_line(line_count(), text); }

}  // namespace brek
