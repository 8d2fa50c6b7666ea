#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "drawing/bitmap.h"
#include "drawing/canvas.h"
#include "platform/painter.h"

using namespace brek;

namespace {

constexpr uint32_t WHITE = 0xFFFFFFFFu, BLACK = 0xFF000000u;

// A W x H bitmap whose pixel (x, y) is the word 0xAA00YYXX (alpha AA).
Ref<C_Bitmap> numbered(int w, int h, int bits, uint8_t alpha = 255) {
  auto b = C_Bitmap::create(w, h, bits);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b->pixels()->set(x, y, uint32_t(alpha) << 24 | uint32_t(y) << 8 | uint32_t(x));
  return b;
}

uint32_t id(int x, int y) { return 0xFF000000u | uint32_t(y) << 8 | uint32_t(x); }

bool same_pixels(const Ref<C_Bitmap>& a, const Ref<C_Bitmap>& b) {
  return !a.is_none() && !b.is_none() && *a->pixels() == *b->pixels();
}

}  // namespace

TEST(Bitmap, FactoryDepthsAndBoundedSizes) {
  EXPECT_EQ(C_Bitmap::create(2, 2, 0)->bits, 24);
  EXPECT_EQ(C_Bitmap::create(2, 2, 16)->bits, 16);
  EXPECT_EQ(C_Bitmap::create(2, 2, 7)->bits, 32);
  EXPECT_FALSE(C_Bitmap::create(2, 2, 24)->has_alpha());
  EXPECT_TRUE(C_Bitmap::create(2, 2, 32)->has_alpha());

  auto zero = C_Bitmap::create(0, 0, 0);
  EXPECT_EQ(zero->width, 0);
  EXPECT_TRUE(zero->pixels()->empty());
  zero->set_size(0, -4);
  EXPECT_EQ(zero->width, 1);
  EXPECT_EQ(zero->height, 1);
  EXPECT_EQ(zero->pixels()->width(), 1);

  // Negative and huge requests give an empty bitmap, not a failed
  // allocation, and every use of it copes.
  for (auto [w, h] : {std::pair<int64_t, int64_t>{-5, 10}, {65535, 65535}, {int64_t(1) << 40, 2}}) {
    auto b = C_Bitmap::create(w, h, 32);
    EXPECT_EQ(b->width, 0);
    EXPECT_EQ(b->height, 0);
    EXPECT_TRUE(b->pixels()->empty());
    b->canvas()->clear();
    b->canvas()->draw_rectangle(rect{0, 0, 5, 5});
    EXPECT_EQ(b->rotated(false, false, 90)->width, 0);
    EXPECT_EQ(b->inverted()->width, 0);
    auto target = C_Bitmap::create(4, 4, 24);
    b->draw_at(target->canvas(), point{0, 0});
    b->stretch_draw(target->canvas(), rect{0, 0, 3, 3});
  }
  auto big = C_Bitmap::create(4, 4, 24);
  big->set_size(70000, 70000);
  EXPECT_EQ(big->width, 0);

  // Resizing keeps the top-left part.
  auto b = numbered(3, 3, 24);
  b->set_size(5, 2);
  EXPECT_EQ(b->pixels()->at(2, 1), id(2, 1));
  EXPECT_EQ(b->size_rect(), (rect{0, 0, 5, 2}));

  auto none = none_of<C_Bitmap>();
  EXPECT_EQ(none->width, 0);
  EXPECT_EQ(none->pixels(), nullptr);
  none->set_size(5, 5);
  EXPECT_EQ(none->width, 0);
}

TEST(Bitmap, QuarterTurnsAndMirrors) {
  auto b = numbered(3, 2, 24);
  auto r90 = b->rotated(false, false, 90);
  ASSERT_FALSE(r90.is_none());
  EXPECT_EQ(r90->width, 2);
  EXPECT_EQ(r90->height, 3);
  EXPECT_EQ(r90->pixels()->at(1, 0), id(0, 0));  // top-left lands top-right
  EXPECT_EQ(r90->pixels()->at(0, 2), id(2, 1));

  EXPECT_TRUE(same_pixels(b->rotated(false, false, -90), b->rotated(false, false, 270)));
  EXPECT_TRUE(same_pixels(b->rotated(false, false, 450), r90));
  EXPECT_TRUE(b->rotated(false, false, 45).is_none());
  EXPECT_TRUE(b->rotated(false, false, -450).is_none());

  auto h = b->rotated(true, false, 0);
  EXPECT_EQ(h->pixels()->at(0, 0), id(2, 0));
  auto v = b->rotated(false, true, 0);
  EXPECT_EQ(v->pixels()->at(0, 0), id(0, 1));
  EXPECT_TRUE(same_pixels(b->rotated(true, true, 0), b->rotated(false, false, 180)));
  // Mirrors come after the turn.
  auto t = b->rotated(true, false, 90);
  EXPECT_EQ(t->pixels()->at(0, 0), id(0, 0));
  EXPECT_EQ(b->rotated(false, false, 0)->bits, 24);

  // A picture with alpha keeps it through a turn.
  auto a = numbered(3, 2, 32, 0x40);
  auto ra = a->rotated(false, false, 270);
  EXPECT_TRUE(ra->has_alpha());
  EXPECT_EQ(Pixels::alpha(ra->pixels()->at(0, 0)), 0x40);
  EXPECT_TRUE(none_of<C_Bitmap>()->rotated(false, false, 90).is_none());
}

