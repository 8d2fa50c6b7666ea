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
  // A typed line reads as the listed ones; a paper needs both sides, at
  // most what a PDF page holds.
  EXPECT_EQ(Poster_layout::paper_of_line("Card 10 x 15"), (point{100, 150}));
  EXPECT_TRUE(Poster_layout::readable_paper(point{100, 150}));
  EXPECT_TRUE(Poster_layout::readable_paper(point{5080, 5080}));
  EXPECT_FALSE(Poster_layout::readable_paper(point{5081, 100}));
  EXPECT_FALSE(Poster_layout::readable_paper(Poster_layout::paper_of_line("Card 10 by")));
  // As typed by hand: a decimal comma, blanks anywhere around the size.
  p = Poster_layout::paper_of_line(" Comma 10,5 X 14,8\t");
  EXPECT_NEAR(p.x, 105, 1e-9);
  EXPECT_NEAR(p.y, 148, 1e-9);
  EXPECT_EQ(Poster_layout::paper_of_line("10x15"), (point{100, 150}));
  // A number run into the name, or with two separators, is no size.
  for (const char* unread : {"A410 x 15", "Card 1.000,5 x 15", "Card 10 x 15 cm", "Card -10 x 15"})
    EXPECT_EQ(Poster_layout::paper_of_line(unread), (point{0, 0})) << unread;
  EXPECT_FALSE(Poster_layout::readable_paper(point{-100, 150}));

  Poster_texts t;
  t.layout = 1;
  t.rows = "3";
  t.columns = "abc";
  t.fit = "75.5";
  t.overlaps = "0";
  t.margin_left = "7";
  t.margin_top = "7,5";  // a decimal comma, as typed
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
  EXPECT_DOUBLE_EQ(o.margins.top, 7.5);
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
  // The picture is the printable parts plus each shared band once.
  double w = 0;
  for (int64_t c = 0; c < 3; ++c) w += g.page_rect(c, 0, sheet).w;
  EXPECT_NEAR(w + 2 * ov, g.printable.x, 1e-6);

}

// Where a point of a sheet lies in the poster, from the union box's start.
double poster_x(const Poster_geometry& g, int64_t column, int64_t row, double x) {
  return x - g.page_origin(column, row, g.sheet()).x;
}
double poster_y(const Poster_geometry& g, int64_t column, int64_t row, double y) {
  return y - g.page_origin(column, row, g.sheet()).y;
}

