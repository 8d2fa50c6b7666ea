#pragma once
// Points and rectangles of doubles, in points (1/72 inch), and their
// operations. A rectangle is x, y (top-left corner), w, h and is never
// normalised: a width or height of 0 or below stays as it is. Every
// operation returns a new value; containment and overlap are closed (edges
// count) and false when a NaN takes part.

#include "runtime/object.h"

namespace brek {

struct point {
  double x = 0, y = 0;
  bool operator==(const point&) const = default;
};

struct rect {
  double x = 0, y = 0, w = 0, h = 0;
  bool operator==(const rect&) const = default;
};

class C_Geometry : public Brek_object {
  BREK_CLASS(C_Geometry)
 public:
  static point make_point(double x, double y) { return point{x, y}; }
  static rect make_rect(double x, double y, double w, double h) { return rect{x, y, w, h}; }
  static point point_zero() { return point{}; }
  static rect rect_empty() { return rect{}; }
  static double rect_left(const rect& r) { return r.x; }
  static double rect_top(const rect& r) { return r.y; }
  static double rect_right(const rect& r) { return r.x + r.w; }
  static double rect_bottom(const rect& r) { return r.y + r.h; }
  static double point_distance(const point& p, const point& q);
  static point point_add(const point& p, double dx, double dy) { return point{p.x + dx, p.y + dy}; }
  static point point_offset(const point& p, double dx, double dy) { return point_add(p, dx, dy); }
  // Moved by dx, dy; the size is kept.
  static rect rect_offset(const rect& r, double dx, double dy) { return rect{r.x + dx, r.y + dy, r.w, r.h}; }
  static rect rect_offset_copy(const rect& r, double dx, double dy) { return rect_offset(r, dx, dy); }
  // Grown by dx on the left and the right and dy on the top and the bottom;
  // negative amounts shrink it, possibly below a size of 0.
  static rect rect_inflate(const rect& r, double dx, double dy) {
    return rect{r.x - dx, r.y - dy, r.w + 2 * dx, r.h + 2 * dy};
  }
  // All four edges inclusive.
  static bool point_in_rect(const rect& r, const point& p);
  // Closed intervals: rectangles that only touch overlap.
  static bool rects_overlap(const rect& a, const rect& b);
};

}  // namespace brek
