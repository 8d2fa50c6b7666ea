// Input of the window layer: every pointer, wheel, key, focus and drop event
// meant for a widget of one of our forms is reported once, at the widget Qt
// delivers it to first, before Qt propagates it to the parents. The
// application object calls translate_event from notify, which sees each
// event exactly once.

#include <QAbstractButton>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>
#include <QUrl>
#include <QWheelEvent>

#include <set>
#include <string>
#include <vector>

#include "platform/qt/native_widgets.h"
#include "platform/qt/virtual_keys.h"
#include "platform/qt/widget_registry.h"
#include "platform/qt/window_layer.h"
#include "platform/window.h"

namespace brek_platform::qt {

namespace {

int g_depth = 0;

// The left press that may become a click: where it went down.
Native_handle g_press_target = 0;
// Keys whose press the program took: their release is taken too, so the
// widget never sees half a key stroke.
std::set<int> g_taken_keys;

bool is_ours(QEvent::Type t) {
  switch (t) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::FocusIn:
    case QEvent::FocusOut:
    case QEvent::Resize:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
      return true;
    default:
      return false;
  }
}

// Where a point of widget w lies in the form's client area, in pixels.
QPointF client_point_f(Form_widget* form, QWidget* w, QPointF at) {
  QWidget* client = form->client();
  if (w == form) return at - QPointF(client->pos());
  return QPointF(w->mapTo(client, at.toPoint())) + (at - QPointF(at.toPoint()));
}

Point_pt to_points(QPointF px) { return {to_pt(px.x()), to_pt(px.y())}; }

void pointer_event(Form_widget* form, Native_handle target, QWidget* receiver, QMouseEvent* e) {
  Native_handle f = form->handle;
  Native_kind kind = kind_of(target);
  Pointer_input in;
  in.form = f;
  in.control = kind == Native_kind::CONTROL ? target : 0;
  QPointF at = e->position();
  in.at = to_points(client_point_f(form, receiver, at));
  QWidget* tw = widget_of(target);
  QPointF local = (tw && tw != receiver && tw->isAncestorOf(receiver)) ? QPointF(receiver->mapTo(tw, at.toPoint())) : at;
  if (kind == Native_kind::CONTROL)
    in.at_control = to_points(local);
  else
    in.at_control = in.at;
  in.button = brek_qt::button_number(e->button());
  bool is_double = e->type() == QEvent::MouseButtonDblClick;
  in.shift = brek_qt::shift_bits(e, is_double);
  Form_events& events = form_events();
  switch (e->type()) {
    case QEvent::MouseMove:
      report([&] { events.mouse_move(in); });
      break;
    case QEvent::MouseButtonPress:
      if (e->button() == Qt::LeftButton) g_press_target = target;
      report([&] { events.mouse_down(in); });
      break;
    case QEvent::MouseButtonDblClick:
      // The platform's double click is the second press: no click follows
      // its release.
      g_press_target = 0;
      if (e->button() == Qt::LeftButton) report([&] { events.double_click_pending(); });
      report([&] { events.mouse_down(in); });
      break;
    case QEvent::MouseButtonRelease: {
      bool click = e->button() == Qt::LeftButton && g_press_target == target &&
                   !(control_flags(target) & CONTROL_CLICKS_ITSELF) && tw && tw->rect().contains(local.toPoint());
      if (e->button() == Qt::LeftButton) g_press_target = 0;
      if (click) report([&] { events.click(f, in.control, in.at); });
      report([&] { events.mouse_up(in); });
      break;
    }
    default:
      break;
  }
}

bool wheel_event(Form_widget* form, QWidget* receiver, QWheelEvent* e) {
  QPoint delta = e->angleDelta();
  if (delta.isNull()) return false;
  Native_handle f = form->handle;
  Point_pt at = to_points(client_point_f(form, receiver, e->position()));
  Wheel_result r = report_value(Wheel_result{}, [&] { return form_events().wheel(f, delta.y(), delta.x(), at); });
  if (r.flush_after_ms > 0)
    QTimer::singleShot(r.flush_after_ms, form, [f] { report([&] { form_events().wheel_flush(f); }); });
  if (!r.handled) return false;
  e->accept();
  return true;
}

bool key_event(Form_widget* form, Native_handle target, QKeyEvent* e) {
  Native_handle f = form->handle;
  Native_handle control = kind_of(target) == Native_kind::CONTROL ? target : 0;
  int vk = brek_qt::virtual_key_of(e);
  Key_modifiers mods = brek_qt::key_modifiers_of(e);
  if (e->type() == QEvent::KeyPress) mods.typed = brek_qt::typed_char_of(e);
  Form_events& events = form_events();
  if (e->type() == QEvent::KeyRelease) {
    // The platform reports no key up for auto-repeated strokes.
    if (e->isAutoRepeat()) return g_taken_keys.count(e->key()) != 0;
    if (vk != 0) report([&] { events.key_up(f, control, vk, mods); });
    if (g_taken_keys.erase(e->key()) != 0) {
      e->accept();
      return true;
    }
    return false;
  }
  QPointer<Form_widget> alive(form);
  bool taken = false;
  // A key of no US place (a dead key) still goes down with what it types.
  if (vk != 0 || mods.typed != 0)
    taken = report_value(false, [&] { return events.key_down(f, control, vk, mods); });
  QString text = e->text();
  bool typed = !text.isEmpty() && e->key() != Qt::Key_Delete;
  if (typed) {
    auto codes = text.toUcs4();
    for (char32_t cp : codes) {
      uint32_t out = report_value(static_cast<uint32_t>(cp), [&] { return events.key_press(f, control, cp, mods); });
      if (out == 0) taken = true;
    }
  }
  if (!taken && alive && (vk == 13 || vk == 27)) taken = dialog_key(alive, vk);
  if (!taken) return false;
  g_taken_keys.insert(e->key());
  e->accept();
  return true;
}

std::vector<std::string> local_files(const QMimeData* data) {
  std::vector<std::string> names;
  if (!data || !data->hasUrls()) return names;
  for (const QUrl& u : data->urls())
    if (u.isLocalFile()) names.push_back(u.toLocalFile().toUtf8().toStdString());
  return names;
}

}  // namespace

