#pragma once
// C_Paint_tabs: a painted row of captions as tabs, one of them selected.
// The selected tab is drawn last, upright and taller than the others; its
// neighbours lean away from it and overlap. A row wider than the control
// is dragged sideways with the left button, and a newly selected tab is
// brought into view at the next paint, after which the form hears a click
// of the strip with event_code -2.
//
// Offsets are in points and never above 0: the row never starts right of
// the control's left edge, and its end (plus half the control's height)
// never moves left of the right edge.

#include <cstdint>
#include <string>

#include "drawing/paintbox.h"
#include "runtime/dyn_array.h"

namespace brek {

class C_Paint_tabs : public C_Paintbox {
  BREK_CLASS(C_Paint_tabs)
 public:
  C_Paint_tabs();

  // ---- fields ----
  DynAStr captions;
  // An object and a byte per tab for the strip's owner; the strip only
  // keeps them.
  DynAObj<Brek_object> tab_objects;
  DynAByte tab_bytes;
  Color tab_color = Colors::from_bits(0xFF0000FFu);
  int32_t selected = 0;
  uint8_t scroll_request = 0;
  // The row is dragged with the left button. (It hides the paint box's
  // flag of drag scrolling, which stays off for a tab strip.)
  uint8_t dragging = 0;
  double press_x = 0;
  double press_offset = 0;
  double offset = 0;
  DynAReal tab_x;  // left edges before scrolling
  DynAReal tab_w;
  // Handed with the strip's click: -1 from the start of a paint, -2 once
  // a selection was brought into view.
  int64_t event_code = 0;
  double max_tab_width = 100.0;
  double tab_height = 0;
  // Four corners per tab as last painted: the hit test uses them.
  DynArray<point> tab_corners;
  double target_offset = 0;

  static Ref<C_Paint_tabs> new_tabs(const Ref<C_Form>& form, const std::string& name, const DynAStr& captions);

  // ---- operations ----
  int64_t tab_count() { return captions.count(); }
  int32_t selected_index() const { return selected; }
  // A tab index in range becomes the selected tab, to be brought into
  // view at the next paint; anything else changes nothing.
  void set_selected(int64_t index);
  // The control's width, no wider than the form's client area or the
  // span of the monitors.
  double usable_width();
  double clamp_offset(double value);
  // The tab under a point of the control (points), the tab drawn on top
  // first; -1 for none.
  int64_t tab_at(double x, double y);
  void draw_caption(const Ref<C_Canvas>& c, const rect& r, const std::string& text);
  // The smallest rectangle holding the first two points.
  static rect bounding_rect(const DynArray<point>& points);
  // The larger and the smaller of two reals (the second when they are equal).
  static double max_real(double a, double b) { return a > b ? a : b; }
  static double min_real(double a, double b) { return a < b ? a : b; }

  // ---- overrides ----
  int64_t line_count() override { return tab_count(); }
  void destroy_hook() override;
  void on_mouse_move(double x, double y, button_mouse button, uint8_t shift) override;
  void on_mouse_down(double x, double y, button_mouse button, uint8_t shift) override;
  void on_mouse_up(double x, double y, button_mouse button, uint8_t shift) override;
  void on_animation_tick() override;
  void on_paint() override;

 private:
  // The control's height, points.
  double strip_height();
  // Whether every tab fits in the usable width with the offset at 0.
  bool row_fits();
  void bring_selected_into_view();
};

}  // namespace brek
