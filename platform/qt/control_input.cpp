#include "platform/control_input.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDateEdit>
#include <QListWidget>
#include <QTest>
#include <QWheelEvent>

#include <algorithm>

#include "platform/qt/virtual_keys.h"
#include "platform/qt/widget_registry.h"

namespace brek_platform {

namespace {

// A point inside what a control takes clicks on: a check box only on its
// box and caption, so near the left end.
QPoint click_point(QWidget* w) {
  QPoint c = w->rect().center();
  return QPoint(std::min(c.x(), std::max(1, w->height() / 2)), c.y());
}

// Where a control takes the pointer: the viewport of a scrolling one.
QWidget* pointer_widget(QWidget* w) {
  if (auto* area = qobject_cast<QAbstractScrollArea*>(w)) return area->viewport();
  return w;
}

Qt::Key qt_key(int vk) {
  int k = brek_qt::qt_key(vk);
  return k != 0 ? static_cast<Qt::Key>(k) : Qt::Key_unknown;
}

QString key_text(int vk) {
  if (vk >= 65 && vk <= 90) return QString(QChar(vk + 32));
  if (vk >= 48 && vk <= 57) return QString(QChar(vk));
  switch (vk) {
    case 8: return QStringLiteral("\b");
    case 13: return QStringLiteral("\r");
    case 32: return QStringLiteral(" ");
    default: return {};
  }
}

}  // namespace

void user_click(int64_t control) {
  if (QWidget* w = brek_qt::widget_of(control)) {
    QWidget* target = pointer_widget(w);
    QTest::mouseClick(target, Qt::LeftButton, Qt::NoModifier, click_point(target));
  }
}

void user_double_click(int64_t control) {
  if (QWidget* w = brek_qt::widget_of(control)) {
    QWidget* target = pointer_widget(w);
    QPoint at = click_point(target);
    QTest::mouseClick(target, Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseDClick(target, Qt::LeftButton, Qt::NoModifier, at);
  }
}

void user_type(int64_t control, const std::string& text) {
  if (QWidget* w = brek_qt::widget_of(control)) {
    for (QChar ch : QString::fromUtf8(text.c_str())) {
      Qt::Key key = Qt::Key_unknown;
      if (ch.isLetter()) key = static_cast<Qt::Key>(Qt::Key_A + (ch.toUpper().unicode() - 'A'));
      else if (ch.isDigit()) key = static_cast<Qt::Key>(Qt::Key_0 + (ch.unicode() - '0'));
      else if (ch == QLatin1Char('-')) key = Qt::Key_Minus;
      else if (ch == QLatin1Char('.')) key = Qt::Key_Period;
      else if (ch == QLatin1Char(',')) key = Qt::Key_Comma;
      else if (ch == QLatin1Char(' ')) key = Qt::Key_Space;
      QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(ch));
      QApplication::sendEvent(w, &press);
      QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString(ch));
      QApplication::sendEvent(w, &release);
    }
  }
}

void user_key(int64_t control, int virtual_key, bool press_only) {
  if (QWidget* w = brek_qt::widget_of(control)) {
    QKeyEvent press(QEvent::KeyPress, qt_key(virtual_key), Qt::NoModifier, key_text(virtual_key));
    QApplication::sendEvent(w, &press);
    if (!press_only) user_key_release(control, virtual_key);
  }
}

void user_key_release(int64_t control, int virtual_key) {
  if (QWidget* w = brek_qt::widget_of(control)) {
    QKeyEvent release(QEvent::KeyRelease, qt_key(virtual_key), Qt::NoModifier, key_text(virtual_key));
    QApplication::sendEvent(w, &release);
  }
}

void user_pick_item(int64_t control, int64_t index) {
  auto* list = qobject_cast<QListWidget*>(brek_qt::widget_of(control));
  if (!list || index < 0 || index >= list->count()) return;
  QListWidgetItem* item = list->item(static_cast<int>(index));
  list->scrollToItem(item);
  QRect r = list->visualItemRect(item);
  QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, r.center());
}

void user_pick_date(int64_t control, int days_from_today) {
  if (auto* d = qobject_cast<QDateEdit*>(brek_qt::widget_of(control)))
    d->setDate(QDate::currentDate().addDays(days_from_today));
}

bool user_button_is_down(int64_t control) {
  auto* b = qobject_cast<QAbstractButton*>(brek_qt::widget_of(control));
  return b && b->isDown();
}

void user_wheel(int64_t control, int delta) {
  if (QWidget* w = brek_qt::widget_of(control)) {
    QWidget* target = pointer_widget(w);
    QPointF at = target->rect().center();
    QWheelEvent ev(at, target->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                   Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &ev);
  }
}

}  // namespace brek_platform
