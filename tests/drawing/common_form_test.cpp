// Common forms and dialogs: colours and minimum sizes from the named
// variables, hiding instead of closing, the hint strip, focus highlights,
// line lists under the wheel and the keys, keys that click, and the own
// message dialog.

#include <gtest/gtest.h>

#include <cmath>

#include "baselib/global_var.h"
#include "drawing/dialog_common.h"
#include "drawing/form_common.h"
#include "drawing/message_dialog.h"
#include "drawing/paint_lines.h"
#include "forms/button.h"
#include "forms/checkbox.h"
#include "forms/label.h"
#include "paint_test_support.h"
#include "platform/control_input.h"
#include "tests/forms/forms_test_support.h"

using namespace paint_test;

namespace {

const char* const VARIABLES[] = {"Set_form_background", "Set_form_foreground", "Custom_form_background",
                                 "Custom_form_foreground", "Min_width_all_forms", "Min_height_all_forms",
                                 "Min_width_all_dialogs", "Min_height_all_dialogs", "Hint_colors",
                                 "Hint_background", "Hint_foreground", "Hint_non_latins"};

void clear_variables() {
  for (const char* v : VARIABLES) C_Global_var::set(v, 0);
}

Color system(system_color c) { return Colors::system(static_cast<int64_t>(c)); }

// A common form that notes its clicks.
class Common_form : public C_Form_common {
  BREK_CLASS(Common_form)
 public:
  std::vector<std::string> clicks;
  void on_click() override { clicks.push_back(event_control_name()); }
};

// The in-memory native layer, with the minimum sizes it was given.
class Min_native : public forms_test::Fake_native {
 public:
  std::vector<std::pair<double, double>> minimum;
  void set_min_size(bp::Native_handle, double w, double h) override { minimum.push_back({w, h}); }
};

class Common_headless : public ::testing::Test {
 protected:
  void SetUp() override {
    clear_variables();
    previous_ = bp::set_native_forms(&native);
    Event_routing::reset_state();
    screen = make<C_Screen>();
  }
  void TearDown() override {
    clear_variables();
    C_Screen::set_own_dialog(nullptr);
    Event_routing::reset_state();
    bp::set_native_forms(previous_);
  }
  Min_native native;
  Ref<C_Screen> screen;

 private:
  bp::Native_forms* previous_ = nullptr;
};

class Common_window : public Paint_test {
 protected:
  void SetUp() override {
    clear_variables();
    Paint_test::SetUp();
    common = make<Common_form>();
    common->set_bounds({40, 40, 500, 400});
    common->new_column("C", layout_on_form::CENTER, St_sizes_col__C_Form{});
  }
  void TearDown() override {
    common.reset();
    Paint_test::TearDown();
    C_Screen::set_own_dialog(nullptr);
    clear_variables();
  }
  void move_to(const point& at) {
    Event_routing::Pointer p;
    p.at = at;
    Event_routing::mouse_move(common, Ref<C_Control>(), p);
  }
  static point middle(const Ref<C_Control>& c) {
    rect b = c->get_bounds();
    return {b.x + b.w / 2, b.y + b.h / 2};
  }
  Ref<Common_form> common;
};

}  // namespace

