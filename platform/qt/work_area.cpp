#include "platform/qt/work_area.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "platform/qt/native_form_frame.h"
#include "platform/qt/x11_connection.h"

namespace brek_platform::qt {

namespace {

// Edges in the server's pixels, right and bottom exclusive.
struct Edges {
  long left = 0, top = 0, right = 0, bottom = 0;
};

// A screen in the server's pixels: Qt keeps a screen's origin and scales
// its size.
Edges native_edges(QScreen* s) {
  const QRect g = s->geometry();
  const double ratio = s->devicePixelRatio() > 0 ? s->devicePixelRatio() : 1.0;
  return {g.x(), g.y(), g.x() + std::lround(g.width() * ratio), g.y() + std::lround(g.height() * ratio)};
}

// Reserved strips along the root's edges: left, right, top, bottom, then
// the start and end of each (EWMH _NET_WM_STRUT_PARTIAL).
using Strut = std::vector<uint32_t>;

std::vector<Strut> dock_struts(xcb_connection_t* c) {
  std::vector<Strut> out;
  for (uint32_t w : x11_words(c, x11_root(), "_NET_CLIENT_LIST")) {
    Strut s = x11_words(c, w, "_NET_WM_STRUT_PARTIAL");
    if (s.size() < 12) {
      // The older property reserves whole edges.
      s = x11_words(c, w, "_NET_WM_STRUT");
      if (s.size() < 4) continue;
      s.resize(4);
      s.insert(s.end(), {0, 0xFFFFu, 0, 0xFFFFu, 0, 0xFFFFu, 0, 0xFFFFu});
    }
    out.push_back(s);
  }
  return out;
}

bool spans(long from, long to, uint32_t start, uint32_t end) { return long(start) < to && long(end) >= from; }

// The screen less every strip that reaches into it.
Edges less_struts(Edges m, const std::vector<Strut>& struts, long root_w, long root_h) {
  for (const Strut& s : struts) {
    if (s[0] > 0 && long(s[0]) > m.left && spans(m.top, m.bottom, s[4], s[5])) m.left = std::min<long>(s[0], m.right);
    if (s[1] > 0 && root_w - long(s[1]) < m.right && spans(m.top, m.bottom, s[6], s[7]))
      m.right = std::max(root_w - long(s[1]), m.left);
    if (s[2] > 0 && long(s[2]) > m.top && spans(m.left, m.right, s[8], s[9])) m.top = std::min<long>(s[2], m.bottom);
    if (s[3] > 0 && root_h - long(s[3]) < m.bottom && spans(m.left, m.right, s[10], s[11]))
      m.bottom = std::max(root_h - long(s[3]), m.top);
  }
  return m;
}

// The screen within the manager's work area of the current desktop.
Edges within_workarea(Edges m, xcb_connection_t* c) {
  const std::vector<uint32_t> area = x11_words(c, x11_root(), "_NET_WORKAREA");
  const std::vector<uint32_t> desktop = x11_words(c, x11_root(), "_NET_CURRENT_DESKTOP");
  size_t i = desktop.size() == 1 ? size_t(desktop[0]) * 4 : 0;
  if (i + 4 > area.size()) i = 0;
  if (area.size() < 4) return m;
  const Edges a{long(area[i]), long(area[i + 1]), long(area[i]) + long(area[i + 2]),
                long(area[i + 1]) + long(area[i + 3])};
  const Edges r{std::max(m.left, a.left), std::max(m.top, a.top), std::min(m.right, a.right),
                std::min(m.bottom, a.bottom)};
  return r.right > r.left && r.bottom > r.top ? r : m;
}

// The work area as Qt's pixels of the screen: what the panels take off
// each edge, scaled as the screen is, taken off Qt's rectangle.
QRect in_qt_pixels(QScreen* s, const Edges& whole, const Edges& work) {
  const double ratio = s->devicePixelRatio() > 0 ? s->devicePixelRatio() : 1.0;
  auto off = [&](long native) { return int(std::ceil(double(native) / ratio - 1e-9)); };
  return s->geometry().adjusted(off(work.left - whole.left), off(work.top - whole.top), -off(whole.right - work.right),
                                -off(whole.bottom - work.bottom));
}

QRect qt_available(QScreen* s) {
  const QRect a = s->availableGeometry();
  return a.isEmpty() ? s->geometry() : a;
}

}  // namespace

QList<QRect> work_areas(const QList<QScreen*>& screens) {
  QList<QRect> out;
  xcb_connection_t* c = x11_connection();
  if (!c || !window_manager_runs()) {
    for (QScreen* s : screens) out << qt_available(s);
    return out;
  }
  // Struts count from the root's edges as they are now: a monitor added
  // or taken away changes its size after the connection began.
  const xcb_screen_t* root = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
  long root_w = root->width_in_pixels, root_h = root->height_in_pixels;
  const std::vector<Strut> struts = screens.size() > 1 ? dock_struts(c) : std::vector<Strut>{};
  if (screens.size() > 1) {
    if (auto* g = xcb_get_geometry_reply(c, xcb_get_geometry(c, root->root), nullptr)) {
      root_w = g->width;
      root_h = g->height;
      std::free(g);
    }
  }
  for (QScreen* s : screens) {
    const Edges whole = native_edges(s);
    const Edges work = screens.size() > 1 ? less_struts(whole, struts, root_w, root_h) : within_workarea(whole, c);
    const QRect r = in_qt_pixels(s, whole, work);
    out << (r.isEmpty() ? s->geometry() : r);
  }
  return out;
}

QRect work_area(QScreen* screen) {
  if (!screen) return {};
  const QList<QScreen*> all = QGuiApplication::screens();
  const QList<QRect> areas = work_areas(all);
  const qsizetype i = all.indexOf(screen);
  return i >= 0 && i < areas.size() ? areas[i] : qt_available(screen);
}

}  // namespace brek_platform::qt
