// A picture at the size limit on a real X server: a GIF of 16384 x 16383
// pixels (a gibibyte once composed) beside a 1 x 1 GIF and a small JPEG,
// the program started on their folder and driven by keys inside its own
// main loop. Every view answers Escape, and a directory view painted with
// the picture costs what its cells show, not what the picture holds.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "baselib/file_path.h"
#include "tests/support/temp_dir.h"
#include "tests/viewer/viewer_on_screen.h"

using namespace viewer_test;
namespace te = brek_platform::test_events;

namespace {

constexpr int HUGE_W = 16384, HUGE_H = 16383;
constexpr int64_t HUGE_BYTES = int64_t(HUGE_W) * HUGE_H * 4;

// Counts the ticks of the background timer, which lists and lays out.
class Ticking_viewer : public Test_viewer {
  BREK_CLASS(Ticking_viewer)
 public:
  int64_t background_ticks = 0;
  void on_timer() override {
    if (current_control().get() == timer_1.get()) ++background_ticks;
    Test_viewer::on_timer();
  }
};

// The view mode the settings hold: 0 collage, 1 thumbnails, 2 captions.
void write_mode(int mode) {
  ASSERT_TRUE(
      write_config_file("Collage_viewer/Collage_viewer.conf", "[Main]\nMode = " + std::to_string(mode) + "\n"));
}

// The program started on a folder.
struct Started : private Command_line, public Viewer_on_screen<Ticking_viewer> {
  explicit Started(const std::string& dir) : Command_line({dir}), Viewer_on_screen(rect{0, 0, 1200, 800}) {}
};

struct Huge_folder {
  brek_test::Temp_dir dir;
  Huge_folder() {
    Pixels small(64, 48, 0xFF3060A0u);
    EXPECT_TRUE(Image_file_io::save_jpeg(small, dir.file("a.jpg")));
    tiny_gif(dir.file("b.gif"));
    EXPECT_TRUE(brek_test::write_file(dir.file("c.gif"), one_colour_gif(HUGE_W, HUGE_H)));
  }
};

// Steps run inside the program's main loop: each waits for its condition
// (checked every 20 ms), then acts as the user. A net ends the loop when a
// step waits for more than a minute, or the loop runs on ten seconds after
// the last step: the window stopped answering (five times as long in a
// sanitized build).
class Script {
 public:
  struct Step {
    std::string what;
    std::function<bool()> ready;
    std::function<void()> act;
  };
  explicit Script(std::vector<Step> steps) : state_(std::make_shared<State>()) { state_->steps = std::move(steps); }
  // Runs the steps in the screen's main loop; the index of the step that
  // was not reached (the count when all ran).
  size_t run(const Ref<C_Screen>& screen, const Ref<C_Form>& form) {
    poll(state_, screen);
    screen->run_forms(form);
    state_->ended = true;
    return state_->next;
  }
  // Whether the net ended the loop.
  bool net() const { return state_->net; }

