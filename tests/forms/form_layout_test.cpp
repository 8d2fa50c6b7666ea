// Layout of forms built from real native controls (offscreen, 96 pixels
// per inch): positions are read back from the native controls in pixels.

#include <gtest/gtest.h>

#include "controls_test_support.h"
#include "forms/button.h"
#include "forms/edit.h"
#include "forms/label.h"
#include "forms/memo.h"

using namespace forms_test;
using CL = controls_layout;

namespace {

class Form_layout : public Controls_test {
 protected:
  // A form with a centre column and a bottom column 300 points wide holding
  // three buttons of 60 points.
  Ref<Log_form> button_row(std::vector<Ref<C_Button>>& buttons) {
    Ref<Log_form> f = new_form(300, 200);
    f->new_column("MAIN", layout_on_form::CENTER, sizes());
    f->new_column("BUTTONS", layout_on_form::BOTTOM, sizes());
    for (const char* name : {"OK", "APPLY", "CANCEL"}) {
      Ref<C_Button> b = C_Button::new_on_form(f, name, name);
      b->set_width(60);
      buttons.push_back(b);
    }
    return f;
  }
};

}  // namespace

TEST_F(Form_layout, ThreeButtonsInABottomColumnByEachRowLayout) {
  std::vector<Ref<C_Button>> b;
  Ref<Log_form> f = button_row(b);
  f->set_controls_layout("BUTTONS", CL::CONTROLS_CENTER);
  EXPECT_EQ(Control_bridge::column_client_width(f->column_handle("BUTTONS")), 300);
  EXPECT_EQ(px_left(b[0]), px(27));
  EXPECT_EQ(px_left(b[1]), px(114));
  EXPECT_EQ(px_left(b[2]), px(201));
  for (auto& button : b) {
    EXPECT_EQ(px_top(button), px(2));
    EXPECT_EQ(px_width(button), px(60));
  }
  f->set_controls_layout("BUTTONS", CL::CONTROLS_RIGHT);
  EXPECT_EQ(px_left(b[0]), px(108));
  EXPECT_EQ(px_left(b[1]), px(168));
  EXPECT_EQ(px_left(b[2]), px(228));
  f->set_controls_layout("BUTTONS", CL::CONTROLS_LEFT);
  EXPECT_EQ(px_left(b[0]), px(2));
  EXPECT_EQ(px_left(b[1]), px(62));
  EXPECT_EQ(px_left(b[2]), px(122));

  // The band sits at the bottom of the client area, 28 points high, under
  // the centre column.
  int64_t band = f->column_handle("BUTTONS");
  int64_t main = f->column_handle("MAIN");
  EXPECT_EQ(Control_bridge::column_pixels("H", band), px(28));
  EXPECT_EQ(Control_bridge::column_pixels("T", band), px(200) - px(28));
  EXPECT_EQ(Control_bridge::column_pixels("H", main), px(200) - px(28));
  EXPECT_EQ(Control_bridge::column_pixels("W", main), px(300));
}

TEST_F(Form_layout, SideColumnsShareAWidthOf301Pixels) {
  Ref<Log_form> f = new_form(C_Brek_form::pixels_to_points(301), 150);
  f->new_column("L", layout_on_form::LEFT, sizes());
  f->new_column("R", layout_on_form::RIGHT, sizes());
  // A column keeps its own size until the layout places it: 200 points.
  EXPECT_EQ(Control_bridge::column_pixels("W", f->column_handle("L")), 266);
  f->relayout();
  EXPECT_EQ(Control_bridge::column_pixels("L", f->column_handle("L")), 0);
  EXPECT_EQ(Control_bridge::column_pixels("W", f->column_handle("L")), 150);
  EXPECT_EQ(Control_bridge::column_pixels("L", f->column_handle("R")), 151);
  EXPECT_EQ(Control_bridge::column_pixels("W", f->column_handle("R")), 150);
  EXPECT_EQ(Control_bridge::column_pixels("H", f->column_handle("R")), px(150));
}

TEST_F(Form_layout, OnlyTheFirstCentreColumnIsShown) {
  Ref<Log_form> f = new_form(300, 200);
  f->new_column("A", layout_on_form::CENTER, sizes());
  f->new_column("B", layout_on_form::CENTER, sizes());
  f->relayout();
  EXPECT_TRUE(f->column_shown("A"));
  EXPECT_FALSE(f->column_shown("B"));
  EXPECT_EQ(Control_bridge::column_pixels("W", f->column_handle("A")), px(300));
}

