#pragma once
// The viewer as the program starts it, on the real window layer of an X
// server, and its window read back from the screen.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include "forms/event_routing.h"
#include "forms/form_bridge.h"
#include "forms/screen.h"
#include "platform/test_events.h"
#include "platform/window.h"
#include "tests/viewer/viewer_test_support.h"

namespace viewer_test {

// Whether there is an X server to show windows on.
inline bool have_display() {
  const char* display = std::getenv("DISPLAY");
  return display && *display;
}

template <class Viewer>
struct Viewer_on_screen {
  brek_platform::Native_forms* previous = nullptr;
  Ref<C_Screen> screen;
  Ref<Viewer> v;
  // Placed where its stored placement puts it, as the program starts.
  Viewer_on_screen() {
    previous = brek_platform::set_native_forms(brek_platform::window_layer());
    Event_routing::reset_state();
    screen = make<C_Screen>();
    v = make<Viewer>();
    v->screen = screen;
    v->create();
  }
  explicit Viewer_on_screen(const rect& bounds) : Viewer_on_screen() { v->set_bounds(bounds); }
  ~Viewer_on_screen() {
    dispose_now(v);
    dispose_now(screen);
    brek_platform::test_events::settle();
    Event_routing::reset_state();
    brek_platform::set_native_forms(previous);
  }
  Viewer_on_screen(const Viewer_on_screen&) = delete;
  Viewer_on_screen& operator=(const Viewer_on_screen&) = delete;
  // A point of the paint box (points) as a point of the window's client
  // area.
  brek_platform::Point_pt in_box(double x, double y) const {
    const rect box = v->pb->get_bounds();
    return brek_platform::Point_pt{box.x + x, box.y + y};
  }
  // The middle of the i-th entry's cell as a client point.
  brek_platform::Point_pt cell_middle(int64_t i) const {
    const rect cell = v->files.get(i)->rect;
    return in_box(C_Canvas::from_device_pixels(cell.x + cell.w / 2), C_Canvas::from_device_pixels(cell.y + cell.h / 2));
  }
  // The pointer put on a client point and moved there as the user moves it.
  void rest_pointer_at(const brek_platform::Point_pt& at) {
    const point origin = v->client_origin();
    brek_platform::test_events::move_screen_pointer(brek_platform::Point_pt{origin.x + at.x, origin.y + at.y});
    brek_platform::test_events::mouse_move(v->native, at);
    brek_platform::test_events::settle();
  }
  // The window shown and painted, as the screen shows it.
  bool shoot(brek_platform::Decoded_image& shot) {
    if (!v->is_visible()) v->show();
    if (!brek_platform::test_events::wait_exposed(v->native)) return false;
    v->repaint();
    brek_platform::test_events::settle();
    return brek_platform::grab_window(v->native, shot);
  }
  // The program's main loop run until `done` holds, checked from inside
  // the loop every 20 ms; false when `bound` passed first (the window
  // stopped answering or never got there).
  bool loop_until(std::function<bool()> done, std::chrono::milliseconds bound = std::chrono::seconds(20)) {
    auto poll = std::make_shared<Poll>();
    poll->done = std::move(done);
    poll->end = std::chrono::steady_clock::now() + bound;
    poll->screen = screen;
    Poll::next(poll);
    C_Brek_form::reset_application();  // a loop ended before may run again
    screen->run_forms(v);
    poll->ended = true;
    return poll->held;
  }
  static void save(const brek_platform::Decoded_image& s, const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return;
    std::fprintf(f, "P6\n%d %d\n255\n", s.width, s.height);
    for (uint32_t p : s.pixels) {
      unsigned char rgb[3] = {static_cast<unsigned char>(p >> 16), static_cast<unsigned char>(p >> 8),
                              static_cast<unsigned char>(p)};
      std::fwrite(rgb, 1, 3, f);
    }
    std::fclose(f);
  }

 private:
  struct Poll {
    std::function<bool()> done;
    std::chrono::steady_clock::time_point end;
    Ref<C_Screen> screen;
    bool held = false, ended = false;
    static void next(const std::shared_ptr<Poll>& p) {
      brek_platform::test_events::post_task(
          [p] {
            if (p->ended) return;
            p->held = p->done();
            if (p->held || std::chrono::steady_clock::now() > p->end)
              p->screen->terminate();
            else
              next(p);
          },
          20);
    }
  };
};

}  // namespace viewer_test