TEST(Common_rules, NonLatinLettersHintFontAndWheel) {
  for (char32_t c : {U'a', U'Z', U'5', U'-', U' ', U'\u00B7'}) EXPECT_FALSE(Common_rules::is_non_latin_letter(c)) << uint32_t(c);
  for (char32_t c : {U'\u00E9', U'\u00C9', U'\u0436', U'\u0416'}) EXPECT_TRUE(Common_rules::is_non_latin_letter(c)) << uint32_t(c);

  EXPECT_EQ(Common_rules::hint_font_size(30), 14);
  EXPECT_EQ(Common_rules::hint_font_size(10), 6);
  EXPECT_EQ(Common_rules::hint_font_size(4), 1);  // never 0 or below
  EXPECT_EQ(Common_rules::hint_font_size(-20), 1);
  EXPECT_EQ(Common_rules::hint_font_size(std::nan("")), 14);

  // A notch away from the user (0.25): up by 0.75 of a page; toward the
  // user: down; never more than a page; a touch: one line that way.
  EXPECT_EQ(Common_rules::wheel_lines(0.25, 10), -7);
  EXPECT_EQ(Common_rules::wheel_lines(-0.25, 10), 7);
  EXPECT_EQ(Common_rules::wheel_lines(-40, 10), 10);
  EXPECT_EQ(Common_rules::wheel_lines(0.01, 10), -1);
  EXPECT_EQ(Common_rules::wheel_lines(-0.01, 10), 1);
  EXPECT_EQ(Common_rules::wheel_lines(0.25, 0), -1);
  EXPECT_EQ(Common_rules::wheel_lines(0, 10), 0);
}

TEST_F(Common_headless, WithNothingSetOnlyTheOwnDialogsAreSwitchedOn) {
  Ref<C_Form_common> f = make<C_Form_common>();
  EXPECT_EQ(f->colors_set, 0);
  EXPECT_TRUE(native.minimum.empty());
  EXPECT_EQ(screen->own_dialogs, 1);
  EXPECT_TRUE(C_Screen::has_own_dialog());
  // A dialog leaves the switch alone.
  screen->own_dialogs = 0;
  make<C_Dialog_common>();
  EXPECT_EQ(screen->own_dialogs, 0);
}

TEST_F(Common_headless, ColoursFromTheVariables) {
  const Color bg = Colors::make(0x11, 0x22, 0x33);
  const Color fg = Colors::make(0x44, 0x55, 0x66);
  C_Global_var::set("Custom_form_background", bg);
  C_Global_var::set("Custom_form_foreground", fg);

  C_Global_var::set("Set_form_background", 1);
  Ref<C_Form_common> f = make<C_Form_common>();
  EXPECT_EQ(f->colors[0], system(system_color::BUTTON_TEXT));
  EXPECT_EQ(f->colors[1], bg);

  C_Global_var::set("Set_form_foreground", 1);
  Ref<C_Dialog_common> d = make<C_Dialog_common>();
  EXPECT_EQ(d->colors[0], fg);
  EXPECT_EQ(d->colors[1], bg);

  C_Global_var::set("Set_form_background", 0);
  f = make<C_Form_common>();
  EXPECT_EQ(f->colors[0], fg);
  EXPECT_EQ(f->colors[1], system(system_color::BUTTON));
}

TEST_F(Common_headless, MinimumSizesAreTakenInPoints) {
  C_Global_var::set("Min_width_all_forms", 200);
  make<C_Form_common>();
  ASSERT_EQ(native.minimum.size(), 1u);
  EXPECT_EQ(native.minimum[0], (std::pair<double, double>{200, 0}));

  // Capped at 640 x 480 pixels' worth.
  C_Global_var::set("Min_height_all_forms", 5000);
  make<C_Form_common>();
  EXPECT_EQ(native.minimum[1], (std::pair<double, double>{200, 360}));

  // Dialogs take their own pair; the forms' pair only when both are 0.
  C_Global_var::set("Min_height_all_dialogs", 150);
  make<C_Dialog_common>();
  EXPECT_EQ(native.minimum[2], (std::pair<double, double>{0, 150}));
  C_Global_var::set("Min_height_all_dialogs", 0);
  make<C_Dialog_common>();
  EXPECT_EQ(native.minimum[3], (std::pair<double, double>{200, 360}));
  C_Global_var::set("Min_width_all_forms", -5);
  C_Global_var::set("Min_height_all_forms", 0);
  make<C_Dialog_common>();
  EXPECT_EQ(native.minimum.size(), 4u);
}

