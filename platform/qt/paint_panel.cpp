// Scrolled paint panels on Qt widgets: a panel (the control the window
// layer knows) holding the drawing surface, the scroll bars and the corner
// square, placed by hand like everything else on our forms.
//
// The surface never erases its background: each paint shows the picture
// the program hands back, which the program keeps between paints. The
// program paints in device pixels, so that a screen scaled by 2 shows its
// pictures pixel for pixel: every pixel value of this seam is a device
// pixel, and only the widgets here speak in the window system's pixels. The
// scroll bars are named in brek_qt's registry, so the window layer leaves
// their pointer input alone: a press on a bar is no press on the control.

#include <QApplication>
#include <QCursor>
#include <QImage>
#include <QPaintEvent>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <climits>
#include <cmath>
#include <memory>
#include <unordered_map>

#include "platform/paint_panel.h"
#include "platform/qt/widget_registry.h"
#include "platform/qt/window_layer.h"
#include "platform/window.h"

namespace brek_platform {

namespace {

class Surface;
class Panel_widget;

struct Panel {
  Native_handle handle = 0;
  QPointer<Panel_widget> panel;
  Surface* surface = nullptr;
  QScrollBar* vbar = nullptr;
  QScrollBar* hbar = nullptr;
  QWidget* corner = nullptr;
  QWidget* caret = nullptr;
  QTimer* blink = nullptr;
  bool caret_on = false;
  double total_w = 0, total_h = 0;
  Scroll_bar_setup v, h;
  int updates = 0;
  int line_step = 1;
  bool setting = false;   // the program moves a bar
  bool notifying = false; // a bar move is being reported
  bool painting = false;
  QRect update;           // device pixels
  double ratio = 0;       // device pixels per widget pixel at the last paint
  Panel_cursor cursor = Panel_cursor::ARROW;
};

std::unordered_map<Native_handle, std::unique_ptr<Panel>>& table() {
  static auto* t = new std::unordered_map<Native_handle, std::unique_ptr<Panel>>();
  return *t;
}

Panel* find_panel(Native_handle h) {
  auto& t = table();
  auto it = t.find(h);
  if (it == t.end() || it->second->panel.isNull()) return nullptr;
  return it->second.get();
}

int clamp_int(double v) {
  if (!(v == v)) return 0;
  return static_cast<int>(std::clamp(v, double(INT_MIN / 2), double(INT_MAX / 2)));
}

void layout_panel(Panel& p);

double ratio() { return device_pixel_ratio(); }
// Widget pixels to device pixels and back; a part of the surface in widget
// pixels covers every device pixel it touches.
int to_device(double v) { return clamp_int(std::round(v * ratio())); }
QRect to_device(const QRect& r) {
  const double k = ratio();
  const int x0 = clamp_int(std::floor(r.x() * k)), y0 = clamp_int(std::floor(r.y() * k));
  const int x1 = clamp_int(std::ceil((r.x() + r.width()) * k)), y1 = clamp_int(std::ceil((r.y() + r.height()) * k));
  return QRect(x0, y0, x1 - x0, y1 - y0);
}
QRect to_widget(const QRect& r) {
  const double k = ratio();
  const int x0 = clamp_int(std::floor(r.x() / k)), y0 = clamp_int(std::floor(r.y() / k));
  const int x1 = clamp_int(std::ceil((double(r.x()) + r.width()) / k));
  const int y1 = clamp_int(std::ceil((double(r.y()) + r.height()) / k));
  return QRect(x0, y0, x1 - x0, y1 - y0);
}

class Surface : public QWidget {
 public:
  Surface(QWidget* parent, Panel* rec) : QWidget(parent), rec_(rec) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
  }

