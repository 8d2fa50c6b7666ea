#pragma once
// Test doubles of the forms tests: a native layer kept in memory, a form and
// a control that log every handler call, and a fixture that installs them.

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "forms/control.h"
#include "forms/event_routing.h"
#include "forms/form.h"
#include "forms/form_bridge.h"
#include "forms/screen.h"
#include "forms/timer_ticks.h"
#include "platform/native_controls.h"
#include "platform/native_forms.h"
#include "runtime/clock.h"

namespace forms_test {

using namespace brek;
using brek_platform::Native_handle;

// A native layer in memory: windows are records, calls are logged.
class Fake_native : public brek_platform::Native_forms {
 public:
  struct Window {
    std::string caption;
    brek_platform::Rect_pt bounds{10, 20, 300, 200};
    bool visible = false;
    bool enabled = true;
    int alpha = 255;
    int state = 0;
    int updates = 0;
  };
  std::map<Native_handle, Window> windows;
  std::map<Native_handle, std::string> font_styles;
  std::vector<std::string> calls;
  Native_handle next = 100;
  Native_handle focused = 0;
  double ppi = 96.0;
  std::function<void()> on_process;

  double pixels_per_inch() override { return ppi; }
  Native_handle create_form(const brek_platform::Form_desc&) override {
    Native_handle h = ++next;
    windows[h] = Window();
    calls.push_back("create_form");
    return h;
  }
  void destroy_form(Native_handle h) override {
    windows.erase(h);
    calls.push_back("destroy_form");
  }
  std::string get_caption(Native_handle h) override { return windows[h].caption; }
  void set_caption(Native_handle h, const std::string& t) override { windows[h].caption = t; }
  brek_platform::Rect_pt get_bounds(Native_handle h) override { return windows[h].bounds; }
  void set_position(Native_handle h, double l, double t) override {
    windows[h].bounds.x = l;
    windows[h].bounds.y = t;
  }
  void set_size(Native_handle h, double w, double ht) override {
    windows[h].bounds.w = w;
    windows[h].bounds.h = ht;
  }
  brek_platform::Point_pt client_size(Native_handle h) override {
    return {windows[h].bounds.w - 4, windows[h].bounds.h - 24};
  }
  void close_form(Native_handle) override { calls.push_back("close_form"); }
  bool is_form_visible(Native_handle h) override { return windows[h].visible; }
  void set_form_visible(Native_handle h, bool v) override { windows[h].visible = v; }
  void set_form_enabled(Native_handle h, bool e) override { windows[h].enabled = e; }
  void set_window_alpha(Native_handle h, int a) override { windows[h].alpha = a; }
  void begin_update(Native_handle h) override {
    windows[h].updates++;
    calls.push_back("begin_update");
  }
  void end_update(Native_handle h) override {
    windows[h].updates--;
    calls.push_back("end_update");
  }
  Native_handle active_control(Native_handle) override { return focused; }
  void set_active_control(Native_handle c) override { focused = c; }
  void process_messages() override {
    calls.push_back("process_messages");
    if (!on_process) return;
    auto fn = on_process;  // may replace itself
    fn();
  }
  Native_handle new_column(Native_handle, const brek_platform::Column_desc&) override { return ++next; }
  void popup_menu(Native_handle, const std::vector<std::string>& lines) override {
    std::string all;
    for (auto& l : lines) all += "[" + l + "]";
    calls.push_back("popup " + all);
  }
};

// The controls' side of the fake: fonts, kept with the windows' records.
class Fake_controls : public brek_platform::Native_controls {
 public:
  explicit Fake_controls(Fake_native& windows) : windows_(windows) {}
  std::string get_font_style(Native_handle c) override { return windows_.font_styles[c]; }
  void set_font_style(Native_handle c, const std::string& s) override { windows_.font_styles[c] = s; }
  void set_font_size(Native_handle c, int size) override {
    windows_.calls.push_back("font_size " + std::to_string(size));
  }

