#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "baselib/string_functions.h"
#include "drawing/canvas.h"
#include "printing/native_printers.h"
#include "printing/printer.h"
#include "printing/report_print_pages.h"
#include "tests/printing/print_test_support.h"
#include "tests/support/temp_dir.h"

using namespace brek;
using print_test::BLUE;
using print_test::RED;
using print_test::WHITE;

namespace {

// A report of `n` A4 pages; page p shows a blue square at x = 40 + 60 p,
// and drawing page `fail_on` raises.
class Marked_report : public C_Report {
  BREK_CLASS(Marked_report)
 public:
  std::vector<int64_t> drawn;
  int64_t fail_on = -1;

  void make_pages(int64_t n) {
    for (int64_t p = 0; p < n; ++p) {
      if (p > 0) new_page();
      command_info c;
      c.page = p;
      c.x1 = 40 + 60 * double(p);
      c.y1 = 40;
      c.x2 = c.x1 + 40;
      c.y2 = 80;
      c.color = Colors::from_bits(0xFFFF0000u);
      commands.append(c);
    }
  }
  void draw_page(int64_t page) override {
    drawn.push_back(page);
    if (page == fail_on) throw Brek_Exception("the page broke");
    C_Report::draw_page(page);
  }
};

// The marker's page as found on a rendered page (72 dpi); -1 for none.
int marker_on(const print_test::Picture& pic) {
  for (int p = 0; p < 8; ++p)
    if (pic.at(60 + 60 * p, 60) == BLUE) return p;
  return -1;
}

int64_t pdf_index(C_Printer& printer) {
  DynAStr names = NATIVE_String_functions::split(printer.printer_names(), "\r\n");
  return names.count() - 1;
}

class PrinterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!print_test::have_poppler()) GTEST_SKIP() << "pdfinfo and pdftoppm (poppler-utils) are not installed";
    printer->select_printer(pdf_index(*printer));
    printer->set_output_file(pdf);
  }
  Ref<Marked_report> report(int64_t pages, const std::string& title) {
    auto r = make<Marked_report>();
    r->title = title;
    r->make_pages(pages);
    return r;
  }
  std::vector<std::string> files() const {
    std::vector<std::string> names;
    for (auto& e : std::filesystem::directory_iterator(dir.path())) names.push_back(e.path().filename().string());
    return names;
  }

  brek_test::Temp_dir dir;
  std::string pdf = dir.file("out.pdf");
  Ref<C_Printer> printer = C_Printer::create();
};

}  // namespace

TEST(PrinterNames, TheListEndsWithThePdfEntry) {
  auto printer = C_Printer::create();
  DynAStr names = NATIVE_String_functions::split(printer->printer_names(), "\r\n");
  ASSERT_GE(names.count(), 1);
  EXPECT_EQ(names.get(names.count() - 1), "Print to PDF file");
  EXPECT_FALSE(printer->printer_name().empty());  // the default printer

  printer->select_printer(names.count() - 1);
  EXPECT_EQ(printer->printer_name(), "Print to PDF file");
  printer->select_printer(names.count() + 3);  // past the end: no change
  EXPECT_EQ(printer->printer_name(), "Print to PDF file");
  printer->select_printer(-1);
  EXPECT_FALSE(printer->printer_name().empty());
  EXPECT_FALSE(printer->canvas().is_none());

  // Handle 0 names nothing.
  EXPECT_EQ(C_NATIVE_Printers::printer_names(0), "");
  EXPECT_FALSE(C_NATIVE_Printers::begin_doc(0, "x", 1));
  Ref<C_Printer> none;
  EXPECT_TRUE(none->canvas().is_none());
  EXPECT_FALSE(none->print_report(make<C_Report>(), 1));
}

TEST_F(PrinterTest, AReportIsOneDocumentOfItsPagesWithItsTitle) {
  auto r = report(4, "Four pages");
  ASSERT_TRUE(printer->print_report(r, 1));
  EXPECT_EQ(printer->written_file(), pdf);
  EXPECT_EQ(r->drawn, (std::vector<int64_t>{0, 1, 2, 3}));
  std::string info = print_test::pdf_info(pdf);
  EXPECT_EQ(print_test::pdf_field(info, "Pages"), "4");
  EXPECT_EQ(print_test::pdf_field(info, "Title"), "Four pages");
  EXPECT_NE(print_test::pdf_field(info, "Page    4 size").find("(A4)"), std::string::npos) << info;
  EXPECT_EQ(marker_on(print_test::render(pdf, 3, 72)), 2);
  // The job leaves the device as it found it.
  EXPECT_TRUE(printer->printed_report.is_none());
  EXPECT_TRUE(r->canvas.is_none());
  EXPECT_EQ(files(), (std::vector<std::string>{"out.pdf"}));

  // One page: no page break, one page.
  ASSERT_TRUE(printer->print_report(report(1, "One"), 1));
  EXPECT_EQ(print_test::pdf_field(print_test::pdf_info(pdf), "Pages"), "1");
}

