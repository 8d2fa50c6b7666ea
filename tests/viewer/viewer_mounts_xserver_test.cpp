// The viewer over a folder that holds a mount whose daemon does not
// answer, on a real X server: the window goes on answering, the rest of
// the tree is listed, the title names the mount, and the mount is listed
// once it answers.

#include <gtest/gtest.h>

#include <filesystem>
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

constexpr int VK_RETURN = 13, VK_PGUP = 33, VK_PGDN = 34, VK_F5 = 116, VK_F6 = 117;

// A folder of pictures ("a-pictures", n of them, w x h pixels) beside a
// stalled mount that holds `on_mount` pictures (the first "m.bmp"); the
// mount's own folder holds them too, as any folder of the tree.
struct Tree_with_a_stalled_mount {
  explicit Tree_with_a_stalled_mount(int n, int on_mount = 1, int w = 40, int h = 30) {
    fs::create_directory(top.file("a-pictures"));
    for (int i = 0; i < n; ++i)
      EXPECT_TRUE(write_bmp(quadrants(w, h), top.file("a-pictures/p" + std::to_string(100 + i) + ".bmp")));
    brek_test::Env_guard here("TMPDIR", top.path());
    stalled = std::make_unique<brek_test::Stalled_mount>();
    if (!stalled->mounted()) return;
    for (int i = 0; i < on_mount; ++i) {
      const std::string name = i == 0 ? "m.bmp" : "m" + std::to_string(100 + i) + ".bmp";
      EXPECT_TRUE(write_bmp(quadrants(w, h), stalled->source_file(name)));
    }
  }
  // Entries of the list below the mount.
  static int64_t below(const Ref<Test_viewer>& v, const std::string& mount) {
    int64_t n = 0;
    for (const Ref<C_Image>& e : v->files) n += e->file_name.rfind(mount + "/", 0) == 0;
    return n;
  }
  brek_test::Temp_dir top;
  std::unique_ptr<brek_test::Stalled_mount> stalled;
};

// How often the text holds what.
size_t occurrences(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

}  // namespace

TEST(ViewerMounts, AFolderHoldingAStalledMountIsListedWithoutIt) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  const int n = 40;
  Tree_with_a_stalled_mount tree(n);
  if (!tree.stalled->mounted()) GTEST_SKIP() << tree.stalled->failure();
  const std::string mount = tree.stalled->path();
  Viewer_on_screen<Test_viewer> s(rect{20, 20, 600, 400});
  s.v->show();
  const auto told = [&] { return occurrences(s.v->get_caption(), mount) == 1; };
  bool listed = false, answered = false, again = false;
  EXPECT_TRUE(tree.stalled->ends_while_stalled([&] {
    s.v->open_dir(tree.top.path());
    // The pictures beside the mount, and the one of its daemon's folder.
    listed = s.loop_until([&] { return s.v->files.count() == n + 1 && told(); });
    // The window answers its keys meanwhile: Return shows the current
    // picture alone.
    te::post_task([&] { te::key(s.v->native, VK_RETURN); });
    answered = s.loop_until([&] { return s.v->single_mode; });
    // F5 lists the tree again, without waiting for the mount again.
    te::post_task([&] { te::key(s.v->native, VK_RETURN); });
    s.loop_until([&] { return !s.v->single_mode; });
    te::post_task([&] { te::key(s.v->native, VK_F5); });
    again = s.loop_until([&] { return s.v->files.count() == n + 1 && told(); });
  }));
  EXPECT_TRUE(listed) << s.v->get_caption();
  EXPECT_TRUE(answered);
  EXPECT_TRUE(again) << s.v->get_caption();
  EXPECT_EQ(Tree_with_a_stalled_mount::below(s.v, mount), 0);
  EXPECT_FALSE(te::modal_window_open());

  // Once it answers, its picture joins the list and the title no longer
  // names it.
  tree.stalled->resume();
  EXPECT_TRUE(s.loop_until([&] { return Tree_with_a_stalled_mount::below(s.v, mount) == 1; }));
  EXPECT_TRUE(s.loop_until([&] { return occurrences(s.v->get_caption(), mount) == 0; })) << s.v->get_caption();
  EXPECT_EQ(s.v->files.count(), n + 2);
}

