// Painting a table into its back buffer: background, header line, the
// visible rows with their selection, cell texts, grid lines and the fading
// right edge of header cells. The owner form's paint hook runs before each
// line and, with virtual rows, before each cell.
#include <algorithm>
#include <cmath>

#include "drawing/brek_drawing.h"
#include "drawing/font.h"
#include "drawing/paint_table.h"
#include "forms/form.h"
#include "runtime/runtime_services.h"

namespace brek {

namespace {

// A scheme colour made opaque.
Color sys(system_color item) { return Colors::from_bits(uint32_t(Colors::system(int64_t(item))) | 0xFF000000u); }

void fill(const Ref<C_Canvas>& c, const rect& r) { C_Brek_drawing::fill_rect(*c, r); }

}  // namespace

void C_Paint_table::on_paint() {
  C_Paintbox::on_paint();
  if (is_none() || canvas.is_none()) return;
  Brek_runtime::Recursion_guard guard;
  Ref<C_Paint_table> keep(this);
  Ref<C_Canvas> c = canvas;
  c->reset_transform();
  c->units = units_measure_graphics::POINTS;
  c->brush_style = brush_style::SOLID_BRUSH;
  c->pen_style = pen_style::SOLID_PEN;
  Ref<C_Form> f = form.lock();
  const bool own = f->colors_set != 0;
  // A table without a colour of its own takes the window colour.
  const Color back = own ? f->colors[1] : (color_set ? color : sys(system_color::WINDOW));
  const Color pen = own ? COLOR_WHITE : sys(system_color::WINDOW_TEXT);
  c->brush_color = back;
  c->pen_color = pen;
  const rect pr = paint_rect();
  fill(c, pr);

  std::string name = get_font_name();
  double size = get_font_size();
  Ref<C_Font> font = C_Font::new_font(name.empty() ? "Arial" : name, size > 0 ? size : 10.0);
  std::string style = get_font_style();
  std::string letters;
  if (style.find('B') != std::string::npos) letters += "B";
  if (style.find('I') != std::string::npos) letters += "I";
  font->set_style(letters);
  c->set_font(font);

  const double h = line_height();
  const int64_t shown = shown_columns();
  if (header_line && pr.y < h) {
    drawing_item.row = -1;
    cell_texts.clear();
    for (int64_t i = 0; i < shown; ++i) cell_texts.append(columns.get(i).title);
    drawing_item.texts_pass = 0;
    paint_line(true, 0, true, false, text_color);
    drawing_item.texts_pass = 1;
    paint_line(false, 0, true, false, text_color);
  }

  const int64_t first = first_visible_line();
  const int64_t page = page_lines();
  const double one_pixel = C_Canvas::from_device_pixels(1);
  // A form with its own dark colours gets selection colours that show on it.
  const bool dark = own && Colors::is_dark(f->colors[1]);
  for (int64_t row = std::max<int64_t>(0, first); row <= first + page && row < line_count(); ++row) {
    Brek_runtime::loop_tick();
    const double top = double(row - first) * h + (header_line ? h : 0);
    if (top + h < pr.y || top > pr.y + pr.h + one_pixel) continue;
    drawing_item.row = int32_t(std::clamp<int64_t>(row, INT32_MIN, INT32_MAX));
    cell_texts.clear();
    if (!virtual_rows) {
      const St_table_row__C_Paint_table& r = rows.get(row);
      for (int64_t i = 0; i < columns.count(); ++i) cell_texts.append(r.cells.get(i));
    } else {
      for (int64_t i = 0; i < columns.count(); ++i) cell_texts.append(std::string());
    }
    c->brush_color = back;
    c->pen_color = pen;
    c->pen_style = pen_style::SOLID_PEN;
    const bool selected = is_row_selected(row);
    Color text = text_color;
    if (selected) {
      Color hb = sys(system_color::HIGHLIGHT);
      Color ht = sys(system_color::HIGHLIGHT_TEXT);
      if (dark) {
        hb = Colors::contrast(hb);
        ht = Colors::contrast(ht);
      }
      c->brush_color = hb;
      text = ht;
      c->pen_style = pen_style::CLEAR_PEN;
      call_hook(-1);
      fill(c, rect{0, top, visible_extent("H"), h});
      c->pen_style = pen_style::SOLID_PEN;
    }
    drawing_item.texts_pass = 1;
    paint_line(true, top, false, selected, text);
    paint_line(false, top, false, selected, text);
  }
}

void C_Paint_table::paint_line(bool pass, double top, bool header, bool selected, Color text_colour) {
  drawing_item.pass = pass;
  if (pass) call_hook(-1);
  Ref<C_Canvas> c = canvas;
  const double view_w = visible_extent("H");
  const double h = line_height();
  double x = -visible_rect().x;
  const int64_t n = std::min(shown_columns(), cell_texts.count());
  for (int64_t i = 0; i < n; ++i) {
    const double w = columns.get(i).width;
    if (x + w < 0 || x > view_w) {
      x += w;
      continue;
    }
    drawing_item.column = i;
    drawing_item.rect = rect{x, top, w, h};
    paint_cell(pass, x, top, i, header, selected, text_colour);
    if (grid_lines) {
      const Color saved = c->pen_color;
      const pen_style saved_style = c->pen_style;
      c->pen_color = grid_color;
      c->pen_style = pen_style::SOLID_PEN;
      // The line above the cell: the next line's backgrounds would cover
      // one below it.
      c->draw_line(point{x + w, top}, point{x + w, top + h});
      c->draw_line(point{x, top}, point{x + w, top});
      c->pen_color = saved;
      c->pen_style = saved_style;
    }
    x += w;
  }
}

void C_Paint_table::paint_cell(bool pass, double x, double top, int64_t column, bool header, bool selected,
                               Color text_colour) {
  Ref<C_Canvas> c = canvas;
  const double h = line_height();
  const St_column__C_Paint_table col = columns.get(column);
  drawing_item.pass_copy = pass;
  if (virtual_rows && !header) call_hook(column);
  if (pass) {
    // Backgrounds first, so that no cell covers its neighbour's text.
    fill(c, rect{x - 1.0, top, col.width, h + 2.0});
    if (!header && !selected && drawing_item.row == current_line()) {
      const brush_style bs = c->brush_style;
      const Color bc = c->brush_color;
      c->brush_style = brush_style::DIAGONAL;
      c->brush_color = Colors::average(COLOR_WHITE, sys(system_color::WINDOW));
      fill(c, rect{x - 1.0, top, col.width, h});
      c->brush_style = bs;
      c->brush_color = bc;
    }
    if (header && header_relief) paint_relief(x + col.width, top);
    return;
  }
  const std::string text = cell_texts.get(column);
  if (text.empty()) return;
  const rect ext = c->text_extent(text);
  double tx = x + 2.0;
  if (col.alignment == text_alignment::CENTER_ALIGN) tx = x + (col.width - ext.w) / 2;
  if (col.alignment == text_alignment::RIGHT_ALIGN) tx = x + col.width - ext.w - 2.0;
  const double ty = top + (h - ext.h) / 2;
  const Color saved = c->pen_color;
  if (outline_width != 0) {
    c->pen_color = Colors::contrast(text_colour);
    const double o = outline_width;
    for (point d : {point{-o, 0}, point{o, 0}, point{0, -o}, point{0, o}}) c->draw_text(point{tx + d.x, ty + d.y}, text);
  }
  c->pen_color = text_colour;
  c->draw_text(point{tx, ty}, text);
  c->pen_color = saved;
}

void C_Paint_table::paint_relief(double right, double top) {
  Ref<C_Canvas> c = canvas;
  const double px = C_Canvas::from_device_pixels(1);
  const double h = line_height();
  const Color saved = c->brush_color;
  Color b = Colors::average(saved, grid_color);
  for (int i = 1; i <= 6; ++i) {
    c->brush_color = b;
    fill(c, rect{right - 3.0 * i, top + px, 3.0, h - 2 * px});
    // Each step halfway towards the pen's colour: the edge fades.
    b = Colors::from_bits(uint32_t(Colors::average(b, c->pen_color)) | 0xFF000000u);
  }
  c->brush_color = saved;
}

}  // namespace brek
