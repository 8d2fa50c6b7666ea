// The directory views painted into the window's own paint box: cells with
// their pictures, the current file's red frame, sets apart with their
// headers, thumbnails with captions, the scroll marks, and scrolling by a
// strip.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/temp_dir.h"
#include "tests/viewer/viewer_test_support.h"

using namespace viewer_test;
namespace fs = std::filesystem;

namespace {

constexpr uint32_t OLIVE = 0xFF808000u, TEAL = 0xFF008080u, NAVY = 0xFF000080u, MAROON = 0xFF800000u;
constexpr uint32_t FRAME_RED = 0xFFFF0000u;

void solid(const std::string& path, int w, int h, uint32_t colour) {
  fs::create_directories(fs::path(path).parent_path());
  Pixels p(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) p.set(x, y, colour);
  ASSERT_TRUE(write_bmp(p, path));
}

struct Tree {
  brek_test::Temp_dir dir;
  Tree() {
    solid(dir.file("1.bmp"), 400, 300, OLIVE);
    solid(dir.file("2.bmp"), 400, 300, TEAL);
    solid(dir.file("s/3.bmp"), 300, 400, NAVY);
    solid(dir.file("s/4.bmp"), 300, 400, MAROON);
  }
};

// The tree opened and scanned whole, laid out in a box of w x h pixels.
void open_all(Boxed& b, const std::string& root) {
  b.v->open_dir(root);
  for (int i = 0; i < 4; ++i) b.v->scan_step(false);
  b.v->relayout();
}

rect cell_of(const Ref<Test_viewer>& v, const std::string& path) {
  return v->files.get(v->index_of_file(path))->rect;
}

}  // namespace

TEST(ViewerDirectoryPaint, CellsShowTheirPicturesInSetsWithHeaders) {
  Tree t;
  Boxed b(800, 1000);
  open_all(b, t.dir.path());
  Ref<Test_viewer> v = b.v;
  ASSERT_EQ(v->files.count(), 4);
  ASSERT_EQ(v->laid_out_count, 4);
  b.paint();
  for (auto [name, colour] : std::vector<std::pair<const char*, uint32_t>>{
           {"1.bmp", OLIVE}, {"2.bmp", TEAL}, {"s/3.bmp", NAVY}, {"s/4.bmp", MAROON}}) {
    rect c = cell_of(v, t.dir.file(name));
    ASSERT_GT(c.w, 20) << name;
    EXPECT_EQ(b.at(int(c.x + c.w / 2), int(c.y + c.h / 2)), colour) << name;
  }
  // The current file (the first) framed in red, its neighbours in grey.
  ASSERT_EQ(v->current_file, t.dir.file("1.bmp"));
  rect first = cell_of(v, t.dir.file("1.bmp"));
  EXPECT_EQ(b.at(int(first.x + first.w / 2), int(first.y + 1)), FRAME_RED);
  // The second set starts 30 points below the first and has a header in
  // the gap, in light grey.
  rect third = cell_of(v, t.dir.file("s/3.bmp"));
  const double gap = double(C_Canvas::to_device_pixels(30));
  EXPECT_GE(third.y, first.y + first.h + gap - 1);
  int grey = 0;
  for (int y = int(third.y - gap); y < int(third.y); ++y)
    for (int x = 0; x < 200; ++x)
      if (b.at(x, y) == 0xFFC0C0C0u) ++grey;
  EXPECT_GT(grey, 5);
  // The caption names the directory and the number of files.
  EXPECT_NE(v->collage->caption.find("[files:4]"), std::string::npos);
}

TEST(ViewerDirectoryPaint, ThumbnailsWithCaptionsAndARightSizedReducedPicture) {
  Tree t;
  Boxed b(800, 600);
  b.v->collage->mode_view = mode_view::THUMB;
  b.v->collage->thumb_w = 120;
  b.v->collage->thumb_h = 90;
  open_all(b, t.dir.path());
  Ref<Test_viewer> v = b.v;
  b.paint();
  rect c = cell_of(v, t.dir.file("2.bmp"));
  EXPECT_DOUBLE_EQ(c.x, 0);
  EXPECT_DOUBLE_EQ(c.w, 120);
  EXPECT_EQ(b.at(60, int(c.y + 45)), TEAL);
  // Text beside the cell.
  int text = 0;
  for (int y = int(c.y); y < int(c.y + c.h); ++y)
    for (int x = 125; x < 400; ++x)
      if (b.at(x, y) != 0xFF000000u) ++text;
  EXPECT_GT(text, 20);
  // Every painted image carries the paint's stamp. A cell keeps only its
  // copy of a picture of four times its size or more, and the copy serves
  // the next paints: the file is not read again.
  EXPECT_EQ(v->files.get(0)->use_stamp, v->paint_clock);
  EXPECT_TRUE(v->files.get(1)->picture.is_none());
  ASSERT_EQ(std::remove(t.dir.file("2.bmp").c_str()), 0);
  b.paint();
  EXPECT_EQ(b.at(60, int(c.y + 45)), TEAL);
}

