// Pictures at the size limit on a real X server: GIFs of 16384 x 16383
// pixels (a gibibyte each once composed, a few hundred kilobytes on disk)
// and one of 65535 x 4096, the program started on their folder and driven
// by keys inside its own main loop. Every view answers Escape; the
// directory views, the "Move to dir" window and the name-clash question
// hold what they show of such pictures, not the pictures, while they are
// read and at rest; the single view turns, flips and inverts one (a GIF,
// or a JPEG whose header says that size) beside a single copy, as long
// work with its window and Cancel; stepping through them holds the
// picture shown and one more, however fast the steps come; and the
// window goes on answering while they are read (how long it pauses at
// most, against a read on its thread, is huge_gif_cells_bench's to tell).
// Top-down BMPs at the size limit, their heights negative in their
// headers, go the same ways as bottom-up ones: the window's thread reads
// no more of them than their headers.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "baselib/file_path.h"
#include "tests/support/temp_dir.h"
#include "tests/support/thread_reads.h"
#include "tests/support/work_ticks.h"
#include "tests/viewer/viewer_on_screen.h"
#include "viewer/dialog_replace.h"
#include "viewer/move_to_dirs.h"

using namespace viewer_test;
namespace te = brek_platform::test_events;
namespace fs = std::filesystem;

namespace {

constexpr int HUGE_W = 16384, HUGE_H = 16383;
constexpr int64_t HUGE_BYTES = int64_t(HUGE_W) * HUGE_H * 4;
constexpr int VK_BACK = 8, VK_RETURN = 13, VK_ESCAPE = 27, VK_PGDN = 34, VK_LEFT = 37, VK_UP = 38,
              VK_RIGHT = 39, VK_DOWN = 40, VK_F6 = 117;

// An orientation an image wants: quarter turns, mirrors, inversion.
struct Orientation {
  int64_t turns = 0;
  bool flip_x = false, flip_y = false, inverse = false;
  bool operator==(const Orientation&) const = default;
};
Orientation orientation_of(const Ref<C_Image>& e) { return {e->quarter_turns, e->flip_x, e->flip_y, e->inverse}; }

// Counts the ticks of the background timer, which lists and lays out, and
// notes the orientation each paint showed the current image in.
class Ticking_viewer : public Test_viewer {
  BREK_CLASS(Ticking_viewer)
 public:
  int64_t background_ticks = 0;
  Orientation painted_as;
  void on_timer() override {
    if (current_control().get() == timer_1.get()) ++background_ticks;
    Test_viewer::on_timer();
  }
  void on_paint() override {
    Test_viewer::on_paint();
    painted_as = orientation_of(current_image());
  }
};

// The settings: the view mode (0 collage, 1 thumbnails, 2 captions) and
// any further sections.
void write_mode(int mode, const std::string& more = "") {
  ASSERT_TRUE(write_config_file("Collage_viewer/Collage_viewer.conf",
                                "[Main]\nMode = " + std::to_string(mode) + "\n" + more));
}

// The program started on a folder or a file.
struct Started : private Command_line, public Viewer_on_screen<Ticking_viewer> {
  explicit Started(const std::string& path) : Command_line({path}), Viewer_on_screen(rect{0, 0, 1200, 800}) {}
};

// Steps run inside the program's main loop: each waits for its condition
// (checked every 20 ms, between the windows' events), then acts as the
// user. A net ends the loop when a
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
          const bool due = s->next < s->steps.size() && between_events(screen) && s->steps[s->next].ready();
          if (!due && ++s->waits > (s->next < s->steps.size() ? 3000 : 500) * SLOW_BUILD) {
            s->net = true;
            screen->terminate();
            return;
          }
          // The next check is asked for first: an act that opens a modal
          // question goes on inside its loop.
          if (s->next < s->steps.size() || C_Screen::loop_running()) poll(s, screen);
          if (due) {
            s->waits = 0;
            s->steps[s->next++].act();
          }
        },
        20);
  }
  // Whether no window is inside an event: a key the user types while a
  // window's event runs on (its long-operation window letting messages
  // through) is not that window's, so the steps act only between events.
  static bool between_events(const Ref<C_Screen>& screen) {
    for (const Ref<C_Form>& f : screen->forms)
      if (f->event_depth >= 2) return false;
    return true;
  }
  std::shared_ptr<State> state_;
};

