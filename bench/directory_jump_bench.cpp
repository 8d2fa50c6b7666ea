// Jumping between the folders of a tree of 1,000 photographs (20 folders of
// 50) with PgDn in a 1600 x 1000 collage, offscreen: each step makes the
// next folder's first image current, scrolls to it and paints the screen,
// loading the pictures that come into view. The reference is painting one
// screen of the same collage from scratch at a scroll position: the least a
// jump must do. Prints the ratio (aim: about 1).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/bench_pictures.h"
#include "bench/bench_viewer.h"
#include "bench/ratio_reporter.h"
#include "drawing/pixels.h"
#include "forms/screen.h"
#include "images/jpeg_codec.h"
#include "platform/application.h"
#include "platform/paint_panel.h"
#include "runtime/clock.h"
#include "viewer/collage_viewer.h"

namespace {

constexpr int FILES = 1000, DIRS = 20, BOX_W = 1600, BOX_H = 1000;
constexpr int64_t VK_PGDN = 34;

std::string g_dir;

void make_files() {
  const int sizes[4][2] = {{1024, 768}, {768, 1024}, {1280, 720}, {900, 900}};
  std::vector<std::vector<uint8_t>> blobs;
  for (const auto& s : sizes) {
    std::vector<uint8_t> jpeg;
    brek::Jpeg_codec::encode(brek_bench::photo(s[0], s[1]), 85, jpeg);
    blobs.push_back(std::move(jpeg));
  }
  g_dir = brek_bench::temp_dir("jump-bench");
  for (int i = 0; i < FILES; ++i) {
    char d[32], name[32];
    std::snprintf(d, sizeof d, "/folder%02d", i % DIRS);
    std::snprintf(name, sizeof name, "/p%04d.jpg", i);
    std::filesystem::create_directories(g_dir + d);
    const std::vector<uint8_t>& b = blobs[size_t(i % 4)];
    std::ofstream(g_dir + d + name, std::ios::binary)
        .write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
  }
}

brek_bench::Box_panels g_panels(BOX_W, BOX_H, 9200000);
using brek_bench::Bench_viewer;

brek::Ref<brek::C_Screen> g_screen;
brek::Ref<Bench_viewer> g_viewer;

void open_tree() {
  g_screen = brek::make<brek::C_Screen>();
  g_viewer = brek::make<Bench_viewer>();
  g_viewer->screen = g_screen;
  g_viewer->create();
  g_viewer->open_dir(g_dir);
  for (int i = 0; i < 3 * DIRS && g_viewer->files.count() < FILES; ++i) g_viewer->scan_step(false);
  while (g_viewer->laid_out_count < g_viewer->files.count()) g_viewer->relayout();
  std::printf("tree: %lld files in %d folders, %.0f pixels high\n", static_cast<long long>(g_viewer->files.count()),
              DIRS, g_viewer->layout_bottom);
}

void release_all() {
  for (const brek::Ref<brek::C_Image>& f : g_viewer->files) {
    f->picture.reset();
    f->reduced.reset();
    f->animation.reset();
    f->use_stamp = 0;
  }
}

void paint_now() {
  if (g_viewer->pb->whole_pending || g_viewer->pb->needs_paint) g_viewer->pb->paint_surface();
}

// The first image of each folder, in list order.
std::vector<std::string> folder_starts() {
  std::vector<std::string> starts;
  for (int64_t i = 0; i < g_viewer->files.count(); ++i)
    if (i == 0 || !g_viewer->same_directory(i - 1, i)) starts.push_back(g_viewer->files.get(i)->file_name);
  return starts;
}

// PgDn through every folder, each step painted, pictures loaded as needed.
void BM_pgdn_step(benchmark::State& state) {
  Bench_viewer& v = *g_viewer;
  int64_t steps = 0;
  for (auto _ : state) {
    state.PauseTiming();
    release_all();
    v.current_file = v.files.get(0)->file_name;
    v.scroll_y = 0;
    v.pb->invalidate_all();
    paint_now();
    state.ResumeTiming();
    for (int k = 1; k < DIRS; ++k) {
      v.key_info = brek::St_key_info__C_Form{};
      v.key_info.key_code = VK_PGDN;
      v.on_key_down();
      paint_now();
      ++steps;
    }
  }
  state.counters["steps"] = double(steps);
}

// The same screens painted from scratch at the folders' scroll positions:
// the work of a jump without the jump.
void BM_paint_one_screen(benchmark::State& state) {
  Bench_viewer& v = *g_viewer;
  const std::vector<std::string> starts = folder_starts();
  std::vector<double> tops;
  for (const std::string& s : starts) {
    const double y = v.files.get(v.index_of_file(s))->rect.y - double(brek::C_Canvas::to_device_pixels(20));
    tops.push_back(y < 0 ? 0 : y);
  }
  for (auto _ : state) {
    state.PauseTiming();
    release_all();
    v.scroll_y = 0;
    v.pb->invalidate_all();
    paint_now();
    state.ResumeTiming();
    for (size_t k = 1; k < tops.size(); ++k) {
      v.scroll_y = tops[k];
      v.pb->invalidate_all();
      paint_now();
    }
  }
}

BENCHMARK(BM_pgdn_step)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);
BENCHMARK(BM_paint_one_screen)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);

}  // namespace

int main(int argc, char** argv) {
  brek_bench::start_viewer_platform(argc, argv, g_panels);
  make_files();
  open_tree();
  benchmark::Initialize(&argc, argv);
  brek_bench::Ratio_reporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  brek_bench::Ratio_reporter::print_reference(
      "painting one screen of the same collage from scratch at a scroll position");
  reporter.print_ratio("BM_pgdn_step", "BM_paint_one_screen", "aim about 1");
  const double t = reporter.time("BM_pgdn_step");
  if (t > 0) std::printf("one PgDn step: %.1f ms\n", t / (DIRS - 1));
  benchmark::Shutdown();
  brek::dispose_now(g_viewer);
  brek::dispose_now(g_screen);
  brek_bench::stop_viewer_platform(g_dir);
  return 0;
}