// Whatever the files, what the view holds stays within its budget (the
// cells it draws aside): paging down faster than pictures age away, the
// pictures drawn longest ago go first.
TEST(ViewerDirectoryPaint, PicturesBeyondTheBudgetGoThoseDrawnLongestAgoFirst) {
  brek_test::Temp_dir dir;
  // Pictures of less than four times their cells: the cells keep them.
  for (int i = 0; i < 40; ++i) solid(dir.file("f" + std::to_string(10 + i) + ".bmp"), 240, 180, OLIVE);
  Boxed b(600, 400);
  b.v->collage->mode_view = mode_view::THUMB;
  b.v->collage->thumb_w = 160;
  b.v->collage->thumb_h = 120;
  open_all(b, dir.path());
  Ref<Test_viewer> v = b.v;
  // Room for eight pictures; some twelve screens of three or four.
  v->picture_budget = 8 * 240 * 180 * 4;
  const double page = double(C_Canvas::to_device_pixels(v->view_height()));
  ASSERT_GT(v->layout_bottom, 3 * page);
  for (v->scroll_y = 0; v->scroll_y + page < v->layout_bottom; v->scroll_y += page) b.paint();
  int64_t drawn = 0, older = 0;
  double lowest_gone = -1, highest_kept = 1e9;
  for (const Ref<C_Image>& e : v->files) {
    if (e->use_stamp == v->paint_clock) {
      drawn += e->bytes_held();
    } else if (e->rect.y < v->scroll_y) {
      older += e->bytes_held();
      if (e->bytes_held() > 0)
        highest_kept = std::min(highest_kept, e->rect.y);
      else
        lowest_gone = std::max(lowest_gone, e->rect.y);
    }
  }
  EXPECT_GT(drawn, 0);
  EXPECT_GT(older, 0);
  EXPECT_LE(drawn + older, v->picture_budget);
  EXPECT_LE(lowest_gone, highest_kept);
}

TEST(ViewerDirectoryPaint, ScrollMarksAppearWhereThePointerIsAndScrollingRepaintsAStrip) {
  brek_test::Temp_dir dir;
  const uint32_t colours[] = {OLIVE, TEAL, NAVY, MAROON};
  for (int i = 0; i < 24; ++i) solid(dir.file("f" + std::to_string(10 + i) + ".bmp"), 320, 240, colours[i % 4]);
  Boxed b(600, 400);
  open_all(b, dir.path());
  Ref<Test_viewer> v = b.v;
  ASSERT_GT(v->layout_bottom, 400);
  // The pointer near the bottom: the three bottom marks, none at the top.
  const double h = v->view_height();
  v->input.pointer = point{v->view_width() / 2, h - 14};
  b.paint();
  ASSERT_EQ(v->scroll_marks.count(), 3);
  EXPECT_EQ(v->marks_shown, 3);
  EXPECT_EQ(v->hovered_mark, 1);
  EXPECT_EQ(v->mark_at_pointer(), 1);

  // One smooth step down: the picture moves up, the uncovered strip is
  // painted, and what was on screen before is still in place.
  const double y0 = v->scroll_y;
  const uint32_t before = b.at(300, 250);
  v->hover_step_time = Date_time::now();
  v->hover_step_time.ms -= 200;  // 200 ms since the last step
  ASSERT_TRUE(v->hover_scroll_step());
  const int moved = int(v->scroll_y - y0);
  ASSERT_GT(moved, 0);
  EXPECT_EQ(b.at(300, 250 - moved), before);
  // With the view scrolled the top marks join.
  b.paint();
  EXPECT_EQ(v->scroll_marks.count(), 6);
  // A box too small for marks has none.
  b.resize(100, 50);
  b.paint();
  EXPECT_EQ(v->scroll_marks.count(), 0);
}

