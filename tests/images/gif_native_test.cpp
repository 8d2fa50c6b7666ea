// The reading paths of the option "Gif_code": the GIF class of the native
// drawing layer (GIF_NATIVE), that class with the own reader behind it
// (GIF_BOTH) and the own reader alone (GIF_Brek, as the viewer runs).
#include <gtest/gtest.h>

#include "baselib/global_var.h"
#include "drawing/bitmap.h"
#include "images/gif.h"
#include "images/gif_animation.h"
#include "images/image.h"
#include "images/native_image_files.h"
#include "tests/images/gif_test_support.h"
#include "tests/support/temp_dir.h"

using namespace brek;
using namespace gif_test;

namespace {

// Entry 0 is the file's background colour.
const Gif_palette kPal = make_palette({0x202020, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF});
constexpr uint32_t BG = 0xFF202020, R = 0xFFFF0000, G = 0xFF00FF00, B = 0xFF0000FF, BLACK = 0xFF000000;
constexpr int W = 6, H = 4;

// Frame 0: the whole screen red, left in place, 1/10 s. Frame 1: green
// 2 x 2 at (1, 1), restored to the background once shown, 25/100 s.
// Frame 2: 3 x 2 at (3, 2), blue in its first column and transparent
// (index 4) elsewhere, no delay.
Frame_desc third_frame() {
  Frame_desc s;
  s.left = 3;
  s.top = 2;
  s.width = 3;
  s.height = 2;
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) s.indexes.push_back(x == 0 ? 3 : 4);
  return s;
}

std::string three_frames(const std::string& before_first = "") {
  Gif_writer w;
  w.header(W, H, kPal).raw(before_first)
      .graphic_control(1, 10).image(solid(0, 0, W, H, 1))
      .graphic_control(2, 25).image(solid(1, 1, 2, 2, 2))
      .graphic_control(1, 0, 4).image(third_frame())
      .trailer();
  return w.bytes();
}

struct Spot {
  int x, y;
  uint32_t colour;
};

// Places of each frame of three_frames() and what they show; `restored`
// is what the rectangle of frame 1 shows once frame 2 came.
std::vector<Spot> spots(int frame, uint32_t restored) {
  switch (frame) {
    case 0: return {{0, 0, R}, {1, 1, R}, {5, 3, R}};
    case 1: return {{0, 0, R}, {1, 1, G}, {2, 2, G}, {3, 1, R}, {5, 3, R}};
    default: return {{0, 0, R}, {1, 1, restored}, {2, 2, restored}, {3, 2, B}, {3, 3, B}, {4, 2, R}, {5, 3, R}};
  }
}

// The first spot where frame `frame` differs, or "".
std::string differs(const Pixels& p, int frame, uint32_t restored) {
  if (p.width() != W || p.height() != H) return "size " + std::to_string(p.width()) + "x" + std::to_string(p.height());
  for (const Spot& s : spots(frame, restored))
    if (p.at(s.x, s.y) != s.colour)
      return "frame " + std::to_string(frame) + " at " + std::to_string(s.x) + "," + std::to_string(s.y);
  return "";
}

Ref<C_Gif> read_with(gif_code_from code, const std::string& bytes) {
  C_Gif::set_gif_code(code);
  return C_Gif::load_from_bytes(bytes);
}

// Every frame in order, then jumps back and forth.
void check_frames(const Ref<C_Gif>& gif, uint32_t restored, const char* path) {
  SCOPED_TRACE(path);
  ASSERT_EQ(gif->frame_count(), 3);
  EXPECT_EQ(gif->width(), W);
  EXPECT_EQ(gif->height(), H);
  const int64_t delays[] = {100, 250, 0};
  for (int f : {0, 1, 2, 0, 2, 1, 1}) {
    gif->set_current_frame(f);
    EXPECT_EQ(gif->frame_delay(), delays[f]) << f;
    EXPECT_EQ(differs(gif->render_current_frame(), f, restored), "");
  }
}

}  // namespace

