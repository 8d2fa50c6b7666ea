#pragma once
// Pictures in memory. C_Bitmap holds its pixels in the program's one
// layout (drawing/pixels.h) with a bit depth that says how they are read:
// 32 bits carry alpha, every other depth is opaque. It draws onto canvases
// (copied or stretched), turns by quarter turns, inverts, resizes and goes
// through the clipboard. C_Bitmap_direct lends its rows for direct access;
// C_Icon holds an icon or cursor read from a file.

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "baselib/geometry.h"
#include "drawing/canvas.h"
#include "drawing/native_bitmap.h"
#include "drawing/pixels.h"
#include "runtime/object.h"

namespace brek {

struct Load_failure;  // images/load_failure.h: why a load failed

class C_Bitmap : public Brek_object {
  BREK_CLASS(C_Bitmap)
 public:
  C_Bitmap() = default;
  C_Bitmap(int64_t w, int64_t h, int64_t depth) : width(w), height(h), bits(depth) {}
  ~C_Bitmap() override;

  std::unique_ptr<Native_bitmap> native;
  int64_t width = 0;
  int64_t height = 0;
  int64_t bits = 0;  // as asked; 0 means the platform layer's default
  Ref<C_Canvas> canvas_obj;
  Ref<C_Canvas> saved_canvas;
  bool direct = false;

  // The factory: depths 1, 4, 8, 15, 16, 24 and 32 are kept, 0 becomes 24
  // (the default of this Linux build), anything else 32. A size that is
  // not positive or too large gives an empty 0 by 0 bitmap.
  static Ref<C_Bitmap> create(int64_t width, int64_t height, int64_t bits);
  // The depth the factory keeps for a requested one.
  static int64_t depth_for(int64_t bits);

  void init() override;
  void destroy_hook() override;
  // Ends direct pixel access (nothing here).
  virtual void unlock(bool write_back) {}

  // Stores the size (0 or less becomes 1) and resizes the pixels and the
  // alpha plane, keeping the top-left part.
  void set_size(int64_t w, int64_t h);
  rect size_rect() const { return rect{0, 0, double(width), double(height)}; }
  void size_rect(rect& out) const { out = size_rect(); }
  // The bitmap's one canvas, made on first use.
  Ref<C_Canvas> canvas();
  // Draws the bitmap at its own size, the point in the canvas's units.
  void draw_at(const Ref<C_Canvas>& target, const point& p);
  // Draws the bitmap stretched into the rectangle (canvas units), with the
  // canvas's stretch quality. On a printer's page it lands at the page's
  // own resolution, not the screen's.
  void stretch_draw(const Ref<C_Canvas>& target, const rect& r);
  // The same, showing only what falls within `within` (canvas units), cut
  // on the device: printer pages too, which take no clip rectangle.
  void stretch_draw(const Ref<C_Canvas>& target, const rect& r, const rect& within);
  // A new bitmap turned clockwise by a quarter-turn angle (after adding
  // 360, modulo 360), then mirrored, and inverted as inverted() does where
  // asked: one pass into one copy, so a picture at the size limit is never
  // held three times. The None bitmap for other angles. `ticking` makes
  // it long work: a loop tick every few dozen pixels (seconds at the size
  // limit), which may raise the Stop of a Cancel, the copy then dropped.
  Ref<C_Bitmap> rotated(bool mirror_horizontal, bool mirror_vertical, int64_t angle, bool invert = false,
                        bool ticking = false);
  // The same as rotated, under the name the image layers use.
  Ref<C_Bitmap> rotated_90(bool flip_lr, bool flip_tb, int64_t degrees, bool invert = false, bool ticking = false) {
    return rotated(flip_lr, flip_tb, degrees, invert, ticking);
  }
  // A new bitmap with every colour channel c as 255 - c; alpha kept.
  // `ticking` as for rotated.
  Ref<C_Bitmap> inverted(bool ticking = false);
  Ref<C_Bitmap> negative() { return inverted(); }

  static bool extension_loadable(const std::string& ext);
  static bool extension_savable(const std::string& ext);

  // Replaces the picture by the clipboard's image; false when there is none.
  bool paste_from_clipboard();
  // Puts a copy of the picture on the clipboard.
  bool copy_to_clipboard();

  // The colour pixels for decoders and painters to fill; nullptr for the
  // None bitmap. After changing their size, take_pixel_size() updates
  // width and height.
  Pixels* pixels();
  const Pixels* pixels() const;
  void take_pixel_size();
  // Whether the fourth byte of each pixel is alpha (32-bit bitmaps).
  bool has_alpha() const { return native && !native->opaque; }

 protected:
  // Ends direct access with write-back before the pixels are read.
  void settle() {
    if (direct) unlock(true);
  }
  void make_native(bool opaque);
};

class C_Bitmap_direct : public C_Bitmap {
  BREK_CLASS(C_Bitmap_direct)
 public:
  C_Bitmap_direct() = default;

  // The locked rows: row r of the band starts at (r - first_row) x
  // row_bytes. Empty when not locked. Valid until unlock, resize or
  // disposal.
  std::span<uint8_t> pixels_buffer;
  int64_t row_bytes = 0;
  int64_t pixel_bits = 0;
  int64_t first_row = 0;
  int64_t row_count = 0;

  // Depths 1, 4, 8, 15, 16, 24, 32 kept, anything else (0 included) 32.
  static Ref<C_Bitmap_direct> new_bitmap(int64_t width, int64_t height, int64_t bits);

  // Locks every row; copy brings the current pixels into the buffer.
  void lock(bool copy);
  // Locks `count` rows from `first` (count <= 0: to the last row); nothing
  // when the band leaves the bitmap.
  void lock_rows(bool copy, int64_t first, int64_t count);
  void unlock(bool write_back) override;
  void destroy_hook() override;

  // The address of locked row `r` (an absolute row index); nullptr when it
  // is not locked.
  uint8_t* row(int64_t r) {
    if (!direct || r < first_row || r >= first_row + row_count) return nullptr;
    return pixels_buffer.data() + (r - first_row) * row_bytes;
  }
};

class C_Icon : public C_Bitmap {
  BREK_CLASS(C_Icon)
 public:
  C_Icon() = default;

  // Reads an icon or cursor file into 32-bit pixels (alpha included);
  // false when the file is not one, `why` (when given) saying why.
  using File_decoder = bool (*)(const std::string& path, Pixels& out, Load_failure* why);
  // The image layer registers its decoder at start-up.
  static void set_file_decoder(File_decoder decoder);
  static File_decoder file_decoder();

  // Depths kept as for C_Bitmap_direct; the pixels are 32-bit whatever the
  // depth, and a size of 0 or less becomes 1.
  static Ref<C_Icon> create(int64_t width, int64_t height, int64_t bits);
  // The icon or cursor of a .ico or .cur file; the None icon when it does
  // not load, `why` told by the decoder.
  static Ref<C_Icon> load_from_file(const std::string& path, Load_failure* why = nullptr);

  void init() override;
};

}  // namespace brek
