#pragma once
// Enumerations and records declared with C_Form.

#include <cstdint>
#include <string>

#include "baselib/geometry.h"
#include "runtime/object.h"

namespace brek {

enum class positioning : uint8_t { KEEP_ON_SCREEN, CENTER_ON_SCREEN, POSITION_AS_IS };
enum class sizing_options : uint8_t { FIT_TO_DISPLAY, FIT_TO_DESKTOP, SIZE_AS_IS };
enum class reason_closing : uint8_t { USER, PROGRAM, SHUTDOWN };
enum class layout_on_form : uint8_t { CENTER, LEFT, RIGHT, TOP, BOTTOM };
enum class controls_layout_mainly_for_horizontal_columns : uint8_t {
  CONTROLS_LEFT,
  CONTROLS_RIGHT,
  CONTROLS_CENTER,
  CONTROLS_JUSTIFY,
  CONTROLS_LEFT_LAST_RIGHT,
  CONTROLS_TOP_TO_BOTTOM,
  CONTROLS_VERTICAL_2,
  CONTROLS_LEFT_LABELS_ABOVE,
  CONTROLS_MANUAL,
};
using controls_layout = controls_layout_mainly_for_horizontal_columns;
enum class mobile_configuration : uint8_t { SINGLE_TOP_BOTTOM, ALL_TOP_BOTTOM };
enum class button_mouse : uint8_t { NO_B, LMB, RMB, MMB, XB1, XB2 };
enum class action_accept_by_default : uint8_t { ACCEPT, DECLINE };
enum class state_of_form : uint8_t { NORMAL, MINIMIZED, MAXIMIZED };
// Text alignment of labels and memos.
enum class text_alignment : uint8_t { LEFT_ALIGN, CENTER_ALIGN, RIGHT_ALIGN };

// Bits of the shift state that pointer events carry.
namespace shift_state {
inline constexpr uint8_t SHIFT = 1;
inline constexpr uint8_t ALT = 2;
inline constexpr uint8_t CTRL = 4;
inline constexpr uint8_t LEFT = 8;
inline constexpr uint8_t RIGHT = 16;
inline constexpr uint8_t MIDDLE = 32;
inline constexpr uint8_t DOUBLE = 64;
}  // namespace shift_state

// The key of the current key event, filled by the event routing.
struct St_key_info__C_Form {
  int64_t key_code = 0;
  std::string key_text;
  uint8_t reserved = 0;  // left 0
  uint8_t toggled = 0;
  uint8_t shift = 0;
  uint8_t ctrl = 0;
  uint8_t alt = 0;
  uint8_t win = 0;
  // The character a key down types on the user's keyboard layout (UTF-8),
  // empty when none. Keys that mean a character are matched by it; the
  // virtual key code is the key's place on a US keyboard.
  std::string key_char;
  // Set by a key-down handler that wants the key taken from the control.
  uint8_t swallow = 0;
};

// Size request of a new column; a default record asks for the defaults.
struct St_sizes_col__C_Form {
  double size = 0;     // width and height, points; 0, negative or NaN: 200
  double extent = 0;   // points
  uint8_t labels_right = 0;
  uint8_t native_flag = 0;
  std::string inside;  // host column's name; empty: the form's free area
};

class C_Control;

// Where the layout puts a control.
struct St_c_rep__C_Form {
  Weak<C_Control> control;
  rect place;
  uint8_t label_shares_line = 0;
};

}  // namespace brek
