#pragma once
// The handlers shared by common forms (C_Form_common) and common dialogs
// (C_Dialog_common): window colours and minimum sizes from the named
// process-wide variables, the hint strip "P_HINTS" showing the text of what
// is under the pointer, focus highlighting of buttons, check boxes and the
// label before them, the focus frame and wheel scrolling of painted line
// lists, their navigation keys (those of painted trees too), the row
// colours of painted tables, and Space or Enter clicking a control that has
// no native click for that key. Both classes are this template over
// their own base (C_Form, C_Dialog); the definitions are instantiated for
// those two only (drawing/common_handlers.cpp).
//
// They live with the painted controls because they paint on paint boxes
// and treat line lists apart; the forms layer cannot know those.

#include <cstdint>
#include <string>

#include "baselib/geometry.h"
#include "drawing/colors.h"
#include "forms/control.h"
#include "forms/timer.h"

namespace brek {

class C_Paint_lines;
class C_Paint_table;

// The values of the named variables the common forms read (0: not set).
struct Common_appearance {
  // Text and background of the window, when set_colours.
  bool set_colours = false;
  Color text = 0;
  Color background = 0;
  // The colours of the hint strip.
  Color hint_background = 0;
  Color hint_text = 0;
  Color hint_non_latin = 0;

  // Reads "Set_form_background", "Set_form_foreground",
  // "Custom_form_background", "Custom_form_foreground", "Hint_colors",
  // "Hint_background", "Hint_foreground" and "Hint_non_latins"; system
  // colours where they ask for none.
  static Common_appearance read();
};

namespace Common_rules {

// Whether a character of a hint is a letter outside a-z, drawn in the
// non-latin colour.
bool is_non_latin_letter(char32_t c);
// The point size of the hint font in a strip of that height (points):
// min(height, 18) - 4, never below 1.
double hint_font_size(double strip_height);
// The minimum window size to apply (points), capped at 640 x 480 pixels'
// worth; false when neither value is above 0.
bool minimum_size(double width, double height, double& out_width, double& out_height);
// A wheel turn on a line list: how many lines the first visible line moves
// (positive: down the list) for a wheel amount (positive: away from the
// user) and a page of page_lines lines. At most a page, at least a line.
int64_t wheel_lines(double wheel_amount, int64_t page_lines);

}  // namespace Common_rules

template <class Base>
class Common_handlers : public Base {
 public:
  // The hint shown in "P_HINTS" (or that would be, without one).
  std::string hint_text;
  // The control of the last key-down or key-press event.
  Ref<C_Control> key_control;
  // Gets the keyboard focus back when focus_timer ticks.
  Ref<C_Control> focus_control;
  // One-shot, 20 ms, made on first use.
  Ref<C_Timer> focus_timer;

  void destroy_hook() override;
  // Brings a modal dialog over this window to the front.
  void on_activate() override;
  void on_mouse_move() override;
  // A double click on a glyph button is a second click.
  void on_double_click() override;
  bool on_wheel() override;
  void on_enter() override;
  void on_exit() override;
  void on_paint() override;
  // The header brush of a focused table.
  void on_control_click() override;
  bool on_key_down() override;
  void on_key_up() override;
  void on_key_press() override;
  void on_timer() override;
  // The paint hook of painted tables: the colours of the row about to be
  // painted.
  void control_notify() override;

  // The hint of a control for a pointer at `at` (form client points).
  virtual std::string hint_of(const Ref<C_Control>& control, const point& at);
  // The first shown control that takes room and holds the point.
  Ref<C_Control> control_at(const point& at);
  // The first control named "P_HINTS".
  Ref<C_Control> hints_control();

 protected:
  // The window colours, when the variables ask for them.
  void apply_colours();
  void apply_minimum_size(double width, double height);
  void arm_focus_timer();
  void paint_hints();
  void paint_focus_frame(C_Paint_lines& list);
  void highlight(bool entering);
  void table_colours(C_Paint_table& table);
};

}  // namespace brek
