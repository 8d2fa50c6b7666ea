// The print dialog's option fields as the user fills them (offscreen, 96
// pixels per inch): posters up to the largest the dialog allows in its
// preview, counts that show what prints.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "drawing/paintbox.h"
#include "forms/combo.h"
#include "forms/edit.h"
#include "platform/control_input.h"
#include "printing/print_dialog.h"
#include "printing/print_preview.h"
#include "tests/printing/print_dialog_support.h"

using namespace brek;
using editor_test::BLUE;
using print_test::PrintDialog;

namespace {

constexpr uint32_t GROUND = 0xFFC0C0C0u;

}  // namespace

TEST_F(PrintDialog, EverySheetOfATallOrWidePosterShowsInsideThePreview) {
  add_card(rect{0, 0, 100, 50}, BLUE);
  make_dialog();
  // The preview's own size, in points, and what it shows on the screen.
  const double w = d->preview->get_width(), h = d->preview->get_height();
  ASSERT_GT(w, 100);
  ASSERT_GT(h, 100);
  const Ref<C_Bitmap> screen = C_Bitmap::create(int64_t(w * 96 / 72) + 1, int64_t(h * 96 / 72) + 1, 32);
  auto shown_at = [&](double x, double y) {
    return screen->pixels()->at(int(x * 96 / 72), int(y * 96 / 72)) | 0xFF000000u;
  };
  const std::vector<std::pair<const char*, const char*>> grids{
      {"1", "30"}, {"1", "40"}, {"1", "60"}, {"1", "80"}, {"1", "99"}, {"1", "100"}, {"100", "1"}, {"100", "100"}};
  for (const auto& [columns, rows] : grids) {
    SCOPED_TRACE(std::string(columns) + " x " + rows);
    d->columns->set_text(columns);
    d->rows->set_text(rows);
    const Print_preview::Sheets s = Print_preview::sheets_of(d->poster_options(), point{w, h});
    ASSERT_EQ(s.columns, std::stoi(columns));
    ASSERT_EQ(s.rows, std::stoi(rows));
    Ref<C_Canvas> c = screen->canvas();
    c->units = units_measure_graphics::POINTS;
    Print_preview::paint(c, point{w, h}, *d, true);
    int shown = 0;
    for (int64_t r = 0; r < s.rows; ++r)
      for (int64_t c = 0; c < s.columns; ++c) {
        const rect sheet = s.sheet(c, r);
        // Inside the box, shadow and all, at least two pixels each way.
        ASSERT_GE(sheet.x, 0) << c << ", " << r;
        ASSERT_GE(sheet.y, 0) << c << ", " << r;
        ASSERT_LE(sheet.x + sheet.w + s.gap / 2, w) << c << ", " << r;
        ASSERT_LE(sheet.y + sheet.h + s.gap / 2, h) << c << ", " << r;
        ASSERT_GE(sheet.w, 1.5) << c << ", " << r;
        ASSERT_GE(sheet.h, 1.5) << c << ", " << r;
        // Apart from the next sheet.
        if (c + 1 < s.columns) {
          ASSERT_LT(sheet.x + sheet.w, s.sheet(c + 1, r).x);
        }
        if (r + 1 < s.rows) {
          ASSERT_LT(sheet.y + sheet.h, s.sheet(c, r + 1).y);
        }
        if (shown_at(sheet.x + sheet.w / 2, sheet.y + sheet.h / 2) != GROUND) ++shown;
      }
    EXPECT_EQ(shown, s.rows * s.columns);
  }
}

TEST_F(PrintDialog, TheCountsShowTheSheetsThatPrint) {
  add_card(rect{0, 0, 100, 50}, BLUE);
  make_dialog();
  // Typed past the largest poster, a count shows the largest.
  brek_platform::user_type(d->rows->native, "01");
  EXPECT_EQ(d->rows->get_text(), "100");
  d->columns->set_text("");
  brek_platform::user_type(d->columns->native, "250");
  EXPECT_EQ(d->columns->get_text(), "100");
  EXPECT_EQ(d->poster_options().rows, 100);
  // Left empty or at nothing, a count says after Print what printed.
  d->rows->set_text("0");
  d->columns->set_text("");
  ASSERT_TRUE(print_pdf());
  EXPECT_EQ(d->rows->get_text(), "1");
  EXPECT_EQ(d->columns->get_text(), "1");
}
