#include "drawing/paint_lines.h"

#include <algorithm>
#include <cmath>

#include "baselib/mathematics.h"
#include "drawing/units.h"
#include "forms/form.h"
#include "forms/form_bridge.h"
#include "platform/paint_panel.h"
#include "runtime/runtime_services.h"
#include "runtime/strings.h"

namespace brek {

namespace {
// The panel counts device pixels.
int64_t px(double points) { return Draw_units::screen_points_to_pixels(points); }
}  // namespace

void C_Paint_lines::repaint() {
  if (is_none()) return;
  set_first_line(first_visible_line());
  update_caret();
  invalidate_all();
}

void C_Paint_lines::set_content_size(double width, double height) {
  if (is_none()) return;
  C_Paintbox::set_content_size(line_width > 0 ? line_width : width, height);
}

void C_Paint_lines::set_focus() {
  if (is_none() || native == 0) return;
  C_Brek_form::set_active_control(native);
}

void C_Paint_lines::set_line_count(int64_t n) {
  if (is_none()) return;
  lines = std::max<int64_t>(0, n);
  update_scroll();
}

int64_t C_Paint_lines::page_lines() {
  const double h = line_height();
  if (h <= 0) return 0;
  return Brek_runtime::to_int64_checked(std::floor(visible_extent("V") / h));
}

int64_t C_Paint_lines::line_at_y(double y) {
  return Brek_runtime::to_int64_checked(Brek_runtime::real_div(y, line_height())) + first_visible_line();
}

void C_Paint_lines::set_current_line(int64_t n) {
  if (is_none()) return;
  current = n;
  C_Brek_form::relayout_for_control(Ref<C_Control>(this));
  update_caret();
}

double C_Paint_lines::current_line_y() { return double(current_line() - first_visible_line()) * line_height(); }

void C_Paint_lines::set_line_height(double h) {
  if (is_none()) return;
  scroll_step = std::isnan(h) || h < MIN_LINE_HEIGHT ? MIN_LINE_HEIGHT : h;
  if (native != 0) brek_platform::native_paint_panels().set_line_step(native, px(scroll_step));
  set_content_size(line_width, double(lines) * scroll_step);
  update_scroll();
}

void C_Paint_lines::set_line_width(double w) {
  if (is_none()) return;
  line_width = w > 0 ? w : 0;
  update_scroll();
}

void C_Paint_lines::update_scroll() {
  if (is_none()) return;
  set_content_size(line_width, double(lines) * line_height());
  update_caret();
  invalidate_rect(rect{0, 0, get_width(), get_height()});
}

int64_t C_Paint_lines::first_visible_line() {
  const double h = line_height();
  if (h <= 0) return 0;
  return Mathematics::round_to_int64(visible_rect().y / h);
}

void C_Paint_lines::set_first_line(int64_t n) {
  if (is_none()) return;
  const int64_t page = page_lines();
  if (lines - (page + n) <= 0) n = lines - page;
  if (n == first_visible_line()) return;
  double y = double(n) * line_height();
  if (y < 0) y = 0;
  scroll_y = y;
  if (has_vbar && native != 0) brek_platform::native_paint_panels().set_scroll_pos(native, true, double(px(y)));
  invalidate_all();
}

void C_Paint_lines::scroll_pages(int64_t delta) {
  if (is_none()) return;
  const int64_t page = page_lines();
  double v = double(page) * double(-delta);
  if (Mathematics::approx_equal(v, 0)) v = 1.0;
  const int64_t first = first_visible_line();
  int64_t n = Brek_runtime::to_int64_checked(v) + first;
  n = std::min(n, lines - page + 1);
  n = std::max<int64_t>(n, 0);
  if (n == first) return;
  set_first_line(n);
  invalidate_all();
}

void C_Paint_lines::keep_current_visible() {
  const int64_t c = current_line();
  const int64_t first = first_visible_line();
  const int64_t page = page_lines();
  if (first > c)
    set_first_line(c);
  else if (first + page <= c)
    set_first_line(std::max<int64_t>(0, c - page + 1));
}

void C_Paint_lines::key_down(const St_key_info__C_Form& key) {
  if (is_none()) return;
  Brek_runtime::Recursion_guard guard;
  const int64_t n = lines;
  const int64_t code = key.key_code;
  if (n <= 0 || code < 33 || code > 40) return;
  const int64_t c = current_line();
  const int64_t page = page_lines();
  int64_t next = c;
  switch (code) {
    case 33: next = std::max<int64_t>(0, c - page); break;
    case 34: next = std::min(n - 1, c + page); break;
    case 35: next = n - 1; break;
    case 36: next = 0; break;
    case 38: next = c >= 0 ? c - 1 : 0; break;
    case 40: next = c >= 0 ? std::min(c + 1, n - 1) : 0; break;
    default: return;  // Left and Right
  }
  set_current_line(next);
  keep_current_visible();
  invalidate_all();
}

void C_Paint_lines::set_caret_x(double x) {
  if (is_none()) return;
  caret_x = x;
  update_caret();
}

void C_Paint_lines::set_caret_height(double h) {
  if (is_none()) return;
  caret_height = h;
  update_caret();
}

bool C_Paint_lines::has_focus() {
  Ref<C_Form> f = form.lock();
  if (f.is_none() || f->native == 0 || native == 0) return false;
  return C_Brek_form::active_control(f->native).get() == this;
}

void C_Paint_lines::update_caret() {
  if (is_none() || !has_focus()) return;
  if (current_line() >= 0 && caret_width > 0) {
    caret_shown = 1;
    const double h = caret_height > 0 ? caret_height : line_height();
    show_caret(px(caret_x - visible_rect().x), px(current_line_y()), px(h), px(caret_width));
  } else if (caret_shown) {
    hide_caret();
    caret_shown = 0;
  }
}

}  // namespace brek
