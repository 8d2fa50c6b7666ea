#pragma once
// A modal run inside an event: a message, a question, a dialog, a file or
// directory dialog. While the user answers it, the form busy in the event
// that opened it is set aside: the run's own events are timed by
// themselves and no long-operation window shows over the question. When
// it ends the busy form is back and the long-operation window's two
// seconds count anew: the time the user took is not the work's. Every run
// also tells the window layer that it begins over its owner and has
// ended, so the keys go back where they were (or to the owner).

#include <cstdint>

#include "forms/form.h"
#include "forms/screen.h"

namespace brek {

class Modal_run {
 public:
  // owner: the form the run is over (None: none).
  Modal_run(const Ref<C_Screen>& screen, const Ref<C_Form>& owner);
  ~Modal_run();
  Modal_run(const Modal_run&) = delete;
  Modal_run& operator=(const Modal_run&) = delete;

 private:
  Ref<C_Screen> screen_;
  Ref<C_Form> busy_;
  int64_t busy_count_ = 0;
};

}  // namespace brek