// A key pressed and let go at a window, as the window system reports it.
void press(int64_t native, int vk, const std::string& text = "") {
  te::window_key_press(native, vk, {}, text);
  te::window_key_release(native, vk, {}, text);
}
void press(const Ref<Ticking_viewer>& v, int vk, const std::string& text = "") { press(v->native, vk, text); }
void press(int64_t native, int vk, const brek_platform::Key_modifiers& mods) {
  te::window_key_press(native, vk, mods);
  te::window_key_release(native, vk, mods);
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

// Whether the directory view lists and paints `n` files, every cell in
// view with its picture.
bool cells_painted(const Ref<Ticking_viewer>& v, int64_t n) {
  return !v->single_mode && v->files.count() == n && v->laid_out_count == n && v->paint_clock > 0 &&
         v->cells_complete;
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
  EXPECT_EQ(reached, steps.size()) << "waited in vain for " << steps[std::min(reached, steps.size() - 1)].what
                                   << "; " << state_of(s.v);
  EXPECT_FALSE(script.net()) << "Escape went unanswered";
  EXPECT_EQ(s.v->native, 0) << "the window is still there";
}

// A step that waits for five more ticks of the background timer and for
// no picture still to be read, by the cells' worker or as `quiet` says
// (the view at rest), then takes what the process holds and held at its
// peak.
Script::Step at_rest(const Ref<Ticking_viewer>& v, int64_t& since, int64_t& held, int64_t& peak,
                     std::function<bool()> quiet = {}) {
  return {"the view at rest", [v, &since, quiet] {
            if (since < 0) since = v->background_ticks;
            return v->background_ticks >= since + 5 && !v->cell_decodes.busy() && (!quiet || quiet());
          },
          [&held, &peak] {
            held = resident();
            peak = peak_resident();
          }};
}

// The red pixels (one_colour_gif's first frame) of a paint box's back
// buffer within rows y0..y1.
int64_t red_pixels(const Ref<C_Paintbox>& box, int y0, int y1) {
  const Pixels* p = box->back_buffer->pixels();
  int64_t n = 0;
  if (!p) return 0;
  for (int y = std::max(0, y0); y < std::min(p->height(), y1); ++y)
    for (int x = 0; x < p->width(); ++x) n += (p->at(x, y) | 0xFF000000u) == RED;
  return n;
}

// A JPEG whose frame header says 16384 x 16383 but whose data holds only
// the first rows: the decoder makes up the rest (grey), so a few
// kilobytes stand for a picture at the size limit.
std::string jpeg_at_the_size_limit(const brek_test::Temp_dir& dir) {
  const std::string stripe = dir.file("stripe.jpg");
  EXPECT_TRUE(Image_file_io::save_jpeg(Pixels(HUGE_W, 16, 0xFF2060A0u), stripe));
  std::string bytes = brek_test::read_file(stripe);
  fs::remove(stripe);
  // The segments after the start of image, each a marker and a length,
  // up to the frame header (SOF0), whose height follows its precision.
  size_t at = 2;
  while (at + 9 <= bytes.size() && uint8_t(bytes[at]) == 0xFF && uint8_t(bytes[at + 1]) != 0xC0)
    at += 2 + (size_t(uint8_t(bytes[at + 2])) << 8 | uint8_t(bytes[at + 3]));
  EXPECT_TRUE(at + 9 <= bytes.size() && uint8_t(bytes[at + 1]) == 0xC0) << "no frame header";
  if (at + 9 > bytes.size()) return bytes;
  bytes[at + 5] = char(HUGE_H >> 8);
  bytes[at + 6] = char(HUGE_H & 0xFF);
  return bytes;
}

// Checks what a run held: at its peak less than a quarter of one huge
// picture above what the process held before, at rest a sixteenth.
void expect_held(int64_t before, int64_t peak, int64_t rest) {
  if (!RESIDENT_SIZE_COUNTS) return;
  EXPECT_LT(peak - before, HUGE_BYTES / 4) << "from " << before / MB << " MB to a peak of " << peak / MB << " MB";
  EXPECT_LT(rest - before, HUGE_BYTES / 16) << "from " << before / MB << " MB to " << rest / MB << " MB at rest";
}

// A huge BMP's colours (0xRRGGBB): a band along its top, the rest.
constexpr uint32_t BMP_BAND = 0x00FF00, BMP_BODY = 0x0000FF;
constexpr int BAND_ROWS = 512;

// The column through the middle of a picture painted within `r` (device
// pixels of the box): where its band's rows and its body's lie.
struct Band_column {
  int bands = 0, bodies = 0, last_band = -1, first_body = -1;
  Band_column(const Ref<C_Paintbox>& box, const rect& r) {
    const Pixels* p = box->back_buffer->pixels();
    if (!p) return;
    const int x = int(r.x + r.w / 2);
    for (int y = std::max(0, int(r.y)); x >= 0 && x < p->width() && y < std::min(p->height(), int(r.y + r.h)); ++y) {
      const uint32_t c = p->at(x, y) & 0xFFFFFFu;
      if (c == BMP_BAND) {
        ++bands;
        last_band = y;
      } else if (c == BMP_BODY) {
        ++bodies;
        if (first_body < 0) first_body = y;
      }
    }
  }
  // Whether the picture is there, either way up.
  bool painted() const { return bands > 0 || bodies > 0; }
  // The band above the body: the picture the right way up.
  bool upright() const { return bands > 0 && bodies > 0 && last_band < first_body; }
  std::string text() const {
    return std::to_string(bands) + " rows of the band (the last at " + std::to_string(last_band) + "), " +
           std::to_string(bodies) + " of the body (the first at " + std::to_string(first_body) + ")";
  }
};

}  // namespace

