#pragma once
// C_Select_dir: the program's own modal dialog for choosing a directory in
// a painted tree. The tree starts with the directories under "/" (drive
// letters on a system that has them) and lists the subdirectories of a
// node one level ahead of what the user has opened, so that every node
// that can be opened shows its mark; a mount that does not answer is shown
// without its folders (drawing/listing_ahead.h). Run it with show_modal:
// "OK" leaves the chosen path in result_dir. A symbolic link is never a
// node (a listing names only directories with a "/"), so the tree has no
// loops; mounts of network file systems are left out unless include_remote.

#include <cstdint>
#include <set>
#include <string>

#include "drawing/listing_ahead.h"
#include "drawing/paint_tree.h"
#include "forms/button.h"
#include "forms/dialog.h"

namespace brek {

class C_Select_dir : public C_Dialog {
  BREK_CLASS(C_Select_dir)
 public:
  C_Select_dir() = default;

  Ref<C_Button> ok_button;
  Ref<C_Button> cancel_button_;
  Ref<C_Paint_tree> tree;
  // Directories on network file systems are listed.
  uint8_t include_remote = 0;
  // Where "windows" stands in the platform description: -2 not looked up,
  // -1 absent.
  int64_t windows_index = -2;
  // The caption; empty: the language text "Select directory".
  std::string title;
  std::string initial_dir;
  // The chosen directory after "OK".
  std::string result_dir;
  // Hidden directories (names beginning with "." here) are listed.
  uint8_t show_hidden = 0;
  uint8_t show_system = 0;

  // The tree "DIRS", the buttons "OK" and "CANCEL", then fill_tree.
  void init() override;
  void destroy_hook() override;
  void on_click() override;
  // Lists the children of the node the user opened one level further.
  void on_mouse_up() override;
  // One line per wheel step at least; never past the last page.
  bool on_wheel() override;
  // "OK" stays disabled until a node is chosen.
  bool control_query() override;

  bool is_windows();
  // The path of a node: its ancestors' texts and its own, joined by the
  // path separator.
  std::string path_of_node(int64_t node);
  // Adds the subdirectories of path under node, then closes the node.
  void expand_node(const std::string& path, int64_t node);
  // The top-level nodes, each listed one level ahead; the caption. Starts
  // from an empty tree, so it can run again after the fields changed.
  void fill_tree();

 private:
  // Whether a directory is to be left out as a mount of a network file
  // system.
  bool skipped_remote(const std::string& path) const;
  std::set<std::string> remote_roots_;
  Listing_ahead ahead_;
};

}  // namespace brek
