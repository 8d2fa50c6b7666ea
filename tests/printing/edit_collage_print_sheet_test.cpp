// The editor's window and its cards: placement of new cards, the caption,
// the buttons' enabled states, closing, and the viewer handing images over.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "baselib/localize_str.h"
#include "forms/button.h"
#include "forms/event_routing.h"
#include "forms/timer.h"
#include "platform/test_events.h"
#include "platform/window.h"
#include "images/format_classes.h"
#include "tests/support/temp_dir.h"
#include "tests/printing/editor_test_support.h"
#include "viewer/additional_collage.h"
#include "viewer/collage_viewer.h"
#include "viewer/print_editor_hook.h"

using namespace editor_test;
namespace te = brek_platform::test_events;

namespace {

std::string caption_of(const Ref<C_Edit_collage_print>& e) { return e->get_caption(); }

}  // namespace

TEST_F(Editor, TheWindowAsBuilt) {
  EXPECT_EQ(caption_of(e), "Edit / Collage / Print");
  EXPECT_EQ(e->pbox->name, "PBOX");
  EXPECT_TRUE(e->pbox->has_vbar && e->pbox->has_hbar);
  EXPECT_EQ(e->b_zoom->get_text(), "Zoom...");
  EXPECT_EQ(e->b_select->get_text(), "Select...");
  EXPECT_EQ(e->b_selection->get_text(), "Selection...");
  EXPECT_EQ(e->b_add_text->get_text(), "Add text");
  EXPECT_EQ(e->b_print->get_text(), "Print");
  EXPECT_EQ(e->b_save->get_text(), "Save");
  EXPECT_EQ(e->timer_press_p->interval, 100);
  EXPECT_FALSE(e->timer_press_p->is_enabled());
  EXPECT_DOUBLE_EQ(e->zoom, 1.0);
  EXPECT_EQ(e->handle_card, -1);
  EXPECT_EQ(e->queue_policy, "kiiqiqqqqqssssskkkqkkiiiqqk");
  // The buttons lie below the sheet.
  EXPECT_GT(e->b_print->get_bounds().y, e->pbox->get_bounds().y + e->pbox->get_bounds().h - 1);
  // Nothing to print, select or change on an empty sheet.
  EXPECT_FALSE(e->b_print->is_enabled());
  EXPECT_FALSE(e->b_select->is_enabled());
  EXPECT_FALSE(e->b_selection->is_enabled());
  EXPECT_TRUE(e->b_zoom->is_enabled());
}

TEST_F(Editor, CardsGoBesideTheOthersAtTheTopWhileTheyFit) {
  // 120 x 80 pixels are 90 x 60 points.
  e->add_image(pasted(120, 80, RED));
  ASSERT_EQ(e->cards.count(), 1);
  EXPECT_EQ(card_rect(0), (rect{0, 0, 90, 60}));
  e->add_image(pasted(120, 80, GREEN));
  EXPECT_EQ(card_rect(1), (rect{90, 0, 90, 60}));
  // Beside the nearer of the two: the first card's right is taken by now,
  // so the second card's right side wins.
  e->add_image(pasted(40, 40, BLUE));
  EXPECT_EQ(card_rect(2), (rect{180, 0, 30, 30}));
  EXPECT_EQ(serials(), (std::vector<int64_t>{1, 2, 3}));
  EXPECT_EQ(e->card_counter, 3);
  EXPECT_EQ(selected(), (std::vector<int64_t>{2}));
  EXPECT_EQ(e->images.count(), 3);
}

TEST_F(Editor, TheNearestFreePlaceWinsAndTiesKeepTheEarlierCard) {
  add(0, 0, 90, 90, RED);
  add(0, 120, 30, 30, GREEN);
  // Right of card 0 at (90, 0) and right of card 1 at (30, 120): the first
  // is nearer the origin.
  e->add_image(pasted(40, 40, BLUE));
  EXPECT_EQ(card_rect(2), (rect{90, 0, 30, 30}));

  // Two candidates equally far from the origin: (60, 0) and (0, 60).
  e->cards.clear();
  add(0, 0, 60, 30, RED);
  add(-30, 60, 30, 30, GREEN);
  e->add_image(pasted(40, 40, BLUE));
  EXPECT_EQ(card_rect(2).x, 60);
  EXPECT_EQ(card_rect(2).y, 0);
  e->cards.clear();
  add(-30, 60, 30, 30, GREEN);
  add(0, 0, 60, 30, RED);
  e->add_image(pasted(40, 40, BLUE));
  EXPECT_EQ(card_rect(2).x, 0);
  EXPECT_EQ(card_rect(2).y, 60);
}

