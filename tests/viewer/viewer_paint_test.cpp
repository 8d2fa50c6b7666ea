// The single view painted into the window's own paint box: fitted,
// zoomed and panned, turned, flipped and inverted pictures, pictures that
// show nothing, the empty window and an animation.
#include <gtest/gtest.h>

#include <algorithm>

#include "images/gif.h"
#include "images/lzw_encoder.h"
#include "tests/support/temp_dir.h"
#include "tests/viewer/viewer_test_support.h"

using namespace viewer_test;

namespace {

// The negative of a quadrant colour.
constexpr uint32_t CYAN = 0xFF00FFFFu, MAGENTA = 0xFFFF00FFu, YELLOW = 0xFFFFFF00u;

// The picture painted into the window's own paint box, 800 x 600 pixels.
struct Opened {
  brek_test::Temp_dir dir;
  Boxed box{800, 600};
  Ref<Test_viewer> v = box.v;
  Boxed& b = box;
  Ref<C_Image> image;
  explicit Opened(int w = 400, int h = 300) {
    std::string path = dir.file("q.bmp");
    EXPECT_TRUE(write_bmp(quadrants(w, h), path));
    v->open_file(path);
    image = v->current_image();
  }
  void paint_at(double scale, point pointer, bool ctrl = false) {
    v->scale = scale;
    v->pointer = pointer;
    v->key_info.ctrl = ctrl;
    box.paint();
  }
};

// A GIF of w x h whose frames each fill the screen with one colour of
// the palette red, green.
std::string one_colour_frames(int w, int h, const std::vector<uint8_t>& colours) {
  auto le16 = [](std::string& s, int v) {
    s.push_back(char(v & 0xFF));
    s.push_back(char(v >> 8));
  };
  std::string s = "GIF89a";
  le16(s, w);
  le16(s, h);
  s += std::string("\x80\0\0\xFF\0\0\0\xFF\0", 9);
  for (uint8_t c : colours) {
    s += std::string("\x21\xF9\x04\x04\x0A\0\0\0", 8);
    s += std::string(",\0\0\0\0", 5);
    le16(s, w);
    le16(s, h);
    s.push_back('\0');
    std::vector<uint8_t> data;
    const std::vector<uint8_t> indexes(size_t(w) * size_t(h), c);
    RxGIF::lzw_encode(data, indexes.data(), w, h, 1, false);
    s.append(data.begin(), data.end());
  }
  return s + ";";
}

}  // namespace

TEST(ViewerPaint, FittedPictureOnTheBackBuffer) {
  Opened o;
  ASSERT_TRUE(o.v->single_mode);
  ASSERT_EQ(o.image->width, 400);
  // Natural size, centred at (200, 150).
  o.paint_at(1.0, point{400, 300});
  EXPECT_TRUE(o.v->fit_mode);
  expect_pixels(o.b,
                {{199, 150, BLACK}, {200, 149, BLACK}, {200, 150, RED}, {399, 299, RED}, {400, 150, GREEN},
                 {200, 449, BLUE}, {599, 449, WHITE}, {600, 449, BLACK}, {599, 450, BLACK}},
                "natural size");

  // Zoomed in with the pointer near an edge: fitted to the whole window.
  o.paint_at(3.0, point{5, 300});
  EXPECT_TRUE(o.v->fit_mode);
  expect_pixels(o.b, {{0, 0, RED}, {600, 150, GREEN}, {200, 450, BLUE}, {799, 599, WHITE}}, "pointer at an edge");

  // Ctrl fits it to the window less an 8-point (10-pixel) margin.
  o.paint_at(0.5, point{400, 300}, true);
  expect_pixels(o.b,
                {{9, 100, BLACK}, {100, 9, BLACK}, {11, 11, RED}, {788, 588, WHITE}, {790, 500, BLACK},
                 {500, 590, BLACK}},
                "Ctrl");

  // The stored picture stays as loaded.
  EXPECT_EQ(o.image->picture->width, 400);
  EXPECT_EQ(o.image->picture->pixels()->at(0, 0) | 0xFF000000u, RED);
}

