// Other programs' windows on a real X server: a second client opens them
// with a known class, title and place, and the program finds, measures and
// raises them.

#include <gtest/gtest.h>

#include <cstdlib>

#include "forms/form.h"
#include "forms/form_bridge.h"
#include "forms/placement.h"
#include "forms/screen.h"
#include "platform/test_events.h"
#include "platform/window.h"
#include "tests/support/x11_client.h"

using namespace brek;
namespace te = brek_platform::test_events;

namespace {

class OutsideWindowsOnXServer : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) GTEST_SKIP() << "no X server";
    ASSERT_TRUE(x.ok());
    previous = brek_platform::set_native_forms(brek_platform::window_layer());
    // 2 pixels a point makes a conversion that was left out show.
    brek_platform::set_pixels_per_inch_override(144);
  }
  void TearDown() override {
    brek_platform::set_pixels_per_inch_override(0);
    brek_platform::set_native_forms(previous);
  }
  static void expect_rect(const rect& r, double x, double y, double w, double h) {
    EXPECT_DOUBLE_EQ(r.x, x);
    EXPECT_DOUBLE_EQ(r.y, y);
    EXPECT_DOUBLE_EQ(r.w, w);
    EXPECT_DOUBLE_EQ(r.h, h);
  }
  x11_test::Client x;
  brek_platform::Native_forms* previous = nullptr;
};

}  // namespace

TEST_F(OutsideWindowsOnXServer, FoundByClassAndTitleAndMeasuredInPoints) {
  xcb_window_t one = x.open_window(130, 90, 240, 120, "collage_probe", "Collage_probe", "Probe one");
  xcb_window_t two = x.open_window(400, 300, 100, 60, "collage_probe", "Collage_probe", "Probe two");
  // Either name of the class pair, in any case; the title exactly.
  EXPECT_EQ(Placement::find_window("Collage_probe", "Probe two"), int64_t(two));
  EXPECT_EQ(Placement::find_window("COLLAGE_PROBE", "Probe one"), int64_t(one));
  EXPECT_EQ(Placement::find_window("", "Probe one"), int64_t(one));
  int64_t any = Placement::find_window("collage_probe", "");
  EXPECT_TRUE(any == int64_t(one) || any == int64_t(two));
  EXPECT_EQ(Placement::find_window("Collage_probe", "Probe"), 0);
  EXPECT_EQ(Placement::find_window("Collage_prob", "Probe one"), 0);

  expect_rect(Placement::get_window_rect(int64_t(one)), 65, 45, 120, 60);
  expect_rect(Placement::get_window_rect(int64_t(two)), 200, 150, 50, 30);
  expect_rect(Placement::get_window_rect(0), 0, 0, 0, 0);
  // The frame a window manager draws counts: left 4, right 6, top 20,
  // bottom 2 pixels.
  x.set_cardinals(two, "_NET_FRAME_EXTENTS", {4, 6, 20, 2});
  expect_rect(Placement::get_window_rect(int64_t(two)), 198, 140, 55, 41);

  // A window that went is neither found nor measured.
  x.close_window(two);
  EXPECT_EQ(Placement::find_window("Collage_probe", "Probe two"), 0);
  expect_rect(Placement::get_window_rect(int64_t(two)), 0, 0, 0, 0);

  // The program's own windows are in the list too, under their caption.
  auto screen = make<C_Screen>();
  auto form = make<C_Form>();
  form->set_caption("Probe form");
  form->set_bounds({30, 30, 150, 100});
  form->show();
  ASSERT_TRUE(te::wait_exposed(form->native));
  EXPECT_EQ(Placement::find_window("", "Probe form"), C_Brek_form::window_handle(form->native));
  form->close_window();
  te::settle();
}

