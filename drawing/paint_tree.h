#pragma once
// C_Paint_tree: a tree of text nodes painted on a line list. Nodes live in
// one store and name each other by index (0: no node; the store's entry 0
// is a placeholder that never shows). Lines are derived, not stored: the
// top-level nodes and, under every expanded node, its children, depth
// first. Each node may show two small glyphs before its text.
//
// Visible counts are cached per node and go stale when children or
// expansion change; they are recomputed on demand without recursion, so
// trees of any depth work.

#include <cstdint>
#include <string>

#include "drawing/paint_lines.h"
#include "runtime/dyn_array.h"

namespace brek {

struct St_tree_node__C_Paint_tree {
  int32_t parent = 0;  // below 1: top level
  std::string text;
  bool hidden = false;
  int32_t glyph1 = 0, glyph2 = 0;
  DynAInt children;
  int64_t data = 0;
  Weak<Brek_object> object;
  bool flag1 = false, flag2 = false;
  bool expanded = false;
  bool deleted = false;  // the slot is free
  bool flag5 = false, flag6 = false;
  // Lines the expanded subtree takes below the node; -1 stale.
  int64_t visible_count = 0;
};

class C_Paint_tree : public C_Paint_lines {
  BREK_CLASS(C_Paint_tree)
 public:
  // Half the width of the expand mark's target.
  static constexpr double MARK_REACH = 15.0;
  static constexpr double INDENT = 20.0;

  // Draws a glyph's turtle commands into a square cell with its line and
  // fill colours; the glyph buttons' code registers it.
  using Glyph_painter = void (*)(const Ref<C_Canvas>& canvas, const std::string& commands, const rect& cell,
                                 Color line, Color fill);
  static void set_glyph_painter(Glyph_painter painter);

  C_Paint_tree() = default;

  // ---- fields ----
  DynArray<St_tree_node__C_Paint_tree> nodes;
  int32_t painted_node = 0;
  DynAInt top_nodes;
  DynAInt free_slots;
  DynAStr texts;
  St_tree_node__C_Paint_tree root;
  bool line_cache_on = false;
  int64_t cached_line = -1;
  int32_t cached_node = -1;
  DynAInt memo_nodes, memo_lines;
  int32_t focused = 0;
  bool paint_hook_on = false;
  DynAStr glyph_texts;
  Color glyph1_line_color = COLOR_BLACK;
  Color glyph1_fill_color = -4144960;  // 0xFFC0C0C0
  Color glyph2_line_color = COLOR_BLACK;
  Color glyph2_fill_color = -4144960;
  std::string options;

  // options: "v", "h" scroll bars, "f" the tree takes the focus.
  static Ref<C_Paint_tree> new_tree(const Ref<C_Form>& form, const std::string& name, const std::string& options);

  // ---- overrides ----
  void init() override;
  // Nodes in the store that are not deleted.
  int64_t line_count() override;
  void clear() override;
  void on_mouse_down(double x, double y, button_mouse button, uint8_t shift) override;
  void on_double_click(double x, double y, button_mouse button, uint8_t shift) override;
  // The line list follows the number of visible lines first.
  void invalidate_all() override;
  void on_paint() override;
  int64_t current_line() override { return line_of_node(focused); }
  void key_down(const St_key_info__C_Form& key) override;

  // ---- operations ----
  int32_t add_node(const std::string& text, int32_t parent, int64_t position);
  St_tree_node__C_Paint_tree get_node(int64_t i) const { return nodes.get(i); }
  int64_t top_node(int64_t k) const { return top_nodes.get(k); }
  bool is_expanded(int64_t i) const { return nodes.get(i).expanded; }
  bool has_children(int64_t i) const { return nodes.get(i).children.count() > 0; }
  // Opens the node and every node above it.
  void expand(int64_t i);
  void collapse(int64_t i);
  void expand_all();
  void invalidate_counts(int64_t i);
  // Lines below node i (0: the whole tree).
  int64_t visible_count(int64_t i);
  int32_t node_at_line(int64_t line);
  int64_t line_of_node(int64_t i);
  int64_t depth(int64_t i) const;
  int32_t next_sibling(int64_t i) const;
  int32_t previous_sibling(int64_t i) const;
  void set_focused(int64_t i);
  // Where a node's expand mark is centred, points of the view.
  double mark_x(int64_t i);

 private:
  bool shows(int64_t i) const;
  const DynAInt& siblings(int64_t i) const;
  void toggle(int64_t i);
  void keep_focused_visible();
  void raise_select();
  void paint_node_line(int64_t line, int32_t node);
};

}  // namespace brek
