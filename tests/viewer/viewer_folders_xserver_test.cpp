// The viewer started with a directory on its command line, on a real X
// server: the directory is opened before the window shows and before the
// settings are read, yet what the window shows is laid out for the window
// as it shows and for the view the settings ask for; and what the folder
// views draw there, read back from the screen.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "baselib/file_path.h"
#include "runtime/clock.h"
#include "tests/support/temp_dir.h"
#include "tests/viewer/viewer_on_screen.h"

using namespace viewer_test;

namespace {

// The program started with a directory on its command line, its window
// on the screen.
struct Started_with : private Command_line, public Viewer_on_screen<Test_viewer> {
  Started_with(const std::string& dir, const rect& bounds) : Command_line({dir}), Viewer_on_screen(bounds) {}
  brek_platform::Decoded_image shot;
  bool shown() { return shoot(shot); }
  // Listed to its n files by scan steps, then laid out; the count listed.
  int64_t listed(int64_t n) {
    for (int i = 0; i < 20 && v->files.count() < n; ++i) v->scan_step(false);
    v->relayout();
    return v->files.count();
  }
  // The pointer put on the screen away from the window.
  void pointer_away() { brek_platform::test_events::move_screen_pointer({1200, 900}); }
  // The box's rows from `top` down to `bottom` (device pixels) as the
  // screen shows them now, asking for no paint.
  std::vector<uint32_t> on_screen(int64_t top, int64_t bottom);
  // Laid out to its n files by ticks of the background timer; the count.
  int64_t laid_out(int64_t n) {
    for (int i = 0; i < 50 && v->laid_out_count < n; ++i) v->on_timer();
    return v->laid_out_count;
  }
};

// A folder of n pictures of 120 x 90 pixels.
void fill_folder(brek_test::Temp_dir& dir, int n) {
  for (int i = 0; i < n; ++i) {
    const std::string name = dir.file("p" + std::to_string(10 + i) + ".bmp");
    ASSERT_TRUE(write_bmp(quadrants(120, 90), name));
  }
}

// The settings: the view mode, the order and more lines of the file.
void write_mode(int mode, int order = 0, const std::string& more = "") {
  const std::string main = "[Main]\nMode = " + std::to_string(mode) + "\nOrder = " + std::to_string(order) + "\n";
  ASSERT_TRUE(write_config_file("Collage_viewer/Collage_viewer.conf", main + more));
}

// The screen's pixels of the paint box's rows from `top` down to `bottom`
// (device pixels) in a shot of the window.
std::vector<uint32_t> box_rows(Viewer_on_screen<Test_viewer>& s, const brek_platform::Decoded_image& shot,
                               int64_t top, int64_t bottom) {
  const rect outer = s.v->get_bounds();
  const point client = s.v->client_origin();
  const rect box = s.v->pb->get_bounds();
  const int64_t ox = C_Brek_form::points_to_pixels(client.x - outer.x + box.x);
  const int64_t oy = C_Brek_form::points_to_pixels(client.y - outer.y + box.y);
  const int64_t w = C_Brek_form::points_to_pixels(box.w);
  std::vector<uint32_t> band;
  for (int64_t y = oy + top; y < oy + bottom && y < shot.height; ++y)
    for (int64_t x = ox; x < ox + w && x < shot.width; ++x) band.push_back(shot.pixels[size_t(y * shot.width + x)]);
  return band;
}

// The screen's pixels of the band from the top of the paint box down to
// the given height in device pixels.
std::vector<uint32_t> top_band(Viewer_on_screen<Test_viewer>& s, int64_t height) {
  brek_platform::Decoded_image shot;
  EXPECT_TRUE(s.shoot(shot));
  return box_rows(s, shot, 0, height);
}

// Whether any of the pixels is not black.
bool any_drawn(const std::vector<uint32_t>& pixels) {
  return std::any_of(pixels.begin(), pixels.end(), [](uint32_t p) { return (p & 0xFFFFFF) != 0; });
}

std::vector<uint32_t> Started_with::on_screen(int64_t top, int64_t bottom) {
  brek_platform::Decoded_image now;
  if (!brek_platform::grab_window(v->native, now)) return {};
  return box_rows(*this, now, top, bottom);
}

// The strip at the right edge pressed, dragged down to the box's last row,
// rested on there and let go: the view jumps to its end.
void drag_strip_to_bottom(Viewer_on_screen<Test_viewer>& s, brek::Brek_runtime::Test_clock& clock) {
  namespace te = brek_platform::test_events;
  const rect box = s.v->pb->get_bounds();
  const double x = box.x + box.w - 4;
  const double last_row = box.y + box.h - C_Canvas::from_device_pixels(1);
  ASSERT_TRUE(te::mouse_press(s.v->native, {x, box.y + box.h / 2}));
  ASSERT_TRUE(te::mouse_move(s.v->native, {x, box.y + box.h / 2 + 20}));
  ASSERT_TRUE(te::mouse_move(s.v->native, {x, last_row}));
  clock.advance(300);
  ASSERT_TRUE(te::mouse_move(s.v->native, {x - 0.5, last_row}));
  te::mouse_release(s.v->native, {x - 0.5, last_row});
  te::settle();
}

}  // namespace

