// A long print started with the dialog's Print button, the dialog opened
// by the editor's, on a real X server: the long-operation window it shows
// after two seconds of work, its Cancel clicked as the window system
// delivers a click, to a PDF file and to a print server's queue, and keys
// meant for the dialog and the editor while the job runs. The clock moves
// with the job: a tick handler of the test's own advances it each time the
// job ticks and delivers the input, so no test sleeps.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/printing/cups_server.h"
#include "tests/printing/long_print_support.h"
#include "tests/printing/print_test_support.h"

using namespace brek;
namespace te = brek_platform::test_events;

using print_test::LongPrint;
using print_test::Mid_job;

TEST_F(LongPrint, ItsWindowShowsAfterTwoSecondsAndCancelLeavesNoFileAndNoJob) {
  collage();
  // To a PDF file over an earlier one, named in ten seconds: the window's
  // two seconds count from the start of the job.
  ASSERT_TRUE(brek_test::write_file(pdf, "mine"));
  in_file_dialog = 10000;
  int64_t shown_after = -1;
  int ticks = 0;
  {
    Mid_job job(clock, [this] { return writing(); });
    cancel_when_shown(job, shown_after);
    print_through_the_dialog("", pdf);
    ticks = job.ticks;
  }
  // A job that never wrote is told apart from a window that never showed.
  EXPECT_GE(shown_after, 2000) << "the job ticked " << ticks << " times while it wrote";
  EXPECT_LT(shown_after, 2200);
  EXPECT_FALSE(window_shown());
  EXPECT_TRUE(brek_test::read_file(pdf) == "mine");
  EXPECT_EQ(names(dir.path()), (std::vector<std::string>{"poster.pdf", "temp"}));
  // Cancelled by the user: nothing to tell.
  EXPECT_TRUE(screen->messages.empty()) << screen->messages.front();

  // To a queue: nothing reaches it.
  print_test::Cups_server cups;
  if (!cups.failure().empty()) GTEST_SKIP() << cups.failure();
  shown_after = -1;
  {
    Mid_job job(clock, [this] { return writing(); });
    cancel_when_shown(job, shown_after);
    print_through_the_dialog(cups.queue(), "");
  }
  EXPECT_GE(shown_after, 2000);
  EXPECT_EQ(cups.run("lpstat", {"-W", "all", "-o", cups.queue()}), "");
  EXPECT_TRUE(cups.written().empty());
  for (const std::string& name : names(temp)) EXPECT_FALSE(name.starts_with("print-job-")) << name;
  EXPECT_TRUE(screen->messages.empty()) << screen->messages.front();
}

TEST_F(LongPrint, KeysForTheDialogAndTheEditorChangeNoPageOfTheJob) {
  if (!print_test::have_poppler()) GTEST_SKIP() << "pdfinfo and pdftoppm (poppler-utils) are not installed";
  collage();
  e->selection.append(1);
  // The job as it prints undisturbed, in grey.
  const std::string undisturbed = dir.file("undisturbed.pdf");
  print_through_the_dialog("", undisturbed, 1);
  ASSERT_TRUE(std::filesystem::exists(undisturbed));

  // Again, Escape pressed at the dialog and Delete at the editor (its
  // selected card) once the job writes its pages: the dialog stays, the
  // editor keeps its cards, and every page is as it was.
  bool pressed = false, shown = false;
  {
    Mid_job job(clock, [this] { return writing(); });
    job.each = [&] {
      shown = shown || window_shown();
      if (pressed) return;
      pressed = true;
      te::window_key_press(e->print_dialog->native, 27);
      te::window_key_release(e->print_dialog->native, 27);
      te::window_key_press(e->native, 46);
      te::window_key_release(e->native, 46);
    };
    print_through_the_dialog("", pdf, 1);
  }
  ASSERT_TRUE(pressed);
  EXPECT_TRUE(open_after);
  // The job ran long enough to show its window, which went with it.
  EXPECT_TRUE(shown);
  EXPECT_FALSE(window_after);
  EXPECT_EQ(e->cards.count(), 2);
  const std::string pages = print_test::pdf_field(print_test::pdf_info(undisturbed), "Pages");
  ASSERT_EQ(print_test::pdf_field(print_test::pdf_info(pdf), "Pages"), pages);
  for (int page = 1; page <= std::stoi(pages); ++page)
    EXPECT_TRUE(print_test::render(pdf, page, 18).px == print_test::render(undisturbed, page, 18).px) << page;
}
