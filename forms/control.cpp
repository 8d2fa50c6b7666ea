#include "forms/control.h"

#include <cmath>

#include "forms/control_bridge.h"
#include "forms/form.h"
#include "forms/form_bridge.h"
#include "forms/timer_ticks.h"

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
      Control_bridge::destroy(h);
      f->set_current_column(saved);
    }
  }
  form.reset();
  Brek_object::destroy_hook();
}

void C_Control::relayout_form() {
  Ref<C_Form> f = form.lock();
  if (!f.is_none() && !f->updates_suspended()) f->relayout();
}

point C_Control::column_origin() {
  Ref<C_Form> f = form.lock();
  int64_t col = f->column_handle(column);
  if (native == 0 || col == 0) return {};
  // A column whose controls reach below it shows them scrolled.
  const int64_t top = Control_bridge::column_pixels("T", col) - Control_bridge::column_scroll(col);
  return {C_Brek_form::pixels_to_points(static_cast<double>(Control_bridge::column_pixels("L", col))),
          C_Brek_form::pixels_to_points(static_cast<double>(top))};
}

bool C_Control::column_visible() { return C_Brek_form::control_column_visible(native); }

// ---- virtual operations ----

double C_Control::get_width() { return Control_bridge::get_width(native); }
double C_Control::get_height() { return Control_bridge::get_height(native); }
double C_Control::get_client_width() { return Control_bridge::get_client_width(native); }
double C_Control::get_client_height() { return Control_bridge::get_client_height(native); }

rect C_Control::get_bounds() {
  if (!is_visual()) return {};
  point o = column_origin();
  return {get_left() + o.x, get_top() + o.y, get_width(), get_height()};
}

std::string C_Control::get_native_text() { return Control_bridge::get_text(native); }

double C_Control::width_for_text(const std::string& text) {
  if (is_none() || native == 0) return 0;
  return get_width() - Control_bridge::text_room(native) + Control_bridge::text_width(native, text);
}

void C_Control::set_text(const std::string& text) {
  if (is_none()) return;
  Ref<C_Control> keep(this);
  Control_bridge::set_text(this, text);
  relayout_form();
}

void C_Control::clear() {
  if (is_none()) return;
  relayout_form();
}

void C_Control::set_font_color(int64_t colour) {
  if (is_none()) return;
  font_color = colour;
  Control_bridge::set_font_color(native, colour);
  Control_bridge::repaint(native);
  relayout_form();
}

void C_Control::set_color(int64_t colour) {
  if (is_none()) return;
  color_set = 1;
  color = colour;
  Control_bridge::set_color(native, colour);
  Control_bridge::repaint(native);
  relayout_form();
}

// ---- operations ----

double C_Control::get_left() { return Control_bridge::get_left(native); }
double C_Control::get_top() { return Control_bridge::get_top(native); }

void C_Control::set_width(double w) {
  if (is_none()) return;
  want_width = w;
  set_size_request(w, want_height);
}

void C_Control::set_height(double h) {
  if (is_none()) return;
  want_height = h;
  set_size_request(want_width, h);
}

void C_Control::set_size_request(double w, double h) {
  if (is_none()) return;
  // Between -2 and 0 (both exclusive of -2): keep what is wanted and apply
  // the current size, which the native side then leaves alone.
  double apply_w, apply_h;
  if (w > 0 || w <= -2 || std::isnan(w)) {
    want_width = w;
    apply_w = w;
  } else {
    apply_w = get_width();
  }
  if (h > 0 || h <= -2 || std::isnan(h)) {
    want_height = h;
    apply_h = h;
  } else {
    apply_h = get_height();
  }
  Control_bridge::set_size(native, apply_w, apply_h);
}

bool C_Control::is_hidden() { return Control_bridge::is_hidden(native); }

void C_Control::set_hidden(bool hidden) {
  if (is_none() || native == 0) return;
  if (Control_bridge::is_hidden(native) == hidden) return;
  Control_bridge::set_hidden(native, hidden);
  Ref<C_Form> f = form.lock();
  f->realign_column(f->column_handle(column));
}

bool C_Control::is_shown() { return !is_hidden() && column_visible(); }

bool C_Control::is_disabled() { return Control_bridge::is_disabled(native); }

void C_Control::set_disabled(bool disabled) {
  if (is_none()) return;
  Control_bridge::set_disabled(native, disabled);
}

void C_Control::set_stretch(bool flag) {
  if (is_none()) return;
  stretch = can_stretch && flag ? 1 : 0;
  relayout_form();
}

void C_Control::set_alignment(text_alignment alignment) { Control_bridge::set_alignment(native, alignment); }

std::string C_Control::get_font_name() { return Control_bridge::get_font_name(native); }

void C_Control::set_font_name(const std::string& font_name) {
  if (is_none()) return;
  Control_bridge::set_font_name(native, font_name);
  relayout_form();
}

double C_Control::get_font_size() { return Control_bridge::get_font_size(native); }

void C_Control::set_font_size(double size) { Control_bridge::set_font_size(native, size); }

std::string C_Control::get_font_style() { return Control_bridge::get_font_style(native); }

void C_Control::set_font_style(const std::string& letters) {
  if (is_none()) return;
  Control_bridge::set_font_style(native, letters);
  relayout_form();
}

bool C_Control::autosizes_to_text() { return native != 0 && (is_label() || is_push_button()); }

void C_Control::fire_click() {
  Ref<C_Control> keep(this);
  Ref<C_Form> f = form.lock();
  Current_control_scope current(f, keep);
  f->on_control_click();
}

void C_Control::perform_click() {
  if (!is_enabled()) return;
  Ref<C_Control> keep(this);
  Ref<C_Form> f = form.lock();
  Current_control_scope current(f, keep);
  point o = column_origin();
  Control_bridge::perform_click(native, {o.x + get_left(), o.y + get_top()});
}

void C_Control::set_as_current(const Ref<C_Control>& control) {
  Ref<C_Form> f = form.lock();
  if (!f.is_none()) f->set_current_control(control);
}

uint8_t C_Control::form_mouse_buttons() {
  Ref<C_Form> f = form.lock();
  return C_Brek_form::form_mouse_buttons(f->native);
}

point C_Control::drop_point() {
  Ref<C_Form> f = form.lock();
  point d = C_Brek_form::drop_point(f->native);
  point o = column_origin();
  return {d.x - get_left() - o.x, d.y - get_top() - o.y};
}

void C_Control::start_timer(int64_t first_ms, int64_t period_ms) {
  if (is_none() || native == 0 || first_ms <= 0 || period_ms <= 0) return;
  if (form.lock()->native == 0) return;
  // Ticks on until re-armed: no count ends it.
  Timer_ticks::start_animation(Ref<C_Control>(this), INT64_MAX, period_ms, first_ms);
}

}  // namespace brek
