// The viewer as a user meets it on a desktop, on a real X server: the move
// window coming back at its stored size, a failed auto save, modal dialogs
// over the window, the save dialog's folder and the size shown while
// cutting.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "images/format_classes.h"
#include "platform/test_events.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"
#include "tests/viewer/viewer_on_screen.h"
#include "viewer/move_to_dirs.h"

using namespace viewer_test;
namespace fs = std::filesystem;
namespace te = brek_platform::test_events;

namespace {

constexpr int VK_F6 = 117;

struct On_screen : Viewer_on_screen<Test_viewer> {
  On_screen() : Viewer_on_screen<Test_viewer>(rect{20, 20, 500, 360}) {}
  // A picture file of w x h pixels opened and shown on the screen.
  bool show_picture(const std::string& path, int w, int h) {
    if (!write_bmp(quadrants(w, h), path)) return false;
    v->open_file(path);
    v->show();
    return te::wait_exposed(v->native);
  }
};

}  // namespace

// The move window was made larger and closed; the next run shows it at that
// size with its nine panels laid out across it.
TEST(ViewerDesktop, TheMoveWindowLaysItsPanelsOutForItsRestoredSize) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  ASSERT_TRUE(write_config_file("Collage viewer/Collage viewer.conf",
                                "[Move to dir]\nCWidth = \"672\"\nWidth = \"672\"\nHeight = \"484.5\"\n"
                                "CHeight = \"484.5\"\nLeft = \"40\"\nTop = \"30\"\n"));
  brek_test::Temp_dir dir;
  On_screen s;
  ASSERT_TRUE(s.show_picture(dir.file("a.bmp"), 120, 90));
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

// Ctrl and a left drag over a picture shown at a third of its size: the
// size shown while dragging is that of the picture put on the clipboard,
// in the picture's pixels.
TEST(ViewerDesktop, TheSizeShownWhileCuttingIsThatOfTheCut) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  brek_test::Temp_dir dir;
  On_screen s;
  ASSERT_TRUE(s.show_picture(dir.file("wide.bmp"), 1200, 600));
  te::settle();
  const rect box = s.v->pb->get_bounds();
  ASSERT_TRUE(te::window_key_press(s.v->native, 17));
  ASSERT_TRUE(te::mouse_press(s.v->native, {box.x + 60, box.y + 100}));
  // The window paints between the moves, as it does under a hand.
  for (int i = 1; i <= 4; ++i) {
    ASSERT_TRUE(te::mouse_move(s.v->native, {box.x + 60 + 30 * i, box.y + 100 + 10 * i}));
    te::settle();
  }
  ASSERT_TRUE(s.v->collage->cutting);
  const std::string shown = s.v->collage->cut_size_text();
  const double scale = 1200.0 / s.v->image_rect.w;
  te::mouse_release(s.v->native, {box.x + 180, box.y + 140});
  brek_platform::Key_modifiers ctrl;
  ctrl.ctrl = true;
  te::window_key_release(s.v->native, 17, ctrl);
  te::settle();
  Ref<C_Bitmap> cut = C_Bmp::paste_clipboard();
  ASSERT_FALSE(cut.is_none());
  EXPECT_EQ(shown, std::to_string(cut->width) + " x " + std::to_string(cut->height));
  // 120 x 40 points dragged over the picture as it was shown.
  EXPECT_NEAR(double(cut->width), C_Canvas::to_device_pixels(120) * scale, 3 * scale);
  EXPECT_NEAR(double(cut->height), C_Canvas::to_device_pixels(40) * scale, 3 * scale);
}

namespace {

// Runs the event loop until `done` holds; false when it never did.
template <class Done>
bool run_until(Done done) {
  return brek_test::wait_until([&] {
    te::settle();
    return done();
  });
}

}  // namespace

// Auto save into a folder that was moved away meanwhile: the message says
// why, and once it is dismissed the picture stays shown, titled as the
// unsaved picture it is, while the folder's listing finds nothing.
TEST(ViewerDesktop, AFailedAutoSaveLeavesThePictureShownAndTitled) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  brek_test::Temp_dir dir;
  fs::create_directories(dir.file("pics"));
  fs::create_directories(dir.file("shots"));
  On_screen s;
  ASSERT_TRUE(s.show_picture(dir.file("pics/a.bmp"), 120, 90));
  ASSERT_TRUE(C_Bmp::copy_to_clipboard(flat_picture(60, 40, 0xFF2040C0u)));
  Event_routing::menu_chosen(s.v, "PASTE");
  te::answer_next_file_dialog(true, {dir.file("shots/shot0100.jpg")});
  Event_routing::menu_chosen(s.v, "SAVAUTO");
  ASSERT_TRUE(fs::exists(dir.file("shots/shot0100.jpg")));
  ASSERT_TRUE(s.v->collage->auto_save);

  fs::rename(dir.file("shots"), dir.file("moved"));
  ASSERT_TRUE(C_Bmp::copy_to_clipboard(flat_picture(80, 50, 0xFF30C020u)));
  std::string said;
  te::answer_next_message(true, nullptr, &said);
  ASSERT_TRUE(run_until([&] { return !s.v->collage->auto_save; }));
  ASSERT_TRUE(run_until([&] { return !said.empty(); }));
  EXPECT_EQ(said, dir.file("shots/shot0101.jpg") + ": Save failed: No such file or directory");
  const std::string title = s.v->get_caption();
  EXPECT_NE(title.find("<clipboard> 80x50"), std::string::npos) << title;
  EXPECT_EQ(title.find("shot0101.jpg"), std::string::npos) << title;

  // The folder's listing runs on and finds it gone.
  ASSERT_TRUE(run_until([&] { return s.v->files.count() == 0; }));
  for (int i = 0; i < 3; ++i) {
    s.v->scan_step(false);
    ASSERT_TRUE(run_until([&] { return s.v->rescan_job.is_none() || s.v->rescan_job->is_finished(); }));
  }
  EXPECT_TRUE(s.v->single_mode);
  EXPECT_EQ(s.v->get_caption(), title);
  EXPECT_EQ(s.v->current_image()->picture->width, 80);
  EXPECT_TRUE(C_Bmp::paste_clipboard()->width == 80);
}

