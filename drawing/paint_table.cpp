#include "drawing/paint_table.h"

#include <algorithm>
#include <cmath>

#include "forms/form.h"
#include "runtime/runtime_services.h"
#include "runtime/strings.h"

namespace brek {

namespace {
int64_t trunc_index(double v) { return Brek_runtime::to_int64_checked(v); }
}  // namespace

C_Paint_table::C_Paint_table() = default;

void C_Paint_table::init() {
  C_Paint_lines::init();
  if (is_none()) return;
  set_line_height(12.0);
}

std::string C_Paint_table::get_line(int64_t row, int64_t column) { return rows.get(row).cells.get(column); }

int64_t C_Paint_table::line_count() {
  if (!virtual_rows) return rows.count();
  const int64_t n = C_Paint_lines::line_count();
  return header_line && n > 0 ? n - 1 : n;
}

void C_Paint_table::set_line_count(int64_t n) {
  if (is_none()) return;
  C_Paint_lines::set_line_count(header_line ? n + 1 : n);
  update_extent();
}

int64_t C_Paint_table::shown_columns() const {
  return std::clamp<int64_t>(columns.count() - hidden_columns, 0, columns.count());
}

void C_Paint_table::update_extent() {
  if (is_none()) return;
  if (columns.count() > 0) {
    double width = 0;
    for (int64_t i = 0; i < shown_columns(); ++i) width += columns.get(i).width;
    const double h = line_height();
    const double height = (double(line_count()) + 0.9) * h + (header_line ? h : 0);
    C_Paintbox::set_content_size(width, height);
    set_line_width(width);
  }
  repaint();
}

void C_Paint_table::clear() {
  if (is_none()) return;
  rows.clear();
  clear_selection();
  invalidate_all();
}

void C_Paint_table::clear_selection() {
  if (is_none()) return;
  selected_rows.clear();
  set_current_line(-1);
}

int64_t C_Paint_table::current_line() {
  const int64_t c = C_Paint_lines::current_line();
  // Line 0 is the header and -1 no line: both mean no current row.
  return header_line ? std::max<int64_t>(-1, c - 1) : c;
}

void C_Paint_table::set_current_line(int64_t row) {
  if (is_none() || row == current_line()) return;
  invalidate_all();
  if (header_line) {
    C_Paint_lines::set_current_line(row + 1);
    if (!is_row_selected(row)) {
      selected_rows.clear();
      if (row >= 0) selected_rows.append(row);
    }
  } else {
    C_Paint_lines::set_current_line(row);
  }
}

void C_Paint_table::move_current_row(int64_t row) {
  if (is_none() || row == current_line()) return;
  invalidate_all();
  set_current_line(row);
}

double C_Paint_table::current_line_y() {
  return C_Paint_lines::current_line_y() + (header_line ? line_height() : 0);
}

int64_t C_Paint_table::page_lines() {
  const int64_t p = C_Paint_lines::page_lines();
  return header_line && line_height() > 0 ? p - 1 : p;
}

int64_t C_Paint_table::row_at_y(double y) {
  const int64_t k = trunc_index(Brek_runtime::real_div(y, line_height()));
  if (header_line && k == 0) return -1;
  return k + first_visible_line() - (header_line ? 1 : 0);
}

int64_t C_Paint_table::column_at_x(double x) {
  double sum = 0;
  for (int64_t i = 0; i < shown_columns(); ++i) {
    sum += columns.get(i).width;
    if (sum > x) return i;
  }
  return -1;
}

void C_Paint_table::set_row_selected(bool selected, int64_t row) {
  if (is_none() || is_row_selected(row) == selected) return;
  if (!selected) {
    Brek_runtime::dyn_int_remove_value(selected_rows, row);
  } else {
    if (!multi_select) selected_rows.clear();
    if (row >= 0) selected_rows.append(row);
  }
  const int64_t first = first_visible_line();
  if (row >= first && row <= first + page_lines()) invalidate_all();
}

void C_Paint_table::call_hook(int64_t stage) {
  Ref<C_Form> f = form.lock();
  if (f.is_none()) return;
  paint_stage = stage;
  Current_control_scope current(f, Ref<C_Control>(this));
  f->control_notify();
}

void C_Paint_table::raise_select() {
  Ref<C_Form> f = form.lock();
  if (f.is_none()) return;
  Current_control_scope current(f, Ref<C_Control>(this));
  f->request_relayout();
}

// ---- pointer ----

void C_Paint_table::on_mouse_down(double x, double y, button_mouse button, uint8_t shift) {
  if (is_none()) return;
  Brek_runtime::Recursion_guard guard;
  Ref<C_Paint_table> keep(this);
  if (button != button_mouse::LMB || !select_by_pointer) {
    C_Paintbox::on_mouse_down(x, y, button, shift);
    return;
  }
  row_press_point = point{x, y};
  last_y = y;
  last_x = x;
  const int64_t k = trunc_index(Brek_runtime::real_div(y, line_height()));
  pressed_row = k + first_visible_line() - (header_line ? 1 : 0);
  if (k == 0 && header_by_pointer && header_line) {
    header_pressed = true;
    resize_column = -1;
    C_Paintbox::on_mouse_down(x, y, button, shift);
    return;
  }
  if (pressed_row < 0 || pressed_row >= line_count()) {
    if (pressed_row >= line_count()) clear_selection();
    C_Paintbox::on_mouse_down(x, y, button, shift);
    return;
  }
  const bool ctrl = (shift & shift_state::CTRL) != 0;
  const bool shifted = (shift & shift_state::SHIFT) != 0;
  if (multi_select && ctrl && !shifted) {
    if (is_row_selected(pressed_row)) {
      Brek_runtime::dyn_int_remove_value(selected_rows, pressed_row);
      drag_deselects = true;
    } else {
      selected_rows.append(pressed_row);
      drag_selects = true;
    }
  } else if (multi_select && shifted && !ctrl) {
    if (selected_rows.count() == 0) {
      selected_rows.append(pressed_row);
    } else {
      const int64_t last = selected_rows.get(selected_rows.count() - 1);
      if (pressed_row > last) {
        for (int64_t r = last + 1; r <= pressed_row; ++r) set_row_selected(true, r);
      } else if (pressed_row < last) {
        for (int64_t r = last - 1; r >= pressed_row; --r) set_row_selected(true, r);
      } else {
        C_Paintbox::on_mouse_down(x, y, button, shift);
        return;
      }
    }
  } else {
    selected_rows.clear();
    selected_rows.append(pressed_row);
    drag_selects = true;
  }
  // Moving the current row may reset the selection: it is kept aside.
  DynAInt kept = selected_rows;
  move_current_row(pressed_row);
  selected_rows = kept;
  raise_select();
  invalidate_all();
}

void C_Paint_table::on_mouse_up(double x, double y, button_mouse button, uint8_t shift) {
  if (is_none()) return;
  resize_column = -1;
  header_pressed = false;
  drag_selects = false;
  drag_deselects = false;
  invalidate_all();
}

void C_Paint_table::on_double_click(double x, double y, button_mouse button, uint8_t shift) {
  if (is_none()) return;
  resize_column = -1;
  header_pressed = false;
  drag_selects = false;
  drag_deselects = false;
}

void C_Paint_table::on_mouse_move(double x, double y, button_mouse button, uint8_t shift) {
  if (is_none()) return;
  Brek_runtime::Recursion_guard guard;
  Ref<C_Paint_table> keep(this);
  const double h = line_height();
  const double dy = y - last_y;
  if (multi_select && std::fabs(dy) > h / 2) {
    // Every row the pointer passed gets its step, however fast it went.
    const int64_t n = trunc_index(std::fabs(dy) / (h / 2));
    const double step = dy / double(n);
    for (int64_t i = 0; i < n; ++i) {
      Brek_runtime::loop_tick();
      last_y += step;
      drag_step(x, last_y);
    }
    last_y = y;
    return;
  }
  if (pressed_row < 0) {
    const double dx = x - last_x;
    const int64_t n = trunc_index(std::fabs(dx) / 5.0);
    const double step = n > 0 ? dx / double(n) : 0;
    drag_step(last_x, last_y);
    for (int64_t i = 0; i < n; ++i) {
      Brek_runtime::loop_tick();
      last_x += step;
      drag_step(last_x, last_y);
    }
    last_x = x;
    return;
  }
  drag_step(x, y);
  last_y = y;
}

void C_Paint_table::drag_step(double qx, double qy) {
  const int64_t r = trunc_index(Brek_runtime::real_div(qy, line_height())) + first_visible_line() - (header_line ? 1 : 0);
  const double shift_x = -visible_rect().x;
  const int64_t shown = shown_columns();
  // The size cursor near a border of the header.
  bool near = false;
  if (header_by_pointer && header_line && r < 0) {
    double right = shift_x;
    for (int64_t i = 0; i < shown; ++i) {
      right += columns.get(i).width;
      if (std::fabs(right - qx) <= CURSOR_ZONE) {
        near = true;
        break;
      }
    }
  }
  if (near && !resize_cursor) {
    set_cursor(cursor_shapes::SIZE_WE);
    resize_cursor = true;
  } else if (!near && resize_cursor) {
    resize_cursor = false;
    set_cursor(cursor_shapes::ARROW);
  }
  if (r >= 0 && r < line_count()) {
    if (drag_deselects) {
      if (is_row_selected(r)) {
        Brek_runtime::dyn_int_remove_value(selected_rows, r);
        raise_select();
        invalidate_all();
      }
    } else if (drag_selects) {
      // Only a row that changes raises the selection handler.
      if (!is_row_selected(r)) {
        if (!multi_select) selected_rows.clear();
        selected_rows.append(r);
        raise_select();
        invalidate_all();
      }
    }
  }
  if (header_pressed) {
    double right = shift_x;
    for (int64_t i = 0; i < shown; ++i) {
      right += columns.get(i).width;
      if (std::fabs(right - qx) <= TAKE_ZONE) {
        resize_column = i;
        header_pressed = false;
      }
    }
  }
  if (resize_column >= 0 && resize_column < columns.count()) {
    double x0 = shift_x;
    for (int64_t i = 0; i < resize_column; ++i) x0 += columns.get(i).width;
    St_column__C_Paint_table c = columns.get(resize_column);
    c.width = std::max(0.0, qx - x0);
    columns.set(resize_column, c);
    update_extent();
    invalidate_all();
  }
}

// ---- keys ----

void C_Paint_table::key_down(const St_key_info__C_Form& key) {
  if (is_none() || line_count() <= 0) return;
  if (!header_line) {
    C_Paint_lines::key_down(key);
    return;
  }
  Brek_runtime::Recursion_guard guard;
  Ref<C_Paint_table> keep(this);
  const int64_t n = line_count();
  const int64_t page = page_lines();
  const int64_t c = current_line();
  int64_t next = c;
  switch (key.key_code) {
    case 33: next = std::max<int64_t>(0, c - page); break;
    case 34: next = std::min(c + page, n - 1); break;
    case 35: next = n - 1; break;  // the last row, whatever the page
    case 36: next = 0; break;
    case 38: next = c > 0 ? c - 1 : 0; break;
    case 40: next = c < n - 1 ? c + 1 : c; break;
    default: return;
  }
  const int64_t anchor = selected_rows.count() > 0 ? selected_rows.get(0) : -1;
  const bool shifted = anchor >= 0 && key.shift != 0;
  const bool ctrl = anchor >= 0 && key.ctrl != 0;
  // The move resets the selection to the current row; the keys' own rule
  // decides instead, from the selection as it was.
  DynAInt kept = selected_rows;
  set_current_line(next);
  selected_rows = kept;
  const int64_t cur = current_line();
  if (shifted) {
    selected_rows.clear();
    selected_rows.append(anchor);
    const int64_t way = cur >= anchor ? 1 : -1;
    for (int64_t r = anchor + way; cur >= 0 && (way > 0 ? r <= cur : r >= cur); r += way) selected_rows.append(r);
  } else if (ctrl) {
    if (is_row_selected(cur))
      Brek_runtime::dyn_int_remove_value(selected_rows, cur);
    else
      selected_rows.append(cur);
  } else {
    selected_rows.clear();
    if (cur >= 0) selected_rows.append(cur);
  }
  raise_select();
  // The current row is kept in view, wholly.
  const int64_t first = first_visible_line();
  if (first > cur)
    set_first_line(cur - 1);
  else if (first + page <= cur)
    set_first_line(std::max<int64_t>(0, cur - page + 1));
  invalidate_all();
}

}  // namespace brek
