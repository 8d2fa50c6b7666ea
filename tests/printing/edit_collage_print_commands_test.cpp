// The editor's commands: zoom limits, selection and navigation, delete,
// quarter turns and flips of the pictures, z-order, alignment, the menus of
// the buttons and the messages of what is not there.

#include <gtest/gtest.h>

#include "forms/button.h"
#include "images/image_file_io.h"
#include "platform/control_input.h"
#include "platform/menu.h"
#include "platform/test_events.h"
#include "tests/printing/editor_test_support.h"
#include "tests/support/temp_dir.h"

using namespace editor_test;
namespace te = brek_platform::test_events;

namespace {

// Four cards side by side, 60 points apart: A B C D (serials 1 to 4).
class Commands : public Editor {
 protected:
  void four() {
    for (int i = 0; i < 4; ++i) add(i * 60.0, 0, 30, 30, RED);
    e->reset_selection();
  }
  void select(std::vector<int64_t> s) {
    e->selection.clear();
    for (int64_t i : s) e->selection.append(i);
  }
  // The colours of a card's four quadrants as painted: top-left, top-right,
  // bottom-right, bottom-left.
  std::vector<uint32_t> quadrants_of(int64_t i) {
    e->reset_selection();
    paint();
    const rect r = card_rect(i);
    const double qx = r.w / 4, qy = r.h / 4;
    return {at(r.x + qx, r.y + qy), at(r.x + 3 * qx, r.y + qy), at(r.x + 3 * qx, r.y + 3 * qy),
            at(r.x + qx, r.y + 3 * qy)};
  }
};

}  // namespace

TEST_F(Commands, ZoomStepsStopAtTheirLimits) {
  double expected = 1.0;
  while (100 - expected > 0) expected *= 1.1;
  for (int i = 0; i < 50; ++i) e->run_command("SCALE_UP");
  EXPECT_DOUBLE_EQ(e->zoom, expected);
  EXPECT_NEAR(e->zoom, 106.7, 0.1);
  e->run_command("SCALE_RESET");
  EXPECT_DOUBLE_EQ(e->zoom, 1.0);
  expected = 1.0;
  while (expected > 0.01) expected /= 1.1;
  for (int i = 0; i < 60; ++i) e->run_command("SCALE_DN");
  EXPECT_DOUBLE_EQ(e->zoom, expected);
  EXPECT_LE(e->zoom, 0.01);
}

TEST_F(Commands, SelectAllInvertAndReset) {
  for (int i = 0; i < 5; ++i) add(i * 40.0, 0, 30, 30, RED);
  select({3, 1});
  e->run_command("SEL_INV");
  EXPECT_EQ(selected(), (std::vector<int64_t>{0, 2, 4}));
  e->run_command("SEL_ALL");
  EXPECT_EQ(selected(), (std::vector<int64_t>{0, 1, 2, 3, 4}));
  e->run_command("SEL_INV");
  EXPECT_TRUE(selected().empty());
  e->run_command("SEL_INV");
  e->run_command("SEL_RESET");
  EXPECT_TRUE(selected().empty());
}

TEST_F(Commands, NextAndPreviousWrapAround) {
  for (int i = 0; i < 6; ++i) add(i * 40.0, 0, 30, 30, RED);
  select({5});
  e->run_command("GO_NEXT");
  EXPECT_EQ(selected(), (std::vector<int64_t>{0}));
  e->run_command("GO_PREV");
  EXPECT_EQ(selected(), (std::vector<int64_t>{5}));
  select({2, 4});
  e->run_command("GO_NEXT");
  EXPECT_EQ(selected(), (std::vector<int64_t>{5}));
  select({2, 4});
  e->run_command("GO_PREV");
  EXPECT_EQ(selected(), (std::vector<int64_t>{1}));
  // From nothing: the next is card 1, the previous the last.
  select({});
  e->run_command("GO_NEXT");
  EXPECT_EQ(selected(), (std::vector<int64_t>{1}));
  select({});
  e->run_command("GO_PREV");
  EXPECT_EQ(selected(), (std::vector<int64_t>{5}));
  // An empty sheet has nothing to go to.
  e->run_command("SEL_ALL");
  e->run_command("DEL");
  e->run_command("GO_NEXT");
  EXPECT_TRUE(selected().empty());
  e->run_command("GO_PREV");
  EXPECT_TRUE(selected().empty());
  EXPECT_FALSE(e->b_selection->is_enabled());
}

