#pragma once
// The seam between the forms toolkit and the native window layer. Two
// interfaces, no Qt types in either:
//
//  - Native_forms: what the program asks of the native layer (create a
//    window, set its caption, show it...). Native objects are named by
//    64-bit handles, 0 meaning none; sizes and positions are doubles in
//    points (platform/units.h converts). Every operation has a safe default
//    body, so the headless default answers 0, false, "" or the zero rectangle
//    and a native layer overrides only what it supports.
//
//  - Form_events: what the native layer reports back (a click, a key, a
//    wheel turn...). The forms toolkit installs the implementation; it holds
//    every rule of routing (depth gates, queueing, first chance for the
//    control under the pointer, wheel folding, key records), so the native
//    layer only translates its own events into these calls.
//
// The native layer never throws into the program and the program never
// throws into the native layer: Form_events calls catch everything.

#include <cstdint>
#include <string>
#include <vector>

namespace brek_platform {

using Native_handle = int64_t;

struct Point_pt {
  double x = 0;
  double y = 0;
};

struct Rect_pt {
  double x = 0;
  double y = 0;
  double w = 0;
  double h = 0;
};

// A new native form: hidden, of the given outer size.
struct Form_desc {
  double width = 300;
  double height = 200;
  double border = 2;       // border width
  std::string font_name;   // empty: the platform default
  double font_size = 0;    // 0: the platform default
};

// A new column panel on a form.
struct Column_desc {
  int layout_kind = 0;     // layout_on_form
  Native_handle host = 0;  // host column, 0 = the form's free area
  double extent = 0;       // points
  double size = 200;       // initial width and height, points
};

class Native_forms {
 public:
  virtual ~Native_forms() = default;

  // Screen resolution of windows and controls: their pixels are the
  // window system's, which a high-density screen scales.
  virtual double pixels_per_inch() { return 96.0; }
  // Device pixels per window pixel on the screen the program's main window
  // is on (2 on a screen scaled by 2). Pictures painted for the screen are
  // made of device pixels.
  virtual double device_pixel_ratio() { return 1.0; }

  // ---- forms ----
  virtual Native_handle create_form(const Form_desc&) { return 0; }
  virtual void destroy_form(Native_handle) {}
  virtual int64_t window_handle(Native_handle) { return 0; }
  virtual void set_taskbar_button(Native_handle, bool) {}
  virtual void remember_main_window(Native_handle) {}
  virtual std::string get_caption(Native_handle) { return {}; }
  virtual void set_caption(Native_handle, const std::string&) {}
  // Outer rectangle on the screen: the window with the frame a window
  // manager puts around it (the frame it will get, for a window not shown
  // yet).
  virtual Rect_pt get_bounds(Native_handle) { return {}; }
  // Whether get_bounds holds the frame the window has or will have: false
  // for a window not shown yet whose manager does not tell a frame before
  // it frames the window (fluxbox), and for a shown one it has not framed
  // yet. Showing a window returns once a manager that frames windows as
  // it maps them framed it; one that frames them later says so
  // (Form_events::framed).
  virtual bool frame_known(Native_handle) { return true; }
  // Moves the window's outer rectangle; the platform stops choosing a place
  // for it.
  virtual void set_position(Native_handle, double /*left*/, double /*top*/) {}
  // Outer size, without moving or raising the window.
  virtual void set_size(Native_handle, double /*width*/, double /*height*/) {}
  virtual void set_bounds(Native_handle, const Rect_pt&) {}
  // The window itself, without what a window manager adds around it: what
  // stays the same whatever frame a manager gives it (or none).
  virtual Rect_pt get_window_rect(Native_handle) { return {}; }
  virtual void set_window_rect(Native_handle, const Rect_pt&) {}
  virtual void set_min_size(Native_handle, double /*width*/, double /*height*/) {}
  // Client width and height (x = width, y = height).
  virtual Point_pt client_size(Native_handle) { return {}; }
  virtual void set_client_size(Native_handle, double /*width*/, double /*height*/) {}
  // Screen position of the client area's top-left corner.
  virtual Point_pt client_origin(Native_handle) { return {}; }
  // 0 normal, 1 minimized, 2 maximized (full screen counts as maximized).
  // Setting a state, a border kind or the taskbar button of a shown window
  // returns once the window system has carried it out.
  virtual int get_window_state(Native_handle) { return 0; }
  virtual void set_window_state(Native_handle, int) {}
  // Whether a window manager shows the window full screen on request: over
  // the panels of its monitor, without a frame. false where none does
  // (headless, offscreen, no manager running, one that lists no full
  // screen among the states it keeps) or while it is hidden.
  virtual bool can_full_screen(Native_handle) { return false; }
  // Full screen by the manager on the monitor the window is on, or back to
  // the state it had; returns once the manager carried it out. false when
  // nothing was done: none can, or leaving a window that is not.
  virtual bool set_full_screen(Native_handle, bool /*on*/) { return false; }
  // Whether the window shows full screen: as the window manager keeps it
  // while it manages the window (its own key or menu may change that).
  virtual bool is_full_screen(Native_handle) { return false; }
  // Asks the window to close: Form_events::close_query and closed follow.
  virtual void close_form(Native_handle) {}
  virtual bool is_form_visible(Native_handle) { return false; }
  // true: restore when minimized, show, bring to the front; false: hide.
  virtual void set_form_visible(Native_handle, bool) {}
  virtual void set_form_enabled(Native_handle, bool) {}
  // The form stands for work of `owner`: it stays above the owner's window
  // and takes input where a modal owner blocks every other window.
  virtual void set_form_owner(Native_handle /*form*/, Native_handle /*owner*/) {}
  virtual void set_border_kind(Native_handle, int) {}
  virtual void set_bevel(Native_handle, int) {}
  // Window opacity, 0 (invisible) to 255 (opaque).
  virtual void set_window_alpha(Native_handle, int) {}
  // Colours as 0xBBGGRR.
  virtual void set_form_colors(Native_handle, int32_t /*background*/, int32_t /*foreground*/) {}
  // A batch of changes begins or ends (painting may pause in between).
  virtual void begin_update(Native_handle) {}
  virtual void end_update(Native_handle) {}
  virtual void set_default_button(Native_handle /*form*/, Native_handle /*button*/) {}
  virtual void set_cancel_button(Native_handle /*form*/, Native_handle /*button*/) {}
  // The control that has the keyboard focus, 0 for none.
  virtual Native_handle active_control(Native_handle /*form*/) { return 0; }
  virtual void set_active_control(Native_handle /*control*/) {}

