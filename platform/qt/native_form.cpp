// The Qt window layer: forms are top-level widgets with a client panel,
// columns are child panels placed by the program's own layout (no Qt
// layouts), controls are whatever widgets the control files register. This
// file keeps the handle table and implements the Native_forms seam; input
// is translated in native_input.cpp.

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QEvent>
#include <QKeyEvent>
#include <QGuiApplication>
#include <QMessageBox>
#include <QMoveEvent>
#include <QPalette>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>
#include <QWindow>
#include <QAbstractScrollArea>

#include <algorithm>
#include <cmath>
#include <exception>
#include <memory>
#include <unordered_map>
#include <vector>

#include "platform/application.h"
#include "platform/qt/keyboard_back.h"
#include "platform/qt/native_form_frame.h"
#include "platform/qt/native_widgets.h"
#include "platform/qt/widget_registry.h"
#include "platform/qt/window_layer.h"
#include "platform/qt/work_area.h"
#include "platform/qt/x11_connection.h"
#include "platform/units.h"
#include "platform/window.h"

namespace brek_platform {

namespace qt {

namespace {

struct Entry {
  Native_kind kind = Native_kind::NONE;
  QPointer<QObject> object;
  Native_handle form = 0;
  Native_handle column = 0;
  unsigned flags = 0;
};

// Never destroyed: widgets may still report their destruction while the
// program's statics go away.
std::unordered_map<Native_handle, Entry>& table() {
  static auto* t = new std::unordered_map<Native_handle, Entry>();
  return *t;
}
std::unordered_map<const QObject*, Native_handle>& by_object() {
  static auto* t = new std::unordered_map<const QObject*, Native_handle>();
  return *t;
}
Native_handle g_last_handle = 0;
double g_ppi_override = 0;
Popup_menu_shower g_menu_shower = nullptr;

Native_handle add_entry(QObject* obj, Native_kind kind, Native_handle form, Native_handle column, unsigned flags) {
  Native_handle h = ++g_last_handle;
  Entry e;
  e.kind = kind;
  e.object = obj;
  e.form = kind == Native_kind::FORM ? h : form;
  e.column = column;
  e.flags = flags;
  table()[h] = e;
  by_object()[obj] = h;
  // The control widgets find their column panels (and forms) by handle.
  if (kind != Native_kind::CONTROL)
    if (auto* w = qobject_cast<QWidget*>(obj)) brek_qt::register_widget(h, w);
  // An object freed by its parent leaves the table with it.
  QObject::connect(obj, &QObject::destroyed, [h](QObject* o) {
    auto& t = table();
    auto it = t.find(h);
    if (it != t.end()) t.erase(it);
    auto& b = by_object();
    auto jt = b.find(o);
    if (jt != b.end() && jt->second == h) b.erase(jt);
  });
  return h;
}

const Entry* entry(Native_handle h) {
  if (h == 0) return nullptr;
  auto& t = table();
  auto it = t.find(h);
  if (it == t.end() || !it->second.object) return nullptr;
  return &it->second;
}

}  // namespace

QWidget* widget_of(Native_handle h) {
  const Entry* e = entry(h);
  return e ? qobject_cast<QWidget*>(e->object.data()) : nullptr;
}

QObject* object_of(Native_handle h) {
  const Entry* e = entry(h);
  return e ? e->object.data() : nullptr;
}

Native_kind kind_of(Native_handle h) {
  const Entry* e = entry(h);
  return e ? e->kind : Native_kind::NONE;
}

Native_handle handle_of(const QWidget* w) {
  if (!w) return 0;
  auto& b = by_object();
  auto it = b.find(w);
  return it == b.end() ? 0 : it->second;
}

Native_handle form_of(Native_handle h) {
  const Entry* e = entry(h);
  return e ? e->form : 0;
}

Native_handle column_of(Native_handle control) {
  const Entry* e = entry(control);
  return e && e->kind == Native_kind::CONTROL ? e->column : 0;
}

unsigned control_flags(Native_handle control) {
  const Entry* e = entry(control);
  return e ? e->flags : 0;
}

Native_handle registered_ancestor(const QWidget* w) {
  for (const QWidget* p = w; p; p = p->parentWidget()) {
    Native_handle h = handle_of(p);
    if (h != 0) return h;
    if (p->isWindow()) return 0;
  }
  return 0;
}

Native_handle register_control(QWidget* w, Native_handle form, Native_handle column, unsigned flags) {
  if (!w || kind_of(form) != Native_kind::FORM) return 0;
  w->setMouseTracking(true);
  if (auto* area = qobject_cast<QAbstractScrollArea*>(w)) area->viewport()->setMouseTracking(true);
  Native_handle h = add_entry(w, Native_kind::CONTROL, form, column, flags);
  return h;
}

Native_handle register_object(QObject* obj, Native_handle form) {
  if (!obj) return 0;
  return add_entry(obj, Native_kind::CONTROL, form, 0, 0);
}

void destroy_later(Native_handle h) {
  const Entry* e = entry(h);
  if (!e) return;
  QPointer<QObject> obj = e->object;
  Native_kind kind = e->kind;
  Native_handle form = e->form;
  table().erase(h);
  by_object().erase(obj.data());
  brek_qt::forget_widget(h);
  if (!obj) return;
  if (auto* w = qobject_cast<QWidget*>(obj.data())) {
    w->hide();
    if (auto* f = qobject_cast<Form_widget*>(w)) f->dead = true;
  }
  if (kind == Native_kind::COLUMN) {
    if (auto* f = qobject_cast<Form_widget*>(widget_of(form))) {
      auto& cols = f->columns;
      cols.erase(std::remove(cols.begin(), cols.end(), h), cols.end());
      if (f->current_column == h) f->current_column = 0;
    }
  }
  free_later(obj.data());
}

namespace {

// Never destroyed, like the handle table.
std::vector<QPointer<QObject>>& pending_frees() {
  static auto* v = new std::vector<QPointer<QObject>>();
  return *v;
}

}  // namespace

void free_later(QObject* obj) {
  if (obj) pending_frees().push_back(obj);
}

void free_pending() {
  if (delivery_depth() != 0) return;
  // A destructor may free more: take the list first.
  std::vector<QPointer<QObject>> list;
  list.swap(pending_frees());
  for (QPointer<QObject>& p : list) delete p.data();  // null when freed with a parent
}

double pixels_per_inch() {
  if (g_ppi_override > 0) return g_ppi_override;
  QScreen* s = QGuiApplication::primaryScreen();
  double ppi = s ? s->logicalDotsPerInch() : 96.0;
  return ppi > 0 ? ppi : 96.0;
}

int to_px(double points) { return points_to_pixels(points, pixels_per_inch()); }
double to_pt(double pixels) { return pixels_to_points(pixels, pixels_per_inch()); }

QWidget* column_content(Native_handle column) {
  auto* c = kind_of(column) == Native_kind::COLUMN ? qobject_cast<Column_widget*>(widget_of(column)) : nullptr;
  return c ? c->content() : nullptr;
}

int column_scroll(Native_handle column) {
  const QWidget* content = column_content(column);
  return content ? -content->y() : 0;
}

Native_handle current_column(Native_handle form) {
  auto* f = qobject_cast<Form_widget*>(widget_of(form));
  if (!f) return 0;
  if (widget_of(f->current_column)) return f->current_column;
  return 0;
}

// ---- the form widget ----

Form_widget::Form_widget() : QWidget(nullptr, Qt::Window) {
  client_ = new QWidget(this);
  client_->setMouseTracking(true);
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  setAcceptDrops(true);
}

void Form_widget::set_border(int px) {
  border_ = px < 0 ? 0 : px;
  setContentsMargins(border_, border_, border_, border_);
  place_client();
}

void Form_widget::place_client() { client_->setGeometry(contentsRect()); }

void Form_widget::setVisible(bool visible) {
  if (!visible && isVisible()) Keyboard_back::before_hide(this);
  if (visible && !isVisible()) await_withdrawn(this);
  QWidget::setVisible(visible);
}

void Form_widget::closeEvent(QCloseEvent* e) {
  if (dead || handle == 0) {
    e->accept();
    return;
  }
  Native_handle h = handle;
  bool allowed = report_value(true, [&] { return form_events().close_query(h); });
  if (!allowed) {
    e->ignore();
    return;
  }
  bool free_now = report_value(true, [&] { return form_events().closed(h); });
  e->accept();  // hides the window
  if (free_now) destroy_later(h);
}

void Form_widget::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  place_client();
  if (dead || handle == 0) return;
  Native_handle h = handle;
  report([&] { form_events().resized(h); });
}

void Form_widget::moveEvent(QMoveEvent* e) {
  QWidget::moveEvent(e);
  if (dead || handle == 0) return;
  Native_handle h = handle;
  report([&] { form_events().moved(h); });
}

void Form_widget::showEvent(QShowEvent* e) {
  QWidget::showEvent(e);
  // A window coming back from the minimized state is no new show.
  if (dead || handle == 0 || e->spontaneous()) return;
  Native_handle h = handle;
  report([&] { form_events().shown(h); });
}

bool Form_widget::event(QEvent* e) {
  if (e->type() == QEvent::UpdateRequest && !updatesEnabled()) repaint_missed = true;
  if ((e->type() == QEvent::WindowActivate || e->type() == QEvent::WindowDeactivate) && !dead && handle != 0) {
    bool r = QWidget::event(e);
    Native_handle h = handle;
    bool active = e->type() == QEvent::WindowActivate;
    report([&] { form_events().activated(h, active); });
    return r;
  }
  return QWidget::event(e);
}

void Form_widget::keyPressEvent(QKeyEvent* e) {
  const int vk = e->key() == Qt::Key_Escape ? 27 : (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) ? 13 : 0;
  if (vk != 0 && !dead && handle != 0 && dialog_key(this, vk)) {
    e->accept();
    return;
  }
  QWidget::keyPressEvent(e);
}

// ---- the layer ----

namespace {

Form_widget* form_widget(Native_handle h) { return qobject_cast<Form_widget*>(widget_of(h)); }
Column_widget* column_widget(Native_handle h) { return qobject_cast<Column_widget*>(widget_of(h)); }

QString qstr(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
std::string utf8(const QString& s) { return s.toUtf8().toStdString(); }

Rect_pt rect_pt(const QRect& r) { return {to_pt(r.x()), to_pt(r.y()), to_pt(r.width()), to_pt(r.height())}; }

// The window's own size, pixels, for an outer size in points: the frame m
// comes off (never below least).
QSize own_size(double width, double height, const QMargins& m, int least = 1) {
  return QSize(to_px(width), to_px(height)).shrunkBy(m).expandedTo(QSize(least, least));
}

// The window and its frame, pixels.
QRect outer_px(QWidget* w) { return w->geometry().marginsAdded(frame_margins(w)); }

// The state of the window on the screen (the widget's before it has one).
Qt::WindowStates window_states(QWidget* w) {
  const QWindow* win = w->windowHandle();
  return win ? win->windowStates() : w->windowState();
}

// The same as the window manager keeps it now. Qt's record follows the
// manager's word late (as it delivers it), and a manager may pass through
// other states on the way (fluxbox leaves full screen through the normal
// size back to maximized): a request built on a record that still says
// full screen would ask for full screen again.
Qt::WindowStates states_now(QWidget* w) {
  Qt::WindowStates s = window_states(w);
  if (!managed_by_window_manager(w)) return s;
  s.setFlag(Qt::WindowMaximized, maximized_by_manager(w));
  s.setFlag(Qt::WindowFullScreen, full_screen_by_manager(w));
  return s;
}

// A window that a change of its flags hid, shown again: the window manager
// takes it as a new window, which it has placed and framed on return.
void show_again(QWidget* w) {
  w->show();
  await_mapped(w);
}

// The window manager keeps w above the window of owner (none: nothing)
// and gives it no taskbar button of its own (WM_TRANSIENT_FOR). A
// transient window of a modal one is not blocked by it.
void make_transient_for(QWidget* w, QWidget* owner) {
  w->winId();
  if (owner) owner->winId();
  if (QWindow* window = w->windowHandle()) window->setTransientParent(owner ? owner->windowHandle() : nullptr);
}

// The offscreen platform has no stacking order to change.
void raise_window(QWidget* w) {
  static const bool offscreen = QGuiApplication::platformName() == QLatin1String("offscreen");
  if (!offscreen) w->raise();
}

QColor colour_of(int32_t bgr) { return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF); }

// The message box of the layer: placed over a form once it knows its size,
// wholly on the work area of the form's screen, frame included.
class Placed_message_box : public QMessageBox {
 public:
  QRect over;  // the form's outer rectangle in pixels; empty: centred by Qt
  QPointer<QScreen> on;  // the form's screen

