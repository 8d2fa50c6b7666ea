// The separator: its size across and cursor, its registration with the
// form, its lines, the neighbour it resizes, and dragging it between two
// columns of a real (offscreen) window with the form laid out as it moves.

#include <gtest/gtest.h>

#include "drawing/separator.h"
#include "forms/control_bridge.h"
#include "paint_test_support.h"
#include "platform/paint_panel.h"
#include "platform/test_events.h"
#include "tests/support/on_window_layer.h"

using namespace paint_test;
namespace te = brek_platform::test_events;

namespace {

class Resize_form : public C_Form {
  BREK_CLASS(Resize_form)
 public:
  int resized = 0;
  void on_resized() override { ++resized; }
};

class Separator : public ::testing::Test, protected brek_test::On_window_layer<> {
 protected:
  void SetUp() override {
    form = make<Resize_form>();
    form->set_bounds({40, 40, 400, 300});
  }
  double top_of(const std::string& column) {
    return C_Brek_form::pixels_to_points(double(Control_bridge::column_pixels("T", form->column_handle(column))));
  }
  double left_of(const std::string& column) {
    return C_Brek_form::pixels_to_points(double(Control_bridge::column_pixels("L", form->column_handle(column))));
  }
  void show() {
    form->show();
    ASSERT_TRUE(te::wait_exposed(form->native));
  }

  Ref<Resize_form> form;
};

}  // namespace

TEST_F(Separator, SizeAcrossCursorAndRegistration) {
  // On no form: only the numbers.
  Ref<C_Separator> flat = C_Separator::new_separator(Ref<C_Form>(), "S1", direction_line::HORIZONTAL_LINE,
                                                     style_sepator_line::FLAT, 3);
  EXPECT_DOUBLE_EQ(flat->want_height, 7.0);
  EXPECT_EQ(flat->cursor_shape, cursor_shapes::SIZE_NS);
  EXPECT_DOUBLE_EQ(flat->content_height, 11.0);
  Ref<C_Separator> raised = C_Separator::new_separator(Ref<C_Form>(), "S2", direction_line::HORIZONTAL_LINE,
                                                       style_sepator_line::RAISED, 3);
  EXPECT_DOUBLE_EQ(raised->want_height, 8.0);
  Ref<C_Separator> upright = C_Separator::new_separator(Ref<C_Form>(), "S3", direction_line::VERTICAL_LINE,
                                                        style_sepator_line::LOWERED, 1);
  EXPECT_DOUBLE_EQ(upright->want_width, 4.0);
  EXPECT_EQ(upright->cursor_shape, cursor_shapes::SIZE_WE);
  EXPECT_DOUBLE_EQ(upright->content_width, 11.0);
  EXPECT_DOUBLE_EQ(upright->content_height, 19.0);

  // On a form: one of its controls, with a native part showing the cursor.
  form->new_column("C", layout_on_form::CENTER, St_sizes_col__C_Form{});
  Ref<C_Separator> s = C_Separator::new_separator(form, "SEP", direction_line::HORIZONTAL_LINE,
                                                  style_sepator_line::RAISED, 2);
  ASSERT_NE(s->native, 0);
  EXPECT_TRUE(form->controls.contains(Ref<C_Control>(s)));
  EXPECT_EQ(C_Brek_form::control_of(s->native).get(), s.get());
  EXPECT_EQ(bp::native_paint_panels().cursor(s->native), bp::Panel_cursor::SIZE_NS);
  EXPECT_DOUBLE_EQ(s->get_height(), 6.0);
}

