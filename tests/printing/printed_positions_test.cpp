// Where pictures land on paper: the editor's cards, read from picture
// files, printed through the print dialog to a PDF file and read back with
// poppler at the PDF's own resolution and at twice it. Positions on paper
// follow the millimetres of the layout, whatever the screen's resolution,
// and nothing of a picture reaches a sheet's margins.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <ostream>

#include "forms/button.h"
#include "forms/combo.h"
#include "forms/edit.h"
#include "images/image_file_io.h"
#include "platform/control_input.h"
#include "platform/test_events.h"
#include "platform/window.h"
#include "printing/print_dialog.h"
#include "tests/printing/editor_test_support.h"
#include "tests/printing/print_test_support.h"
#include "tests/support/temp_dir.h"

using namespace brek;
namespace te = brek_platform::test_events;
using editor_test::BLUE;
using editor_test::GREEN;
using editor_test::RED;
using editor_test::WHITE;

namespace {

// Pixels of a rendered page at `dpi` for a length in millimetres.
double px_of_mm(double mm, int dpi) { return mm * dpi / 25.4; }

// Paper, or a red cut line: nothing of a picture.
bool blank(const print_test::Picture& p, int x, int y) { return p.near(x, y, WHITE) || p.near(x, y, RED); }

class Printed : public editor_test::Editor {
 protected:
  // A card of a BMP file of w x h pixels of one colour at r on the sheet.
  void card(const std::string& name, int w, int h, uint32_t colour, const rect& r) {
    const std::string path = dir.file(name);
    ASSERT_TRUE(Image_file_io::save_bmp(Pixels(w, h, colour), path, false));
    Ref<C_Image> image = C_Image::create();
    image->file_name = path;
    e->add_image(image);
    set_rect(e->cards.count() - 1, r);
  }
  // The editor's "Print", the options set in its dialog, "Print to PDF
  // file" into `pdf`, then the dialog closed. True when the file is there.
  bool print(const std::string& pdf, const std::function<void(C_Print_dialog&)>& options = {}) {
    bool printed = false;
    te::post_task([&] {
      Ref<C_Print_dialog> d = ref_cast<C_Print_dialog>(e->print_dialog);
      if (d.is_none()) return;
      if (options) options(*d);
      d->printer_list->set_item_index(d->printer_list->line_count() - 1);
      te::answer_next_file_dialog(true, {pdf});
      brek_platform::user_click(d->b_print->native);
      printed = std::filesystem::exists(pdf);
      brek_platform::user_click(d->cancel->native);
    });
    brek_platform::user_click(e->b_print->native);
    return printed && screen->messages.empty();
  }

