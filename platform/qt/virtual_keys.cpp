#include "platform/qt/virtual_keys.h"

#include <cstring>

#include "platform/qt/x11_connection.h"

namespace brek_qt {

namespace {

struct Key_pair {
  int qt;
  int vk;
};

// Qt keys without a keypad meaning, the first of a virtual key's Qt keys
// being the one test input types. The punctuation keys are those of a US
// keyboard, shifted or not.
const Key_pair k_keys[] = {
    {Qt::Key_Backspace, 8},   {Qt::Key_Tab, 9},          {Qt::Key_Backtab, 9},     {Qt::Key_Clear, 12},
    {Qt::Key_Return, 13},     {Qt::Key_Enter, 13},       {Qt::Key_Shift, 16},      {Qt::Key_Control, 17},
    {Qt::Key_Alt, 18},        {Qt::Key_AltGr, 18},       {Qt::Key_Pause, 19},      {Qt::Key_CapsLock, 20},
    {Qt::Key_Escape, 27},     {Qt::Key_Space, 32},       {Qt::Key_PageUp, 33},     {Qt::Key_PageDown, 34},
    {Qt::Key_End, 35},        {Qt::Key_Home, 36},        {Qt::Key_Left, 37},       {Qt::Key_Up, 38},
    {Qt::Key_Right, 39},      {Qt::Key_Down, 40},        {Qt::Key_Print, 44},      {Qt::Key_Insert, 45},
    {Qt::Key_Delete, 46},     {Qt::Key_Meta, 91},        {Qt::Key_Super_L, 91},    {Qt::Key_Super_R, 92},
    {Qt::Key_Menu, 93},       {Qt::Key_NumLock, 144},    {Qt::Key_ScrollLock, 145},
    {Qt::Key_Semicolon, 186}, {Qt::Key_Colon, 186},      {Qt::Key_Equal, 187},     {Qt::Key_Plus, 187},
    {Qt::Key_Comma, 188},     {Qt::Key_Less, 188},       {Qt::Key_Minus, 189},     {Qt::Key_Underscore, 189},
    {Qt::Key_Period, 190},    {Qt::Key_Greater, 190},    {Qt::Key_Slash, 191},     {Qt::Key_Question, 191},
    {Qt::Key_QuoteLeft, 192}, {Qt::Key_AsciiTilde, 192}, {Qt::Key_BracketLeft, 219}, {Qt::Key_BraceLeft, 219},
    {Qt::Key_Backslash, 220}, {Qt::Key_Bar, 220},        {Qt::Key_BracketRight, 221}, {Qt::Key_BraceRight, 221},
    {Qt::Key_Apostrophe, 222}, {Qt::Key_QuoteDbl, 222},
    // Shifted digits of a US keyboard are their digit keys.
    {Qt::Key_Exclam, '1'},    {Qt::Key_At, '2'},         {Qt::Key_NumberSign, '3'}, {Qt::Key_Dollar, '4'},
    {Qt::Key_Percent, '5'},   {Qt::Key_AsciiCircum, '6'}, {Qt::Key_Ampersand, '7'}, {Qt::Key_Asterisk, '8'},
    {Qt::Key_ParenLeft, '9'}, {Qt::Key_ParenRight, '0'},
};

}  // namespace

int virtual_key(int k, Qt::KeyboardModifiers modifiers) {
  if (modifiers & Qt::KeypadModifier) {
    if (k >= Qt::Key_0 && k <= Qt::Key_9) return 96 + (k - Qt::Key_0);
    switch (k) {
      case Qt::Key_Asterisk: return 106;
      case Qt::Key_Plus: return 107;
      case Qt::Key_Minus: return 109;
      case Qt::Key_Period:
      case Qt::Key_Comma: return 110;
      case Qt::Key_Slash: return 111;
      default: break;
    }
  }
  if (k >= Qt::Key_A && k <= Qt::Key_Z) return 65 + (k - Qt::Key_A);
  if (k >= Qt::Key_0 && k <= Qt::Key_9) return 48 + (k - Qt::Key_0);
  if (k >= Qt::Key_F1 && k <= Qt::Key_F24) return 112 + (k - Qt::Key_F1);
  for (const Key_pair& p : k_keys)
    if (p.qt == k) return p.vk;
  return 0;
}

int qt_key(int vk) {
  if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9')) return vk;
  if (vk >= 112 && vk <= 135) return Qt::Key_F1 + (vk - 112);
  for (const Key_pair& p : k_keys)
    if (p.vk == vk) return p.qt;
  return 0;
}

namespace {

bool is_shifted_digit_symbol(int k) {
  switch (k) {
    case Qt::Key_Exclam: case Qt::Key_At: case Qt::Key_NumberSign: case Qt::Key_Dollar: case Qt::Key_Percent:
    case Qt::Key_AsciiCircum: case Qt::Key_Ampersand: case Qt::Key_Asterisk: case Qt::Key_ParenLeft:
    case Qt::Key_ParenRight:
      return true;
    default:
      return false;
  }
}

// X key codes of the main block, the same in the evdev and the older
// xfree86 sets: the digit row and the three rows of letters.
constexpr quint32 DIGIT_ROW = 10, DIGIT_ROW_END = 19;
struct Letter_row {
  quint32 first;
  const char* letters;  // as a US keyboard has them
};
constexpr Letter_row k_letter_rows[] = {{24, "QWERTYUIOP"}, {38, "ASDFGHJKL"}, {52, "ZXCVBNM"}};

// A letter of a layout that has no Latin letters (Cyrillic, Greek ...).
bool non_latin_letter(int k) { return k > 0xFF && k < 0x110000 && QChar::isLetter(char32_t(k)); }

// The Latin letter a letter key stands for, as desktop programs take it
// for their shortcuts: the key's letter in a Latin layout of the keyboard
// (a Russian user's English one), else the letter of its place on a US
// keyboard; 0 for a key off the letter rows.
int latin_letter_of(quint32 code) {
  namespace x = brek_platform::qt;
  for (uint32_t sym : x::x11_key_symbols(x::x11_connection(), uint8_t(code))) {
    if (sym >= 'A' && sym <= 'Z') return int(sym);
    if (sym >= 'a' && sym <= 'z') return int(sym - 'a' + 'A');
  }
  for (const Letter_row& row : k_letter_rows) {
    const quint32 length = quint32(std::strlen(row.letters));
    if (code >= row.first && code < row.first + length) return row.letters[code - row.first];
  }
  return 0;
}

}  // namespace

int virtual_key_of(const QKeyEvent* event) {
  const int k = event->key();
  const Qt::KeyboardModifiers mods = event->modifiers();
  // Synthesized input without a key code keeps the US places.
  const quint32 code = event->nativeScanCode();
  if (code != 0 && !(mods & Qt::KeypadModifier)) {
    // The digit row gives its digits whatever a layout types there ("&" and
    // "é" on a French keyboard, "&" as Shift+6 on a German one); with AltGr
    // it types signs ("{" is AltGr+7 on a German keyboard), which go by the
    // character.
    if (code >= DIGIT_ROW && code <= DIGIT_ROW_END && !(mods & Qt::GroupSwitchModifier))
      return code == DIGIT_ROW_END ? '0' : int('1' + (code - DIGIT_ROW));
    // A sign of a US digit key found elsewhere is no digit ("#" has a key of
    // its own on a German keyboard).
    if (is_shifted_digit_symbol(k)) return 0;
  }
  // A letter key names its Latin letter; with AltGr it types a sign.
  const int vk = virtual_key(k, mods);
  if (vk != 0 || code == 0 || (mods & Qt::GroupSwitchModifier) || !non_latin_letter(k)) return vk;
  return latin_letter_of(code);
}

uint32_t typed_char_of(const QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Dead_Circumflex: return '^';
    case Qt::Key_Dead_Grave: return '`';
    case Qt::Key_Dead_Tilde: return '~';
    case Qt::Key_Dead_Acute: return 0xB4;
    default: break;
  }
  const auto codes = event->text().toUcs4();
  if (codes.size() != 1) return 0;
  const uint32_t c = codes.front();
  return c >= 0x20 && c != 0x7F ? c : 0;
}

