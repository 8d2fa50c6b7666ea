// The print dialog on real windows (offscreen, 96 pixels per inch) over a
// collage editor: its controls as poster options, the pointer on its
// steppers, alignment grid and fit slider, the printer list and the
// remembered printer, posters printed to PDF files and read back, grey
// drawing, copies, and the preview.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <set>

#include "baselib/config.h"
#include "baselib/localize_str.h"
#include "drawing/paint_turtle.h"
#include "drawing/paintbox.h"
#include "forms/button.h"
#include "forms/checkbox.h"
#include "forms/combo.h"
#include "forms/edit.h"
#include "images/format_classes.h"
#include "platform/control_input.h"
#include "platform/test_events.h"
#include "printing/edit_collage_print.h"
#include "printing/print_dialog.h"
#include "printing/print_preview.h"
#include "printing/printer.h"
#include "tests/printing/cups_server.h"
#include "tests/printing/editor_test_support.h"
#include "tests/printing/print_dialog_support.h"
#include "tests/printing/print_test_support.h"
#include "tests/support/temp_dir.h"

using namespace brek;
namespace te = brek_platform::test_events;
namespace R = Print_dialog_rules;
using editor_test::BLUE;
using editor_test::RED;
using editor_test::WHITE;

using print_test::k;
using print_test::PrintDialog;
using print_test::px;
using print_test::save_printer;
using print_test::saved_printer;


TEST_F(PrintDialog, ControlsGiveThePosterOptionsAndResetRestoresThem) {
  make_dialog();
  EXPECT_EQ(d->get_caption(), "Print collage");
  EXPECT_EQ(d->paper->line_count(), 20);
  EXPECT_EQ(d->paper->get_text(), "A4  21 x 29.7");
  EXPECT_EQ(d->paper->get_line(19), "Executive  18.41 x 26.67");
  EXPECT_EQ(d->drawing_mode->line_count(), 5);

  Poster_options o = d->poster_options();
  EXPECT_EQ(o.paper_mm, (point{210, 297}));
  EXPECT_FALSE(o.landscape);
  EXPECT_EQ(o.rows, 1);
  EXPECT_EQ(o.columns, 1);
  EXPECT_EQ(o.fit, 100);
  EXPECT_EQ(o.overlap_mm, 10);
  EXPECT_EQ(o.margins.left, 20);
  EXPECT_EQ(o.margins.bottom, 20);
  EXPECT_TRUE(o.cut_lines);
  EXPECT_EQ(o.drawing_mode, 0);
  EXPECT_FALSE(d->as_images->get_checked());

  d->paper->set_item_index(15);  // "Envelope B5   17.6 x 25": blanks inside
  d->layout->set_item_index(1);
  d->rows->set_text("3");
  d->columns->set_text("2");
  d->fit->set_text("50");
  d->overlaps->set_text("5.5");
  d->margin_left->set_text("7");
  d->margin_top->set_text("8");
  d->cut_lines->set_checked(false);
  d->drawing_mode->set_item_index(3);
  d->align_column = 2;
  d->align_row = 1;
  d->copies->set_text("4");
  o = d->poster_options();
  EXPECT_EQ(o.paper_mm, (point{176, 250}));
  EXPECT_TRUE(o.landscape);
  EXPECT_EQ(o.rows, 3);
  EXPECT_EQ(o.columns, 2);
  EXPECT_EQ(o.fit, 50);
  EXPECT_EQ(o.overlap_mm, 5.5);
  EXPECT_EQ(o.margins.left, 7);
  EXPECT_EQ(o.margins.top, 8);
  EXPECT_EQ(o.margins.right, 20);
  EXPECT_FALSE(o.cut_lines);
  EXPECT_EQ(o.drawing_mode, 3);
  EXPECT_EQ(o.align_column, 2);
  EXPECT_EQ(o.align_row, 1);

  // Reset: margins become 10, not the 20 the dialog starts with; the
  // drawing mode, copies and printer stay.
  d->printer_list->set_item_index(0);
  d->reset_options();
  o = d->poster_options();
  EXPECT_EQ(d->paper->item_index(), 0);
  EXPECT_FALSE(o.landscape);
  EXPECT_EQ(d->rows->get_text(), "1");
  EXPECT_EQ(d->columns->get_text(), "1");
  EXPECT_EQ(d->fit->get_text(), "100");
  EXPECT_EQ(d->overlaps->get_text(), "10");
  EXPECT_TRUE(o.cut_lines);
  EXPECT_EQ(o.align_column, 0);
  EXPECT_EQ(o.align_row, 0);
  for (const Ref<C_Edit>& m : {d->margin_top, d->margin_left, d->margin_right, d->margin_bottom})
    EXPECT_EQ(m->get_text(), "10");
  EXPECT_EQ(o.drawing_mode, 3);
  EXPECT_EQ(d->copies->get_text(), "4");
  EXPECT_EQ(d->printer_list->item_index(), 0);
}

