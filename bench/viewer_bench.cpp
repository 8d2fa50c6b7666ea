// Open to first paint: the viewer, offscreen, opens a 24-megapixel JPEG and
// paints it fitted into a 1066 x 800 paint box once, against what showing
// it plainly costs: libjpeg-turbo decoding the whole file into a fresh
// heap buffer (as a program with the library alone holds it, not in this
// program's own pixel memory) and Qt's smooth (box-filtered) scaling
// drawing it once. Prints the
// ratio (aim at most 0.5: the view needs only a reduced decode) and the
// viewer's peak memory against the full picture's own size (aim at most
// 0.5).
#include <benchmark/benchmark.h>

#include <jpeglib.h>
#include <unistd.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "bench/bench_pictures.h"
#include "bench/ratio_reporter.h"
#include "drawing/bitmap.h"
#include "drawing/native_bitmap.h"
#include "drawing/pixels.h"
#include "forms/screen.h"
#include "images/drawing_hooks.h"
#include "images/jpeg_codec.h"
#include "platform/application.h"
#include "platform/bench_reference.h"
#include "platform/paint_panel.h"
#include "platform/window.h"
#include "viewer/collage_viewer.h"

namespace {

constexpr int W = 6000, H = 4000, BOX_W = 1066, BOX_H = 800;
// Fitted: the width limits, 1066 x 710 centred.
constexpr int FIT_W = 1066, FIT_H = 710, FIT_Y = (BOX_H - FIT_H) / 2;

std::string g_dir, g_file;

void make_photo() {
  brek::Pixels p = brek_bench::photo(W, H);
  std::vector<uint8_t> jpeg;
  brek::Jpeg_codec::encode(p, 90, jpeg);
  g_dir = brek_bench::temp_dir("viewer-bench");
  g_file = g_dir + "/photo.jpg";
  std::ofstream(g_file, std::ios::binary).write(reinterpret_cast<const char*>(jpeg.data()), std::streamsize(jpeg.size()));
  std::printf("test photograph: %dx%d, %zu bytes\n", W, H, jpeg.size());
}

// ---- the viewer ----

struct Bench_viewer : brek::C_Collage_viewer {
  BREK_CLASS(Bench_viewer)
 public:
  brek::point pointer_in_box() override { return brek::point{-1, -1}; }
};

// Paint panels whose drawing surface is the box's size, held in memory:
// the viewer paints into its paint box's own back buffer.
class Box_panels : public brek_platform::Native_paint_panels {
 public:
  brek_platform::Native_handle create(const brek_platform::Paint_panel_spec&) override { return ++next_; }
  brek_platform::Pixel_box surface(brek_platform::Native_handle) override { return {0, 0, BOX_W, BOX_H}; }

 private:
  brek_platform::Native_handle next_ = 9000000;
};
Box_panels g_panels;

void open_and_paint() {
  brek::Ref<brek::C_Screen> screen = brek::make<brek::C_Screen>();
  brek::Ref<Bench_viewer> v = brek::make<Bench_viewer>();
  v->screen = screen;
  v->create();
  v->open_file(g_file);
  v->pb->invalidate_all();
  v->pb->paint_surface();
  benchmark::DoNotOptimize(v->pb->back_buffer->pixels()->words());
  brek::dispose_now(v);
  brek::dispose_now(screen);
}

void BM_viewer_open_to_first_paint(benchmark::State& state) {
  for (auto _ : state) open_and_paint();
}
BENCHMARK(BM_viewer_open_to_first_paint)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

// ---- the lower bound ----

void BM_libjpeg_decode_and_box_scale(benchmark::State& state) {
  brek::Pixels box(BOX_W, BOX_H);
  for (auto _ : state) {
    std::ifstream in(g_file, std::ios::binary);
    std::vector<uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    brek_bench::Plain_picture picture;
    brek_bench::libjpeg_decode(data, 1, picture);
    brek_platform::Raster s;
    s.bits = picture.data();
    s.width = picture.width;
    s.height = picture.height;
    s.stride = picture.stride();
    s.opaque = true;
    brek_platform::Raster d = brek::Native_bitmap::raster_of(box, true);
    brek_platform::reference_smooth_scale_draw(s, d, 0, FIT_Y, FIT_W, FIT_H);
    benchmark::DoNotOptimize(box.words());
  }
}
BENCHMARK(BM_libjpeg_decode_and_box_scale)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);


// Resident set size now and its peak, in bytes (/proc/self/status).
long status_kb(const char* key) {
  std::ifstream f("/proc/self/status");
  std::string line;
  size_t n = std::string(key).size();
  while (std::getline(f, line))
    if (line.compare(0, n, key) == 0) return std::atol(line.c_str() + n + 1);
  return -1;
}

void report_peak_memory() {
  // Start the peak afresh (Linux: writing 5 to clear_refs resets VmHWM).
  { std::ofstream("/proc/self/clear_refs") << "5"; }
  long before = status_kb("VmRSS:");
  open_and_paint();
  long peak = status_kb("VmHWM:");
  double picture_mb = double(W) * H * 4 / 1048576.0;
  double used_mb = double(peak - before) / 1024.0;
  std::printf("peak memory of one open-to-first-paint: %.1f MB above the start, %.2f x the full picture's own %.1f MB (aim <= 0.5)\n",
              used_mb, used_mb / picture_mb, picture_mb);
}

}  // namespace

int main(int argc, char** argv) {
  brek_platform::init_application(argc, argv);
  brek::Drawing_hooks::install();
  make_photo();
  brek_platform::set_native_forms(brek_platform::window_layer());
  brek_platform::set_native_paint_panels(&g_panels);
  report_peak_memory();
  benchmark::Initialize(&argc, argv);
  brek_bench::Ratio_reporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  brek_bench::Ratio_reporter::print_reference(
      "a full libjpeg-turbo decode on one thread into a fresh heap buffer plus one Qt smooth (box-filtered) "
      "scale to the fitted size");
  reporter.print_ratio("BM_viewer_open_to_first_paint", "BM_libjpeg_decode_and_box_scale", "aim <= 0.5");
  benchmark::Shutdown();
  brek_platform::set_native_paint_panels(nullptr);
  std::filesystem::remove_all(g_dir);
  brek_platform::shutdown_application();
  return 0;
}