// A folder of four huge GIFs opened in each view: the cells come one by
// one while the window goes on answering, and the view holds their copies
// only, at its peak (a few megabytes above what it held) and at rest. Then one of them shown alone (and turned
// there, in the collage): the single view answers Escape (captions), or
// back in the folder's view its cell is painted again from a copy at the
// cell's size, at most a small part of the picture held at the peak, and
// at rest the view holds the copies only again.
TEST(ViewerHugePicture, AFolderOfGifsAtTheSizeLimitIsShownInEveryViewWithoutHoldingThem) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  brek_test::Temp_dir dir;
  for (const char* name : {"a.gif", "b.gif", "c.gif", "d.gif"})
    ASSERT_TRUE(brek_test::write_file(dir.file(name), one_colour_gif(HUGE_W, HUGE_H)));
  for (int mode : {0, 1, 2}) {
    SCOPED_TRACE("view mode " + std::to_string(mode));
    write_mode(mode);
    const int64_t before = resident();
    reset_peak_resident();
    Started s(dir.path());
    const Ref<Ticking_viewer> v = s.v;
    int64_t since = -1, rest = 0, peak = 0, alone = 0, ticks = 0, clock = 0, back_peak = 0, back_rest = 0;
    const auto back = [&, v] {
      alone = resident();
      reset_peak_resident();
      ticks = v->background_ticks;
      clock = v->paint_clock;
      press(v, VK_RETURN);
    };
    std::vector<Script::Step> steps{
        {"the folder listed and every cell painted", [v] { return cells_painted(v, 4); }, [] {}},
        at_rest(v, since, rest, peak),
        {"Return on the third", [] { return true; },
         [&, v] {
           v->current_file = dir.file("c.gif");
           press(v, VK_RETURN);
         }},
        {"the huge GIF alone", [v] { return huge_shown(v); },
         [&, v, mode] {
           if (mode == 2) return press(v, VK_ESCAPE);
           if (mode == 1) return back();
           press(v, VK_LEFT);
         }}};
    if (mode == 0)
      steps.push_back(
          {"the huge GIF turned", [v] { return v->image_pixels.x == HUGE_H && v->image_pixels.y == HUGE_W; }, back});
    if (mode != 2)
      steps.push_back({"the folder's view painted, then resting",
                       [&, v] { return !v->single_mode && v->paint_clock != clock && v->background_ticks >= ticks + 5; },
                       [&, v] {
                         back_peak = peak_resident();
                         back_rest = resident();
                         press(v, VK_ESCAPE);
                       }});
    expect_run_to_escape(s, steps);
    std::printf("view mode %d: the cells' peak %lld MB, at rest %lld MB above the start\n", mode,
                (long long)((peak - before) / MB), (long long)((rest - before) / MB));
    expect_held(before, peak, rest);
    // Each GIF is read to its cell as its rows are decoded: the reading
    // holds a few megabytes beyond what the view keeps, not the frame's
    // indexes (an eighth of the picture or more).
    if (RESIDENT_SIZE_COUNTS) {
      EXPECT_LT(peak - rest, HUGE_BYTES / 64) << "a peak of " << peak / MB << " MB, " << rest / MB << " MB at rest";
    }
    if (RESIDENT_SIZE_COUNTS && mode != 2) {
      EXPECT_LT(back_peak - alone, HUGE_BYTES / 8) << "from " << alone / MB << " MB to " << back_peak / MB << " MB";
      EXPECT_LT(back_rest - before, HUGE_BYTES / 16)
          << "from " << before / MB << " MB to " << back_rest / MB << " MB at rest back in the folder's view";
    }
  }
}

namespace {

// What a run of the move window and the name-clash question came to: the
// process's memory before, at its peak and at rest, and the bytes the
// window's thread read.
struct Move_and_clash {
  int64_t before = 0, peak = 0, rest = 0, read = 0;
};

// The "Move to dir" window over `to`, a folder of four huge pictures, with
// the folder `from` open at its "c" picture (of extension `ext`), then the
// name-clash question for that picture met there, answered with RENAME and
// the move undone: the thumbnails and both halves of the question show the
// pictures' red.
Move_and_clash move_and_clash(const brek_test::Temp_dir& from, const brek_test::Temp_dir& to, const std::string& ext) {
  // The move window wide enough for four thumbnails beside the path.
  EXPECT_TRUE(write_config_file("Collage viewer/Collage viewer.conf",
                                "[Move to dir]\nCWidth = \"900\"\nCHeight = \"360\"\nWidth = \"903\"\n"
                                "Height = \"363\"\nLeft = \"100\"\nTop = \"100\"\n"));
  write_mode(0, "[Move_to_dirs]\n1 = \"" + to.path() + "\"\n");
  Move_and_clash r;
  r.before = resident();
  reset_peak_resident();
  const int64_t read_before = brek_test::bytes_read_by_this_thread();
  Started s(from.path());
  const Ref<Ticking_viewer> v = s.v;
  Ref<C_Move_to_dirs> w;
  int64_t since = -1;
  const std::string picture = from.file("c" + ext), moved = to.file("c1" + ext);
  const std::vector<Script::Step> steps{
      {"the folder painted", [v] { return cells_painted(v, 2); },
       [&, v] {
         v->current_file = picture;
         press(v, VK_F6);
         w = v->collage->move_dialog;
       }},
      {"four thumbnails in the first panel",
       [&] {
         if (w.is_none() || w->targets.at(1)->images.count() != 4 || w->timer->is_enabled()) return false;
         const int band = int(C_Canvas::to_device_pixels(w->panel_box->get_height() / 9));
         const int64_t side = band - C_Canvas::to_device_pixels(4);
         return red_pixels(w->panel_box, 0, band) >= 4 * side * side * 3 / 4;
       },
       [&] { press(w->native, '1', "1"); }},
      {"the question showing both pictures",
       [&] {
         const Ref<C_Dialog_replace> d = w->replace_dialog;
         if (d.is_none() || !d->is_visible()) return false;
         const Pixels* p = d->pbox->back_buffer->pixels();
         return p && (p->at(p->width() / 4, p->height() / 2) | 0xFF000000u) == RED &&
                (p->at(p->width() * 3 / 4, p->height() / 2) | 0xFF000000u) == RED;
       },
       [&] { w->replace_dialog->close_with(C_Dialog_replace::RENAME); }},
      {"the file moved under a new name", [&] { return fs::exists(moved); }, [&] { press(w->native, VK_BACK); }},
      {"the move undone and the folder painted again",
       [&, v] { return !fs::exists(moved) && fs::exists(picture) && cells_painted(v, 2); }, [] {}},
      at_rest(v, since, r.rest, r.peak, [&] { return !w->timer->is_enabled(); }),
      {"Escape", [] { return true; }, [v] { press(v, VK_ESCAPE); }}};
  expect_run_to_escape(s, steps);
  r.read = brek_test::bytes_read_by_this_thread() - read_before;
  return r;
}

}  // namespace

