#pragma once
// C_Paint_table: a table of rows and columns painted on a line list. An
// optional header line with the column titles stays at the top of the
// view (row r is then drawn on line r + 1); rows are selected by pointer
// and keys, in the order they were selected; a column border in the header
// is dragged to resize the column; trailing columns can be hidden. The
// owner form takes part in painting through its paint hook
// (control_notify), which with virtual_rows supplies every cell text.
//
// Callers fill `rows` and `columns` and then call set_line_count.

#include <cstdint>
#include <string>

#include "drawing/paint_lines.h"
#include "runtime/dyn_array.h"

namespace brek {

struct St_table_row__C_Paint_table {
  DynAStr cells;
  Ref<Brek_object> object;
};

struct St_column__C_Paint_table {
  std::string title;
  double width = 0;  // points
  text_alignment alignment = text_alignment::LEFT_ALIGN;
};

// What the paint hook is told about the line or cell being painted.
struct drawing_item_set_on_different_stages_of_paint {
  uint8_t pass = 0;       // first or second call of the line painter
  int32_t row = 0;        // -1: the header line
  int64_t column = 0;
  uint8_t pass_copy = 0;
  uint8_t texts_pass = 0; // 0 in the header's first call, else 1
  brek::rect rect;        // the cell, points of the view
  Color back_color = 0;
};

class C_Paint_table : public C_Paint_lines {
  BREK_CLASS(C_Paint_table)
 public:
  // A border this close to the pointer on the header shows the size
  // cursor; this close to a press on the header, it is taken.
  static constexpr double CURSOR_ZONE = 4.0;
  static constexpr double TAKE_ZONE = 3.0;

  C_Paint_table();

  // ---- fields ----
  DynArray<St_table_row__C_Paint_table> rows;
  bool virtual_rows = false;
  DynArray<St_column__C_Paint_table> columns;
  bool header_line = true;
  int64_t hidden_columns = 0;
  drawing_item_set_on_different_stages_of_paint drawing_item;
  int64_t paint_stage = 0;
  DynAStr cell_texts;
  Color text_color = COLOR_BLACK;
  double outline_width = 0;
  bool outline_flag = false;
  Color grid_color = COLOR_BLACK;
  bool grid_lines = true;
  bool header_relief = true;
  // Selected rows in selection order; the first is the keys' anchor.
  DynAInt selected_rows;
  bool multi_select = false;
  bool select_by_pointer = true;
  bool header_by_pointer = true;
  point row_press_point;
  int64_t pressed_row = 0;
  bool header_pressed = false;
  int64_t resize_column = -1;
  bool drag_selects = false;
  bool drag_deselects = false;
  bool resize_cursor = false;
  double last_y = 0, last_x = 0;

  // ---- overrides ----
  // The line height becomes 12 points.
  void init() override;
  // Cell `column` of row `line`; "" out of range.
  std::string get_line(int64_t row, int64_t column);
  std::string get_line(int64_t index) override { return get_line(index, 0); }
  int64_t line_count() override;
  void clear() override;
  void on_mouse_move(double x, double y, button_mouse button, uint8_t shift) override;
  void on_mouse_down(double x, double y, button_mouse button, uint8_t shift) override;
  void on_mouse_up(double x, double y, button_mouse button, uint8_t shift) override;
  void on_double_click(double x, double y, button_mouse button, uint8_t shift) override;
  // Paints the table (background, header, rows) after the box's own
  // preparation.
  void on_paint() override;
  void set_line_count(int64_t n) override;
  int64_t page_lines() override;
  int64_t line_at_y(double y) override { return row_at_y(y); }
  // Rows, not lines: the header line is not counted.
  int64_t current_line() override;
  void set_current_line(int64_t row) override;
  double current_line_y() override;
  void key_down(const St_key_info__C_Form& key) override;

  // ---- operations ----
  void update_extent();
  void clear_selection();
  void move_current_row(int64_t row);
  // -1 on the header line.
  int64_t row_at_y(double y);
  // x in content points from column 0's left edge; -1 beyond the shown
  // columns.
  int64_t column_at_x(double x);
  bool is_row_selected(int64_t row) const { return selected_rows.index_of(row) >= 0; }
  void set_row_selected(bool selected, int64_t row);
  // The columns that are shown.
  int64_t shown_columns() const;

 protected:
  // Runs the owner form's paint hook with this table current.
  void call_hook(int64_t stage);
  // The form's selection handler, as a click raises it.
  void raise_select();

 private:
  void drag_step(double x, double y);
  void paint_line(bool pass, double top, bool header, bool selected, Color text_colour);
  void paint_cell(bool pass, double x, double top, int64_t column, bool header, bool selected, Color text_colour);
  void paint_relief(double right, double top);
};

}  // namespace brek
