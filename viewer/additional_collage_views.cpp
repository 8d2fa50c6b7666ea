// The commands' part of the directory views: the order of the file
// list, the thumbnail and caption arrangements, pictures fitted into cells,
// the captions beside them, read-ahead while scrolling, thumbnail resizing
// and the overlays painted over the window.
#include <algorithm>
#include <cmath>
#include <vector>

#include "baselib/file_path.h"
#include "baselib/language_table.h"
#include "baselib/localize_str.h"
#include "drawing/bitmap.h"
#include "drawing/font.h"
#include "drawing/units.h"
#include "forms/form_bridge.h"
#include "runtime/runtime_services.h"
#include "runtime/strings.h"
#include "viewer/additional_collage.h"
#include "drawing/canvas_keep.h"
#include "viewer/collage_viewer.h"
#include "viewer/directory_view.h"
#include "viewer/file_order.h"

namespace brek {

namespace {

// Makes the file sizes and dates an order compares known, those of a set
// (one folder) in one question to its mount, which may not answer.
void read_sort_keys(const Ref<C_Collage_viewer>& v, sort_by order, int64_t from, int64_t to) {
  if (order != sort_by::BY_SIZE && order != sort_by::BY_CREATE && order != sort_by::BY_MODIFY) return;
  std::vector<Ref<C_Image>> unread;
  for (int64_t i = from; i < to; ++i)
    if (!v->files.get(i)->version) unread.push_back(v->files.get(i));
  C_Image::read_headers(unread, 0, 0);
}

}  // namespace

// ---- ordering ------------------------------------------------------------------

int64_t C_Additional_collage::compare_items(int64_t i, int64_t j) {
  Ref<C_Collage_viewer> v = viewer.lock();
  return File_order::compare(*v->files.get(i), *v->files.get(j), sort_by, descendant);
}

int32_t C_Additional_collage::compare(int64_t i, int64_t j) { return int32_t(compare_items(i, j)); }

void C_Additional_collage::swap(int64_t i, int64_t j) {
  Ref<C_Collage_viewer> v = viewer.lock();
  v->files.swap(i, j);
}

void C_Additional_collage::sort_files(int64_t start) {
  if (is_none()) return;
  Ref<C_Collage_viewer> v = viewer.lock();
  const int64_t n = v->files.count();
  start = std::max<int64_t>(start, 0);
  stack.clear();
  const int64_t end = File_order::set_end(start, n, [&](int64_t a, int64_t b) { return v->same_directory(a, b); });
  if (end - start < 2) return;
  read_sort_keys(v, sort_by, start, end);
  stack.append(start);
  stack.append(end - start);
  for (int64_t k = 0; k <= n && stack.count() >= 2; ++k) {
    Brek_runtime::loop_tick();
    quicksort_step();
  }
}

namespace {

// Thumbnail sizes ("Thumb_w", "Thumb_h", the drag that sets them) are in
// pixels of the window system: a scaled screen shows them as large as any
// other, and sharper.
double thumb_cell(int64_t pixels) { return double(pixels) * Draw_units::device_pixel_ratio(); }

// The thumbnail and caption arrangement: one cell a line, each directory's
// set sorted and set off by a gap.
void arrange_lines(C_Additional_collage& c, const Ref<C_Collage_viewer>& v, double cell_w, double cell_h,
                   double spacing) {
  const double gap = double(C_Canvas::to_device_pixels(30));
  double y = 0;
  for (int64_t i = 0; i < v->files.count(); ++i) {
    Brek_runtime::loop_tick();
    const bool begins = i == 0 || !v->same_directory(i, i - 1);
    if (begins) c.sort_files(i);
    Ref<C_Image> e = v->files.get(i);
    e->set_load_options(rect{0, y, cell_w, cell_h});
    if (begins && i > 0) e->set_load_options(rect{0, y + gap, cell_w, cell_h});
    y = e->rect.y + e->rect.h + spacing;
  }
  v->layout_bottom = y;
  v->laid_out_count = v->files.count();
}

}  // namespace

bool C_Additional_collage::layout_set() {
  if (is_none()) return false;
  Ref<C_Collage_viewer> v = viewer.lock();
  switch (mode_view) {
    case brek::mode_view::COLLAGE:
      if (sort_by == brek::sort_by::BY_DIM) return false;
      for (int64_t i = 0; i < v->files.count(); ++i)
        if (i == 0 || !v->same_directory(i, i - 1)) sort_files(i);
      return false;
    case brek::mode_view::THUMB:
      arrange_lines(*this, v, thumb_cell(thumb_w), thumb_cell(thumb_h), 0);
      return true;
    case brek::mode_view::CAPTIONS:
      arrange_lines(*this, v, 0, double(C_Canvas::to_device_pixels(10)), double(C_Canvas::to_device_pixels(3)));
      return true;
  }
  return false;
}

// ---- cells ---------------------------------------------------------------------

void C_Additional_collage::fit_thumbnail(const Ref<C_Canvas>& canvas, const rect& cell, const Ref<C_Bitmap>& picture) {
  if (is_none() || canvas.is_none() || picture.is_none() || picture->width <= 0 || picture->height <= 0) return;
  Directory_view::Fit f = Directory_view::fit(double(picture->width), double(picture->height), cell);
  if (f.whole || !ref_cast<C_Icon>(picture).is_none()) {
    picture->stretch_draw(canvas, cell);
    return;
  }
  // copy_rect works in device pixels; the cell is in the canvas's unit.
  const units_measure_graphics u = canvas->units;
  rect dest = cell;
  if (u != units_measure_graphics::PIXELS) {
    dest = rect{C_Canvas::convert_units(cell.x, u, units_measure_graphics::PIXELS),
                C_Canvas::convert_units(cell.y, u, units_measure_graphics::PIXELS),
                C_Canvas::convert_units(cell.w, u, units_measure_graphics::PIXELS),
                C_Canvas::convert_units(cell.h, u, units_measure_graphics::PIXELS)};
  }
  canvas->copy_rect(dest, f.source, picture->canvas());
}

void C_Additional_collage::fit_kept_thumbnail(const Ref<C_Canvas>& canvas, const rect& cell,
                                              const Ref<C_Bitmap>& picture, int64_t frame, bool over_black,
                                              const Ref<Brek_object>& owner) {
  if (is_none() || canvas.is_none() || picture.is_none() || picture->width <= 0 || picture->height <= 0) return;
  const Directory_view::Fit f = Directory_view::fit(double(picture->width), double(picture->height), cell);
  if (ref_cast<C_Icon>(picture).is_none() &&
      thumbnails.draw_stretched(canvas, cell, picture, frame, over_black, owner, f.whole ? rect{} : f.source))
    return;
  fit_thumbnail(canvas, cell, picture);
}

void C_Additional_collage::fit_kept_image(const Ref<C_Canvas>& canvas, const rect& cell,
                                          const Ref<C_Image>& image, bool over_black) {
  if (!(cell.w > 0) || !(cell.h > 0)) return;
  int64_t frame = 0;
  const Ref<C_Bitmap> picture = image->shown_picture(&frame);
  fit_kept_thumbnail(canvas, cell, picture, frame, over_black, image);
}

double C_Additional_collage::layout_collage(const Ref<C_Canvas>& canvas, const Ref<C_Image>& image,
                                            const rect& cell) {
  const double cell_bottom = cell.y + cell.h;
  if (is_none() || canvas.is_none()) return cell_bottom;
  if (mode_view == brek::mode_view::COLLAGE) {
    last_painted_index = image->list_index;
    return cell_bottom;
  }
  Ref<C_Collage_viewer> v = viewer.lock();
  double tw = 1, th = 1;
  v->header_target(tw, th);
  // The caption shows the size, bytes and date whether or not an order or
  // the layout needed them; a header already read is not read again.
  image->read_header_info(tw, th);
  Canvas_keep keep(canvas);
  if (v->scroll_pending) {
    const rect grown{cell.x - 1, cell.y - 1, cell.w + 2, cell.h + 2};
    const double box_w = double(C_Canvas::to_device_pixels(v->view_width()));
    const brush_style bs = canvas->brush_style;
    canvas->brush_color = COLOR_BLACK;
    canvas->pen_color = COLOR_BLACK;
    canvas->brush_style = brush_style::SOLID_BRUSH;
    const double right = grown.x + grown.w;
    canvas->draw_rectangle(rect{right, grown.y, box_w - right, grown.h});
    canvas->brush_style = bs;
  }
  const bool current = image->file_name == v->current_file;
  canvas->pen_color = current ? COLOR_WHITE : C_Collage_viewer::LIGHT_GREY;
  canvas->font->size = 10;
  canvas->font->bold = current;

  std::string size_piece = std::to_string(image->width) + " x " + std::to_string(image->height) + " [" +
                           File_path::size_text(image->file_size()) + "]";
  if (image->extension() == ".gif") {
    if (image->animation->frame_count() > 1) size_piece += " <" + std::to_string(image->animation->frame_count()) + ">";
  }
  const std::string pieces[3] = {
      Directory_view::caption_name(image->file_name, v->scan_dir), size_piece,
      Localize_str::text(lng::Additional_collage::Modified) + Date_time::to_text(image->modified)};
  const double gap = C_Canvas::convert_units(4, units_measure_graphics::POINTS, canvas->units);
  point at{cell.x + cell.w + gap, cell.y};
  double bottom = cell_bottom;
  for (const std::string& piece : pieces) {
    rect ext = canvas->text_extent(piece);
    canvas->draw_text(at, piece);
    bottom = std::max(bottom, at.y + ext.h);
    at = Directory_view::next_caption_place(at, ext.w, ext.h, cell_bottom, gap);
  }
  return bottom;
}

void C_Additional_collage::read_ahead() {
  if (is_none()) return;
  Ref<C_Collage_viewer> v = viewer.lock();
  if (!v->scroll_pending) return;
  const int64_t last = v->files.count() - 2;
  for (int64_t i = last_painted_index + 1; i <= last_painted_index + 10 && i <= last; ++i) {
    Ref<C_Image> e = v->files.get(i);
    const double w = e->rect.w - 2, h = e->rect.h - 2;
    if (w <= 0.1) return;
    if (!e->picture.is_none() || !e->animation.is_none() || !e->reduced.is_none() || e->load_failed) continue;
    // A copy kept or on its way from the worker: nothing to read.
    if (!thumbnails.kept_for(e.get(), int64_t(w), int64_t(h), quality_drawing_lines_shapes::MEDIUM, true).is_none() ||
        v->cell_decodes.wanted(e))
      continue;
    if (!v->decode_cell_off_thread(e, int64_t(w), int64_t(h))) {
      if (double(e->width / 2) >= w || double(e->height / 2) >= h)
        e->load(w, h);
      else
        v->load_whole(e);
    }
    // Read for the coming paints: it ages from now, as if drawn.
    e->use_stamp = v->paint_clock;
    return;
  }
}

void C_Additional_collage::refresh_layout() {
  if (is_none()) return;
  Ref<C_Collage_viewer> v = viewer.lock();
  v->layout_bottom = 0;
  v->last_cell = rect{};
  const int64_t n = std::min(v->laid_out_count, v->files.count());
  double prev_top = 0;
  for (int64_t i = 0; i < n; ++i) {
    const rect c = v->files.get(i)->rect;
    if (i > 0 && c.y < prev_top) break;
    v->last_cell = c;
    v->layout_bottom = std::max(v->layout_bottom, c.y + c.h);
    prev_top = c.y;
  }
  v->start_timer();
  v->relayout();
}

bool C_Additional_collage::row_hit(const point& p, const Ref<C_Image>& image) {
  if (is_none() || mode_view == brek::mode_view::COLLAGE) return false;
  Ref<C_Collage_viewer> v = viewer.lock();
  const double top = image->rect.y - v->scroll_y;
  return top <= p.y && p.y <= top + image->rect.h;
}

void C_Additional_collage::resize_thumbnails(const point& p) {
  if (is_none()) return;
  Ref<C_Collage_viewer> v = viewer.lock();
  if (drag_thumb_w == 0) {
    drag_thumb_w = thumb_w;
    drag_thumb_h = thumb_h;
  }
  thumb_w = drag_thumb_w + C_Brek_form::points_to_pixels(p.x - v->press_point.x);
  thumb_h = drag_thumb_h + C_Brek_form::points_to_pixels(p.y - v->press_point.y);
  // Within what the settings take back; they are stored once, on release.
  thumb_w = std::clamp<int64_t>(thumb_w, 10, THUMB_W_MAX);
  thumb_h = std::clamp<int64_t>(thumb_h, 10, THUMB_H_MAX);
  if (mode_view == brek::mode_view::THUMB) {
    const double box_h = double(C_Canvas::to_device_pixels(v->view_height()));
    const double box_w = double(C_Canvas::to_device_pixels(v->view_width()));
    Ref<C_Image> cur = v->current_image();
    if (!C_Geometry::rects_overlap(cur->rect, rect{0, v->scroll_y, box_w, box_h})) v->hover_update();
    cur = v->current_image();
    const double a = cur->rect.y - v->scroll_y;
    arrange_lines(*this, v, thumb_cell(thumb_w), thumb_cell(thumb_h), 0);
    v->scroll_y = cur->rect.y - a;
    if (v->scroll_y < 0) v->scroll_y = 0;
    if (v->scroll_y > v->layout_bottom - box_h) v->scroll_y = v->layout_bottom - box_h;
  } else {
    v->thumb_scale = v->key_info.ctrl ? 1.0 : thumb_scale_for(thumb_h);
    v->laid_out_count = 0;
    refresh_layout();
  }
  v->repaint();
}

// ---- overlays ------------------------------------------------------------------

void C_Additional_collage::draw_dashed_line(const Ref<C_Canvas>& canvas, const point& a, const point& b) {
  if (canvas.is_none()) return;
  const Color saved = canvas->pen_color;
  try {
    for (const Directory_view::Dash& d : Directory_view::dashes(a, b)) {
      canvas->pen_color = d.white ? COLOR_WHITE : COLOR_BLACK;
      canvas->draw_line(d.a, d.b);
    }
  } catch (...) {
    canvas->pen_color = saved;
    throw;
  }
  canvas->pen_color = saved;
}

void C_Additional_collage::paint_overlays(const Ref<C_Canvas>& canvas, double box_w, double box_h) {
  if (is_none() || canvas.is_none()) return;
  Ref<C_Collage_viewer> v = viewer.lock();
  Canvas_keep keep(canvas);
  if (full_screen) {
    const point c = v->cursor_in_box();
    if (c.y < box_h / 10 || c.y > box_h - box_h / 10) {
      C_Collage_viewer::set_canvas_units(canvas, units_measure_graphics::POINTS);
      canvas->font->size = 16;
      const double y0 = c.y < box_h / 2 ? box_h - 20 : 2;
      for (int d = 1; d >= -1; --d) {
        canvas->pen_color = d == -1 ? COLOR_WHITE : COLOR_BLACK;
        canvas->draw_text(point{4.0 + d, y0 + d}, caption);
      }
    }
  }
  if (cutting) {
    C_Collage_viewer::set_canvas_units(canvas, units_measure_graphics::POINTS);
    const rect& r = cut_rect;
    draw_dashed_line(canvas, point{r.x, r.y}, point{r.x + r.w, r.y});
    draw_dashed_line(canvas, point{r.x + r.w, r.y}, point{r.x + r.w, r.y + r.h});
    draw_dashed_line(canvas, point{r.x, r.y + r.h}, point{r.x + r.w, r.y + r.h});
    draw_dashed_line(canvas, point{r.x, r.y}, point{r.x, r.y + r.h});
    canvas->pen_color = COLOR_WHITE;
    canvas->font->name = "Arial";
    canvas->font->size = 8;
    canvas->draw_text(point{0, box_h - 8}, cut_size_text());
  }
}

}  // namespace brek
