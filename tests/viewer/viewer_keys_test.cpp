// Keys, double clicks and button releases of the main window.
#include <gtest/gtest.h>

#include "baselib/file_path.h"
#include "platform/clipboard.h"
#include "platform/menu.h"
#include "platform/test_events.h"
#include "tests/support/temp_dir.h"
#include "tests/viewer/viewer_input_support.h"

using namespace viewer_input;
namespace te = brek_platform::test_events;
namespace R = brek::Event_routing;

namespace {

constexpr int RETURN = 13, ESCAPE = 27, SPACE = 32, PGUP = 33, PGDN = 34, LEFT = 37, UP = 38, RIGHT = 39,
              DOWN = 40, F5 = 116, F11 = 122;

// Three entries of one directory shown in the single view, the last one
// current.
void three_in_single_view(const Ref<Test_viewer>& v) {
  for (const char* n : {"/p/a.jpg", "/p/b.jpg", "/p/c.jpg"}) add_entry(v, n, rect{0, 0, 100, 80});
  v->single_mode = true;
  v->current_file = "/p/c.jpg";
}

}  // namespace

using ViewerKeys = Viewer_box;

TEST_F(ViewerKeys, OnlySpaceComesRoundFromTheLastImage) {
  three_in_single_view(v);
  // Keys in turn, each with the file and the slideshow it leaves.
  const struct {
    const char* what;
    int key;
    const char* current;
    bool slideshow;
  } steps[] = {
      {"X at the last", 'X', "/p/c.jpg", false},
      {"Down at the last", DOWN, "/p/c.jpg", false},
      {"Space comes round and starts the slideshow", SPACE, "/p/a.jpg", true},
      {"Down while it runs paces it", DOWN, "/p/a.jpg", true},
      {"Space again stops it", SPACE, "/p/b.jpg", false},
      {"Z", 'Z', "/p/a.jpg", false},
      {"Up at the first", UP, "/p/a.jpg", false},
  };
  for (const auto& step : steps) {
    b.key(step.key);
    EXPECT_EQ(v->current_file, step.current) << step.what;
    EXPECT_EQ(v->slideshow, step.slideshow) << step.what;
  }
  // Down shortened the slideshow's interval, once.
  EXPECT_NEAR(v->slide_interval, 1000.0 / 1.5, 1e-9);
}

TEST_F(ViewerKeys, TransparencyStepsStayWithinItsRange) {
  b.key(UP, alt());
  EXPECT_NEAR(b.v->alpha, 0.1, 1e-12);
  b.key(DOWN, alt());
  b.key(DOWN, alt());
  EXPECT_DOUBLE_EQ(b.v->alpha, 0.0);
}

TEST_F(ViewerKeys, TurnsFlipsInverseAndZoom) {
  three_in_single_view(v);
  Ref<C_Image> image = v->current_image();
  // Keys in turn, each with the orientation it leaves.
  const struct {
    const char* what;
    int key;
    Key_modifiers mods;
    int64_t turns;
    bool flip_x, flip_y, inverse;
  } steps[] = {
      {"Left turns left", LEFT, {}, 3, false, false, false},
      {"Right turns right", RIGHT, {}, 0, false, false, false},
      {"Right again", RIGHT, {}, 1, false, false, false},
      {"Shift+Left flips across", LEFT, shift(), 1, true, false, false},
      {"Shift+Up flips upside down", UP, shift(), 1, true, true, false},
      {"I inverts", 'I', {}, 1, true, true, true},
  };
  for (const auto& step : steps) {
    b.key(step.key, step.mods);
    EXPECT_EQ(image->quarter_turns, step.turns) << step.what;
    EXPECT_EQ(image->flip_x, step.flip_x) << step.what;
    EXPECT_EQ(image->flip_y, step.flip_y) << step.what;
    EXPECT_EQ(image->inverse, step.inverse) << step.what;
  }
  // None of them stepped to another file.
  EXPECT_EQ(v->current_file, "/p/c.jpg");

  // "+" zooms in with the pointer inside the picture area, "1" resets.
  v->pointer = point{400, 300};
  b.key(187);
  EXPECT_NEAR(v->scale, 1.1, 1e-12);
  b.key('1');
  EXPECT_DOUBLE_EQ(v->scale, 1.0);

  // In the directory view "I" and the arrows change no image.
  v->single_mode = false;
  b.key('I');
  b.key(LEFT);
  EXPECT_TRUE(image->inverse);
  EXPECT_EQ(image->quarter_turns, 1);
}

