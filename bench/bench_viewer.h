// The viewer as the benchmarks drive it: paint boxes of one size held in
// memory (a paint runs at once, as the screen does for a box on it) and a
// pointer that rests where the benchmark puts it, by default off the box,
// so no hover work is timed.
#pragma once

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "forms/screen.h"
#include "images/drawing_hooks.h"
#include "platform/application.h"
#include "platform/paint_panel.h"
#include "platform/window.h"
#include "viewer/collage_viewer.h"

namespace brek_bench {

class Box_panels : public brek_platform::Native_paint_panels {
 public:
  // first: where this program's panel handles start counting.
  Box_panels(int width, int height, brek_platform::Native_handle first) : w_(width), h_(height), next_(first) {}
  brek_platform::Native_handle create(const brek_platform::Paint_panel_desc&) override { return ++next_; }
  brek_platform::Pixel_box surface(brek_platform::Native_handle) override { return {0, 0, w_, h_}; }
  // The size of every box from now on.
  void set_size(int width, int height) {
    w_ = width;
    h_ = height;
  }
  void paint_now(brek_platform::Native_handle h) override { brek_platform::paint_panel_events().paint(h, {}); }

 private:
  int w_, h_;
  brek_platform::Native_handle next_;
};

struct Bench_viewer : brek::C_Collage_viewer {
  BREK_CLASS(Bench_viewer)
 public:
  brek::point pointer{-1, -1};
  brek::point pointer_in_box() override { return pointer; }
};

// Opens dir in a fresh viewer and runs its background ticks back to back
// until every folder is listed and every one of the n files placed, as
// the timer would with no pause between ticks; the viewer's making and
// going are not timed. The ticks it took become the "ticks" counter.
inline void list_and_lay_out(benchmark::State& state, const std::string& dir, int64_t n) {
  for (auto _ : state) {
    state.PauseTiming();
    brek::Ref<brek::C_Screen> screen = brek::make<brek::C_Screen>();
    brek::Ref<Bench_viewer> v = brek::make<Bench_viewer>();
    v->screen = screen;
    v->create();
    state.ResumeTiming();
    v->open_dir(dir);
    int ticks = 0;
    while ((!v->dir_queue.empty() || v->files.count() < n || v->laid_out_count < v->files.count()) &&
           ticks < 100000) {
      v->on_timer();
      ++ticks;
    }
    state.PauseTiming();
    if (v->laid_out_count != n) state.SkipWithError("not laid out to the end");
    state.counters["ticks"] = ticks;
    brek::dispose_now(v);
    brek::dispose_now(screen);
    state.ResumeTiming();
  }
}

// The platform as these benchmarks run the viewer on it: the window layer,
// the image readers and the boxes above.
inline void start_viewer_platform(int& argc, char** argv, Box_panels& panels) {
  brek_platform::init_application(argc, argv);
  brek::Drawing_hooks::install();
  brek_platform::set_native_forms(brek_platform::window_layer());
  brek_platform::set_native_paint_panels(&panels);
}

// Takes down what start_viewer_platform set up, once the viewer and its
// screen are gone, and the benchmark's files.
inline void stop_viewer_platform(const std::string& files) {
  brek_platform::set_native_paint_panels(nullptr);
  std::error_code ec;
  std::filesystem::remove_all(files, ec);
  brek_platform::shutdown_application();
}

}  // namespace brek_bench