// The "Move to dir" window over a folder of four huge GIFs (one of them
// 65535 x 4096), then the name-clash question for a huge GIF met there,
// answered with RENAME and the move undone: the thumbnails and both
// halves of the question show the pictures' colour, the window answers
// throughout, and what is held at the peak and at rest stays small.
TEST(ViewerHugePicture, TheMoveWindowAndTheNameClashShowGifsAtTheSizeLimitWithoutHoldingThem) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  brek_test::Temp_dir from, to;
  tiny_gif(from.file("a.gif"));
  const std::string huge = one_colour_gif(HUGE_W, HUGE_H);
  ASSERT_TRUE(brek_test::write_file(from.file("c.gif"), huge));
  for (const char* name : {"c.gif", "d.gif", "e.gif"}) ASSERT_TRUE(brek_test::write_file(to.file(name), huge));
  ASSERT_TRUE(brek_test::write_file(to.file("w.gif"), one_colour_gif(65535, 4096)));
  const Move_and_clash r = move_and_clash(from, to, ".gif");
  expect_held(r.before, r.peak, r.rest);
}

// The same with top-down BMPs at the size limit (their heights negative in
// their headers): the window's thread reads no more of them
// than their headers, and what is held stays as small.
TEST(ViewerHugePicture, TheMoveWindowAndTheNameClashShowTopDownBmpsAtTheSizeLimitWithoutReadingThemHere) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  brek_test::Temp_dir from, to;
  tiny_gif(from.file("a.gif"));
  const uint32_t red = RED & 0xFFFFFFu;
  ASSERT_TRUE(write_sparse_bmp(from.file("c.bmp"), HUGE_W, HUGE_H, red, true));
  for (const char* name : {"c.bmp", "d.bmp", "e.bmp", "f.bmp"})
    ASSERT_TRUE(write_sparse_bmp(to.file(name), HUGE_W, HUGE_H, red, true));
  const int64_t file_bytes = int64_t(fs::file_size(from.file("c.bmp")));
  const Move_and_clash r = move_and_clash(from, to, ".bmp");
  std::printf("the window's thread read %lld KB of files of %lld MB; peak %lld MB, at rest %lld MB above the start\n",
              (long long)(r.read / 1024), (long long)(file_bytes / MB), (long long)((r.peak - r.before) / MB),
              (long long)((r.rest - r.before) / MB));
  EXPECT_LT(r.read, file_bytes / 16) << "the window's thread read the files";
  if (!RESIDENT_SIZE_COUNTS) return;
  EXPECT_LT(r.peak - r.before, HUGE_BYTES / 4) << "from " << r.before / MB << " MB to a peak of " << r.peak / MB << " MB";
  EXPECT_LT(r.rest - r.before, HUGE_BYTES / 16) << "from " << r.before / MB << " MB to " << r.rest / MB << " MB at rest";
}

