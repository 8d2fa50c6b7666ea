#pragma once
// The glue between canvases and bitmaps and the platform's drawing layer
// (platform/painter.h): it applies a canvas's state (units to device
// pixels, pen, brush, transform, clip, alpha plane) and draws each shape
// on the colour pixels and, when the canvas keeps one, on the alpha plane.

#include <cstdint>
#include <string>

#include "baselib/geometry.h"
#include "drawing/canvas.h"
#include "runtime/dyn_array.h"
#include "runtime/object.h"

namespace brek {

class C_Bitmap;
class C_Stream;
struct Native_bitmap;
struct Load_failure;  // images/load_failure.h: why a load failed

class C_Brek_drawing : public Brek_object {
  BREK_CLASS(C_Brek_drawing)
 public:
  // ---- canvas state and shapes ----
  static Native_bitmap* canvas_attach(C_Canvas& canvas, C_Bitmap& bitmap);
  static int64_t flag_zero() { return 0; }
  static void canvas_detach() {}
  static void fill_rect(C_Canvas& canvas, const rect& r);
  static void rectangle(C_Canvas& canvas, const rect& r);
  static void line(C_Canvas& canvas, const point& p1, const point& p2);
  static void ellipse(C_Canvas& canvas, const rect& r);
  static void arc(C_Canvas& canvas, const rect& r, double a, double b, bool pie);
  static void polygon(C_Canvas& canvas, const DynAReal& xs, const DynAReal& ys, bool closed);
  static void text_out(C_Canvas& canvas, const std::string& text, const point& p);
  static void text_with_font(C_Canvas& canvas, const std::string& text, rect& out);
  static void copy_rect(C_Canvas& dest, const rect& dest_rect, C_Canvas& source, const rect& source_rect);
  // Where a picture goes, in pixels of the canvas's device: on pixels in
  // memory r (canvas units) number by number in whole screen pixels; on a
  // device page (a printer's) at the page's own resolution, unrounded, so
  // it lands where the units say whatever the screen is.
  static rect picture_box(C_Canvas& canvas, const rect& r);
  // A picture's own size (screen pixels) in pixels of the canvas's device.
  static point picture_size(C_Canvas& canvas, double w, double h);
  // Draws the source at (x, y) in pixels of the canvas's device, stretched
  // to w x h unless that is its own size. Each edge is rounded from the
  // exact one, so pictures that touch, touch. `within` (device pixels, as
  // x, y, w and h) clips the picture, on the device.
  static void draw_bitmap(C_Canvas& canvas, double h, double w, double y, double x, Native_bitmap* source,
                          const rect* within = nullptr);
  static void reset_transform(C_Canvas& canvas);
  static void translate_transform(C_Canvas& canvas, double dx, double dy);
  static void rotate_transform(C_Canvas& canvas, double angle);
  static void scale_transform(C_Canvas& canvas, double sx, double sy);

  // ---- bitmaps ----
  // The pixel storage of a depth: every depth but 32 is kept opaque.
  static bool depth_is_opaque(int64_t bits) {
    return bits == 1 || bits == 4 || bits == 8 || bits == 15 || bits == 16 || bits == 24;
  }
  static bool set_bitmap_size(Native_bitmap& native, int64_t width, int64_t height);
  static bool paste_from_clipboard(Native_bitmap& native);
  static bool copy_to_clipboard(Native_bitmap& native);
  static bool pixel_order_rgba() { return false; }
  static Color system_color(int64_t item) { return Colors::system(item); }
  static int64_t default_bits_per_pixel() { return 32; }

  // ---- image files ----
  // Defined by the image layer (images/image_file_glue.cpp) and called only
  // from there: each loader reads the stream from its position to its end
  // and hands the bytes to the native routine of the same name (false,
  // without decoding, when the read fails; `why` says why a load failed);
  // JPEG errors pass to the caller.
  static bool load_bmp(const Ref<C_Stream>& stream, Native_bitmap* native, Load_failure* why = nullptr);
  // factor 2, 4 or 8 decodes at 1/2, 1/4, 1/8; any other value full size.
  static bool load_jpeg(const Ref<C_Stream>& stream, Native_bitmap* native, int64_t factor,
                        Load_failure* why = nullptr);
  // The GIF and all its frames stay beside the colour pixels: drawing the
  // bitmap shows the composed current frame, and the owner takes the GIF's
  // size. False, bitmap unchanged, when nothing of it can be shown.
  static bool load_gif(const Ref<C_Stream>& stream, Native_bitmap* native, Load_failure* why = nullptr);
  // 0 when the bitmap holds no GIF.
  static int64_t gif_frame_count(Native_bitmap* native);
  // Makes `index` the current frame (ignored outside the frames) and
  // composes it; nothing when the bitmap holds no GIF.
  static void gif_show_frame(Native_bitmap* native, int64_t index);
  // The current frame's delay in milliseconds; 0 without a GIF.
  static int64_t gif_frame_delay(Native_bitmap* native);
  // No decoders: the stream is read, then false.
  static bool load_png(const Ref<C_Stream>& stream, Native_bitmap* native, Load_failure* why = nullptr);
  static bool load_pcx(const Ref<C_Stream>& stream, Native_bitmap* native, Load_failure* why = nullptr);
  static bool load_psd(const Ref<C_Stream>& stream, Native_bitmap* native, Load_failure* why = nullptr);
  static bool load_tga(const Ref<C_Stream>& stream, Native_bitmap* native, Load_failure* why = nullptr);
  static bool load_tiff(const Ref<C_Stream>& stream, Native_bitmap* native, Load_failure* why = nullptr);
  static bool load_webp(const Ref<C_Stream>& stream, Native_bitmap* native, Load_failure* why = nullptr);
  static bool load_xpm(const Ref<C_Stream>& stream, Native_bitmap* native, Load_failure* why = nullptr);
  // False without reading.
  static bool load_pcd(const Ref<C_Stream>& stream, Native_bitmap* native, Load_failure* why = nullptr);
  // With the ".alpha.bmp" side file when the bitmap has an alpha plane.
  static bool save_bmp(Native_bitmap* native, const std::string& file_name);
  // Always at quality 90: the argument is not passed on.
  static bool save_jpeg(Native_bitmap* native, const std::string& file_name, int64_t quality);
  // The colour pixels as a GIF into the stream; false when they cannot be
  // encoded or the stream takes less than the whole file.
  static bool save_gif(Native_bitmap* native, const Ref<C_Stream>& stream);
  // Encodes through save_gif into memory, then writes the file safely (see
  // Image_file_io::write_file_atomic); false, nothing written, when the
  // encoder fails or gives nothing.
  static bool save_gif_stream(Native_bitmap* native, const std::string& file_name);
  static bool save_png(Native_bitmap* native, const std::string& file_name);
  static bool save_webp(Native_bitmap* native, const std::string& file_name);
  static bool can_load_ext(const std::string& extension);
  static bool can_save_ext(const std::string& extension);
};

}  // namespace brek
