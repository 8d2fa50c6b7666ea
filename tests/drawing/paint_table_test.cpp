// The painted table: rows and columns under the pointer, selection orders
// by pointer and keys, dragging a column border, End on a short table,
// virtual rows filled by the form's hook, and the painted header and
// selection at computed places.

#include <gtest/gtest.h>

#include <algorithm>

#include "drawing/paint_table.h"
#include "paint_test_support.h"

using namespace paint_test;

namespace {

constexpr auto LMB = button_mouse::LMB;

class Table : public Paint_test {
 protected:
  // A view of 225 x 90 points (300 x 120 pixels): seven lines of 12, the
  // header and six rows. Columns of 60 and 45 points and a hidden third.
  Ref<C_Paint_table> table(int64_t count = 20) {
    Ref<C_Paint_table> t = make_on<C_Paint_table>(form, "T");
    set_surface(t, 300, 120);
    t->columns.append({"Name", 60, text_alignment::LEFT_ALIGN});
    t->columns.append({"Size", 45, text_alignment::RIGHT_ALIGN});
    t->columns.append({"Hidden", 30, text_alignment::LEFT_ALIGN});
    t->hidden_columns = 1;
    for (int64_t i = 0; i < count; ++i) {
      St_table_row__C_Paint_table r;
      r.cells.append("r" + std::to_string(i));
      r.cells.append(std::to_string(i * 10));
      t->rows.append(r);
    }
    t->set_line_count(count);
    return t;
  }
  // The middle of row r (header shown, not scrolled), points.
  static double row_y(int64_t r) { return 12.0 * double(r + 1) + 6; }
  static St_key_info__C_Form key(int64_t code, bool shift = false, bool ctrl = false) {
    St_key_info__C_Form k;
    k.key_code = code;
    k.shift = shift;
    k.ctrl = ctrl;
    return k;
  }
  static std::vector<int64_t> selection(const Ref<C_Paint_table>& t) {
    return std::vector<int64_t>(t->selected_rows.begin(), t->selected_rows.end());
  }
  int selects() { return int(std::count(form->log.begin(), form->log.end(), "select:T")); }
  using V = std::vector<int64_t>;
};

}  // namespace

TEST_F(Table, RowsColumnsAndLinesUnderAPlace) {
  Ref<C_Paint_table> t = table();
  EXPECT_DOUBLE_EQ(t->line_height(), 12);
  EXPECT_EQ(t->line_count(), 20);
  EXPECT_EQ(t->page_lines(), 6);
  EXPECT_DOUBLE_EQ(t->content_width, 105);  // the hidden column takes no room
  EXPECT_EQ(t->row_at_y(0), -1);
  EXPECT_EQ(t->row_at_y(11.9), -1);
  EXPECT_EQ(t->row_at_y(12), 0);
  EXPECT_EQ(t->row_at_y(40), 2);
  EXPECT_EQ(t->column_at_x(0), 0);
  EXPECT_EQ(t->column_at_x(60), 1);
  EXPECT_EQ(t->column_at_x(104.9), 1);
  EXPECT_EQ(t->column_at_x(105), -1);  // the hidden column is never hit
  EXPECT_EQ(t->get_line(3, 1), "30");
  EXPECT_EQ(t->get_line(99, 0), "");
  EXPECT_EQ(t->get_line(3, 7), "");
  t->set_current_line(4);
  EXPECT_EQ(t->current_line(), 4);
  EXPECT_DOUBLE_EQ(t->current_line_y(), 60);
  EXPECT_EQ(selection(t), V{4});
  // Without the header line the current row leaves the selection alone.
  t->header_line = false;
  t->set_line_count(20);
  EXPECT_EQ(t->row_at_y(0), 0);
  t->set_current_line(7);
  EXPECT_EQ(t->current_line(), 7);
  EXPECT_EQ(selection(t), V{4});
}