TEST(Bitmap, InversionKeepsAlpha) {
  auto w = C_Bitmap::create(2, 1, 32);
  w->pixels()->set(0, 0, 0xFFFFFFFFu);
  w->pixels()->set(1, 0, 0x3C102030u);
  auto inv = w->inverted();
  EXPECT_EQ(inv->pixels()->at(0, 0), BLACK);
  EXPECT_EQ(inv->pixels()->at(1, 0), 0x3CEFDFCFu);
  auto w24 = C_Bitmap::create(1, 1, 24);
  w24->pixels()->set(0, 0, WHITE);
  EXPECT_EQ(w24->negative()->pixels()->at(0, 0), BLACK);
}

// Turned, mirrored and inverted in one pass is what the turn and then the
// inversion give, for every quarter turn and mirror, opaque and with alpha.
TEST(Bitmap, TurnsMirrorsAndInversionInOnePass) {
  for (int bits : {24, 32}) {
    auto b = numbered(5, 3, bits, 0x40);
    for (int64_t angle : {0, 90, 180, 270, -90})
      for (bool mh : {false, true})
        for (bool mv : {false, true}) {
          auto one = b->rotated(mh, mv, angle, true);
          auto two = b->rotated(mh, mv, angle)->inverted();
          EXPECT_TRUE(same_pixels(one, two)) << bits << " bits, " << angle << ", " << mh << mv;
          EXPECT_EQ(one->has_alpha(), bits == 32);
        }
    EXPECT_TRUE(b->rotated(false, false, 45, true).is_none());
  }
  // Alpha stays as it was; an opaque picture stays opaque.
  EXPECT_EQ(numbered(2, 2, 32, 0x40)->rotated(false, false, 90, true)->pixels()->at(0, 0), 0x40FFFEFFu);
  EXPECT_EQ(numbered(2, 2, 24, 0x40)->rotated(true, false, 0, true)->pixels()->at(0, 0), 0xFFFFFFFEu);
}

TEST(Bitmap, DrawCopiesStretchesAndBlendsByAlpha) {
  auto target = C_Bitmap::create(10, 10, 24);
  auto c = target->canvas();
  c->clear();
  c->units = units_measure_graphics::PIXELS;

  auto src = numbered(3, 2, 24);
  src->draw_at(c, point{4, 5});
  EXPECT_EQ(target->pixels()->at(4, 5), id(0, 0));
  EXPECT_EQ(target->pixels()->at(6, 6), id(2, 1));
  EXPECT_EQ(target->pixels()->at(7, 6), WHITE);

  // Transparent pixels of a 32-bit picture leave the canvas as it was.
  auto glass = C_Bitmap::create(2, 1, 32);
  glass->pixels()->set(0, 0, 0x00000000u);
  glass->pixels()->set(1, 0, 0xFF0000FFu);
  glass->draw_at(c, point{0, 0});
  EXPECT_EQ(target->pixels()->at(0, 0), WHITE);
  EXPECT_EQ(target->pixels()->at(1, 0), 0xFF0000FFu);

  // Halftone averages when it shrinks: a black and white checkerboard
  // halved becomes grey.
  auto board = C_Bitmap::create(8, 8, 24);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) board->pixels()->set(x, y, (x + y) % 2 ? WHITE : BLACK);
  board->stretch_draw(c, rect{0, 0, 4, 4});
  uint8_t grey = Pixels::green(target->pixels()->at(1, 1));
  EXPECT_GT(grey, 100);
  EXPECT_LT(grey, 155);
  c->quality = quality_drawing_lines_shapes::LOW;
  board->stretch_draw(c, rect{0, 0, 4, 4});
  uint32_t plain = target->pixels()->at(1, 1);
  EXPECT_TRUE(plain == WHITE || plain == BLACK);

  // A bitmap drawn onto its own canvas reads from a copy.
  auto self = numbered(4, 4, 24);
  self->canvas()->units = units_measure_graphics::PIXELS;
  self->draw_at(self->canvas(), point{1, 1});
  EXPECT_EQ(self->pixels()->at(3, 3), id(2, 2));

  // With the canvas's alpha plane the drawn area becomes opaque.
  auto layered = C_Bitmap::create(4, 4, 32);
  auto lc = layered->canvas();
  lc->units = units_measure_graphics::PIXELS;
  lc->alpha_plane = true;
  src->draw_at(lc, point{1, 1});
  ASSERT_TRUE(layered->native->alpha);
  EXPECT_EQ(Pixels::red(layered->native->alpha->at(2, 2)), 255);
  EXPECT_EQ(Pixels::red(layered->native->alpha->at(0, 0)), 0);
}

