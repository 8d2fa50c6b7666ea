#pragma once
// A long print driven on a real X server: the dialog opened by the
// editor's Print button, its own Print button clicked, and a clock that
// moves with the job (a tick handler of the test's own advances it each
// time the job ticks and delivers the test's input), so no test sleeps.

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
#include "tests/printing/print_dialog_support.h"
#include "tests/support/wait_until.h"
#include "tests/support/work_ticks.h"

namespace print_test {

// The job's ticks, while it writes its pages (`writing`).
using Mid_job = brek_test::Work_ticks;

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
  // Print button; then the dialog is closed (by close_after when it is
  // set). Whether the dialog and the long-operation window were still open
  // when its Print returned go to open_after and window_after.
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
        answer_file_dialog(file);
      }
      // The user looks at the dialog for ten seconds first.
      clock.advance(10000);
      brek_platform::user_click(dlg->b_print->native);
      open_after = dlg->is_visible();
      window_after = window_shown();
      if (close_after)
        close_after(dlg);
      else
        dlg->close_with("DONE");
    });
    brek_platform::user_click(e->b_print->native);
  }
  // The file dialog answered with `file` once the user has spent
  // in_file_dialog milliseconds in it.
  void answer_file_dialog(const std::string& file) {
    if (in_file_dialog == 0) {
      te::answer_next_file_dialog(true, {file});
      return;
    }
    // Runs inside the dialog, which the Print click opens.
    te::post_task([this, file] {
      clock.advance(in_file_dialog);
      te::answer_next_file_dialog(true, {file});
    });
  }
  // Once the long-operation window shows, `user` runs from the job's next
  // pass through the messages, as the window system's events come.
  void when_shown(Mid_job& job, bool& seen, std::function<void()> user) {
    job.each = [this, &seen, user = std::move(user)] {
      if (seen || !window_shown()) return;
      seen = true;
      te::post_task(user);
    };
  }
  // Whether the window's Cancel was taken, by a click or a key.
  bool cancel_taken() {
    return brek_test::wait_until([&] {
      te::settle();
      return window()->cancel_requested != 0;
    });
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
  int64_t in_file_dialog = 0;
  std::function<void(const Ref<C_Print_dialog>&)> close_after;
};

}  // namespace print_test