  // ---- application ----
  // Cursor position on the screen.
  virtual Point_pt cursor_position() { return {}; }
  // Processes pending native events once; never blocks.
  virtual void process_messages() {}
  // Blocks until a native event arrives or max_ms pass (a negative value:
  // no limit), then processes what is pending. Returns at once when there
  // is nothing to wait for (the headless default).
  virtual void wait_for_events(int /*max_ms*/) {}
  // Frees the native objects whose destruction was put off. Only the main
  // loop calls it, between two turns, when no handler is on the stack.
  virtual void run_deferred_deletions() {}
  // Set once the application is told to end (the main window closed); the
  // main loop and modal loops end then. The headless default has no loop to
  // run and always answers true.
  virtual bool application_terminated() { return true; }
  virtual void set_application_terminated(bool) {}
  // The title message boxes carry.
  virtual std::string application_title() { return {}; }
  // Yes/no question over the form, a dialog of its window; true for yes.
  virtual bool message_box(Native_handle /*form*/, const std::string&) { return false; }
  // Message with an OK button over the form, a dialog of its window.
  virtual void show_message(Native_handle /*form*/, const std::string&) {}
  // Runs the dialog's own modal loop until it is hidden or closed, the
  // dialog a dialog of the owner's window (0: none) for the window manager.
  virtual void run_modal(Native_handle /*dialog*/, Native_handle /*owner*/) {}
  // Every modal run (message, question, dialog, file or folder dialog)
  // begins over its owner (0: none) and ends, runs nested in runs: as one
  // ends, the keys go back to the window that had them as it began, or to
  // the owner when none of ours had them.
  virtual void modal_run_begins(Native_handle /*owner*/) {}
  virtual void modal_run_ended() {}
  // Popup menu at the cursor; the lines are trimmed and not empty. The
  // choice comes back through Form_events::menu_chosen.
  virtual void popup_menu(Native_handle /*form*/, const std::vector<std::string>& /*lines*/) {}

  // ---- columns ----
  virtual Native_handle new_column(Native_handle /*form*/, const Column_desc&) { return 0; }
  virtual void set_current_column(Native_handle /*form*/, Native_handle /*column*/) {}
  // The column new controls of the form go into (0: none yet).
  virtual Native_handle current_column(Native_handle /*form*/) { return 0; }
  virtual bool is_column_visible(Native_handle) { return false; }
  virtual void set_column_visible(Native_handle, bool) {}
  virtual void destroy_column(Native_handle) {}
  // What the column was created with.
  virtual Column_desc column_desc(Native_handle) { return {}; }
  // How far down the column's controls reach (points): a column lower than
  // that scrolls them, its room narrowed by the scroll bar.
  virtual void set_column_content_height(Native_handle, double /*height*/) {}
  // The column's native controls, in creation order.
  virtual int column_control_count(Native_handle) { return 0; }
  virtual Native_handle column_control(Native_handle /*column*/, int /*index*/) { return 0; }