TEST_F(ViewerKeys, PlusAndMinusGoByTheCharacterTyped) {
  three_in_single_view(v);
  v->pointer = point{400, 300};
  // The keypad's keys have no US place of "+" and "-", but type them; "_"
  // on the minus key zooms out once, not once per table of keys.
  const struct {
    const char* what;
    int key;
    uint32_t typed;
    bool shift;
    double scale;
  } keys[] = {
      {"keypad +", 107, '+', false, 1.1},
      {"keypad -", 109, '-', false, 1.0},
      {"Shift and the minus key", 189, '_', true, 1.0 / 1.1},
  };
  for (const auto& k : keys) {
    Key_modifiers m;
    m.typed = k.typed;
    m.shift = k.shift;
    b.key(k.key, m);
    EXPECT_NEAR(v->scale, k.scale, 1e-12) << k.what;
  }
}

TEST_F(ViewerKeys, PageKeysStepThroughDirectorySets) {
  add_entry(v, "/p/a/1.jpg", rect{0, 0, 100, 80});
  add_entry(v, "/p/a/2.jpg", rect{100, 0, 100, 80});
  add_entry(v, "/p/b/3.jpg", rect{0, 200, 100, 80});
  add_entry(v, "/p/b/4.jpg", rect{100, 200, 100, 80});
  add_entry(v, "/p/c/5.jpg", rect{0, 400, 100, 80});
  v->layout_bottom = 480;
  v->current_file = "/p/a/2.jpg";
  const double margin = double(C_Canvas::to_device_pixels(20));

  b.key(PGDN);
  EXPECT_EQ(v->current_file, "/p/b/3.jpg");
  EXPECT_EQ(v->scroll_y, 200 - margin);
  b.key(PGDN);
  EXPECT_EQ(v->current_file, "/p/c/5.jpg");
  b.key(PGDN);  // the last set: nothing changes
  EXPECT_EQ(v->current_file, "/p/c/5.jpg");
  EXPECT_EQ(v->scroll_y, 400 - margin);

  b.key(PGUP);
  EXPECT_EQ(v->current_file, "/p/b/3.jpg");
  b.key(PGUP);  // the previous set is the first: the view goes to the top
  EXPECT_EQ(v->scroll_y, 0);
}

TEST_F(ViewerKeys, ReturnSwitchesBetweenTheViews) {
  open_folder({"a.bmp", "b.bmp"});
  ASSERT_EQ(v->files.count(), 2);
  v->current_file = v->files.get(1)->file_name;

  b.key(RETURN);
  EXPECT_TRUE(v->single_mode);
  EXPECT_NE(v->collage->caption.find(File_path::name_of(v->current_file)), std::string::npos);
  b.key(RETURN);
  EXPECT_FALSE(v->single_mode);
  EXPECT_TRUE(v->scanning);
  EXPECT_NE(v->collage->caption.find("[files:2]"), std::string::npos) << v->collage->caption;

  // Always the single view: RETURN shows the same image again.
  v->collage->single_always = true;
  const std::string current = v->current_file;
  b.key(RETURN);
  b.key(RETURN);
  EXPECT_TRUE(v->single_mode);
  EXPECT_EQ(v->current_file, current);
}

TEST_F(ViewerKeys, F5ListsTheDirectoryAgainOnlyWhenThereIsOne) {
  open_folder({"a.bmp"});
  picture(dir.file("b.bmp"));
  b.key(F5);
  EXPECT_EQ(v->files.count(), 2);

  // A pasted picture has no directory: it stays shown.
  v->current_file = v->files.get(0)->file_name;
  b.menu("COPY");
  b.menu("PASTE");
  b.key(F5);
  EXPECT_EQ(v->current_file, "<clipboard>");
  EXPECT_TRUE(v->single_mode);
}

