#include "drawing/select_dir.h"

#include <algorithm>
#include <cmath>

#include "baselib/bounded_ask.h"
#include "baselib/file_path.h"
#include "baselib/localize_str.h"
#include "baselib/sorting.h"
#include "baselib/string_functions.h"
#include "baselib/system_functions.h"
#include "forms/dialog_file.h"
#include "platform/mount_table.h"
#include "runtime/strings.h"

namespace brek {

namespace {

bool ends_with_separator(const std::string& s) { return !s.empty() && s.back() == '/'; }

std::string with_separator(const std::string& s) { return ends_with_separator(s) ? s : s + "/"; }

DynAStr sorted(DynAStr list) {
  C_Sorting::sort_part(list);
  return list;
}

// The entries of a directory in byte order.
DynAStr sorted_entries(const std::string& dir) {
  DynAStr list;
  File_path::list_directory(dir, list);
  return sorted(list);
}

}  // namespace

void C_Select_dir::init() {
  C_Dialog::init();
  if (is_none()) return;
  Ref<C_Form> self(this);
  new_column("COL_TREE", layout_on_form::CENTER, St_sizes_col__C_Form());
  tree = C_Paint_tree::new_tree(self, "DIRS", "V");
  tree->set_stretch(true);
  new_column("COL_BUTTONS", layout_on_form::BOTTOM, St_sizes_col__C_Form());
  ok_button = C_Button::new_on_form(self, "OK", Localize_str::text(lng::Select_directory_dialog::OK));
  // Its enabled state is asked of control_query at every relayout.
  layout_lists[0].append(ok_button);
  ok_button->set_default();
  cancel_button_ = C_Button::new_on_form(self, "CANCEL", Localize_str::text(lng::Select_directory_dialog::Cancel));
  cancel_button_->set_cancel();
  fill_tree();
}

void C_Select_dir::destroy_hook() {
  if (!is_none()) {
    ok_button.reset();
    cancel_button_.reset();
    tree.reset();
  }
  C_Dialog::destroy_hook();
}

bool C_Select_dir::is_windows() {
  if (windows_index == -2) {
    const std::string d = Brek_runtime::lower_case(System_functions::platform_description());
    const size_t at = d.find("windows");
    windows_index = at == std::string::npos ? -1 : static_cast<int64_t>(at);
  }
  return windows_index >= 0;
}

std::string C_Select_dir::path_of_node(int64_t node) {
  std::string path;
  int64_t i = node;
  // A broken parent chain cannot run for ever.
  for (int64_t steps = 0; steps <= tree->line_count() + 1 && i >= 1; ++steps) {
    const St_tree_node__C_Paint_tree n = tree->get_node(i);
    path = path.empty() ? n.text : n.text + NATIVE_String_functions::path_separator() + path;
    i = n.parent;
  }
  return path;
}

bool C_Select_dir::skipped_remote(const std::string& path) const {
  if (include_remote || remote_roots_.empty()) return false;
  return remote_roots_.count(File_path::without_trailing_separator(path)) != 0;
}

void C_Select_dir::expand_node(const std::string& path, int64_t node) {
  if (is_none()) return;
  const std::string dir = with_separator(path);
  const bool windows = is_windows();
  DynAStr listed;
  if (!ahead_.list(dir, listed)) {
    tree->collapse(node);
    return;
  }
  const DynAStr entries = sorted(listed);
  for (int64_t k = 0; k < entries.count(); ++k) {
    const std::string e = entries.get(k);
    if (!ends_with_separator(e)) continue;
    const std::string name = e.substr(0, e.size() - 1);
    if (!windows && !name.empty() && name[0] == '.' && !show_hidden) continue;
    // A mount point is not asked for its attributes, which a mount that
    // does not answer would never give: here its name says it is hidden.
    if (!(show_hidden && show_system) && !ahead_.is_mount_point(dir + name)) {
      // Asked as the listing was: its mount may have stopped since.
      const std::string path = dir + name;
      const int64_t attributes =
          Bounded_ask::ask<int64_t>(path, [path] { return File_path::file_info(path).attributes; }).value_or(0);
      if ((attributes & File_path::ATTR_HIDDEN) && !show_hidden) continue;
      if ((attributes & File_path::ATTR_SYSTEM) && !show_system) continue;
    }
    if (skipped_remote(dir + name)) continue;
    tree->add_node(name, static_cast<int32_t>(node), -1);
  }
  tree->collapse(node);
}

void C_Select_dir::fill_tree() {
  if (is_none()) return;
  Ref<C_Select_dir> keep(this);
  tree->clear();
  remote_roots_.clear();
  const std::vector<brek_platform::Volume> volumes = brek_platform::mounted_volumes();
  ahead_.set_mounts(volumes);
  if (!include_remote)
    for (const brek_platform::Volume& v : volumes)
      if (Drives::type_of_volume(v.file_system, v.root) == drive_type::REMOTE)
        remote_roots_.insert(File_path::without_trailing_separator(v.root));
  const std::string sep = NATIVE_String_functions::path_separator();
  if (is_windows()) {
    const std::string letters = Drives::logical_drives();
    for (char letter : letters) {
      const std::string drive(1, letter);
      if (!include_remote && Drives::drive_type(drive) == drive_type::REMOTE) continue;
      tree->add_node(drive + ":", 0, -1);
    }
    tree->expand_all();
    for (int64_t k = 0; k < tree->top_nodes.count(); ++k) {
      const int64_t node = tree->top_node(k);
      const std::string text = tree->get_node(node).text;
      if (!File_path::directory_exists(text + sep)) continue;
      expand_node(text + sep, node);
      tree->collapse(node);
    }
  } else {
    DynAStr entries = sorted_entries(sep);
    for (int64_t k = 0; k < entries.count(); ++k) {
      const std::string e = entries.get(k);
      if (!ends_with_separator(e)) continue;
      const std::string name = e.substr(0, e.size() - 1);
      if (!name.empty() && name[0] == '.' && !show_hidden) continue;
      if (skipped_remote(sep + name)) continue;
      tree->add_node(sep + name, 0, -1);
    }
    tree->expand_all();
    for (int64_t k = 0; k < tree->top_nodes.count(); ++k) {
      const int64_t node = tree->top_node(k);
      expand_node(tree->get_node(node).text + sep, node);
      tree->collapse(node);
    }
  }
  set_caption(title.empty() ? Localize_str::text(lng::Select_directory_dialog::Select_directory) : title);
  creating = 0;
  relayout();
}

void C_Select_dir::on_mouse_up() {
  C_Dialog::on_mouse_up();
  const int64_t f = tree->focused;
  if (f < 1 || !tree->is_expanded(f)) return;
  ahead_.set_mounts(brek_platform::mounted_volumes());
  const DynAInt children = tree->get_node(f).children;
  for (int64_t k = 0; k < children.count(); ++k) {
    const int64_t child = children.get(k);
    if (!tree->has_children(child)) expand_node(path_of_node(child), child);
  }
}

void C_Select_dir::on_click() {
  const std::string name = event_control_name();
  if (name == "OK") {
    result_dir = path_of_node(tree->focused);
    close_with("OK");
  } else if (name == "CANCEL") {
    close_with("CANCEL");
  }
}

bool C_Select_dir::on_wheel() {
  const double amount = -wheel_delta();
  if (!std::isfinite(amount)) return false;
  int64_t n = Brek_runtime::round_to_int64_checked(amount);
  if (n == 0) n = amount > 0 ? 1 : (amount < 0 ? -1 : 0);
  const int64_t first = tree->first_visible_line();
  // The last page stays full: the end of a long list is reached, not passed.
  const int64_t last_first = std::max<int64_t>(0, tree->visible_count(0) - tree->page_lines());
  const int64_t target = std::clamp<int64_t>(first + n, 0, last_first);
  if (target != first) {
    tree->set_first_line(target);
    tree->invalidate_all();
  }
  return false;
}

bool C_Select_dir::control_query() {
  // Node 0 names no node; the first node of the tree is 1.
  return current_control().get() == ok_button.get() && tree->focused < 1;
}

}  // namespace brek
