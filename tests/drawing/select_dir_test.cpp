// The directory selection dialog over the root directory and a temporary
// tree with hidden folders: listing one level ahead, paths of nodes, the
// OK button's state, the result and the wheel at the end of a long list.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "drawing/select_dir.h"
#include "paint_test_support.h"
#include "platform/control_input.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tmpfs_mount.h"

using namespace paint_test;
namespace fs = std::filesystem;

namespace {

class Select_dir : public Paint_test {
 protected:
  void SetUp() override {
    Paint_test::SetUp();
    for (const char* d : {"a/b/c", ".hidden/x", "z"}) fs::create_directories(tmp.file(d));
    ASSERT_TRUE(brek_test::write_file(tmp.file("a/file.txt"), "x"));
    fs::create_directory_symlink(tmp.file("a"), tmp.file("link"));
    dialog = make<C_Select_dir>();
    set_surface(dialog->tree, 200, 100);
  }
  // The names of a node's children.
  std::vector<std::string> children(int64_t node) {
    std::vector<std::string> out;
    DynAInt kids = dialog->tree->get_node(node).children;
    for (int64_t i = 0; i < kids.count(); ++i) out.push_back(dialog->tree->get_node(kids.get(i)).text);
    return out;
  }
  int64_t child(int64_t node, const std::string& text) {
    DynAInt kids = dialog->tree->get_node(node).children;
    for (int64_t i = 0; i < kids.count(); ++i)
      if (dialog->tree->get_node(kids.get(i)).text == text) return kids.get(i);
    return 0;
  }
  brek_test::Temp_dir tmp;
  Ref<C_Select_dir> dialog;
  using Names = std::vector<std::string>;
};

}  // namespace

TEST_F(Select_dir, TheRootIsListedWithItsSubdirectoriesAhead) {
  EXPECT_FALSE(dialog->is_windows());
  EXPECT_EQ(dialog->windows_index, -1);
  EXPECT_EQ(dialog->get_caption(), "Select directory");
  Names expected;
  for (const auto& e : fs::directory_iterator("/")) {
    std::string name = e.path().filename().string();
    if (e.is_directory() && !e.is_symlink() && name[0] != '.') expected.push_back("/" + name);
  }
  std::sort(expected.begin(), expected.end());
  Names top;
  for (int64_t k = 0; k < dialog->tree->top_nodes.count(); ++k)
    top.push_back(dialog->tree->get_node(dialog->tree->top_node(k)).text);
  EXPECT_EQ(top, expected);
  // Each is closed, with its own subdirectories listed below it.
  const int64_t usr = dialog->tree->top_node(std::find(top.begin(), top.end(), "/usr") - top.begin());
  ASSERT_EQ(dialog->tree->get_node(usr).text, "/usr");
  EXPECT_FALSE(dialog->tree->is_expanded(usr));
  ASSERT_GT(child(usr, "lib"), 0);
  EXPECT_EQ(dialog->path_of_node(child(usr, "lib")), "/usr/lib");
  EXPECT_EQ(dialog->tree->line_count() >= int64_t(top.size()), true);

  // Filling again starts from an empty tree.
  dialog->title = "Where";
  dialog->fill_tree();
  EXPECT_EQ(dialog->tree->top_nodes.count(), int64_t(top.size()));
  EXPECT_EQ(dialog->get_caption(), "Where");
}

TEST_F(Select_dir, HiddenFoldersAndOneLevelAhead) {
  Ref<C_Paint_tree> tree = dialog->tree;
  tree->clear();
  const int32_t top = tree->add_node(tmp.path(), 0, -1);
  dialog->expand_node(tmp.path(), top);
  EXPECT_EQ(children(top), (Names{"a", "z"}));  // no file, no link, nothing hidden
  EXPECT_FALSE(tree->is_expanded(top));

  tree->clear();
  dialog->show_hidden = 1;
  const int32_t again = tree->add_node(tmp.path(), 0, -1);
  dialog->expand_node(tmp.path() + "/", again);
  EXPECT_EQ(children(again), (Names{".hidden", "a", "z"}));

  // The user opens the node: each child gets its own subdirectories.
  const int64_t a = child(again, "a");
  EXPECT_TRUE(children(a).empty());
  tree->expand(again);
  tree->set_focused(again);
  dialog->on_mouse_up();
  EXPECT_EQ(children(a), (Names{"b"}));
  EXPECT_EQ(children(child(again, ".hidden")), (Names{"x"}));
  const int64_t b = child(a, "b");
  EXPECT_TRUE(children(b).empty());  // one level, not more
  EXPECT_EQ(dialog->path_of_node(b), tmp.path() + "/a/b");
  // A closed node opens nothing.
  tree->collapse(again);
  tree->set_focused(a);
  dialog->on_mouse_up();
  EXPECT_TRUE(children(b).empty());
}