TEST(GifNative, EveryOptionReadsTheFramesByItsOwnPath) {
  const std::string bytes = three_frames();
  // The GIF class fills what a frame restores with black; the own reader
  // with the file's background colour.
  Ref<C_Gif> native = read_with(gif_code_from::GIF_NATIVE, bytes);
  EXPECT_TRUE(native->frames.empty());
  check_frames(native, BLACK, "native");

  Ref<C_Gif> both = read_with(gif_code_from::GIF_BOTH, bytes);
  EXPECT_TRUE(both->frames.empty());
  check_frames(both, BLACK, "both");

  Ref<C_Gif> own = read_with(gif_code_from::GIF_Brek, bytes);
  EXPECT_EQ(own->frames.size(), 3u);
  EXPECT_EQ(own->version, "GIF89a");
  check_frames(own, BG, "own");

  // A stored value outside the three reads as GIF_BOTH.
  C_Global_var::set("Gif_code", 9);
  EXPECT_TRUE(C_Gif::load_from_bytes(bytes)->frames.empty());
}

TEST(GifNative, OutsideTheFramesNothingChanges) {
  Ref<C_Gif> gif = read_with(gif_code_from::GIF_NATIVE, three_frames());
  gif->set_current_frame(1);
  gif->set_current_frame(3);
  gif->set_current_frame(-1);
  EXPECT_EQ(gif->current_frame, 1);
  EXPECT_EQ(gif->frame_delay(), 250);
  EXPECT_EQ(differs(gif->render_current_frame(), 1, BLACK), "");
  // The own reader's per-frame operations have no frames to work on.
  EXPECT_TRUE(gif->decode_frame(0).empty());
  gif->draw_frame(2);
  EXPECT_EQ(differs(gif->render_current_frame(), 1, BLACK), "");
  // The composed picture is shared, as the own reader's is.
  Ref<C_Bitmap> shown = gif->composed_bitmap();
  ASSERT_FALSE(shown.is_none());
  EXPECT_EQ(shown->pixels()->words(), gif->render_current_frame().words());
  EXPECT_EQ(shown->width, W);
}

// A frame that restores the previous picture gives back what lay under it,
// also when the frames are reached by a jump.
TEST(GifNative, RestoreToPreviousGivesBackThePictureBeneath) {
  Gif_writer w;
  w.header(W, H, kPal)
      .graphic_control(1, 0).image(solid(0, 0, W, H, 1))
      .graphic_control(3, 0).image(solid(1, 1, 2, 2, 2))
      .graphic_control(1, 0).image(solid(0, 0, 1, 1, 3))
      .trailer();
  Ref<C_Gif> gif = read_with(gif_code_from::GIF_NATIVE, w.bytes());
  ASSERT_EQ(gif->frame_count(), 3);
  for (int f : {1, 2, 0, 2}) {
    gif->set_current_frame(f);
    const Pixels& p = gif->render_current_frame();
    EXPECT_EQ(p.at(1, 1), f == 1 ? G : R) << f;
    EXPECT_EQ(p.at(2, 2), f == 1 ? G : R) << f;
    EXPECT_EQ(p.at(0, 0), f == 2 ? B : R) << f;
    EXPECT_EQ(p.at(3, 3), R) << f;
  }
}