// The move window with a target on a stalled mount: it shows, lists its
// other targets and names the mount that does not answer; a move there
// says so and leaves the picture, a move to another target goes on.
TEST(ViewerMounts, AMoveTargetOnAStalledMountIsToldAndTheOthersServe) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  brek_test::Temp_dir parent, from, to;
  brek_test::Env_guard here("TMPDIR", parent.path());
  brek_test::Stalled_mount stalled;
  if (!stalled.mounted()) GTEST_SKIP() << stalled.failure();
  const std::string mount = stalled.path();
  ASSERT_TRUE(write_bmp(quadrants(40, 30), from.file("a.bmp")));
  ASSERT_TRUE(write_bmp(quadrants(40, 30), to.file("t.bmp")));
  ASSERT_TRUE(write_config_file("Collage_viewer/Collage_viewer.conf",
                                "[Move_to_dirs]\n1 = \"" + mount + "\"\n2 = \"" + to.path() + "\"\n"));
  Viewer_on_screen<Test_viewer> s(rect{20, 20, 500, 360});
  s.v->open_file(from.file("a.bmp"));
  s.v->show();
  ASSERT_TRUE(te::wait_exposed(s.v->native));

  Ref<C_Move_to_dirs> w;
  bool shown = false, told = false, chosen = false;
  std::string said;
  te::File_dialog_seen seen;
  brek_platform::Key_modifiers ctrl;
  ctrl.ctrl = true;
  EXPECT_TRUE(stalled.ends_while_stalled([&] {
    te::post_task([&] { te::key(s.v->native, VK_F6); });
    shown = s.loop_until([&] {
      w = s.v->collage->move_dialog;
      return !w.is_none() && w->target(2).listed && w->target(2).images.count() == 1;
    });
    if (!shown) return;
    te::answer_next_message(true, nullptr, &said);
    te::post_task([&] { te::key(w->native, '1', {}, "1"); });
    told = s.loop_until([&] { return !said.empty(); });
    te::post_task([&] { te::key(w->native, '2', {}, "2"); });
    s.loop_until([&] { return fs::exists(to.file("a.bmp")); });
    // Choosing another folder for it starts where the viewer is.
    te::answer_next_file_dialog(false, {}, &seen);
    te::post_task([&] { te::key(w->native, '1', ctrl, "1"); });
    chosen = s.loop_until([&] { return !seen.directory.empty(); });
  }));
  ASSERT_TRUE(shown);
  EXPECT_TRUE(w->target(1).unanswered);
  EXPECT_TRUE(told);
  EXPECT_TRUE(chosen);
  EXPECT_EQ(seen.directory, from.path());
  EXPECT_NE(said.find(mount), std::string::npos) << said;
  EXPECT_NE(said.find("does not answer"), std::string::npos) << said;
  EXPECT_FALSE(fs::exists(from.file("a.bmp")));
  EXPECT_TRUE(fs::exists(to.file("a.bmp")));
}

// A picture shown alone from a mount that then stops answering: the
// window goes on answering and its title names the mount, in the single
// view and back in the folder's view, where its picture stays listed.
TEST(ViewerMounts, APictureShownFromAMountThatStopsAnsweringLeavesTheWindowAnswering) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  Tree_with_a_stalled_mount tree(4);
  if (!tree.stalled->mounted()) GTEST_SKIP() << tree.stalled->failure();
  const std::string mount = tree.stalled->path();
  tree.stalled->resume();
  Viewer_on_screen<Test_viewer> s(rect{20, 20, 600, 400});
  s.v->show();
  s.v->open_dir(tree.top.path());
  ASSERT_TRUE(s.loop_until([&] { return Tree_with_a_stalled_mount::below(s.v, mount) == 1; }));
  s.v->current_file = mount + "/m.bmp";
  te::post_task([&] { te::key(s.v->native, VK_RETURN); });
  ASSERT_TRUE(s.loop_until([&] { return s.v->single_mode && !s.v->current_image()->picture.is_none(); }));

  tree.stalled->stall();
  const auto told = [&] { return occurrences(s.v->get_caption(), mount + " does not answer") == 1; };
  bool alone = false, back = false, in_view = false;
  std::string single_title;
  EXPECT_TRUE(tree.stalled->ends_while_stalled([&] {
    alone = s.loop_until(told);
    single_title = s.v->get_caption();
    te::post_task([&] { te::key(s.v->native, VK_RETURN); });
    back = s.loop_until([&] { return !s.v->single_mode; });
    in_view = s.loop_until(told);
  }));
  EXPECT_TRUE(alone) << single_title;
  EXPECT_NE(single_title.find("m.bmp"), std::string::npos) << single_title;
  EXPECT_TRUE(back);
  EXPECT_TRUE(in_view) << s.v->get_caption();
  EXPECT_EQ(Tree_with_a_stalled_mount::below(s.v, mount), 1);
}

