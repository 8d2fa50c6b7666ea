#include "forms/modal_run.h"

namespace brek {

Modal_run::Modal_run(const Ref<C_Screen>& screen) : screen_(screen), busy_(screen->busy_form.lock()) {
  if (busy_.is_none()) return;
  busy_count_ = busy_->busy_count;
  busy_->busy_count = 0;
  screen_->busy_form.reset();
}

Modal_run::~Modal_run() {
  if (busy_.is_none()) return;
  busy_->busy_count = busy_count_;
  screen_->busy_form = busy_;
  screen_->busy_started();
}

}  // namespace brek
