#include <gtest/gtest.h>

#include <filesystem>

#include "baselib/memory_stream.h"
#include "drawing/bitmap.h"
#include "drawing/brek_drawing.h"
#include "images/gif.h"
#include "images/image.h"
#include "tests/images/gif_test_support.h"
#include "tests/support/temp_dir.h"

using namespace brek;
using namespace gif_test;
using brek_test::Temp_dir;

namespace {

// Entry 0 is the background.
const Gif_palette kPal = make_palette({0x202020, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF});
constexpr uint32_t BG = 0xFF202020, R = 0xFFFF0000, G = 0xFF00FF00, B = 0xFF0000FF, WHITE = 0xFFFFFFFF;
constexpr uint32_t BLACK = 0xFF000000;
constexpr int W = 8, H = 6;

// Frame 0: all red, left in place, 1/10 s. Frame 1: green 3 x 2 at (2, 1),
// restored to the background after it was shown, 2/10 s. Frame 2: 4 x 3
// at (4, 3), blue in its first column and transparent (index 4) elsewhere,
// no delay.
std::string animation() {
  Frame_desc third;
  third.left = 4;
  third.top = 3;
  third.width = 4;
  third.height = 3;
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) third.indexes.push_back(x == 0 ? 3 : 4);
  Gif_writer w;
  w.header(W, H, kPal)
      .looping(0)
      .graphic_control(1, 10).image(solid(0, 0, W, H, 1))
      .graphic_control(2, 20).image(solid(2, 1, 3, 2, 2))
      .graphic_control(1, 0, 4).image(third)
      .trailer();
  return w.bytes();
}

// What frame n shows at (x, y): the frame that restores the background
// clears only its own rectangle, and only once the next frame comes, to
// the background colour (own reader) or black (the GIF class).
uint32_t expected(int n, int x, int y, uint32_t restored = BG) {
  bool in1 = x >= 2 && x < 5 && y >= 1 && y < 3;
  if (n == 1 && in1) return G;
  if (n == 2) {
    if (x == 4 && y >= 3) return B;
    if (in1) return restored;
  }
  return R;
}

// The first pixel of `p` (placed at dx, dy, each GIF pixel scale x scale)
// that differs from frame n.
std::string mismatch(const Pixels& p, int n, int dx = 0, int dy = 0, int scale = 1, uint32_t restored = BG) {
  for (int y = 0; y < H * scale; ++y)
    for (int x = 0; x < W * scale; ++x)
      if (p.at(dx + x, dy + y) != expected(n, x / scale, y / scale, restored))
        return "frame " + std::to_string(n) + " differs at " + std::to_string(x) + "," + std::to_string(y);
  return "";
}

Ref<C_Stream> stream_of(const std::string& bytes, int64_t position = 0) {
  Ref<C_Memory_stream_contig> m = C_Memory_stream_contig::create();
  m->write_buffer(reinterpret_cast<const uint8_t*>(bytes.data()), int64_t(bytes.size()));
  m->set_pos(position);
  return Ref<C_Stream>(m);
}

// A GIF whose frames cannot decode (a minimum code size above 8).
std::string undecodable() {
  Frame_desc s = solid(0, 0, 2, 2, 1);
  s.min_code_size = 12;
  Gif_writer w;
  w.header(2, 2, kPal).image(s).trailer();
  return w.bytes();
}

}  // namespace

