#pragma once
// Qt's keys and mouse state in the terms the forms toolkit uses: Windows
// virtual-key numbers, modifier flags, button numbers and shift-state bits.
//
// Letters and digits name their virtual keys on any layout, as desktop
// shortcuts do (virtual_key_of): the digit row by its X key codes (10-19)
// unless AltGr types a sign there, so "é" on a French keyboard is 2 and
// "#" on a German one is not 3; a non-Latin letter by the key's letter in
// a Latin layout of the keymap (core map, asked per key), else its place
// on a US keyboard. A dead circumflex types "^".

#include <QInputEvent>
#include <QKeyEvent>
#include <QMouseEvent>

#include "platform/native_forms.h"

namespace brek_qt {

// The virtual-key number of a Qt key (keypad keys by the keypad flag);
// 0 for keys without one.
int virtual_key(int qt_key, Qt::KeyboardModifiers modifiers);
int virtual_key_of(const QKeyEvent* event);
// The character a key press types, its dead key's own character for a dead
// key ("^" for a dead circumflex); 0 for none and for control characters.
uint32_t typed_char_of(const QKeyEvent* event);
// The Qt key a keyboard reports for a virtual key (test input); 0 for none.
int qt_key(int vk);
brek_platform::Key_modifiers key_modifiers_of(const QInputEvent* event);
// 1 left, 2 right, 3 middle, 4 and 5 the extra buttons, 0 none.
uint8_t button_number(Qt::MouseButton button);
// Shift-state bits: 1 Shift, 2 Alt, 4 Ctrl, 8 left, 16 right, 32 middle,
// 64 double click.
uint8_t shift_bits(const QMouseEvent* event, bool double_click);

}  // namespace brek_qt
