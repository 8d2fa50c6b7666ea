// Open to first paint: the viewer, offscreen, opens a 24-megapixel JPEG and
// paints it once, against what a competent viewer with libjpeg-turbo does
// for the same window, each into a fresh heap buffer as a program with the
// library alone holds it. Two cases:
//   fitted  a 1066 x 800 box with the pointer off it: the picture is shown
//           fitted; the reference decodes at the largest DCT reduction that
//           still covers the fitted size and box-scales it (Qt's smooth
//           scaling) once;
//   1:1     a screen-size 1600 x 1000 box with the pointer at its centre:
//           the picture is shown at its own size, panned; the reference is
//           what such viewers do in that window, a full decode box-scaled
//           to fit.
// Rounds are interleaved; prints wall and process CPU ratios (aim for 1:1
// at most 0.75) and the peak memory of one open-to-first-paint against the
// reference's (aim for 1:1 at most 1.0). What the first pan at 1:1 costs
// on top (the whole picture is decoded then) is printed beside it.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
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
#include "platform/bench_reference.h"
#include "viewer/collage_viewer.h"

namespace {

constexpr int W = 6000, H = 4000;

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

// ---- the viewer ----

// With `pan`, the pointer then moves a little and the view is painted
// again.
void open_and_paint(const Window& w, bool pan = false) {
  g_panels.set_size(w.box_w, w.box_h);
  brek::Ref<brek::C_Screen> screen = brek::make<brek::C_Screen>();
  brek::Ref<brek_bench::Bench_viewer> v = brek::make<brek_bench::Bench_viewer>();
  if (w.pointer_over) v->pointer = brek::point{w.box_w / 2.0, w.box_h / 2.0};
  v->screen = screen;
  v->create();
  v->open_file(g_file);
  v->pb->invalidate_all();
  v->pb->paint_surface();
  if (pan) {
    v->pointer.x += 10;
    v->pb->invalidate_all();
    v->pb->paint_surface();
  }
  benchmark::DoNotOptimize(v->pb->back_buffer->pixels()->words());
  brek::dispose_now(v);
  brek::dispose_now(screen);
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
void reference_one_to_one() { decode_and_box_scale(ONE_TO_ONE, 1); }

void BM_viewer_fitted(benchmark::State& state) {
  for (auto _ : state) open_and_paint(FITTED);
}
void BM_reference_fitted_reduced_decode_and_scale(benchmark::State& state) {
  for (auto _ : state) reference_fitted();
}
void BM_viewer_one_to_one(benchmark::State& state) {
  for (auto _ : state) open_and_paint(ONE_TO_ONE);
}
void BM_viewer_one_to_one_and_first_pan(benchmark::State& state) {
  for (auto _ : state) open_and_paint(ONE_TO_ONE, true);
}
void BM_reference_one_to_one_full_decode_and_scale(benchmark::State& state) {
  for (auto _ : state) reference_one_to_one();
}
#define CLOCKS ->UseRealTime()->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond)
BENCHMARK(BM_viewer_fitted) CLOCKS;
BENCHMARK(BM_reference_fitted_reduced_decode_and_scale) CLOCKS;
BENCHMARK(BM_viewer_one_to_one) CLOCKS;
BENCHMARK(BM_viewer_one_to_one_and_first_pan) CLOCKS;
BENCHMARK(BM_reference_one_to_one_full_decode_and_scale) CLOCKS;
#undef CLOCKS

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
  std::printf("peak memory, fitted: %.1f MB against the reference's %.1f MB, ratio %.2f\n", fitted, fitted_ref,
              fitted / fitted_ref);
  std::printf("peak memory, 1:1: %.1f MB against the reference's %.1f MB, ratio %.2f (aim <= 1.0)\n", one, one_ref,
              one / one_ref);
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
      "libjpeg-turbo on one thread into a fresh heap buffer plus one Qt smooth (box-filtered) scale to the "
      "fitted size: fitted, decoded at the largest reduction covering it; 1:1, decoded whole (what lightweight "
      "viewers show in that window); CPU is the process's, all threads");
  reporter.print_ratios("BM_viewer_fitted", "BM_reference_fitted_reduced_decode_and_scale");
  reporter.print_ratios("BM_viewer_one_to_one", "BM_reference_one_to_one_full_decode_and_scale",
                        "aim wall <= 0.75");
  reporter.print_ratios("BM_viewer_one_to_one_and_first_pan", "BM_reference_one_to_one_full_decode_and_scale",
                        "the first pan decodes the whole picture");
  benchmark::Shutdown();
  brek_bench::stop_viewer_platform(g_dir);
  return 0;
}
