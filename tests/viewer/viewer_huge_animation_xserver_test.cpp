// Animated GIFs too large for the window's thread (frames of more than
// four million pixels) shown alone at their own size on the X server: they
// play while the window's thread composes none of their frames, and the
// workers that compose them stop within a row once the animation is no
// longer shown (another picture stepped to, the window closed by Escape).

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <thread>

#include "baselib/thread.h"
#include "forms/timer_ticks.h"
#include "images/image_file_io.h"
#include "runtime/clock.h"
#include "runtime/runtime_services.h"
#include "tests/support/child_failures.h"
#include "tests/support/entry_changes.h"
#include "tests/support/process_limits.h"
#include "tests/support/process_memory.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"
#include "tests/viewer/viewer_memory_support.h"

using namespace viewer_test;
namespace te = brek_platform::test_events;

namespace {

constexpr int VK_RETURN = 13, VK_ESCAPE = 27, VK_DOWN = 40;

// Counts the loop ticks of the thread that makes it (the window's) while
// it lives: the GIF decoder ticks once a row, so a frame composed there
// costs as many ticks as it has rows. Workers that run the handlers now
// and then are not counted.
class Window_ticks final : public Brek_handler {
 public:
  Window_ticks() : thread_(std::this_thread::get_id()) {
    Brek_runtime::register_tick_handler(this);
    Brek_runtime::set_tick_counter(65535);
  }
  ~Window_ticks() override { Brek_runtime::unregister_tick_handler(this); }
  Window_ticks(const Window_ticks&) = delete;
  Window_ticks& operator=(const Window_ticks&) = delete;
  void run() override {
    if (std::this_thread::get_id() != thread_) return;
    Brek_runtime::set_tick_counter(65535);
    ++count;
  }
  int64_t count = 0;

 private:
  const std::thread::id thread_;
};

// The viewer on the screen, its pointer resting in the middle of the box
// (a large picture shows at its own size), and a folder of an animation
// of `side` x `side` pixels in three frames (red, green, blue) and a small
// photograph after it, listed by its captions (no picture read for a
// cell). With a clock of the test's own, the window's timers run only as
// the test moves it on.
struct Animation_screen {
  brek_test::Temp_dir dir;
  std::optional<Brek_runtime::Test_clock> clock;
  std::unique_ptr<Viewer_on_screen<C_Collage_viewer>> s;
  explicit Animation_screen(int side, bool own_clock = false) {
    if (own_clock) clock.emplace();
    EXPECT_TRUE(write_config_file("Collage_viewer/Collage_viewer.conf", "[Main]\nMode = 2\n"));
    EXPECT_TRUE(brek_test::write_file(dir.file("a.gif"), one_colour_gif(side, side, 3)));
    EXPECT_TRUE(Image_file_io::save_jpeg(Pixels(64, 48, 0xFF2060A0u), dir.file("b.jpg")));
    s = std::make_unique<Viewer_on_screen<C_Collage_viewer>>(rect{0, 0, 1200, 800});
    s->v->show();
    EXPECT_TRUE(te::wait_exposed(s->v->native));
    te::settle();
    s->rest_pointer_at(s->in_box(s->v->pb->get_width() / 2, s->v->pb->get_height() / 2));
  }
  const Ref<C_Collage_viewer>& v() const { return s->v; }
  // The window's events; on the test's clock, after it moved on by a few
  // milliseconds and the timers due ran.
  void settle() {
    if (clock) {
      clock->advance(10);
      Timer_ticks::run_due(clock->ticks());
    }
    te::settle();
  }
  // The folder listed, then the animation alone (Return on it).
  bool show_animation() {
    v()->open_dir(dir.path());
    if (!brek_test::wait_until([&] {
          settle();
          return v()->files.count() == 2 && v()->laid_out_count == 2;
        }))
      return false;
    v()->current_file = dir.file("a.gif");
    return press(v()->native, VK_RETURN) && v()->single_mode;
  }
  // The middle of the window as the last paint left it.
  uint32_t middle() const {
    const Pixels* p = v()->pb->back_buffer->pixels();
    return p ? p->at(p->width() / 2, p->height() / 2) | 0xFF000000u : 0;
  }
  // The animation alone, its first frame painted at its own size.
  bool first_frame_shown() {
    return brek_test::wait_until([&] {
      settle();
      const Ref<C_Image> e = v()->current_image();
      return v()->single_mode && !v()->fit_mode && !e->animation.is_none() && e->animation->current_frame == 0 &&
             middle() == RED;
    });
  }
};

}  // namespace

