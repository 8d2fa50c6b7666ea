// A form on a real X server: it opens as a window and shows on the screen.

#include <gtest/gtest.h>

#include <cstdlib>

#include "forms/form.h"
#include "forms/screen.h"
#include "platform/test_events.h"
#include "platform/window.h"

using namespace brek;
namespace te = brek_platform::test_events;

TEST(NativeWindowOnXServer, AFormOpensAndShowsOnTheScreen) {
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display) GTEST_SKIP() << "no X server";
  auto* previous = brek_platform::set_native_forms(brek_platform::window_layer());
  {
    auto screen = make<C_Screen>();
    auto form = make<C_Form>();
    form->set_caption("Collage");
    form->set_bounds({60, 60, 300, 200});
    form->set_colors(0xFFFFFFFF, 0xFF2080E0);  // white text on orange (red in the low byte)
    form->show();
    ASSERT_TRUE(te::wait_exposed(form->native));

    brek_platform::Decoded_image shot;
    ASSERT_TRUE(brek_platform::grab_window(form->native, shot));
    ASSERT_GT(shot.width, 100);
    ASSERT_GT(shot.height, 100);
    // The window's own background fills its middle: 0xAARRGGBB.
    uint32_t middle = shot.pixels[static_cast<size_t>(shot.height / 2) * shot.width + shot.width / 2];
    EXPECT_EQ(middle & 0xFFFFFF, 0xE08020u);
    form->close_window();
    te::settle();
  }
  brek_platform::set_native_forms(previous);
}