  void setVisible(bool visible) override {
    if (!visible && isVisible()) Keyboard_back::before_hide(this);
    QMessageBox::setVisible(visible);
  }

 protected:
  void showEvent(QShowEvent* e) override {
    QMessageBox::showEvent(e);
    if (over.isEmpty()) return;
    const QMargins m = frame_margins(this);
    const QSize outer = size().grownBy(m);
    Point_pt o = message_box_origin(Rect_pt{double(over.x()), double(over.y()), double(over.width()),
                                            double(over.height())},
                                    outer.width(), outer.height());
    QPoint at(static_cast<int>(o.x), static_cast<int>(o.y));
    const QRect work = work_area(on);
    if (!work.isEmpty()) {
      at.setX(std::max(work.left(), std::min(at.x(), work.right() + 1 - outer.width())));
      at.setY(std::max(work.top(), std::min(at.y(), work.bottom() + 1 - outer.height())));
    }
    setGeometry(QRect(at + QPoint(m.left(), m.top()), size()));
  }
};

class Qt_window_layer final : public Native_forms {
 public:
  Qt_window_layer() {
    wake_.setSingleShot(true);
    // A control that takes the focus in a scrolled column comes into view.
    QObject::connect(qApp, &QApplication::focusChanged, qApp, [](QWidget*, QWidget* now) {
      for (QWidget* p = now ? now->parentWidget() : nullptr; p && !p->isWindow(); p = p->parentWidget())
        if (auto* c = qobject_cast<Column_widget*>(p)) {
          c->show_within(now);
          return;
        }
    });
    // A monitor that came, went or changed: reported once the screens
    // settled, outside Qt's own handling of the change.
    auto watch = [this](QScreen* s) {
      QObject::connect(s, &QScreen::geometryChanged, &signals_, monitors_changed_later);
      QObject::connect(s, &QScreen::availableGeometryChanged, &signals_, monitors_changed_later);
    };
    for (QScreen* s : QGuiApplication::screens()) watch(s);
    QObject::connect(qApp, &QGuiApplication::screenAdded, &signals_, [watch](QScreen* s) {
      watch(s);
      monitors_changed_later();
    });
    QObject::connect(qApp, &QGuiApplication::screenRemoved, &signals_, monitors_changed_later);
    watch_frames([](QWidget* w) {
      auto* f = qobject_cast<Form_widget*>(w);
      if (!f || f->dead || f->handle == 0) return;
      Native_handle h = f->handle;
      report([&] { form_events().framed(h); });
    });
#ifndef QT_NO_SESSIONMANAGER
    QObject::connect(qApp, &QGuiApplication::commitDataRequest, [](QSessionManager&) {
      for (auto& [h, e] : table())
        if (e.kind == Native_kind::FORM && e.object) {
          Native_handle form = h;
          report([&] { form_events().session_ending(form); });
        }
    });
#endif
  }

