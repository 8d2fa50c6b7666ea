// A paint box on a real window (offscreen): the panel is laid out like any
// control, its surface shows the back buffer, its input reaches the box
// first, and its scroll bars follow the content.

#include <gtest/gtest.h>

#include "drawing/paint_lines.h"
#include "drawing/paintbox.h"
#include "forms/control_bridge.h"
#include "paint_test_support.h"
#include "platform/paint_panel.h"
#include "platform/test_events.h"
#include "platform/window.h"
#include "tests/support/on_window_layer.h"

using namespace paint_test;
namespace te = brek_platform::test_events;

namespace {

class Press_box : public C_Paintbox {
  BREK_CLASS(Press_box)
 public:
  std::vector<point> presses;
  void on_mouse_down(double x, double y, button_mouse b, uint8_t s) override {
    presses.push_back({x, y});
    C_Paintbox::on_mouse_down(x, y, b, s);
  }
};

class Window_box : public ::testing::Test, protected brek_test::On_window_layer<> {
 protected:
  void SetUp() override {
    form = make<Paint_form>();
    form->set_bounds({40, 40, 400, 300});
    form->new_column("C", layout_on_form::CENTER, St_sizes_col__C_Form{});
  }
  Ref<Paint_form> form;
};

}  // namespace

TEST_F(Window_box, TheSurfaceShowsTheBufferAndTheBoxGetsItsInput) {
  Ref<Press_box> box = make_on_prepared<Press_box>(form, "PB", [](Press_box& b) { b.has_vbar = 1; });
  ASSERT_NE(box->native, 0);
  box->set_size_request(150, 120);  // 200 x 160 pixels
  form->painter = [&](const Ref<C_Canvas>& c) {
    c->brush_color = Colors::make(250, 20, 10);
    c->clear();
  };
  form->show();
  ASSERT_TRUE(te::wait_exposed(form->native));
  te::settle();
  EXPECT_NE(std::count(form->log.begin(), form->log.end(), "paint"), 0);
  // The column gives the box its width; the height is the one asked for.
  const double width = box->get_width();
  EXPECT_GE(width, 150);
  EXPECT_DOUBLE_EQ(box->get_height(), 120);
  // The bar's room is taken from the surface, shown or not.
  EXPECT_LT(box->get_client_width(), width);
  EXPECT_DOUBLE_EQ(box->get_client_height(), 120);
  ASSERT_FALSE(box->back_buffer.is_none());
  EXPECT_EQ(box->back_buffer->height, 160);

  // What the screen shows at the box's middle.
  brek_platform::Decoded_image shot;
  ASSERT_TRUE(bp::grab_window(form->native, shot));
  rect b = box->get_bounds();
  point o = form->client_origin();
  rect frame = form->get_bounds();
  int x = int((b.x + 20 + o.x - frame.x) * 96 / 72), y = int((b.y + 20 + o.y - frame.y) * 96 / 72);
  ASSERT_LT(x, shot.width);
  ASSERT_LT(y, shot.height);
  uint32_t p = shot.pixels[size_t(y) * size_t(shot.width) + size_t(x)];
  EXPECT_EQ(p & 0xFFFFFF, 0xFA140Au);

  // A press on the surface reaches the box, in the box's points.
  te::mouse_press(box->native, {30, 45});
  te::mouse_release(box->native, {30, 45});
  ASSERT_EQ(box->presses.size(), 1u);
  EXPECT_DOUBLE_EQ(box->presses[0].x, 30);
  EXPECT_DOUBLE_EQ(box->presses[0].y, 45);

  // Content taller than the view shows the bar; moving it scrolls the box.
  box->set_content_size(100, 600);
  te::settle();
  box->set_scroll_pos({0, 300});
  EXPECT_DOUBLE_EQ(box->scroll_y, 300);
  EXPECT_DOUBLE_EQ(box->visible_rect().y, 300);
  // Content that fits hides it again, and the view goes back to the top.
  box->set_content_size(100, 60);
  EXPECT_DOUBLE_EQ(box->visible_rect().y, 0);
}

