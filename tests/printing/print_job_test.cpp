// What a print job tells the print system and the user, with the real
// parts a job meets: a file system that fills up (a small tmpfs), a print
// server of the test's own with a PDF queue, and the PDFs read back.

#include <gtest/gtest.h>
#include <malloc.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "forms/combo.h"
#include "forms/edit.h"
#include "images/image.h"
#include "printing/printer.h"
#include "printing/report.h"
#include "printing/report_print_pages.h"
#include "runtime/runtime_services.h"
#include "tests/printing/cups_server.h"
#include "tests/printing/print_dialog_support.h"
#include "tests/printing/print_test_support.h"
#include "tests/support/process_memory.h"
#include "tests/support/tmpfs_mount.h"

using namespace brek;
using print_test::Cups_server;
using brek_test::MB;
using brek_test::Tmpfs_mount;
namespace R = Print_dialog_rules;

namespace {

// A picture no compression makes small: every pixel of its own.
Ref<C_Image> noise(int w, int h) {
  Ref<C_Image> im = editor_test::pasted(w, h, 0);
  Pixels* p = im->picture->pixels();
  uint32_t state = 12345;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      state = state * 1664525u + 1013904223u;
      p->set(x, y, 0xFF000000u | state >> 8);
    }
  return im;
}

class PrintJob : public print_test::PrintDialog {
 protected:
  // One card of noise, 600 x 600 pixels, filling the sheet's width.
  void add_noise_card() {
    e->add_image(noise(600, 600));
    set_rect(e->cards.count() - 1, rect{0, 0, 400, 400});
  }
  bool said(const std::string& part) const {
    for (const std::string& m : screen->messages)
      if (m.find(part) != std::string::npos) return true;
    return false;
  }
  std::string messages() const {
    std::string all;
    for (const std::string& m : screen->messages) all += m + "\n";
    return all;
  }
  // Exactly one message, which says each of `parts`.
  void expect_one_message_saying(const std::vector<std::string>& parts) {
    ASSERT_EQ(screen->messages.size(), 1u) << messages();
    for (const std::string& part : parts) EXPECT_TRUE(said(part)) << part << "\n" << messages();
  }
};

}  // namespace

// ---- a print that fails half way ----

TEST_F(PrintJob, APdfThatDoesNotFitOnTheDiskIsAFailureAndLeavesNothingBehind) {
  Tmpfs_mount disk("64k", "0777");
  if (!disk.mounted()) GTEST_SKIP() << disk.failure();
  // The dialog opens in the documents folder, where a file of the same
  // name is never the one printed to.
  brek_test::Temp_dir home;
  brek_test::Env_guard home_is("HOME", home.path());
  ASSERT_TRUE(brek_test::write_file(home.file("poster.pdf"), "theirs"));
  add_noise_card();
  make_dialog();
  // An earlier file of that name stays as it was.
  const std::string target = disk.file("poster.pdf");
  ASSERT_TRUE(brek_test::write_file(target, "mine"));
  EXPECT_FALSE(print_pdf(target));
  ASSERT_NO_FATAL_FAILURE(expect_one_message_saying({target, "No space left on device"}));
  EXPECT_EQ(brek_test::read_file(target), "mine");
  EXPECT_EQ(disk.entries(), (std::vector<std::string>{"poster.pdf"}));
  EXPECT_EQ(brek_test::read_file(home.file("poster.pdf")), "theirs");

  // A poster of 12 sheets on a larger disk, to a new file: no file at all.
  Tmpfs_mount larger("200k", "0777");
  ASSERT_TRUE(larger.mounted()) << larger.failure();
  d->columns->set_text("3");
  d->rows->set_text("4");
  EXPECT_FALSE(print_pdf(larger.file("poster.pdf")));
  EXPECT_EQ(screen->messages.size(), 2u);
  EXPECT_TRUE(said("No space left on device")) << messages();
  EXPECT_TRUE(larger.entries().empty());
}

