#include "platform/painter.h"

#include <QBrush>
#include <QCoreApplication>
#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <QPen>
#include <QPolygon>
#include <QString>
#include <QThread>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

#include "platform/native_forms.h"
#include "platform/qt/paint_devices.h"

namespace brek_platform {

namespace qt {
namespace {
std::map<int64_t, Paint_device>& devices() {
  static std::map<int64_t, Paint_device> d;
  return d;
}
int64_t g_next_device = 1;
}  // namespace

int64_t register_device(QPainter* painter, int dpi_x, int dpi_y) {
  int64_t h = g_next_device++;
  devices()[h] = Paint_device{painter, dpi_x > 0 ? dpi_x : 96, dpi_y > 0 ? dpi_y : 96};
  return h;
}

void unregister_device(int64_t handle) { devices().erase(handle); }

Paint_device* find_device(int64_t handle) {
  auto it = devices().find(handle);
  if (it == devices().end() || !it->second.painter || !it->second.painter->isActive()) return nullptr;
  return &it->second;
}
}  // namespace qt

namespace {

QImage wrap(const Raster& r) {
  return QImage(r.bits, r.width, r.height, r.stride, r.opaque ? QImage::Format_RGB32 : QImage::Format_ARGB32);
}

QColor color_of(uint32_t c) { return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF)); }

QTransform transform_of(const Xform& x) { return QTransform(x.m11, x.m12, x.m21, x.m22, x.dx, x.dy); }

// The painter kept open on the last pixels in memory drawn on, from the
// application's thread: beginning one costs more than most calls draw.
struct Kept {
  QImage image;
  QPainter painter;
  Raster raster;
};
// Never destroyed with the other statics: pixels freed during their
// destruction still ask for it.
Kept*& kept() {
  static Kept* k = nullptr;
  return k;
}

bool on_application_thread() {
  const QCoreApplication* app = QCoreApplication::instance();
  return app && QThread::currentThread() == app->thread();
}

// The kept painter on the raster, begun anew for another one.
QPainter* kept_painter(const Raster& r) {
  Kept* k = kept();
  if (k && k->raster.bits == r.bits && k->raster.width == r.width && k->raster.height == r.height &&
      k->raster.stride == r.stride && k->raster.opaque == r.opaque)
    return &k->painter;
  release_painters();
  auto fresh = std::make_unique<Kept>();
  fresh->image = wrap(r);
  if (!fresh->painter.begin(&fresh->image)) return nullptr;
  fresh->raster = r;
  kept() = fresh.release();
  return &kept()->painter;
}

// A painter open on a target for one drawing call: the kept one over the
// pixels in memory, or the registered device's own painter, its state
// saved and restored so nothing of one call reaches the next.
class Session {
 public:
  explicit Session(const Target& t) {
    if (t.device != 0) {
      device_ = qt::find_device(t.device);
      if (device_) {
        p_ = device_->painter;
        bounds_ = QRect(QPoint(0, 0), QSize(p_->device()->width(), p_->device()->height()));
      }
    } else if (!t.raster.empty()) {
      bounds_ = QRect(0, 0, t.raster.width, t.raster.height);
      if (on_application_thread()) {
        p_ = kept_painter(t.raster);
      } else {
        image_ = wrap(t.raster);
        if (own_.begin(&image_)) p_ = &own_;
      }
    }
    if (p_ && p_ != &own_) p_->save();
  }
  ~Session() {
    if (p_ && p_ != &own_) p_->restore();
    if (own_.isActive()) own_.end();
  }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  QPainter* painter() const { return p_; }
  QRect bounds() const { return bounds_; }

  // Clip in device pixels first (a clip is kept in device space once set),
  // then the world transform, pen and brush.
  void apply(const Draw_state& s) {
    QPainter& p = *p_;
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    p.setWorldTransform(QTransform());
    if (s.clip) {
      p.setClipRect(QRect(s.clip_left, s.clip_top, s.clip_right - s.clip_left, s.clip_bottom - s.clip_top));
    } else {
      p.setClipping(false);
    }
    p.setWorldTransform(transform_of(s.xform));
    if (s.pen_clear) {
      p.setPen(Qt::NoPen);
    } else {
      QPen pen(color_of(s.pen_color));
      pen.setWidth(s.pen_width <= 1 ? 1 : s.pen_width);
      pen.setCapStyle(Qt::FlatCap);
      pen.setJoinStyle(Qt::MiterJoin);
      p.setPen(pen);
    }
    p.setBrush(brush_of(s));
    p.setBackgroundMode(Qt::TransparentMode);
  }

