#include "drawing/paint_tree.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "drawing/brek_drawing.h"
#include "drawing/font.h"
#include "forms/form.h"
#include "runtime/runtime_services.h"
#include "runtime/strings.h"

namespace brek {

namespace {

C_Paint_tree::Glyph_painter g_glyph_painter = nullptr;

const St_tree_node__C_Paint_tree& none_node() {
  static const auto* n = new St_tree_node__C_Paint_tree();
  return *n;
}

Color sys(system_color item) { return Colors::from_bits(uint32_t(Colors::system(int64_t(item))) | 0xFF000000u); }

}  // namespace

void C_Paint_tree::set_glyph_painter(Glyph_painter painter) { g_glyph_painter = painter; }

Ref<C_Paint_tree> C_Paint_tree::new_tree(const Ref<C_Form>& form, const std::string& name, const std::string& text) {
  const std::string lower = Brek_runtime::lower_case(text);
  return make_on_prepared<C_Paint_tree>(form, name, [&](C_Paint_tree& t) {
    t.has_vbar = lower.find('v') != std::string::npos;
    t.has_hbar = lower.find('h') != std::string::npos;
    t.focusable = lower.find('f') != std::string::npos;
    t.options = text;
  });
}

void C_Paint_tree::init() {
  C_Paint_lines::init();
  if (is_none()) return;
  clear();
  set_line_height(12.0);
}

// ---- store ----

namespace {
// A node of the store, or the None node.
const St_tree_node__C_Paint_tree& node_of(const DynArray<St_tree_node__C_Paint_tree>& nodes, int64_t i) {
  const St_tree_node__C_Paint_tree* n = nodes.at(i);
  return n ? *n : none_node();
}
}  // namespace

bool C_Paint_tree::shows(int64_t i) const {
  const St_tree_node__C_Paint_tree* n = nodes.at(i);
  return i >= 1 && n && !n->hidden && !n->deleted;
}

const DynAInt& C_Paint_tree::siblings(int64_t i) const {
  const St_tree_node__C_Paint_tree& n = node_of(nodes, i);
  if (n.parent >= 1) {
    const St_tree_node__C_Paint_tree* p = nodes.at(n.parent);
    if (p && !p->deleted) return p->children;
  }
  return top_nodes;
}

void C_Paint_tree::clear() {
  if (is_none()) return;
  top_nodes.clear();
  nodes.clear();
  nodes.append(St_tree_node__C_Paint_tree());
  free_slots.clear();
  root = St_tree_node__C_Paint_tree();
  root.visible_count = -1;
  cached_line = -1;
  cached_node = -1;
  focused = 0;
  C_Paint_lines::set_current_line(-1);
  invalidate_all();
}

int64_t C_Paint_tree::line_count() {
  int64_t n = 0;
  for (int64_t i = 1; i < nodes.count(); ++i)
    if (!nodes.at(i)->deleted) ++n;
  return n;
}

int32_t C_Paint_tree::add_node(const std::string& text, int32_t parent, int64_t position) {
  if (is_none()) return 0;
  int64_t slot = -1;
  while (free_slots.count() > 0 && slot < 1) {
    slot = free_slots.get(free_slots.count() - 1);
    free_slots.remove(free_slots.count() - 1);
    if (slot < 1 || slot >= nodes.count()) slot = -1;  // not a slot of this store
  }
  St_tree_node__C_Paint_tree fresh;
  fresh.parent = parent;
  fresh.text = text;
  if (slot < 1) {
    slot = nodes.count();
    nodes.append(fresh);
  } else {
    nodes.set(slot, fresh);
  }
  const int32_t index = int32_t(slot);
  St_tree_node__C_Paint_tree* p = parent >= 1 ? nodes.at(parent) : nullptr;
  if (p && !p->deleted && parent != index) {
    p->children.insert(position, index);
    invalidate_counts(parent);
  } else {
    top_nodes.insert(position, index);
    root.visible_count = -1;
    cached_line = -1;
    cached_node = -1;
  }
  invalidate_all();
  return index;
}

void C_Paint_tree::invalidate_counts(int64_t i) {
  cached_line = -1;
  cached_node = -1;
  // Up the parent chain, never more steps than the store has nodes.
  for (int64_t k = 0, cur = i; k <= nodes.count(); ++k) {
    St_tree_node__C_Paint_tree* n = nodes.at(cur);
    if (!n) {
      root.visible_count = -1;
      return;
    }
    n->visible_count = -1;
    if (n->parent < 1) {
      root.visible_count = -1;
      return;
    }
    cur = n->parent;
  }
}

int64_t C_Paint_tree::visible_count(int64_t i) {
  Brek_runtime::Recursion_guard guard;
  // Post-order over the expanded subtrees, with an explicit stack: each
  // node's count is its shown children plus their expanded subtrees.
  auto count_of = [&](int64_t k) -> int64_t& { return k == 0 ? root.visible_count : nodes.at(k)->visible_count; };
  auto kids = [&](int64_t k) -> const DynAInt& { return k == 0 ? top_nodes : nodes.at(k)->children; };
  if (i != 0 && !nodes.at(i)) return 0;
  struct Frame {
    int64_t node;
    int64_t next;  // the next child to look at
    int64_t sum;
  };
  std::vector<Frame> stack;
  std::vector<uint8_t> open(size_t(nodes.count()), 0);  // on the stack: a cycle is not followed
  auto push = [&](int64_t k) {
    if (k > 0) open[size_t(k)] = 1;
    stack.push_back({k, 0, 0});
  };
  if (kids(i).count() == 0) return 0;
  if (count_of(i) > 0) return count_of(i);
  push(i);
  int64_t result = 0;
  while (!stack.empty()) {
    Brek_runtime::loop_tick();
    Frame& f = stack.back();
    const DynAInt& list = kids(f.node);
    if (f.next < list.count()) {
      const int64_t c = list.get(f.next++);
      if (!shows(c)) continue;
      f.sum += 1;
      const St_tree_node__C_Paint_tree* cn = nodes.at(c);
      if (!cn->expanded || cn->children.count() == 0 || open[size_t(c)]) continue;
      if (cn->visible_count > 0) {
        f.sum += cn->visible_count;
        continue;
      }
      push(c);
      continue;
    }
    const int64_t done = f.node, sum = f.sum;
    count_of(done) = sum;
    if (done > 0) open[size_t(done)] = 0;
    stack.pop_back();
    if (stack.empty())
      result = sum;
    else
      stack.back().sum += sum;
  }
  return result;
}

int32_t C_Paint_tree::node_at_line(int64_t line) {
  if (line < 0) return 0;
  if (line_cache_on && cached_line == line && cached_node >= 1) return cached_node;
  if (line_cache_on && cached_node >= 1 && line == cached_line + 1) {
    const St_tree_node__C_Paint_tree* c = nodes.at(cached_node);
    if (c && c->expanded && c->children.count() > 0 && shows(c->children.get(0))) {
      cached_line = line;
      cached_node = int32_t(c->children.get(0));
      return cached_node;
    }
  }
  int64_t r = line;
  const DynAInt* list = &top_nodes;
  int32_t found = 0;
  for (int64_t steps = 0; steps <= nodes.count() && !found; ++steps) {
    bool descended = false;
    for (int64_t k = 0; k < list->count(); ++k) {
      const int64_t n = list->get(k);
      if (!shows(n)) continue;
      if (r == 0) {
        found = int32_t(n);
        break;
      }
      r -= 1;
      const St_tree_node__C_Paint_tree* node = nodes.at(n);
      const int64_t below = node->expanded ? visible_count(n) : 0;
      if (node->expanded && r < below) {
        list = &node->children;
        descended = true;
        break;
      }
      r -= below;
    }
    if (!descended) break;
  }
  if (line_cache_on && found >= 1) {
    cached_line = line;
    cached_node = found;
  }
  return found;
}

int64_t C_Paint_tree::line_of_node(int64_t i) {
  if (i < 1) return -1;
  if (line_cache_on && cached_node == i && cached_line >= 0) return cached_line;
  for (int64_t cur = i, k = 0; k <= nodes.count() && cur >= 1; ++k) {
    const int64_t m = memo_nodes.index_of(cur);
    if (m >= 0) return memo_lines.get(m);
    for (int64_t line = 0; line < lines; ++line) {
      Brek_runtime::loop_tick();
      if (node_at_line(line) == cur) {
        memo_nodes.append(cur);
        memo_lines.append(line);
        return line;
      }
    }
    // Not on a line: its parent's line stands for it.
    cur = node_of(nodes, cur).parent;
  }
  return -1;
}

int64_t C_Paint_tree::depth(int64_t i) const {
  int64_t d = 0;
  for (int64_t cur = i, k = 0; k <= nodes.count(); ++k) {
    const int32_t p = node_of(nodes, cur).parent;
    if (p == 0) break;
    ++d;
    cur = p;
  }
  return d;
}

int32_t C_Paint_tree::next_sibling(int64_t i) const {
  const DynAInt& list = siblings(i);
  const int64_t k = list.index_of(i);
  return k < 0 ? 0 : int32_t(list.get(k + 1));
}

int32_t C_Paint_tree::previous_sibling(int64_t i) const {
  const DynAInt& list = siblings(i);
  const int64_t k = list.index_of(i);
  return k <= 0 ? 0 : int32_t(list.get(k - 1));
}

// ---- expansion ----

void C_Paint_tree::expand(int64_t i) {
  if (is_none()) return;
  // The node and every node above it open, so that it shows.
  for (int64_t cur = i, k = 0; k <= nodes.count(); ++k) {
    St_tree_node__C_Paint_tree* n = nodes.at(cur);
    if (!n || cur < 1) break;
    if (!n->expanded) {
      n->expanded = true;
      invalidate_counts(cur);
    }
    cur = n->parent;
  }
  invalidate_all();
}

void C_Paint_tree::collapse(int64_t i) {
  if (is_none()) return;
  St_tree_node__C_Paint_tree* n = nodes.at(i);
  if (!n || i < 1 || !n->expanded) return;
  n->expanded = false;
  invalidate_counts(i);
  C_Paint_lines::set_line_count(visible_count(0));
  invalidate_all();
}

void C_Paint_tree::expand_all() {
  if (is_none()) return;
  for (int64_t i = 1; i < nodes.count(); ++i) {
    St_tree_node__C_Paint_tree* n = nodes.at(i);
    if (n->deleted) continue;
    n->expanded = true;
    n->visible_count = -1;
  }
  root.visible_count = -1;
  cached_line = -1;
  cached_node = -1;
  invalidate_all();
}

void C_Paint_tree::toggle(int64_t i) {
  if (is_expanded(i))
    collapse(i);
  else
    expand(i);
}

void C_Paint_tree::invalidate_all() {
  if (is_none()) return;
  const int64_t n = visible_count(0);
  if (n != lines) {
    memo_nodes.clear();
    memo_lines.clear();
    C_Paint_lines::set_line_count(n);
  }
  C_Paint_lines::invalidate_all();
}

// ---- focus and selection ----

void C_Paint_tree::raise_select() {
  Ref<C_Form> f = form.lock();
  if (f.is_none()) return;
  Current_control_scope current(f, Ref<C_Control>(this));
  f->request_relayout();
}

void C_Paint_tree::set_focused(int64_t i) {
  if (is_none() || i == focused) return;
  focused = int32_t(std::clamp<int64_t>(i, INT32_MIN, INT32_MAX));
  raise_select();
  invalidate_all();
}

double C_Paint_tree::mark_x(int64_t i) {
  // The triangle spans 16 to 24 points right of the node's indentation.
  return INDENT * double(depth(i)) - 10.0 + 20.0 - visible_rect().x;
}

void C_Paint_tree::on_mouse_down(double x, double y, button_mouse button, uint8_t shift) {
  if (is_none()) return;
  Brek_runtime::Recursion_guard guard;
  Ref<C_Paint_tree> keep(this);
  memo_nodes.clear();
  memo_lines.clear();
  const int64_t line = Brek_runtime::to_int64_checked(Brek_runtime::real_div(y, line_height())) + first_visible_line();
  const int32_t n = node_at_line(line);
  // The mark is hit where it is painted, scrolled or not.
  if (n != 0 && has_children(n) && std::fabs(x - mark_x(n)) <= MARK_REACH) toggle(n);
  if (n != 0 && n != focused) set_focused(n);
  C_Paintbox::on_mouse_down(x, y, button, shift);
}

void C_Paint_tree::on_double_click(double x, double y, button_mouse button, uint8_t shift) {
  if (is_none()) return;
  const int64_t line = Brek_runtime::to_int64_checked(Brek_runtime::real_div(y, line_height())) + first_visible_line();
  const int32_t n = node_at_line(line);
  if (n == 0) {
    C_Paintbox::on_double_click(x, y, button, shift);
    return;
  }
  toggle(n);
}

// ---- keys ----

void C_Paint_tree::keep_focused_visible() {
  memo_nodes.clear();
  memo_lines.clear();
  const int64_t line = line_of_node(focused);
  if (line < 0) return;
  const int64_t first = first_visible_line();
  const int64_t page = page_lines();
  if (line < first)
    set_first_line(line);
  else if (line >= first + page)
    set_first_line(line - page + 1);
}

void C_Paint_tree::key_down(const St_key_info__C_Form& key) {
  if (is_none() || line_count() <= 0) return;
  Brek_runtime::Recursion_guard guard;
  Ref<C_Paint_tree> keep(this);
  const int32_t f = focused;
  const St_tree_node__C_Paint_tree& node = node_of(nodes, f);
  const bool kids = node.children.count() > 0;
  switch (key.key_code) {
    case 8:
    case 37:
      if (kids && node.expanded)
        collapse(f);
      else if (node.parent >= 1)
        set_focused(node.parent);
      break;
    case 13:
    case 32:
      if (kids) toggle(f);
      break;
    case 33:
    case 34: {
      const int64_t first = first_visible_line();
      const int64_t line =
          key.key_code == 33 ? std::max<int64_t>(0, first - page_lines()) : first + page_lines();
      const int32_t n = node_at_line(line);
      if (n >= 1) {
        set_first_line(line);
        set_focused(n);
      }
      break;
    }
    case 35: {
      int64_t n = top_nodes.get(top_nodes.count() - 1);
      for (int64_t k = 0; k < line_count(); ++k) {
        const St_tree_node__C_Paint_tree& c = node_of(nodes, n);
        if (!c.expanded || c.children.count() == 0) break;
        n = c.children.get(c.children.count() - 1);
      }
      if (n >= 1) set_focused(n);
      break;
    }
    case 36:
      if (top_nodes.count() > 0) set_focused(top_nodes.get(0));
      break;
    case 38: {
      if (top_nodes.count() > 0 && f == top_nodes.get(0)) break;
      const int32_t prev = previous_sibling(f);
      if (prev != 0)
        set_focused(prev);
      else if (node.parent >= 1)
        set_focused(node.parent);
      break;
    }
    case 39:
      if (kids) {
        if (!node.expanded)
          expand(f);
        else
          set_focused(node.children.get(0));
      }
      break;
    case 40: {
      if (f == 0) {
        if (top_nodes.count() > 0) set_focused(top_nodes.get(0));
        break;
      }
      if (node.expanded && kids) {
        set_focused(node.children.get(0));
        break;
      }
      int32_t next = next_sibling(f);
      if (next == 0 && node.parent >= 1) next = next_sibling(node.parent);
      if (next != 0) set_focused(next);
      break;
    }
    default:
      return;
  }
  keep_focused_visible();
  invalidate_all();
}

// ---- painting ----

void C_Paint_tree::on_paint() {
  C_Paintbox::on_paint();
  if (is_none() || canvas.is_none()) return;
  Brek_runtime::Recursion_guard guard;
  Ref<C_Paint_tree> keep(this);
  cached_node = -1;
  const bool saved_cache = line_cache_on;
  line_cache_on = true;
  struct Restore {
    bool& on;
    bool saved;
    ~Restore() { on = saved; }
  } restore{line_cache_on, saved_cache};
  memo_nodes.clear();
  memo_lines.clear();

  Ref<C_Canvas> c = canvas;
  c->reset_transform();
  c->units = units_measure_graphics::POINTS;
  c->brush_style = brush_style::SOLID_BRUSH;
  c->pen_style = pen_style::SOLID_PEN;
  c->brush_color = sys(system_color::WINDOW);
  c->pen_color = sys(system_color::WINDOW_TEXT);
  c->clear();
  const std::string name = get_font_name();
  const double size = get_font_size();
  Ref<C_Font> font = C_Font::new_font(name.empty() ? "Arial" : name, size > 0 ? size : 10.0);
  const std::string style = get_font_style();
  std::string letters;
  if (style.find('B') != std::string::npos) letters += "B";
  if (style.find('I') != std::string::npos) letters += "I";
  font->set_style(letters);
  c->set_font(font);

  const int64_t first = first_visible_line();
  const double h = line_height();
  const double view_h = visible_extent("V");
  // The last line shows in part too.
  for (int64_t line = first; line < lines && double(line - first) * h < view_h; ++line) {
    Brek_runtime::loop_tick();
    painted_node = node_at_line(line);
    if (paint_hook_on) {
      Ref<C_Form> f = form.lock();
      Current_control_scope current(f, Ref<C_Control>(this));
      f->control_notify();
    }
    const Color pen = c->pen_color, brush = c->brush_color;
    Ref<C_Font> kept_font = c->font;
    const std::string font_name = kept_font->name;
    const double font_size = kept_font->size;
    const bool bold = kept_font->bold, italic = kept_font->italic;
    paint_node_line(line, painted_node);
    c->pen_color = pen;
    c->brush_color = brush;
    c->set_font(kept_font);
    kept_font->name = font_name;
    kept_font->size = font_size;
    kept_font->bold = bold;
    kept_font->italic = italic;
  }
}

void C_Paint_tree::paint_node_line(int64_t line, int32_t n) {
  if (n < 1) return;
  Ref<C_Canvas> c = canvas;
  const double h = line_height();
  const double y = double(line - first_visible_line()) * h;
  const double ox = -visible_rect().x;
  const St_tree_node__C_Paint_tree& node = node_of(nodes, n);
  Color text = c->pen_color;
  if (n == focused) {
    c->brush_color = sys(system_color::HIGHLIGHT);
    C_Brek_drawing::fill_rect(*c, rect{0, y, visible_extent("H"), h});
    text = sys(system_color::HIGHLIGHT_TEXT);
  }
  const int64_t d = depth(n);
  // The node and its ancestors by level: chain[l] is at depth l.
  std::vector<int64_t> chain(size_t(std::max<int64_t>(d, 0) + 1), 0);
  for (int64_t l = d, cur = n; l >= 1; --l) {
    chain[size_t(l)] = cur;
    cur = node_of(nodes, cur).parent;
  }
  c->pen_color = text;
  for (int64_t l = 1; l <= d; ++l) {
    const double lx = INDENT * double(l) - 10.0 + ox;
    if (l == d) {
      const bool last = next_sibling(n) == 0;
      c->draw_line(point{lx, y}, point{lx, last ? y + h / 2 : y + h});
    } else if (next_sibling(chain[size_t(l)]) != 0) {
      c->draw_line(point{lx, y}, point{lx, y + h});
    }
  }
  double x = d == 0 ? -10.0 + ox : INDENT * double(d) - 10.0 + ox;
  if (d > 0) c->draw_line(point{x, y + h / 2}, point{x + 20.0, y + h / 2});
  if (node.children.count() > 0) {
    const double xm = x - 4.0;
    DynArray<point> tri;
    if (node.expanded) {
      tri.append({xm + 20, y + h / 4});
      tri.append({xm + 28, y + h / 4});
      tri.append({xm + 24, y + 3 * h / 4});
    } else {
      tri.append({xm + 20, y + h / 4});
      tri.append({xm + 20, y + 3 * h / 4});
      tri.append({xm + 28, y + h / 2});
    }
    c->brush_color = text;
    c->draw_polyline(tri, true);
  }
  x += 30.0;
  const int64_t glyphs = glyph_texts.count();
  auto glyph = [&](int32_t g, Color line_colour, Color fill_colour) {
    if (g < 1 || g >= glyphs) return;
    if (g_glyph_painter) g_glyph_painter(c, glyph_texts.get(g), rect{x, y, h, h}, line_colour, fill_colour);
    x += h + 1.0;
  };
  glyph(node.glyph1, glyph1_line_color, glyph1_fill_color);
  glyph(node.glyph2, glyph2_line_color, glyph2_fill_color);
  if (!node.text.empty()) {
    const rect ext = c->text_extent(node.text);
    c->pen_color = text;
    c->draw_text(point{x, y + (h - ext.h) / 2}, node.text);
  }
}

}  // namespace brek
