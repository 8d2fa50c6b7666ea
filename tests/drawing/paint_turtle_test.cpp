// Turtle glyphs: command texts drawn into bitmaps with the pixels of their
// strokes and fills checked, turns, exact moves, repeats and comments,
// numbers that saturate, the cell frames, a glyph button on a real window
// reporting the cell a press hit, and the painted tree's marks.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "drawing/bitmap.h"
#include "drawing/paint_tree.h"
#include "drawing/paint_turtle.h"
#include "paint_test_support.h"
#include "platform/test_events.h"
#include "tests/support/on_window_layer.h"

using namespace brek;

namespace {

namespace te = brek_platform::test_events;

const Color INK = Colors::make(200, 0, 0);
const Color FILL = Colors::make(0, 160, 0);
const Color PAPER = Colors::make(255, 255, 255);

uint32_t rgb_of(Color c) { return Colors::to_pixel(c) & 0xFFFFFFu; }

// A cell of width x height pixels with a one-pixel rim, so that a point at
// percent (x, y) lies at pixel (1 + (width - 2) x / 100, 1 + (height - 2) y / 100).
struct Sheet {
  Ref<C_Bitmap> bmp;
  Ref<C_Canvas> canvas;
  turtle_data d;

  Sheet(int width, int height, int64_t glyphs = 1) {
    bmp = C_Bitmap::create(width, height, 24);
    canvas = bmp->canvas();
    canvas->units = units_measure_graphics::PIXELS;
    canvas->brush_color = PAPER;
    canvas->clear();
    d.width = width;
    d.height = height;
    d.glyph_count = glyphs;
    d.state = 0;  // no frame
    d.line_color = INK;
    d.fill_color = FILL;
  }
  void draw(const std::string& text) { C_Paint_turtle::draw_glyph(canvas, d, text); }
  uint32_t at(int x, int y) const { return bmp->pixels()->at(x, y) & 0xFFFFFFu; }
  int count(Color c) const {
    int n = 0;
    for (int y = 0; y < bmp->height; ++y)
      for (int x = 0; x < bmp->width; ++x) n += at(x, y) == rgb_of(c);
    return n;
  }
};

// The state after running a text from the pass's start.
turtle_data run(const std::string& text, int64_t glyphs = 1) {
  Sheet s(102, 102, glyphs);
  s.d.x = s.d.y = 0;
  s.d.heading = 45;
  C_Paint_turtle::run_commands(s.canvas, s.d, text, C_Paint_turtle::is_exact(text));
  return s.d;
}

}  // namespace

TEST(Turtle, TheDecrementAndIncrementGlyphsAreTwoFilledTrianglesOneInEachCell) {
  // 202 x 102 pixels: percent x lies at pixel 1 + 2x, percent y at 1 + y.
  Sheet s(202, 102, 2);
  s.draw("20R30DFL40BR80BR40UN BR150 BRDF40BR80BR40");
  // Left cell: (10, 50), (30, 90), (30, 10), pointing left.
  EXPECT_EQ(s.at(61, 50), rgb_of(INK));   // the upright side at x = 30
  EXPECT_EQ(s.at(41, 71), rgb_of(INK));   // the lower slant
  EXPECT_EQ(s.at(41, 31), rgb_of(INK));   // the upper slant
  EXPECT_EQ(s.at(48, 51), rgb_of(FILL));  // inside
  EXPECT_EQ(s.at(15, 51), rgb_of(PAPER)); // left of the tip
  EXPECT_EQ(s.at(48, 15), rgb_of(PAPER)); // above the upper slant
  // Right cell: (85, 50), (65, 10), (65, 90), pointing right.
  EXPECT_EQ(s.at(131, 50), rgb_of(INK));
  EXPECT_EQ(s.at(151, 31), rgb_of(INK));
  EXPECT_EQ(s.at(145, 51), rgb_of(FILL));
  EXPECT_EQ(s.at(180, 51), rgb_of(PAPER));
  // Between them the pen was up: nothing.
  for (int x = 65; x < 128; ++x) EXPECT_EQ(s.at(x, 51), rgb_of(PAPER)) << x;
  // Both are filled, not only outlined.
  EXPECT_GT(s.count(FILL), 2 * 500);
  // The line pass ended where the text ends.
  EXPECT_DOUBLE_EQ(s.d.x, 85);
  EXPECT_DOUBLE_EQ(s.d.y, 50);
}

