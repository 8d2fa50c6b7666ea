#include "platform/bench_reference.h"

#include <QImage>
#include <QPainter>

namespace brek_platform {

void reference_smooth_scale_draw(const Raster& source, const Raster& target, int x, int y, int w, int h) {
  QImage src(source.bits, source.width, source.height, source.stride,
             source.opaque ? QImage::Format_RGB32 : QImage::Format_ARGB32);
  QImage dst(target.bits, target.width, target.height, target.stride,
             target.opaque ? QImage::Format_RGB32 : QImage::Format_ARGB32);
  QImage scaled = src.scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  QPainter p(&dst);
  p.drawImage(QPoint(x, y), scaled);
}

}  // namespace brek_platform
