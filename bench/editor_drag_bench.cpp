// A drag on the collage print editor's sheet: twelve 12-megapixel photos
// as cards of about 240 x 180 pixels in a 1200 x 900 paint box, the
// selected card moved one step and the whole sheet repainted, as every
// pointer move does. Against Qt alone drawing the same sheet from copies
// scaled once to the cards' size: a white fill and twelve unscaled draws
// with one painter. Prints the ratio (aim at most 1.0: the editor keeps
// such copies too, so a repaint costs what the plain drawing does).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "bench/bench_pictures.h"
#include "bench/ratio_reporter.h"
#include "drawing/bitmap.h"
#include "drawing/native_bitmap.h"
#include "drawing/paintbox.h"
#include "forms/screen.h"
#include "images/image.h"
#include "platform/application.h"
#include "platform/bench_reference.h"
#include "platform/paint_panel.h"
#include "platform/window.h"
#include "printing/edit_collage_print.h"

namespace {

constexpr int PHOTO_W = 4000, PHOTO_H = 3000, BOX_W = 1200, BOX_H = 900, CARDS = 12;
// Cards of 180 x 135 points (240 x 180 pixels), four to a row.
constexpr double CARD_W = 180, CARD_H = 135, GAP = 15;

brek::Ref<brek::C_Bitmap> photo(uint32_t seed) {
  auto b = brek::C_Bitmap::create(PHOTO_W, PHOTO_H, 24);
  brek_bench::fill_gradient_noise(*b->pixels(), seed);
  return b;
}

std::vector<brek::Ref<brek::C_Bitmap>>& photos() {
  static std::vector<brek::Ref<brek::C_Bitmap>> p = [] {
    std::vector<brek::Ref<brek::C_Bitmap>> v;
    for (int i = 0; i < CARDS; ++i) v.push_back(photo(uint32_t(i + 1)));
    return v;
  }();
  return p;
}

brek::rect card_place(int i) {
  return brek::rect{GAP + (i % 4) * (CARD_W + GAP), GAP + (i / 4) * (CARD_H + GAP), CARD_W, CARD_H};
}

// Paint panels whose surface is the box's size, held in memory.
class Box_panels : public brek_platform::Native_paint_panels {
 public:
  brek_platform::Native_handle create(const brek_platform::Paint_panel_desc&) override { return ++next_; }
  brek_platform::Pixel_box surface(brek_platform::Native_handle) override { return {0, 0, BOX_W, BOX_H}; }

 private:
  brek_platform::Native_handle next_ = 9100000;
};
Box_panels g_panels;

void BM_editor_drag_repaint(benchmark::State& state) {
  brek::Ref<brek::C_Screen> screen = brek::make<brek::C_Screen>();
  brek::Ref<brek::C_Edit_collage_print> e = brek::C_Edit_collage_print::create();
  e->build_controls();
  for (int i = 0; i < CARDS; ++i) {
    brek::Ref<brek::C_Image> im = brek::C_Image::create();
    im->file_name = "<clipboard>";
    im->picture = photos()[size_t(i)];
    im->width = PHOTO_W;
    im->height = PHOTO_H;
    e->add_image(im);
    e->cards.at(i)->rect = card_place(i);
  }
  e->selection.clear();
  e->selection.append(0);
  e->pbox->invalidate_all();
  e->pbox->paint_surface();
  int step = 0;
  for (auto _ : state) {
    e->cards.at(0)->rect.x = card_place(0).x + double(step++ % 30);
    e->pbox->invalidate_all();
    e->pbox->paint_surface();
    benchmark::DoNotOptimize(e->pbox->back_buffer->pixels()->words());
  }
  brek::dispose_now(e);
  brek::dispose_now(screen);
}
BENCHMARK(BM_editor_drag_repaint)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_qt_draw_prescaled_cards(benchmark::State& state) {
  brek::Pixels box(BOX_W, BOX_H, 0xFFFFFFFFu);
  brek_platform::Raster d = brek::Native_bitmap::raster_of(box, true);
  // Each photo scaled once, smoothly, to its card in pixels (4/3 of points).
  std::vector<brek::Pixels> copies;
  std::vector<brek_platform::Reference_picture> pictures;
  for (int i = 0; i < CARDS; ++i) {
    const brek::rect r = card_place(i);
    copies.emplace_back(int(r.w * 4 / 3), int(r.h * 4 / 3));
    brek_platform::Raster s = brek::Native_bitmap::raster_of(*photos()[size_t(i)]->pixels(), true);
    brek_platform::reference_smooth_scale_draw(s, brek::Native_bitmap::raster_of(copies.back(), true), 0, 0,
                                               copies.back().width(), copies.back().height());
  }
  for (int i = 0; i < CARDS; ++i) {
    const brek::rect r = card_place(i);
    brek_platform::Reference_picture pic;
    pic.picture = brek::Native_bitmap::raster_of(copies[size_t(i)], true);
    pic.x = int(r.x * 4 / 3);
    pic.y = int(r.y * 4 / 3);
    pictures.push_back(pic);
  }
  const std::vector<brek_platform::Reference_box> white{{0, 0, BOX_W, BOX_H, 0xFFFFFFFFu}};
  int step = 0;
  for (auto _ : state) {
    pictures[0].x = int((card_place(0).x + double(step++ % 30)) * 4 / 3);
    brek_platform::reference_draw_prescaled(d, white, pictures);
    benchmark::DoNotOptimize(box.words());
  }
}
BENCHMARK(BM_qt_draw_prescaled_cards)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

class Ratio_reporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const auto& r : runs)
      if (r.run_type == Run::RT_Aggregate && r.aggregate_name == "median")
        times_[r.run_name.function_name] = r.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }
  void print_ratio() {
    const char* a = "BM_editor_drag_repaint";
    const char* b = "BM_qt_draw_prescaled_cards";
    if (times_.count(a) && times_.count(b) && times_[b] > 0)
      std::printf("ratio %s / %s = %.3f (aim <= 1.0)\n", a, b, times_[a] / times_[b]);
  }

 private:
  std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
  brek_platform::init_application(argc, argv);
  brek_platform::set_native_forms(brek_platform::window_layer());
  brek_platform::set_native_paint_panels(&g_panels);
  photos();
  benchmark::Initialize(&argc, argv);
  Ratio_reporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  brek_bench::Ratio_reporter::print_reference("Qt drawing copies scaled once to the cards' size");
  reporter.print_ratio();
  benchmark::Shutdown();
  photos().clear();
  brek_platform::set_native_paint_panels(nullptr);
  brek_platform::shutdown_application();
  return 0;
}