TEST(Turtle, TurnsGridStepsAndExactMoves) {
  turtle_data d = run("R");
  EXPECT_EQ(d.heading, 90);
  EXPECT_EQ(run("L").heading, 0);
  EXPECT_EQ(run("B").heading, 225);
  EXPECT_EQ(run("LLL").heading, 270);
  // A diagonal step on the grid moves the whole distance on both axes...
  d = run("100");
  EXPECT_DOUBLE_EQ(d.x, 100);
  EXPECT_DOUBLE_EQ(d.y, 100);
  // ...but half of it across when the control holds two glyphs.
  d = run("40", 2);
  EXPECT_DOUBLE_EQ(d.x, 20);
  EXPECT_DOUBLE_EQ(d.y, 40);
  // "0C" turns by nothing, yet puts the whole text in exact mode.
  d = run("0C100");
  EXPECT_NEAR(d.x, 70.7106781, 1e-6);
  EXPECT_NEAR(d.y, 70.7106781, 1e-6);
  EXPECT_EQ(d.heading, 45);
  // C turns right and A left, by any angle, with blanks before the letter.
  d = run("45 C10");
  EXPECT_EQ(d.heading, 90);
  EXPECT_NEAR(d.x, 0, 1e-9);
  EXPECT_NEAR(d.y, 10, 1e-9);
  EXPECT_EQ(run("75A").heading, -30);
  // Saved place and heading come back.
  d = run("S30R20G");
  EXPECT_DOUBLE_EQ(d.x, 0);
  EXPECT_EQ(d.heading, 45);

  // Drawn: the exact line stops at 70.7 where the grid line would reach 100.
  Sheet s(102, 102);
  s.draw("0CD100");
  EXPECT_EQ(s.at(50, 50), rgb_of(INK));
  EXPECT_EQ(s.at(70, 70), rgb_of(INK));
  EXPECT_EQ(s.at(80, 80), rgb_of(PAPER));
}

TEST(Turtle, AGroupRunsAsOftenAsItsCountSays) {
  // (40R)3: three steps and three turns.
  turtle_data d = run("(40R)3");
  EXPECT_EQ(d.heading, 180);
  EXPECT_DOUBLE_EQ(d.x, 0);
  EXPECT_DOUBLE_EQ(d.y, 120);
  // Counts of 0 and 1 add no runs: the group ran once while it was read.
  EXPECT_EQ(run("(R)0").heading, 90);
  EXPECT_EQ(run("(R)1").heading, 90);
  // A group inside a group repeats inside every run of the outer one.
  EXPECT_EQ(run("((R)2B)2").heading, 225);
  // A ")" inside a comment neither closes nor opens anything.
  EXPECT_EQ(run("(R[)]R)2").heading, 225);

  // A square: to (20, 20), face right, then four sides.
  Sheet square(102, 102);
  square.draw("20LD(50RR)4");
  EXPECT_EQ(square.at(46, 21), rgb_of(INK));  // top
  EXPECT_EQ(square.at(71, 46), rgb_of(INK));  // right
  EXPECT_EQ(square.at(46, 71), rgb_of(INK));  // bottom
  EXPECT_EQ(square.at(21, 46), rgb_of(INK));  // left
  EXPECT_EQ(square.at(46, 46), rgb_of(PAPER));
  // Three runs leave the left side out.
  Sheet open(102, 102);
  open.draw("20LD(50RR)3");
  EXPECT_EQ(open.at(46, 71), rgb_of(INK));
  EXPECT_EQ(open.at(21, 46), rgb_of(PAPER));
  // Lower case is the same text.
  Sheet lower(102, 102);
  lower.draw("20ld(50rr)4");
  for (int y = 0; y < 102; ++y)
    for (int x = 0; x < 102; ++x) ASSERT_EQ(lower.at(x, y), square.at(x, y)) << x << "," << y;
}

TEST(Turtle, CommentsAreSkippedUpToTheirEndWithoutNesting) {
  EXPECT_EQ(run("[R]R").heading, 90);
  EXPECT_EQ(run("[RRRR").heading, 45);  // an open comment takes the rest
  Sheet none(102, 102);
  none.draw("[D]50");
  EXPECT_EQ(none.count(INK), 0);
  // The second "[" is only text of the first comment.
  Sheet drawn(102, 102);
  drawn.draw("[[D]D50");
  EXPECT_EQ(drawn.at(26, 26), rgb_of(INK));
  EXPECT_EQ(drawn.at(60, 60), rgb_of(PAPER));
  // Digits in a comment are no number.
  EXPECT_DOUBLE_EQ(run("[80]").x, 0);
}

