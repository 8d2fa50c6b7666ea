#include "forms/long_operation.h"

#include "baselib/localize_str.h"
#include "forms/form_bridge.h"

namespace brek {

namespace {

constexpr uint64_t STEPS_WRAP = 999999;

// A new window on the given screen: its screen is set before init, which
// makes the native window and joins that screen's forms.
Ref<C_Long_operation> new_window(const Ref<C_Screen>& screen, const Ref<C_Form>& busy) {
  bool in_none = detail::constructing_none();
  if (in_none) detail::end_none();
  auto* o = new C_Long_operation();
  if (in_none) detail::begin_none();
  detail::attach_new(o);
  ++o->handle()->strong;
  Ref<C_Long_operation> w = Ref<C_Long_operation>::adopt(o->handle());
  w->screen = screen;
  w->busy_name = busy->busy_control_name;
  w->init();
  return w;
}

}  // namespace

C_Long_operation::C_Long_operation() = default;

Ref<C_Long_operation> C_Long_operation::obtain(const Ref<C_Form>& form, const Ref<C_Long_operation>& current) {
  if (!current.is_none()) return current;
  return new_window(form->screen.lock(), form);
}

Ref<C_Long_operation> C_Long_operation::make_for(const Ref<C_Screen>& screen, const Ref<C_Form>& busy) {
  return new_window(screen, busy);
}

Ref<C_Long_operation> C_Form::long_operation() {
  Ref<C_Screen> s = screen.lock();
  if (is_none() || s.is_none()) return Ref<C_Long_operation>();
  return ref_cast<C_Long_operation>(s->obtain_long_operation(Ref<C_Form>(this)));
}

void C_Long_operation::init() {
  C_Form::init();
  if (is_none()) return;
  Ref<C_Form> self(this);
  St_sizes_col__C_Form text_sizes;
  text_sizes.extent = 1.0;
  new_column("COL_TEXT", layout_on_form::CENTER, text_sizes);
  text_label = C_Label::new_on_form(self, Localize_str::text(lng::Long_operation::Started));
  detail_label = C_Label::new_on_form(self, " ");
  progress = C_Progress::new_on_form(self, "PROGRESS");
  new_column("COL_BUTTONS", layout_on_form::BOTTOM, St_sizes_col__C_Form());
  pause_button = C_Button::new_on_form(self, "PAUSE", Localize_str::text(lng::Long_operation::Pause1));
  cancel_button_ = C_Button::new_on_form(self, "CANCEL", Localize_str::text(lng::Long_operation::Cancel));
  // Escape cancels, as in any window with a Cancel button.
  cancel_button_->set_cancel();
  set_size(sizing_options::FIT_TO_DISPLAY, 114, 250);
  set_caption(Localize_str::text(lng::Long_operation::PleaseWait));
  // Its own events never make it the busy form.
  track_busy = 0;
  // Hidden by the program: running the forms does not show it.
  C_Form::hide_window();
}

void C_Long_operation::destroy_hook() {
  if (!is_none()) {
    text_label.reset();
    detail_label.reset();
    progress.reset();
    pause_button.reset();
    cancel_button_.reset();
  }
  C_Form::destroy_hook();
}

bool C_Long_operation::on_close_query() {
  if (closable) return false;
  // The close box only hides it; the work goes on.
  hide_window();
  return true;
}

void C_Long_operation::on_click() {
  if (is_none()) return;
  std::string name = event_control_name();
  if (name == "PAUSE") {
    // The window may go while the message is open (the screen ending).
    struct Pause {
      Weak<C_Long_operation> window;
      ~Pause() {
        Ref<C_Long_operation> w = window.lock();
        if (!w.is_none()) w->paused = 0;
      }
    } pause{Weak<C_Long_operation>(Ref<C_Long_operation>(this))};
    paused = 1;
    // The work stands still while the message is open: it is the caller
    // of the loop tick that delivered this click.
    screen.lock()->message(Ref<C_Form>(this), Localize_str::text(lng::Long_operation::ClickOK));
  } else if (name == "CANCEL") {
    cancel_requested = 1;
    hide_window();
  }
}

void C_Long_operation::count_step() {
  steps += 1;
  if (steps > STEPS_WRAP) steps = 0;
  last_step = C_Brek_form::now();
}

void C_Long_operation::step(bool pump) {
  if (is_none()) return;
  Ref<C_Long_operation> keep(this);
  count_step();
  // A cancelled operation has ended; the next one can be cancelled too.
  closable = 0;
  if (is_visible()) hide_window();
  if (pump) C_Brek_form::pump_messages();
}

bool C_Long_operation::take_cancel() {
  if (is_none() || !cancel_requested) return false;
  cancel_requested = 0;
  closable = 1;
  return true;
}

void C_Long_operation::tick(int64_t pump) {
  if (is_none()) return;
  Ref<C_Long_operation> keep(this);
  count_step();
  if (pump) C_Brek_form::pump_messages();
  screen.lock()->long_operation_tick();
}

}  // namespace brek