TEST_F(PrintDialog, PrinterListAndTheRememberedPrinter) {
  make_dialog();
  const int64_t n = d->printer_list->line_count();
  ASSERT_GE(n, 2);
  EXPECT_EQ(d->printer_list->get_line(0), "Default printer");
  EXPECT_EQ(d->printer_list->get_line(n - 1), "Print to PDF file");
  EXPECT_EQ(d->printer_list->item_index(), 0);  // nothing remembered yet

  choose_pdf();
  d->save_printer_name();
  EXPECT_EQ(saved_printer(), "Print to PDF file");
  d->printer_list->set_item_index(0);
  d->load_printers();
  EXPECT_EQ(d->printer_list->item_index(), n - 1);

  // A printer that is no longer installed: the default printer.
  save_printer("Gone printer");
  d->load_printers();
  EXPECT_EQ(d->printer_list->get_text(), "Default printer");

  // Print waits for a printer to be chosen.
  d->relayout();
  EXPECT_TRUE(d->b_print->is_enabled());
  d->printer_list->set_item_index(-1);
  d->relayout();
  EXPECT_FALSE(d->b_print->is_enabled());
}

TEST_F(PrintDialog, APrinterThatWentAwayIsToBeChosenAgain) {
  add_card(rect{0, 0, 100, 50}, BLUE);
  make_dialog();
  d->printer_list->set_items("Default printer\r\nPhantom printer\r\nPrint to PDF file");
  d->printer_list->set_item_index(1);
  EXPECT_FALSE(d->print());
  ASSERT_EQ(screen->messages.size(), 1u);
  EXPECT_EQ(screen->messages[0], "List of printers was updated, please reselect printer");
  EXPECT_EQ(d->printer_list->index_of("Phantom printer"), -1);
  EXPECT_EQ(d->printer_list->item_index(), 0);
  EXPECT_EQ(saved_printer(), "");  // nothing printed on it
  EXPECT_FALSE(std::filesystem::exists(pdf));

  // No file chosen for the PDF: nothing is printed, nothing is said.
  choose_pdf();
  te::answer_next_file_dialog(false);
  EXPECT_FALSE(d->print());
  EXPECT_EQ(screen->messages.size(), 1u);
  EXPECT_FALSE(std::filesystem::exists(pdf));
}

