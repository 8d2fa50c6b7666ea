#pragma once
// The arithmetic of a poster: the cards of the collage, scaled as one block
// (their union box), spread over rows by columns of sheets. Every sheet
// keeps its margins; between neighbouring sheets each gives up an overlap
// band, so the printed sheets can be laid over one another and glued, and
// optional cut lines mark the bands. Printing and the print preview share
// these rules; only the target units per millimetre differ (points on a
// printer page, preview points on the screen). Rows and columns are held
// to 1..100, the fit to 1..100 %, a band to half of what the margins leave,
// so no printable part goes negative.
//
// Plain values and functions: nothing here draws.

#include <cstdint>
#include <string>
#include <vector>

#include "baselib/geometry.h"
#include "printing/report.h"

namespace brek {

// Points per millimetre.
inline constexpr double POINTS_PER_MM = 2.834646;
// Rows and columns of a poster are held to 1 .. this many.
inline constexpr int64_t MAX_POSTER_SIDE = 100;
// The longest side of a paper, millimetres: a PDF page is at most 200
// inches either way.
inline constexpr double MAX_PAPER_MM = 5080;

// What the print dialog's controls say, as numbers.
struct Poster_options {
  point paper_mm;  // width and height of the paper line, as listed (portrait)
  bool landscape = false;
  int64_t rows = 1;
  int64_t columns = 1;
  double fit = 100;  // percent of the printable area the union box fills
  double overlap_mm = 10;
  margins_for_cell margins{20, 20, 20, 20};  // millimetres
  bool cut_lines = true;
  int64_t drawing_mode = 0;  // 0 colours, 1..4 the greyscale modes
  int64_t align_column = 0;  // 0 left, 1 centre, 2 right
  int64_t align_row = 0;     // 0 top, 1 centre, 2 bottom
};

// The controls' texts and choices as the dialog reads them.
struct Poster_texts {
  std::string paper = "A4  21 x 29.7";
  int64_t layout = 0;  // 0 portrait, else landscape
  std::string rows = "1", columns = "1", fit = "100", overlaps = "10";
  std::string margin_left = "20", margin_right = "20", margin_top = "20", margin_bottom = "20";
  bool cut_lines = true;
  int64_t drawing_mode = 0;
  int64_t align_column = 0, align_row = 0;
};

// A line segment of the target.
struct Poster_line {
  point from, to;
};

namespace Poster_layout {

// Width and height in millimetres of a paper line such as "A4  21 x 29.7":
// the two numbers around the "x" that ends it (blanks around the line and
// the "x" aside), read as centimetres; 0 x 0 when it ends otherwise.
point paper_of_line(const std::string& line);
// A number as typed in a field: a decimal comma reads as the point ("10,5"
// is 10.5); what does not parse reads as 0.
double typed_number(const std::string& text);
// Whether a paper of that size (millimetres) can be printed on: both sides
// more than 0 and at most MAX_PAPER_MM.
bool readable_paper(const point& mm);
// The options the texts give; numbers that do not parse read as 0.
Poster_options options_of(const Poster_texts& texts);
// The bounding box of the rectangles; empty for none.
rect union_box(const std::vector<rect>& cards);

// The printable rectangle of the sheet at (column, row) of a poster of
// `columns` by `rows`: `sheet` less the margins (millimetres x unit), less
// one band of `overlap` on every side that has a neighbouring sheet.
rect page_rect(const margins_for_cell& margins, int64_t columns, int64_t rows, int64_t column, int64_t row,
               double overlap, double unit, const rect& sheet);

}  // namespace Poster_layout

// The layout of one poster on a target with `unit` target units per
// millimetre, for cards whose union box (in sheet units) is given.
class Poster_geometry {
 public:
  Poster_geometry(const Poster_options& options, const rect& union_box, double unit);

  Poster_options options;  // as used: counts and numbers held to sane values
  rect union_box;
  double unit = POINTS_PER_MM;
  point paper;  // millimetres, turned for landscape
  int64_t rows = 1, columns = 1;
  double overlap = 0;  // width of one band, target units
  point printable;  // the printable parts of all sheets together, target units
  double scale = 0;  // target units per sheet unit of the cards
  point origin;  // where the union box starts on the first sheet, from its corner

  int64_t page_count() const { return rows * columns; }
  // Whether the margins leave any of a sheet to print on.
  bool has_room() const {
    const margins_for_cell& m = options.margins;
    return paper.x - m.left - m.right > 0 && paper.y - m.top - m.bottom > 0;
  }
  // Row and column of page p (reading order).
  int64_t row_of(int64_t page) const { return page / columns; }
  int64_t column_of(int64_t page) const { return page % columns; }
  // A whole sheet at (0, 0) in target units.
  rect sheet() const { return rect{0, 0, paper.x * unit, paper.y * unit}; }

  // The printable rectangle of a sheet, and where the union box starts on
  // it: the first sheet's origin moved up and left by the printable
  // extents of the sheets above and to the left.
  rect page_rect(int64_t column, int64_t row, const rect& sheet) const;
  point page_origin(int64_t column, int64_t row, const rect& sheet) const;
  // The part of a sheet within its margins, bands included: all that the
  // cards may cover on it.
  rect inside_margins(const rect& sheet) const;
  // A card's rectangle (sheet units) placed for a page origin.
  rect place_card(const rect& card, const point& page_origin) const;
  // Whether a placed card, grown by a tenth on every side, meets the sheet.
  static bool card_on_sheet(const rect& placed, const rect& sheet);
  // The cut lines of the sheet at (column, row) whose printable part is
  // `printable`; none without bands or when they are off.
  std::vector<Poster_line> cut_lines(int64_t column, int64_t row, const rect& printable, const rect& sheet) const;
};

}  // namespace brek