// Standard buttons are named in the controls' registry, others here.
QWidget* button_widget(Native_handle h) {
  QWidget* w = widget_of(h);
  return w ? w : brek_qt::widget_of(h);
}

bool dialog_key(Form_widget* form, int vk) {
  QWidget* focus = form->focusWidget();
  if (vk == 13) {
    if (qobject_cast<QPlainTextEdit*>(focus) || qobject_cast<QTextEdit*>(focus)) return false;
    if (auto* b = qobject_cast<QPushButton*>(focus)) {
      b->click();
      return true;
    }
    auto* b = qobject_cast<QAbstractButton*>(button_widget(form->default_button));
    if (!b || !b->isVisible() || !b->isEnabled()) return false;
    b->click();
    return true;
  }
  if (vk == 27) {
    auto* b = qobject_cast<QAbstractButton*>(button_widget(form->cancel_button));
    if (!b || !b->isVisible() || !b->isEnabled()) return false;
    b->click();
    return true;
  }
  return false;
}

int delivery_depth() { return g_depth; }

QPoint client_point(const QWidget* w, QPoint local) {
  if (!w) return local;
  auto* form = qobject_cast<Form_widget*>(w->window());
  QPoint p = w->mapTo(w->window(), local);
  return form ? p - form->client()->pos() : p;
}
Delivery_scope::Delivery_scope() { ++g_depth; }
Delivery_scope::~Delivery_scope() { --g_depth; }

bool translate_event(QObject* receiver, QEvent* event) {
  if (!is_ours(event->type()) || !receiver->isWidgetType() || window_layer() == nullptr) return false;
  try {
    auto* w = static_cast<QWidget*>(receiver);
    Native_handle target = registered_ancestor(w);
    if (target == 0) return false;
    // The standard controls report their own input.
    for (const QWidget* p = w; p && handle_of(p) != target; p = p->parentWidget())
      if (brek_qt::handle_of(p) != 0) return false;
    auto* form = qobject_cast<Form_widget*>(widget_of(form_of(target)));
    if (!form || form->dead || form->handle == 0) return false;
    Native_kind kind = kind_of(target);

    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
      case QEvent::MouseMove:
        pointer_event(form, target, w, static_cast<QMouseEvent*>(event));
        return false;  // the widget handles the pointer as well
      case QEvent::Wheel:
        return wheel_event(form, w, static_cast<QWheelEvent*>(event));
      case QEvent::KeyPress:
      case QEvent::KeyRelease:
        return key_event(form, target, static_cast<QKeyEvent*>(event));
      case QEvent::FocusIn:
      case QEvent::FocusOut: {
        if (kind != Native_kind::CONTROL) return false;
        QWidget* cw = widget_of(target);
        if (w != cw && cw->focusProxy() != w) return false;
        auto reason = static_cast<QFocusEvent*>(event)->reason();
        // Another window's turn is no change of the form's active control.
        if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) return false;
        Native_handle f = form->handle;
        bool entering = event->type() == QEvent::FocusIn;
        report([&] { form_events().focus(f, target, entering); });
        return false;
      }
      case QEvent::Resize: {
        if (kind != Native_kind::CONTROL || widget_of(target) != w) return false;
        Native_handle f = form->handle;
        report([&] { form_events().control_resized(f, target); });
        return false;
      }
      case QEvent::DragEnter:
      case QEvent::DragMove: {
        // Files are the form's, wherever they are dropped on it.
        auto* d = static_cast<QDropEvent*>(event);
        if (local_files(d->mimeData()).empty()) return false;
        d->acceptProposedAction();
        return true;
      }
      case QEvent::Drop: {
        auto* d = static_cast<QDropEvent*>(event);
        std::vector<std::string> names = local_files(d->mimeData());
        if (names.empty()) return false;
        d->acceptProposedAction();
        Native_handle f = form->handle;
        Point_pt at = to_points(client_point_f(form, w, d->position()));
        report([&] { form_events().files_dropped(f, names, at); });
        return true;
      }
      default:
        return false;
    }
  } catch (...) {
    return false;
  }
}

}  // namespace brek_platform::qt