TEST_F(PrintDialog, AOneSheetPosterPrintsToPdf) {
  if (!print_test::have_poppler()) GTEST_SKIP() << "pdfinfo and pdftoppm (poppler-utils) are not installed";
  add_card(rect{30, 40, 100, 50}, BLUE);
  make_dialog();
  ASSERT_TRUE(print_pdf());
  EXPECT_TRUE(screen->messages.empty());
  EXPECT_EQ(d->printer->written_file(), pdf);
  EXPECT_EQ(saved_printer(), "Print to PDF file");
  const std::string info = print_test::pdf_info(pdf);
  EXPECT_EQ(print_test::pdf_field(info, "Pages"), "1");
  EXPECT_EQ(print_test::pdf_field(info, "Title"), "Collage 1 x 1 (1)");
  EXPECT_NE(print_test::pdf_field(info, "Page    1 size").find("(A4)"), std::string::npos) << info;
  // The card fills 170 mm from 20 mm in (points 56.7 .. 538.6), half as high.
  print_test::Picture page = print_test::render(pdf, 1, 72);
  ASSERT_EQ(page.width, 595);
  EXPECT_TRUE(page.near(60, 60, BLUE));
  EXPECT_TRUE(page.near(52, 60, WHITE));
  EXPECT_TRUE(page.near(534, 60, BLUE));
  EXPECT_TRUE(page.near(543, 60, WHITE));
  EXPECT_TRUE(page.near(100, 293, BLUE));
  EXPECT_TRUE(page.near(100, 302, WHITE));
  EXPECT_FALSE(page.any(0, 0, 594, 841, RED));
}

TEST_F(PrintDialog, APosterPrintsEverySeamsBandAlikeOnBothSheets) {
  if (!print_test::have_poppler()) GTEST_SKIP() << "pdfinfo and pdftoppm (poppler-utils) are not installed";
  // A patchwork of cards of uneven sizes, 600 x 400 units, laid like
  // bricks with joints that differ from row to row, so that any shift of a
  // band shows: its colour edges would not line up.
  const uint32_t colours[] = {editor_test::BLUE, editor_test::GREEN, editor_test::BLACK, editor_test::YELLOW};
  int cards = 0;
  for (int j = 0, y = 0; y < 400; ++j) {
    const int h = std::min(20 + j * 19 % 23, 400 - y);
    for (int i = 0, x = 0; x < 600; ++i) {
      const int w = std::min(15 + (i * 23 + j * 11) % 29, 600 - x);
      add_card(rect{double(x), double(y), double(w), double(h)}, colours[(i + 2 * j) % 4]);
      ++cards;
      x += w;
    }
    y += h;
  }
  make_dialog();
  d->columns->set_text("3");
  d->rows->set_text("2");
  for (const Ref<C_Edit>& m : {d->margin_top, d->margin_left, d->margin_right, d->margin_bottom})
    m->set_text("10");
  ASSERT_TRUE(print_pdf());
  const std::string info = print_test::pdf_info(pdf);
  ASSERT_EQ(print_test::pdf_field(info, "Pages"), "6");
  EXPECT_EQ(print_test::pdf_field(info, "Title"), "Collage 3 x 2 (" + std::to_string(cards) + ")");
  std::vector<print_test::Picture> sheet;
  for (int p = 1; p <= 6; ++p) sheet.push_back(print_test::render(pdf, p, 72));
  auto at = [&](int column, int row) -> const print_test::Picture& { return sheet[size_t(row * 3 + column)]; };
  auto mm = [](double v) { return int(std::lround(v * k)); };

  // With 10 mm margins and bands on A4, a band right of a printable part
  // lies 190 .. 200 mm across, one left of it 10 .. 20 mm; below, 277 ..
  // 287 mm down, above 10 .. 20 mm. Pixel for pixel (give or take one for
  // rounding) both sheets of a seam print the same there.
  auto alike = [](const print_test::Picture& a, int ax, int ay, const print_test::Picture& b, int bx, int by) {
    for (int dx = -1; dx <= 1; ++dx)
      for (int dy = -1; dy <= 1; ++dy)
        if (b.near(bx + dx, by + dy, a.at(ax, ay))) return true;
    return false;
  };
  for (int row = 0; row < 2; ++row)
    for (int c = 0; c + 1 < 3; ++c) {
      int differ = 0;
      std::set<uint32_t> seen;
      for (int y = mm(12); y < mm(285); y += 3)
        for (int x = mm(190) + 2; x < mm(200) - 2; ++x) {
          seen.insert(at(c, row).at(x, y));
          if (!alike(at(c, row), x, y, at(c + 1, row), x - mm(180), y)) ++differ;
        }
      EXPECT_EQ(differ, 0) << "seam after column " << c << ", row " << row;
      EXPECT_GE(seen.size(), 3u);  // the band shows the patchwork
    }
  for (int c = 0; c < 3; ++c) {
    int differ = 0;
    for (int y = mm(277) + 2; y < mm(287) - 2; ++y)
      for (int x = mm(22); x < mm(188); x += 3)
        if (!alike(at(c, 0), x, y, at(c, 1), x, y - mm(267))) ++differ;
    EXPECT_EQ(differ, 0) << "seam below column " << c;
  }

  // At full fit the width limits (550 mm printable for 600 units): the
  // last column is covered to its printable edge, 200 mm across.
  EXPECT_FALSE(at(2, 0).near(mm(199), mm(100), WHITE));
  EXPECT_TRUE(at(2, 0).near(mm(201), mm(100), WHITE));
  // Cut lines at the bands' outer edges, over the cards: the first sheet's
  // on its right and bottom, none on its left.
  EXPECT_TRUE(at(0, 0).any(mm(200), mm(100), mm(200) + 2, mm(100), RED));
  EXPECT_TRUE(at(0, 0).any(mm(100), mm(287), mm(100), mm(287) + 2, RED));
  EXPECT_FALSE(at(0, 0).any(0, mm(100), mm(195), mm(100), RED));
  EXPECT_TRUE(at(2, 1).any(mm(10) - 3, mm(100), mm(10), mm(100), RED));
  EXPECT_FALSE(at(2, 1).any(mm(15), mm(100), 594, mm(100), RED));
}