TEST(GifGlue, LoadsKeepsEveryFrameAndDrawsTheComposedOne) {
  Ref<C_Bitmap> b = C_Bitmap::create(1, 1, 0);
  // Read from the stream's position on.
  ASSERT_TRUE(C_Brek_drawing::load_gif(stream_of("junk" + animation(), 4), b->native.get()));
  Native_bitmap* n = b->native.get();
  EXPECT_EQ(b->width, W);
  EXPECT_EQ(b->height, H);
  ASSERT_EQ(C_Brek_drawing::gif_frame_count(n), 3);

  Ref<C_Bitmap> target = C_Bitmap::create(12, 10, 24);
  Ref<C_Canvas> c = target->canvas();
  c->clear();
  c->units = units_measure_graphics::PIXELS;
  const int64_t delays[] = {100, 200, 0};
  // Forward, then a jump back and the same again.
  for (int f : {0, 1, 2, 1, 2, 0}) {
    C_Brek_drawing::gif_show_frame(n, f);
    EXPECT_EQ(C_Brek_drawing::gif_frame_delay(n), delays[f]);
    b->draw_at(c, point{2, 3});
    EXPECT_EQ(mismatch(*target->pixels(), f, 2, 3, 1, BLACK), "");
  }
  // Drawing did not spill past the picture's own size.
  EXPECT_EQ(target->pixels()->at(1, 3), WHITE);
  EXPECT_EQ(target->pixels()->at(10, 3), WHITE);
  EXPECT_EQ(target->pixels()->at(2, 9), WHITE);

  // Stretched: each pixel twice as wide and high.
  C_Brek_drawing::gif_show_frame(n, 2);
  Ref<C_Bitmap> big = C_Bitmap::create(16, 12, 24);
  big->canvas()->units = units_measure_graphics::PIXELS;
  big->canvas()->quality = quality_drawing_lines_shapes::LOW;
  b->stretch_draw(big->canvas(), rect{0, 0, 16, 12});
  EXPECT_EQ(mismatch(*big->pixels(), 2, 0, 0, 2, BLACK), "");

  // An index outside the frames changes nothing.
  C_Brek_drawing::gif_show_frame(n, 3);
  C_Brek_drawing::gif_show_frame(n, -1);
  EXPECT_EQ(C_Brek_drawing::gif_frame_delay(n), 0);
  b->draw_at(c, point{2, 3});
  EXPECT_EQ(mismatch(*target->pixels(), 2, 2, 3, 1, BLACK), "");
}

TEST(GifGlue, WhatCannotBeShownLeavesTheBitmapAlone) {
  for (const std::string& bytes : {std::string("not a gif"), std::string("GIF89a"), undecodable()}) {
    Ref<C_Bitmap> b = C_Bitmap::create(1, 1, 0);
    EXPECT_FALSE(C_Brek_drawing::load_gif(stream_of(bytes), b->native.get())) << bytes.size();
    EXPECT_EQ(b->width, 1);
    EXPECT_EQ(C_Brek_drawing::gif_frame_count(b->native.get()), 0);
  }
  // A bitmap without a GIF: no frames, no delay, nothing composed.
  Ref<C_Bitmap> plain = C_Bitmap::create(2, 2, 24);
  C_Brek_drawing::gif_show_frame(plain->native.get(), 0);
  EXPECT_EQ(C_Brek_drawing::gif_frame_delay(plain->native.get()), 0);
  EXPECT_EQ(C_Brek_drawing::gif_frame_count(nullptr), 0);
  EXPECT_FALSE(C_Brek_drawing::load_gif(stream_of(animation()), nullptr));

  // The glue stands for the native reader: the option does not turn it off.
  C_Gif::set_gif_code(gif_code_from::GIF_NATIVE);
  Ref<C_Bitmap> b = C_Bitmap::create(1, 1, 0);
  bool loaded = C_Brek_drawing::load_gif(stream_of(animation()), b->native.get());
  C_Gif::set_gif_code(gif_code_from::GIF_BOTH);
  EXPECT_TRUE(loaded);
  EXPECT_EQ(C_Brek_drawing::gif_frame_count(b->native.get()), 3);
}

TEST(GifGlue, SavingAGifWritesTheWholeFileSafely) {
  Temp_dir dir;
  Ref<C_Bitmap> pic = C_Bitmap::create(5, 3, 24);
  Pixels* p = pic->pixels();
  ASSERT_NE(p, nullptr);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) p->set(x, y, x < 2 ? R : y == 1 ? B : WHITE);
  Ref<C_Memory_stream_contig> m = C_Memory_stream_contig::create();
  ASSERT_TRUE(C_Brek_drawing::save_gif(pic->native.get(), Ref<C_Stream>(m)));
  const std::string written(reinterpret_cast<const char*>(m->data.data()), size_t(m->used()));
  EXPECT_EQ(C_Gif::load_from_bytes(written)->render_current_frame(), *p);

  // A file is replaced whole, and no temporary file stays behind.
  brek_test::write_file(dir.file("old.gif"), "old bytes");
  EXPECT_TRUE(C_Gif::save(pic, dir.file("old.gif")));
  EXPECT_EQ(brek_test::read_file(dir.file("old.gif")), written);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
  EXPECT_FALSE(C_Gif::save(pic, dir.file("missing/new.gif")));

  // Nothing to encode: false, nothing written.
  EXPECT_FALSE(C_Gif::save(Ref<C_Bitmap>(), dir.file("none.gif")));
  Native_bitmap empty;
  EXPECT_FALSE(C_Brek_drawing::save_gif(&empty, stream_of("")));
  EXPECT_FALSE(C_Brek_drawing::save_gif_stream(&empty, dir.file("empty.gif")));
  EXPECT_FALSE(std::filesystem::exists(dir.file("none.gif")));
  EXPECT_FALSE(std::filesystem::exists(dir.file("empty.gif")));
}

