// The painted sheet: white, the cards bottom first at the zoom and the
// scroll position, frames and handles of the selected cards with the
// hovered handle filled, the rubber band, turned cards and animations, and
// the scroll area. Pixels are read from the paint box's back buffer.

#include <gtest/gtest.h>

#include "images/gif.h"
#include "images/image_file_io.h"
#include "tests/printing/editor_test_support.h"
#include "tests/support/temp_dir.h"

using namespace editor_test;

TEST_F(Editor, AnEmptySheetIsWhiteAndHasNoScrollArea) {
  add(0, 0, 600, 600, RED);
  paint();
  EXPECT_DOUBLE_EQ(e->pbox->content_width, 600);
  e->select_all();
  e->delete_selected();
  paint();
  EXPECT_EQ(at(10, 10), WHITE);
  EXPECT_EQ(at(200, 200), WHITE);
  EXPECT_DOUBLE_EQ(e->pbox->content_width, 0);
  EXPECT_DOUBLE_EQ(e->pbox->content_height, 0);
}

TEST_F(Editor, CardsAreStretchedToTheirPlaceAtTheZoom) {
  add(60, 30, 90, 60, RED);
  e->reset_selection();
  e->zoom = 2;
  paint();
  // Sheet (60, 30) - (150, 90) is box (120, 60) - (300, 180).
  EXPECT_EQ(at(121, 61), RED);
  EXPECT_EQ(at(299, 179), RED);
  EXPECT_EQ(at(118, 100), WHITE);
  EXPECT_EQ(at(302, 100), WHITE);
  EXPECT_EQ(at(200, 58), WHITE);
  EXPECT_EQ(at(200, 182), WHITE);
  EXPECT_DOUBLE_EQ(e->pbox->content_width, 300);
  EXPECT_DOUBLE_EQ(e->pbox->content_height, 180);
}

TEST_F(Editor, LaterCardsCoverEarlierOnes) {
  add(0, 0, 90, 90, RED);
  add(45, 45, 90, 90, GREEN);
  e->reset_selection();
  paint();
  EXPECT_EQ(at(30, 30), RED);
  EXPECT_EQ(at(60, 60), GREEN);
  e->selection.append(0);
  e->z_top();
  e->reset_selection();
  paint();
  EXPECT_EQ(at(60, 60), RED);
  EXPECT_EQ(at(120, 120), GREEN);
}

TEST_F(Editor, TheScrollPositionShiftsTheSheet) {
  e->add_image(pasted(1600, 1200, RED, GREEN, BLUE, YELLOW));  // 1200 x 900 points
  e->reset_selection();
  paint();
  ASSERT_DOUBLE_EQ(e->pbox->content_width, 1200);
  e->pbox->set_scroll_pos({300, 200});
  paint();
  // Box (290, 240) is sheet (590, 440): still the top-left quadrant.
  EXPECT_EQ(at(288, 238), RED);
  EXPECT_EQ(at(312, 262), BLUE);
  EXPECT_EQ(at(312, 238), GREEN);
  EXPECT_EQ(at(288, 262), YELLOW);
  // Zoomed in far, the card is stretched where it shows.
  e->zoom = 2;
  e->pbox->set_scroll_pos({0, 0});
  paint();
  e->pbox->set_scroll_pos({1000, 700});
  paint();
  EXPECT_EQ(at(190, 190), RED);
  EXPECT_EQ(at(210, 210), BLUE);
}

TEST_F(Editor, ACardMovedAfterAPaintShowsAtItsNewPlace) {
  add(30, 30, 90, 60, RED);
  e->reset_selection();
  paint();
  set_rect(0, rect{150, 90, 90, 60});
  paint();
  EXPECT_EQ(at(60, 60), WHITE);
  EXPECT_EQ(at(160, 100), RED);
  EXPECT_EQ(at(238, 148), RED);
  EXPECT_EQ(at(242, 100), WHITE);
  // A new picture for the card is shown, not the one kept before.
  e->cards.at(0)->image.lock()->picture = pasted(120, 80, GREEN)->picture;
  paint();
  EXPECT_EQ(at(160, 100), GREEN);
}