brek_platform::Key_modifiers key_modifiers_of(const QInputEvent* event) {
  brek_platform::Key_modifiers m;
  // A key event reads its own modifier key as down in its press and up in
  // its release, as the key state reads right after the event; the plain
  // input event's modifiers would not.
  const bool key = event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease;
  Qt::KeyboardModifiers mods = key ? static_cast<const QKeyEvent*>(event)->modifiers() : event->modifiers();
  m.shift = mods & Qt::ShiftModifier;
  m.ctrl = mods & Qt::ControlModifier;
  m.alt = mods & Qt::AltModifier;
  m.win = mods & Qt::MetaModifier;
  m.left_ctrl = m.ctrl;
  m.right_alt = mods & Qt::GroupSwitchModifier;
  return m;
}

uint8_t button_number(Qt::MouseButton button) {
  switch (button) {
    case Qt::LeftButton: return 1;
    case Qt::RightButton: return 2;
    case Qt::MiddleButton: return 3;
    case Qt::XButton1: return 4;
    case Qt::XButton2: return 5;
    default: return 0;
  }
}

uint8_t shift_bits(const QMouseEvent* event, bool double_click) {
  uint8_t bits = 0;
  Qt::KeyboardModifiers mods = event->modifiers();
  if (mods & Qt::ShiftModifier) bits |= 1;
  if (mods & Qt::AltModifier) bits |= 2;
  if (mods & Qt::ControlModifier) bits |= 4;
  Qt::MouseButtons buttons = event->buttons();
  if (buttons & Qt::LeftButton) bits |= 8;
  if (buttons & Qt::RightButton) bits |= 16;
  if (buttons & Qt::MiddleButton) bits |= 32;
  if (double_click) bits |= 64;
  return bits;
}

}  // namespace brek_qt
