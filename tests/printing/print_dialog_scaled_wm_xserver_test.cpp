// The print dialog on a high-density desktop: an X server of the test's
// own, 1920 x 1080 pixels scaled by 2 (960 x 540 window pixels), under a
// window manager. The dialog asks for more room than the screen has: it is
// cut to the screen, frame included, and its bottom row (copies, printer,
// Print, Close) is on the screen and takes a click.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>

#include "forms/button.h"
#include "forms/edit.h"
#include "forms/placement.h"
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
    if (!te::wait_exposed(dlg->native) || !x.window_manager_barrier()) return;
    te::settle();
    frame = x.frame_geometry(brek_test::x11_window_of(dlg));
    off_screen = brek_test::outside(x, dlg, {dlg->copies, dlg->printer_list, dlg->b_print, dlg->cancel}, screen);
    brek_test::click_on_screen(x, dlg, dlg->cancel);
  });
  EXPECT_TRUE(brek_test::inside(frame, screen)) << describe(frame) << " on " << describe(screen);
  EXPECT_EQ(off_screen, "");
  EXPECT_EQ(result, "CANCEL");
}

// A panel along the screen's bottom edge (a desktop's task bar) leaves the
// dialog less height than its options need: their column scrolls, and a
// click on the align box, scrolled with it, picks the cell under the
// pointer.
TEST_F(PrintDialogOnADenseDesktop, TheAlignBoxOfAScrolledColumnTakesTheCellClicked) {
  ASSERT_TRUE(x.ok());
  add_card(rect{0, 0, 100, 50}, editor_test::BLUE);
  // The program sees the smaller work area before the dialog opens, and
  // the whole screen again when the test ends.
  auto work_height = [] {
    te::settle();
    Placement::refresh_monitors();
    return std::pair{Placement::monitor_work_area(0).h, Placement::monitor_rect(0).h};
  };
  struct Panel {
    x11_test::Client& x;
    std::function<std::pair<double, double>()> work;
    xcb_window_t w = x.open_window(0, 660, brek_test::OWN_DESKTOP_WIDTH, 420, "panel", "Panel", "panel");
    ~Panel() {
      x.close_window(w);
      EXPECT_TRUE(brek_test::wait_until([&] {
        const auto [height, whole] = work();
        return height == whole;
      }));
    }
  } panel{x, work_height};
  x.set_cardinals(panel.w, "_NET_WM_STRUT_PARTIAL",
                  {0, 0, 0, 420, 0, 0, 0, 0, 0, 0, 0, brek_test::OWN_DESKTOP_WIDTH - 1});
  ASSERT_TRUE(brek_test::wait_until([&] {
    const auto [height, whole] = work_height();
    return height < whole;
  }));
  Box before, after;
  const std::string result = run([&] {
    Ref<C_Print_dialog> dlg = ref_cast<C_Print_dialog>(e->print_dialog);
    if (!te::wait_exposed(dlg->native) || !x.window_manager_barrier()) return;
    te::settle();
    before = brek_test::control_on_screen(x, dlg, dlg->align_box);
    // The last option takes the focus: the column scrolls to it.
    dlg->set_focus(dlg->b_reset);
    te::settle();
    after = brek_test::control_on_screen(x, dlg, dlg->align_box);
    const Box window = x.geometry(brek_test::x11_window_of(dlg));
    // The bottom right cell, then Close: the run ends once both clicks
    // were handled, in their order.
    const int cell_x = after.x + after.w * 5 / 6, cell_y = after.y + after.h * 5 / 6;
    if (cell_y <= window.y) return dlg->close_with("THE CELL IS SCROLLED AWAY");
    x.click(brek_test::x11_window_of(dlg), cell_x - window.x, cell_y - window.y);
    brek_test::click_on_screen(x, dlg, dlg->cancel);
  });
  EXPECT_EQ(result, "CANCEL");
  ASSERT_LT(after.y, before.y) << "the options did not scroll: " << describe(after);
  Ref<C_Print_dialog> dlg = ref_cast<C_Print_dialog>(e->print_dialog);
  EXPECT_EQ(dlg->align_column, 2);
  EXPECT_EQ(dlg->align_row, 2);
}
