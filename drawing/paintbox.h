#pragma once
// C_Paintbox: the base of every control the program paints itself, and the
// plain picture area of a window that its form paints. It keeps a content
// area larger than what shows (content size and scroll position, points),
// merges invalidated rectangles into one pending rectangle, and paints
// through a back buffer that persists between paints:
//
//   BEFORE_PAINT around on_paint        buffer ready, canvas on it
//   PAINT around the form's on_paint    only when something was invalidated
//   AFTER_PAINT around paint_content    indicators, canvas dropped
//   then the buffer is shown on the drawing surface.
//
// Where drag scrolling is on, the content follows the pointer and glides on
// after a fast release, and thin indicators show where the view lies. It is
// on by itself only where the platform description says "android"; the
// glide is an animation of GLIDE_STEPS ticks, never a timer left running.
//
// The native part is a scrolled paint panel (platform/paint_panel.h).

#include <cstdint>
#include <string>

#include "baselib/geometry.h"
#include "drawing/bitmap.h"
#include "drawing/canvas.h"
#include "drawing/colors.h"
#include "forms/control.h"
#include "forms/form.h"
#include "platform/painter.h"

namespace brek {

enum class cursor_shapes {
  ARROW, IBEAM, NO, CROSS, HAND, WAIT, APP_START, UP_ARROW,
  SIZE_ALL, SIZE_WE, SIZE_NS, SIZE_NESW, SIZE_NWSE, HELP
};

class C_Paintbox : public C_Control {
  BREK_CLASS(C_Paintbox)
 public:
  // The drag that starts scrolling, points.
  static constexpr double DRAG_THRESHOLD = 8.0;
  static constexpr int64_t GLIDE_STEPS = 20;
  static constexpr int64_t GLIDE_TICK_MS = 20;
  // Velocity samples are at least this far apart, ms.
  static constexpr double SAMPLE_MS = 100.0;

  C_Paintbox();

  // ---- fields ----
  uint8_t has_vbar = 0;
  uint8_t has_hbar = 0;
  // The surface takes the focus; set before the native part is made.
  uint8_t focusable = 0;
  uint8_t whole_pending = 0;
  rect pending_rect;
  uint8_t needs_paint = 0;
  double content_width = 0;
  double content_height = 0;
  double scroll_step = 1.0;
  double scroll_x = 0;
  double scroll_y = 0;
  Ref<C_Bitmap> back_buffer;
  int64_t margin_x_percent = 0;
  int64_t margin_y_percent = 0;
  uint8_t in_paint = 0;
  Ref<C_Canvas> canvas;
  // The band of the back buffer a shift uncovered, in pixels of the buffer.
  rect strip_rect;
  cursor_shapes cursor_shape = cursor_shapes::ARROW;
  uint8_t drag_scrolling = 0;
  point press_point;
  point press_origin;
  double press_time = 0;
  uint8_t tracking = 0;
  uint8_t dragging = 0;
  point drag_offset;
  double sample_interval = 0;
  double prev_sample_time = 0;
  point prev_sample_point;
  double last_sample_time = 0;
  point last_sample_point;
  int64_t sample_count = 0;
  point glide_speed;
  int64_t glide_steps = 0;

  // options: "v" a vertical and "h" a horizontal scroll bar (any case).
  // On the None form the box gets no native part.
  static Ref<C_Paintbox> new_paintbox(const Ref<C_Form>& form, const std::string& name, const std::string& options);

  // ---- object model and control slots ----
  void init() override;
  // Drops the back buffer and the canvas.
  void destroy_hook() override;
  void create_native() override;
  // While painting: the back buffer's size.
  double get_width() override;
  double get_height() override;
  // The drawing surface.
  double get_client_width() override;
  double get_client_height() override;
  void set_color(int64_t colour) override;
  void on_mouse_move(double x, double y, button_mouse button, uint8_t shift) override;
  void on_mouse_down(double x, double y, button_mouse button, uint8_t shift) override;
  void on_mouse_up(double x, double y, button_mouse button, uint8_t shift) override;
  // One glide step.
  void on_animation_tick() override;
  void repaint() override { invalidate_all(); }
  void begin_update() override;
  void end_update() override;

  // ---- painted control slots ----
  virtual void invalidate_all();
  // A width or height of 0 or less keeps the old one.
  virtual void set_content_size(double width, double height);
  // Clamped to the content, never below 0.
  virtual void set_scroll_pos(const point& p);
  // BEFORE_PAINT: the back buffer ready, the canvas on it.
  virtual void on_paint();
  // AFTER_PAINT: indicators, then the canvas goes and nothing is pending.
  virtual void paint_content();
  virtual void set_cursor(cursor_shapes shape);

  // ---- operations ----
  void invalidate_rect(const rect& r);
  // What this paint redraws: the platform's update rectangle united with
  // the pending one (points).
  rect paint_rect();
  // "v": the drawing surface's height, "h": its width (points); else 0.
  double visible_extent(const std::string& axis);
  // The visible part of the content (points).
  rect visible_rect();
  rect scroll_insets() { return visible_rect(); }
  // Shows the back buffer again without a new PAINT event.
  void repaint_keep_state();
  void refresh() { repaint_keep_state(); }
  void set_drag_scrolling(bool on);
  // Whether the form marked this control's panel (C_Brek_form::
  // set_marked_panel: one marked panel per form).
  bool is_marked();
  // Moves the back buffer's content by dx columns or dy rows (pixels; one
  // of them 0) and paints at once only the band the move uncovered, grown
  // by extra_y rows or extra_x columns. A move on both axes, a box without
  // a back buffer or one with other repaints pending is repainted whole.
  void scroll_back_buffer(int64_t extra_y, int64_t dx, int64_t dy, int64_t extra_x);
  // The caret of the drawing surface, pixels of the surface.
  void show_caret(int64_t x, int64_t y, int64_t height, int64_t width);
  void hide_caret();

  static bool is_dark_colour(Color c) { return Colors::is_dark(c); }
  static Color contrast_colour(Color c) { return Colors::contrast(c); }

  // The surface's paint: the three stages, then the picture to show (the
  // back buffer; empty when there is none). The native layer calls it;
  // exceptions of the stages are recorded, never passed on.
  brek_platform::Raster paint_surface();
  // A scroll bar was moved by the user.
  void bar_moved();

 protected:
  // Scroll position per axis as visible_rect uses it: the bar's own
  // position when the user moved it, else the stored one.
  double scroll_pos_x();
  double scroll_pos_y();
  // An origin of the view held within the content.
  point clamp_origin(point o);
  // The indicators of drag scrolling on the canvas.
  void draw_indicators();

 private:
  void run_stage(event_kind kind, void (C_Paintbox::*stage)());
  void form_paint();
};

// Constructs a control of class T on a form, lets prepare set fields that
// the native part needs, then runs init (as make_on does, with the extra
// step before init).
template <class T, class Prepare>
Ref<T> make_on_prepared(const Ref<C_Form>& owner, const std::string& name, Prepare prepare) {
  bool in_none = detail::constructing_none();
  if (in_none) detail::end_none();
  T* o = new T();
  if (in_none) detail::begin_none();
  detail::attach_new(o);
  ++o->handle()->strong;
  Ref<T> r = Ref<T>::adopt(o->handle());
  o->attach(owner, name);
  prepare(*o);
  o->init();
  return r;
}

}  // namespace brek
