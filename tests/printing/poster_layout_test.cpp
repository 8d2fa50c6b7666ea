#include <gtest/gtest.h>

#include <cmath>

#include "printing/poster_layout.h"

using namespace brek;

namespace {

constexpr double k = POINTS_PER_MM;

Poster_options a4(int64_t columns, int64_t rows, double margin, double overlap) {
  Poster_options o;
  o.paper_mm = point{210, 297};
  o.columns = columns;
  o.rows = rows;
  o.margins = margins_for_cell{margin, margin, margin, margin};
  o.overlap_mm = overlap;
  return o;
}

void expect_rect(const rect& r, double x, double y, double w, double h) {
  EXPECT_NEAR(r.x, x, 1e-6);
  EXPECT_NEAR(r.y, y, 1e-6);
  EXPECT_NEAR(r.w, w, 1e-6);
  EXPECT_NEAR(r.h, h, 1e-6);
}

// Which sides of a sheet carry cut lines: "L", "T", "R", "B".
std::string sides(const Poster_geometry& g, int64_t column, int64_t row) {
  rect sheet = g.sheet();
  rect q = g.page_rect(column, row, sheet);
  std::string s;
  for (const Poster_line& l : g.cut_lines(column, row, q, sheet)) {
    if (l.from.x == l.to.x) s += l.from.x < q.x ? "L" : "R";
    else s += l.from.y < q.y ? "T" : "B";
  }
  return s;
}

}  // namespace

TEST(PosterLayout, PaperLinesAndControlTexts) {
  EXPECT_EQ(Poster_layout::paper_of_line("A4  21 x 29.7"), (point{210, 297}));
  point p = Poster_layout::paper_of_line("Envelope Monarch 9.84 x 19.05");
  EXPECT_NEAR(p.x, 98.4, 1e-9);
  EXPECT_NEAR(p.y, 190.5, 1e-9);
  EXPECT_EQ(Poster_layout::paper_of_line("Envelope B5   17.6 x 25"), (point{176, 250}));
  EXPECT_EQ(Poster_layout::paper_of_line(""), (point{0, 0}));
  EXPECT_EQ(Poster_layout::paper_of_line("Letter"), (point{0, 0}));

  Poster_texts t;
  t.layout = 1;
  t.rows = "3";
  t.columns = "abc";
  t.fit = "75.5";
  t.overlaps = "0";
  t.margin_left = "7";
  t.align_row = 2;
  Poster_options o = Poster_layout::options_of(t);
  EXPECT_EQ(o.paper_mm, (point{210, 297}));
  EXPECT_TRUE(o.landscape);
  EXPECT_EQ(o.rows, 3);
  EXPECT_EQ(o.columns, 0);  // held to 1 by the layout
  EXPECT_DOUBLE_EQ(o.fit, 75.5);
  EXPECT_DOUBLE_EQ(o.overlap_mm, 0);
  EXPECT_DOUBLE_EQ(o.margins.left, 7);
  EXPECT_DOUBLE_EQ(o.margins.right, 20);
  EXPECT_EQ(o.align_row, 2);
  t.layout = -1;  // nothing chosen: portrait
  EXPECT_FALSE(Poster_layout::options_of(t).landscape);
}

TEST(PosterLayout, OneSheetHasNoBandsAndStartsAtItsMargins) {
  Poster_geometry g(a4(1, 1, 20, 10), rect{0, 0, 100, 100}, k);
  rect sheet = g.sheet();
  expect_rect(sheet, 0, 0, 210 * k, 297 * k);
  rect q = g.page_rect(0, 0, sheet);
  expect_rect(q, 20 * k, 20 * k, 170 * k, 257 * k);
  EXPECT_NEAR(g.printable.x, 170 * k, 1e-6);
  // FIT 100: the union box fills the printable width, which limits here,
  // from the margins (20 mm, not less).
  EXPECT_NEAR(g.scale, 170 * k / 100, 1e-9);
  EXPECT_NEAR(g.origin.x, 20 * k, 1e-9);
  EXPECT_NEAR(g.origin.y, 20 * k, 1e-9);
  EXPECT_EQ(g.page_origin(0, 0, sheet), g.origin);
  EXPECT_EQ(sides(g, 0, 0), "");

  Poster_options half = a4(1, 1, 20, 10);
  half.fit = 50;
  EXPECT_NEAR(Poster_geometry(half, rect{0, 0, 100, 100}, k).scale, 170 * k / 200, 1e-9);
}

