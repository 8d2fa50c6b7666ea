// A folder of four GIFs of 8192 x 8192 opened as a collage in a 1200 x 800
// box, offscreen: the window's thread runs its due timers and paints, as
// its loop does, while the cells' worker reads the pictures to their
// cells' size. Timed: the longest of those passes until every cell shows,
// the longest the window did not answer. The reference is reading one of
// the GIFs whole on the window's thread, which a window that read each
// picture where it is needed would stop for. Prints the ratio (aim: below
// 0.5; a picture read on the window's thread makes it 1 or more). Rounds
// are interleaved.
#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_pictures.h"
#include "bench/bench_viewer.h"
#include "bench/ratio_reporter.h"
#include "forms/screen.h"
#include "forms/timer_ticks.h"
#include "images/image.h"
#include "runtime/clock.h"

namespace {

constexpr int SIDE = 8192, FILES = 4, BOX_W = 1200, BOX_H = 800;

std::string g_dir;

int write_vector(GifFileType* gif, const GifByteType* data, int n) {
  auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
  out->insert(out->end(), data, data + n);
  return n;
}

// Bands of four colours, 64 rows each, written by giflib a row at a time.
std::vector<uint8_t> banded_gif() {
  std::vector<uint8_t> out;
  int err = 0;
  GifFileType* gif = EGifOpen(&out, write_vector, &err);
  ColorMapObject* map = GifMakeMapObject(4, nullptr);
  for (int i = 0; i < 4; ++i) map->Colors[i] = GifColorType{GifByteType(i * 80), GifByteType(200 - i * 40), 90};
  EGifPutScreenDesc(gif, SIDE, SIDE, 2, 0, map);
  EGifPutImageDesc(gif, 0, 0, SIDE, SIDE, false, nullptr);
  std::vector<GifPixelType> row(SIDE);
  for (int y = 0; y < SIDE; ++y) {
    std::fill(row.begin(), row.end(), GifPixelType((y / 64) % 4));
    EGifPutLine(gif, row.data(), SIDE);
  }
  EGifCloseFile(gif, &err);
  GifFreeMapObject(map);
  return out;
}

void make_files() {
  g_dir = brek_bench::temp_dir("huge-gif-bench");
  const std::vector<uint8_t> bytes = banded_gif();
  for (int i = 0; i < FILES; ++i)
    std::ofstream(g_dir + "/" + char('a' + i) + ".gif", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

brek_bench::Box_panels g_panels(BOX_W, BOX_H, 9300000);
using brek_bench::Bench_viewer;
using Clock = std::chrono::steady_clock;

// The folder opened in a fresh viewer, its loop run until every cell
// shows its picture: the longest pass, in seconds, as the iteration's time.
void BM_longest_pass_while_cells_come(benchmark::State& state) {
  for (auto _ : state) {
    brek::Ref<brek::C_Screen> screen = brek::make<brek::C_Screen>();
    brek::Ref<Bench_viewer> v = brek::make<Bench_viewer>();
    v->screen = screen;
    v->create();
    v->open_dir(g_dir);
    double longest = 0;
    int64_t passes = 0;
    const auto began = Clock::now();
    const auto limit = began + std::chrono::minutes(2);
    while (!(v->files.count() == FILES && v->laid_out_count == FILES && v->paint_clock > 0 && v->cells_complete &&
             !v->cell_decodes.busy())) {
      if (Clock::now() > limit) {
        state.SkipWithError("the cells never came");
        break;
      }
      const auto start = Clock::now();
      brek::Timer_ticks::run_due(brek::Brek_runtime::tick_count_ms());
      if (v->pb->whole_pending || v->pb->needs_paint) v->pb->paint_surface();
      longest = std::max(longest, std::chrono::duration<double>(Clock::now() - start).count());
      ++passes;
      // The loop sleeps until its next wake-up.
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    state.SetIterationTime(longest);
    // How long the cells took to come, and in how many passes.
    state.counters["whole_ms"] = std::chrono::duration<double, std::milli>(Clock::now() - began).count();
    state.counters["passes"] = double(passes);
    brek::dispose_now(v);
    brek::dispose_now(screen);
  }
}

// One of the GIFs read whole on this thread.
void BM_one_read_on_the_window_thread(benchmark::State& state) {
  for (auto _ : state) {
    brek::Ref<brek::C_Image> image = brek::C_Image::create();
    image->file_name = g_dir + "/a.gif";
    image->load_whole();
    if (image->shown_picture().is_none()) state.SkipWithError("the GIF did not decode");
    brek::dispose_now(image);
  }
}

BENCHMARK(BM_longest_pass_while_cells_come)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_one_read_on_the_window_thread)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
  brek_bench::start_viewer_platform(argc, argv, g_panels);
  make_files();
  std::vector<char*> args = brek_bench::with_repetitions(argc, argv);
  int n = int(args.size());
  brek_bench::run_and_compare(n, args.data(), "reading one of the GIFs whole on the window's thread",
                              "BM_longest_pass_while_cells_come", "BM_one_read_on_the_window_thread", "aim < 0.5");
  brek_bench::stop_viewer_platform(g_dir);
  return 0;
}
