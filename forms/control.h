#pragma once
// Base of every control a form holds: the owning form, the name, the native
// handle, the column, the wanted size, the colours, the stretch request, the
// handled flag of pointer events and the first-chance handlers, which see
// pointer events before the form. Geometry, text, font and colour go to the
// native control (forms/control_bridge.h); every change that can alter the
// layout asks the form for a relayout at once.

#include <cstdint>
#include <string>

#include "forms/form_types.h"
#include "runtime/object.h"

namespace brek {

class C_Form;

class C_Control : public Brek_object {
  BREK_CLASS(C_Control)
 public:
  C_Control() = default;

  Weak<C_Form> form;
  std::string name;
  int64_t native = 0;
  std::string column;  // the form's current column when the control was made
  rect frame;
  double want_width = 0;   // points; 0: as measured
  double want_height = 0;
  // The width a row short of room took from the control (what it had, and
  // what it was left with), so that a row given room again gives it back.
  double row_width_had = 0, row_width_left = 0;
  uint8_t can_stretch = 0;  // the kind may take the rest of its column
  uint8_t stretch = 0;      // the creator asked it to
  int64_t font_color = -1;  // -1: the native default
  int64_t color = -2;       // -2: the native default
  uint8_t color_set = 0;
  // Set by a first-chance pointer handler that consumed the event; cleared
  // by the event routing before each first-chance call.
  uint8_t handled = 0;

  // Sets the owner (unless it is the None form) and the name; call before
  // init, as make<T>(...) does: make_on<T>(form, name) below.
  void attach(const Ref<C_Form>& owner, const std::string& control_name);

  // Puts the control at the end of its form's controls, takes the form's
  // current column and creates the native control.
  void init() override;
  // Leaves the form's controls and destroys the native control.
  void destroy_hook() override;

  // ---- virtual operations ----
  // Subclasses create their native control here and store its handle.
  virtual void create_native() {}
  // Timers and pickers take no room in a column.
  virtual bool is_visual() { return true; }
  virtual double get_width();
  virtual double get_height();
  virtual double get_client_width();
  virtual double get_client_height();
  // On the form: the column's place plus the place inside the column.
  virtual rect get_bounds();
  virtual std::string get_value_text() { return {}; }
  virtual void set_value_text(const std::string& text) {}
  virtual void set_all_text(const std::string& text) {}
  virtual std::string get_native_text();
  virtual void set_text(const std::string& text);
  virtual std::string get_line(int64_t index) { return {}; }
  virtual void set_line(int64_t index, const std::string& text) {}
  virtual int64_t line_count() { return 0; }
  virtual void clear();
  virtual void set_font_color(int64_t colour);
  virtual void set_color(int64_t colour);
  // First-chance pointer handlers: position in points relative to the
  // control, the button and the shift-state bits. Set handled to keep the
  // event from the form.
  virtual void on_mouse_move(double x, double y, button_mouse button, uint8_t shift) {}
  virtual void on_mouse_down(double x, double y, button_mouse button, uint8_t shift) {}
  virtual void on_mouse_up(double x, double y, button_mouse button, uint8_t shift) {}
  virtual void on_double_click(double x, double y, button_mouse button, uint8_t shift) {}
  // Tick of the control's animation timer.
  virtual void on_animation_tick() {}
  virtual void repaint() {}
  // The control got the focus through its form's set_focus.
  virtual void on_focus_set() {}
  virtual void begin_update() {}
  virtual void end_update() {}
  // The native control was resized.
  virtual void on_resize() {}

  // The control's wheel hook, before the form's on_wheel.
  virtual void on_wheel(double amount) {}
  // Edits that accept only numbers filter typed characters.
  virtual bool numeric_only() { return false; }
  // The user changed the native value; runs before the form's VALUE_CHANGE
  // (check boxes of a group uncheck the others here).
  virtual void native_value_changed() {}
  // Kinds the column arrangement treats apart.
  virtual bool is_label() const { return false; }
  virtual bool is_push_button() const { return false; }
  virtual bool is_check_box() const { return false; }
  virtual bool is_glyph_button() const { return false; }

  // ---- operations ----
  double get_left();
  double get_top();
  void set_width(double w);
  void set_height(double h);
  // A width above 0, at most -2 or NaN is wanted and applied; one between
  // -2 and 0 keeps the wanted width and applies the current one. Likewise
  // the height.
  void set_size_request(double w, double h);
  bool is_hidden();
  void set_hidden(bool hidden);
  // Not hidden, and its column is shown.
  bool is_shown();
  bool is_disabled();
  void set_disabled(bool disabled);
  bool is_enabled() { return !is_disabled(); }
  // Kept only for kinds that can stretch.
  void set_stretch(bool flag);
  std::string get_text() { return get_native_text(); }
  // Labels and memos only.
  void set_alignment(text_alignment alignment);
  std::string get_font_name();
  void set_font_name(const std::string& font_name);
  double get_font_size();
  // Rounded to a whole number, ties to even.
  void set_font_size(double size);
  // Letters "B", "I", "U", "S" in that order.
  std::string get_font_style();
  void set_font_style(const std::string& letters);
  // Labels and push buttons follow their caption's width.
  bool autosizes_to_text();
  // The width (points) the control needs to show the text whole: its
  // present width less the room it has for text, plus the text's width.
  double width_for_text(const std::string& text);
  // Runs the form's on_control_click with this control made current.
  void fire_click();
  // When enabled: a CLICK event of this control as if the user clicked it,
  // at its top-left corner in the form's client points.
  void perform_click();
  // Makes control the form's current event control (unless the form is None).
  void set_as_current(const Ref<C_Control>& control);
  uint8_t form_mouse_buttons();
  // Where files were last dropped on the form, relative to this control.
  point drop_point();
  // Starts or re-arms the animation timer when both times are above 0; it
  // ticks until re-armed (C_Timer::start_animation ticks a given count).
  void start_timer(int64_t first_ms, int64_t period_ms);

 protected:
  // The form's relayout, unless one of it is running.
  void relayout_form();
  // Where the control's column places its controls on the form (its left
  // and top, less how far it is scrolled), points.
  point column_origin();
  bool column_visible();
};

// Creates a control of class T on a form: constructs it, sets its form and
// name, then runs init (as make<T> does, with the attachment in between).
template <class T, class... Args>
Ref<T> make_on(const Ref<C_Form>& owner, const std::string& name, Args&&... args) {
  bool in_none = detail::constructing_none();
  if (in_none) detail::end_none();
  T* o = new T(std::forward<Args>(args)...);
  if (in_none) detail::begin_none();
  detail::attach_new(o);
  ++o->handle()->strong;
  Ref<T> r = Ref<T>::adopt(o->handle());
  o->attach(owner, name);
  o->init();
  return r;
}

}  // namespace brek
