#include "forms/progress.h"

#include "forms/control_bridge.h"
#include "forms/form.h"

namespace brek {

Ref<C_Progress> C_Progress::new_on_form(const Ref<C_Form>& form, const std::string& name) {
  return make_on<C_Progress>(form, name);
}

void C_Progress::create_native() {
  Control_bridge::Control_desc desc;
  desc.kind = Control_bridge::Control_kind::PROGRESS;
  native = Control_bridge::create(this, desc);
  Ref<C_Form> f = form.lock();
  layout_on_form kind = f->column_layout(column);
  can_stretch = kind == layout_on_form::TOP || kind == layout_on_form::BOTTOM ? 1 : 0;
  // The maximum, which the position never passes; the bar starts empty.
  Control_bridge::progress_set(native, 100);
}

void C_Progress::set_position(double value) { Control_bridge::progress_position(native, value); }

void C_Progress::set_maximum(double value) { Control_bridge::progress_set(native, value); }

}  // namespace brek