// ---- a print server's queue ----

TEST_F(PrintDialog, AQueueThatRefusesJobsFailsThePrintWithItsReason) {
  print_test::Cups_server cups;
  if (!cups.failure().empty()) GTEST_SKIP() << cups.failure();
  int rc = -1;
  cups.run("cupsreject", {"-r", "Out of paper", cups.queue()}, &rc);
  ASSERT_EQ(rc, 0);
  add_card(rect{0, 0, 100, 50}, BLUE);
  make_dialog();
  const int64_t i = d->printer_list->index_of(cups.queue());
  ASSERT_GT(i, 0) << d->printer_list->get_text();
  d->printer_list->set_item_index(i);
  EXPECT_FALSE(d->print());
  ASSERT_EQ(screen->messages.size(), 1u);
  EXPECT_NE(screen->messages[0].find(cups.queue()), std::string::npos) << screen->messages[0];
  EXPECT_NE(screen->messages[0].find("Out of paper"), std::string::npos) << screen->messages[0];
  // No job was made, none finished.
  EXPECT_EQ(cups.run("lpstat", {"-W", "all", "-o", cups.queue()}), "");
  EXPECT_TRUE(cups.written().empty());
}

namespace {

// One page that, while it is drawn, has the queue stop taking jobs: the
// queue refuses the finished document.
class Refused_midway : public C_Report {
  BREK_CLASS(Refused_midway)
 public:
  print_test::Cups_server* cups = nullptr;
  void draw_page(int64_t p) override {
    cups->run("cupsreject", {cups->queue()});
    C_Report::draw_page(p);
  }
};

}  // namespace