TEST_F(Editor, ASelectedCardHasARedFrameAndSixPointHandlesAtAnyZoom) {
  add(60, 30, 90, 60, GREEN);
  for (double z : {1.0, 2.0}) {
    SCOPED_TRACE(z);
    e->zoom = z;
    paint();
    const double l = 60 * z, t = 30 * z, r = 150 * z, b = 90 * z;
    // The frame: one pixel on the card's edges.
    EXPECT_EQ(at(l + 20, t), RED);
    EXPECT_EQ(at(l + 20, t + 1.5), GREEN);
    EXPECT_EQ(at(l, t + 20), RED);
    EXPECT_EQ(at(r, t + 20), RED);
    EXPECT_EQ(at(r - 0.8, t + 20), GREEN);
    // A handle reaches three points out of each corner.
    EXPECT_EQ(at(l - 3, t + 1), RED);
    EXPECT_EQ(at(l - 2, t - 2), WHITE);  // inside the handle: not filled
    EXPECT_EQ(at(l - 4.5, t + 1), WHITE);
    EXPECT_EQ(at(r + 3.1, b - 1), RED);
    EXPECT_EQ(at(r + 4, b - 1), WHITE);
    EXPECT_EQ(at(l + 1, b + 3.1), RED);
  }
}

TEST_F(Editor, TheHandleUnderThePointerIsFilled) {
  add(60, 30, 90, 60, GREEN);
  move(150, 90);  // the bottom-right corner
  paint();
  EXPECT_EQ(at(151.5, 91.5), CYAN);
  EXPECT_EQ(at(58.5, 28.5), WHITE);  // the other handles stay open
  move(200, 200);
  paint();
  EXPECT_EQ(at(151.5, 91.5), WHITE);
}

TEST_F(Editor, ShiftShowsTheRubberBandInBlueAndRedDashes) {
  click(30, 30);  // the band's first corner
  hold(16, true);
  move(90, 72);
  paint();
  // Along the top edge from x = 30: red at 30, gaps at 31 and 32, blue at
  // 33, red at 34.
  EXPECT_EQ(at(30.2, 30), RED);
  EXPECT_EQ(at(31.6, 30), WHITE);
  EXPECT_EQ(at(33.2, 30), BLUE);
  EXPECT_EQ(at(34.2, 30), RED);
  // The other edges too.
  EXPECT_EQ(at(90, 33.2), BLUE);
  EXPECT_EQ(at(49.2, 72), BLUE);
  EXPECT_EQ(at(30, 66.2), RED);
  hold(16, false);
  paint();
  EXPECT_EQ(at(33.2, 30), WHITE);
}

TEST_F(Editor, ATurnedCardIsPaintedAboutItsCentre) {
  e->add_image(pasted(160, 80, RED, GREEN, BLUE, YELLOW));  // 120 x 60 points
  set_rect(0, rect{60, 60, 120, 60});
  e->cards.at(0)->angle = 90;
  e->reset_selection();
  paint();
  // Clockwise about (120, 90): the top-left quadrant goes to the top right.
  EXPECT_EQ(at(140, 40), RED);
  EXPECT_EQ(at(140, 140), GREEN);
  EXPECT_EQ(at(100, 140), BLUE);
  EXPECT_EQ(at(100, 40), YELLOW);
  EXPECT_EQ(at(70, 70), WHITE);
  EXPECT_DOUBLE_EQ(e->pbox->content_width, 180);
  EXPECT_DOUBLE_EQ(e->pbox->content_height, 180);
}

TEST_F(Editor, PicturesAreLoadedWhenFirstPaintedAndAnimationsShowTheirFrame) {
  brek_test::Temp_dir dir;
  const std::string bmp = dir.file("a.bmp");
  ASSERT_TRUE(Image_file_io::save_bmp(quadrants(80, 80, RED, RED, RED, RED), bmp, false));
  const std::string gif = dir.file("b.gif");
  Ref<C_Bitmap> frame = C_Bitmap::create(80, 80, 24);
  *frame->pixels() = quadrants(80, 80, BLUE, BLUE, BLUE, BLUE);
  frame->take_pixel_size();
  ASSERT_TRUE(C_Gif::save(frame, gif));

  Ref<C_Image> a = C_Image::create();
  a->file_name = bmp;
  a->width = a->height = 80;
  Ref<C_Image> b = C_Image::create();
  b->file_name = gif;
  b->width = b->height = 80;
  e->add_image(a);
  e->add_image(b);
  e->reset_selection();
  EXPECT_TRUE(a->picture.is_none());
  paint();
  EXPECT_FALSE(a->picture.is_none());
  EXPECT_FALSE(b->animation.is_none());
  EXPECT_EQ(at(30, 30), RED);
  EXPECT_EQ(at(90, 30), BLUE);
}
