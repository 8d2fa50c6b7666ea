#include <gtest/gtest.h>

#include "drawing/canvas.h"
#include "printing/report_print_pages.h"
#include "tests/printing/print_test_support.h"

using namespace brek;
using print_test::BLUE;
using print_test::Fake_source;
using print_test::Page;
using print_test::RED;
using print_test::WHITE;

namespace {

constexpr double k = POINTS_PER_MM;

class PosterReport : public ::testing::Test {
 protected:
  void SetUp() override {
    report->dialog = Weak<Brek_object>(src);
    src->options.paper_mm = point{210, 297};
  }
  void poster(int64_t columns, int64_t rows, double margin, double overlap) {
    src->options.columns = columns;
    src->options.rows = rows;
    src->options.margins = margins_for_cell{margin, margin, margin, margin};
    src->options.overlap_mm = overlap;
  }
  // Page p of the poster on an A4 page at 72 dpi (a point is a pixel).
  std::unique_ptr<Page> draw(int64_t p) {
    auto page = std::make_unique<Page>(595, 842, 72);
    report->set_canvas(C_Canvas::create_on_printer(page->handle()));
    report->draw_page(p);
    return page;
  }

  Ref<Fake_source> src = make<Fake_source>();
  Ref<C_Report_print_pages> report = C_Report_print_pages::create();
};

}  // namespace

TEST_F(PosterReport, OnePagePerSheetInPortraitTerms) {
  poster(3, 2, 15, 5);
  src->options.landscape = true;
  report->prepare();
  ASSERT_EQ(report->page_count(), 6);
  for (int64_t p = 0; p < 6; ++p) {
    page_attributes rec = report->page_record(p);
    EXPECT_NEAR(rec.width, 210 * k, 1e-6);
    EXPECT_NEAR(rec.height, 297 * k, 1e-6);
    EXPECT_TRUE(rec.landscape);
    EXPECT_DOUBLE_EQ(rec.margins.left, 15);
  }
  EXPECT_NEAR(report->paper_size.x, 841.89, 0.01);
  EXPECT_NEAR(report->paper_size.y, 595.28, 0.01);
  EXPECT_DOUBLE_EQ(report->overlap_mm, 5);
  EXPECT_EQ(report->columns, 3);
  // Building again gives the same pages, not more.
  report->prepare();
  EXPECT_EQ(report->page_count(), 6);
  // The sheet's printable part with the report's margins.
  rect q = report->page_rect(point{3, 2}, point{1, 1}, 5 * k, k, rect{0, 0, 297 * k, 210 * k});
  EXPECT_NEAR(q.x, 20 * k, 1e-6);
  EXPECT_NEAR(q.w, 257 * k, 1e-6);

  src->options.rows = 0;  // a poster has at least one row
  report->prepare();
  EXPECT_EQ(report->page_count(), 3);

  // Without a source the report keeps its one A4 page.
  auto lone = C_Report_print_pages::create();
  lone->prepare();
  EXPECT_EQ(lone->page_count(), 1);
  EXPECT_DOUBLE_EQ(lone->page_width(), 597.6);
}

TEST_F(PosterReport, CardsLandInsideTheMargins) {
  poster(1, 1, 20, 10);
  src->add(rect{0, 0, 100, 50}, 0x0000FF);
  report->prepare();
  auto page = draw(0);
  // 170 mm wide from 20 mm: points 56.7 .. 538.6; half as high.
  EXPECT_EQ(page->at(60, 60), BLUE);
  EXPECT_EQ(page->at(52, 60), WHITE);
  EXPECT_EQ(page->at(534, 60), BLUE);
  EXPECT_EQ(page->at(543, 60), WHITE);
  EXPECT_EQ(page->at(100, 293), BLUE);
  EXPECT_EQ(page->at(100, 302), WHITE);
  EXPECT_FALSE(page->any(0, 0, 594, 841, RED));  // one sheet: no cut lines

  // Centred vertically, in the luminosity grey (blue gives 18).
  src->options.align_row = 1;
  src->options.drawing_mode = 3;
  report->prepare();
  auto centred = draw(0);
  EXPECT_EQ(centred->at(100, 293), WHITE);
  EXPECT_EQ(centred->at(100, 421), 0xFF121212u);
}

