// The viewer's dialogs under a window manager (openbox on an X server of
// the test's own, 1920 x 1080), which puts a frame around each window: a
// dialog opens centred over the window it belongs to and wholly on the
// screen, frame and buttons included, and its buttons take a click; a
// message closed by a key leaves the keys to the window it was over.

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <utility>

#include "baselib/config.h"
#include "platform/test_events.h"
#include "tests/support/as_user.h"
#include "tests/support/on_screen_rect.h"
#include "tests/support/own_desktop.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tmpfs_mount.h"
#include "tests/support/wait_until.h"
#include "tests/viewer/viewer_move_window_support.h"
#include "tests/viewer/viewer_on_screen.h"
#include "viewer/dialog_replace.h"
#include "viewer/move_to_dirs.h"

using namespace viewer_test;
namespace te = brek_platform::test_events;
namespace fs = std::filesystem;
using Box = x11_test::Client::Box;
using brek_test::describe;

namespace {
constexpr int VK_F6 = 117, VK_LEFT = 37;

// A picture whose name is taken in the move window's target 1, the move
// window's placement stored as given, and the viewer showing the picture.
class ViewerDialogsUnderAWindowManager : public Picture_with_a_name_clash {
 protected:
  // The viewer started with the move window's placement stored (points),
  // or with none when width is 0.
  void start(int width, int height, int left, int top) {
    auto text = [](int v) { return "\"" + std::to_string(v) + "\"\n"; };
    if (width > 0) {
      ASSERT_TRUE(write_config_file("Collage viewer/Collage viewer.conf",
                                    "[Move to dir]\nCWidth = " + text(width) + "CHeight = " + text(height) +
                                        "Width = " + text(width + 3) + "Height = " + text(height + 3) +
                                        "Left = " + text(left) + "Top = " + text(top)));
    }
    s = std::make_unique<Viewer_on_screen<Test_viewer>>();
    s->v->open_file(from + "/a.bmp");
    s->v->show();
    ASSERT_TRUE(te::wait_exposed(s->v->native));
  }
  // F6 on the viewer; the move window once it shows.
  Ref<C_Move_to_dirs> open_move_window() {
    if (!te::window_key_press(s->v->native, VK_F6)) return {};
    te::window_key_release(s->v->native, VK_F6);
    Ref<C_Move_to_dirs> w = s->v->collage->move_dialog;
    return !w.is_none() && te::wait_exposed(w->native) ? w : Ref<C_Move_to_dirs>();
  }
  // Key 1 on the move window, with the task posted to run inside the
  // name-clash question that follows (ended after a while all the same).
  void move_to_1(const Ref<C_Move_to_dirs>& w, std::function<void()> task) {
    te::post_task(std::move(task));
    te::post_task([w] {
      if (!w->replace_dialog.is_none()) w->replace_dialog->close_with("TIMEOUT");
    }, 20000);
    ASSERT_TRUE(te::window_key_press(w->native, '1'));
    te::window_key_release(w->native, '1');
  }

  std::unique_ptr<Viewer_on_screen<Test_viewer>> s;
};

// Keysyms of the keys the user presses through the X server.
constexpr uint32_t XK_DELETE = 0xffff, XK_RETURN = 0xff0d, XK_SPACE = 0x20, XK_ESCAPE = 0xff1b, XK_LEFT = 0xff51, XK_RIGHT = 0xff53,
                   XK_SHIFT = 0xffe1;

}  // namespace

// The move window low on the screen; the picture's name is taken in the
// target folder. The question about it fits on the screen under the move
// window, and RENAME clicked through the X server moves the picture under
// a new name.
TEST_F(ViewerDialogsUnderAWindowManager, TheNameClashDialogIsWhollyOnTheScreenOverTheMoveWindow) {
  // 400 x 300 points at 780, 520: its frame ends some 60 pixels above the
  // screen's bottom edge.
  start(400, 300, 780, 520);
  Ref<C_Move_to_dirs> w = open_move_window();
  ASSERT_FALSE(w.is_none());

  Box screen = x.work_area(), owner, dialog;
  std::string buttons_off_screen;
  bool clicked = false;
  move_to_1(w, [&] {
    Ref<C_Dialog_replace> d = w->replace_dialog;
    if (d.is_none() || !te::wait_exposed(d->native) || !x.window_manager_barrier()) return;
    te::settle();
    owner = x.frame_geometry(brek_test::x11_window_of(w));
    dialog = x.frame_geometry(brek_test::x11_window_of(d));
    buttons_off_screen = brek_test::outside(x, d, {d->rename_button, d->delete_button, d->cancel_button}, screen);
    brek_test::click_on_screen(x, d, d->rename_button);
    clicked = true;
  });

  ASSERT_TRUE(clicked);
  EXPECT_TRUE(brek_test::inside(dialog, screen)) << describe(dialog) << " on " << describe(screen);
  EXPECT_EQ(buttons_off_screen, "");
  // Across, where the owner's rule puts it (centred over a window more
  // than a third wider, else 60 points in from its left) unless the screen
  // ends first; downwards the screen ends first.
  const double in = C_Canvas::to_device_pixels(60);
  const double wanted = owner.w * 0.75 - dialog.w > 0 ? owner.x + (owner.w - dialog.w) / 2.0 : owner.x + in;
  EXPECT_NEAR(dialog.x, std::min(wanted, double(screen.x + screen.w - dialog.w)), 1.0)
      << describe(dialog) << " over " << describe(owner);
  EXPECT_EQ(dialog.y + dialog.h, screen.y + screen.h);
  // The click reached RENAME: the picture went under the next free name.
  EXPECT_FALSE(fs::exists(from + "/a.bmp"));
  EXPECT_TRUE(fs::exists(to + "/a.bmp"));
  EXPECT_EQ(std::distance(fs::directory_iterator(to), fs::directory_iterator()), 2);
}

