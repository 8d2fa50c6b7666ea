// Pointer input of the main window: drags, the wheel, hovering and scrolling.
#include <gtest/gtest.h>

#include "baselib/config.h"
#include "runtime/clock.h"
#include "tests/viewer/viewer_input_support.h"

using namespace viewer_input;

namespace {

// An 800 x 600 pixel box is 600 x 450 points.
constexpr double W = 600, H = 450, HP = 600;

// A directory view 6000 pixels high with a column of cells.
void tall_directory(const Ref<Test_viewer>& v) {
  for (int i = 0; i < 30; ++i) add_entry(v, "/p/" + std::to_string(i) + ".jpg", rect{0, 200.0 * i, 300, 200});
  v->layout_bottom = 6000;
  v->laid_out_count = 30;
  v->current_file = "/p/0.jpg";
}

}  // namespace

using ViewerPointer = Viewer_box;

TEST_F(ViewerPointer, APressBecomesADragAtThreePoints) {
  b.press({100, 100});
  EXPECT_TRUE(v->left_down);
  b.move({102.9, 100});
  EXPECT_FALSE(v->dragged);
  b.move({103, 100});
  EXPECT_TRUE(v->dragged);
  EXPECT_EQ(v->last_pointer.x, 103);
  b.press({10, 10}, 2);
  EXPECT_FALSE(v->dragged);
  EXPECT_TRUE(v->right_down);
}

TEST_F(ViewerPointer, TheWheelZoomsInTheMiddleAndBrowsesAtTheEdges) {
  for (const char* n : {"/p/a.jpg", "/p/b.jpg"}) add_entry(v, n, rect{0, 0, 100, 80});
  v->single_mode = true;
  v->current_file = "/p/a.jpg";

  v->pointer = point{400, 300};
  b.wheel({W / 2, H / 2}, -120);  // towards the user
  EXPECT_NEAR(v->scale, 1.1, 1e-12);
  b.wheel({W / 2, H / 2}, 120);
  EXPECT_NEAR(v->scale, 1.0, 1e-12);
  EXPECT_EQ(v->current_file, "/p/a.jpg");

  // Within 25 points of an edge the wheel shows the next file.
  v->pointer = point{20, 300};
  b.wheel({15, H / 2}, -120);
  EXPECT_EQ(v->current_file, "/p/b.jpg");
  EXPECT_TRUE(v->wheel_browsed);
  EXPECT_NEAR(v->scale, 1.0, 1e-12);
  b.wheel({15, H / 2}, -120);  // no wrap at the end
  EXPECT_EQ(v->current_file, "/p/b.jpg");

  // With the right button held it browses everywhere.
  v->pointer = point{400, 300};
  v->right_down = true;
  b.wheel({W / 2, H / 2}, 120);
  EXPECT_EQ(v->current_file, "/p/a.jpg");
  v->right_down = false;

  // During a slideshow the wheel changes the interval instead.
  v->slideshow = true;
  b.wheel({W / 2, H / 2}, -120);
  EXPECT_NEAR(v->slide_interval, 1000 / 1.1, 1e-9);
  EXPECT_NEAR(v->scale, 1.0, 1e-12);
}

// A touchpad reports a notch in many small turns: they zoom as much as the
// notch, one step for each whole notch, whatever the platform.
TEST_F(ViewerPointer, SmallWheelTurnsAddUpToNotches) {
  add_entry(v, "/p/a.jpg", rect{0, 0, 100, 80});
  v->single_mode = true;
  v->current_file = "/p/a.jpg";
  v->pointer = point{400, 300};

  for (int i = 0; i < 10; ++i) b.wheel({W / 2, H / 2}, -12);
  EXPECT_NEAR(v->scale, 1.1, 1e-12);
  for (int i = 0; i < 5; ++i) b.wheel({W / 2, H / 2}, -12);
  EXPECT_NEAR(v->scale, 1.1, 1e-12);
  // Half a notch back the other way cancels nothing already taken.
  for (int i = 0; i < 5; ++i) b.wheel({W / 2, H / 2}, 12);
  EXPECT_NEAR(v->scale, 1.1, 1e-12);
  for (int i = 0; i < 5; ++i) b.wheel({W / 2, H / 2}, 12);
  EXPECT_NEAR(v->scale, 1.0, 1e-12);
  // Two notches reported at once are two steps.
  b.wheel({W / 2, H / 2}, -240);
  EXPECT_NEAR(v->scale, 1.21, 1e-12);
}

// A right-button drag in the thumbnail view resizes the thumbnails; the
// release ends it and stores the size once, within what is read back.
TEST_F(ViewerPointer, AThumbnailDragEndsOnTheReleaseAndStoresWhatIsReadBack) {
  tall_directory(v);
  v->collage->mode_view = mode_view::THUMB;
  auto stored = [](const char* key) {
    return C_Config::open_read("Collage_viewer", area_where_configuration_is_stored::USER, "Main")->read_integer(key);
  };

  b.press({100, 100}, 2);
  b.move({130, 115});  // 40 x 20 pixels
  EXPECT_EQ(v->collage->thumb_w, 296);
  EXPECT_EQ(v->collage->thumb_h, 212);
  EXPECT_EQ(stored("Thumb_w"), 0);  // nothing written while dragging
  b.release({130, 115}, 2);
  EXPECT_EQ(stored("Thumb_w"), 296);
  EXPECT_EQ(stored("Thumb_h"), 212);

  // The next drag starts from the size the last one left.
  b.press({100, 100}, 2);
  b.move({100, 130});
  EXPECT_EQ(v->collage->thumb_w, 296);
  EXPECT_EQ(v->collage->thumb_h, 252);
  b.release({100, 130}, 2);

  // Far beyond the largest size: the largest that is read back.
  b.press({0, 0}, 2);
  b.move({W, H});
  b.move({3000, 3000});
  b.release({3000, 3000}, 2);
  EXPECT_EQ(stored("Thumb_w"), 2047);
  EXPECT_EQ(stored("Thumb_h"), 1599);
  Ref<C_Additional_collage> fresh = make<C_Additional_collage>();
  fresh->read_settings(*C_Config::open_read("Collage_viewer", area_where_configuration_is_stored::USER, "Main"));
  EXPECT_EQ(fresh->thumb_w, 2047);
  EXPECT_EQ(fresh->thumb_h, 1599);
  EXPECT_TRUE(b.messages.empty());
}