// A folder opened on an animation of 2100 x 2100 (past four million
// pixels) and the photograph after it: Return shows the animation alone,
// which plays (each frame painted in its colour) while the window's
// thread ticks far less than a frame's rows; Down then shows the
// photograph.
TEST(ViewerHugeAnimation, AHugeAnimationPlaysWithoutItsFramesComposedOnTheWindowsThread) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  constexpr int SIDE = 2100;
  Animation_screen a(SIDE);
  ASSERT_TRUE(a.show_animation());
  ASSERT_TRUE(a.first_frame_shown()) << "the first frame never showed";
  const Ref<C_Gif> gif = a.v()->current_image()->animation;
  std::set<uint32_t> painted;
  int64_t frames = 0, ticks = 0;
  {
    const Window_ticks window;
    int64_t last = gif->current_frame;
    // Round the animation: frames 1, 2 and 0 again, each painted.
    EXPECT_TRUE(brek_test::wait_until([&] {
      te::settle();
      if (gif->current_frame != last) ++frames;
      last = gif->current_frame;
      painted.insert(a.middle());
      return frames >= 3 && last == 0 && a.middle() == RED;
    })) << frames << " frames shown";
    ticks = window.count;
  }
  EXPECT_TRUE(painted.count(GREEN) && painted.count(BLUE)) << painted.size() << " colours painted";
  std::printf("the window's thread ticked %lld times over %lld frames of %d rows\n", (long long)ticks,
              (long long)frames, SIDE);
  EXPECT_LT(ticks, SIDE / 4) << "the window's thread ticked as a frame's rows do, over " << frames << " frames";
  ASSERT_TRUE(press(a.v()->native, VK_DOWN));
  EXPECT_EQ(a.v()->current_file, a.dir.file("b.jpg"));
}

namespace {

// Which worker is held at the picture it makes: the one reading the first
// frame, or the one composing the next.
enum class held_worker { FIRST_FRAME, NEXT_FRAME };
// What the user does meanwhile.
enum class user_step { DOWN, ESCAPE };

}  // namespace

// While a worker reading an animation of 8192 x 8192 (a quarter of a
// gibibyte a frame; smaller under the sanitizers, whose memory tells
// nothing) waits for the memory of its picture, the user steps on to the
// photograph or ends the program with Escape: once the memory comes, the
// worker stops within a row, so the process never makes that picture. The window's timers run on the test's clock, so the next
// frame's worker starts only after the hold. Each in a process of its
// own, whose mappings stay held.
using ViewerStalledAnimationDeathTest = brek_test::Stalled_reads_death_test;
TEST_F(ViewerStalledAnimationDeathTest, AWorkerComposingAHugeAnimationStopsWithinARowOnceItIsNotShown) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  constexpr int SIDE = brek_test::RESIDENT_SIZE_COUNTS ? 8192 : 4096;
  constexpr int64_t PICTURE = int64_t(SIDE) * SIDE * 4;
  for (held_worker held : {held_worker::FIRST_FRAME, held_worker::NEXT_FRAME}) {
    for (user_step step : {user_step::DOWN, user_step::ESCAPE}) {
      SCOPED_TRACE(std::string(held == held_worker::FIRST_FRAME ? "the first frame" : "the next frame") +
                   (step == user_step::DOWN ? ", Down" : ", Escape"));
      const auto acting = [&] {
        Animation_screen a(SIDE, true);
        std::optional<brek_test::Stalled_maps> memory;
        // Held from the start, or once the first frame shows: the worker
        // of the next frame starts after it.
        if (held == held_worker::FIRST_FRAME) memory.emplace(uint64_t(PICTURE));
        ASSERT_TRUE(a.show_animation());
        if (held == held_worker::NEXT_FRAME) {
          ASSERT_TRUE(a.first_frame_shown()) << "the first frame never showed";
          memory.emplace(uint64_t(PICTURE));
        }
        ASSERT_TRUE(memory->holding());
        ASSERT_TRUE(brek_test::wait_until([&] {
          a.settle();
          return memory->waiting();
        })) << "no worker asked for a picture's memory";
        const int64_t grown = brek_test::peak_growth([&] {
          if (step == user_step::DOWN) {
            ASSERT_TRUE(press(a.v()->native, VK_DOWN));
            EXPECT_EQ(a.v()->current_file, a.dir.file("b.jpg"));
          } else {
            // The window is gone before the key is let go.
            ASSERT_TRUE(te::window_key_press(a.v()->native, VK_ESCAPE, {}, ""));
            te::settle();
            EXPECT_TRUE(a.v()->exiting);
            a.s.reset();
          }
          memory->release();
          EXPECT_TRUE(brek_test::wait_until([&] {
            if (a.s) a.settle();
            return Thread_registry::global().running_bodies() == 0;
          })) << "a worker still runs";
        });
        // A worker that went on would have made all of PICTURE.
        if (brek_test::RESIDENT_SIZE_COUNTS) {
          EXPECT_LT(grown, PICTURE / 4) << grown / brek_test::MB << " MB";
        }
      };
      EXPECT_EXIT(brek_test::exit_with_failures(acting), testing::ExitedWithCode(0), "");
    }
  }
}

