// The painted tree: lines derived from expanded nodes, reused slots,
// cached visible counts, the press on the expand mark where it is painted,
// keys at the ends, and the focused line painted in the highlight.

#include <gtest/gtest.h>

#include "drawing/paint_tree.h"
#include "paint_test_support.h"

using namespace paint_test;

namespace {

constexpr auto LMB = button_mouse::LMB;

class Tree : public Paint_test {
 protected:
  // A view of 150 x 60 points: five lines of 12.
  Ref<C_Paint_tree> tree(const std::string& options = "") {
    Ref<C_Paint_tree> t = C_Paint_tree::new_tree(form, "TR", options);
    set_surface(t, 200, 80);
    t->invalidate_all();
    return t;
  }
  // a(1) { b(2) { d(4) }, c(3) }, e(5)
  Ref<C_Paint_tree> sample() {
    Ref<C_Paint_tree> t = tree();
    t->add_node("a", -1, -1);
    t->add_node("b", 1, -1);
    t->add_node("c", 1, -1);
    t->add_node("d", 2, -1);
    t->add_node("e", -1, -1);
    return t;
  }
  static St_key_info__C_Form key(int64_t code) {
    St_key_info__C_Form k;
    k.key_code = code;
    return k;
  }
  static std::string shown(const Ref<C_Paint_tree>& t) {
    std::string s;
    for (int64_t line = 0; line < t->lines; ++line) s += t->get_node(t->node_at_line(line)).text;
    return s;
  }
};

}  // namespace

TEST_F(Tree, LinesFollowExpansion) {
  Ref<C_Paint_tree> t = tree("VF");
  EXPECT_EQ(t->has_vbar, 1);
  EXPECT_EQ(t->focusable, 1);
  EXPECT_DOUBLE_EQ(t->line_height(), 12);
  EXPECT_EQ(t->line_count(), 0);
  EXPECT_EQ(t->node_at_line(0), 0);
  EXPECT_EQ(t->add_node("a", -1, -1), 1);
  EXPECT_EQ(t->add_node("b", 1, -1), 2);
  EXPECT_EQ(t->lines, 1);
  EXPECT_EQ(t->line_count(), 2);  // nodes, not lines
  t->expand(1);
  EXPECT_EQ(t->lines, 2);
  EXPECT_EQ(t->node_at_line(1), 2);
  EXPECT_EQ(t->line_of_node(2), 1);
  EXPECT_EQ(t->depth(1), 1);
  EXPECT_EQ(t->depth(2), 2);
  EXPECT_EQ(t->node_at_line(2), 0);  // beyond the tree
  // A node added at a position goes there.
  t->add_node("first", -1, 0);
  EXPECT_EQ(shown(t), "firstab");
}

TEST_F(Tree, ExpandingADeepNodeOpensEveryAncestor) {
  Ref<C_Paint_tree> t = sample();
  EXPECT_EQ(shown(t), "ae");
  t->expand(4);  // d, under b under a
  EXPECT_TRUE(t->is_expanded(1));
  EXPECT_TRUE(t->is_expanded(2));
  EXPECT_EQ(shown(t), "abdce");
  EXPECT_EQ(t->visible_count(0), 5);
  EXPECT_EQ(t->visible_count(1), 3);
  t->collapse(2);
  EXPECT_EQ(shown(t), "abce");
  t->collapse(1);
  EXPECT_EQ(shown(t), "ae");
  // Reopening a shows b as it was left, closed.
  t->expand(1);
  EXPECT_EQ(shown(t), "abce");
  t->expand_all();
  EXPECT_EQ(shown(t), "abdce");
}

TEST_F(Tree, FreeSlotsAreReusedAndCountsRecomputed) {
  Ref<C_Paint_tree> t = sample();
  t->expand_all();
  // The caller deletes c: its slot is free and it leaves its parent.
  St_tree_node__C_Paint_tree* c = t->nodes.at(3);
  c->deleted = true;
  Brek_runtime::dyn_int_remove_value(t->nodes.at(1)->children, 3);
  t->free_slots.append(3);
  t->invalidate_counts(1);
  t->invalidate_all();
  EXPECT_EQ(shown(t), "abde");
  EXPECT_EQ(t->line_count(), 4);
  EXPECT_EQ(t->add_node("x", 4, -1), 3);  // the freed slot
  EXPECT_TRUE(t->free_slots.empty());
  EXPECT_EQ(t->add_node("y", -1, -1), 6);
  t->expand(4);
  EXPECT_EQ(shown(t), "abdxey");
  // A cached count of 0 is never trusted.
  t->nodes.at(1)->visible_count = 0;
  EXPECT_EQ(t->visible_count(1), 3);
  // A parent that is deleted or outside the store gives a top node.
  EXPECT_EQ(t->get_node(t->add_node("z", 99, -1)).parent, 99);
  EXPECT_EQ(t->top_nodes.get(t->top_nodes.count() - 1), 7);
}