TEST_F(PrintJob, AQueueGetsNoJobFromAPdfThatCouldNotBeWrittenWhole) {
  Cups_server cups;
  if (!cups.failure().empty()) GTEST_SKIP() << cups.failure();
  Tmpfs_mount disk("64k", "0777");
  if (!disk.mounted()) GTEST_SKIP() << disk.failure();
  brek_test::Env_guard tmp("TMPDIR", disk.path());
  add_noise_card();
  make_dialog();
  choose_printer(cups.queue());
  EXPECT_FALSE(d->print());
  ASSERT_NO_FATAL_FAILURE(expect_one_message_saying({cups.queue(), "No space left on device"}));
  // No job was made, none finished; the temporary PDF is gone.
  EXPECT_EQ(cups.run("lpstat", {"-W", "all", "-o", cups.queue()}), "");
  EXPECT_TRUE(disk.entries().empty());
}

// The print server goes away while the job's pages are drawn (stopped as
// the first page is): the print fails, saying that the server could not
// be reached and why, not that the printer refused the document.
TEST_F(PrintJob, APrintServerGoneDuringTheJobIsSaidToBeOutOfReach) {
  Cups_server cups;
  if (!cups.failure().empty()) GTEST_SKIP() << cups.failure();
  add_card(rect{0, 0, 100, 50}, editor_test::BLUE);
  make_dialog();
  choose_printer(cups.queue());
  struct Stopped_on_the_first_page final : Brek_handler {
    Cups_server& server;
    explicit Stopped_on_the_first_page(Cups_server& s) : server(s) { Brek_runtime::register_tick_handler(this); }
    ~Stopped_on_the_first_page() override { Brek_runtime::unregister_tick_handler(this); }
    void run() override { server.stop(); }
  } stopper(cups);
  EXPECT_FALSE(d->print());
  ASSERT_NO_FATAL_FAILURE(
      expect_one_message_saying({cups.queue() + ": the print server ", " could not be reached ("}));
  EXPECT_FALSE(said("(Success)")) << messages();
  EXPECT_FALSE(said("refused")) << messages();
}

// ---- the paper ----

namespace {

// A report of one page of w x h points, a blue square near its top left.
Ref<C_Report> page_of(double w, double h) {
  Ref<C_Report> r = make<C_Report>();
  r->title = "Paper";
  r->set_page(page_size::CUSTOM_SIZE, point{w, h}, false, false);
  command_info c;
  c.x1 = c.y1 = 20;
  c.x2 = c.y2 = 60;
  c.color = Colors::from_bits(0xFFFF0000u);
  r->commands.append(c);
  return r;
}

}  // namespace

TEST_F(PrintJob, TheQueuePrintsOnThePaperOfTheJob) {
  if (!print_test::have_poppler()) GTEST_SKIP() << "pdfinfo and pdftoppm (poppler-utils) are not installed";
  Cups_server cups;
  if (!cups.failure().empty()) GTEST_SKIP() << cups.failure();
  add_card(rect{0, 0, 100, 50}, editor_test::BLUE);
  make_dialog();
  d->paper->set_item_index(d->paper->index_of("A3  29.7 x 42"));
  choose_printer(cups.queue());
  ASSERT_TRUE(d->print()) << messages();
  std::vector<std::string> files = cups.wait_for_files(1, 60);
  ASSERT_EQ(files.size(), 1u);
  std::string info = print_test::pdf_info(files[0]);
  EXPECT_EQ(print_test::pdf_field(info, "Page    1 size").rfind("842 x 1191 pts", 0), 0u) << info;
  // Not scaled: the card starts 20 mm in, as on the page sent.
  print_test::Picture page = print_test::render(files[0], 1, 72);
  const int in = int(20 * print_test::k);
  EXPECT_TRUE(page.near(in + 3, in + 3, editor_test::BLUE));
  EXPECT_TRUE(page.near(in - 3, in + 3, editor_test::WHITE));

  // A size the print system has no name for, upright and turned: the
  // paper as it stands, a wide page turned onto it whole.
  Ref<C_Printer> printer = C_Printer::create();
  printer->select_printer(R::printer_position(printer->printer_names(), cups.queue()));
  ASSERT_TRUE(printer->print_report(page_of(400, 500), 1));
  ASSERT_TRUE(printer->print_report(page_of(500, 400), 1));
  files = cups.wait_for_files(3, 60);
  ASSERT_EQ(files.size(), 3u);
  // A custom size comes back within the point the print system rounds.
  for (size_t i = 1; i < 3; ++i) {
    info = print_test::pdf_field(print_test::pdf_info(files[i]), "Page    1 size");
    double w = 0, h = 0;
    ASSERT_EQ(std::sscanf(info.c_str(), "%lf x %lf", &w, &h), 2) << info;
    EXPECT_NEAR(w, 400, 1) << info;
    EXPECT_NEAR(h, 500, 1) << info;
  }
  // Turned whole, not shrunk: the square keeps its 40 x 40 points.
  print_test::Picture wide = print_test::render(files[2], 1, 72);
  int blue = 0;
  for (int y = 0; y < wide.height; ++y)
    for (int x = 0; x < wide.width; ++x) blue += wide.near(x, y, editor_test::BLUE) ? 1 : 0;
  EXPECT_NEAR(blue, 1600, 100);
  // The print system was told which way each job's paper stands.
  EXPECT_EQ(cups.job_attribute("orientation-requested"),
            (std::vector<std::string>{"portrait", "portrait", "landscape"}));
}

