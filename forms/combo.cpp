#include "forms/combo.h"

#include "baselib/string_functions.h"
#include "forms/control_bridge.h"
#include "forms/form.h"

namespace brek {

Ref<C_Combo> C_Combo::create(const Ref<C_Form>& form, const std::string& name, const std::string& items) {
  Ref<C_Combo> c = make_on<C_Combo>(form, name);
  c->set_items(items);
  return c;
}

void C_Combo::create_native() {
  can_stretch = 1;
  Control_bridge::Control_desc desc;
  desc.kind = Control_bridge::Control_kind::COMBO;
  native = Control_bridge::create(this, desc);
}

std::string C_Combo::get_native_text() { return get_line(item_index()); }

std::string C_Combo::edit_text() { return Control_bridge::get_text(native); }

std::string C_Combo::get_line(int64_t index) {
  if (index < 0 || index >= line_count()) return {};
  return Control_bridge::get_line(native, index);
}

void C_Combo::set_line(int64_t index, const std::string& text) {
  if (index < 0 || index >= line_count()) return;
  Control_bridge::set_line(native, index, text);
}

int64_t C_Combo::line_count() { return Control_bridge::line_count(native); }

void C_Combo::clear() {
  if (is_none()) return;
  set_items("");
  C_Control::clear();
}

void C_Combo::set_items(const std::string& text) {
  if (is_none()) return;
  Control_bridge::clear_items(native);
  if (text.empty()) return;
  std::string lines = NATIVE_String_functions::replace(text, "\r\n", "\n");
  if (!lines.empty() && lines.back() == '\n') lines.pop_back();
  DynAStr items = NATIVE_String_functions::split(lines, "\n");
  for (int64_t i = 0; i < items.count(); ++i) Control_bridge::add_item(native, items.get(i));
}

int64_t C_Combo::add_item(const std::string& text) { return Control_bridge::add_item(native, text); }

int64_t C_Combo::index_of(const std::string& text) {
  const int64_t n = line_count();
  for (int64_t i = 0; i < n; ++i)
    if (get_line(i) == text) return i;
  return -1;
}

int64_t C_Combo::item_index() { return Control_bridge::item_index(native); }

void C_Combo::set_item_index(int64_t index) {
  if (is_none()) return;
  if (index >= -1 && index < line_count()) Control_bridge::set_item_index(native, index);
  relayout_form();
}

}  // namespace brek
