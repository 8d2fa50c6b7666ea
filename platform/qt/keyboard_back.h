#pragma once
// Every modal run (message and question boxes, dialogs, file and folder
// dialogs: Native_forms::modal_run_begins) hands the keyboard back when it
// closes, to the window that had it when it opened, or when no window of
// ours had it, to `owner`, the window it is run over, which a slow window
// manager may not yet have focused, or whose keys another program had. The
// window system gives the focus of a closed window to whatever it likes,
// or to nothing (without a window manager nobody hands it on), and a
// window left without it takes no key until it is clicked.

#include <QPointer>
#include <QWidget>

namespace brek_platform::qt {

class Keyboard_back {
 public:
  explicit Keyboard_back(QWidget* owner);
  ~Keyboard_back();
  Keyboard_back(const Keyboard_back&) = delete;
  Keyboard_back& operator=(const Keyboard_back&) = delete;

 private:
  QPointer<QWidget> to_;
};

}  // namespace brek_platform::qt