TEST_F(PrintDialog, APosterPrintedOnAQueueArrivesWholeAndARefusalMidwayIsAFailure) {
  if (!print_test::have_poppler()) GTEST_SKIP() << "pdfinfo and pdftoppm (poppler-utils) are not installed";
  print_test::Cups_server cups;
  if (!cups.failure().empty()) GTEST_SKIP() << cups.failure();
  add_card(rect{0, 0, 300, 100}, BLUE);
  make_dialog();
  d->columns->set_text("2");
  choose_printer(cups.queue());
  ASSERT_TRUE(d->print());
  EXPECT_TRUE(screen->messages.empty());
  std::vector<std::string> files = cups.wait_for_files(1, 60);
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(print_test::pdf_field(print_test::pdf_info(files[0]), "Pages"), "2");
  EXPECT_TRUE(print_test::render(files[0], 2, 72).near(100, 100, BLUE));

  // Accepted when the job began, refused when it was handed over.
  auto report = make<Refused_midway>();
  report->cups = &cups;
  Ref<C_Printer> printer = C_Printer::create();
  printer->select_printer(R::printer_position(printer->printer_names(), cups.queue()));
  EXPECT_THROW(printer->print_report(report, 1), E_Print_failed);
  EXPECT_EQ(cups.wait_for_files(1, 0).size(), 1u);
}

TEST_F(PrintDialog, GreyDrawingAndCopies) {
  if (!print_test::have_poppler()) GTEST_SKIP() << "pdfinfo and pdftoppm (poppler-utils) are not installed";
  add_card(rect{0, 0, 100, 50}, RED);
  make_dialog();
  d->drawing_mode->set_item_index(1);  // weighted: red gives 76
  d->copies->set_text("2");
  ASSERT_TRUE(print_pdf());
  EXPECT_EQ(print_test::pdf_field(print_test::pdf_info(pdf), "Pages"), "2");
  for (int page = 1; page <= 2; ++page)
    EXPECT_TRUE(print_test::render(pdf, page, 72).near(100, 100, 0xFF4C4C4Cu)) << page;

  d->drawing_mode->set_item_index(2);  // average: 84
  d->copies->set_text("0");  // one copy
  ASSERT_TRUE(print_pdf());
  EXPECT_EQ(print_test::pdf_field(print_test::pdf_info(pdf), "Pages"), "1");
  EXPECT_TRUE(print_test::render(pdf, 1, 72).near(100, 100, 0xFF545454u));

  d->drawing_mode->set_item_index(0);
  ASSERT_TRUE(print_pdf());
  EXPECT_TRUE(print_test::render(pdf, 1, 72).near(100, 100, RED));
}

TEST_F(PrintDialog, PreviewShowsTheDrawingModeOfTheCards) {
  add_card(rect{0, 0, 100, 50}, RED);
  make_dialog();
  // A4 in 300 x 400: 12.8 points per cm; the card from 20 mm (25.6) in.
  Ref<C_Bitmap> b = preview_bitmap(300, 400, false);
  EXPECT_EQ(px(b, 60, 40), 0xFFC0C0C0u);  // a box
  EXPECT_EQ(px(b, 15, 15), WHITE);
  b = preview_bitmap(300, 400, true);
  EXPECT_EQ(px(b, 60, 40), RED);

  d->drawing_mode->set_item_index(2);
  b = preview_bitmap(300, 400, true);
  EXPECT_EQ(px(b, 60, 40), 0xFF545454u);
  ASSERT_EQ(e->bitmaps.count(), 1);
  Ref<C_Bitmap> made = e->bitmaps.get(0);
  preview_bitmap(300, 400, true);  // converted once, not on every paint
  EXPECT_EQ(e->bitmaps.count(), 1);
  EXPECT_EQ(e->bitmaps.get(0).get(), made.get());

  // The user's choice of a mode drops what was converted.
  brek_platform::user_key(d->drawing_mode->native, 38);  // Up
  te::settle();
  EXPECT_EQ(d->drawing_mode->item_index(), 1);
  EXPECT_EQ(e->bitmaps.count(), 0);
  EXPECT_TRUE(e->cards.get(0).bitmap.lock().is_none());
  b = preview_bitmap(300, 400, true);
  EXPECT_EQ(px(b, 60, 40), 0xFF4C4C4Cu);

  brek_platform::user_key(d->drawing_mode->native, 38);
  te::settle();
  EXPECT_EQ(d->drawing_mode->item_index(), 0);
  b = preview_bitmap(300, 400, true);
  EXPECT_EQ(px(b, 60, 40), RED);
}