TEST(PosterLayout, AlignmentShiftsTheBoxInsideThePrintableArea) {
  Poster_options o = a4(1, 1, 20, 10);
  o.align_column = 1;
  o.align_row = 1;
  Poster_geometry centred(o, rect{0, 0, 100, 100}, k);
  double h = 170 * k;  // the box is as high as it is wide
  EXPECT_NEAR(centred.origin.x, 20 * k, 1e-9);
  EXPECT_NEAR(centred.origin.y, 20 * k + (257 * k - h) / 2, 1e-9);

  o.align_column = 2;
  o.align_row = 2;
  o.fit = 50;
  Poster_geometry far(o, rect{0, 0, 100, 100}, k);
  EXPECT_NEAR(far.origin.x, 20 * k + 170 * k - h / 2, 1e-9);
  EXPECT_NEAR(far.origin.y, 20 * k + 257 * k - h / 2, 1e-9);

  o.align_column = 7;  // unknown: left
  EXPECT_NEAR(Poster_geometry(o, rect{0, 0, 100, 100}, k).origin.x, 20 * k, 1e-9);
}

TEST(PosterLayout, SheetsGiveUpABandTowardsEachNeighbour) {
  Poster_geometry g(a4(3, 2, 10, 10), rect{0, 0, 100, 100}, k);
  rect sheet = g.sheet();
  double ov = 10 * k;
  EXPECT_NEAR(g.overlap, ov, 1e-9);
  expect_rect(g.page_rect(0, 0, sheet), 10 * k, 10 * k, 190 * k - ov, 277 * k - ov);
  expect_rect(g.page_rect(1, 0, sheet), 10 * k + ov, 10 * k, 190 * k - 2 * ov, 277 * k - ov);
  expect_rect(g.page_rect(2, 1, sheet), 10 * k + ov, 10 * k + ov, 190 * k - ov, 277 * k - ov);
  // Together the printable parts are the poster's printable total.
  double w = 0;
  for (int64_t c = 0; c < 3; ++c) w += g.page_rect(c, 0, sheet).w;
  EXPECT_NEAR(w, g.printable.x, 1e-6);

  // The poster runs on from sheet to sheet without a gap: what lies at the
  // printable right edge of sheet 0 lies on sheet 1 one band before its
  // printable part (in the band both sheets print); past an inner sheet the
  // next printable part goes on where the last one ended.
  auto content_at = [&](int64_t c, double x) { return x - g.page_origin(c, 0, sheet).x; };
  rect p0 = g.page_rect(0, 0, sheet), p1 = g.page_rect(1, 0, sheet), p2 = g.page_rect(2, 0, sheet);
  EXPECT_NEAR(content_at(0, p0.x + p0.w), content_at(1, p1.x - ov), 1e-6);
  EXPECT_NEAR(content_at(1, p1.x + p1.w), content_at(2, p2.x), 1e-6);
  rect q0 = g.page_rect(0, 0, sheet);
  double down = q0.y + q0.h - g.page_origin(0, 0, sheet).y;
  EXPECT_NEAR(down, g.page_rect(0, 1, sheet).y - ov - g.page_origin(0, 1, sheet).y, 1e-6);
}

TEST(PosterLayout, CutLinesMarkTheOuterEdgesOfTheBands) {
  Poster_geometry g(a4(2, 2, 10, 10), rect{0, 0, 100, 100}, k);
  EXPECT_EQ(sides(g, 0, 0), "RB");
  EXPECT_EQ(sides(g, 1, 0), "LB");
  EXPECT_EQ(sides(g, 0, 1), "TR");
  EXPECT_EQ(sides(g, 1, 1), "LT");

  rect sheet = g.sheet();
  rect q0 = g.page_rect(0, 0, sheet);
  std::vector<Poster_line> l0 = g.cut_lines(0, 0, q0, sheet);
  ASSERT_EQ(l0.size(), 2u);
  // Right: one band beyond the printable part, still on the paper.
  EXPECT_NEAR(l0[0].from.x, 200 * k + 1, 1e-6);
  EXPECT_LT(l0[0].from.x, sheet.w);
  EXPECT_EQ(l0[0].from.y, 0);
  EXPECT_NEAR(l0[0].to.y, sheet.h, 1e-6);
  EXPECT_NEAR(l0[1].from.y, 287 * k + 1, 1e-6);
  EXPECT_NEAR(l0[1].to.x, sheet.w, 1e-6);
  rect q3 = g.page_rect(1, 1, sheet);
  std::vector<Poster_line> l3 = g.cut_lines(1, 1, q3, sheet);
  ASSERT_EQ(l3.size(), 2u);
  EXPECT_NEAR(l3[0].from.x, 10 * k - 1, 1e-6);
  EXPECT_NEAR(l3[1].from.y, 10 * k - 1, 1e-6);

  Poster_options off = a4(2, 2, 10, 10);
  off.cut_lines = false;
  EXPECT_EQ(sides(Poster_geometry(off, rect{0, 0, 100, 100}, k), 0, 0), "");
  // Without bands there is nothing to cut, and sheets keep their width.
  Poster_geometry none(a4(2, 2, 10, 0), rect{0, 0, 100, 100}, k);
  EXPECT_EQ(sides(none, 0, 0), "");
  EXPECT_NEAR(none.page_rect(0, 0, none.sheet()).w, 190 * k, 1e-6);
}

