#include "drawing/paint_turtle.h"

#include <cmath>
#include <limits>

#include "baselib/mathematics.h"
#include "baselib/string_functions.h"
#include "drawing/paint_tree.h"
#include "forms/form.h"
#include "runtime/runtime_services.h"
#include "runtime/strings.h"

namespace brek {

namespace {

constexpr int64_t INT64_TOP = std::numeric_limits<int64_t>::max();
constexpr int64_t INT64_BOTTOM = std::numeric_limits<int64_t>::min();

char upper(char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Headings add up without wrapping past the 64-bit range.
int64_t add_saturated(int64_t a, int64_t b) {
  int64_t r;
  if (__builtin_add_overflow(a, b, &r)) return b > 0 ? INT64_TOP : INT64_BOTTOM;
  return r;
}
int64_t sub_saturated(int64_t a, int64_t b) {
  int64_t r;
  if (__builtin_sub_overflow(a, b, &r)) return b > 0 ? INT64_BOTTOM : INT64_TOP;
  return r;
}
int64_t turn(int64_t heading, int64_t by) { return add_saturated(heading, by) % 360; }

point to_canvas(const turtle_data& d, double x, double y) {
  return {d.left + 1 + (d.width - 2) * x / 100, d.top + 1 + (d.height - 2) * y / 100};
}

void move_forward(const Ref<C_Canvas>& canvas, turtle_data& d, int64_t n, bool exact) {
  const double s = d.glyph_count >= 2 ? 1.0 / double(d.glyph_count) : 1.0;
  // The angle reduced first: the same sine and cosine, without the
  // precision a huge heading would lose.
  const double radians = Mathematics::pi() * double(d.heading % 360) / 180.0;
  const double c = Mathematics::cos(radians);
  const double sn = Mathematics::sin(radians);
  const double dist = double(n);
  const double old_x = d.x, old_y = d.y;
  if (exact) {
    d.x += dist * c * s;
    d.y += dist * sn;
  } else {
    if (!Mathematics::approx_equal(c, 0)) d.x += double(Mathematics::sign(c)) * dist * s;
    if (!Mathematics::approx_equal(sn, 0)) d.y += double(Mathematics::sign(sn)) * dist;
  }
  const point from = to_canvas(d, old_x, old_y);
  const point to = to_canvas(d, d.x, d.y);
  if (d.fill_pass) {
    if (!d.fan_on) return;
    const Color fill = d.disabled ? d.disabled_fill_color : d.fill_color;
    canvas->pen_color = fill;
    canvas->brush_color = fill;
    const brush_style saved = canvas->brush_style;
    canvas->brush_style = brush_style::SOLID_BRUSH;
    DynArray<point> triangle;
    triangle.append(to_canvas(d, d.fan_x, d.fan_y));
    triangle.append(from);
    triangle.append(to);
    canvas->draw_polyline(triangle, true);
    canvas->brush_style = saved;
  } else if (d.pen_down) {
    canvas->draw_line(from, to);
  }
}

// The group that the ")" at `close` ends runs count - 1 more times (it ran
// once while it was read).
void repeat_group(const Ref<C_Canvas>& canvas, turtle_data& d, const std::string& text, size_t close, int64_t count,
                  bool exact) {
  if (count <= 1) return;
  // Back to the "(" that matches, over comments and inner groups.
  int64_t depth = 0;
  bool in_comment = false;
  size_t start = close;
  for (size_t k = close; k-- > 0;) {
    Brek_runtime::loop_tick();
    const char c = text[k];
    if (in_comment) {
      if (c == '[') in_comment = false;
      continue;
    }
    if (c == ']') {
      in_comment = true;
    } else if (c == ')') {
      ++depth;
    } else if (c == '(') {
      if (depth == 0) {
        start = k;
        break;
      }
      --depth;
    }
  }
  if (start == close) return;
  const std::string body = text.substr(start + 1, close - start - 1);
  for (int64_t r = 1; r < count && d.steps_left > 0; ++r) {
    Brek_runtime::loop_tick();
    C_Paint_turtle::run_commands(canvas, d, body, exact);
  }
}

// The pass's start: the corner, heading 45, pen up, no fan; a restore
// before any save comes back here in both passes alike.
void start_pass(turtle_data& d) {
  d.x = d.y = 0;
  d.heading = 45;
  d.saved_x = d.saved_y = 0;
  d.saved_heading = 45;
  d.fan_x = d.fan_y = 0;
  d.fan_on = 0;
  d.pen_down = 0;
  d.steps_left = turtle_data::MAX_STEPS;
}

void draw_frame(const Ref<C_Canvas>& canvas, int look, const rect& cell, Color pen, Color back) {
  const double x = cell.x, y = cell.y, w = cell.w, h = cell.h;
  auto filled = [&](const rect& r, Color colour) {
    canvas->pen_color = colour;
    canvas->brush_color = colour;
    canvas->brush_style = brush_style::SOLID_BRUSH;
    canvas->draw_rectangle(r);
  };
  auto outline = [&](const rect& r, Color colour) {
    canvas->pen_color = colour;
    canvas->brush_style = brush_style::CLEAR_BRUSH;
    canvas->draw_rectangle(r);
  };
  auto line = [&](point a, point b, Color colour) {
    canvas->pen_color = colour;
    canvas->draw_line(a, b);
  };
  switch (look) {
    case 1:
      outline(rect{x, y, w - 1, h - 1}, pen);
      break;
    case 2: {
      filled(rect{x, y, w, 1}, back);
      filled(rect{x, y, 1, h}, back);
      const Color dark = Colors::average(COLOR_BLACK, pen);
      filled(rect{x, y + h - 1, w, 1}, dark);
      filled(rect{x + w - 1, y + 1, 1, h - 1}, dark);
      outline(rect{x + 1, y + 1, w - 2, h - 2}, Colors::average(COLOR_WHITE, pen));
      break;
    }
    case 3: {
      line({x + 2, y + 2}, {x + w - 4, y + 2}, pen);
      line({x + 2, y + 2}, {x + 2, y + h - 4}, pen);
      const Color light = Colors::average(COLOR_WHITE, back);
      line({x + 1, y + h - 1}, {x + w, y + h - 1}, light);
      line({x + w - 1, y + h}, {x + w - 1, y + 1}, light);
      outline(rect{x + 1, y + 1, w - 2, h - 2}, Colors::average(COLOR_BLACK, pen));
      break;
    }
    default:
      break;
  }
}

// The tree's marks are turtle glyphs.
[[maybe_unused]] const bool tree_marks_registered = [] {
  C_Paint_tree::set_glyph_painter(&C_Paint_turtle::paint_cell);
  return true;
}();

}  // namespace

C_Paint_turtle::C_Paint_turtle() = default;

Ref<C_Paint_turtle> C_Paint_turtle::new_turtle(const Ref<C_Form>& form, const std::string& name,
                                               const std::string& commands) {
  Ref<C_Paint_turtle> t = make_on_prepared<C_Paint_turtle>(form, name, [&](C_Paint_turtle& b) {
    b.commands = Brek_runtime::upper_case(commands);
    b.has_vbar = 0;
    b.has_hbar = 0;
    b.pressable = 1;
  });
  t->set_color(Colors::system(int64_t(system_color::BUTTON)));
  t->color_set = 0;
  t->line_color = Colors::system(int64_t(system_color::BUTTON_TEXT));
  t->set_content_size(CELL, CELL);
  t->set_state(2);
  t->set_drag_scrolling(false);
  t->set_size_request(18.0, 18.0);
  return t;
}

void C_Paint_turtle::set_glyphs(const std::string& names) {
  if (is_none()) return;
  DynAStr parts = NATIVE_String_functions::split(names, ",");
  glyphs.clear();
  for (int64_t i = 0; i < parts.count(); ++i) glyphs.append(NATIVE_String_functions::trim(parts.get(i)));
  pressable = 1;
  set_color(Colors::system(int64_t(system_color::BUTTON)));
  color_set = 0;
  line_color = Colors::system(int64_t(system_color::BUTTON_TEXT));
  set_content_size(double(glyphs.count()) * CELL, CELL);
  set_state(2);
  set_drag_scrolling(false);
}

void C_Paint_turtle::set_state(uint8_t new_state) {
  if (is_none()) return;
  state = new_state;
  invalidate_all();
}

void C_Paint_turtle::destroy_hook() {
  glyphs.clear();
  C_Paintbox::destroy_hook();
}

void C_Paint_turtle::set_font_color(int64_t colour) {
  if (is_none()) return;
  line_color = colour;
  invalidate_all();
}

// ---- the interpreter ----

bool C_Paint_turtle::is_exact(const std::string& text) {
  for (char c : text) {
    const char u = upper(c);
    if (u == 'C' || u == 'A') return true;
  }
  return false;
}

void C_Paint_turtle::run_commands(const Ref<C_Canvas>& canvas, turtle_data& d, const std::string& text,
                                  bool exact) {
  Brek_runtime::Recursion_guard guard;
  const size_t n = text.size();
  int64_t number = 0;
  bool in_comment = false;
  bool group_pending = false;
  size_t group_close = 0;
  for (size_t i = 0; i < n; ++i) {
    Brek_runtime::loop_tick();
    if (d.steps_left <= 0) return;
    d.steps_left -= 1;
    const char c = upper(text[i]);
    if (in_comment) {
      if (c == ']') in_comment = false;
      continue;
    }
    if (is_digit(c)) {
      const int64_t digit = c - '0';
      number = number > (INT64_TOP - digit) / 10 ? INT64_TOP : number * 10 + digit;
      if (i + 1 < n && is_digit(text[i + 1])) continue;
      size_t j = i + 1;
      while (j < n && static_cast<unsigned char>(text[j]) <= 32) ++j;
      const char next = j < n ? upper(text[j]) : '\0';
      if (next == 'C') {
        d.heading = add_saturated(d.heading, number);
      } else if (next == 'A') {
        d.heading = sub_saturated(d.heading, number);
      } else if (group_pending) {
        group_pending = false;
        repeat_group(canvas, d, text, group_close, number, exact);
      } else {
        move_forward(canvas, d, number, exact);
      }
      number = 0;
      continue;
    }
    switch (c) {
      case 'R': d.heading = turn(d.heading, 45); break;
      case 'L': d.heading = turn(d.heading, 315); break;
      case 'B': d.heading = turn(d.heading, 180); break;
      case 'D': d.pen_down = 1; break;
      case 'U': d.pen_down = 0; break;
      case 'S':
        d.saved_x = d.x;
        d.saved_y = d.y;
        d.saved_heading = d.heading;
        break;
      case 'G':
        d.x = d.saved_x;
        d.y = d.saved_y;
        d.heading = d.saved_heading;
        break;
      case 'F':
        d.fan_on = 1;
        d.fan_x = d.x;
        d.fan_y = d.y;
        break;
      case 'N': d.fan_on = 0; break;
      case '[': in_comment = true; break;
      case ')':
        group_pending = true;
        group_close = i;
        break;
      default: break;
    }
  }
}

void C_Paint_turtle::draw_glyph(const Ref<C_Canvas>& canvas, turtle_data& d, const std::string& commands) {
  if (canvas.is_none()) return;
  const bool exact = is_exact(commands);
  const double saved_width = canvas->pen_width;
  const Color saved_brush = canvas->brush_color;
  const brush_style saved_style = canvas->brush_style;
  struct Restore {
    const Ref<C_Canvas>& c;
    double width;
    Color brush;
    brush_style style;
    ~Restore() {
      c->pen_width = width;
      c->brush_color = brush;
      c->brush_style = style;
    }
  } restore{canvas, saved_width, saved_brush, saved_style};

  if (!(d.disabled && Colors::alpha(d.disabled_fill_color) == 0)) {
    start_pass(d);
    d.fill_pass = 1;
    run_commands(canvas, d, commands, exact);
  }
  start_pass(d);
  d.fill_pass = 0;
  canvas->pen_color = d.disabled ? d.disabled_line_color : d.line_color;
  canvas->pen_width = d.line_width;
  run_commands(canvas, d, commands, exact);
  canvas->pen_width = saved_width;

  // The frames: P and Bk as the passes left them.
  const Color pen = canvas->pen_color;
  const Color back = canvas->brush_color;
  const int64_t k = std::max<int64_t>(1, d.glyph_count);
  for (int64_t i = 0; i < k; ++i) {
    const double w = d.width / double(k);
    const rect cell{d.left + double(i) * w, d.top, w, d.height};
    int look = d.state;
    if (d.glyph_count > 1 && look == 3 && i != d.pressed_index) look = 2;
    draw_frame(canvas, look, cell, pen, back);
  }
  canvas->pen_color = pen;
}

void C_Paint_turtle::paint_cell(const Ref<C_Canvas>& canvas, const std::string& commands, const rect& cell,
                                Color line, Color fill) {
  turtle_data d;
  d.left = cell.x;
  d.top = cell.y;
  d.width = cell.w;
  d.height = cell.h;
  d.state = 0;
  d.glyph_count = 1;
  d.line_color = line;
  d.fill_color = fill;
  draw_glyph(canvas, d, commands);
}

// ---- pointer ----

int64_t C_Paint_turtle::glyph_at(double x, double width, int64_t count) {
  // A control without width has no cells to hit, and nothing left of it
  // is a cell.
  if (count <= 0 || !(width > 0) || !std::isfinite(width) || !(x >= 0)) return -1;
  const double i = std::floor(double(count) * x / width);
  if (!(i < double(count))) return -1;
  return int64_t(i);
}

void C_Paint_turtle::on_mouse_down(double x, double, button_mouse, uint8_t) {
  if (is_none()) return;
  if (form_mouse_buttons() != uint8_t(button_mouse::LMB) || !pressable) return;
  const int64_t count = glyphs.count();
  if (count >= 2) {
    const int64_t i = glyph_at(x, get_bounds().w, count);
    if (i >= 0) {
      pressed_glyph = glyphs.get(i);
      set_state(3);
    } else {
      pressed_glyph.clear();
    }
  } else {
    set_state(3);
  }
}

void C_Paint_turtle::on_mouse_up(double, double, button_mouse, uint8_t) {
  if (is_none() || !pressable) return;
  pressed_glyph.clear();
  set_state(2);
}

void C_Paint_turtle::on_double_click(double, double, button_mouse, uint8_t) {
  if (is_none() || !pressable || glyphs.count() > 1) return;
  set_state(2);
}

// ---- painting ----

void C_Paint_turtle::on_paint() {
  if (is_none()) return;
  C_Paintbox::on_paint();
  canvas->brush_style = brush_style::SOLID_BRUSH;
  canvas->brush_color = color;
  canvas->clear();
  const int64_t count = glyphs.count();
  if (pressed_glyph.empty() || count == 0) return;
  const int64_t i = glyphs.index_of(pressed_glyph);
  if (i < 0) return;
  const Color pen = canvas->pen_color, brush = canvas->brush_color;
  const double w = get_width() / double(count);
  const Color mark = Colors::average(fill_color, color);
  canvas->pen_color = mark;
  canvas->brush_color = mark;
  canvas->draw_rectangle(rect{double(i) * w + 1.0, 1.0, w - 2.0, get_height() - 2.0});
  canvas->pen_color = pen;
  canvas->brush_color = brush;
}

void C_Paint_turtle::paint_content() {
  if (is_none()) return;
  turtle_data d;
  d.left = 0;
  d.top = 0;
  d.width = get_width();
  d.height = get_height();
  d.disabled = is_disabled() ? 1 : 0;
  d.state = state;
  d.pressable = pressable;
  d.line_color = line_color;
  d.disabled_line_color = disabled_line_color;
  d.fill_color = fill_color;
  d.disabled_fill_color = disabled_fill_color;
  d.line_width = line_width;
  d.glyph_count = glyphs.count();
  d.pressed_index = pressed_glyph.empty() ? -1 : glyphs.index_of(pressed_glyph);
  if (!canvas.is_none()) {
    if (!color_set) {
      Ref<C_Form> f = form.lock();
      if (f->colors_set) {
        canvas->pen_color = f->colors[0];
        canvas->brush_color = f->colors[1];
      } else {
        canvas->pen_color = Colors::system(int64_t(system_color::BUTTON_TEXT));
        canvas->brush_color = Colors::system(int64_t(system_color::BUTTON));
      }
    }
    const Color brush = canvas->brush_color;
    try {
      draw_glyph(canvas, d, commands);
    } catch (...) {
      canvas->brush_color = brush;
      C_Paintbox::paint_content();
      throw;
    }
    canvas->brush_color = brush;
  }
  C_Paintbox::paint_content();
}

}  // namespace brek
