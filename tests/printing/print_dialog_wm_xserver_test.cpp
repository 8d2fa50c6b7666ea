// The print dialog under a window manager (openbox on an X server of the
// test's own, 1920 x 1080), which frames it anew each time it opens: the
// dialog comes back at the size and place it had, opening after opening;
// Tab and Shift+Tab pressed through the server leave its number fields.

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "forms/button.h"
#include "forms/edit.h"
#include "forms/form_bridge.h"
#include "tests/printing/print_dialog_support.h"
#include "tests/support/on_screen_rect.h"
#include "tests/support/own_desktop.h"
#include "tests/support/wait_until.h"

using namespace brek;
namespace te = brek_platform::test_events;
using Box = x11_test::Client::Box;
using brek_test::describe;

namespace {
class PrintDialogUnderAWindowManager : public print_test::PrintDialog {
 protected:
  void SetUp() override {
    PrintDialog::SetUp();
    if (HasFatalFailure()) return;
    if (!brek_test::own_desktop_failure().empty()) GTEST_SKIP() << brek_test::own_desktop_failure();
    ASSERT_TRUE(x.ok());
  }
  x11_test::Client x;
};
}  // namespace

TEST_F(PrintDialogUnderAWindowManager, ItReopensAtItsSizeAndPlaceTenTimes) {
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

// The window manager is told the dialog belongs to the editor's window
// (WM_TRANSIENT_FOR, read from the server once the dialog is mapped), so it
// keeps the dialog above the editor and gives it no taskbar button.
TEST_F(PrintDialogUnderAWindowManager, ItIsADialogOfTheEditorsWindow) {
  add_card(rect{0, 0, 100, 50}, editor_test::BLUE);
  const xcb_window_t editor = brek_test::x11_window_of(e);
  for (int opening = 1; opening <= 2; ++opening) {
    xcb_window_t named = XCB_WINDOW_NONE;
    const std::string result = run([&] {
      Ref<C_Print_dialog> dlg = ref_cast<C_Print_dialog>(e->print_dialog);
      // Clicked once the manager is done with the dialog shown again: a
      // click while it still handles the window can go unseen.
      if (!te::wait_exposed(dlg->native) || !x.window_manager_barrier()) return;
      te::settle();
      named = x.transient_for(brek_test::x11_window_of(dlg));
      brek_test::click_on_screen(x, dlg, dlg->cancel);
    });
    ASSERT_EQ(result, "CANCEL") << "opening " << opening;
    EXPECT_EQ(named, editor) << "opening " << opening;
  }
}

// Each number field with the focus, Tab and then Shift+Tab: the focus
// leaves it. A count or the fit left at 0 shows what prints once Tab or
// Shift+Tab has left it.
TEST_F(PrintDialogUnderAWindowManager, TabAndShiftTabLeaveEveryNumberField) {
  add_card(rect{0, 0, 100, 50}, editor_test::BLUE);
  constexpr xcb_keycode_t TAB = 23, SHIFT = 50;
  std::string stuck, rows_left, copies_left, fit_left;
  bool ran = false;
  run([&] {
    Ref<C_Print_dialog> dlg = ref_cast<C_Print_dialog>(e->print_dialog);
    if (!te::wait_exposed(dlg->native) || !x.pick(brek_test::x11_window_of(dlg))) return;
    ran = true;
    // The key from a field that has the focus; false when the focus stays.
    auto leave = [&](const Ref<C_Edit>& field, bool back) {
      C_Brek_form::set_active_control(field->native);
      te::settle();
      x.stroke(TAB, back ? std::vector<xcb_keycode_t>{SHIFT} : std::vector<xcb_keycode_t>{});
      return brek_test::wait_until([&] {
        te::settle();
        return dlg->active_control().get() != field.get();
      }, std::chrono::seconds(3));
    };
    for (const Ref<C_Edit>& field : {dlg->rows, dlg->columns, dlg->fit, dlg->overlaps, dlg->margin_top,
                                     dlg->margin_left, dlg->margin_right, dlg->margin_bottom, dlg->copies})
      for (const bool back : {false, true})
        if (!leave(field, back)) stuck += field->name + (back ? " Shift+Tab; " : " Tab; ");
    dlg->rows->set_text("0");
    leave(dlg->rows, false);
    rows_left = dlg->rows->get_text();
    dlg->copies->set_text("0");
    leave(dlg->copies, true);
    copies_left = dlg->copies->get_text();
    dlg->fit->set_text("0");
    leave(dlg->fit, false);
    fit_left = dlg->fit->get_text();
    dlg->close_with("DONE");
  });
  ASSERT_TRUE(ran);
  EXPECT_EQ(stuck, "");
  EXPECT_EQ(rows_left, "1");
  EXPECT_EQ(copies_left, "1");
  EXPECT_EQ(fit_left, "1");
}

// Moved by the user, the dialog opens again where it was moved to.
TEST_F(PrintDialogUnderAWindowManager, ItReopensWhereTheUserMovedIt) {
  add_card(rect{0, 0, 100, 50}, editor_test::BLUE);
  Box moved, again;
  auto cancel_when_shown = [&](Box* seen, bool move) {
    return [seen, move, this] {
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
