#pragma once
// The window layer of the platform: real windows behind the Native_forms
// seam (platform/native_forms.h). No Qt types here; platform/qt/ builds it.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/image_decode.h"
#include "platform/native_forms.h"

namespace brek_platform {

// Makes the platform's windows the native layer of the forms toolkit.
// init_application does this; it does nothing before the application
// object exists.
void install_window_layer();
// Puts the headless default back (shutdown_application does this after
// closing every window).
void remove_window_layer();
// The platform's layer, nullptr before the application object exists.
Native_forms* window_layer();

// Who turns a form's popup menu lines into a menu (the forms toolkit parses
// menu texts); the layer's popup_menu hands the lines on to it.
using Popup_menu_shower = void (*)(Native_handle form, const std::vector<std::string>& lines);
void set_popup_menu_shower(Popup_menu_shower shower);

// Pixels per inch of every conversion: the screen's logical resolution, or
// the value set here (0 or less: the screen's again).
void set_pixels_per_inch_override(double ppi);

// What is on the screen where the form's window is, as the screen shows it.
// False when the handle names no window or nothing could be read.
bool grab_window(Native_handle form, Decoded_image& out);

// Where a message box of the given size goes over a form (all in pixels):
// centred on the form, halves rounded toward zero, but never left of the
// form's left edge or above its top edge.
inline Point_pt message_box_origin(const Rect_pt& form, double box_width, double box_height) {
  auto half = [](double a, double b) {
    double d = a - b;
    if (!(d > -1e15 && d < 1e15)) return 0.0;  // NaN and the absurd never reach a cast
    return static_cast<double>(static_cast<int64_t>(d) / 2);
  };
  double x = form.x + half(form.w, box_width);
  double y = form.y + half(form.h, box_height);
  if (x < form.x) x = form.x;
  if (y < form.y) y = form.y;
  return {x, y};
}

}  // namespace brek_platform
