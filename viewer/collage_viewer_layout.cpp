// The collage layout of the file list: rows laid out in slices of about
// 500 ms, continued on later ticks.
#include <algorithm>
#include <new>
#include <string_view>
#include <vector>

#include "runtime/clock.h"
#include "runtime/exceptions.h"
#include "viewer/collage_layout.h"
#include "viewer/collage_viewer.h"

namespace brek {

namespace {

// One slice of layout, ms.
constexpr int64_t LAYOUT_SLICE_MS = 500;
// The largest target at which headers are read, pixels.
constexpr double HEADER_TARGET_MAX = 512;
// How many headers of a folder one question to its mount reads.
constexpr int64_t HEADERS_AHEAD = 64;

// The file list as the row builder sees it.
class File_cells final : public Collage_layout::Cells {
 public:
  File_cells(C_Collage_viewer& v, double tw, double th) : v_(v), tw_(tw), th_(th) {}
  int64_t count() const override { return v_.files.count(); }
  void read_header(int64_t i) override {
    Ref<C_Image> e = v_.files.get(i);
    if (needs_header(e)) read_ahead(i);
    e->read_header_info(tw_, th_);
    // Its header tells no size: decoded once to learn it.
    if (e->width == 0 && e->extension() == ".webp" && e->picture.is_none() && !e->load_failed) e->load(0, 0);
  }
  double width(int64_t i) override { return v_.cell_width(v_.files.get(i)); }
  double height(int64_t i) override { return v_.cell_height(v_.files.get(i)); }
  bool same_directory(int64_t a, int64_t b) override { return v_.same_directory(a, b); }
  void swap(int64_t a, int64_t b) override { v_.files.swap(a, b); }
  rect cell(int64_t i) const override { return v_.files.get(i)->rect; }
  void set_cell(int64_t i, const rect& r) override { v_.files.get(i)->set_load_options(r); }

