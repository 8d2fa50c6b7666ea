#include "platform/qt/keyboard_back.h"

#include <QApplication>

namespace brek_platform::qt {

Keyboard_back::Keyboard_back(QWidget* owner)
    : to_(QApplication::activeWindow() ? QApplication::activeWindow() : owner ? owner->window() : nullptr) {}

Keyboard_back::~Keyboard_back() {
  // Another modal window still open keeps the keyboard; a hidden or
  // minimized window is not brought back by a run that closed.
  if (!to_ || !to_->isVisible() || to_->isMinimized()) return;
  const QWidget* modal = QApplication::activeModalWidget();
  if (modal && modal != to_) return;
  to_->activateWindow();
}

}  // namespace brek_platform::qt