  double pixels_per_inch() override { return qt::pixels_per_inch(); }
  // The main window's screen: the window follows it to another screen.
  double device_pixel_ratio() override {
    if (QWidget* w = form_widget(main_window_)) return w->devicePixelRatioF();
    QScreen* s = QGuiApplication::primaryScreen();
    return s ? s->devicePixelRatio() : 1.0;
  }

  // ---- forms ----
  Native_handle create_form(const Form_desc& desc) override {
    auto* w = new Form_widget();
    w->set_border(to_px(desc.border));
    QFont font = w->font();
    if (!desc.font_name.empty()) font.setFamily(qstr(desc.font_name));
    if (desc.font_size > 0 && desc.font_size < 10000) font.setPointSize(static_cast<int>(std::lround(desc.font_size)));
    w->setFont(font);
    // The outer size: the frame the window will have comes off.
    w->resize(own_size(desc.width, desc.height, frame_margins(w)));
    w->handle = add_entry(w, Native_kind::FORM, 0, 0, 0);
    return w->handle;
  }
  void destroy_form(Native_handle h) override {
    if (form_widget(h)) destroy_later(h);
  }
  int64_t window_handle(Native_handle h) override {
    QWidget* w = form_widget(h);
    return w ? static_cast<int64_t>(w->winId()) : 0;
  }
  void set_taskbar_button(Native_handle h, bool on) override {
    QWidget* w = form_widget(h);
    if (!w || w->windowFlags().testFlag(Qt::Tool) == !on) return;
    bool visible = w->isVisible();
    w->setWindowFlag(Qt::Tool, !on);
    if (visible) show_again(w);
  }
  void remember_main_window(Native_handle h) override { main_window_ = h; }
  std::string get_caption(Native_handle h) override {
    QWidget* w = form_widget(h);
    return w ? utf8(w->windowTitle()) : std::string();
  }
  void set_caption(Native_handle h, const std::string& text) override {
    if (QWidget* w = form_widget(h)) w->setWindowTitle(qstr(text));
  }
  // Positions go through the window's own rectangle (not the frame's), so
  // the window manager places the window itself where it is asked, with
  // whatever frame it gives it, known yet or not.
  Rect_pt get_bounds(Native_handle h) override {
    QWidget* w = form_widget(h);
    return w ? rect_pt(outer_px(w)) : Rect_pt{};
  }
  bool frame_known(Native_handle h) override {
    QWidget* w = form_widget(h);
    return !w || qt::frame_known(w);
  }
  void set_position(Native_handle h, double left, double top) override {
    QWidget* w = form_widget(h);
    if (!w) return;
    const QMargins m = frame_margins(w);
    w->setGeometry(QRect(QPoint(to_px(left) + m.left(), to_px(top) + m.top()), w->geometry().size()));
  }
  void set_size(Native_handle h, double width, double height) override {
    if (QWidget* w = form_widget(h)) w->resize(own_size(width, height, frame_margins(w)));
  }
  void set_bounds(Native_handle h, const Rect_pt& r) override {
    QWidget* w = form_widget(h);
    if (!w) return;
    const QMargins m = frame_margins(w);
    w->setGeometry(QRect(QPoint(to_px(r.x) + m.left(), to_px(r.y) + m.top()), own_size(r.w, r.h, m)));
  }
  Rect_pt get_window_rect(Native_handle h) override {
    QWidget* w = form_widget(h);
    return w ? rect_pt(w->geometry()) : Rect_pt{};
  }
  void set_window_rect(Native_handle h, const Rect_pt& r) override {
    if (QWidget* w = form_widget(h)) w->setGeometry(QRect(QPoint(to_px(r.x), to_px(r.y)), own_size(r.w, r.h, {})));
  }
  void set_min_size(Native_handle h, double width, double height) override {
    if (QWidget* w = form_widget(h)) w->setMinimumSize(own_size(width, height, frame_margins(w), 0));
  }
  Point_pt client_size(Native_handle h) override {
    Form_widget* w = form_widget(h);
    if (!w) return {};
    QRect c = w->contentsRect();
    return {to_pt(c.width()), to_pt(c.height())};
  }
  void set_client_size(Native_handle h, double width, double height) override {
    Form_widget* w = form_widget(h);
    if (!w) return;
    int b = 2 * w->border();
    w->resize(std::max(1, to_px(width) + b), std::max(1, to_px(height) + b));
  }
  Point_pt client_origin(Native_handle h) override {
    Form_widget* w = form_widget(h);
    if (!w) return {};
    QPoint p = w->client()->mapToGlobal(QPoint(0, 0));
    return {to_pt(p.x()), to_pt(p.y())};
  }
  int get_window_state(Native_handle h) override {
    QWidget* w = form_widget(h);
    if (!w) return 0;
    // A manager may resize the window before it writes the state (icewm
    // does): while it manages the window, its word counts.
    const Qt::WindowStates s = states_now(w);
    if (s & Qt::WindowMinimized) return 1;
    if (s & (Qt::WindowMaximized | Qt::WindowFullScreen)) return 2;
    return 0;
  }
  bool can_full_screen(Native_handle h) override {
    QWidget* w = form_widget(h);
    return w && w->isVisible() && manager_shows_full_screen();
  }
  bool set_full_screen(Native_handle h, bool on) override {
    QWidget* w = form_widget(h);
    if (!can_full_screen(h)) return false;
    const Qt::WindowStates now = states_now(w);
    if (w->windowState() != now) w->overrideWindowState(now);
    const bool was = (w->windowState() & Qt::WindowFullScreen) || full_screen_by_manager(w);
    if (!on && !was) return false;
    w->setWindowState(on ? w->windowState() | Qt::WindowFullScreen : w->windowState() & ~Qt::WindowFullScreen);
    await_full_screen(w, on);
    return true;
  }
  bool is_full_screen(Native_handle h) override {
    QWidget* w = form_widget(h);
    return w && states_now(w).testFlag(Qt::WindowFullScreen);
  }
  void set_window_state(Native_handle h, int state) override {
    QWidget* w = form_widget(h);
    if (!w) return;
    // The widget forgets its state when a change of flags shows it anew,
    // while its window keeps it: the window's holds.
    const Qt::WindowStates now = states_now(w);
    if (w->windowState() != now) w->overrideWindowState(now);
    Qt::WindowStates s = w->windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized);
    if (state == 1) s |= Qt::WindowMinimized;
    else if (state == 2) s |= Qt::WindowMaximized;
    else if (state != 0) return;
    const bool was_maximized = maximized_by_manager(w);
    w->setWindowState(s);
    if (state != 1 && was_maximized != (state == 2)) await_window_state(w, state == 2);
  }
  void close_form(Native_handle h) override {
    if (QWidget* w = form_widget(h)) w->close();
  }
  bool is_form_visible(Native_handle h) override {
    QWidget* w = form_widget(h);
    return w && w->isVisible();
  }
  void set_form_visible(Native_handle h, bool visible) override {
    QWidget* w = form_widget(h);
    if (!w) return;
    if (!visible) {
      w->hide();
      return;
    }
    if (w->windowState() & Qt::WindowMinimized) w->setWindowState(w->windowState() & ~Qt::WindowMinimized);
    // A frame the manager would not tell beforehand is known once it
    // framed the window: the caller places it again with that one.
    const bool frame_told = w->isVisible() || qt::frame_known(w);
    w->show();
    raise_window(w);
    w->activateWindow();
    if (!frame_told) await_framed(w);
  }
  void set_form_enabled(Native_handle h, bool enabled) override {
    if (QWidget* w = form_widget(h)) w->setEnabled(enabled);
  }
  void set_form_owner(Native_handle h, Native_handle owner) override {
    QWidget* w = form_widget(h);
    QWidget* o = form_widget(owner);
    if (!w) return;
    // The window manager keeps a window above the one its WM_TRANSIENT_FOR
    // names; Qt writes that, as it maps a window, for a dialog's alone.
    if (o && w->windowType() == Qt::Window) {
      const bool visible = w->isVisible();
      const QRect own = w->geometry();
      w->setWindowFlags((w->windowFlags() & ~Qt::WindowType_Mask) | Qt::Dialog);
      // Qt takes a place kept through a change of flags for the frame's,
      // and then has the manager put the frame there (north-west gravity)
      // each time the window maps: placed anew, the place is the window's.
      w->setGeometry(own);
      if (visible) show_again(w);
    }
    make_transient_for(w, o);
  }
  void set_border_kind(Native_handle h, int kind) override {
    QWidget* w = form_widget(h);
    if (!w) return;
    bool frameless = kind != 0;
    if (w->windowFlags().testFlag(Qt::FramelessWindowHint) == frameless) return;
    bool visible = w->isVisible();
    w->setWindowFlag(Qt::FramelessWindowHint, frameless);
    if (visible) show_again(w);
  }
  void set_window_alpha(Native_handle h, int alpha) override {
    if (QWidget* w = form_widget(h)) w->setWindowOpacity(std::clamp(alpha, 0, 255) / 255.0);
  }
  void set_form_colors(Native_handle h, int32_t background, int32_t foreground) override {
    QWidget* w = form_widget(h);
    if (!w) return;
    QPalette p = w->palette();
    p.setColor(QPalette::Window, colour_of(background));
    p.setColor(QPalette::WindowText, colour_of(foreground));
    w->setPalette(p);
    w->setAutoFillBackground(true);
  }
  void begin_update(Native_handle h) override {
    Form_widget* w = form_widget(h);
    if (!w) return;
    if (w->updates++ == 0) w->setUpdatesEnabled(false);
  }
  void end_update(Native_handle h) override {
    Form_widget* w = form_widget(h);
    if (!w || w->updates <= 0) return;
    if (--w->updates != 0) return;
    w->setUpdatesEnabled(true);
    // A loop that turned inside the batch (a wait for the window manager)
    // may have spent the window's repaint request.
    if (w->repaint_missed) {
      w->repaint_missed = false;
      QCoreApplication::postEvent(w, new QEvent(QEvent::UpdateRequest), Qt::LowEventPriority);
    }
  }
  void set_default_button(Native_handle form, Native_handle button) override {
    Form_widget* w = form_widget(form);
    if (!w) return;
    if (auto* old = qobject_cast<QPushButton*>(button_widget(w->default_button))) old->setDefault(false);
    w->default_button = button;
    if (auto* b = qobject_cast<QPushButton*>(button_widget(button))) b->setDefault(true);
  }
  void set_cancel_button(Native_handle form, Native_handle button) override {
    if (Form_widget* w = form_widget(form)) w->cancel_button = button;
  }
  // Standard controls are named in the controls' registry, other controls
  // (paint panels) in the window layer's: focus finds both.
  Native_handle active_control(Native_handle form) override {
    Form_widget* w = form_widget(form);
    if (!w) return 0;
    for (const QWidget* p = w->focusWidget(); p; p = p->parentWidget()) {
      if (Native_handle h = brek_qt::handle_of(p)) return h;
      Native_handle h = handle_of(p);
      if (h != 0) return kind_of(h) == Native_kind::CONTROL ? h : 0;
      if (p->isWindow()) break;
    }
    return 0;
  }
  void set_active_control(Native_handle control) override {
    QWidget* w = kind_of(control) == Native_kind::CONTROL ? widget_of(control) : brek_qt::widget_of(control);
    // On a window that is not active (hidden between runs of a dialog)
    // this makes it the window's focus widget for when it shows.
    if (w) w->setFocus(Qt::OtherFocusReason);
  }

