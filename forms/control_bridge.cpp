#include "forms/control_bridge.h"

#include <algorithm>

#include "forms/control.h"
#include "forms/event_routing.h"
#include "forms/form.h"
#include "forms/form_bridge.h"
#include "runtime/strings.h"

namespace brek {
namespace Control_bridge {

namespace {

using brek_platform::native_controls;

double pt(int64_t pixels) { return C_Brek_form::pixels_to_points(static_cast<double>(pixels)); }
int64_t px(double points) { return C_Brek_form::points_to_pixels(points); }
int32_t rgb_of(int64_t colour) { return static_cast<int32_t>(colour & 0xFFFFFF); }

}  // namespace

int64_t create(C_Control* control, Control_desc desc) {
  if (!control || control->is_none()) return 0;
  Ref<C_Form> f = control->form.lock();
  if (f.is_none() || f->native == 0) return 0;
  f->ensure_column();
  if (control->column.empty()) control->column = f->current_column;
  desc.form = f->native;
  desc.column = f->column_handle(control->column);
  if (desc.column == 0) return 0;
  Ref<C_Screen> s = f->screen.lock();
  desc.font_name = s->font_name;
  desc.font_size = s->font_size;
  int64_t h = native_controls().create_control(desc);
  if (h == 0) return 0;
  C_Brek_form::register_control(h, Ref<C_Control>(control));
  return h;
}

void destroy(int64_t control) {
  if (control == 0) return;
  C_Brek_form::forget_control(control);
  native_controls().destroy_control(control);
}

// ---- geometry ----

double get_left(int64_t c) { return c == 0 ? 0.0 : pt(native_controls().control_box(c).x); }
double get_top(int64_t c) { return c == 0 ? 0.0 : pt(native_controls().control_box(c).y); }
double get_width(int64_t c) { return c == 0 ? 0.0 : pt(native_controls().control_box(c).w); }
double get_height(int64_t c) { return c == 0 ? 0.0 : pt(native_controls().control_box(c).h); }
double get_client_width(int64_t c) { return c == 0 ? 0.0 : pt(native_controls().control_client(c).w); }
double get_client_height(int64_t c) { return c == 0 ? 0.0 : pt(native_controls().control_client(c).h); }

void set_position(int64_t c, double x, double y) {
  if (c != 0) native_controls().move_control(c, px(x), px(y));
}

void set_size(int64_t c, double width, double height) {
  if (c == 0) return;
  auto& n = native_controls();
  n.set_autosize(c, false);
  brek_platform::Pixel_box now = n.control_box(c);
  int64_t w = width > 0 ? px(width) : 0;
  int64_t h = height > 0 ? px(height) : 0;
  if (w == now.w) w = 0;
  if (h == now.h) h = 0;
  if (w > 0 || h > 0) n.resize_control(c, w, h);
}

// ---- text ----

std::string get_text(int64_t c) { return c == 0 ? std::string() : native_controls().get_text(c); }

void set_text(C_Control* control, const std::string& text) {
  if (!control || control->native == 0) return;
  const int64_t c = control->native;
  auto& n = native_controls();
  Ref<C_Control> keep(control);
  Ref<C_Form> f = control->form.lock();
  const std::string old = n.get_text(c);
  n.set_text(c, text);
  if (control->is_push_button() || control->is_check_box()) {
    controls_layout layout = f->get_controls_layout(control->column);
    if (layout == controls_layout::CONTROLS_JUSTIFY || layout == controls_layout::CONTROLS_LEFT_LAST_RIGHT) {
      // Room for the caption even when it is shown bold.
      const bool marked = control->is_check_box() || f->default_button.get() == control;
      int64_t w = px(8.0) + Brek_runtime::int64_div(n.text_width(c, text, true) * 4, 3) + (marked ? 18 : 0);
      n.set_autosize(c, false);
      n.resize_control(c, w, 0);
    }
  }
  if (old != text) Event_routing::value_changed(f, keep);
}

void set_caption_autosize(int64_t c, const std::string& text) {
  if (c == 0) return;
  auto& n = native_controls();
  n.set_autosize(c, true);
  n.set_text(c, text);
}

double text_width(int64_t c, const std::string& text) {
  return c == 0 ? 0.0 : pt(native_controls().text_width(c, text, false));
}

double text_room(int64_t c) { return c == 0 ? 0.0 : pt(native_controls().text_room(c)); }

void set_alignment(int64_t c, text_alignment alignment) {
  if (c != 0) native_controls().set_alignment(c, static_cast<int>(alignment));
}

// ---- state and look ----

bool is_disabled(int64_t c) { return c != 0 && !native_controls().is_enabled(c); }
void set_disabled(int64_t c, bool disabled) {
  if (c != 0) native_controls().set_enabled(c, !disabled);
}
bool is_hidden(int64_t c) { return c != 0 && !native_controls().is_visible(c); }
void set_hidden(int64_t c, bool hidden) {
  if (c != 0) native_controls().set_visible(c, !hidden);
}
void set_font_color(int64_t c, int64_t colour) {
  if (c != 0) native_controls().set_font_color(c, rgb_of(colour));
}
void set_color(int64_t c, int64_t colour) {
  if (c != 0) native_controls().set_color(c, rgb_of(colour));
}
std::string get_font_name(int64_t c) { return c == 0 ? std::string() : native_controls().get_font_name(c); }
void set_font_name(int64_t c, const std::string& name) {
  if (c != 0) native_controls().set_font_name(c, name);
}
double get_font_size(int64_t c) { return c == 0 ? 0.0 : native_controls().get_font_size(c); }
void set_font_size(int64_t c, double size) {
  if (c == 0) return;
  int64_t whole = Brek_runtime::round_even_to_int64_checked(size);
  if (whole <= 0) return;  // no such font: the control keeps its own
  native_controls().set_font_size(c, static_cast<int>(std::min<int64_t>(whole, 10000)));
}
std::string get_font_style(int64_t c) { return c == 0 ? std::string() : native_controls().get_font_style(c); }
void set_font_style(int64_t c, const std::string& letters) {
  if (c != 0) native_controls().set_font_style(c, letters);
}
void repaint(int64_t c) {
  if (c != 0) native_controls().repaint(c);
}
void perform_click(int64_t c, point at) {
  if (c != 0) native_controls().perform_click(c, {at.x, at.y});
}
void set_focus(int64_t c) {
  if (c != 0) native_controls().set_focus(c);
}

// ---- kinds ----

bool checkbox_get(int64_t c) { return c != 0 && native_controls().get_checked(c); }
void checkbox_set(int64_t c, bool checked) {
  if (c != 0) native_controls().set_checked(c, checked);
}
int64_t line_count(int64_t c) { return c == 0 ? 0 : native_controls().line_count(c); }
std::string get_line(int64_t c, int64_t index) {
  return c == 0 || index < 0 ? std::string() : native_controls().get_line(c, index);
}
void set_line(int64_t c, int64_t index, const std::string& text) {
  if (c != 0 && index >= 0) native_controls().set_line(c, index, text);
}
int64_t add_item(int64_t c, const std::string& text) { return c == 0 ? -1 : native_controls().add_item(c, text); }
void clear_items(int64_t c) {
  if (c != 0) native_controls().clear_items(c);
}
int64_t item_index(int64_t c) { return c == 0 ? -1 : native_controls().item_index(c); }
void set_item_index(int64_t c, int64_t index) {
  if (c != 0) native_controls().set_item_index(c, index);
}
void progress_set(int64_t c, double maximum) {
  if (c != 0) native_controls().set_progress_max(c, Brek_runtime::to_int64_checked(maximum));
}
void progress_position(int64_t c, double position) {
  if (c != 0) native_controls().set_progress_position(c, Brek_runtime::to_int64_checked(position));
}
int64_t progress_max(int64_t c) { return c == 0 ? 0 : native_controls().progress_max(c); }
int64_t progress_value(int64_t c) { return c == 0 ? 0 : native_controls().progress_position(c); }
std::string date_text(int64_t c) { return c == 0 ? std::string() : native_controls().date_text(c); }

// ---- columns ----

int64_t column_pixels(const std::string& letter, int64_t column) {
  if (column == 0 || letter.empty()) return 0;
  brek_platform::Pixel_box b = native_controls().column_box(column);
  switch (letter[0]) {
    case 'H': return b.h;
    case 'L': return b.x;
    case 'T': return b.y;
    case 'W': return b.w;
    default: return 0;
  }
}

void set_column_origin(int64_t column, int64_t x, int64_t y) {
  if (column != 0) native_controls().set_column_origin(column, x, y);
}
int64_t column_scroll(int64_t column) { return column == 0 ? 0 : native_controls().column_scroll(column); }
void set_column_width(int64_t column, int64_t pixels) {
  if (column != 0) native_controls().set_column_width(column, pixels);
}
void set_column_height(int64_t column, int64_t pixels) {
  if (column != 0) native_controls().set_column_height(column, pixels);
}
double column_client_width(int64_t column) { return column == 0 ? 0.0 : pt(native_controls().column_client(column).w); }
double column_client_height(int64_t column) {
  return column == 0 ? 0.0 : pt(native_controls().column_client(column).h);
}

}  // namespace Control_bridge
}  // namespace brek