TEST(Turtle, NumbersAndHeadingsSaturateAndRepeatsEnd) {
  const int64_t top = std::numeric_limits<int64_t>::max();
  const int64_t bottom = std::numeric_limits<int64_t>::min();
  EXPECT_EQ(run("99999999999999999999999C").heading, top);
  EXPECT_EQ(run("99999999999999999999999C 99999999999999999999999C").heading, top);
  EXPECT_EQ(run("99999999999999999999999A 99999999999999999999999A").heading, bottom);
  // A move by the largest number stays a number.
  turtle_data d = run("99999999999999999999999");
  EXPECT_TRUE(std::isfinite(d.x));
  EXPECT_GT(d.x, 9e18);
  // A huge repeat count stops when the pass has read its share of text.
  Sheet s(102, 102);
  s.d.x = s.d.y = 0;
  C_Paint_turtle::run_commands(s.canvas, s.d, "D(1C1)99999999999999999999", true);
  EXPECT_EQ(s.d.steps_left, 0);
  // Drawing a huge glyph draws nothing outside its sheet and returns.
  s.draw("DF99999999999999999999R99999999999999999999");
  // Groups nested 300 deep, each doubling the work, end on that share
  // long before they could nest deeply.
  std::string deep;
  for (int i = 0; i < 300; ++i) deep += "(";
  deep += "R";
  for (int i = 0; i < 300; ++i) deep += ")2";
  turtle_data dd;
  C_Paint_turtle::run_commands(s.canvas, dd, deep, false);
  EXPECT_EQ(dd.steps_left, 0);
}

TEST(Turtle, DisabledGlyphsUseTheirOwnColoursAndFillOnlyWhenOpaque) {
  const std::string triangle = "20R30DFL40BR80BR40";
  Sheet grey(102, 102);
  grey.d.disabled = 1;
  grey.draw(triangle);
  EXPECT_EQ(grey.count(FILL), 0);
  EXPECT_EQ(grey.at(61, 50), rgb_of(grey.d.disabled_line_color));
  EXPECT_EQ(grey.at(48, 51), rgb_of(PAPER));
  Sheet tinted(102, 102);
  tinted.d.disabled = 1;
  tinted.d.disabled_fill_color = Colors::make(0, 0, 220);
  tinted.draw(triangle);
  EXPECT_EQ(tinted.at(48, 51), rgb_of(Colors::make(0, 0, 220)));
  // The canvas keeps its pen width and brush.
  EXPECT_DOUBLE_EQ(tinted.canvas->pen_width, 1.0);
  EXPECT_EQ(tinted.canvas->brush_color, PAPER);
  EXPECT_EQ(tinted.canvas->brush_style, brush_style::SOLID_BRUSH);
}

TEST(Turtle, CellFramesRaisedFlatAndTheSunkenPressedCell) {
  // Three cells of 40 x 30 pixels, no glyph: only the frames. Rectangles
  // reach one unit past their size, so the sheet has a row to spare.
  Sheet s(120, 31, 3);
  s.d.height = 30;
  s.canvas->brush_color = Colors::make(0, 0, 255);  // the frames' background
  s.d.state = 3;
  s.d.pressed_index = 1;
  s.draw("");
  const uint32_t ink = rgb_of(INK);
  // The pressed cell is sunken: a line in the pen colour two pixels in.
  EXPECT_EQ(s.at(40 + 10, 2), ink);
  EXPECT_EQ(s.at(40 + 2, 12), ink);
  // The others are raised: dark bottom edge, light inner outline.
  EXPECT_NE(s.at(10, 2), ink);
  EXPECT_EQ(s.at(10, 30), rgb_of(Colors::average(COLOR_BLACK, INK)));
  EXPECT_EQ(s.at(10, 1), rgb_of(Colors::average(COLOR_WHITE, INK)));
  EXPECT_EQ(s.at(80 + 10, 30), rgb_of(Colors::average(COLOR_BLACK, INK)));
  EXPECT_EQ(s.at(40 + 10, 29), rgb_of(Colors::average(COLOR_BLACK, INK)));
  // Inside every cell nothing is drawn.
  EXPECT_EQ(s.at(60, 15), rgb_of(PAPER));

  Sheet flat(40, 30);
  flat.d.state = 1;
  flat.draw("");
  EXPECT_EQ(flat.at(0, 10), ink);
  EXPECT_EQ(flat.at(20, 0), ink);
  EXPECT_EQ(flat.at(39, 10), ink);
  EXPECT_EQ(flat.at(20, 15), rgb_of(PAPER));
}

