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

// Moved by the user, the dialog opens again where it was moved to.
TEST_F(PrintDialogUnderAWindowManager, ItReopensWhereTheUserMovedIt) {
  if (!brek_test::own_desktop_failure().empty()) GTEST_SKIP() << brek_test::own_desktop_failure();
  x11_test::Client x;
  ASSERT_TRUE(x.ok());
  add_card(rect{0, 0, 100, 50}, editor_test::BLUE);
  Box moved, again;
  auto cancel_when_shown = [&](Box* seen, bool move) {
    return [&x, seen, move, this] {
      Ref<C_Print_dialog> dlg = ref_cast<C_Print_dialog>(e->print_dialog);
      if (!te::wait_exposed(dlg->native) || !x.window_manager_barrier()) return;
      const xcb_window_t id = brek_test::x11_window_of(dlg);
      if (move) {
        x.request_move(id, 581, 333);
        brek_test::wait_until([&] {
          te::settle();
          return x.geometry(id).x == 581 && x.geometry(id).y == 333;
        });
      }
      te::settle();
      *seen = x.geometry(id);
      brek_test::click_on_screen(x, dlg, dlg->cancel);
    };
  };
  ASSERT_EQ(run(cancel_when_shown(&moved, true)), "CANCEL");
  ASSERT_EQ(run(cancel_when_shown(&again, false)), "CANCEL");
  EXPECT_TRUE(moved.x == 581 && moved.y == 333) << describe(moved);
  EXPECT_TRUE(again == moved) << describe(again) << ", not " << describe(moved);
}