// A jump to the next folder right after the first paint of a folder of
// large GIFs (2100 x 2100, read on the worker one by one): of the cells
// the paint asked for and left behind, screens above the view now, the
// worker reads at most the one it was reading at the jump, and goes on to
// the cell in view.
TEST(ViewerHugePicture, CellsAJumpLeftFarBehindAreNotRead) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  brek_test::Temp_dir dir;
  ASSERT_TRUE(fs::create_directory(dir.file("a")) && fs::create_directory(dir.file("b")));
  const std::string large = one_colour_gif(2100, 2100);
  for (int i = 10; i < 50; ++i) ASSERT_TRUE(brek_test::write_file(dir.file("a/" + std::to_string(i) + ".gif"), large));
  ASSERT_TRUE(brek_test::write_file(dir.file("b/z.gif"), large));
  write_mode(0);
  Started s(dir.path());
  const Ref<Ticking_viewer> v = s.v;
  const auto read = [v](const Ref<C_Image>& e) { return v->collage->thumbnails.count_for(e.get()) > 0; };
  std::vector<Ref<C_Image>> unread;
  int64_t read_after = -1;
  const std::vector<Script::Step> steps{
      {"the first folder painted, its cells asked for",
       [v] { return v->files.count() == 41 && v->laid_out_count == 41 && v->paint_clock > 0 && v->cell_decodes.busy(); },
       [&, v] {
         for (const Ref<C_Image>& e : v->files)
           if (!read(e)) unread.push_back(e);
         press(v, VK_PGDN);
       }},
      {"the second folder's cell read", [&, v] { return names(v, "z.gif") && read(v->current_image()); },
       [&, v] {
         // Of those unread at the jump, the cells more than a screen above
         // the view.
         const double h = double(C_Canvas::to_device_pixels(v->view_height()));
         read_after = 0;
         for (const Ref<C_Image>& e : unread) read_after += e->rect.y + e->rect.h < v->scroll_y - h && read(e);
         press(v, VK_ESCAPE);
       }}};
  expect_run_to_escape(s, steps);
  EXPECT_GE(read_after, 0);
  EXPECT_LE(read_after, 1);
}

// A folder of a photograph and a GIF at the size limit: Return shows the
// photograph alone, then Space steps onto the GIF, the pointer away from
// the window. The window answers throughout, shows the GIF fitted and
// never holds the whole picture (at its own size a worker reads it whole:
// the offscreen tests).
TEST(ViewerHugePicture, SpaceOntoAGifAtTheSizeLimitKeepsTheSingleViewAnswering) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  brek_test::Temp_dir dir;
  ASSERT_TRUE(Image_file_io::save_jpeg(Pixels(640, 480, 0xFF2060A0u), dir.file("a.jpg")));
  ASSERT_TRUE(brek_test::write_file(dir.file("b.gif"), one_colour_gif(HUGE_W, HUGE_H)));
  write_mode(0);
  te::move_screen_pointer(brek_platform::Point_pt{1500, 950});
  const int64_t before = resident();
  reset_peak_resident();
  Started s(dir.path());
  const Ref<Ticking_viewer> v = s.v;
  int64_t peak = 0;
  const auto shows_red = [v] {
    const Pixels* p = v->pb->back_buffer->pixels();
    return p && (p->at(p->width() / 2, p->height() / 2) | 0xFF000000u) == RED;
  };
  const std::vector<Script::Step> steps{
      {"the folder listed", [v] { return v->files.count() == 2 && v->laid_out_count == 2 && v->paint_clock > 0; },
       [&, v] {
         v->current_file = dir.file("a.jpg");
         press(v, VK_RETURN);
       }},
      {"the photograph alone", [v] { return shows_current(v) && names(v, "a.jpg"); }, [v] { press(v, ' ', " "); }},
      {"the GIF shown", [v, shows_red] { return v->single_mode && names(v, "b.gif") && shows_red(); },
       [&, v] {
         peak = peak_resident();
         press(v, VK_ESCAPE);
       }}};
  expect_run_to_escape(s, steps);
  if (RESIDENT_SIZE_COUNTS) {
    EXPECT_LT(peak - before, HUGE_BYTES / 4) << "from " << before / MB << " MB to a peak of " << peak / MB << " MB";
  }
}