TEST_F(Table, SelectionOrdersOfPointerAndKeys) {
  Ref<C_Paint_table> t = table();
  t->multi_select = true;
  t->on_mouse_down(20, row_y(2), LMB, 0);
  t->on_mouse_up(20, row_y(2), LMB, 0);
  t->on_mouse_down(20, row_y(5), LMB, shift_state::CTRL);
  t->on_mouse_up(20, row_y(5), LMB, 0);
  EXPECT_EQ(selection(t), (V{2, 5}));
  t->on_mouse_down(20, row_y(2), LMB, shift_state::CTRL);  // toggled off
  t->on_mouse_up(20, row_y(2), LMB, 0);
  EXPECT_EQ(selection(t), V{5});
  // Shift: from the last selected row to the pressed one, in walking order.
  t->on_mouse_down(20, row_y(1), LMB, shift_state::SHIFT);
  t->on_mouse_up(20, row_y(1), LMB, 0);
  EXPECT_EQ(selection(t), (V{5, 4, 3, 2, 1}));
  EXPECT_EQ(t->current_line(), 1);
  EXPECT_GE(selects(), 4);
  // Keys walk from the anchor, the first selected row.
  t->key_down(key(40, true));
  EXPECT_EQ(t->current_line(), 2);
  EXPECT_EQ(selection(t), (V{5, 4, 3, 2}));
  t->key_down(key(40, false, true));  // Ctrl toggles the current row
  EXPECT_EQ(selection(t), (V{5, 4, 2}));
  EXPECT_EQ(t->current_line(), 3);
  t->key_down(key(40));
  EXPECT_EQ(selection(t), V{4});
  // A press beyond the last row clears the selection.
  Ref<C_Paint_table> few = table(2);
  few->on_mouse_down(20, row_y(0), LMB, 0);
  few->on_mouse_up(20, row_y(0), LMB, 0);
  few->on_mouse_down(20, row_y(4), LMB, 0);
  EXPECT_EQ(selection(few), V{});
  EXPECT_EQ(few->current_line(), -1);
}

TEST_F(Table, CtrlKeyTogglesTheCurrentRow) {
  Ref<C_Paint_table> t = table();
  t->multi_select = true;
  t->on_mouse_down(20, row_y(1), LMB, 0);
  t->on_mouse_up(20, row_y(1), LMB, 0);
  t->key_down(key(40, false, true));  // row 2 becomes current and is added
  EXPECT_EQ(selection(t), (V{1, 2}));
  t->key_down(key(38, false, true));  // back to row 1, which goes
  EXPECT_EQ(selection(t), V{2});
}

TEST_F(Table, AFastDragSelectsEveryRowPassedOnce) {
  Ref<C_Paint_table> t = table();
  t->multi_select = true;
  t->on_mouse_down(20, row_y(0), LMB, 0);
  const int before = selects();
  t->on_mouse_move(20, row_y(5), LMB, shift_state::LEFT);
  EXPECT_EQ(selection(t), (V{0, 1, 2, 3, 4, 5}));
  EXPECT_EQ(selects() - before, 5);
  // Back up over them: nothing changes, nothing is raised.
  t->on_mouse_move(20, row_y(0), LMB, shift_state::LEFT);
  EXPECT_EQ(selection(t).size(), 6u);
  EXPECT_EQ(selects() - before, 5);
  t->on_mouse_up(20, row_y(0), LMB, 0);
  // A drag that began by deselecting deselects.
  t->on_mouse_down(20, row_y(2), LMB, shift_state::CTRL);
  t->on_mouse_move(20, row_y(4), LMB, shift_state::LEFT);
  t->on_mouse_up(20, row_y(4), LMB, 0);
  EXPECT_EQ(selection(t), (V{0, 1, 5}));
}

