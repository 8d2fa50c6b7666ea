#pragma once
// The widgets behind a native form and its column panels.

#include <QWidget>

#include <vector>

#include "platform/native_forms.h"

class QScrollBar;

namespace brek_platform::qt {

// The window of one form. Its client area (the window less the border) is
// a child panel that holds the columns; client coordinates are that
// panel's.
class Form_widget : public QWidget {
  Q_OBJECT
 public:
  Form_widget();

  Native_handle handle = 0;
  bool dead = false;  // destroyed by the program: reports nothing more
  Native_handle current_column = 0;
  std::vector<Native_handle> columns;
  Native_handle default_button = 0;
  Native_handle cancel_button = 0;
  int updates = 0;
  // A repaint the window system asked for while updates were off: Qt
  // keeps what is dirty then and asks for no repaint of it again, so it
  // is asked for when they come back on.
  bool repaint_missed = false;

  QWidget* client() const { return client_; }
  int border() const { return border_; }
  void set_border(int px);
  // A modal run's window hands the keys on before it goes (keyboard_back.h).
  void setVisible(bool visible) override;

 protected:
  void closeEvent(QCloseEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void moveEvent(QMoveEvent* e) override;
  void showEvent(QShowEvent* e) override;
  bool event(QEvent* e) override;
  // Enter and Escape that a control passed on to its window.
  void keyPressEvent(QKeyEvent* e) override;

 private:
  void place_client();
  QWidget* client_ = nullptr;
  int border_ = 0;
};

// Enter presses the default button and Escape the cancel button, unless the
// focus is on a widget that takes the key itself; true when one was pressed.
bool dialog_key(Form_widget* form, int vk);
// The widget of a button's handle, whichever registry names it.
QWidget* button_widget(Native_handle h);

// One column panel. Its controls sit on a content panel inside it, which
// scrolls when they reach below the column (a form cut to a small screen
// leaves a column less room than its controls need).
class Column_widget : public QWidget {
  Q_OBJECT
 public:
  explicit Column_widget(QWidget* parent);
  Column_desc desc;
  // Where the column's controls go.
  QWidget* content() const { return content_; }
  // How far down the controls reach (pixels); below the column's height a
  // scroll bar shows and the column's room narrows by its width.
  void set_content_height(int px);
  // Scrolls so that w, a widget on the content panel, shows whole.
  void show_within(const QWidget* w);

 protected:
  void resizeEvent(QResizeEvent* e) override;
  void wheelEvent(QWheelEvent* e) override;

 private:
  void place();
  QWidget* content_ = nullptr;
  QScrollBar* bar_ = nullptr;
  int extent_ = 0;
};

}  // namespace brek_platform::qt
