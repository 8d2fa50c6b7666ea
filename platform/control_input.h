#pragma once
// Input as a user gives it, sent to a native control through the platform's
// own event delivery. For tests: they drive real controls without Qt types.

#include <cstdint>
#include <string>

namespace brek_platform {

// Left click in the middle of the control (press and release).
void user_click(int64_t control);
// Double click in the middle of the control.
void user_double_click(int64_t control);
// Types the text, one key per character.
void user_type(int64_t control, const std::string& text);
// Presses and releases a key given by its virtual-key number (32 Space,
// 13 Enter, 65 A ...); press_only leaves it down.
void user_key(int64_t control, int virtual_key, bool press_only = false);
void user_key_release(int64_t control, int virtual_key);
// Clicks the list item at the index.
void user_pick_item(int64_t control, int64_t index);
// Sets the date of a date picker as the user would, by days from today.
void user_pick_date(int64_t control, int days_from_today);
// Whether a push button or check box is held down.
bool user_button_is_down(int64_t control);
// Turns the wheel over the control (120 per notch).
void user_wheel(int64_t control, int delta);

}  // namespace brek_platform
