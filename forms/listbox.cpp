#include "forms/listbox.h"

#include "baselib/string_functions.h"
#include "forms/control_bridge.h"
#include "forms/form.h"

namespace brek {

void C_Listbox::init() {
  if (!is_none()) can_stretch = 1;
  C_Control::init();
}

void C_Listbox::create_native() {
  Control_bridge::Control_desc desc;
  desc.kind = Control_bridge::Control_kind::LISTBOX;
  desc.list_flag = native_flag != 0;
  native = Control_bridge::create(this, desc);
}

void C_Listbox::set_text(const std::string& text) {
  if (is_none()) return;
  Ref<C_Form> f = form.lock();
  DynAStr lines = NATIVE_String_functions::split(text, "\r\n");
  f->begin_update();
  struct End {
    Ref<C_Form>& f;
    ~End() { f->end_update(); }
  } end{f};
  Control_bridge::clear_items(native);
  for (int64_t i = 0; i < lines.count(); ++i) Control_bridge::add_item(native, lines.get(i));
  relayout_form();
}

std::string C_Listbox::get_line(int64_t index) { return Control_bridge::get_line(native, index); }

void C_Listbox::set_line(int64_t index, const std::string& text) {
  if (is_none() || index < 0) return;
  Control_bridge::set_line(native, index, text);
  relayout_form();
}

int64_t C_Listbox::line_count() { return Control_bridge::line_count(native); }

void C_Listbox::clear() {
  if (is_none()) return;
  Control_bridge::clear_items(native);
  C_Control::clear();
}

int64_t C_Listbox::add_item(const std::string& text) {
  if (is_none()) return -1;
  Control_bridge::add_item(native, text);
  relayout_form();
  return line_count() - 1;
}

int64_t C_Listbox::item_index() { return Control_bridge::item_index(native); }

}  // namespace brek
