#pragma once
// Helpers of the viewer tests: pictures written as files, a viewer whose
// pointer the test places, and reading back painted pixels.

#include <fstream>
#include <string>

#include "drawing/bitmap.h"
#include "drawing/pixels.h"
#include "tests/drawing/paint_test_support.h"
#include "viewer/collage_viewer.h"

namespace viewer_test {

using namespace brek;

// Quadrant colours of the test picture (0xAARRGGBB).
inline constexpr uint32_t RED = 0xFFFF0000u, GREEN = 0xFF00FF00u, BLUE = 0xFF0000FFu, WHITE = 0xFFFFFFFFu;
inline constexpr uint32_t BLACK = 0xFF000000u;

// A w x h picture: top-left red, top-right green, bottom-left blue,
// bottom-right white.
Pixels quadrants(int w, int h);
// Writes the picture as a BMP file; true on success.
bool write_bmp(const Pixels& p, const std::string& path);
// Writes a 1 x 1 GIF: the smallest picture file, for folders of thousands.
inline void tiny_gif(const std::string& path) {
  static const unsigned char gif[] = {0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x01, 0x00, 0x01, 0x00, 0x80,
                                      0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x21, 0xF9, 0x04,
                                      0x01, 0x00, 0x00, 0x00, 0x00, 0x2C, 0x00, 0x00, 0x00, 0x00, 0x01,
                                      0x00, 0x01, 0x00, 0x00, 0x02, 0x02, 0x44, 0x01, 0x00, 0x3B};
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(gif), sizeof gif);
}

// A viewer whose pointer sits where the test puts it (device pixels of the
// paint box).
class Test_viewer : public C_Collage_viewer {
  BREK_CLASS(Test_viewer)
 public:
  point pointer{-100, -100};
  point pointer_in_box() override { return pointer; }
};

// A viewer with its language and collage model, as start-up leaves it.
Ref<Test_viewer> new_viewer();

// An opaque back buffer of w x h device pixels and its canvas.
struct Buffer {
  Ref<C_Bitmap> bitmap;
  Buffer(int w, int h);
  // The box's size in points at the screen's resolution.
  double box_w() const;
  double box_h() const;
  uint32_t at(int x, int y) const;
};

// Paints the viewer into the buffer.
void paint(const Ref<Test_viewer>& v, Buffer& b);

// A viewer built as the program builds it (window, timers, paint box) on
// the real window layer, its paint box's drawing surface w x h pixels held
// in memory, so that its paints run when the test asks and land in the
// box's own back buffer.
class Boxed {
 public:
  Boxed(int w, int h);
  ~Boxed();
  Boxed(const Boxed&) = delete;
  Boxed& operator=(const Boxed&) = delete;
  // A paint of the whole box, as the platform asks for one.
  void paint();
  // A pixel of the back buffer (opaque).
  uint32_t at(int x, int y) const;
  // Another surface size; the window's resize follows.
  void resize(int w, int h);

  paint_test::Fake_panels panels;
  Ref<C_Screen> screen;
  Ref<Test_viewer> v;

 private:
  brek_platform::Native_forms* previous_forms_ = nullptr;
  brek_platform::Native_paint_panels* previous_panels_ = nullptr;
};

}  // namespace viewer_test