TEST(ViewerPaint, ZoomedPicturePansUnderThePointer) {
  Opened o;
  // 1200 x 900 with its top-left at (0, 0): the quadrant corner at (600, 450).
  o.paint_at(3.0, point{50, 50});
  EXPECT_FALSE(o.v->fit_mode);
  expect_pixels(o.b, {{590, 440, RED}, {610, 440, GREEN}, {590, 460, BLUE}, {799, 599, WHITE}}, "top-left");
  // At (-400, -300): the corner at (200, 150).
  o.paint_at(3.0, point{750, 550});
  expect_pixels(o.b, {{190, 140, RED}, {210, 140, GREEN}, {190, 160, BLUE}, {210, 160, WHITE}}, "bottom-right");
  EXPECT_DOUBLE_EQ(o.v->image_rect.x, -400);
  // Back to the first place: the kept stretched picture is placed again.
  o.paint_at(3.0, point{50, 50});
  expect_pixels(o.b, {{590, 440, RED}, {610, 460, WHITE}}, "back at the top-left");
}

TEST(ViewerPaint, TurnedAndInvertedPictures) {
  Opened o;
  // A quarter turn right: 300 x 400, centred at (250, 100); the old
  // bottom-left comes to the top-left.
  o.image->quarter_turns = 1;
  o.paint_at(1.0, point{400, 300});
  expect_pixels(o.b,
                {{249, 300, BLACK}, {300, 99, BLACK}, {260, 110, BLUE}, {540, 110, RED}, {540, 490, GREEN},
                 {260, 490, WHITE}, {550, 300, BLACK}},
                "turned");
  // Turned and inverted: the turned negative.
  o.image->inverse = true;
  o.paint_at(1.0, point{400, 300});
  expect_pixels(o.b, {{260, 110, YELLOW}, {540, 110, CYAN}, {540, 490, MAGENTA}, {260, 490, BLACK}},
                "turned and inverted");
  // Mirrored left to right, no turn: green comes to the top-left.
  o.image->quarter_turns = 0;
  o.image->inverse = false;
  o.image->flip_x = true;
  o.paint_at(1.0, point{400, 300});
  expect_pixels(o.b, {{210, 160, GREEN}, {590, 440, BLUE}}, "mirrored");
  // Nothing of this touched the stored picture.
  EXPECT_EQ(o.image->picture->width, 400);
  EXPECT_EQ(o.image->applied_turns, 0);
  EXPECT_EQ(o.image->picture->pixels()->at(0, 0) | 0xFF000000u, RED);
}

TEST(ViewerPaint, EmptyAndUnloadablePicturesLeaveTheBackgroundBlack) {
  brek_test::Temp_dir dir;
  Boxed b(200, 100);
  Ref<Test_viewer> v = b.v;
  std::string bad = dir.file("broken.jpg");
  brek_test::write_file(bad, "not a picture");
  v->open_file(bad);
  EXPECT_TRUE(v->single_mode);
  // Whatever the buffer held is cleared: the box's canvas clears its own
  // back buffer.
  b.paint();
  Ref<C_Canvas> c = v->pb->back_buffer->canvas();
  c->brush_color = COLOR_WHITE;
  c->clear();
  ASSERT_EQ(b.at(100, 50), WHITE);
  b.paint();
  for (int y : {0, 50, 99})
    for (int x : {0, 100, 199}) EXPECT_EQ(b.at(x, y), BLACK) << x << "," << y;
  // A box of no size paints nothing and fails nothing.
  b.resize(0, 0);
  b.paint();
  Buffer none(1, 1);
  v->paint_into(none.bitmap->canvas(), 0, 0);
}

