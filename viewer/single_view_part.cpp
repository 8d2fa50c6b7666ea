// The single view's first paint of a large JPEG at its own size: only the
// part in the window is decoded (the whole file is read; the rows above the
// part are decoded but not made into pixels, and decoding stops below it),
// a fraction of the whole decode's time and memory. That paint asks for
// the whole picture, which a worker decodes meanwhile
// (single_view_whole.cpp); until it comes, a move pans within the part.
// Zoom, turns, cuts, copies, saves and prints take the whole picture.
#include <algorithm>

#include "drawing/pixel_math.h"
#include "images/format_classes.h"
#include "runtime/exceptions.h"
#include "runtime/strings.h"
#include "viewer/collage_viewer.h"

namespace brek {

namespace {

// A window showing more of the picture than this gains little from a part
// and would decode most of it twice once panned.
constexpr double MOST_SHOWN = 0.5;

bool covers(const Jpeg_codec::Part& outer, const Jpeg_codec::Part& inner) {
  return outer.x <= inner.x && outer.y <= inner.y && outer.x + outer.w >= inner.x + inner.w &&
         outer.y + outer.h >= inner.y + inner.h;
}

// How far a view starting at `at`, `length` long, moves to lie within
// [start, start + extent) on one axis; false when it is longer.
bool move_within(int64_t start, int64_t extent, int64_t at, int64_t length, int64_t& by) {
  if (length > extent) return false;
  by = at < start ? start - at : at + length > start + extent ? start + extent - (at + length) : 0;
  return true;
}

}  // namespace

Ref<C_Bitmap> C_Collage_viewer::part_in_view(const Ref<C_Image>& image, Single_view::Input& in, point& at,
                                             point& shift) {
  shift = point{};
  Ref<C_Bitmap> part = part_;
  part_.reset();
  if (!unloaded_jpeg_as_filed(image)) return Ref<C_Bitmap>();
  // A picture let go of since its part was shown starts from its part again.
  const bool first = part_image_.get() != image.get() || (part.is_none() && !whole_picture_coming(image));
  Single_view::Input full = in;
  full.pic_w = double(image->width);
  full.pic_h = double(image->height);
  const Single_view::Placement pl = Single_view::place(full);
  if (pl.fitted || pl.r.w != full.pic_w || pl.r.h != full.pic_h) return Ref<C_Bitmap>();
  // What the window shows of the picture, in whole pixels as drawing places
  // it.
  const int64_t x = Pixel_math::round_even(pl.r.x), y = Pixel_math::round_even(pl.r.y);
  Jpeg_codec::Part view{std::max<int64_t>(0, -x), std::max<int64_t>(0, -y), 0, 0};
  view.w = std::min(image->width, Brek_runtime::to_int64_checked(in.box_w) - x) - view.x;
  view.h = std::min(image->height, Brek_runtime::to_int64_checked(in.box_h) - y) - view.y;
  if (view.w <= 0 || view.h <= 0) return Ref<C_Bitmap>();
  if (first) {
    part_image_ = image;
    if (double(view.w) * double(view.h) > MOST_SHOWN * double(image->width) * double(image->height))
      return Ref<C_Bitmap>();
    try {
      part = C_Jpeg::load_part_from_file(image->file_name, view, part_place_, nullptr, &part_exact_);
    } catch (const Stop_exception&) {
      throw;
    } catch (const std::exception&) {
      return Ref<C_Bitmap>();  // the whole decode says what is wrong with the file
    }
    if (!part.is_none()) want_whole_picture(image);
  }
  if (part.is_none()) return Ref<C_Bitmap>();
  int64_t left = x, top = y;  // where the picture is drawn
  if (!covers(part_exact_, view)) {
    // The whole picture is on its way: the view goes as far as the part
    // reaches rather than decoding it a second time.
    int64_t dx = 0, dy = 0;
    if (!whole_picture_coming(image) || !move_within(part_exact_.x, part_exact_.w, view.x, view.w, dx) ||
        !move_within(part_exact_.y, part_exact_.h, view.y, view.h, dy))
      return Ref<C_Bitmap>();
    left -= dx;
    top -= dy;
    shift = point{double(left) - pl.r.x, double(top) - pl.r.y};
  }
  part_ = part;
  in = full;
  at = point{double(left + part_place_.x), double(top + part_place_.y)};
  return part;
}

}  // namespace brek