 private:
  struct State {
    std::vector<Step> steps;
    size_t next = 0;
    int waits = 0;
    bool ended = false;
    bool net = false;
  };
  static void poll(std::shared_ptr<State> s, Ref<C_Screen> screen) {
    te::post_task(
        [s, screen] {
          if (s->ended) return;
          if (s->next < s->steps.size() && s->steps[s->next].ready()) {
            s->waits = 0;
            s->steps[s->next++].act();
          } else if (++s->waits > (s->next < s->steps.size() ? 3000 : 500) * SLOW_BUILD) {
            s->net = true;
            screen->terminate();
            return;
          }
          if (s->next < s->steps.size() || C_Screen::loop_running()) poll(s, screen);
        },
        20);
  }
  std::shared_ptr<State> state_;
};

// A key pressed and let go at the window, as the window system reports it.
void press(const Ref<Ticking_viewer>& v, int vk, const std::string& text = "") {
  te::window_key_press(v->native, vk, {}, text);
  te::window_key_release(v->native, vk, {}, text);
}

bool names(const Ref<Ticking_viewer>& v, const std::string& name) {
  return File_path::name_of(v->current_file) == name;
}

// Whether the single view painted the current entry.
bool shows_current(const Ref<Ticking_viewer>& v) {
  const Ref<C_Image> e = v->current_image();
  return v->single_mode && e->width > 0 && v->image_pixels.x == double(e->width) &&
         v->image_pixels.y == double(e->height);
}

// The steps to the huge picture shown alone: Return on the current entry,
// then Space to the next (round the folder) until the huge one is current.
std::vector<Script::Step> to_the_huge_picture(const Ref<Ticking_viewer>& v) {
  // Return waits until the cells have their pictures, as a user waits for
  // the view: a key taken while a cell's decode lets window messages
  // through is handled inside that paint.
  std::vector<Script::Step> steps{{"the folder listed, laid out and its cells painted",
                                   [v] {
                                     return v->files.count() == 3 && v->laid_out_count == 3 && v->paint_clock > 0 &&
                                            v->cells_complete;
                                   },
                                   [v] { press(v, 13); }}};
  for (int i = 0; i < 3; ++i)
    steps.push_back({"an entry shown alone", [v] { return shows_current(v); }, [v] {
                       if (!names(v, "c.gif")) press(v, 32, " ");
                     }});
  return steps;
}

// What the window shows, for a failure's message.
std::string state_of(const Ref<Ticking_viewer>& v) {
  const Ref<C_Image> e = v->current_image();
  return (v->single_mode ? "single view of " : "directory view at ") + File_path::name_of(v->current_file) + " (" +
         std::to_string(e->width) + " x " + std::to_string(e->height) + ", painted " +
         std::to_string(int64_t(v->image_pixels.x)) + " x " + std::to_string(int64_t(v->image_pixels.y)) +
         (e->load_failed ? ", failed" : "") + ")";
}

bool huge_shown(const Ref<Ticking_viewer>& v) {
  return shows_current(v) && names(v, "c.gif") && v->image_pixels.x == HUGE_W && v->image_pixels.y == HUGE_H;
}

// Runs the steps, the last of them Escape, in the program's main loop:
// each is reached, Escape is answered and the window is gone.
void expect_run_to_escape(Started& s, const std::vector<Script::Step>& steps) {
  Script script(steps);
  const size_t reached = script.run(s.screen, s.v);
  ASSERT_EQ(reached, steps.size()) << "waited in vain for " << steps[std::min(reached, steps.size() - 1)].what << "; "
                                   << state_of(s.v);
  EXPECT_FALSE(script.net()) << "Escape went unanswered";
  EXPECT_EQ(s.v->native, 0) << "the window is still there";
}

}  // namespace

TEST(ViewerHugePicture, TheSingleViewOfAGifAtTheSizeLimitAnswersEscape) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  Huge_folder folder;
  write_mode(0);
  Started s(folder.dir.path());
  const Ref<Ticking_viewer> v = s.v;
  std::vector<Script::Step> steps = to_the_huge_picture(v);
  steps.push_back({"the huge GIF alone", [v] { return huge_shown(v); }, [v] { press(v, 27); }});
  expect_run_to_escape(s, steps);
}

// Back in each directory view from the huge picture shown alone: its cell
// is painted from a copy at the cell's size, once, and the window rests
// and answers Escape. Each paint used to compose a copy of the whole
// picture and convert it once more to scale it.
TEST(ViewerHugePicture, EveryDirectoryViewPaintsAGifAtTheSizeLimitAtItsCellsCost) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  Huge_folder folder;
  for (int mode : {0, 1, 2}) {
    SCOPED_TRACE("view mode " + std::to_string(mode));
    write_mode(mode);
    Started s(folder.dir.path());
    const Ref<Ticking_viewer> v = s.v;
    int64_t before = 0, ticks = 0, clock = 0, peak = 0;
    std::vector<Script::Step> steps = to_the_huge_picture(v);
    steps.push_back({"the huge GIF alone", [v] { return huge_shown(v); },
                     [&, v] {
                       before = resident();
                       reset_peak_resident();
                       ticks = v->background_ticks;
                       clock = v->paint_clock;
                       press(v, 13);
                     }});
    // Five ticks of the background timer after a paint of the folder.
    steps.push_back({"the folder's view painted, then resting",
                     [&, v] { return !v->single_mode && v->paint_clock != clock && v->background_ticks >= ticks + 5; },
                     [&, v] {
                       peak = peak_resident();
                       press(v, 27);
                     }});
    ASSERT_NO_FATAL_FAILURE(expect_run_to_escape(s, steps));
    if (RESIDENT_SIZE_COUNTS) {
      EXPECT_LT(peak - before, HUGE_BYTES / 8) << "from " << before / MB << " MB to a peak of " << peak / MB << " MB";
    }
  }
}
