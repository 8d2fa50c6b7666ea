#pragma once
// The arithmetic of the directory views that needs no window: how a picture
// fits a cell, where caption pieces go, the directory headers' text, the
// dashes of a cut rectangle, the round scroll marks with their chevrons and
// the scroll-position indicator. mark_drawn decides which scroll marks show
// for painting and for the hover check alike.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "baselib/geometry.h"

namespace brek::Directory_view {

// How a picture of pw x ph goes into a cell: whole (stretched, when the
// proportions differ by at most 10 %) or the central part `source` with the
// cell's proportions (cropped, never letterboxed).
struct Fit {
  bool whole = true;
  rect source;
};
Fit fit(double pw, double ph, const rect& cell);

// Where the caption piece after one of w x h drawn at `at` goes: one line
// lower while two lines still fit above the cell's bottom, else on the same
// line after a gap.
point next_caption_place(const point& at, double w, double h, double cell_bottom, double gap);

// The name of a file as its caption shows it: below the scanned directory
// when it lies there.
std::string caption_name(const std::string& file_name, const std::string& scan_dir);

// A directory header: the directory below the opened one, without its
// trailing separator, then " [count]".
std::string header_text(const std::string& dir, const std::string& root_dir, int64_t count);

// One dash of a dashed line.
struct Dash {
  point a, b;
  bool white = true;
};
// White dashes of 2 units every 4, black ones in the gaps, each cut to the
// segment a..b (axis-parallel segments, as rectangles have).
std::vector<Dash> dashes(const point& a, const point& b);

// A round scroll mark: centre (points) and step (1, 2, 4 at the bottom;
// -1, -2, -3 at the top).
struct Mark {
  double x = 0;
  double y = 0;
  int64_t step = 0;
};
// The marks of a box of w x h points: none when the box is 90 points wide
// or less or 40 high or less; the top ones only while scrolled down.
std::vector<Mark> scroll_marks(double w, double h, double scroll_y);
// Whether a mark is drawn with the pointer pointer_y points from the top of
// a box h points high: the top ones while the pointer is in the top
// quarter, the bottom ones while it is in the bottom quarter.
bool mark_drawn(const Mark& m, double h, double pointer_y);
// The chevrons drawn in a mark: min(|step|, 3) triangles.
std::vector<std::array<point, 3>> chevrons(const Mark& m);

// The scroll-position indicator of a box of w x h points showing content of
// layout_bottom device pixels from scroll_y, with hp the box's height in
// device pixels: a 10-point wide bar at the right (points).
rect indicator(double w, double h, double hp, double scroll_y, double layout_bottom);

}  // namespace brek::Directory_view