 private:
  bool needs_header(const Ref<C_Image>& e) const { return !e->version || (e->width == 0 && e->height == 0); }
  // The headers from entry i on, of its folder, read in one question to
  // its mount: a mount that does not answer holds no read here.
  void read_ahead(int64_t i) {
    std::vector<Ref<C_Image>> run;
    const std::string_view dir = Dir_scan::directory_view(v_.files.get(i)->file_name);
    for (int64_t k = i; k < v_.files.count() && int64_t(run.size()) < HEADERS_AHEAD; ++k) {
      Ref<C_Image> e = v_.files.get(k);
      if (Dir_scan::directory_view(e->file_name) != dir) break;
      if (needs_header(e)) run.push_back(e);
    }
    C_Image::read_headers(run, tw_, th_);
  }
  C_Collage_viewer& v_;
  double tw_, th_;
};

}  // namespace

double C_Collage_viewer::min_cell_size() {
  if (min_cell_px == 0 && !is_none()) min_cell_px = double(C_Canvas::to_device_pixels(40));
  return min_cell_px != 0 ? min_cell_px : double(C_Canvas::to_device_pixels(40));
}

double C_Collage_viewer::cell_width(const Ref<C_Image>& image) {
  const double w = double(image->display_width);
  // No size known at all: still a cell, the smallest.
  return w < min_cell_size() ? min_cell_size() : w;
}

double C_Collage_viewer::cell_height(const Ref<C_Image>& image) {
  const double h = double(image->display_height);
  return h < min_cell_size() ? min_cell_size() : h;
}

bool C_Collage_viewer::same_directory(int64_t a, int64_t b) {
  return Dir_scan::directory_view(files.get(a)->file_name) == Dir_scan::directory_view(files.get(b)->file_name);
}

int64_t C_Collage_viewer::count_in_directory(const std::string& dir, int64_t start) {
  int64_t n = 0;
  for (int64_t i = std::max<int64_t>(0, start); i < files.count(); ++i) {
    if (Dir_scan::directory_view(files.get(i)->file_name) != dir) break;
    ++n;
  }
  return n;
}

void C_Collage_viewer::header_target(double& tw, double& th) {
  const double w = double(C_Canvas::to_device_pixels(view_width()));
  const double h = double(C_Canvas::to_device_pixels(view_height()));
  tw = std::max(1.0, std::min(HEADER_TARGET_MAX, w));
  th = std::max(1.0, std::min(HEADER_TARGET_MAX, h));
}

int64_t C_Collage_viewer::build_collage(const rect& area, int64_t start) {
  if (is_none()) return start;
  if (start >= files.count() || area.h < 0) return start;
  laid_out_count = start + 1;
  double tw = 1, th = 1;
  header_target(tw, th);
  File_cells cells(*this, tw, th);
  Collage_layout::Rules rules;
  rules.box_w = double(C_Canvas::to_device_pixels(view_width()));
  if (start == 0) laid_out_width_ = rules.box_w;
  rules.thumb_scale = thumb_scale;
  rules.by_dimensions = collage->order_by_dimensions();
  rules.min_row_h = double_min_cell();
  try {
    const int64_t next = Collage_layout::build_row(cells, area, start, rules);
    layout_image = files.get(start);
    return next;
  } catch (const OutOfMemoryException&) {
  } catch (const std::bad_alloc&) {
  }
  // Out of memory: no progress in this call; the next tick tries again.
  return start;
}

void C_Collage_viewer::relayout() {
  if (is_none()) return;
  double tw = 1, th = 1;
  header_target(tw, th);
  File_cells cells(*this, tw, th);
  // The line views' cells have sizes of their own: no box width to follow.
  if (collage->mode_view != brek::mode_view::COLLAGE) laid_out_width_ = 0;
  if (files.count() <= laid_out_count) {
    // Nothing to place; entries taken off the end took their rows along.
    const int64_t n = files.count();
    if (collage->mode_view == brek::mode_view::COLLAGE && (n == 0 || files.get(n - 1)->rect.h > 0))
      layout_bottom = Collage_layout::row_top(cells, n);
    else if (collage->mode_view != brek::mode_view::COLLAGE)
      arrange_lines();  // without those taken off the end
    return;
  }
  if (collage->mode_view != brek::mode_view::COLLAGE) {
    arrange_lines();
    return;
  }
  collage->layout_set();
  // Without a box to fill there is nothing to lay out yet.
  const double box_w = double(C_Canvas::to_device_pixels(view_width()));
  if (box_w < 1) return;
  // Each slice goes on where the last one stopped, so that a long list is
  // laid out in time linear in its length; the row holding the last placed
  // entry is built again, to take in entries added to its set.
  int64_t j = std::min(laid_out_count, files.count());
  if (j > 0 && files.get(j - 1)->rect.h > 0) {
    if (j < files.count() && same_directory(j - 1, j)) {
      j = j - 1;
      while (j > 0 && files.get(j)->rect.x >= 0.1 && same_directory(j - 1, j)) --j;
    }
    // The rows below are made again: the bottom is that of the rows kept.
    if (j > 0) layout_bottom = Collage_layout::row_top(cells, j);
  } else {
    j = 0;
  }
  if (j == 0) {
    layout_image.reset();
    layout_bottom = 0;
    last_cell = rect{};
  }
  const double gap = double(C_Canvas::to_device_pixels(30));
  const int64_t t0 = Brek_runtime::tick_count_ms();
  bool any = false;
  while (j < files.count()) {
    rect area{0, Collage_layout::row_top(cells, j), box_w, 2147483647.0};
    if (j > 0 && !same_directory(j - 1, j)) {
      layout_bottom += gap;
      area.y += gap;
    }
    const int64_t next = build_collage(area, j);
    const int64_t last = std::min(next - 1, files.count() - 1);
    for (int64_t i = std::max<int64_t>(0, j); i <= last; ++i)
      layout_bottom = std::max(layout_bottom, Collage_layout::bottom(files.get(i)->rect));
    if (!layout_image.is_none()) {
      last_cell = layout_image->rect;
      last_cell.h = std::max(layout_bottom, Collage_layout::bottom(layout_image->rect)) - last_cell.y;
    }
    // An entry that could not be placed ends this call instead of being
    // tried again until the slice runs out.
    if (next <= j) break;
    any = true;
    j = next;
    if (Brek_runtime::tick_count_ms() - t0 > LAYOUT_SLICE_MS) break;
  }
  laid_out_count = j;
  last_cell = files.get(j - 1)->rect;
  if (any) repaint();
  start_timer();
}

void C_Collage_viewer::arrange_lines() {
  collage->layout_set();
  // The lines are placed all at once and nothing else asks for a paint: a
  // list that grew behind the shown window (a tree's folders listed one
  // by one) shows at once, not at the next input.
  repaint();
}

}  // namespace brek
