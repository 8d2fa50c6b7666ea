// The print dialog on a real X server, shown over the collage editor: its
// controls, and the question it asks, leave room for the texts they show.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "drawing/message_dialog.h"
#include "forms/button.h"
#include "forms/checkbox.h"
#include "forms/control_bridge.h"
#include "forms/edit.h"
#include "forms/memo.h"
#include "forms/placement.h"
#include "printing/printer.h"
#include "runtime/strings.h"
#include "tests/printing/print_dialog_support.h"

using namespace brek;
namespace te = brek_platform::test_events;
namespace R = Print_dialog_rules;

namespace {

using PrintDialogOnXServer = editor_test::On_x_server<print_test::PrintDialog>;

std::vector<std::string> lines_of(const Ref<C_Control>& c) {
  std::vector<std::string> texts;
  for (int64_t i = 0; i < c->line_count(); ++i) texts.push_back(c->get_line(i));
  return texts;
}

// Each text fits the room the control has for text (font metrics).
void expect_room(const Ref<C_Control>& c, const std::vector<std::string>& texts) {
  const double room = Control_bridge::text_room(c->native);
  for (const std::string& t : texts)
    EXPECT_GE(room, Control_bridge::text_width(c->native, t)) << c->name << ": \"" << t << "\"";
}

}  // namespace

TEST_F(PrintDialogOnXServer, EveryControlShowsItsTextsWhole) {
  add_card(rect{0, 0, 100, 50}, editor_test::BLUE);
  bool checked = false;
  const std::string result = run([&] {
    Ref<C_Print_dialog> dlg = ref_cast<C_Print_dialog>(e->print_dialog);
    ASSERT_TRUE(te::wait_exposed(dlg->native));
    for (const Ref<C_Combo>& c : {dlg->paper, dlg->layout, dlg->drawing_mode, dlg->printer_list})
      expect_room(c, lines_of(c));
    const std::string largest_side = Brek_runtime::int_to_str(MAX_POSTER_SIDE);
    for (const Ref<C_Edit>& edit : {dlg->rows, dlg->columns, dlg->fit}) expect_room(edit, {largest_side, "100"});
    expect_room(dlg->copies, {Brek_runtime::int_to_str(C_Printer::MAX_COPIES)});
    for (const Ref<C_Control>& c : std::vector<Ref<C_Control>>{dlg->cut_lines, dlg->as_images, dlg->b_reset,
                                                               dlg->b_print, dlg->cancel})
      expect_room(c, {c->get_text()});
    for (const Ref<C_Control>& c : dlg->controls)
      if (c->is_label()) expect_room(c, {c->get_text()});
    checked = true;
    dlg->close_with("CANCEL");
  });
  EXPECT_EQ(result, "CANCEL");
  EXPECT_TRUE(checked);
}

TEST_F(PrintDialogOnXServer, TheQuestionAboutUnreadablePicturesShowsItsLinesWhole) {
  add_unreadable_card("a picture whose file went away.bmp");
  make_dialog();
  const std::string question = std::string(R::UNREADABLE_CARDS) + "\n" + d->unreadable_cards();

  // The dialog the question is asked in, as the program builds it, shown
  // over the print dialog.
  Ref<C_Message_dialog> m = make<C_Message_dialog>();
  m->build(d, question, true);
  std::vector<std::string> lines;
  te::post_task([&] {
    if (te::wait_exposed(m->native)) lines = lines_of(m->text_memo);
    m->close_with("N");
  });
  EXPECT_EQ(m->show_modal(d), "N");
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[0], R::UNREADABLE_CARDS);
  expect_room(m->text_memo, lines);
  dispose_now(m);
}

TEST_F(PrintDialogOnXServer, TheQuestionAboutManyUnreadablePicturesShowsEveryLineWhole) {
  // Names of every length, the longest last, each with its reason: more
  // lines than the window shows, so they scroll beside a scroll bar.
  for (int i = 0; i < 60; ++i)
    add_unreadable_card("picture " + std::to_string(i) + std::string(size_t(i), 'x') + ".bmp");
  make_dialog();
  const std::string question = std::string(R::UNREADABLE_CARDS) + "\n" + d->unreadable_cards();
  // Then a path wider than any screen, which the window cannot match.
  const std::string deep = std::string(200, 'w') + "/" + std::string(200, 'w');
  std::filesystem::create_directories(dir.file(deep));
  add_unreadable_card(deep + "/picture.bmp");

  struct Seen {
    std::vector<std::string> lines;
    std::vector<double> widths;
    double room = 0;
    rect bounds, work;
  };
  auto ask = [&](const std::string& text) {
    Seen seen;
    Ref<C_Message_dialog> m = make<C_Message_dialog>();
    m->build(d, text, true);
    te::post_task([&] {
      if (te::wait_exposed(m->native)) {
        te::settle();
        seen.lines = lines_of(m->text_memo);
        seen.room = Control_bridge::text_room(m->text_memo->native);
        for (const std::string& l : seen.lines)
          seen.widths.push_back(Control_bridge::text_width(m->text_memo->native, l));
        seen.bounds = m->get_bounds();
        Placement::refresh_monitors();
        seen.work = Placement::monitor_work_area(Placement::best_monitor(Placement::monitor_rects(), seen.bounds));
      }
      m->close_with("N");
    });
    EXPECT_EQ(m->show_modal(d), "N");
    dispose_now(m);
    return seen;
  };
  auto inside = [](const rect& b, const rect& work) {
    return b.x >= work.x && b.y >= work.y && b.x + b.w <= work.x + work.w + 0.5 && b.y + b.h <= work.y + work.h + 0.5;
  };

  const Seen many = ask(question);
  ASSERT_EQ(many.lines.size(), 62u);
  for (size_t i = 0; i < many.lines.size(); ++i)
    EXPECT_GE(many.room, many.widths[i]) << "\"" << many.lines[i] << "\"";
  EXPECT_TRUE(inside(many.bounds, many.work));

  // The endless name takes the work area's width (the rest of it wraps).
  const Seen wide = ask(std::string(R::UNREADABLE_CARDS) + "\n" + d->unreadable_cards());
  ASSERT_EQ(wide.lines.size(), 63u);
  EXPECT_GT(wide.widths.back(), wide.work.w);
  EXPECT_NEAR(wide.bounds.w, wide.work.w, 1);
  EXPECT_TRUE(inside(wide.bounds, wide.work));
  for (size_t i = 0; i + 1 < wide.lines.size(); ++i)
    EXPECT_GE(wide.room, wide.widths[i]) << "\"" << wide.lines[i] << "\"";
}