// The name-clash dialog belongs to the move window for the window manager:
// its WM_TRANSIENT_FOR, read from the server once it is mapped, names the
// move window, so the manager keeps it above and gives it no taskbar
// button.
TEST_F(ViewerDialogsUnderAWindowManager, TheNameClashDialogIsADialogOfTheMoveWindow) {
  start(400, 300, 300, 150);
  Ref<C_Move_to_dirs> w = open_move_window();
  ASSERT_FALSE(w.is_none());
  xcb_window_t named = XCB_WINDOW_NONE;
  bool shown = false;
  move_to_1(w, [&] {
    Ref<C_Dialog_replace> d = w->replace_dialog;
    if (d.is_none() || !te::wait_exposed(d->native) || !x.window_manager_barrier()) return;
    te::settle();
    shown = true;
    named = x.transient_for(brek_test::x11_window_of(d));
    brek_test::click_on_screen(x, d, d->cancel_button);
  });
  ASSERT_TRUE(shown);
  EXPECT_EQ(named, brek_test::x11_window_of(w));
  EXPECT_TRUE(fs::exists(from + "/a.bmp"));
}

// The move window closed and opened again, ten times, with the name-clash
// dialog asked and closed inside it each time: each comes back at the
// size and place it had, and the stored placement stays as it was.
TEST_F(ViewerDialogsUnderAWindowManager, TheMoveWindowAndTheNameClashDialogReopenAsTheyWereTenTimes) {
  auto stored = [] {
    Ref<C_Config> c = C_Config::open_read("Collage viewer", area_where_configuration_is_stored::USER, "Move to dir");
    std::string values;
    for (const char* key : {"Left", "Top", "Width", "Height", "CWidth", "CHeight"})
      values += std::to_string(c->read_real_value(key)) + " ";
    return values;
  };
  start(450, 330, 300, 150);
  const std::string before = stored();
  Box first_window, first_dialog;
  for (int opening = 1; opening <= 10; ++opening) {
    Ref<C_Move_to_dirs> w = open_move_window();
    ASSERT_TRUE(!w.is_none() && x.window_manager_barrier());
    te::settle();
    const Box window = x.geometry(brek_test::x11_window_of(w));
    Box dialog;
    move_to_1(w, [&] {
      Ref<C_Dialog_replace> d = w->replace_dialog;
      if (d.is_none() || !te::wait_exposed(d->native) || !x.window_manager_barrier()) return;
      te::settle();
      dialog = x.geometry(brek_test::x11_window_of(d));
      brek_test::click_on_screen(x, d, d->cancel_button);
    });
    te::close(w->native);
    te::settle();
    ASSERT_TRUE(x.window_manager_barrier());
    if (opening == 1) {
      first_window = window;
      first_dialog = dialog;
    }
    EXPECT_TRUE(window == first_window) << "opening " << opening << ": " << describe(window);
    EXPECT_TRUE(dialog.w > 0 && dialog == first_dialog) << "opening " << opening << ": " << describe(dialog);
  }
  EXPECT_TRUE(first_window == (Box{400, 200, 604, 444})) << describe(first_window);
  EXPECT_EQ(stored(), before);
  EXPECT_TRUE(fs::exists(from + "/a.bmp"));
}

