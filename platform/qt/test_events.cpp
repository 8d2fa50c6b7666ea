// Test input: events built as the platform builds them and sent through the
// application object, so that they take the path real input takes.

#include "platform/test_events.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCursor>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <QWheelEvent>
#include <QWindow>

#include "platform/application.h"
#include "platform/qt/native_widgets.h"
#include "platform/qt/test_pending.h"
#include "platform/qt/virtual_keys.h"
#include "platform/qt/widget_registry.h"
#include "platform/qt/window_layer.h"
#include "platform/qt/x11_connection.h"

namespace brek_platform {

namespace {

QPointer<QObject>& pending_owner() {
  static QPointer<QObject> owner;
  return owner;
}

}  // namespace

QObject* qt::test_pending() {
  if (!pending_owner()) pending_owner() = new QObject(qApp);
  return pending_owner();
}

namespace test_events {

namespace {

using qt::widget_of;

Qt::MouseButton qt_button(int button) {
  switch (button) {
    case 2: return Qt::RightButton;
    case 3: return Qt::MiddleButton;
    default: return Qt::LeftButton;
  }
}

Qt::MouseButtons g_held;  // buttons the synthesized input holds down

QPointF px(Point_pt at) { return {double(qt::to_px(at.x)), double(qt::to_px(at.y))}; }

// The widget a point of the target lands on, and the point in it. Points of
// a form are client points.
QWidget* hit(Native_handle target, Point_pt at, QPointF& local) {
  QWidget* w = widget_of(target);
  if (!w) return nullptr;
  QPointF p = px(at);
  if (auto* form = qobject_cast<qt::Form_widget*>(w)) {
    w = form->client();
  }
  QWidget* child = w->childAt(p.toPoint());
  if (child) {
    local = QPointF(child->mapFrom(w, p.toPoint()));
    return child;
  }
  local = p;
  return w;
}

bool send_mouse(Native_handle target, Point_pt at, QEvent::Type type, int button) {
  QPointF local;
  QWidget* w = hit(target, at, local);
  if (!w) return false;
  Qt::MouseButton b = type == QEvent::MouseMove ? Qt::NoButton : qt_button(button);
  if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick) g_held |= b;
  if (type == QEvent::MouseButtonRelease) g_held &= ~Qt::MouseButtons(b);
  QMouseEvent e(type, local, w->mapToGlobal(local), b, g_held, QGuiApplication::keyboardModifiers());
  QApplication::sendEvent(w, &e);
  return true;
}

Qt::KeyboardModifiers qt_modifiers(const Key_modifiers& m) {
  Qt::KeyboardModifiers q;
  if (m.shift) q |= Qt::ShiftModifier;
  if (m.ctrl) q |= Qt::ControlModifier;
  if (m.alt) q |= Qt::AltModifier;
  if (m.win) q |= Qt::MetaModifier;
  return q;
}

// The key a keyboard reports: a digit typed with Shift is its symbol, as
// on a US keyboard.
int qt_key(int vk, const Key_modifiers& m) {
  static const int shifted[10] = {Qt::Key_ParenRight, Qt::Key_Exclam, Qt::Key_At, Qt::Key_NumberSign,
                                  Qt::Key_Dollar, Qt::Key_Percent, Qt::Key_AsciiCircum, Qt::Key_Ampersand,
                                  Qt::Key_Asterisk, Qt::Key_ParenLeft};
  if (m.shift && vk >= '0' && vk <= '9') return shifted[vk - '0'];
  return brek_qt::qt_key(vk);
}

QWidget* key_target(Native_handle target) {
  QWidget* w = widget_of(target);
  if (auto* form = qobject_cast<qt::Form_widget*>(w)) return form;
  return w;
}

}  // namespace

bool mouse_move(Native_handle target, Point_pt at) { return send_mouse(target, at, QEvent::MouseMove, 0); }
bool mouse_press(Native_handle target, Point_pt at, int button) {
  return send_mouse(target, at, QEvent::MouseButtonPress, button);
}
bool mouse_release(Native_handle target, Point_pt at, int button) {
  return send_mouse(target, at, QEvent::MouseButtonRelease, button);
}

bool click(Native_handle target, Point_pt at, int button) {
  return mouse_press(target, at, button) && mouse_release(target, at, button);
}

bool double_click(Native_handle target, Point_pt at) {
  return click(target, at, 1) && send_mouse(target, at, QEvent::MouseButtonDblClick, 1) &&
         mouse_release(target, at, 1);
}

void move_screen_pointer(Point_pt at) { QCursor::setPos(qt::to_px(at.x), qt::to_px(at.y)); }

bool wheel(Native_handle target, Point_pt at, int delta, int delta_x) {
  QPointF local;
  QWidget* w = hit(target, at, local);
  if (!w) return false;
  QWheelEvent e(local, w->mapToGlobal(local), QPoint(), QPoint(delta_x, delta), g_held, Qt::NoModifier,
                Qt::NoScrollPhase, false);
  QApplication::sendEvent(w, &e);
  return true;
}

bool key_press(Native_handle target, int vk, const Key_modifiers& mods, const std::string& text) {
  QWidget* w = key_target(target);
  if (!w) return false;
  QKeyEvent e(QEvent::KeyPress, qt_key(vk, mods), qt_modifiers(mods), QString::fromUtf8(text.c_str()));
  QApplication::sendEvent(w, &e);
  return true;
}

bool key_release(Native_handle target, int vk, const Key_modifiers& mods) {
  QWidget* w = key_target(target);
  if (!w) return false;
  QKeyEvent e(QEvent::KeyRelease, qt_key(vk, mods), qt_modifiers(mods));
  QApplication::sendEvent(w, &e);
  return true;
}

namespace {

// Strokes of a German keyboard on X11: AltGr (level 3) shows as Qt's
// group switch modifier; scan codes are X key codes, virtual keys the
// keysyms.
enum Held { NONE, SHIFT, ALTGR };
struct German_stroke {
  const char* character;
  int key;
  Held held;
  quint32 scan;
  quint32 keysym;
  const char* text;
};
const German_stroke k_german[] = {
    {"{", Qt::Key_BraceLeft, ALTGR, 16, 0x7b, "{"},   {"}", Qt::Key_BraceRight, ALTGR, 19, 0x7d, "}"},
    {"[", Qt::Key_BracketLeft, ALTGR, 17, 0x5b, "["}, {"]", Qt::Key_BracketRight, ALTGR, 18, 0x5d, "]"},
    {"^", Qt::Key_Dead_Circumflex, NONE, 49, 0xfe52, ""},
    {"_", Qt::Key_Underscore, SHIFT, 61, 0x5f, "_"},   {"-", Qt::Key_Minus, NONE, 61, 0x2d, "-"},
    {"+", Qt::Key_Plus, NONE, 35, 0x2b, "+"},        {"*", Qt::Key_Asterisk, SHIFT, 35, 0x2a, "*"},
    {",", Qt::Key_Comma, NONE, 59, 0x2c, ","},       {".", Qt::Key_Period, NONE, 60, 0x2e, "."},
    {"=", Qt::Key_Equal, SHIFT, 19, 0x3d, "="},        {"&", Qt::Key_Ampersand, SHIFT, 15, 0x26, "&"},
    {"(", Qt::Key_ParenLeft, SHIFT, 17, 0x28, "("},    {"#", Qt::Key_NumberSign, NONE, 51, 0x23, "#"},
};

}  // namespace

bool german_key(Native_handle target, const std::string& character) {
  QWidget* w = key_target(target);
  if (!w) return false;
  for (const German_stroke& s : k_german) {
    if (character != s.character) continue;
    const Qt::KeyboardModifiers mods = s.held == ALTGR   ? Qt::GroupSwitchModifier
                                       : s.held == SHIFT ? Qt::ShiftModifier
                                                         : Qt::NoModifier;
    QKeyEvent press(QEvent::KeyPress, s.key, mods, s.scan, s.keysym, 0, QString::fromUtf8(s.text));
    QApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, s.key, mods, s.scan, s.keysym, 0, QString::fromUtf8(s.text));
    QApplication::sendEvent(w, &release);
    return true;
  }
  return false;
}