  // ---- application ----
  Point_pt cursor_position() override {
    QPoint p = QCursor::pos();
    return {to_pt(p.x()), to_pt(p.y())};
  }
  void process_messages() override {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    run_deferred_deletions();
  }
  void wait_for_events(int max_ms) override {
    if (max_ms == 0) {
      process_messages();
      return;
    }
    if (max_ms > 0) wake_.start(max_ms);
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    wake_.stop();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
  }
  void run_deferred_deletions() override {
    if (delivery_depth() != 0) return;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    free_pending();
  }
  bool application_terminated() override { return terminated_; }
  void set_application_terminated(bool t) override { terminated_ = t; }
  std::string application_title() override { return utf8(QGuiApplication::applicationDisplayName()); }

  bool message_box(Native_handle form, const std::string& text) override { return run_box(form, text, true); }
  void show_message(Native_handle form, const std::string& text) override { run_box(form, text, false); }
  void popup_menu(Native_handle form, const std::vector<std::string>& lines) override {
    if (g_menu_shower && form_widget(form)) g_menu_shower(form, lines);
  }
  void run_modal(Native_handle dialog, Native_handle owner) override {
    QPointer<QWidget> w = form_widget(dialog);
    if (!w) return;
    if (w->isVisible()) w->hide();  // modality takes effect when shown
    // A dialog of its owner's window from the time it maps: the window
    // manager keeps it above and gives it no taskbar button of its own.
    set_form_owner(dialog, owner);
    w->setWindowModality(Qt::ApplicationModal);
    skip_taskbar(w);
    w->show();
    raise_window(w);
    w->activateWindow();
    while (w && w->isVisible() && !terminated_ && handle_of(w) != 0)
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (w) w->setWindowModality(Qt::NonModal);
  }
  void modal_run_begins(Native_handle owner) override {
    keyboard_backs_.push_back(std::make_unique<Keyboard_back>(form_widget(owner)));
  }
  void modal_run_ended() override {
    if (!keyboard_backs_.empty()) keyboard_backs_.pop_back();
  }

