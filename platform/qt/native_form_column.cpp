// A column panel of a form: its controls on a content panel that scrolls
// when they need more height than the column has.

#include <QApplication>
#include <QResizeEvent>
#include <QScrollBar>
#include <QStyle>
#include <QWheelEvent>

#include <algorithm>

#include "platform/qt/native_widgets.h"

namespace brek_platform::qt {

Column_widget::Column_widget(QWidget* parent) : QWidget(parent) {
  setMouseTracking(true);
  content_ = new QWidget(this);
  content_->setMouseTracking(true);
  bar_ = new QScrollBar(Qt::Vertical, this);
  bar_->hide();
  bar_->setFocusPolicy(Qt::NoFocus);
  QObject::connect(bar_, &QScrollBar::valueChanged, content_, [this](int v) { content_->move(0, -v); });
  place();
}

void Column_widget::set_content_height(int px) {
  px = std::max(0, px);
  if (px == extent_) return;
  extent_ = px;
  place();
}

void Column_widget::place() {
  const bool scrolls = extent_ > height();
  const int bar_w = scrolls ? std::max(1, style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, bar_)) : 0;
  // The column's room (its contents rectangle) leaves the bar out.
  setContentsMargins(0, 0, bar_w, 0);
  bar_->setRange(0, std::max(0, extent_ - height()));
  bar_->setPageStep(std::max(1, height()));
  bar_->setSingleStep(std::max(1, height() / 10));
  bar_->setGeometry(width() - bar_w, 0, bar_w, height());
  bar_->setVisible(scrolls);
  content_->setGeometry(0, -bar_->value(), std::max(0, width() - bar_w), std::max(height(), extent_));
  bar_->raise();
}

void Column_widget::show_within(const QWidget* w) {
  if (!bar_->isVisible() || !w || !content_->isAncestorOf(w)) return;
  const QRect r(w->mapTo(content_, QPoint(0, 0)), w->size());
  const int top = bar_->value(), bottom = top + height();
  if (r.top() < top)
    bar_->setValue(r.top());
  else if (r.bottom() + 1 > bottom)
    bar_->setValue(std::min(r.top(), r.bottom() + 1 - height()));
}

void Column_widget::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  place();
}

void Column_widget::wheelEvent(QWheelEvent* e) {
  if (!bar_->isVisible()) {
    QWidget::wheelEvent(e);
    return;
  }
  QApplication::sendEvent(bar_, e);
}

}  // namespace brek_platform::qt
