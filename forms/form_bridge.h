#pragma once
// C_Brek_form: the one door from the forms toolkit to the native window
// layer (platform/native_forms.h). Its operations are plain functions over
// 64-bit native handles with sizes and positions in points. Handle 0 names
// nothing: reads answer 0, false, "" or the zero rectangle and writes do
// nothing, so the toolkit runs unchanged without a native window.
//
// The bridge also keeps which form and which control each native handle
// belongs to, and installs the receiver that turns the native layer's
// reports (Form_events) into the event routing of forms/event_routing.h.
// The marked panel and control_column_visible hold for painted and
// standard controls alike.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "forms/form_types.h"
#include "runtime/object.h"

namespace brek {

class C_Form;
class C_Control;
class C_Screen;

class C_Brek_form : public Brek_object {
  BREK_CLASS(C_Brek_form)
 public:
  // ---- units ----
  static double pixels_per_inch();
  // trunc(points x ppi / 72 + 0.000001); NaN gives 0, minus infinity 0,
  // plus infinity 1000000, and huge values stop at the 32-bit range.
  static int64_t points_to_pixels(double points);
  static double pixels_to_points(double pixels);

  // ---- handles ----
  static Ref<C_Form> form_of(int64_t handle);
  static Ref<C_Control> control_of(int64_t handle);
  // Control creators call this with the handle they got from the native layer.
  static void register_control(int64_t handle, const Ref<C_Control>& control);
  // The control is gone (its native control went with its window).
  static void forget_control(int64_t handle);
  // Installs the receiver of native events (done by create_form as well).
  static void install_event_receiver();

