#pragma once
// Helpers of the tests of the viewer's commands, keys and pointer input: a
// boxed viewer whose messages are recorded, input sent through the event
// routing as the window layer sends it, and file lists built by hand.

#include <string>
#include <vector>

#include "forms/event_routing.h"
#include "tests/viewer/viewer_test_support.h"

namespace viewer_input {

using namespace viewer_test;
using brek_platform::Key_modifiers;

// A viewer on the window layer (paint box w x h pixels) whose messages are
// recorded instead of shown.
class Input_box : public Boxed {
 public:
  Input_box(int w = 800, int h = 600);
  ~Input_box();
  std::vector<std::string> messages;
  // The last message, "" when none.
  std::string last_message() const { return messages.empty() ? std::string() : messages.back(); }

  // A key pressed and released (virtual key code and modifiers).
  void key(int vk, const Key_modifiers& mods = {});
  // Pointer input at a point of the form (points).
  void press(point at, int button = 1);
  void move(point at);
  void release(point at, int button = 1);
  void wheel(point at, int delta);
  void menu(const std::string& key);
  // A right click at a point that opens the popup menu and chooses the
  // item of that tag (none when negative); the menu's text as shown.
  std::string right_click(point at, int64_t choose_tag = -1);
};

Key_modifiers shift();
Key_modifiers ctrl();
Key_modifiers alt();

// Writes a w x h picture file (BMP); fails the test when it cannot.
void picture(const std::string& path, int w = 40, int h = 30);
// Appends an entry to the viewer's list with its cell (device pixels).
Ref<C_Image> add_entry(const Ref<Test_viewer>& v, const std::string& name, const rect& cell);

}  // namespace viewer_input