// ---- long names ----

namespace {

// Whether every "é" (C3 A9) of a name is whole.
bool whole_characters(const std::string& name) {
  for (size_t i = 0; i < name.size(); ++i)
    if ((name[i] == '\xC3') != (i + 1 < name.size() && name[i + 1] == '\xA9') ||
        (name[i] == '\xA9' && (i == 0 || name[i - 1] != '\xC3')))
      return false;
  return true;
}

}  // namespace

TEST_F(PrintJob, PdfsNamedWithTheLongestNamesAreWritten) {
  Tmpfs_mount disk("1m", "0777");
  if (!disk.mounted()) GTEST_SKIP() << disk.failure();
  add_card(rect{0, 0, 100, 50}, editor_test::BLUE);
  make_dialog();
  // Chosen names of 255 bytes, the most a name may have; "é" takes two.
  const std::string plain = std::string(251, 'n') + ".pdf";
  std::string accents;
  for (int i = 0; i < 125; ++i) accents += "é";
  accents += "x.pdf";
  ASSERT_EQ(accents.size(), 255u);
  EXPECT_TRUE(print_pdf(disk.file(plain))) << messages();
  EXPECT_TRUE(print_pdf(disk.file(accents))) << messages();
  // Each is there whole, and nothing else is.
  EXPECT_EQ(disk.entries(), (std::vector<std::string>{plain, accents}));
  if (print_test::have_poppler()) {
    for (const std::string& name : {plain, accents})
      EXPECT_EQ(print_test::pdf_field(print_test::pdf_info(disk.file(name)), "Pages"), "1") << name;
  }

  // Named after a title too long for a name, twice: the names are cut to
  // fit, between characters, the second numbered.
  brek_test::Env_guard home("HOME", disk.path());
  std::string title;
  for (int i = 0; i < 140; ++i) title += "é";
  Ref<C_Printer> printer = C_Printer::create();
  printer->select_printer(R::printer_position(printer->printer_names(), "Print to PDF file"));
  std::vector<std::string> written;
  for (int i = 0; i < 2; ++i) {
    Ref<C_Report> r = page_of(400, 500);
    r->title = title;
    ASSERT_TRUE(printer->print_report(r, 1)) << printer->printer_name();
    written.push_back(std::filesystem::path(printer->written_file()).filename().string());
  }
  EXPECT_NE(written[0], written[1]);
  for (const std::string& name : written) {
    EXPECT_LE(name.size(), 255u) << name;
    EXPECT_TRUE(whole_characters(name)) << name;
    EXPECT_TRUE(std::filesystem::exists(disk.file(name))) << name;
    EXPECT_EQ(name.rfind("éé", 0), 0u) << name;
  }
  EXPECT_EQ(written[1].substr(written[1].size() - 8), " (2).pdf");
  EXPECT_EQ(disk.entries().size(), 4u);
}

// ---- what the user is told ----

TEST_F(PrintJob, APausedQueueTakesTheJobAndSaysItWaits) {
  Cups_server cups;
  if (!cups.failure().empty()) GTEST_SKIP() << cups.failure();
  int rc = -1;
  cups.run("cupsdisable", {cups.queue()}, &rc);
  ASSERT_EQ(rc, 0);
  add_card(rect{0, 0, 100, 50}, editor_test::BLUE);
  make_dialog();
  choose_printer(cups.queue());
  EXPECT_TRUE(d->print());
  ASSERT_EQ(screen->messages.size(), 1u) << messages();
  EXPECT_EQ(screen->messages[0], cups.queue() + ": the printer is paused; the job waits in its queue");
  EXPECT_NE(cups.run("lpstat", {"-o", cups.queue()}), "");
  // Let go, the queue prints it.
  cups.run("cupsenable", {cups.queue()}, &rc);
  EXPECT_EQ(cups.wait_for_files(1, 60).size(), 1u);
}

