#include "viewer/collage_layout.h"

#include <algorithm>
#include <vector>

namespace brek::Collage_layout {

namespace {

bool within(double r, double lo, double hi) { return r >= lo && r <= hi; }

// A row looks this many entries ahead at most for neighbours of a fitting
// height, so that a row costs the same however long its directory is.
constexpr int64_t LOOK_AHEAD = 64;

}  // namespace

double row_top(const Cells& cells, int64_t j) {
  if (j <= 0) return 0;
  double b = bottom(cells.cell(j - 1));
  for (int64_t i = j - 1; i >= 0; --i) {
    const rect c = cells.cell(i);
    b = std::max(b, bottom(c));
    if (c.x < 0.1) break;
  }
  return b;
}

int64_t build_row(Cells& cells, const rect& area, int64_t j0, const Rules& rules) {
  const int64_t n = cells.count();
  if (j0 < 0 || j0 >= n || area.h < 0) return j0;
  const double ts = rules.thumb_scale;
  const double right = area.x + area.w;

  // The first cell: after a row of several cells, by dimensions, one whose
  // height is near that of the cell before.
  int64_t found = j0;
  for (int64_t j = j0; j < n && j - j0 <= LOOK_AHEAD; ++j) {
    cells.read_header(j);
    if (!cells.same_directory(j, j0)) break;
    found = j;
    if (j0 == 0 || cells.cell(j0 - 1).x <= 0.1 || !rules.by_dimensions) break;
    if (within(cells.height(j) / cells.height(j0 - 1), 0.75, 1.25)) break;
  }
  if (found != j0) cells.swap(found, j0);

  const double ew = cells.width(j0), eh = cells.height(j0);
  rect first{area.x, area.y, ew * ts, eh * ts};
  if (!(first.w > 0 && first.h > 0) && j0 > 0) return j0;
  cells.set_cell(j0, first);
  rect stored = cells.cell(j0);
  if (stored.w >= 0.65 * rules.box_w * ts && stored.w > 0) {
    const double k = 0.65 * rules.box_w / stored.w;
    cells.set_cell(j0, rect{stored.x, stored.y, stored.w * k, stored.h * k});
  }

  int64_t k = j0 + 1;
  if (k >= n || !cells.same_directory(k, j0)) return k;

  std::vector<int64_t> row{j0};
  double row_h = std::max(eh, rules.min_row_h);
  if (j0 > 0 && area.x > 0.1) row_h = cells.height(j0 - 1);
  double row_w = ew * ts;
  double sum_h = row_h;
  int64_t overflows = 0;
  int64_t passed_over = 0;

  for (int64_t m = k; m < n && passed_over <= LOOK_AHEAD; ++m) {
    cells.read_header(m);
    if (!cells.same_directory(m, j0)) break;
    const double mw = cells.width(m), mh = cells.height(m);
    if (row_w + mw * ts > right) {
      ++overflows;
      if (!rules.by_dimensions || overflows > 10) break;
    }
    const double r = mh / row_h;
    if (rules.by_dimensions && !within(r, 0.75, 1.33)) {
      ++passed_over;
      continue;
    }
    passed_over = 0;
    cells.swap(m, k);
    row.push_back(k);
    ++k;
    sum_h += mh;
    row_w += mw * ts;
    if (row_w >= 1.2 * right) break;
  }

  // One height for the row, its scale held near the user's.
  double f = area.w / row_w;
  if (f / ts > 1.5)
    f = 1.5 * ts;
  else if (f / ts < 0.65)
    f = 0.65 * ts;
  const double h = sum_h / double(row.size()) * f;

  double x = area.x, total = 0;
  for (int64_t i : row) {
    const double s = h / cells.height(i);
    cells.set_cell(i, rect{x, area.y, cells.width(i) * s, cells.height(i) * s});
    const double w = cells.cell(i).w;
    x += w;
    total += w;
  }
  // A row wider than the view is shrunk to fit; a narrower one stays at
  // the left.
  if (x >= right && total > 0) {
    const double f2 = area.w / total;
    x = area.x;
    for (int64_t i : row) {
      const rect c = cells.cell(i);
      cells.set_cell(i, rect{x, area.y, c.w * f2, c.h * f2});
      x += cells.cell(i).w;
    }
  }
  return k;
}

}  // namespace brek::Collage_layout
