// The event bracket of a form: depth, current kind and control, busy
// bookkeeping, and the queue of events that arrive while the form is inside
// another event.

#include <exception>

#include "forms/form.h"
#include "forms/form_bridge.h"
#include "runtime/exceptions.h"
#include "runtime/runtime_services.h"

namespace brek {

namespace {

Ref<C_Control> as_control(Brek_object* sender) {
  return Ref<C_Control>(dynamic_cast<C_Control*>(sender));
}

bool is_pointer_kind(event_kind k) {
  return k == event_kind::MOUSE_MOVE || k == event_kind::MOUSE_DOWN || k == event_kind::MOUSE_UP ||
         k == event_kind::MOUSE_DOUBLE_CLICK;
}

}  // namespace

bool C_Form::event_begin(event_kind kind, Brek_object* sender, const Event_extra& extra) {
  if (is_none()) return true;  // the None form keeps no books
  Ref<C_Form> keep(this);
  if (sender == nullptr) sender = this;
  char letter = policy_letter(queue_policy, kind);

  // An odd depth is an enclosing timer event that stopped its own timer:
  // events are taken at once inside it, as outside any event.
  if (letter != 'i' && letter != 'k' && event_depth > 1) {
    bool wheel = kind == event_kind::MOUSE_WHEEL;
    for (int64_t i = 0; i < dispatch_list.count(); ++i) {
      St_event_q__C_Form* e = dispatch_list.at(i);
      if (!e->same_event(kind, sender)) continue;
      if (!wheel) return false;
      if (!e->taken) {  // the turn joins the one still waiting
        e->extra.amount += extra.amount;
        e->extra.amount_x += extra.amount_x;
        return false;
      }
      break;  // that turn is being handled: this one waits its own turn
    }
    for (int64_t i = event_queue.count() - 1; i >= 0; --i) {
      St_event_q__C_Form* e = event_queue.at(i);
      if (!e->same_event(kind, sender)) continue;
      if (letter == 's') {
        if (wheel) {
          e->extra.amount += extra.amount;
          e->extra.amount_x += extra.amount_x;
        }
        return false;
      }
      event_queue.remove(i, 1);
    }
    St_event_q__C_Form entry;
    entry.kind = kind;
    entry.control = Weak<Brek_object>(Ref<Brek_object>(sender));
    entry.extra = extra;
    entry.id = ++next_event_id_;
    event_queue.append(entry);
    return false;
  }

  saved_depths_.push_back(event_depth);
  event_depth += 2;
  saved_controls.push_back(current_control_);
  saved_kinds.append(static_cast<uint8_t>(current_kind));
  current_kind = static_cast<int32_t>(kind);
  current_control_ = as_control(sender);

  if (track_busy) {
    Ref<C_Screen> s = screen.lock();
    bool already = busy_count > 0 && s->busy_form.get() == this;
    if (!already && s->busy_form.is_none()) {
      if (busy_count == 0) busy_control_name = event_control_name();
      if (!s.is_none()) {
        s->busy_form = keep;
        s->busy_started();
      }
    }
    busy_count += 1;
  }
  return true;
}

void C_Form::move_queue_to_dispatch() {
  // The dispatch list holds the newest entry first and the oldest last;
  // entries queued now are newer than any still waiting there.
  for (int64_t i = 0; i < event_queue.count(); ++i) dispatch_list.insert(0, event_queue.get(i));
  event_queue.clear();
}

void C_Form::event_end(event_kind) {
  if (is_none()) return;
  Ref<C_Form> keep(this);
  std::exception_ptr failure;

  move_queue_to_dispatch();
  // Oldest first. Each entry is marked before its handler runs, so that a
  // nested event_end never dispatches it a second time, and it stays on
  // the list meanwhile, so that an equal event arriving in its handler is
  // dropped.
  for (;;) {
    int64_t i = dispatch_list.count() - 1;
    while (i >= 0 && dispatch_list.at(i)->taken) --i;
    if (i < 0) break;
    dispatch_list.at(i)->taken = true;
    St_event_q__C_Form entry = dispatch_list.get(i);

    Weak<C_Control> saved_control = current_control_;
    int32_t saved_kind = current_kind;
    current_control_ = as_control(entry.control.get());
    current_kind = static_cast<int32_t>(entry.kind);
    try {
      dispatch_entry(entry);
    } catch (...) {
      if (!failure) failure = std::current_exception();
    }
    current_control_ = saved_control;
    current_kind = saved_kind;
    for (int64_t j = dispatch_list.count() - 1; j >= 0; --j)
      if (dispatch_list.at(j)->id == entry.id) dispatch_list.remove(j, 1);
  }

  // Back to the depth our event_begin saw, not merely 2 less: a timer that
  // stopped itself made the depth odd, which must not outlast its event.
  if (!saved_depths_.empty()) {
    event_depth = saved_depths_.back();
    saved_depths_.pop_back();
  } else {
    event_depth -= 2;
  }
  if (event_depth < 0) event_depth = 0;

  if (layout_after_event) {
    layout_after_event = 0;
    try {
      C_Brek_form::relayout_native(keep);
    } catch (...) {
      if (!failure) failure = std::current_exception();
    }
  }

  current_control_ = saved_controls.empty() ? Weak<C_Control>() : saved_controls.back();
  if (!saved_controls.empty()) saved_controls.pop_back();
  current_kind = saved_kinds.get(saved_kinds.count() - 1);
  saved_kinds.remove(saved_kinds.count() - 1, 1);

  if (track_busy && busy_count > 0) {
    busy_count -= 1;
    Ref<C_Screen> s = screen.lock();
    // Only the busy form's outermost event ends the long operation: an
    // event of another window meanwhile (a repaint) leaves it as it is.
    if (busy_count == 0 && !s.is_none() && s->busy_form.get() == this) {
      try {
        s->busy_ended();
      } catch (...) {
        if (!failure) failure = std::current_exception();
      }
      s->busy_form.reset();
      C_Brek_form::set_form_enabled(native, true);
    }
  }
  if (failure) std::rethrow_exception(failure);
}

void C_Form::dispatch_entry(const St_event_q__C_Form& entry) {
  Ref<C_Control> control = current_control();
  const Event_extra& x = entry.extra;
  if (is_pointer_kind(entry.kind)) {
    // The control under the pointer has the first chance, as it would
    // have had at once.
    if (!control.is_none()) {
      control->handled = 0;
      auto button = static_cast<button_mouse>(x.button);
      switch (entry.kind) {
        case event_kind::MOUSE_MOVE: control->on_mouse_move(x.x, x.y, button, x.shift); break;
        case event_kind::MOUSE_DOWN: control->on_mouse_down(x.x, x.y, button, x.shift); break;
        case event_kind::MOUSE_UP: control->on_mouse_up(x.x, x.y, button, x.shift); break;
        default: control->on_double_click(x.x, x.y, button, x.shift); break;
      }
      if (control->handled) return;
    }
    switch (entry.kind) {
      case event_kind::MOUSE_MOVE: on_mouse_move(); break;
      case event_kind::MOUSE_DOWN: on_mouse_down(); break;
      case event_kind::MOUSE_UP: on_mouse_up(); break;
      default: on_double_click(); break;
    }
    return;
  }
  switch (entry.kind) {
    case event_kind::CLICK: on_click(); break;
    case event_kind::ACTIVATED:
      if (x.flag)
        on_activate();
      else
        on_deactivate();
      break;
    case event_kind::VALUE_CHANGE: on_change(); break;
    case event_kind::SELECTION_CHANGE: on_select(); break;
    case event_kind::RESIZE:
      if (!control.is_none())
        control->on_resize();
      else
        on_resized();
      break;
    case event_kind::MOVED: on_moved(); break;
    case event_kind::SHOWN: on_shown(); break;
    case event_kind::MOUSE_WHEEL:
      input.wheel_amount = x.amount;
      input.wheel_extra = x.amount_x;
      if (!control.is_none()) {
        control->handled = 0;
        control->on_wheel(x.amount);
      }
      on_wheel();
      break;
    case event_kind::TIMER: on_timer(); break;
    case event_kind::MENU: on_menu_item(); break;
    case event_kind::KEYBOARD_FOCUS:
      if (x.flag)
        on_enter();
      else
        on_exit();
      break;
    case event_kind::SCROLLED: on_scrolled(); break;
    case event_kind::COMMAND:
      if (accept_drop()) on_command_line();
      break;
    default: break;
  }
}

void C_Form::timer_event_adjust() {
  if (is_none()) return;
  if (current_kind != static_cast<int32_t>(event_kind::TIMER)) return;
  event_depth = event_depth + (event_depth % 2) - 1;
  if (event_depth < 0) event_depth = 0;
}

}  // namespace brek
