#pragma once
// The collage print editor on a real window (offscreen, 96 pixels per
// inch): built as the viewer builds it, shown, with input sent to its
// paint box and its window through the platform's test hooks, and its
// sheet painted into the box's own back buffer when a test asks.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "drawing/paintbox.h"
#include "forms/screen.h"
#include "images/image.h"
#include "platform/native_forms.h"
#include "printing/edit_collage_print.h"
#include "tests/support/on_window_layer.h"

namespace editor_test {

using namespace brek;

inline constexpr uint32_t WHITE = 0xFFFFFFFFu, RED = 0xFFFF0000u, GREEN = 0xFF00FF00u, BLUE = 0xFF0000FFu;
inline constexpr uint32_t BLACK = 0xFF000000u, CYAN = 0xFF00FFFFu, YELLOW = 0xFFFFFF00u;

// Messages are written down, never shown.
class Quiet_screen : public C_Screen {
  BREK_CLASS(Quiet_screen)
 public:
  std::vector<std::string> messages;
  void message(const Ref<C_Form>& form, const std::string& text) override { messages.push_back(text); }
  // Questions are written down and answered with `answer`.
  std::vector<std::string> questions;
  bool answer = true;
  bool ask_yes_no(const Ref<C_Form>& form, const std::string& text) override {
    questions.push_back(text);
    return answer;
  }
};

// A picture that is no file (as a pasted one): w x h pixels of one colour
// (0xAARRGGBB), or of four quadrants (top-left, top-right, bottom-right,
// bottom-left) when more colours are given.
Ref<C_Image> pasted(int w, int h, uint32_t colour);
Ref<C_Image> pasted(int w, int h, uint32_t tl, uint32_t tr, uint32_t br, uint32_t bl);
Pixels quadrants(int w, int h, uint32_t tl, uint32_t tr, uint32_t br, uint32_t bl);

class Editor : public ::testing::Test, protected brek_test::On_window_layer<Quiet_screen> {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A card of a pasted picture whose size in points is w x h (multiples of
  // 3 make whole pixels), moved to (x, y).
  int64_t add(double x, double y, double w, double h, uint32_t colour);
  void set_rect(int64_t i, const rect& r) { e->cards.at(i)->rect = r; }
  rect card_rect(int64_t i) const { return e->cards.get(i).rect; }
  std::vector<int64_t> selected() const;
  std::vector<int64_t> serials() const;

  // The whole sheet painted into the back buffer now.
  void paint();
  // A pixel of the back buffer at a point of the box (opaque).
  uint32_t at(double x, double y) const;

  // Input at points of the paint box.
  void press(double x, double y, int button = 1);
  void release(double x, double y, int button = 1);
  // The sheet is painted before the pointer moves, as between real moves.
  void move(double x, double y);
  void drag(double x0, double y0, double x1, double y1);
  void click(double x, double y, int button = 1) {
    press(x, y, button);
    release(x, y, button);
  }
  void double_click(double x, double y, int button = 1);
  void wheel(double x, double y, int delta, int delta_x = 0);
  // A key pressed and released at the window.
  void key(int vk, brek_platform::Key_modifiers mods = {});
  // Shift or Ctrl held down (by its own key) or let go.
  void hold(int vk, bool down);

  static brek_platform::Key_modifiers shift() {
    brek_platform::Key_modifiers m;
    m.shift = true;
    return m;
  }
  static brek_platform::Key_modifiers ctrl() {
    brek_platform::Key_modifiers m;
    m.ctrl = true;
    return m;
  }

  Ref<C_Edit_collage_print> e;
};

// A fixture of these tests skipped where there is no X server.
template <class Fixture>
class On_x_server : public Fixture {
 protected:
  void SetUp() override {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) GTEST_SKIP() << "no X server";
    Fixture::SetUp();
  }
};

}  // namespace editor_test
