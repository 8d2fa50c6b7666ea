#include "drawing/common_handlers.h"

#include <algorithm>
#include <cmath>

#include "baselib/global_var.h"
#include "baselib/mathematics.h"
#include "drawing/canvas.h"
#include "drawing/font.h"
#include "drawing/paint_lines.h"
#include "drawing/paint_table.h"
#include "drawing/paint_tree.h"
#include "drawing/paintbox.h"
#include "forms/button.h"
#include "forms/checkbox.h"
#include "forms/dialog.h"
#include "forms/form.h"
#include "forms/form_bridge.h"
#include "forms/label.h"
#include "runtime/strings.h"
#include "runtime/unicode.h"

namespace brek {

namespace {

constexpr Color OPAQUE_RED = Colors::from_bits(0xFF0000FF);
constexpr Color OPAQUE_BLUE = Colors::from_bits(0xFFFF0000);

Color system(system_color item) { return Colors::system(static_cast<int64_t>(item)); }

int64_t var(const char* name) { return C_Global_var::get(name); }

// The keys a line list moves by: home, end, up, down, page up, page down.
bool list_key(int64_t k) { return k == 36 || k == 35 || k == 38 || k == 40 || k == 33 || k == 34; }
bool arrow_key(int64_t k) { return k >= 37 && k <= 40; }
// A tree takes these as well: left, right, backspace, space and enter.
bool tree_key(int64_t k) { return list_key(k) || k == 37 || k == 39 || k == 8 || k == 32 || k == 13; }

Ref<C_Paint_lines> as_list(const Ref<C_Control>& c) { return ref_cast<C_Paint_lines>(c); }
Ref<C_Paint_table> as_table(const Ref<C_Control>& c) { return ref_cast<C_Paint_table>(c); }
Ref<C_Paint_tree> as_tree(const Ref<C_Control>& c) { return ref_cast<C_Paint_tree>(c); }

// A scheme colour made opaque, as painted rows take them.
Color opaque_system(system_color item) { return system(item) | Colors::from_bits(0xFF000000u); }
const Color SILVER = Colors::from_bits(0xFFC0C0C0u);

bool contains_closed(const rect& r, const point& p) {
  return p.x >= r.x && p.x <= r.x + r.w && p.y >= r.y && p.y <= r.y + r.h;
}

}  // namespace

// ---- the variables ----

Common_appearance Common_appearance::read() {
  Common_appearance a;
  const int64_t b = var("Set_form_background");
  const int64_t f = var("Set_form_foreground");
  if (b != 0 || f != 0) {
    a.set_colours = true;
    a.text = f != 0 ? var("Custom_form_foreground") : system(system_color::BUTTON_TEXT);
    a.background = b != 0 ? var("Custom_form_background") : system(system_color::BUTTON);
  }
  if (var("Hint_colors") == 0) {
    a.hint_background = system(system_color::HELP);
    a.hint_text = system(system_color::HELP_TEXT);
    a.hint_non_latin = Colors::average(OPAQUE_RED, a.hint_text);
  } else {
    a.hint_background = var("Hint_background");
    a.hint_text = var("Hint_foreground");
    a.hint_non_latin = var("Hint_non_latins");
  }
  return a;
}

// ---- rules ----

namespace Common_rules {

bool is_non_latin_letter(char32_t c) {
  std::string s;
  Unicode::append_utf8(s, c);
  const std::string lower = Brek_runtime::lower_case(s);
  if (Brek_runtime::upper_case(s) == lower) return false;  // no letter
  return !(lower.size() == 1 && lower[0] >= 'a' && lower[0] <= 'z');
}

double hint_font_size(double strip_height) {
  double h = std::isfinite(strip_height) ? std::min(strip_height, 18.0) : 18.0;
  // A strip too low for text still gets a font that exists.
  return std::max(h - 4.0, 1.0);
}

bool minimum_size(double width, double height, double& out_width, double& out_height) {
  out_width = 0;
  out_height = 0;
  if (!(width > 0) && !(height > 0)) return false;
  const double cap_w = C_Brek_form::pixels_to_points(640);
  const double cap_h = C_Brek_form::pixels_to_points(480);
  out_width = width > 0 ? std::min(width, cap_w) : 0.0;
  out_height = height > 0 ? std::min(height, cap_h) : 0.0;
  return true;
}

int64_t wheel_lines(double wheel_amount, int64_t page_lines) {
  if (!std::isfinite(wheel_amount) || wheel_amount == 0) return 0;
  const double pages = std::clamp(wheel_amount * 3.0, -1.0, 1.0);
  double lines = double(std::max<int64_t>(page_lines, 0)) * -pages;
  // Any turn moves at least one line, the way the wheel went.
  if (Mathematics::approx_equal(std::trunc(lines), 0)) return wheel_amount > 0 ? -1 : 1;
  return Brek_runtime::to_int64_checked(lines);
}

}  // namespace Common_rules

// ---- the handlers ----

template <class Base>
void Common_handlers<Base>::destroy_hook() {
  if (!this->is_none()) {
    key_control.reset();
    focus_control.reset();
    focus_timer.reset();
  }
  Base::destroy_hook();
}

template <class Base>
void Common_handlers<Base>::apply_colours() {
  Common_appearance a = Common_appearance::read();
  if (a.set_colours) this->set_colors(a.text, a.background);
}

template <class Base>
void Common_handlers<Base>::apply_minimum_size(double width, double height) {
  double w = 0, h = 0;
  if (Common_rules::minimum_size(width, height, w, h)) this->set_min_size(w, h);
}

template <class Base>
void Common_handlers<Base>::on_activate() {
  Ref<C_Form> child = this->modal_child;
  if (!child.is_none() && child->native != 0 && child->is_visible())
    C_Brek_form::set_form_visible(child->native, true);
  Base::on_activate();
}

template <class Base>
Ref<C_Control> Common_handlers<Base>::control_at(const point& at) {
  DynAObj<C_Control> list = this->controls;
  for (int64_t i = 0; i < list.count(); ++i) {
    Ref<C_Control> c = list.get(i);
    if (!c->is_visual() || !c->is_shown()) continue;
    if (contains_closed(c->get_bounds(), at)) return c;
  }
  return Ref<C_Control>();
}

template <class Base>
Ref<C_Control> Common_handlers<Base>::hints_control() {
  DynAObj<C_Control> list = this->controls;
  for (int64_t i = 0; i < list.count(); ++i)
    if (list.get(i)->name == "P_HINTS") return list.get(i);
  return Ref<C_Control>();
}

template <class Base>
std::string Common_handlers<Base>::hint_of(const Ref<C_Control>& control, const point& at) {
  if (control.is_none()) return {};
  const rect b = control->get_bounds();
  Ref<C_Paint_table> table = as_table(control);
  if (!table.is_none()) {
    const int64_t row = table->row_at_y(at.y - b.y);
    // Columns are counted from the content's left edge.
    const int64_t column = table->column_at_x(at.x - b.x + table->visible_rect().x);
    if (row < 0) return table->columns.get(column).title;
    if (!table->virtual_rows) return table->get_line(row, column);
    // Virtual rows exist only in the paint hook: ask it for this row.
    Ref<C_Control> saved = this->current_control();
    const int32_t saved_row = table->drawing_item.row;
    struct Restore {
      Common_handlers& form;
      C_Paint_table& table;
      Ref<C_Control>& control;
      int32_t row;
      ~Restore() {
        table.drawing_item.row = row;
        form.set_current_control(control);
      }
    } restore{*this, *table, saved, saved_row};
    this->set_current_control(table);
    table->drawing_item.row = int32_t(std::clamp<int64_t>(row, INT32_MIN, INT32_MAX));
    table->cell_texts.clear();
    for (int64_t i = 0; i < table->columns.count(); ++i) table->cell_texts.append(std::string());
    this->control_notify();
    return table->cell_texts.get(column);
  }
  Ref<C_Paint_tree> tree = as_tree(control);
  if (!tree.is_none()) return tree->get_node(tree->node_at_line(tree->line_at_y(at.y - b.y))).text;
  // Other painted lists have no text of their own to show.
  if (!as_list(control).is_none()) return {};
  return control->get_text();
}

template <class Base>
void Common_handlers<Base>::on_mouse_move() {
  const point at = this->mouse_position();
  std::string hint = hint_of(control_at(at), at);
  if (hint != hint_text) {
    Ref<C_Paintbox> strip = ref_cast<C_Paintbox>(hints_control());
    if (!strip.is_none()) strip->invalidate_all();
  }
  hint_text = hint;
  Base::on_mouse_move();
}

template <class Base>
void Common_handlers<Base>::on_double_click() {
  Ref<C_Control> c = this->current_control();
  if (c->is_glyph_button()) c->perform_click();
  Base::on_double_click();
}

template <class Base>
bool Common_handlers<Base>::on_wheel() {
  bool handled = Base::on_wheel();
  Ref<C_Paint_lines> list = as_list(control_at(this->mouse_position()));
  if (list.is_none()) return handled;
  const int64_t moved = Common_rules::wheel_lines(this->wheel_delta(), list->page_lines());
  const int64_t first = list->first_visible_line();
  int64_t n = std::max<int64_t>(std::min(first + moved, list->line_count() - list->page_lines() + 1), 0);
  if (n != first) {
    list->set_first_line(n);
    list->invalidate_all();
  }
  return true;
}

template <class Base>
void Common_handlers<Base>::highlight(bool entering) {
  Ref<C_Control> c = this->current_control();
  if (c.is_none()) return;
  const bool own = this->colors_set != 0;
  Ref<C_Paint_lines> list = as_list(c);
  if (!list.is_none()) {
    list->repaint();
    list->set_caret_x(list->caret_x);
  }
  if (!ref_cast<C_Button>(c).is_none() || !ref_cast<C_Checkbox>(c).is_none()) {
    if (entering) {
      c->set_font_color(Colors::blend(system(system_color::BUTTON_TEXT), OPAQUE_RED, 70));
      c->set_color(Colors::blend(system(system_color::BUTTON), OPAQUE_BLUE, 70));
    } else {
      c->set_font_color(own ? this->colors[0] : system(system_color::BUTTON_TEXT));
      c->set_color(own ? this->colors[1] : system(system_color::BUTTON));
    }
  }
  // The label in front of the control shows where the focus is.
  const int64_t index = this->controls.index_of(c);
  Ref<C_Label> label = ref_cast<C_Label>(this->controls.get(index - 1));
  if (index <= 0 || label.is_none() || !label->is_shown()) return;
  if (entering) {
    label->set_font_color(own ? Colors::average(OPAQUE_BLUE, this->colors[0]) : system(system_color::HIGHLIGHT));
    label->set_font_style("B");
  } else {
    label->set_font_color(own ? this->colors[0] : system(system_color::BUTTON_TEXT));
    label->set_font_style("");
  }
  label->set_text(label->get_text());
}

template <class Base>
void Common_handlers<Base>::on_enter() {
  highlight(true);
  Base::on_enter();
}

template <class Base>
void Common_handlers<Base>::on_exit() {
  highlight(false);
  Base::on_exit();
}

template <class Base>
void Common_handlers<Base>::paint_hints() {
  Ref<C_Paintbox> strip = ref_cast<C_Paintbox>(hints_control());
  Ref<C_Canvas> canvas = strip->canvas;
  if (strip.is_none() || canvas.is_none()) return;
  Common_appearance a = Common_appearance::read();
  canvas->set_font(C_Font::new_font("Arial", Common_rules::hint_font_size(strip->get_height())));
  canvas->pen_color = a.hint_text;
  canvas->brush_color = a.hint_background;
  canvas->clear();
  double x = 0;
  const std::u32string text = Unicode::decode_utf8(hint_text);
  for (char32_t ch : text) {
    std::string one;
    Unicode::append_utf8(one, ch);
    canvas->pen_color = Common_rules::is_non_latin_letter(ch) ? a.hint_non_latin : a.hint_text;
    canvas->draw_text(point{x, 1.0}, one);
    x += canvas->text_extent(one).w;
  }
  canvas->pen_color = a.hint_text;
}

template <class Base>
void Common_handlers<Base>::paint_focus_frame(C_Paint_lines& list) {
  Ref<C_Canvas> canvas = list.canvas;
  if (canvas.is_none()) return;
  const Color pen = canvas->pen_color;
  const double width = canvas->pen_width;
  const brush_style brush = canvas->brush_style;
  canvas->reset_transform();
  canvas->pen_color = system(system_color::HIGHLIGHT) & Colors::from_bits(0xC0FFFFFF);
  canvas->pen_width = 3;
  canvas->brush_style = brush_style::CLEAR_BRUSH;
  const double one = C_Canvas::from_device_pixels(1);
  canvas->draw_rectangle(
      rect{one, one, list.visible_extent("h") - 2 * one, list.visible_extent("v") - 2 * one});
  canvas->pen_color = pen;
  canvas->pen_width = width;
  canvas->brush_style = brush;
}

template <class Base>
void Common_handlers<Base>::on_paint() {
  Ref<C_Control> c = this->current_control();
  if (c->name == "P_HINTS") {
    paint_hints();
  } else {
    Ref<C_Paint_lines> list = as_list(c);
    Ref<C_Paint_table> table = as_table(c);
    // A table's header shows where it is already.
    const bool header = !table.is_none() && table->header_line;
    if (!list.is_none() && !header && this->active_control().get() == list.get()) paint_focus_frame(*list);
  }
  Base::on_paint();
}

template <class Base>
void Common_handlers<Base>::table_colours(C_Paint_table& table) {
  Ref<C_Canvas> canvas = table.canvas;
  if (canvas.is_none()) return;
  const double h = table.line_height();
  const int64_t row = table.drawing_item.row;
  Ref<C_Font> font = canvas->font;
  if (row == -1) {
    table.grid_color = COLOR_BLACK;
    table.text_color = COLOR_WHITE;
    canvas->pen_color = COLOR_BLACK;
    canvas->brush_color = Colors::from_bits(0xFF808080u);
    if (!font.is_none()) {
      font->set_style("BI");
      font->size = std::max(h - 3.0, 1.0);
    }
    table.outline_width = -C_Canvas::from_device_pixels(1);
    return;
  }
  table.outline_width = 0;
  if (!font.is_none()) {
    font->set_style("");
    font->size = std::max(h - 2.0, 1.0);
  }
  // The table's own background, as the table paints it.
  const bool own = this->colors_set != 0;
  Color pen = opaque_system(system_color::WINDOW_TEXT);
  Color brush = own ? this->colors[1] : (table.color_set ? table.color : opaque_system(system_color::WINDOW));
  const bool selected = table.is_row_selected(row);
  const Color pale = Colors::average(SILVER, opaque_system(system_color::HIGHLIGHT));
  if (selected) {
    pen = opaque_system(system_color::HIGHLIGHT_TEXT);
    brush = pale;
  }
  if (row == table.current_line()) {
    pen = opaque_system(system_color::HIGHLIGHT_TEXT);
    brush = this->active_control().get() == &table ? opaque_system(system_color::HIGHLIGHT) : pale;
    if (!selected) {
      std::swap(pen, brush);
      if (!font.is_none()) font->set_style("B");
    }
  }
  canvas->pen_color = pen;
  canvas->brush_color = brush;
}

template <class Base>
void Common_handlers<Base>::control_notify() {
  Ref<C_Paint_table> table = as_table(this->current_control());
  if (!table.is_none()) table_colours(*table);
  Base::control_notify();
}

template <class Base>
void Common_handlers<Base>::on_control_click() {
  Ref<C_Paint_table> table = as_table(this->current_control());
  if (!table.is_none() && table->header_line && table->drawing_item.row < 0 && !table->canvas.is_none() &&
      this->active_control().get() == table.get())
    table->canvas->brush_color = Colors::average(SILVER, opaque_system(system_color::HIGHLIGHT));
  Base::on_control_click();
}

template <class Base>
void Common_handlers<Base>::arm_focus_timer() {
  focus_control = this->current_control();
  if (focus_timer.is_none()) focus_timer = C_Timer::new_timer_stopped(Ref<C_Form>(this), "FOCUS_TIMER", 20);
  focus_timer->set_enabled(true);
}

template <class Base>
bool Common_handlers<Base>::on_key_down() {
  Ref<C_Control> c = this->current_control();
  key_control = c;
  const int64_t key = this->key_info.key_code;
  if (!as_tree(c).is_none()) {
    if (tree_key(key)) {
      // The tree moves on the key's release; the key is taken.
      arm_focus_timer();
      return true;
    }
  } else if (!as_list(c).is_none() && list_key(key)) {
    arm_focus_timer();
  }
  return Base::on_key_down();
}

template <class Base>
void Common_handlers<Base>::on_key_up() {
  Ref<C_Control> c = this->current_control();
  const int64_t key = this->key_info.key_code;
  if (c.get() != key_control.get() && !arrow_key(key)) {
    Base::on_key_up();
    return;
  }
  Ref<C_Paint_lines> list = as_list(c);
  if (!list.is_none() && (as_tree(c).is_none() ? list_key(key) : tree_key(key))) {
    list->key_down(this->key_info);
    arm_focus_timer();
  }
  // Push buttons click natively on Space and Enter, check boxes on Space;
  // what has no native click for the key is clicked here.
  const bool button = !ref_cast<C_Button>(c).is_none();
  const bool check = !ref_cast<C_Checkbox>(c).is_none();
  const bool glyph = c->is_glyph_button();
  if (key == 32 && glyph) c->perform_click();
  if (key == 13 && (check || glyph) && !button) {
    Ref<C_Control> d = this->default_button;
    const bool default_ready = !d.is_none() && d->is_shown() && d->is_enabled();
    if (!default_ready) c->perform_click();
  }
  Base::on_key_up();
}

template <class Base>
void Common_handlers<Base>::on_key_press() {
  key_control = this->current_control();
  Base::on_key_press();
}

template <class Base>
void Common_handlers<Base>::on_timer() {
  Ref<C_Control> c = this->current_control();
  if (!focus_timer.is_none() && c.get() == focus_timer.get()) {
    focus_timer->set_enabled(false);
    this->set_focus(focus_control);
  }
  Base::on_timer();
}

template class Common_handlers<C_Form>;
template class Common_handlers<C_Dialog>;

}  // namespace brek
