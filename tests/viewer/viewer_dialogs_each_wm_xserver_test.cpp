// The viewer's dialogs under each window manager a user may have (openbox,
// icewm, fluxbox on an X server of the test's own), each of which hands
// the keyboard on and lists windows in its own way: a key pressed at once
// after the name-clash question or a message closed reaches the window that
// had the keys when it opened, and no dialog, message or question asks for
// a taskbar button of its own.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/test_events.h"
#include "tests/support/as_user.h"
#include "tests/support/on_screen_rect.h"
#include "tests/support/wait_until.h"
#include "tests/viewer/viewer_move_window_support.h"
#include "tests/viewer/viewer_on_screen.h"
#include "viewer/dialog_replace.h"
#include "viewer/move_to_dirs.h"

using namespace viewer_test;
namespace te = brek_platform::test_events;
namespace fs = std::filesystem;

namespace {

constexpr int VK_F6 = 117, VK_LEFT = 37;
constexpr uint32_t XK_1 = 0x31, XK_ESCAPE = 0xff1b, XK_LEFT = 0xff51, XK_F2 = 0xffbf, XK_2 = 0x32;

class ViewerDialogsUnderEachManager : public Picture_with_a_name_clash {
 protected:
  // The move window open beside the viewer, ROUNDS times: the user
  // presses 1 in the viewer, a window of the program opens over the move
  // window (the name-clash question, or a message), Escape closes it and
  // Left is pressed at once after it closed. How many Lefts did not reach
  // the viewer (the manager may focus the move window on the way; the
  // rounds end after five that did not come at once); `faults` says what
  // else went wrong.
  static constexpr int ROUNDS = 40;
  int lefts_lost(std::string& faults) {
    Viewer_on_screen<Key_count_viewer> s;
    Ref<C_Move_to_dirs> w = beside_the_move_window(s);
    if (w.is_none()) return -1;
    const xcb_window_t viewer = brek_test::x11_window_of(s.v), move = brek_test::x11_window_of(w);
    // Rounds whose Left had not come when the next began (a lost key, or
    // one still on its way on a slow machine); the count is made at the end.
    int late = 0, pressed = 0;
    const int lefts_before = s.v->downs[VK_LEFT];
    // A window the user left open (a round that went wrong) is closed.
    std::atomic<bool> user_done{false};
    std::function<void()> close_left_open = [&] {
      if (!user_done) {
        te::post_task(close_left_open, 100);
        return;
      }
      if (!w->replace_dialog.is_none()) w->replace_dialog->close_with("TIMEOUT");
      te::answer_next_message(false);
    };
    te::post_task(close_left_open, 100);
    brek_test::as_user([&] {
      x11_test::Client user;
      // Five late say enough (each waits for its key a while).
      for (int round = 0; round < ROUNDS && faults.empty() && late < 5; ++round) {
        const std::string at = "round " + std::to_string(round) + ": ";
        if (user.input_focus() != viewer && !user.pick(viewer)) {
          faults += at + "the viewer did not take the focus";
          break;
        }
        const xcb_window_t opened = opened_by(user, XK_1, {viewer, move});
        if (opened == XCB_WINDOW_NONE) {
          faults += at + "nothing opened";
          break;
        }
        const int before = s.v->downs[VK_LEFT];
        user.key(XK_ESCAPE, true);
        user.key(XK_ESCAPE, false);
        if (!brek_test::wait_until([&] { return !user.viewable(opened); })) {
          faults += at + "it did not close";
          break;
        }
        user.key(XK_LEFT, true);
        user.key(XK_LEFT, false);
        ++pressed;
        // The key went elsewhere should it not come: the viewer wants the
        // keys back then, or the next round cannot begin.
        if (!brek_test::wait_until([&] { return s.v->downs[VK_LEFT] > before; }, std::chrono::seconds(3))) ++late;
      }
      user_done = true;
    });
    // A key that was only slow has come by now.
    if (late > 0)
      brek_test::wait_until([&] {
        te::settle();
        return s.v->downs[VK_LEFT] - lefts_before >= pressed;
      });
    te::forget_pending();
    return pressed - (s.v->downs[VK_LEFT] - lefts_before);
  }

