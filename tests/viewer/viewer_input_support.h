#pragma once
// Helpers of the tests of the viewer's commands, keys and pointer input: a
// boxed viewer whose messages are recorded, input sent through the event
// routing as the window layer sends it, folders of pictures opened and
// listed as the program does, and file lists built by hand.

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "forms/event_routing.h"
#include "tests/support/temp_dir.h"
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
  // item of that tag (none when negative), telling whether it could; the
  // menu's text as shown.
  std::string right_click(point at, int64_t choose_tag = -1, bool* chosen = nullptr);
};

Key_modifiers shift();
Key_modifiers ctrl();
Key_modifiers alt();

// Writes a w x h picture file (BMP), its folders made first; fails the
// test when it cannot.
void picture(const std::string& path, int w = 40, int h = 30);
// count pictures named stem + first.bmp, stem + (first + 1).bmp, ...
void numbered_pictures(const std::string& stem, int first, int count, int w = 40, int h = 30);
// Changes the file's modes (and back) until its status-change time moved:
// the kernel's clock for file times is coarse.
void change_modes(const std::string& path);
// Appends an entry to the viewer's list with its cell (device pixels).
Ref<C_Image> add_entry(const Ref<Test_viewer>& v, const std::string& name, const rect& cell);

// Ticks of the background timer; each lets a known tree be listed again
// at once.
void ticks(const Ref<Test_viewer>& v, int n);
// A folder opened in the box's viewer in a view mode, then listed and laid
// out by n ticks, as the program shows a directory.
Ref<Test_viewer> show_folder(Boxed& b, const std::string& dir, int n, mode_view mode = mode_view::COLLAGE);

// The start of most command, key and pointer tests: an 800 x 600 input
// box b, its viewer v and a folder dir of the test's own.
class Viewer_box : public ::testing::Test {
 protected:
  Input_box b;
  Ref<Test_viewer> v = b.v;
  brek_test::Temp_dir dir;
  // A w x h picture file of the folder (its name relative to it), opened
  // alone as the command line opens a file; the image shown.
  Ref<C_Image> open_picture(const std::string& name = "a.bmp", int w = 40, int h = 30);
  // 40 x 30 picture files of the folder, then the folder opened.
  void open_folder(std::initializer_list<const char*> names);
};

}  // namespace viewer_input
