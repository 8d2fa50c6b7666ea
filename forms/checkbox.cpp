#include "forms/checkbox.h"

#include "forms/control_bridge.h"
#include "forms/form.h"
#include "runtime/runtime_services.h"

namespace brek {

Ref<C_Checkbox> C_Checkbox::new_on_form(const Ref<C_Form>& form, const std::string& name,
                                        const std::string& caption) {
  Ref<C_Checkbox> b = make_on<C_Checkbox>(form, name);
  Control_bridge::set_caption_autosize(b->native, caption);
  return b;
}

void C_Checkbox::create_native() {
  Control_bridge::Control_desc desc;
  desc.kind = Control_bridge::Control_kind::CHECKBOX;
  native = Control_bridge::create(this, desc);
}

bool C_Checkbox::get_checked() { return Control_bridge::checkbox_get(native); }

void C_Checkbox::set_checked(bool checked) { Control_bridge::checkbox_set(native, checked); }

void C_Checkbox::native_value_changed() {
  if (is_none() || group == 0 || !get_checked()) return;
  Ref<C_Form> f = form.lock();
  DynAObj<C_Control> all = f->controls;
  for (int64_t i = 0; i < all.count(); ++i) {
    Brek_runtime::loop_tick();
    Ref<C_Checkbox> other = ref_cast<C_Checkbox>(all.get(i));
    if (other.is_none() || other.get() == this || other->group != group) continue;
    if (other->get_checked()) other->set_checked(false);
  }
}

}  // namespace brek