TEST_F(Table, DraggingAHeaderBorderResizesItsColumn) {
  Ref<C_Paint_table> t = table();
  // The size cursor shows within 4 points of a border on the header.
  t->on_mouse_move(63.5, 6, button_mouse::NO_B, 0);
  EXPECT_EQ(t->cursor_shape, cursor_shapes::SIZE_WE);
  t->on_mouse_move(70, 6, button_mouse::NO_B, 0);
  EXPECT_EQ(t->cursor_shape, cursor_shapes::ARROW);
  t->on_mouse_move(104, 30, button_mouse::NO_B, 0);  // a border, but not on the header
  EXPECT_EQ(t->cursor_shape, cursor_shapes::ARROW);

  t->on_mouse_down(61, 6, LMB, 0);
  EXPECT_TRUE(t->header_pressed);
  t->on_mouse_move(80, 6, LMB, shift_state::LEFT);
  EXPECT_EQ(t->resize_column, 0);
  EXPECT_DOUBLE_EQ(t->columns.get(0).width, 80);
  EXPECT_DOUBLE_EQ(t->content_width, 125);
  // Left of the column's left edge: width 0, never negative.
  t->on_mouse_move(-20, 6, LMB, shift_state::LEFT);
  EXPECT_DOUBLE_EQ(t->columns.get(0).width, 0);
  t->on_mouse_up(-20, 6, LMB, 0);
  EXPECT_EQ(t->resize_column, -1);
  t->on_mouse_move(40, 6, button_mouse::NO_B, 0);
  EXPECT_DOUBLE_EQ(t->columns.get(0).width, 0);
  // A press on the header away from any border takes none.
  t->on_mouse_down(30, 6, LMB, 0);
  t->on_mouse_move(35, 6, LMB, shift_state::LEFT);
  EXPECT_EQ(t->resize_column, -1);
}

TEST_F(Table, KeysOnShortAndEmptyTables) {
  Ref<C_Paint_table> t = table(3);
  t->key_down(key(35));  // End: the last row, not the last line of a page
  EXPECT_EQ(t->current_line(), 2);
  t->key_down(key(40));
  EXPECT_EQ(t->current_line(), 2);
  t->key_down(key(36));
  EXPECT_EQ(t->current_line(), 0);
  t->key_down(key(38));
  EXPECT_EQ(t->current_line(), 0);
  t->key_down(key(37));
  EXPECT_EQ(t->current_line(), 0);
  Ref<C_Paint_table> empty = table(0);
  EXPECT_EQ(empty->line_count(), 0);
  for (int64_t code : {33, 34, 35, 36, 38, 40}) empty->key_down(key(code));
  EXPECT_EQ(empty->current_line(), -1);
  EXPECT_TRUE(empty->selected_rows.empty());
  // Paging keeps the current row wholly in view.
  Ref<C_Paint_table> long_one = table(40);
  long_one->key_down(key(40));
  long_one->key_down(key(34));
  EXPECT_EQ(long_one->current_line(), 6);
  EXPECT_EQ(long_one->first_visible_line(), 1);
  long_one->key_down(key(35));
  EXPECT_EQ(long_one->current_line(), 39);
  EXPECT_GE(39, long_one->first_visible_line());
  EXPECT_LT(39, long_one->first_visible_line() + long_one->page_lines());
  long_one->clear();
  EXPECT_EQ(long_one->line_count(), 0);
  EXPECT_TRUE(long_one->selected_rows.empty());
}

TEST_F(Table, VirtualRowsTakeTheirTextsFromTheFormsHook) {
  Ref<C_Paint_table> t = table(0);
  t->virtual_rows = true;
  t->set_line_count(50);
  EXPECT_EQ(t->line_count(), 50);
  std::vector<std::string> asked;
  form->notify = [&] {
    Ref<C_Paint_table> cur = ref_cast<C_Paint_table>(form->current_control());
    ASSERT_EQ(cur.get(), t.get());
    if (t->paint_stage >= 0 && t->drawing_item.row >= 0) {
      asked.push_back(std::to_string(t->drawing_item.row) + ":" + std::to_string(t->paint_stage));
      t->cell_texts.set(t->paint_stage, "v" + std::to_string(t->drawing_item.row));
    }
  };
  t->paint_surface();
  // Rows 0 to 6 are painted, two columns each, in both passes.
  EXPECT_NE(std::find(asked.begin(), asked.end(), "0:0"), asked.end());
  EXPECT_NE(std::find(asked.begin(), asked.end(), "6:1"), asked.end());
  EXPECT_EQ(std::find(asked.begin(), asked.end(), "7:0"), asked.end());
  EXPECT_EQ(asked.size(), 7u * 2 * 2);
  // The hook runs with the table current and leaves the form as it was.
  EXPECT_TRUE(form->current_control().is_none());
}