bool key(Native_handle target, int vk, const Key_modifiers& mods, const std::string& text) {
  return key_press(target, vk, mods, text) && key_release(target, vk, mods);
}

namespace {
bool window_key(Native_handle target, bool press, int vk, const Key_modifiers& mods, const std::string& text,
                bool repeat) {
  QWidget* w = key_target(target);
  QWindow* window = w ? w->window()->windowHandle() : nullptr;
  if (!window) return false;
  QTest::simulateEvent(window, press, qt_key(vk, mods), qt_modifiers(mods), QString::fromUtf8(text.c_str()),
                       repeat);
  return true;
}
}  // namespace

bool window_key_press(Native_handle target, int vk, const Key_modifiers& mods, const std::string& text,
                      bool repeat) {
  return window_key(target, true, vk, mods, text, repeat);
}
bool window_key_release(Native_handle target, int vk, const Key_modifiers& mods, const std::string& text,
                        bool repeat) {
  return window_key(target, false, vk, mods, text, repeat);
}

bool window_click(Native_handle target, Point_pt at, int button) {
  QWidget* w = widget_of(target);
  if (!w) w = brek_qt::widget_of(target);  // a native control
  QWindow* window = w ? w->window()->windowHandle() : nullptr;
  if (!window) return false;
  QTest::mouseClick(window, qt_button(button), Qt::NoModifier, w->mapTo(w->window(), px(at).toPoint()));
  return true;
}