  // ---- controls ----
  virtual void destroy_control(Native_handle) {}
  // The column that holds the control, 0 for none.
  virtual Native_handle control_column(Native_handle) { return 0; }
};

// Pointer event as the native layer saw it.
struct Pointer_input {
  Native_handle form = 0;
  Native_handle control = 0;  // control under the pointer; 0 = the form or a column
  Point_pt at;                // client points of the form
  Point_pt at_control;        // points relative to the control
  uint8_t button = 0;         // 1 left, 2 right, 3 middle, 4 and 5 extra, 0 none
  uint8_t shift = 0;          // shift-state bits (forms/form_types.h)
};

// Modifier keys at the time of a key event.
struct Key_modifiers {
  bool shift = false;
  bool ctrl = false;
  bool alt = false;
  bool win = false;        // a Windows/Super key is down
  bool left_ctrl = false;  // the left Ctrl key itself is down
  bool right_alt = false;  // the right Alt (AltGr) key itself is down
  bool toggled = false;    // toggle state of the key (Caps Lock and the like)
  // What a key down types on the user's keyboard layout: "{" for AltGr+7
  // on a German one, "^" for its dead key; 0 when it types nothing.
  uint32_t typed = 0;
};

// Result of a wheel turn.
struct Wheel_result {
  bool handled = false;   // the program consumed the turn
  int flush_after_ms = 0; // > 0: the turn was folded; call wheel_flush after this delay
};

class Form_events {
 public:
  virtual ~Form_events() = default;

  // A left click (the platform's own click) of the form, a column or a
  // control; at: the cursor in client points.
  virtual void click(Native_handle /*form*/, Native_handle /*control*/, Point_pt /*at*/) {}
  // The window is asked to close: true allows it.
  virtual bool close_query(Native_handle) { return true; }
  // The window closed: true when the native form is to be freed now, false
  // when it is only to be hidden.
  virtual bool closed(Native_handle) { return true; }
  // The desktop session is ending (the next close query says so).
  virtual void session_ending(Native_handle) {}
  virtual void activated(Native_handle, bool /*active*/) {}
  // An edit, memo or combo text changed, or a check box was clicked.
  virtual void value_changed(Native_handle /*form*/, Native_handle /*control*/) {}
  // A list box click or a combo box selection.
  virtual void selection_changed(Native_handle /*form*/, Native_handle /*control*/) {}
  // The window is being shown.
  virtual void shown(Native_handle) {}
  virtual void resized(Native_handle) {}
  virtual void control_resized(Native_handle /*form*/, Native_handle /*control*/) {}
  virtual void moved(Native_handle) {}
  // The window manager told the frame of the shown window after the show
  // returned (it frames windows late).
  virtual void framed(Native_handle) {}
  // Monitors came, went or changed their size.
  virtual void monitors_changed() {}
  virtual void mouse_move(const Pointer_input&) {}
  // A double click: call this first, then mouse_down for the same press.
  virtual void double_click_pending() {}
  virtual void mouse_down(const Pointer_input&) {}
  virtual void mouse_up(const Pointer_input&) {}
  // Wheel deltas in the platform's eighths of a degree (120 per notch);
  // negative when turned towards the user.
  virtual Wheel_result wheel(Native_handle /*form*/, int /*delta*/, int /*delta_x*/, Point_pt /*at*/) {
    return {};
  }
  // Delivers what a folded wheel turn left pending; true when consumed.
  virtual bool wheel_flush(Native_handle) { return false; }
  // Key down or up with a Windows virtual-key code; true when the key is
  // to be taken from the native control.
  virtual bool key_down(Native_handle /*form*/, Native_handle /*control*/, int /*vk*/, Key_modifiers) {
    return false;
  }
  virtual bool key_up(Native_handle /*form*/, Native_handle /*control*/, int /*vk*/, Key_modifiers) {
    return false;
  }
  // A typed character (a Unicode code point); returns the character to pass
  // on, 0 when it is taken away.
  virtual uint32_t key_press(Native_handle /*form*/, Native_handle /*control*/, uint32_t ch, Key_modifiers) {
    return ch;
  }
  // A control got (entering) or lost the keyboard focus.
  virtual void focus(Native_handle /*form*/, Native_handle /*control*/, bool /*entering*/) {}
  virtual void timer(Native_handle /*form*/, Native_handle /*timer*/) {}
  virtual void animation(Native_handle /*form*/, Native_handle /*control*/) {}
  virtual void menu_chosen(Native_handle /*form*/, const std::string& /*key*/) {}
  // Files dropped on the form, full local paths.
  virtual void files_dropped(Native_handle /*form*/, const std::vector<std::string>& /*names*/,
                             Point_pt /*at*/) {}
};

// The native layer in use: the one installed, else a headless default whose
// every operation answers 0, false, "" or the zero rectangle.
Native_forms& native_forms();
// The layer's device pixel ratio, 1 when it is not a sane positive number.
double device_pixel_ratio();
// Pixels per inch of what is painted for the screen: the screen's pixels
// per inch times the device pixel ratio.
double device_pixels_per_inch();
// Installs a native layer (nullptr: the headless default again); returns
// the previous one (nullptr for the default).
Native_forms* set_native_forms(Native_forms* layer);

// Where the native layer reports events: the forms toolkit's receiver once
// it is installed, else one that ignores everything.
Form_events& form_events();
Form_events* set_form_events(Form_events* receiver);

}  // namespace brek_platform
