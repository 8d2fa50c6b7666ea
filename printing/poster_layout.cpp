#include "printing/poster_layout.h"

#include <algorithm>
#include <cmath>

#include "baselib/mathematics.h"
#include "baselib/string_functions.h"
#include "runtime/strings.h"

namespace brek {

namespace {

double non_negative(double v) { return std::isfinite(v) && v > 0 ? v : 0.0; }

// The smaller of two quotients where a zero divisor gives an infinity: the
// finite one wins; 0 when neither is finite.
double min_finite(double a, double b) {
  double m = std::min(a, b);
  if (std::isnan(a)) m = b;
  if (std::isnan(b)) m = a;
  return std::isfinite(m) ? m : 0.0;
}

// Counts, sizes and choices held to what the layout can work with: a
// poster has at least one and at most MAX_POSTER_SIDE rows and columns,
// lengths are finite and not negative, the fit is 1 to 100 percent (more
// would put the cards off the paper), a band takes at most half of what
// the margins leave of a sheet (so no sheet's printable part goes
// negative), alignments are 0, 1 or 2.
Poster_options normalized(Poster_options o) {
  o.rows = std::clamp<int64_t>(o.rows, 1, MAX_POSTER_SIDE);
  o.columns = std::clamp<int64_t>(o.columns, 1, MAX_POSTER_SIDE);
  o.paper_mm = point{non_negative(o.paper_mm.x), non_negative(o.paper_mm.y)};
  o.fit = std::clamp(non_negative(o.fit), 1.0, 100.0);
  o.margins = margins_for_cell{non_negative(o.margins.left), non_negative(o.margins.right),
                               non_negative(o.margins.top), non_negative(o.margins.bottom)};
  o.overlap_mm = non_negative(o.overlap_mm);
  const point paper = o.landscape ? point{o.paper_mm.y, o.paper_mm.x} : o.paper_mm;
  if (o.columns > 1)
    o.overlap_mm = std::min(o.overlap_mm, non_negative(paper.x - o.margins.left - o.margins.right) / 2);
  if (o.rows > 1) o.overlap_mm = std::min(o.overlap_mm, non_negative(paper.y - o.margins.top - o.margins.bottom) / 2);
  if (o.align_column < 0 || o.align_column > 2) o.align_column = 0;
  if (o.align_row < 0 || o.align_row > 2) o.align_row = 0;
  return o;
}

// The number that ends at `end` of the text, digits with at most one
// decimal point or comma; NaN when there is none. `end` moves to its start.
double number_ending_at(const std::string& text, size_t& end) {
  size_t from = end, digits = 0, points = 0;
  for (; from > 0; --from) {
    const char c = text[from - 1];
    if (c >= '0' && c <= '9')
      ++digits;
    else if (c == '.' || c == ',')
      ++points;
    else
      break;
  }
  if (digits == 0 || points > 1) return std::nan("");
  const double v = Poster_layout::typed_number(text.substr(from, end - from));
  end = from;
  return v;
}

double align_shift(int64_t align, double room, double size) {
  if (align == 1) return (room - size) / 2;
  if (align == 2) return room - size;
  return 0;
}

}  // namespace

namespace Poster_layout {

point paper_of_line(const std::string& line) {
  auto blank = [&](size_t i) { return line[i] == ' ' || line[i] == '\t'; };
  size_t end = line.size();
  while (end > 0 && blank(end - 1)) --end;
  const double height = number_ending_at(line, end);
  while (end > 0 && blank(end - 1)) --end;
  if (end == 0 || (line[end - 1] != 'x' && line[end - 1] != 'X')) return point{};
  --end;
  while (end > 0 && blank(end - 1)) --end;
  const double width = number_ending_at(line, end);
  // The name stands apart from the size: "A410 x 15" is no paper.
  if (std::isnan(width) || std::isnan(height) || (end > 0 && !blank(end - 1))) return point{};
  return point{width * 10, height * 10};
}

double typed_number(const std::string& text) {
  std::string t = text;
  std::replace(t.begin(), t.end(), ',', '.');
  return Mathematics::str_to_real(t);
}

bool readable_paper(const point& mm) {
  return mm.x > 0 && mm.y > 0 && mm.x <= MAX_PAPER_MM && mm.y <= MAX_PAPER_MM;
}

Poster_options options_of(const Poster_texts& t) {
  Poster_options o;
  o.paper_mm = paper_of_line(t.paper);
  o.landscape = t.layout == 1;
  o.rows = Brek_runtime::str_to_int(t.rows);
  o.columns = Brek_runtime::str_to_int(t.columns);
  o.fit = typed_number(t.fit);
  o.overlap_mm = typed_number(t.overlaps);
  o.margins = margins_for_cell{typed_number(t.margin_left), typed_number(t.margin_right), typed_number(t.margin_top),
                               typed_number(t.margin_bottom)};
  o.cut_lines = t.cut_lines;
  o.drawing_mode = t.drawing_mode;
  o.align_column = t.align_column;
  o.align_row = t.align_row;
  return o;
}

rect union_box(const std::vector<rect>& cards) {
  if (cards.empty()) return rect{};
  double l = cards[0].x, t = cards[0].y, r = l + cards[0].w, b = t + cards[0].h;
  for (const rect& c : cards) {
    l = std::min(l, c.x);
    t = std::min(t, c.y);
    r = std::max(r, c.x + c.w);
    b = std::max(b, c.y + c.h);
  }
  return rect{l, t, r - l, b - t};
}

rect page_rect(const margins_for_cell& m, int64_t columns, int64_t rows, int64_t column, int64_t row, double overlap,
               double unit, const rect& sheet) {
  rect r = sheet;
  r.x += m.left * unit;
  r.y += m.top * unit;
  r.w -= (m.left + m.right) * unit;
  r.h -= (m.top + m.bottom) * unit;
  // A sheet gives up one band on each side that has a neighbour.
  if (columns >= 2) r.w -= (column > 0 && column < columns - 1) ? 2 * overlap : overlap;
  if (rows >= 2) r.h -= (row > 0 && row < rows - 1) ? 2 * overlap : overlap;
  if (columns >= 2 && column > 0) r.x += overlap;
  if (rows >= 2 && row > 0) r.y += overlap;
  return r;
}

}  // namespace Poster_layout

Poster_geometry::Poster_geometry(const Poster_options& o, const rect& box, double k)
    : options(normalized(o)), union_box(box), unit(non_negative(k)) {
  rows = options.rows;
  columns = options.columns;
  paper = options.landscape ? point{options.paper_mm.y, options.paper_mm.x} : options.paper_mm;
  const margins_for_cell& m = options.margins;

  // The poster in millimetres, and the picture its sheets print: each
  // sheet's part within its margins, where every seam's band is printed
  // by both neighbours and so counts once. Margins and bands go through the
  // target's own unit, so 20 mm print as 20 mm; the scale and the alignment
  // below both use this one total, so a fitted drawing never runs into the
  // last sheet's margin.
  point poster{double(columns) * paper.x, double(rows) * paper.y};
  printable.x = unit * poster.x - double(columns) * (m.left + m.right) * unit;
  printable.y = unit * poster.y - double(rows) * (m.top + m.bottom) * unit;
  overlap = options.overlap_mm * unit;
  printable.x -= overlap * double(columns - 1);
  printable.y -= overlap * double(rows - 1);
  if (printable.x <= 1) printable.x = 1;
  if (printable.y <= 1) printable.y = 1;

  // The union box scaled to fit the printable parts, by the fit.
  double f = options.fit / 100;
  scale = min_finite(Brek_runtime::real_div(printable.x, union_box.w), Brek_runtime::real_div(printable.y, union_box.h)) * f;
  if (!std::isfinite(scale) || scale < 0) scale = 0;

  origin = point{m.left * unit, m.top * unit};
  origin.x += align_shift(options.align_column, printable.x, union_box.w * scale);
  origin.y += align_shift(options.align_row, printable.y, union_box.h * scale);
}

rect Poster_geometry::page_rect(int64_t column, int64_t row, const rect& sheet) const {
  return Poster_layout::page_rect(options.margins, columns, rows, column, row, overlap, unit, sheet);
}

point Poster_geometry::page_origin(int64_t column, int64_t row, const rect& sheet) const {
  // From one sheet to the next the picture moves on so that the band
  // after a sheet's printable part is the band before the next one's:
  // by the printable part and the band in front of it.
  point g{sheet.x + origin.x, sheet.y + origin.y};
  for (int64_t r = 0; r < row && r < rows - 1; ++r) {
    const rect a = page_rect(column, r, sheet), b = page_rect(column, r + 1, sheet);
    g.y -= (a.y + a.h) - (b.y - overlap);
  }
  for (int64_t c = 0; c < column && c < columns - 1; ++c) {
    const rect a = page_rect(c, row, sheet), b = page_rect(c + 1, row, sheet);
    g.x -= (a.x + a.w) - (b.x - overlap);
  }
  return g;
}

rect Poster_geometry::inside_margins(const rect& sheet) const {
  return Poster_layout::page_rect(options.margins, 1, 1, 0, 0, 0, unit, sheet);
}

// Relative to the union box's corner: the box starts at the page origin
// wherever the cards lie on the editor's sheet.
rect Poster_geometry::place_card(const rect& card, const point& g) const {
  return rect{g.x + (card.x - union_box.x) * scale, g.y + (card.y - union_box.y) * scale, card.w * scale,
              card.h * scale};
}

bool Poster_geometry::card_on_sheet(const rect& placed, const rect& sheet) {
  return C_Geometry::rects_overlap(C_Geometry::rect_inflate(placed, placed.w / 10, placed.h / 10), sheet);
}

std::vector<Poster_line> Poster_geometry::cut_lines(int64_t column, int64_t row, const rect& printable,
                                                   const rect& sheet) const {
  std::vector<Poster_line> lines;
  if (!(overlap > 0) || !options.cut_lines) return lines;
  rect b = C_Geometry::rect_inflate(printable, 1.0, 1.0);
  double right = std::max(C_Geometry::rect_right(sheet), C_Geometry::rect_right(b));
  double bottom = std::max(C_Geometry::rect_bottom(sheet), C_Geometry::rect_bottom(b));
  if (column > 0) {
    double x = b.x - overlap;
    lines.push_back({point{x, sheet.y}, point{x, bottom}});
  }
  if (row > 0) {
    double y = b.y - overlap;
    lines.push_back({point{sheet.x, y}, point{right, y}});
  }
  // Each line marks the outer edge of a band: one band beyond the
  // printable part, on either side.
  if (column < columns - 1) {
    double x = C_Geometry::rect_right(b) + overlap;
    lines.push_back({point{x, sheet.y}, point{x, bottom}});
  }
  if (row < rows - 1) {
    double y = C_Geometry::rect_bottom(b) + overlap;
    lines.push_back({point{sheet.x, y}, point{right, y}});
  }
  return lines;
}

}  // namespace brek