TEST_F(ViewerKeys, F11AndTheKeysOfTheWindowLayer) {
  v->placement_busy = false;
  ASSERT_TRUE(te::key(v->native, F11));
  te::settle();
  EXPECT_TRUE(v->collage->full_screen);
  ASSERT_TRUE(te::key(v->native, F11));
  te::settle();
  EXPECT_FALSE(v->collage->full_screen);
}

// ---- double click ---------------------------------------------------------------

TEST_F(ViewerKeys, ADoubleClickPutsTheFileOnTheClipboard) {
  open_picture("a b.bmp");
  R::double_click_pending();
  b.press({40, 40});
  EXPECT_EQ(brek_platform::clipboard_files(), (std::vector<std::string>{dir.file("a b.bmp")}));
  b.release({40, 40});

  // The cut image is no file: the clipboard keeps what it had.
  brek_platform::clipboard_set_text("kept");
  v->current_file = "<cut>";
  R::double_click_pending();
  b.press({40, 40});
  EXPECT_EQ(brek_platform::clipboard_text(), "kept");
}

TEST_F(ViewerKeys, AShiftDoubleClickEmptiesTheWindow) {
  open_folder({"a.bmp"});
  ASSERT_EQ(v->files.count(), 1);
  File_path::delete_path(dir.file("a.bmp"));  // no file to put on the clipboard
  R::key_down(v, Ref<C_Control>(), 16, shift());
  R::double_click_pending();
  b.press({40, 40});
  EXPECT_EQ(v->files.count(), 0);
  EXPECT_TRUE(v->root_dir.empty());
  EXPECT_TRUE(v->current_file.empty());
  EXPECT_TRUE(v->scan_dir.empty());
  // Nothing is listed again afterwards.
  picture(dir.file("b.bmp"));
  v->scan_step(false);
  EXPECT_EQ(v->files.count(), 0);
}

// ---- releases ---------------------------------------------------------------------

TEST_F(ViewerKeys, BothButtonsEndTheProgram) {
  // Either button let go first; a window of its own each time.
  for (int first_up : {1, 2}) {
    Input_box both;
    both.press({40, 40}, 1);
    both.press({40, 40}, 2);
    both.release({40, 40}, first_up);
    EXPECT_TRUE(both.v->closed) << "button " << first_up;
  }
}

TEST_F(ViewerKeys, ARightDragShowsNoMenu) {
  int menus = 0;
  brek_platform::set_popup_menu_hook([&] {
    ++menus;
    brek_platform::close_popup_menu();
  });
  b.press({40, 40}, 2);
  b.move({40, 60});
  b.release({40, 60}, 2);
  EXPECT_EQ(menus, 0);
  b.press({40, 40}, 2);
  b.release({40, 40}, 2);
  EXPECT_EQ(menus, 1);
  brek_platform::set_popup_menu_hook(nullptr);
}

TEST_F(ViewerKeys, ALeftClickOpensTheDialogOnAnEmptyWindowAndSwitchesViews) {
  picture(dir.file("a.bmp"));
  picture(dir.file("b.bmp"));
  te::File_dialog_seen seen;
  te::answer_next_file_dialog(true, {dir.file("a.bmp")}, &seen);
  b.press({40, 40});
  b.release({40, 40});
  EXPECT_FALSE(seen.save);
  EXPECT_TRUE(v->single_mode);
  EXPECT_EQ(v->current_file, dir.file("a.bmp"));

  // A click in the single view goes back to the directory view.
  b.press({40, 40});
  b.release({40, 40});
  EXPECT_FALSE(v->single_mode);

  // A click on a cell shows that file.
  v->scan_step(false);
  ASSERT_EQ(v->files.count(), 2);
  Ref<C_Image> target = v->files.get(1);
  const rect c = target->rect;
  ASSERT_GT(c.w, 0);
  const point at{C_Canvas::from_device_pixels(c.x + c.w / 2), C_Canvas::from_device_pixels(c.y + c.h / 2)};
  b.press(at);
  b.release(at);
  EXPECT_TRUE(v->single_mode);
  EXPECT_EQ(v->current_file, target->file_name);
}