TEST_F(Tree, ThePressTogglesOnlyOnTheMarkWhereItIsPainted) {
  Ref<C_Paint_tree> t = sample();
  // a is at depth 1: its mark is centred 30 points from the left.
  EXPECT_DOUBLE_EQ(t->mark_x(1), 30);
  t->on_mouse_down(40, 6, LMB, 0);  // 10 points off: on the mark
  EXPECT_TRUE(t->is_expanded(1));
  EXPECT_EQ(t->focused, 1);
  t->on_mouse_down(80, 6, LMB, 0);  // on the text: focus only
  EXPECT_TRUE(t->is_expanded(1));
  t->on_mouse_down(80, 18, LMB, 0);
  EXPECT_EQ(t->focused, 2);
  EXPECT_FALSE(t->is_expanded(2));
  // Scrolled sideways, the mark moves on the screen and the press with it.
  t->set_content_size(600, 0);
  t->line_width = 600;
  t->set_scroll_pos({20, 0});
  EXPECT_DOUBLE_EQ(t->mark_x(2), 50 - 20);
  t->on_mouse_down(50, 18, LMB, 0);  // where b's mark was before scrolling
  EXPECT_FALSE(t->is_expanded(2));
  t->on_mouse_down(30, 18, LMB, 0);
  EXPECT_TRUE(t->is_expanded(2));
  t->on_double_click(80, 6, LMB, 0);
  EXPECT_FALSE(t->is_expanded(1));
}

TEST_F(Tree, KeysWalkTheTreeAndStopAtItsEnds) {
  Ref<C_Paint_tree> t = sample();
  t->key_down(key(36));  // Home
  EXPECT_EQ(t->focused, 1);
  t->key_down(key(38));  // Up on the first top node: nothing
  EXPECT_EQ(t->focused, 1);
  t->key_down(key(39));  // Right: open a
  EXPECT_TRUE(t->is_expanded(1));
  t->key_down(key(39));  // Right again: into b
  EXPECT_EQ(t->focused, 2);
  t->key_down(key(40));  // Down: c
  EXPECT_EQ(t->focused, 3);
  t->key_down(key(40));  // Down past the last child: the parent's next
  EXPECT_EQ(t->focused, 5);
  t->key_down(key(40));  // the last node: nothing
  EXPECT_EQ(t->focused, 5);
  t->key_down(key(38));
  EXPECT_EQ(t->focused, 1);
  t->key_down(key(37));  // Left: close a
  EXPECT_FALSE(t->is_expanded(1));
  t->key_down(key(13));  // Enter: open it again
  EXPECT_TRUE(t->is_expanded(1));
  t->set_focused(3);
  t->key_down(key(8));  // Backspace on a leaf: its parent
  EXPECT_EQ(t->focused, 1);
  t->expand(4);
  t->key_down(key(35));  // End: the last open node
  EXPECT_EQ(t->focused, 5);
  EXPECT_EQ(t->current_line(), 4);
  Ref<C_Paint_tree> empty = tree();
  empty->key_down(key(40));
  EXPECT_EQ(empty->focused, 0);
}

TEST_F(Tree, KeysKeepTheFocusedLineInView) {
  Ref<C_Paint_tree> t = tree();
  for (int i = 0; i < 30; ++i) t->add_node("n" + std::to_string(i), -1, -1);
  t->key_down(key(36));
  for (int i = 0; i < 7; ++i) t->key_down(key(40));
  EXPECT_EQ(t->current_line(), 7);
  EXPECT_EQ(t->first_visible_line(), 3);
  t->key_down(key(34));  // Page Down: the line a page below the top
  EXPECT_EQ(t->first_visible_line(), 8);
  EXPECT_EQ(t->current_line(), 8);
}

// Thirty top nodes with three closed children each: 120 nodes, 30 lines.
// Scrolling and paging count the lines.
TEST_F(Tree, ScrollingCountsTheShownLinesNotTheNodes) {
  Ref<C_Paint_tree> t = tree();
  for (int i = 0; i < 30; ++i) {
    const int32_t top = t->add_node("n" + std::to_string(i), -1, -1);
    for (int k = 0; k < 3; ++k) t->add_node("c", top, -1);
  }
  ASSERT_EQ(t->lines, 30);
  EXPECT_DOUBLE_EQ(t->content_height, 30 * 12);
  t->set_first_line(1000);
  EXPECT_EQ(t->first_visible_line(), 25);  // the last full page of lines
  EXPECT_DOUBLE_EQ(t->scroll_y, 25 * 12);
  t->set_first_line(0);
  t->key_down(key(35));  // End: the last line, in view
  EXPECT_EQ(t->current_line(), 29);
  EXPECT_EQ(t->first_visible_line(), 25);
  EXPECT_DOUBLE_EQ(t->scroll_y, 25 * 12);
  t->scroll_pages(-100);
  EXPECT_EQ(t->first_visible_line(), 25);
  EXPECT_DOUBLE_EQ(t->scroll_y, 25 * 12);
}

TEST_F(Tree, TheFocusedLineIsHighlightedAndMarksArePainted) {
  Ref<C_Paint_tree> t = sample();
  t->expand(1);
  t->set_focused(2);
  std::vector<int32_t> hooked;
  t->paint_hook_on = true;
  form->notify = [&] { hooked.push_back(t->painted_node); };
  t->paint_surface();
  EXPECT_EQ(hooked, (std::vector<int32_t>{1, 2, 3, 5}));
  const Pixels& px = *t->back_buffer->pixels();
  auto opaque = [](system_color c) {
    return Colors::to_pixel(Colors::from_bits(uint32_t(Colors::system(int64_t(c))) | 0xFF000000u));
  };
  const uint32_t window = opaque(system_color::WINDOW);
  const uint32_t highlight = opaque(system_color::HIGHLIGHT);
  // b's line (12 to 24 points, pixels 16 to 31), right of its text.
  EXPECT_EQ(px.at(180, 24), highlight);
  EXPECT_EQ(px.at(180, 40), window);
  // a's mark, expanded: a triangle around (30, 5) points.
  EXPECT_NE(px.at(40, 6), window);
  // e has no children: nothing where a mark would be.
  EXPECT_EQ(px.at(40, 54), window);
}
