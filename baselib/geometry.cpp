#include "baselib/geometry.h"

#include "baselib/mathematics.h"

namespace brek {

double C_Geometry::point_distance(const point& p, const point& q) {
  return Mathematics::sqrt(Mathematics::square(p.x - q.x) + Mathematics::square(p.y - q.y));
}

// Comparisons on the differences, in double precision; any comparison with
// a NaN is false, so a NaN never contains nor overlaps.
bool C_Geometry::point_in_rect(const rect& r, const point& p) {
  return r.x <= p.x && r.y <= p.y && r.x + r.w - p.x >= 0 && r.y + r.h - p.y >= 0;
}

bool C_Geometry::rects_overlap(const rect& a, const rect& b) {
  return rect_right(b) - rect_left(a) >= 0 && rect_left(b) - rect_right(a) <= 0 &&
         rect_bottom(b) - rect_top(a) >= 0 && rect_top(b) - rect_bottom(a) <= 0;
}

}  // namespace brek
