// Painting the directory views: the visible cells with their pictures,
// frames, directory headers and labels, the scroll-position indicator and
// the round scroll marks; pictures of cells coming into view are loaded
// here.
#include <algorithm>
#include <cmath>

#include "baselib/file_path.h"
#include "baselib/geometry.h"
#include "drawing/font.h"
#include "drawing/canvas_keep.h"
#include "images/image_file_name.h"
#include "viewer/collage_viewer.h"
#include "viewer/directory_view.h"

namespace brek {

namespace {

// The current file's frame and the scroll mark under the pointer.
constexpr Color RED = Colors::from_bits(0xFF0000FF);
constexpr Color YELLOW = Colors::from_bits(0xFF00FFFF);

// A rectangle drawn with this pen and brush; the canvas keeps its own.
void draw_box(const Ref<C_Canvas>& canvas, const rect& r, Color pen, double width, brush_style style, Color brush) {
  Canvas_keep keep(canvas);
  canvas->pen_color = pen;
  canvas->pen_width = width;
  canvas->brush_style = style;
  canvas->brush_color = brush;
  canvas->draw_rectangle(r);
}

void fill(const Ref<C_Canvas>& canvas, const rect& r, Color colour) {
  draw_box(canvas, r, colour, canvas->pen_width, brush_style::SOLID_BRUSH, colour);
}

void outline(const Ref<C_Canvas>& canvas, const rect& r, Color colour, double width) {
  draw_box(canvas, r, colour, width, brush_style::CLEAR_BRUSH, canvas->brush_color);
}

// Text in white over a black shadow one pixel lower right.
void shadowed_text(const Ref<C_Canvas>& canvas, const point& p, const std::string& text) {
  const Color pen = canvas->pen_color;
  canvas->pen_color = COLOR_BLACK;
  canvas->draw_text(p, text);
  canvas->pen_color = COLOR_WHITE;
  canvas->draw_text(point{p.x - 1, p.y - 1}, text);
  canvas->pen_color = pen;
}

double cell_bottom(const rect& r) { return r.y + r.h; }

}  // namespace

double C_Collage_viewer::row_band_top(int64_t i) {
  const rect cell = files.get(i)->rect;
  double top = cell.y - scroll_y;
  for (int64_t j = i - 1; j >= 0; --j) {
    const rect c = files.get(j)->rect;
    const double b = cell_bottom(c) - scroll_y;
    top = j == i - 1 ? b : std::max(top, b);
    if (c.x < 1.0) break;
  }
  return top;
}

namespace {

// What one paint of the directory view carries from cell to cell.
struct Collage_pass {
  Collage_pass(C_Collage_viewer& viewer, const Ref<C_Canvas>& c) : v(viewer), canvas(c) {}
  C_Collage_viewer& v;
  Ref<C_Canvas> canvas;
  double W = 0, H = 0;    // the box, points
  double Wp = 0, Hp = 0;  // the box, device pixels
  rect view;              // the box, device pixels
  rect clip;              // the canvas's clip, device pixels
  double tw = 1, th = 1;  // the size at which headers are read
  double header_x = 0, header_up = 0;
  double B = 0;  // the lowest bottom drawn so far: gaps are filled from it
  std::string last_header;
  rect current_cell;
  bool has_current = false;
};

// The canvas's clip rectangle in device pixels.
rect clip_in_pixels(const Ref<C_Canvas>& canvas) {
  if (canvas->units == units_measure_graphics::PIXELS) return canvas->clip_rect;
  auto px = [&](double v) { return C_Canvas::convert_units(v, canvas->units, units_measure_graphics::PIXELS); };
  const rect& c = canvas->clip_rect;
  return rect{px(c.x), px(c.y), px(c.w), px(c.h)};
}

// The black gap above the cell, its directory's header when a new
// directory starts, and in a partial repaint the band of its row.
void paint_cell_background(Collage_pass& p, int64_t i, const rect& cell, const std::string& dir) {
  C_Collage_viewer& v = p.v;
  const Ref<C_Canvas>& canvas = p.canvas;
  if (i > 0 && cell.y > p.B) fill(canvas, rect{0, p.B, p.Wp, cell.y - p.B}, COLOR_BLACK);
  // The list opens with the first file's folder: it has no header, and
  // its next file, drawn below the first, starts no folder.
  if (i == 0) p.last_header = dir;
  if (i > 0 && dir != p.last_header) {
    p.last_header = dir;
    const double size = canvas->font->size;
    const Color pen = canvas->pen_color;
    canvas->font->size = 12;
    canvas->pen_color = C_Collage_viewer::LIGHT_GREY;
    canvas->draw_text(point{p.header_x, cell.y - p.header_up},
                      Directory_view::header_text(dir, v.root_dir, v.count_in_directory(dir, i)));
    canvas->font->size = size;
    canvas->pen_color = pen;
  }
  if (v.partial_repaint && cell.x <= 1.0) {
    const double top = v.row_band_top(i);
    fill(canvas, rect{0, top, p.Wp, cell_bottom(cell) - top}, COLOR_BLACK);
  }
}

// Pictures come when their cells come into view: reduced ones where the
// file holds twice the cell, the whole picture otherwise, or for a huge
// GIF or BMP its copy at the cell's size from a worker. A cell whose copy
// is kept loads nothing, and a file that failed to decode is not opened
// again on every paint.
void load_cell_picture(Collage_pass& p, const Ref<C_Image>& e, const rect& shrunk) {
  C_Collage_viewer& v = p.v;
  if (e->load_failed || !(e->rect.w > 0.1) || (e->reduced.is_none() && !e->picture.is_none())) return;
  if (!e->animation.is_none()) return;
  int64_t w = 0, h = 0;
  const bool sized = Thumbnail_cache::device_size(p.canvas, shrunk, w, h);
  if (sized && !v.collage->thumbnails.kept_for(e.get(), w, h, C_Collage_viewer::CELL_QUALITY, true).is_none()) return;
  if (e->width == 0) e->read_header_info(p.tw, p.th);
  if (sized && v.decode_cell_off_thread(e, w, h)) return;
  if (double(e->width / 2) >= shrunk.w || double(e->height / 2) >= shrunk.h)
    e->load(shrunk.w, shrunk.h);
  else if (e->picture.is_none())
    v.load_whole(e);
}

// Draws the cell's picture fitted; true when it came from the reduced
// picture.
bool draw_cell_picture(Collage_pass& p, const Ref<C_Image>& e, const rect& shrunk) {
  C_Collage_viewer& v = p.v;
  const Ref<C_Canvas>& canvas = p.canvas;
  bool from_reduced = false;
  const quality_drawing_lines_shapes q = canvas->quality;
  canvas->quality = C_Collage_viewer::CELL_QUALITY;
  const bool turned = (e->quarter_turns > 0 || e->flip_x || e->flip_y) && !e->picture.is_none();
  try {
    if (!turned && !e->reduced.is_none() && double(e->reduced->width + 1) >= shrunk.w &&
        double(e->reduced->height + 1) >= shrunk.h) {
      v.collage->fit_kept_thumbnail(canvas, shrunk, e->reduced, 0, true);
      from_reduced = true;
    } else if (!e->animation.is_none() || !e->picture.is_none()) {
      v.collage->fit_kept_image(canvas, shrunk, e, true);
      // A cell draws the picture as filed, however the single view turns
      // it: a turned picture's copy serves as well.
      if (v.collage->thumbnails.keep_only_the_copy(canvas, shrunk, e, true)) v.note_released();
    } else if (v.collage->thumbnails.draw_kept(canvas, shrunk, e.get(), true)) {
      // The copy of a picture let go.
    } else if (e->rect.w > 0.1 && !e->load_failed && !e->on_silent_mount()) {
      // A picture that cannot be decoded, or not now, is done as it is:
      // scrolling does not wait for it.
      v.cells_complete = false;
    }
  } catch (...) {
    canvas->quality = q;
    throw;
  }
  canvas->quality = q;
  return from_reduced;
}

// The cell's frame (red for the current file) and, with Ctrl or Shift
// held, its size or name.
void paint_cell_frame_and_label(Collage_pass& p, const Ref<C_Image>& e, const rect& shrunk, bool from_reduced) {
  C_Collage_viewer& v = p.v;
  const Ref<C_Canvas>& canvas = p.canvas;
  if (!v.timer_2->is_enabled() && e->file_name == v.current_file) {
    outline(canvas, shrunk, RED, 2.0);
    p.current_cell = shrunk;
    p.has_current = true;
  } else {
    outline(canvas, shrunk, C_Collage_viewer::LIGHT_GREY, 1.0);
  }
  if (v.key_info.ctrl) {
    if (e->width > 0 && e->height > 0) {
      std::string t = std::to_string(e->width) + " x " + std::to_string(e->height);
      if (from_reduced)
        t += " [" + std::to_string(e->reduced->width) + " x " + std::to_string(e->reduced->height) + "]";
      shadowed_text(canvas, point{shrunk.x, shrunk.y}, t);
    }
  } else if (v.key_info.shift) {
    shadowed_text(canvas, point{shrunk.x + 2, shrunk.y}, File_path::name_of(e->file_name));
  }
}

// Every cell in view: background and header, picture, frame and label,
// caption.
void paint_cells(Collage_pass& p) {
  C_Collage_viewer& v = p.v;
  const int64_t n = v.files.count();
  for (int64_t i = 0; i < n; ++i) {
    const Ref<C_Image> e = v.files.get(i);
    if (e.is_none() || e->rect.h <= 0) continue;
    rect cell = e->rect;
    cell.y -= v.scroll_y;
    cell.w = std::max(cell.w, 1.0);
    if (!C_Geometry::rects_overlap(cell, p.view)) continue;
    const std::string dir = File_path::directory_of(e->file_name);
    if (v.caption_dir.empty()) v.caption_dir = dir;

    paint_cell_background(p, i, cell, dir);
    const rect shrunk{cell.x + 1, cell.y + 1, cell.w - 2, cell.h - 2};
    p.B = std::max(p.B, cell_bottom(shrunk));
    if (p.clip.w > 0 && !C_Geometry::rects_overlap(shrunk, p.clip)) continue;
    e->use_stamp = v.paint_clock;

    load_cell_picture(p, e, shrunk);
    const bool from_reduced = draw_cell_picture(p, e, shrunk);
    paint_cell_frame_and_label(p, e, shrunk, from_reduced);

    e->list_index = i;
    // The gap filled before the next cell starts below this cell's caption.
    p.B = std::max(p.B, v.collage->layout_collage(p.canvas, e, shrunk));
  }
}

// Where the view lies in the content, while the pointer is near a side.
void paint_indicator(Collage_pass& p, const point& pointer) {
  C_Collage_viewer& v = p.v;
  const Ref<C_Canvas>& canvas = p.canvas;
  const double W = p.W, Hp = p.Hp;
  if (!((pointer.x > W - W / 4 || pointer.x < W / 4) && v.layout_bottom - v.scroll_y >= Hp - 1 && !v.scroll_pending))
    return;
  const rect r = Directory_view::indicator(W, p.H, Hp, v.scroll_y, v.layout_bottom);
  const double left = double(C_Canvas::to_device_pixels(r.x));
  const double top = double(C_Canvas::to_device_pixels(r.y));
  const double right = left + double(C_Canvas::to_device_pixels(r.w));
  const double bottom = top + double(C_Canvas::to_device_pixels(r.h));
  const Color pen = canvas->pen_color;
  canvas->pen_color = COLOR_WHITE;
  canvas->draw_line(point{left, 0}, point{left, top});
  canvas->draw_line(point{right, bottom}, point{right, Hp});
  canvas->pen_color = COLOR_BLACK;
  canvas->draw_line(point{left + 1, 0}, point{left + 1, top});
  canvas->draw_line(point{right + 1, bottom}, point{right + 1, Hp});
  canvas->pen_color = COLOR_WHITE;
  canvas->brush_color = C_Collage_viewer::LIGHT_GREY;
  canvas->brush_style = brush_style::SOLID_BRUSH;
  canvas->draw_rectangle(rect{left, top, right - left, bottom - top});
  canvas->pen_color = pen;
}

// The round scroll marks near the pointer (pb: relative to the box); the
// one under it in yellow.
void paint_scroll_marks(Collage_pass& p, const point& pb) {
  C_Collage_viewer& v = p.v;
  const Ref<C_Canvas>& canvas = p.canvas;
  v.scroll_marks.clear();
  for (const Directory_view::Mark& m : Directory_view::scroll_marks(p.W, p.H, v.scroll_y))
    v.scroll_marks.append(St_scroll_mark__C_Collage_viewer{m.x, m.y, m.step});
  v.hovered_mark = -1;
  v.marks_shown = 0;
  for (int64_t j = 0; j < v.scroll_marks.count(); ++j) {
    if (v.scroll_pending || v.files.count() == 0 || p.Hp >= v.layout_bottom) break;
    const St_scroll_mark__C_Collage_viewer m = v.scroll_marks.get(j);
    if (!Directory_view::mark_drawn(Directory_view::Mark{m.x, m.y, m.step}, p.H, pb.y)) continue;
    ++v.marks_shown;
    C_Collage_viewer::set_canvas_units(canvas, units_measure_graphics::POINTS);
    canvas->pen_color = COLOR_WHITE;
    canvas->pen_width = 2.0;
    canvas->brush_style = brush_style::SOLID_BRUSH;
    canvas->brush_color = C_Collage_viewer::LIGHT_GREY;
    if (C_Geometry::point_distance(pb, point{m.x, m.y}) <= 10.0) {
      canvas->brush_color = YELLOW;
      v.hovered_mark = j;
    }
    canvas->draw_ellipse(rect{m.x - 10, m.y - 10, 20, 20});
    canvas->pen_color = COLOR_BLACK;
    for (const auto& c : Directory_view::chevrons(Directory_view::Mark{m.x, m.y, m.step})) {
      DynArray<point> pts;
      for (const point& q : c) pts.append(q);
      canvas->draw_polyline(pts, false);
    }
  }
}

}  // namespace

bool C_Collage_viewer::decode_cell_off_thread(const Ref<C_Image>& e, int64_t w, int64_t h) {
  if (is_none() || !cell_decodes.takes(e, w, h)) return false;
  // A cell crops a picture of other proportions to its own.
  const bool crop = !Directory_view::fit(double(e->width), double(e->height), rect{0, 0, double(w), double(h)}).whole;
  cell_decodes.want(e, w, h, crop);
  return true;
}

bool C_Collage_viewer::cell_in_reach(const Ref<C_Image>& e) {
  if (is_none() || single_mode) return false;
  const double w = double(C_Canvas::to_device_pixels(view_width()));
  const double h = double(C_Canvas::to_device_pixels(view_height()));
  return C_Geometry::rects_overlap(e->rect, rect{0, scroll_y - h, w, 3 * h});
}

void C_Collage_viewer::paint_collage() {
  if (is_none() || paint_canvas_.is_none()) return;
  const Ref<C_Canvas> canvas = paint_canvas_;
  ++paint_clock;
  if (paint_clock == 0) ++paint_clock;
  Collage_pass p{*this, canvas};
  p.W = paint_w_;
  p.H = paint_h_;
  p.Wp = double(C_Canvas::to_device_pixels(p.W));
  p.Hp = double(C_Canvas::to_device_pixels(p.H));
  p.view = rect{0, 0, p.Wp, p.Hp};
  p.clip = clip_in_pixels(canvas);
  cells_complete = true;
  const std::string old_caption_dir = caption_dir;
  caption_dir.clear();

  Canvas_keep keep(canvas);
  set_canvas_units(canvas, units_measure_graphics::PIXELS);
  header_target(p.tw, p.th);
  p.header_x = double(C_Canvas::to_device_pixels(10));
  p.header_up = double(C_Canvas::to_device_pixels(15));

  paint_cells(p);
  if (caption_dir != old_caption_dir) {
    if (caption_dir.empty()) caption_dir = scan_dir;
    collage->update_caption(directory_caption());
  }
  if (p.has_current) outline(canvas, p.current_cell, RED, 2.0);
  const point pointer = mouse_position();
  paint_indicator(p, pointer);
  paint_scroll_marks(p, point{pointer.x - paint_box_frame().x, pointer.y - paint_box_frame().y});
  collage->read_ahead();
}

}  // namespace brek
