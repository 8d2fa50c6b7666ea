// The print dialog on a high-density desktop: an X server of the test's
// own, 1920 x 1080 pixels scaled by 2 (960 x 540 window pixels), under a
// window manager. The dialog asks for more room than the screen has: it is
// cut to the screen, frame included, and its bottom row (copies, printer,
// Print, Close) is on the screen and takes a click.

#include <gtest/gtest.h>

#include <string>

#include "forms/button.h"
#include "forms/edit.h"
#include "tests/printing/print_dialog_support.h"
#include "tests/support/on_screen_rect.h"
#include "tests/support/own_desktop.h"

using namespace brek;
namespace te = brek_platform::test_events;
using Box = x11_test::Client::Box;
using brek_test::describe;

namespace {

class PrintDialogOnADenseDesktop : public print_test::PrintDialog {
 protected:
  void SetUp() override {
    if (!brek_test::own_desktop_failure().empty()) GTEST_SKIP() << brek_test::own_desktop_failure();
    print_test::PrintDialog::SetUp();
  }
  x11_test::Client x;
};

}  // namespace

TEST_F(PrintDialogOnADenseDesktop, TheDialogAndItsButtonRowAreOnTheScreen) {
  ASSERT_TRUE(x.ok());
  add_card(rect{0, 0, 100, 50}, editor_test::BLUE);
  const Box screen = x.work_area();
  Box frame;
  std::string off_screen;
  const std::string result = run([&] {
    Ref<C_Print_dialog> dlg = ref_cast<C_Print_dialog>(e->print_dialog);
    if (!te::wait_exposed(dlg->native)) return;
    te::settle();
    frame = x.frame_geometry(brek_test::x11_window_of(dlg));
    for (const Ref<C_Control>& c : std::vector<Ref<C_Control>>{dlg->copies, dlg->printer_list, dlg->b_print, dlg->cancel})
      if (!brek_test::inside(brek_test::control_on_screen(x, dlg, c), screen))
        off_screen += c->name + " " + describe(brek_test::control_on_screen(x, dlg, c)) + "; ";
    brek_test::click_on_screen(x, dlg, dlg->cancel);
  });
  EXPECT_TRUE(brek_test::inside(frame, screen)) << describe(frame) << " on " << describe(screen);
  EXPECT_EQ(off_screen, "");
  EXPECT_EQ(result, "CANCEL");
}
