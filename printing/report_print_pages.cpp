#include "printing/report_print_pages.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "drawing/bitmap.h"
#include "drawing/canvas.h"
#include "drawing/native_bitmap.h"
#include "platform/painter.h"
#include "printing/print_dialog.h"
#include "runtime/strings.h"

namespace brek {

namespace {

// The source behind the weak reference; nullptr when it is gone or is no
// source. `hold` keeps it alive while it is used.
Poster_source* source_of(const Weak<Brek_object>& dialog, Ref<Brek_object>& hold) {
  hold = dialog.lock();
  if (hold.is_none()) return nullptr;
  return dynamic_cast<Poster_source*>(hold.get());
}

// The whole pixels of the canvas's device (a page at its own resolution)
// that a length in the canvas's units surely covers wherever it lies:
// fewer than the length (whose ends are rounded to pixels) spans, so a
// copy of that size is drawn without being scaled down once more.
int64_t device_pixels(const C_Canvas& c, double length) {
  Native_bitmap* nb = c.native_surface();
  const int dpi = nb && nb->drawable() ? brek_platform::target_dpi_x(nb->target()) : brek_platform::screen_dpi();
  const double points = C_Canvas::convert_units(length, c.units, units_measure_graphics::POINTS);
  return std::max<int64_t>(1, Brek_runtime::to_int64_checked(std::ceil(points * dpi / 72)) - 1);
}

// The part of card `picture`, stretched over `placed`, that lies in
// `area`, clipped to `area` on the device, in the drawing mode. Only the
// picture's pixels behind the part go to the page (and one more round
// them, so the smoothing at the cut matches the whole picture's): a page
// carries no more of a large picture than it shows. A grey mode turns only
// that part grey, at the size it prints (never more pixels than the
// picture has there), so a card over many sheets is converted about once.
void draw_card(const Ref<C_Bitmap>& picture, int64_t mode, const Ref<C_Canvas>& c, const rect& placed,
               const rect& area) {
  if (picture.is_none()) return;
  const bool grey = mode >= 1 && mode <= 4;
  const double l = std::max(placed.x, area.x), t = std::max(placed.y, area.y);
  const double r = std::min(placed.x + placed.w, area.x + area.w), btm = std::min(placed.y + placed.h, area.y + area.h);
  if (l <= placed.x && t <= placed.y && r >= placed.x + placed.w && btm >= placed.y + placed.h) {
    if (!grey) {
      picture->stretch_draw(c, placed);
      return;
    }
    const int64_t w = std::min(device_pixels(*c, placed.w), picture->width);
    const int64_t h = std::min(device_pixels(*c, placed.h), picture->height);
    Ref<C_Bitmap> copy = C_Print_dialog::to_grayscale(picture, mode, w, h);
    if (!copy.is_none()) copy->stretch_draw(c, placed);
    return;
  }
  const Pixels* src = picture->pixels();
  if (!src || src->empty() || r <= l || btm <= t || !(placed.w > 0) || !(placed.h > 0)) return;
  const int w = src->width(), h = src->height();
  const double fx = placed.w / w, fy = placed.h / h;
  const int x0 = std::clamp(int(std::floor((l - placed.x) / fx)) - 1, 0, w);
  const int x1 = std::clamp(int(std::ceil((r - placed.x) / fx)) + 1, 0, w);
  const int y0 = std::clamp(int(std::floor((t - placed.y) / fy)) - 1, 0, h);
  const int y1 = std::clamp(int(std::ceil((btm - placed.y) / fy)) + 1, 0, h);
  if (x1 <= x0 || y1 <= y0) return;
  const rect at{placed.x + x0 * fx, placed.y + y0 * fy, (x1 - x0) * fx, (y1 - y0) * fy};
  Ref<C_Bitmap> part;
  if (grey) {
    const int64_t pw = std::min<int64_t>(device_pixels(*c, at.w), x1 - x0);
    const int64_t ph = std::min<int64_t>(device_pixels(*c, at.h), y1 - y0);
    const rect from{double(x0), double(y0), double(x1 - x0), double(y1 - y0)};
    part = C_Print_dialog::to_grayscale(picture, mode, pw, ph, from);
  } else {
    part = C_Bitmap::create(x1 - x0, y1 - y0, picture->has_alpha() ? 32 : 0);
    Pixels* dst = part->pixels();
    if (!dst || dst->width() != x1 - x0 || dst->height() != y1 - y0) return;
    const uint32_t force = part->has_alpha() ? 0 : 0xFF000000u;
    for (int y = y0; y < y1; ++y) {
      const uint32_t* s = src->row(y);
      uint32_t* d = dst->row(y - y0);
      for (int x = x0; x < x1; ++x) d[x - x0] = s[x] | force;
    }
  }
  if (part.is_none()) return;
  part->stretch_draw(c, at, area);
}

}  // namespace

Ref<C_Report_print_pages> C_Report_print_pages::create() { return make<C_Report_print_pages>(); }

void C_Report_print_pages::destroy_hook() {
  dialog.reset();
  cards_.clear();
  pictures_.clear();
  C_Report::destroy_hook();
}

void C_Report_print_pages::read_options() {
  if (is_none()) return;
  Ref<Brek_object> hold;
  Poster_source* src = source_of(dialog, hold);
  if (!src) return;
  cards_.clear();
  pictures_.clear();
  for (int64_t i = 0, n = src->poster_card_count(); i < n; ++i) {
    cards_.push_back(src->poster_card_rect(i));
    pictures_.push_back(src->poster_card_bitmap(i, 0, 0, 0));
  }
  union_box_ = Poster_layout::union_box(cards_);
  Poster_geometry g(src->poster_options(), union_box_, POINTS_PER_MM);
  options_ = g.options;
  paper_size = point{g.paper.x * POINTS_PER_MM, g.paper.y * POINTS_PER_MM};
  margins = g.options.margins;
  overlap_mm = g.options.overlap_mm;
  columns = g.columns;
  rows = g.rows;

  // Pages are kept in portrait terms and turned as they are drawn, so a
  // landscape sheet is given as the paper stands in the list.
  point portrait{g.options.paper_mm.x * POINTS_PER_MM, g.options.paper_mm.y * POINTS_PER_MM};
  pages.clear();
  current_page = 0;
  page_number = 0;
  int64_t n = g.page_count();
  for (int64_t i = 1; i <= n; ++i) {
    set_page(page_size::CUSTOM_SIZE, portrait, false, g.options.landscape);
    if (i < n) new_page();
  }
}

void C_Report_print_pages::draw_page(int64_t p) {
  if (is_none()) return;
  C_Report::draw_page(p);
  if (cards_.empty()) return;
  Poster_geometry g(options_, union_box_, POINTS_PER_MM);
  overlap = g.overlap;
  if (p < 0 || p >= g.page_count()) return;
  page_row = g.row_of(p);
  page_column = g.column_of(p);

  rect sheet = g.sheet();
  rect printable = g.page_rect(page_column, page_row, sheet);
  point origin = g.page_origin(page_column, page_row, sheet);
  canvas->brush_color = COLOR_WHITE;
  canvas->clear();
  draw_part(printable, sheet, origin, g.scale);
}

rect C_Report_print_pages::page_rect(const point& grid, const point& cell, double band, double unit,
                                     const rect& paper) const {
  using Brek_runtime::to_int64_checked;
  return Poster_layout::page_rect(margins, to_int64_checked(grid.x), to_int64_checked(grid.y),
                                  to_int64_checked(cell.x), to_int64_checked(cell.y), band, unit, paper);
}

void C_Report_print_pages::draw_part(const rect& printable, const rect& window, const point& origin, double s) {
  if (is_none()) return;
  Ref<C_Canvas> c = canvas;
  const Poster_geometry g(options_, union_box_, POINTS_PER_MM);
  // The cards end at the sheet's margins; a band is within them.
  const rect inside = g.inside_margins(window);
  bool drawn = false;
  for (size_t i = 0; i < cards_.size(); ++i) {
    const rect& card = cards_[i];
    rect placed{origin.x + (card.x - union_box_.x) * s, origin.y + (card.y - union_box_.y) * s, card.w * s,
                card.h * s};
    if (!Poster_geometry::card_on_sheet(placed, window)) continue;
    draw_card(pictures_[i], options_.drawing_mode, c, placed, inside);
    drawn = true;
  }
  // The cut lines lie over the cards; a sheet without cards has none.
  if (!drawn) return;
  Color pen = c->pen_color;
  c->pen_color = Colors::from_bits(0xFF0000FFu);
  for (const Poster_line& line : g.cut_lines(page_column, page_row, printable, window)) c->draw_line(line.from, line.to);
  c->pen_color = pen;
}

}  // namespace brek
