#pragma once
// The rules by which native notifications become events of a form: the
// depth gates per kind, the re-entry flags, first chance for the control
// under the pointer, wheel folding, key records from virtual keys and
// characters, numeric edits, double clicks, clicks of the right and middle
// buttons, drops, and the exception guard around every handler. The native
// layer reports through platform/native_forms.h; the bridge resolves the
// handles and calls these functions, which tests call directly.
//
// The window system's close of a form inside an event of its own (work
// that lets messages run) is refused: the work would run on without its
// form; the user stops it with the long-operation window's Cancel. The
// program's own close and the session's end go ahead.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "forms/event_kind.h"
#include "forms/event_queue.h"
#include "forms/form_types.h"
#include "platform/native_forms.h"
#include "runtime/object.h"

namespace brek {

class C_Form;
class C_Control;

namespace Event_routing {

using brek_platform::Key_modifiers;
using brek_platform::Wheel_result;

// A pointer event: place on the form and on the control, button and shift.
struct Pointer {
  point at;          // client points of the form
  point at_control;  // points relative to the control
  button_mouse button = button_mouse::NO_B;
  uint8_t shift = 0;
};

// Wheel turns closer together than this are folded into one event.
inline constexpr int64_t WHEEL_FOLD_MS = 2;

// Runs handler between event_begin and event_end of the form, sender being
// a control or the form (nullptr: the form). Returns whether it ran now (a
// queued event runs later from event_end). guarded: an exception of the
// handler that derives from Brek_Exception is raised again after the event
// is closed, any other is recorded and dropped; unguarded: every exception
// passes on after the event is closed.
bool bracket(const Ref<C_Form>& form, event_kind kind, Brek_object* sender,
             const std::function<void()>& handler, bool guarded = true, const Event_extra& extra = {});

// ---- pointer ----
// A left click (the platform's click) of the form, a column or a control.
void click(const Ref<C_Form>& form, const Ref<C_Control>& control, point at);
void mouse_move(const Ref<C_Form>& form, const Ref<C_Control>& control, const Pointer& p);
// The platform saw a double click: the next mouse_down raises one.
void double_click_pending();
void mouse_down(const Ref<C_Form>& form, const Ref<C_Control>& control, const Pointer& p);
void mouse_up(const Ref<C_Form>& form, const Ref<C_Control>& control, const Pointer& p);
// Wheel deltas (120 per notch). A turn less than WHEEL_FOLD_MS after the
// last delivered one is folded: the result asks for wheel_flush later.
Wheel_result wheel(const Ref<C_Form>& form, int delta, int delta_x, point at);
// Delivers what folded turns left pending; true when the form consumed it.
bool wheel_flush(const Ref<C_Form>& form);

// ---- keys ----
// Text of a virtual key. Letters, digits, Backspace, Enter and Space give
// their character; the punctuation keys give their character and the code
// becomes 0; code 0 and any other key give "".
std::string virtual_key_text(int64_t& code);
St_key_info__C_Form key_info_from_virtual_key(int64_t vk, const Key_modifiers& mods);
St_key_info__C_Form key_info_from_char(uint32_t ch, const Key_modifiers& mods);
// What a numeric edit lets through: digits, ".", ",", "+", "-", Backspace,
// and the keys that leave or close a field (Tab, Enter, Escape), which
// type nothing into it.
bool numeric_char_allowed(uint32_t ch);
// control None: the form or one of its columns. true: the key is taken
// from the native control.
bool key_down(const Ref<C_Form>& form, const Ref<C_Control>& control, int64_t vk, const Key_modifiers& mods);
bool key_up(const Ref<C_Form>& form, const Ref<C_Control>& control, int64_t vk, const Key_modifiers& mods);
// Returns the character to pass on, 0 when it was taken away.
uint32_t key_press(const Ref<C_Form>& form, const Ref<C_Control>& control, uint32_t ch, const Key_modifiers& mods);

// ---- window ----
// true: the close may go ahead.
bool close_query(const Ref<C_Form>& form);
// true: free the native form now; false: only hide it.
bool closed(const Ref<C_Form>& form);
void session_ending(const Ref<C_Form>& form);
void activated(const Ref<C_Form>& form, bool active);
void shown(const Ref<C_Form>& form);
void resized(const Ref<C_Form>& form);
void control_resized(const Ref<C_Form>& form, const Ref<C_Control>& control);
void moved(const Ref<C_Form>& form);

// ---- controls ----
void value_changed(const Ref<C_Form>& form, const Ref<C_Control>& control);
void selection_changed(const Ref<C_Form>& form, const Ref<C_Control>& control);
void focus(const Ref<C_Form>& form, const Ref<C_Control>& control, bool entering);
void timer(const Ref<C_Form>& form, const Ref<C_Control>& timer_control);
void animation(const Ref<C_Form>& form, const Ref<C_Control>& control);
void menu_chosen(const Ref<C_Form>& form, const std::string& key);
// Files dropped on the form. Only when the form accepts the drop does the
// command line become the program's path followed by the names and
// on_command_line run.
void files_dropped(const Ref<C_Form>& form, const std::vector<std::string>& names, point at);

// ---- process-wide state ----
// The key-down re-entry flag (the modal show clears it for its duration).
bool key_down_running();
void set_key_down_running(bool running);
// Once the application terminates, timer handlers are skipped.
void set_terminating(bool terminating);
// Forgets the routing state of the process (tests).
void reset_state();

}  // namespace Event_routing
}  // namespace brek