  static QBrush brush_of(const Draw_state& s) {
    QColor c = color_of(s.brush_color);
    switch (s.brush) {
      case brush_kind::SOLID: return QBrush(c);
      case brush_kind::CLEAR: return QBrush(Qt::NoBrush);
      case brush_kind::HORIZONTAL: return QBrush(c, Qt::HorPattern);
      case brush_kind::VERTICAL: return QBrush(c, Qt::VerPattern);
      // Forward diagonals fall from left to right ("\"), backward ones rise.
      case brush_kind::FDIAGONAL: return QBrush(c, Qt::FDiagPattern);
      case brush_kind::BDIAGONAL: return QBrush(c, Qt::BDiagPattern);
      case brush_kind::CROSS: return QBrush(c, Qt::CrossPattern);
      case brush_kind::DIAGONAL_CROSS: return QBrush(c, Qt::DiagCrossPattern);
    }
    return QBrush(c);
  }

 private:
  qt::Paint_device* device_ = nullptr;
  QRect bounds_;
  QImage image_;
  QPainter own_;
  QPainter* p_ = nullptr;
};

// A box from two corners, right and bottom exclusive, normalised.
QRect box(int left, int top, int right, int bottom) {
  if (right < left) std::swap(left, right);
  if (bottom < top) std::swap(top, bottom);
  return QRect(left, top, right - left, bottom - top);
}

QFont font_of(const Font_desc& f) {
  QFont font(QString::fromStdString(f.name));
  font.setPixelSize(std::max(1, f.pixel_size));
  font.setBold((f.style & 1) != 0);
  font.setItalic((f.style & 2) != 0);
  font.setUnderline((f.style & 4) != 0);
  font.setStrikeOut((f.style & 8) != 0);
  return font;
}

// The angle of a radial as Qt measures it on the ellipse of the box (in
// sixteenths of a degree, counter-clockwise on the screen).
double radial_angle(const QRectF& r, double x, double y) {
  double cx = r.center().x(), cy = r.center().y();
  double a = r.width() / 2, b = r.height() / 2;
  if (a <= 0 || b <= 0) return 0;
  double t = std::atan2(-(y - cy) / b, (x - cx) / a) * 180.0 / M_PI;
  if (t < 0) t += 360;
  return t;
}

bool axis_aligned(const QTransform& t) { return t.m12() == 0 && t.m21() == 0 && t.m11() > 0 && t.m22() > 0; }

}  // namespace

// ---- painters kept open -----------------------------------------------------------

void release_painter(const void* bits, size_t bytes) {
  // Only the application's thread keeps a painter (and may end it); a
  // worker freeing pixels of its own does not even look at it.
  if (!bits || !on_application_thread()) return;
  const Kept* k = kept();
  if (!k) return;
  const auto* b0 = static_cast<const uint8_t*>(bits);
  const uint8_t* k0 = k->raster.bits;
  const uint8_t* k1 = k0 + size_t(k->raster.stride) * size_t(k->raster.height);
  if (b0 < k1 && k0 < b0 + bytes) release_painters();
}

void release_painters() {
  Kept* k = kept();
  if (!k || !on_application_thread()) return;
  kept() = nullptr;
  if (k->painter.isActive()) k->painter.end();
  delete k;
}

// ---- resolution ---------------------------------------------------------------

// Pictures for the screen are made of device pixels.
int screen_dpi() {
  double ppi = device_pixels_per_inch();
  if (!(ppi >= 1 && ppi <= 10000)) return 96;
  return int(std::lround(ppi));
}

int target_dpi_x(const Target& t) {
  if (t.device != 0) {
    if (auto* d = qt::find_device(t.device)) return d->dpi_x;
  }
  return screen_dpi();
}

int target_dpi_y(const Target& t) {
  if (t.device != 0) {
    if (auto* d = qt::find_device(t.device)) return d->dpi_y;
  }
  return screen_dpi();
}

// ---- scheme colours ----------------------------------------------------------------

