#pragma once
// C_Separator: a painted line between two columns of a form, horizontal or
// vertical, flat or with a raised or lowered look, with grip marks in its
// middle. A resizable separator shows the size cursor; dragging it sets
// the size of the neighbouring column as the pointer moves (the form lays
// itself out at once) and tells the form it was resized on release.
//
// The column it resizes is resize_column when the creator names one, else
// the column before or after the separator's own one (after for one laid
// out RIGHT or BOTTOM) whose layout runs the same way: LEFT and RIGHT
// columns against the others. Of two such neighbours, one that is not the
// CENTER column is taken (a centre column only takes what is left), then
// the one before.

#include <cstdint>
#include <string>

#include "baselib/geometry.h"
#include "drawing/paintbox.h"

namespace brek {

enum class direction_line : uint8_t { HORIZONTAL_LINE, VERTICAL_LINE };
enum class style_sepator_line : uint8_t { FLAT, RAISED, LOWERED };

class C_Separator : public C_Paintbox {
  BREK_CLASS(C_Separator)
 public:
  C_Separator();

  // ---- fields ----
  direction_line direction = direction_line::HORIZONTAL_LINE;
  style_sepator_line style = style_sepator_line::FLAT;
  double margin = 0;  // points from the top (horizontal) or left (vertical) edge
  uint8_t resizable = 1;
  uint8_t grip_box = 1;
  int64_t grip_count = 2;
  std::string resize_column;
  uint8_t target_after = 0;  // the separator lies below / right of that column
  std::string target_column;  // empty while no drag runs
  double start_size = 0;
  // Where the drag started: the pointer in the form's client points, and
  // relative to the separator.
  point press_cursor;
  point press_offset;

  // A separator in the form's current column, registered with the form
  // and with its native part.
  static Ref<C_Separator> new_separator(const Ref<C_Form>& form, const std::string& name, direction_line direction,
                                        style_sepator_line style, double margin = 0,
                                        const std::string& resize_column = "");

  // ---- overrides ----
  // The control's own start, then its size across and its cursor.
  void init() override;
  void on_mouse_move(double x, double y, button_mouse button, uint8_t shift) override;
  void on_mouse_down(double x, double y, button_mouse button, uint8_t shift) override;
  void on_mouse_up(double x, double y, button_mouse button, uint8_t shift) override;
  void on_paint() override;
  void paint_content() override;

  // The column a press would resize: "" for none.
  std::string find_target();
  // The thickness the separator asks for: 2 x margin + 1 when flat, + 2
  // otherwise.
  double thickness() const;

 private:
  bool horizontal() const { return direction == direction_line::HORIZONTAL_LINE; }
  void apply_drag();
  void draw_grips();
};

}  // namespace brek