TEST(PosterLayout, NeighbouringSheetsPrintTheSamePictureInTheirSharedBand) {
  // Four columns and three rows of A4 with 10 mm margins and 10 mm bands:
  // every seam, also past the second sheet, shares its band.
  Poster_geometry g(a4(4, 3, 10, 10), rect{0, 0, 100, 100}, k);
  const rect sheet = g.sheet();
  const double ov = 10 * k;
  for (int64_t r = 0; r < 3; ++r)
    for (int64_t c = 0; c + 1 < 4; ++c) {
      // The band right of sheet c's printable part is the band left of
      // sheet c + 1's printable part.
      rect a = g.page_rect(c, r, sheet), b = g.page_rect(c + 1, r, sheet);
      EXPECT_NEAR(poster_x(g, c, r, a.x + a.w), poster_x(g, c + 1, r, b.x - ov), 1e-6) << c << "," << r;
      EXPECT_NEAR(poster_x(g, c, r, a.x + a.w + ov), poster_x(g, c + 1, r, b.x), 1e-6) << c << "," << r;
      // Each seam takes one band: a sheet moves on by its width less the
      // margins and one band, 180 mm.
      EXPECT_NEAR(poster_x(g, c + 1, r, 0) - poster_x(g, c, r, 0), 180 * k, 1e-6);
    }
  for (int64_t c = 0; c < 4; ++c)
    for (int64_t r = 0; r + 1 < 3; ++r) {
      rect a = g.page_rect(c, r, sheet), b = g.page_rect(c, r + 1, sheet);
      EXPECT_NEAR(poster_y(g, c, r, a.y + a.h), poster_y(g, c, r + 1, b.y - ov), 1e-6) << c << "," << r;
      EXPECT_NEAR(poster_y(g, c, r + 1, 0) - poster_y(g, c, r, 0), 267 * k, 1e-6);
    }
  // The picture is the sheets' parts less the shared bands: 4 x 190 - 3 x 10 mm.
  EXPECT_NEAR(g.printable.x, 730 * k, 1e-6);
  EXPECT_NEAR(g.printable.y, (3 * 277 - 2 * 10) * k, 1e-6);
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

TEST(PosterLayout, AtFullFitTheDrawingEndsAtTheLastSheetsPrintableEdge) {
  // A wide union box over three columns: the drawing fills the last
  // sheet's printable part to its edge, neither short of it nor in its
  // margin.
  for (int64_t columns : {2, 3, 5}) {
    Poster_geometry g(a4(columns, 1, 20, 10), rect{0, 0, 1000, 100}, k);
    rect sheet = g.sheet();
    rect last = g.page_rect(columns - 1, 0, sheet);
    double right = g.page_origin(columns - 1, 0, sheet).x + 1000 * g.scale;
    EXPECT_NEAR(right, 190 * k, 1e-6) << columns;
    EXPECT_NEAR(right, last.x + last.w, 1e-6) << columns;
  }
}

TEST(PosterLayout, FitAndBandsAreHeldToThePaper) {
  // A fit past 100 would put the cards off the paper; one below 1 (or none)
  // would lose them.
  Poster_options o = a4(1, 1, 20, 10);
  o.fit = 500;
  Poster_geometry big(o, rect{0, 0, 100, 100}, k);
  EXPECT_NEAR(big.scale, 170 * k / 100, 1e-9);
  EXPECT_DOUBLE_EQ(big.options.fit, 100);
  o.fit = 0;
  EXPECT_NEAR(Poster_geometry(o, rect{0, 0, 100, 100}, k).scale, 170 * k / 100 / 100, 1e-9);
  o.fit = std::nan("");
  EXPECT_DOUBLE_EQ(Poster_geometry(o, rect{0, 0, 100, 100}, k).options.fit, 1);

  // A band wider than the sheet leaves is cut to half of what the margins
  // leave (85 mm of 170 on A4 with 20 mm margins), so no sheet's
  // printable part goes negative.
  Poster_geometry wide(a4(2, 1, 20, 400), rect{0, 0, 100, 100}, k);
  EXPECT_NEAR(wide.overlap, 85 * k, 1e-6);
  for (int64_t c = 0; c < 2; ++c) EXPECT_GE(wide.page_rect(c, 0, wide.sheet()).w, 0) << c;
  Poster_geometry three(a4(3, 2, 20, 400), rect{0, 0, 100, 100}, k);
  for (int64_t c = 0; c < 3; ++c) EXPECT_GE(three.page_rect(c, 0, three.sheet()).w, -1e-9) << c;
  // Rows limit too: landscape A4 leaves 170 mm high, 257 mm wide.
  Poster_options rows = a4(1, 2, 20, 100);
  rows.landscape = true;
  EXPECT_NEAR(Poster_geometry(rows, rect{0, 0, 10, 10}, k).overlap, 85 * k, 1e-6);
  // A band that fits is kept, and a single sheet has none to cut.
  EXPECT_NEAR(Poster_geometry(a4(2, 2, 20, 30), rect{0, 0, 10, 10}, k).overlap, 30 * k, 1e-9);
  EXPECT_NEAR(Poster_geometry(a4(1, 1, 20, 400), rect{0, 0, 10, 10}, k).overlap, 400 * k, 1e-9);
  // Margins wider than the paper leave no room for bands at all.
  EXPECT_EQ(Poster_geometry(a4(2, 1, 200, 10), rect{0, 0, 10, 10}, k).overlap, 0);
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
  Poster_geometry g(odd, rect{0, 0, 10, 10}, k);
  EXPECT_EQ(g.columns, 1);
  EXPECT_EQ(g.rows, 1);
  EXPECT_EQ(g.overlap, 0);
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