uint32_t system_color(int item) {
  QPalette pal = QGuiApplication::instance() ? QGuiApplication::palette() : QPalette();
  using R = QPalette::ColorRole;
  struct Entry {
    QPalette::ColorGroup group;
    R role;
  };
  // Items as the drawing layer numbers them; DESKTOP is WINDOW_FRAME and
  // INACTIVE_GRADIENT is ACTIVE_GRADIENT, as the program expects.
  static const Entry table[25] = {
      {QPalette::Active, R::Highlight},         // ACTIVE_CAPTION
      {QPalette::Active, R::Highlight},         // ACTIVE_GRADIENT
      {QPalette::Active, R::Window},            // ACTIVE_BORDER
      {QPalette::Active, R::HighlightedText},   // ACTIVE_TEXT
      {QPalette::Active, R::Button},            // BUTTON
      {QPalette::Active, R::ButtonText},        // BUTTON_TEXT
      {QPalette::Active, R::Light},             // BUTTON_HIGHLIGHT
      {QPalette::Active, R::Mid},               // BUTTON_SHADOW
      {QPalette::Active, R::Shadow},            // DESKTOP
      {QPalette::Disabled, R::Text},            // GRAY_TEXT
      {QPalette::Active, R::ToolTipBase},       // HELP
      {QPalette::Active, R::ToolTipText},       // HELP_TEXT
      {QPalette::Inactive, R::Mid},             // INACTIVE_CAPTION
      {QPalette::Active, R::Highlight},         // INACTIVE_GRADIENT
      {QPalette::Inactive, R::Window},          // INACTIVE_BORDER
      {QPalette::Inactive, R::WindowText},      // INACTIVE_TEXT
      {QPalette::Active, R::Window},            // MENU
      {QPalette::Active, R::WindowText},        // MENU_TEXT
      {QPalette::Active, R::Highlight},         // MENU_HIGHLIGHT
      {QPalette::Active, R::Midlight},          // SCROLLBAR
      {QPalette::Active, R::Base},              // WINDOW
      {QPalette::Active, R::Text},              // WINDOW_TEXT
      {QPalette::Active, R::Shadow},            // WINDOW_FRAME
      {QPalette::Active, R::Highlight},         // HIGHLIGHT
      {QPalette::Active, R::HighlightedText},   // HIGHLIGHT_TEXT
  };
  if (item < 0 || item >= 25) item = 0;
  QColor c = pal.color(table[item].group, table[item].role);
  return uint32_t(c.red()) | uint32_t(c.green()) << 8 | uint32_t(c.blue()) << 16;
}

// ---- shapes ---------------------------------------------------------------------

namespace {

// Boxes from this many pixels on are left to Qt, which fills them on
// several threads; smaller ones cost less written directly than the
// painter and its thread wake-ups.
constexpr int64_t DIRECT_FILL_PIXELS = 32 * 1024;

// Whether drawing on the target lands on the pixels in memory one to one,
// moved by whole pixels at most: small solid boxes and unscaled pictures
// are then written directly, without a painter.
bool plain_raster(const Target& t, const Draw_state& s) {
  const Xform& x = s.xform;
  return t.device == 0 && !t.raster.empty() && x.m11 == 1 && x.m22 == 1 && x.m12 == 0 && x.m21 == 0 &&
         std::fabs(x.dx) < 1e6 && std::fabs(x.dy) < 1e6 && x.dx == std::floor(x.dx) && x.dy == std::floor(x.dy);
}

// An opaque pixel word (0xFFRRGGBB) of a colour (red in the low byte).
uint32_t word_of(uint32_t c) { return 0xFF000000u | ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF); }

// The box (before the move) filled with the word, within the target and
// the clip.
void fill_words(const Target& t, const Draw_state& s, const QRect& r, uint32_t word) {
  QRect b = r.translated(int(s.xform.dx), int(s.xform.dy)).intersected(QRect(0, 0, t.raster.width, t.raster.height));
  if (s.clip) b = b.intersected(QRect(s.clip_left, s.clip_top, s.clip_right - s.clip_left, s.clip_bottom - s.clip_top));
  if (b.isEmpty()) return;
  auto row = [&](int y) { return reinterpret_cast<uint32_t*>(t.raster.bits + size_t(y) * size_t(t.raster.stride)) + b.left(); };
  // Narrow boxes (upright frame sides) by word; of wider ones one row by
  // word, the others copied from it (the copy is the faster).
  if (b.width() < 16) {
    for (int y = b.top(); y <= b.bottom(); ++y) std::fill_n(row(y), b.width(), word);
    return;
  }
  const uint32_t* first = row(b.top());
  std::fill_n(row(b.top()), b.width(), word);
  for (int y = b.top() + 1; y <= b.bottom(); ++y) std::memcpy(row(y), first, size_t(b.width()) * 4);
}

