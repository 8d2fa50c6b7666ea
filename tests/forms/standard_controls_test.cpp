// The standard controls over real native controls (offscreen): creation
// options, values, and the events the user's input raises.

#include <gtest/gtest.h>

#include <cmath>

#include "controls_test_support.h"
#include "forms/button.h"
#include "forms/checkbox.h"
#include "forms/combo.h"
#include "forms/date_picker.h"
#include "forms/edit.h"
#include "forms/label.h"
#include "forms/listbox.h"
#include "forms/memo.h"
#include "forms/progress.h"

using namespace forms_test;
using namespace brek_platform;

namespace {

class Standard_controls : public Controls_on_form {};

int count_of(const std::vector<std::string>& log, const std::string& entry) {
  return static_cast<int>(std::count(log.begin(), log.end(), entry));
}

}  // namespace

TEST_F(Standard_controls, EditValueChangesAndTheNumericFilter) {
  Ref<C_Edit> plain = C_Edit::create(form, "E1", "");
  EXPECT_EQ(plain->options, "Suggestions");
  EXPECT_EQ(plain->read_only, 0);
  EXPECT_EQ(plain->can_stretch, 1);
  // "Suggestions" holds an "n", which does not make the edit numeric.
  EXPECT_FALSE(plain->numeric_only());
  user_type(plain->native, "ab7");
  EXPECT_EQ(plain->get_value_text(), "ab7");
  EXPECT_EQ(count_of(form->log, "change:E1"), 3);
  EXPECT_EQ(count_of(form->log, "key_press a:E1"), 1);
  EXPECT_EQ(count_of(form->log, "key_down A:E1"), 1);

  Ref<C_Edit> number = C_Edit::create(form, "NUM", "N");
  EXPECT_TRUE(number->numeric_only());
  user_type(number->native, "a7-x,5");
  EXPECT_EQ(number->get_value_text(), "7-,5");
  user_key(number->native, 8);  // Backspace passes
  EXPECT_EQ(number->get_value_text(), "7-,");
  EXPECT_FALSE(C_Edit::create(form, "LOWER", "n")->numeric_only());

  // Setting the text from the program raises one change, and none when
  // the text stays the same.
  form->log.clear();
  plain->set_value_text("xyz");
  plain->set_value_text("xyz");
  EXPECT_EQ(count_of(form->log, "change:E1"), 1);

  Ref<C_Edit> fixed = C_Edit::create(form, "RO", "R");
  EXPECT_EQ(fixed->read_only, 1);
  user_type(fixed->native, "q");
  EXPECT_EQ(fixed->get_value_text(), "");
}

TEST_F(Standard_controls, ListBoxSelectionAndItems) {
  auto list = make_on<C_Listbox>(form, "LIST");
  EXPECT_EQ(list->can_stretch, 1);
  list->set_text("alpha\r\nbeta\r\ngamma");
  EXPECT_EQ(list->line_count(), 3);
  EXPECT_EQ(list->get_line(1), "beta");
  EXPECT_EQ(list->get_line(-1), "");
  EXPECT_EQ(list->get_line(3), "");
  form->log.clear();
  user_pick_item(list->native, 2);
  EXPECT_EQ(list->item_index(), 2);
  EXPECT_EQ(count_of(form->log, "select:LIST"), 1);
  EXPECT_EQ(form->select_count, 1);

  // Items changed by the program select nothing.
  EXPECT_EQ(list->add_item("delta"), 3);
  list->set_line(0, "first");
  list->set_line(-1, "never");
  list->set_line(9, "never");
  EXPECT_EQ(list->get_line(0), "first");
  EXPECT_EQ(list->line_count(), 4);
  EXPECT_EQ(count_of(form->log, "select:LIST"), 1);
  list->set_text("a\r\nb\r\n");
  EXPECT_EQ(list->line_count(), 3);
  EXPECT_EQ(list->get_line(2), "");
  list->clear();
  EXPECT_EQ(list->line_count(), 0);
}