  // ---- form and application ----
  // A hidden native form for the language form (300 x 200 points, the
  // screen's default font); 0 when there is no native layer.
  static int64_t create_form(C_Form* form);
  static void destroy_form(int64_t form);
  // The native layer freed the form itself (after its close).
  static void forget_form(int64_t form);
  static int64_t window_handle(int64_t form);
  static void set_taskbar_button(int64_t form, bool on);
  // Its close ends the main loop.
  static void remember_main_window(int64_t form);
  // Runs the form's request_relayout with the control as current control.
  static void relayout_for_control(const Ref<C_Control>& control);
  // The form's relayout, when it has a native window and no batch is open.
  static void relayout_native(const Ref<C_Form>& form);
  static std::string get_caption(int64_t form);
  static void set_caption(int64_t form, const std::string& text);
  static rect get_bounds(int64_t form);
  static double get_left(int64_t form);
  static double get_top(int64_t form);
  static double get_width(int64_t form);
  static double get_height(int64_t form);
  // Moves the window and raises a MOVED event of its form.
  static void set_position(int64_t form, double left, double top);
  static void set_size(int64_t form, double width, double height);
  static void set_min_size(int64_t form, double width, double height);
  static void set_bounds(int64_t form, const rect& r);
  // The window without the frame a window manager adds (the outer
  // rectangle where there is none); setting it raises a MOVED event.
  static rect get_window_rect(int64_t form);
  static void set_window_rect(int64_t form, const rect& r);
  static double get_client_width(int64_t form);
  static double get_client_height(int64_t form);
  static void set_client_size(int64_t form, double width, double height);
  static point client_origin(int64_t form);
  static int get_window_state(int64_t form);
  static void set_window_state(int64_t form, int state);
  static bool can_full_screen(int64_t form);
  static bool frame_known(int64_t form);
  static bool set_full_screen(int64_t form, bool on);
  static bool is_full_screen(int64_t form);
  static void close_form(int64_t form);
  static bool is_form_visible(int64_t form);
  static bool form_hidden_mark(int64_t form);
  static void set_form_visible(int64_t form, bool visible);
  static void set_form_enabled(int64_t form, bool enabled);
  static void set_form_owner(int64_t form, int64_t owner);
  static void set_border_kind(int64_t form, int kind);
  static void set_bevel(int64_t form, int bevel);
  // value 0 is opaque, 1 invisible: opacity 255 - round(value x 255),
  // opaque again below 1; NaN is opaque.
  static int transparency_alpha(double value);
  static void set_transparency(int64_t form, double value);
  static void set_form_colors(int64_t form, int64_t background, int64_t foreground);
  // Centres the form over the owner, half the difference of the sizes in
  // whole pixels (toward zero); the platform stops choosing its place.
  static void center_form(int64_t form, int64_t owner);
  static void set_default_font(const Ref<C_Screen>& screen, const std::string& name, double size);
  static void begin_update(int64_t form);
  static void end_update(int64_t form);
  // Runs a dialog modally over its owner; the owner's events run normally
  // meanwhile (its depth and menu key are set aside and restored).
  static void run_modal(const Ref<C_Form>& dialog, const Ref<C_Form>& owner);
  static bool message_box(int64_t form, const std::string& text);
  static void show_message(int64_t form, const std::string& text);
  // A modal run over the owner form (0: none) begins or has ended
  // (Modal_run).
  static void modal_run_begins(int64_t owner);
  static void modal_run_ended();
  // Processes pending messages once. A software timer (Brek_runtime::
  // add_timer) that fell due is delivered here as a Timer_due_exception:
  // to the loop of calls that first saw it registered (the loop that waits
  // for it), the newest first, and again on every call until it is
  // removed. While such a timer is still pending, the call sleeps until a
  // message arrives or the timer falls due, so a waiting loop burns no CPU.
  static void process_messages();
  // Processes pending messages once, delivering nothing (the long-operation
  // tick and the main loop's first turn).
  static void pump_messages();
  // One turn of the main loop: sleeps until a message arrives, processes
  // it, then frees what was destroyed meanwhile. Software timers that fell
  // due with no loop left to wait for them are dropped.
  static void main_loop_turn();
  // The application is told to end: the main loop and modal loops stop and
  // timer handlers are skipped. false starts a new run.
  static void terminate_application();
  static void reset_application();
  static bool application_terminated();
  // The screen's main window (0: none).
  static int64_t main_window();
  // The current local date and time.
  static double now();
  static void time_begin_period(int64_t period) {}
  static void time_end_period(int64_t period) {}
  static uint8_t form_mouse_buttons(int64_t form);
  static point pointer_point(int64_t form);
  static point drop_point(int64_t form);
  static double wheel_amount(int64_t form);
  static double wheel_extra(int64_t form);
  // The cursor in the form's client points.
  static point mouse_position(int64_t form);
  static point cursor_position();
  // Client origin on the screen: x when the letter text contains "X", else y.
  static double screen_origin(const std::string& letter, int64_t form);
  // Client width when the letter text contains "W", else height.
  static double client_extent(const std::string& letter, int64_t form);
  // Splits the menu text at line ends, trims and drops empty lines, and
  // shows the rest; the form's update count is one higher meanwhile.
  static void popup_menu(int64_t form, const std::string& menu_text);
  static Ref<C_Control> active_control(int64_t form);
  static void set_active_control(int64_t control);
  static void set_default_button(int64_t form, int64_t button);
  static void set_cancel_button(int64_t form, int64_t button);
  // Marks a panel of the form and unmarks the one marked before (one per
  // form; 0 unmarks). Painted controls read the mark.
  static void set_marked_panel(int64_t form, int64_t panel);
  // The form's marked panel, 0 for none or handle 0.
  static int64_t marked_panel(int64_t form);

  // ---- columns ----
  static int64_t new_column(int64_t form, int layout_kind, int64_t host, double extent, double size);
  static void set_current_column(int64_t form, int64_t column);
  // The column new controls of the form go into (0: none).
  static int64_t current_column(int64_t form);
  static bool column_visible(int64_t column);
  static bool column_hidden(int64_t column);
  static void set_column_visible(int64_t column, bool visible);
  static layout_on_form column_layout_kind(int64_t column);
  static int64_t column_host(int64_t column);
  // The extent given at creation, points.
  static double column_extent(int64_t column);
  // How far down the column's controls reach (points); a lower column
  // scrolls them.
  static void set_column_content_height(int64_t column, double height);
  static int64_t column_control_count(int64_t column);
  // The control of the index-th native control of the column (None when
  // out of range or not a control of the program).
  static Ref<C_Control> column_control(int64_t column, int64_t index);
  static void destroy_column(int64_t column);

  // ---- controls ----
  static void destroy_control(int64_t control);
  // The column that holds the control (0: none).
  static int64_t control_column(int64_t control);
  // Visibility of the column that holds the native control (false in none).
  static bool control_column_visible(int64_t control);
  static std::string get_font_style(int64_t control);
  static void set_font_style(int64_t control, const std::string& letters);
  static void set_font_name(int64_t control, const std::string& name);
  // Rounded to a whole number of points, ties to even; a size that rounds
  // to 0 or less (NaN included) leaves the font as it is.
  static void set_font_size(int64_t control, double size);
};

}  // namespace brek
