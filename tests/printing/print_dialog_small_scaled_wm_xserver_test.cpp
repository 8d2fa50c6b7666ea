// The print dialog on a small high-density desktop: an X server of the
// test's own, 1024 x 768 pixels scaled by 2 (512 x 384 window pixels),
// under a window manager. The dialog's bottom row has less room than its
// controls ask for: each of them stays whole in the window, none covers
// another, and Print and Close each take a click through the X server.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

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

class PrintDialogOnASmallDenseDesktop : public print_test::PrintDialog {};

bool overlap(const Box& a, const Box& b) {
  return a.x < b.x + b.w && b.x < a.x + a.w && a.y < b.y + b.h && b.y < a.y + a.h;
}

}  // namespace

TEST_F(PrintDialogOnASmallDenseDesktop, TheBottomRowKeepsEachControlWholeAndClickable) {
  if (!brek_test::own_desktop_failure().empty()) GTEST_SKIP() << brek_test::own_desktop_failure();
  x11_test::Client x;
  ASSERT_TRUE(x.ok());
  add_card(rect{0, 0, 100, 50}, editor_test::BLUE);
  std::string outside, covered;
  const std::string result = run([&] {
    Ref<C_Print_dialog> dlg = ref_cast<C_Print_dialog>(e->print_dialog);
    if (!te::wait_exposed(dlg->native) || !x.window_manager_barrier()) return;
    te::settle();
    const Box window = x.geometry(brek_test::x11_window_of(dlg));
    const std::vector<Ref<C_Control>> row{dlg->copies, dlg->printer_list, dlg->b_print, dlg->cancel};
    outside = brek_test::outside(x, dlg, row, window);
    for (size_t i = 0; i < row.size(); ++i)
      for (size_t j = i + 1; j < row.size(); ++j)
        if (overlap(brek_test::control_on_screen(x, dlg, row[i]), brek_test::control_on_screen(x, dlg, row[j])))
          covered += row[i]->name + " and " + row[j]->name + "; ";
    // Print to a PDF file, then Close.
    dlg->printer_list->set_item_index(dlg->printer_list->line_count() - 1);
    te::settle();
    te::answer_next_file_dialog(true, {pdf});
    brek_test::click_on_screen(x, dlg, dlg->b_print);
    // The dialog by value: the task runs after this one has returned.
    te::post_task([&x, dlg] { brek_test::click_on_screen(x, dlg, dlg->cancel); });
  });
  EXPECT_EQ(outside, "");
  EXPECT_EQ(covered, "");
  EXPECT_TRUE(std::filesystem::exists(pdf)) << "Print took no click";
  EXPECT_EQ(result, "CANCEL");
}
