// The print dialog's option fields as the user fills them (offscreen, 96
// pixels per inch): posters up to the largest the dialog allows in its
// preview, counts that show what prints, a paper typed over the list's,
// previewed and printed on a queue of the test's own print server, and
// the folder where the PDF file is asked for.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "drawing/paintbox.h"
#include "forms/button.h"
#include "forms/combo.h"
#include "forms/edit.h"
#include "platform/control_input.h"
#include "printing/print_dialog.h"
#include "printing/print_preview.h"
#include "printing/printer.h"
#include "tests/printing/cups_server.h"
#include "tests/printing/print_dialog_support.h"
#include "tests/printing/print_test_support.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tmpfs_mount.h"

using namespace brek;
using editor_test::BLUE;
using print_test::PrintDialog;
using print_test::px;

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

TEST_F(PrintDialog, ATypedPaperIsTheOnePreviewedAndPrinted) {
  if (!print_test::have_poppler()) GTEST_SKIP() << "pdfinfo and pdftoppm (poppler-utils) are not installed";
  print_test::Cups_server cups;
  if (!cups.failure().empty()) GTEST_SKIP() << cups.failure();
  add_card(rect{0, 0, 100, 50}, BLUE);
  make_dialog();
  // Typed over the chosen paper, as a user types it.
  d->paper->set_text("");
  brek_platform::user_type(d->paper->native, "Card 10 x 15");
  ASSERT_EQ(d->paper->edit_text(), "Card 10 x 15");
  // 10 x 15 cm in 300 x 400 points: 25.3 points a centimetre, the sheet
  // 253 wide from x 10 (A4 would reach 279).
  Ref<C_Bitmap> b = preview_bitmap(300, 400, false);
  EXPECT_EQ(px(b, 258, 200), editor_test::WHITE);
  EXPECT_EQ(px(b, 272, 200), GROUND);
  EXPECT_EQ(px(b, 150, 386), editor_test::WHITE);

  choose_printer(cups.queue());
  ASSERT_TRUE(d->print());
  const std::vector<std::string> files = cups.wait_for_files(1, 60);
  ASSERT_EQ(files.size(), 1u);
  const std::string size = print_test::pdf_field(print_test::pdf_info(files[0]), "Page    1 size");
  double w = 0, h = 0;
  ASSERT_EQ(std::sscanf(size.c_str(), "%lf x %lf", &w, &h), 2) << size;
  EXPECT_NEAR(w, 100 * print_test::k, 1) << size;
  EXPECT_NEAR(h, 150 * print_test::k, 1) << size;

  // A paper that cannot be read shows no sheet and prints nothing: the
  // user is told how to write it.
  d->paper->set_text("");
  brek_platform::user_type(d->paper->native, "Card 10 by");
  b = preview_bitmap(300, 400, false);
  EXPECT_EQ(px(b, 150, 200), GROUND);
  EXPECT_FALSE(d->print());
  ASSERT_EQ(screen->messages.size(), 1u);
  EXPECT_NE(screen->messages[0].find("\"Card 10 by\""), std::string::npos) << screen->messages[0];
  EXPECT_NE(screen->messages[0].find("centimetres"), std::string::npos) << screen->messages[0];
  EXPECT_EQ(cups.wait_for_files(1, 0).size(), 1u);
  // Reset shows the list's first paper again.
  d->reset_options();
  EXPECT_EQ(d->paper->edit_text(), "A4  21 x 29.7");
}