 protected:
  void paintEvent(QPaintEvent* e) override {
    Panel& p = *rec_;
    Native_handle h = p.handle;
    const double k = ratio();
    if (p.ratio != 0 && p.ratio != k) {
      // Another screen: the surface has another size in device pixels,
      // which the program learns as a resize once this paint is over.
      QTimer::singleShot(0, this, [h] {
        Panel* q = find_panel(h);
        if (!q) return;
        Native_handle form = qt::form_of(h);
        qt::report([&] { form_events().control_resized(form, h); });
        if ((q = find_panel(h))) q->surface->update();
      });
    }
    p.ratio = k;
    p.painting = true;
    p.update = to_device(e->rect());
    Raster r;
    try {
      const QRect& u = p.update;
      r = paint_panel_events().paint(h, Pixel_box{u.x(), u.y(), u.width(), u.height()});
    } catch (...) {
      r = Raster{};
    }
    if (!find_panel(h)) return;  // gone during its own paint
    p.painting = false;
    QPainter painter(this);
    if (r.empty()) {
      painter.fillRect(rect(), palette().window());
      return;
    }
    // The picture is a screen image: its fourth byte is not shown.
    QImage img(r.bits, r.width, r.height, r.stride, QImage::Format_RGB32);
    img.setDevicePixelRatio(k);
    painter.drawImage(QPointF(0, 0), img);
    const QSizeF shown = img.deviceIndependentSize();
    const int sw = clamp_int(std::floor(shown.width())), sh = clamp_int(std::floor(shown.height()));
    if (sw < width()) painter.fillRect(QRect(sw, 0, width() - sw, height()), palette().window());
    if (sh < height()) painter.fillRect(QRect(0, sh, std::min(sw, width()), height() - sh), palette().window());
  }

  // The caret belongs to the focus: it goes with it.
  void focusOutEvent(QFocusEvent* e) override {
    QWidget::focusOutEvent(e);
    if (rec_->caret) {
      rec_->caret_on = false;
      rec_->blink->stop();
      rec_->caret->hide();
    }
  }

 private:
  Panel* rec_;
};

class Panel_widget : public QWidget {
 public:
  Panel_widget(QWidget* parent, Panel* rec) : QWidget(parent), rec_(rec) {}

 protected:
  void resizeEvent(QResizeEvent* e) override {
    QWidget::resizeEvent(e);
    layout_panel(*rec_);
  }

