// The single view's first paint of a large JPEG at its own size: only the
// part in the window is decoded (the rows above it are read but not made
// into pixels, the rows below are not read), a fraction of the whole
// decode's time and memory. The first paint that shows more loads the
// whole picture, as do zoom, turns, cuts, copies, saves and prints.
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

}  // namespace

Ref<C_Bitmap> C_Collage_viewer::part_in_view(const Ref<C_Image>& image, Single_view::Input& in, point& at) {
  const bool first = part_image_.get() != image.get();
  Ref<C_Bitmap> part = part_;
  part_.reset();
  if (!unloaded_jpeg_as_filed(image)) return Ref<C_Bitmap>();
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
      part = C_Jpeg::load_part_from_file(image->file_name, view, part_place_);
    } catch (const Stop_exception&) {
      throw;
    } catch (const std::exception&) {
      return Ref<C_Bitmap>();  // the whole decode says what is wrong with the file
    }
  }
  if (part.is_none() || !covers(part_place_, view)) return Ref<C_Bitmap>();
  part_ = part;
  in = full;
  at = point{double(x + part_place_.x), double(y + part_place_.y)};
  return part;
}

}  // namespace brek
