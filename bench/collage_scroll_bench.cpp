// Scrolling a collage of 2,000 photographs from top to bottom, offscreen,
// in a 1600 x 1000 paint box: every step shifts the back buffer and paints
// the uncovered strip, loading each picture as its cell comes into view
// (reduced JPEG loads) and releasing far ones. The reference is the least
// work the same pictures need: libjpeg-turbo decoding each file at the
// reduction its cell allows and a box-scaled draw into a cell of that size,
// 2,000 times in the same run. Prints the ratio and the frame time.
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
#include "bench/bench_viewer.h"
#include "bench/ratio_reporter.h"
#include "drawing/native_bitmap.h"
#include "drawing/pixels.h"
#include "forms/screen.h"
#include "images/jpeg_codec.h"
#include "platform/application.h"
#include "platform/bench_reference.h"
#include "platform/paint_panel.h"
#include "runtime/clock.h"
#include "viewer/collage_viewer.h"

namespace {

constexpr int FILES = 2000, DIRS = 4, BOX_W = 1600, BOX_H = 1000, STEP = 120;

std::string g_dir;
std::vector<std::string> g_files;

// Eight photographs of different sizes and shapes, each written 250 times.
void make_files() {
  const int sizes[8][2] = {{1024, 768}, {768, 1024}, {1280, 720}, {800, 800},
                           {1600, 1200}, {640, 480}, {1200, 800}, {900, 1200}};
  std::vector<std::vector<uint8_t>> blobs;
  for (int k = 0; k < 8; ++k) {
    const int w = sizes[k][0], h = sizes[k][1];
    brek::Pixels p(w, h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        p.set(x, y, brek::Pixels::bgra(uint8_t((x * 7 + k * 40) & 255), uint8_t((y * 5) & 255),
                                       uint8_t(((x / 64 + y / 64) % 4) * 60)));
    std::vector<uint8_t> jpeg;
    brek::Jpeg_codec::encode(p, 85, jpeg);
    blobs.push_back(std::move(jpeg));
  }
  g_dir = brek_bench::temp_dir("collage-bench");
  for (int i = 0; i < FILES; ++i) {
    const std::string d = g_dir + "/set" + std::to_string(i % DIRS);
    std::filesystem::create_directories(d);
    char name[32];
    std::snprintf(name, sizeof name, "/p%04d.jpg", i);
    const std::vector<uint8_t>& b = blobs[size_t(i % 8)];
    std::ofstream(d + name, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
  }
}

brek_bench::Box_panels g_panels(BOX_W, BOX_H, 9100000);
using brek_bench::Bench_viewer;

brek::Ref<brek::C_Screen> g_screen;
brek::Ref<Bench_viewer> g_viewer;
// Each file with the cell it was laid out in.
struct Cell {
  std::string file;
  int w, h;
};
std::vector<Cell> g_cells;
int g_steps = 0;

void open_collage() {
  g_screen = brek::make<brek::C_Screen>();
  g_viewer = brek::make<Bench_viewer>();
  g_viewer->screen = g_screen;
  g_viewer->create();
  const int64_t t0 = brek::Brek_runtime::tick_count_ms();
  g_viewer->open_dir(g_dir);
  for (int i = 0; i < 3 * DIRS && g_viewer->files.count() < FILES; ++i) g_viewer->scan_step(false);
  while (g_viewer->laid_out_count < g_viewer->files.count()) g_viewer->relayout();
  std::printf("collage: %lld files listed and laid out in %lld ms, %.0f pixels high\n",
              static_cast<long long>(g_viewer->files.count()),
              static_cast<long long>(brek::Brek_runtime::tick_count_ms() - t0), g_viewer->layout_bottom);
  for (const brek::Ref<brek::C_Image>& f : g_viewer->files)
    g_cells.push_back(Cell{f->file_name, int(f->rect.w) - 2, int(f->rect.h) - 2});
}

void release_all() {
  for (const brek::Ref<brek::C_Image>& f : g_viewer->files) {
    f->picture.reset();
    f->reduced.reset();
    f->animation.reset();
    f->use_stamp = 0;
  }
}

// Top to bottom in strips, as smooth scrolling paints.
void scroll_pass() {
  Bench_viewer& v = *g_viewer;
  const double end = v.layout_bottom - BOX_H;
  int steps = 0;
  while (v.scroll_y < end) {
    const double old = v.scroll_y;
    v.scroll_y = std::min(end, v.scroll_y + STEP);
    v.partial_repaint = true;
    v.pb->scroll_back_buffer(20, 0, int64_t(old - v.scroll_y), 0);
    v.partial_repaint = false;
    // A box that asked for a whole repaint gets it before the next frame.
    if (v.pb->whole_pending || v.pb->needs_paint) v.pb->paint_surface();
    ++steps;
  }
  g_steps = steps;
}

void BM_collage_scroll_2000_photos(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    release_all();
    g_viewer->scroll_y = 0;
    g_viewer->pb->invalidate_all();
    g_viewer->pb->paint_surface();
    state.ResumeTiming();
    scroll_pass();
  }
  state.counters["steps"] = g_steps;
}
BENCHMARK(BM_collage_scroll_2000_photos)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);

// ---- the reference ----

void BM_reference_reduced_decode_and_box_draw_2000(benchmark::State& state) {
  brek::Pixels box(BOX_W, BOX_H);
  for (auto _ : state) {
    for (const Cell& c : g_cells) {
      std::ifstream in(c.file, std::ios::binary);
      std::vector<uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      // The header's size, for the reduction the cell allows.
      jpeg_decompress_struct probe;
      jpeg_error_mgr err;
      probe.err = jpeg_std_error(&err);
      jpeg_create_decompress(&probe);
      jpeg_mem_src(&probe, data.data(), static_cast<unsigned long>(data.size()));
      jpeg_read_header(&probe, TRUE);
      const int w = int(probe.image_width), h = int(probe.image_height);
      jpeg_destroy_decompress(&probe);
      int denom = 1;
      for (int d : {8, 4, 2})
        if (w / d >= c.w && h / d >= c.h) {
          denom = d;
          break;
        }
      brek::Pixels picture;
      brek_bench::libjpeg_decode(data, denom, picture);
      brek_platform::Raster s = brek::Native_bitmap::raster_of(picture, true);
      brek_platform::Raster d = brek::Native_bitmap::raster_of(box, true);
      brek_platform::reference_smooth_scale_draw(s, d, 0, 0, std::max(1, std::min(c.w, BOX_W)),
                                                 std::max(1, std::min(c.h, BOX_H)));
    }
    benchmark::DoNotOptimize(box.words());
  }
}
BENCHMARK(BM_reference_reduced_decode_and_box_draw_2000)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);


}  // namespace

int main(int argc, char** argv) {
  brek_bench::start_viewer_platform(argc, argv, g_panels);
  make_files();
  open_collage();
  benchmark::Initialize(&argc, argv);
  brek_bench::Ratio_reporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  brek_bench::Ratio_reporter::print_reference("libjpeg-turbo decoding each file at the reduction its cell allows plus a Qt box-scaled draw into the cell");
  reporter.print_ratio("BM_collage_scroll_2000_photos", "BM_reference_reduced_decode_and_box_draw_2000");
  if (g_steps > 0 && reporter.time("BM_collage_scroll_2000_photos") > 0)
    std::printf("scroll step of %d pixels: %.2f ms a frame\n", STEP, reporter.time("BM_collage_scroll_2000_photos") / g_steps);
  benchmark::Shutdown();
  brek::dispose_now(g_viewer);
  brek::dispose_now(g_screen);
  brek_bench::stop_viewer_platform(g_dir);
  return 0;
}