// The pictures of a mount that stops answering once they were listed,
// not yet shown: a jump to them shows their cells without them, the
// window answers and its title names the mount.
TEST(ViewerMounts, CellsOnAMountThatStopsAnsweringAreNotWaitedFor) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  const int n = 30;
  Tree_with_a_stalled_mount tree(n, n, 200, 150);
  if (!tree.stalled->mounted()) GTEST_SKIP() << tree.stalled->failure();
  const std::string mount = tree.stalled->path();
  tree.stalled->resume();
  Viewer_on_screen<Test_viewer> s(rect{20, 20, 600, 400});
  s.v->show();
  s.v->open_dir(tree.top.path());
  ASSERT_TRUE(s.loop_until([&] {
    return Tree_with_a_stalled_mount::below(s.v, mount) == n && s.v->laid_out_count == s.v->files.count();
  }));
  const auto on_mount = [&] { return s.v->current_file.rfind(mount + "/", 0) == 0; };
  for (const Ref<C_Image>& e : s.v->files) {
    const bool shown = !e->picture.is_none() || !e->reduced.is_none();
    ASSERT_FALSE(e->file_name.rfind(mount + "/", 0) == 0 && shown) << e->file_name;
  }
  ASSERT_FALSE(on_mount());

  tree.stalled->stall();
  bool jumped = false, told = false, back = false;
  EXPECT_TRUE(tree.stalled->ends_while_stalled([&] {
    for (int i = 0; i < 4 && !on_mount(); ++i) {
      const std::string before = s.v->current_file;
      te::post_task([&] { te::key(s.v->native, VK_PGDN); });
      s.loop_until([&] { return s.v->current_file != before; });
    }
    jumped = on_mount();
    told = s.loop_until([&] { return occurrences(s.v->get_caption(), mount + " does not answer") == 1; });
    te::post_task([&] { te::key(s.v->native, VK_PGUP); });
    back = s.loop_until([&] { return !on_mount(); });
  }));
  EXPECT_TRUE(jumped);
  EXPECT_TRUE(told) << s.v->get_caption();
  EXPECT_TRUE(back);
}

// The picture shown is on a mount that has stopped answering: Delete and
// a move elsewhere say so and leave it where it is, and Save As starts in
// the pictures folder.
TEST(ViewerMounts, APictureOnAStalledMountIsNeitherDeletedNorMovedWhileItDoesNotAnswer) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  constexpr int VK_DELETE = 46;
  brek_test::Temp_dir parent, to;
  brek_test::Env_guard here("TMPDIR", parent.path());
  brek_test::Stalled_mount stalled;
  if (!stalled.mounted()) GTEST_SKIP() << stalled.failure();
  const std::string mount = stalled.path();
  ASSERT_TRUE(write_bmp(quadrants(40, 30), stalled.source_file("m.bmp")));
  ASSERT_TRUE(write_config_file("Collage_viewer/Collage_viewer.conf", "[Move_to_dirs]\n1 = \"" + to.path() + "\"\n"));
  stalled.resume();
  Viewer_on_screen<Test_viewer> s(rect{20, 20, 500, 360});
  s.v->open_file(mount + "/m.bmp");
  s.v->show();
  ASSERT_TRUE(te::wait_exposed(s.v->native));
  ASSERT_FALSE(s.v->current_image()->picture.is_none());

  stalled.stall();
  std::string deleting, moving;
  bool moved_told = false, save_shown = false;
  te::File_dialog_seen seen;
  brek_platform::Key_modifiers ctrl;
  ctrl.ctrl = true;
  EXPECT_TRUE(stalled.ends_while_stalled([&] {
    te::answer_next_file_dialog(false, {}, &seen);
    te::post_task([&] { te::key(s.v->native, 'S', ctrl, "s"); });
    save_shown = s.loop_until([&] { return !seen.directory.empty(); });
    te::answer_next_message(true, nullptr, &deleting);
    te::post_task([&] { te::key(s.v->native, VK_DELETE); });
    s.loop_until([&] { return !deleting.empty(); });
    te::post_task([&] { te::key(s.v->native, VK_F6); });
    Ref<C_Move_to_dirs> w;
    if (!s.loop_until([&] { return !(w = s.v->collage->move_dialog).is_none() && w->target(1).listed; })) return;
    te::answer_next_message(true, nullptr, &moving);
    te::post_task([&] { te::key(w->native, '1', {}, "1"); });
    moved_told = s.loop_until([&] { return !moving.empty(); });
  }));
  EXPECT_TRUE(save_shown);
  EXPECT_EQ(seen.directory, brek_platform::pictures_folder());
  EXPECT_NE(deleting.find(mount + " does not answer"), std::string::npos) << deleting;
  EXPECT_TRUE(moved_told);
  EXPECT_NE(moving.find(mount + " does not answer"), std::string::npos) << moving;
  EXPECT_TRUE(fs::exists(stalled.source_file("m.bmp")));
  EXPECT_FALSE(fs::exists(to.file("m.bmp")));
}