// A paper typed as people write it: a decimal comma is the decimal point,
// and blanks around the line and around "x" are no part of the size.
TEST_F(PrintDialog, ATypedPaperTakesADecimalCommaAndBlanksAnywhere) {
  if (!print_test::have_poppler()) GTEST_SKIP() << "pdfinfo and pdftoppm (poppler-utils) are not installed";
  print_test::Cups_server cups;
  if (!cups.failure().empty()) GTEST_SKIP() << cups.failure();
  add_card(rect{0, 0, 100, 50}, BLUE);
  make_dialog();
  auto type_paper = [&](const std::string& text) {
    d->paper->set_text("");
    brek_platform::user_type(d->paper->native, text);
    return preview_bitmap(300, 400, false);
  };
  auto page_size = [](const std::string& file) {
    const std::string size = print_test::pdf_field(print_test::pdf_info(file), "Page    1 size");
    double w = 0, h = 0;
    EXPECT_EQ(std::sscanf(size.c_str(), "%lf x %lf", &w, &h), 2) << size;
    return point{w, h};
  };

  // 10.5 x 14.8 cm, previewed as with a point and printed on the queue.
  const Ref<C_Bitmap> point_written = type_paper("Comma 10.5 x 14.8");
  EXPECT_TRUE(*type_paper("Comma 10,5 x 14,8")->pixels() == *point_written->pixels());
  choose_printer(cups.queue());
  ASSERT_TRUE(d->print());
  const std::vector<std::string> files = cups.wait_for_files(1, 60);
  ASSERT_EQ(files.size(), 1u);
  const point comma = page_size(files[0]);
  // The queue's PDF gives whole points.
  EXPECT_NEAR(comma.x, 105 * print_test::k, 1);
  EXPECT_NEAR(comma.y, 148 * print_test::k, 1);

  // Blanks after the line, before it, and any number around "x".
  const Ref<C_Bitmap> plain = type_paper("Card 10 x 15");
  for (const char* typed : {"Card 10 x 15 ", "  Card 10  x 15", "Card 10x15", "Card 10 x  15  "}) {
    SCOPED_TRACE(std::string("\"") + typed + "\"");
    EXPECT_TRUE(*type_paper(typed)->pixels() == *plain->pixels());
    ASSERT_TRUE(print_pdf()) << (screen->messages.empty() ? "" : screen->messages.back());
    const point size = page_size(pdf);
    EXPECT_NEAR(size.x, 100 * print_test::k, 0.5);
    EXPECT_NEAR(size.y, 150 * print_test::k, 0.5);
  }
  EXPECT_TRUE(screen->messages.empty());
}

// A count field left shows what prints: copies held to what the printer
// makes, rows and columns to whole sheets from one to the largest poster.
TEST_F(PrintDialog, ACountFieldLeftShowsWhatPrints) {
  if (!print_test::have_poppler()) GTEST_SKIP() << "pdfinfo and pdftoppm (poppler-utils) are not installed";
  namespace te = brek_platform::test_events;
  add_card(rect{0, 0, 100, 50}, BLUE);
  using Field = Ref<C_Edit> C_Print_dialog::*;
  const Field copies = &C_Print_dialog::copies, rows = &C_Print_dialog::rows, columns = &C_Print_dialog::columns;
  struct Case {
    Field field;
    const char* typed;
    std::string shown = "";
  };
  std::vector<Case> cases = {{copies, "1000"}, {copies, "0"},   {rows, "0"},    {rows, "-1"},
                             {columns, "5.5"}, {rows, "2,5"}, {copies, "2.9"}};
  const std::string result = run([&] {
    Ref<C_Print_dialog> dlg = ref_cast<C_Print_dialog>(e->print_dialog);
    ASSERT_TRUE(te::wait_exposed(dlg->native));
    te::settle();
    for (Case& c : cases) {
      const Ref<C_Edit> field = (*dlg).*c.field;
      brek_platform::user_click(field->native);
      field->set_text("");
      brek_platform::user_type(field->native, c.typed);
      brek_platform::user_click(dlg->fit->native);  // left for another field
      te::settle();
      c.shown = field->get_text();
    }
    // The last of each is what prints: 5 x 2 sheets, twice.
    dlg->printer_list->set_item_index(dlg->printer_list->line_count() - 1);
    te::answer_next_file_dialog(true, {pdf});
    brek_platform::user_click(dlg->b_print->native);
    brek_platform::user_click(dlg->cancel->native);
  });
  EXPECT_EQ(result, "CANCEL");
  const std::vector<std::string> want = {"999", "1", "1", "1", "5", "2", "2"};
  for (size_t i = 0; i < cases.size(); ++i)
    EXPECT_EQ(cases[i].shown, want[i]) << "case " << i << ", typed " << cases[i].typed;
  EXPECT_EQ(print_test::pdf_field(print_test::pdf_info(pdf), "Title"), "Collage 5 x 2 (1)");
  EXPECT_EQ(print_test::pdf_field(print_test::pdf_info(pdf), "Pages"), "20");
}

