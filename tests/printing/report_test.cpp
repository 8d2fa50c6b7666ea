#include <gtest/gtest.h>

#include "drawing/canvas.h"
#include "printing/report.h"
#include "tests/printing/print_test_support.h"

using namespace brek;
using print_test::Page;

namespace {

constexpr uint32_t BLACK = 0xFF000000u;

command_info rect_command(int64_t page, double x1, double y1, double x2, double y2, uint32_t colour) {
  command_info c;
  c.page = page;
  c.kind = kind_command_to_print::RECT;
  c.x1 = x1;
  c.y1 = y1;
  c.x2 = x2;
  c.y2 = y2;
  c.color = Colors::from_bits(colour);
  return c;
}

// A report of one custom page drawn on a 72 dpi page of the same size, so
// points are pixels.
struct Drawn {
  Drawn(double w, double h, bool landscape = false) : page(int(w), int(h), 72) {
    report->set_page(page_size::CUSTOM_SIZE, point{w, h}, false, landscape);
    report->set_canvas(C_Canvas::create_on_printer(page.handle()));
  }
  // Blackens the whole device page first, so the white page fill shows.
  void blacken(double w, double h) {
    auto c = report->canvas;
    c->brush_color = COLOR_BLACK;
    c->pen_color = COLOR_BLACK;
    c->draw_rectangle(rect{0, 0, w, h});
    c->brush_color = COLOR_WHITE;
  }
  Page page;
  Ref<C_Report> report = C_Report::create();
};

}  // namespace

TEST(ReportTest, StartsAndResetsToOneA4PortraitPage) {
  auto r = C_Report::create();
  EXPECT_EQ(r->page_count(), 1);
  EXPECT_DOUBLE_EQ(r->page_width(), 597.6);
  EXPECT_DOUBLE_EQ(r->page_height(), 842.4);
  EXPECT_DOUBLE_EQ(r->margins.left, 28.34);
  EXPECT_DOUBLE_EQ(r->margins.bottom, 28.34);
  EXPECT_EQ(r->position, (point{28.34, 28.34}));
  EXPECT_DOUBLE_EQ(r->cell_margins.left, 4.0);
  EXPECT_DOUBLE_EQ(r->cell_margins.top, 0.0);
  EXPECT_FALSE(r->page_landscape(0));
  EXPECT_TRUE(r->cells.empty());
  EXPECT_TRUE(r->strings_2.empty());
  EXPECT_TRUE(r->strings_3.empty());
  EXPECT_DOUBLE_EQ(r->real_1, 1.0);
  EXPECT_DOUBLE_EQ(r->real_2, 1.0);
  EXPECT_EQ(St_cell__C_Report{}.inner, (rect{}));

  r->set_page(page_size::A5, point{}, false, true);
  r->new_page();
  r->commands.append(command_info{});
  r->texts.append("x");
  r->cells.append(St_cell__C_Report{rect{1, 2, 3, 4}, rect{}, margins_for_cell{}});
  r->strings_2.append("kept");
  r->reset();
  // The cell layout's data is not the pages' and outlives a reset.
  EXPECT_EQ(r->cells.count(), 1);
  EXPECT_EQ(r->strings_2.get(0), "kept");
  EXPECT_EQ(r->page_count(), 1);
  EXPECT_EQ(r->current_page, 0);
  EXPECT_TRUE(r->commands.empty());
  EXPECT_TRUE(r->texts.empty());
  EXPECT_DOUBLE_EQ(r->page_record(0).width, 597.6);
  EXPECT_FALSE(r->page_record(0).landscape);

  // The None report stays as it is.
  Ref<C_Report> none;
  none->reset();
  none->new_page();
  EXPECT_EQ(none->page_count(), 0);
}

TEST(ReportTest, PageSizesOrientationAndNewPages) {
  auto r = C_Report::create();
  r->set_page(page_size::A3, point{}, false, true);
  EXPECT_DOUBLE_EQ(r->page_width(), 1188.0);
  EXPECT_DOUBLE_EQ(r->page_height(), 842.4);
  EXPECT_DOUBLE_EQ(r->page_record(0).width, 842.4);  // records keep portrait terms
  EXPECT_TRUE(r->page_landscape(0));

  r->margins = margins_for_cell{1, 2, 3, 4};
  EXPECT_DOUBLE_EQ(r->margin_x(), 3);  // landscape: the top margin
  EXPECT_DOUBLE_EQ(r->margin_y(), 1);

  r->set_page(page_size::CUSTOM_SIZE, point{300, 400}, false, false);
  r->new_page();
  EXPECT_EQ(r->page_count(), 2);
  EXPECT_EQ(r->current_page, 1);
  EXPECT_EQ(r->page_number, 1);
  EXPECT_DOUBLE_EQ(r->page_record(1).width, 300);
  EXPECT_DOUBLE_EQ(r->page_record(1).height, 400);
  EXPECT_DOUBLE_EQ(r->page_record(1).margins.right, 2);
  EXPECT_EQ(r->position, (point{1, 3}));

  // A checked page change starts a new page only when writing went past it.
  r->set_page(page_size::A5, point{}, true, false);
  EXPECT_EQ(r->page_count(), 2);
  r->position = point{10, 600};
  r->set_page(page_size::A5, point{}, true, false);
  EXPECT_EQ(r->page_count(), 3);
  EXPECT_DOUBLE_EQ(r->page_record(2).width, 417.6);

  // Pages out of range read as an empty portrait record.
  EXPECT_DOUBLE_EQ(r->page_record(7).width, 0);
  EXPECT_FALSE(r->page_landscape(-1));
}

