#include "printing/report.h"

#include <algorithm>
#include <cmath>

#include "baselib/mathematics.h"
#include "baselib/system_functions.h"
#include "drawing/bitmap.h"
#include "drawing/canvas.h"
#include "drawing/font.h"
#include "runtime/strings.h"

namespace brek {

Ref<C_Report> C_Report::create() { return make<C_Report>(); }

void C_Report::init() { reset(); }

void C_Report::destroy_hook() {
  canvas.reset();
  bitmap.reset();
  Brek_object::destroy_hook();
}

void C_Report::reset() {
  if (is_none()) return;
  pages.clear();
  commands.clear();
  texts.clear();
  current_page = 0;
  page_number = 0;
  double m = DEFAULT_MARGIN;
  margins = margins_for_cell{m, m, m, m};
  portrait_width = A4_WIDTH;
  portrait_height = A4_HEIGHT;
  landscape = false;
  position = point{margin_x(), margin_y()};
  pages.append(page_attributes{portrait_width, portrait_height, landscape, margins});
  cell_margins = margins_for_cell{4.0, 4.0, 0, 0};
}

void C_Report::set_page(page_size item, const point& size, bool check, bool turned) {
  if (is_none()) return;
  switch (item) {
    case page_size::A4:
      portrait_width = A4_WIDTH;
      portrait_height = A4_HEIGHT;
      break;
    case page_size::A3:
      portrait_width = A3_WIDTH;
      portrait_height = A3_HEIGHT;
      break;
    case page_size::A5:
      portrait_width = A5_WIDTH;
      portrait_height = A5_HEIGHT;
      break;
    default:
      portrait_width = size.x;
      portrait_height = size.y;
      break;
  }
  landscape = turned;
  if (pages.empty()) pages.append(page_attributes{});
  if (page_attributes* rec = pages.at(current_page)) *rec = page_attributes{portrait_width, portrait_height, landscape, margins};
  if (check && (position.x > page_width() || position.y > page_height())) new_page();
}

void C_Report::set_page_layout(bool turned) { set_page(page_size::A4, point{}, false, turned); }

void C_Report::new_page() {
  if (is_none()) return;
  current_page = current_page + 1;
  page_number = current_page;
  position = point{margin_x(), margin_y()};
  pages.append(pages.get(pages.count() - 1));
}

void C_Report::set_canvas(const Ref<C_Canvas>& c) {
  if (is_none()) return;
  canvas = c;
}

void C_Report::prepare() {
  if (is_none()) return;
  build_pages();
}

void C_Report::draw_page(int64_t page) {
  if (is_none()) return;
  // The page's own record; a page outside the list keeps the current size
  // and margins.
  current_page = page;
  page_number = page;
  if (const page_attributes* rec = pages.at(page)) {
    landscape = rec->landscape;
    if (rec->width > 0) portrait_width = rec->width;
    if (rec->height > 0) portrait_height = rec->height;
    margins = rec->margins;
  } else {
    landscape = false;
  }

  Ref<C_Canvas> c = canvas;
  if (!keep_transform) c->reset_transform();
  if (!Mathematics::approx_equal(scale, 1.0)) c->scale_transform(scale, scale);
  if (landscape && !no_turn) {
    // A landscape page is drawn turned on the portrait device page.
    c->translate_transform(portrait_width / 2, portrait_height / 2);
    c->rotate_transform(-90);
    c->translate_transform(-portrait_height / 2, -portrait_width / 2);
  }
  if (!no_page_fill) {
    Color pen = c->pen_color, brush = c->brush_color;
    c->pen_color = COLOR_WHITE;
    c->brush_color = COLOR_WHITE;
    c->draw_rectangle(rect{0, 0, page_width(), page_height()});
    c->pen_color = pen;
    c->brush_color = brush;
  }
  for (int64_t i = 0; i < commands.count(); ++i) {
    const command_info* cmd = commands.at(i);
    if (cmd && cmd->page == page) draw_command(*c, *cmd);
  }
  c->detach();
}

void C_Report::draw_command(C_Canvas& c, const command_info& cmd) {
  rect box{std::min(cmd.x1, cmd.x2), std::min(cmd.y1, cmd.y2), std::fabs(cmd.x2 - cmd.x1), std::fabs(cmd.y2 - cmd.y1)};
  switch (cmd.kind) {
    case kind_command_to_print::RECT: {
      // -1 and 0 stand for "no colour".
      int32_t colour = int32_t(uint32_t(cmd.color));
      if (cmd.no_fill || colour == -1 || colour == 0) return;
      Color brush = c.brush_color;
      brek::pen_style pen = c.pen_style;
      c.brush_color = cmd.color;
      c.pen_style = pen_style::CLEAR_PEN;
      c.draw_rectangle(box);
      c.pen_style = pen;
      c.brush_color = brush;
      return;
    }
    case kind_command_to_print::LINE: {
      Color pen = c.pen_color, brush = c.brush_color;
      double width = c.pen_width;
      c.pen_color = cmd.color;
      c.brush_color = cmd.color;
      double lw = cmd.line_width;
      // Straight lines are bars of the line's width, centred on it.
      if (Mathematics::approx_equal(cmd.x1, cmd.x2)) {
        c.draw_rectangle(rect{cmd.x1 - lw / 2, box.y, lw, box.h});
      } else if (Mathematics::approx_equal(cmd.y1, cmd.y2)) {
        c.draw_rectangle(rect{box.x, cmd.y1 - lw / 2, box.w, lw});
      } else {
        c.pen_width = lw / 2;
        c.draw_line(point{cmd.x1, cmd.y1}, point{cmd.x2, cmd.y2});
      }
      c.pen_width = width;
      c.pen_color = pen;
      c.brush_color = brush;
      return;
    }
    case kind_command_to_print::TEXT: {
      std::string name = font_names.get(cmd.font_index);
      if (name.empty()) name = default_font;
      double size = cmd.font_size <= 1.0 || !std::isfinite(cmd.font_size) ? 10.0 : cmd.font_size;
      Ref<C_Font> font = C_Font::new_font(name, size);
      std::string letters;
      if (cmd.style & 1) letters += "B";
      if (cmd.style & 2) letters += "I";
      if (cmd.style & 4) letters += "U";
      if (cmd.style & 8) letters += "S";
      font->set_style(letters);
      std::string text =
          cmd.page_count_text ? Brek_runtime::int_to_str(page_count()) : texts.get(cmd.text_index);

      Ref<C_Font> old_font = c.font;
      Color pen = c.pen_color;
      rect old_clip = c.clip_rect;
      c.set_font(font);
      c.pen_color = cmd.color;
      if (box.w > 0 && box.h > 0 &&
          !Brek_runtime::str_matches(System_functions::platform_description(), "%quorvel%"))
        c.clip_rect = box;
      c.draw_text(point{cmd.x1, cmd.y1}, text);
      c.clip_rect = old_clip;
      c.pen_color = pen;
      c.set_font(old_font);
      c.detach();
      return;
    }
    default:
      return;
  }
}

}  // namespace brek