// A JPEG and a GIF at the size limit shown alone at their own size, then
// turned right and inverted, then turned, flipped and inverted in any
// order: each orientation is one copy beside the picture, so the process
// never holds more than the picture and one copy above what it held
// before, at its peak as at rest, and the inversion shows the turned
// picture's negative.
TEST(ViewerHugePicture, TurnsFlipsAndInversionsOfAPictureAtTheSizeLimitHoldOneCopy) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  brek_test::Temp_dir dir;
  ASSERT_TRUE(brek_test::write_file(dir.file("c.jpg"), jpeg_at_the_size_limit(dir)));
  ASSERT_TRUE(brek_test::write_file(dir.file("c.gif"), one_colour_gif(HUGE_W, HUGE_H)));
  brek_platform::Key_modifiers shift;
  shift.shift = true;
  // Keys after Right and I, each with the orientation it leaves.
  const struct {
    const char* what;
    int vk;
    brek_platform::Key_modifiers mods;
    Orientation after;
  } keys[] = {{"Shift+Left", VK_LEFT, shift, {1, true, false, true}},
              {"Left", VK_LEFT, {}, {0, true, false, true}},
              {"Shift+Up", VK_UP, shift, {0, true, true, true}},
              {"I", 'I', {}, {0, true, true, false}},
              {"Left", VK_LEFT, {}, {3, true, true, false}}};
  for (const char* name : {"c.jpg", "c.gif"}) {
    SCOPED_TRACE(name);
    const int64_t before = resident();
    reset_peak_resident();
    Started s(dir.file(name));
    const Ref<Ticking_viewer> v = s.v;
    // The pointer in the middle of the window: the picture at its own size.
    v->pointer = point{double(C_Canvas::to_device_pixels(600)), double(C_Canvas::to_device_pixels(400))};
    const auto centre = [v] {
      const Pixels* p = v->pb->back_buffer->pixels();
      return p ? p->at(p->width() / 2, p->height() / 2) | 0xFF000000u : 0u;
    };
    const auto painted = [v](const Orientation& o) {
      const bool across = o.turns % 2 == 1;
      return v->single_mode && !v->fit_mode && v->painted_as == o && orientation_of(v->current_image()) == o &&
             v->image_pixels.x == (across ? HUGE_H : HUGE_W) && v->image_pixels.y == (across ? HUGE_W : HUGE_H);
    };
    int64_t since = -1, held = 0, peak = 0, turned_peak = 0, inverted_peak = 0, rest = 0, rest_peak = 0;
    uint32_t turned_colour = 0;
    std::vector<Script::Step> steps{
        {"the whole picture at its own size",
         [v, painted] { return painted({}) && v->current_image()->bytes_held() >= HUGE_BYTES; }, [] {}},
        at_rest(v, since, held, peak),
        {"Right", [] { return true; },
         [v] {
           reset_peak_resident();
           press(v, VK_RIGHT);
         }},
        {"turned right", [painted] { return painted({1, false, false, false}); },
         [&, v] {
           turned_peak = peak_resident();
           turned_colour = centre();
           press(v, 'I');
         }},
        {"turned right and inverted", [painted] { return painted({1, false, false, true}); },
         [&, v] {
           inverted_peak = peak_resident();
           EXPECT_EQ(centre(), turned_colour ^ 0x00FFFFFFu);
           press(v->native, keys[0].vk, keys[0].mods);
         }}};
    for (size_t i = 0; i < std::size(keys); ++i)
      steps.push_back({std::string("after ") + keys[i].what, [painted, &keys, i] { return painted(keys[i].after); },
                       [&, v, i] {
                         if (i + 1 < std::size(keys)) press(v->native, keys[i + 1].vk, keys[i + 1].mods);
                       }});
    int64_t since_keys = -1;
    steps.push_back(at_rest(v, since_keys, rest, rest_peak));
    steps.push_back({"Escape", [] { return true; }, [v] { press(v, VK_ESCAPE); }});
    expect_run_to_escape(s, steps);
    std::printf("%s: at its own size %lld MB (peak %lld MB), turned right peak %lld MB, then inverted peak %lld MB, "
                "after every key peak %lld MB, at rest %lld MB\n",
                name, (long long)((held - before) / MB), (long long)((peak - before) / MB),
                (long long)((turned_peak - before) / MB), (long long)((inverted_peak - before) / MB),
                (long long)((rest_peak - before) / MB), (long long)((rest - before) / MB));
    if (!RESIDENT_SIZE_COUNTS) continue;
    // The picture and one copy above what was held at its own size, with
    // half a picture to spare; a second copy is a whole picture more.
    const int64_t one_copy = held + HUGE_BYTES + HUGE_BYTES / 2;
    const auto from_held = [held](int64_t to) {
      return "from " + std::to_string(held / MB) + " MB to " + std::to_string(to / MB) + " MB";
    };
    EXPECT_LT(turned_peak, one_copy) << "turned right: " << from_held(turned_peak);
    EXPECT_LT(inverted_peak, one_copy) << "then inverted: " << from_held(inverted_peak);
    EXPECT_LT(rest_peak, one_copy) << "after every key: " << from_held(rest_peak);
    EXPECT_LT(rest, held + HUGE_BYTES + HUGE_BYTES / 4) << "at rest: " << from_held(rest);
  }
}