TEST_F(Standard_controls, CheckBoxesOfAGroupActAsRadioButtons) {
  std::vector<Ref<C_Checkbox>> five;
  for (const char* name : {"A", "B", "C"}) {
    auto box = C_Checkbox::new_on_form(form, name, name);
    box->group = 5;
    five.push_back(box);
  }
  auto loose = C_Checkbox::new_on_form(form, "LOOSE", "Loose");
  auto other_form = new_form(100, 100);
  other_form->new_column("X", layout_on_form::CENTER, sizes());
  auto elsewhere = C_Checkbox::new_on_form(other_form, "ELSEWHERE", "Elsewhere");
  elsewhere->group = 5;
  elsewhere->set_checked(true);
  loose->set_checked(true);
  five[0]->set_checked(true);
  five[2]->set_checked(true);

  user_click(five[1]->native);
  EXPECT_TRUE(five[1]->get_checked());
  EXPECT_FALSE(five[0]->get_checked());
  EXPECT_FALSE(five[2]->get_checked());
  EXPECT_TRUE(loose->get_checked());
  EXPECT_TRUE(elsewhere->get_checked());
  EXPECT_EQ(count_of(form->log, "change:B"), 1);

  // Group 0 never unchecks others; unchecking a box touches nobody.
  user_click(loose->native);
  EXPECT_FALSE(loose->get_checked());
  user_click(loose->native);
  EXPECT_TRUE(five[1]->get_checked());
  user_click(five[1]->native);
  EXPECT_FALSE(five[1]->get_checked());
  EXPECT_FALSE(five[0]->get_checked());
}

TEST_F(Standard_controls, SpaceClicksAButtonOnceAndNeverHoldsItDown) {
  auto b = C_Button::new_on_form(form, "GO", "Go");
  user_key(b->native, 32, true);
  EXPECT_FALSE(user_button_is_down(b->native));
  EXPECT_EQ(count_of(form->log, "click:GO"), 0);
  user_key_release(b->native, 32);
  EXPECT_EQ(count_of(form->log, "click:GO"), 1);
  EXPECT_FALSE(user_button_is_down(b->native));
  // A release without its press clicks nothing.
  user_key_release(b->native, 32);
  EXPECT_EQ(count_of(form->log, "click:GO"), 1);
  user_click(b->native);
  EXPECT_EQ(count_of(form->log, "click:GO"), 2);

  // Space on a check box toggles it once.
  auto box = C_Checkbox::new_on_form(form, "BOX", "Box");
  user_key(box->native, 32);
  EXPECT_TRUE(box->get_checked());
  EXPECT_EQ(count_of(form->log, "change:BOX"), 1);
}

TEST_F(Standard_controls, PerformClickAndFireClick) {
  auto b = C_Button::new_on_form(form, "GO", "Go");
  b->perform_click();
  EXPECT_EQ(count_of(form->log, "click:GO"), 1);
  EXPECT_TRUE(form->current_control().is_none());
  b->set_disabled(true);
  EXPECT_TRUE(b->is_disabled());
  b->perform_click();
  EXPECT_EQ(count_of(form->log, "click:GO"), 1);

  struct Clicks : Log_form {
    BREK_CLASS(Clicks)
   public:
    void on_control_click() override { note("control_click"); }
  };
  auto f = make<Clicks>();
  f->new_column("C", layout_on_form::CENTER, sizes());
  auto c = C_Button::new_on_form(f, "FIRE", "Fire");
  c->fire_click();
  EXPECT_EQ(f->log.back(), "control_click:FIRE");
  EXPECT_TRUE(f->current_control().is_none());
  // A control without a form still calls the None form's handler safely.
  auto orphan = make<C_Button>();
  orphan->fire_click();
  orphan->perform_click();
}

