// Scrolling a 1920 x 1080 back buffer by 16 rows a step, the way a window
// that scrolls down shifts its picture and paints only the uncovered band,
// against a plain memmove of the same rows. Prints the ratio; the aim is at
// most 1.5.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "bench/ratio_reporter.h"
#include "drawing/paintbox.h"
#include "forms/form.h"
#include "forms/screen.h"
#include "platform/application.h"
#include "platform/paint_panel.h"
#include "platform/window.h"

namespace {

constexpr int W = 1920, H = 1080, STEP = 16;

// Paint panels without a screen: the surface is the size of a full HD
// view and a paint runs when the box asks for one.
class Bench_panels : public brek_platform::Native_paint_panels {
 public:
  brek_platform::Native_handle create(const brek_platform::Paint_panel_desc&) override { return 990000001; }
  brek_platform::Pixel_box surface(brek_platform::Native_handle) override { return {0, 0, W, H}; }
  void paint_now(brek_platform::Native_handle h) override { brek_platform::paint_panel_events().paint(h, {}); }
};

// Fills what the clip lets through: the uncovered band.
class Band_form : public brek::C_Form {
  BREK_CLASS(Band_form)
 public:
  brek::Ref<brek::C_Paintbox> box;
  void on_paint() override {
    brek::Ref<brek::C_Canvas> c = box->canvas;
    c->units = brek::units_measure_graphics::PIXELS;
    c->brush_color = brek::Colors::make(40, 80, 120);
    c->draw_rectangle(brek::rect{0, 0, W, H});
  }
};

void BM_back_buffer_scroll(benchmark::State& state) {
  Bench_panels panels;
  brek_platform::Native_paint_panels* old_panels = brek_platform::set_native_paint_panels(&panels);
  brek_platform::Native_forms* old_forms = brek_platform::set_native_forms(brek_platform::window_layer());
  {
    auto screen = brek::make<brek::C_Screen>();
    auto form = brek::make<Band_form>();
    form->box = brek::C_Paintbox::new_paintbox(form, "PB", "");
    form->box->paint_surface();
    for (auto _ : state) {
      form->box->scroll_back_buffer(0, 0, -STEP, 0);
      benchmark::DoNotOptimize(form->box->back_buffer->pixels()->words());
    }
    form->box.reset();
    form.reset();
    brek::dispose_now(screen);
  }
  brek_platform::set_native_forms(old_forms);
  brek_platform::set_native_paint_panels(old_panels);
}
BENCHMARK(BM_back_buffer_scroll)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_memmove_rows(benchmark::State& state) {
  std::vector<uint32_t> buffer(size_t(W) * H, 0xFF000000u);
  for (auto _ : state) {
    std::memmove(buffer.data(), buffer.data() + size_t(W) * STEP, size_t(W) * (H - STEP) * 4);
    benchmark::DoNotOptimize(buffer.data());
  }
}
BENCHMARK(BM_memmove_rows)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);


}  // namespace

int main(int argc, char** argv) {
  brek_platform::init_application(argc, argv);
  brek_bench::run_and_compare(argc, argv, "a plain memmove of the same rows", "BM_back_buffer_scroll",
                              "BM_memmove_rows", "aim <= 1.5");
  brek_platform::shutdown_application();
  return 0;
}
