// The viewer over a folder that holds a mount whose daemon does not
// answer, on a real X server: the window goes on answering, the rest of
// the tree is listed, the title names the mount, and the mount is listed
// once it answers.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "platform/test_events.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tmpfs_mount.h"
#include "tests/viewer/viewer_on_screen.h"

using namespace viewer_test;
namespace fs = std::filesystem;
namespace te = brek_platform::test_events;

namespace {

constexpr int VK_RETURN = 13, VK_F5 = 116;

// A folder of pictures ("pictures", n of them) beside a stalled mount
// that holds one picture; the mount's own folder holds that picture too,
// as any folder of the tree.
struct Tree_with_a_stalled_mount {
  explicit Tree_with_a_stalled_mount(int n) {
    fs::create_directory(top.file("pictures"));
    for (int i = 0; i < n; ++i)
      EXPECT_TRUE(write_bmp(quadrants(40, 30), top.file("pictures/p" + std::to_string(100 + i) + ".bmp")));
    brek_test::Env_guard here("TMPDIR", top.path());
    stalled = std::make_unique<brek_test::Stalled_mount>();
    if (stalled->mounted()) {
      EXPECT_TRUE(write_bmp(quadrants(40, 30), stalled->source_file("m.bmp")));
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
