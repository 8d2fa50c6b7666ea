#pragma once
// Which widget each native handle names. Forms, column panels and controls
// are all QWidgets; the program knows them only by their 64-bit handles.
// A handle whose widget was destroyed resolves to nothing.

#include <QWidget>

#include <cstdint>

namespace brek_qt {

// A fresh handle, never 0 and never handed out twice in the process.
int64_t new_handle();
// Names the widget by the handle until the widget is destroyed.
void register_widget(int64_t handle, QWidget* widget);
void forget_widget(int64_t handle);
// The widget of a handle, nullptr for 0, unknown or destroyed ones.
QWidget* widget_of(int64_t handle);
// The handle of a registered widget, 0 for any other.
int64_t handle_of(const QWidget* widget);

// The panel widget of a column handle (the window layer names its panels
// here); nullptr for a column it does not know.
QWidget* column_panel(int64_t column);

}  // namespace brek_qt
