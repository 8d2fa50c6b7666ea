#include "forms/modal_run.h"

#include "forms/form_bridge.h"

namespace brek {

Modal_run::Modal_run(const Ref<C_Screen>& screen, const Ref<C_Form>& owner)
    : screen_(screen), busy_(screen->busy_form.lock()) {
  C_Brek_form::modal_run_begins(owner->native);
  if (busy_.is_none()) return;
  busy_count_ = busy_->busy_count;
  busy_->busy_count = 0;
  screen_->busy_form.reset();
}

Modal_run::~Modal_run() {
  C_Brek_form::modal_run_ended();
  if (busy_.is_none()) return;
  busy_->busy_count = busy_count_;
  screen_->busy_form = busy_;
  screen_->busy_started();
}

}  // namespace brek