TEST_F(ViewerPointer, WheelScrollingGrowsTowardsTheEdgesAndStaysInTheContent) {
  tall_directory(v);

  // The wheel in a directory view only collects the amount for the timer.
  b.wheel({W / 2, H / 2}, -120);
  EXPECT_DOUBLE_EQ(v->wheel_pending, -0.25);
  EXPECT_TRUE(v->timer_2->is_enabled());
  EXPECT_EQ(v->scroll_y, 0);

  v->apply_wheel_scroll(-1.0);
  EXPECT_NEAR(v->scroll_y, 0.0005 * HP, 1e-9);

  b.move({W / 2, 0});
  v->scroll_y = 0;
  v->apply_wheel_scroll(-1.0);
  EXPECT_NEAR(v->scroll_y, HP * 1.001 / 2, 1e-9);
  // The current file follows into the view.
  EXPECT_EQ(v->current_file, "/p/1.jpg");

  v->apply_wheel_scroll(-1000.0);
  EXPECT_EQ(v->scroll_y, 6000 - HP);
  v->apply_wheel_scroll(1000.0);
  EXPECT_EQ(v->scroll_y, 0);

  // Content that fits the view is not scrolled.
  v->layout_bottom = 500;
  v->scroll_y = 40;
  v->apply_wheel_scroll(-1.0);
  EXPECT_EQ(v->scroll_y, 0);
}

TEST_F(ViewerPointer, JumpScrollTakesThePointersFraction) {
  tall_directory(v);
  // The rows the pointer can take (the last is 0.75 points above the
  // bottom) span the scroll range, 0 to 6000 - 600.
  b.move({W / 2, 0});
  v->jump_scroll();
  EXPECT_EQ(v->scroll_y, 0);
  b.move({W / 2, (H - 0.75) / 2});
  v->jump_scroll();
  EXPECT_NEAR(v->scroll_y, 2700, 1e-9);
  b.move({W / 2, H - 0.75});
  v->jump_scroll();
  EXPECT_EQ(v->scroll_y, 6000 - HP);
  // Content shorter than the view stays at the top.
  v->layout_bottom = 300;
  v->jump_scroll();
  EXPECT_EQ(v->scroll_y, 0);
}

TEST_F(ViewerPointer, ALeftDragAtTheRightEdgeJumpsOnceThePointerRested) {
  Brek_runtime::Test_clock clock;
  tall_directory(v);
  b.press({0.95 * W, H / 4});
  b.move({0.95 * W, H / 4 + 5});
  EXPECT_TRUE(v->dragged);
  EXPECT_EQ(v->scroll_y, 0);
  clock.advance(300);
  b.move({0.95 * W, H / 4 + 5.5});
  EXPECT_NEAR(v->scroll_y, (H / 4 + 5.5) / (H - 0.75) * (6000 - HP), 1e-9);
}

TEST_F(ViewerPointer, HoveringPicksTheNearestCellUnderThePointer) {
  add_entry(v, "/p/a.jpg", rect{0, 0, 200, 200});
  add_entry(v, "/p/b.jpg", rect{150, 0, 200, 200});  // overlaps a
  add_entry(v, "/p/c.jpg", rect{0, 400, 200, 200});
  v->current_file = "/p/a.jpg";

  // (160, 20) pixels lies in both a and b; b's corner (150, 0) is nearer
  // than a's (200, 0).
  b.move({160 * 0.75, 20 * 0.75});
  EXPECT_TRUE(v->hover_update());
  EXPECT_EQ(v->current_file, "/p/b.jpg");
  // Scrolled, the pointer meets c.
  v->scroll_y = 350;
  b.move({50 * 0.75, 100 * 0.75});
  v->hover_update();
  EXPECT_EQ(v->current_file, "/p/c.jpg");

  EXPECT_TRUE(C_Collage_viewer::nearer_cell(rect{10, 10, 5, 5}, rect{0, 0, 5, 5}, point{16, 16}));
  EXPECT_FALSE(C_Collage_viewer::nearer_cell(rect{0, 0, 5, 5}, rect{0, 0, 5, 5}, point{1, 1}));
}

TEST_F(ViewerPointer, CrossingTheIndicatorLineRepaints) {
  tall_directory(v);
  b.move({100, H / 2});
  b.paint();
  EXPECT_EQ(v->pb->whole_pending, 0);
  b.move({120, H / 2});
  EXPECT_EQ(v->pb->whole_pending, 0);
  b.move({W - W / 8, H / 2});
  EXPECT_EQ(v->pb->whole_pending, 1);
}
