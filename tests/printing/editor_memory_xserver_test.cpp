// The collage print editor next to the viewer on a real X server: its
// cards hold their pictures, and a card deleted lets go of its own.

#include <gtest/gtest.h>

#include "printing/edit_collage_print.h"
#include "tests/viewer/viewer_memory_support.h"
#include "viewer/print_editor_hook.h"

using namespace viewer_test;
namespace te = brek_platform::test_events;

namespace {

// The editor as the program installs it, for the life of a test.
struct Editor_installed {
  Editor_installed() { C_Edit_collage_print::install(); }
  ~Editor_installed() { Print_editor_hook::set_opener(nullptr); }
};

}  // namespace

// Every photograph of a folder made a card with F7 while stepping through
// it, then the folder's view shown again: a card deleted in the editor
// takes its whole picture along, although the viewer still lists the file.
TEST(EditorMemory, ADeletedCardLetsGoOfItsPicture) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  constexpr int N = 6;
  // Each 17 MB in full, which is what a card shows.
  constexpr int64_t PICTURE = int64_t(2400) * 1800 * 4;
  Editor_installed installed;
  Clocked_viewer t;
  ASSERT_TRUE(t.list_folder(N, 2400, 1800, 1));
  ASSERT_TRUE(t.show_first_alone());
  for (int i = 0; i < N; ++i) {
    ASSERT_TRUE(press(t.s.v->native, 118));
    if (i < N - 1) {
      ASSERT_TRUE(press(t.s.v->native, 40));
    }
  }
  Ref<C_Edit_collage_print> editor = C_Edit_collage_print::editor_of(t.s.v);
  ASSERT_EQ(editor->cards.count(), N);
  ASSERT_TRUE(te::wait_exposed(editor->native));
  // Back to the folder, all of whose cells are in view.
  ASSERT_NO_FATAL_FAILURE(t.back_to_folder());
  editor->pbox->invalidate_all();
  te::settle();

  // The third card, chosen from the last by "<" and deleted.
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(press(editor->native, 188, ","));
  ASSERT_EQ(editor->selection.count(), 1);
  ASSERT_EQ(editor->selection.get(0), 2);
  const Ref<C_Image> deleted = editor->cards.get(2).image.lock();
  const int64_t before = resident();
  ASSERT_TRUE(press(editor->native, 46));
  ASSERT_EQ(editor->cards.count(), N - 1);
  const int64_t after = resident();
  EXPECT_TRUE(deleted->picture.is_none());
  if (RESIDENT_SIZE_COUNTS) {
    EXPECT_GT(before - after, PICTURE * 3 / 4) << before / MB << " MB before, " << after / MB << " MB after";
  }
}