  // ---- columns ----
  Native_handle new_column(Native_handle form, const Column_desc& desc) override {
    Form_widget* f = form_widget(form);
    if (!f) return 0;
    auto* c = new Column_widget(f->client());
    c->desc = desc;
    int size = to_px(desc.size > 0 ? desc.size : 200.0);
    int height = (desc.layout_kind == 3 || desc.layout_kind == 4) ? to_px(28.0) : size;
    c->setGeometry(0, 0, std::max(0, size), std::max(0, height));
    c->show();
    Native_handle h = add_entry(c, Native_kind::COLUMN, form, 0, 0);
    f->columns.push_back(h);
    return h;
  }
  void set_current_column(Native_handle form, Native_handle column) override {
    Form_widget* f = form_widget(form);
    if (!f) return;
    f->current_column = (column_widget(column) && form_of(column) == form) ? column : 0;
  }
  Native_handle current_column(Native_handle form) override { return qt::current_column(form); }
  bool is_column_visible(Native_handle h) override {
    QWidget* c = column_widget(h);
    return c && !c->isHidden();
  }
  void set_column_visible(Native_handle h, bool visible) override {
    if (QWidget* c = column_widget(h)) c->setVisible(visible);
  }
  void destroy_column(Native_handle h) override {
    if (column_widget(h)) destroy_later(h);
  }
  Column_desc column_desc(Native_handle h) override {
    Column_widget* c = column_widget(h);
    return c ? c->desc : Column_desc{};
  }
  void set_column_content_height(Native_handle h, double height) override {
    if (Column_widget* c = column_widget(h)) c->set_content_height(to_px(height));
  }
  int column_control_count(Native_handle h) override { return static_cast<int>(column_controls(h).size()); }
  Native_handle column_control(Native_handle h, int index) override {
    std::vector<Native_handle> all = column_controls(h);
    if (index < 0 || static_cast<size_t>(index) >= all.size()) return 0;
    return all[static_cast<size_t>(index)];
  }

