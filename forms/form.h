#pragma once
// C_Form: the window of the toolkit and the base class of every window. A
// form is built in code: init creates the native window, then the creator
// adds named columns and puts controls into the current column. Events
// reach it through event_begin / event_end (the queue, forms/event_queue.cpp)
// and the virtual handlers below, which subclasses override. Every
// operation that needs the native window does nothing (or answers 0, "" or
// the empty rectangle) while there is none.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "forms/control.h"
#include "forms/event_kind.h"
#include "forms/event_queue.h"
#include "forms/form_types.h"
#include "forms/placement.h"
#include "forms/screen.h"
#include "runtime/dyn_array.h"
#include "runtime/object.h"

namespace brek {

// What the native window reported last: pointer, wheel, drop point and the
// marks the routing keeps per window.
struct Form_input_state {
  uint8_t hidden_by_program = 0;
  uint8_t route_to_control = 0;
  uint8_t shown_once = 0;
  point pointer;
  point pointer_copy;
  uint8_t button = 0;  // button_mouse
  double wheel_amount = 0;
  double wheel_extra = 0;
  int64_t wheel_ticks = 0;
  int64_t mouse_up_ticks = 0;
  point mouse_up_point;
  point drop_point;
  uint8_t shutdown_pending = 0;
  uint8_t closing_by_program = 0;  // the program's own close is under way
};

class C_Long_operation;

class C_Form : public Brek_object {
  BREK_CLASS(C_Form)
 public:
  C_Form();
  ~C_Form() override;

  // ---- fields ----
  DynAObj<C_Control> controls;
  int64_t native = 0;
  Weak<C_Screen> screen;  // weak: the screen's list holds the form
  uint8_t creating = 0;
  std::string caption;
  uint8_t border_kind = 0;
  uint8_t bevel = 0;
  uint8_t colors_set = 0;
  int64_t colors[2] = {0, 0};  // foreground, background
  rect bounds;
  double want_width = 0;
  double want_height = 0;
  reason_closing close_reason = reason_closing::USER;
  uint8_t hidden_by_program = 0;
  uint8_t closed = 0;
  Ref<C_Form> modal_child;
  std::string menu_key;
  DynAInt column_handles;
  DynAStr column_names;
  DynAByte column_layouts;
  Ref<C_Control> default_button;
  Ref<C_Control> cancel_button;
  double wheel_amount = 0;  // set by a subclass; 0: the native amount
  St_key_info__C_Form key_info;
  int64_t select_count = 0;
  uint8_t destroying = 0;
  int64_t event_depth = 0;
  uint8_t layout_after_event = 0;
  int64_t update_count = 0;
  uint8_t layout_pending = 0;
  DynAObj<C_Control> layout_lists[2];
  uint8_t track_busy = 1;
  int64_t busy_count = 0;
  std::string queue_policy = QUEUE_POLICY;
  int32_t current_kind = 0;
  std::string busy_control_name;
  std::vector<Weak<C_Control>> saved_controls;
  DynAByte saved_kinds;
  DynArray<St_event_q__C_Form> event_queue;
  DynArray<St_event_q__C_Form> dispatch_list;
  uint8_t placed = 0;
  // A stored placement applied without the frame (load_placement).
  uint8_t refit_when_framed = 0;
  Placement::Stored_window refit_stored;
  int64_t process_depth = 0;
  Weak<C_Form> owner;  // weak: an owner usually keeps its dialog
  // A dialog's result: given once per modal run (forms/dialog.h).
  uint8_t result_set = 0;
  std::string result_text;
  point message_size;
  Form_input_state input;  // kept by the event routing
  std::string current_column;
  // Per column, parallel to column_handles: the size request that made it,
  // its host column's handle (0: none) and its controls layout.
  DynArray<St_sizes_col__C_Form> column_sizes;
  DynAInt column_hosts;
  DynAByte column_controls;
  // Set while the columns are realigned after one was shown or hidden:
  // labels and push buttons of rows are sized to their text first.
  uint8_t size_captions = 0;

  // ---- object model ----
  // Creates the native window and joins the screen's forms.
  void init() override;
  // destroy_native, then the object's own teardown.
  void destroy_hook() override;