TEST_F(Table, HeaderAndSelectedRowArePaintedAtTheirPlaces) {
  Ref<C_Paint_table> t = table();
  t->set_current_line(1);
  t->paint_surface();
  const Pixels& px = *t->back_buffer->pixels();
  const auto opaque = [](system_color c) {
    return Colors::to_pixel(Colors::from_bits(uint32_t(Colors::system(int64_t(c))) | 0xFF000000u));
  };
  const uint32_t window = opaque(system_color::WINDOW);
  const uint32_t highlight = opaque(system_color::HIGHLIGHT);
  // The header's cell: the background in the middle, the fading edge at
  // its right (57 to 60 points, pixels 76 to 79), darker towards the grid.
  EXPECT_EQ(px.at(50, 8), window);
  const uint32_t edge = px.at(78, 8);
  EXPECT_NE(edge, window);
  EXPECT_LT(edge & 0xFF, window & 0xFF);
  // The grid line at the column's right border: 60 points, 80 pixels.
  EXPECT_EQ(px.at(80, 8) & 0xFFFFFF, 0u);
  // Row 1 is selected: its line (24 to 36 points, pixels 32 to 47) shows
  // the highlight away from its text.
  EXPECT_EQ(px.at(60, 40), highlight);
  EXPECT_EQ(px.at(100, 40), highlight);
  // Row 2 is not.
  EXPECT_EQ(px.at(60, 56), window);
  // Some text was drawn in the selected row's first cell.
  int text = 0;
  for (int x = 0; x < 40; ++x)
    for (int y = 33; y < 47; ++y)
      if (px.at(x, y) != highlight) ++text;
  EXPECT_GT(text, 0);
}

TEST_F(Table, TheHeadersEdgeFadesFromTheGridTowardsThePenColour) {
  Ref<C_Paint_table> t = table();
  // Own colours: the cell brush (0x40, 0x80, 0xC0) and a white pen.
  form->set_colors(0xFFFFFFFF, 0xFFC08040);
  t->grid_color = Colors::make(0x20, 0x10, 0x00);
  t->paint_surface();
  const Pixels& px = *t->back_buffer->pixels();
  const auto rgb = [](int r, int g, int b) { return Colors::to_pixel(Colors::make(r, g, b)); };
  // Steps of 3 points (4 pixels) leftwards from the column's right edge
  // (80 pixels), one pixel below the top. The first is halfway between the
  // brush and the grid; each next one halfway from the last to the pen
  // (white): 0x30 -> 0x18 + 0x7F = 0x97 -> 0x4B + 0x7F = 0xCA ...
  EXPECT_EQ(px.at(78, 8), rgb(0x30, 0x48, 0x60));
  EXPECT_EQ(px.at(74, 8), rgb(0x97, 0xA3, 0xAF));
  EXPECT_EQ(px.at(70, 8), rgb(0xCA, 0xD0, 0xD6));
  EXPECT_EQ(px.at(66, 8), rgb(0xE4, 0xE7, 0xEA));
  EXPECT_EQ(px.at(58, 8), rgb(0xF7, 0xF8, 0xF9));
  // Past the six steps, the cell's own brush.
  EXPECT_EQ(px.at(54, 2), rgb(0x40, 0x80, 0xC0));
}
