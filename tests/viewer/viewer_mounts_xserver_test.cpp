// The viewer over a folder that holds a mount whose daemon does not
// answer, on a real X server: the window goes on answering, the rest of
// the tree is listed, the title names the mount, and the mount is listed
// once it answers; pictures, moves, deletes and dialogs there wait for
// nothing.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "platform/file_dialog.h"
#include "platform/test_events.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tmpfs_mount.h"
#include "tests/viewer/viewer_on_screen.h"
#include "viewer/move_to_dirs.h"

using namespace viewer_test;
namespace fs = std::filesystem;
namespace te = brek_platform::test_events;

namespace {

constexpr int VK_RETURN = 13, VK_PGUP = 33, VK_PGDN = 34, VK_DELETE = 46, VK_F5 = 116, VK_F6 = 117;

// In the folder `top`: "a-pictures" with n pictures and a stalled mount
// with `on_mount` of them ("m.bmp" first), which its daemon's folder, a
// folder of the tree too, holds as well; the viewer on the screen.
class ViewerMounts : public ::testing::Test {
 protected:
  // A skip here ends the test before its body.
  void SetUp() override {
    if (!have_display()) GTEST_SKIP() << "no X server";
    brek_test::Env_guard here("TMPDIR", top.path());
    stalled = std::make_unique<brek_test::Stalled_mount>();
    if (!stalled->mounted()) GTEST_SKIP() << stalled->failure();
    mount = stalled->path();
  }
  void make(int n, int on_mount, int w = 40, int h = 30) {
    fs::create_directory(top.file("a-pictures"));
    for (int i = 0; i < n; ++i)
      ASSERT_TRUE(write_bmp(quadrants(w, h), top.file("a-pictures/p" + std::to_string(100 + i) + ".bmp")));
    for (int i = 0; i < on_mount; ++i)
      ASSERT_TRUE(write_bmp(quadrants(w, h), stalled->source_file(i ? "m" + std::to_string(100 + i) + ".bmp" : "m.bmp")));
    s = std::make_unique<Viewer_on_screen<Test_viewer>>(rect{20, 20, 600, 400});
    s->v->show();
    ASSERT_TRUE(te::wait_exposed(s->v->native));
  }
  // A key typed into a window (the viewer's unless named); whether
  // `until` came true then.
  bool key(int vk, const std::function<bool()>& until, brek_platform::Native_handle to = 0,
           const std::string& text = "", bool ctrl = false) {
    brek_platform::Key_modifiers mods;
    mods.ctrl = ctrl;
    te::post_task([=, this] { te::key(to ? to : s->v->native, vk, mods, text); });
    return s->loop_until(until);
  }
  // The message a key brings up.
  std::string message_after(int vk, brek_platform::Native_handle to = 0, const std::string& text = "") {
    std::string said;
    te::answer_next_message(true, nullptr, &said);
    key(vk, [&] { return !said.empty(); }, to, text);
    return said;
  }
  // The move window once it shows, its target n listed.
  Ref<C_Move_to_dirs> move_window(int64_t n) {
    Ref<C_Move_to_dirs> w;
    key(VK_F6, [&] { return !(w = s->v->collage->move_dialog).is_none() && w->target(n).listed; });
    return w;
  }
  bool on_mount(const std::string& file) const { return file.rfind(mount + "/", 0) == 0; }
  int64_t listed_on_mount() const {
    int64_t k = 0;
    for (const Ref<C_Image>& e : s->v->files) k += on_mount(e->file_name);
    return k;
  }
  // How often the title names the mount as not answering.
  size_t told() const {
    const std::string title = s->v->get_caption(), what = mount + " does not answer";
    size_t k = 0;
    for (size_t at = title.find(what); at != std::string::npos; at = title.find(what, at + 1)) ++k;
    return k;
  }
  // The tree opened and listed whole while the mount answers.
  void listed_answering(int64_t on) {
    stalled->resume();
    s->v->open_dir(top.path());
    ASSERT_TRUE(s->loop_until([&] { return listed_on_mount() == on && s->v->laid_out_count == s->v->files.count(); }));
  }

