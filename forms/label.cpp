#include "forms/label.h"

#include "forms/control_bridge.h"
#include "forms/form.h"

namespace brek {

Ref<C_Label> C_Label::new_on_form(const Ref<C_Form>& form, const std::string& text) {
  Ref<C_Label> l = make_on<C_Label>(form, text);
  l->set_text(text);
  return l;
}

void C_Label::create_native() {
  Control_bridge::Control_desc desc;
  desc.kind = Control_bridge::Control_kind::LABEL;
  native = Control_bridge::create(this, desc);
}

void C_Label::set_text(const std::string& text) {
  if (is_none()) return;
  Control_bridge::set_caption_autosize(native, text);
  relayout_form();
}

}  // namespace brek
