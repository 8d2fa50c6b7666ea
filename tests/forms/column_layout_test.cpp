#include "forms/column_layout.h"

#include <gtest/gtest.h>

using namespace brek;
using namespace brek::Column_layout;
using K = layout_on_form;
using CL = controls_layout;

namespace {

Column_box col(K kind, int64_t w, int64_t h, int64_t host = -1, bool visible = true) {
  Column_box c;
  c.kind = kind;
  c.own_width = w;
  c.own_height = h;
  c.host = host;
  c.visible = visible;
  return c;
}

void expect_rect(const Column_place& p, int64_t x, int64_t y, int64_t w, int64_t h) {
  EXPECT_EQ(p.rect.x, x);
  EXPECT_EQ(p.rect.y, y);
  EXPECT_EQ(p.rect.w, w);
  EXPECT_EQ(p.rect.h, h);
}

Control_box button(double w, double h = 20) {
  Control_box b;
  b.push_button = true;
  b.width = w;
  b.height = h;
  return b;
}

Control_box label(const std::string& text, double text_width, double h = 12) {
  Control_box b;
  b.label = true;
  b.text = text;
  b.text_width = text_width;
  b.width = text_width;
  b.height = h;
  return b;
}

Control_box edit(double w = 100, double h = 18) {
  Control_box b;
  b.width = w;
  b.height = h;
  return b;
}

Column_frame bottom_row(CL layout, double width = 300, double height = 28) {
  Column_frame f;
  f.kind = K::BOTTOM;
  f.layout = layout;
  f.client_width = width;
  f.client_height = height;
  return f;
}

std::vector<double> xs(const Controls_result& r) {
  std::vector<double> v;
  for (auto& rec : r.records) v.push_back(rec.x);
  return v;
}

}  // namespace

// ---- columns ----

TEST(ColumnArrange, OneCentreColumnFillsTheClientAreaAndASecondIsHidden) {
  auto r = arrange_columns({col(K::CENTER, 266, 266)}, 400, 300, 400);
  expect_rect(r.places[0], 0, 0, 400, 300);
  EXPECT_TRUE(r.places[0].apply && r.places[0].set_width && r.places[0].set_height);

  r = arrange_columns({col(K::CENTER, 266, 266), col(K::CENTER, 266, 266)}, 400, 300, 400);
  expect_rect(r.places[0], 0, 0, 400, 300);
  EXPECT_TRUE(r.places[1].hide);
  EXPECT_FALSE(r.places[1].apply);
  expect_rect(r.places[1], 0, 0, 0, 0);
}

TEST(ColumnArrange, SideColumnsShareAnOddWidthWithoutACentre) {
  auto r = arrange_columns({col(K::LEFT, 266, 266), col(K::RIGHT, 266, 266)}, 301, 200, 301);
  EXPECT_TRUE(r.shared_width);
  expect_rect(r.places[0], 0, 0, 150, 200);
  expect_rect(r.places[1], 151, 0, 150, 200);
  EXPECT_TRUE(r.places[0].set_width);
  EXPECT_TRUE(r.places[1].set_width);

  // With a centre column the sides keep their own widths, and no width is set.
  r = arrange_columns({col(K::LEFT, 266, 0), col(K::CENTER, 0, 0), col(K::RIGHT, 50, 0)}, 500, 200, 500);
  EXPECT_FALSE(r.shared_width);
  expect_rect(r.places[0], 0, 0, 266, 200);
  expect_rect(r.places[1], 266, 0, 184, 200);
  expect_rect(r.places[2], 450, 0, 50, 200);
  EXPECT_FALSE(r.places[0].set_width);
  EXPECT_TRUE(r.places[0].set_height);
}

