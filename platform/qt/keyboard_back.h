#pragma once
// Every modal run (message and question boxes, dialogs, file and folder
// dialogs: Native_forms::modal_run_begins) hands the keyboard back when it
// closes, to the window that had it when it opened, or when no window of
// ours had it, to `owner`, the window it is run over, which a slow window
// manager may not yet have focused, or whose keys another program had. The
// window system gives the focus of a closed window to whatever it likes,
// or to nothing (without a window manager nobody hands it on), and a
// window left without it takes no key until it is clicked. So the run's
// window, while it has the keys, hands them over itself as it leaves the
// screen (a program may move the focus between its own windows while it
// holds it): no key typed as it closes goes elsewhere. A manager may still
// give the focus to the window the run was over on the way (fluxbox): a
// key that reaches another of our windows then is passed on, until one
// reaches the window or a button is pressed.

#include <QPointer>
#include <QWidget>

namespace brek_platform::qt {

class Keyboard_back {
 public:
  explicit Keyboard_back(QWidget* owner);
  ~Keyboard_back();
  Keyboard_back(const Keyboard_back&) = delete;
  Keyboard_back& operator=(const Keyboard_back&) = delete;

  // Called as a window is about to hide: while it has the keys, the
  // innermost run under way hands them to its window now.
  static void before_hide(QWidget* closing);
  // Called with every event the application delivers; true when it was a
  // key passed on to the window the keys were handed to.
  static bool pass_on(QObject* receiver, QEvent* event);

 private:
  QPointer<QWidget> to_;
  QPointer<QWidget> owner_;
};

}  // namespace brek_platform::qt
