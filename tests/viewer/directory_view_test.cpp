// The arithmetic of the directory views: pictures in cells, captions,
// headers, dashes, scroll marks and the scroll-position indicator.
#include <gtest/gtest.h>

#include "viewer/directory_view.h"

using namespace brek;
using namespace brek::Directory_view;

TEST(DirectoryView, PicturesAreCroppedToTheCellNeverLetterboxed) {
  // A square picture in a 4:3 cell: its central 4:3 part.
  Fit f = fit(300, 300, rect{0, 0, 200, 150});
  EXPECT_FALSE(f.whole);
  EXPECT_DOUBLE_EQ(f.source.w, 300);
  EXPECT_DOUBLE_EQ(f.source.h, 225);
  EXPECT_DOUBLE_EQ(f.source.y, 37.5);
  // Proportions 5 % apart: stretched whole.
  Fit g = fit(210, 150, rect{0, 0, 200, 150});
  EXPECT_TRUE(g.whole);
  // A tall picture in a wide cell keeps its middle band.
  Fit t = fit(100, 400, rect{0, 0, 200, 100});
  EXPECT_DOUBLE_EQ(t.source.w, 100);
  EXPECT_DOUBLE_EQ(t.source.h, 50);
  EXPECT_DOUBLE_EQ(t.source.y, 175);
  // Nothing to divide by: whole, no arithmetic on zeros.
  EXPECT_TRUE(fit(0, 10, rect{0, 0, 10, 10}).whole);
  EXPECT_TRUE(fit(10, 10, rect{0, 0, 0, 10}).whole);
}

TEST(DirectoryView, CaptionsHeadersAndTheirPlaces) {
  EXPECT_EQ(caption_name("/p/tree/sub/name.jpg", "/p/tree"), "sub/name.jpg");
  EXPECT_EQ(caption_name("/p/tree/sub/name.jpg", "/p/tree/"), "sub/name.jpg");
  EXPECT_EQ(caption_name("/q/name.jpg", "/p/tree"), "/q/name.jpg");
  EXPECT_EQ(header_text("/p/tree/a/b/", "/p/tree", 7), "a/b [7]");
  EXPECT_EQ(header_text("/elsewhere/", "/p/tree/", 1), "/elsewhere [1]");
  // A tall cell takes the pieces one under the other, a flat one in a line.
  EXPECT_DOUBLE_EQ(next_caption_place(point{10, 0}, 50, 12, 100, 4).y, 12);
  point flat = next_caption_place(point{10, 0}, 50, 12, 20, 4);
  EXPECT_DOUBLE_EQ(flat.x, 64);
  EXPECT_DOUBLE_EQ(flat.y, 0);
}

TEST(DirectoryView, ScrollMarksAndTheirChevrons) {
  EXPECT_TRUE(scroll_marks(90, 400, 10).empty());
  EXPECT_TRUE(scroll_marks(400, 40, 10).empty());
  std::vector<Mark> bottom = scroll_marks(600, 400, 0);
  ASSERT_EQ(bottom.size(), 3u);
  EXPECT_EQ(bottom[2].step, 4);
  EXPECT_DOUBLE_EQ(bottom[2].x, 400);
  EXPECT_DOUBLE_EQ(bottom[0].y, 386);
  std::vector<Mark> both = scroll_marks(600, 400, 1);
  ASSERT_EQ(both.size(), 6u);
  EXPECT_EQ(both[5].step, -3);
  EXPECT_DOUBLE_EQ(both[5].y, 14);
  // One chevron per step up to three; pointing down at the bottom, up at
  // the top.
  EXPECT_EQ(chevrons(Mark{0, 0, 1}).size(), 1u);
  EXPECT_EQ(chevrons(Mark{0, 0, 4}).size(), 3u);
  auto down = chevrons(Mark{100, 100, 2})[0];
  EXPECT_GT(down[2].y, down[0].y);
  auto up = chevrons(Mark{100, 14, -1})[0];
  EXPECT_LT(up[2].y, up[0].y);
}

TEST(DirectoryView, DashesAlternateAndStayOnTheSegment) {
  std::vector<Dash> d = dashes(point{0, 0}, point{10, 0});
  int white = 0, black = 0;
  for (const Dash& x : d) {
    (x.white ? white : black)++;
    EXPECT_GE(x.a.x, 0);
    EXPECT_LE(x.b.x, 10);
    EXPECT_DOUBLE_EQ(x.a.y, 0);
  }
  EXPECT_EQ(white, 3);  // 0-2, 4-6, 8-10
  EXPECT_EQ(black, 2);  // 2-4, 6-8
  // Dragged up and to the left the dashes run the other way.
  std::vector<Dash> back = dashes(point{0, 0}, point{0, -9});
  ASSERT_FALSE(back.empty());
  EXPECT_LT(back[0].b.y, back[0].a.y);
  EXPECT_TRUE(dashes(point{5, 5}, point{5, 5}).empty());
}

TEST(DirectoryView, TheIndicatorShowsTheVisiblePartOfTheContent) {
  // Content three views high, scrolled to its middle third.
  rect r = indicator(300, 300, 400, 400, 1200);
  EXPECT_DOUBLE_EQ(r.x, 286);
  EXPECT_DOUBLE_EQ(r.y, 100);
  EXPECT_DOUBLE_EQ(r.h, 100);
  EXPECT_DOUBLE_EQ(indicator(300, 300, 400, 0, 0).h, 0);
}
