// A modal dialog on a real X server, where the window system keeps a
// window's focus between runs: focus the program sets takes, and Enter in
// an edit presses the default button. Without a window manager nobody
// hands the keyboard on when a window closes: a file dialog closed by a
// key gives it back to its form.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>

#include "dialog_test_support.h"
#include "forms/dialog_file.h"
#include "forms/edit.h"
#include "tests/support/as_user.h"
#include "tests/support/on_screen_rect.h"
#include "tests/support/wait_until.h"

using namespace forms_test;
using namespace brek_platform;
using namespace std::chrono_literals;

namespace {
class Dialog_focus : public Dialog_test {};
}  // namespace

TEST_F(Dialog_focus, FocusSetByTheProgramTakesOnADialogShownAgain) {
  if (!std::getenv("DISPLAY") || !*std::getenv("DISPLAY")) GTEST_SKIP() << "no X server";
  Ref<Log_form> owner = new_form(400, 300);
  owner->show();
  Ref<Button_dialog> d = make<Button_dialog>();
  d->build();
  Ref<C_Edit> edit = C_Edit::create(d, "NAME", "");

  // The first run ends with a click on Cancel, which takes the focus.
  test_events::post_task([&] { user_click(d->cancel->native); });
  EXPECT_EQ(run(d, owner), "CANCEL");

  // Shown again, the program puts the focus into the edit; Enter there
  // presses the default button, not the button focused last time.
  Ref<C_Control> active;
  test_events::post_task([&] {
    d->set_focus(edit);
    active = d->active_control();
    test_events::key_at_focus(d->native, 13);
  });
  EXPECT_EQ(run(d, owner), "OK");
  EXPECT_EQ(active.get(), edit.get());

  // Focus set before the dialog is shown takes as well.
  d->set_focus(edit);
  test_events::post_task([&] {
    active = d->active_control();
    test_events::key_at_focus(d->native, 13);
  });
  EXPECT_EQ(run(d, owner), "OK");
  EXPECT_EQ(active.get(), edit.get());
}

TEST_F(Dialog_focus, AFileDialogClosedByAKeyGivesTheKeysBackToItsForm) {
  if (!std::getenv("DISPLAY") || !*std::getenv("DISPLAY")) GTEST_SKIP() << "no X server";
  constexpr uint32_t XK_ESCAPE = 0xff1b, XK_A = 0x61;
  Ref<Log_form> owner = new_form(400, 300);
  owner->show();
  ASSERT_TRUE(test_events::wait_exposed(owner->native));
  std::atomic<int> keys{0};
  owner->inside["key_down A"] = [&] { keys += 1; };
  Ref<C_Dialog_file> open = C_Dialog_file::create_open(Ref<C_Form>(owner), "OPEN");
  const xcb_window_t owner_window = brek_test::x11_window_of(owner);

  bool chosen = true;
  test_events::post_task([&] { chosen = open->execute(); });
  // A run that the user does not end is ended anyway.
  test_events::post_task([] { test_events::answer_next_file_dialog(false); }, 20000);
  std::string faults;
  brek_test::as_user([&] {
    x11_test::Client user;
    if (!brek_test::wait_until([&] {
          const xcb_window_t focus = user.input_focus();
          return focus != owner_window && focus > XCB_INPUT_FOCUS_POINTER_ROOT;
        }, 5s))
      faults += "the file dialog had no focus; ";
    user.key(XK_ESCAPE, true);
    user.key(XK_ESCAPE, false);
    if (!brek_test::wait_until([&] { return user.input_focus() == owner_window; }, 3s))
      faults += "the form did not get the keyboard back; ";
    user.key(XK_A, true);
    user.key(XK_A, false);
    if (!brek_test::wait_until([&] { return keys > 0; }, 3s)) faults += "the form took no key";
  });
  EXPECT_FALSE(chosen);
  EXPECT_EQ(faults, "");
}
