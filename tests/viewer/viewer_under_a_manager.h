#pragma once
// The viewer started as the program starts it on a desktop of the test's
// own (support/own_desktop.h), under a window manager that frames,
// maximizes and restores it on its own time; the window read from the X
// server, the placement from the settings file. What the window tests
// under each manager share.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <ostream>
#include <string>

#include "baselib/config.h"
#include "platform/test_events.h"
#include "tests/support/on_screen_rect.h"
#include "tests/support/own_desktop.h"
#include "tests/support/wait_until.h"
#include "tests/viewer/viewer_on_screen.h"

namespace viewer_test {

using Box = x11_test::Client::Box;

constexpr int VK_F11 = 122;

// A placement in points as stored: the client size, the window's own size
// (a border of 2 pixels around the client) and its place.
inline std::string stored_at(double cwidth, double cheight, double left, double top) {
  auto v = [](double d) { return "\"" + std::to_string(d) + "\"\n"; };
  return "[Main]\nCWidth = " + v(cwidth) + "CHeight = " + v(cheight) + "Width = " + v(cwidth + 3) +
         "Height = " + v(cheight + 3) + "Left = " + v(left) + "Top = " + v(top);
}

// The one monitor of a desktop of one, and a window stored on it: 900 x
// 600 points at 200, 150 are 1204 x 804 pixels at 266, 200.
inline const Box ONE_SCREEN{0, 0, 1920, 1080};
inline const std::string STORED_ON_ONE = stored_at(900, 600, 200, 150);
inline const Box STORED_ON_ONE_BOX{266, 200, 1204, 804};

// The stored placement in the screen's pixels (96 per inch): a save of the
// same window may write other points for the same pixels.
struct Stored_placement {
  int left, top, width, height, cwidth, cheight;
  bool operator==(const Stored_placement&) const = default;
};
inline void PrintTo(const Stored_placement& p, std::ostream* os) {
  *os << p.width << " x " << p.height << " at " << p.left << ", " << p.top << " (client " << p.cwidth << " x "
      << p.cheight << ")";
}
inline Stored_placement stored_placement() {
  Ref<C_Config> c = C_Config::open_read("Collage_viewer", area_where_configuration_is_stored::USER, "Main");
  auto px = [&](const char* key) { return int(std::floor(c->read_real_value(key) * 96 / 72 + 1e-6)); };
  return {px("Left"), px("Top"), px("Width"), px("Height"), px("CWidth"), px("CHeight")};
}

class Viewer_under_a_manager : public testing::Test {
 protected:
  void SetUp() override {
    if (!brek_test::own_desktop_failure().empty()) GTEST_SKIP() << brek_test::own_desktop_failure();
    ASSERT_TRUE(x.ok());
  }
  // The viewer started as the program starts it, on the screen.
  void start() {
    s = std::make_unique<Viewer_on_screen<Test_viewer>>();
    s->v->show();
    ASSERT_TRUE(brek_platform::test_events::wait_exposed(s->v->native));
    settled();
  }
  xcb_window_t window() { return brek_test::x11_window_of(s->v); }
  Box box() { return x.geometry(window()); }
  Box frame() { return x.frame_geometry(window()); }
  // Everything the program and the window manager had to do is done.
  void settled() {
    brek_platform::test_events::settle();
    ASSERT_TRUE(x.window_manager_barrier());
    brek_platform::test_events::settle();
  }
  void f11() {
    ASSERT_TRUE(brek_platform::test_events::window_key_press(s->v->native, VK_F11));
    brek_platform::test_events::window_key_release(s->v->native, VK_F11);
  }
  // The window covers the monitor once the viewer placed it.
  void expect_full_screen(const Box& monitor) {
    EXPECT_TRUE(brek_test::wait_until([&] {
      brek_platform::test_events::settle();
      return box() == monitor && !s->v->collage->pending_placement;
    })) << brek_test::describe(box());
    settled();
  }
  void enter_full_screen(const Box& monitor) {
    f11();
    expect_full_screen(monitor);
  }
  void leave_full_screen() {
    f11();
    settled();
  }
  // F11 out of full screen entered from the maximized window: it comes
  // back maximized as it was.
  void expect_maximized_again(const Box& maximized) {
    leave_full_screen();
    EXPECT_TRUE(brek_test::wait_until([&] {
      brek_platform::test_events::settle();
      return x.maximized(window()) && box() == maximized;
    })) << "after F11 twice: " << brek_test::describe(box()) << (x.maximized(window()) ? "" : ", not maximized");
    settled();
  }
  void expect_box(const Box& want, const char* when) {
    const Box b = box();
    EXPECT_TRUE(b == want) << when << ": " << brek_test::describe(b) << ", not " << brek_test::describe(want);
    EXPECT_FALSE(x.maximized(window())) << when;
  }
  // The manager maximizes the window or gives it back, as its title bar
  // button does, and the viewer has seen it.
  void maximize(bool on) {
    x.request_maximized(window(), on);
    EXPECT_TRUE(brek_test::wait_until([&] {
      brek_platform::test_events::settle();
      return x.maximized(window()) == on;
    })) << (on ? "maximized" : "given back");
    settled();
  }

  // The user drags the window to x, y (pixels); the viewer stores it.
  void drag_to(int to_x, int to_y) {
    x.request_move(window(), to_x, to_y);
    EXPECT_TRUE(brek_test::wait_until([&] {
      brek_platform::test_events::settle();
      return box().x == to_x && box().y == to_y;
    })) << brek_test::describe(box());
    settled();
  }

  x11_test::Client x;
  std::unique_ptr<Viewer_on_screen<Test_viewer>> s;
};

// The right of the two monitors of a two-monitor desktop: 1920 x 1080 and,
// at its right, 1280 x 1024.
const Box RIGHT_SCREEN{1920, 0, 1280, 1024};

// The same on a two-monitor desktop.
class Viewer_on_two_monitors : public Viewer_under_a_manager {
 protected:
  void SetUp() override {
    Viewer_under_a_manager::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    ASSERT_EQ(brek_test::own_desktop_monitors().size(), 2u);
  }
};

}  // namespace viewer_test