bool key_at_focus(Native_handle form, int vk, const Key_modifiers& mods, const std::string& text) {
  auto* f = qobject_cast<qt::Form_widget*>(widget_of(form));
  if (!f) return false;
  QWidget* w = f->focusWidget() ? f->focusWidget() : f;
  QKeyEvent press(QEvent::KeyPress, qt_key(vk, mods), qt_modifiers(mods), QString::fromUtf8(text.c_str()));
  QApplication::sendEvent(w, &press);
  QKeyEvent release(QEvent::KeyRelease, qt_key(vk, mods), qt_modifiers(mods));
  QApplication::sendEvent(w, &release);
  return true;
}

bool drop_files(Native_handle target, const std::vector<std::string>& paths, Point_pt at) {
  QPointF local;
  QWidget* w = hit(target, at, local);
  if (!w) return false;
  // Drops go to the nearest widget that takes them, as the platform does.
  while (w && !w->acceptDrops() && !w->isWindow()) {
    local = QPointF(w->mapToParent(local.toPoint()));
    w = w->parentWidget();
  }
  if (!w) return false;
  QMimeData data;
  QList<QUrl> urls;
  for (const std::string& p : paths) urls.push_back(QUrl::fromLocalFile(QString::fromUtf8(p.c_str())));
  data.setUrls(urls);
  QDragEnterEvent enter(local.toPoint(), Qt::CopyAction, &data, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(w, &enter);
  QDropEvent drop(local, Qt::CopyAction, &data, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(w, &drop);
  return true;
}

bool close(Native_handle form) {
  auto* w = qobject_cast<qt::Form_widget*>(widget_of(form));
  if (!w) return false;
  w->close();
  return true;
}

bool focus(Native_handle target) {
  QWidget* w = widget_of(target);
  if (!w) return false;
  w->activateWindow();
  w->setFocus(Qt::OtherFocusReason);
  return true;
}

void post_task(std::function<void()> task, int delay_ms) {
  if (!application_exists()) return;
  QTimer::singleShot(delay_ms < 0 ? 0 : delay_ms, qt::test_pending(), [task = std::move(task)] {
    try {
      task();
    } catch (...) {
    }
  });
}

void answer_next_message(bool yes, Rect_pt* where, std::string* text) {
  if (!application_exists()) return;
  auto* timer = new QTimer(qt::test_pending());
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, [timer, yes, where, text] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible()) return;
    timer->stop();
    timer->deleteLater();
    if (where) {
      QRect r = box->frameGeometry();
      *where = Rect_pt{double(r.x()), double(r.y()), double(r.width()), double(r.height())};
    }
    if (text) *text = box->text().toStdString();
    QAbstractButton* b = nullptr;
    if (yes) {
      b = box->button(QMessageBox::Yes);
      if (!b) b = box->button(QMessageBox::Ok);
    } else {
      b = box->button(QMessageBox::No);
    }
    if (b)
      b->click();
    else
      box->reject();
  });
  timer->start();
}

void forget_pending() { delete pending_owner().data(); }

bool modal_window_open() { return application_exists() && QApplication::activeModalWidget() != nullptr; }

void settle() {
  for (int i = 0; i < 3; ++i) process_events();
}

int native_window_count() { return application_exists() ? int(QApplication::topLevelWidgets().size()) : 0; }

bool wait_exposed(Native_handle form, int timeout_ms) {
  auto* w = qobject_cast<qt::Form_widget*>(widget_of(form));
  if (!w) return false;
  if (!QTest::qWaitForWindowExposed(w, timeout_ms)) return false;
  // Painted now, not when the loop comes round, and taken by the X server
  // before anyone reads the window back.
  w->repaint();
  process_events();
  qt::x11_sync();
  return true;
}

Rect_pt shown_bounds(Native_handle control) {
  QWidget* w = brek_qt::widget_of(control);
  if (!w) w = widget_of(control);
  auto* form = w ? qobject_cast<qt::Form_widget*>(w->window()) : nullptr;
  if (!form || !form->client()->isAncestorOf(w)) return {};
  const QPoint at = w->mapTo(form->client(), QPoint(0, 0));
  return {qt::to_pt(at.x()), qt::to_pt(at.y()), qt::to_pt(w->width()), qt::to_pt(w->height())};
}

Native_handle add_control(Native_handle form, Rect_pt bounds) {
  QWidget* column = qt::column_content(qt::current_column(form));
  if (!column) return 0;
  auto* w = new QWidget(column);
  w->setFocusPolicy(Qt::StrongFocus);
  w->setGeometry(qt::to_px(bounds.x), qt::to_px(bounds.y), qt::to_px(bounds.w), qt::to_px(bounds.h));
  w->show();
  return qt::register_control(w, form, qt::current_column(form));
}

}  // namespace test_events

}  // namespace brek_platform