// The one-pixel outline of the box as four bands, each pixel once.
template <class Fill>
void thin_outline(const QRect& r, Fill fill) {
  const int l = r.left(), t = r.top(), w = r.width(), h = r.height();
  fill(QRect(l, t, w, 1));
  if (h > 1) fill(QRect(l, t + h - 1, w, 1));
  if (h > 2) {
    fill(QRect(l, t + 1, 1, h - 2));
    if (w > 1) fill(QRect(l + w - 1, t + 1, 1, h - 2));
  }
}

// An opaque picture drawn at its own size onto pixels in memory is a copy
// of rows; false when the drawing needs the painter.
bool copy_unscaled(const Target& t, const Draw_state& s, const Raster& source, int left, int top, int right,
                   int bottom, bool unscaled) {
  // Qt copies an opaque picture's words as they stand onto either format.
  if (!source.opaque || !plain_raster(t, s)) return false;
  const QRect dst = box(left, top, right, bottom);
  if (!unscaled && (dst.width() != source.width || dst.height() != source.height)) return false;
  const uint8_t* s0 = source.bits;
  const uint8_t* s1 = s0 + size_t(source.stride) * size_t(source.height);
  const uint8_t* t0 = t.raster.bits;
  const uint8_t* t1 = t0 + size_t(t.raster.stride) * size_t(t.raster.height);
  if (s0 < t1 && t0 < s1) return false;  // one picture: the painter reads it safely
  const QRect at(left + int(s.xform.dx), top + int(s.xform.dy), source.width, source.height);
  QRect b = at.intersected(QRect(0, 0, t.raster.width, t.raster.height));
  if (s.clip) b = b.intersected(QRect(s.clip_left, s.clip_top, s.clip_right - s.clip_left, s.clip_bottom - s.clip_top));
  for (int y = b.top(); y <= b.bottom(); ++y)
    std::memcpy(t.raster.bits + size_t(y) * size_t(t.raster.stride) + size_t(b.left()) * 4,
                source.bits + size_t(y - at.top()) * size_t(source.stride) + size_t(b.left() - at.left()) * 4,
                size_t(b.width()) * 4);
  return true;
}

// A thin closed outline of a level box (five corners, the last the first)
// that lies within the target: the four bands Qt's aliased stroke covers,
// written directly. False when the stroke needs the painter.
bool box_outline(const Target& t, const Draw_state& s, const int* xy, int count) {
  if (count != 5 || s.pen_clear || s.pen_width > 1 || !plain_raster(t, s)) return false;
  if (xy[8] != xy[0] || xy[9] != xy[1]) return false;
  int x0 = xy[0], y0 = xy[1], x1 = x0, y1 = y0;
  for (int i = 1; i < 5; ++i) {
    const int dx = xy[2 * i] - xy[2 * i - 2], dy = xy[2 * i + 1] - xy[2 * i - 1];
    if ((dx != 0) == (dy != 0)) return false;  // slanted, or a repeated corner
    if (i > 1 && (dx != 0) == (xy[2 * i - 2] != xy[2 * i - 4])) return false;  // two level sides in a row
    x0 = std::min(x0, xy[2 * i]);
    x1 = std::max(x1, xy[2 * i]);
    y0 = std::min(y0, xy[2 * i + 1]);
    y1 = std::max(y1, xy[2 * i + 1]);
  }
  // Qt drops corner pixels of strokes it cuts at the target's edge.
  const int dx = int(s.xform.dx), dy = int(s.xform.dy);
  if (int64_t(x0) + dx < 0 || int64_t(y0) + dy < 0 || int64_t(x1) + dx >= t.raster.width ||
      int64_t(y1) + dy >= t.raster.height)
    return false;
  const uint32_t pen = word_of(s.pen_color);
  thin_outline(QRect(x0, y0, x1 - x0 + 1, y1 - y0 + 1), [&](const QRect& band) { fill_words(t, s, band, pen); });
  return true;
}

}  // namespace