TEST_F(Separator, ARaisedLineIsLightOverDarkAtItsMargin) {
  form->new_column("C", layout_on_form::CENTER, St_sizes_col__C_Form{});
  Ref<C_Separator> s = C_Separator::new_separator(form, "SEP", direction_line::HORIZONTAL_LINE,
                                                  style_sepator_line::RAISED, 3);
  s->grip_count = 0;
  s->grip_box = 0;
  s->set_size_request(120, 9);  // 160 x 12 pixels
  show();
  s->invalidate_all();
  s->paint_surface();
  ASSERT_FALSE(s->back_buffer.is_none());
  auto at = [&](int x, int y) { return s->back_buffer->pixels()->at(x, y) & 0xFFFFFFu; };
  auto rgb = [](system_color c) { return Colors::to_pixel(Colors::system(int64_t(c))) & 0xFFFFFFu; };
  // 3 points down is pixel 4; the dark line a point (one pixel) lower.
  EXPECT_EQ(at(80, 4), rgb(system_color::BUTTON_HIGHLIGHT));
  EXPECT_EQ(at(80, 5), rgb(system_color::BUTTON_SHADOW));
  EXPECT_EQ(at(80, 1), rgb(system_color::BUTTON));
  EXPECT_EQ(at(80, 9), rgb(system_color::BUTTON));

  // Grip marks: white then black, side by side in the middle.
  s->grip_count = 2;
  s->invalidate_all();
  s->paint_surface();
  const int mid = int(s->back_buffer->width) / 2;
  std::string marks;
  for (int x = mid - 6; x < mid + 6; ++x) marks += at(x, 0) == 0xFFFFFFu ? 'w' : at(x, 0) == 0u ? 'b' : '.';
  // Four pixels (3 points) apart, centred on the middle.
  EXPECT_EQ(marks, "....wb..wb..");
  EXPECT_EQ(at(mid - 2, 11), 0xFFFFFFu);  // across the whole thickness
  EXPECT_EQ(at(20, 0), rgb(system_color::BUTTON));
}

TEST_F(Separator, TheNeighbourItResizes) {
  form->new_column("TOP_PART", layout_on_form::TOP, St_sizes_col__C_Form{});
  form->new_column("SEP_ROW", layout_on_form::TOP, St_sizes_col__C_Form{});
  Ref<C_Separator> s = C_Separator::new_separator(form, "SEP", direction_line::HORIZONTAL_LINE,
                                                  style_sepator_line::FLAT, 0);
  form->new_column("REST", layout_on_form::CENTER, St_sizes_col__C_Form{});
  // The band above, not the centre column below.
  EXPECT_EQ(s->find_target(), "TOP_PART");
  // A named column wins; one that does not exist gives none.
  s->resize_column = "REST";
  EXPECT_EQ(s->find_target(), "REST");
  s->resize_column = "NOWHERE";
  EXPECT_EQ(s->find_target(), "");
  s->resize_column.clear();
  // A side column between columns of the other orientation: no neighbour.
  form->new_column("SIDE", layout_on_form::LEFT, St_sizes_col__C_Form{});
  Ref<C_Separator> v = C_Separator::new_separator(form, "VSEP", direction_line::VERTICAL_LINE,
                                                  style_sepator_line::FLAT, 0);
  form->new_column("FOOT", layout_on_form::TOP, St_sizes_col__C_Form{});
  EXPECT_EQ(v->find_target(), "");
  // Right sides count as sides.
  form->new_column("SIDE_RIGHT", layout_on_form::RIGHT, St_sizes_col__C_Form{});
  Ref<C_Separator> r = C_Separator::new_separator(form, "RSEP", direction_line::VERTICAL_LINE,
                                                  style_sepator_line::FLAT, 0);
  form->new_column("SIDE_MORE", layout_on_form::LEFT, St_sizes_col__C_Form{});
  EXPECT_EQ(r->find_target(), "SIDE_MORE");
  // In a bottom band the separator resizes the band after its own column
  // in the form's order, which lies below it.
  form->new_column("LOG_SEP", layout_on_form::BOTTOM, St_sizes_col__C_Form{});
  Ref<C_Separator> b = C_Separator::new_separator(form, "BSEP", direction_line::HORIZONTAL_LINE,
                                                  style_sepator_line::FLAT, 0);
  form->new_column("LOG", layout_on_form::BOTTOM, St_sizes_col__C_Form{});
  EXPECT_EQ(b->find_target(), "LOG");
}