TEST(Turtle, AHitFindsTheCellAndNoWidthFindsNone) {
  EXPECT_EQ(C_Paint_turtle::glyph_at(20, 30, 2), 1);
  EXPECT_EQ(C_Paint_turtle::glyph_at(0, 30, 2), 0);
  EXPECT_EQ(C_Paint_turtle::glyph_at(29.99, 30, 3), 2);
  EXPECT_EQ(C_Paint_turtle::glyph_at(30, 30, 2), -1);
  EXPECT_EQ(C_Paint_turtle::glyph_at(-0.5, 30, 2), -1);
  EXPECT_EQ(C_Paint_turtle::glyph_at(10, 0, 2), -1);
  EXPECT_EQ(C_Paint_turtle::glyph_at(0, 0, 2), -1);
  EXPECT_EQ(C_Paint_turtle::glyph_at(10, std::nan(""), 2), -1);
  EXPECT_EQ(C_Paint_turtle::glyph_at(std::nan(""), 30, 2), -1);
  EXPECT_EQ(C_Paint_turtle::glyph_at(5, 30, 0), -1);
}

// ---- the button on a real window ----

namespace {

using namespace paint_test;

// Logs what the form's own press handler sees of the button.
class Glyph_form : public C_Form {
  BREK_CLASS(Glyph_form)
 public:
  std::vector<std::string> pressed;
  void on_mouse_down() override {
    Ref<C_Paint_turtle> t = ref_cast<C_Paint_turtle>(current_control());
    if (!t.is_none()) pressed.push_back(t->pressed_glyph);
  }
};

class Turtle_button : public ::testing::Test, protected brek_test::On_window_layer<> {
 protected:
  void SetUp() override {
    form = make<Glyph_form>();
    form->set_bounds({40, 40, 400, 300});
    form->new_column("ROW", layout_on_form::TOP, St_sizes_col__C_Form{60, 0, 0, 0, ""});
  }
  Ref<Glyph_form> form;
};

}  // namespace

TEST_F(Turtle_button, ANewButtonIsRaisedAndDrawsItsGlyphsInTheirCells) {
  Ref<C_Paint_turtle> t = C_Paint_turtle::new_turtle(form, "ROWS", "20r30dfl40br80br40un br150 brdf40br80br40");
  ASSERT_NE(t->native, 0);
  EXPECT_EQ(t->commands, "20R30DFL40BR80BR40UN BR150 BRDF40BR80BR40");
  EXPECT_EQ(t->state, 2);
  EXPECT_EQ(t->pressable, 1);
  EXPECT_EQ(t->color_set, 0);
  EXPECT_EQ(t->has_vbar + t->has_hbar, 0);
  EXPECT_EQ(t->line_color, Colors::system(int64_t(system_color::BUTTON_TEXT)));
  EXPECT_DOUBLE_EQ(t->want_width, 18.0);
  EXPECT_DOUBLE_EQ(t->content_width, 24.0);
  EXPECT_TRUE(t->is_glyph_button());
  t->set_glyphs(" DECR_ROWS , INCR_ROWS");
  ASSERT_EQ(t->glyphs.count(), 2);
  EXPECT_EQ(t->glyphs.get(0), "DECR_ROWS");
  EXPECT_EQ(t->glyphs.get(1), "INCR_ROWS");
  EXPECT_DOUBLE_EQ(t->content_width, 48.0);

  t->set_size_request(60, 36);  // 80 x 48 pixels
  form->show();
  ASSERT_TRUE(te::wait_exposed(form->native));
  ASSERT_DOUBLE_EQ(t->get_width(), 60);
  t->paint_surface();
  ASSERT_FALSE(t->back_buffer.is_none());
  auto px = [&](double pct_x, double pct_y) {
    // Percent of the cell to buffer pixels (points round half to even).
    const double x = 1 + 58 * pct_x / 100, y = 1 + 34 * pct_y / 100;
    return t->back_buffer->pixels()->at(int(std::nearbyint(x * 96 / 72)), int(std::nearbyint(y * 96 / 72))) &
           0xFFFFFFu;
  };
  const Color face = t->color;
  EXPECT_EQ(px(25, 50), rgb_of(t->fill_color));
  EXPECT_EQ(px(75, 50), rgb_of(t->fill_color));
  EXPECT_EQ(px(45, 50), rgb_of(face));

  // A press on the right cell marks it in the fill colour mixed with the face.
  te::mouse_press(t->native, {50, 18});
  EXPECT_EQ(t->pressed_glyph, "INCR_ROWS");
  t->paint_surface();
  EXPECT_EQ(px(58, 30), rgb_of(Colors::average(t->fill_color, face)));
  EXPECT_EQ(px(8, 30), rgb_of(face));
  te::mouse_release(t->native, {50, 18});
  EXPECT_EQ(t->pressed_glyph, "");
  EXPECT_EQ(t->state, 2);
}