TEST_F(Commands, DeleteRemovesTheSelectedCardsAndTheirImages) {
  four();
  Ref<C_Image> b = e->cards.get(1).image.lock();
  select({0, 2});
  e->run_command("DEL");
  EXPECT_EQ(serials(), (std::vector<int64_t>{2, 4}));
  EXPECT_TRUE(selected().empty());
  EXPECT_EQ(e->get_caption(), "Edit / Collage / Print [2]");
  EXPECT_EQ(e->images.count(), 2);
  EXPECT_EQ(e->images.get(0).get(), b.get());
  // The selection order does not matter.
  select({1, 0});
  e->run_command("DEL");
  EXPECT_EQ(e->cards.count(), 0);
  EXPECT_EQ(e->images.count(), 0);
}

TEST_F(Commands, ACardSharingItsImageKeepsItWhenTheOtherGoes) {
  Ref<C_Image> one = pasted(40, 40, GREEN);
  e->add_image(one);
  e->add_image(one);
  Weak<C_Image> watch = one;
  one.reset();
  ASSERT_EQ(e->cards.count(), 2);
  e->run_command("DEL");  // the second card
  ASSERT_FALSE(watch.is_none());
  EXPECT_EQ(e->cards.get(0).image.get(), watch.get());
  paint();
  EXPECT_EQ(at(10, 10), GREEN);
  e->run_command("SEL_ALL");
  e->run_command("DEL");
  EXPECT_TRUE(watch.is_none());
}

TEST_F(Commands, QuarterTurnsSwapTheSidesAndTurnThePicture) {
  e->add_image(pasted(400, 266, RED, GREEN, BLUE, YELLOW));
  set_rect(0, rect{10, 20, 300, 200});
  e->run_command("ROT_RIGHT");
  EXPECT_EQ(card_rect(0), (rect{10, 20, 200, 300}));
  // Clockwise: the bottom-left quarter comes to the top left.
  EXPECT_EQ(quadrants_of(0), (std::vector<uint32_t>{YELLOW, RED, GREEN, BLUE}));
  Ref<C_Image> turned = e->cards.get(0).image.lock();
  EXPECT_EQ(turned->width, 266);
  EXPECT_EQ(turned->height, 400);
  e->select_all();
  e->run_command("ROT_LEFT");
  EXPECT_EQ(card_rect(0), (rect{10, 20, 300, 200}));
  EXPECT_EQ(quadrants_of(0), (std::vector<uint32_t>{RED, GREEN, BLUE, YELLOW}));
  e->select_all();
  e->run_command("ROT_LEFT");
  EXPECT_EQ(quadrants_of(0), (std::vector<uint32_t>{GREEN, BLUE, YELLOW, RED}));
  // One image entry per card, whatever was turned.
  EXPECT_EQ(e->images.count(), 1);
}

TEST_F(Commands, FlipsMirrorThePictureAndKeepTheRectangle) {
  e->add_image(pasted(120, 80, RED, GREEN, BLUE, YELLOW));
  const rect before = card_rect(0);
  e->run_command("FLIP_HOR");
  EXPECT_EQ(card_rect(0), before);
  EXPECT_EQ(quadrants_of(0), (std::vector<uint32_t>{GREEN, RED, YELLOW, BLUE}));
  e->select_all();
  e->run_command("FLIP_VERT");
  EXPECT_EQ(quadrants_of(0), (std::vector<uint32_t>{BLUE, YELLOW, RED, GREEN}));
}