  // ---- virtual operations ----
  virtual bool is_dialog() { return false; }
  // Asks the native window to close unless a modal dialog is open over it.
  virtual void close_window();
  virtual void on_command_line() {}
  // Whether the form takes dropped files.
  virtual bool accept_drop() { return false; }
  virtual void on_activate() {}
  // Counterpart of on_activate when the window loses activation.
  virtual void on_deactivate() {}
  virtual void show();
  virtual void hide_window();
  virtual void on_shown() {}
  // false lets the close go ahead.
  virtual bool on_close_query() { return false; }
  // The window was closed: leaves the screen's forms.
  virtual void close();
  virtual void on_menu_item() {}
  virtual void on_click() {}
  virtual void on_mouse_move() {}
  virtual void on_mouse_down() {}
  virtual void on_mouse_up() {}
  virtual void on_double_click() {}
  // true: the wheel turn is consumed.
  virtual bool on_wheel() { return false; }
  virtual void on_enter() {}
  virtual void on_exit() {}
  virtual void on_paint() {}
  virtual void on_control_click() {}
  // true: the key is consumed.
  virtual bool on_key_down() { return false; }
  virtual void on_key_up() {}
  virtual void on_key_press() {}
  virtual void on_timer() {}
  virtual void on_moved() {}
  virtual void on_resized() {}
  virtual void on_change() {}
  virtual void on_select() {}
  // Asked for each control with a computed enabled state; true disables it.
  virtual bool control_query() { return false; }
  // Asked for each control with a computed hidden state; true hides it.
  virtual bool control_hidden_query() { return false; }
  // Ends a dialog's modal run with the result text (forms/dialog.h).
  virtual void close_with(const std::string& result) {}
  // Runs a dialog modally over owner and returns its result text; plain
  // forms are no dialogs and answer "".
  virtual std::string show_modal(const Ref<C_Form>& owner) { return {}; }
  virtual void control_notify() {}
  // A dialog whose modal loop runs is let go at once when it closes.
  virtual bool in_modal_loop() { return false; }
  void on_scrolled() {}

  // ---- events (forms/event_queue.cpp) ----
  // Opens an event of the given kind from sender (a control, or the form
  // itself / nullptr when the event has no control). true: the event runs
  // now, and the caller runs its handler and then event_end. false: the
  // event was queued (or dropped as a duplicate) and is dispatched by a
  // later event_end; the caller does nothing more.
  bool event_begin(event_kind kind, Brek_object* sender, const Event_extra& extra = {});
  // Closes an event that event_begin let run, dispatching what was queued
  // meanwhile, oldest first. An exception of a dispatched handler passes on
  // after every entry was dispatched and the event was closed.
  void event_end(event_kind kind = event_kind::CLICK);
  // A timer switched off from inside its own TIMER handler lets the gated
  // pointer and key events through again.
  void timer_event_adjust();
  // The control of the event being handled (the None control for none).
  Ref<C_Control> current_control() const { return current_control_.lock(); }
  void set_current_control(const Ref<C_Control>& control);
  // Its name, or menu_key when that name is empty.
  std::string event_control_name() const;

  // ---- native window ----
  int64_t native_handle() const { return native; }
  std::string get_caption();
  void set_caption(const std::string& text);
  void set_border_kind(uint8_t kind);
  void set_bevel(uint8_t value);
  // 0 opaque ... 1 invisible; see C_Brek_form::transparency_alpha.
  void set_transparency(double value);
  void set_colors(int64_t foreground, int64_t background);
  rect get_bounds();
  void set_bounds(const rect& r);
  double get_left();
  double get_top();
  double get_width();
  double get_height();
  void set_left(double left);
  void set_top(double top);
  void set_width(double width);
  void set_height(double height);
  void set_min_size(double width, double height);
  double get_client_width();
  double get_client_height();
  point client_origin();
  void set_client_size(double height, double width);
  bool is_visible();
  bool is_closed();
  int get_window_state();
  void set_window_state(state_of_form state);

  // ---- placement (forms/placement.cpp) ----
  // Moves the window: as it stands, centred on the work area of the monitor
  // it shares most with, or kept inside that work area. Marks it placed.
  void set_position(positioning mode, double top, double left);
  // Outer size; a width or height <= 0 keeps the current one. Fitting to
  // the display moves the window back onto its monitor; fitting to the
  // desktop cuts the size to the monitors. Stores want_width/want_height.
  void set_size(sizing_options mode, double height, double width);
  // The same for the client size (the frame as the window has it now).
  void set_client_size(sizing_options mode, double height, double width);
  // Writes "Width", "Height", "Left", "Top" (and here "CWidth", "CHeight";
  // Placement::Window_rects names the rectangles) as the what-string's
  // letters ask; nothing for a minimized or maximized window, nor, without
  // "A", for one that is being created, not placed or not visible.
  void save_placement(const std::string& application, const std::string& section, const std::string& what = "");
  // Reads them back and applies them; the window ends on a monitor, a
  // stored place and size cut to the monitor the window lands on, frame
  // included. true when a place (Left and Top) was stored. Where the
  // manager tells the frame only once it framed the window, the placement
  // is made again then (refit_framed: as show() returns, or once a manager
  // that frames late framed the shown window).
  bool load_placement(const std::string& application, const std::string& section, const std::string& what = "");
  // The stored placement applied again now that the frame of the shown
  // window is known, when load_placement had to do without it.
  void refit_framed();
  // A form without a place of its own opens centred on the work area of
  // the monitor that other is on (cut to it).
  void center_on_monitor_of(const Ref<C_Form>& other);
  // A shown form that is no longer wholly on the monitors (one went)
  // comes wholly onto one; a maximized or minimized one is the platform's.
  void keep_on_monitors();
  // Full screen by the window manager over the monitor given (outer
  // rectangle, points; the window moves wholly onto it first, so that the
  // manager takes that one), or back: true when a manager did it, the
  // border kind then 1 while full screen. false where none does (nothing
  // changed).
  bool set_full_screen(bool on, const rect& monitor);

