#include "platform/paint_panel.h"

#include <algorithm>
#include <cmath>

namespace brek_platform {

namespace {
Paint_panel_events g_ignore;
Paint_panel_events* g_receiver = nullptr;

constexpr double BAR_LIMIT = 2147483647.0;

// Whole units, never negative, never beyond what a bar can hold.
int64_t whole(double v) {
  if (!(v > 0)) return 0;
  return static_cast<int64_t>(std::min(std::trunc(v), BAR_LIMIT));
}
}  // namespace

Scroll_bar_setup scroll_bar_setup(double total, double surface, bool vertical) {
  Scroll_bar_setup s;
  if (!std::isfinite(total) || total < 0) total = 0;
  if (!std::isfinite(surface) || surface < 0) surface = 0;
  if (total > BAR_LIMIT) s.factor = (total - 1) / BAR_LIMIT;
  s.range = whole(total / s.factor);
  int64_t page = vertical ? std::min(whole(surface / s.factor), s.range) : whole(std::min(surface, total) / s.factor);
  s.page = page <= 0 ? 1 : page;
  s.maximum = std::max<int64_t>(0, s.range - s.page);
  s.visible = s.page < s.range;
  return s;
}

Paint_panel_events& paint_panel_events() { return g_receiver ? *g_receiver : g_ignore; }

Paint_panel_events* set_paint_panel_events(Paint_panel_events* receiver) {
  Paint_panel_events* old = g_receiver;
  g_receiver = receiver;
  return old;
}

}  // namespace brek_platform
