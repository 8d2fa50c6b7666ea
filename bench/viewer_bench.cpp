// Open to first paint, and the first pointer move after it: the viewer,
// offscreen, opens a 24-megapixel JPEG and paints it, against what a
// competent viewer with libjpeg-turbo does for the same window, each into
// a fresh heap buffer as a program with the library alone holds it.
//   fitted  a 1066 x 800 box with the pointer off it: the picture is shown
//           fitted; the reference decodes at the largest DCT reduction that
//           still covers the fitted size and box-scales it (Qt's smooth
//           scaling) once;
//   1:1     a screen-size 1600 x 1000 box with the pointer at its centre:
//           the picture is shown at its own size, panned; the reference
//           decodes only what the window shows (jpeg_crop_scanline,
//           jpeg_skip_scanlines) and copies it into the window;
//   move    the 1:1 window rests for a second (its events and timers run),
//           then the pointer moves 10 pixels and the picture follows: the
//           time from the move to the new picture in the window; the
//           reference decodes what the window shows now, as on opening;
//   open and move  the open's time plus the move's, the second of rest
//           left out (its CPU counts).
// Rounds are interleaved; prints wall and process CPU ratios (all threads)
// and the median of the move in milliseconds (aim <= 60), then the peak
// memory of an open to the first paint, and of an open, the rest and the
// move, against the reference's.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "bench/bench_pictures.h"
#include "bench/bench_viewer.h"
#include "bench/ratio_reporter.h"
#include "drawing/native_bitmap.h"
#include "drawing/pixels.h"
#include "forms/screen.h"
#include "images/jpeg_codec.h"
#include "platform/application.h"
#include "platform/bench_reference.h"
#include "viewer/collage_viewer.h"
#include "viewer/single_view.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int W = 6000, H = 4000;
// How far the pointer moves, device pixels of the box.
constexpr double MOVE = 10;
// The rest between the first paint and the move, ms.
constexpr int REST_MS = 1000;

// A window and how the picture lands in it when fitted.
struct Window {
  int box_w, box_h;
  bool pointer_over;  // at the box's centre, else off the box
  int fit_x() const { return (box_w - fit_w()) / 2; }
  int fit_y() const { return (box_h - fit_h()) / 2; }
  int fit_w() const { return int(int64_t(W) * box_h / H) <= box_w ? int(int64_t(W) * box_h / H) : box_w; }
  int fit_h() const { return int(int64_t(W) * box_h / H) <= box_w ? box_h : int(int64_t(H) * box_w / W); }
};
constexpr Window FITTED{1066, 800, false};
constexpr Window ONE_TO_ONE{1600, 1000, true};

std::string g_dir, g_file;
brek_bench::Box_panels g_panels(FITTED.box_w, FITTED.box_h, 9000000);

void make_photo() {
  brek::Pixels p = brek_bench::photo(W, H);
  std::vector<uint8_t> jpeg;
  brek::Jpeg_codec::encode(p, 90, jpeg);
  g_dir = brek_bench::temp_dir("viewer-bench");
  g_file = g_dir + "/photo.jpg";
  brek_bench::write_file(g_file, jpeg);
  std::printf("test photograph: %dx%d, %zu bytes\n", W, H, jpeg.size());
}

double ms_since(Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); }

// ---- the viewer ----