 private:
  Panel* rec_;
};

void apply_bar(Panel& p, QScrollBar* bar, const Scroll_bar_setup& s, bool wanted, int step) {
  if (!bar) return;
  p.setting = true;
  bar->setRange(0, static_cast<int>(s.maximum));
  bar->setPageStep(static_cast<int>(s.page));
  bar->setSingleStep(std::max(1, step));
  p.setting = false;
  bar->setVisible(wanted && s.visible);
}

void layout_panel(Panel& p) {
  if (p.updates > 0 || !p.panel) return;
  QWidget* w = p.panel;
  int vw = p.vbar ? p.vbar->sizeHint().width() : 0;
  int hh = p.hbar ? p.hbar->sizeHint().height() : 0;
  // The bars' room is kept whether or not they are shown.
  int sw = std::max(0, w->width() - vw);
  int sh = std::max(0, w->height() - hh);
  p.surface->setGeometry(0, 0, sw, sh);
  if (p.vbar) p.vbar->setGeometry(sw, 0, vw, sh);
  if (p.hbar) p.hbar->setGeometry(0, sh, sw, hh);
  if (p.corner) p.corner->setGeometry(sw, sh, vw, hh);
  p.v = scroll_bar_setup(p.total_h, to_device(sh), true);
  p.h = scroll_bar_setup(p.total_w, to_device(sw), false);
  // The arrow step moves one line of a line list.
  apply_bar(p, p.vbar, p.v, true, clamp_int(p.line_step / p.v.factor));
  apply_bar(p, p.hbar, p.h, true, 1);
}

Qt::CursorShape shape_of(Panel_cursor c) {
  switch (c) {
    case Panel_cursor::ARROW: return Qt::ArrowCursor;
    case Panel_cursor::IBEAM: return Qt::IBeamCursor;
    case Panel_cursor::NO: return Qt::ForbiddenCursor;
    case Panel_cursor::CROSS: return Qt::CrossCursor;
    case Panel_cursor::HAND: return Qt::PointingHandCursor;
    case Panel_cursor::WAIT: return Qt::WaitCursor;
    case Panel_cursor::APP_START: return Qt::BusyCursor;
    case Panel_cursor::UP_ARROW: return Qt::UpArrowCursor;
    case Panel_cursor::SIZE_ALL: return Qt::SizeAllCursor;
    case Panel_cursor::SIZE_WE: return Qt::SizeHorCursor;
    case Panel_cursor::SIZE_NS: return Qt::SizeVerCursor;
    case Panel_cursor::SIZE_NESW: return Qt::SizeBDiagCursor;
    case Panel_cursor::SIZE_NWSE: return Qt::SizeFDiagCursor;
    case Panel_cursor::HELP: return Qt::WhatsThisCursor;
  }
  return Qt::ArrowCursor;
}

QScrollBar* new_bar(Qt::Orientation o, QWidget* parent, Panel* rec, bool vertical) {
  auto* bar = new QScrollBar(o, parent);
  bar->setFocusPolicy(Qt::NoFocus);
  // Named apart, so that the window layer reports nothing of the bar's own.
  brek_qt::register_widget(brek_qt::new_handle(), bar);
  const Native_handle h = rec->handle;
  QObject::connect(bar, &QScrollBar::valueChanged, [h](int) {
    Panel* p = find_panel(h);
    if (!p || p->setting || p->notifying) return;
    p->notifying = true;
    try {
      paint_panel_events().scrolled(h);
    } catch (...) {
    }
    if ((p = find_panel(h))) {
      p->notifying = false;
      p->surface->update();
    }
  });
  (void)vertical;
  return bar;
}

class Qt_paint_panels final : public Native_paint_panels {
 public:
  Native_handle create(const Paint_panel_desc& desc) override {
    QWidget* column = qt::column_content(desc.column);
    if (!column) return 0;
    auto rec = std::make_unique<Panel>();
    Panel* p = rec.get();
    auto* panel = new Panel_widget(column, p);
    p->panel = panel;
    p->surface = new Surface(panel, p);
    if (desc.focusable) {
      p->surface->setFocusPolicy(Qt::StrongFocus);
      panel->setFocusProxy(p->surface);
    } else {
      p->surface->setFocusPolicy(Qt::NoFocus);
    }
    panel->setFocusPolicy(Qt::NoFocus);
    const int side = qt::to_px(100.0);
    panel->resize(side, side);
    const Native_handle h = qt::register_control(panel, desc.form, desc.column, 0);
    if (h == 0) {
      delete panel;
      return 0;
    }
    p->handle = h;
    if (desc.vbar) p->vbar = new_bar(Qt::Vertical, panel, p, true);
    if (desc.hbar) p->hbar = new_bar(Qt::Horizontal, panel, p, false);
    if (desc.vbar && desc.hbar) {
      p->corner = new QWidget(panel);
      p->corner->setAutoFillBackground(true);
    }
    table()[h] = std::move(rec);
    QObject::connect(panel, &QObject::destroyed, [h] {
      auto& t = table();
      auto it = t.find(h);
      if (it != t.end()) t.erase(it);
    });
    layout_panel(*p);
    panel->show();
    return h;
  }

  Pixel_box surface(Native_handle h) override {
    Panel* p = find_panel(h);
    if (!p) return {};
    return {0, 0, to_device(p->surface->width()), to_device(p->surface->height())};
  }

  void invalidate(Native_handle h, Pixel_box r) override {
    Panel* p = find_panel(h);
    if (!p) return;
    if (Native_forms* layer = window_layer(); layer && layer->application_terminated()) return;
    QRect q(clamp_int(double(r.x)), clamp_int(double(r.y)), clamp_int(double(r.w)), clamp_int(double(r.h)));
    q = to_widget(q).intersected(p->surface->rect());
    if (!q.isEmpty()) p->surface->update(q);
  }

  void paint_now(Native_handle h) override {
    Panel* p = find_panel(h);
    if (!p || p->painting) return;
    if (p->surface->isVisible()) p->surface->repaint();
  }

  bool update_rect(Native_handle h, Pixel_box& out) override {
    Panel* p = find_panel(h);
    if (!p || !p->painting) return false;
    out = {p->update.x(), p->update.y(), p->update.width(), p->update.height()};
    return true;
  }

  void set_ranges(Native_handle h, double total_w, double total_h) override {
    Panel* p = find_panel(h);
    if (!p) return;
    p->total_w = total_w;
    p->total_h = total_h;
    layout_panel(*p);
  }