// The first frame shown, no thread can be started any more: the animation
// goes on, its frames composed on the window's thread from then on. In a
// process of its own, which can never start threads again.
TEST_F(ViewerStalledAnimationDeathTest, AHugeAnimationPlaysOnWhereNoWorkerCanStart) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  const auto playing = [] {
    Animation_screen a(2100);
    ASSERT_TRUE(a.show_animation());
    ASSERT_TRUE(a.first_frame_shown()) << "the first frame never showed";
    ASSERT_TRUE(brek_test::refuse_new_threads());
    std::set<uint32_t> painted;
    EXPECT_TRUE(brek_test::wait_until([&] {
      a.settle();
      painted.insert(a.middle());
      return painted.count(GREEN) && painted.count(BLUE) && painted.count(RED);
    }, std::chrono::seconds(20) * SLOW_BUILD)) << painted.size() << " colours painted";
    EXPECT_EQ(Thread_registry::global().running_bodies(), 0);
  };
  EXPECT_EXIT(brek_test::exit_with_failures(playing), testing::ExitedWithCode(0), "");
}

// Turned right, the animation stays on its frame however long the timers
// run, composing none (the next frame's worker stopped, its picture let
// go: the animation holds its one picture beside the turned copy); turned
// back, it plays on.
TEST(ViewerHugeAnimation, ATurnedHugeAnimationStaysOnItsFrameUntilTurnedBack) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  constexpr int SIDE = 2100, VK_LEFT = 37, VK_RIGHT = 39;
  Animation_screen a(SIDE, true);
  ASSERT_TRUE(a.show_animation());
  ASSERT_TRUE(a.first_frame_shown()) << "the first frame never showed";
  const Ref<C_Gif> gif = a.v()->current_image()->animation;
  // A frame or two on, then turned.
  ASSERT_TRUE(brek_test::wait_until([&] {
    a.settle();
    return gif->current_frame == 1;
  }));
  ASSERT_TRUE(press(a.v()->native, VK_RIGHT));
  for (int i = 0; i < 100; ++i) a.settle();  // a second of the test's clock, ten frames' delays
  EXPECT_TRUE(brek_test::wait_until([&] {
    a.settle();
    return Thread_registry::global().running_bodies() == 0;
  }));
  EXPECT_EQ(gif->current_frame, 1);
  EXPECT_EQ(a.middle(), GREEN);
  EXPECT_EQ(gif->picture_bytes_held(), int64_t(SIDE) * SIDE * 4);
  ASSERT_TRUE(press(a.v()->native, VK_LEFT));
  EXPECT_TRUE(brek_test::wait_until([&] {
    a.settle();
    return gif->current_frame == 2 && a.middle() == BLUE;
  }));
}