TEST(ColumnArrange, BandsKeepTheirHeightsWhenTheFormIsTooLow) {
  // A 28-point band is 37 pixels; the bottom band is placed from the
  // clamped free height, right under the top band.
  auto r = arrange_columns({col(K::TOP, 0, 37), col(K::BOTTOM, 0, 37), col(K::CENTER, 0, 0)}, 200, 50, 200);
  expect_rect(r.places[0], 0, 0, 200, 37);
  expect_rect(r.places[1], 0, 37, 200, 37);
  expect_rect(r.places[2], 0, 37, 200, 1);  // at least 1 x 1
  EXPECT_FALSE(r.places[0].set_height);
  EXPECT_TRUE(r.places[0].set_width);

  // Two bottom bands: the first in the list ends up lowest.
  r = arrange_columns({col(K::BOTTOM, 0, 30), col(K::BOTTOM, 0, 20)}, 100, 200, 100);
  expect_rect(r.places[0], 0, 170, 100, 30);
  expect_rect(r.places[1], 0, 150, 100, 20);
}

TEST(ColumnArrange, HiddenColumnsTakeNoRoomAndHostedOnesCutTheirHost) {
  auto r = arrange_columns({col(K::LEFT, 80, 0, -1, false), col(K::CENTER, 0, 0)}, 300, 200, 300);
  expect_rect(r.places[0], 0, 0, 0, 0);
  EXPECT_FALSE(r.places[0].apply);
  expect_rect(r.places[1], 0, 0, 300, 200);

  // A visible column hosted by a hidden one lands in the zero rectangle.
  r = arrange_columns({col(K::CENTER, 0, 0, -1, false), col(K::TOP, 0, 30, 0)}, 300, 200, 300);
  expect_rect(r.places[1], 0, 0, 0, 30);

  // Top ones first, bottom ones last-first, then the sides.
  r = arrange_columns({col(K::CENTER, 0, 0), col(K::BOTTOM, 0, 10, 0), col(K::TOP, 0, 20, 0),
                       col(K::BOTTOM, 0, 15, 0), col(K::LEFT, 40, 0, 0), col(K::RIGHT, 30, 0, 0)},
                      300, 200, 300);
  expect_rect(r.places[2], 0, 0, 300, 20);
  expect_rect(r.places[3], 0, 185, 300, 15);
  expect_rect(r.places[1], 0, 175, 300, 10);
  expect_rect(r.places[4], 0, 20, 40, 155);
  expect_rect(r.places[5], 270, 20, 30, 155);
  expect_rect(r.places[0], 40, 20, 230, 155);

  // A host that is not a column reads as the zero rectangle.
  r = arrange_columns({col(K::LEFT, 25, 0, 7)}, 300, 200, 300);
  expect_rect(r.places[0], 0, 0, 25, 0);
}

// ---- controls ----

TEST(ControlArrange, ThreeButtonsInABottomRow) {
  std::vector<Control_box> three = {button(60), button(60), button(60)};
  auto r = arrange_controls(bottom_row(CL::CONTROLS_CENTER), three);
  EXPECT_EQ(xs(r), (std::vector<double>{27, 114, 201}));
  for (auto& rec : r.records) {
    EXPECT_EQ(rec.y, 2);
    EXPECT_EQ(rec.h, 24);  // client height - 2 g
    EXPECT_EQ(rec.w, 60);
  }
  EXPECT_EQ(xs(arrange_controls(bottom_row(CL::CONTROLS_RIGHT), three)), (std::vector<double>{108, 168, 228}));
  EXPECT_EQ(xs(arrange_controls(bottom_row(CL::CONTROLS_LEFT), three)), (std::vector<double>{2, 62, 122}));
  // Even gaps between the controls, starting at the margin.
  EXPECT_EQ(xs(arrange_controls(bottom_row(CL::CONTROLS_JUSTIFY), three)), (std::vector<double>{2, 89, 176}));
  // The last one at the right end.
  EXPECT_EQ(xs(arrange_controls(bottom_row(CL::CONTROLS_LEFT_LAST_RIGHT), three)),
            (std::vector<double>{2, 64, 238}));
  // Too wide: no gap, starting at 0 and running past the edge.
  std::vector<Control_box> wide = {button(120), button(120), button(120)};
  EXPECT_EQ(xs(arrange_controls(bottom_row(CL::CONTROLS_CENTER), wide)), (std::vector<double>{0, 120, 240}));
}

