// Files that change while their folder is shown on a real X server, the
// background timer on a test clock: the folder's next listing renews them.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/viewer/viewer_memory_support.h"

using namespace viewer_test;

namespace {

constexpr uint32_t OLIVE = 0xFF808000u, TEAL = 0xFF008080u;

// The pixel of the paint box's back buffer at the middle of an entry's
// cell.
uint32_t cell_middle(const Ref<Test_viewer>& v, int64_t i) {
  const rect c = v->files.get(i)->rect;
  const Pixels* p = v->pb->back_buffer->pixels();
  if (!p || c.w < 4 || c.h < 4) return 0;
  return p->at(int(c.x + c.w / 2), int(c.y + c.h / 2 - v->scroll_y)) | 0xFF000000u;
}

// The bytes of a BMP file of one colour.
std::string bmp_bytes(const brek_test::Temp_dir& dir, uint32_t colour) {
  const std::string path = dir.file("picture.bin");
  EXPECT_TRUE(write_bmp(Pixels(200, 150, colour), path));
  const std::string bytes = brek_test::read_file(path);
  std::filesystem::remove(path);
  return bytes;
}

}  // namespace

// A placeholder of 0 bytes that a download fills in place, or that a
// finished file is renamed over, shows the picture after the folder's next
// listing; it used to keep its black, failed cell until the folder was
// opened again.
TEST(ViewerChangedFiles, AnEmptyFileFilledOrRenamedOverShowsItsPicture) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  for (bool renamed : {false, true}) {
    SCOPED_TRACE(renamed ? "a finished file renamed over it" : "filled in place");
    Clocked_viewer t;
    const std::string placeholder = t.dir.file("b.bmp");
    ASSERT_TRUE(write_bmp(Pixels(200, 150, OLIVE), t.dir.file("a.bmp")));
    ASSERT_TRUE(brek_test::write_file(placeholder, ""));
    const Ref<Test_viewer> v = t.s.v;
    v->open_dir(t.dir.path());
    brek_platform::Decoded_image shot;
    ASSERT_TRUE(t.s.shoot(shot));
    for (int i = 0; i < 50 && v->laid_out_count < 2; ++i) t.tick(200);
    ASSERT_EQ(v->files.count(), 2);
    const int64_t b = v->index_of_file(placeholder);
    ASSERT_EQ(cell_middle(v, 1 - b), OLIVE);
    ASSERT_TRUE(v->files.get(b)->load_failed);
    ASSERT_EQ(cell_middle(v, b), BLACK);

    const std::string bytes = bmp_bytes(t.dir, TEAL);
    if (renamed) {
      ASSERT_TRUE(brek_test::write_file(t.dir.file("incoming.tmp"), bytes));
      std::filesystem::rename(t.dir.file("incoming.tmp"), placeholder);
    } else {
      std::ofstream(placeholder, std::ios::binary | std::ios::app) << bytes;
    }
    // Listings come at least every 1.6 s while nothing changes.
    for (int i = 0; i < 100 && cell_middle(v, v->index_of_file(placeholder)) != TEAL; ++i) t.tick(200);
    EXPECT_EQ(cell_middle(v, v->index_of_file(placeholder)), TEAL);
  }
}