TEST(ViewerPaint, AnEmptyWindowShowsTheTitleBlock) {
  Boxed b(800, 600);
  Ref<Test_viewer> v = b.v;
  b.paint();
  int white = 0, top_white = 0;
  for (int y = 0; y < 600; y += 2)
    for (int x = 0; x < 800; x += 2)
      if (b.at(x, y) == WHITE) {
        ++white;
        if (y < 200) ++top_white;
      }
  EXPECT_GT(white, 20);
  EXPECT_EQ(top_white, 0);  // the block sits in the middle
}

// Pointer moves over a zoomed picture place the kept turned and stretched
// picture again instead of turning and stretching the stored one anew. The
// stored picture is blackened in place between paints: a paint that went
// back to it would show black.
TEST(ViewerPaint, PointerMovesReuseTheTurnedAndStretchedPicture) {
  for (int turns : {0, 1}) {
    Opened o;
    o.image->quarter_turns = turns;
    o.paint_at(3.0, point{50, 50});
    ASSERT_FALSE(o.v->fit_mode) << turns;
    const rect before = o.v->image_rect;
    // Places of the zoomed picture (its own pixels) on a grid, and what the
    // first paint showed there.
    std::vector<std::pair<point, uint32_t>> seen;
    for (int y = 5; y < 600; y += 40)
      for (int x = 5; x < 800; x += 40) seen.push_back({point{x - before.x, y - before.y}, o.b.at(x, y)});
    Pixels* stored = o.image->picture->pixels();
    std::fill(stored->words(), stored->words() + size_t(stored->width()) * size_t(stored->height()), BLACK);

    o.paint_at(3.0, point{500, 400});
    const rect after = o.v->image_rect;
    ASSERT_TRUE(after.x != before.x || after.y != before.y) << turns;  // panned
    int compared = 0, coloured = 0;
    for (const auto& [p, colour] : seen) {
      const int x = int(after.x + p.x), y = int(after.y + p.y);
      if (x < 0 || y < 0 || x >= 800 || y >= 600) continue;
      ++compared;
      coloured += colour != BLACK;
      EXPECT_EQ(o.b.at(x, y), colour) << turns << " at " << x << "," << y;
    }
    EXPECT_GT(coloured, 20) << turns << " of " << compared;

    // A change of what the picture shows is painted from the stored one:
    // the negative of black.
    o.image->inverse = true;
    o.paint_at(3.0, point{500, 400});
    expect_pixels(o.b, {{5, 5, WHITE}, {400, 300, WHITE}, {795, 595, WHITE}},
                  "inverted, turns " + std::to_string(turns));
  }
}

// The single view shows an animation from the GIF's own composed picture,
// without a copy of it, and its turned and zoomed copies follow the frames.
TEST(ViewerPaint, AnAnimationIsShownFromItsOwnPicture) {
  brek_test::Temp_dir dir;
  ASSERT_TRUE(brek_test::write_file(dir.file("a.gif"), one_colour_frames(200, 150, {0, 1, 0})));
  Boxed box{800, 600};
  Ref<Test_viewer> v = box.v;
  v->open_file(dir.file("a.gif"));
  Ref<C_Image> image = v->current_image();
  box.paint();
  Ref<C_Gif> gif = image->animation;
  ASSERT_FALSE(gif.is_none());
  EXPECT_EQ(box.at(400, 300), RED);
  EXPECT_EQ(v->shown_picture()->pixels()->words(), gif->render_current_frame().words());
  EXPECT_EQ(gif->picture_bytes_held(), 200 * 150 * 4);

  image->quarter_turns = 1;
  v->scale = 3.0;
  v->pointer = point{400, 300};
  box.paint();
  EXPECT_EQ(box.at(400, 300), RED);
  for (int frame : {1, 2, 1}) {
    gif->set_current_frame(frame);
    box.paint();
    EXPECT_EQ(box.at(400, 300), frame == 1 ? GREEN : RED) << frame;
  }
}