TEST_F(PrintJob, ThePrinterIsRememberedOnlyAfterAPrintThatWorked) {
  add_card(rect{0, 0, 100, 50}, editor_test::BLUE);
  make_dialog();
  EXPECT_FALSE(print_pdf(dir.file("no such folder/poster.pdf")));
  EXPECT_EQ(screen->messages.size(), 1u);
  EXPECT_EQ(print_test::saved_printer(), "");
  EXPECT_TRUE(print_pdf());
  EXPECT_EQ(print_test::saved_printer(), "Print to PDF file");
}

TEST_F(PrintJob, APrinterThatCannotBeRememberedIsToldOnceAndPrintsAnyway) {
  Tmpfs_mount disk("64k", "0777");
  if (!disk.mounted()) GTEST_SKIP() << disk.failure();
  ASSERT_TRUE(disk.make_read_only());
  brek_test::Env_guard home("XDG_CONFIG_HOME", disk.path());
  add_card(rect{0, 0, 100, 50}, editor_test::BLUE);
  make_dialog();
  EXPECT_TRUE(print_pdf());
  EXPECT_TRUE(print_pdf());
  // Told as every other settings write is, once, with the system's reason.
  expect_one_message_saying({"Settings could not be saved", "Read-only file system"});
}

// ---- grey drawing ----

namespace {

// A picture of cells, each cell a colour of its own (in 10 x 10 cells):
// a part placed or scaled wrongly shows.
Ref<C_Image> cells(int w, int h) {
  Ref<C_Image> im = editor_test::pasted(w, h, 0);
  Pixels* p = im->picture->pixels();
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint32_t cell = uint32_t(x * 10 / w + 10 * (y * 10 / h));
      p->set(x, y, 0xFF000000u | (cell * 97u % 256u) << 16 | (cell * 53u % 256u) << 8 | (cell * 29u % 256u));
    }
  return im;
}

}  // namespace

TEST_F(PrintJob, GreyPrintsConvertWhatEachSheetShowsAtItsPrintedSizeOnce) {
  // A photograph printed far larger than its pixels over a poster of 4 x 4
  // sheets, and one printed smaller (its 2000 x 1500 pixels in about
  // 200 x 150 of the page's) where four sheets meet.
  e->add_image(noise(600, 450));
  set_rect(0, rect{0, 0, 400, 300});
  e->add_image(noise(2000, 1500));
  set_rect(1, rect{195, 145, 10, 7.5});
  make_dialog();
  d->drawing_mode->set_item_index(1);
  d->rows->set_text("4");
  d->columns->set_text("4");
  ASSERT_TRUE(print_pdf()) << messages();
  // Each sheet turns grey only its part of a card, at most as many pixels
  // as that part prints at: card 1 prints 10 of the 400 units over 4 x 170
  // mm less three bands of 10 mm, at 300 pixels an inch. The bands, which
  // both sheets they join print, and a pixel round each part add a little.
  const double small = 10 * (4 * 170 - 3 * 10) / 400.0 / 25.4 * 300;
  const double once = 600.0 * 450 + small * small * 0.75;
  // Each grey part is a picture of the document: their pixels, as a PDF
  // reader lists them, are what was turned grey.
  const int64_t made = print_test::pdf_image_pixels(pdf);
  EXPECT_GT(made, once);
  EXPECT_LT(made, once * 1.25);
  // Nothing of the job stays with the cards.
  EXPECT_EQ(e->bitmaps.count(), 0);
  EXPECT_TRUE(e->cards.get(1).bitmap.lock().is_none());
}