  // ---- screen ----
  // The screen's long-operation window, made on first use
  // (forms/long_operation.cpp).
  Ref<C_Long_operation> long_operation();
  void message(const std::string& text);
  bool ask(const std::string& text);
  void popup_menu(const std::string& menu_text);

  // ---- columns ----
  // Adds a named column and makes it current.
  void new_column(const std::string& name, layout_on_form layout, const St_sizes_col__C_Form& sizes);
  // An unnamed column with the default size, when a control comes first.
  void ensure_column();
  void set_current_column(const std::string& name);
  // Handle of a named column, 0 when there is none.
  int64_t column_handle(const std::string& name) const;
  // layout_on_form of a named column (CENTER when there is none).
  layout_on_form column_layout(const std::string& name) const;
  bool column_shown(const std::string& name);
  void set_column_shown(const std::string& name, bool shown);
  controls_layout get_controls_layout(const std::string& name) const;
  // Relayouts the form.
  void set_controls_layout(const std::string& name, controls_layout layout);
  // Size of a named column's panel, points; the setters relayout the form.
  double get_column_width(const std::string& name);
  double get_column_height(const std::string& name);
  void set_column_width(const std::string& name, double points);
  void set_column_height(const std::string& name, double points);

  // Font of an object: the screen's default font for new windows, or a
  // control's font (its size rounded to a whole number, ties to even).
  void set_font(const Ref<Brek_object>& object, const std::string& name, double size);

  // ---- focus and buttons ----
  Ref<C_Control> active_control();
  void set_focus(const Ref<C_Control>& control);
  void set_default_button(const Ref<C_Control>& button);
  void set_cancel_button(const Ref<C_Control>& button);

  // ---- pointer ----
  point mouse_position() const { return input.pointer; }
  uint8_t mouse_buttons() const { return input.button; }
  point drop_point() const { return input.drop_point; }
  point cursor_position();
  double wheel_delta() const { return wheel_amount != 0 ? wheel_amount : input.wheel_amount; }

  // ---- layout ----
  // select_count += 1, on_select, then the layout.
  void request_relayout();
  // Runs the layout now, or marks it due: during a batch (layout_pending),
  // or inside an event (layout_after_event).
  void relayout();
  bool updates_suspended() const { return destroying != 0 || relayout_running_; }
  void begin_update();
  void end_update();
  // Places the columns in the form's client area, then the controls in
  // each column; a call while one runs returns at once.
  void realign_columns();
  // Places the columns in a client area of width x height pixels and
  // arranges the controls of each one placed.
  void arrange(int64_t width, int64_t height);
  // Arranges the controls of one column unless that column is being
  // arranged already.
  void realign_column(int64_t column);
  // Arranges a column's controls, a second time when the first pass applied
  // any, so that it works with the sizes the first one gave them.
  void measure_column(int64_t column);

  // Lets pending native events run once; nested calls return at once.
  void process_messages();

 protected:
  // Everything the form holds is released; the native window goes first.
  void destroy_native();

 private:
  friend class C_Brek_form;
  void dispatch_entry(const St_event_q__C_Form& entry);
  // Arranges one column's controls; true when it moved or sized one.
  bool arrange_column(int64_t column);
  void move_queue_to_dispatch();

  // Disabled and hidden states of the controls that ask the form for them.
  void apply_control_queries();
  // A new column panel's start size: its size request, a band 28 points high.
  void size_new_column(int64_t column, layout_on_form layout, double size);
  // Applies a stored placement with the frame as it is known now
  // (forms/placement.cpp); true when it held a place.
  bool apply_placement(const Placement::Stored_window& st);

  Weak<C_Control> current_control_;
  std::vector<int64_t> saved_depths_;  // depth before each open event
  bool relayout_running_ = false;
  bool realigning_ = false;
  std::vector<int64_t> columns_arranging_;
  uint64_t next_event_id_ = 0;
};

// Makes a control the form's current event control for the lifetime of the
// scope; the control that was current comes back however the scope ends.
class Current_control_scope {
 public:
  Current_control_scope(const Ref<C_Form>& form, const Ref<C_Control>& control);
  ~Current_control_scope();
  Current_control_scope(const Current_control_scope&) = delete;
  Current_control_scope& operator=(const Current_control_scope&) = delete;

 private:
  Ref<C_Form> form_;
  Ref<C_Control> saved_;
};

}  // namespace brek
