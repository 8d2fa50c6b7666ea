#include "forms/event_routing.h"

#include <cstdlib>
#include <exception>

#include "baselib/system_functions.h"
#include "forms/form.h"
#include "forms/form_bridge.h"
#include "runtime/clock.h"
#include "runtime/exceptions.h"
#include "runtime/runtime_services.h"

namespace brek::Event_routing {

namespace {

// One per process, like the native layer it stands for.
struct Routing_state {
  int64_t wheel_acc = 0;
  int64_t wheel_acc_x = 0;
  Weak<C_Form> wheel_form;  // where folded turns wait
  point wheel_at;
  bool key_down_running = false;
  bool double_click_pending = false;
  uint8_t last_down_shift = 0;
  Weak<C_Control> last_down_control;
  int64_t last_double_click_ticks = 0;
  bool activating = false;
  bool control_resizing = false;
  bool terminating = false;
};

// Never destroyed: it holds references, which must not outlive the
// thread's handle pool.
Routing_state& state() {
  static auto* s = new Routing_state();
  return *s;
}

// Sets a flag for the lifetime of the scope and restores its old value.
class Flag_scope {
 public:
  explicit Flag_scope(bool& flag) : flag_(flag), old_(flag) { flag_ = true; }
  ~Flag_scope() { flag_ = old_; }
  Flag_scope(const Flag_scope&) = delete;
  Flag_scope& operator=(const Flag_scope&) = delete;