TEST_F(Separator, DraggedBetweenTwoColumnsItResizesTheOneAboveLive) {
  form->new_column("TOP_PART", layout_on_form::TOP, St_sizes_col__C_Form{});
  form->new_column("SEP_ROW", layout_on_form::TOP, St_sizes_col__C_Form{});
  Ref<C_Separator> s = C_Separator::new_separator(form, "SEP", direction_line::HORIZONTAL_LINE,
                                                  style_sepator_line::RAISED, 2);
  s->set_stretch(true);
  form->new_column("REST", layout_on_form::CENTER, St_sizes_col__C_Form{});
  form->set_column_height("TOP_PART", 90);
  form->set_column_height("SEP_ROW", 6);
  show();
  ASSERT_DOUBLE_EQ(form->get_column_height("TOP_PART"), 90);
  ASSERT_DOUBLE_EQ(top_of("SEP_ROW"), 90);
  // Where the separator sits in its band: it moves with the band.
  const double inset = s->get_bounds().y - 90;
  const double thick = s->get_bounds().h;

  // Press, move 21 points down, release where the pointer now is.
  ASSERT_TRUE(te::mouse_press(s->native, {60, 3}));
  EXPECT_EQ(s->target_column, "TOP_PART");
  EXPECT_EQ(s->target_after, 1);
  EXPECT_DOUBLE_EQ(s->start_size, 90);
  te::mouse_move(s->native, {60, 24});
  // The column follows at once and the form laid itself out.
  EXPECT_DOUBLE_EQ(form->get_column_height("TOP_PART"), 111);
  EXPECT_DOUBLE_EQ(s->get_bounds().y, 111 + inset);
  EXPECT_DOUBLE_EQ(top_of("REST"), 117);
  EXPECT_EQ(form->resized, 0);
  te::mouse_release(s->native, {60, 3});
  EXPECT_EQ(s->target_column, "");
  EXPECT_EQ(form->resized, 1);
  EXPECT_DOUBLE_EQ(form->get_column_height("TOP_PART"), 111);

  // Up beyond the form's top edge: the column keeps a point (a whole
  // pixel).
  te::mouse_press(s->native, {60, 3});
  te::mouse_move(s->native, {60, -500});
  EXPECT_GT(form->get_column_height("TOP_PART"), 0);
  EXPECT_LE(form->get_column_height("TOP_PART"), 1);
  te::mouse_release(s->native, {60, 3});
  // Down beyond the bottom edge: the separator stops at the edge.
  te::mouse_press(s->native, {60, 3});
  te::mouse_move(s->native, {60, 2000});
  EXPECT_DOUBLE_EQ(s->get_bounds().y + thick, form->get_client_height());
  te::mouse_release(s->native, {60, 3});

  // The right button drags nothing; a separator that is not resizable
  // neither.
  const double h = form->get_column_height("TOP_PART");
  te::mouse_press(s->native, {60, 3}, 2);
  EXPECT_EQ(s->target_column, "");
  te::mouse_release(s->native, {60, 3}, 2);
  s->resizable = 0;
  te::mouse_press(s->native, {60, 3});
  te::mouse_move(s->native, {60, -40});
  te::mouse_release(s->native, {60, -40});
  EXPECT_DOUBLE_EQ(form->get_column_height("TOP_PART"), h);
}

TEST_F(Separator, AnUprightSeparatorRightOfASideColumnWidensIt) {
  form->new_column("TREE", layout_on_form::LEFT, St_sizes_col__C_Form{});
  form->new_column("BAR", layout_on_form::LEFT, St_sizes_col__C_Form{});
  Ref<C_Separator> s = C_Separator::new_separator(form, "VSEP", direction_line::VERTICAL_LINE,
                                                  style_sepator_line::FLAT, 1);
  s->set_stretch(true);
  form->new_column("MAIN", layout_on_form::CENTER, St_sizes_col__C_Form{});
  form->set_column_width("TREE", 99);  // whole pixels: 132
  form->set_column_width("BAR", 3);
  show();
  ASSERT_DOUBLE_EQ(left_of("BAR"), 99);
  te::mouse_press(s->native, {1, 40});
  te::mouse_move(s->native, {31, 40});
  te::mouse_release(s->native, {1, 40});
  EXPECT_DOUBLE_EQ(form->get_column_width("TREE"), 129);
  EXPECT_DOUBLE_EQ(left_of("BAR"), 129);
  EXPECT_DOUBLE_EQ(left_of("MAIN"), 132);
}