TEST_F(PosterReport, SheetsShowTheirPartAndTheirCutLines) {
  poster(2, 2, 10, 10);
  src->add(rect{0, 0, 100, 100}, 0x0000FF);
  report->prepare();
  ASSERT_EQ(report->page_count(), 4);

  // The last sheet shows the lower right part of the card from its
  // corner, with cut lines on its left and top over it. The printable
  // width, 2 x 190 less the shared 10 mm band, makes the card 370 mm
  // square: it ends at the last sheet's printable edge, 200 mm across
  // (567 points), and 370 - 257 = 113 mm down (320 points).
  auto last = draw(3);
  EXPECT_EQ(report->page_column, 1);
  EXPECT_EQ(report->page_row, 1);
  EXPECT_EQ(last->at(300, 200), BLUE);
  EXPECT_EQ(last->at(563, 200), BLUE);
  EXPECT_EQ(last->at(571, 200), WHITE);
  EXPECT_EQ(last->at(300, 316), BLUE);
  EXPECT_EQ(last->at(300, 324), WHITE);
  EXPECT_TRUE(last->any(26, 200, 28, 200, RED));
  EXPECT_TRUE(last->any(300, 26, 300, 28, RED));
  EXPECT_FALSE(last->any(560, 40, 594, 841, RED));  // clear of the top line
  EXPECT_FALSE(last->any(40, 800, 594, 841, RED));

  // No bands, no lines.
  src->options.overlap_mm = 0;
  report->prepare();
  auto plain = draw(0);
  EXPECT_FALSE(plain->any(0, 0, 594, 841, RED));
}

TEST_F(PosterReport, ASheetWithoutCardsHasNoCutLines) {
  poster(2, 1, 10, 10);
  src->options.fit = 10;
  src->add(rect{0, 0, 100, 100}, 0x0000FF);
  report->prepare();
  auto first = draw(0);
  EXPECT_EQ(first->at(40, 40), BLUE);
  EXPECT_TRUE(first->any(566, 400, 570, 400, RED));
  auto second = draw(1);
  EXPECT_FALSE(second->any(0, 0, 594, 841, RED));
  EXPECT_FALSE(second->any(0, 0, 594, 841, BLUE));
}

TEST_F(PosterReport, LandscapeSheetsAreTurnedOntoPortraitPaper) {
  poster(1, 1, 20, 10);
  src->options.landscape = true;
  src->add(rect{0, 0, 100, 50}, 0x0000FF);
  report->prepare();
  auto page = draw(0);
  // The landscape drawing (56.7 .. 785.2 across, 56.7 .. 421 down) lies
  // along the portrait page's left edge.
  EXPECT_EQ(page->at(200, 400), BLUE);
  EXPECT_EQ(page->at(450, 400), WHITE);
  EXPECT_EQ(page->at(200, 40), WHITE);
  EXPECT_EQ(page->at(200, 800), WHITE);

  // Two such sheets side by side, the card 5 : 1 (8 x 8 pixels): 504 mm by
  // 100.8 mm, 63 mm a pixel. The first sheet's part ends at its right
  // margin line, 277 mm across, which the turn puts 56.7 points below the
  // portrait page's top: above it the paper stays white.
  poster(2, 1, 20, 10);
  src->cards[0] = rect{0, 0, 100, 20};
  report->prepare();
  auto first = draw(0);
  for (int x : {60, 150, 330}) {
    EXPECT_EQ(first->at(x, 58), BLUE) << x;
    EXPECT_FALSE(first->any(x, 0, x, 55, BLUE)) << x;
  }
}

TEST_F(PosterReport, PagesShowWhatTheyWereBuiltFrom) {
  poster(1, 1, 20, 10);
  src->add(rect{0, 0, 100, 50}, 0x0000FF);
  report->prepare();
  // The source's cards, options and pictures change, then it goes: the
  // pages keep what they were built from.
  src->cards[0] = rect{0, 0, 50, 100};
  src->bitmaps[0] = print_test::solid(8, 8, 0xFF0000);
  src->options.drawing_mode = 1;
  dispose_now(src);
  auto page = draw(0);
  EXPECT_EQ(page->at(534, 60), BLUE);
  EXPECT_EQ(page->at(100, 302), WHITE);

  // Built from no source (one gone at once, and none anyway): white pages.
  report = C_Report_print_pages::create();
  report->dialog = Weak<Brek_object>(make<C_Report>());
  report->prepare();
  EXPECT_FALSE(draw(0)->any(0, 0, 594, 841, BLUE));
}
