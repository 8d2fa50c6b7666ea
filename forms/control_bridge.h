#pragma once
// The controls' side of the door to the native layer: plain functions over
// native control and column handles, with sizes and positions in points
// (converted with C_Brek_form's pixel rule) and colours as 64-bit colour
// values (only red, green and blue cross). Handle 0 names the spare
// control: reads answer 0, false or "" and writes do nothing, so state
// never leaks from one control without a native object to another.

#include <cstdint>
#include <string>

#include "baselib/geometry.h"
#include "forms/form_types.h"
#include "platform/native_controls.h"
#include "runtime/object.h"

namespace brek {

class C_Control;

namespace Control_bridge {

using brek_platform::Control_kind;
using brek_platform::Control_desc;

// Creates the native control in the current column of the control's form
// with the screen's default font and registers it for the control's
// events; 0 when the form has no native window. desc.form, desc.column and
// the font are filled in here.
int64_t create(C_Control* control, Control_desc desc);
void destroy(int64_t control);

// ---- geometry (points) ----
double get_left(int64_t control);
double get_top(int64_t control);
double get_width(int64_t control);
double get_height(int64_t control);
double get_client_width(int64_t control);
double get_client_height(int64_t control);
// Inside the column panel.
void set_position(int64_t control, double x, double y);
// A width or height is applied only when it is above 0 and its pixel size
// differs from the current one; a label stops following its caption.
void set_size(int64_t control, double width, double height);

// ---- text ----
std::string get_text(int64_t control);
// Sets the text; when it changed, a VALUE_CHANGE event of the form runs
// (and the layout after it). A button or check box in a column laid out
// CONTROLS_JUSTIFY or CONTROLS_LEFT_LAST_RIGHT is first sized to the text.
void set_text(C_Control* control, const std::string& text);
// Sets a caption that the control's width follows.
void set_caption_autosize(int64_t control, const std::string& text);
// Width of the text in the control's font, points.
double text_width(int64_t control, const std::string& text);
// Points of the control's present width its text can take.
double text_room(int64_t control);
void set_alignment(int64_t control, text_alignment alignment);

// ---- state and look ----
bool is_disabled(int64_t control);
void set_disabled(int64_t control, bool disabled);
bool is_hidden(int64_t control);
void set_hidden(int64_t control, bool hidden);
void set_font_color(int64_t control, int64_t colour);
void set_color(int64_t control, int64_t colour);
std::string get_font_name(int64_t control);
void set_font_name(int64_t control, const std::string& name);
double get_font_size(int64_t control);
void set_font_size(int64_t control, double size);
std::string get_font_style(int64_t control);
void set_font_style(int64_t control, const std::string& letters);
void repaint(int64_t control);
void perform_click(int64_t control, point at);
void set_focus(int64_t control);

// ---- kinds ----
bool checkbox_get(int64_t control);
void checkbox_set(int64_t control, bool checked);
int64_t line_count(int64_t control);
std::string get_line(int64_t control, int64_t index);
void set_line(int64_t control, int64_t index, const std::string& text);
int64_t add_item(int64_t control, const std::string& text);
void clear_items(int64_t control);
int64_t item_index(int64_t control);
void set_item_index(int64_t control, int64_t index);
// The bar's maximum (the minimum stays 0), truncated to an integer.
void progress_set(int64_t control, double maximum);
void progress_position(int64_t control, double position);
int64_t progress_max(int64_t control);
int64_t progress_value(int64_t control);
std::string date_text(int64_t control);

// ---- columns ----
// By the first letter: "H" height, "L" left, "T" top, "W" width in pixels;
// 0 for handle 0 or any other letter.
int64_t column_pixels(const std::string& letter, int64_t column);
void set_column_origin(int64_t column, int64_t x, int64_t y);
// How far the column's controls are scrolled up, pixels.
int64_t column_scroll(int64_t column);
void set_column_width(int64_t column, int64_t pixels);
void set_column_height(int64_t column, int64_t pixels);
double column_client_width(int64_t column);
double column_client_height(int64_t column);

}  // namespace Control_bridge
}  // namespace brek
