#include "platform/bench_reference.h"

#include <QImage>
#include <QPainter>

namespace brek_platform {

namespace {

QImage wrap(const Raster& r) {
  return QImage(r.bits, r.width, r.height, r.stride, r.opaque ? QImage::Format_RGB32 : QImage::Format_ARGB32);
}

}  // namespace

void reference_smooth_scale_draw(const Raster& source, const Raster& target, int x, int y, int w, int h) {
  QImage src = wrap(source);
  QImage dst = wrap(target);
  QImage scaled = src.scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  QPainter p(&dst);
  p.drawImage(QPoint(x, y), scaled);
}

void reference_draw_prescaled(const Raster& target, const std::vector<Reference_box>& boxes,
                              const std::vector<Reference_picture>& pictures) {
  QImage dst = wrap(target);
  QPainter p(&dst);
  for (const Reference_box& b : boxes) p.fillRect(b.x, b.y, b.w, b.h, QColor::fromRgba(b.colour));
  for (const Reference_picture& pic : pictures) {
    if (pic.clip.w > 0 && pic.clip.h > 0)
      p.setClipRect(pic.clip.x, pic.clip.y, pic.clip.w, pic.clip.h);
    else
      p.setClipping(false);
    p.drawImage(QPoint(pic.x, pic.y), wrap(pic.picture));
  }
}

}  // namespace brek_platform