TEST(Bitmap, DirectAccessViewsOrCopiesRows) {
  // 32 bits without an alpha plane: the rows themselves, nothing copied.
  auto d = C_Bitmap_direct::new_bitmap(4, 3, 0);
  EXPECT_EQ(d->bits, 32);
  d->lock(false);
  ASSERT_TRUE(d->direct);
  EXPECT_EQ(d->row_bytes, 16);
  EXPECT_EQ(d->row_count, 3);
  d->row(1)[4] = 0x11;  // blue of pixel (1, 1)
  EXPECT_EQ(Pixels::blue(d->pixels()->at(1, 1)), 0x11);
  EXPECT_TRUE(d->canvas_obj.is_none());
  auto c = d->canvas();  // asking for the canvas ends direct access
  EXPECT_FALSE(d->direct);
  EXPECT_FALSE(c.is_none());

  // 24 bits: three bytes a pixel in a buffer, written back on unlock.
  auto d24 = C_Bitmap_direct::new_bitmap(2, 2, 24);
  d24->pixels()->set(1, 1, 0xFF030201u);
  d24->lock_rows(true, 1, 0);  // count 0: to the last row
  ASSERT_TRUE(d24->direct);
  EXPECT_EQ(d24->first_row, 1);
  EXPECT_EQ(d24->row_count, 1);
  EXPECT_EQ(d24->row_bytes, 6);
  uint8_t* r = d24->row(1);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r[3], 1);
  EXPECT_EQ(r[5], 3);
  EXPECT_EQ(d24->row(0), nullptr);
  r[0] = 0x55;
  d24->unlock(true);
  EXPECT_EQ(d24->pixels()->at(0, 1), 0xFF000055u);
  EXPECT_EQ(d24->row_count, 0);

  d24->lock_rows(true, 1, 2);  // beyond the last row: nothing
  EXPECT_FALSE(d24->direct);
  d24->lock_rows(true, -1, 1);
  EXPECT_FALSE(d24->direct);
  d24->lock_rows(true, 1, INT64_MAX);  // a count past every row
  EXPECT_FALSE(d24->direct);
  d24->lock_rows(true, INT64_MAX, 0);
  EXPECT_FALSE(d24->direct);

  // Depths without a row layout of their own lock nothing.
  auto d8 = C_Bitmap_direct::new_bitmap(5, 5, 8);
  d8->lock(true);
  EXPECT_FALSE(d8->direct);
  EXPECT_TRUE(d8->pixels_buffer.empty());
}

TEST(Bitmap, DirectAccessCarriesTheAlphaPlane) {
  auto d = C_Bitmap_direct::new_bitmap(3, 1, 32);
  auto c = d->canvas();
  c->units = units_measure_graphics::PIXELS;
  c->alpha_plane = true;
  c->pen_color = Colors::make(10, 20, 30, 0x70);
  c->draw_line(point{0, 0}, point{2, 0});  // pixels 0 and 1
  d->lock(true);
  ASSERT_TRUE(d->direct);
  EXPECT_EQ(d->row(0)[3], 0x70);
  EXPECT_EQ(d->row(0)[11], 0);
  EXPECT_NE(d->pixels_buffer.data(), d->pixels()->bytes());  // a copy, not a view
  d->row(0)[11] = 0xC0;
  d->unlock(true);
  EXPECT_EQ(Pixels::red(d->native->alpha->at(2, 0)), 0xC0);
  EXPECT_EQ(Pixels::alpha(d->pixels()->at(2, 0)), 0xC0);

  // Resizing a locked bitmap ends the access first; nothing dangles.
  d->lock(true);
  d->set_size(6, 2);
  EXPECT_FALSE(d->direct);
  EXPECT_TRUE(d->pixels_buffer.empty());
  EXPECT_EQ(d->pixels()->width(), 6);

  // Disposing it while locked drops the rows.
  auto gone = C_Bitmap_direct::new_bitmap(2, 2, 32);
  gone->lock(true);
  Weak<C_Bitmap_direct> w(gone);
  dispose_now(gone);
  EXPECT_TRUE(w.is_none());
}