TEST(ViewerFolders, ADirectoryOnTheCommandLineIsLaidOutForTheShownWindow) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  brek_test::Temp_dir dir;
  fill_folder(dir, 24);
  Started_with s(dir.path(), rect{20, 20, 900, 600});
  ASSERT_EQ(s.v->files.count(), 24);
  ASSERT_TRUE(s.shown());
  const double box_w = double(C_Canvas::to_device_pixels(s.v->pb->get_width()));
  ASSERT_GT(box_w, 500);
  // Rows of small pictures reach across the window, not across the box the
  // window had before it showed.
  double right = 0;
  for (const Ref<C_Image>& e : s.v->files) right = std::max(right, e->rect.x + e->rect.w);
  EXPECT_GT(right, 0.8 * box_w);
  EXPECT_LE(right, box_w + 1);
}

TEST(ViewerFolders, TheCaptionsViewFromTheSettingsListsOneFileALine) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  brek_test::Temp_dir dir;
  fill_folder(dir, 6);
  write_mode(2);
  Started_with s(dir.path(), rect{20, 20, 700, 500});
  ASSERT_TRUE(s.shown());
  ASSERT_EQ(s.v->collage->mode_view, brek::mode_view::CAPTIONS);
  ASSERT_EQ(s.v->files.count(), 6);
  // Every file on a line of its own at the left edge, each below the last.
  double last_top = -1;
  for (const Ref<C_Image>& e : s.v->files) {
    EXPECT_EQ(e->rect.x, 0) << e->file_name;
    EXPECT_GT(e->rect.y, last_top) << e->file_name;
    last_top = e->rect.y;
  }
}

// The thumbnail and caption views from the settings do not depend on the
// box's width: once shown, the background ticks neither lay them out
// again nor paint them, and a place scrolled to stays.
TEST(ViewerFolders, TheLineViewsFromTheSettingsRestWhereTheyWereScrolled) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  brek_test::Temp_dir dir;
  fill_folder(dir, 100);
  for (int mode : {1, 2}) {
    SCOPED_TRACE("view mode " + std::to_string(mode));
    write_mode(mode);
    Started_with s(dir.path(), rect{20, 20, 700, 500});
    ASSERT_TRUE(s.shown());
    ASSERT_EQ(s.laid_out(100), 100);
    const double bottom = s.v->layout_bottom;
    ASSERT_GT(bottom, 3 * double(C_Canvas::to_device_pixels(s.v->pb->get_height())));
    s.v->scroll_y = bottom / 2;
    s.v->repaint();
    auto ticks = [&](int n) {
      for (int i = 0; i < n; ++i) s.v->on_timer();
      brek_platform::test_events::settle();
    };
    ticks(2);  // the scroll marks follow the new place
    const int64_t painted = s.v->paint_clock;
    ticks(5);
    EXPECT_EQ(s.v->scroll_y, bottom / 2);
    EXPECT_EQ(s.v->paint_clock, painted);
  }
}

// The first folder's second line is no start of a folder: its first line
// stays as it was with one file, no folder header over it.
TEST(ViewerFolders, NoFolderHeaderIsDrawnOverTheFirstCaptionLine) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  brek_test::Temp_dir dir;
  ASSERT_TRUE(write_bmp(quadrants(120, 90), dir.file("a.bmp")));
  write_mode(2, 1);
  Started_with s(dir.path(), rect{20, 20, 600, 300});
  ASSERT_EQ(s.v->collage->mode_view, brek::mode_view::CAPTIONS);
  const std::vector<uint32_t> alone = top_band(s, 100);

  ASSERT_TRUE(write_bmp(quadrants(120, 90), dir.file("b.bmp")));
  s.v->open_dir(dir.path());
  ASSERT_EQ(s.v->files.count(), 2);
  ASSERT_EQ(File_path::name_of(s.v->files.get(0)->file_name), "a.bmp");
  const std::vector<uint32_t> both = top_band(s, 100);
  ASSERT_EQ(both.size(), alone.size());
  // Everything above the second line.
  const size_t above = size_t(s.v->files.get(1)->rect.y - 1) * both.size() / 100;
  size_t differ = 0;
  for (size_t k = 0; k < above; ++k) differ += both[k] != alone[k];
  EXPECT_EQ(differ, 0u);
}

