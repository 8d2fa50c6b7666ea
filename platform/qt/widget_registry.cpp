#include "platform/qt/widget_registry.h"

#include <QObject>
#include <QPointer>

#include <unordered_map>

namespace brek_qt {

namespace {

struct Registry {
  std::unordered_map<int64_t, QPointer<QWidget>> widgets;
  std::unordered_map<const QWidget*, int64_t> handles;
  // Far from small numbers, so handles of this registry never meet
  // handles that a layer counts from 1 on its own.
  int64_t next = int64_t{1} << 40;
};

Registry& registry() {
  static auto* r = new Registry();  // outlives every widget
  return *r;
}

}  // namespace

int64_t new_handle() { return ++registry().next; }

void register_widget(int64_t handle, QWidget* widget) {
  if (handle == 0 || !widget) return;
  Registry& r = registry();
  forget_widget(handle);
  r.widgets[handle] = widget;
  r.handles[widget] = handle;
  QObject::connect(widget, &QObject::destroyed, [handle, widget] {
    Registry& reg = registry();
    auto it = reg.handles.find(widget);
    if (it != reg.handles.end() && it->second == handle) reg.handles.erase(it);
    auto w = reg.widgets.find(handle);
    if (w != reg.widgets.end() && (w->second.isNull() || w->second.data() == widget)) reg.widgets.erase(w);
  });
}

void forget_widget(int64_t handle) {
  Registry& r = registry();
  auto it = r.widgets.find(handle);
  if (it == r.widgets.end()) return;
  if (!it->second.isNull()) r.handles.erase(it->second.data());
  r.widgets.erase(it);
}

QWidget* widget_of(int64_t handle) {
  if (handle == 0) return nullptr;
  Registry& r = registry();
  auto it = r.widgets.find(handle);
  return it == r.widgets.end() ? nullptr : it->second.data();
}

int64_t handle_of(const QWidget* widget) {
  if (!widget) return 0;
  Registry& r = registry();
  auto it = r.handles.find(widget);
  return it == r.handles.end() ? 0 : it->second;
}

QWidget* column_panel(int64_t column) {
  return column == 0 ? nullptr : widget_of(column);
}

}  // namespace brek_qt