TEST_F(Common_headless, ASecondaryCommonFormHidesInsteadOfClosing) {
  Ref<C_Form_common> main = make<C_Form_common>();
  Ref<C_Form_common> other = make<C_Form_common>();
  screen->set_main_form(main);
  other->show();
  EXPECT_FALSE(Event_routing::close_query(other));
  EXPECT_FALSE(native.windows[other->native].visible);
  EXPECT_EQ(other->closed, 0);
  EXPECT_EQ(screen->forms.index_of(other) >= 0, true);
  EXPECT_TRUE(Event_routing::close_query(main));
}

TEST_F(Common_window, HintsFollowThePointerAndRepaintTheStrip) {
  Ref<C_Button> b = C_Button::new_on_form(common, "B1", "Open the file");
  Ref<C_Label> l = C_Label::new_on_form(common, "Name:");
  // Without a strip the hint is still kept.
  common->relayout();
  move_to(middle(b));
  EXPECT_EQ(common->hint_text, "Open the file");

  common->new_column("HINTS", layout_on_form::BOTTOM, St_sizes_col__C_Form{});
  Ref<C_Paintbox> strip = C_Paintbox::new_paintbox(common, "P_HINTS", "");
  common->relayout();
  strip->whole_pending = 0;
  move_to(middle(l));
  EXPECT_EQ(common->hint_text, "Name:");
  EXPECT_EQ(strip->whole_pending, 1);
  strip->whole_pending = 0;
  move_to(middle(l));  // the same hint repaints nothing
  EXPECT_EQ(strip->whole_pending, 0);
  move_to({-50, -50});
  EXPECT_EQ(common->hint_text, "");
  EXPECT_EQ(strip->whole_pending, 1);
}

TEST_F(Common_window, TheHintStripDrawsOtherLettersInTheirOwnColour) {
  C_Global_var::set("Hint_colors", 1);
  C_Global_var::set("Hint_background", Colors::make(255, 255, 255));
  C_Global_var::set("Hint_foreground", Colors::make(0, 0, 0));
  C_Global_var::set("Hint_non_latins", Colors::make(255, 0, 0));
  common->new_column("HINTS", layout_on_form::BOTTOM, St_sizes_col__C_Form{});
  Ref<C_Paintbox> strip = C_Paintbox::new_paintbox(common, "P_HINTS", "");
  set_surface(strip, 300, 24);
  auto count = [&](const std::string& hint, bool red) {
    common->hint_text = hint;
    strip->invalidate_all();
    panels.paint_now(strip->native);
    const Pixels* px = strip->back_buffer->pixels();
    int n = 0;
    for (int y = 0; y < px->height(); ++y)
      for (int x = 0; x < px->width(); ++x) {
        uint32_t p = px->at(x, y);
        bool is_red = Pixels::red(p) > 200 && (p & 0xFF) < 60 && ((p >> 8) & 0xFF) < 60;
        bool is_dark = Pixels::red(p) < 60 && (p & 0xFF) < 60 && ((p >> 8) & 0xFF) < 60;
        n += red ? is_red : is_dark;
      }
    return n;
  };
  EXPECT_EQ(count("plain text 123", true), 0);
  EXPECT_GT(count("plain text 123", false), 0);
  EXPECT_GT(count("\xD0\x96\xD0\xB8\xD0\xB2", true), 0);  // Cyrillic
  EXPECT_EQ(count("\xD0\x96\xD0\xB8\xD0\xB2", false), 0);
  EXPECT_GT(count("caf\xC3\xA9", true), 0);  // the accented letter only
  EXPECT_GT(count("caf\xC3\xA9", false), 0);
}

