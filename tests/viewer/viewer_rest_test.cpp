// A view at rest: once everything it waited for has come, only the
// window's background tick (200 ms: the listing, a changed file) wakes it.
// Timers that stepped a worker stop when nothing is left to wait for.
#include <gtest/gtest.h>

#include <fstream>

#include "forms/timer_ticks.h"
#include "images/jpeg_codec.h"
#include "runtime/clock.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"
#include "tests/viewer/viewer_input_support.h"

using namespace viewer_input;

namespace {

// The window's timers ticked on the test clock for `ms`, 10 ms a step:
// how many ticks came.
int64_t ticks_over(Brek_runtime::Test_clock& clock, int64_t ms) {
  int64_t n = 0;
  for (int64_t t = 0; t < ms; t += 10) {
    clock.advance(10);
    n += Timer_ticks::run_due(clock.ticks());
  }
  return n;
}

// What a second at rest may bring: the background tick, five times.
constexpr int64_t TICKS_A_SECOND_AT_REST = 5;

}  // namespace

// A huge GIF's cell is read on the cells' worker, its timer stepping it;
// once the picture came, that timer stops.
TEST(ViewerAtRest, AFolderViewWhoseHugePictureCameWakesOnlyForItsBackgroundTick) {
  Brek_runtime::Test_clock clock;
  brek_test::Temp_dir dir;
  ASSERT_TRUE(brek_test::write_file(dir.file("a.gif"), one_colour_gif(2100, 2100)));
  picture(dir.file("b.bmp"));
  Input_box b;
  Ref<Test_viewer> v = show_folder(b, dir.path(), 4);
  const Ref<C_Image> e = v->files.get(0);
  b.paint();
  ASSERT_TRUE(v->cell_decodes.wanted(e));
  ASSERT_TRUE(brek_test::wait_until([&] {
    ticks_over(clock, 20);
    b.paint();
    return !v->cell_decodes.wanted(e) && b.at(int(e->rect.x + e->rect.w / 2), int(e->rect.y + e->rect.h / 2)) == RED;
  }));
  EXPECT_LE(ticks_over(clock, 1000), TICKS_A_SECOND_AT_REST);
}

// A large JPEG at its own size shows its part first while its whole
// picture is read on a worker, a timer watching it; once the picture came,
// that timer stops.
TEST(ViewerAtRest, ASingleViewAtItsOwnSizeWakesOnlyForItsBackgroundTickOnceTheWholePictureCame) {
  Brek_runtime::Test_clock clock;
  brek_test::Temp_dir dir;
  std::vector<uint8_t> jpeg;
  ASSERT_TRUE(Jpeg_codec::encode(quadrants(1600, 1200), 90, jpeg));
  std::ofstream(dir.file("a.jpg"), std::ios::binary)
      .write(reinterpret_cast<const char*>(jpeg.data()), std::streamsize(jpeg.size()));
  Input_box b(400, 300);
  Ref<Test_viewer> v = b.v;
  v->open_file(dir.file("a.jpg"));
  v->pointer = {137, 91};
  b.paint();
  const Ref<C_Image> im = v->current_image();
  ASSERT_FALSE(v->fit_mode);
  ASSERT_TRUE(im->picture.is_none());
  ASSERT_TRUE(brek_test::wait_until([&] {
    ticks_over(clock, 10);
    return !im->picture.is_none();
  }));
  EXPECT_LE(ticks_over(clock, 1000), TICKS_A_SECOND_AT_REST);
}
