#pragma once
// Forms with real native controls: the in-memory window layer of the forms
// tests keeps column visibility and hands out column handles that no other
// test uses, while the controls and their column panels are the platform's
// own (offscreen, 96 pixels per inch).

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "forms/control_bridge.h"
#include "forms_test_support.h"
#include "platform/control_input.h"

namespace forms_test {

class Column_native : public Fake_native {
 public:
  std::map<Native_handle, bool> column_shown;

  Native_handle new_column(Native_handle, const brek_platform::Column_spec&) override {
    static Native_handle next_column = 5000000;  // fresh panels in every test
    Native_handle h = ++next_column;
    column_shown[h] = false;
    return h;
  }
  bool is_column_visible(Native_handle h) override { return column_shown[h]; }
  void set_column_visible(Native_handle h, bool v) override { column_shown[h] = v; }
};

class Controls_test : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = brek_platform::set_native_forms(&native);
    Event_routing::reset_state();
    screen = make<C_Screen>();
  }
  void TearDown() override {
    Event_routing::reset_state();
    brek_platform::set_native_forms(previous_);
  }
  // A form whose client area is width x height points.
  Ref<Log_form> new_form(double width, double height) {
    Ref<Log_form> f = make<Log_form>();
    native.windows[f->native].bounds = {10, 20, width + 4, height + 24};
    return f;
  }
  void resize(const Ref<C_Form>& f, double width, double height) {
    native.windows[f->native].bounds = {10, 20, width + 4, height + 24};
  }
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

  Column_native native;
  Ref<C_Screen> screen;

 private:
  brek_platform::Native_forms* previous_ = nullptr;
};

}  // namespace forms_test