TEST_F(Editor, WithoutRoomBesideACardTheImageGoesRightOfAllOrBelowAll) {
  const double box = e->pbox->get_width();
  // A card reaching the right edge leaves no candidate that fits.
  add(0, 0, box - 30, 90, RED);
  e->add_image(pasted(60, 40, GREEN));  // 45 points wide
  EXPECT_EQ(card_rect(1), (rect{0, 90, 45, 30}));
  // At zoom 2 candidates are judged zoomed, the fall-back is not: a card
  // that fits unzoomed goes right of everything, at the top.
  e->cards.clear();
  add(0, 0, 90, 60, RED);
  e->zoom = 2;
  const double w = std::floor((box - 90) / 0.75) - 4;  // pixels: just fits unzoomed
  e->add_image(pasted(int(w), 20, BLUE));
  EXPECT_DOUBLE_EQ(card_rect(1).x, 90);
  EXPECT_DOUBLE_EQ(card_rect(1).y, 0);
  // And an overlapping candidate is refused like one that does not fit.
  e->cards.clear();
  e->zoom = 1;
  add(0, 0, 90, 60, RED);
  add(100, 0, 30, 30, GREEN);  // in the way of a 60-point card right of card 0
  e->add_image(pasted(80, 80, BLUE));
  EXPECT_EQ(card_rect(2), (rect{130, 0, 60, 60}));
}

TEST_F(Editor, TheCaptionCountsTheCardsOnce) {
  for (int i = 0; i < 5; ++i) e->add_image(pasted(8, 8, RED));
  EXPECT_EQ(caption_of(e), "Edit / Collage / Print [5]");
  e->add_image(pasted(8, 8, RED));
  EXPECT_EQ(caption_of(e), "Edit / Collage / Print [6]");
  e->select_all();
  e->delete_selected();
  EXPECT_EQ(caption_of(e), "Edit / Collage / Print");
}

TEST_F(Editor, AnImageWithoutSizeMakesAnEmptyCardAndNoImageMakesNone) {
  Ref<C_Image> broken = C_Image::create();
  broken->file_name = "/nonexistent/missing.jpg";
  e->add_image(broken);
  ASSERT_EQ(e->cards.count(), 1);
  EXPECT_EQ(card_rect(0), (rect{0, 0, 0, 0}));
  EXPECT_EQ(selected(), (std::vector<int64_t>{0}));
  paint();  // nothing to draw, nothing breaks
  EXPECT_EQ(at(30, 30), WHITE);
  // The empty window of the viewer has no image to hand over.
  e->add_image(Ref<C_Image>());
  EXPECT_EQ(e->cards.count(), 1);
  EXPECT_EQ(e->card_counter, 1);
  // A pasted picture without a size gets its picture's.
  Ref<C_Image> p = pasted(40, 20, RED);
  p->width = p->height = 0;
  e->add_image(p);
  EXPECT_EQ(card_rect(1).w, 30);
  EXPECT_EQ(card_rect(1).h, 15);
}

TEST_F(Editor, ButtonsFollowTheCardsAndTheSelection) {
  e->add_image(pasted(8, 8, RED));
  EXPECT_TRUE(e->b_print->is_enabled());
  EXPECT_TRUE(e->b_select->is_enabled());
  EXPECT_TRUE(e->b_selection->is_enabled());
  e->reset_selection();
  EXPECT_TRUE(e->b_print->is_enabled());
  EXPECT_FALSE(e->b_selection->is_enabled());
  e->select_all();
  e->delete_selected();
  EXPECT_FALSE(e->b_print->is_enabled());
  EXPECT_FALSE(e->b_select->is_enabled());
}

