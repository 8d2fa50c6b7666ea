// A form that asks for more room than the screen has, under a window
// manager (openbox on an X server of the test's own, 1920 x 1080): it is
// cut to the work area, frame included, its bottom row of buttons stays on
// the screen, and a side column whose controls reach below it scrolls
// them, so its last control shows when it takes the focus and takes a
// click through the X server.

#include <gtest/gtest.h>

#include <string>

#include "forms/button.h"
#include "forms/form.h"
#include "forms/form_bridge.h"
#include "forms/label.h"
#include "platform/test_events.h"
#include "tests/forms/forms_on_own_desktop.h"
#include "tests/support/on_screen_rect.h"
#include "tests/support/on_window_layer.h"
#include "tests/support/own_desktop.h"
#include "tests/support/wait_until.h"

using namespace brek;
namespace te = brek_platform::test_events;
using Box = x11_test::Client::Box;
using brek_test::describe;

namespace {

class Clicked_form : public C_Form {
  BREK_CLASS(Clicked_form)
 public:
  std::string clicked;
  void on_click() override { clicked += event_control_name() + ";"; }
};

class FormFitUnderAWindowManager : public brek_test::Forms_on_own_desktop {};

}  // namespace

TEST_F(FormFitUnderAWindowManager, ATallFormIsCutToTheScreenAndItsSideColumnScrolls) {
  Ref<Clicked_form> f = make<Clicked_form>();
  f->begin_update();
  St_sizes_col__C_Form side;
  side.size = 200;
  f->new_column("SIDE", layout_on_form::LEFT, side);
  Ref<C_Button> first = C_Button::new_on_form(Ref<C_Form>(f), "FIRST", "First");
  for (int i = 0; i < 100; ++i) C_Label::new_on_form(Ref<C_Form>(f), "Line " + std::to_string(i));
  Ref<C_Button> last = C_Button::new_on_form(Ref<C_Form>(f), "LAST", "Last");
  f->new_column("ROW", layout_on_form::BOTTOM, St_sizes_col__C_Form());
  Ref<C_Button> ok = C_Button::new_on_form(Ref<C_Form>(f), "OK", "OK");
  f->end_update();
  // Twice the screen's height.
  f->set_size(sizing_options::FIT_TO_DISPLAY, 1620, 500);
  f->show();
  ASSERT_TRUE(te::wait_exposed(f->native));

  const Box screen = x.work_area();
  const Box frame = x.frame_geometry(brek_test::x11_window_of(f));
  EXPECT_TRUE(brek_test::inside(frame, screen)) << describe(frame);
  const Box ok_at = brek_test::control_on_screen(x, f, ok);
  EXPECT_TRUE(brek_test::inside(ok_at, screen)) << describe(ok_at);

  // The column's last control lies below the window until it has the focus.
  f->set_focus(first);
  te::settle();
  const Box window = x.geometry(brek_test::x11_window_of(f));
  EXPECT_FALSE(brek_test::inside(brek_test::control_on_screen(x, f, last), window))
      << describe(brek_test::control_on_screen(x, f, last));
  f->set_focus(last);
  te::settle();
  const Box last_at = brek_test::control_on_screen(x, f, last);
  ASSERT_TRUE(brek_test::inside(last_at, window)) << describe(last_at) << " in " << describe(window);
  // The form places its controls where the scrolled column shows them, as
  // its pointer positions see them.
  const brek_platform::Rect_pt shown = te::shown_bounds(last->native);
  const rect said = last->get_bounds();
  EXPECT_NEAR(said.x, shown.x, 1);
  EXPECT_NEAR(said.y, shown.y, 1) << "the column scrolled by " << said.y - shown.y << " points";
  brek_test::click_on_screen(x, f, last);
  EXPECT_TRUE(brek_test::wait_until([&] {
    te::settle();
    return !f->clicked.empty();
  }));
  EXPECT_EQ(f->clicked, "LAST;");
  dispose_now(f);
}

// A panel of 40 pixels along the screen's bottom: a form kept on the
// screen stays above it, frame included.
TEST_F(FormFitUnderAWindowManager, AFormKeptOnTheScreenStaysOffAPanel) {
  x.open_panel(0, 1040, 1920, 40, {0, 0, 0, 40, 0, 0, 0, 0, 0, 0, 0, 1919});
  ASSERT_TRUE(x.window_manager_barrier());
  Ref<C_Form> f = make<C_Form>();
  f->show();
  ASSERT_TRUE(te::wait_exposed(f->native));
  f->set_size(sizing_options::FIT_TO_DISPLAY, 900, 400);
  f->set_position(positioning::KEEP_ON_SCREEN, 700, 100);
  ASSERT_TRUE(x.window_manager_barrier());
  te::settle();
  const Box frame = x.frame_geometry(brek_test::x11_window_of(f));
  EXPECT_TRUE(brek_test::inside(frame, Box{0, 0, 1920, 1040})) << describe(frame);
  dispose_now(f);
}

// A form placed while hidden keeps its place until it shows and after:
// what the window manager tells about a window it does not manage yet
// (asked for the frame it will give) never passes for the form's place.
TEST_F(FormFitUnderAWindowManager, AFormPlacedBeforeItShowsKeepsItsPlace) {
  Ref<C_Form> f = make<C_Form>();
  const rect at{201, 150, 450, 300};
  C_Brek_form::set_window_rect(f->native, at);
  ASSERT_TRUE(x.window_manager_barrier());
  te::settle();
  const rect hidden = C_Brek_form::get_window_rect(f->native);
  EXPECT_TRUE(hidden.x == at.x && hidden.y == at.y && hidden.w == at.w && hidden.h == at.h)
      << hidden.w << "x" << hidden.h << " at " << hidden.x << "," << hidden.y;
  f->show();
  ASSERT_TRUE(te::wait_exposed(f->native) && x.window_manager_barrier());
  te::settle();
  EXPECT_TRUE(x.geometry(brek_test::x11_window_of(f)) == (Box{268, 200, 600, 400}))
      << describe(x.geometry(brek_test::x11_window_of(f)));
  dispose_now(f);
}