TEST_F(PrintDialog, TheEditorsPrintRunsTheDialogWithItsPointerControls) {
  add_card(rect{0, 0, 100, 50}, BLUE);
  ASSERT_TRUE(e->print_dialog.is_none());
  std::string rows_after, cols_after, fit_low, fit_high;
  int64_t align_c = -1, align_r = -1;
  uint32_t preview_ground = 0, preview_sheet = 0;
  bool printers_loaded = false;
  std::string result = run([&] {
    Ref<C_Print_dialog> dlg = ref_cast<C_Print_dialog>(e->print_dialog);
    ASSERT_FALSE(dlg.is_none());
    printers_loaded = dlg->printer_list->line_count() >= 2 && dlg->printer_list->item_index() == 0;
    // The steppers' halves: up twice, down three times for rows; up once
    // for columns.
    const int64_t rows_btn = dlg->b_incdec_rows->native, cols_btn = dlg->b_incdec_cols->native;
    const double w = dlg->b_incdec_rows->get_width(), h = dlg->b_incdec_rows->get_height();
    for (int i = 0; i < 2; ++i) {
      te::mouse_press(rows_btn, {w * 0.75, h / 2});
      te::mouse_release(rows_btn, {w * 0.75, h / 2});
    }
    for (int i = 0; i < 3; ++i) {
      te::mouse_press(rows_btn, {w * 0.25, h / 2});
      te::mouse_release(rows_btn, {w * 0.25, h / 2});
    }
    rows_after = dlg->rows->get_text();
    te::mouse_press(cols_btn, {w * 0.75, h / 2});
    te::mouse_release(cols_btn, {w * 0.75, h / 2});
    cols_after = dlg->columns->get_text();

    // The middle of the alignment grid.
    const double aw = dlg->align_box->get_width(), ah = dlg->align_box->get_height();
    te::mouse_press(dlg->align_box->native, {aw / 2, ah / 2});
    te::mouse_release(dlg->align_box->native, {aw / 2, ah / 2});
    align_c = dlg->align_column;
    align_r = dlg->align_row;

    // The fit knob pressed at the line's left end, then dragged past the
    // right end.
    const double fw = dlg->fit_box->get_width(), fh = dlg->fit_box->get_height();
    te::mouse_press(dlg->fit_box->native, {fh / 2, fh / 2});
    fit_low = dlg->fit->get_text();
    dlg->fit_box->paint_surface();  // as between real moves
    te::mouse_move(dlg->fit_box->native, {fw + 40, fh / 2});
    fit_high = dlg->fit->get_text();
    dlg->fit_box->paint_surface();
    te::mouse_release(dlg->fit_box->native, {fw + 40, fh / 2});
    te::mouse_move(dlg->fit_box->native, {fh, fh / 2});  // released: no change

    dlg->preview->invalidate_all();
    dlg->preview->paint_surface();
    const Pixels* p = dlg->preview->back_buffer->pixels();
    if (p && p->width() > 40 && p->height() > 40) {
      preview_ground = p->at(2, 2) | 0xFF000000u;
      preview_sheet = p->at(16, 16) | 0xFF000000u;
    }
    brek_platform::user_click(dlg->cancel->native);
  });
  EXPECT_EQ(result, "CANCEL");
  EXPECT_TRUE(printers_loaded);
  EXPECT_EQ(rows_after, "1");
  EXPECT_EQ(cols_after, "2");
  EXPECT_EQ(align_c, 1);
  EXPECT_EQ(align_r, 1);
  EXPECT_EQ(fit_low, "1");
  EXPECT_EQ(fit_high, "100");
  Ref<C_Print_dialog> dlg = ref_cast<C_Print_dialog>(e->print_dialog);
  EXPECT_EQ(dlg->fit->get_text(), "100");
  EXPECT_EQ(dlg->dragging_fit, 0);
  EXPECT_EQ(preview_ground, 0xFFC0C0C0u);
  EXPECT_EQ(preview_sheet, WHITE);

  // The dialog is kept: a second press of "Print" runs the same one, with
  // the options as they were left, and its Print button prints.
  if (!print_test::have_poppler()) return;
  bool same = false;
  result = run([&] {
    Ref<C_Print_dialog> again = ref_cast<C_Print_dialog>(e->print_dialog);
    same = again.get() == dlg.get();
    again->printer_list->set_item_index(again->printer_list->line_count() - 1);
    te::answer_next_file_dialog(true, {pdf});
    brek_platform::user_click(again->b_print->native);
    brek_platform::user_click(again->cancel->native);
  });
  EXPECT_EQ(result, "CANCEL");
  EXPECT_TRUE(same);
  EXPECT_EQ(print_test::pdf_field(print_test::pdf_info(pdf), "Title"), "Collage 2 x 1 (1)");
  EXPECT_EQ(print_test::pdf_field(print_test::pdf_info(pdf), "Pages"), "2");
}

