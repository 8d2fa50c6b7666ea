// A form hidden and shown again at once under each window manager (the
// program reuses its question windows): the manager may still hold the
// hidden window when the program maps it again, and a map it meets then
// must not leave the window off the screen.

#include <gtest/gtest.h>

#include "forms/form.h"
#include "platform/test_events.h"
#include "tests/forms/forms_on_own_desktop.h"
#include "tests/support/on_screen_rect.h"
#include "tests/support/wait_until.h"

using namespace brek;
namespace te = brek_platform::test_events;

namespace {

class FormShownAgain : public brek_test::Forms_on_own_desktop {};

}  // namespace

TEST_F(FormShownAgain, AFormHiddenAndShownAtOnceComesBackEveryTime) {
  Ref<C_Form> form = make<C_Form>();
  form->show();
  ASSERT_TRUE(te::wait_exposed(form->native));
  const xcb_window_t id = brek_test::x11_window_of(form);
  ASSERT_TRUE(brek_test::wait_until([&] { return x.viewable(id); }));
  int lost = 0;
  for (int round = 0; round < 20 && lost == 0; ++round) {
    form->hide_window();
    form->show();
    if (!brek_test::wait_until([&] {
          te::settle();
          return x.viewable(id);
        }))
      ++lost;
  }
  EXPECT_EQ(lost, 0) << "the form stayed off the screen though the program shows it";
  dispose_now(form);
}
