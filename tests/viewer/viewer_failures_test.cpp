// Saves and moves that the file system refuses, on real file systems: a
// small tmpfs filled up and a read-only one. The message says why, and
// nothing is left behind.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "baselib/file_path.h"
#include "images/format_classes.h"
#include "platform/test_events.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tmpfs_mount.h"
#include "tests/viewer/viewer_input_support.h"
#include "viewer/move_to_dirs.h"

using namespace viewer_input;
namespace te = brek_platform::test_events;

namespace {

constexpr int VK_F2 = 113, VK_F6 = 117;

// A picture, a full disk and a read-only one for the life of the test,
// which is skipped where they cannot be mounted.
class ViewerFailures : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!full.mounted() || !locked.make_read_only())
      GTEST_SKIP() << "cannot mount a small tmpfs here, nor make one read-only (needs root)";
    picture(photo, 200, 150);
    fill_disk(full.path());
  }
  brek_test::Temp_dir dir;
  std::string photo = dir.file("photo.bmp");
  brek_test::Tmpfs_mount full, locked;
  // A disk, why the file system refuses a write there, and all it holds.
  struct Refusing {
    const brek_test::Tmpfs_mount& disk;
    std::string reason;
    std::vector<std::string> held;
  };
  const Refusing refusing[2] = {{full, "No space left on device", {"filler"}}, {locked, "Read-only file system", {}}};
};

}  // namespace

// F2 and a name on a full disk or a read-only file system: the message says
// why, the disk keeps no half-written file.
TEST_F(ViewerFailures, ASaveThatTheFileSystemRefusesSaysWhy) {
  Input_box b;
  b.v->open_file(photo);
  for (const Refusing& r : refusing) {
    te::answer_next_file_dialog(true, {r.disk.file("copy.bmp")});
    b.key(VK_F2);
    EXPECT_EQ(b.last_message(), "Save operation failed: " + r.reason);
    EXPECT_EQ(r.disk.entries(), r.held) << r.reason;
  }
  EXPECT_EQ(b.messages.size(), 2u);
}

// A digit in the "Move to dir" window towards a full disk or a read-only
// file system: the message says why and the picture stays where it was.
TEST_F(ViewerFailures, AMoveThatTheFileSystemRefusesSaysWhy) {
  ASSERT_TRUE(write_config_file("Collage_viewer/Collage_viewer.conf",
                                "[Move_to_dirs]\n1 = \"" + full.path() + "\"\n2 = \"" + locked.path() + "\"\n"));
  Input_box b;
  b.v->open_file(photo);
  b.key(VK_F6);
  Ref<C_Move_to_dirs> w = b.v->collage->move_dialog;
  ASSERT_TRUE(w->is_visible());
  b.messages.clear();
  int digit = '1';
  for (const Refusing& r : refusing) {
    Event_routing::key_down(w, Ref<C_Control>(), digit, {});
    Event_routing::key_up(w, Ref<C_Control>(), digit++, {});
    EXPECT_EQ(b.last_message(), "Move operation failed: " + r.reason);
    EXPECT_EQ(r.disk.entries(), r.held) << r.reason;
  }
  EXPECT_TRUE(File_path::file_exists(photo));
  EXPECT_EQ(b.v->current_file, photo);
  EXPECT_EQ(b.messages.size(), 2u);
}

// Auto save onto a disk that filled up or was made read-only after the
// first picture: the message says why, the picture is shown as the unsaved
// picture it is, and Ctrl+S proposes a name that is free there.
TEST_F(ViewerFailures, AnAutoSaveThatTheFileSystemRefusesLeavesThePictureUnsaved) {
  brek_test::Tmpfs_mount filled, locked_later;
  const Refusing spoilt[2] = {{filled, "No space left on device", {"IMG001.jpg", "filler"}},
                              {locked_later, "Read-only file system", {"IMG001.jpg"}}};
  Input_box b;
  b.v->open_file(photo);
  uint32_t colour = 0xFF102030u;
  for (const Refusing& r : spoilt) {
    SCOPED_TRACE(r.reason);
    ASSERT_TRUE(C_Bmp::copy_to_clipboard(flat_picture(60, 40, colour++)));
    b.menu("PASTE");
    te::answer_next_file_dialog(true, {r.disk.file("IMG001.jpg")});
    b.menu("SAVAUTO");
    ASSERT_TRUE(b.v->collage->auto_save);
    if (&r.disk == &filled)
      fill_disk(filled.path());
    else
      ASSERT_TRUE(locked_later.make_read_only());

    ASSERT_TRUE(C_Bmp::copy_to_clipboard(flat_picture(60, 40, colour++)));
    ticks(b.v, 1);
    EXPECT_EQ(b.last_message(), r.disk.file("IMG002.jpg") + ": Save failed: " + r.reason);
    EXPECT_FALSE(b.v->collage->auto_save);
    EXPECT_EQ(b.v->current_file, "<clipboard>");
    const std::string title = b.v->get_caption();
    EXPECT_NE(title.find("<clipboard> 60x40"), std::string::npos) << title;
    EXPECT_EQ(title.find("IMG00"), std::string::npos) << title;

    te::File_dialog_seen seen;
    te::answer_next_file_dialog(false, {}, &seen);
    b.key('S', ctrl());
    EXPECT_EQ(seen.directory, r.disk.path());
    EXPECT_EQ(seen.proposed, "IMG002.jpg");
    EXPECT_EQ(r.disk.entries(), r.held);
  }
}
