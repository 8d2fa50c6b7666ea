#pragma once
// The arithmetic of laying out a form: where its columns go inside the
// client area, and where the controls of one column go inside it. Plain
// functions over plain records, so that the rules are tested without a
// window; C_Form gathers the inputs from the native side and applies the
// results (forms/form_layout.cpp).
//
// A row short of room narrows its widest edits and combo boxes first,
// levelled down together; a control narrowed so asks for its own width
// again on the next pass (C_Control::row_width_had), so it gets it back
// when there is room. A row's last control put at its right end never
// covers the one before. A stack reaching below its column scrolls there.

#include <cstdint>
#include <string>
#include <vector>

#include "forms/form_types.h"

namespace brek {
namespace Column_layout {

// ---- columns (pixels) ----

struct Column_box {
  layout_on_form kind = layout_on_form::CENTER;
  int64_t host = -1;  // index of the host column; -1: the form's free area
  int64_t own_width = 0;
  int64_t own_height = 0;
  bool visible = true;
};

struct Pixel_rect {
  int64_t x = 0;
  int64_t y = 0;
  int64_t w = 0;
  int64_t h = 0;
};

// What to do with one column after the columns were placed.
struct Column_place {
  Pixel_rect rect;
  bool hide = false;       // a CENTER column after the first
  bool apply = false;      // visible: move it and realign its controls
  bool set_width = false;
  bool set_height = false;
};

struct Columns_result {
  std::vector<Column_place> places;  // one per column, same index
  bool shared_width = false;
};

// Places the columns in a client area of width x free_height pixels.
// shared_right is the client width used when side columns share it.
Columns_result arrange_columns(const std::vector<Column_box>& columns, int64_t width, int64_t free_height,
                               int64_t shared_right);

// ---- controls of one column (points) ----

struct Control_box {
  bool label = false;
  bool push_button = false;
  bool glyph_button = false;  // a painted glyph button that ends a line
  bool stretch = false;       // can_stretch and stretch both set
  double width = 0;           // current size
  double height = 0;
  double text_width = 0;      // width of a label's text
  std::string text;           // a label's text
};

struct Column_frame {
  layout_on_form kind = layout_on_form::CENTER;
  controls_layout layout = controls_layout::CONTROLS_LEFT;
  double client_width = 0;
  double client_height = 0;
  double extent = 0;
  bool labels_right = false;  // labels beside their control are right-aligned
  bool plain_margins = false; // the form has a border kind or bevel, or a single column
};

struct Control_record {
  size_t index = 0;  // into the boxes given
  double x = 0;
  double y = 0;
  double w = 0;
  double h = 0;
  bool label_shares_line = false;
  bool right_align = false;
};

struct Controls_result {
  std::vector<Control_record> records;  // in column order
  bool moved = false;                   // false: nothing is to be moved (manual rows)
};

// Start margin m and second margin g.
void margins(const Column_frame& frame, double& m, double& g);
// Whether the controls of the column form a row (else a stack).
bool is_row(const Column_frame& frame);
// Arranges the controls taking part, in column order.
Controls_result arrange_controls(const Column_frame& frame, const std::vector<Control_box>& boxes);

}  // namespace Column_layout
}  // namespace brek
