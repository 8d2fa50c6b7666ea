// A long print started with the dialog's Print button, the dialog opened
// by the editor's, on a real X server: the long-operation window it shows
// after two seconds of work, its Cancel clicked as the window system
// delivers a click, to a PDF file and to a print server's queue, and keys
// meant for the dialog and the editor while the job runs. The clock moves
// with the job: a tick handler of the test's own advances it each time the
// job ticks and delivers the input, so no test sleeps.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "forms/button.h"
#include "forms/combo.h"
#include "forms/edit.h"
#include "forms/long_operation.h"
#include "platform/control_input.h"
#include "runtime/clock.h"
#include "runtime/runtime_services.h"
#include "tests/printing/cups_server.h"
#include "tests/printing/print_dialog_support.h"
#include "tests/printing/print_test_support.h"

using namespace brek;
namespace te = brek_platform::test_events;

namespace {

// While the job writes its pages (`writing`), runs `each` whenever the
// job's ticks run the tick handlers, after the clock has moved on by a
// tenth of a second. Every loop tick runs them.
class Mid_job final : public Brek_handler {
 public:
  Mid_job(Brek_runtime::Test_clock& clock, std::function<bool()> writing)
      : clock_(clock), writing_(std::move(writing)) {
    Brek_runtime::register_tick_handler(this);
    Brek_runtime::set_tick_counter(65535);
  }
  ~Mid_job() override { Brek_runtime::unregister_tick_handler(this); }
  void run() override {
    Brek_runtime::set_tick_counter(65535);
    if (!writing_()) return;
    clock_.advance(100);
    ticks += 1;
    if (each) each();
  }
  std::function<void()> each;
  int ticks = 0;

 private:
  Brek_runtime::Test_clock& clock_;
  std::function<bool()> writing_;
};

class LongPrint : public editor_test::On_x_server<print_test::PrintDialog> {
 protected:
  // Cards of plain colours over a poster of 6 x 6 sheets.
  void collage() {
    add_card(rect{0, 0, 300, 200}, editor_test::BLUE);
    add_card(rect{150, 100, 300, 200}, editor_test::RED);
  }
  // The names in a folder of the test's, sorted.
  std::vector<std::string> names(const std::string& folder) const {
    std::vector<std::string> found;
    for (const auto& f : std::filesystem::directory_iterator(folder)) found.push_back(f.path().filename());
    std::sort(found.begin(), found.end());
    return found;
  }
  // Whether a job's pages are being written: its temporary PDF is beside
  // the file it is for, or for a queue in the temporary folder.
  bool writing() const {
    for (const std::string& folder : {dir.path(), temp})
      for (const std::string& name : names(folder))
        if (name.starts_with(".~print-") || name.starts_with("print-job-")) return true;
    return false;
  }
  Ref<C_Long_operation> window() const { return ref_cast<C_Long_operation>(screen->long_operation); }
  bool window_shown() const { return !window().is_none() && window()->is_visible(); }
  // The editor's Print button, and in the dialog it opens: the queue, or
  // the PDF entry answered with `file`, the drawing mode, the dialog's
  // Print button; then the dialog is closed. Whether the dialog and the
  // long-operation window were still open when its Print returned go to
  // open_after and window_after.
  void print_through_the_dialog(const std::string& queue, const std::string& file, int64_t mode = 0) {
    Weak<C_Edit_collage_print> weak(e);
    te::post_task([=, this] {
      Ref<C_Print_dialog> dlg = ref_cast<C_Print_dialog>(weak.lock()->print_dialog);
      dlg->rows->set_text("6");
      dlg->columns->set_text("6");
      dlg->drawing_mode->set_item_index(mode);
      if (file.empty()) {
        dlg->printer_list->set_item_index(dlg->printer_list->index_of(queue));
      } else {
        dlg->printer_list->set_item_index(dlg->printer_list->line_count() - 1);
        if (std::filesystem::exists(file)) te::answer_next_message(true);
        te::answer_next_file_dialog(true, {file});
      }
      // The user looks at the dialog for ten seconds first.
      clock.advance(10000);
      brek_platform::user_click(dlg->b_print->native);
      open_after = dlg->is_visible();
      window_after = window_shown();
      dlg->close_with("DONE");
    });
    brek_platform::user_click(e->b_print->native);
  }
  // Clicks Cancel as soon as the long-operation window shows; the clock's
  // time from the job's first page to then.
  void cancel_when_shown(Mid_job& job, int64_t& shown_after) {
    job.each = [&] {
      if (shown_after >= 0 || !window_shown()) return;
      shown_after = (job.ticks - 1) * 100;
      te::window_click(window()->cancel_button_->native, {5, 5});
    };
  }

  Brek_runtime::Test_clock clock;
  const std::string temp = [this] {
    std::filesystem::create_directory(dir.file("temp"));
    return dir.file("temp");
  }();
  brek_test::Env_guard tmp{"TMPDIR", temp};
  bool open_after = false, window_after = false;
};

}  // namespace

TEST_F(LongPrint, ItsWindowShowsAfterTwoSecondsAndCancelLeavesNoFileAndNoJob) {
  collage();
  // To a PDF file over an earlier one.
  ASSERT_TRUE(brek_test::write_file(pdf, "mine"));
  int64_t shown_after = -1;
  {
    Mid_job job(clock, [this] { return writing(); });
    cancel_when_shown(job, shown_after);
    print_through_the_dialog("", pdf);
  }
  EXPECT_GE(shown_after, 2000);
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
