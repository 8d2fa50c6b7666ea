#include "forms/date_picker.h"

#include "forms/control_bridge.h"
#include "forms/form.h"

namespace brek {

void C_Date::create_native() {
  Control_bridge::Control_desc desc;
  desc.kind = Control_bridge::Control_kind::DATE;
  native = Control_bridge::create(this, desc);
}

std::string C_Date::get_native_text() { return Control_bridge::date_text(native); }

}  // namespace brek
