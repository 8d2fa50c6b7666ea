// Cell-size copies of thumbnails: made once, drawn as the stretched picture
// would be, never shown for a picture that was replaced, and bounded.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"
#include "tests/viewer/viewer_test_support.h"
#include "viewer/fitted_decodes.h"
#include "viewer/thumbnail_cache.h"

using namespace viewer_test;
namespace fs = std::filesystem;

namespace {

// A picture with a horizontal and a vertical ramp, so that any scaling
// difference shows.
Ref<C_Bitmap> ramps(int w, int h, uint8_t blue = 0) {
  Ref<C_Bitmap> b = C_Bitmap::create(w, h, 24);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b->pixels()->set(x, y, Pixels::bgra(blue, uint8_t(y * 255 / h), uint8_t(x * 255 / w)));
  return b;
}

constexpr auto HIGH = quality_drawing_lines_shapes::HIGH;

}  // namespace

TEST(ThumbnailCache, ACopyIsMadeOnceAndLooksAsTheStretchedPicture) {
  Thumbnail_cache cache;
  Ref<C_Bitmap> pic = ramps(400, 300);
  Ref<C_Bitmap> a = cache.at_size(pic, 120, 90, HIGH);
  ASSERT_FALSE(a.is_none());
  EXPECT_EQ(a->width, 120);
  EXPECT_EQ(a->height, 90);
  EXPECT_EQ(cache.at_size(pic, 120, 90, HIGH).get(), a.get());
  EXPECT_EQ(cache.count(), 1u);

  // The same pixels as stretching the picture into a cell of that size.
  Ref<C_Bitmap> direct = C_Bitmap::create(120, 90, 24);
  Ref<C_Canvas> c = direct->canvas();
  c->units = units_measure_graphics::PIXELS;
  pic->stretch_draw(c, rect{0, 0, 120, 90});
  EXPECT_TRUE(*direct->pixels() == *a->pixels());

  // Another size or another quality is another copy.
  EXPECT_NE(cache.at_size(pic, 100, 75, HIGH).get(), a.get());
  EXPECT_NE(cache.at_size(pic, 120, 90, quality_drawing_lines_shapes::LOW).get(), a.get());
  EXPECT_EQ(cache.count(), 3u);
}

TEST(ThumbnailCache, ReplacedFreedTransparentAndHugePicturesAreNotServedFromOldCopies) {
  Thumbnail_cache cache;
  Ref<C_Bitmap> first = ramps(400, 300, 0);
  Ref<C_Bitmap> a = cache.at_size(first, 120, 90, HIGH);
  // A freed picture's copy goes at the next addition, and a new picture at
  // the same address never gets it.
  dispose_now(first);
  first.reset();
  Ref<C_Bitmap> second = ramps(400, 300, 200);
  Ref<C_Bitmap> b = cache.at_size(second, 120, 90, HIGH);
  EXPECT_EQ(Pixels::blue(b->pixels()->at(60, 45)), 200);
  EXPECT_EQ(cache.count(), 1u);

  // A picture with alpha, no area or beyond the bound is not kept.
  Ref<C_Bitmap> clear = C_Bitmap::create(40, 30, 32);
  EXPECT_TRUE(cache.at_size(clear, 20, 15, HIGH).is_none());
  EXPECT_TRUE(cache.at_size(second, 0, 15, HIGH).is_none());
  const int beyond = int(std::sqrt(double(Thumbnail_cache::MAX_PIXELS))) + 1;
  EXPECT_TRUE(cache.at_size(second, beyond, beyond, HIGH).is_none());
}

// An animation composes every frame into one picture: a copy is kept per
// frame, and the copy of a frame shown before is not served for another.
// A copy larger than a quarter of the bound is kept for a picture at least
// four times its size only.
TEST(ThumbnailCache, CopiesOfAnAnimationAreKeptPerFrameAndLargeOnesForLargerPictures) {
  Thumbnail_cache cache;
  Ref<C_Bitmap> composed = ramps(400, 300, 0);
  Ref<C_Bitmap> first = cache.at_size(composed, 120, 90, HIGH, 0);
  // The next frame drawn over the same picture.
  for (int y = 0; y < 300; ++y)
    for (int x = 0; x < 400; ++x) composed->pixels()->set(x, y, Pixels::bgra(200, 0, 0));
  Ref<C_Bitmap> second = cache.at_size(composed, 120, 90, HIGH, 1);
  EXPECT_EQ(Pixels::blue(second->pixels()->at(60, 45)), 200);
  EXPECT_EQ(Pixels::blue(first->pixels()->at(60, 45)), 0);
  EXPECT_EQ(cache.at_size(composed, 120, 90, HIGH, 0).get(), first.get());

  // A copy of a third of the bound, of pictures of 4.2 and 3.8 times that.
  const int side = int(std::sqrt(double(Thumbnail_cache::MAX_PIXELS) / 3));
  EXPECT_FALSE(cache.at_size(ramps(2 * side + side / 20, 2 * side + side / 20), side, side, HIGH).is_none());
  EXPECT_TRUE(cache.at_size(ramps(2 * side - side / 20, 2 * side - side / 20), side, side, HIGH).is_none());
}

