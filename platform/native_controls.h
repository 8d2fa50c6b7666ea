#pragma once
// The native standard controls and the geometry of column panels, as the
// forms toolkit asks for them. No Qt types: handles are 64-bit integers (0
// names nothing), geometry is in device pixels (the forms side converts
// from points with platform/units.h), colours are 0xBBGGRR.
//
// The Qt implementation (platform/qt/native_controls.cpp) creates the
// controls as child widgets of the column panel named by their column
// handle, and reports what the user does with them through
// brek_platform::form_events() with the handle of the control's form:
// clicks, value and selection changes, pointer, key, focus and wheel input.

#include <cstdint>
#include <string>

#include "platform/native_forms.h"

namespace brek_platform {

enum class Control_kind : int { LABEL, BUTTON, CHECKBOX, EDIT, MEMO, LISTBOX, COMBO, PROGRESS, DATE };

// A new control, created in a column panel with the given font.
struct Control_desc {
  Control_kind kind = Control_kind::LABEL;
  Native_handle form = 0;    // reported with the control's events
  Native_handle column = 0;  // the panel that holds it
  std::string font_name;     // empty: the platform default
  double font_size = 0;      // points; 0: the platform default
  bool read_only = false;    // edits and memos
  std::string password;      // edits: its first character hides each typed one
  std::string memo_letters;  // "R" read-only, "H" / "V" scroll bars, "s", "c", "E"
  bool list_flag = false;    // list boxes
};

struct Pixel_box {
  int64_t x = 0;
  int64_t y = 0;
  int64_t w = 0;
  int64_t h = 0;
};

class Native_controls {
 public:
  virtual ~Native_controls() = default;

  // ---- column panels (pixels, relative to the form's client area) ----
  virtual Pixel_box column_box(Native_handle) { return {}; }
  virtual void set_column_origin(Native_handle, int64_t /*x*/, int64_t /*y*/) {}
  virtual void set_column_width(Native_handle, int64_t) {}
  virtual void set_column_height(Native_handle, int64_t) {}
  // Client width (x) and height (y) of the panel.
  virtual Pixel_box column_client(Native_handle) { return {}; }
  // How far the panel's controls are scrolled up (0 where they fit).
  virtual int64_t column_scroll(Native_handle) { return 0; }

  // ---- controls ----
  virtual Native_handle create_control(const Control_desc&) { return 0; }
  virtual void destroy_control(Native_handle) {}
  // Position inside the column panel and size.
  virtual Pixel_box control_box(Native_handle) { return {}; }
  virtual Pixel_box control_client(Native_handle) { return {}; }
  virtual void move_control(Native_handle, int64_t /*x*/, int64_t /*y*/) {}
  // A width or height of 0 or less is left as it is.
  virtual void resize_control(Native_handle, int64_t /*w*/, int64_t /*h*/) {}
  // Caption or content. Setting it reports no event.
  virtual std::string get_text(Native_handle) { return {}; }
  virtual void set_text(Native_handle, const std::string&) {}
  // Labels, buttons and check boxes can follow their caption's width.
  virtual bool autosizes(Native_handle) { return false; }
  virtual void set_autosize(Native_handle, bool) {}
  // Pixel width of a text in the control's font (made bold when asked).
  virtual int64_t text_width(Native_handle, const std::string&, bool /*bold*/) { return 0; }
  // Pixels of the control's present width its text can take: inside its
  // frame and margins, beside a combo box's arrow or a check box's box.
  virtual int64_t text_room(Native_handle) { return 0; }
  // 0 left, 1 centre, 2 right (labels and memos).
  virtual void set_alignment(Native_handle, int) {}
  virtual bool is_enabled(Native_handle) { return false; }
  virtual void set_enabled(Native_handle, bool) {}
  // The control's own visibility, whether or not its panel is shown.
  virtual bool is_visible(Native_handle) { return false; }
  virtual void set_visible(Native_handle, bool) {}
  virtual void set_font_color(Native_handle, int32_t) {}
  virtual void set_color(Native_handle, int32_t) {}
  virtual std::string get_font_name(Native_handle) { return {}; }
  virtual void set_font_name(Native_handle, const std::string&) {}
  virtual double get_font_size(Native_handle) { return 0; }
  virtual void set_font_size(Native_handle, int) {}
  // Letters "B", "I", "U", "S", in that order.
  virtual std::string get_font_style(Native_handle) { return {}; }
  virtual void set_font_style(Native_handle, const std::string&) {}
  virtual void repaint(Native_handle) {}
  // Reports a click of the control, at a point in its form's client area.
  virtual void perform_click(Native_handle, Point_pt) {}
  virtual void set_focus(Native_handle) {}
  virtual bool has_focus(Native_handle) { return false; }

  // ---- kinds ----
  virtual bool get_checked(Native_handle) { return false; }
  virtual void set_checked(Native_handle, bool) {}
  // Lines of a memo, items of a list or combo box. get_line answers "" out
  // of range; set_line ignores indexes out of range, except that a memo
  // appends at index line_count.
  virtual int64_t line_count(Native_handle) { return 0; }
  virtual std::string get_line(Native_handle, int64_t) { return {}; }
  virtual void set_line(Native_handle, int64_t, const std::string&) {}
  // List and combo items: add returns the new index; set_items replaces all.
  virtual int64_t add_item(Native_handle, const std::string&) { return -1; }
  virtual void clear_items(Native_handle) {}
  // Selected item, -1 for none.
  virtual int64_t item_index(Native_handle) { return -1; }
  virtual void set_item_index(Native_handle, int64_t) {}
  virtual void set_progress_max(Native_handle, int64_t) {}
  virtual void set_progress_position(Native_handle, int64_t) {}
  virtual int64_t progress_max(Native_handle) { return 0; }
  virtual int64_t progress_position(Native_handle) { return 0; }
  // The picked date in the platform's default format.
  virtual std::string date_text(Native_handle) { return {}; }
};

// The native controls in use: the Qt ones while a platform application
// exists, otherwise a headless default whose operations answer 0, false or
// "" and do nothing.
Native_controls& native_controls();
// Installs another implementation (nullptr: back to the built-in one);
// returns the previous one.
Native_controls* set_native_controls(Native_controls* layer);

}  // namespace brek_platform