TEST_F(PrintJob, AGreyPosterSheetIsTheSameRegionOfTheCollagePrintedOnOneSheet) {
  if (!print_test::have_poppler()) GTEST_SKIP() << "pdfinfo and pdftoppm (poppler-utils) are not installed";
  // Two cards over the seams of 2 x 2 A6 sheets without margins or bands:
  // a picture printed smaller than its pixels and, over it, one printed
  // larger. One A4 sheet without margins prints them at the same scale
  // (the union box fills the 21 cm of either).
  e->add_image(cells(3000, 2250));
  set_rect(0, rect{0, 0, 200, 150});
  e->add_image(cells(60, 45));
  set_rect(1, rect{100, 100, 200, 150});
  make_dialog();
  d->drawing_mode->set_item_index(1);
  for (const Ref<C_Edit>& m : {d->margin_top, d->margin_left, d->margin_right, d->margin_bottom}) m->set_text("0");
  d->overlaps->set_text("0");
  ASSERT_TRUE(print_pdf(dir.file("sheet.pdf"))) << messages();
  d->paper->set_item_index(d->paper->index_of("A6  10.5 x 14.8"));
  d->rows->set_text("2");
  d->columns->set_text("2");
  ASSERT_TRUE(print_pdf()) << messages();
  const print_test::Picture sheet = print_test::render(dir.file("sheet.pdf"), 1, 72);
  // Whether each channel of `colour` lies within the greys round (x, y)
  // of the sheet: the edges of the cells fall on whole pixels in their own
  // way on each page, and each page's pictures are stored compressed on
  // their own.
  auto on_sheet = [&](int x, int y, uint32_t colour) {
    int low = 255, high = 0;
    for (int v = -1; v <= 1; ++v)
      for (int u = -1; u <= 1; ++u) {
        low = std::min(low, int(sheet.at(x + u, y + v) & 0xFF));
        high = std::max(high, int(sheet.at(x + u, y + v) & 0xFF));
      }
    for (int shift : {0, 8, 16})
      if (int(colour >> shift & 0xFF) < low - 12 || int(colour >> shift & 0xFF) > high + 12) return false;
    return true;
  };
  for (int page = 1; page <= 4; ++page) {
    const print_test::Picture part = print_test::render(pdf, page, 72);
    const double dx = (page - 1) % 2 * 105 * print_test::k, dy = (page - 1) / 2 * 148 * print_test::k;
    int64_t misplaced = 0;
    for (int y = 0; y < part.height; ++y)
      for (int x = 0; x < part.width; ++x) {
        const int sx = int(std::lround(x + dx)), sy = int(std::lround(y + dy));
        if (sx + 1 < sheet.width && sy + 1 < sheet.height) misplaced += !on_sheet(sx, sy, part.at(x, y));
      }
    EXPECT_EQ(misplaced, 0) << "sheet " << page;
  }
}

TEST_F(PrintJob, AGreyPosterHoldsNoMoreThanTheColourOneAndOneCardsCopy) {
  if (!brek_test::RESIDENT_SIZE_COUNTS) GTEST_SKIP() << "the resident size does not count here";
  if (!brek_test::reset_peak_resident()) GTEST_SKIP() << "the peak of the resident size cannot be reset";
  // Six photographs one below the other over a poster of 1 x 6 A3 sheets:
  // each card prints about a sheet wide, larger than its picture.
  constexpr int W = 2400, H = 1800;
  constexpr int64_t PICTURE = int64_t(W) * H * 4;
  for (int i = 0; i < 6; ++i) {
    e->add_image(editor_test::pasted(W, H, editor_test::BLUE, editor_test::RED, editor_test::GREEN,
                                     editor_test::WHITE));
    set_rect(i, rect{0, 130.0 * i, 160, 120});
  }
  make_dialog();
  d->paper->set_item_index(d->paper->index_of("A3  29.7 x 42"));
  d->rows->set_text("6");
  // What printing in a mode adds at its peak to what was held before.
  auto added_at_peak = [&](int64_t mode, const std::string& file) -> int64_t {
    d->drawing_mode->set_item_index(mode);
    malloc_trim(0);
    return brek_test::peak_growth([&] { EXPECT_TRUE(print_pdf(file)) << messages(); });
  };
  const int64_t colour = added_at_peak(0, dir.file("colour.pdf"));
  const int64_t grey = added_at_peak(1, dir.file("grey.pdf"));
  // A card's grey copy, and the part of it a sheet takes, are each at
  // most its picture; the others wait for their turn.
  EXPECT_LE(grey, colour + 2 * PICTURE) << "grey " << grey / MB << " MB, colour " << colour / MB << " MB, a picture "
                                        << PICTURE / MB << " MB";
}