void fill_rect(const Target& t, const Draw_state& s, int left, int top, int right, int bottom) {
  if (s.brush == brush_kind::CLEAR) return;
  const QRect r = box(left, top, right, bottom);
  if (s.brush == brush_kind::SOLID && int64_t(r.width()) * r.height() < DIRECT_FILL_PIXELS && plain_raster(t, s)) {
    fill_words(t, s, r, word_of(s.brush_color));
    return;
  }
  Session ses(t);
  if (!ses.painter()) return;
  ses.apply(s);
  ses.painter()->fillRect(box(left, top, right, bottom), Session::brush_of(s));
}

void rectangle(const Target& t, const Draw_state& s, int left, int top, int right, int bottom) {
  QRect r = box(left, top, right, bottom);
  if (r.width() <= 0 || r.height() <= 0) return;
  const bool thin = !s.pen_clear && s.pen_width <= 1;
  const bool small_fill = s.brush == brush_kind::CLEAR ||
                          (s.brush == brush_kind::SOLID && int64_t(r.width()) * r.height() < DIRECT_FILL_PIXELS);
  if (small_fill && (s.pen_clear || thin) && plain_raster(t, s)) {
    if (s.brush == brush_kind::SOLID) fill_words(t, s, r, word_of(s.brush_color));
    const uint32_t pen = word_of(s.pen_color);
    if (thin) thin_outline(r, [&](const QRect& band) { fill_words(t, s, band, pen); });
    return;
  }
  Session ses(t);
  if (!ses.painter()) return;
  ses.apply(s);
  QPainter& p = *ses.painter();
  if (s.brush != brush_kind::CLEAR) p.fillRect(r, Session::brush_of(s));
  if (s.pen_clear) return;
  if (thin && plain_raster(t, s)) {
    // The painter has written the inside already: the bands go straight on.
    const uint32_t pen = word_of(s.pen_color);
    thin_outline(r, [&](const QRect& band) { fill_words(t, s, band, pen); });
    return;
  }
  if (thin && p.worldTransform().type() <= QTransform::TxTranslate) {
    // Qt strokes even a thin outline through its thread pool, which costs
    // more than the pixels for the many small frames of a collage.
    const QColor c = p.pen().color();
    thin_outline(r, [&](const QRect& band) { p.fillRect(band, c); });
    return;
  }
  p.setBrush(Qt::NoBrush);
  // An aliased outline of QRect(x, y, w, h) covers x..x + w.
  p.drawRect(QRect(r.left(), r.top(), r.width() - 1, r.height() - 1));
}

void line(const Target& t, const Draw_state& s, int x1, int y1, int x2, int y2) {
  if (s.pen_clear || (x1 == x2 && y1 == y2)) return;
  Session ses(t);
  if (!ses.painter()) return;
  ses.apply(s);
  ses.painter()->drawLine(QPoint(x1, y1), QPoint(x2, y2));
}

void ellipse(const Target& t, const Draw_state& s, int left, int top, int right, int bottom) {
  Session ses(t);
  if (!ses.painter()) return;
  ses.apply(s);
  QRect r = box(left, top, right, bottom);
  if (r.width() <= 0 || r.height() <= 0) return;
  ses.painter()->drawEllipse(QRect(r.left(), r.top(), r.width() - 1, r.height() - 1));
}

void arc(const Target& t, const Draw_state& s, int left, int top, int right, int bottom, int xs, int ys, int xe,
         int ye, bool pie) {
  Session ses(t);
  if (!ses.painter()) return;
  ses.apply(s);
  QRect r = box(left, top, right, bottom);
  if (r.width() <= 0 || r.height() <= 0) return;
  // A float box of the full size covers the same pixels as the ellipse's
  // integer box one narrower.
  QRectF ri(r.left() + 0.5, r.top() + 0.5, r.width() - 1, r.height() - 1);
  QRectF rf(r.left(), r.top(), r.width() - 1, r.height() - 1);
  double a0 = radial_angle(rf, xs, ys);
  double a1 = radial_angle(rf, xe, ye);
  double span = a1 - a0;
  while (span <= 0) span += 360;
  int start16 = int(std::lround(a0 * 16));
  int span16 = int(std::lround(span * 16));
  if (pie) {
    ses.painter()->drawPie(ri, start16, span16);
  } else {
    ses.painter()->setBrush(Qt::NoBrush);
    ses.painter()->drawArc(ri, start16, span16);
  }
}