TEST_F(Form_layout, StretchedMemoFillsItsColumnAndKeepsTenPoints) {
  Ref<Log_form> f = new_form(300, 200);
  f->new_column("MAIN", layout_on_form::CENTER, sizes());
  Ref<C_Memo> memo = C_Memo::new_on_form(f, "MEMO", 0);
  memo->set_stretch(true);
  Ref<C_Button> ok = C_Button::new_on_form(f, "OK", "OK");
  f->relayout();
  int64_t column_height = Control_bridge::column_pixels("H", f->column_handle("MAIN"));
  EXPECT_EQ(column_height, px(200));
  // The button at the bottom, the memo above it over the column's width.
  EXPECT_NEAR(px_top(ok) + px_height(ok), column_height, 1);
  EXPECT_EQ(px_top(memo), 0);
  EXPECT_NEAR(px_height(memo), px_top(ok), 1);
  EXPECT_EQ(px_width(memo), px(296));

  // A column too low for both: the memo keeps 10 points.
  resize(f, 300, 15);
  f->relayout();
  EXPECT_EQ(px_height(memo), px(10));

  // Without the stretch it keeps its own height.
  memo->set_stretch(false);
  resize(f, 300, 200);
  f->relayout();
  EXPECT_EQ(px_height(memo), px(10));
  EXPECT_EQ(px_top(ok), px_height(memo));
}

TEST_F(Form_layout, RelayoutWaitsForTheBatchAndForTheEvent) {
  Ref<Log_form> f = new_form(300, 200);
  f->new_column("MAIN", layout_on_form::CENTER, sizes());
  f->new_column("BAR", layout_on_form::BOTTOM, sizes());
  Ref<C_Label> l = C_Label::new_on_form(f, "Name");
  Ref<C_Button> b = C_Button::new_on_form(f, "B", "Go");
  f->relayout();
  const int64_t before = px_left(b);
  EXPECT_NEAR(before, px(2) + px_width(l), 1);

  f->begin_update();
  l->set_text("A much longer name");
  EXPECT_EQ(f->layout_pending, 1);
  EXPECT_EQ(px_left(b), before);
  f->end_update();
  EXPECT_EQ(f->layout_pending, 0);
  const int64_t after = px_left(b);
  EXPECT_GT(after, before);
  EXPECT_NEAR(after, px(2) + px_width(l), 1);

  // Inside an event handler (depth 2) the layout waits for the event's end.
  int64_t inside = -1;
  f->inside["click"] = [&] {
    l->set_text("Id");
    inside = px_left(b);
  };
  Event_routing::click(f, Ref<C_Control>(), {});
  EXPECT_EQ(inside, after);
  EXPECT_LT(px_left(b), after);
  EXPECT_EQ(f->layout_after_event, 0);
}

TEST_F(Form_layout, HiddenControlsTakeNoRoomAndResizingFollowsTheWindow) {
  Ref<Log_form> f = new_form(300, 200);
  f->new_column("MAIN", layout_on_form::CENTER, sizes());
  f->new_column("BAR", layout_on_form::BOTTOM, sizes());
  f->set_current_column("MAIN");
  Ref<C_Edit> a = C_Edit::create(f, "A", "");
  Ref<C_Edit> middle = C_Edit::create(f, "M", "");
  Ref<C_Edit> c = C_Edit::create(f, "C", "");
  f->relayout();
  EXPECT_EQ(px_top(c), px_top(middle) + px_height(middle));
  middle->set_hidden(true);
  EXPECT_EQ(px_top(c), px_top(a) + px_height(a));
  middle->set_hidden(false);
  EXPECT_EQ(px_top(c), px_top(middle) + px_height(middle));

  // A resize after the first show places the columns again.
  f->input.shown_once = 1;
  resize(f, 400, 300);
  Event_routing::resized(f);
  EXPECT_EQ(Control_bridge::column_pixels("T", f->column_handle("BAR")), px(300) - px(28));
  EXPECT_EQ(Control_bridge::column_pixels("W", f->column_handle("BAR")), px(400));
  EXPECT_NEAR(px_width(a), px(396), 1);
}