TEST(ThumbnailCache, TheCopiesStayWithinTheirBoundDroppingTheLeastRecentlyUsed) {
  Thumbnail_cache cache;
  std::vector<Ref<C_Bitmap>> pics;
  // Each copy is a quarter of the bound less a little: four fit.
  const int side = int(std::sqrt(double(Thumbnail_cache::MAX_PIXELS) / 4)) - 24;
  for (int i = 0; i < 5; ++i) pics.push_back(ramps(side + 10, side + 10, uint8_t(i)));
  Ref<C_Bitmap> kept0 = cache.at_size(pics[0], side, side, HIGH);
  for (int i = 1; i < 4; ++i) cache.at_size(pics[size_t(i)], side, side, HIGH);
  EXPECT_EQ(cache.count(), 4u);
  EXPECT_EQ(cache.at_size(pics[0], side, side, HIGH).get(), kept0.get());  // used again: now the newest
  cache.at_size(pics[4], side, side, HIGH);
  EXPECT_EQ(cache.count(), 4u);
  EXPECT_LE(cache.pixels(), Thumbnail_cache::MAX_PIXELS);
  // Picture 1 was the least recently used: it went, picture 0 stayed.
  EXPECT_EQ(cache.at_size(pics[0], side, side, HIGH).get(), kept0.get());
}

TEST(ThumbnailCache, ACellShowsItsNewPictureAfterThePictureWasReplaced) {
  brek_test::Temp_dir dir;
  Pixels p(400, 300, 0xFF808000u);
  ASSERT_TRUE(write_bmp(p, dir.file("a.bmp")));
  Boxed b(600, 400);
  b.v->open_dir(dir.path());
  for (int i = 0; i < 4; ++i) b.v->scan_step(false);
  b.v->relayout();
  b.paint();
  Ref<C_Image> e = b.v->files.get(0);
  const rect c = e->rect;
  ASSERT_GT(c.w, 20);
  const int x = int(c.x + c.w / 2), y = int(c.y + c.h / 2);
  EXPECT_EQ(b.at(x, y), 0xFF808000u);
  EXPECT_GT(b.v->collage->thumbnails.count(), 0u);
  // The same file decoded anew into another bitmap of the same size.
  Ref<C_Bitmap> other = C_Bitmap::create(e->picture->width, e->picture->height, 24);
  for (int yy = 0; yy < other->height; ++yy)
    for (int xx = 0; xx < other->width; ++xx) other->pixels()->set(xx, yy, 0xFF000080u);
  e->picture = other;
  b.paint();
  EXPECT_EQ(b.at(x, y), 0xFF000080u);
}

// The worker's copy of an opaque picture, read for a view drawn over black
// (the cells), serves the views drawn over their own colour too (the move
// window, which shares the cache); a transparent one blended onto black
// serves only views drawn over black.
TEST(ThumbnailCache, AnOpaqueCopyServesEveryViewABlendedOneOnlyThoseOverBlack) {
  constexpr auto MEDIUM = quality_drawing_lines_shapes::MEDIUM;
  brek_test::Temp_dir t;
  ASSERT_TRUE(brek_test::write_file(t.file("huge.gif"), one_colour_gif(2500, 2000)));
  Ref<C_Image> image = C_Image::create();
  image->file_name = t.file("huge.gif");
  image->read_header_info(100, 80);
  Thumbnail_cache cache;
  Fitted_decodes cells(MEDIUM, true);
  ASSERT_TRUE(cells.takes(image, 100, 80));
  cells.want(image, 100, 80, false);
  ASSERT_TRUE(brek_test::wait_until([&] {
    cells.step(cache);
    return !cells.busy();
  }));
  EXPECT_FALSE(cache.kept_for(image.get(), 100, 80, MEDIUM, true).is_none());
  EXPECT_FALSE(cache.kept_for(image.get(), 100, 80, MEDIUM, false).is_none());

  Ref<C_Image> clear = C_Image::create();
  ASSERT_TRUE(cache.keep(clear, ramps(50, 40), MEDIUM, true));
  EXPECT_FALSE(cache.kept_for(clear.get(), 50, 40, MEDIUM, true).is_none());
  EXPECT_TRUE(cache.kept_for(clear.get(), 50, 40, MEDIUM, false).is_none());
}
