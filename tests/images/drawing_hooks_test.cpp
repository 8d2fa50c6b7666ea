#include <gtest/gtest.h>

#include "drawing/bitmap.h"
#include "images/drawing_hooks.h"
#include "tests/images/image_test_util.h"
#include "tests/support/temp_dir.h"

using namespace brek;
using namespace brek_test;

namespace {

// A 32-bit DIB entry of side n: pixel (x, y) is opaque red on the
// diagonal, transparent elsewhere; empty AND mask.
std::string dib32(int n) {
  std::string d;
  put32le(d, 40);
  put32le(d, n);
  put32le(d, 2 * n);  // colour rows and mask rows
  put16le(d, 1);
  put16le(d, 32);
  for (int i = 0; i < 6; ++i) put32le(d, 0);
  for (int y = n - 1; y >= 0; --y)
    for (int x = 0; x < n; ++x) put32le(d, x == y ? 0xFFFF0000u : 0x00000000u);
  d += std::string(size_t((n + 31) / 32 * 4 * n), '\0');
  return d;
}

// An icon (type 1) or cursor (type 2) file with entries of the given sides.
std::string icon_file(int type, std::initializer_list<int> sides) {
  std::string f, body;
  put16le(f, 0);
  put16le(f, type);
  put16le(f, uint32_t(sides.size()));
  uint32_t offset = 6 + 16 * uint32_t(sides.size());
  for (int n : sides) {
    std::string e = dib32(n);
    f.push_back(char(n & 255));
    f.push_back(char(n & 255));
    f.push_back(0);
    f.push_back(0);
    put16le(f, 1);
    put16le(f, 32);
    put32le(f, uint32_t(e.size()));
    put32le(f, offset + uint32_t(body.size()));
    body += e;
  }
  return f + body;
}

}  // namespace

TEST(DrawingHooks, IconsAndCursorsLoadThroughTheImageLayer) {
  Drawing_hooks::install();
  Temp_dir dir;
  ASSERT_TRUE(write_file(dir.file("multi.ico"), icon_file(1, {16, 48, 32})));
  ASSERT_TRUE(write_file(dir.file("arrow.cur"), icon_file(2, {24})));
  ASSERT_TRUE(write_file(dir.file("broken.ico"), "not an icon"));

  auto icon = C_Icon::load_from_file(dir.file("multi.ico"));
  ASSERT_FALSE(icon.is_none());
  EXPECT_EQ(icon->width, 48);  // the largest entry
  EXPECT_EQ(icon->height, 48);
  EXPECT_EQ(icon->pixels()->at(5, 5), 0xFFFF0000u);
  EXPECT_EQ(Pixels::alpha(icon->pixels()->at(5, 6)), 0);

  // Drawn, its transparent pixels leave the canvas as it was.
  auto target = C_Bitmap::create(48, 48, 24);
  auto c = target->canvas();
  c->clear();
  icon->draw_at(c, point{0, 0});
  EXPECT_EQ(target->pixels()->at(7, 7), 0xFFFF0000u);
  EXPECT_EQ(target->pixels()->at(7, 8), 0xFFFFFFFFu);

  auto cursor = C_Icon::load_from_file(dir.file("arrow.cur"));
  ASSERT_FALSE(cursor.is_none());
  EXPECT_EQ(cursor->width, 24);
  EXPECT_EQ(cursor->height, 24);

  EXPECT_TRUE(C_Icon::load_from_file(dir.file("broken.ico")).is_none());
  EXPECT_TRUE(C_Icon::load_from_file(dir.file("missing.ico")).is_none());
}
