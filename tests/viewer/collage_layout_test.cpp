// The collage's rows on an abstract list of cells: sizes and directories
// as the test gives them, no files and no window.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "viewer/collage_layout.h"

using namespace brek;
using namespace brek::Collage_layout;

namespace {

struct Entry {
  Entry(int i, double width, double height, int directory = 0) : id(i), w(width), h(height), dir(directory) {}
  int id;
  double w, h;
  int dir;
  rect cell;
};

class Fake_cells : public Cells {
 public:
  std::vector<Entry> e;
  int headers_read = 0;
  int64_t count() const override { return int64_t(e.size()); }
  void read_header(int64_t) override { ++headers_read; }
  double width(int64_t i) override { return e[size_t(i)].w; }
  double height(int64_t i) override { return e[size_t(i)].h; }
  bool same_directory(int64_t a, int64_t b) override { return e[size_t(a)].dir == e[size_t(b)].dir; }
  void swap(int64_t a, int64_t b) override { std::swap(e[size_t(a)], e[size_t(b)]); }
  rect cell(int64_t i) const override { return e[size_t(i)].cell; }
  void set_cell(int64_t i, const rect& r) override {
    rect s = r;
    if (s.w > 0 && s.w < 16) s.w = 16;
    if (s.h > 0 && s.h < 16) s.h = 16;
    e[size_t(i)].cell = s;
  }
  std::vector<int> order() const {
    std::vector<int> o;
    for (const Entry& x : e) o.push_back(x.id);
    return o;
  }
};

Rules rules(double w, bool by_dim = false) {
  Rules r;
  r.box_w = w;
  r.thumb_scale = 1.0;
  r.by_dimensions = by_dim;
  r.min_row_h = 106;
  return r;
}

rect area_at(double y, double w) { return rect{0, y, w, 2147483647.0}; }

}  // namespace

TEST(CollageLayout, AVeryWideImageAloneTakesSixtyFivePercentOfTheWidth) {
  Fake_cells c;
  c.e = {{1, 512, 128}};
  EXPECT_EQ(build_row(c, area_at(0, 600), 0, rules(600)), 1);
  EXPECT_DOUBLE_EQ(c.e[0].cell.w, 390);
  EXPECT_DOUBLE_EQ(c.e[0].cell.h, 97.5);
  // At a tenth of the width it keeps its own size.
  Fake_cells small;
  small.e = {{1, 64, 48}};
  build_row(small, area_at(0, 1000), 0, rules(1000));
  EXPECT_DOUBLE_EQ(small.e[0].cell.w, 64);
}

TEST(CollageLayout, AnyOtherOrderTakesTheImagesInTurnUntilTheRowIsFull) {
  Fake_cells c;
  for (int i = 0; i < 6; ++i) c.e.push_back({i, 400, 300});
  const int64_t next = build_row(c, area_at(0, 1000), 0, rules(1000));
  // Two fit, the third would pass the right edge: a row of two, enlarged
  // to the width but no more than one and a half times.
  EXPECT_EQ(next, 2);
  EXPECT_EQ(c.order(), (std::vector<int>{0, 1, 2, 3, 4, 5}));
  EXPECT_DOUBLE_EQ(c.e[0].cell.h, 375);
  EXPECT_DOUBLE_EQ(c.e[1].cell.x, 500);
  EXPECT_DOUBLE_EQ(c.e[1].cell.x + c.e[1].cell.w, 1000);
  // The next row starts under it.
  EXPECT_DOUBLE_EQ(row_top(c, next), 375);
}

TEST(CollageLayout, ByDimensionsImagesOfVeryDifferentHeightsWaitForALaterRow) {
  Fake_cells c;
  c.e = {{0, 300, 300}, {1, 120, 500}, {2, 300, 310}, {3, 300, 290}, {4, 100, 500}};
  const int64_t next = build_row(c, area_at(0, 1000), 0, rules(1000, true));
  EXPECT_EQ(next, 3);
  // The tall ones were passed over and stay for later rows.
  EXPECT_EQ(c.order(), (std::vector<int>{0, 2, 3, 1, 4}));
  EXPECT_DOUBLE_EQ(c.e[0].cell.h, c.e[1].cell.h);
  EXPECT_DOUBLE_EQ(c.e[2].cell.y, 0);
  // Without the order by dimensions the same list is taken in turn.
  Fake_cells d;
  d.e = {{0, 300, 300}, {1, 120, 500}, {2, 300, 310}};
  build_row(d, area_at(0, 1000), 0, rules(1000));
  EXPECT_EQ(d.order(), (std::vector<int>{0, 1, 2}));
}

TEST(CollageLayout, ANarrowRowStaysLeftAndAWideOneIsShrunkToFit) {
  Fake_cells c;
  c.e = {{0, 100, 100}, {1, 100, 100}};
  build_row(c, area_at(0, 1000), 0, rules(1000));
  // Enlarged by 1.5 at most, left-aligned; the row's height counts its
  // first cell as at least twice the smallest side (106): (106 + 100) / 2
  // x 1.5 = 154.5 a cell.
  EXPECT_DOUBLE_EQ(c.e[0].cell.x, 0);
  EXPECT_DOUBLE_EQ(c.e[1].cell.x + c.e[1].cell.w, 309);
  // A row that overflows comes back to exactly the width.
  Fake_cells w;
  for (int i = 0; i < 4; ++i) w.e.push_back({i, 512, 256, 0});
  const Rules r = rules(1000, true);
  const int64_t next = build_row(w, area_at(0, 1000), 0, r);
  double right = 0;
  for (int64_t i = 0; i < next; ++i) right = std::max(right, w.e[size_t(i)].cell.x + w.e[size_t(i)].cell.w);
  EXPECT_NEAR(right, 1000, 1e-6);
}

TEST(CollageLayout, ARowNeverCrossesIntoAnotherDirectory) {
  Fake_cells c;
  c.e = {{0, 200, 150, 0}, {1, 200, 150, 0}, {2, 200, 150, 1}, {3, 200, 150, 1}};
  EXPECT_EQ(build_row(c, area_at(0, 2000), 0, rules(2000)), 2);
  EXPECT_EQ(build_row(c, area_at(400, 2000), 2, rules(2000)), 4);
  EXPECT_DOUBLE_EQ(c.e[2].cell.y, 400);
  // A start past the end or a negative area places nothing.
  EXPECT_EQ(build_row(c, area_at(0, 2000), 4, rules(2000)), 4);
  EXPECT_EQ(build_row(c, rect{0, 0, 2000, -1}, 0, rules(2000)), 0);
}

TEST(CollageLayout, ARowLooksOnlySoFarAheadForFittingHeights) {
  // Small cells against a first row height of twice the smallest side: by
  // dimensions none fits, yet a row reads a bounded number of headers.
  Fake_cells c;
  for (int i = 0; i < 5000; ++i) c.e.push_back({i, 53, 53});
  c.e.push_back({5000, 100, 100});
  int64_t j = 0;
  int rows = 0;
  while (j < c.count() && rows < 10) {
    j = build_row(c, area_at(0, 1000), j, rules(1000, true));
    ++rows;
  }
  EXPECT_EQ(j, 10);
  EXPECT_LT(c.headers_read, 10 * 200);
  // The same look-ahead still finds a fitting neighbour a few cells on.
  Fake_cells d;
  d.e = {{0, 300, 300}};
  for (int i = 1; i < 40; ++i) d.e.push_back({i, 100, 500});
  d.e.push_back({40, 300, 310});
  build_row(d, area_at(0, 1000), 0, rules(1000, true));
  EXPECT_EQ(d.order()[1], 40);
}
