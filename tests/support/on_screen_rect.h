#pragma once
// Where a form and its controls are on the X server's screen, in the
// server's pixels: the window's place as the server reports it, and the
// control's place in the window as the window shows it.

#include <cmath>
#include <string>
#include <vector>

#include "forms/control.h"
#include "forms/form.h"
#include "forms/form_bridge.h"
#include "platform/native_forms.h"
#include "platform/test_events.h"
#include "tests/support/x11_client.h"

namespace brek_test {

inline xcb_window_t x11_window_of(const brek::Ref<brek::C_Form>& form) {
  return xcb_window_t(brek::C_Brek_form::window_handle(form->native));
}

// The control's rectangle on the screen.
inline x11_test::Client::Box control_on_screen(x11_test::Client& x, const brek::Ref<brek::C_Form>& form,
                                               const brek::Ref<brek::C_Control>& control) {
  const double ratio = brek_platform::device_pixel_ratio();
  auto px = [&](double points) { return int(std::lround(double(brek::C_Brek_form::points_to_pixels(points)) * ratio)); };
  const x11_test::Client::Box window = x.geometry(x11_window_of(form));
  const brek::rect own = brek::C_Brek_form::get_window_rect(form->native);
  const brek::point client = form->client_origin();
  const brek_platform::Rect_pt b = brek_platform::test_events::shown_bounds(control->native);
  return {window.x + px(client.x - own.x + b.x), window.y + px(client.y - own.y + b.y), px(b.w), px(b.h)};
}

// A left click through the X server in the middle of the control as shown.
inline void click_on_screen(x11_test::Client& x, const brek::Ref<brek::C_Form>& form,
                            const brek::Ref<brek::C_Control>& control) {
  const x11_test::Client::Box at = control_on_screen(x, form, control);
  const x11_test::Client::Box window = x.geometry(x11_window_of(form));
  x.click(x11_window_of(form), at.x - window.x + at.w / 2, at.y - window.y + at.h / 2);
}

// "w x h at x,y", for a failure's message.
inline std::string describe(const x11_test::Client::Box& b) {
  return std::to_string(b.w) + "x" + std::to_string(b.h) + " at " + std::to_string(b.x) + "," + std::to_string(b.y);
}

// Whether the inner rectangle lies wholly inside the outer one.
inline bool inside(const x11_test::Client::Box& inner, const x11_test::Client::Box& outer) {
  return inner.x >= outer.x && inner.y >= outer.y && inner.x + inner.w <= outer.x + outer.w &&
         inner.y + inner.h <= outer.y + outer.h;
}

// Each of the controls that does not lie wholly inside the area, named
// with its place; "" when all do.
inline std::string outside(x11_test::Client& x, const brek::Ref<brek::C_Form>& form,
                           const std::vector<brek::Ref<brek::C_Control>>& controls, const x11_test::Client::Box& area) {
  std::string out;
  for (const brek::Ref<brek::C_Control>& c : controls) {
    const x11_test::Client::Box at = control_on_screen(x, form, c);
    if (!inside(at, area)) out += c->name + " " + describe(at) + "; ";
  }
  return out;
}

}  // namespace brek_test