TEST_F(Common_window, FocusHighlightsTheButtonAndItsLabel) {
  Ref<C_Label> l = C_Label::new_on_form(common, "Action:");
  Ref<C_Button> b = C_Button::new_on_form(common, "B1", "Go");
  Event_routing::focus(common, b, true);
  EXPECT_EQ(b->font_color, Colors::blend(system(system_color::BUTTON_TEXT), Colors::from_bits(0xFF0000FF), 70));
  EXPECT_EQ(b->color, Colors::blend(system(system_color::BUTTON), Colors::from_bits(0xFFFF0000), 70));
  EXPECT_EQ(l->get_font_style(), "B");
  EXPECT_EQ(l->font_color, system(system_color::HIGHLIGHT));
  Event_routing::focus(common, b, false);
  EXPECT_EQ(b->font_color, system(system_color::BUTTON_TEXT));
  EXPECT_EQ(b->color, system(system_color::BUTTON));
  EXPECT_EQ(l->get_font_style(), "");
  EXPECT_EQ(l->font_color, system(system_color::BUTTON_TEXT));
}

TEST_F(Common_window, KeysClickWhatHasNoNativeClickOnlyOnce) {
  Ref<C_Checkbox> box = C_Checkbox::new_on_form(common, "CB", "Keep");
  Ref<C_Button> b = C_Button::new_on_form(common, "B1", "Go");
  common->show();
  // Enter on a check box clicks it while no default button is ready.
  Event_routing::key_down(common, box, 13, {});
  Event_routing::key_up(common, box, 13, {});
  EXPECT_TRUE(box->get_checked());
  common->set_default_button(b);
  Event_routing::key_down(common, box, 13, {});
  Event_routing::key_up(common, box, 13, {});
  EXPECT_TRUE(box->get_checked());

  // A push button clicks itself on Space and Enter: one click each.
  common->clicks.clear();
  bp::user_key(b->native, 32);
  EXPECT_EQ(common->clicks, (std::vector<std::string>{"B1"}));
  bp::user_key(b->native, 13);
  EXPECT_EQ(common->clicks, (std::vector<std::string>{"B1", "B1"}));
  // And a check box on Space.
  bp::user_key(box->native, 32);
  EXPECT_FALSE(box->get_checked());
}

TEST_F(Common_window, LineListsScrollByTheWheelAndMoveByKeys) {
  bp::set_native_paint_panels(nullptr);  // a real panel, placed by the layout
  Ref<C_Paint_lines> list = make_on<C_Paint_lines>(common, "L");
  list->set_size_request(150, 80);
  list->set_line_height(12);
  list->set_line_count(100);
  common->relayout();
  const int64_t page = list->page_lines();
  ASSERT_GT(page, 2);
  list->set_first_line(20);
  common->input.pointer = middle(list);
  common->wheel_amount = 0.25;
  EXPECT_TRUE(common->on_wheel());
  EXPECT_EQ(list->first_visible_line(), 20 - static_cast<int64_t>(0.75 * double(page)));
  list->set_first_line(20);
  common->wheel_amount = -3;  // one page at most
  common->on_wheel();
  EXPECT_EQ(list->first_visible_line(), 20 + page);
  common->input.pointer = {-40, -40};
  EXPECT_FALSE(common->on_wheel());

  list->set_current_line(30);
  Event_routing::key_down(common, list, 40, {});
  ASSERT_FALSE(common->focus_timer.is_none());
  EXPECT_TRUE(common->focus_timer->is_enabled());
  EXPECT_EQ(list->current_line(), 30);  // moved on the key's release
  Event_routing::key_up(common, list, 40, {});
  EXPECT_EQ(list->current_line(), 31);
  Event_routing::timer(common, common->focus_timer);
  EXPECT_FALSE(common->focus_timer->is_enabled());
  EXPECT_EQ(common->key_control.get(), list.get());
}

