// A long print under a window manager (openbox on an X server of the
// test's own): the long-operation window opens over the print dialog whose
// work it reports, as a dialog opens over its owner, not where the manager
// would put a window of its own.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/printing/long_print_support.h"
#include "tests/support/on_screen_rect.h"
#include "tests/support/own_desktop.h"

using namespace brek;
namespace te = brek_platform::test_events;
using Box = x11_test::Client::Box;
using brek_test::describe;
using print_test::LongPrint;
using print_test::Mid_job;

TEST_F(LongPrint, ItsWindowOpensOverThePrintDialog) {
  if (!brek_test::own_desktop_failure().empty()) GTEST_SKIP() << brek_test::own_desktop_failure();
  x11_test::Client x;
  ASSERT_TRUE(x.ok());
  collage();
  Box dialog, shown;
  bool seen = false;
  {
    Mid_job job(clock, [this] { return writing(); });
    job.each = [&] {
      if (seen || !window_shown()) return;
      seen = true;
      if (te::wait_exposed(window()->native) && x.window_manager_barrier()) {
        te::settle();
        dialog = x.geometry(brek_test::x11_window_of(e->print_dialog));
        shown = x.geometry(brek_test::x11_window_of(window()));
      }
      te::window_click(window()->cancel_button_->native, {5, 5});
    };
    print_through_the_dialog("", pdf);
  }
  ASSERT_TRUE(seen);
  ASSERT_GT(shown.w, 0);
  // Centred over the dialog, which is more than a third larger.
  EXPECT_TRUE(brek_test::inside(shown, dialog)) << describe(shown) << " over the dialog at " << describe(dialog);
  const std::string both = describe(shown) + ", " + describe(dialog);
  EXPECT_LE(std::abs(2 * shown.x + shown.w - 2 * dialog.x - dialog.w), 4) << both;
  EXPECT_LE(std::abs(2 * shown.y + shown.h - 2 * dialog.y - dialog.h), 4) << both;
}