TEST_F(Window_box, CaretAndFocusOfAFocusableSurface) {
  Ref<C_Paintbox> box = make_on_prepared<C_Paintbox>(form, "PF", [](C_Paintbox& b) { b.focusable = 1; });
  box->set_size_request(90, 60);
  form->show();
  ASSERT_TRUE(te::wait_exposed(form->native));
  form->set_focus(Ref<C_Control>(box));
  te::settle();
  EXPECT_EQ(form->active_control().get(), box.get());
  box->show_caret(4, 5, 12, 1);
  bp::Pixel_box caret;
  ASSERT_TRUE(bp::native_paint_panels().caret(box->native, caret));
  EXPECT_EQ(caret.x, 4);
  EXPECT_EQ(caret.h, 12);
  box->hide_caret();
  EXPECT_FALSE(bp::native_paint_panels().caret(box->native, caret));
  dispose_now(box);
  te::settle();
}

TEST_F(Window_box, TheCaretOfAFocusedLineListSitsOnTheCurrentLine) {
  Ref<C_Paint_lines> list = make_on_prepared<C_Paint_lines>(form, "LL", [](C_Paint_lines& b) { b.focusable = 1; });
  list->set_size_request(150, 90);
  list->set_line_height(12);
  list->set_line_count(20);
  form->show();
  ASSERT_TRUE(te::wait_exposed(form->native));
  list->set_current_line(2);
  bp::Pixel_box caret;
  // Without the focus there is no caret.
  EXPECT_FALSE(bp::native_paint_panels().caret(list->native, caret));
  list->set_focus();
  te::settle();
  ASSERT_TRUE(list->has_focus());
  list->set_caret_x(6);
  ASSERT_TRUE(bp::native_paint_panels().caret(list->native, caret));
  EXPECT_EQ(caret.x, 8);
  EXPECT_EQ(caret.y, 32);
  EXPECT_EQ(caret.h, 16);
  EXPECT_EQ(caret.w, 1);  // a tenth of a point is still a pixel wide
  list->set_current_line(-1);
  EXPECT_FALSE(bp::native_paint_panels().caret(list->native, caret));
  EXPECT_EQ(list->caret_shown, 0);
}

TEST_F(Window_box, OneMarkedPanelPerFormAsThePaintedControlsRead) {
  Ref<C_Paintbox> a = C_Paintbox::new_paintbox(form, "A", "");
  Ref<C_Paintbox> b = C_Paintbox::new_paintbox(form, "B", "");
  auto other = make<Paint_form>();
  other->new_column("C", layout_on_form::CENTER, St_sizes_col__C_Form{});
  Ref<C_Paintbox> c = C_Paintbox::new_paintbox(other, "C", "");
  ASSERT_NE(a->native, 0);
  ASSERT_NE(c->native, 0);
  EXPECT_FALSE(a->is_marked());

  C_Brek_form::set_marked_panel(form->native, a->native);
  EXPECT_TRUE(a->is_marked());
  EXPECT_FALSE(b->is_marked());
  // Marking another panel unmarks the first; another form keeps its own.
  C_Brek_form::set_marked_panel(other->native, c->native);
  C_Brek_form::set_marked_panel(form->native, b->native);
  EXPECT_FALSE(a->is_marked());
  EXPECT_TRUE(b->is_marked());
  EXPECT_TRUE(c->is_marked());
  EXPECT_EQ(C_Brek_form::marked_panel(form->native), b->native);

  C_Brek_form::set_marked_panel(form->native, 0);
  EXPECT_FALSE(b->is_marked());
  EXPECT_TRUE(c->is_marked());
  // Handle 0 marks nothing and reads 0.
  C_Brek_form::set_marked_panel(0, a->native);
  EXPECT_EQ(C_Brek_form::marked_panel(0), 0);
  EXPECT_FALSE(a->is_marked());
  // A form that goes takes its mark with it.
  const int64_t gone = other->native;
  dispose_now(other);
  EXPECT_EQ(C_Brek_form::marked_panel(gone), 0);
}