TEST_F(Commands, ACardTurnedBeforeItWasEverPaintedTurnsItsPicture) {
  brek_test::Temp_dir dir;
  const std::string path = dir.file("q.bmp");
  ASSERT_TRUE(Image_file_io::save_bmp(quadrants(120, 80, RED, GREEN, BLUE, YELLOW), path, false));
  Ref<C_Image> file = C_Image::create();
  file->file_name = path;
  file->width = 120;
  file->height = 80;
  e->add_image(file);
  ASSERT_TRUE(file->picture.is_none());
  e->run_command("ROT_RIGHT");
  EXPECT_EQ(quadrants_of(0), (std::vector<uint32_t>{YELLOW, RED, GREEN, BLUE}));
  // The file's image gives its picture up: it can read it again.
  EXPECT_TRUE(file->picture.is_none());
}

TEST_F(Commands, APastedPictureStaysWithItsImageWhenItsCardTurns) {
  Ref<C_Image> clip = pasted(120, 80, RED, GREEN, BLUE, YELLOW);
  e->add_image(clip);
  Ref<C_Bitmap> picture = clip->picture;
  e->run_command("ROT_LEFT");
  EXPECT_EQ(clip->picture.get(), picture.get());
  EXPECT_NE(e->cards.get(0).image.get(), clip.get());
}

TEST_F(Commands, TurnsAndFlipsDropTheCardsPrintedCopy) {
  e->add_image(pasted(40, 40, RED));
  Ref<C_Bitmap> grey = C_Bitmap::create(40, 40, 24);
  e->bitmaps.append(grey);
  e->cards.at(0)->bitmap = grey;
  e->run_command("FLIP_HOR");
  EXPECT_TRUE(e->cards.get(0).bitmap.is_none());
  EXPECT_EQ(e->bitmaps.count(), 0);
}

TEST_F(Commands, ZOrderMovesTheSelectedCardsAndTheSelectionFollows) {
  four();  // A B C D
  select({1, 2});
  e->run_command("Z_UP");
  EXPECT_EQ(serials(), (std::vector<int64_t>{1, 4, 2, 3}));
  EXPECT_EQ(selected(), (std::vector<int64_t>{2, 3}));
  e->run_command("Z_DOWN");
  EXPECT_EQ(serials(), (std::vector<int64_t>{1, 2, 3, 4}));
  EXPECT_EQ(selected(), (std::vector<int64_t>{1, 2}));
  select({1});
  e->run_command("Z_TOP");
  EXPECT_EQ(serials(), (std::vector<int64_t>{1, 4, 3, 2}));
  EXPECT_EQ(selected(), (std::vector<int64_t>{3}));
  e->run_command("Z_BOTTOM");
  EXPECT_EQ(serials(), (std::vector<int64_t>{2, 4, 3, 1}));
  EXPECT_EQ(selected(), (std::vector<int64_t>{0}));
  // Already at the bottom: nothing moves.
  e->run_command("Z_DOWN");
  EXPECT_EQ(serials(), (std::vector<int64_t>{2, 4, 3, 1}));
}

// With several cards selected each of them ends above (or below) every
// card not selected, and the selected keep their order among themselves.
TEST_F(Commands, ZOrderOfSeveralSelectedCardsKeepsThemTogether) {
  four();  // A B C D
  select({0, 1});
  e->run_command("Z_TOP");
  EXPECT_EQ(serials(), (std::vector<int64_t>{3, 4, 1, 2}));
  EXPECT_EQ(selected(), (std::vector<int64_t>{2, 3}));
  e->run_command("Z_BOTTOM");
  EXPECT_EQ(serials(), (std::vector<int64_t>{1, 2, 3, 4}));
  EXPECT_EQ(selected(), (std::vector<int64_t>{0, 1}));
  // Already at the bottom or at the top: nothing moves.
  e->run_command("Z_DOWN");
  EXPECT_EQ(serials(), (std::vector<int64_t>{1, 2, 3, 4}));
  select({2, 3});
  e->run_command("Z_UP");
  EXPECT_EQ(serials(), (std::vector<int64_t>{1, 2, 3, 4}));
  EXPECT_EQ(selected(), (std::vector<int64_t>{2, 3}));
}

