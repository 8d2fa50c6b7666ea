// The print dialog's preview with "Preview as images": twelve 12-megapixel
// photos as cards of a 2 x 2 poster in a 900 x 700 pixel preview,
// repainted as every option change repaints it. Against Qt alone drawing
// the same preview from copies scaled once to the cards' size: the ground,
// the sheets and their shadows filled and every card drawn unscaled,
// clipped to its sheet, with one painter. Prints the ratio (aim at most
// 1.0: the preview keeps reduced copies too).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <vector>

#include "bench/bench_pictures.h"
#include "bench/ratio_reporter.h"
#include "drawing/bitmap.h"
#include "drawing/canvas.h"
#include "drawing/native_bitmap.h"
#include "platform/application.h"
#include "platform/bench_reference.h"
#include "printing/poster_layout.h"
#include "printing/print_preview.h"

namespace {

constexpr int PHOTO_W = 4000, PHOTO_H = 3000, CARDS = 12, BOX_W = 900, BOX_H = 700;

brek::Ref<brek::C_Bitmap> photo(uint32_t seed) {
  auto b = brek::C_Bitmap::create(PHOTO_W, PHOTO_H, 24);
  brek_bench::fill_gradient_noise(*b->pixels(), seed);
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
  brek::Ref<brek::C_Bitmap> poster_card_bitmap(int64_t i, int64_t, int64_t, int64_t) override {
    return photos.at(size_t(i));
  }
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

// The preview's geometry in pixels (the canvas is in pixels), with copies
// of the photos scaled once to their cards.
struct Prescaled {
  std::vector<brek::Pixels> copies;
  std::vector<brek_platform::Reference_box> boxes;
  std::vector<brek_platform::Reference_picture> pictures;
};

brek_platform::Reference_box box_of(const brek::rect& r, uint32_t colour) {
  return {int(std::lround(r.x)), int(std::lround(r.y)), int(std::lround(r.w)), int(std::lround(r.h)), colour};
}

void prescale(Prescaled& out) {
  Photo_source& src = *source();
  const brek::Poster_options o = src.poster_options();
  const brek::point size{BOX_W, BOX_H};
  const brek::Print_preview::Sheets sheets = brek::Print_preview::sheets_of(o, size);
  std::vector<brek::rect> cards;
  for (int64_t i = 0; i < src.poster_card_count(); ++i) cards.push_back(src.poster_card_rect(i));
  const brek::Poster_geometry g(o, brek::Poster_layout::union_box(cards), sheets.scale / 10);
  out.boxes.push_back({0, 0, BOX_W, BOX_H, 0xFFC0C0C0u});
  out.copies.reserve(64);
  for (int64_t r = 0; r < sheets.rows; ++r)
    for (int64_t c = 0; c < sheets.columns; ++c) {
      const brek::rect sheet = sheets.sheet(c, r);
      brek::rect shadow = sheet;
      shadow.x += brek::Print_preview::GAP / 2;
      shadow.y += brek::Print_preview::GAP / 2;
      out.boxes.push_back(box_of(shadow, 0xFF404040u));
      out.boxes.push_back(box_of(sheet, 0xFFFFFFFFu));
      const brek::point origin = g.page_origin(c, r, sheet);
      for (size_t i = 0; i < cards.size(); ++i) {
        const brek::rect placed = g.place_card(cards[i], origin);
        if (!brek::Poster_geometry::card_on_sheet(placed, sheet)) continue;
        const brek_platform::Reference_box at = box_of(placed, 0);
        if (at.w < 1 || at.h < 1) continue;
        out.copies.emplace_back(at.w, at.h);
        brek_platform::reference_smooth_scale_draw(
            brek::Native_bitmap::raster_of(*src.photos[i]->pixels(), true),
            brek::Native_bitmap::raster_of(out.copies.back(), true), 0, 0, at.w, at.h);
        brek_platform::Reference_picture pic;
        pic.picture = brek::Native_bitmap::raster_of(out.copies.back(), true);
        pic.x = at.x;
        pic.y = at.y;
        pic.clip = box_of(sheet, 0);
        out.pictures.push_back(pic);
      }
    }
}

void BM_qt_draw_prescaled_preview(benchmark::State& state) {
  brek::Pixels box(BOX_W, BOX_H);
  const brek_platform::Raster d = brek::Native_bitmap::raster_of(box, true);
  Prescaled p;
  prescale(p);
  for (auto _ : state) {
    brek_platform::reference_draw_prescaled(d, p.boxes, p.pictures);
    benchmark::DoNotOptimize(box.words());
  }
  state.counters["cards"] = double(p.pictures.size());
}
BENCHMARK(BM_qt_draw_prescaled_preview)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv) {
  brek_platform::init_application(argc, argv);
  source();
  benchmark::Initialize(&argc, argv);
  brek_bench::Ratio_reporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  brek_bench::Ratio_reporter::print_reference("Qt drawing the preview from copies scaled once to the cards' size");
  reporter.print_ratio("BM_preview_repaint", "BM_qt_draw_prescaled_preview", "aim <= 1.0");
  benchmark::Shutdown();
  source().reset();
  brek_platform::shutdown_application();
  return 0;
}
