#include "forms/dialog.h"

#include "forms/form_bridge.h"
#include "forms/placement.h"
#include "forms/screen.h"

#include <vector>

namespace brek {

point C_Dialog::place_over(const rect& o, const rect& d) {
  // Centred over an owner clearly larger than the dialog, else in from its
  // corner; NaN fails both tests and takes the fixed inset.
  point at;
  at.x = o.w * 0.75 - d.w > 0 ? o.x + (o.w - d.w) / 2 : o.x + 60;
  at.y = o.h * 0.75 - d.h > 0 ? o.y + (o.h - d.h) / 2 : o.y + 60;
  return at;
}

void C_Dialog::place_for_run(const Ref<C_Form>& own) {
  const bool over_owner = !own.is_none() && own->native != 0;
  if (placed_once_ && over_owner) {
    Placement::refresh_monitors();
    const std::vector<rect> monitors = Placement::monitor_rects();
    const rect d = get_bounds();
    if (Placement::best_monitor(monitors, own->get_bounds()) == Placement::best_monitor(monitors, d)) {
      set_size(sizing_options::FIT_TO_DISPLAY, d.h, d.w);
      return;
    }
  }
  placed_once_ = true;
  // Placed over its owner, then fitted to the monitor's work area; a
  // dialog cut to it is placed again at its new size.
  for (int pass = 0; pass < 2; ++pass) {
    const rect d = get_bounds();
    if (over_owner) {
      const point at = place_over(own->get_bounds(), d);
      set_position(positioning::KEEP_ON_SCREEN, at.y, at.x);
    } else {
      set_position(positioning::CENTER_ON_SCREEN, d.y, d.x);
    }
    set_size(sizing_options::FIT_TO_DISPLAY, d.h, d.w);
    const rect fitted = get_bounds();
    if (fitted.w >= d.w && fitted.h >= d.h) break;
  }
}

void C_Dialog::close_window() {
  if (is_none()) return;
  hide_window();
  C_Form::close_window();
}

void C_Dialog::show() {
  if (is_none()) return;
  if (screen.lock()->main_form.get() == this) C_Form::show();
}

void C_Dialog::hide_window() {
  if (is_none()) return;
  close_with(result_text);
  C_Form::hide_window();
}

void C_Dialog::close() {
  if (is_none()) return;
  close_with(result_text);
  C_Form::close();
}

void C_Dialog::close_with(const std::string& result) {
  if (is_none() || result_set) return;
  Ref<C_Dialog> keep(this);
  result_text = result;
  result_set = 1;
  Ref<C_Form> own = owner.lock();
  if (!own.is_none() && own->modal_child.get() == this) own->modal_child.reset();
  Ref<C_Screen> s = screen.lock();
  if (!s->long_operation.is_none()) s->long_operation->hide_window();
  // The native modal loop runs while the window is visible.
  C_Form::hide_window();
  if (!s.is_none() && s->main_form.get() == this) {
    C_Brek_form::close_form(native);
    closed = 1;
  }
}

std::string C_Dialog::show_modal(const Ref<C_Form>& owner_form) {
  if (is_none() || native == 0) return {};
  // Starting a run again from inside it could only hang or end the outer
  // run unseen; the caller gets no result instead.
  if (running_) return {};
  if (owner_form.get() == this) return {};
  Ref<C_Form> own = owner_form;
  if (!own.is_none() && (own->closed || own->native == 0)) return {};
  Ref<C_Dialog> self(this);

  result_set = 0;
  result_text.clear();
  owner = own;
  hidden_by_program = 0;

  // One modal dialog per owner: the one running gives way.
  Ref<C_Form> other = own->modal_child;
  if (!own.is_none() && !other.is_none() && other.get() != this) other->close_with("");
  Ref<C_Form> previous = own->modal_child;
  if (!own.is_none()) own->modal_child = self;

  if (center_on_owner) place_for_run(own);

  Ref<C_Control> kept = own->current_control();
  // The dialog may be disposed while it runs (a handler of the run may do
  // it): afterwards only what still exists is touched.
  struct Run {
    Weak<C_Dialog> dialog;
    Ref<C_Form>& own;
    Ref<C_Form>& previous;
    Ref<C_Control>& kept;
    int64_t updates;
    ~Run() {
      Ref<C_Dialog> d = dialog.lock();
      if (!d.is_none()) {
        d->update_count = updates;
        d->running_ = false;
        // Whatever ends the run afterwards changes its result no more.
        d->result_set = 1;
      }
      if (own.is_none()) return;
      own->set_current_control(kept);
      if (own->modal_child.get() == d.get() || own->modal_child.is_none() || !own->modal_child->in_modal_loop())
        // A dialog that was running before this one only gets its place
        // back when it still runs.
        own->modal_child = previous->in_modal_loop() ? previous : Ref<C_Form>();
    }
  } run{Weak<C_Dialog>(self), own, previous, kept, update_count};
  update_count = 0;
  running_ = true;
  request_relayout();
  C_Brek_form::run_modal(self, own);
  Ref<C_Dialog> alive = run.dialog.lock();
  return alive.is_none() ? std::string() : alive->result_text;
}

Ref<C_Form> C_Dialog::root_owner() {
  Ref<C_Form> f = owner.lock();
  int64_t limit = screen.lock()->forms.count() + 1;
  for (int64_t i = 0; i < limit; ++i) {
    if (!f->is_dialog()) return f;
    Ref<C_Form> next = f->owner.lock();
    if (next.is_none()) return f;
    f = next;
  }
  return f;
}

}  // namespace brek
