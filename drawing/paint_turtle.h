#pragma once
// C_Paint_turtle: a small painted button whose picture is a line of turtle
// commands. The pen starts at the top-left corner of the cell heading 45
// degrees (down and right), turns by 45 degrees or any angle, moves by
// distances in percent of the cell, draws while it is down and fills the
// triangles swept from a fixed point while fan filling is on. One button
// can hold several glyph cells side by side; a press tells the form which
// one was hit (pressed_glyph).
//
// Commands (any case):
//   R L B   turn 45 right, 45 left, 180
//   D U     pen down, up
//   S G     save, restore position and heading
//   F N     fan filling on (from here), off
//   [ ... ] comment
//   ( ... )n the group runs n times in all
//   n       move forward n; "nC" turns n degrees right, "nA" left
// A text holding C or A anywhere moves exactly along the heading; any
// other moves on the grid: a diagonal step moves n on both axes.
//
// The interpreter is shared: the painted tree draws its marks with
// draw_glyph.

#include <cstdint>
#include <string>

#include "drawing/canvas.h"
#include "drawing/colors.h"
#include "drawing/paintbox.h"
#include "runtime/dyn_array.h"

namespace brek {

// The turtle's drawing state, handed between the painter and the
// interpreter.
struct turtle_data {
  // Characters one pass reads at most, nested runs included, so that no
  // repeat count can keep a paint busy for long.
  static constexpr int64_t MAX_STEPS = 100000;

  // The cell, in canvas units.
  double left = 0;
  double top = 0;
  double width = 0;
  double height = 0;
  // Percent of the cell.
  double x = 0;
  double y = 0;
  int64_t heading = 0;  // degrees, 0 right, growing clockwise
  double saved_x = 0;
  double saved_y = 0;
  int64_t saved_heading = 0;
  double fan_x = 0;
  double fan_y = 0;
  uint8_t fan_on = 0;
  uint8_t pen_down = 0;
  uint8_t fill_pass = 0;
  uint8_t state = 2;  // 1 flat, 2 raised, 3 sunken; others: no frame
  uint8_t disabled = 0;
  uint8_t pressable = 1;
  Color line_color = COLOR_BLACK;
  Color disabled_line_color = Colors::from_bits(0xFF888888u);
  Color fill_color = Colors::from_bits(0xFFC0C0C0u);
  Color disabled_fill_color = 0;  // alpha 0: a disabled glyph is not filled
  double line_width = 1.0;
  int64_t glyph_count = 0;
  int64_t pressed_index = -1;
  int64_t steps_left = MAX_STEPS;
};

class C_Paint_turtle : public C_Paintbox {
  BREK_CLASS(C_Paint_turtle)
 public:
  // The content of one glyph cell, points.
  static constexpr double CELL = 24.0;

  C_Paint_turtle();

  // ---- fields ----
  uint8_t state = 2;
  std::string commands;  // upper case
  DynAStr glyphs;        // names of the cells, left to right
  std::string pressed_glyph;
  uint8_t pressable = 1;
  Color line_color = COLOR_BLACK;
  Color disabled_line_color = Colors::from_bits(0xFF888888u);
  Color fill_color = Colors::from_bits(0xFFC0C0C0u);
  Color disabled_fill_color = 0;
  double line_width = 1.0;

  // A raised 18 x 18 point button drawing `commands`.
  static Ref<C_Paint_turtle> new_turtle(const Ref<C_Form>& form, const std::string& name,
                                        const std::string& commands);

  // ---- operations ----
  // Names separated by ","; each name is a cell of its own.
  void set_glyphs(const std::string& names);
  void set_state(uint8_t new_state);

  // The fill pass, the line pass and the cell frames on any canvas, the
  // passes starting at (0, 0) heading 45 with the pen up. The canvas's pen
  // width, brush colour and brush style are as before afterwards; the pen
  // colour is the line colour.
  static void draw_glyph(const Ref<C_Canvas>& canvas, turtle_data& d, const std::string& commands);
  // The interpreter: runs text on the state d (exact: moves follow the
  // heading exactly). Nested groups run nested; nesting deeper than the
  // recursion guard allows raises TooDeepRecursionException.
  static void run_commands(const Ref<C_Canvas>& canvas, turtle_data& d, const std::string& text, bool exact);
  // A glyph without a frame in a cell (canvas units) in the given line and
  // fill colours: the marks of the painted tree, which this file registers
  // with C_Paint_tree at start-up.
  static void paint_cell(const Ref<C_Canvas>& canvas, const std::string& commands, const rect& cell, Color line,
                         Color fill);
  // Whether a command text moves exactly (it holds "C" or "A").
  static bool is_exact(const std::string& text);

  // ---- overrides ----
  bool is_glyph_button() const override { return true; }
  void destroy_hook() override;
  // The lines' colour.
  void set_font_color(int64_t colour) override;
  void on_mouse_down(double x, double y, button_mouse button, uint8_t shift) override;
  void on_mouse_up(double x, double y, button_mouse button, uint8_t shift) override;
  void on_double_click(double x, double y, button_mouse button, uint8_t shift) override;
  void on_paint() override;
  void paint_content() override;

  // The glyph a press at x (points from the left edge) hits on a control
  // `width` points wide with `count` cells: -1 for none.
  static int64_t glyph_at(double x, double width, int64_t count);
};

}  // namespace brek
