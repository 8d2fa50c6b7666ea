#include "forms/edit.h"

#include "forms/control_bridge.h"
#include "forms/form.h"

namespace brek {

C_Edit::C_Edit(const std::string& option_text) : options(option_text) {
  read_only = option_text.find('R') != std::string::npos ? 1 : 0;
}

Ref<C_Edit> C_Edit::create(const Ref<C_Form>& form, const std::string& name, const std::string& option_text) {
  Ref<C_Edit> e = make_on<C_Edit>(form, name, option_text);
  if (option_text.empty() && !e.is_none()) e->options = "Suggestions";
  return e;
}

void C_Edit::create_native() {
  can_stretch = 1;
  Control_bridge::Control_desc desc;
  desc.kind = Control_bridge::Control_kind::EDIT;
  desc.read_only = read_only != 0;
  desc.password = password;
  native = Control_bridge::create(this, desc);
}

std::string C_Edit::get_value_text() { return get_native_text(); }

void C_Edit::set_value_text(const std::string& text) { set_text(text); }

bool C_Edit::numeric_only() { return options.find('N') != std::string::npos; }

}  // namespace brek
