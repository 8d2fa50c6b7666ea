#include "forms/column_layout.h"

#include <algorithm>
#include <cmath>

#include "runtime/strings.h"

namespace brek {
namespace Column_layout {

namespace {

bool is_side(layout_on_form k) { return k == layout_on_form::LEFT || k == layout_on_form::RIGHT; }
bool is_band(layout_on_form k) { return k == layout_on_form::TOP || k == layout_on_form::BOTTOM; }

// Rectangles of the columns; a host index outside the list reads as the
// zero rectangle and takes no writes.
struct Rects {
  std::vector<Column_place>& places;
  Pixel_rect get(int64_t i) const {
    return i >= 0 && i < static_cast<int64_t>(places.size()) ? places[i].rect : Pixel_rect{};
  }
  void set(int64_t i, const Pixel_rect& r) {
    if (i >= 0 && i < static_cast<int64_t>(places.size())) places[i].rect = r;
  }
};

bool only_blanks(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c == ' '; });
}

}  // namespace

Columns_result arrange_columns(const std::vector<Column_box>& columns, int64_t width, int64_t free_height,
                               int64_t shared_right) {
  Columns_result out;
  out.places.resize(columns.size());
  Rects rects{out.places};
  const size_t n = columns.size();
  int64_t x = 0, y = 0, right = width, h = free_height;

  for (size_t i = 0; i < n; ++i) {
    const Column_box& c = columns[i];
    if (!c.visible || c.host >= 0 || c.kind != layout_on_form::TOP) continue;
    rects.set(i, {x, y, right, c.own_height});
    y += c.own_height;
    h -= c.own_height;  // may go negative: the bands keep their heights
  }
  for (size_t i = 0; i < n; ++i) {
    const Column_box& c = columns[i];
    if (!c.visible || c.host >= 0 || c.kind != layout_on_form::BOTTOM) continue;
    h -= c.own_height;
    if (h < 0) h = 0;
    rects.set(i, {x, y + h, right, c.own_height});
  }
  int64_t lefts = 0, rights = 0;
  for (size_t i = 0; i < n; ++i) {
    const Column_box& c = columns[i];
    if (!c.visible || c.host >= 0) continue;
    if (c.kind == layout_on_form::LEFT) {
      rects.set(i, {x, y, c.own_width, h});
      x += c.own_width;
      ++lefts;
    } else if (c.kind == layout_on_form::RIGHT) {
      right -= c.own_width;
      rects.set(i, {right, y, c.own_width, h});
      ++rights;
    }
  }
  const int64_t w = right - x;
  bool centre_placed = false;
  for (size_t i = 0; i < n; ++i) {
    const Column_box& c = columns[i];
    if (!c.visible || c.kind != layout_on_form::CENTER) continue;
    if (!centre_placed) {
      rects.set(i, {x, y, std::max<int64_t>(w, 1), std::max<int64_t>(h, 1)});
      centre_placed = true;
    } else {
      out.places[i].hide = true;
    }
  }
  if (!centre_placed && lefts > 0 && rights > 0) {
    x = 0;
    right = shared_right;
    const int64_t share =
        Brek_runtime::to_int64_checked(std::trunc(static_cast<double>(right) / static_cast<double>(lefts + rights)));
    for (size_t i = 0; i < n; ++i) {
      const Column_box& c = columns[i];
      if (!c.visible || c.host >= 0) continue;
      if (c.kind == layout_on_form::LEFT) {
        rects.set(i, {x, y, share, h});
        x += share;
      } else if (c.kind == layout_on_form::RIGHT) {
        right -= share;
        rects.set(i, {right, y, share, h});
      }
    }
    out.shared_width = true;
  }
  // Hosted columns cut their host: top ones first, then bottom ones (the
  // last in the list lowest), then side ones.
  for (size_t i = 0; i < n; ++i) {
    const Column_box& c = columns[i];
    if (!c.visible || c.host < 0 || c.kind != layout_on_form::TOP) continue;
    Pixel_rect hr = rects.get(c.host);
    rects.set(i, {hr.x, hr.y, hr.w, c.own_height});
    rects.set(c.host, {hr.x, hr.y + c.own_height, hr.w, hr.h - c.own_height});
  }
  for (size_t k = n; k-- > 0;) {
    const Column_box& c = columns[k];
    if (!c.visible || c.host < 0 || c.kind != layout_on_form::BOTTOM) continue;
    Pixel_rect hr = rects.get(c.host);
    rects.set(k, {hr.x, hr.y + hr.h - c.own_height, hr.w, c.own_height});
    rects.set(c.host, {hr.x, hr.y, hr.w, hr.h - c.own_height});
  }
  for (size_t i = 0; i < n; ++i) {
    const Column_box& c = columns[i];
    if (!c.visible || c.host < 0 || !is_side(c.kind)) continue;
    Pixel_rect hr = rects.get(c.host);
    if (c.kind == layout_on_form::LEFT) {
      rects.set(i, {hr.x, hr.y, c.own_width, hr.h});
      rects.set(c.host, {hr.x + c.own_width, hr.y, hr.w - c.own_width, hr.h});
    } else {
      rects.set(i, {hr.x + hr.w - c.own_width, hr.y, c.own_width, hr.h});
      rects.set(c.host, {hr.x, hr.y, hr.w - c.own_width, hr.h});
    }
  }
  for (size_t i = 0; i < n; ++i) {
    Column_place& p = out.places[i];
    if (!columns[i].visible || p.hide) continue;
    p.apply = true;
    p.set_width = !(is_side(columns[i].kind) && !out.shared_width);
    p.set_height = !is_band(columns[i].kind);
  }
  return out;
}