// A row with less room than its controls ask for: the widest edits give
// it up, levelled together, labels and buttons keep theirs, and no control
// covers another or leaves the row.
TEST(ControlArrange, ARowShortOfRoomNarrowsItsWidestEdits) {
  const std::vector<Control_box> row = {label("Copies:", 40), edit(90), label("Printer:", 40), edit(190),
                                        button(40), button(80)};
  auto r = arrange_controls(bottom_row(CL::CONTROLS_LEFT_LAST_RIGHT, 380), row);
  std::vector<double> widths;
  for (const Control_record& rec : r.records) widths.push_back(rec.w);
  // 380 less 24 of margins and gaps and the labels' and buttons' 200: 156
  // for the two edits.
  EXPECT_EQ(widths, (std::vector<double>{40, 78, 40, 78, 40, 80}));
  for (size_t i = 0; i + 1 < r.records.size(); ++i)
    EXPECT_LE(r.records[i].x + r.records[i].w, r.records[i + 1].x) << i;
  EXPECT_LE(r.records.back().x + r.records.back().w, 380);
  // Never below twice the row's height: the last control then follows the
  // one before it, past the row's end.
  r = arrange_controls(bottom_row(CL::CONTROLS_LEFT_LAST_RIGHT, 200), row);
  EXPECT_EQ(r.records[3].w, 56);
  EXPECT_LE(r.records[4].x + r.records[4].w, r.records[5].x);
}

TEST(ControlArrange, ManualRowsStayButManualStacksAreArranged) {
  auto r = arrange_controls(bottom_row(CL::CONTROLS_MANUAL), {button(60)});
  EXPECT_FALSE(r.moved);
  EXPECT_TRUE(r.records.empty());

  Column_frame centre;
  centre.layout = CL::CONTROLS_MANUAL;
  centre.client_width = 200;
  centre.client_height = 100;
  centre.plain_margins = true;
  r = arrange_controls(centre, {button(60), edit()});
  ASSERT_EQ(r.records.size(), 2u);
  EXPECT_TRUE(r.moved);
  EXPECT_EQ(r.records[0].x, 2);
  EXPECT_EQ(r.records[0].y, 0);
  EXPECT_EQ(r.records[0].w, 196);  // a stack gives the column's width
  EXPECT_EQ(r.records[1].y, 20);
}

TEST(ControlArrange, StretchedMemoFillsTheColumnAboveItsButton) {
  Column_frame f;
  f.client_width = 300;
  f.client_height = 200;
  f.plain_margins = true;  // m 2, g 0
  Control_box memo = edit(100, 60);
  memo.stretch = true;
  auto r = arrange_controls(f, {memo, button(60, 20)});
  ASSERT_EQ(r.records.size(), 2u);
  EXPECT_EQ(r.records[1].y, 180);  // moved to the bottom
  EXPECT_EQ(r.records[0].y, 0);
  EXPECT_EQ(r.records[0].h, 180);
  EXPECT_EQ(r.records[0].w, 296);

  // Too small for both: the memo keeps 10 points.
  f.client_height = 15;
  r = arrange_controls(f, {memo, button(60, 20)});
  EXPECT_EQ(r.records[1].y, -5);
  EXPECT_EQ(r.records[0].h, 10);

  // In a row the stretched control takes the width instead.
  Control_box wide = edit(50, 20);
  wide.stretch = true;
  r = arrange_controls(bottom_row(CL::CONTROLS_LEFT), {wide, button(60)});
  EXPECT_EQ(r.records[1].x, 238);
  EXPECT_EQ(r.records[0].w, 234);
}