// An animation's cell shows the frame it stands at, also when the cell's
// copy of another frame is kept: the single view stepped it on.
TEST(ViewerDirectoryPaint, AnAnimationsCellShowsTheFrameItStandsAt) {
  brek_test::Temp_dir dir;
  ASSERT_TRUE(brek_test::write_file(dir.file("a.gif"), one_colour_gif(400, 300, 2)));
  Boxed b(800, 600);
  open_all(b, dir.path());
  b.paint();
  const Ref<C_Image> e = b.v->files.get(0);
  ASSERT_FALSE(e->animation.is_none());
  const int x = int(e->rect.x + e->rect.w / 2), y = int(e->rect.y + e->rect.h / 2);
  EXPECT_EQ(b.at(x, y), RED);
  e->animation->set_current_frame(1);
  b.paint();
  EXPECT_EQ(b.at(x, y), GREEN);
  e->animation->set_current_frame(0);
  b.paint();
  EXPECT_EQ(b.at(x, y), RED);
}

// A large GIF the single view turned and flipped: its cell draws it as
// filed, as any cell does, so it is read on the worker to the cell's size
// like an unturned one, and nothing holds the whole picture.
TEST(ViewerDirectoryPaint, ATurnedPicturesCellIsReadOnTheWorkerToItsSize) {
  brek_test::Temp_dir dir;
  ASSERT_TRUE(brek_test::write_file(dir.file("a.gif"), one_colour_gif(2100, 2100)));
  Boxed b(800, 600);
  open_all(b, dir.path());
  const Ref<C_Image> e = b.v->files.get(0);
  e->quarter_turns = 1;
  e->flip_x = true;
  b.paint();
  EXPECT_TRUE(b.v->cell_decodes.wanted(e));
  b.paint_once_decoded();
  EXPECT_TRUE(e->animation.is_none());
  EXPECT_EQ(b.at(int(e->rect.x + e->rect.w / 2), int(e->rect.y + e->rect.h / 2)), RED);
}

namespace {

// A 32-bit BMP of one colour with the alpha `a` everywhere (alpha bit
// fields after the 40-byte header).
std::string translucent_bmp(int w, int h, uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
  auto le = [](std::string& s, uint32_t v, int n) {
    for (int i = 0; i < n; ++i) s.push_back(char((v >> (8 * i)) & 0xFF));
  };
  const uint32_t pixels = uint32_t(w) * uint32_t(h) * 4, offset = 14 + 40 + 16;
  std::string s = "BM";
  le(s, offset + pixels, 4);
  le(s, 0, 4);
  le(s, offset, 4);
  le(s, 40, 4);                  // header size
  le(s, uint32_t(w), 4);
  le(s, uint32_t(h), 4);
  le(s, 1, 2);                   // planes
  le(s, 32, 2);                  // bits per pixel
  le(s, 6, 4);                   // alpha bit fields
  le(s, pixels, 4);
  le(s, 2835, 4);
  le(s, 2835, 4);
  le(s, 0, 4);
  le(s, 0, 4);
  le(s, 0x00FF0000, 4);          // red, green, blue, alpha masks
  le(s, 0x0000FF00, 4);
  le(s, 0x000000FF, 4);
  le(s, 0xFF000000, 4);
  const char px[4] = {char(b), char(g), char(r), char(a)};
  s.reserve(s.size() + pixels);
  for (uint32_t i = 0; i < uint32_t(w) * uint32_t(h); ++i) s.append(px, 4);
  return s;
}

}  // namespace

// A large transparent picture's cell (read on the worker, to the cell's
// size) is drawn over the view's black as a full repaint shows it, and a
// repaint costs the cell, not the picture.
TEST(ViewerDirectoryPaint, ATransparentPicturesCellCostsItsCellOnRepaints) {
  brek_test::Temp_dir dir;
  constexpr int W = 4000, H = 3000;
  ASSERT_TRUE(brek_test::write_file(dir.file("a.bmp"), translucent_bmp(W, H, 255, 0, 0, 128)));
  Boxed b(800, 600);
  open_all(b, dir.path());
  b.paint();
  b.paint_once_decoded();
  const Ref<C_Image> e = b.v->files.get(0);
  EXPECT_TRUE(e->picture.is_none());
  const int x = int(e->rect.x + e->rect.w / 2), y = int(e->rect.y + e->rect.h / 2);
  const uint32_t first = b.at(x, y);
  // Half of red over black.
  EXPECT_NEAR(int((first >> 16) & 0xFF), 128, 2);
  EXPECT_EQ(first & 0xFFFF, 0u);
  const int64_t growth = peak_growth([&] {
    for (int i = 0; i < 3; ++i) {
      b.v->repaint();
      b.paint();
    }
  });
  EXPECT_EQ(b.at(x, y), first);
  if (RESIDENT_SIZE_COUNTS) {
    EXPECT_LT(growth, int64_t(W) * H * 4 / 8) << growth / MB << " MB";
  }
}