struct Opened {
  brek::Ref<brek::C_Screen> screen;
  brek::Ref<brek_bench::Bench_viewer> v;
  Opened(const Window& w) {
    g_panels.set_size(w.box_w, w.box_h);
    screen = brek::make<brek::C_Screen>();
    v = brek::make<brek_bench::Bench_viewer>();
    if (w.pointer_over) v->pointer = brek::point{w.box_w / 2.0, w.box_h / 2.0};
    v->screen = screen;
    v->create();
    v->open_file(g_file);
    paint();
  }
  ~Opened() {
    brek::dispose_now(v);
    brek::dispose_now(screen);
  }
  void paint() {
    v->pb->invalidate_all();
    v->pb->paint_surface();
    benchmark::DoNotOptimize(v->pb->back_buffer->pixels()->words());
  }
  // The window at rest: its events and timers run as the main loop runs
  // them.
  void rest(int ms) {
    const Clock::time_point start = Clock::now();
    while (ms_since(start) < ms) {
      brek_platform::process_events();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  void move() {
    v->pointer.x += MOVE;
    paint();
  }
};

void open_and_paint(const Window& w) { Opened o(w); }

// The open's and the move's times, ms.
struct Move_times {
  double open = 0, move = 0;
};

Move_times open_rest_and_move() {
  Move_times t;
  Clock::time_point start = Clock::now();
  Opened o(ONE_TO_ONE);
  t.open = ms_since(start);
  o.rest(REST_MS);
  start = Clock::now();
  o.move();
  t.move = ms_since(start);
  return t;
}

// ---- what a competent viewer does ----

// The largest reduction whose picture still covers w x h.
int denominator_for(int w, int h) {
  for (int d : {8, 4, 2})
    if (W / d >= w && H / d >= h) return d;
  return 1;
}

void decode_and_box_scale(const Window& w, int denom) {
  brek::Pixels box(w.box_w, w.box_h);
  std::vector<uint8_t> data = brek_bench::read_file(g_file);
  brek_bench::Plain_picture picture;
  brek_bench::libjpeg_decode(data, denom, picture);
  brek_platform::Raster s;
  s.bits = picture.data();
  s.width = picture.width;
  s.height = picture.height;
  s.stride = picture.stride();
  s.opaque = true;
  brek_platform::Raster d = brek::Native_bitmap::raster_of(box, true);
  brek_platform::reference_smooth_scale_draw(s, d, w.fit_x(), w.fit_y(), w.fit_w(), w.fit_h());
  benchmark::DoNotOptimize(box.words());
}

void reference_fitted() { decode_and_box_scale(FITTED, denominator_for(FITTED.fit_w(), FITTED.fit_h())); }

// The 1:1 window of a viewer that decodes what it shows: the file's bytes
// kept, the box, and the picture's place under the pointer as ours pans.
struct Visible_part_viewer {
  std::vector<uint8_t> data = brek_bench::read_file(g_file);
  brek::Pixels box{ONE_TO_ONE.box_w, ONE_TO_ONE.box_h};
  double pointer_x = ONE_TO_ONE.box_w / 2.0, pointer_y = ONE_TO_ONE.box_h / 2.0;
  void show() {
    const double m = 8;  // 8 points at 96 dpi
    const int x = -int(brek::Single_view::pan(ONE_TO_ONE.box_w, W, pointer_x, m));
    const int y = -int(brek::Single_view::pan(ONE_TO_ONE.box_h, H, pointer_y, m));
    brek_bench::Plain_picture part;
    int left = 0;
    const brek_bench::Visible visible{x, y, box.width(), box.height()};
    brek_bench::libjpeg_decode(data, 1, part, &visible, &left);
    for (int r = 0; r < box.height(); ++r)
      std::memcpy(box.row(r), part.data() + size_t(r) * size_t(part.stride()) + size_t(left) * 4,
                  size_t(box.width()) * 4);
    benchmark::DoNotOptimize(box.words());
  }
};

void reference_one_to_one() { Visible_part_viewer().show(); }

Move_times reference_open_and_move() {
  Move_times t;
  Clock::time_point start = Clock::now();
  Visible_part_viewer r;
  r.show();
  t.open = ms_since(start);
  start = Clock::now();
  r.pointer_x += MOVE;
  r.show();
  t.move = ms_since(start);
  return t;
}

void BM_viewer_fitted(benchmark::State& state) {
  for (auto _ : state) open_and_paint(FITTED);
}
void BM_reference_fitted_reduced_decode_and_scale(benchmark::State& state) {
  for (auto _ : state) reference_fitted();
}
void BM_viewer_one_to_one(benchmark::State& state) {
  for (auto _ : state) open_and_paint(ONE_TO_ONE);
}
void BM_reference_one_to_one_visible_part(benchmark::State& state) {
  for (auto _ : state) reference_one_to_one();
}
void BM_viewer_first_move_after_rest(benchmark::State& state) {
  for (auto _ : state) state.SetIterationTime(open_rest_and_move().move / 1000.0);
}
void BM_reference_first_move(benchmark::State& state) {
  for (auto _ : state) state.SetIterationTime(reference_open_and_move().move / 1000.0);
}
void BM_viewer_open_and_first_move(benchmark::State& state) {
  for (auto _ : state) {
    const Move_times t = open_rest_and_move();
    state.SetIterationTime((t.open + t.move) / 1000.0);
  }
}
void BM_reference_open_and_first_move(benchmark::State& state) {
  for (auto _ : state) {
    const Move_times t = reference_open_and_move();
    state.SetIterationTime((t.open + t.move) / 1000.0);
  }
}
#define CLOCKS ->UseRealTime()->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond)
#define MOVES ->UseManualTime()->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond)->Iterations(1)
BENCHMARK(BM_viewer_fitted) CLOCKS;
BENCHMARK(BM_reference_fitted_reduced_decode_and_scale) CLOCKS;
BENCHMARK(BM_viewer_one_to_one) CLOCKS;
BENCHMARK(BM_reference_one_to_one_visible_part) CLOCKS;
BENCHMARK(BM_viewer_first_move_after_rest) MOVES;
BENCHMARK(BM_reference_first_move) MOVES;
BENCHMARK(BM_viewer_open_and_first_move) MOVES;
BENCHMARK(BM_reference_open_and_first_move) MOVES;
#undef CLOCKS
#undef MOVES

// ---- peak memory ----

// Resident set size now or its peak, in kB (/proc/self/status).
long status_kb(const char* key) {
  std::ifstream f("/proc/self/status");
  std::string line;
  size_t n = std::string(key).size();
  while (std::getline(f, line))
    if (line.compare(0, n, key) == 0) return std::atol(line.c_str() + n + 1);
  return -1;
}

// MB above the resident size at the start that one run of `work` reached.
template <class Work>
double peak_mb(Work work) {
#if defined(__GLIBC__)
  malloc_trim(0);
#endif
  // Start the peak afresh (Linux: writing 5 to clear_refs resets VmHWM).
  { std::ofstream("/proc/self/clear_refs") << "5"; }
  long before = status_kb("VmRSS:");
  work();
  return double(status_kb("VmHWM:") - before) / 1024.0;
}

void report_peak_memory() {
  // Once each first, so that what stays for the process's life (fonts,
  // tables) is not counted.
  open_and_paint(FITTED);
  open_and_paint(ONE_TO_ONE);
  reference_fitted();
  reference_one_to_one();
  const double fitted = peak_mb([] { open_and_paint(FITTED); });
  const double fitted_ref = peak_mb(reference_fitted);
  const double one = peak_mb([] { open_and_paint(ONE_TO_ONE); });
  const double one_ref = peak_mb(reference_one_to_one);
  const double moved = peak_mb(open_rest_and_move);
  const double moved_ref = peak_mb(reference_open_and_move);
  std::printf("peak memory, fitted: %.1f MB against the reference's %.1f MB, ratio %.2f\n", fitted, fitted_ref,
              fitted / fitted_ref);
  std::printf("peak memory, 1:1 first paint: %.1f MB against the reference's %.1f MB, ratio %.2f\n", one, one_ref,
              one / one_ref);
  std::printf("peak memory, 1:1 open, rest and move: %.1f MB against the reference's %.1f MB, ratio %.2f\n", moved,
              moved_ref, moved / moved_ref);
}

}  // namespace

int main(int argc, char** argv) {
  brek_bench::start_viewer_platform(argc, argv, g_panels);
  make_photo();
  report_peak_memory();
  std::vector<char*> args = brek_bench::with_repetitions(argc, argv);
  int n = int(args.size());
  benchmark::Initialize(&n, args.data());
  brek_bench::Ratio_reporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  brek_bench::Ratio_reporter::print_reference(
      "libjpeg-turbo on one thread into a fresh heap buffer: fitted, decoded at the largest reduction covering "
      "the fitted size plus one Qt smooth (box-filtered) scale; 1:1, only what the window shows decoded "
      "(jpeg_crop_scanline, jpeg_skip_scanlines) and copied into it, at opening and again after the move; CPU is "
      "the process's, all threads, the second of rest included");
  reporter.print_ratios("BM_viewer_fitted", "BM_reference_fitted_reduced_decode_and_scale");
  reporter.print_ratios("BM_viewer_one_to_one", "BM_reference_one_to_one_visible_part");
  reporter.print_ratios("BM_viewer_first_move_after_rest", "BM_reference_first_move");
  reporter.print_ratios("BM_viewer_open_and_first_move", "BM_reference_open_and_first_move");
  std::printf("first move after a second's rest: median %.1f ms (aim <= 60), the reference's %.1f ms\n",
              reporter.time("BM_viewer_first_move_after_rest"), reporter.time("BM_reference_first_move"));
  benchmark::Shutdown();
  brek_bench::stop_viewer_platform(g_dir);
  return 0;
}
