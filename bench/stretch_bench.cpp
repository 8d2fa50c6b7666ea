// A 6000 x 4000 photo drawn fitted into a 1600 x 1000 window with halftone
// stretching, against Qt's smooth QImage scaling plus a plain draw of the
// result, in one run. Prints the ratio; the aim is at most 1.1.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "bench/ratio_reporter.h"
#include "drawing/bitmap.h"
#include "drawing/canvas.h"
#include "platform/application.h"
#include "platform/bench_reference.h"

namespace {

constexpr int SRC_W = 6000, SRC_H = 4000, DST_W = 1600, DST_H = 1000;
// Fitted: the height limits, 1500 x 1000 centred.
constexpr int FIT_W = 1500, FIT_H = 1000, FIT_X = (DST_W - FIT_W) / 2;

brek::Ref<brek::C_Bitmap> photo() {
  static brek::Ref<brek::C_Bitmap> p = [] {
    auto b = brek::C_Bitmap::create(SRC_W, SRC_H, 24);
    uint32_t seed = 12345;
    for (int y = 0; y < SRC_H; ++y) {
      uint32_t* row = b->pixels()->row(y);
      for (int x = 0; x < SRC_W; ++x) {
        seed = seed * 1103515245u + 12345u;
        row[x] = 0xFF000000u | ((x * 255 / SRC_W) << 16) | ((y * 255 / SRC_H) << 8) | (seed >> 24);
      }
    }
    return b;
  }();
  return p;
}

void BM_halftone_stretch_draw(benchmark::State& state) {
  auto src = photo();
  auto window = brek::C_Bitmap::create(DST_W, DST_H, 24);
  auto c = window->canvas();
  c->units = brek::units_measure_graphics::PIXELS;
  c->quality = brek::quality_drawing_lines_shapes::HIGH;
  for (auto _ : state) {
    src->stretch_draw(c, brek::rect{FIT_X, 0, FIT_W, FIT_H});
    benchmark::DoNotOptimize(window->pixels()->words());
  }
}
BENCHMARK(BM_halftone_stretch_draw)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_qimage_smooth_scaled_draw(benchmark::State& state) {
  auto src = photo();
  auto window = brek::C_Bitmap::create(DST_W, DST_H, 24);
  brek_platform::Raster s = brek::Native_bitmap::raster_of(*src->pixels(), true);
  brek_platform::Raster d = brek::Native_bitmap::raster_of(*window->pixels(), true);
  for (auto _ : state) {
    brek_platform::reference_smooth_scale_draw(s, d, FIT_X, 0, FIT_W, FIT_H);
    benchmark::DoNotOptimize(window->pixels()->words());
  }
}
BENCHMARK(BM_qimage_smooth_scaled_draw)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);


}  // namespace

int main(int argc, char** argv) {
  brek_platform::init_application(argc, argv);
  brek_bench::run_and_compare(argc, argv, "Qt's smooth QImage scaling plus a plain draw of the result",
                              "BM_halftone_stretch_draw", "BM_qimage_smooth_scaled_draw", "aim <= 1.1");
  brek_platform::shutdown_application();
  return 0;
}