// The fit left by a click on another field shows the percentage that
// prints: 1 to 100, one typed within that as it was typed.
TEST_F(PrintDialog, TheFitFieldLeftShowsTheFitThatPrints) {
  namespace te = brek_platform::test_events;
  add_card(rect{0, 0, 100, 50}, BLUE);
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"0", "1"}, {"", "1"}, {"-5", "1"}, {"150", "100"}, {"100.5", "100"}, {"50,5", "50,5"}, {"7", "7"}};
  std::vector<std::string> shown;
  const std::string result = run([&] {
    Ref<C_Print_dialog> dlg = ref_cast<C_Print_dialog>(e->print_dialog);
    ASSERT_TRUE(te::wait_exposed(dlg->native));
    te::settle();
    for (const auto& [typed, want] : cases) {
      brek_platform::user_click(dlg->fit->native);
      dlg->fit->set_text("");
      brek_platform::user_type(dlg->fit->native, typed);
      brek_platform::user_click(dlg->rows->native);  // left for another field
      te::settle();
      shown.push_back(dlg->fit->get_text());
    }
    brek_platform::user_click(dlg->cancel->native);
  });
  EXPECT_EQ(result, "CANCEL");
  ASSERT_EQ(shown.size(), cases.size());
  for (size_t i = 0; i < cases.size(); ++i)
    EXPECT_EQ(shown[i], cases[i].second) << "typed \"" << cases[i].first << "\"";
}

TEST_F(PrintDialog, ThePdfFileIsAskedForWhereTheLastOneWentElseInTheDocumentsFolder) {
  namespace fs = std::filesystem;
  namespace te = brek_platform::test_events;
  brek_test::Temp_dir home;
  brek_test::Env_guard home_env("HOME", home.path());
  // The desktop's documents folder, as the user named it.
  const std::string docs = home.file("Papiere");
  fs::create_directory(docs);
  const char* config = std::getenv("XDG_CONFIG_HOME");
  ASSERT_TRUE(config && *config);
  ASSERT_TRUE(brek_test::write_file(std::string(config) + "/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/Papiere\"\n"));
  // Started in a folder of its own, which is no place for the file.
  brek_test::Temp_dir started;
  brek_test::Working_dir started_in(started.path());
  add_card(rect{0, 0, 100, 50}, BLUE);
  make_dialog();
  choose_pdf();
  // Accepts the name offered; where the dialog started. The file goes
  // again, so that no later dialog asks to replace it.
  auto print_offered = [&] {
    te::File_dialog_seen seen;
    te::answer_next_file_dialog(true, {"Collage 1 x 1 (1).pdf"}, &seen);
    EXPECT_TRUE(d->print()) << (screen->messages.empty() ? "" : screen->messages.back());
    EXPECT_EQ(fs::path(d->printer->written_file()).parent_path().string(), seen.directory);
    fs::remove(d->printer->written_file());
    return seen.directory;
  };

  EXPECT_EQ(print_offered(), docs);
  // Saved elsewhere, the next one is asked for there.
  const std::string elsewhere = home.file("Poster");
  fs::create_directory(elsewhere);
  te::answer_next_file_dialog(true, {elsewhere + "/mine.pdf"});
  ASSERT_TRUE(d->print());
  EXPECT_EQ(print_offered(), elsewhere);
  // That folder gone, the documents folder again; without one, home.
  fs::remove_all(elsewhere);
  EXPECT_EQ(print_offered(), docs);
  fs::remove_all(docs);
  EXPECT_EQ(print_offered(), home.path());
}

// The folder of the last PDF is on a mount that has stopped answering: the
// save dialog does not wait for it, and starts in the documents folder.
TEST_F(PrintDialog, ALastPdfFolderWhoseMountDoesNotAnswerIsPassedBy) {
  namespace fs = std::filesystem;
  namespace te = brek_platform::test_events;
  brek_test::Temp_dir home;
  brek_test::Env_guard home_env("HOME", home.path());
  const std::string docs = home.file("Documents");
  fs::create_directory(docs);
  brek_test::Env_guard here("TMPDIR", home.path());
  brek_test::Stalled_mount stalled;
  if (!stalled.mounted()) GTEST_SKIP() << stalled.failure();
  add_card(rect{0, 0, 100, 50}, BLUE);
  make_dialog();
  choose_pdf();
  d->last_pdf_folder = stalled.path();
  te::File_dialog_seen seen;
  bool printed = false;
  EXPECT_TRUE(stalled.ends_while_stalled([&] {
    te::answer_next_file_dialog(true, {"Collage 1 x 1 (1).pdf"}, &seen);
    printed = d->print();
  }));
  EXPECT_TRUE(printed) << (screen->messages.empty() ? "" : screen->messages.back());
  EXPECT_EQ(seen.directory, docs);
  EXPECT_TRUE(fs::exists(docs + "/Collage 1 x 1 (1).pdf"));
}