void polygon(const Target& t, const Draw_state& s, const int* xy, int count, bool closed) {
  if (!xy || count <= 0) return;
  if (!closed && box_outline(t, s, xy, count)) return;
  Session ses(t);
  if (!ses.painter()) return;
  ses.apply(s);
  QPainter& p = *ses.painter();
  if (count == 1) {
    if (s.pen_clear) return;
    p.drawPoint(xy[0], xy[1]);
    return;
  }
  QPolygon poly(count);
  for (int i = 0; i < count; ++i) poly.setPoint(i, xy[2 * i], xy[2 * i + 1]);
  if (closed) {
    p.drawPolygon(poly, Qt::OddEvenFill);
  } else if (!s.pen_clear) {
    p.drawPolyline(poly);
  }
}

// ---- text -------------------------------------------------------------------------

void text_out(const Target& t, const Draw_state& s, const Font_desc& font, int x, int y, const std::string& text,
              uint32_t color) {
  if (text.empty()) return;
  Session ses(t);
  if (!ses.painter()) return;
  ses.apply(s);
  QPainter& p = *ses.painter();
  QFont f = font_of(font);
  p.setFont(f);
  p.setPen(color_of(color));
  QFontMetrics fm(f);
  p.drawText(QPoint(x, y + fm.ascent()), QString::fromUtf8(text.data(), qsizetype(text.size())));
}

Extent text_extent(const Target&, const Font_desc& font, const std::string& text) {
  if (text.empty()) return {};
  QFontMetrics fm(font_of(font));
  QString s = QString::fromUtf8(text.data(), qsizetype(text.size()));
  return Extent{fm.horizontalAdvance(s), fm.height()};
}

namespace {
std::map<int64_t, QFont>& fonts() {
  static std::map<int64_t, QFont> f;
  return f;
}
int64_t g_next_font = 1;
}  // namespace

int64_t font_create(const Font_desc& font) {
  int64_t h = g_next_font++;
  fonts().emplace(h, font_of(font));
  return h;
}

void font_free(int64_t handle) { fonts().erase(handle); }

int64_t font_count() { return int64_t(fonts().size()); }

// ---- pictures ---------------------------------------------------------------------

