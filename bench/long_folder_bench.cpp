// One folder of 20,000 and one of 100,000 small GIFs, listed and laid out
// as the background tick does it (offscreen, 1600 x 1000 collage), until the
// last file has its cell. The reference is the smaller folder: the time per
// 1,000 files of the larger one against it shows whether the work grows
// linearly with the list. Prints both and the ratio (aim at most 1.5).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench/bench_pictures.h"
#include "bench/bench_viewer.h"
#include "bench/ratio_reporter.h"
#include "forms/screen.h"
#include "platform/application.h"
#include "viewer/collage_viewer.h"

namespace {

constexpr int BOX_W = 1600, BOX_H = 1000;
constexpr int SMALL = 20000, LARGE = 100000;

std::string g_root;

// A 1 x 1 GIF.
const unsigned char GIF[] = {0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x01, 0x00, 0x01, 0x00, 0x80, 0x00, 0x00, 0x00, 0x00,
                             0x00, 0xFF, 0xFF, 0xFF, 0x21, 0xF9, 0x04, 0x01, 0x00, 0x00, 0x00, 0x00, 0x2C, 0x00, 0x00,
                             0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00, 0x02, 0x02, 0x44, 0x01, 0x00, 0x3B};

std::string folder(int n) { return g_root + "/f" + std::to_string(n); }

void make_folder(int n) {
  std::filesystem::create_directories(folder(n));
  for (int i = 0; i < n; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "/g%06d.gif", i);
    std::ofstream(folder(n) + name, std::ios::binary).write(reinterpret_cast<const char*>(GIF), sizeof GIF);
  }
}

brek_bench::Box_panels g_panels(BOX_W, BOX_H, 9300000);

void list_and_lay_out(benchmark::State& state) {
  const int n = int(state.range(0));
  brek_bench::list_and_lay_out(state, folder(n), n);
}
BENCHMARK(list_and_lay_out)->Name("BM_list_and_lay_out")->Arg(SMALL)->Arg(LARGE)->Unit(benchmark::kMillisecond)
    ->Iterations(1)->Repetitions(3);

}  // namespace

int main(int argc, char** argv) {
  brek_bench::start_viewer_platform(argc, argv, g_panels);
  g_root = brek_bench::temp_dir("long-folder-bench");
  make_folder(SMALL);
  make_folder(LARGE);
  benchmark::Initialize(&argc, argv);
  brek_bench::Ratio_reporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const double small = reporter.time("BM_list_and_lay_out/" + std::to_string(SMALL)) / (SMALL / 1000.0);
  const double large = reporter.time("BM_list_and_lay_out/" + std::to_string(LARGE)) / (LARGE / 1000.0);
  if (small > 0 && large > 0) {
    brek_bench::Ratio_reporter::print_reference("the same listing and layout of the smaller folder, per 1,000 files");
    std::printf("per 1,000 files: %.2f ms of %d, %.2f ms of %d\n", small, SMALL, large, LARGE);
    std::printf("ratio per 1,000 of %d / per 1,000 of %d = %.3f (aim <= 1.5)\n", LARGE, SMALL, large / small);
  }
  benchmark::Shutdown();
  std::filesystem::remove_all(g_root);
  brek_platform::shutdown_application();
  return 0;
}