  // ---- controls ----
  void destroy_control(Native_handle h) override {
    if (kind_of(h) == Native_kind::CONTROL) destroy_later(h);
  }
  Native_handle control_column(Native_handle h) override {
    if (Native_handle c = column_of(h)) return c;
    QWidget* w = brek_qt::widget_of(h);
    QWidget* content = w ? w->parentWidget() : nullptr;
    Native_handle c = content ? handle_of(content->parentWidget()) : 0;
    return kind_of(c) == Native_kind::COLUMN && column_content(c) == content ? c : 0;
  }
  Native_handle main_window() const { return main_window_; }

 private:
  // The native controls of a column in the order they were made: widgets
  // of the panel named by either the layer or the standard controls.
  static std::vector<Native_handle> column_controls(Native_handle h) {
    std::vector<Native_handle> out;
    QWidget* c = column_content(h);
    if (!c) return out;
    for (QObject* o : c->children()) {
      auto* w = qobject_cast<QWidget*>(o);
      if (!w) continue;
      Native_handle ch = handle_of(w);
      if (ch == 0) ch = brek_qt::handle_of(w);
      if (ch != 0) out.push_back(ch);
    }
    return out;
  }

  static void monitors_changed_later() {
    static bool due = false;
    if (due) return;
    due = true;
    QTimer::singleShot(0, qApp, [] {
      due = false;
      report([&] { form_events().monitors_changed(); });
    });
  }

