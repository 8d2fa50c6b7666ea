// The standard controls on Qt widgets, placed by the program's own layout
// (no Qt layouts) inside their column panel.
//
// Input on a control is reported to the forms toolkit here, not by the
// window layer: an event filter on each control reports pointer, key, focus
// and wheel input with the control's handle, lets the widget have the event
// and then stops it, so it never travels on to the column panel or the form
// and is never reported twice. Signals report what the user changed: a
// click, a value change (edit, memo, combo text, check box, date), a
// selection change (list box, combo choice). Changes made by the program
// report nothing.

#include "platform/native_controls.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QDateEdit>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTimer>

#include <algorithm>
#include <climits>
#include <memory>
#include <unordered_map>

#include "platform/qt/native_widgets.h"
#include "platform/qt/text_room.h"
#include "platform/qt/virtual_keys.h"
#include "platform/qt/widget_registry.h"
#include "platform/qt/window_layer.h"
#include "platform/units.h"

namespace brek_platform {

namespace {

const char* const HANDLE_PROPERTY = "brek_control";
const char* const MAIN_PROPERTY = "brek_control_main";

struct Control {
  Control_kind kind = Control_kind::LABEL;
  Native_handle handle = 0;
  Native_handle form = 0;
  QPointer<QWidget> widget;
  bool autosize = false;
  bool space_armed = false;  // a Space press on a button waits for its release
  bool left_down = false;    // a left press began on the control
};

std::unordered_map<Native_handle, std::unique_ptr<Control>>& table() {
  static auto* t = new std::unordered_map<Native_handle, std::unique_ptr<Control>>();
  return *t;
}

Control* find(Native_handle h) {
  auto& t = table();
  auto it = t.find(h);
  if (it == t.end() || it->second->widget.isNull()) return nullptr;
  return it->second.get();
}

// A control widget that other widget code put under the window layer (a
// paint panel): it is placed, sized, shown, enabled and focused here like a
// standard control.
QWidget* other_control(Native_handle h) {
  if (find(h)) return nullptr;
  return qt::kind_of(h) == qt::Native_kind::CONTROL ? qt::widget_of(h) : nullptr;
}

// The widget of a standard control or of another registered control.
QWidget* any_control(Native_handle h) {
  if (Control* c = find(h)) return c->widget;
  return other_control(h);
}

double ppi() { return native_forms().pixels_per_inch(); }
double to_points(double px) { return pixels_to_points(px, ppi()); }

QColor colour_of(int32_t bgr) { return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF); }

int clamp_int(int64_t v) { return static_cast<int>(std::clamp<int64_t>(v, INT_MIN / 2, INT_MAX / 2)); }

QString qs(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
std::string ss(const QString& s) { return s.toStdString(); }

bool is_button_like(Control_kind k) { return k == Control_kind::BUTTON || k == Control_kind::CHECKBOX; }

// Memo lines: cut at LF; a final line end opens no further line.
QStringList memo_lines(const QString& text) {
  if (text.isEmpty()) return {};
  QStringList lines = text.split(QLatin1Char('\n'));
  if (text.endsWith(QLatin1Char('\n'))) lines.removeLast();
  return lines;
}

// Client coordinates of the form, whose client area may be inset from
// its window.
QPoint form_point(QWidget* w, const QPoint& local) { return qt::client_point(w, local); }

Point_pt points_of(const QPoint& p) { return {to_points(p.x()), to_points(p.y())}; }

// Each control's input, reported before (keys) or after (pointer) the
// widget had it.
class Input_filter : public QObject {
 public:
  bool eventFilter(QObject* obj, QEvent* ev) override;

 private:
  bool mouse(Control* c, QWidget* w, bool main, QMouseEvent* ev);
  bool key(Control* c, QWidget* w, QKeyEvent* ev);
  bool wheel(Control* c, QWidget* w, bool main, QWheelEvent* ev);
  // Runs the widget's own handling of the event, then stops it there.
  static bool deliver(QWidget* w, QEvent* ev) {
    static_cast<QObject*>(w)->event(ev);
    ev->accept();
    return true;
  }
  // A mouse event that a viewport passed on to its control was reported
  // already; it is the same event object, with the same time stamp.
  const QEvent* last_event_ = nullptr;
  QEvent::Type last_type_ = QEvent::None;
  quint64 last_stamp_ = 0;
};

Input_filter& input_filter() {
  static auto* f = new Input_filter();
  return *f;
}

bool Input_filter::eventFilter(QObject* obj, QEvent* ev) {
  Native_handle h = obj->property(HANDLE_PROPERTY).toLongLong();
  Control* c = find(h);
  auto* w = qobject_cast<QWidget*>(obj);
  if (!c || !w) return false;
  const bool main = obj->property(MAIN_PROPERTY).toBool();
  switch (ev->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
      return mouse(c, w, main, static_cast<QMouseEvent*>(ev));
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
      return main ? key(c, w, static_cast<QKeyEvent*>(ev)) : false;
    case QEvent::Wheel:
      return wheel(c, w, main, static_cast<QWheelEvent*>(ev));
    case QEvent::FocusIn:
    case QEvent::FocusOut:
      if (main) {
        if (ev->type() == QEvent::FocusOut) c->space_armed = false;
        form_events().focus(c->form, c->handle, ev->type() == QEvent::FocusIn);
      }
      return false;
    default:
      return false;
  }
}

bool Input_filter::mouse(Control* c, QWidget* w, bool main, QMouseEvent* ev) {
  const bool seen = ev == last_event_ && ev->type() == last_type_ && ev->timestamp() == last_stamp_;
  last_event_ = ev;
  last_type_ = ev->type();
  last_stamp_ = ev->timestamp();
  const Native_handle form = c->form;
  const Native_handle handle = c->handle;
  const Control_kind kind = c->kind;
  QWidget* control_widget = c->widget.data();
  const QPoint local = ev->position().toPoint();
  Pointer_input in;
  in.form = form;
  in.control = handle;
  in.at = points_of(form_point(w, local));
  in.at_control = points_of(w == control_widget ? local : w->mapTo(control_widget, local));
  in.button = brek_qt::button_number(ev->button());
  in.shift = brek_qt::shift_bits(ev, ev->type() == QEvent::MouseButtonDblClick);
  const bool inside = w->rect().contains(local);
  QPointer<QWidget> guard(w);
  if (main) deliver(w, ev);  // the widget first: a button's click comes before its mouse-up
  if (seen) return main;
  Form_events& events = form_events();
  switch (ev->type()) {
    case QEvent::MouseButtonPress:
      if (ev->button() == Qt::LeftButton) {
        if (Control* still = find(handle)) still->left_down = true;
      }
      events.mouse_down(in);
      break;
    case QEvent::MouseButtonDblClick:
      events.double_click_pending();
      events.mouse_down(in);
      break;
    case QEvent::MouseButtonRelease: {
      bool clicked = false;
      if (Control* still = find(handle)) {
        clicked = ev->button() == Qt::LeftButton && still->left_down && inside;
        if (ev->button() == Qt::LeftButton) still->left_down = false;
      }
      events.mouse_up(in);
      // Controls without a click signal of their own click on a left release.
      if (clicked && !is_button_like(kind) && kind != Control_kind::LISTBOX && kind != Control_kind::COMBO)
        events.click(form, handle, in.at);
      break;
    }
    default:
      events.mouse_move(in);
      break;
  }
  return main;
}

bool Input_filter::key(Control* c, QWidget* w, QKeyEvent* ev) {
  const Native_handle form = c->form;
  const Native_handle handle = c->handle;
  const Control_kind kind = c->kind;
  const int vk = brek_qt::virtual_key_of(ev);
  const Key_modifiers mods = brek_qt::key_modifiers_of(ev);
  QPointer<QWidget> guard(w);
  Form_events& events = form_events();
  const bool space_on_button = vk == 32 && is_button_like(kind);
  if (ev->type() == QEvent::KeyRelease) {
    if (vk != 0) events.key_up(form, handle, vk, mods);
    Control* still = guard ? find(handle) : nullptr;
    if (space_on_button) {
      // One click per Space, on its release; the button is never held down.
      if (still && still->space_armed && !ev->isAutoRepeat()) {
        still->space_armed = false;
        if (auto* b = qobject_cast<QAbstractButton*>(w)) b->click();
      }
      ev->accept();
      return true;
    }
    if (!guard) return true;
    return deliver(w, ev);
  }
  bool taken = vk != 0 && events.key_down(form, handle, vk, mods);
  if (!guard) return true;
  if (!taken) {
    const QString text = ev->text();
    for (char32_t ch : text.toUcs4()) {
      if (ch < 32 && ch != 8 && ch != 9 && ch != 13 && ch != 27) continue;
      if (events.key_press(form, handle, static_cast<uint32_t>(ch), mods) == 0) taken = true;
      if (!guard) return true;
    }
  }
  if (space_on_button) {
    Control* still = find(handle);
    if (still && !taken && !ev->isAutoRepeat()) still->space_armed = true;
    ev->accept();
    return true;
  }
  if (taken) {
    ev->accept();
    return true;
  }
  static_cast<QObject*>(w)->event(ev);
  // Enter and Escape that the control leaves alone go to the window's
  // default and cancel buttons, as they would in a dialog.
  if (guard && !ev->isAccepted() && (vk == 13 || vk == 27))
    if (auto* window = qobject_cast<qt::Form_widget*>(w->window())) qt::dialog_key(window, vk);
  ev->accept();
  return true;
}

bool Input_filter::wheel(Control* c, QWidget* w, bool main, QWheelEvent* ev) {
  const Native_handle form = c->form;
  QPointer<QWidget> guard(w);
  Point_pt at = points_of(form_point(w, ev->position().toPoint()));
  Wheel_result r = form_events().wheel(form, ev->angleDelta().y(), ev->angleDelta().x(), at);
  if (r.flush_after_ms > 0) QTimer::singleShot(r.flush_after_ms, [form] { form_events().wheel_flush(form); });
  if (r.handled || !guard) {
    ev->accept();
    return true;
  }
  if (!main) return false;
  return deliver(w, ev);
}

void watch(QWidget* w, Native_handle h, bool main) {
  w->setProperty(HANDLE_PROPERTY, QVariant::fromValue<qlonglong>(h));
  w->setProperty(MAIN_PROPERTY, main);
  w->installEventFilter(&input_filter());
}

void face_colour(QWidget* w, bool face) {
  QPalette p = w->palette();
  p.setColor(QPalette::Base, face ? QApplication::palette().color(QPalette::Button)
                                  : QApplication::palette().color(QPalette::Base));
  w->setPalette(p);
}

void fit_to_text(Control* c) {
  QWidget* w = c->widget;
  QSize hint = w->sizeHint();
  if (c->kind == Control_kind::LABEL)
    w->resize(hint);
  else
    w->resize(hint.width(), w->height());
}

class Qt_controls final : public Native_controls {
 public:
  // ---- column panels ----
  Pixel_box column_box(Native_handle column) override {
    QWidget* p = brek_qt::column_panel(column);
    if (!p) return {};
    QRect r = p->geometry();
    return {r.x(), r.y(), r.width(), r.height()};
  }
  void set_column_origin(Native_handle column, int64_t x, int64_t y) override {
    if (QWidget* p = brek_qt::column_panel(column)) p->move(clamp_int(x), clamp_int(y));
  }
  void set_column_width(Native_handle column, int64_t w) override {
    if (QWidget* p = brek_qt::column_panel(column)) p->resize(clamp_int(std::max<int64_t>(w, 0)), p->height());
  }
  void set_column_height(Native_handle column, int64_t h) override {
    if (QWidget* p = brek_qt::column_panel(column)) p->resize(p->width(), clamp_int(std::max<int64_t>(h, 0)));
  }
  Pixel_box column_client(Native_handle column) override {
    QWidget* p = brek_qt::column_panel(column);
    if (!p) return {};
    QRect r = p->contentsRect();
    return {r.x(), r.y(), r.width(), r.height()};
  }
  int64_t column_scroll(Native_handle column) override { return qt::column_scroll(column); }

  // ---- controls ----
  Native_handle create_control(const Control_desc& desc) override;

  void destroy_control(Native_handle h) override {
    auto& t = table();
    auto it = t.find(h);
    if (it == t.end()) {
      if (other_control(h)) qt::destroy_later(h);
      return;
    }
    QPointer<QWidget> w = it->second->widget;
    t.erase(it);
    brek_qt::forget_widget(h);
    if (w) {
      // Later: the control may be the one whose event is running.
      w->hide();
      w->removeEventFilter(&input_filter());
      qt::free_later(w.data());
    }
  }

  Pixel_box control_box(Native_handle h) override {
    QWidget* w = any_control(h);
    if (!w) return {};
    QRect r = w->geometry();
    return {r.x(), r.y(), r.width(), r.height()};
  }
  Pixel_box control_client(Native_handle h) override {
    QWidget* w = any_control(h);
    if (!w) return {};
    if (auto* area = qobject_cast<QAbstractScrollArea*>(w)) return {0, 0, area->viewport()->width(), area->viewport()->height()};
    QRect r = w->contentsRect();
    return {0, 0, r.width(), r.height()};
  }
  void move_control(Native_handle h, int64_t x, int64_t y) override {
    if (QWidget* w = any_control(h)) w->move(clamp_int(x), clamp_int(y));
  }
  void resize_control(Native_handle h, int64_t w, int64_t ht) override {
    QWidget* wd = any_control(h);
    if (!wd) return;
    wd->resize(w > 0 ? clamp_int(w) : wd->width(), ht > 0 ? clamp_int(ht) : wd->height());
  }

  std::string get_text(Native_handle h) override {
    Control* c = find(h);
    if (!c) return {};
    QWidget* w = c->widget;
    switch (c->kind) {
      case Control_kind::LABEL: return ss(static_cast<QLabel*>(w)->text());
      case Control_kind::BUTTON:
      case Control_kind::CHECKBOX: return ss(static_cast<QAbstractButton*>(w)->text());
      case Control_kind::EDIT: return ss(static_cast<QLineEdit*>(w)->text());
      case Control_kind::MEMO: return ss(static_cast<QPlainTextEdit*>(w)->toPlainText());
      case Control_kind::COMBO: return ss(static_cast<QComboBox*>(w)->currentText());
      case Control_kind::LISTBOX: {
        QListWidgetItem* item = static_cast<QListWidget*>(w)->currentItem();
        return item ? ss(item->text()) : std::string();
      }
      case Control_kind::DATE: return date_text(h);
      case Control_kind::PROGRESS: return {};
    }
    return {};
  }
  void set_text(Native_handle h, const std::string& text) override {
    Control* c = find(h);
    if (!c) return;
    QWidget* w = c->widget;
    QSignalBlocker quiet(w);
    switch (c->kind) {
      case Control_kind::LABEL: static_cast<QLabel*>(w)->setText(qs(text)); break;
      case Control_kind::BUTTON:
      case Control_kind::CHECKBOX: static_cast<QAbstractButton*>(w)->setText(qs(text)); break;
      case Control_kind::EDIT: static_cast<QLineEdit*>(w)->setText(qs(text)); break;
      case Control_kind::MEMO: static_cast<QPlainTextEdit*>(w)->setPlainText(qs(text)); break;
      case Control_kind::COMBO: static_cast<QComboBox*>(w)->setEditText(qs(text)); break;
      default: break;
    }
    if (c->autosize) fit_to_text(c);
  }
  bool autosizes(Native_handle h) override {
    Control* c = find(h);
    return c && c->autosize;
  }
  void set_autosize(Native_handle h, bool on) override {
    Control* c = find(h);
    if (!c) return;
    c->autosize = on;
    if (on) fit_to_text(c);
  }
  int64_t text_width(Native_handle h, const std::string& text, bool bold) override {
    Control* c = find(h);
    if (!c) return 0;
    QFont f = c->widget->font();
    if (bold) f.setBold(true);
    return QFontMetrics(f).horizontalAdvance(qs(text));
  }
  int64_t text_room(Native_handle h) override {
    Control* c = find(h);
    return c ? qt::text_room(c->widget) : 0;
  }
  void set_alignment(Native_handle h, int alignment) override {
    Control* c = find(h);
    if (!c) return;
    Qt::Alignment a = alignment == 1 ? Qt::AlignHCenter : alignment == 2 ? Qt::AlignRight : Qt::AlignLeft;
    if (c->kind == Control_kind::LABEL) {
      auto* l = static_cast<QLabel*>(c->widget.data());
      l->setAlignment(a | (l->alignment() & Qt::AlignVertical_Mask));
    } else if (c->kind == Control_kind::MEMO) {
      auto* m = static_cast<QPlainTextEdit*>(c->widget.data());
      QTextOption o = m->document()->defaultTextOption();
      o.setAlignment(a);
      m->document()->setDefaultTextOption(o);
    }
  }
  bool is_enabled(Native_handle h) override {
    QWidget* w = any_control(h);
    return w && w->isEnabled();
  }
  void set_enabled(Native_handle h, bool on) override {
    if (QWidget* w = other_control(h)) w->setEnabled(on);
    Control* c = find(h);
    if (!c) return;
    c->widget->setEnabled(on);
    if (c->kind == Control_kind::LISTBOX) face_colour(c->widget, !on);
  }
  bool is_visible(Native_handle h) override {
    QWidget* w = any_control(h);
    return w && !w->isHidden();
  }
  void set_visible(Native_handle h, bool on) override {
    if (QWidget* w = any_control(h)) w->setVisible(on);
  }
  void set_font_color(Native_handle h, int32_t bgr) override {
    QWidget* w = any_control(h);
    if (!w) return;
    QPalette p = w->palette();
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) p.setColor(role, colour_of(bgr));
    w->setPalette(p);
  }
  void set_color(Native_handle h, int32_t bgr) override {
    QWidget* w = any_control(h);
    if (!w) return;
    QPalette p = w->palette();
    for (auto role : {QPalette::Window, QPalette::Base, QPalette::Button}) p.setColor(role, colour_of(bgr));
    w->setPalette(p);
    w->setAutoFillBackground(true);
  }
  std::string get_font_name(Native_handle h) override {
    QWidget* w = any_control(h);
    return w ? ss(w->font().family()) : std::string();
  }
  void set_font_name(Native_handle h, const std::string& name) override {
    QWidget* w = any_control(h);
    if (!w || name.empty()) return;
    QFont f = w->font();
    f.setFamily(qs(name));
    set_font_of(h, w, f);
  }
  double get_font_size(Native_handle h) override {
    QWidget* w = any_control(h);
    if (!w) return 0;
    QFont f = w->font();
    if (f.pointSizeF() > 0) return f.pointSizeF();
    return to_points(f.pixelSize());
  }
  void set_font_size(Native_handle h, int size) override {
    QWidget* w = any_control(h);
    if (!w || size <= 0) return;
    QFont f = w->font();
    f.setPointSize(size);
    set_font_of(h, w, f);
  }
  std::string get_font_style(Native_handle h) override {
    QWidget* w = any_control(h);
    if (!w) return {};
    QFont f = w->font();
    std::string s;
    if (f.bold()) s += "B";
    if (f.italic()) s += "I";
    if (f.underline()) s += "U";
    if (f.strikeOut()) s += "S";
    return s;
  }
  void set_font_style(Native_handle h, const std::string& letters) override {
    QWidget* w = any_control(h);
    if (!w) return;
    QFont f = w->font();
    auto has = [&](char l) { return letters.find(l) != std::string::npos; };
    f.setBold(has('B'));
    f.setItalic(has('I'));
    f.setUnderline(has('U'));
    f.setStrikeOut(has('S'));
    set_font_of(h, w, f);
  }
  void repaint(Native_handle h) override {
    if (QWidget* w = any_control(h)) w->update();
  }
  void perform_click(Native_handle h, Point_pt at) override {
    Control* c = find(h);
    // A check box clicked by the program changes as under the user's click.
    if (c && c->kind == Control_kind::CHECKBOX) {
      if (auto* b = qobject_cast<QAbstractButton*>(c->widget)) b->click();
      return;
    }
    if (c) form_events().click(c->form, h, at);
    else if (other_control(h)) form_events().click(qt::form_of(h), h, at);
  }
  void set_focus(Native_handle h) override {
    QWidget* w = any_control(h);
    if (!w) return;
    QWidget* target = w->focusProxy() ? w->focusProxy() : w;
    if (target->focusPolicy() != Qt::NoFocus) w->setFocus(Qt::OtherFocusReason);
  }
  bool has_focus(Native_handle h) override {
    QWidget* w = any_control(h);
    return w && w->hasFocus();
  }

  // ---- kinds ----
  bool get_checked(Native_handle h) override {
    Control* c = find(h);
    return c && c->kind == Control_kind::CHECKBOX && static_cast<QCheckBox*>(c->widget.data())->isChecked();
  }
  void set_checked(Native_handle h, bool on) override {
    Control* c = find(h);
    if (!c || c->kind != Control_kind::CHECKBOX) return;
    QSignalBlocker quiet(c->widget);
    static_cast<QCheckBox*>(c->widget.data())->setChecked(on);
  }
  int64_t line_count(Native_handle h) override {
    Control* c = find(h);
    if (!c) return 0;
    switch (c->kind) {
      case Control_kind::MEMO: return memo_lines(static_cast<QPlainTextEdit*>(c->widget.data())->toPlainText()).size();
      case Control_kind::LISTBOX: return static_cast<QListWidget*>(c->widget.data())->count();
      case Control_kind::COMBO: return static_cast<QComboBox*>(c->widget.data())->count();
      default: return 0;
    }
  }
  std::string get_line(Native_handle h, int64_t i) override {
    Control* c = find(h);
    if (!c || i < 0 || i >= line_count(h)) return {};
    const int k = static_cast<int>(i);
    switch (c->kind) {
      case Control_kind::MEMO: return ss(memo_lines(static_cast<QPlainTextEdit*>(c->widget.data())->toPlainText()).at(k));
      case Control_kind::LISTBOX: return ss(static_cast<QListWidget*>(c->widget.data())->item(k)->text());
      case Control_kind::COMBO: return ss(static_cast<QComboBox*>(c->widget.data())->itemText(k));
      default: return {};
    }
  }
  void set_line(Native_handle h, int64_t i, const std::string& text) override {
    Control* c = find(h);
    if (!c || i < 0) return;
    const int64_t n = line_count(h);
    QSignalBlocker quiet(c->widget);
    if (c->kind == Control_kind::MEMO) {
      auto* m = static_cast<QPlainTextEdit*>(c->widget.data());
      QStringList lines = memo_lines(m->toPlainText());
      if (i < n)
        lines[static_cast<int>(i)] = qs(text);
      else if (i == n)
        lines.append(qs(text));
      else
        return;
      m->setPlainText(lines.join(QLatin1Char('\n')));
      return;
    }
    if (i >= n) return;
    if (c->kind == Control_kind::LISTBOX)
      static_cast<QListWidget*>(c->widget.data())->item(static_cast<int>(i))->setText(qs(text));
    else if (c->kind == Control_kind::COMBO) {
      auto* cb = static_cast<QComboBox*>(c->widget.data());
      cb->setItemText(static_cast<int>(i), qs(text));
      qt::fit_list_to_items(cb);
    }
  }
  int64_t add_item(Native_handle h, const std::string& text) override {
    Control* c = find(h);
    if (!c) return -1;
    QSignalBlocker quiet(c->widget);
    if (c->kind == Control_kind::LISTBOX) {
      auto* l = static_cast<QListWidget*>(c->widget.data());
      l->addItem(qs(text));
      return l->count() - 1;
    }
    if (c->kind == Control_kind::COMBO) {
      auto* cb = static_cast<QComboBox*>(c->widget.data());
      QString edit = cb->currentText();
      cb->addItem(qs(text));
      if (cb->count() == 1) {
        // The first item would otherwise become the selection and the text.
        cb->setCurrentIndex(-1);
        cb->setEditText(edit);
      }
      qt::fit_list_to_items(cb);
      return cb->count() - 1;
    }
    return -1;
  }
  void clear_items(Native_handle h) override {
    Control* c = find(h);
    if (!c) return;
    QSignalBlocker quiet(c->widget);
    if (c->kind == Control_kind::LISTBOX) static_cast<QListWidget*>(c->widget.data())->clear();
    if (c->kind == Control_kind::COMBO) static_cast<QComboBox*>(c->widget.data())->clear();
  }
  int64_t item_index(Native_handle h) override {
    Control* c = find(h);
    if (!c) return -1;
    if (c->kind == Control_kind::LISTBOX) return static_cast<QListWidget*>(c->widget.data())->currentRow();
    if (c->kind == Control_kind::COMBO) return static_cast<QComboBox*>(c->widget.data())->currentIndex();
    return -1;
  }
  void set_item_index(Native_handle h, int64_t i) override {
    Control* c = find(h);
    if (!c || i < -1 || i >= line_count(h)) return;
    QSignalBlocker quiet(c->widget);
    if (c->kind == Control_kind::LISTBOX) static_cast<QListWidget*>(c->widget.data())->setCurrentRow(static_cast<int>(i));
    if (c->kind == Control_kind::COMBO) static_cast<QComboBox*>(c->widget.data())->setCurrentIndex(static_cast<int>(i));
  }
  void set_progress_max(Native_handle h, int64_t v) override {
    Control* c = find(h);
    if (!c || c->kind != Control_kind::PROGRESS) return;
    auto* p = static_cast<QProgressBar*>(c->widget.data());
    p->setMaximum(std::max(clamp_int(v), p->minimum()));
  }
  void set_progress_position(Native_handle h, int64_t v) override {
    Control* c = find(h);
    if (!c || c->kind != Control_kind::PROGRESS) return;
    auto* p = static_cast<QProgressBar*>(c->widget.data());
    p->setValue(std::clamp(clamp_int(v), p->minimum(), p->maximum()));
  }
  int64_t progress_max(Native_handle h) override {
    Control* c = find(h);
    return c && c->kind == Control_kind::PROGRESS ? static_cast<QProgressBar*>(c->widget.data())->maximum() : 0;
  }
  int64_t progress_position(Native_handle h) override {
    Control* c = find(h);
    return c && c->kind == Control_kind::PROGRESS ? static_cast<QProgressBar*>(c->widget.data())->value() : 0;
  }
  std::string date_text(Native_handle h) override {
    Control* c = find(h);
    if (!c || c->kind != Control_kind::DATE) return {};
    return ss(QLocale().toString(static_cast<QDateEdit*>(c->widget.data())->date(), QLocale::ShortFormat));
  }

 private:
  static void set_font_of(Native_handle h, QWidget* w, const QFont& f) {
    if (Control* c = find(h))
      apply_font(c, f);
    else
      w->setFont(f);
  }
  static void apply_font(Control* c, const QFont& f) {
    c->widget->setFont(f);
    if (c->autosize) fit_to_text(c);
  }
};

Native_handle Qt_controls::create_control(const Control_desc& desc) {
  QWidget* panel = qt::column_content(desc.column);
  if (!panel) return 0;
  const Native_handle h = brek_qt::new_handle();
  auto rec = std::make_unique<Control>();
  rec->kind = desc.kind;
  rec->handle = h;
  rec->form = desc.form;
  Control* c = rec.get();
  const Native_handle form = desc.form;
  QWidget* w = nullptr;
  QWidget* pointer_target = nullptr;  // where a scrolling control gets the pointer
  switch (desc.kind) {
    case Control_kind::LABEL: {
      auto* l = new QLabel(panel);
      l->setTextFormat(Qt::PlainText);
      w = l;
      c->autosize = true;
      break;
    }
    case Control_kind::BUTTON: {
      auto* b = new QPushButton(panel);
      b->setAutoDefault(false);
      QObject::connect(b, &QPushButton::clicked, [b, form, h] {
        Point_pt at = points_of(b->window()->mapFromGlobal(QCursor::pos()));
        form_events().click(form, h, at);
      });
      w = b;
      c->autosize = true;
      break;
    }
    case Control_kind::CHECKBOX: {
      auto* b = new QCheckBox(panel);
      QObject::connect(b, &QCheckBox::clicked, [form, h] { form_events().value_changed(form, h); });
      w = b;
      break;
    }
    case Control_kind::EDIT: {
      auto* e = new QLineEdit(panel);
      if (!desc.password.empty()) e->setEchoMode(QLineEdit::Password);
      e->setReadOnly(desc.read_only);
      if (desc.read_only) face_colour(e, true);
      QObject::connect(e, &QLineEdit::textEdited, [form, h] { form_events().value_changed(form, h); });
      w = e;
      break;
    }
    case Control_kind::MEMO: {
      auto* m = new QPlainTextEdit(panel);
      const std::string& o = desc.memo_letters;
      auto has = [&](char l) { return o.find(l) != std::string::npos; };
      m->setReadOnly(has('R'));
      m->setLineWrapMode(has('H') ? QPlainTextEdit::NoWrap : QPlainTextEdit::WidgetWidth);
      m->setHorizontalScrollBarPolicy(has('H') ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
      m->setVerticalScrollBarPolicy(has('V') ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
      m->resize(185, 89);
      QObject::connect(m, &QPlainTextEdit::textChanged, [form, h] { form_events().value_changed(form, h); });
      w = m;
      pointer_target = m->viewport();
      break;
    }
    case Control_kind::LISTBOX: {
      auto* l = new QListWidget(panel);
      l->resize(121, 97);
      QObject::connect(l, &QListWidget::currentRowChanged, [form, h] { form_events().selection_changed(form, h); });
      w = l;
      pointer_target = l->viewport();
      break;
    }
    case Control_kind::COMBO: {
      auto* cb = new QComboBox(panel);
      cb->setEditable(true);
      cb->setInsertPolicy(QComboBox::NoInsert);
      QObject::connect(cb, &QComboBox::editTextChanged, [form, h] { form_events().value_changed(form, h); });
      QObject::connect(cb, &QComboBox::activated, [form, h] { form_events().selection_changed(form, h); });
      w = cb;
      break;
    }
    case Control_kind::PROGRESS: {
      auto* p = new QProgressBar(panel);
      p->setTextVisible(false);
      p->setRange(0, 100);
      p->setValue(0);
      w = p;
      break;
    }
    case Control_kind::DATE: {
      auto* d = new QDateEdit(QDate::currentDate(), panel);
      d->setCalendarPopup(true);
      d->setDisplayFormat(QLocale().dateFormat(QLocale::LongFormat));
      QObject::connect(d, &QDateEdit::dateChanged, [form, h] { form_events().value_changed(form, h); });
      w = d;
      break;
    }
  }
  if (!desc.font_name.empty() || desc.font_size > 0) {
    QFont f = w->font();
    if (!desc.font_name.empty()) f.setFamily(qs(desc.font_name));
    if (desc.font_size > 0) f.setPointSizeF(desc.font_size);
    w->setFont(f);
  }
  switch (desc.kind) {
    case Control_kind::MEMO:
    case Control_kind::LISTBOX: break;
    case Control_kind::DATE: w->resize(120, w->sizeHint().height()); break;
    default: w->resize(w->sizeHint()); break;
  }
  c->widget = w;
  table()[h] = std::move(rec);
  brek_qt::register_widget(h, w);
  watch(w, h, true);
  if (pointer_target) watch(pointer_target, h, false);
  QObject::connect(w, &QObject::destroyed, [h] {
    auto& t = table();
    auto it = t.find(h);
    if (it != t.end() && it->second->widget.isNull()) t.erase(it);
  });
  w->show();
  return h;
}

Native_controls g_headless;
Native_controls* g_override = nullptr;

}  // namespace

Native_controls& native_controls() {
  if (g_override) return *g_override;
  if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return g_headless;
  static auto* qt = new Qt_controls();
  return *qt;
}

Native_controls* set_native_controls(Native_controls* layer) {
  Native_controls* old = g_override;
  g_override = layer;
  return old;
}

}  // namespace brek_platform
