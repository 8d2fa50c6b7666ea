// The save dialog on a small desktop scaled by 2 (1024 x 768 pixels,
// openbox on an X server of the test's own): like every other dialog it
// is cut to the work area, frame included, so its buttons are in reach.

#include <gtest/gtest.h>

#include "forms/dialog_file.h"
#include "forms/form.h"
#include "platform/test_events.h"
#include "tests/support/on_screen_rect.h"
#include "tests/support/on_window_layer.h"
#include "tests/support/own_desktop.h"
#include "tests/support/wait_until.h"

using namespace brek;
namespace te = brek_platform::test_events;
using Box = x11_test::Client::Box;

TEST(FileDialogOnASmallDenseDesktop, TheSaveDialogIsCutToTheWorkArea) {
  if (!brek_test::own_desktop_failure().empty()) GTEST_SKIP() << brek_test::own_desktop_failure();
  x11_test::Client x;
  ASSERT_TRUE(x.ok());
  brek_test::On_window_layer<> layer;
  Ref<C_Form> f = make<C_Form>();
  f->set_bounds(rect{20, 20, 300, 200});
  f->show();
  ASSERT_TRUE(te::wait_exposed(f->native));
  Ref<C_Dialog_file> save = C_Dialog_file::create_save(f, "SAVE");
  Box frame;
  xcb_window_t dialog = XCB_WINDOW_NONE;
  te::post_task([&] {
    // The dialog is shown once the manager gave it the keyboard (with no
    // window focused the manager's own 1x1 window has it).
    const auto dialog_focused = [&] {
      const xcb_window_t focus = x.input_focus();
      if (focus <= XCB_INPUT_FOCUS_POINTER_ROOT || x.transient_for(focus) != brek_test::x11_window_of(f)) return false;
      dialog = focus;
      return true;
    };
    if (!brek_test::wait_until([&] {
          te::settle();
          return te::modal_window_open() && dialog_focused();
        }) ||
        !x.window_manager_barrier())
      return;
    te::settle();
    frame = x.frame_geometry(dialog);
    te::answer_next_file_dialog(false);
  });
  te::post_task([] { te::answer_next_file_dialog(false); }, 20000);
  EXPECT_FALSE(save->execute());
  EXPECT_GT(frame.w, 0);
  EXPECT_TRUE(brek_test::inside(frame, x.work_area())) << brek_test::describe(frame);
  dispose_now(f);
}