TEST_F(PrinterTest, EveryPageGetsItsOwnPaper) {
  auto r = report(1, "Sizes");
  r->new_page();
  r->set_page(page_size::A5, point{}, false, false);
  r->new_page();
  r->set_page(page_size::CUSTOM_SIZE, point{300, 200}, false, false);
  r->new_page();
  r->set_page(page_size::A3, point{}, false, true);  // turned onto portrait A3
  ASSERT_TRUE(printer->print_report(r, 1));
  std::string info = print_test::pdf_info(pdf);
  EXPECT_NE(print_test::pdf_field(info, "Page    1 size").find("(A4)"), std::string::npos) << info;
  EXPECT_NE(print_test::pdf_field(info, "Page    2 size").find("(A5)"), std::string::npos) << info;
  EXPECT_EQ(print_test::pdf_field(info, "Page    3 size").rfind("300 x 200", 0), 0u) << info;
  EXPECT_NE(print_test::pdf_field(info, "Page    4 size").find("842 x 1191 pts (A3)"), std::string::npos) << info;
}

TEST_F(PrinterTest, CopiesAreRepeatedWhereThePrinterCannotMakeThem) {
  EXPECT_FALSE(C_NATIVE_Printers::driver_does_copies(printer->native_printer));
  auto r = report(2, "Copies");
  ASSERT_TRUE(printer->print_report(r, 3));
  EXPECT_EQ(r->drawn, (std::vector<int64_t>{0, 1, 0, 1, 0, 1}));
  EXPECT_EQ(print_test::pdf_field(print_test::pdf_info(pdf), "Pages"), "6");
  // Every copy starts on a page of its own.
  EXPECT_EQ(marker_on(print_test::render(pdf, 3, 72)), 0);
  EXPECT_EQ(marker_on(print_test::render(pdf, 6, 72)), 1);

  // Copies below 1 print one.
  auto once = report(1, "Once");
  ASSERT_TRUE(printer->print_report(once, -5));
  EXPECT_EQ(once->drawn.size(), 1u);
}

TEST_F(PrinterTest, ARangeOfPagesIsHeldToTheReport) {
  auto r = report(4, "Range");
  printer->first_page = 1;
  printer->page_count = 2;
  ASSERT_TRUE(printer->print_report(r, 1));
  EXPECT_EQ(r->drawn, (std::vector<int64_t>{1, 2}));
  EXPECT_EQ(marker_on(print_test::render(pdf, 1, 72)), 1);

  r->drawn.clear();
  printer->first_page = 3;
  printer->page_count = 50;
  ASSERT_TRUE(printer->print_report(r, 1));
  EXPECT_EQ(r->drawn, (std::vector<int64_t>{3}));

  // Nothing in range: no document at all.
  std::filesystem::remove(pdf);
  printer->first_page = 9;
  printer->page_count = 0;
  EXPECT_FALSE(printer->print_report(r, 1));
  EXPECT_TRUE(files().empty());
}

TEST_F(PrinterTest, AFailingPageEndsTheJobWithoutAFile) {
  auto r = report(3, "Broken");
  r->fail_on = 1;
  Ref<C_Report> before = make<C_Report>();
  printer->printed_report = before;
  EXPECT_THROW(printer->print_report(r, 1), Brek_Exception);
  EXPECT_TRUE(files().empty());  // neither the PDF nor its temporary file
  EXPECT_TRUE(printer->printed_report.same(before));
  EXPECT_TRUE(r->canvas.is_none());

  // The device prints the next job.
  ASSERT_TRUE(printer->print_report(report(2, "Next"), 1));
  EXPECT_EQ(print_test::pdf_field(print_test::pdf_info(pdf), "Pages"), "2");
}

TEST_F(PrinterTest, APdfThatCannotBeWrittenIsReported) {
  std::string nowhere = dir.file("missing/out.pdf");
  printer->set_output_file(nowhere);
  try {
    printer->print_report(report(1, "Lost"), 1);
    FAIL() << "no failure reported";
  } catch (const E_Print_failed& e) {
    EXPECT_EQ(e.message().rfind(nowhere + ": ", 0), 0u) << e.message();
  }
  EXPECT_TRUE(files().empty());
}