  // A message or question over the form (placed over it and a dialog of
  // its window) until it is answered; true for Yes.
  static bool run_box(Native_handle form, const std::string& text, bool question) {
    Placed_message_box box;
    box.setIcon(question ? QMessageBox::Question : QMessageBox::NoIcon);
    box.setWindowTitle(QGuiApplication::applicationDisplayName());
    box.setText(qstr(text));
    box.setStandardButtons(question ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok);
    if (question) box.setDefaultButton(QMessageBox::Yes);
    if (QWidget* w = form_widget(form)) {
      box.over = outer_px(w);
      box.on = w->screen();
      make_transient_for(&box, w);
    }
    skip_taskbar(&box);
    return box.exec() == QMessageBox::Yes;
  }

  QTimer wake_;  // ends a wait for events at the due time
  QObject signals_;  // what the screens tell the layer goes with it
  Native_handle main_window_ = 0;
  bool terminated_ = false;
  // One a modal run under way, the innermost last.
  std::vector<std::unique_ptr<Keyboard_back>> keyboard_backs_;
};

std::unique_ptr<Qt_window_layer> g_layer;

}  // namespace

}  // namespace qt

void install_window_layer() {
  if (!application_exists()) return;
  if (!qt::g_layer) qt::g_layer = std::make_unique<qt::Qt_window_layer>();
  set_native_forms(qt::g_layer.get());
}

