#pragma once
// Forms with real windows and native controls (offscreen, 96 pixels per
// inch).

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "forms/control_bridge.h"
#include "forms_test_support.h"
#include "platform/control_input.h"
#include "platform/test_events.h"
#include "platform/window.h"
#include "tests/support/on_window_layer.h"

namespace forms_test {

class Controls_test : public ::testing::Test, protected brek_test::On_window_layer<> {
 protected:
  // A form (not shown) whose client area is width x height points.
  Ref<Log_form> new_form(double width, double height) {
    Ref<Log_form> f = make<Log_form>();
    f->set_client_size(height, width);
    return f;
  }
  void resize(const Ref<C_Form>& f, double width, double height) { f->set_client_size(height, width); }
  static St_sizes_col__C_Form sizes(double size = 0, double extent = 0) {
    St_sizes_col__C_Form s;
    s.size = size;
    s.extent = extent;
    return s;
  }
  // Place of a control inside its column, in pixels.
  static int64_t px_left(const Ref<C_Control>& c) { return C_Brek_form::points_to_pixels(c->get_left()); }
  static int64_t px_top(const Ref<C_Control>& c) { return C_Brek_form::points_to_pixels(c->get_top()); }
  static int64_t px_width(const Ref<C_Control>& c) { return C_Brek_form::points_to_pixels(c->get_width()); }
  static int64_t px_height(const Ref<C_Control>& c) { return C_Brek_form::points_to_pixels(c->get_height()); }
  static int64_t px(double points) { return C_Brek_form::points_to_pixels(points); }
};

// A form 300 x 200 points with one centre column "MAIN", not shown.
class Controls_on_form : public Controls_test {
 protected:
  void SetUp() override {
    form = new_form(300, 200);
    form->new_column("MAIN", layout_on_form::CENTER, sizes());
  }
  Ref<Log_form> form;
};

}  // namespace forms_test
