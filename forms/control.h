#pragma once
// Base of every control a form holds. This is the part the form and the
// event routing rely on: the owning form, the name, the native handle, the
// column, the wanted size, the colours, the handled flag of pointer events
// and the first-chance handlers, which see pointer events before the form.

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
  double want_width = 0;
  double want_height = 0;
  uint8_t can_stretch = 0;
  uint8_t stretch = 0;
  int64_t font_color = -1;
  int64_t color = -2;
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

  // Subclasses create their native control here and store its handle.
  virtual void create_native() {}
  // Timers and pickers take no room in a column.
  virtual bool is_visual() { return true; }
  // Edits that accept only numbers filter typed characters.
  virtual bool numeric_only() { return false; }

  // First-chance pointer handlers: position in points relative to the
  // control, the button and the shift-state bits. Set handled to keep the
  // event from the form.
  virtual void on_mouse_move(double x, double y, button_mouse button, uint8_t shift) {}
  virtual void on_mouse_down(double x, double y, button_mouse button, uint8_t shift) {}
  virtual void on_mouse_up(double x, double y, button_mouse button, uint8_t shift) {}
  virtual void on_double_click(double x, double y, button_mouse button, uint8_t shift) {}
  // The control's wheel hook, before the form's on_wheel.
  virtual void on_wheel(double amount) {}
  // Tick of the control's animation timer.
  virtual void on_animation_tick() {}
  // The control got the focus through its form's set_focus.
  virtual void on_focus_set() {}
  // The native control was resized.
  virtual void on_resize() {}

  // Makes control the form's current event control (unless the form is None).
  void set_as_current(const Ref<C_Control>& control);
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