TEST(GifNative, AFileEndingAfterTheFirstFrameKeepsThatFrame) {
  // Cut inside the graphic control block of frame 1.
  const std::string whole = three_frames();
  Gif_writer first;
  first.header(W, H, kPal).graphic_control(1, 10).image(solid(0, 0, W, H, 1));
  const std::string cut = whole.substr(0, first.bytes().size() + 3);
  ASSERT_EQ(whole.compare(0, cut.size(), cut), 0);

  Ref<C_Gif> gif = read_with(gif_code_from::GIF_NATIVE, cut);
  ASSERT_EQ(gif->frame_count(), 1);
  EXPECT_EQ(gif->frame_delay(), 100);
  EXPECT_EQ(differs(gif->render_current_frame(), 0, BLACK), "");

  // The class marks it corrupted and the load succeeds all the same.
  Ref<C_Bitmap> b = C_Bitmap::create(1, 1, 24);
  DynAByte bytes(std::vector<uint8_t>(cut.begin(), cut.end()));
  ASSERT_TRUE(Brek_drawing::load_gif(bytes, b->native.get()));
  const Gif_animation* a = Gif_animation::of(b->native.get());
  ASSERT_NE(a, nullptr);
  EXPECT_TRUE(a->gif()->IsCorrupted());
  EXPECT_EQ(b->width, W);
}

// An extension label the class does not know makes it refuse the file; the
// own reader passes over that block.
TEST(GifNative, WhatTheClassRefusesFallsBackToTheOwnReader) {
  const std::string odd = three_frames(std::string("\x21\x99\x00", 3));
  Ref<C_Gif> both = read_with(gif_code_from::GIF_BOTH, odd);
  EXPECT_EQ(both->frames.size(), 3u);
  check_frames(both, BG, "fallback");

  Ref<C_Gif> native = read_with(gif_code_from::GIF_NATIVE, odd);
  EXPECT_EQ(native->frame_count(), 0);
  EXPECT_TRUE(native->render_current_frame().empty());
  EXPECT_FALSE(native->has_picture());
  EXPECT_EQ(native->frame_delay(), 0);

  // Not a GIF at all: no frames on any path.
  for (gif_code_from code : {gif_code_from::GIF_BOTH, gif_code_from::GIF_NATIVE, gif_code_from::GIF_Brek})
    EXPECT_EQ(read_with(code, "GIF89a\x06")->frame_count(), 0);
}

// An image opened while the option asks for the GIF class gets its
// animation from that class, with the logical screen's size.
TEST(GifNative, AnImageTakesTheClassesAnimation) {
  brek_test::Temp_dir dir;
  brek_test::write_file(dir.file("a.gif"), three_frames());
  C_Gif::set_gif_code(gif_code_from::GIF_BOTH);
  Ref<C_Image> i = C_Image::create();
  i->file_name = dir.file("a.gif");
  i->load(100, 100);
  ASSERT_FALSE(i->animation.is_none());
  EXPECT_TRUE(i->animation->frames.empty());
  EXPECT_EQ(i->width, W);
  EXPECT_EQ(i->height, H);
  i->animation->set_current_frame(2);
  EXPECT_EQ(differs(i->animation->render_current_frame(), 2, BLACK), "");
}

// What the composition relies on: the frame choice is clamped, and the
// class's size is that of the current frame's picture.
TEST(GifNative, TheClassesFrameChoiceAndSize) {
  const std::string bytes = three_frames();
  Ref<TGIFImage> gif = TGIFImage::create();
  gif->read_data(reinterpret_cast<const uint8_t*>(bytes.data()), int64_t(bytes.size()));
  ASSERT_EQ(gif->FrameCount(), 3);
  EXPECT_EQ(gif->current_frame, 0);
  EXPECT_EQ(gif->width(), W);
  gif->SetFrameIndex(7);
  EXPECT_EQ(gif->current_frame, 2);
  EXPECT_EQ(gif->width(), 3);
  EXPECT_EQ(gif->height(), 2);
  EXPECT_EQ(gif->FrameAt(1)->delay, 250);
  EXPECT_EQ(gif->FrameAt(1)->disposal, 2);
  EXPECT_TRUE(gif->FrameAt(3).is_none());
  gif->SetFrameIndex(-5);
  EXPECT_EQ(gif->current_frame, -1);
  EXPECT_EQ(gif->width(), 0);
  EXPECT_THROW(gif->set_width(4), E_Gif_error);
}
