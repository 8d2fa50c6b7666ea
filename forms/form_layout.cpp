// C_Form's layout: which columns are shown, the computed enabled and hidden
// states, the placing of the columns and the arrangement of the controls in
// each column. The arithmetic is in forms/column_layout.cpp; this side
// gathers what it needs from the native side and applies the results.

#include <algorithm>
#include <cmath>
#include <exception>

#include "forms/column_layout.h"
#include "forms/control_bridge.h"
#include "forms/form.h"
#include "forms/form_bridge.h"
#include "runtime/exceptions.h"
#include "runtime/runtime_services.h"

namespace brek {

namespace {

bool is_band(layout_on_form k) { return k == layout_on_form::TOP || k == layout_on_form::BOTTOM; }

// How far down a stack of arranged controls reaches: the lowest bottom
// edge and the gap the stack starts with.
double reach(const Column_layout::Column_frame& frame, const std::vector<Column_layout::Control_record>& records) {
  double m, g;
  Column_layout::margins(frame, m, g);
  double bottom = 0;
  for (const Column_layout::Control_record& r : records)
    if (std::isfinite(r.y + r.h)) bottom = std::max(bottom, r.y + r.h);
  return records.empty() ? 0.0 : bottom + g;
}

// Restores a value when the scope ends, whatever happens in between.
template <class T>
struct Restore {
  T& ref;
  T saved;
  explicit Restore(T& r) : ref(r), saved(r) {}
  ~Restore() { ref = saved; }
};

}  // namespace

void C_Form::size_new_column(int64_t column, layout_on_form layout, double size) {
  if (column == 0) return;
  int64_t px = C_Brek_form::points_to_pixels(size);
  Control_bridge::set_column_width(column, px);
  Control_bridge::set_column_height(column, is_band(layout) ? C_Brek_form::points_to_pixels(28.0) : px);
}

controls_layout C_Form::get_controls_layout(const std::string& name) const {
  return static_cast<controls_layout>(column_controls.get(column_names.index_of(name)));
}

void C_Form::set_controls_layout(const std::string& name, controls_layout layout) {
  if (is_none()) return;
  column_controls.set(column_names.index_of(name), static_cast<uint8_t>(layout));
  if (!updates_suspended()) relayout();
}

double C_Form::get_column_width(const std::string& name) {
  return C_Brek_form::pixels_to_points(static_cast<double>(Control_bridge::column_pixels("W", column_handle(name))));
}

double C_Form::get_column_height(const std::string& name) {
  return C_Brek_form::pixels_to_points(static_cast<double>(Control_bridge::column_pixels("H", column_handle(name))));
}

void C_Form::set_column_width(const std::string& name, double points) {
  if (is_none()) return;
  Control_bridge::set_column_width(column_handle(name), C_Brek_form::points_to_pixels(points));
  if (!updates_suspended()) relayout();
}

void C_Form::set_column_height(const std::string& name, double points) {
  if (is_none()) return;
  Control_bridge::set_column_height(column_handle(name), C_Brek_form::points_to_pixels(points));
  if (!updates_suspended()) relayout();
}

// ---- relayout ----

void C_Form::relayout() {
  if (is_none()) return;
  if (update_count > 0) {
    layout_pending = 1;
    return;
  }
  if (creating || native == 0) return;
  if (event_depth >= 2) {
    layout_after_event = 1;
    return;
  }
  if (relayout_running_) return;
  Ref<C_Form> keep(this);
  // The batch ends whatever happens in between.
  struct Batch {
    C_Form* f;
    bool open;
    ~Batch() {
      if (open) f->end_update();
    }
  } batch{this, update_count == 0};
  if (batch.open) begin_update();
  bool shown_changed = false;
  {
    Restore<std::string> menu(menu_key);
    Restore<bool> running(relayout_running_);
    relayout_running_ = true;
    // Every column is shown, but of the centre columns only the first.
    bool centre_seen = false;
    for (int64_t i = 0; i < column_handles.count(); ++i) {
      bool want = true;
      if (static_cast<layout_on_form>(column_layouts.get(i)) == layout_on_form::CENTER) {
        want = !centre_seen;
        centre_seen = true;
      }
      int64_t h = column_handles.get(i);
      if (h != 0 && C_Brek_form::column_visible(h) != want) {
        C_Brek_form::set_column_visible(h, want);
        shown_changed = true;
      }
    }
    apply_control_queries();
    realign_columns();
  }
  if (shown_changed) {
    Restore<uint8_t> captions(size_captions);
    size_captions = 1;
    realign_columns();
  }
}

void C_Form::apply_control_queries() {
  Ref<C_Control> saved = current_control();
  struct Back {
    C_Form* f;
    Ref<C_Control>& saved;
    ~Back() { f->set_current_control(saved); }
  } back{this, saved};
  DynAObj<C_Control> enabled = layout_lists[0];
  for (int64_t i = 0; i < enabled.count(); ++i) {
    Ref<C_Control> c = enabled.get(i);
    set_current_control(c);
    c->set_disabled(control_query());
  }
  DynAObj<C_Control> hidden = layout_lists[1];
  for (int64_t i = 0; i < hidden.count(); ++i) {
    Ref<C_Control> c = hidden.get(i);
    set_current_control(c);
    c->set_hidden(control_hidden_query());
  }
}

// ---- columns ----

void C_Form::realign_columns() {
  if (is_none() || native == 0 || realigning_) return;
  Restore<bool> running(realigning_);
  realigning_ = true;
  arrange(C_Brek_form::points_to_pixels(get_client_width()), C_Brek_form::points_to_pixels(get_client_height()));
}

void C_Form::arrange(int64_t width, int64_t height) {
  if (is_none() || creating) return;
  Ref<C_Form> keep(this);
  int64_t free_height = height;
  if (border_kind != 0) {
    // The outer height less the side border, counted top and bottom.
    double outer_w = get_width(), outer_h = get_height();
    free_height = C_Brek_form::points_to_pixels(outer_h - 2 * ((outer_w - get_client_width()) / 2));
  }
  const int64_t n = column_handles.count();
  std::vector<Column_layout::Column_box> boxes(static_cast<size_t>(n));
  for (int64_t i = 0; i < n; ++i) {
    Column_layout::Column_box& b = boxes[static_cast<size_t>(i)];
    int64_t h = column_handles.get(i);
    b.kind = static_cast<layout_on_form>(column_layouts.get(i));
    int64_t host = column_hosts.get(i);
    b.host = host == 0 ? -1 : column_handles.index_of(host);
    b.own_width = Control_bridge::column_pixels("W", h);
    b.own_height = Control_bridge::column_pixels("H", h);
    b.visible = C_Brek_form::column_visible(h);
  }
  Column_layout::Columns_result r =
      Column_layout::arrange_columns(boxes, width, free_height, C_Brek_form::points_to_pixels(get_client_width()));
  // The columns' handles now: a handler run by a realignment may change the list.
  std::vector<int64_t> handles = column_handles.to_vector();
  for (size_t i = 0; i < r.places.size() && i < handles.size(); ++i) {
    const Column_layout::Column_place& p = r.places[i];
    if (p.hide) C_Brek_form::set_column_visible(handles[i], false);
    if (!p.apply) continue;
    Control_bridge::set_column_origin(handles[i], p.rect.x, p.rect.y);
    if (p.set_width) Control_bridge::set_column_width(handles[i], p.rect.w);
    if (p.set_height) Control_bridge::set_column_height(handles[i], p.rect.h);
    realign_column(handles[i]);
  }
}

void C_Form::realign_column(int64_t column) {
  if (is_none() || column <= 0) return;
  if (std::find(columns_arranging_.begin(), columns_arranging_.end(), column) != columns_arranging_.end()) return;
  columns_arranging_.push_back(column);
  struct Done {
    std::vector<int64_t>& list;
    int64_t column;
    ~Done() { list.erase(std::find(list.begin(), list.end(), column)); }
  } done{columns_arranging_, column};
  measure_column(column);
}

void C_Form::measure_column(int64_t column) {
  if (is_none() || column <= 0) return;
  if (arrange_column(column)) arrange_column(column);
}

bool C_Form::arrange_column(int64_t column) {
  if (is_none() || creating || destroying || native == 0) return false;
  const int64_t index = column_handles.index_of(column);
  if (index < 0) return false;
  Ref<C_Form> keep(this);
  try {
    const std::string& name = column_names.get(index);
    std::vector<Ref<C_Control>> members;
    for (int64_t i = 0; i < controls.count(); ++i) {
      Ref<C_Control> c = controls.get(i);
      if (c.is_none() || c->column != name) continue;
      if (!c->is_visual() || c->is_hidden()) continue;
      members.push_back(c);
    }
    if (members.empty()) {
      C_Brek_form::set_column_content_height(column, 0);
      return false;
    }

    Column_layout::Column_frame frame;
    frame.kind = static_cast<layout_on_form>(column_layouts.get(index));
    frame.layout = static_cast<controls_layout>(column_controls.get(index));
    frame.client_width = Control_bridge::column_client_width(column);
    frame.client_height = Control_bridge::column_client_height(column);
    St_sizes_col__C_Form sizes = column_sizes.get(index);
    frame.extent = sizes.extent;
    frame.labels_right = sizes.labels_right != 0;
    frame.plain_margins = border_kind != 0 || bevel != 0 || column_handles.count() == 1;

    const bool row = Column_layout::is_row(frame);
    if (row && frame.layout == controls_layout::CONTROLS_MANUAL) return false;
    if (row && size_captions) {
      for (const Ref<C_Control>& c : members) {
        if (c->is_label())
          c->set_width(Control_bridge::text_width(c->native, c->get_text()));
        else if (c->is_push_button())
          c->set_text(c->get_text());
      }
    }

    std::vector<Column_layout::Control_box> boxes;
    boxes.reserve(members.size());
    for (const Ref<C_Control>& c : members) {
      Column_layout::Control_box b;
      b.label = c->is_label();
      b.push_button = c->is_push_button();
      b.glyph_button = c->is_glyph_button();
      b.stretch = c->can_stretch != 0 && c->stretch != 0;
      b.width = c->get_width();
      // Narrowed by a row short of room and not sized since: it asks for
      // its own width again.
      if (row && c->row_width_left > 0 && b.width == c->row_width_left) b.width = c->row_width_had;
      b.height = c->get_height();
      if (b.label) {
        b.text = c->get_text();
        b.text_width = Control_bridge::text_width(c->native, b.text);
      }
      boxes.push_back(b);
    }
    Column_layout::Controls_result r = Column_layout::arrange_controls(frame, boxes);
    for (const Column_layout::Control_record& rec : r.records) {
      const Ref<C_Control>& c = members[rec.index];
      if (rec.right_align) c->set_alignment(text_alignment::RIGHT_ALIGN);
      Control_bridge::set_position(c->native, rec.x, rec.y);
      if (!boxes[rec.index].label || rec.w > 0) Control_bridge::set_size(c->native, rec.w, rec.h);
      const bool narrowed = row && !boxes[rec.index].label && rec.w < boxes[rec.index].width;
      c->row_width_had = narrowed ? boxes[rec.index].width : 0;
      c->row_width_left = narrowed ? c->get_width() : 0;
    }
    // A stack reaching below its column (a form cut to a small screen)
    // scrolls there; the next pass sees the room the scroll bar leaves.
    C_Brek_form::set_column_content_height(column, row ? 0.0 : reach(frame, r.records));
    return r.moved;
  } catch (const std::exception& e) {
    // What was placed stays; the second pass is left out.
    Brek_runtime::log_exception(e);
    return false;
  }
}

}  // namespace brek
