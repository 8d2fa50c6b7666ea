#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "forms_test_support.h"
#include "runtime/exceptions.h"
#include "runtime/runtime_services.h"

using namespace forms_test;

namespace {

class Form_bridge : public Forms_test {};

using B = C_Brek_form;

}  // namespace

TEST_F(Form_bridge, PointsToPixelsIsClampedNeverUndefined) {
  EXPECT_EQ(B::points_to_pixels(72.0), 96);
  EXPECT_EQ(B::points_to_pixels(0.75), 1);
  EXPECT_EQ(B::points_to_pixels(200.0), 266);
  EXPECT_EQ(B::points_to_pixels(-1.5), -1);  // toward zero
  EXPECT_EQ(B::points_to_pixels(-std::numeric_limits<double>::infinity()), 0);
  EXPECT_EQ(B::points_to_pixels(std::numeric_limits<double>::infinity()), 1000000);
  EXPECT_EQ(B::points_to_pixels(std::nan("")), 0);
  EXPECT_EQ(B::points_to_pixels(1e300), 2147483647);
  EXPECT_EQ(B::points_to_pixels(-1e300), -2147483648LL);
  EXPECT_DOUBLE_EQ(B::pixels_to_points(96), 72.0);
  native.ppi = 144;
  EXPECT_EQ(B::points_to_pixels(72.0), 144);
  native.ppi = 0;
  EXPECT_EQ(B::pixels_to_points(10), 0.0);
}

TEST_F(Form_bridge, HandleZeroReadsNothingAndWritesNothing) {
  native.calls.clear();
  EXPECT_EQ(B::get_caption(0), "");
  const rect r = B::get_bounds(0);
  EXPECT_EQ(r.x + r.y + r.w + r.h, 0);
  EXPECT_EQ(B::get_client_width(0), 0);
  EXPECT_FALSE(B::is_form_visible(0));
  EXPECT_FALSE(B::form_hidden_mark(0));
  EXPECT_EQ(B::screen_origin("X", 0), 0);
  EXPECT_EQ(B::client_extent("W", 0), 0);
  EXPECT_EQ(B::wheel_amount(0), 0);
  EXPECT_EQ(B::form_mouse_buttons(0), 0);
  EXPECT_EQ(B::window_handle(0), 0);
  EXPECT_TRUE(B::active_control(0).is_none());
  EXPECT_TRUE(B::form_of(0).is_none());
  EXPECT_TRUE(B::control_of(0).is_none());
  EXPECT_EQ(B::get_font_style(0), "");
  B::set_caption(0, "x");
  B::set_size(0, 1, 1);
  B::set_font_style(0, "B");
  B::set_transparency(0, 0.5);
  B::destroy_control(0);
  B::close_form(0);
  B::popup_menu(0, "A:a");
  EXPECT_EQ(B::column_extent(0), 0);
  EXPECT_EQ(B::control_column(0), 0);
  EXPECT_TRUE(B::column_control(0, 0).is_none());
  EXPECT_EQ(B::current_column(0), 0);
  EXPECT_TRUE(native.calls.empty());
  EXPECT_TRUE(native.font_styles.empty());
}

TEST_F(Form_bridge, TransparencyToAlpha) {
  EXPECT_EQ(B::transparency_alpha(0), 255);
  EXPECT_EQ(B::transparency_alpha(0.5), 127);
  EXPECT_EQ(B::transparency_alpha(0.999), 255);  // below 1: opaque again
  EXPECT_EQ(B::transparency_alpha(1.0), 255);
  EXPECT_EQ(B::transparency_alpha(-3), 255);
  EXPECT_EQ(B::transparency_alpha(std::nan("")), 255);
  EXPECT_EQ(B::transparency_alpha(1e300), 255);
}

TEST_F(Form_bridge, NativeReportsReachTheFormOfTheirHandle) {
  auto f = new_form();
  auto c = new_control(f, "PB", 900);
  auto& events = brek_platform::form_events();
  events.click(f->native, 900, {1, 2});
  brek_platform::Pointer_input in;
  in.form = f->native;
  in.control = 900;
  in.at_control = {4, 5};
  in.button = 1;
  events.mouse_down(in);
  events.menu_chosen(f->native, "EXIT");
  events.click(12345, 0, {});  // an unknown window: nothing
  EXPECT_EQ(f->log, (std::vector<std::string>{"click:PB", "down:PB", "menu EXIT"}));
  EXPECT_EQ(c->log, (std::vector<std::string>{"down 4,5"}));

  // Nothing is thrown back into the native layer.
  Brek_runtime::clear_exception_texts();
  f->inside["click"] = [] { throw Stop_exception("Long operation is cancelled"); };
  EXPECT_NO_THROW(events.click(f->native, 0, {}));
  ASSERT_EQ(Brek_runtime::last_exception_texts().size(), 1u);
  EXPECT_NE(Brek_runtime::last_exception_texts()[0].find("Long operation is cancelled"), std::string::npos);
  EXPECT_EQ(f->event_depth, 0);
}

TEST_F(Form_bridge, CenterFormOverItsOwner) {
  auto owner = new_form();
  auto dialog = new_form();
  native.windows[owner->native].bounds = {72, 36, 300, 200};     // 400 x 266 pixels
  native.windows[dialog->native].bounds = {0, 0, 150.75, 100};  // 201 x 133 pixels
  B::center_form(dialog->native, owner->native);
  const rect r = dialog->get_bounds();
  EXPECT_DOUBLE_EQ(r.x, 72 + 99 * 0.75);  // (400 - 201) / 2 = 99, toward zero
  EXPECT_DOUBLE_EQ(r.y, 36 + 66 * 0.75);
  EXPECT_TRUE(dialog->log.empty());
}

TEST_F(Form_bridge, SetPositionRaisesMoved) {
  auto f = new_form();
  f->set_left(30);
  EXPECT_EQ(f->get_left(), 30);
  EXPECT_EQ(f->log, (std::vector<std::string>{"moved"}));
}

TEST_F(Form_bridge, OwnerEventsRunWhileItsDialogIsModal) {
  auto owner = new_form();
  auto dialog = new_form();
  owner->menu_key = "PRINT";
  int64_t depth_inside = -1;
  std::string key_inside = "?";
  struct Modal : Fake_native {
    std::function<void()> loop;
    void run_modal(Native_handle, Native_handle) override { loop(); }
  } modal;
  modal.windows = native.windows;
  brek_platform::set_native_forms(&modal);
  modal.loop = [&] {
    depth_inside = owner->event_depth;
    key_inside = owner->menu_key;
    Event_routing::click(owner, Ref<C_Control>(), {});
  };
  owner->inside["click"] = [&] {
    owner->inside.erase("click");
    B::run_modal(dialog, owner);
  };
  Event_routing::click(owner, Ref<C_Control>(), {});
  brek_platform::set_native_forms(&native);
  EXPECT_EQ(depth_inside, 0);
  EXPECT_EQ(key_inside, "");
  EXPECT_EQ(owner->log, (std::vector<std::string>{"click", "click"}));
  EXPECT_EQ(owner->menu_key, "PRINT");
  EXPECT_EQ(owner->event_depth, 0);
}