TEST_F(Editor, ClosingOnlyHidesTheWindow) {
  e->add_image(pasted(8, 8, RED));
  ASSERT_TRUE(e->is_visible());
  te::close(e->native);
  te::settle();
  EXPECT_FALSE(e->is_visible());
  EXPECT_NE(e->native, 0);
  EXPECT_TRUE(Brek_runtime::dyn_obj_contains(screen->forms, e));
  EXPECT_EQ(e->cards.count(), 1);
  e->show();
  EXPECT_TRUE(e->is_visible());
}

TEST(EditorEntry, TheViewerHandsImagesToItsOneEditor) {
  ASSERT_NE(brek_platform::window_layer(), nullptr);
  auto* previous = brek_platform::set_native_forms(brek_platform::window_layer());
  Event_routing::reset_state();
  {
    Ref<Quiet_screen> screen = make<Quiet_screen>();
    Ref<C_Collage_viewer> viewer = make<C_Collage_viewer>();
    viewer->load_language();
    // Without the editor installed the viewer's door leads nowhere.
    Print_editor_hook::set_opener(nullptr);
    EXPECT_FALSE(Print_editor_hook::open(viewer, pasted(40, 40, RED)));
    C_Edit_collage_print::install();
    EXPECT_TRUE(Print_editor_hook::open(viewer, pasted(40, 40, RED)));
    Ref<C_Edit_collage_print> editor = C_Edit_collage_print::editor_of(viewer);
    ASSERT_FALSE(editor.is_none());
    EXPECT_EQ(editor->viewer.get(), viewer.get());
    EXPECT_TRUE(editor->is_visible());
    EXPECT_EQ(editor->cards.count(), 1);
    // The same editor takes the next image.
    C_Edit_collage_print::edit_image(viewer, pasted(40, 40, GREEN));
    EXPECT_EQ(C_Edit_collage_print::editor_of(viewer).get(), editor.get());
    EXPECT_EQ(editor->cards.count(), 2);
    // F7 in the editor goes to the viewer's function keys: EDIT hands the
    // viewer's current image (here the pasted one) to the same editor.
    viewer->collage->image = pasted(20, 20, BLUE);
    viewer->current_file = "<clipboard>";
    te::key(editor->native, 118);
    te::settle();
    EXPECT_EQ(editor->cards.count(), 3);
    viewer->collage->do_command("EDIT");
    EXPECT_EQ(editor->cards.count(), 4);
    // The editor does not keep the viewer alive; the viewer ends it.
    Weak<C_Edit_collage_print> watch = editor;
    editor.reset();
    dispose_now(viewer);
    EXPECT_TRUE(watch.is_none());
    EXPECT_TRUE(C_Edit_collage_print::editor_of(Ref<C_Collage_viewer>()).is_none());
    Print_editor_hook::set_opener(nullptr);
    dispose_now(screen);
  }
  te::settle();
  Event_routing::reset_state();
  brek_platform::set_native_forms(previous);
}

TEST_F(Editor, ACardKeepsItsPictureWhenTheViewerLetsGoOfItsOwnAndTheFileIsGone) {
  brek_test::Temp_dir dir;
  const std::string file = dir.file("red.bmp");
  Ref<C_Bitmap> red = C_Bitmap::create(30, 30, 24);
  *red->pixels() = Pixels(30, 30, RED);
  ASSERT_TRUE(C_Bmp::save(red, file));
  // An entry of the viewer's folder, handed over as F7 hands the current one.
  Ref<C_Collage_viewer> viewer = make<C_Collage_viewer>();
  Ref<C_Image> entry = C_Image::create();
  entry->file_name = file;
  viewer->files.append(entry);
  e->add_image(entry);
  paint();
  const rect r = card_rect(0);
  ASSERT_EQ(at(r.x + r.w / 2, r.y + r.h / 2), RED);

  // The viewer, scrolled far from the entry, frees its pictures; then the
  // file is deleted.
  entry->use_stamp = 1;
  entry->rect = rect{0, 50000, 50, 50};
  viewer->paint_clock = 1000;
  viewer->single_mode = false;
  viewer->release_far_pictures(800, 600);
  ASSERT_TRUE(entry->picture.is_none());
  std::filesystem::remove(file);
  paint();
  EXPECT_EQ(at(r.x + r.w / 2, r.y + r.h / 2), RED);
  dispose_now(viewer);
}
