#pragma once
// Test hooks of the window layer: user input synthesized at a native handle
// (a form, a column or a control) and delivered the way the platform
// delivers real input, so tests see what a user's action would do. Points
// are client points of the widget the handle names. Each function returns
// false when the handle names nothing.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/native_forms.h"

namespace brek_platform::test_events {

// Buttons: 1 left, 2 right, 3 middle.
bool mouse_move(Native_handle target, Point_pt at);
bool mouse_press(Native_handle target, Point_pt at, int button = 1);
bool mouse_release(Native_handle target, Point_pt at, int button = 1);
// Press and release.
bool click(Native_handle target, Point_pt at, int button = 1);
// Press, release, then the second press the platform reports as a double
// click, and its release.
bool double_click(Native_handle target, Point_pt at);
// Puts the screen's pointer at a point of the screen (points), as the user
// moving the mouse there.
void move_screen_pointer(Point_pt at);
// One wheel turn: 120 per notch, negative towards the user.
bool wheel(Native_handle target, Point_pt at, int delta, int delta_x = 0);
// A key pressed and released at the target, by its Windows virtual-key
// code; text is what the key types (empty: none).
bool key(Native_handle target, int vk, const Key_modifiers& mods = {}, const std::string& text = "");
bool key_press(Native_handle target, int vk, const Key_modifiers& mods = {}, const std::string& text = "");
bool key_release(Native_handle target, int vk, const Key_modifiers& mods = {});
// A key as the window system reports it for the window of the target:
// unlike key_press, it passes the application's own handling of real
// keys, so a window that a modal dialog blocks does not get it. repeat
// marks a key held down.
bool window_key_press(Native_handle target, int vk, const Key_modifiers& mods = {}, const std::string& text = "",
                      bool repeat = false);
bool window_key_release(Native_handle target, int vk, const Key_modifiers& mods = {}, const std::string& text = "",
                        bool repeat = false);
// A click (press and release) as the window system reports it for the
// window of the target, at a point of the target: like window_key_press,
// a window that a modal dialog blocks does not get it.
bool window_click(Native_handle target, Point_pt at, int button = 1);
// A key pressed and released as the keyboard gives it: at the widget that
// has the focus in the form's window (the form itself when none has).
bool key_at_focus(Native_handle form, int vk, const Key_modifiers& mods = {}, const std::string& text = "");
// The key that types `character` on a German keyboard ("de" layout),
// pressed and released at the target as that keyboard reports it: its key,
// modifiers, text and native codes ("{" is AltGr+7, "^" a dead key).
// False for a character the table does not hold.
bool german_key(Native_handle target, const std::string& character);
// Files dragged from a file manager and dropped at a point of the target.
bool drop_files(Native_handle target, const std::vector<std::string>& paths, Point_pt at);
// The window's close box.
bool close(Native_handle form);
// Gives the keyboard focus to the target.
bool focus(Native_handle target);

// Runs task from the event loop after delay_ms (0: at the next turn).
void post_task(std::function<void()> task, int delay_ms = 0);
// The next modal message box or question that opens is answered: true
// presses its Yes or OK button, false its No button (or closes it). Its
// place and size on the screen, in pixels, go to *where and its text to
// *text when given.
void answer_next_message(bool yes, Rect_pt* where = nullptr, std::string* text = nullptr);
// Drops what was queued and has not happened yet: answers for message
// boxes and file dialogs that did not open, tasks posted for later. The
// test main calls it as each test starts, so none carries over.
void forget_pending();
// Whether a modal window of the platform (a message box) is open now.
bool modal_window_open();

// What an open, save or directory dialog showed when a test answered it.
struct File_dialog_seen {
  bool save = false;
  bool directories = false;         // a directory dialog
  bool multi_select = false;
  bool own_widgets = false;         // the library's dialog, not the desktop's
  bool confirms_overwrite = false;  // a save asks before replacing a file
  std::string title;
  std::string directory;
  std::vector<std::string> filters;
  std::string default_suffix;
  std::string proposed;             // the name in its name field
  Rect_pt place;                    // its frame on the screen, pixels
};
// The next file or directory dialog that is open and waiting is answered
// (answers queue up, one per dialog or per question a dialog asks): with
// accept, the names (relative to the dialog's directory, or full paths;
// several for a multiple choice) are typed into its name field and
// confirmed; otherwise it is cancelled. What it showed goes to *seen.
void answer_next_file_dialog(bool accept, const std::vector<std::string>& names = {},
                             File_dialog_seen* seen = nullptr);

// Lets pending events run, including deferred deletions (test bodies only:
// no handler is on the stack there).
void settle();
// How many top-level native windows exist, shown or hidden, until they are
// freed.
int native_window_count();
// Waits until the form's window is on the screen and painted; false after
// timeout_ms.
bool wait_exposed(Native_handle form, int timeout_ms = 5000);

// Where a control shows on its form's client area (points): its column's
// scrolling counted. The zero rectangle for a handle of no control.
Rect_pt shown_bounds(Native_handle control);

// A plain native control (an empty panel that takes the focus) in the
// form's current column, at bounds (points, in the column); 0 when the
// form has no column.
Native_handle add_control(Native_handle form, Rect_pt bounds);

}  // namespace brek_platform::test_events