// A top-down BMP at the size limit (its height negative in its header)
// beside its bottom-up twin, each with a band of another colour along its
// top. In the collage their cells show them the right way up; from there
// Return, or from the twin alone in the captions' view a step, shows the
// top-down one alone, fitted and then at its own size, the right way up
// too. All is read on workers, as the bottom-up one is: the window's
// thread reads no more of the files than their headers, and nothing holds
// a whole picture until one is shown at its own size; the title names the
// picture's size.
TEST(ViewerHugePicture, ATopDownBmpAtTheSizeLimitIsReadOnWorkersTheRightWayUp) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  brek_test::Temp_dir dir;
  const std::string down = dir.file("down.bmp"), up = dir.file("up.bmp");
  ASSERT_TRUE(write_sparse_bmp(down, HUGE_W, HUGE_H, BMP_BODY, true, BAND_ROWS, BMP_BAND));
  ASSERT_TRUE(write_sparse_bmp(up, HUGE_W, HUGE_H, BMP_BODY, false, BAND_ROWS, BMP_BAND));
  const int64_t file_bytes = int64_t(fs::file_size(down));
  for (int mode : {0, 2}) {
    SCOPED_TRACE("view mode " + std::to_string(mode));
    write_mode(mode);
    const int64_t before = resident();
    reset_peak_resident();
    const int64_t read_before = brek_test::bytes_read_by_this_thread();
    ASSERT_GE(read_before, 0) << "no count of a thread's reads";
    Started s(dir.path());
    const Ref<Ticking_viewer> v = s.v;
    int64_t fitted_peak = 0, read_fitted = 0;
    std::string title;
    std::vector<Script::Step> steps;
    if (mode == 0) {
      steps.push_back({"both cells painted", [v] { return cells_painted(v, 2) && !v->cell_decodes.busy(); },
                       [&, v] {
                         for (const Ref<C_Image>& e : v->files) {
                           const Band_column c(v->pb, e->rect);
                           EXPECT_TRUE(c.upright()) << File_path::name_of(e->file_name) << "'s cell: " << c.text();
                         }
                         v->current_file = down;
                         press(v, VK_RETURN);
                       }});
    } else {
      steps.push_back({"the captions painted", [v] { return cells_painted(v, 2); },
                       [&, v] {
                         v->current_file = up;
                         press(v, VK_RETURN);
                       }});
      // A step onto the top-down one, which nothing has read yet.
      steps.push_back({"the bottom-up one alone", [v] { return shows_current(v) && names(v, "up.bmp"); },
                       [&, v] { press(v, v->index_of_file(down) < v->index_of_file(up) ? VK_UP : VK_DOWN); }});
    }
    steps.push_back({"the top-down one alone, fitted",
                     [v] {
                       return shows_current(v) && names(v, "down.bmp") && v->fit_mode &&
                              Band_column(v->pb, v->image_rect).painted();
                     },
                     [&, v] {
                       fitted_peak = peak_resident();
                       read_fitted = brek_test::bytes_read_by_this_thread();
                       title = v->get_caption();
                       const Band_column c(v->pb, v->image_rect);
                       EXPECT_TRUE(c.upright()) << "fitted: " << c.text();
                       // The pointer over the window near its top: the
                       // picture at its own size, its top in view.
                       v->pointer =
                           point{double(C_Canvas::to_device_pixels(600)), double(C_Canvas::to_device_pixels(30))};
                       v->repaint();
                     }});
    steps.push_back({"the top-down one at its own size",
                     [v] { return shows_current(v) && !v->fit_mode && !v->current_image()->picture.is_none(); },
                     [&, v] {
                       const Ref<C_Bitmap> b = v->pb->back_buffer;
                       const Band_column c(v->pb, rect{0, 0, double(b->width), double(b->height)});
                       EXPECT_TRUE(c.upright()) << "at its own size: " << c.text();
                       press(v, VK_ESCAPE);
                     }});
    expect_run_to_escape(s, steps);
    const int64_t read = brek_test::bytes_read_by_this_thread() - read_before;
    std::printf("view mode %d: the window's thread read %lld KB of two files of %lld MB (%lld KB by the fitted "
                "view); peak %lld MB above the start before the picture was shown at its own size\n",
                mode, (long long)(read / 1024), (long long)(file_bytes / MB),
                (long long)((read_fitted - read_before) / 1024), (long long)((fitted_peak - before) / MB));
    EXPECT_LT(read, file_bytes / 16) << "the window's thread read the files";
    EXPECT_THAT(title, testing::HasSubstr("down.bmp 16384x16383 "));
    if (RESIDENT_SIZE_COUNTS) {
      EXPECT_LT(fitted_peak - before, HUGE_BYTES / 4)
          << "from " << before / MB << " MB to a peak of " << fitted_peak / MB << " MB";
    }
  }
}