// F2 on a file starts the save dialog in the file's folder; on a pasted
// picture in the user's pictures folder, never in the folder the program
// was started from, and once the user saved somewhere, there.
TEST(ViewerDesktop, SaveAsStartsInThePicturesFolderOrWhereTheUserSavedLast) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  brek_test::Temp_dir dir, home, start;
  brek_test::Env_guard home_env("HOME", home.path());
  fs::create_directories(home.file("Pictures"));
  fs::create_directories(dir.file("pics"));
  fs::create_directories(dir.file("saved"));
  brek_test::Working_dir started_in(start.path());
  On_screen s;
  ASSERT_TRUE(s.show_picture(dir.file("pics/a.bmp"), 120, 90));
  auto save_dialog_folder = [&](bool accept, const std::string& name) {
    te::File_dialog_seen seen;
    te::answer_next_file_dialog(accept, {name}, &seen);
    te::window_key_press(s.v->native, 113);
    te::window_key_release(s.v->native, 113);
    return seen.directory;
  };
  EXPECT_EQ(save_dialog_folder(false, ""), dir.file("pics"));

  ASSERT_TRUE(C_Bmp::copy_to_clipboard(flat_picture(60, 40, 0xFF2040C0u)));
  Event_routing::menu_chosen(s.v, "PASTE");
  EXPECT_EQ(save_dialog_folder(false, ""), home.file("Pictures"));
  // The desktop names another pictures folder.
  fs::create_directories(home.file("Bilder"));
  ASSERT_TRUE(write_config_file("user-dirs.dirs", "XDG_PICTURES_DIR=\"$HOME/Bilder\"\n"));
  EXPECT_EQ(save_dialog_folder(true, dir.file("saved/one.bmp")), home.file("Bilder"));
  ASSERT_TRUE(fs::exists(dir.file("saved/one.bmp")));

  ASSERT_TRUE(C_Bmp::copy_to_clipboard(flat_picture(50, 30, 0xFF30C020u)));
  Event_routing::menu_chosen(s.v, "PASTE");
  EXPECT_EQ(save_dialog_folder(false, ""), dir.file("saved"));
}

namespace {

// A paint of the viewer asked for once a modal dialog is open, and the
// dialog answered once the window painted it (or, as a safety net only,
// when that never came).
struct Paint_behind {
  Ref<Test_viewer> v;
  std::function<void()> answer;
  std::chrono::steady_clock::time_point give_up;
  bool asked = false, painted = false;
};

void watch_paint_behind(const std::shared_ptr<Paint_behind>& s) {
  if (te::modal_window_open()) {
    if (!s->asked) {
      s->v->repaint();
      s->asked = s->v->pb->whole_pending != 0;
    } else if (s->v->pb->whole_pending == 0) {
      s->painted = true;
    }
  }
  if (s->painted || std::chrono::steady_clock::now() > s->give_up) {
    s->answer();
    return;
  }
  te::post_task([s] { watch_paint_behind(s); }, 5);
}

}  // namespace

// While the save dialog or a message waits for the user, the window behind
// it still paints what it is asked to.
TEST(ViewerDesktop, TheWindowBehindAModalDialogKeepsPainting) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  brek_test::Temp_dir dir;
  On_screen s;
  ASSERT_TRUE(s.show_picture(dir.file("a.bmp"), 120, 90));
  auto expect_paint_while = [&](const char* dialog, const std::function<void()>& open,
                                const std::function<void()>& answer) {
    auto watch = std::make_shared<Paint_behind>();
    watch->v = s.v;
    watch->answer = answer;
    watch->give_up = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    te::post_task([watch] { watch_paint_behind(watch); });
    open();
    EXPECT_TRUE(watch->asked) << dialog;
    EXPECT_TRUE(watch->painted) << dialog;
  };
  expect_paint_while("save dialog", [&] {
    te::window_key_press(s.v->native, 113);
    te::window_key_release(s.v->native, 113);
  }, [] { te::answer_next_file_dialog(false); });
  expect_paint_while("message", [&] { s.v->message("A message"); }, [] { te::answer_next_message(true); });
}