TEST_F(Standard_controls, MemoComboDateAndProgress) {
  EXPECT_EQ(C_Memo::style_letters(0), "HV");
  EXPECT_EQ(C_Memo::style_letters(1), "RHV");
  EXPECT_EQ(C_Memo::style_letters(6), "");
  EXPECT_EQ(C_Memo::style_letters(8 + 16 + 32), "HVscE");
  auto memo = C_Memo::new_on_form(form, "MEMO", 0);
  EXPECT_EQ(memo->line_count(), 0);
  memo->add_line("one");
  memo->add_line("two");
  memo->set_line(0, "first");
  memo->set_line(7, "never");
  EXPECT_EQ(memo->get_value_text(), "first\ntwo");
  EXPECT_EQ(memo->line_count(), 2);
  EXPECT_EQ(memo->get_line(1), "two");
  EXPECT_EQ(memo->get_line(2), "");
  user_type(memo->native, "x");
  EXPECT_GE(count_of(form->log, "change:MEMO"), 1);
  memo->clear();
  EXPECT_EQ(memo->line_count(), 0);

  auto combo = C_Combo::create(form, "COMBO", "red\r\ngreen\r\nblue");
  EXPECT_EQ(combo->line_count(), 3);
  EXPECT_EQ(combo->item_index(), -1);
  EXPECT_EQ(combo->get_line(-1), "");
  EXPECT_EQ(combo->get_line(3), "");
  EXPECT_EQ(combo->index_of("blue"), 2);
  EXPECT_EQ(combo->index_of("pink"), -1);
  combo->set_item_index(1);
  EXPECT_EQ(combo->get_text(), "green");
  combo->set_item_index(3);
  EXPECT_EQ(combo->item_index(), 1);
  EXPECT_EQ(combo->add_item("pink"), 3);
  combo->set_line(3, "rose");
  combo->set_line(4, "never");
  EXPECT_EQ(combo->get_line(3), "rose");
  combo->clear();
  EXPECT_EQ(combo->line_count(), 0);

  auto date = make_on<C_Date>(form, "DATE");
  std::string today = date->get_text();
  EXPECT_FALSE(today.empty());
  date->set_text("1999-01-01");
  EXPECT_EQ(date->get_text(), today);
  EXPECT_EQ(date->get_width(), C_Brek_form::pixels_to_points(120));
  user_pick_date(date->native, 40);
  EXPECT_NE(date->get_text(), today);
  EXPECT_EQ(count_of(form->log, "change:DATE"), 1);

  auto bar = C_Progress::new_on_form(form, "BAR");
  EXPECT_EQ(bar->can_stretch, 0);
  EXPECT_EQ(Control_bridge::progress_max(bar->native), 100);
  EXPECT_EQ(Control_bridge::progress_value(bar->native), 0);
  bar->set_position(42.9);
  EXPECT_EQ(Control_bridge::progress_value(bar->native), 42);
  bar->set_maximum(10);
  EXPECT_EQ(Control_bridge::progress_max(bar->native), 10);
  bar->set_position(std::nan(""));
  bar->set_position(1e300);
  EXPECT_EQ(Control_bridge::progress_value(bar->native), 10);
  form->new_column("BAND", layout_on_form::BOTTOM, sizes());
  EXPECT_EQ(C_Progress::new_on_form(form, "WIDE")->can_stretch, 1);
}

TEST_F(Standard_controls, LabelsAndButtonsFollowTheirCaptions) {
  // In a band the controls keep their own widths.
  form->new_column("BAND", layout_on_form::BOTTOM, sizes());
  auto label = C_Label::new_on_form(form, "Hello");
  EXPECT_EQ(label->name, "Hello");
  EXPECT_TRUE(label->autosizes_to_text());
  const double short_width = label->get_width();
  EXPECT_NEAR(short_width, Control_bridge::text_width(label->native, "Hello"), 1);
  label->set_text("Hello, wide world");
  EXPECT_GT(label->get_width(), short_width);
  label->set_stretch(true);
  EXPECT_EQ(label->stretch, 0);

  auto b = C_Button::new_on_form(form, "B", "Go");
  EXPECT_TRUE(b->autosizes_to_text());
  b->set_width(60);
  EXPECT_EQ(b->get_width(), 60);
  b->set_text("Go on");
  EXPECT_EQ(b->get_width(), 60);  // the width asked for stays

  // In a justified band a caption gets room for its bold text.
  form->set_controls_layout("BAND", controls_layout::CONTROLS_JUSTIFY);
  auto wide = C_Button::new_on_form(form, "W", "Caption");
  double bold = C_Brek_form::pixels_to_points(
      static_cast<double>(native_controls().text_width(wide->native, "Caption", true)));
  EXPECT_NEAR(wide->get_width(), 8 + bold * 4 / 3, 1.5);
}

TEST_F(Standard_controls, TheDefaultButtonIsBoldAndTheFormsFontReachesItsControls) {
  auto ok = C_Button::new_on_form(form, "OK", "OK");
  auto cancel = C_Button::new_on_form(form, "CANCEL", "Cancel");
  form->set_default_button(ok);
  EXPECT_EQ(ok->get_font_style(), "B");
  form->set_default_button(cancel);
  EXPECT_EQ(ok->get_font_style(), "");
  EXPECT_EQ(cancel->get_font_style(), "B");
  form->set_font(ok, "Arial", 14);
  EXPECT_EQ(ok->get_font_size(), 14);
}

TEST_F(Standard_controls, AModifierKeyIsDownInItsOwnPressOnControlsAsOnTheForm) {
  Ref<C_Edit> edit = C_Edit::create(form, "E1", "");
  form->show();
  test_events::settle();
  std::vector<std::string> seen;
  form->inside["key_down "] = [&] {
    const St_key_info__C_Form& k = form->key_info;
    seen.push_back(std::string(k.shift ? "shift" : "") + (k.ctrl ? "ctrl" : ""));
  };
  user_key(edit->native, 16);                  // Shift on a standard control
  test_events::key(form->native, 17);          // Ctrl on the window itself
  EXPECT_EQ(seen, (std::vector<std::string>{"shift", "ctrl"}));
}
