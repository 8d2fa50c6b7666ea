// A long print under a window manager (openbox on an X server of the
// test's own): the long-operation window opens over the print dialog whose
// work it reports, as a dialog opens over its owner, not where the manager
// would put a window of its own, and stays above it; Escape in it cancels;
// the manager's close box on the dialog while the job runs.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/printing/long_print_support.h"
#include "tests/support/on_screen_rect.h"
#include "tests/support/own_desktop.h"
#include "tests/support/wait_until.h"

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

// The window manager's close box on the print dialog while its job runs:
// first while the long-operation window shows, then at the job's first
// page (the window made by then, so the job lets messages through from
// the start). The dialog stays, the Cancel clicked afterwards stops the
// job, and nothing is written; once the job is over, the close box closes
// the dialog.
TEST_F(LongPrint, TheCloseBoxLeavesTheDialogOfARunningJobAndClosesItAfter) {
  if (!brek_test::own_desktop_failure().empty()) GTEST_SKIP() << brek_test::own_desktop_failure();
  x11_test::Client x;
  ASSERT_TRUE(x.ok());
  collage();
  for (const bool while_shown : {true, false}) {
    SCOPED_TRACE(while_shown ? "while the window shows" : "at the first page");
    bool asked = false, cancelled = false, closed_after = false;
    close_after = [&](const Ref<C_Print_dialog>& dlg) {
      if (!while_shown) {
        brek_test::press_close_box(x, dlg);
        closed_after = brek_test::wait_until([&] {
          te::settle();
          return !dlg->is_visible();
        });
      }
      dlg->close_with("DONE");
    };
    {
      Mid_job job(clock, [this] { return writing(); });
      job.each = [&] {
        if (!asked && (window_shown() || !while_shown)) {
          asked = true;
          brek_test::press_close_box(x, e->print_dialog);
        }
        if (!asked || cancelled || !window_shown()) return;
        cancelled = true;
        // Clicked through the server, after the close request.
        brek_test::cancel_through_the_server(x, window());
      };
      print_through_the_dialog("", pdf);
    }
    ASSERT_TRUE(cancelled);
    EXPECT_TRUE(open_after);
    EXPECT_FALSE(std::filesystem::exists(pdf));
    EXPECT_TRUE(screen->messages.empty()) << screen->messages.front();
    EXPECT_TRUE(closed_after || while_shown);
  }
}

// After the question whether to replace a file, and after a file dialog
// alone: the window is the dialog's (WM_TRANSIENT_FOR), so the manager
// keeps it above the dialog, and a click where its Cancel shows reaches
// Cancel. The job stops; a file replaced is left as it was.
TEST_F(LongPrint, ItsWindowStaysAboveTheDialogAfterTheReplaceQuestionAndTheFileDialog) {
  if (!brek_test::own_desktop_failure().empty()) GTEST_SKIP() << brek_test::own_desktop_failure();
  x11_test::Client x;
  ASSERT_TRUE(x.ok());
  collage();
  for (const bool replacing : {true, false}) {
    SCOPED_TRACE(replacing ? "after the replace question" : "after the file dialog");
    if (replacing)
      ASSERT_TRUE(brek_test::write_file(pdf, "mine"));
    else
      std::filesystem::remove(pdf);
    bool seen = false, transient = false, above = false, cancelled = false;
    {
      Mid_job job(clock, [this] { return writing(); });
      when_shown(job, seen, [&] {
        if (!te::wait_exposed(window()->native) || !x.window_manager_barrier()) return;
        te::settle();
        const xcb_window_t shown = brek_test::x11_window_of(window());
        const xcb_window_t dialog = brek_test::x11_window_of(e->print_dialog);
        transient = x.transient_for(shown) == dialog;
        above = x.above(shown, dialog);
        // The pointer's click goes to whatever window shows there.
        const Box c = brek_test::control_on_screen(x, window(), window()->cancel_button_);
        x.click_at(c.x + c.w / 2, c.y + c.h / 2);
        cancelled = cancel_taken();
      });
      print_through_the_dialog("", pdf);
    }
    ASSERT_TRUE(seen);
    EXPECT_TRUE(transient);
    EXPECT_TRUE(above);
    EXPECT_TRUE(cancelled);
    if (replacing)
      EXPECT_TRUE(brek_test::read_file(pdf) == "mine");
    else
      EXPECT_FALSE(std::filesystem::exists(pdf));
  }
}

// Escape pressed through the server in the window, which has the focus,
// cancels the job as its Cancel button does: no file is written.
TEST_F(LongPrint, EscapeInItsWindowCancelsTheJob) {
  if (!brek_test::own_desktop_failure().empty()) GTEST_SKIP() << brek_test::own_desktop_failure();
  x11_test::Client x;
  ASSERT_TRUE(x.ok());
  collage();
  constexpr xcb_keycode_t ESCAPE = 9;
  bool seen = false, focused = false, cancelled = false;
  {
    Mid_job job(clock, [this] { return writing(); });
    when_shown(job, seen, [&] {
      focused = te::wait_exposed(window()->native) && x.pick(brek_test::x11_window_of(window()));
      if (!focused) return;
      x.stroke(ESCAPE);
      cancelled = cancel_taken();
    });
    print_through_the_dialog("", pdf);
  }
  ASSERT_TRUE(seen);
  ASSERT_TRUE(focused);
  EXPECT_TRUE(cancelled);
  EXPECT_FALSE(std::filesystem::exists(pdf));
}
