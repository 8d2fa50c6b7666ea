#include "platform/native_forms.h"

namespace brek_platform {

namespace {
Native_forms g_headless;
Native_forms* g_layer = nullptr;
Form_events g_ignore;
Form_events* g_receiver = nullptr;
}  // namespace

Native_forms& native_forms() { return g_layer ? *g_layer : g_headless; }

double device_pixel_ratio() {
  const double ratio = native_forms().device_pixel_ratio();
  return ratio >= 0.25 && ratio <= 16 ? ratio : 1.0;
}

double device_pixels_per_inch() { return native_forms().pixels_per_inch() * device_pixel_ratio(); }

Native_forms* set_native_forms(Native_forms* layer) {
  Native_forms* old = g_layer;
  g_layer = layer;
  return old;
}

Form_events& form_events() { return g_receiver ? *g_receiver : g_ignore; }

Form_events* set_form_events(Form_events* receiver) {
  Form_events* old = g_receiver;
  g_receiver = receiver;
  return old;
}

}  // namespace brek_platform