TEST(Bitmap, ClipboardRoundTrip) {
  auto b = numbered(5, 3, 24);
  EXPECT_TRUE(b->copy_to_clipboard());
  EXPECT_TRUE(brek_platform::clipboard_has_image());
  auto into = C_Bitmap::create(1, 1, 24);
  ASSERT_TRUE(into->paste_from_clipboard());
  EXPECT_EQ(into->width, 5);
  EXPECT_EQ(into->height, 3);
  EXPECT_EQ(into->pixels()->at(4, 2), id(4, 2));

  auto a = numbered(2, 2, 32, 0x80);
  a->copy_to_clipboard();
  auto with_alpha = C_Bitmap::create(1, 1, 32);
  ASSERT_TRUE(with_alpha->paste_from_clipboard());
  EXPECT_EQ(Pixels::alpha(with_alpha->pixels()->at(1, 1)), 0x80);
  auto opaque = C_Bitmap::create(1, 1, 24);
  ASSERT_TRUE(opaque->paste_from_clipboard());
  EXPECT_EQ(Pixels::alpha(opaque->pixels()->at(1, 1)), 0xFF);
}

TEST(Bitmap, IconsComeFromTheRegisteredDecoder) {
  auto sized = C_Icon::create(0, 0, 0);
  EXPECT_EQ(sized->width, 1);
  EXPECT_EQ(sized->height, 1);
  EXPECT_EQ(sized->bits, 32);
  EXPECT_TRUE(sized->has_alpha());

  auto saved = C_Icon::file_decoder();
  C_Icon::set_file_decoder(nullptr);
  EXPECT_TRUE(C_Icon::load_from_file("any.ico").is_none());
  C_Icon::set_file_decoder([](const std::string& path, Pixels& out, Load_failure*) {
    if (path != "good.ico") return false;
    out.resize(48, 32, 0x00000000u);
    return true;
  });
  auto icon = C_Icon::load_from_file("good.ico");
  ASSERT_FALSE(icon.is_none());
  EXPECT_EQ(icon->width, 48);
  EXPECT_EQ(icon->height, 32);
  EXPECT_TRUE(C_Icon::load_from_file("bad.ico").is_none());
  C_Icon::set_file_decoder(saved);
}

TEST(Bitmap, ExtensionLists) {
  EXPECT_TRUE(C_Bitmap::extension_loadable("bmp"));
  EXPECT_TRUE(C_Bitmap::extension_loadable("Jpeg"));
  EXPECT_TRUE(C_Bitmap::extension_loadable("CUR"));
  EXPECT_FALSE(C_Bitmap::extension_loadable("png"));
  EXPECT_FALSE(C_Bitmap::extension_savable("bmp"));
  EXPECT_TRUE(C_Bitmap::extension_savable("GIF"));
  EXPECT_FALSE(C_Bitmap::extension_savable("ICO"));
}

TEST(Bitmap, StretchedDrawingKeepsToTheClipUnderATransform) {
  auto target = C_Bitmap::create(40, 20, 24);
  auto c = target->canvas();
  c->clear();
  c->units = units_measure_graphics::PIXELS;
  auto black = C_Bitmap::create(64, 64, 24);  // opaque black
  c->clip_rect = rect{0, 0, 10, 20};
  c->translate_transform(20, 0);  // the clip moves to columns 20..29
  c->draw_line(point{0, 0}, point{0, 0});  // (applies it, draws nothing)
  // Under a scale the clip set last stays where it is.
  c->scale_transform(0.5, 0.5);
  black->stretch_draw(c, rect{-40, 0, 80, 40});  // lands on columns 0..39, rows 0..19
  EXPECT_EQ(target->pixels()->at(19, 5), WHITE);
  EXPECT_EQ(target->pixels()->at(20, 5), BLACK);
  EXPECT_EQ(target->pixels()->at(29, 19), BLACK);
  EXPECT_EQ(target->pixels()->at(30, 5), WHITE);
}
