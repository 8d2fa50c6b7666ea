// The viewer as a user meets it on a desktop, on a real X server: the move
// window coming back at its stored size, a failed auto save, modal dialogs
// over the window, the save dialog's folder and the size shown while
// cutting.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "images/image_file_io.h"
#include "platform/test_events.h"
#include "tests/support/temp_dir.h"
#include "tests/viewer/viewer_on_screen.h"
#include "viewer/move_to_dirs.h"

using namespace viewer_test;
namespace fs = std::filesystem;
namespace te = brek_platform::test_events;

namespace {

constexpr int VK_F6 = 117;

bool have_display() {
  const char* display = std::getenv("DISPLAY");
  return display && *display;
}

std::string config_home() {
  const char* home = std::getenv("XDG_CONFIG_HOME");
  return home ? home : "";
}

struct On_screen : Viewer_on_screen<Test_viewer> {
  On_screen() : Viewer_on_screen<Test_viewer>(rect{20, 20, 500, 360}) {}
};

}  // namespace

// The move window was made larger and closed; the next run shows it at that
// size with its nine panels laid out across it.
TEST(ViewerDesktop, TheMoveWindowLaysItsPanelsOutForItsRestoredSize) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  fs::create_directories(config_home() + "/Collage viewer");
  std::ofstream(config_home() + "/Collage viewer/Collage viewer.conf")
      << "[Move to dir]\nCWidth = \"672\"\nWidth = \"672\"\nHeight = \"484.5\"\nCHeight = \"484.5\"\n"
      << "Left = \"40\"\nTop = \"30\"\n";
  brek_test::Temp_dir dir;
  ASSERT_TRUE(Image_file_io::save_bmp(quadrant_picture(120, 90), dir.file("a.bmp"), false));
  On_screen s;
  s.v->open_file(dir.file("a.bmp"));
  s.v->show();
  ASSERT_TRUE(te::wait_exposed(s.v->native));
  ASSERT_TRUE(te::window_key_press(s.v->native, VK_F6));
  te::window_key_release(s.v->native, VK_F6);
  Ref<C_Move_to_dirs> w = s.v->collage->move_dialog;
  ASSERT_FALSE(w.is_none());
  ASSERT_TRUE(te::wait_exposed(w->native));
  te::settle();
  EXPECT_NEAR(w->get_client_width(), 672, 2);
  EXPECT_NEAR(w->get_client_height(), 484.5, 2);
  // The panels' box fills the window, not the size it was built with.
  const rect box = w->panel_box->get_bounds();
  EXPECT_GE(box.w, w->get_client_width() - 6);
  EXPECT_GE(box.h, w->get_client_height() - 6);
}