TEST_F(Select_dir, OkWaitsForAChoiceAndGivesItsPath) {
  Ref<C_Paint_tree> tree = dialog->tree;
  tree->clear();
  const int32_t first = tree->add_node(tmp.path(), 0, -1);
  ASSERT_EQ(first, 1);
  dialog->expand_node(tmp.path(), first);
  dialog->relayout();
  EXPECT_TRUE(dialog->ok_button->is_disabled());
  // The first node of the tree can be chosen.
  tree->set_focused(first);
  EXPECT_FALSE(dialog->ok_button->is_disabled());

  dialog->result_dir = "kept";
  Event_routing::click(dialog, dialog->cancel_button_, {});
  EXPECT_EQ(dialog->result_text, "CANCEL");
  EXPECT_EQ(dialog->result_dir, "kept");
  dialog->result_set = 0;
  tree->set_focused(child(first, "z"));
  Event_routing::click(dialog, dialog->ok_button, {});
  EXPECT_EQ(dialog->result_text, "OK");
  EXPECT_EQ(dialog->result_dir, tmp.path() + "/z");
}

TEST_F(Select_dir, TheWheelReachesTheEndOfALongList) {
  Ref<C_Paint_tree> tree = dialog->tree;
  tree->clear();
  for (int i = 0; i < 60; ++i) tree->add_node("n" + std::to_string(i), 0, -1);
  const int64_t page = tree->page_lines();
  ASSERT_GT(page, 1);
  ASSERT_LT(page, 60);
  dialog->wheel_amount = -0.25;  // toward the user: down the list, a line a turn
  dialog->on_wheel();
  EXPECT_EQ(tree->first_visible_line(), 1);
  for (int i = 0; i < 100; ++i) dialog->on_wheel();
  EXPECT_EQ(tree->first_visible_line(), 60 - page);
  dialog->wheel_amount = 2.6;  // away: three lines
  dialog->on_wheel();
  EXPECT_EQ(tree->first_visible_line(), 57 - page);
  dialog->wheel_amount = 100;
  dialog->on_wheel();
  EXPECT_EQ(tree->first_visible_line(), 0);
}

TEST_F(Select_dir, RunsModallyOverItsForm) {
  Ref<C_Paint_tree> tree = dialog->tree;
  tree->clear();
  const int32_t top = tree->add_node(tmp.path(), 0, -1);
  dialog->expand_node(tmp.path(), top);
  form->show();
  bp::test_events::post_task([&] {
    tree->set_focused(child(top, "a"));
    bp::user_click(dialog->ok_button->native);
  });
  EXPECT_EQ(dialog->show_modal(form), "OK");
  EXPECT_EQ(dialog->result_dir, tmp.path() + "/a");
  bp::test_events::post_task([&] { bp::test_events::close(dialog->native); });
  EXPECT_EQ(dialog->show_modal(form), "");
  EXPECT_EQ(dialog->result_dir, tmp.path() + "/a");
}

// A mount whose daemon does not answer holds neither the dialog nor the
// user's opening of the folder that holds it: it is shown without its
// folders, while a mount beside it that answers is listed a level ahead as
// any folder.
TEST_F(Select_dir, AMountThatDoesNotAnswerIsShownWithoutItsFolders) {
  // The mounts in a folder at the top of the tree: the system's temporary
  // folder, not the test program's own.
  brek_test::Env_guard top_folder("TMPDIR", "/tmp");
  brek_test::Stalled_mount stalled;
  if (!stalled.mounted()) GTEST_SKIP() << stalled.failure();
  brek_test::Tmpfs_mount answering;
  if (!answering.mounted()) GTEST_SKIP() << answering.failure();
  fs::create_directory(answering.file("inside"));
  const std::string parent = fs::path(stalled.path()).parent_path().string();
  int64_t top = 0;
  EXPECT_TRUE(stalled.ends_while_stalled([&] {
    dialog = make<C_Select_dir>();
    set_surface(dialog->tree, 200, 100);
    for (int64_t k = 0; k < dialog->tree->top_nodes.count(); ++k)
      if (dialog->tree->get_node(dialog->tree->top_node(k)).text == parent) top = dialog->tree->top_node(k);
    if (top == 0) return;
    dialog->tree->expand(top);
    dialog->tree->set_focused(top);
    dialog->on_mouse_up();
  }));
  if (top == 0) GTEST_SKIP() << "the temporary folder " << parent << " is not at the top of the tree";
  const int64_t s = child(top, fs::path(stalled.path()).filename().string());
  ASSERT_GT(s, 0);
  EXPECT_TRUE(children(s).empty());
  const int64_t a = child(top, fs::path(answering.path()).filename().string());
  ASSERT_GT(a, 0);
  EXPECT_EQ(children(a), (Names{"inside"}));
}