TEST(ReportTest, APageWithoutCommandsIsWhiteOnly) {
  Drawn d(60, 40);
  d.blacken(60, 40);
  EXPECT_EQ(d.page.at(30, 20), BLACK);
  // Cells are not drawn.
  d.report->cells.append(St_cell__C_Report{rect{0, 0, 60, 40}, rect{0, 0, 60, 40}, margins_for_cell{}});
  d.report->draw_page(0);
  EXPECT_EQ(d.page.at(0, 0), print_test::WHITE);
  EXPECT_EQ(d.page.at(30, 20), print_test::WHITE);
  EXPECT_EQ(d.page.at(59, 39), print_test::WHITE);

  // Without the fill the page stays as it was.
  d.blacken(60, 40);
  d.report->no_page_fill = true;
  d.report->draw_page(0);
  EXPECT_EQ(d.page.at(30, 20), BLACK);
}

TEST(ReportTest, CommandsDrawOnTheirOwnPageOnly) {
  Drawn d(100, 100);
  auto& r = d.report;
  r->new_page();
  r->commands.append(rect_command(0, 10, 10, 30, 20, 0xFFFF0000u));   // blue
  r->commands.append(rect_command(1, 50, 50, 70, 70, 0xFF0000FFu));   // red, another page
  command_info none = rect_command(0, 40, 10, 60, 20, 0xFFFFFFFFu);
  r->commands.append(none);  // -1: no colour
  command_info unfilled = rect_command(0, 40, 30, 60, 40, 0xFF0000FFu);
  unfilled.no_fill = true;
  r->commands.append(unfilled);
  d.blacken(100, 100);
  r->draw_page(0);
  EXPECT_EQ(d.page.at(20, 15), print_test::BLUE);
  EXPECT_EQ(d.page.at(60, 60), print_test::WHITE);
  EXPECT_EQ(d.page.at(50, 15), print_test::WHITE);
  EXPECT_EQ(d.page.at(50, 35), print_test::WHITE);
  EXPECT_EQ(r->canvas->brush_color, COLOR_WHITE);  // restored
}

TEST(ReportTest, LinesAndTexts) {
  Drawn d(100, 100);
  auto& r = d.report;
  command_info v;
  v.kind = kind_command_to_print::LINE;
  v.x1 = v.x2 = 20;
  v.y1 = 10;
  v.y2 = 60;
  v.line_width = 6;
  v.color = Colors::from_bits(0xFF0000FFu);
  r->commands.append(v);
  command_info h = v;
  h.x1 = 40;
  h.x2 = 90;
  h.y1 = h.y2 = 80;
  h.line_width = 4;
  r->commands.append(h);

  r->font_names.append("Arial");
  r->texts.append("WWW");
  command_info t;
  t.kind = kind_command_to_print::TEXT;
  t.x1 = 40;
  t.y1 = 10;
  t.x2 = 95;
  t.y2 = 40;
  t.font_size = 1.0;  // draws at 10
  t.color = Colors::from_bits(0xFF00FF00u);
  r->commands.append(t);
  r->draw_page(0);

  // A vertical line is a bar of its width centred on it.
  EXPECT_EQ(d.page.at(18, 30), print_test::RED);
  EXPECT_EQ(d.page.at(21, 30), print_test::RED);
  EXPECT_EQ(d.page.at(15, 30), print_test::WHITE);
  EXPECT_EQ(d.page.at(25, 30), print_test::WHITE);
  EXPECT_EQ(d.page.at(60, 79), print_test::RED);
  EXPECT_EQ(d.page.at(60, 76), print_test::WHITE);
  // The text lands in its rectangle, in its colour.
  EXPECT_TRUE(d.page.any(40, 10, 95, 40, print_test::GREEN));
  EXPECT_FALSE(d.page.any(0, 45, 99, 70, print_test::GREEN));
  EXPECT_EQ(r->canvas->pen_color, COLOR_BLACK);
}

TEST(ReportTest, LandscapePagesAreTurnedOntoThePortraitDevicePage) {
  // A 100 x 200 portrait page turned: drawing coordinates are 200 wide and
  // 100 high, and the drawing's top edge runs along the device's left edge.
  Drawn d(100, 200, true);
  auto& r = d.report;
  EXPECT_DOUBLE_EQ(r->page_width(), 200);
  r->commands.append(rect_command(0, 0, 0, 20, 10, 0xFFFF0000u));
  d.blacken(100, 200);
  r->draw_page(0);
  EXPECT_EQ(d.page.at(5, 190), print_test::BLUE);
  EXPECT_EQ(d.page.at(5, 5), print_test::WHITE);
  EXPECT_EQ(d.page.at(95, 100), print_test::WHITE);  // the whole device page was filled

  // Unturned, the same command stays at the top left.
  Drawn flat(100, 200, true);
  flat.report->no_turn = true;
  flat.report->commands.append(rect_command(0, 0, 0, 20, 10, 0xFFFF0000u));
  flat.report->draw_page(0);
  EXPECT_EQ(flat.page.at(5, 5), print_test::BLUE);
}

TEST(ReportTest, ScaleAndPagesOutOfRange) {
  Drawn d(100, 100);
  auto& r = d.report;
  r->scale = 2;
  r->commands.append(rect_command(0, 10, 10, 20, 20, 0xFFFF0000u));
  r->draw_page(0);
  EXPECT_EQ(d.page.at(30, 30), print_test::BLUE);
  EXPECT_EQ(d.page.at(15, 15), print_test::WHITE);

  // An unknown page keeps the current size and draws no command.
  r->margins = margins_for_cell{5, 5, 5, 5};
  r->draw_page(9);
  EXPECT_DOUBLE_EQ(r->page_width(), 100);
  EXPECT_DOUBLE_EQ(r->margins.left, 5);
  EXPECT_EQ(r->current_page, 9);
}
