// The viewer's keys on other keyboard layouts, set on the test's own
// desktop as a user sets them, each key pressed through the X server at
// its place on the keyboard: the letters and digits are the keys the
// viewer knows, whatever the layout types there.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/clipboard.h"
#include "platform/test_events.h"
#include "tests/support/on_screen_rect.h"
#include "tests/support/own_desktop.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"
#include "tests/viewer/viewer_on_screen.h"
#include "viewer/move_to_dirs.h"

using namespace viewer_test;
namespace te = brek_platform::test_events;
namespace fs = std::filesystem;

namespace {

// X key codes: places on the keyboard, the same on every layout.
constexpr xcb_keycode_t KEY_1 = 10, KEY_7 = 16, KEY_Y = 29, KEY_I = 31, KEY_Z = 52, KEY_C = 54, KEY_V = 55,
                        CONTROL = 37, CAPS_LOCK = 66, F6 = 72, ALT_GR = 108;

// Keeps what the last key typed.
class Typed_viewer : public Test_viewer {
  BREK_CLASS(Typed_viewer)
 public:
  std::string typed;
  int64_t code = 0;
  bool on_key_down() override {
    typed = key_info.key_char;
    code = key_info.key_code;
    return Test_viewer::on_key_down();
  }
};

class ViewerKeyboardLayouts : public testing::Test {
 protected:
  void SetUp() override {
    if (!brek_test::own_desktop_failure().empty()) GTEST_SKIP() << brek_test::own_desktop_failure();
    ASSERT_TRUE(x.ok());
  }
  // The next test of the process starts on the usual keyboard.
  void TearDown() override {
    if (brek_test::own_desktop_failure().empty()) {
      EXPECT_TRUE(brek_test::set_keyboard_layout("us"));
    }
  }
  // The viewer showing the picture, its window with the keyboard.
  void start(const std::string& picture) {
    s = std::make_unique<Viewer_on_screen<Typed_viewer>>();
    s->v->open_file(picture);
    s->v->show();
    ASSERT_TRUE(te::wait_exposed(s->v->native));
    ASSERT_TRUE(x.pick(brek_test::x11_window_of(s->v)));
  }
  // The key at its place, with the keys held; then the program's events
  // until `done` holds (a key takes far less than the bound).
  bool press(xcb_keycode_t code, const std::vector<xcb_keycode_t>& held, const std::function<bool()>& done) {
    x.stroke(code, held);
    return brek_test::wait_until([&] {
      te::settle();
      return done();
    }, std::chrono::seconds(5));
  }
  bool inverse() { return s->v->current_image()->inverse; }

  x11_test::Client x;
  brek_test::Temp_dir dir;
  std::unique_ptr<Viewer_on_screen<Typed_viewer>> s;
};

}  // namespace

// The Russian layout alone, then with the English one, the Russian one
// active: I inverts, Ctrl+C copies and Ctrl+V pastes on the keys that type
// "ш", "с" and "м" there.
TEST_F(ViewerKeyboardLayouts, OnARussianKeyboardTheLetterKeysAreTheLettersOfTheirPlace) {
  ASSERT_TRUE(write_bmp(quadrants(120, 90), dir.file("a.bmp")));
  start(dir.file("a.bmp"));
  ASSERT_TRUE(brek_test::set_keyboard_layout("ru"));
  EXPECT_TRUE(press(KEY_I, {}, [&] { return s->v->typed == "ш"; }));
  EXPECT_TRUE(inverse());
  ASSERT_TRUE(brek_platform::clipboard_set_text("before"));
  EXPECT_TRUE(press(KEY_C, {CONTROL}, [] { return brek_platform::clipboard_text() != "before"; }));
  EXPECT_TRUE(press(KEY_V, {CONTROL}, [&] { return s->v->current_file == "<clipboard>"; }));

  ASSERT_TRUE(brek_test::set_keyboard_layout("us,ru", "grp:caps_toggle"));
  x.stroke(CAPS_LOCK);
  const bool was = inverse();
  EXPECT_TRUE(press(KEY_I, {}, [&] { return s->v->typed == "ш"; }));
  EXPECT_NE(inverse(), was);
}

// The German layout with the Russian one, the Russian one active: the key
// typing "н" (Y on a US keyboard) is the German keyboard's Z, and the key
// typing "я" (Z on a US keyboard) is its Y: the letters of the Latin
// layout beside the Russian one, not of their places on a US keyboard.
TEST_F(ViewerKeyboardLayouts, BesideAGermanLayoutTheRussianKeysAreTheGermanLetters) {
  ASSERT_TRUE(write_bmp(quadrants(120, 90), dir.file("a.bmp")));
  start(dir.file("a.bmp"));
  ASSERT_TRUE(brek_test::set_keyboard_layout("de,ru", "grp:caps_toggle"));
  x.stroke(CAPS_LOCK);
  EXPECT_TRUE(press(KEY_Z, {}, [&] { return s->v->typed == "я"; }));
  EXPECT_EQ(s->v->code, 'Y');
  EXPECT_TRUE(press(KEY_Y, {}, [&] { return s->v->typed == "н"; }));
  EXPECT_EQ(s->v->code, 'Z');
}

// A French keyboard types "&", "é", "\"", "'", "(", "-", "è", "_" and "ç"
// on the digit row unshifted: each key moves the picture shown to the
// target of its digit, pressed in the move window or in the viewer's.
TEST_F(ViewerKeyboardLayouts, OnAFrenchKeyboardTheDigitRowMovesToTheNineTargets) {
  std::string targets = "[Move_to_dirs]\n";
  for (int n = 1; n <= 9; ++n) {
    const std::string n_text = std::to_string(n);
    ASSERT_TRUE(fs::create_directories(dir.file("to" + n_text)));
    ASSERT_TRUE(write_bmp(quadrants(40, 30), dir.file("p" + n_text + ".bmp")));
    targets += n_text + " = \"" + dir.file("to" + n_text) + "\"\n";
  }
  ASSERT_TRUE(write_config_file("Collage_viewer/Collage_viewer.conf", targets));
  start(dir.file("p1.bmp"));
  ASSERT_TRUE(brek_test::set_keyboard_layout("fr"));
  ASSERT_TRUE(press(F6, {}, [&] {
    const Ref<C_Move_to_dirs> w = s->v->collage->move_dialog;
    return !w.is_none() && w->is_visible();
  }));
  const xcb_window_t move_window = brek_test::x11_window_of(s->v->collage->move_dialog);
  for (int n = 1; n <= 9; ++n) {
    const std::string name = "p" + std::to_string(n) + ".bmp";
    s->v->open_file(dir.file(name));
    te::settle();
    ASSERT_TRUE(x.pick(n % 2 == 1 ? move_window : brek_test::x11_window_of(s->v)));
    const std::string moved = dir.file("to" + std::to_string(n) + "/" + name);
    EXPECT_TRUE(press(xcb_keycode_t(KEY_1 + n - 1), {}, [&] { return fs::exists(moved); })) << name;
  }
}

// A German keyboard types "{" with AltGr+7: a sign, which goes by what it
// types, not the digit 7.
TEST_F(ViewerKeyboardLayouts, OnAGermanKeyboardAltGrWithADigitKeyIsNoDigit) {
  ASSERT_TRUE(write_bmp(quadrants(120, 90), dir.file("a.bmp")));
  start(dir.file("a.bmp"));
  ASSERT_TRUE(brek_test::set_keyboard_layout("de"));
  EXPECT_TRUE(press(KEY_7, {ALT_GR}, [&] { return s->v->typed == "{"; }));
  EXPECT_NE(s->v->code, '7');
}