TEST_F(PrintDialog, PosterSheetsKeepTheirMarginsWhite) {
  if (!print_test::have_poppler()) GTEST_SKIP() << "pdfinfo and pdftoppm (poppler-utils) are not installed";
  // A strip across two A4 sheets side by side, 20 mm margins, 10 mm bands.
  add_card(rect{0, 0, 600, 200}, BLUE);
  make_dialog();
  d->columns->set_text("2");
  ASSERT_TRUE(print_pdf());
  auto mm = [](double v) { return int(std::lround(v * k)); };
  const print_test::Picture left = print_test::render(pdf, 1, 72), right = print_test::render(pdf, 2, 72);
  const int y = mm(30);
  // The picture runs through the seam's band (180 .. 190 mm on the first
  // sheet, 20 .. 30 mm on the second) and stops at the margin.
  EXPECT_TRUE(left.near(mm(185), y, BLUE));
  EXPECT_TRUE(right.near(mm(25), y, BLUE));
  // Beyond the band's cut line the margins stay white.
  for (double x : {193.0, 200.0, 209.0}) {
    EXPECT_TRUE(left.near(mm(x), y, WHITE)) << x;
    EXPECT_TRUE(right.near(mm(x), y, WHITE)) << x;
  }
  for (double x : {1.0, 10.0, 17.0}) EXPECT_TRUE(right.near(mm(x), y, WHITE)) << x;

  // The preview shows the same: a 2 x 1 poster of A4 in 620 x 460 points
  // has sheets 297 points wide, 1.415 points per millimetre.
  Ref<C_Bitmap> b = preview_bitmap(620, 460, true);
  const double s = 297.0 / 210;
  const int py = int(10 + 30 * s);
  EXPECT_EQ(px(b, int(10 + 185 * s), py), BLUE);
  EXPECT_EQ(px(b, int(10 + 195 * s), py), WHITE);
  EXPECT_EQ(px(b, int(10 + 297 + 10 + 15 * s), py), WHITE);
  EXPECT_EQ(px(b, int(10 + 297 + 10 + 25 * s), py), BLUE);

  // Grey drawing is cut alike (blue gives 29 when weighted).
  d->drawing_mode->set_item_index(1);
  ASSERT_TRUE(print_pdf());
  const print_test::Picture grey = print_test::render(pdf, 1, 72);
  EXPECT_TRUE(grey.near(mm(185), y, 0xFF1D1D1Du));
  EXPECT_TRUE(grey.near(mm(200), y, WHITE));
}