TEST_F(OutsideWindowsOnXServer, TheWindowManagersListIsUsedWhenThereIsOne) {
  xcb_window_t listed = x.open_window(10, 10, 50, 50, "collage_probe", "Collage_probe", "Listed");
  xcb_window_t unlisted = x.open_window(70, 10, 50, 50, "collage_probe", "Collage_probe", "Unlisted");
  x.set_root_windows("_NET_CLIENT_LIST", {listed});
  EXPECT_EQ(Placement::find_window("collage_probe", "Listed"), int64_t(listed));
  EXPECT_EQ(Placement::find_window("collage_probe", "Unlisted"), 0);
  x.set_root_windows("_NET_CLIENT_LIST", {});
  EXPECT_EQ(Placement::find_window("collage_probe", "Unlisted"), int64_t(unlisted));
}

TEST_F(OutsideWindowsOnXServer, ForegroundRaisesAndFocusesAShownWindow) {
  xcb_window_t lower = x.open_window(100, 100, 200, 150, "collage_probe", "Collage_probe", "Lower");
  xcb_window_t upper = x.open_window(150, 150, 200, 150, "collage_probe", "Collage_probe", "Upper");
  ASSERT_EQ(x.stacking().back(), upper);
  EXPECT_TRUE(Placement::set_foreground(int64_t(lower)));
  x.sync();
  EXPECT_EQ(x.stacking().back(), lower);
  EXPECT_EQ(x.input_focus(), lower);

  EXPECT_FALSE(Placement::set_foreground(0));
  x.close_window(upper);
  EXPECT_FALSE(Placement::set_foreground(int64_t(upper)));
  EXPECT_EQ(x.input_focus(), lower);
}

TEST_F(OutsideWindowsOnXServer, AWindowManagerThatActivatesIsAskedToDoIt) {
  xcb_window_t target = x.open_window(100, 100, 200, 150, "collage_probe", "Collage_probe", "Target");
  if (!x.act_as_window_manager()) GTEST_SKIP() << "a window manager runs";
  x.set_root_windows("_NET_SUPPORTED", {x.atom("_NET_ACTIVE_WINDOW")});
  EXPECT_TRUE(Placement::set_foreground(int64_t(target)));
  xcb_client_message_event_t m{};
  const bool asked = x.next_client_message("_NET_ACTIVE_WINDOW", m);
  x.set_root_windows("_NET_SUPPORTED", {});
  x.stop_acting_as_window_manager();
  ASSERT_TRUE(asked);
  EXPECT_EQ(m.window, target);
  EXPECT_EQ(m.format, 32);
  EXPECT_EQ(m.data.data32[0], 2u);  // asked as a pager asks
}

TEST_F(OutsideWindowsOnXServer, TheTaskbarWindowShortensTheWorkAreaWhereItsRuleApplies) {
  Placement::refresh_monitors();
  const rect monitor = Placement::monitor_rect(0);
  ASSERT_GT(monitor.h, 100);
  const int bottom = int(C_Brek_form::points_to_pixels(monitor.y + monitor.h));
  const int width = int(C_Brek_form::points_to_pixels(monitor.w));
  expect_rect(Placement::taskbar_rect(), 0, 0, 0, 0);

  // A second monitor's bar stands in when there is no main one.
  xcb_window_t second = x.open_window(0, bottom - 40, width, 40, "shell_secondarytraywnd", "Shell_SecondaryTrayWnd", "");
  expect_rect(Placement::taskbar_rect(), 0, monitor.h - 20, monitor.w, 20);
  xcb_window_t bar = x.open_window(0, bottom - 60, width, 60, "shell_traywnd", "Shell_TrayWnd", "");
  expect_rect(Placement::taskbar_rect(), 0, monitor.h - 30, monitor.w, 30);
  expect_rect(Placement::work_area_for(monitor, rect{}, Placement::taskbar_rect(), "windows"), monitor.x, monitor.y,
              monitor.w, monitor.h - 30);
  x.close_window(bar);
  x.close_window(second);
  expect_rect(Placement::taskbar_rect(), 0, 0, 0, 0);
}