  brek_test::Temp_dir top;
  std::unique_ptr<brek_test::Stalled_mount> stalled;
  std::string mount;
  std::unique_ptr<Viewer_on_screen<Test_viewer>> s;
};

}  // namespace

TEST_F(ViewerMounts, AFolderHoldingAStalledMountIsListedWithoutIt) {
  const int n = 40;
  ASSERT_NO_FATAL_FAILURE(make(n, 1));
  bool listed = false, answered = false, again = false;
  EXPECT_TRUE(stalled->ends_while_stalled([&] {
    s->v->open_dir(top.path());
    // The pictures beside the mount, and the one of its daemon's folder.
    listed = s->loop_until([&] { return s->v->files.count() == n + 1 && told() == 1; });
    // Meanwhile Return shows the current picture alone and goes back, and
    // F5 lists the tree again without waiting for the mount again.
    answered = key(VK_RETURN, [&] { return s->v->single_mode; }) && key(VK_RETURN, [&] { return !s->v->single_mode; });
    again = key(VK_F5, [&] { return s->v->files.count() == n + 1 && told() == 1; });
  }));
  EXPECT_TRUE(listed) << s->v->get_caption();
  EXPECT_TRUE(answered);
  EXPECT_TRUE(again) << s->v->get_caption();
  EXPECT_EQ(listed_on_mount(), 0);
  EXPECT_FALSE(te::modal_window_open());

  // Once it answers, its picture joins the list and the title names it
  // no more.
  stalled->resume();
  EXPECT_TRUE(s->loop_until([&] { return listed_on_mount() == 1 && told() == 0; })) << s->v->get_caption();
  EXPECT_EQ(s->v->files.count(), n + 2);
}

// The move window with a target on a stalled mount shows, lists its
// other targets and marks that one; a move there says so and leaves the
// picture, a move to another target goes on, and choosing another folder
// for that target starts where the viewer is.
TEST_F(ViewerMounts, AMoveTargetOnAStalledMountIsToldAndTheOthersServe) {
  ASSERT_NO_FATAL_FAILURE(make(1, 0));
  const std::string from = top.file("a-pictures"), to = top.file("to");
  fs::create_directory(to);
  ASSERT_TRUE(write_bmp(quadrants(40, 30), to + "/t.bmp"));
  ASSERT_TRUE(write_config_file("Collage_viewer/Collage_viewer.conf",
                                "[Move_to_dirs]\n1 = \"" + mount + "\"\n2 = \"" + to + "\"\n"));
  s->v->open_file(from + "/p100.bmp");
  Ref<C_Move_to_dirs> w;
  std::string said;
  te::File_dialog_seen seen;
  EXPECT_TRUE(stalled->ends_while_stalled([&] {
    w = move_window(2);
    if (w.is_none()) return;
    said = message_after('1', w->native, "1");
    key('2', [&] { return fs::exists(to + "/p100.bmp"); }, w->native, "2");
    te::answer_next_file_dialog(false, {}, &seen);
    key('1', [&] { return !seen.directory.empty(); }, w->native, "1", true);
  }));
  ASSERT_FALSE(w.is_none());
  EXPECT_TRUE(w->target(1).unanswered);
  EXPECT_NE(said.find(mount + " does not answer"), std::string::npos) << said;
  EXPECT_TRUE(fs::exists(to + "/p100.bmp"));
  EXPECT_EQ(seen.directory, from);
}

