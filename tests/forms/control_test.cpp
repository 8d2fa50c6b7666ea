// The control base over a real native control: wanted sizes, fonts,
// colours, the spare control of handle 0, and list membership.

#include <gtest/gtest.h>

#include <cmath>

#include "controls_test_support.h"
#include "forms/button.h"
#include "forms/label.h"
#include "forms/memo.h"

using namespace forms_test;

namespace {

class Control_base : public Controls_on_form {};

}  // namespace

TEST_F(Control_base, WantedSizesBetweenMinusTwoAndZeroKeepTheNativeSize) {
  auto b = C_Button::new_on_form(form, "B", "Button");
  b->set_size_request(90, 30);
  EXPECT_EQ(b->get_width(), 90);
  EXPECT_EQ(b->get_height(), 30);
  b->set_width(0);
  EXPECT_EQ(b->want_width, 0);
  EXPECT_EQ(b->get_width(), 90);
  b->set_width(-1);
  EXPECT_EQ(b->want_width, -1);
  EXPECT_EQ(b->get_width(), 90);
  b->set_width(-2);
  EXPECT_EQ(b->want_width, -2);
  EXPECT_EQ(b->get_width(), 90);
  b->set_height(std::nan(""));
  EXPECT_TRUE(std::isnan(b->want_height));
  EXPECT_EQ(b->get_height(), 30);
  b->set_size_request(-0.5, 45);
  EXPECT_EQ(b->want_width, -2);
  EXPECT_EQ(b->want_height, 45);
  EXPECT_EQ(b->get_height(), 45);
}

TEST_F(Control_base, FontStyleSizeAndColours) {
  auto l = C_Label::new_on_form(form, "Text");
  l->set_font_style("SBX");
  EXPECT_EQ(l->get_font_style(), "BS");
  l->set_font_style("");
  EXPECT_EQ(l->get_font_style(), "");
  l->set_font_size(10.5);
  EXPECT_EQ(l->get_font_size(), 10);
  l->set_font_size(11.5);
  EXPECT_EQ(l->get_font_size(), 12);
  l->set_font_size(std::nan(""));
  EXPECT_EQ(l->get_font_size(), 12);
  l->set_font_name("DejaVu Sans");
  EXPECT_EQ(l->get_font_name(), "DejaVu Sans");
  l->set_color(0x7F102030);
  EXPECT_EQ(l->color, 0x7F102030);
  EXPECT_EQ(l->color_set, 1);
  l->set_font_color(-16777216);
  EXPECT_EQ(l->font_color, -16777216);
}

TEST_F(Control_base, HandleZeroIsASpareThatKeepsNoState) {
  auto loose = make<C_Label>();  // no form: no native control
  EXPECT_EQ(loose->native, 0);
  loose->set_font_style("B");
  loose->set_text("lost");
  loose->set_width(50);
  loose->set_hidden(true);
  loose->set_disabled(true);
  loose->start_timer(10, 10);
  EXPECT_EQ(loose->get_font_style(), "");
  EXPECT_EQ(loose->get_text(), "");
  EXPECT_EQ(loose->get_width(), 0);
  EXPECT_FALSE(loose->is_hidden());
  EXPECT_FALSE(loose->is_disabled());
  EXPECT_EQ(Control_bridge::column_pixels("X", form->column_handle("MAIN")), 0);
  EXPECT_EQ(Control_bridge::column_pixels("W", 0), 0);
  EXPECT_EQ(Control_bridge::get_line(0, 0), "");
  EXPECT_EQ(Control_bridge::item_index(0), -1);
  const rect r = loose->get_bounds();
  EXPECT_EQ(r.x + r.y + r.w + r.h, 0);
}

TEST_F(Control_base, InitTwiceKeepsOneEntryAtTheEnd) {
  auto a = C_Label::new_on_form(form, "A");
  auto b = C_Label::new_on_form(form, "B");
  a->init();
  ASSERT_EQ(form->controls.count(), 2);
  EXPECT_EQ(form->controls.get(1).get(), a.get());
  EXPECT_EQ(form->controls.get(0).get(), b.get());

  // A disposed control leaves the list and its native control goes.
  int64_t h = b->native;
  dispose_now(b);
  EXPECT_EQ(form->controls.count(), 1);
  EXPECT_TRUE(C_Brek_form::control_of(h).is_none());
  EXPECT_EQ(Control_bridge::get_text(h), "");
}

TEST_F(Control_base, BoundsAndDropPointCountTheColumn) {
  form->new_column("SIDE", layout_on_form::LEFT, sizes(100));
  auto b = C_Button::new_on_form(form, "B", "Go");
  form->relayout();
  int64_t col = form->column_handle("SIDE");
  const rect r = b->get_bounds();
  EXPECT_DOUBLE_EQ(r.x, C_Brek_form::pixels_to_points(Control_bridge::column_pixels("L", col)) + b->get_left());
  EXPECT_DOUBLE_EQ(r.w, b->get_width());
  EXPECT_TRUE(b->is_shown());
  form->input.drop_point = {r.x + 5, r.y + 7};
  point p = b->drop_point();
  EXPECT_NEAR(p.x, 5, 1e-9);
  EXPECT_NEAR(p.y, 7, 1e-9);
}

TEST_F(Control_base, AControlIsShownWhileItsOwnColumnIs) {
  form->new_column("A", layout_on_form::LEFT, sizes(100));
  auto a = C_Button::new_on_form(form, "BA", "A");
  form->new_column("B", layout_on_form::LEFT, sizes(100));
  auto b = C_Button::new_on_form(form, "BB", "B");
  form->relayout();
  C_Brek_form::set_column_visible(form->column_handle("A"), false);
  EXPECT_FALSE(C_Brek_form::control_column_visible(a->native));
  EXPECT_FALSE(a->is_shown());
  EXPECT_TRUE(C_Brek_form::control_column_visible(b->native));
  EXPECT_TRUE(b->is_shown());
  C_Brek_form::set_column_visible(form->column_handle("A"), true);
  EXPECT_TRUE(a->is_shown());
  b->set_hidden(true);
  EXPECT_FALSE(b->is_shown());
  EXPECT_TRUE(C_Brek_form::control_column_visible(b->native));
  // No native control: in no column.
  EXPECT_FALSE(C_Brek_form::control_column_visible(0));
}
