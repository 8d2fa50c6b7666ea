#pragma once
// A native layer for placement tests: the in-memory windows of the forms
// tests plus window state and client size, and a fixture that installs it.

#include "forms/placement.h"
#include "forms_test_support.h"

namespace forms_test {

// Client area = outer size less a 4-point frame and a 24-point title bar.
class Placement_native : public Fake_native {
 public:
  int get_window_state(Native_handle h) override { return windows[h].state; }
  void set_window_state(Native_handle h, int s) override { windows[h].state = s; }
  void set_client_size(Native_handle h, double w, double ht) override {
    windows[h].bounds.w = w + 4;
    windows[h].bounds.h = ht + 24;
  }
  void set_position(Native_handle h, double l, double t) override {
    Fake_native::set_position(h, l, t);
    calls.push_back("move");
  }
};

class Placement_test : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = brek_platform::set_native_forms(&native);
    Event_routing::reset_state();
    screen = make<C_Screen>();
    Placement::refresh_monitors();
  }
  void TearDown() override {
    Event_routing::reset_state();
    brek_platform::set_native_forms(previous_);
  }
  // A visible form at (left, top), width x height.
  Ref<Log_form> form_at(double left, double top, double width, double height) {
    Ref<Log_form> f = make<Log_form>();
    native.windows[f->native].bounds = {left, top, width, height};
    native.windows[f->native].visible = true;
    return f;
  }
  brek_platform::Rect_pt bounds(const Ref<Log_form>& f) { return native.windows[f->native].bounds; }

  Placement_native native;
  Ref<C_Screen> screen;

 private:
  brek_platform::Native_forms* previous_ = nullptr;
};

}  // namespace forms_test
