#include "platform/window_icon.h"

#include <QApplication>
#include <QEvent>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QWidget>

#include "platform/qt/x11_connection.h"

namespace brek_platform {

void set_window_icon(const std::vector<Decoded_image>& sizes) {
  if (!QApplication::instance()) return;
  QIcon icon;
  for (const Decoded_image& d : sizes) {
    if (d.width <= 0 || d.height <= 0 || d.pixels.size() != size_t(d.width) * size_t(d.height)) continue;
    // The words are 0xAARRGGBB, not premultiplied: Qt's ARGB32 exactly.
    QImage image(reinterpret_cast<const uchar*>(d.pixels.data()), d.width, d.height, d.width * 4,
                 QImage::Format_ARGB32);
    icon.addPixmap(QPixmap::fromImage(image.copy()));
  }
  // The application's icon is every window's unless a window has its own.
  QApplication::setWindowIcon(icon);
  // Qt tells the windows already open only inside its own event loop, which
  // the program does not run: tell them here.
  for (QWidget* w : QApplication::topLevelWidgets()) {
    QEvent changed(QEvent::ApplicationWindowIconChange);
    QApplication::sendEvent(w, &changed);
  }
  qt::x11_flush();
}

int window_icon_count() {
  if (!QApplication::instance()) return 0;
  return static_cast<int>(QApplication::windowIcon().availableSizes().size());
}

}  // namespace brek_platform
