#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>

#include <cstring>

#include "platform/painter.h"

namespace brek_platform {

namespace {
QClipboard* board() {
  if (!QGuiApplication::instance()) return nullptr;
  return QGuiApplication::clipboard();
}
}  // namespace

bool clipboard_set_image(const Raster& picture) {
  QClipboard* cb = board();
  if (!cb || picture.empty()) return false;
  QImage view(picture.bits, picture.width, picture.height, picture.stride,
              picture.opaque ? QImage::Format_RGB32 : QImage::Format_ARGB32);
  cb->setImage(view.copy());
  return true;
}

bool clipboard_has_image() {
  QClipboard* cb = board();
  if (!cb) return false;
  const QMimeData* data = cb->mimeData();
  return data && data->hasImage();
}

bool clipboard_get_image(const std::function<Raster(int width, int height)>& make) {
  if (!clipboard_has_image()) return false;
  QImage img = board()->image();
  if (img.isNull() || img.width() <= 0 || img.height() <= 0) return false;
  img = img.convertToFormat(QImage::Format_ARGB32);
  Raster out = make(img.width(), img.height());
  if (out.empty() || out.width != img.width() || out.height != img.height()) return false;
  for (int y = 0; y < img.height(); ++y) {
    uint8_t* row = out.bits + static_cast<size_t>(y) * out.stride;
    std::memcpy(row, img.constScanLine(y), static_cast<size_t>(img.width()) * 4);
    if (out.opaque)
      for (int x = 0; x < img.width(); ++x) row[4 * x + 3] = 255;
  }
  return true;
}

}  // namespace brek_platform
