#pragma once
// Painted controls on forms of the real window layer (offscreen, 96 pixels
// per inch), with paint panels kept in memory: the surface has the size a
// test gives it and a paint runs when the test (or the box) asks for one,
// so paints are deterministic and need no screen.

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "drawing/paintbox.h"
#include "forms/event_routing.h"
#include "forms/form.h"
#include "forms/form_bridge.h"
#include "forms/screen.h"
#include "forms/timer_ticks.h"
#include "platform/paint_panel.h"
#include "platform/test_events.h"
#include "platform/window.h"

namespace paint_test {

using namespace brek;
namespace bp = brek_platform;

class Fake_panels : public bp::Native_paint_panels {
 public:
  struct Panel {
    bp::Paint_panel_desc desc;
    bp::Pixel_box surface{0, 0, 200, 100};
    double total_w = 0, total_h = 0;
    double vpos = 0, hpos = 0;
    int updates = 0;
    bp::Panel_cursor cursor = bp::Panel_cursor::ARROW;
    bool caret_on = false;
    bp::Pixel_box caret;
    int64_t line_step = 1;
  };
  std::map<bp::Native_handle, Panel> panels;
  std::vector<bp::Pixel_box> invalidated;
  int paints = 0;
  bool focused = true;  // the surface has the focus
  bp::Native_handle next = 7000000;

  bp::Native_handle create(const bp::Paint_panel_desc& s) override {
    bp::Native_handle h = ++next;
    panels[h].desc = s;
    return h;
  }
  bp::Pixel_box surface(bp::Native_handle h) override { return panels[h].surface; }
  void invalidate(bp::Native_handle, bp::Pixel_box r) override { invalidated.push_back(r); }
  void paint_now(bp::Native_handle h) override {
    ++paints;
    bp::paint_panel_events().paint(h, {});
  }
  void set_ranges(bp::Native_handle h, double w, double ht) override {
    panels[h].total_w = w;
    panels[h].total_h = ht;
  }
  double scroll_pos(bp::Native_handle h, bool vertical) override {
    Panel& p = panels[h];
    if (vertical ? !p.desc.vbar : !p.desc.hbar) return 0;
    return vertical ? p.vpos : p.hpos;
  }
  void set_scroll_pos(bp::Native_handle h, bool vertical, double pixels) override {
    (vertical ? panels[h].vpos : panels[h].hpos) = pixels;
  }
  void set_line_step(bp::Native_handle h, int64_t pixels) override { panels[h].line_step = pixels; }
  void begin_update(bp::Native_handle h) override { ++panels[h].updates; }
  void end_update(bp::Native_handle h) override { --panels[h].updates; }
  void set_cursor(bp::Native_handle h, bp::Panel_cursor c) override { panels[h].cursor = c; }
  bp::Panel_cursor cursor(bp::Native_handle h) override { return panels[h].cursor; }
  void show_caret(bp::Native_handle h, int64_t x, int64_t y, int64_t height, int64_t width) override {
    panels[h].caret = {x, y, width, height};
    panels[h].caret_on = focused;
  }
  void hide_caret(bp::Native_handle h) override { panels[h].caret_on = false; }
  bool caret(bp::Native_handle h, bp::Pixel_box& out) override {
    out = panels[h].caret;
    return panels[h].caret_on;
  }
};

// Logs the paint stages it sees and paints through `painter`.
class Paint_form : public C_Form {
  BREK_CLASS(Paint_form)
 public:
  std::vector<std::string> log;
  std::function<void(const Ref<C_Canvas>&)> painter;
  void on_paint() override {
    log.push_back("paint");
    Ref<C_Paintbox> box = ref_cast<C_Paintbox>(current_control());
    if (painter) painter(box->canvas);
  }
  void on_select() override { log.push_back("select:" + current_control()->name); }
  void control_notify() override {
    log.push_back("notify");
    if (notify) notify();
  }
  std::function<void()> notify;
};

class Paint_test : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(bp::window_layer(), nullptr);
    previous_forms_ = bp::set_native_forms(bp::window_layer());
    previous_panels_ = bp::set_native_paint_panels(&panels);
    Event_routing::reset_state();
    // An earlier test's animations are no concern of this one's.
    Timer_ticks::reset();
    screen = make<C_Screen>();
    form = make<Paint_form>();
    form->set_bounds({40, 40, 500, 400});
    form->new_column("C", layout_on_form::CENTER, St_sizes_col__C_Form{});
  }
  void TearDown() override {
    form.reset();
    dispose_now(screen);
    bp::test_events::settle();
    Event_routing::reset_state();
    bp::set_native_paint_panels(previous_panels_);
    bp::set_native_forms(previous_forms_);
  }
  // The surface of a box, pixels.
  void set_surface(const Ref<C_Paintbox>& box, int64_t w, int64_t h) {
    panels.panels[box->native].surface = {0, 0, w, h};
  }
  Fake_panels::Panel& panel(const Ref<C_Paintbox>& box) { return panels.panels[box->native]; }

  Fake_panels panels;
  Ref<C_Screen> screen;
  Ref<Paint_form> form;

 private:
  bp::Native_forms* previous_forms_ = nullptr;
  bp::Native_paint_panels* previous_panels_ = nullptr;
};

}  // namespace paint_test