 private:
  Fake_native& windows_;
};

// Logs every handler it receives as "name" or "name:CONTROL".
class Log_form : public C_Form {
  BREK_CLASS(Log_form)
 public:
  std::vector<std::string> log;
  // Runs inside the named handler (after it is logged), once per call.
  std::map<std::string, std::function<void()>> inside;
  bool accept = false;
  bool wheel_result = false;
  bool key_result = false;
  bool keep_open = false;

  void note(const std::string& what) {
    std::string name = current_control()->name;
    log.push_back(name.empty() ? what : what + ":" + name);
    auto it = inside.find(what);
    if (it != inside.end() && it->second) {
      auto fn = it->second;  // may replace itself
      fn();
    }
  }
  void on_click() override { note("click"); }
  void on_activate() override { note("activate"); }
  void on_deactivate() override { note("deactivate"); }
  void on_change() override { note("change"); }
  void on_select() override { note("select"); }
  void on_resized() override { note("resized"); }
  void on_moved() override { note("moved"); }
  void on_mouse_move() override { note("move"); }
  void on_mouse_down() override { note("down"); }
  void on_mouse_up() override { note("up"); }
  void on_double_click() override { note("double"); }
  bool on_wheel() override {
    note("wheel " + std::to_string(wheel_delta()));
    return wheel_result;
  }
  void on_enter() override { note("enter"); }
  void on_exit() override { note("exit"); }
  bool on_key_down() override {
    note("key_down " + key_info.key_text);
    return key_result;
  }
  void on_key_up() override { note("key_up"); }
  void on_key_press() override { note("key_press " + key_info.key_text); }
  void on_timer() override { note("timer"); }
  void on_menu_item() override { note("menu " + menu_key); }
  bool accept_drop() override { return accept; }
  void on_command_line() override { note("command"); }
  bool on_close_query() override {
    note("close_query");
    return keep_open;
  }
};

// Logs its first-chance handlers into its form's log.
class Log_control : public C_Control {
  BREK_CLASS(Log_control)
 public:
  bool take = false;  // sets handled
  bool numeric = false;
  std::vector<std::string> log;
  void first(const std::string& what, double x, double y) {
    log.push_back(what + " " + std::to_string(static_cast<int>(x)) + "," + std::to_string(static_cast<int>(y)));
    if (take) handled = 1;
  }
  void on_mouse_move(double x, double y, button_mouse, uint8_t) override { first("move", x, y); }
  void on_mouse_down(double x, double y, button_mouse, uint8_t) override { first("down", x, y); }
  void on_mouse_up(double x, double y, button_mouse, uint8_t) override { first("up", x, y); }
  void on_double_click(double x, double y, button_mouse, uint8_t) override { first("double", x, y); }
  void on_wheel(double amount) override { log.push_back("wheel"); }
  void on_resize() override { log.push_back("resize"); }
  bool numeric_only() override { return numeric; }
};

// Installs the fake native layer, a screen, a fresh routing state and an
// empty timer table.
class Forms_test : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = brek_platform::set_native_forms(&native);
    previous_controls_ = brek_platform::set_native_controls(&controls);
    Event_routing::reset_state();
    Timer_ticks::reset();
    screen = make<C_Screen>();
  }
  void TearDown() override {
    Event_routing::reset_state();
    brek_platform::set_native_controls(previous_controls_);
    brek_platform::set_native_forms(previous_);
  }
  Ref<Log_form> new_form() { return make<Log_form>(); }
  Ref<Log_control> new_control(const Ref<Log_form>& form, const std::string& name, Native_handle h = 0) {
    Ref<Log_control> c = make_on<Log_control>(form, name);
    if (h != 0) {
      c->native = h;
      C_Brek_form::register_control(h, c);
    }
    return c;
  }

  Fake_native native;
  Fake_controls controls{native};
  Ref<C_Screen> screen;

 private:
  brek_platform::Native_forms* previous_ = nullptr;
  brek_platform::Native_controls* previous_controls_ = nullptr;
};

}  // namespace forms_test
