#include "platform/qt/keyboard_back.h"

#include <QApplication>
#include <QKeyEvent>

#include <algorithm>
#include <memory>
#include <set>
#include <vector>

#include "platform/qt/x11_connection.h"

namespace brek_platform::qt {

namespace {

// The runs under way, the innermost last. Never destroyed.
std::vector<Keyboard_back*>& runs() {
  static auto* list = new std::vector<Keyboard_back*>();
  return *list;
}

// The window a closed run handed the keys to, until a key reached it, a
// button was pressed or another run began.
QPointer<QWidget>& keys_to() {
  static auto* to = new QPointer<QWidget>();
  return *to;
}

// The run's window, going: it names the window the keys go to as the one
// it belongs to (a manager gives the focus of a closing dialog to that:
// fluxbox), gives them to it, and leaves the screen at once, before a
// manager answers the change by giving them back to it.
void hand_over(xcb_connection_t* c, xcb_window_t from, xcb_window_t to) {
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, from, XCB_ATOM_WM_TRANSIENT_FOR, XCB_ATOM_WINDOW, 32, 1, &to);
  xcb_set_input_focus(c, XCB_INPUT_FOCUS_PARENT, to, XCB_CURRENT_TIME);
  xcb_unmap_window(c, from);
  // As a window leaves the screen (ICCCM): the manager may not see the
  // unmap of a window it framed.
  xcb_unmap_notify_event_t e{};
  e.response_type = XCB_UNMAP_NOTIFY;
  e.event = x11_root();
  e.window = from;
  xcb_send_event(c, 0, x11_root(), XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                 reinterpret_cast<const char*>(&e));
  xcb_flush(c);
}

}  // namespace

Keyboard_back::Keyboard_back(QWidget* owner)
    : to_(QApplication::activeWindow() ? QApplication::activeWindow() : owner ? owner->window() : nullptr),
      owner_(owner ? owner->window() : nullptr) {
  runs().push_back(this);
  keys_to() = nullptr;
}

Keyboard_back::~Keyboard_back() {
  auto& list = runs();
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
  // Another modal window still open keeps the keyboard; a hidden or
  // minimized window is not brought back by a run that closed.
  if (!to_ || !to_->isVisible() || to_->isMinimized()) return;
  const QWidget* modal = QApplication::activeModalWidget();
  if (modal && modal != to_) return;
  to_->activateWindow();
}

void Keyboard_back::before_hide(QWidget* closing) {
  xcb_connection_t* c = x11_connection();
  QWidget* const window = closing ? closing->window() : nullptr;
  // Only a run's own window: the innermost modal one.
  if (!c || !window || runs().empty() || QApplication::activeModalWidget() != window) return;
  const Keyboard_back& run = *runs().back();
  QWidget* to = run.to_;
  // A modal window that stays open keeps the keys: the one this run was
  // over takes them.
  QWidget* staying = nullptr;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w != window && w->isVisible() && w->isModal() && w != to) staying = w;
  if (staying && !(to && to->isModal())) to = staying == run.owner_ ? staying : nullptr;
  if (!to || to == window || !to->isVisible() || to->isMinimized() || !to->internalWinId()) return;
  // While it has them: the user may have given them to another program.
  const auto from = xcb_window_t(window->internalWinId());
  X11_reply<xcb_get_input_focus_reply_t> focus(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
  if (!focus || focus->focus != from) return;
  hand_over(c, from, xcb_window_t(to->internalWinId()));
  keys_to() = to;
}

bool Keyboard_back::pass_on(QObject* receiver, QEvent* event) {
  // Keys whose press was passed on: their release follows.
  static auto* passed = new std::set<int>();
  static bool passing = false;  // a key passed on is under way
  const QEvent::Type type = event->type();
  if (passing) return false;
  QPointer<QWidget>& to = keys_to();
  if (type == QEvent::MouseButtonPress) to = nullptr;
  if ((type != QEvent::KeyPress && type != QEvent::KeyRelease) || !receiver->isWidgetType()) return false;
  const int key = static_cast<QKeyEvent*>(event)->key();
  QWidget* window = static_cast<QWidget*>(receiver)->window();
  const bool release_of_passed = type == QEvent::KeyRelease && passed->erase(key) > 0;
  if (!to || !to->isVisible() || QApplication::activeModalWidget() || QApplication::activePopupWidget()) {
    to = nullptr;
    return false;
  }
  // A key pressed in the window: the keys are where they belong.
  if (window == to) {
    if (type == QEvent::KeyPress) to = nullptr;
    return false;
  }
  // A key that reaches another window of ours on the way is the target's;
  // the release of a key pressed before the run closed stays where it is.
  if (type == QEvent::KeyRelease && !release_of_passed) return false;
  if (type == QEvent::KeyPress) passed->insert(key);
  std::unique_ptr<QEvent> copy(event->clone());
  struct Passing {
    Passing() { passing = true; }
    ~Passing() { passing = false; }
  } scope;
  QApplication::sendEvent(to->focusWidget() ? to->focusWidget() : to.data(), copy.get());
  return true;
}

}  // namespace brek_platform::qt