 private:
  bool& flag_;
  bool old_;
};

Brek_object* sender_of(const Ref<C_Control>& control) {
  return control.is_none() ? nullptr : control.get();
}

void record_pointer(const Ref<C_Form>& form, const Pointer& p, bool button_event) {
  form->input.pointer = p.at;
  form->input.pointer_copy = p.at;
  if (button_event) form->input.button = static_cast<uint8_t>(p.button);
}

Event_extra pointer_extra(const Pointer& p) {
  Event_extra x;
  x.x = p.at_control.x;
  x.y = p.at_control.y;
  x.button = static_cast<uint8_t>(p.button);
  x.shift = p.shift;
  return x;
}

void first_chance(const Ref<C_Control>& c, event_kind kind, const Pointer& p) {
  double x = p.at_control.x;
  double y = p.at_control.y;
  switch (kind) {
    case event_kind::MOUSE_MOVE: c->on_mouse_move(x, y, p.button, p.shift); break;
    case event_kind::MOUSE_DOWN: c->on_mouse_down(x, y, p.button, p.shift); break;
    case event_kind::MOUSE_UP: c->on_mouse_up(x, y, p.button, p.shift); break;
    default: c->on_double_click(x, y, p.button, p.shift); break;
  }
}

void form_pointer_handler(const Ref<C_Form>& form, event_kind kind) {
  switch (kind) {
    case event_kind::MOUSE_MOVE: form->on_mouse_move(); break;
    case event_kind::MOUSE_DOWN: form->on_mouse_down(); break;
    case event_kind::MOUSE_UP: form->on_mouse_up(); break;
    default: form->on_double_click(); break;
  }
}

// The control under the pointer first; the form unless the control took it.
void pointer_event(const Ref<C_Form>& form, const Ref<C_Control>& control, event_kind kind, const Pointer& p) {
  Event_extra x = pointer_extra(p);
  if (!control.is_none()) {
    bool ran;
    {
      Form_input_state& in = form->input;
      in.route_to_control = 1;
      struct Clear {
        Form_input_state& in;
        ~Clear() { in.route_to_control = 0; }
      } clear{in};
      control->handled = 0;
      ran = bracket(form, kind, control.get(), [&] { first_chance(control, kind, p); }, true, x);
    }
    // A queued event gives the control its chance when it is dispatched.
    if (!ran || control->handled) return;
  }
  bracket(form, kind, sender_of(control), [&] { form_pointer_handler(form, kind); }, true, x);
}

bool deliver_wheel(const Ref<C_Form>& form) {
  Routing_state& s = state();
  form->input.wheel_ticks = Brek_runtime::tick_count_ms();
  form->input.pointer = s.wheel_at;
  form->input.pointer_copy = s.wheel_at;
  double amount = static_cast<double>(s.wheel_acc) / 2.0 / 240.0;
  double amount_x = static_cast<double>(s.wheel_acc_x) / 2.0 / 240.0;
  s.wheel_acc = 0;
  s.wheel_acc_x = 0;
  s.wheel_form.reset();
  form->input.wheel_amount = amount;
  form->input.wheel_extra = amount_x;

  Event_extra x;
  x.amount = amount;
  x.amount_x = amount_x;
  Ref<C_Control> control = C_Brek_form::active_control(form->native);
  if (!control.is_none()) {
    control->handled = 0;
    // Queued: the dispatch delivers the whole turn, so it counts as taken.
    if (!bracket(form, event_kind::MOUSE_WHEEL, control.get(), [&] { control->on_wheel(amount); }, true, x))
      return true;
  }
  bool handled = false;
  if (!bracket(form, event_kind::MOUSE_WHEEL, sender_of(control), [&] { handled = form->on_wheel(); }, true, x))
    return true;
  return handled;
}

void append_utf8(std::string& out, uint32_t cp) {
  if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace

bool bracket(const Ref<C_Form>& form, event_kind kind, Brek_object* sender, const std::function<void()>& handler,
             bool guarded, const Event_extra& extra) {
  Ref<C_Form> keep = form;
  if (!keep->event_begin(kind, sender, extra)) return false;
  std::exception_ptr pending;
  auto take = [&](const std::exception_ptr& e, bool brek_kind) {
    if (pending) return;
    if (brek_kind || !guarded) {
      pending = e;
      return;
    }
    // Not one of the program's own: recorded and dropped.
    try {
      std::rethrow_exception(e);
    } catch (const std::exception& x) {
      Brek_runtime::log_exception(x);
    } catch (...) {
      Brek_runtime::log_exception_text("unknown exception");
    }
  };
  try {
    handler();
  } catch (const Brek_Exception&) {
    take(std::current_exception(), true);
  } catch (...) {
    take(std::current_exception(), false);
  }
  try {
    keep->event_end(kind);
  } catch (const Brek_Exception&) {
    take(std::current_exception(), true);
  } catch (...) {
    take(std::current_exception(), false);
  }
  if (pending) std::rethrow_exception(pending);
  return true;
}

// ---- pointer ----

void click(const Ref<C_Form>& form, const Ref<C_Control>& control, point at) {
  if (form.is_none() || form->event_depth > 2) return;
  form->input.pointer = at;
  form->input.pointer_copy = at;
  bracket(form, event_kind::CLICK, sender_of(control), [&] { form->on_click(); });
}

void mouse_move(const Ref<C_Form>& form, const Ref<C_Control>& control, const Pointer& p) {
  if (form.is_none()) return;
  record_pointer(form, p, false);
  pointer_event(form, control, event_kind::MOUSE_MOVE, p);
}

void double_click_pending() { state().double_click_pending = true; }

void mouse_down(const Ref<C_Form>& form, const Ref<C_Control>& control, const Pointer& p) {
  Routing_state& s = state();
  bool double_click = s.double_click_pending;
  s.double_click_pending = false;
  if (form.is_none()) return;
  record_pointer(form, p, true);
  s.last_down_control = control;
  s.last_down_shift = p.shift;
  if (form->event_depth <= 1) pointer_event(form, control, event_kind::MOUSE_DOWN, p);
  // The double click has a gate of its own: it still arrives inside a click.
  if (double_click && form->event_depth <= 2) {
    pointer_event(form, control, event_kind::MOUSE_DOUBLE_CLICK, p);
    s.last_double_click_ticks = Brek_runtime::tick_count_ms();
  }
}

void mouse_up(const Ref<C_Form>& form, const Ref<C_Control>& control, const Pointer& p) {
  if (form.is_none()) return;
  record_pointer(form, p, true);
  form->input.mouse_up_ticks = Brek_runtime::tick_count_ms();
  form->input.mouse_up_point = p.at;
  if (form->event_depth > 1) return;
  pointer_event(form, control, event_kind::MOUSE_UP, p);
  // The platform clicks for the left button only.
  if (!control.is_none() && (p.button == button_mouse::RMB || p.button == button_mouse::MMB))
    click(form, control, p.at);
}

Wheel_result wheel(const Ref<C_Form>& form, int delta, int delta_x, point at) {
  Wheel_result r;
  if (form.is_none()) return r;
  Routing_state& s = state();
  if (s.wheel_form.get() != form.get() && (s.wheel_acc != 0 || s.wheel_acc_x != 0)) {
    // Turns left over for another window are delivered there first.
    Ref<C_Form> other = s.wheel_form.lock();
    if (!other.is_none()) {
      deliver_wheel(other);
    } else {
      s.wheel_acc = 0;
      s.wheel_acc_x = 0;
    }
  }
  s.wheel_acc += delta;
  s.wheel_acc_x += delta_x;
  s.wheel_form = form;
  s.wheel_at = at;
  int64_t elapsed = std::llabs(Brek_runtime::tick_count_ms() - form->input.wheel_ticks);
  if (elapsed < WHEEL_FOLD_MS) {
    r.flush_after_ms = static_cast<int>(WHEEL_FOLD_MS - elapsed);
    return r;
  }
  r.handled = deliver_wheel(form);
  return r;
}

bool wheel_flush(const Ref<C_Form>& form) {
  Routing_state& s = state();
  if (s.wheel_acc == 0 && s.wheel_acc_x == 0) return false;
  Ref<C_Form> target = s.wheel_form.lock();
  if (target.is_none()) target = form;
  if (target.is_none()) return false;
  return deliver_wheel(target);
}

// ---- keys ----

std::string virtual_key_text(int64_t& code) {
  if ((code >= 'A' && code <= 'Z') || (code >= '0' && code <= '9') || code == 8 || code == 13 || code == 32)
    return std::string(1, static_cast<char>(code));
  const char* text = nullptr;
  switch (code) {
    case 186: case 58: text = ";"; break;
    case 188: case 60: text = "<"; break;
    case 190: case 62: text = ">"; break;
    case 191: case 63: text = "/"; break;
    case 192: case 64: text = "~"; break;
    case 219: case 91: text = "["; break;
    case 220: case 92: text = "\\"; break;
    case 221: case 93: text = "]"; break;
    case 222: case 94: text = "'"; break;
    default: return {};
  }
  code = 0;
  return text;
}

St_key_info__C_Form key_info_from_virtual_key(int64_t vk, const Key_modifiers& mods) {
  St_key_info__C_Form k;
  int64_t code = vk;
  k.key_text = virtual_key_text(code);
  k.key_code = code & 0xFF;
  if (mods.typed >= 0x20 && mods.typed != 0x7F) append_utf8(k.key_char, mods.typed);
  k.toggled = mods.toggled;
  k.shift = mods.shift;
  k.ctrl = mods.ctrl;
  k.alt = mods.alt;
  k.win = mods.win;
  return k;
}

St_key_info__C_Form key_info_from_char(uint32_t ch, const Key_modifiers& mods) {
  St_key_info__C_Form k;
  k.key_code = ch;
  append_utf8(k.key_text, ch);
  k.shift = mods.shift;
  k.ctrl = mods.ctrl;
  k.alt = mods.alt;
  k.win = mods.win;
  // AltGr arrives as the left Ctrl with the right Alt: it is not a Ctrl.
  if (mods.ctrl && mods.alt && mods.left_ctrl && mods.right_alt) k.ctrl = 0;
  return k;
}

bool numeric_char_allowed(uint32_t ch) {
  return (ch >= '0' && ch <= '9') || ch == '.' || ch == ',' || ch == '+' || ch == '-' || ch == 8 || ch == 9 ||
         ch == 13 || ch == 27;
}

bool key_down(const Ref<C_Form>& form, const Ref<C_Control>& control, int64_t vk, const Key_modifiers& mods) {
  if (form.is_none()) return false;
  Routing_state& s = state();
  if (!control.is_none()) {
    if (s.key_down_running) return false;  // passed on untouched
  } else if (form->event_depth >= 2) {
    return true;
  }
  Flag_scope running(s.key_down_running);
  form->key_info = key_info_from_virtual_key(vk, mods);
  bool handled = false;
  bracket(form, event_kind::KEY_DOWN, sender_of(control), [&] { handled = form->on_key_down(); });
  return handled || form->key_info.swallow != 0;
}

bool key_up(const Ref<C_Form>& form, const Ref<C_Control>& control, int64_t vk, const Key_modifiers& mods) {
  if (form.is_none()) return false;
  if (!control.is_none() && form->event_depth >= 2) return true;
  form->key_info = key_info_from_virtual_key(vk, mods);
  bracket(form, event_kind::KEY_UP, sender_of(control), [&] { form->on_key_up(); });
  return true;
}

uint32_t key_press(const Ref<C_Form>& form, const Ref<C_Control>& control, uint32_t ch, const Key_modifiers& mods) {
  if (form.is_none()) return ch;
  form->key_info = key_info_from_char(ch, mods);
  if (!control.is_none() && control->numeric_only() && !numeric_char_allowed(ch)) ch = 0;
  bracket(form, event_kind::KEY_PRESS, sender_of(control), [&] { form->on_key_press(); });
  return ch;
}

// ---- window ----

bool close_query(const Ref<C_Form>& form) {
  if (form.is_none() || form->destroying) return true;
  // The user's close box reaches a form inside a handler of its own only
  // when the handler lets messages run (a long operation): closing the
  // form under it would leave its work running without the form. The user
  // stops the work with the long-operation window's Cancel; the program's
  // own close and the session's end go ahead.
  const Form_input_state& in = form->input;
  if (form->event_depth > 0 && !in.closing_by_program && !in.shutdown_pending) return false;
  if (form->in_modal_loop()) return true;
  form->close_reason = form->input.shutdown_pending ? reason_closing::SHUTDOWN : reason_closing::PROGRAM;
  form->input.shutdown_pending = 0;
  bool keep_open = false;
  bracket(form, event_kind::CLOSING, nullptr, [&] { keep_open = form->on_close_query(); });
  bool allowed = !keep_open;
  if (allowed && !form->is_dialog()) form->closed = 1;
  return allowed;
}

bool closed(const Ref<C_Form>& form) {
  if (form.is_none() || form->destroying) return true;
  if (form->in_modal_loop()) {
    Ref<C_Form> owner = form->owner.lock();
    if (owner->modal_child.get() == form.get()) owner->modal_child.reset();
    if (form->screen.lock()->main_form.get() != form.get()) return false;
  }
  // The native form is freed after the handler, whatever it raised.
  struct Forget {
    const Ref<C_Form>& form;
    ~Forget() {
      int64_t h = form->native;
      form->native = 0;
      C_Brek_form::forget_form(h);
    }
  } forget{form};
  bracket(form, event_kind::CLOSED, nullptr, [&] { form->close(); });
  return true;
}

void session_ending(const Ref<C_Form>& form) {
  if (!form.is_none()) form->input.shutdown_pending = 1;
}

void activated(const Ref<C_Form>& form, bool active) {
  Routing_state& s = state();
  if (form.is_none() || s.activating) return;
  Flag_scope running(s.activating);
  Event_extra x;
  x.flag = active;
  bracket(
      form, event_kind::ACTIVATED, nullptr,
      [&] {
        if (active)
          form->on_activate();
        else
          form->on_deactivate();
      },
      true, x);
}

void shown(const Ref<C_Form>& form) {
  if (form.is_none()) return;
  form->input.shown_once = 1;
  if (form->native != 0 && (form->want_width > 0 || form->want_height > 0)) {
    double w = form->want_width > 0 ? form->want_width : form->get_width();
    double h = form->want_height > 0 ? form->want_height : form->get_height();
    C_Brek_form::set_size(form->native, w, h);
  }
  {
    form->update_count += 1;
    struct Lower {
      const Ref<C_Form>& form;
      ~Lower() { form->update_count -= 1; }
    } lower{form};
    for (int64_t i = 0; i < form->column_handles.count(); ++i) form->measure_column(form->column_handles.get(i));
  }
  // A size given while the window was hidden (a restored placement) came
  // before the show and was not reported: the columns follow it now.
  form->realign_columns();
}

void resized(const Ref<C_Form>& form) {
  if (form.is_none() || !form->input.shown_once) return;
  form->realign_columns();
  bracket(form, event_kind::RESIZE, nullptr, [&] { form->on_resized(); });
}

void control_resized(const Ref<C_Form>& form, const Ref<C_Control>& control) {
  Routing_state& s = state();
  if (form.is_none() || control.is_none()) return;
  if (form->native == 0 || form->update_count > 0 || s.control_resizing) return;
  Flag_scope running(s.control_resizing);
  bracket(form, event_kind::RESIZE, control.get(), [&] { control->on_resize(); });
}

void moved(const Ref<C_Form>& form) {
  if (form.is_none() || form->creating) return;
  bracket(form, event_kind::MOVED, nullptr, [&] { form->on_moved(); });
}

// ---- controls ----

void value_changed(const Ref<C_Form>& form, const Ref<C_Control>& control) {
  if (form.is_none()) return;
  // The control takes its new state first, even when the event waits.
  control->native_value_changed();
  if (bracket(form, event_kind::VALUE_CHANGE, sender_of(control), [&] { form->on_change(); })) form->relayout();
}

void selection_changed(const Ref<C_Form>& form, const Ref<C_Control>& control) {
  if (form.is_none()) return;
  bracket(form, event_kind::SELECTION_CHANGE, sender_of(control), [&] { form->request_relayout(); });
}

void focus(const Ref<C_Form>& form, const Ref<C_Control>& control, bool entering) {
  if (form.is_none()) return;
  Event_extra x;
  x.flag = entering;
  bool ran = bracket(
      form, event_kind::KEYBOARD_FOCUS, sender_of(control),
      [&] {
        if (entering)
          form->on_enter();
        else
          form->on_exit();
      },
      true, x);
  if (ran) form->relayout();
}

void timer(const Ref<C_Form>& form, const Ref<C_Control>& timer_control) {
  if (form.is_none()) return;
  bracket(form, event_kind::TIMER, sender_of(timer_control), [&] {
    if (!state().terminating) form->on_timer();
  });
}

void animation(const Ref<C_Form>& form, const Ref<C_Control>& control) {
  if (form.is_none()) return;
  bracket(form, event_kind::ANIMATION, sender_of(control), [&] { control->on_animation_tick(); });
}

void menu_chosen(const Ref<C_Form>& form, const std::string& key) {
  if (form.is_none()) return;
  struct Restore {
    const Ref<C_Form>& form;
    std::string saved;
    ~Restore() { form->menu_key = saved; }
  } restore{form, form->menu_key};
  form->menu_key = key;
  bracket(form, event_kind::MENU, nullptr, [&] { form->on_menu_item(); });
}

void files_dropped(const Ref<C_Form>& form, const std::vector<std::string>& names, point at) {
  if (form.is_none()) return;
  form->input.drop_point = at;
  form->input.pointer = at;
  form->input.pointer_copy = at;
  bracket(
      form, event_kind::COMMAND, nullptr,
      [&] {
        // A form that refuses the drop leaves the command line as it was.
        if (!form->accept_drop()) return;
        std::vector<std::string> params;
        params.push_back(System_functions::param_str(0));
        params.insert(params.end(), names.begin(), names.end());
        System_functions::set_parameters(params);
        form->on_command_line();
      },
      false);
}

// ---- process-wide state ----

bool key_down_running() { return state().key_down_running; }
void set_key_down_running(bool running) { state().key_down_running = running; }
void set_terminating(bool terminating) { state().terminating = terminating; }

void reset_state() { state() = Routing_state(); }

}  // namespace brek::Event_routing
