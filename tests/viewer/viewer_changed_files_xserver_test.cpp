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

// A file that changes under the folder's view shows its new picture after
// the folder's next listing: a placeholder of 0 bytes that a download fills
// in place or that a finished file is renamed over, and a picture that
// another of the same size and modification time is renamed over.
TEST(ViewerChangedFiles, AChangedFileShowsItsNewPictureAfterTheNextListing) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  enum class change { FILLED, RENAMED_OVER_EMPTY, RENAMED_OVER_SAME_SIZE_AND_DATE };
  for (change c : {change::FILLED, change::RENAMED_OVER_EMPTY, change::RENAMED_OVER_SAME_SIZE_AND_DATE}) {
    SCOPED_TRACE(int(c));
    Clocked_viewer t;
    const std::string changed = t.dir.file("b.bmp");
    ASSERT_TRUE(write_bmp(Pixels(200, 150, OLIVE), t.dir.file("a.bmp")));
    const bool was_empty = c != change::RENAMED_OVER_SAME_SIZE_AND_DATE;
    ASSERT_TRUE(brek_test::write_file(changed, was_empty ? "" : bmp_bytes(t.dir, OLIVE)));
    const Ref<Test_viewer> v = t.s.v;
    v->open_dir(t.dir.path());
    brek_platform::Decoded_image shot;
    ASSERT_TRUE(t.s.shoot(shot));
    for (int i = 0; i < 50 && v->laid_out_count < 2; ++i) t.tick(200);
    ASSERT_EQ(v->files.count(), 2);
    const int64_t b = v->index_of_file(changed);
    ASSERT_EQ(cell_middle(v, 1 - b), OLIVE);
    ASSERT_EQ(v->files.get(b)->load_failed, was_empty);
    ASSERT_EQ(cell_middle(v, b), was_empty ? BLACK : OLIVE);

    const std::string bytes = bmp_bytes(t.dir, TEAL);
    if (c == change::FILLED) {
      std::ofstream(changed, std::ios::binary | std::ios::app) << bytes;
    } else {
      ASSERT_TRUE(brek_test::write_file(t.dir.file("incoming.tmp"), bytes));
      std::filesystem::last_write_time(t.dir.file("incoming.tmp"), std::filesystem::last_write_time(changed));
      std::filesystem::rename(t.dir.file("incoming.tmp"), changed);
    }
    // Listings come at least every 1.6 s while nothing changes.
    for (int i = 0; i < 100 && cell_middle(v, v->index_of_file(changed)) != TEAL; ++i) t.tick(200);
    EXPECT_EQ(cell_middle(v, v->index_of_file(changed)), TEAL);
  }
}