void remove_window_layer() {
  if (!qt::g_layer) return;
  if (&native_forms() == qt::g_layer.get()) set_native_forms(nullptr);
  qt::watch_frames(nullptr);
  // Every window goes now: nothing of ours outlives the application object.
  std::vector<QPointer<QObject>> forms;
  for (auto& [h, e] : qt::table())
    if (e.kind == qt::Native_kind::FORM && e.object) forms.push_back(e.object);
  qt::table().clear();
  qt::by_object().clear();
  for (auto& f : forms) delete f.data();
  qt::free_pending();
  qt::g_layer.reset();
}

Native_forms* window_layer() { return qt::g_layer.get(); }

void set_popup_menu_shower(Popup_menu_shower shower) { qt::g_menu_shower = shower; }

void set_pixels_per_inch_override(double ppi) { qt::g_ppi_override = ppi > 0 ? ppi : 0; }

bool grab_window(Native_handle form, Decoded_image& out) {
  out = Decoded_image();
  auto* w = qobject_cast<qt::Form_widget*>(qt::widget_of(form));
  if (!w || !w->isVisible()) return false;
  QRect r = w->frameGeometry();
  QPixmap shot;
  if (QScreen* s = w->screen()) shot = s->grabWindow(0, r.x(), r.y(), r.width(), r.height());
  if (shot.isNull()) shot = w->grab();
  if (shot.isNull()) return false;
  QImage img = shot.toImage().convertToFormat(QImage::Format_ARGB32);
  if (img.isNull() || img.width() <= 0 || img.height() <= 0) return false;
  out.width = img.width();
  out.height = img.height();
  out.pixels.resize(static_cast<size_t>(out.width) * static_cast<size_t>(out.height));
  for (int y = 0; y < out.height; ++y) {
    auto* row = reinterpret_cast<const uint32_t*>(img.constScanLine(y));
    std::copy(row, row + out.width, out.pixels.begin() + static_cast<ptrdiff_t>(y) * out.width);
  }
  return true;
}

}  // namespace brek_platform