TEST(PosterLayout, TheDrawingStaysInsideThePrintableParts) {
  // A wide union box over two columns: the fitted drawing ends at the last
  // sheet's printable edge, not in its margin or off the paper.
  Poster_geometry g(a4(2, 1, 20, 10), rect{0, 0, 400, 100}, k);
  rect sheet = g.sheet();
  rect q1 = g.page_rect(1, 0, sheet);
  point o1 = g.page_origin(1, 0, sheet);
  double right = o1.x + 400 * g.scale;
  EXPECT_LE(right, q1.x + q1.w + 1e-6);
  EXPECT_NEAR(400 * g.scale, g.printable.x, 1e-6);
}

TEST(PosterLayout, CardsArePlacedFromTheUnionBoxAndFoundOnEverySheet) {
  // Cards away from the sheet's origin: the union box still starts at the
  // page origin.
  rect a{50, 30, 100, 100}, b{250, 130, 100, 100};
  rect u = Poster_layout::union_box({a, b});
  expect_rect(u, 50, 30, 300, 200);
  Poster_geometry g(a4(2, 1, 10, 10), u, k);
  rect sheet = g.sheet();
  rect placed = g.place_card(a, g.page_origin(0, 0, sheet));
  EXPECT_NEAR(placed.x, 10 * k, 1e-9);
  EXPECT_NEAR(placed.y, 10 * k, 1e-9);
  EXPECT_NEAR(placed.w, 100 * g.scale, 1e-9);

  // The second card lies on the right sheet only; it is found there.
  EXPECT_FALSE(Poster_geometry::card_on_sheet(g.place_card(b, g.page_origin(0, 0, sheet)), sheet));
  EXPECT_TRUE(Poster_geometry::card_on_sheet(g.place_card(b, g.page_origin(1, 0, sheet)), sheet));
  EXPECT_TRUE(Poster_geometry::card_on_sheet(g.place_card(a, g.page_origin(0, 0, sheet)), sheet));
  EXPECT_FALSE(Poster_geometry::card_on_sheet(g.place_card(a, g.page_origin(1, 0, sheet)), sheet));
}

TEST(PosterLayout, LandscapeAndTextsThatMakeNoSense) {
  Poster_options o = a4(1, 1, 20, 10);
  o.landscape = true;
  Poster_geometry land(o, rect{0, 0, 10, 10}, k);
  EXPECT_EQ(land.paper, (point{297, 210}));
  EXPECT_NEAR(land.sheet().w, 841.89, 0.01);
  EXPECT_NEAR(land.sheet().h, 595.28, 0.01);

  // Rows and columns of 0 or less are one, huge ones are held.
  Poster_options odd = a4(0, -4, -5, -3);
  odd.fit = std::nan("");
  Poster_geometry g(odd, rect{0, 0, 10, 10}, k);
  EXPECT_EQ(g.columns, 1);
  EXPECT_EQ(g.rows, 1);
  EXPECT_EQ(g.overlap, 0);
  EXPECT_EQ(g.scale, 0);
  EXPECT_EQ(g.origin, (point{0, 0}));  // negative margins are none
  odd.columns = int64_t(1) << 62;
  odd.rows = int64_t(1) << 62;
  Poster_geometry big(odd, rect{}, k);
  EXPECT_EQ(big.columns, MAX_POSTER_SIDE);
  EXPECT_EQ(big.page_count(), MAX_POSTER_SIDE * MAX_POSTER_SIDE);

  // No cards, or cards without a size, scale to nothing instead of to an
  // infinity.
  EXPECT_EQ(Poster_geometry(a4(1, 1, 20, 10), rect{}, k).scale, 0);
  EXPECT_NEAR(Poster_geometry(a4(1, 1, 20, 10), rect{0, 0, 0, 10}, k).scale, 257 * k / 10, 1e-9);
  // Margins wider than the paper leave a printable area of 1.
  EXPECT_EQ(Poster_geometry(a4(1, 1, 200, 10), rect{0, 0, 1, 1}, k).printable, (point{1, 1}));
}