// A picture shown alone from a mount that then stops answering: the
// window goes on answering and its title names the mount, in the single
// view and back in the folder's view, where its picture stays listed.
TEST_F(ViewerMounts, APictureShownFromAMountThatStopsAnsweringLeavesTheWindowAnswering) {
  ASSERT_NO_FATAL_FAILURE(make(4, 1));
  listed_answering(1);
  s->v->current_file = mount + "/m.bmp";
  ASSERT_TRUE(key(VK_RETURN, [&] { return s->v->single_mode && !s->v->current_image()->picture.is_none(); }));

  stalled->stall();
  bool alone = false, back = false;
  std::string single_title;
  EXPECT_TRUE(stalled->ends_while_stalled([&] {
    alone = s->loop_until([&] { return told() == 1; });
    single_title = s->v->get_caption();
    back = key(VK_RETURN, [&] { return !s->v->single_mode && told() == 1; });
  }));
  EXPECT_TRUE(alone);
  EXPECT_NE(single_title.find("m.bmp"), std::string::npos) << single_title;
  EXPECT_TRUE(back) << s->v->get_caption();
  EXPECT_EQ(listed_on_mount(), 1);
}

// The pictures of a mount that stops answering once they were listed,
// not yet shown: a jump to them shows their cells without them, the
// window answers and its title names the mount.
TEST_F(ViewerMounts, CellsOnAMountThatStopsAnsweringAreNotWaitedFor) {
  const int n = 30;
  ASSERT_NO_FATAL_FAILURE(make(n, n, 200, 150));
  listed_answering(n);
  for (const Ref<C_Image>& e : s->v->files)
    ASSERT_FALSE(on_mount(e->file_name) && !(e->picture.is_none() && e->reduced.is_none())) << e->file_name;
  ASSERT_FALSE(on_mount(s->v->current_file));

  stalled->stall();
  bool jumped = false, titled = false, back = false;
  EXPECT_TRUE(stalled->ends_while_stalled([&] {
    for (int i = 0; i < 4 && !on_mount(s->v->current_file); ++i) {
      const std::string before = s->v->current_file;
      key(VK_PGDN, [&] { return s->v->current_file != before; });
    }
    jumped = on_mount(s->v->current_file);
    titled = s->loop_until([&] { return told() == 1; });
    back = key(VK_PGUP, [&] { return !on_mount(s->v->current_file); });
  }));
  EXPECT_TRUE(jumped);
  EXPECT_TRUE(titled) << s->v->get_caption();
  EXPECT_TRUE(back);
}

// The picture shown is on a mount that has stopped answering: Save As
// starts in the pictures folder, and Delete and a move elsewhere say so
// and leave it where it is.
TEST_F(ViewerMounts, APictureOnAStalledMountIsNeitherDeletedNorMovedWhileItDoesNotAnswer) {
  ASSERT_NO_FATAL_FAILURE(make(0, 1));
  const std::string to = top.file("to");
  fs::create_directory(to);
  ASSERT_TRUE(write_config_file("Collage_viewer/Collage_viewer.conf", "[Move_to_dirs]\n1 = \"" + to + "\"\n"));
  stalled->resume();
  s->v->open_file(mount + "/m.bmp");
  ASSERT_FALSE(s->v->current_image()->picture.is_none());

  stalled->stall();
  std::string deleting, moving;
  te::File_dialog_seen seen;
  EXPECT_TRUE(stalled->ends_while_stalled([&] {
    te::answer_next_file_dialog(false, {}, &seen);
    key('S', [&] { return !seen.directory.empty(); }, 0, "s", true);
    deleting = message_after(VK_DELETE);
    if (Ref<C_Move_to_dirs> w = move_window(1); !w.is_none()) moving = message_after('1', w->native, "1");
  }));
  EXPECT_EQ(seen.directory, brek_platform::pictures_folder());
  EXPECT_NE(deleting.find(mount + " does not answer"), std::string::npos) << deleting;
  EXPECT_NE(moving.find(mount + " does not answer"), std::string::npos) << moving;
  EXPECT_TRUE(fs::exists(stalled->source_file("m.bmp")));
  EXPECT_FALSE(fs::exists(to + "/m.bmp"));
}