TEST_F(Common_window, OwnMessagesAndQuestionsRunOverTheForm) {
  common->show();
  ASSERT_EQ(screen->own_dialogs, 1);
  auto dialog = [&] { return ref_cast<C_Message_dialog>(screen->forms.get(screen->forms.count() - 1)); };
  rect placed;
  bp::test_events::post_task([&] {
    placed = dialog()->get_bounds();
    bp::user_click(dialog()->yes_button->native);
  });
  EXPECT_TRUE(common->ask("Replace it?"));
  rect o = common->get_bounds();
  EXPECT_NEAR(placed.x, o.x + (o.w - placed.w) / 2, 1.0);
  EXPECT_NEAR(placed.w, 300, 1.0);
  EXPECT_NEAR(placed.h, 140, 1.0);

  bp::test_events::post_task([&] { bp::user_key(dialog()->yes_button->native, 27); });
  EXPECT_FALSE(common->ask("Replace it?"));
  bp::test_events::post_task([&] { bp::test_events::close(dialog()->native); });
  EXPECT_FALSE(common->ask("Replace it?"));

  std::string shown;
  common->message_size = {400, 0};
  bp::test_events::post_task([&] {
    shown = dialog()->text_memo->get_text();
    placed = dialog()->get_bounds();
    bp::user_click(dialog()->ok_button->native);
  });
  common->message("Saved.");
  EXPECT_EQ(shown, "Saved.");
  EXPECT_NEAR(placed.w, 400, 1.0);
  EXPECT_TRUE(ref_cast<C_Message_dialog>(screen->forms.get(screen->forms.count() - 1)).is_none());
}

TEST_F(Common_window, ACommonDialogEndsWithItsDefaultOrCancelButton) {
  Ref<C_Dialog_common> d = make<C_Dialog_common>();
  d->new_column("B", layout_on_form::BOTTOM, St_sizes_col__C_Form{});
  Ref<C_Button> ok = C_Button::new_on_form(d, "OK", "OK");
  ok->set_default();
  Ref<C_Button> cancel = C_Button::new_on_form(d, "CANCEL", "Cancel");
  cancel->set_cancel();
  Ref<C_Button> other = C_Button::new_on_form(d, "MORE", "More");
  common->show();
  bp::test_events::post_task([&] {
    bp::user_click(other->native);  // no end
    bp::test_events::post_task([&] { bp::user_click(cancel->native); });
  });
  EXPECT_EQ(d->show_modal(common), "CANCEL");
  bp::test_events::post_task([&] { bp::user_click(ok->native); });
  EXPECT_EQ(d->show_modal(common), "OK");
}

TEST_F(Common_window, TheFocusedLineListIsFramed) {
  bp::set_native_paint_panels(nullptr);
  Ref<C_Paint_lines> list = make_on<C_Paint_lines>(common, "L");
  list->set_size_request(150, 90);
  list->set_line_count(3);
  common->show();
  ASSERT_TRUE(bp::test_events::wait_exposed(common->native));
  const Color highlight = system(system_color::HIGHLIGHT);
  auto framed = [&] {
    list->invalidate_all();
    bp::test_events::settle();
    const Pixels* px = list->back_buffer->pixels();
    if (!px || px->width() < 10) return false;
    uint32_t p = px->at(px->width() / 2, 2);  // inside the 3-point pen, a pixel in
    return Pixels::red(p) == Colors::red(highlight) && uint8_t(p >> 8) == Colors::green(highlight) &&
           uint8_t(p) == Colors::blue(highlight);
  };
  EXPECT_FALSE(framed());
  list->set_focus();
  bp::test_events::settle();
  ASSERT_EQ(common->active_control().get(), list.get());
  EXPECT_TRUE(framed());
}

TEST_F(Common_window, AutoAnswerShowsNoDialog) {
  common->show();
  ASSERT_EQ(screen->own_dialogs, 1);
  screen->auto_answer = 1;
  const int64_t forms = screen->forms.count();
  screen->auto_answer_value = 1;
  EXPECT_TRUE(common->ask("Replace it?"));
  screen->auto_answer_value = 0;
  EXPECT_FALSE(common->ask("Replace it?"));
  common->message("Saved.");
  EXPECT_EQ(screen->forms.count(), forms);
  EXPECT_FALSE(bp::test_events::modal_window_open());
}
