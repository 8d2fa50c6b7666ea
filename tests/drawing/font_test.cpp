#include <gtest/gtest.h>

#include "drawing/canvas.h"
#include "drawing/font.h"
#include "platform/painter.h"

using namespace brek;

TEST(Font, StyleLettersAreUpperCaseAnywhere) {
  auto f = C_Font::new_font("Arial", 10);
  f->set_style("xUI");
  EXPECT_TRUE(f->italic && f->underline);
  f->set_style("BI");
  EXPECT_TRUE(f->bold && f->italic);
  EXPECT_FALSE(f->underline || f->strike);
  f->set_style("b");
  EXPECT_EQ(f->style_text(), "");
  f->set_style("SUB");
  EXPECT_EQ(f->style_text(), "BUS");
  f->set_style("I");
  C_Font& same = f->add_bold();
  EXPECT_EQ(&same, f.get());
  EXPECT_EQ(f->style_text(), "BI");
  EXPECT_EQ(f->style_bits(), 3);
}

TEST(Font, NativeFontIsRebuiltOnlyWhenTheDescriptionChanges) {
  int64_t before = brek_platform::font_count();
  {
    auto f = C_Font::new_font("Arial", 10);
    int64_t first = f->native;
    EXPECT_NE(first, 0);
    f->apply();  // a new font was never applied: it rebuilds
    int64_t second = f->native;
    EXPECT_NE(second, first);
    f->apply();
    EXPECT_EQ(f->native, second);
    f->size = 10.0000000001;  // approximately equal: no rebuild
    f->apply();
    EXPECT_EQ(f->native, second);
    f->set_style("U");
    f->apply();
    EXPECT_NE(f->native, second);
    EXPECT_EQ(f->applied_underline, true);
    EXPECT_EQ(brek_platform::font_count(), before + 1);
  }
  EXPECT_EQ(brek_platform::font_count(), before);
}

TEST(Font, CanvasDefaultIsArialTenAndNoneFontIsRefused) {
  auto c = make<C_Canvas>();
  EXPECT_EQ(c->font->name, "Arial");
  EXPECT_EQ(c->font->size, 10.0);
  auto keep = c->font;
  c->set_font(Ref<C_Font>());
  EXPECT_TRUE(c->font.same(keep));
  none_of<C_Font>()->set_style("B");
  EXPECT_FALSE(none_of<C_Font>()->bold);
}

TEST(Font, PixelSizeFollowsTheDeviceResolution) {
  auto f = C_Font::new_font("Arial", 10.9);  // whole points only
  EXPECT_EQ(f->desc_at(96).pixel_size, 13);
  EXPECT_EQ(f->desc_at(300).pixel_size, 42);
  EXPECT_EQ(f->desc_at(72).pixel_size, 10);
}
