// The print dialog's preview with "Preview as images": twelve 12-megapixel
// photos as cards of a 2 x 2 poster in a 900 x 700 pixel preview,
// repainted as every option change repaints it. Against the same preview
// drawn straight from the photographs each time. Prints the ratio (aim at
// most 0.25: the reduced copies are made once).
#include <benchmark/benchmark.h>

#include <vector>

#include "bench/ratio_reporter.h"
#include "drawing/bitmap.h"
#include "drawing/canvas.h"
#include "platform/application.h"
#include "printing/print_preview.h"

namespace {

constexpr int PHOTO_W = 4000, PHOTO_H = 3000, CARDS = 12, BOX_W = 900, BOX_H = 700;

brek::Ref<brek::C_Bitmap> photo(uint32_t seed) {
  auto b = brek::C_Bitmap::create(PHOTO_W, PHOTO_H, 24);
  for (int y = 0; y < PHOTO_H; ++y) {
    uint32_t* row = b->pixels()->row(y);
    for (int x = 0; x < PHOTO_W; ++x) {
      seed = seed * 1103515245u + 12345u;
      row[x] = 0xFF000000u | ((x * 255 / PHOTO_W) << 16) | ((y * 255 / PHOTO_H) << 8) | (seed >> 24);
    }
  }
  return b;
}

// Twelve photos in four rows of three, on a poster of 2 x 2 A4 sheets.
class Photo_source : public brek::Brek_object, public brek::Poster_source {
  BREK_CLASS(Photo_source)
 public:
  std::vector<brek::Ref<brek::C_Bitmap>> photos;
  brek::Poster_options poster_options() override {
    brek::Poster_options o;
    o.paper_mm = brek::point{210, 297};
    o.rows = 2;
    o.columns = 2;
    return o;
  }
  int64_t poster_card_count() override { return int64_t(photos.size()); }
  brek::rect poster_card_rect(int64_t i) override {
    return brek::rect{double(i % 3) * 170, double(i / 3) * 130, 160, 120};
  }
  brek::Ref<brek::C_Bitmap> poster_card_bitmap(int64_t i, int64_t) override { return photos.at(size_t(i)); }
};

brek::Ref<Photo_source>& source() {
  static brek::Ref<Photo_source> s = [] {
    brek::Ref<Photo_source> p = brek::make<Photo_source>();
    for (int i = 0; i < CARDS; ++i) p->photos.push_back(photo(uint32_t(i + 1)));
    return p;
  }();
  return s;
}

void repaint(benchmark::State& state, bool with_copies) {
  brek::Ref<brek::C_Bitmap> box = brek::C_Bitmap::create(BOX_W, BOX_H, 32);
  brek::Ref<brek::C_Canvas> c = box->canvas();
  c->units = brek::units_measure_graphics::PIXELS;
  brek::Print_preview::Preview_copies copies;
  brek::Print_preview::Preview_copies* kept = with_copies ? &copies : nullptr;
  brek::Print_preview::paint(c, brek::point{BOX_W, BOX_H}, *source(), true, kept);
  for (auto _ : state) {
    brek::Print_preview::paint(c, brek::point{BOX_W, BOX_H}, *source(), true, kept);
    benchmark::DoNotOptimize(box->pixels()->words());
  }
}

void BM_preview_repaint(benchmark::State& state) { repaint(state, true); }
BENCHMARK(BM_preview_repaint)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_preview_from_full_photos(benchmark::State& state) { repaint(state, false); }
BENCHMARK(BM_preview_from_full_photos)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv) {
  brek_platform::init_application(argc, argv);
  source();
  benchmark::Initialize(&argc, argv);
  brek_bench::Ratio_reporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.print_ratio("BM_preview_repaint", "BM_preview_from_full_photos", "aim <= 0.25");
  benchmark::Shutdown();
  source().reset();
  brek_platform::shutdown_application();
  return 0;
}