TEST_F(PrinterTest, WithoutAChosenFileNothingIsOverwritten) {
  brek_test::Env_guard home("HOME", dir.path());
  auto fresh = C_Printer::create();
  fresh->select_printer(pdf_index(*fresh));
  ASSERT_TRUE(brek_test::write_file(dir.file("Poster 1.pdf"), "mine"));
  ASSERT_TRUE(fresh->print_report(report(1, "Poster 1"), 1));
  EXPECT_EQ(fresh->written_file(), dir.file("Poster 1 (2).pdf"));
  EXPECT_EQ(brek_test::read_file(dir.file("Poster 1.pdf")), "mine");
  ASSERT_TRUE(fresh->print_report(report(1, "a/b"), 1));
  EXPECT_EQ(fresh->written_file(), dir.file("a-b.pdf"));
  EXPECT_EQ(print_test::pdf_field(print_test::pdf_info(dir.file("a-b.pdf")), "Pages"), "1");

  // A chosen file is replaced; through a link, the link's target is.
  ASSERT_TRUE(brek_test::write_file(pdf, "old"));
  std::filesystem::create_symlink(pdf, dir.file("link.pdf"));
  printer->set_output_file(dir.file("link.pdf"));
  ASSERT_TRUE(printer->print_report(report(1, "Again"), 1));
  EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link.pdf")));
  EXPECT_EQ(print_test::pdf_field(print_test::pdf_info(pdf), "Pages"), "1");

  // Through a chain of links (one of them relative) every link stays one
  // and the file at the end is replaced.
  ASSERT_TRUE(brek_test::write_file(pdf, "old"));
  std::filesystem::create_symlink("link.pdf", dir.file("chain.pdf"));
  printer->set_output_file(dir.file("chain.pdf"));
  ASSERT_TRUE(printer->print_report(report(2, "Chain"), 1));
  EXPECT_TRUE(std::filesystem::is_symlink(dir.file("chain.pdf")));
  EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link.pdf")));
  EXPECT_EQ(print_test::pdf_field(print_test::pdf_info(pdf), "Pages"), "2");
}

TEST_F(PrinterTest, APosterPrintsOneSheetPerPageWithItsPartAndCutLines) {
  auto src = make<print_test::Fake_source>();
  src->options.paper_mm = point{210, 297};
  src->options.columns = 2;
  src->options.margins = margins_for_cell{10, 10, 10, 10};
  src->options.overlap_mm = 10;
  src->add(rect{0, 0, 100, 50}, 0x0000FF);
  auto poster = C_Report_print_pages::create();
  poster->dialog = Weak<Brek_object>(src);
  poster->title = "Collage 2 x 1 (1)";
  poster->prepare();
  ASSERT_TRUE(printer->print_report(poster, 1));

  std::string info = print_test::pdf_info(pdf);
  EXPECT_EQ(print_test::pdf_field(info, "Pages"), "2");
  EXPECT_EQ(print_test::pdf_field(info, "Title"), "Collage 2 x 1 (1)");
  EXPECT_NE(print_test::pdf_field(info, "Page    2 size").find("(A4)"), std::string::npos) << info;
  // Each page is its own sheet (the poster's geometry is the layout's and
  // the print dialog's tests' to check): the card on both, the right one
  // with its left cut line only.
  print_test::Picture right = print_test::render(pdf, 2, 72);
  ASSERT_EQ(right.width, 595);
  EXPECT_TRUE(right.near(200, 100, BLUE));
  EXPECT_TRUE(right.any(0, 100, 100, 100, RED));
  EXPECT_FALSE(right.any(300, 0, 594, 841, RED));
  EXPECT_TRUE(print_test::render(pdf, 1, 72).near(100, 100, BLUE));

  // Landscape sheets print on portrait paper, turned.
  src->options.landscape = true;
  src->options.columns = 1;
  poster->prepare();
  ASSERT_TRUE(printer->print_report(poster, 1));
  info = print_test::pdf_info(pdf);
  EXPECT_EQ(print_test::pdf_field(info, "Pages"), "1");
  EXPECT_NE(print_test::pdf_field(info, "Page    1 size").find("595 x 842"), std::string::npos) << info;
  print_test::Picture turned = print_test::render(pdf, 1, 72);
  EXPECT_TRUE(turned.near(200, 400, BLUE));
  EXPECT_EQ(turned.at(200, 20), WHITE);
}