void draw_picture(const Target& t, const Draw_state& s, const Raster& source, int left, int top, int right,
                  int bottom, bool unscaled, stretch_mode mode) {
  if (source.empty()) return;
  if (copy_unscaled(t, s, source, left, top, right, bottom, unscaled)) return;
  Session ses(t);
  if (!ses.painter()) return;
  ses.apply(s);
  QPainter& p = *ses.painter();
  QImage src = wrap(source);
  if (unscaled) {
    p.drawImage(QPoint(left, top), src);
    return;
  }
  QRect dst = box(left, top, right, bottom);
  if (dst.isEmpty()) return;
  QTransform world = p.worldTransform();
  bool halftone = mode == stretch_mode::HALFTONE;
  if (axis_aligned(world)) {
    // Where the picture lands on the device, and the part of it that shows.
    QRectF dev = world.mapRect(QRectF(dst));
    QRect whole(qRound(dev.left()), qRound(dev.top()), qRound(dev.right()) - qRound(dev.left()),
                qRound(dev.bottom()) - qRound(dev.top()));
    if (whole.isEmpty()) return;
    // The clip is read in device pixels: without the world transform.
    p.setWorldTransform(QTransform());
    QRect visible = whole.intersected(ses.bounds());
    if (p.hasClipping()) visible = visible.intersected(p.clipBoundingRect().toAlignedRect());
    if (visible.isEmpty()) return;
    double fx = double(whole.width()) / src.width();
    double fy = double(whole.height()) / src.height();
    if (halftone && (fx < 1 || fy < 1)) {
      // Only the source columns and rows behind the visible part are
      // averaged, so a zoomed-in picture never scales as a whole.
      int sx0 = std::max(0, int(std::floor((visible.left() - whole.left()) / fx)) - 1);
      int sy0 = std::max(0, int(std::floor((visible.top() - whole.top()) / fy)) - 1);
      int sx1 = std::min(src.width(), int(std::ceil((visible.right() + 1 - whole.left()) / fx)) + 1);
      int sy1 = std::min(src.height(), int(std::ceil((visible.bottom() + 1 - whole.top()) / fy)) + 1);
      QImage part = (sx0 == 0 && sy0 == 0 && sx1 == src.width() && sy1 == src.height())
                        ? src
                        : src.copy(sx0, sy0, sx1 - sx0, sy1 - sy0);
      int x0 = whole.left() + qRound(sx0 * fx), y0 = whole.top() + qRound(sy0 * fy);
      int x1 = whole.left() + qRound(sx1 * fx), y1 = whole.top() + qRound(sy1 * fy);
      if (x1 <= x0 || y1 <= y0) return;
      QImage scaled = part.scaled(x1 - x0, y1 - y0, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
      p.drawImage(QPoint(x0, y0), scaled);
    } else {
      p.setRenderHint(QPainter::SmoothPixmapTransform, halftone);
      p.drawImage(QRectF(whole), src);
    }
    return;
  }
  // Turned or mirrored: shrink first where halftone asks for it, then let
  // the transform place the picture.
  if (halftone) {
    double sx = std::hypot(world.m11(), world.m12()) * dst.width() / src.width();
    double sy = std::hypot(world.m21(), world.m22()) * dst.height() / src.height();
    if (sx < 1 || sy < 1) {
      int w = std::max(1, qRound(src.width() * std::min(1.0, sx)));
      int h = std::max(1, qRound(src.height() * std::min(1.0, sy)));
      src = src.scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
  }
  p.setRenderHint(QPainter::SmoothPixmapTransform, halftone);
  p.drawImage(QRectF(dst), src);
}

void copy_pixels(const Target& t, const Draw_state& s, int left, int top, int right, int bottom,
                 const Raster& source, int sleft, int stop, int sright, int sbottom) {
  if (source.empty()) return;
  QRect dst = box(left, top, right, bottom);
  QRect from = box(sleft, stop, sright, sbottom);
  if (dst.isEmpty() || from.isEmpty()) return;
  // A source that shares memory with the target, or a part that reaches
  // past the source (read as zeros), is read from a private copy of the
  // part; any other is read in place.
  const uint8_t* s0 = source.bits;
  const uint8_t* s1 = s0 + size_t(source.stride) * size_t(source.height);
  const uint8_t* t0 = t.raster.bits;
  const uint8_t* t1 = t0 ? t0 + size_t(t.raster.stride) * size_t(t.raster.height) : nullptr;
  const bool shared = (t0 && s0 < t1 && t0 < s1) || !QRect(0, 0, source.width, source.height).contains(from);
  QImage src = wrap(source);
  QRect part = from;
  if (shared) {
    src = src.copy(from);
    part = QRect(0, 0, from.width(), from.height());
  }
  Session ses(t);
  if (!ses.painter()) return;
  ses.apply(s);
  QPainter& p = *ses.painter();
  p.setCompositionMode(QPainter::CompositionMode_Source);
  p.setRenderHint(QPainter::SmoothPixmapTransform, false);
  p.drawImage(QRectF(dst), src, QRectF(part));
}

// ---- offscreen pages --------------------------------------------------------------

namespace {
struct Page {
  QImage image;
  QPainter painter;
  int64_t handle = 0;
};
std::map<int64_t, std::unique_ptr<Page>>& pages() {
  static std::map<int64_t, std::unique_ptr<Page>> p;
  return p;
}
}  // namespace

int64_t page_create(int width, int height, int dpi_x, int dpi_y) {
  if (width <= 0 || height <= 0 || int64_t(width) * height > (int64_t(1) << 28)) return 0;
  auto page = std::make_unique<Page>();
  page->image = QImage(width, height, QImage::Format_ARGB32);
  if (page->image.isNull()) return 0;
  page->image.fill(Qt::white);
  page->image.setDotsPerMeterX(qRound(std::max(1, dpi_x) / 0.0254));
  page->image.setDotsPerMeterY(qRound(std::max(1, dpi_y) / 0.0254));
  if (!page->painter.begin(&page->image)) return 0;
  int64_t h = qt::register_device(&page->painter, dpi_x, dpi_y);
  page->handle = h;
  pages()[h] = std::move(page);
  return h;
}

Raster page_raster(int64_t page) {
  auto it = pages().find(page);
  if (it == pages().end()) return {};
  QImage& img = it->second->image;
  Raster r;
  r.bits = img.bits();
  r.width = img.width();
  r.height = img.height();
  r.stride = int(img.bytesPerLine());
  return r;
}

void page_free(int64_t page) {
  auto it = pages().find(page);
  if (it == pages().end()) return;
  qt::unregister_device(page);
  it->second->painter.end();
  pages().erase(it);
}

}  // namespace brek_platform
