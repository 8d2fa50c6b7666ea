// The print dialog under a window manager (openbox on an X server of the
// test's own, 1920 x 1080), which frames it anew each time it opens: the
// dialog comes back at the size and place it had, opening after opening.

#include <gtest/gtest.h>

#include <string>

#include "forms/button.h"
#include "tests/printing/print_dialog_support.h"
#include "tests/support/on_screen_rect.h"
#include "tests/support/own_desktop.h"

using namespace brek;
namespace te = brek_platform::test_events;
using Box = x11_test::Client::Box;
using brek_test::describe;

namespace {
class PrintDialogUnderAWindowManager : public print_test::PrintDialog {};
}  // namespace

TEST_F(PrintDialogUnderAWindowManager, ItReopensAtItsSizeAndPlaceTenTimes) {
  if (!brek_test::own_desktop_failure().empty()) GTEST_SKIP() << brek_test::own_desktop_failure();
  x11_test::Client x;
  ASSERT_TRUE(x.ok());
  add_card(rect{0, 0, 100, 50}, editor_test::BLUE);
  Box first;
  for (int opening = 1; opening <= 10; ++opening) {
    Box now;
    const std::string result = run([&] {
      Ref<C_Print_dialog> dlg = ref_cast<C_Print_dialog>(e->print_dialog);
      if (!te::wait_exposed(dlg->native) || !x.window_manager_barrier()) return;
      te::settle();
      now = x.geometry(brek_test::x11_window_of(dlg));
      brek_test::click_on_screen(x, dlg, dlg->cancel);
    });
    ASSERT_EQ(result, "CANCEL") << "opening " << opening;
    if (opening == 1) first = now;
    EXPECT_TRUE(now == first) << "opening " << opening << ": " << describe(now) << ", not " << describe(first);
  }
}