// Page Down pressed and released on the window jumps to the next folder
// with one paint: letting the key go changes nothing on the screen.
TEST(ViewerFolders, AJumpToTheNextFolderPaintsOnce) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  brek_test::Temp_dir dir;
  fill_folder(dir, 30);
  std::filesystem::create_directories(dir.file("sub"));
  for (const char* name : {"sub/a.bmp", "sub/b.bmp"})
    ASSERT_TRUE(write_bmp(quadrants(120, 90), dir.file(name)));
  Started_with s(dir.path(), rect{20, 20, 500, 300});
  ASSERT_TRUE(s.shown());
  ASSERT_EQ(s.listed(32), 32);
  s.v->current_file = s.v->files.get(0)->file_name;
  ASSERT_TRUE(s.shown());

  const int64_t before = s.v->paint_clock;
  ASSERT_TRUE(brek_platform::test_events::window_key_press(s.v->native, 34));
  brek_platform::test_events::settle();
  ASSERT_TRUE(brek_platform::test_events::window_key_release(s.v->native, 34));
  brek_platform::test_events::settle();
  EXPECT_EQ(File_path::directory_of(s.v->current_file), dir.file("sub/"));
  EXPECT_GT(s.v->scroll_y, 0);
  EXPECT_EQ(s.v->paint_clock - before, 1);

  // Letting Ctrl go takes the sizes it showed off the cells.
  // As the window system reports them: the modifiers held before the key.
  brek_platform::Key_modifiers ctrl;
  ctrl.ctrl = true;
  ASSERT_TRUE(brek_platform::test_events::window_key_press(s.v->native, 17));
  brek_platform::test_events::settle();
  ASSERT_TRUE(brek_platform::test_events::window_key_release(s.v->native, 17, ctrl));
  brek_platform::test_events::settle();
  EXPECT_EQ(s.v->paint_clock - before, 3);
}

// The pointer dragged down the strip at the right edge to the last row of
// the window, where it rests: the view shows the end of a long folder.
TEST(ViewerFolders, DraggingTheRightStripToTheBottomShowsTheLastEntry) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  brek_test::Temp_dir dir;
  constexpr int N = 2000;
  for (int i = 0; i < N; ++i) tiny_gif(dir.file("g" + std::to_string(10000 + i) + ".gif"));
  write_mode(1);
  Started_with s(dir.path(), rect{20, 20, 500, 340});
  ASSERT_TRUE(s.shown());
  ASSERT_EQ(s.laid_out(N), N);
  brek::Brek_runtime::Test_clock clock;
  drag_strip_to_bottom(s, clock);

  const double Hp = double(C_Canvas::to_device_pixels(s.v->pb->get_bounds().h));
  const rect last = s.v->files.get(N - 1)->rect;
  EXPECT_LE(last.y + last.h, s.v->scroll_y + Hp);
  EXPECT_NEAR(s.v->scroll_y, s.v->layout_bottom - Hp, 0.5);
}

// Page Up into the first folder highlights its first entry, so the title
// and the highlight name one folder.
TEST(ViewerFolders, PageUpIntoTheFirstFolderHighlightsItsFirstEntry) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  brek_test::Temp_dir dir;
  for (const char* sub : {"gifs", "huge"}) {
    std::filesystem::create_directories(dir.file(sub));
    for (int i = 0; i < 12; ++i) tiny_gif(dir.file(std::string(sub) + "/g" + std::to_string(10 + i) + ".gif"));
  }
  Started_with s(dir.path(), rect{20, 20, 500, 300});
  ASSERT_TRUE(s.shown());
  ASSERT_EQ(s.listed(24), 24);
  s.v->current_file = dir.file("huge/g15.gif");
  ASSERT_TRUE(s.shown());

  ASSERT_TRUE(brek_platform::test_events::window_key_press(s.v->native, 33));
  brek_platform::test_events::window_key_release(s.v->native, 33);
  ASSERT_TRUE(s.shown());
  EXPECT_EQ(s.v->scroll_y, 0);
  EXPECT_EQ(s.v->current_file, dir.file("gifs/g10.gif"));
  EXPECT_NE(s.v->get_caption().find(dir.file("gifs/")), std::string::npos) << s.v->get_caption();
}

