// Painted tables and trees on common forms: their hints, the row colours
// the paint hook gives, and the tree's keys.

#include <gtest/gtest.h>

#include "drawing/font.h"
#include "drawing/form_common.h"
#include "drawing/paint_table.h"
#include "drawing/paint_tree.h"
#include "paint_test_support.h"

using namespace paint_test;

namespace {

// Records the colours the common hook leaves for each row; with virtual
// rows it names the cells itself.
class Hooked_form : public C_Form_common {
  BREK_CLASS(Hooked_form)
 public:
  struct Seen {
    int64_t row;
    Color pen, brush;
    bool bold;
  };
  std::vector<Seen> seen;
  void control_notify() override {
    C_Form_common::control_notify();
    Ref<C_Paint_table> t = ref_cast<C_Paint_table>(current_control());
    if (t.is_none()) return;
    if (t->virtual_rows)
      for (int64_t i = 0; i < t->cell_texts.count(); ++i)
        t->cell_texts.set(i, "v" + std::to_string(t->drawing_item.row) + "." + std::to_string(i));
    if (t->canvas.is_none()) return;
    seen.push_back({t->drawing_item.row, t->canvas->pen_color, t->canvas->brush_color, t->canvas->font->bold});
  }
  // The last colours seen for a row.
  Seen last(int64_t row) const {
    for (auto it = seen.rbegin(); it != seen.rend(); ++it)
      if (it->row == row) return *it;
    return {row, 0, 0, false};
  }
};

Color opaque(system_color c) { return Colors::system(static_cast<int64_t>(c)) | Colors::from_bits(0xFF000000u); }

class Common_lists : public Paint_test {
 protected:
  void SetUp() override {
    Paint_test::SetUp();
    hooked = make<Hooked_form>();
    hooked->set_bounds({40, 40, 500, 400});
    hooked->new_column("C", layout_on_form::CENTER, St_sizes_col__C_Form{});
  }
  void TearDown() override {
    hooked.reset();
    Paint_test::TearDown();
    C_Screen::set_own_dialog(nullptr);
  }
  Ref<C_Paint_table> table(int64_t count = 10) {
    Ref<C_Paint_table> t = make_on<C_Paint_table>(hooked, "T");
    t->columns.append({"Name", 60, text_alignment::LEFT_ALIGN});
    t->columns.append({"Size", 45, text_alignment::RIGHT_ALIGN});
    for (int64_t i = 0; i < count; ++i) {
      St_table_row__C_Paint_table r;
      r.cells.append("r" + std::to_string(i));
      r.cells.append(std::to_string(i * 10));
      t->rows.append(r);
    }
    t->set_line_count(count);
    return t;
  }
  std::string hint_at(const Ref<C_Control>& c, double x, double y) {
    rect b = c->get_bounds();
    Event_routing::Pointer p;
    p.at = {b.x + x, b.y + y};
    Event_routing::mouse_move(hooked, Ref<C_Control>(), p);
    return hooked->hint_text;
  }
  Ref<Hooked_form> hooked;
};

}  // namespace

TEST_F(Common_lists, TableHintsAreCellsTitlesOrWhatTheHookGives) {
  bp::set_native_paint_panels(nullptr);  // real panels, placed by the layout
  Ref<C_Paint_table> t = table();
  t->set_size_request(200, 100);
  hooked->relayout();
  EXPECT_EQ(hint_at(t, 70, 6), "Size");     // the header
  EXPECT_EQ(hint_at(t, 10, 12 * 3 + 6), "r2");
  EXPECT_EQ(hint_at(t, 70, 12 * 3 + 6), "20");
  EXPECT_EQ(hint_at(t, 150, 12 * 3 + 6), "");  // right of the columns
  t->virtual_rows = true;
  hooked->set_current_control(Ref<C_Control>());
  EXPECT_EQ(hint_at(t, 70, 12 * 2 + 6), "v1.1");
  EXPECT_TRUE(hooked->current_control().is_none());
  EXPECT_EQ(t->drawing_item.row, 0);
}

TEST_F(Common_lists, TreeHintsAreTheNodesUnderThePointer) {
  bp::set_native_paint_panels(nullptr);
  Ref<C_Paint_tree> tree = C_Paint_tree::new_tree(hooked, "DIRS", "");
  tree->set_size_request(200, 100);
  int32_t home = tree->add_node("home", 0, -1);
  tree->add_node("user", home, -1);
  tree->add_node("usr", 0, -1);
  tree->expand_all();
  hooked->relayout();
  const double h = tree->line_height();
  EXPECT_EQ(hint_at(tree, 30, h * 0.5), "home");
  EXPECT_EQ(hint_at(tree, 30, h * 1.5), "user");
  EXPECT_EQ(hint_at(tree, 30, h * 2.5), "usr");
  EXPECT_EQ(hint_at(tree, 30, h * 5.5), "");
}

TEST_F(Common_lists, ThePaintHookColoursRowsByTheirState) {
  Ref<C_Paint_table> t = table();
  set_surface(t, 300, 120);
  t->multi_select = true;
  t->set_current_line(3);
  t->set_row_selected(false, 3);
  t->set_row_selected(true, 1);
  t->set_row_selected(true, 4);
  ASSERT_EQ(t->current_line(), 3);
  t->invalidate_all();
  panels.paint_now(t->native);

  const Color pale = Colors::average(Colors::from_bits(0xFFC0C0C0u), opaque(system_color::HIGHLIGHT));
  auto plain = hooked->last(0);
  EXPECT_EQ(plain.pen, opaque(system_color::WINDOW_TEXT));
  EXPECT_EQ(plain.brush, opaque(system_color::WINDOW));
  EXPECT_FALSE(plain.bold);
  auto selected = hooked->last(1);
  EXPECT_EQ(selected.pen, opaque(system_color::HIGHLIGHT_TEXT));
  EXPECT_EQ(selected.brush, pale);
  // The current row of a table without the focus, not selected: the pale
  // highlight as text, the highlight text as background, bold.
  ASSERT_FALSE(t->is_row_selected(3));
  auto current = hooked->last(3);
  EXPECT_EQ(current.pen, pale);
  EXPECT_EQ(current.brush, opaque(system_color::HIGHLIGHT_TEXT));
  EXPECT_TRUE(current.bold);
  auto header = hooked->last(-1);
  EXPECT_EQ(header.pen, COLOR_BLACK);
  EXPECT_EQ(header.brush, Colors::from_bits(0xFF808080u));
  EXPECT_EQ(t->grid_color, COLOR_BLACK);
  EXPECT_EQ(t->text_color, COLOR_WHITE);
}

TEST_F(Common_lists, TreeKeysAreTakenAndMoveOnTheirRelease) {
  Ref<C_Paint_tree> tree = C_Paint_tree::new_tree(hooked, "DIRS", "");
  set_surface(tree, 200, 100);
  int32_t a = tree->add_node("a", 0, -1);
  int32_t b = tree->add_node("b", 0, -1);
  tree->set_focused(a);
  EXPECT_TRUE(Event_routing::key_down(hooked, tree, 40, {}));  // taken
  EXPECT_EQ(tree->focused, a);
  ASSERT_FALSE(hooked->focus_timer.is_none());
  EXPECT_TRUE(hooked->focus_timer->is_enabled());
  Event_routing::key_up(hooked, tree, 40, {});
  EXPECT_EQ(tree->focused, b);
  // Other keys go on as usual.
  EXPECT_FALSE(Event_routing::key_down(hooked, tree, 65, {}));
}