  double scroll_pos(Native_handle h, bool vertical) override {
    Panel* p = find_panel(h);
    if (!p) return 0;
    QScrollBar* bar = vertical ? p->vbar : p->hbar;
    if (!bar) return 0;
    const Scroll_bar_setup& s = vertical ? p->v : p->h;
    return bar->value() * s.factor;
  }

  void set_scroll_pos(Native_handle h, bool vertical, double pixels) override {
    Panel* p = find_panel(h);
    if (!p || p->notifying) return;
    QScrollBar* bar = vertical ? p->vbar : p->hbar;
    if (!bar) return;
    const Scroll_bar_setup& s = vertical ? p->v : p->h;
    p->setting = true;
    bar->setValue(clamp_int(std::round(pixels / s.factor)));
    p->setting = false;
  }

  void set_line_step(Native_handle h, int64_t pixels) override {
    Panel* p = find_panel(h);
    if (!p) return;
    p->line_step = static_cast<int>(std::clamp<int64_t>(pixels, 1, INT_MAX / 2));
    layout_panel(*p);
  }

  void begin_update(Native_handle h) override {
    if (Panel* p = find_panel(h)) ++p->updates;
  }
  void end_update(Native_handle h) override {
    Panel* p = find_panel(h);
    if (!p) return;
    if (p->updates > 0) --p->updates;
    if (p->updates == 0) layout_panel(*p);
  }

  void set_cursor(Native_handle h, Panel_cursor c) override {
    Panel* p = find_panel(h);
    if (!p) return;
    p->cursor = c;
    p->surface->setCursor(QCursor(shape_of(c)));
  }
  Panel_cursor cursor(Native_handle h) override {
    Panel* p = find_panel(h);
    return p ? p->cursor : Panel_cursor::ARROW;
  }

  void show_caret(Native_handle h, int64_t x, int64_t y, int64_t height, int64_t width) override {
    Panel* p = find_panel(h);
    if (!p) return;
    if (!p->caret) {
      p->caret = new QWidget(p->surface);
      p->caret->setAttribute(Qt::WA_TransparentForMouseEvents);
      p->caret->setAutoFillBackground(true);
      QPalette pal = p->caret->palette();
      pal.setColor(QPalette::Window, Qt::black);
      p->caret->setPalette(pal);
      p->blink = new QTimer(p->caret);
      int flash = QApplication::cursorFlashTime();
      p->blink->setInterval(flash > 0 ? flash / 2 : 500);
      QWidget* caret = p->caret;
      QObject::connect(p->blink, &QTimer::timeout, caret, [caret] { caret->setVisible(!caret->isVisible()); });
    }
    const QRect at(clamp_int(double(x)), clamp_int(double(y)), clamp_int(double(std::max<int64_t>(width, 1))),
                   clamp_int(double(std::max<int64_t>(height, 1))));
    p->caret->setGeometry(to_widget(at));
    if (p->surface->hasFocus()) {
      p->caret_on = true;
      p->caret->show();
      p->caret->raise();
      if (QApplication::cursorFlashTime() > 0) p->blink->start();
    } else {
      hide_caret(h);
    }
  }

  void hide_caret(Native_handle h) override {
    Panel* p = find_panel(h);
    if (!p || !p->caret) return;
    p->caret_on = false;
    p->blink->stop();
    p->caret->hide();
  }

  bool caret(Native_handle h, Pixel_box& out) override {
    Panel* p = find_panel(h);
    if (!p || !p->caret || !p->caret_on) return false;
    QRect g = to_device(p->caret->geometry());
    out = {g.x(), g.y(), g.width(), g.height()};
    return true;
  }
};

Native_paint_panels g_headless;
Native_paint_panels* g_override = nullptr;

}  // namespace

Native_paint_panels& native_paint_panels() {
  if (g_override) return *g_override;
  if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return g_headless;
  static auto* qt = new Qt_paint_panels();
  return *qt;
}

Native_paint_panels* set_native_paint_panels(Native_paint_panels* layer) {
  Native_paint_panels* old = g_override;
  g_override = layer;
  return old;
}

}  // namespace brek_platform