// A new user's move window (no place stored) dragged elsewhere, closed and
// opened again, three times: it comes back where it was dragged, and that
// place is the one stored.
TEST_F(ViewerDialogsUnderAWindowManager, TheMoveWindowComesBackWhereTheUserDraggedIt) {
  // The stored place in the screen's pixels.
  auto stored = [] {
    Ref<C_Config> c = C_Config::open_read("Collage viewer", area_where_configuration_is_stored::USER, "Move to dir");
    return std::make_pair(C_Canvas::to_device_pixels(c->read_real_value("Left")),
                          C_Canvas::to_device_pixels(c->read_real_value("Top")));
  };
  start(0, 0, 0, 0);
  const std::pair<int64_t, int64_t> places[3] = {{613, 677}, {120, 90}, {900, 300}};
  for (const auto& place : places) {
    Ref<C_Move_to_dirs> w = open_move_window();
    ASSERT_TRUE(!w.is_none() && x.window_manager_barrier());
    const xcb_window_t id = brek_test::x11_window_of(w);
    x.request_move(id, int(place.first), int(place.second));
    // The window is there and the program has seen it move.
    ASSERT_TRUE(brek_test::wait_until([&] {
      te::settle();
      return stored() == place;
    })) << describe(x.geometry(id));
    te::close(w->native);
    te::settle();
    ASSERT_TRUE(x.window_manager_barrier());
    ASSERT_FALSE(open_move_window().is_none());
    ASSERT_TRUE(x.window_manager_barrier());
    te::settle();
    const Box back = x.geometry(id);
    EXPECT_TRUE(back.x == place.first && back.y == place.second) << describe(back);
    EXPECT_TRUE(stored() == place);
    te::close(w->native);
    te::settle();
  }
}

// Delete fails on a read-only file system and says so. Each message is
// closed by Return, Space or Escape at a random moment, with Right and Shift
// pressed around the close; in every other round the user looks at another
// program's window while the message is open and comes back to it. After
// each close the window has the keys again: Left pressed then reaches it
// (a key pressed around the close could not tell, arriving late).
TEST(ViewerKeysUnderAWindowManager, KeysReachTheWindowAfterEachMessageClosedByAKey) {
  if (!brek_test::own_desktop_failure().empty()) GTEST_SKIP() << brek_test::own_desktop_failure();
  brek_test::Tmpfs_mount disk("1m");
  if (!disk.mounted()) GTEST_SKIP() << disk.failure();
  ASSERT_TRUE(write_bmp(quadrants(120, 90), disk.file("a.bmp")));
  ASSERT_TRUE(disk.make_read_only());
  x11_test::Client x;
  ASSERT_TRUE(x.ok());
  const xcb_window_t other = x.open_window(1200, 100, 400, 300, "other", "Other", "Another program");
  Viewer_on_screen<Key_count_viewer> s;
  s.v->open_file(disk.file("a.bmp"));
  s.v->show();
  ASSERT_TRUE(te::wait_exposed(s.v->native));
  const xcb_window_t viewer = brek_test::x11_window_of(s.v);

  std::string faults;
  brek_test::as_user([&] {
    x11_test::Client user;
    std::mt19937 random(20261208);
    auto between = [&](int a, int b) { return std::uniform_int_distribution<int>(a, b)(random); };
    // The user's pace: how long a key is held, the pauses between keys.
    auto press = [&](uint32_t key) {
      user.key(key, true);
      std::this_thread::sleep_for(std::chrono::milliseconds(between(2, 40)));
      user.key(key, false);
    };
    for (int round = 0; round < 12 && faults.empty(); ++round) {
      const std::string at = "round " + std::to_string(round) + ": ";
      if (!user.pick(viewer)) faults += at + "the window did not take the focus\n";
      press(XK_DELETE);
      // The message takes the focus when it opens.
      xcb_window_t message = XCB_WINDOW_NONE;
      if (!brek_test::wait_until([&] {
            message = user.input_focus();
            return message != viewer && message != other && message > XCB_INPUT_FOCUS_POINTER_ROOT;
          })) {
        faults += at + "no message\n";
        break;
      }
      if (round % 2 == 1 && !(user.pick(other) && user.pick(message)))
        faults += at + "the user could not look elsewhere\n";
      // Right or Shift before the close, the close, Right or Shift after it,
      // each at a random moment.
      const uint32_t closers[] = {XK_RETURN, XK_SPACE, XK_ESCAPE}, around[] = {XK_RIGHT, XK_SHIFT};
      for (int step = 0; step < 3; ++step) {
        std::this_thread::sleep_for(std::chrono::milliseconds(between(0, 150)));
        if (step == 1)
          press(closers[between(0, 2)]);
        else if (between(0, 1))
          press(around[between(0, 1)]);
      }
      brek_test::wait_until([&] { return user.input_focus() == viewer; });
      const int before = s.v->downs[VK_LEFT];
      press(XK_LEFT);
      if (!brek_test::wait_until([&] { return s.v->downs[VK_LEFT] > before; })) {
        const xcb_window_t focus = user.input_focus();
        faults += at + "Left did nothing after the message closed; the focus is on " +
                  (focus == other ? std::string("the other program") : std::to_string(focus)) + "\n";
      }
    }
  });
  EXPECT_EQ(faults, "");
}