TEST_F(PrintDialog, MarginsThatLeaveNoRoomPrintNothingAndSaySo) {
  add_card(rect{0, 0, 100, 50}, BLUE);
  make_dialog();
  // Left and right together are wider than A4.
  d->margin_left->set_text("120");
  d->margin_right->set_text("100");
  EXPECT_FALSE(print_pdf());
  ASSERT_EQ(screen->messages.size(), 1u);
  EXPECT_FALSE(std::filesystem::exists(pdf));
  // Top and bottom as high as the sheet.
  d->margin_left->set_text("20");
  d->margin_right->set_text("20");
  d->margin_top->set_text("148.5");
  d->margin_bottom->set_text("148.5");
  EXPECT_FALSE(print_pdf());
  EXPECT_EQ(screen->messages.size(), 2u);
  EXPECT_FALSE(std::filesystem::exists(pdf));
  // In landscape the same margins leave room across, not down.
  d->margin_top->set_text("20");
  d->margin_bottom->set_text("20");
  d->margin_left->set_text("120");
  d->margin_right->set_text("100");
  d->layout->set_item_index(1);
  EXPECT_TRUE(print_pdf());
  EXPECT_EQ(screen->messages.size(), 2u);
}

TEST_F(PrintDialog, ACardWhosePictureCannotBeReadIsAskedAboutBeforeItPrintsAsEmptyPaper) {
  add_card(rect{0, 0, 100, 50}, BLUE);
  const std::string gone = add_unreadable_card("gone.bmp");
  // A file that is no JPEG at all, named as one.
  const std::string notes = dir.file("notes.jpg");
  ASSERT_TRUE(brek_test::write_file(notes, "Shopping: bread, milk, a new printer cartridge.\n"));
  Ref<C_Image> notes_image = C_Image::create();
  notes_image->file_name = notes;
  e->add_image(notes_image);
  make_dialog();

  // Answered no: nothing printed, no file.
  screen->answer = false;
  EXPECT_FALSE(print_pdf());
  ASSERT_EQ(screen->questions.size(), 1u);
  EXPECT_NE(screen->questions[0].find("cannot be read"), std::string::npos) << screen->questions[0];
  // Named with the reason its load gave.
  EXPECT_NE(screen->questions[0].find(gone + " (No such file or directory)"), std::string::npos)
      << screen->questions[0];
  EXPECT_NE(screen->questions[0].find(notes + " (malformed: not a JPEG file)"), std::string::npos)
      << screen->questions[0];
  EXPECT_FALSE(std::filesystem::exists(pdf));
  // Answered yes: the other cards print.
  screen->answer = true;
  EXPECT_TRUE(print_pdf());
  EXPECT_EQ(screen->questions.size(), 2u);
  EXPECT_TRUE(std::filesystem::exists(pdf));
  // Every picture readable: no question.
  e->cards.remove(1, 2);
  EXPECT_TRUE(print_pdf());
  EXPECT_EQ(screen->questions.size(), 2u);
}

// An instance of a queue (lpoptions' "queue/name", listed by the print
// system as a printer of its own) takes a job on its queue.
TEST_F(PrintDialog, AnInstanceOfAQueueTakesTheJob) {
  // The user's own options file, read where the print system looks for it.
  brek_test::Env_guard home("HOME", dir.path());
  print_test::Cups_server cups;
  if (!cups.failure().empty()) GTEST_SKIP() << cups.failure();
  const std::string instance = cups.queue() + "/draft";
  std::filesystem::create_directories(dir.file(".cups"));
  ASSERT_TRUE(brek_test::write_file(dir.file(".cups/lpoptions"), "Dest " + instance + " copies=1\n"));
  auto report = make<C_Report>();
  Ref<C_Printer> printer = C_Printer::create();
  const std::string names = printer->printer_names();
  if (names.find(instance) == std::string::npos)
    GTEST_SKIP() << "the print system of this process did not read the options file: " << names;
  printer->select_printer(R::printer_position(names, instance));
  EXPECT_NO_THROW(printer->print_report(report, 1));
  EXPECT_EQ(cups.wait_for_files(1, 60).size(), 1u);
}
