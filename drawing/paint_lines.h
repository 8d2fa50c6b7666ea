#pragma once
// C_Paint_lines: a paint box whose content is a column of lines of equal
// height. It maps line indices to places, keeps a current line with a text
// caret on it, scrolls so that the first visible line starts on a line
// boundary and moves the current line with the paging and arrow keys. It
// paints nothing itself: tables and trees derive from it and paint rows.
//
// The line height is the paint box's scroll_step. Line i covers the content
// from i x height to (i + 1) x height.

#include <cstdint>

#include "drawing/paintbox.h"
#include "forms/form_types.h"

namespace brek {

class C_Paint_lines : public C_Paintbox {
  BREK_CLASS(C_Paint_lines)
 public:
  static constexpr double MIN_LINE_HEIGHT = 0.001;

  C_Paint_lines() = default;

  // ---- fields ----
  // Content width for horizontal scrolling; 0: the width given to
  // set_content_size.
  double line_width = 1000.0;
  // The number of lines (never negative) and the current one (-1: none);
  // line_count() and current_line() answer them.
  int64_t lines = 0;
  int64_t current = -1;
  double caret_x = 0;
  // 0 or less: no caret.
  double caret_width = 0.1;
  // 0 or less: the line height.
  double caret_height = 0;
  uint8_t caret_shown = 0;

  // ---- overrides ----
  int64_t line_count() override { return lines; }
  // Keeps the last page full and puts the caret back, then repaints.
  void repaint() override;
  void set_content_size(double width, double height) override;

  // ---- line list slots ----
  // Makes the drawing surface the form's active control.
  virtual void set_focus();
  virtual void set_line_count(int64_t n);
  // Whole lines in the visible height.
  virtual int64_t page_lines();
  // The line at y points below the top of the view.
  virtual int64_t line_at_y(double y);
  virtual int64_t current_line() { return current; }
  // Stores any value; the form relayouts with this control current.
  virtual void set_current_line(int64_t n);
  // Top of the current line, relative to the view.
  virtual double current_line_y();
  // Navigation by the key codes 33 to 40.
  virtual void key_down(const St_key_info__C_Form& key);

  // ---- operations ----
  double line_height() const { return scroll_step; }
  void set_line_height(double h);
  void set_line_width(double w);
  void update_scroll();
  int64_t first_visible_line();
  // Scrolls so that line n comes first, the last page kept full.
  void set_first_line(int64_t n);
  // Scrolls by -delta pages (at least one line).
  void scroll_pages(int64_t delta);
  void set_caret_x(double x);
  void set_caret_height(double h);
  void update_caret();
  // The form's active control is this one.
  bool has_focus();

 protected:
  // Brings the current line into view after a key moved it.
  void keep_current_visible();
};

}  // namespace brek
