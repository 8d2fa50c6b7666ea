#include "forms/button.h"

#include "forms/control_bridge.h"
#include "forms/form.h"

namespace brek {

Ref<C_Button> C_Button::new_on_form(const Ref<C_Form>& form, const std::string& name, const std::string& caption) {
  Ref<C_Button> b = make_on<C_Button>(form, name);
  b->set_text(caption);
  // A button that does not follow its caption gets 6 points per character.
  if (!b->autosizes_to_text()) b->set_size_request(static_cast<double>(caption.size()) * 6, b->get_height());
  return b;
}

void C_Button::create_native() {
  Control_bridge::Control_desc desc;
  desc.kind = Control_bridge::Control_kind::BUTTON;
  native = Control_bridge::create(this, desc);
}

void C_Button::set_default() {
  Ref<C_Form> f = form.lock();
  f->set_default_button(Ref<C_Control>(this));
}

void C_Button::set_cancel() {
  Ref<C_Form> f = form.lock();
  f->set_cancel_button(Ref<C_Control>(this));
}

}  // namespace brek
