#pragma once
// The native part of a bitmap (and of a printer canvas): the colour pixels,
// the optional alpha plane, the pending world transform and the clip last
// applied, the direct-access buffer, and room for an animation that the
// image layer attaches.

#include <cstdint>
#include <memory>
#include <vector>

#include "drawing/pixels.h"
#include "platform/painter.h"
#include "runtime/object.h"

namespace brek {

class C_Bitmap;
class C_Canvas;

// An animation kept beside the colour pixels (the image layer's GIF reader
// fills it); drawing shows its current picture instead of the colour
// pixels.
class Native_animation {
 public:
  virtual ~Native_animation() = default;
  // The picture to show now (the composed frame); nullptr when none.
  virtual const Pixels* current_picture() const = 0;
};

struct Native_bitmap {
  // The colour pixels. `opaque` pictures (every depth but 32 bits) keep 255
  // in the fourth byte and draw without alpha.
  Pixels colour;
  bool opaque = true;
  // A second 32-bit picture whose red byte holds each pixel's alpha (0
  // transparent, 255 opaque), present while a canvas draws with its alpha
  // plane on a 32-bit bitmap.
  std::unique_ptr<Pixels> alpha;
  std::unique_ptr<Native_animation> animation;

  Weak<C_Bitmap> owner;
  Weak<C_Canvas> canvas;
  // The page a printer canvas draws on (a device handle of the platform).
  int64_t printer = 0;

  // The pending world transform: eM11, eM12, eM21, eM22, eDx, eDy.
  float xform[6] = {1, 0, 0, 1, 0, 0};
  // The clip region in device pixels as last applied.
  bool clip_on = false;
  int clip_left = 0, clip_top = 0, clip_right = 0, clip_bottom = 0;

  // Direct access: the copy buffer (kept while its size stays the same),
  // the first locked row and the number of locked rows.
  std::vector<uint8_t> direct_buffer;
  int64_t first_locked_row = 0;
  int64_t locked_rows = 0;

  brek_platform::Raster raster() { return raster_of(colour, opaque); }
  brek_platform::Target target() {
    brek_platform::Target t;
    if (printer != 0) {
      t.device = printer;
    } else {
      t.raster = raster();
    }
    return t;
  }
  brek_platform::Target alpha_target() {
    brek_platform::Target t;
    if (alpha) t.raster = raster_of(*alpha, true);
    return t;
  }
  // What drawing the bitmap shows: the animation's picture when it has
  // one, else the colour pixels.
  const Pixels& shown() const {
    if (animation) {
      if (const Pixels* p = animation->current_picture()) return *p;
    }
    return colour;
  }
  // Whether a surface exists to draw on.
  bool drawable() const { return printer != 0 || !colour.empty(); }

  static brek_platform::Raster raster_of(Pixels& p, bool opaque) {
    brek_platform::Raster r;
    if (p.empty()) return r;
    r.bits = p.bytes();
    r.width = p.width();
    r.height = p.height();
    r.stride = p.stride();
    r.opaque = opaque;
    return r;
  }
  static brek_platform::Raster raster_of(const Pixels& p, bool opaque) {
    return raster_of(const_cast<Pixels&>(p), opaque);
  }
};

}  // namespace brek