TEST(ControlArrange, LabelsShareALineWithTheirControlByTheExtent) {
  Column_frame f;
  f.kind = K::LEFT;  // m 8, g 0
  f.client_width = 200;
  f.client_height = 300;
  f.extent = 60;
  f.labels_right = true;
  auto r = arrange_controls(f, {label("Name", 30), edit(), label("A very long caption", 90), edit()});
  ASSERT_EQ(r.records.size(), 4u);
  EXPECT_TRUE(r.records[0].label_shares_line);
  EXPECT_TRUE(r.records[0].right_align);
  EXPECT_EQ(r.records[0].w, 59);
  EXPECT_EQ(r.records[1].x, 68);  // label x + extent
  EXPECT_EQ(r.records[1].y, 0);
  EXPECT_EQ(r.records[1].w, 200 - 8 - 68);
  // The long caption does not fit: the edit goes under it, and the label
  // is at least as wide as its text.
  EXPECT_FALSE(r.records[2].label_shares_line);
  EXPECT_EQ(r.records[2].y, 18);
  EXPECT_EQ(r.records[2].w, 90);
  EXPECT_EQ(r.records[3].x, 8);
  EXPECT_EQ(r.records[3].y, 30);

  // A negative extent counts from the right edge; 0 means half the width.
  f.extent = -50;
  r = arrange_controls(f, {label("Name", 30), edit()});
  EXPECT_EQ(r.records[1].x, 150);
  EXPECT_EQ(r.records[0].w, 149);
  f.extent = 0;
  r = arrange_controls(f, {label("Name", 30), edit()});
  EXPECT_EQ(r.records[1].x, 108);
}

TEST(ControlArrange, TwoSubColumnsBlankSpacersAndLabelsAbove) {
  Column_frame f;
  f.layout = CL::CONTROLS_VERTICAL_2;
  f.client_width = 200;
  f.client_height = 100;
  f.plain_margins = true;
  auto r = arrange_controls(f, {edit(50, 10), edit(50, 10), edit(50, 10), edit(50, 10)});
  EXPECT_EQ(r.records[0].x, 2);
  EXPECT_EQ(r.records[1].y, 10);
  EXPECT_EQ(r.records[0].w, 96);
  EXPECT_EQ(r.records[2].x, 102);
  EXPECT_EQ(r.records[2].y, 0);
  EXPECT_EQ(r.records[3].w, 96);

  // A label of blanks is a spacer: characters x height / 2. The row
  // advances by current widths, so the second pass (with the spacer at its
  // new width) puts the next control behind it.
  Control_box spacer = label("    ", 8, 12);
  r = arrange_controls(bottom_row(CL::CONTROLS_LEFT), {button(40), spacer, button(40)});
  EXPECT_EQ(r.records[1].w, 24);
  EXPECT_EQ(r.records[2].x, 2 + 40 + 8);
  spacer.width = r.records[1].w;
  r = arrange_controls(bottom_row(CL::CONTROLS_LEFT), {button(40), spacer, button(40)});
  EXPECT_EQ(r.records[2].x, 2 + 40 + 24);

  // Labels above their control in a band.
  Column_frame top = bottom_row(CL::CONTROLS_LEFT_LABELS_ABOVE, 300, 100);
  top.kind = K::TOP;
  r = arrange_controls(top, {label("Size", 20), edit(50), button(40)});
  EXPECT_EQ(r.records[0].y, 2);
  EXPECT_EQ(r.records[0].h, 45);
  EXPECT_TRUE(r.records[0].label_shares_line);
  EXPECT_EQ(r.records[1].x, 2);
  EXPECT_EQ(r.records[1].y, 47);
  EXPECT_EQ(r.records[2].x, 2 + 50 + 2);
  EXPECT_EQ(r.records[2].y, 45);

  // A band too low for its margins: the controls fill it from m.
  r = arrange_controls(bottom_row(CL::CONTROLS_LEFT, 300, 10), {button(40)});
  EXPECT_EQ(r.records[0].y, 2);
  EXPECT_EQ(r.records[0].h, 6);
}