TEST(GifImage, AnimationSizesFramesAndDelays) {
  Temp_dir dir;
  brek_test::write_file(dir.file("anim.GIF"), animation());
  Ref<C_Image> i = C_Image::create();
  i->file_name = dir.file("anim.GIF");
  i->read_header_info(100, 100);
  i->load(100, 100);
  ASSERT_FALSE(i->animation.is_none());
  EXPECT_TRUE(i->picture.is_none());
  EXPECT_EQ(i->width, W);
  EXPECT_EQ(i->height, H);
  EXPECT_EQ(i->display_width, W);
  EXPECT_EQ(i->display_height, H);
  const int64_t delays[] = {100, 200, 0};
  for (int f : {0, 1, 2, 0, 2, 1}) {
    i->animation->set_current_frame(f);
    EXPECT_EQ(i->animation->frame_delay(), delays[f]);
    EXPECT_EQ(mismatch(i->animation->render_current_frame(), f), "");
  }
  // A second load keeps the animation it has.
  Ref<C_Gif> held = i->animation;
  i->load_whole();
  EXPECT_TRUE(i->animation.same(held));

  // A save writes the frame shown now, as a still picture.
  i->animation->set_current_frame(1);
  bool nothing = true;
  EXPECT_TRUE(i->save_picture(dir.file("copy.gif"), nothing));
  EXPECT_FALSE(nothing);
  Ref<C_Gif> copy = C_Gif::load_from_file(dir.file("copy.gif"));
  EXPECT_EQ(copy->frame_count(), 1);
  EXPECT_EQ(mismatch(copy->render_current_frame(), 1), "");
}

TEST(GifImage, BrokenGifsFailOnceAndAreRemembered) {
  Temp_dir dir;
  // A logical screen of 0 by 0 shows nothing whatever its frames hold.
  Gif_writer empty_screen;
  empty_screen.header(0, 0, kPal).image(solid(0, 0, 2, 2, 1)).trailer();
  for (const std::string& bytes : {std::string("GIF89a\x08"), undecodable(), empty_screen.bytes()}) {
    std::string f = dir.file("broken.gif");
    brek_test::write_file(f, bytes);
    Ref<C_Image> i = C_Image::create();
    i->file_name = f;
    i->load(50, 50);
    EXPECT_TRUE(i->load_failed);
    EXPECT_TRUE(i->animation.is_none());
    EXPECT_EQ(i->width, 0);
    EXPECT_EQ(i->height, 0);
    // Not decoded again, even once the file is good.
    brek_test::write_file(f, animation());
    i->load(50, 50);
    EXPECT_TRUE(i->animation.is_none());
    // A new object does.
    Ref<C_Image> again = C_Image::create();
    again->file_name = f;
    again->load(50, 50);
    EXPECT_FALSE(again->animation.is_none());
  }

  // A broken first frame does not hide the frames after it.
  Frame_desc bad = solid(0, 0, W, H, 1);
  bad.min_code_size = 12;
  Gif_writer w;
  w.header(W, H, kPal).image(bad).graphic_control(1, 0).image(solid(0, 0, 2, 1, 3)).trailer();
  brek_test::write_file(dir.file("late.gif"), w.bytes());
  Ref<C_Image> late = C_Image::create();
  late->file_name = dir.file("late.gif");
  late->load_whole();
  ASSERT_FALSE(late->animation.is_none());
  EXPECT_EQ(late->width, W);
  EXPECT_EQ(late->animation->current_frame, 0);
  late->animation->set_current_frame(1);
  const Pixels& p = late->animation->render_current_frame();
  ASSERT_FALSE(p.empty());
  EXPECT_EQ(p.at(1, 0), B);
  EXPECT_EQ(p.at(2, 0), BG);
}
