// Windows opened from a main window on the right monitor (openbox on an X
// server of the test's own, with the monitors 1920 x 1080 and, at its
// right, 1280 x 1024): the editor and its print dialog open on that
// monitor, not on the first one.

#include <gtest/gtest.h>

#include "platform/test_events.h"
#include "printing/edit_collage_print.h"
#include "printing/print_dialog.h"
#include "tests/printing/editor_test_support.h"
#include "tests/support/on_screen_rect.h"
#include "tests/support/on_window_layer.h"
#include "tests/support/own_desktop.h"
#include "tests/support/wait_until.h"
#include "viewer/collage_viewer.h"

using namespace brek;
namespace te = brek_platform::test_events;
using Box = x11_test::Client::Box;
using brek_test::describe;

TEST(WindowsOfTheRightMonitor, TheEditorAndItsPrintDialogOpenOnTheMainWindowsMonitor) {
  if (!brek_test::own_desktop_failure().empty()) GTEST_SKIP() << brek_test::own_desktop_failure();
  x11_test::Client x;
  ASSERT_TRUE(x.ok());
  const Box right{1920, 0, 1280, 1024};
  brek_test::On_window_layer<editor_test::Quiet_screen> layer;
  Ref<C_Collage_viewer> viewer = make<C_Collage_viewer>();
  viewer->load_language();
  viewer->set_bounds(rect{1600, 100, 600, 450});
  viewer->show();
  ASSERT_TRUE(te::wait_exposed(viewer->native));
  C_Edit_collage_print::install();
  C_Edit_collage_print::edit_image(viewer, editor_test::pasted(40, 40, editor_test::RED));
  Ref<C_Edit_collage_print> editor = C_Edit_collage_print::editor_of(viewer);
  ASSERT_TRUE(te::wait_exposed(editor->native) && x.window_manager_barrier());
  te::settle();
  const Box editor_frame = x.frame_geometry(brek_test::x11_window_of(editor));
  EXPECT_TRUE(brek_test::inside(editor_frame, right)) << describe(editor_frame);

  Box dialog_frame;
  te::post_task([&] {
    Ref<C_Form> d = editor->print_dialog;
    if (!te::wait_exposed(d->native) || !x.window_manager_barrier()) return;
    te::settle();
    dialog_frame = x.frame_geometry(brek_test::x11_window_of(d));
    d->close_with("CANCEL");
  });
  te::post_task([&] { editor->print_dialog->close_with("TIMEOUT"); }, 20000);
  EXPECT_EQ(C_Print_dialog::show_for(editor), "CANCEL");
  EXPECT_TRUE(brek_test::inside(dialog_frame, right)) << describe(dialog_frame);
  editor.reset();
  dispose_now(viewer);
}