void margins(const Column_frame& frame, double& m, double& g) {
  m = 2;
  g = 0;
  if (frame.plain_margins) return;
  if (is_band(frame.kind)) g = 2;
  if (is_side(frame.kind)) m = 8;
}

bool is_row(const Column_frame& frame) {
  return is_band(frame.kind) && frame.layout != controls_layout::CONTROLS_TOP_TO_BOTTOM &&
         frame.layout != controls_layout::CONTROLS_VERTICAL_2;
}

namespace {

using CL = controls_layout;

// A label is never narrower than its text once another control follows it.
void widen_label(std::vector<Control_record>& recs, const std::vector<Control_box>& boxes) {
  if (recs.empty()) return;
  Control_record& last = recs.back();
  const Control_box& b = boxes[last.index];
  if (b.label) last.w = std::max(last.w, b.text_width);
}

double blank_label_width(const Control_box& b) { return static_cast<double>(b.text.size()) * b.height / 2; }

// The widths of a row's controls within the room it has: when they need
// more, the widest edits and combo boxes give it up, levelled down
// together, none below twice the row's height. Labels, buttons and the
// narrow ones keep their widths.
std::vector<double> widths_in_row(const std::vector<Control_box>& boxes, double room, double floor) {
  std::vector<double> w;
  double need = 0;
  for (const Control_box& b : boxes) {
    w.push_back(b.width);
    need += b.width;
  }
  auto yields = [&](size_t i) {
    const Control_box& b = boxes[i];
    return !b.label && !b.push_button && !b.glyph_button && w[i] > floor;
  };
  // Each step levels the widest down to the next width (or the floor),
  // until the row fits or nothing yields any more.
  while (need > room && std::isfinite(need)) {
    double widest = 0, next = floor;
    size_t count = 0;
    for (size_t i = 0; i < w.size(); ++i)
      if (yields(i)) widest = std::max(widest, w[i]);
    for (size_t i = 0; i < w.size(); ++i) {
      if (!yields(i)) continue;
      if (w[i] == widest) ++count;
      else next = std::max(next, w[i]);
    }
    if (count == 0) break;
    const double level = std::max(next, widest - (need - room) / static_cast<double>(count));
    for (size_t i = 0; i < w.size(); ++i)
      if (yields(i) && w[i] == widest) w[i] = level;
    need -= (widest - level) * static_cast<double>(count);
  }
  return w;
}

void arrange_row(const Column_frame& f, const std::vector<Control_box>& boxes, double m, double g,
                 std::vector<Control_record>& recs) {
  const double avail = f.client_width;
  const double height = f.client_height;
  const size_t n = boxes.size();
  const double spacing = m + static_cast<double>(n) * m + static_cast<double>(n - 1) * g;
  const std::vector<double> width = widths_in_row(boxes, avail - spacing, 2 * height);
  double total = m;
  for (double w : width) total += w + m;
  const double free = avail - total - static_cast<double>(n - 1) * g;
  double even = free / static_cast<double>(n + 1);
  if (even < 0 || std::isnan(even)) even = 0;
  double x = m, gap = 0;
  switch (f.layout) {
    case CL::CONTROLS_RIGHT: x = free; break;
    case CL::CONTROLS_CENTER: x = even; gap = even; break;
    case CL::CONTROLS_JUSTIFY: gap = even; break;
    case CL::CONTROLS_LEFT_LAST_RIGHT:
    case CL::CONTROLS_LEFT_LABELS_ABOVE: gap = m; break;
    default: break;
  }
  const bool labels_above = f.layout == CL::CONTROLS_LEFT_LABELS_ABOVE;
  for (size_t i = 0; i < n; ++i) {
    const Control_box& b = boxes[i];
    const bool after_label = i > 0 && boxes[i - 1].label;
    widen_label(recs, boxes);
    Control_record r;
    r.index = i;
    r.w = width[i];
    if (b.label && only_blanks(b.text)) r.w = blank_label_width(b);
    bool height_set = false;
    if (labels_above && !b.label && after_label) {
      Control_record& lab = recs.back();
      lab.label_shares_line = true;
      r.x = lab.x;
      r.y = lab.y + lab.h;
      x = lab.x + width[i] + gap;
    } else if (f.layout == CL::CONTROLS_LEFT_LAST_RIGHT && i == n - 1) {
      // At the right end, yet never over the control before it.
      r.x = std::max(avail - g - width[i], x);
      r.y = g;
    } else {
      r.x = x;
      r.y = g;
      x += width[i] + gap;
      if (labels_above) {
        r.y = b.label ? g : 0.45 * height;
        r.h = 0.45 * height;
        height_set = true;
      }
      if (height < 2 * m + 8) {
        r.y = m;
        r.h = height - 2 * m;
        height_set = true;
      }
    }
    if (!height_set) r.h = height - 2 * g;
    recs.push_back(r);
  }
}

void arrange_stack(const Column_frame& f, const std::vector<Control_box>& boxes, double m, double g,
                   std::vector<Control_record>& recs) {
  const bool two = f.layout == CL::CONTROLS_VERTICAL_2;
  double avail = two ? f.client_width / 2 : f.client_width;
  const size_t n = boxes.size();
  const int64_t turn = static_cast<int64_t>(n / 2) - 1;
  double cx = m, cy = g;
  for (size_t i = 0; i < n; ++i) {
    const Control_box& b = boxes[i];
    widen_label(recs, boxes);
    double extent = f.extent;
    if (extent >= -2 && extent <= 0) extent = avail / 2;
    Control_record r;
    r.index = i;
    r.h = b.height;
    const bool after_label = i > 0 && boxes[i - 1].label;
    bool beside = false;
    if (!b.label && !b.stretch && after_label) {
      const double text = boxes[i - 1].text_width;
      const bool fits = extent >= 0 ? text <= extent : text <= avail + extent + 1;
      if (fits) {
        Control_record& lab = recs.back();
        r.y = lab.y;
        r.x = extent >= 0 ? lab.x + extent : avail + extent;
        if (extent > 0) lab.w = extent - 1;
        else if (extent < 0) lab.w = avail + extent - 1;
        lab.label_shares_line = true;
        lab.right_align = f.labels_right;
        beside = true;
      }
    }
    if (!beside && b.glyph_button && i > 0 && !boxes[i - 1].label) {
      Control_record& prev = recs.back();
      r.y = prev.y;
      r.x = avail - m - b.width;
      prev.w = std::max(0.0, r.x - m - prev.x);
      beside = true;
    }
    if (!beside) {
      r.x = cx;
      r.y = cy;
    }
    if (b.label) {
      r.w = only_blanks(b.text) ? blank_label_width(b) : b.width;
      if (!beside) {
        if (extent > 0) r.w = extent - 1;
        else if (extent < 0) r.w = avail + extent - 1;
      }
    } else {
      r.w = avail - m - r.x;
    }
    cy = std::max(cy, r.y + r.h + g);
    recs.push_back(r);
    if (two && static_cast<int64_t>(i) == turn) {
      cx = avail + m;
      cy = g;
      avail *= 2;
    }
  }
}

// The last stretching control takes the rest of the column; the controls
// after it move to the far end.
void stretch(const Column_frame& f, const std::vector<Control_box>& boxes, bool row, double m, double g,
             std::vector<Control_record>& recs) {
  int64_t s = -1;
  for (size_t k = 0; k < recs.size(); ++k)
    if (boxes[recs[k].index].stretch) s = static_cast<int64_t>(k);
  if (s < 0) return;
  double end = row ? f.client_width : f.client_height;
  for (int64_t k = static_cast<int64_t>(recs.size()) - 1; k > s; --k) {
    Control_record& r = recs[k];
    if (row) {
      r.x = end - m - r.w;
      end = r.x;
    } else if (r.label_shares_line && k + 1 < static_cast<int64_t>(recs.size())) {
      r.y = recs[k + 1].y;
    } else {
      r.y = end - g - r.h;
      end = r.y;
    }
  }
  Control_record& sr = recs[s];
  if (row)
    sr.w = std::max(end - m - sr.x, 10.0);
  else
    sr.h = std::max(end - g - sr.y, 10.0);
}

}  // namespace

Controls_result arrange_controls(const Column_frame& frame, const std::vector<Control_box>& boxes) {
  Controls_result out;
  if (boxes.empty()) return out;
  double m, g;
  margins(frame, m, g);
  const bool row = is_row(frame);
  if (row && frame.layout == CL::CONTROLS_MANUAL) return out;
  if (row)
    arrange_row(frame, boxes, m, g, out.records);
  else
    arrange_stack(frame, boxes, m, g, out.records);
  widen_label(out.records, boxes);
  stretch(frame, boxes, row, m, g, out.records);
  out.moved = !out.records.empty();
  return out;
}

}  // namespace Column_layout
}  // namespace brek