  // The viewer showing the picture, the move window open beside it.
  Ref<C_Move_to_dirs> beside_the_move_window(Viewer_on_screen<Key_count_viewer>& s) {
    s.v->open_file(from + "/a.bmp");
    s.v->show();
    if (!te::wait_exposed(s.v->native) || !te::window_key_press(s.v->native, VK_F6)) return {};
    te::window_key_release(s.v->native, VK_F6);
    Ref<C_Move_to_dirs> w = s.v->collage->move_dialog;
    return !w.is_none() && te::wait_exposed(w->native) && x.window_manager_barrier() ? w : Ref<C_Move_to_dirs>();
  }
  // The window that takes the keys once the user pressed the key: none
  // of those there before.
  static xcb_window_t opened_by(x11_test::Client& user, uint32_t keysym, const std::vector<xcb_window_t>& before) {
    user.key(keysym, true);
    user.key(keysym, false);
    xcb_window_t opened = XCB_WINDOW_NONE;
    const bool came = brek_test::wait_until([&] {
      opened = user.input_focus();
      return opened > XCB_INPUT_FOCUS_POINTER_ROOT && std::find(before.begin(), before.end(), opened) == before.end();
    });
    return came ? opened : xcb_window_t(XCB_WINDOW_NONE);
  }

};

}  // namespace

// The picture's name is taken in the target: the name-clash question.
TEST_F(ViewerDialogsUnderEachManager, AKeyPressedAsTheNameClashQuestionClosesReachesTheViewer) {
  std::string faults;
  EXPECT_EQ(lefts_lost(faults), 0) << "of " << ROUNDS << " keys pressed as the question closed were lost";
  EXPECT_EQ(faults, "");
  EXPECT_TRUE(fs::exists(from + "/a.bmp"));
}

// The target is the picture's own folder: a message says the move was
// left out.
TEST_F(ViewerDialogsUnderEachManager, AKeyPressedAsAMessageClosesReachesTheViewer) {
  ASSERT_TRUE(write_config_file("Collage_viewer/Collage_viewer.conf", "[Move_to_dirs]\n1 = \"" + from + "\"\n"));
  std::string faults;
  EXPECT_EQ(lefts_lost(faults), 0) << "of " << ROUNDS << " keys pressed as the message closed were lost";
  EXPECT_EQ(faults, "");
  EXPECT_TRUE(fs::exists(from + "/a.bmp"));
}

// The name-clash question (1 in the viewer), a message (2, the target the
// picture's own folder) and the save dialog (F2), each opened by the user:
// while it is open, the manager holds it as a window without a taskbar
// button of its own (_NET_WM_STATE_SKIP_TASKBAR).
TEST_F(ViewerDialogsUnderEachManager, DialogsMessagesAndQuestionsAskForNoTaskbarButton) {
  ASSERT_TRUE(write_config_file("Collage_viewer/Collage_viewer.conf",
                                "[Move_to_dirs]\n1 = \"" + to + "\"\n2 = \"" + from + "\"\n"));
  Viewer_on_screen<Key_count_viewer> s;
  Ref<C_Move_to_dirs> w = beside_the_move_window(s);
  ASSERT_FALSE(w.is_none());
  const xcb_window_t viewer = brek_test::x11_window_of(s.v), move = brek_test::x11_window_of(w);
  std::string with_button;
  bool all_opened = true;
  brek_test::as_user([&] {
    x11_test::Client user;
    const xcb_atom_t skip = user.atom("_NET_WM_STATE_SKIP_TASKBAR");
    const std::pair<const char*, uint32_t> opening[] = {{"the question", XK_1}, {"the message", XK_2}, {"the save dialog", XK_F2}};
    for (const auto& [what, key] : opening) {
      if (user.input_focus() != viewer && !user.pick(viewer)) all_opened = false;
      const xcb_window_t opened = opened_by(user, key, {viewer, move});
      if (opened == XCB_WINDOW_NONE) {
        all_opened = false;
        continue;
      }
      const std::vector<uint32_t> state = user.cardinals(opened, "_NET_WM_STATE");
      if (std::find(state.begin(), state.end(), skip) == state.end()) with_button += std::string(what) + "; ";
      user.key(XK_ESCAPE, true);
      user.key(XK_ESCAPE, false);
      if (!brek_test::wait_until([&] { return !user.viewable(opened); })) all_opened = false;
    }
  });
  te::forget_pending();
  EXPECT_TRUE(all_opened);
  EXPECT_EQ(with_button, "");
  EXPECT_TRUE(fs::exists(from + "/a.bmp"));
}