TEST_F(Turtle_button, APressReportsTheGlyphOfAThreeGlyphButtonToTheForm) {
  Ref<C_Paint_turtle> t = C_Paint_turtle::new_turtle(form, "STEP", "D50");
  t->set_glyphs("FIRST,SECOND,THIRD");
  t->set_size_request(60, 18);
  form->show();
  ASSERT_TRUE(te::wait_exposed(form->native));
  ASSERT_DOUBLE_EQ(t->get_bounds().w, 60);
  struct Press {
    double x;
    const char* glyph;
  };
  for (Press p : {Press{5, "FIRST"}, Press{25, "SECOND"}, Press{45, "THIRD"}, Press{59, "THIRD"}}) {
    te::mouse_press(t->native, {p.x, 9});
    EXPECT_EQ(t->pressed_glyph, p.glyph) << p.x;
    EXPECT_EQ(t->state, 3);
    // The form's own handler runs afterwards and sees the glyph.
    ASSERT_FALSE(form->pressed.empty());
    EXPECT_EQ(form->pressed.back(), p.glyph);
    te::mouse_release(t->native, {p.x, 9});
    EXPECT_EQ(t->state, 2);
  }
  // The right button presses nothing.
  te::mouse_press(t->native, {25, 9}, 2);
  EXPECT_EQ(t->pressed_glyph, "");
  EXPECT_EQ(t->state, 2);
  te::mouse_release(t->native, {25, 9}, 2);
  // A double click on a button of several glyphs leaves the pressed look
  // to the release.
  t->set_state(3);
  t->on_double_click(5, 9, button_mouse::LMB, 0);
  EXPECT_EQ(t->state, 3);
  // A button that is not pressable keeps its look.
  t->set_state(2);
  t->pressable = 0;
  te::mouse_press(t->native, {5, 9});
  EXPECT_EQ(t->state, 2);
  EXPECT_EQ(t->pressed_glyph, "");
  te::mouse_release(t->native, {5, 9});
}

// ---- the painted tree's marks ----

namespace {
class Tree_marks : public paint_test::Paint_test {};
}  // namespace

TEST_F(Tree_marks, ANodesGlyphIsDrawnByTheTurtleInItsLineAndFillColours) {
  Ref<C_Paint_tree> t = C_Paint_tree::new_tree(form, "TR", "");
  set_surface(t, 200, 80);
  t->glyph_texts.append("");
  t->glyph_texts.append("20LDF(60RR)4");  // a filled square
  t->glyph1_fill_color = Colors::make(0, 200, 0);
  t->glyph1_line_color = Colors::make(0, 0, 200);
  const int32_t a = t->add_node("a", -1, -1);
  auto count = [&](Color c) {
    t->invalidate_all();
    t->paint_surface();
    const Pixels* p = t->back_buffer->pixels();
    int n = 0;
    for (int y = 0; y < p->height(); ++y)
      for (int x = 0; x < p->width(); ++x) n += (p->at(x, y) & 0xFFFFFFu) == rgb_of(c);
    return n;
  };
  EXPECT_EQ(count(t->glyph1_fill_color), 0);
  St_tree_node__C_Paint_tree node = t->get_node(a);
  node.glyph1 = 1;
  t->nodes.set(a, node);
  EXPECT_GT(count(t->glyph1_fill_color), 4);
  EXPECT_GT(count(t->glyph1_line_color), 4);
}