// Eight pictures at the size limit (one file under eight names: a BMP, or
// a JPEG whose data holds only its first rows) in the collage: Return
// shows the first alone at its own size, Right turns it, Down shows the
// second once read whole, then Down six times, each as soon as the step's
// worker is reading. The turned copy goes with the step, and the workers
// of the pictures stepped over stop before they take their memory, so at
// its peak the process holds the picture shown and one more (the
// neighbour kept from before), however many steps came while workers
// read.
TEST(ViewerHugePicture, SteppingThroughPicturesAtTheSizeLimitHoldsThePictureShownAndOneMore) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  for (const std::string ext : {".bmp", ".jpg"}) {
    SCOPED_TRACE(ext);
    brek_test::Temp_dir dir;
    const std::string first = dir.file("a" + ext);
    if (ext == ".bmp")
      ASSERT_TRUE(write_sparse_bmp(first, HUGE_W, HUGE_H, BMP_BODY, false, BAND_ROWS, BMP_BAND));
    else
      ASSERT_TRUE(brek_test::write_file(first, jpeg_at_the_size_limit(dir)));
    const std::string others = "bcdefgh";
    for (char c : others) fs::create_hard_link(first, dir.file(c + ext));
    write_mode(0);
    const int64_t before = resident();
    reset_peak_resident();
    Started s(dir.path());
    const Ref<Ticking_viewer> v = s.v;
    int64_t peak = 0, rest = 0;
    const auto whole_held = [v](const std::string& name) {
      return names(v, name) && !v->fit_mode && !v->current_image()->picture.is_none();
    };
    std::vector<Script::Step> steps{
        {"the folder listed and every cell painted", [v] { return cells_painted(v, 8); },
         [&, v] {
           // The pointer in the middle of the window: pictures at their
           // own size.
           v->pointer = point{double(C_Canvas::to_device_pixels(600)), double(C_Canvas::to_device_pixels(400))};
           v->current_file = first;
           press(v, VK_RETURN);
         }},
        {"the first picture whole at its own size", [whole_held, ext] { return whole_held("a" + ext); },
         [v] { press(v, VK_RIGHT); }},
        {"the first picture turned", [v] { return v->image_pixels.x == HUGE_H && v->painted_as.turns == 1; },
         [v] { press(v, VK_DOWN); }},
        // Read whole beside its neighbour, which is kept.
        {"the second picture whole at its own size", [whole_held, ext] { return whole_held("b" + ext); },
         [v] { press(v, VK_DOWN); }}};
    for (size_t i = 1; i + 1 < others.size(); ++i)
      steps.push_back({"a worker reading " + (others[i] + ext),
                       [v, name = others[i] + ext] { return names(v, name) && v->current_image()->whole_decoding(); },
                       [v] { press(v, VK_DOWN); }});
    steps.push_back({"the last picture whole at its own size", [whole_held, ext] { return whole_held("h" + ext); },
                     [&, v] {
                       peak = peak_resident();
                       rest = resident();
                       press(v, VK_ESCAPE);
                     }});
    expect_run_to_escape(s, steps);
    std::printf("stepping through eight %s files at the size limit: peak %lld MB, at the last %lld MB above the "
                "start (a picture is %lld MB)\n",
                ext.c_str(), (long long)((peak - before) / MB), (long long)((rest - before) / MB),
                (long long)(HUGE_BYTES / MB));
    if (RESIDENT_SIZE_COUNTS) {
      EXPECT_LT(peak - before, 2 * HUGE_BYTES + HUGE_BYTES / 4)
          << "from " << before / MB << " MB to a peak of " << peak / MB << " MB";
    }
  }
}

// A GIF at the size limit shown alone at its own size, then turned right:
// the turn is long work of the key's own, so its ticks show the
// long-operation window after two seconds (of the test's clock, moved on
// as the work ticks) and the turned picture is painted once it is done.
// Then inverted, and the window's Cancel pressed as soon as it shows: the
// command ends, the picture is shown as it is stored, and no copy of it
// is left.
TEST(ViewerHugePicture, TurningAPictureAtTheSizeLimitShowsTheLongOperationWindowWhoseCancelEndsIt) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  brek_test::Temp_dir dir;
  ASSERT_TRUE(brek_test::write_file(dir.file("c.gif"), one_colour_gif(HUGE_W, HUGE_H)));
  const int64_t before = resident();
  Started s(dir.file("c.gif"));
  const Ref<Ticking_viewer> v = s.v;
  // The pointer in the middle of the window: the picture at its own size.
  v->pointer = point{double(C_Canvas::to_device_pixels(600)), double(C_Canvas::to_device_pixels(400))};
  const auto painted = [v](const Orientation& o) {
    const bool across = o.turns % 2 == 1;
    return v->single_mode && !v->fit_mode && v->painted_as == o && orientation_of(v->current_image()) == o &&
           v->image_pixels.x == (across ? HUGE_H : HUGE_W) && v->image_pixels.y == (across ? HUGE_W : HUGE_H);
  };
  // A key pressed while the work's ticks move a clock of the test's own;
  // whether the long-operation window showed, and was cancelled.
  struct Long_key {
    bool shown = false, cancelled = false;
  };
  const auto long_key = [&s, v](int vk, bool cancel) {
    Long_key k;
    Brek_runtime::Test_clock clock;
    brek_test::Work_ticks work(clock);
    work.each = [&] {
      const Ref<C_Long_operation> window = ref_cast<C_Long_operation>(s.screen->long_operation);
      if (window.is_none() || !window->is_visible()) return;
      k.shown = true;
      if (!cancel || k.cancelled) return;
      k.cancelled = true;
      window->cancel_button_->perform_click();
    };
    press(v, vk);
    return k;
  };
  Long_key turn, invert;
  int64_t rest = 0;
  const std::vector<Script::Step> steps{
      {"the whole picture at its own size",
       [v, painted] { return painted({}) && v->current_image()->bytes_held() >= HUGE_BYTES; },
       [&] { turn = long_key(VK_RIGHT, false); }},
      {"turned right", [painted] { return painted({1, false, false, false}); },
       [&] { invert = long_key('I', true); }},
      {"as stored after the Cancel", [painted] { return painted({}); },
       [&, v] {
         rest = resident();
         press(v, VK_ESCAPE);
       }}};
  expect_run_to_escape(s, steps);
  EXPECT_TRUE(turn.shown) << "the turn showed no long-operation window";
  EXPECT_TRUE(invert.cancelled) << "the inversion showed no long-operation window";
  if (RESIDENT_SIZE_COUNTS) {
    EXPECT_LT(rest - before, HUGE_BYTES + HUGE_BYTES / 4)
        << "a copy is left: from " << before / MB << " MB to " << rest / MB << " MB";
  }
}
