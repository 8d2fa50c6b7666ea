#pragma once
// Inside the Qt window layer: the table of native handles and what the
// other Qt files (standard controls, timers, menus, paint panels) use to put
// their widgets on a form and have their input reported like the form's.
//
// Handles are never reused, so a stale handle resolves to nothing.
// Destroying a native object unregisters it at once and hides it; its
// memory is freed later, when no handler can still be running on it.
//
// A standard control reports its own input through its event filter
// (native_controls.cpp) and translate_event leaves registered controls
// alone, so nothing is reported twice; focus and the active control work
// for both kinds. A Space press never holds a button down: its release
// clicks, once.

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <functional>

#include "platform/native_forms.h"

namespace brek_platform::qt {

enum class Native_kind { NONE, FORM, COLUMN, CONTROL };

// The control reports its own clicks (push buttons, check boxes): the layer
// raises no click for a left press and release on it.
inline constexpr unsigned CONTROL_CLICKS_ITSELF = 1;

// The widget of a handle; nullptr for 0, stale and unknown handles.
QWidget* widget_of(Native_handle h);
Native_kind kind_of(Native_handle h);
// The handle of a registered widget, 0 for any other.
Native_handle handle_of(const QWidget* w);
// The form a form, column or control belongs to (0 for none).
Native_handle form_of(Native_handle h);
// The column that holds a control (0 for none).
Native_handle column_of(Native_handle control);
// The column new controls of the form go into; creates the form's default
// panel when the form has no column yet.
Native_handle current_column(Native_handle form);
// Where the controls of a column go: the content panel inside the
// column's panel (which scrolls it); nullptr for what names no column.
QWidget* column_content(Native_handle column);
// How far that content panel is scrolled up, pixels.
int column_scroll(Native_handle column);
// The nearest registered widget at or above w, within one window.
Native_handle registered_ancestor(const QWidget* w);

// Puts a control widget under the layer: w must already be a child of the
// column's content panel. Its input (pointer, wheel, keys, focus, resize) is then
// reported with the returned handle. flags: CONTROL_CLICKS_ITSELF. (The
// standard controls report their own input instead: widgets named in
// brek_qt's registry are left to them.)
Native_handle register_control(QWidget* w, Native_handle form, Native_handle column, unsigned flags = 0);
unsigned control_flags(Native_handle control);
// Registers any other object that belongs to a form (timers, menus):
// the handle resolves to nothing once obj is gone.
Native_handle register_object(QObject* obj, Native_handle form);
QObject* object_of(Native_handle h);

// Unregisters, hides and frees a native object (and its children) once no
// handler can be running on it.
void destroy_later(Native_handle h);
// Frees obj once no event delivery is on the stack. Qt's own deferred
// deletion is not enough: a nested loop (a popup menu, a message box) may
// run it while the event that opened the loop is still being delivered to
// the very widget it frees.
void free_later(QObject* obj);
// Frees what free_later holds, unless an event is being delivered.
void free_pending();

// Points and pixels at the layer's resolution.
double pixels_per_inch();
int to_px(double points);
double to_pt(double pixels);

// Depth of event delivery (QApplication::notify) on the main thread: 0
// when no event handler is on the stack. The application object counts it.
int delivery_depth();
struct Delivery_scope {
  Delivery_scope();
  ~Delivery_scope();
  Delivery_scope(const Delivery_scope&) = delete;
  Delivery_scope& operator=(const Delivery_scope&) = delete;
};

// Where a point of a widget on a form lies in the form's client area,
// pixels.
QPoint client_point(const QWidget* w, QPoint local);

// Reports to the program. Its receiver catches what the program raises;
// this is the last net, so that nothing ever unwinds through Qt.
template <class F>
void report(F&& f) {
  try {
    f();
  } catch (...) {
  }
}

template <class R, class F>
R report_value(R fallback, F&& f) {
  try {
    return f();
  } catch (...) {
    return fallback;
  }
}

// Called by the application object for every event before Qt delivers it;
// true when the event was consumed. Never throws.
bool translate_event(QObject* receiver, QEvent* event);

}  // namespace brek_platform::qt
