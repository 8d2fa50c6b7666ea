#pragma once
// The program's real window layer for the life of the object, with a screen
// object of its own: set up and taken down the same way for every test of
// real windows (events settled, routing state cleared, the previous layer
// back), so no window or queued event of one test reaches the next.

#include "forms/event_routing.h"
#include "forms/screen.h"
#include "platform/native_forms.h"
#include "platform/test_events.h"
#include "platform/window.h"
#include "runtime/object.h"

namespace brek_test {

template <class Screen = brek::C_Screen>
class On_window_layer {
 public:
  On_window_layer() : previous_(brek_platform::set_native_forms(brek_platform::window_layer())) {
    brek::Event_routing::reset_state();
    screen = brek::make<Screen>();
  }
  ~On_window_layer() {
    brek::dispose_now(screen);
    brek_platform::test_events::settle();
    brek::Event_routing::reset_state();
    brek_platform::set_native_forms(previous_);
  }
  On_window_layer(const On_window_layer&) = delete;
  On_window_layer& operator=(const On_window_layer&) = delete;

  brek::Ref<Screen> screen;

 private:
  brek_platform::Native_forms* previous_;
};

}  // namespace brek_test
