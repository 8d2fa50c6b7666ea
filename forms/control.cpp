#include "forms/control.h"

#include "forms/form.h"
#include "forms/form_bridge.h"

namespace brek {

void C_Control::attach(const Ref<C_Form>& owner, const std::string& control_name) {
  if (is_none()) return;
  if (!owner.is_none()) form = owner;
  name = control_name;
}

void C_Control::init() {
  Brek_object::init();
  if (is_none()) return;
  Ref<C_Control> self(this);
  Ref<C_Form> f = form.lock();
  if (!f.is_none()) {
    Brek_runtime::dyn_obj_remove_all(f->controls, self);
    f->controls.append(self);
    column = f->current_column;
  }
  create_native();
}

void C_Control::destroy_hook() {
  // References to this control read None from here on; the form's list
  // entries for it do too.
  Ref<C_Form> f = form.lock();
  if (!f.is_none()) {
    for (int64_t i = f->controls.count() - 1; i >= 0; --i)
      if (f->controls.get(i).is_none()) f->controls.remove(i, 1);
    if (!f->updates_suspended()) f->relayout();
  }
  if (native != 0) {
    int64_t h = native;
    native = 0;
    C_Brek_form::forget_control(h);
    if (f->native != 0) {
      // The native control goes from the column that holds it.
      std::string saved = f->current_column;
      f->set_current_column(column);
      C_Brek_form::destroy_control(h);
      f->set_current_column(saved);
    }
  }
  form.reset();
  Brek_object::destroy_hook();
}

void C_Control::set_as_current(const Ref<C_Control>& control) {
  Ref<C_Form> f = form.lock();
  if (!f.is_none()) f->set_current_control(control);
}

}  // namespace brek
