// A modal dialog on a real X server, where the window system keeps a
// window's focus between runs: focus the program sets takes, and Enter in
// an edit presses the default button. Without a window manager nobody
// hands the keyboard on when a window closes: a file dialog closed by a
// key gives it back to its form, and a question asked while another
// program had the keys gives them to the form it was asked over.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <string>

#include "dialog_test_support.h"
#include "forms/dialog_file.h"
#include "forms/edit.h"
#include "tests/support/as_user.h"
#include "tests/support/on_screen_rect.h"
#include "tests/support/wait_until.h"

using namespace forms_test;
using namespace brek_platform;

namespace {
class Dialog_focus : public Dialog_test {};

constexpr uint32_t XK_ESCAPE = 0xff1b, XK_A = 0x61;

// The user waits until the `what` has the keys (a window neither the
// form's nor `other`, another program's), presses Escape there and then A,
// which the form should take. What went wrong, if anything.
std::string escape_then_a(xcb_window_t form, xcb_window_t other, const std::atomic<int>& keys,
                          const std::string& what) {
  std::string faults;
  brek_test::as_user([&] {
    x11_test::Client user;
    if (!brek_test::wait_until([&] {
          const xcb_window_t focus = user.input_focus();
          return focus != form && focus != other && focus > XCB_INPUT_FOCUS_POINTER_ROOT;
        }))
      faults += "the " + what + " had no focus; ";
    user.key(XK_ESCAPE, true);
    user.key(XK_ESCAPE, false);
    if (!brek_test::wait_until([&] { return user.input_focus() == form; }))
      faults += "the form did not get the keyboard back; ";
    user.key(XK_A, true);
    user.key(XK_A, false);
    if (!brek_test::wait_until([&] { return keys > 0; })) faults += "the form took no key";
  });
  return faults;
}
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
  Ref<Log_form> owner = new_form(400, 300);
  owner->show();
  ASSERT_TRUE(test_events::wait_exposed(owner->native));
  std::atomic<int> keys{0};
  owner->inside["key_down A"] = [&] { keys += 1; };
  Ref<C_Dialog_file> open = C_Dialog_file::create_open(Ref<C_Form>(owner), "OPEN");

  bool chosen = true;
  test_events::post_task([&] { chosen = open->execute(); });
  // A run that the user does not end is ended anyway.
  test_events::post_task([] { test_events::answer_next_file_dialog(false); }, 20000);
  const std::string faults = escape_then_a(brek_test::x11_window_of(owner), XCB_WINDOW_NONE, keys, "file dialog");
  EXPECT_FALSE(chosen);
  EXPECT_EQ(faults, "");
}

TEST_F(Dialog_focus, AQuestionAskedWhileAnotherProgramHadTheKeysGivesThemToItsForm) {
  if (!std::getenv("DISPLAY") || !*std::getenv("DISPLAY")) GTEST_SKIP() << "no X server";
  x11_test::Client x;
  ASSERT_TRUE(x.ok());
  Ref<Log_form> owner = new_form(400, 300);
  owner->show();
  ASSERT_TRUE(test_events::wait_exposed(owner->native));
  const xcb_window_t other = x.open_window(900, 100, 300, 200, "other", "Other", "Another program");
  x.set_input_focus(other);
  // The program knows it has the keys no more.
  ASSERT_TRUE(brek_test::wait_until([&] {
    test_events::settle();
    const auto last = std::find_if(owner->log.rbegin(), owner->log.rend(),
                                   [](const std::string& e) { return e == "activate" || e == "deactivate"; });
    return last != owner->log.rend() && *last == "deactivate";
  }));
  std::atomic<int> keys{0};
  owner->inside["key_down A"] = [&] { keys += 1; };

  std::string answer;
  test_events::post_task([&] { answer = owner->ask("Go on?") ? "YES" : "NO"; });
  // A question that the user does not answer is answered anyway.
  test_events::post_task([] { test_events::answer_next_message(true); }, 20000);
  const std::string faults = escape_then_a(brek_test::x11_window_of(owner), other, keys, "question");
  EXPECT_EQ(answer, "NO");
  EXPECT_EQ(faults, "");
}
