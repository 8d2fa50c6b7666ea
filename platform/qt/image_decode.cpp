#include "platform/image_decode.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>

namespace brek_platform {

bool decode_png(const uint8_t* data, size_t size, int64_t max_pixels, Decoded_image& out) {
  out = Decoded_image();
  if (!data || size == 0 || size > size_t(INT32_MAX)) return false;
  QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, "png");
  reader.setAutoTransform(false);
  QSize s = reader.size();
  if (!s.isValid() || s.width() <= 0 || s.height() <= 0 ||
      int64_t(s.width()) * int64_t(s.height()) > max_pixels)
    return false;
  QImage image;
  if (!reader.read(&image) || image.isNull()) return false;
  image = image.convertToFormat(QImage::Format_ARGB32);
  if (image.isNull()) return false;
  out.width = image.width();
  out.height = image.height();
  out.pixels.resize(size_t(out.width) * size_t(out.height));
  for (int y = 0; y < out.height; ++y) {
    const uint32_t* row = reinterpret_cast<const uint32_t*>(image.constScanLine(y));
    std::copy(row, row + out.width, out.pixels.begin() + ptrdiff_t(y) * out.width);
  }
  return true;
}

}  // namespace brek_platform