  brek_test::Temp_dir dir;
};

// The edges of a blue card over a green one on a rendered page, in pixels:
// where the ink starts (left, top) and ends (right, bottom, exclusive)
// along the row at `y_mm` and the column at `x_mm`, and where the green
// starts below the blue in that column.
struct Edges {
  int left = -1, top = -1, seam = -1, bottom = -1, right = -1;
  bool gap = false;  // paper between the two cards
  bool operator==(const Edges&) const = default;
};

void PrintTo(const Edges& e, std::ostream* out) {
  *out << "left " << e.left << ", top " << e.top << ", seam " << e.seam << ", bottom " << e.bottom << ", right "
       << e.right << (e.gap ? ", paper between" : "");
}

Edges edges_of(const print_test::Picture& p, int dpi, double x_mm, double y_mm) {
  Edges e;
  const int x = int(px_of_mm(x_mm, dpi)), y = int(px_of_mm(y_mm, dpi));
  for (int c = 0; c < p.width && e.left < 0; ++c)
    if (!blank(p, c, y)) e.left = c;
  for (int c = p.width - 1; c >= 0 && e.right < 0; --c)
    if (!blank(p, c, y)) e.right = c + 1;
  for (int r = 0; r < p.height && e.top < 0; ++r)
    if (!blank(p, x, r)) e.top = r;
  for (int r = p.height - 1; r >= 0 && e.bottom < 0; --r)
    if (!blank(p, x, r)) e.bottom = r + 1;
  for (int r = std::max(e.top, 0); r < e.bottom && e.seam < 0; ++r) {
    if (p.near(x, r, GREEN)) e.seam = r;
    if (blank(p, x, r)) e.gap = true;
  }
  return e;
}

// Whether `got` is within one pixel of the exact edge at `mm`.
::testing::AssertionResult at_mm(int got, double mm, int dpi) {
  const double want = px_of_mm(mm, dpi);
  if (std::fabs(got - want) <= 1.0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "edge at pixel " << got << ", " << want << " wanted (" << mm << " mm at "
                                       << dpi << " dpi)";
}

}  // namespace

TEST_F(Printed, TouchingCardsTouchOnPaperWhereTheMillimetresSay) {
  if (!print_test::have_poppler()) GTEST_SKIP() << "pdfinfo and pdftoppm (poppler-utils) are not installed";
  // Two cards one above the other, 170 units wide: on A4 with 20 mm
  // margins a unit prints as a millimetre, so the blue card covers 20 ..
  // 121.3 mm down, the green one 121.3 .. 181.85 mm, both 20 .. 190 mm
  // across: none of these edges falls on a whole pixel.
  card("blue.bmp", 64, 40, BLUE, rect{0, 0, 170, 101.3});
  card("green.bmp", 64, 30, GREEN, rect{0, 101.3, 170, 60.55});
  const std::string pdf = dir.file("cards.pdf");
  ASSERT_TRUE(print(pdf));
  Edges at_96;
  for (int dpi : {300, 600}) {
    const print_test::Picture page = print_test::render(pdf, 1, dpi);
    ASSERT_GT(page.width, 0);
    if (dpi == 300) at_96 = edges_of(page, dpi, 105, 60);
    for (double x_mm : {25.0, 105.0, 185.0}) {
      const Edges e = edges_of(page, dpi, x_mm, 60);
      EXPECT_FALSE(e.gap) << "paper between the cards at " << x_mm << " mm, " << dpi << " dpi";
      EXPECT_TRUE(at_mm(e.top, 20, dpi));
      EXPECT_TRUE(at_mm(e.seam, 121.3, dpi));
      EXPECT_TRUE(at_mm(e.bottom, 181.85, dpi));
      EXPECT_TRUE(at_mm(e.left, 20, dpi));
      EXPECT_TRUE(at_mm(e.right, 190, dpi));
    }
  }

  // On a screen of 144 pixels per inch the paper shows the same, pixel
  // for pixel.
  struct Screen_resolution {
    Screen_resolution() { brek_platform::set_pixels_per_inch_override(144); }
    ~Screen_resolution() { brek_platform::set_pixels_per_inch_override(0); }
  } dense;
  const std::string again = dir.file("cards at 144.pdf");
  ASSERT_TRUE(print(again));
  EXPECT_EQ(edges_of(print_test::render(again, 1, 300), 300, 105, 60), at_96);
}

TEST_F(Printed, APosterOfASmallPictureKeepsEveryMarginWhite) {
  if (!print_test::have_poppler()) GTEST_SKIP() << "pdfinfo and pdftoppm (poppler-utils) are not installed";
  // 40 x 30 pixels on a 3 x 2 poster of A4 with 20 mm margins and 10 mm
  // bands: 490 mm across the printable parts, a source pixel is 12.25 mm
  // on paper and the picture 367.5 mm high, so it covers every sheet of
  // the first row within its margins (bands included) and the second row
  // from its top margin on.
  card("small.bmp", 40, 30, BLUE, rect{0, 0, 40, 30});
  const std::string pdf = dir.file("poster.pdf");
  ASSERT_TRUE(print(pdf, [](C_Print_dialog& d) {
    d.columns->set_text("3");
    d.rows->set_text("2");
  }));
  constexpr int dpi = 150;
  // The margin lines in pixels; a rasteriser may ink the pixel a line runs
  // through or touches, so the margins are the pixels whose centres lie
  // more than a pixel beyond them.
  const double left = px_of_mm(20, dpi), right = px_of_mm(190, dpi);
  const double top = px_of_mm(20, dpi), bottom = px_of_mm(277, dpi);
  auto on_margin = [&](int x, int y) {
    const double cx = x + 0.5, cy = y + 0.5;
    return cx < left - 1 || cx > right + 1 || cy < top - 1 || cy > bottom + 1;
  };
  for (int p = 1; p <= 6; ++p) {
    const print_test::Picture page = print_test::render(pdf, p, dpi);
    ASSERT_GT(page.width, 0) << p;
    int ink = 0;
    for (int y = 0; y < page.height; ++y)
      for (int x = 0; x < page.width; ++x)
        if (on_margin(x, y) && !blank(page, x, y)) ++ink;
    EXPECT_EQ(ink, 0) << "pixels of the picture on the margins of sheet " << p;
    // The picture reaches the margin line on every side it covers: the
    // first and the last pixel within the lines are blue.
    const int mid_y = int(px_of_mm(p > 3 ? 60 : 150, dpi)), mid_x = int(px_of_mm(105, dpi));
    EXPECT_TRUE(page.near(int(std::ceil(left)), mid_y, BLUE)) << p;
    EXPECT_TRUE(page.near(int(std::floor(right)) - 1, mid_y, BLUE)) << p;
    EXPECT_TRUE(page.near(mid_x, int(std::ceil(top)), BLUE)) << p;
    if (p <= 3) {
      EXPECT_TRUE(page.near(mid_x, int(std::floor(bottom)) - 1, BLUE)) << p;
    }
  }
}