TEST_F(Commands, AlignmentGoesToTheNearestSideOfTheOtherCards) {
  add(0, 0, 40, 40, RED);     // 0..40
  add(60, 70, 40, 40, RED);   // 60..100, 70..110
  add(50, 45, 20, 20, BLUE);  // the one aligned
  select({2});
  e->run_command("ALIGN_LEFT");
  EXPECT_DOUBLE_EQ(card_rect(2).x, 40);
  e->run_command("ALIGN_RIGHT");  // right side 60: the nearest to its right is 100
  EXPECT_DOUBLE_EQ(card_rect(2).x, 80);
  e->run_command("ALIGN_TOP");
  EXPECT_DOUBLE_EQ(card_rect(2).y, 40);
  e->run_command("ALIGN_BOTTOM");  // bottom 60: next below is 70
  EXPECT_DOUBLE_EQ(card_rect(2).y, 50);
  // Nothing beyond: the extreme side of all.
  set_rect(2, rect{-50, -50, 20, 20});
  e->run_command("ALIGN_LEFT");
  EXPECT_DOUBLE_EQ(card_rect(2).x, 0);
  set_rect(2, rect{500, 500, 20, 20});
  e->run_command("ALIGN_BOTTOM");
  EXPECT_DOUBLE_EQ(card_rect(2).y, 110 - 20);
  // Every card selected: to 0.
  e->run_command("SEL_ALL");
  e->run_command("ALIGN_LEFT");
  EXPECT_DOUBLE_EQ(card_rect(1).x, 0);
  EXPECT_DOUBLE_EQ(card_rect(2).x, 0);
}

TEST_F(Commands, TheButtonsOpenTheirMenus) {
  four();
  std::string shown;
  brek_platform::set_popup_menu_hook([&] {
    shown = brek_platform::open_popup_menu_text();
    brek_platform::choose_popup_menu_item(0);
  });
  brek_platform::user_click(e->b_select->native);
  te::settle();
  EXPECT_EQ(shown,
            "Select all\tCTRL+A|Invert selection\tCTRL+I|Reset selection|-|Select next image\t]|"
            "Select previous image\t[");
  EXPECT_EQ(selected(), (std::vector<int64_t>{0, 1, 2, 3}));

  brek_platform::user_click(e->b_zoom->native);
  te::settle();
  EXPECT_EQ(shown, "Zoom in\tCtrl+Wheel down, Ctrl+(+)|ZoomOut\tCtrl+Wheel up, Ctrl+(-)|-|Reset to 1:1\t1");
  EXPECT_DOUBLE_EQ(e->zoom, 1.1);

  brek_platform::set_popup_menu_hook([&] {
    shown = brek_platform::open_popup_menu_text();
    brek_platform::close_popup_menu();
  });
  brek_platform::user_click(e->b_selection->native);
  te::settle();
  EXPECT_EQ(shown,
            "Duplicate|Delete\tDELETE|"
            "Rotate... (... Left (anticlockwise)\tCtrl+Left arrow|... Rotate right (clockwise)\tCtrl+Right arrow|"
            "... Arbitrary\tCtrl+R)|Flip ... (... Horizontally\tH|... Flip vertically\tV)|"
            "Z-order... (... To top\tDouble click LMB|... Move up\tCtrl+Up arrow|... Move down\tCtrl+Down arrow|"
            "... To bottom\tDouble click RMB)|Align... (... Left side to nearest side left\t{|"
            "... Right side to nearest side right\t}|... Top side to nearest side above\t^|"
            "... Bottom side to nearest side below\t_ (underline))");
  brek_platform::set_popup_menu_hook(nullptr);
}

TEST_F(Commands, WhatIsNotThereSaysSo) {
  four();
  e->run_command("DUP");
  e->run_command("ROT_ANGLE");
  brek_platform::user_click(e->b_add_text->native);
  brek_platform::user_click(e->b_save->native);
  te::settle();
  EXPECT_EQ(screen->messages, std::vector<std::string>(4, "Not implemented yet !"));
  EXPECT_EQ(e->cards.count(), 4);
  // Unknown keys do nothing.
  e->run_command("LANG_EN");
  e->run_command("");
  EXPECT_EQ(screen->messages.size(), 4u);
}