// The thumbnail or caption view dragged to its end by the right strip, the
// pointer resting on the last line; F6 and "1" move that file into the
// first target: its line goes from the scroll range, which ends at the new
// last line.
TEST(ViewerFolders, MovingTheLastFileAwayTakesItsLineOffTheScrollRange) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  namespace te = brek_platform::test_events;
  for (const int mode : {1, 2}) {
    brek_test::Temp_dir dir, target;
    fill_folder(dir, 40);
    write_mode(mode, 1, "[Move_to_dirs]\n1 = \"" + target.path() + "\"\n");
    Started_with s(dir.path(), rect{20, 20, 500, 340});
    ASSERT_TRUE(s.shown());
    ASSERT_EQ(s.laid_out(40), 40) << mode;
    const std::string last = dir.file("p49.bmp");
    ASSERT_EQ(s.v->files.get(39)->file_name, last) << mode;
    const double box_h = double(C_Canvas::to_device_pixels(s.v->pb->get_height()));
    ASSERT_GT(s.v->layout_bottom, box_h) << mode;
    const double last_top = s.v->files.get(39)->rect.y;

    brek::Brek_runtime::Test_clock clock;
    drag_strip_to_bottom(s, clock);
    // The pointer comes to rest on the last line.
    const rect box = s.v->pb->get_bounds();
    const rect cell = s.v->files.get(39)->rect;
    const double y = box.y + C_Canvas::from_device_pixels(cell.y - s.v->scroll_y + cell.h / 2);
    ASSERT_TRUE(te::mouse_move(s.v->native, {box.x + 20, y}));
    te::settle();
    clock.advance(300);
    ASSERT_TRUE(te::mouse_move(s.v->native, {box.x + 20.75, y}));
    ASSERT_EQ(s.v->current_file, last) << mode;

    ASSERT_TRUE(te::window_key_press(s.v->native, 117));  // F6
    te::window_key_release(s.v->native, 117);
    ASSERT_TRUE(s.v->collage->move_window_shown()) << mode;
    ASSERT_TRUE(te::window_key_press(s.v->native, '1', {}, "1"));
    te::window_key_release(s.v->native, '1', {}, "1");
    te::settle();
    ASSERT_TRUE(std::filesystem::exists(target.file("p49.bmp"))) << mode;
    ASSERT_EQ(s.v->files.count(), 39) << mode;
    EXPECT_EQ(s.v->current_file, dir.file("p48.bmp")) << mode;
    EXPECT_LE(s.v->layout_bottom, last_top + 1) << mode;
    EXPECT_GT(s.v->layout_bottom, s.v->files.get(38)->rect.y) << mode;
  }
}

// The program started on a folder tree whose top holds no pictures, in the
// thumbnail and the caption view, the pointer away from its window: once
// the first folder is listed, its lines show on the screen without any
// input. The empty window draws nothing in the top quarter of the box.
TEST(ViewerFolders, AFolderTreeShowsItsFirstLinesInTheLineViews) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  brek_test::Temp_dir dir;
  const std::string picture = dir.file("p.bmp");
  ASSERT_TRUE(write_bmp(quadrants(40, 30), picture));
  for (int f = 0; f < 10; ++f) {
    const std::string folder = dir.file("folder" + std::to_string(f) + "/");
    std::filesystem::create_directories(folder);
    for (int i = 0; i < 100; ++i) std::filesystem::copy_file(picture, folder + "p" + std::to_string(100 + i) + ".bmp");
  }
  std::filesystem::remove(picture);
  for (const int mode : {1, 2}) {
    SCOPED_TRACE("view mode " + std::to_string(mode));
    write_mode(mode);
    Started_with s(dir.path(), rect{20, 20, 500, 340});
    s.pointer_away();
    const int64_t box_h = C_Brek_form::points_to_pixels(s.v->pb->get_height());
    EXPECT_TRUE(s.loop_until([&] { return s.v->files.count() > 0 && any_drawn(s.on_screen(0, box_h / 4)); }))
        << s.v->files.count() << " files listed";
  }
}

// A file another program deletes from a folder shown in the thumbnail or
// caption view (the second line, not the highlighted first) leaves the
// screen once its folder is listed again, the pointer away from the window.
TEST(ViewerFolders, AFileDeletedElsewhereLeavesTheLineViews) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  for (const int mode : {1, 2}) {
    SCOPED_TRACE("view mode " + std::to_string(mode));
    brek_test::Temp_dir dir;
    fill_folder(dir, 3);
    write_mode(mode);
    Started_with s(dir.path(), rect{20, 20, 500, 340});
    s.pointer_away();
    // The first two lines as the screen shows them.
    int64_t two_lines = 0;
    std::vector<uint32_t> before;
    ASSERT_TRUE(s.loop_until([&] {
      two_lines = int64_t(s.v->files.get(2)->rect.y);
      before = s.on_screen(0, two_lines);
      return any_drawn(before);
    }));
    ASSERT_TRUE(std::filesystem::remove(dir.file("p11.bmp")));
    EXPECT_TRUE(s.loop_until([&] { return s.v->files.count() == 2 && s.on_screen(0, two_lines) != before; }));
  }
}
