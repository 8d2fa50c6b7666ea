// The frames of an animation composed on workers, as the viewer has those
// of one too large for its window's thread composed: frame after frame,
// round and round, stopped and started again, they are the frames a
// composition on the calling thread shows, and the calling thread decodes
// none of them.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "baselib/thread.h"
#include "gif_test_support.h"
#include "images/gif.h"
#include "tests/support/wait_until.h"

using brek::C_Gif;
using brek::Pixels;
using brek::Ref;
using namespace gif_test;

namespace {

const brek::Gif_palette kPal = make_palette({0x808000, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF});

Ref<C_Gif> uncomposed(const std::string& bytes) {
  return C_Gif::read_from_bytes(reinterpret_cast<const uint8_t*>(bytes.data()), int64_t(bytes.size()), false);
}

// A frame of w x h at (x, y) whose indexes 1..4 change from pixel to pixel.
Frame_desc patch(int64_t x, int64_t y, int64_t w, int64_t h, int seed) {
  Frame_desc f = solid(x, y, w, h, 0);
  for (size_t i = 0; i < f.indexes.size(); ++i) f.indexes[i] = uint8_t(1 + (i * 3 + size_t(seed)) % 4);
  return f;
}

// Animations on a 9 x 7 screen: every disposal over frames that cover
// part of the screen, transparent ones, one partly off the screen, one
// that does not decode, and one whose first frame does not.
std::vector<std::pair<std::string, std::string>> animations() {
  Frame_desc broken = patch(0, 0, 9, 7, 0);
  broken.min_code_size = 12;
  std::vector<std::pair<std::string, std::string>> all;
  for (int d : {1, 2, 3}) {
    Gif_writer w;
    w.header(9, 7, kPal)
        .graphic_control(d, 1).image(patch(0, 0, 9, 7, 1))
        .graphic_control(3, 1, 2).image(patch(2, 1, 5, 4, 2))
        .graphic_control(d, 1).image(patch(6, 3, 5, 6, 3))
        .graphic_control(2, 1, 1).image(patch(1, 2, 3, 3, 4))
        .graphic_control(d, 1).image(broken)
        .graphic_control(0, 1).image(patch(4, 0, 2, 7, 5))
        .trailer();
    all.emplace_back("disposal " + std::to_string(d), w.bytes());
  }
  Gif_writer first_broken;
  first_broken.header(9, 7, kPal)
      .graphic_control(1, 1).image(broken)
      .graphic_control(3, 1).image(patch(1, 1, 4, 4, 6))
      .graphic_control(1, 1, 3).image(patch(3, 2, 6, 5, 7))
      .trailer();
  all.emplace_back("its first frame broken", first_broken.bytes());
  return all;
}

// The animation with its first frame taken as a worker reads it, its
// later frames composed on workers.
Ref<C_Gif> on_workers(const std::string& bytes) {
  Ref<C_Gif> gif = uncomposed(bytes);
  Ref<C_Gif> first = uncomposed(bytes);
  first->set_go_on([] { return true; });
  Pixels composed = first->render_current_frame();
  const bool taken = composed.empty() ? gif->adopt_empty_first_frame() : gif->adopt_first_frame(std::move(composed));
  EXPECT_TRUE(taken);
  gif->compose_on_workers(std::make_shared<const std::vector<uint8_t>>(bytes.begin(), bytes.end()));
  EXPECT_TRUE(gif->composes_on_workers());
  return gif;
}

// The next frame, once a worker composed it.
bool step(const Ref<C_Gif>& gif) {
  return brek_test::wait_until([&] { return gif->step_frame(); });
}

}  // namespace

// Twice round each animation, the workers told to stop now and then (the
// animation no longer shown) and going on afterwards: every frame shown
// is the frame composed here, and nothing here decodes a frame.
TEST(GifFrames, FramesComposedOnWorkersAreTheFramesComposedHere) {
  for (const auto& [what, bytes] : animations()) {
    SCOPED_TRACE(what);
    Ref<C_Gif> here = C_Gif::load_from_bytes(bytes);
    Ref<C_Gif> gif = on_workers(bytes);
    const int64_t n = gif->frame_count();
    ASSERT_GE(n, 3);
    for (int64_t k = 1; k <= 2 * n; ++k) {
      if (k % 4 == 0) gif->stop_workers();
      ASSERT_TRUE(step(gif)) << "frame " << k << " never came";
      ASSERT_EQ(gif->current_frame, k % n);
      here->set_current_frame(k % n);
      EXPECT_TRUE(gif->render_current_frame() == here->render_current_frame()) << "frame " << k % n;
      EXPECT_TRUE(gif->composed_bitmap()->pixels() == nullptr ||
                  *gif->composed_bitmap()->pixels() == here->render_current_frame())
          << "frame " << k % n;
    }
    EXPECT_EQ(gif->frames_decoded(), 0) << "frames decoded here";
  }
}

// While a worker composes the next frame, the frame shown stays: asking
// for another frame changes nothing, and the picture keeps its pixels.
TEST(GifFrames, TheFrameShownStaysWhileTheNextIsComposed) {
  const std::string bytes = animations().front().second;
  Ref<C_Gif> here = C_Gif::load_from_bytes(bytes);
  Ref<C_Gif> gif = on_workers(bytes);
  const Pixels first = gif->render_current_frame();
  gif->step_frame();  // a worker starts on frame 1
  gif->set_current_frame(2);
  EXPECT_EQ(gif->current_frame, 0);
  EXPECT_TRUE(gif->render_current_frame() == first);
  ASSERT_TRUE(step(gif));
  EXPECT_EQ(gif->current_frame, 1);
  here->set_current_frame(1);
  EXPECT_TRUE(gif->render_current_frame() == here->render_current_frame());
}

// An animation let go of while a worker composes its next frame: the
// worker stops and ends, whatever it still reads.
TEST(GifFrames, AnAnimationLetGoOfWhileItsNextFrameIsComposedLeavesNoWorker) {
  const std::string bytes = animations().back().second;
  for (int round = 0; round < 20; ++round) {
    Ref<C_Gif> gif = on_workers(bytes);
    EXPECT_FALSE(gif->step_frame());
    gif.reset();
    EXPECT_TRUE(brek_test::wait_until([] { return brek::Thread_registry::global().running_bodies() == 0; }));
  }
}
