// The "Move to dir" window on real temporary trees: moves into targets,
// name clashes answered each way, undo, the targets' settings and chooser,
// the panels' pixels. Dialogs are answered through the platform's test
// hooks on offscreen windows.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>

#include "baselib/config.h"
#include "baselib/file_path.h"
#include "baselib/thread.h"
#include "baselib/language_table.h"
#include "baselib/localize_str.h"
#include "drawing/font.h"
#include "forms/form_bridge.h"
#include "forms/menu.h"
#include "forms/timer_ticks.h"
#include "platform/control_input.h"
#include "platform/test_events.h"
#include "runtime/clock.h"
#include "tests/support/entry_changes.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tmpfs_mount.h"
#include "tests/support/wait_until.h"
#include "tests/viewer/viewer_input_support.h"
#include "viewer/dialog_replace.h"
#include "viewer/move_to_dirs.h"

using namespace viewer_input;
namespace te = brek_platform::test_events;
using brek_platform::user_click;
using brek_platform::user_key;
namespace fs = std::filesystem;
using brek_test::read_file;
using brek_test::write_file;

namespace {

using area = area_where_configuration_is_stored;
namespace L = lng::Move_to_dirs;

std::string T(int key) { return Localize_str::text(key); }

class Move_window : public ::testing::Test {
 protected:
  void SetUp() override {
    box = std::make_unique<Input_box>(800, 600);
    v = box->v;
    // Questions answered as the test says, messages recorded.
    C_Screen::set_own_dialog([this](const Ref<C_Form>&, const std::string& text, bool question) {
      (question ? questions : box->messages).push_back(text);
      return answer_yes;
    });
    src = tmp.file("from here");
    fs::create_directories(src);
  }
  void TearDown() override {
    w.reset();
    box.reset();
  }

  // The window as MOVETO makes it.
  void open_window() {
    v->collage->do_command("MOVETO");
    take_window();
  }
  // The window the viewer made, its targets cleared: those stored by other
  // tests of this process do not count here.
  void take_window() {
    w = v->collage->move_dialog;
    ASSERT_FALSE(w.is_none());
    for (int64_t n = 1; n <= 9; ++n) set_path(n, "");
  }
  void set_path(int64_t n, const std::string& path) {
    St_dir__C_Move_to_dirs* t = w->targets.at(n);
    t->path = path;
    t->listed = false;
    t->images.clear();
  }
  // A file in the viewer's list with its own bytes.
  std::string add_file(const std::string& name, const std::string& bytes) {
    const std::string path = src + "/" + name;
    EXPECT_TRUE(write_file(path, bytes)) << path;
    add_entry(v, path, rect{0, double(v->files.count()) * 100, 100, 80});
    return path;
  }
  void show(const std::string& path) { v->current_file = path; }
  std::string make_dir(const std::string& name) {
    const std::string d = tmp.file(name);
    fs::create_directories(d);
    return d;
  }
  // Files of the list ("a.jpg" holding "A", ...), each shown and moved in
  // turn by key 1 into a new folder "target", which it gives.
  std::string moved_into_target(std::initializer_list<const char*> names) {
    const std::string target = make_dir("target");
    std::vector<std::string> files;
    for (const char* n : names) files.push_back(add_file(n, std::string(1, char(std::toupper(n[0])))));
    open_window();
    set_path(1, target);
    for (const std::string& f : files) {
      show(f);
      key('1');
    }
    return target;
  }
  void key(int vk, const Key_modifiers& mods = {}) {
    Event_routing::key_down(w, Ref<C_Control>(), vk, mods);
    Event_routing::key_up(w, Ref<C_Control>(), vk, mods);
  }
  // Answers the clash dialog that the next step opens by doing what `act`
  // does to it; a dialog nobody answers is closed after ten seconds.
  void answer_clash(std::function<void(const Ref<C_Dialog_replace>&)> act) {
    te::post_task([this, act] {
      Ref<C_Dialog_replace> d = w->replace_dialog;
      ASSERT_FALSE(d.is_none());
      dialog_seen = d->source_name + "|" + d->target_name;
      act(d);
    });
    Weak<C_Move_to_dirs> weak(w);
    const int run = ++*runs;
    te::post_task(
        [weak, run, runs = runs] {
          Ref<C_Move_to_dirs> m = weak.lock();
          if (run == *runs && !m->replace_dialog.is_none()) m->replace_dialog->close_with("TIMEOUT");
        },
        10000);
  }
  // Paints the panels into the window's own back buffer (w x h pixels, or
  // wider where a path would leave no room for three thumbnails: the
  // targets live in the temporary folder, whose path is the machine's).
  void paint(int pw, int ph) {
    for (int64_t n = 1; n <= 9; ++n)
      if (!w->targets.at(n)->path.empty())
        pw = std::max(pw, px(first_thumbnail_x(w->targets.at(n)->path) + 3 * 26 + 8));
    box->panels.panels[w->panel_box->native].surface = {0, 0, pw, ph};
    w->panel_box->invalidate_all();
    w->panel_box->paint_surface();
  }
  uint32_t at(int x, int y) const {
    const Pixels* p = w->panel_box->back_buffer->pixels();
    if (!p || x < 0 || y < 0 || x >= p->width() || y >= p->height()) return 0;
    return p->at(x, y) | 0xFF000000u;
  }
  // The panels' back buffer as a surface for expect_pixels.
  struct Back_buffer {
    const Move_window* m;
    uint32_t at(int x, int y) const { return m->at(x, y); }
  };
  // Points of the panels' box in its pixels, at 96 per inch.
  static int px(double points) { return int(points * 96 / 72 + 0.5); }
  // Where the first thumbnail of panel 1 starts, points: after the number
  // (26 points high), the path (15) and 4 points on each side of it.
  static double first_thumbnail_x(const std::string& path) {
    Ref<C_Bitmap> measure = C_Bitmap::create(10, 10, 32);
    Ref<C_Canvas> c = measure->canvas();
    c->font->size = 26;
    const double number_w = c->text_extent("1").w;
    c->font->size = 15;
    return 13 + number_w + 4 + c->text_extent(path).w + 4;
  }
  // A button pressed or let go at a point of the panels' box (points).
  void pointer_at(point in_box, button_mouse button, bool down) {
    Event_routing::Pointer p;
    const rect box = w->panel_box->get_bounds();
    p.at = point{in_box.x + box.x, in_box.y + box.y};
    p.button = button;
    if (down)
      Event_routing::mouse_down(w, Ref<C_Control>(), p);
    else
      Event_routing::mouse_up(w, Ref<C_Control>(), p);
  }

  brek_test::Temp_dir tmp;
  std::string src;
  std::unique_ptr<Input_box> box;
  Ref<Test_viewer> v;
  Ref<C_Move_to_dirs> w;
  std::vector<std::string> questions;
  bool answer_yes = false;
  std::string dialog_seen;
  std::shared_ptr<int> runs = std::make_shared<int>(0);
};

// The rgb of a colour as a pixel word, opaque.
uint32_t pixel_of(Color c) { return Colors::to_pixel(c) | 0xFF000000u; }

}  // namespace

TEST(MoveNames, NumbersAfterTheStemInsideParenthesesAndAtTheLimit) {
  auto none = [](const std::string&) { return false; };
  EXPECT_EQ(Move_names::free_name("/t/photo.jpg", none), "/t/photo1.jpg");
  EXPECT_EQ(Move_names::free_name("/t/photo7.jpg", none), "/t/photo8.jpg");
  EXPECT_EQ(Move_names::free_name("/t/photo(3).jpg", none), "/t/photo(4).jpg");
  EXPECT_EQ(Move_names::free_name("/t/photo().jpg", none), "/t/photo(1).jpg");
  EXPECT_EQ(Move_names::free_name("/t/photo 09.jpg", none), "/t/photo 10.jpg");
  // Digits of the directory are not the name's.
  EXPECT_EQ(Move_names::free_name("/t2/5.jpg", none), "/t2/6.jpg");
  EXPECT_EQ(Move_names::free_name("/t/notes", none), "/t/notes1");
  // Taken candidates are passed over.
  std::set<std::string> taken{"/t/a1.jpg", "/t/a2.jpg"};
  EXPECT_EQ(Move_names::free_name("/t/a.jpg", [&](const std::string& c) { return taken.count(c) > 0; }),
            "/t/a3.jpg");
  // Numbers past what the count holds go on with every digit kept, such as
  // a camera's date and time.
  EXPECT_EQ(Move_names::free_name("/t/a2147483646.jpg", none), "/t/a2147483647.jpg");
  EXPECT_EQ(Move_names::free_name("/t/IMG20240101123045.jpg", none), "/t/IMG20240101123046.jpg");
  EXPECT_EQ(Move_names::free_name("/t/a99999999999999999999999.jpg", none), "/t/a100000000000000000000000.jpg");
  EXPECT_EQ(Move_names::free_name("/t/p(99999999999).jpg", none), "/t/p(100000000000).jpg");
  std::set<std::string> stamps{"/t/IMG20240101123046.jpg"};
  EXPECT_EQ(Move_names::free_name("/t/IMG20240101123045.jpg", [&](const std::string& c) { return stamps.count(c) > 0; }),
            "/t/IMG20240101123047.jpg");
  EXPECT_EQ(Move_names::free_name("/t/a000000000000000000000001.jpg", none), "/t/a2.jpg");
}

TEST_F(Move_window, DigitKeysAndClicksMoveTheCurrentImageWhateverItsName) {
  const std::string odd = "a;b:c\\d e <\xC3\xA9t\xC3\xA9> \xE5\x86\x99.jpg";
  const std::string first = add_file(odd, "first bytes");
  const std::string second = add_file("second.jpg", "second bytes");
  const std::string third = add_file("third.jpg", "third bytes");
  show(first);
  open_window();
  EXPECT_TRUE(w->is_visible());
  const std::string target = make_dir("t: one; \xC3\xA0\\x");
  set_path(1, target);
  set_path(2, target + "/");

  key('1');
  EXPECT_FALSE(File_path::file_exists(first));
  EXPECT_EQ(read_file(target + "/" + odd), "first bytes");
  EXPECT_EQ(v->files.count(), 2);
  EXPECT_EQ(v->current_file, second);  // the next entry
  ASSERT_EQ(w->undo_sources.count(), 1);
  EXPECT_EQ(w->undo_sources.get(0), first);
  EXPECT_EQ(w->undo_targets.get(0), target + "/" + odd);

  // The last entry moved: the new last one becomes current.
  show(third);
  key('2');
  EXPECT_EQ(read_file(target + "/third.jpg"), "third bytes");
  EXPECT_EQ(v->current_file, second);

  // A click on a panel that has a path moves there too; the single view
  // that showed the last file names it no more.
  v->single_mode = true;
  v->show_file(v->files.get(0));
  ASSERT_NE(v->get_caption().find("second.jpg"), std::string::npos);
  paint(400, 360);
  const rect r = w->targets.at(1)->rect;
  box->messages.clear();
  pointer_at({r.x + r.w / 2, r.y + r.h / 2}, button_mouse::LMB, true);
  EXPECT_EQ(read_file(target + "/second.jpg"), "second bytes");
  EXPECT_EQ(v->files.count(), 0);
  EXPECT_EQ(v->current_file, "");
  EXPECT_EQ(v->get_caption().find("second.jpg"), std::string::npos);
  EXPECT_EQ(w->undo_targets.count(), 3);

  // Nothing current: nothing happens. Key "0" is no target.
  key('1');
  key('0');
  EXPECT_TRUE(box->messages.empty());
  EXPECT_EQ(w->undo_targets.count(), 3);
}

TEST_F(Move_window, ANameClashAnsweredEachWayLosesNeitherFile) {
  const std::string target = make_dir("target");
  ASSERT_TRUE(write_file(target + "/a.jpg", "theirs"));
  ASSERT_TRUE(write_file(target + "/a1.jpg", "theirs too"));
  const std::string a = add_file("a.jpg", "mine");
  show(a);
  open_window();
  set_path(3, target);

  // Cancelled by Escape, then by the close box: nothing moves.
  answer_clash([](const Ref<C_Dialog_replace>& d) { user_key(d->rename_button->native, 27); });
  key('3');
  EXPECT_EQ(dialog_seen, a + "|" + target + "/a.jpg");
  answer_clash([](const Ref<C_Dialog_replace>& d) { te::close(d->native); });
  key('3');
  EXPECT_EQ(read_file(a), "mine");
  EXPECT_EQ(read_file(target + "/a.jpg"), "theirs");
  EXPECT_EQ(w->undo_targets.count(), 0);
  EXPECT_EQ(v->files.count(), 1);

  // Renamed: the next free number.
  answer_clash([](const Ref<C_Dialog_replace>& d) { user_click(d->rename_button->native); });
  key('3');
  EXPECT_FALSE(File_path::file_exists(a));
  EXPECT_EQ(read_file(target + "/a2.jpg"), "mine");
  EXPECT_EQ(read_file(target + "/a.jpg"), "theirs");
  EXPECT_EQ(read_file(target + "/a1.jpg"), "theirs too");
  ASSERT_EQ(w->undo_targets.count(), 1);
  EXPECT_EQ(w->undo_targets.get(0), target + "/a2.jpg");
  EXPECT_EQ(v->files.count(), 0);

  // Delete source: the one being moved goes to the trash, the target's stays.
  const std::string b = add_file("a1.jpg", "mine again");
  show(b);
  answer_clash([](const Ref<C_Dialog_replace>& d) { user_click(d->delete_button->native); });
  key('3');
  EXPECT_FALSE(File_path::file_exists(b));
  EXPECT_EQ(read_file(target + "/a1.jpg"), "theirs too");
  const std::string trash = std::string(std::getenv("XDG_DATA_HOME")) + "/Trash/files/a1.jpg";
  EXPECT_EQ(read_file(trash), "mine again");
  EXPECT_EQ(v->files.count(), 0);
  EXPECT_EQ(w->undo_targets.count(), 1);  // nothing moved, nothing to undo

  // Beside a name of the longest length the number takes its room from the
  // name's text, by whole characters ("é" is two bytes), never from the
  // extension.
  const std::string longest = std::string(249, 'x') + "\xC3\xA9.jpg";
  ASSERT_TRUE(write_file(target + "/" + longest, "theirs, long"));
  const std::string c = add_file(longest, "mine, long");
  show(c);
  answer_clash([](const Ref<C_Dialog_replace>& d) { user_click(d->rename_button->native); });
  key('3');
  EXPECT_TRUE(box->messages.empty());
  EXPECT_EQ(read_file(target + "/" + std::string(249, 'x') + "1.jpg"), "mine, long");
  EXPECT_EQ(read_file(target + "/" + longest), "theirs, long");
  EXPECT_FALSE(File_path::file_exists(c));
}

// Keys typed or held while the name-clash question is open belong to the
// question: digits meant for the windows behind it move nothing, neither
// then nor once Escape has closed it. Keys go in as the window system
// reports them.
TEST_F(Move_window, DigitsHeldWhileTheClashQuestionIsOpenMoveNothing) {
  const std::string clash = make_dir("clash");
  const std::string free_dir = make_dir("free");
  ASSERT_TRUE(write_file(clash + "/a.jpg", "theirs"));
  const std::string a = add_file("a.jpg", "A");
  add_file("b.jpg", "B");
  add_file("c.jpg", "C");
  show(a);
  open_window();
  te::settle();
  set_path(3, clash);
  set_path(1, free_dir);
  bool asked = false;
  answer_clash([&](const Ref<C_Dialog_replace>& d) {
    asked = true;
    for (int i = 0; i < 3; ++i)
      for (int64_t h : {w->native, v->native, d->native}) te::window_key_press(h, '1', {}, "1", i > 0);
    for (int64_t h : {w->native, v->native, d->native}) te::window_key_release(h, '1', {}, "1");
    // Straight to the windows, past the window system: the same.
    for (int64_t h : {w->native, v->native}) te::key(h, '1', {}, "1");
    te::key(w->native, 8, {}, "\b");
    te::window_key_press(d->native, 27);
    te::window_key_release(d->native, 27);
  });
  ASSERT_TRUE(te::window_key_press(w->native, '3', {}, "3"));
  te::window_key_release(w->native, '3', {}, "3");
  te::settle();
  EXPECT_TRUE(asked);
  EXPECT_EQ(dialog_seen, a + "|" + clash + "/a.jpg");
  EXPECT_EQ(read_file(a), "A");
  EXPECT_TRUE(fs::is_empty(free_dir));
  EXPECT_EQ(v->files.count(), 3);
  EXPECT_EQ(w->undo_targets.count(), 0);
  EXPECT_EQ(v->current_file, a);

  // With the question closed the same key moves the file.
  te::window_key_press(w->native, '1', {}, "1");
  te::window_key_release(w->native, '1', {}, "1");
  te::settle();
  EXPECT_EQ(read_file(free_dir + "/a.jpg"), "A");
}

// A link in the target that leads back to the picture is no copy of it:
// deleting the source there would leave only a dangling link.
TEST_F(Move_window, DeletingTheSourceIsRefusedWhenTheTargetOnlyLinksToIt) {
  const std::string target = make_dir("target");
  const std::string a = add_file("a.jpg", "only copy");
  fs::create_symlink(a, target + "/a.jpg");
  show(a);
  open_window();
  set_path(4, target);
  answer_clash([](const Ref<C_Dialog_replace>& d) { user_click(d->delete_button->native); });
  key('4');
  EXPECT_EQ(read_file(a), "only copy");
  EXPECT_EQ(box->last_message(), T(L::Move_failed));
  EXPECT_EQ(v->files.count(), 1);
}

TEST_F(Move_window, ASourceThatCannotBeDeletedSaysSo) {
  const std::string target = make_dir("target");
  ASSERT_TRUE(write_file(target + "/a.jpg", "theirs"));
  const std::string a = add_file("a.jpg", "mine");
  show(a);
  open_window();
  set_path(5, target);
  // Gone before the answer comes: the delete cannot happen.
  answer_clash([a](const Ref<C_Dialog_replace>& d) {
    fs::remove(a);
    user_click(d->delete_button->native);
  });
  key('5');
  EXPECT_EQ(box->last_message(), T(L::Move_failed) + ": No such file or directory");
  EXPECT_EQ(read_file(target + "/a.jpg"), "theirs");
}

// Delete, and "Delete source file" of the name-clash question, while a
// worker decodes the whole picture of the photograph the single view shows
// at its own size: the worker is stopped before the trash takes the file,
// so a trash held up (its sync on a busy disk) finds nothing decoding or
// held. Each in a process of its own, whose entry changes stay held: the
// moment the file has left its place, with the trash still at work, no
// worker is left; it says what went wrong and ends with 1.
using DeletingDeathTest = Move_window;
TEST_F(DeletingDeathTest, BothDeletesStopTheWholeDecodeBeforeTheTrashTakesTheFile) {
  if (brek_test::with_entry_changes_held([] {}, [](int) {}) < 0)
    GTEST_SKIP() << "entry changes cannot be held here (seccomp user notification)";
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  for (const bool clash : {false, true}) {
    SCOPED_TRACE(clash ? "Delete source file" : "Delete");
    const auto deleting = [&] {
      Brek_runtime::Test_clock clock;
      const std::string photo = src + "/photo.jpg", target = make_dir("target");
      Image_file_io::save_jpeg(Pixels(3000, 2000, 0xFF2060A0u), photo);
      write_file(target + "/photo.jpg", "theirs");
      v->pointer = {137, 91};
      v->open_file(photo);
      box->paint();
      // The worker starts at the next tick.
      clock.advance(10);
      Timer_ticks::run_due(clock.ticks());
      const bool started = !v->fit_mode && Thread_registry::global().live_count() == 1;
      if (clash) {
        open_window();
        set_path(3, target);
        answer_clash([](const Ref<C_Dialog_replace>& d) { user_click(d->delete_button->native); });
      }
      bool moved = false, nothing_left = false;
      brek_test::with_own_entry_changes_held([&] { clash ? key('3') : box->key(46 /* Delete */); },
                                             [&](int) {
                                               if (moved || fs::exists(photo)) return;
                                               moved = true;
                                               nothing_left = brek_test::wait_until(
                                                   [] { return Thread_registry::global().live_count() == 0; });
                                             });
      int wrong = 0;
      const auto expect = [&wrong](bool holds, const char* what) {
        if (!holds) std::fprintf(stderr, "not so: %s\n", what), ++wrong;
      };
      expect(started, "a worker on the whole picture when the user deleted it");
      expect(moved, "the file taken by the trash");
      expect(nothing_left, "no worker left while the trash was at work");
      expect(read_file(target + "/photo.jpg") == "theirs", "the target's file kept");
      std::exit(wrong == 0 ? 0 : 1);
    };
    EXPECT_EXIT(deleting(), testing::ExitedWithCode(0), "");
  }
}

TEST_F(Move_window, TheFileItselfUnderTheTargetsNameIsIgnoredWithoutAQuestion) {
  const std::string a = add_file("a.jpg", "mine");
  show(a);
  open_window();
  set_path(1, src);
  set_path(2, src + "/./");  // the same directory spelled otherwise
  key('1');
  key('2');
  ASSERT_EQ(box->messages.size(), 2u);
  EXPECT_EQ(box->messages[0], T(L::Ignored));
  EXPECT_EQ(box->messages[1], "Trying to move in the same directory - ignored");
  EXPECT_TRUE(w->replace_dialog.is_none());
  EXPECT_EQ(read_file(a), "mine");
}

TEST_F(Move_window, MovesThatCannotHappenSaySoAndChangeNothing) {
  const std::string a = add_file("a.jpg", "mine");
  show(a);
  open_window();
  set_path(1, tmp.file("no such directory"));
  key('1');
  // An unset target is no place to move to (not the root).
  key('2');
  // A pasted picture has no file.
  Ref<C_Image> pasted = C_Image::create();
  pasted->file_name = "<clipboard>";
  v->collage->image = pasted;
  v->current_file = "<clipboard>";
  set_path(3, make_dir("t"));
  key('3');
  EXPECT_EQ(box->messages, (std::vector<std::string>{"Move operation failed: No such file or directory",
                                                     "Move operation failed", "Move operation failed"}));
  EXPECT_EQ(read_file(a), "mine");
  EXPECT_EQ(v->files.count(), 1);
  EXPECT_EQ(w->undo_targets.count(), 0);
  EXPECT_TRUE(fs::is_empty(tmp.file("t")));
}

TEST_F(Move_window, UndoRestoresInReverseAndNeverReplacesWhatTookTheOldPlace) {
  const std::string target = moved_into_target({"a.jpg", "b.jpg"});
  const std::string a = src + "/a.jpg", b = src + "/b.jpg";
  v->stop_timer();
  key(8);
  EXPECT_EQ(read_file(b), "B");
  EXPECT_TRUE(v->timer_1->is_enabled());  // the scan finds it again
  key(8);
  EXPECT_EQ(read_file(a), "A");
  EXPECT_TRUE(fs::is_empty(target));
  key(8);  // nothing left
  EXPECT_TRUE(box->messages.empty());
  EXPECT_TRUE(questions.empty());

  // The old place is taken meanwhile: the undo is refused and the user
  // may look at both places.
  brek_test::Temp_dir bin;
  const std::string log = bin.file("log");
  ASSERT_TRUE(write_file(bin.file("nautilus"), "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + log + "'\n"));
  fs::permissions(bin.file("nautilus"), fs::perms::owner_all);
  brek_test::Env_guard path("PATH", bin.path());
  const std::string c = add_file("c.jpg", "C");
  show(c);
  key('1');
  ASSERT_TRUE(write_file(c, "newcomer"));
  answer_yes = true;
  key(8);
  ASSERT_EQ(questions, (std::vector<std::string>{"Undo move operation failed: File exists. Explore ?"}));
  EXPECT_EQ(read_file(c), "newcomer");
  EXPECT_EQ(read_file(target + "/c.jpg"), "C");
  // The pair is kept: once the place is free again the undo succeeds.
  ASSERT_EQ(w->undo_targets.count(), 1);
  ASSERT_TRUE(fs::remove(c));
  key(8);
  EXPECT_EQ(read_file(c), "C");
  EXPECT_FALSE(File_path::file_exists(target + "/c.jpg"));
  EXPECT_EQ(w->undo_targets.count(), 0);
  EXPECT_EQ(questions.size(), 1u);
  std::string started;
  brek_test::wait_until([&] {
    started = read_file(log);
    return std::count(started.begin(), started.end(), '\n') >= 2;
  });
  EXPECT_NE(started.find(target + "/\n"), std::string::npos) << started;
  EXPECT_NE(started.find(src + "/\n"), std::string::npos) << started;
}

// The old place's disk is full: the undo says why, and the file waits in
// the target to be taken back later.
TEST_F(Move_window, AnUndoTheSystemRefusesSaysWhy) {
  brek_test::Tmpfs_mount disk("256k");
  if (!disk.mounted()) GTEST_SKIP() << disk.failure();
  src = disk.path();
  const std::string target = moved_into_target({"a.jpg"});
  fill_disk(disk.path());
  key(8);
  EXPECT_EQ(questions, (std::vector<std::string>{"Undo move operation failed: No space left on device. Explore ?"}));
  EXPECT_EQ(read_file(target + "/a.jpg"), "A");
  EXPECT_EQ(disk.entries(), std::vector<std::string>{"filler"});
  EXPECT_EQ(w->undo_targets.count(), 1);
}

// Without a file manager on PATH, Explore says that none could be started:
// from the main window's menu, from a panel's, and once for both places of
// an undo that failed.
TEST_F(Move_window, ExploreWithoutAFileManagerSaysSo) {
  const std::string none = "No file manager could be started (nautilus, xdg-open or gnome-open)";
  brek_test::Temp_dir bin;
  brek_test::Env_guard path("PATH", bin.path());
  const std::string target = moved_into_target({"a.jpg"});
  v->root_dir = src;
  v->collage->do_command("EXPLOREDIR");
  w->hover_target = 1;
  w->menu_key = "EXPLORE";
  w->on_menu_item();
  EXPECT_EQ(box->messages, (std::vector<std::string>{none, none}));
  ASSERT_TRUE(write_file(src + "/a.jpg", "newcomer"));
  answer_yes = true;
  key(8);
  EXPECT_EQ(questions.size(), 1u);
  EXPECT_EQ(box->messages, (std::vector<std::string>{none, none, none}));
  EXPECT_EQ(read_file(target + "/a.jpg"), "A");
}

TEST_F(Move_window, AnUndoWhoseFileIsGoneSaysWhereAndTheNextGoesOn) {
  const std::string target = moved_into_target({"a.jpg", "b.jpg"});
  ASSERT_TRUE(fs::remove(target + "/b.jpg"));
  key(8);
  EXPECT_EQ(box->last_message(), target + "/b.jpg: File to restore did not found");
  key(8);
  EXPECT_EQ(read_file(src + "/a.jpg"), "A");
}

TEST_F(Move_window, TargetsAreChosenStoredAndReadBack) {
  const std::string a = add_file("a.jpg", "A");
  show(a);
  v->scan_dir = src + "/";
  open_window();
  const std::string chosen = make_dir("chosen \xC3\xA9");

  // Ctrl+5 asks for target 5.
  te::File_dialog_seen seen;
  te::answer_next_file_dialog(true, {chosen}, &seen);
  key('5', ctrl());
  EXPECT_TRUE(seen.directories);
  EXPECT_EQ(w->target(5).path, chosen);
  EXPECT_EQ(C_Config::open_read("Collage_viewer", area::USER, "Move_to_dirs")->read_string("5"), chosen);
  EXPECT_EQ(read_file(a), "A");  // Ctrl+digit only chooses

  // A click on a panel without a path asks too, starting at the scanned
  // directory; cancelling changes nothing.
  paint(400, 360);
  const rect r = w->targets.at(7)->rect;
  te::answer_next_file_dialog(false, {}, &seen);
  pointer_at({r.x + 10, r.y + r.h / 2}, button_mouse::LMB, true);
  EXPECT_EQ(File_path::without_trailing_separator(seen.directory), src);
  EXPECT_EQ(w->target(7).path, "");

  // A new window reads the nine paths back.
  Ref<C_Move_to_dirs> again = C_Move_to_dirs::create();
  again->viewer = v;
  again->build_controls();
  EXPECT_EQ(again->target(5).path, chosen);
  EXPECT_EQ(again->target(1).path, "");
  EXPECT_EQ(again->caption, "Select where to move to");
  dispose_now(again);
}

TEST_F(Move_window, ThePanelMenuAndItsChoices) {
  const std::string target = make_dir("target");
  const std::string a = add_file("a.jpg", "A");
  show(a);
  open_window();
  set_path(2, target);
  auto keys = [&](int64_t n) {
    std::vector<std::string> out;
    for (const Menu_entry& e : C_Menu::parse(w->menu_text(n)).items) out.push_back(e.key + (e.disabled ? "-" : ""));
    return out;
  };
  EXPECT_EQ(keys(1), (std::vector<std::string>{"SELECT", "EXPLORE-", "RESTORE-"}));
  EXPECT_EQ(keys(2), (std::vector<std::string>{"SELECT", "EXPLORE", "RESTORE-"}));
  EXPECT_EQ(C_Menu::parse(w->menu_text(2)).items[2].hot_key, "BACKSPACE");
  key('2');
  EXPECT_EQ(keys(2), (std::vector<std::string>{"SELECT", "EXPLORE", "RESTORE"}));

  // A right release over a panel opens its menu; over a gap none opens.
  paint(400, 360);
  box->screen->menu_answer = "RESTORE";
  const rect gap = w->targets.at(2)->rect;
  pointer_at({gap.x + 40, gap.y - 1.5}, button_mouse::RMB, false);
  EXPECT_EQ(w->undo_targets.count(), 1);
  pointer_at({gap.x + 40, gap.y + 8.5}, button_mouse::RMB, false);
  EXPECT_EQ(w->hover_target, 2);
  EXPECT_EQ(read_file(a), "A");
  box->screen->menu_answer.clear();
}

TEST_F(Move_window, PanelsThumbnailsAndTheHoveredFrameArePaintedWhereTheyBelong) {
  const std::string t1 = make_dir("one");
  const std::string t2 = make_dir("two");
  ASSERT_TRUE(write_bmp(quadrants(40, 30), t1 + "/p.bmp"));
  ASSERT_TRUE(write_file(t1 + "/notes.txt", "no picture"));
  ASSERT_TRUE(write_file(t1 + "/q.jpg.part", "still coming"));
  fs::create_directories(t1 + "/sub.bmp");
  ASSERT_TRUE(write_bmp(quadrants(40, 30), t2 + "/r.bmp"));
  open_window();
  set_path(1, t1);
  set_path(2, t2);
  w->hover_target = 3;

  // 400 x 360 pixels are 300 x 270 points at 96 per inch: panels 30 points
  // high, capsules 26.
  paint(400, 360);
  EXPECT_EQ(w->targets.at(1)->images.count(), 1);  // only the picture
  EXPECT_EQ(w->targets.at(2)->images.count(), 0);  // one listing per paint
  EXPECT_TRUE(w->timer->is_enabled());
  const uint32_t back = pixel_of(C_Canvas::system_color(int64_t(system_color::BUTTON)));
  const uint32_t text = pixel_of(C_Canvas::system_color(int64_t(system_color::BUTTON_TEXT)));
  const uint32_t red = 0xFFFF0000u;
  // A row holding a colour near a place (lines fall on whole pixels).
  auto line_near = [&](int x, double y_pt, uint32_t colour) {
    for (int y = px(y_pt) - 1; y <= px(y_pt) + 1; ++y)
      if (at(x, y) == colour) return true;
    return false;
  };
  for (int n = 1; n <= 9; ++n) {
    const double top = (n - 1) * 30 + 2;
    const uint32_t colour = n == 3 ? red : text;
    EXPECT_TRUE(line_near(px(150), top, colour)) << n;
    EXPECT_TRUE(line_near(px(150), top + 26, colour)) << n;
    if (n >= 3) {
      EXPECT_EQ(at(px(150), px(top + 13)), back) << n;  // 1 and 2 show their paths there
    }
    // Between panels only the background.
    EXPECT_EQ(at(px(150), px((n - 1) * 30 + 0.5)), back) << n;
  }
  // The ends are half circles: the left one reaches the panel's left edge
  // at its middle, not its corners.
  bool left_edge = false;
  for (int x = 0; x <= px(4); ++x) left_edge = left_edge || at(x, px(30 + 2 + 13)) == text;
  EXPECT_TRUE(left_edge);
  EXPECT_EQ(at(px(2.5), px(30 + 3)), back);
  EXPECT_TRUE(line_near(px(150), 2 * 30 + 2, red));

  // The thumbnail: after the number, the path and 4 points, a 26-point
  // square showing the picture's middle, cropped to the square.
  const double x0 = first_thumbnail_x(t1);
  expect_pixels(Back_buffer{this},
                {{px(x0 + 6), px(2 + 6), RED}, {px(x0 + 20), px(2 + 6), GREEN}, {px(x0 + 6), px(2 + 20), BLUE},
                 {px(x0 + 20), px(2 + 20), WHITE}},
                "the thumbnail");
  EXPECT_EQ(w->targets.at(1)->rect.y, 2);

  // The next paint lists the next target, and so on.
  paint(400, 360);
  EXPECT_EQ(w->targets.at(2)->images.count(), 1);
  EXPECT_EQ(at(px(x0 + 6), px(32 + 6)), 0xFFFF0000u);
  paint(400, 360);
  EXPECT_FALSE(w->timer->is_enabled());  // nothing left to fetch
}

// A picture far larger than its thumbnail (an 8000 x 8000 GIF, 256 MB once
// composed) comes from the worker at its square's size: repaints stretch
// nothing the size of the picture and hold nothing of it.
TEST_F(Move_window, RepaintsOfAHugePicturesThumbnailCostItsSquare) {
  const std::string t1 = make_dir("one");
  ASSERT_TRUE(write_file(t1 + "/huge.gif", one_colour_gif(8000, 8000)));
  open_window();
  set_path(1, t1);
  paint(400, 360);
  ASSERT_EQ(w->targets.at(1)->images.count(), 1);
  const double x0 = first_thumbnail_x(t1);
  // The window's timer takes the picture from the worker and repaints.
  ASSERT_TRUE(brek_test::wait_until([&] {
    w->on_timer();
    paint(400, 360);
    return at(px(x0 + 13), px(2 + 13)) == 0xFFFF0000u;  // the GIF's one colour
  }));
  // What repaints can draw of it is its one copy, the square's size.
  const Ref<C_Image> image = w->targets.at(1)->images.get(0);
  EXPECT_TRUE(image->animation.is_none());
  EXPECT_TRUE(image->picture.is_none());
  EXPECT_EQ(v->collage->thumbnails.count_for(image.get()), 1u);
  EXPECT_FALSE(
      v->collage->thumbnails.kept_for(image.get(), px(26), px(26), quality_drawing_lines_shapes::MEDIUM, false).is_none());
  const int64_t growth = peak_growth([&] {
    for (int i = 0; i < 3; ++i) paint(400, 360);
  });
  EXPECT_EQ(at(px(x0 + 13), px(2 + 13)), 0xFFFF0000u);
  if (RESIDENT_SIZE_COUNTS) {
    EXPECT_LT(growth, int64_t(8000) * 8000 * 4 / 8) << growth / MB << " MB";
  }
}

// The thumbnail of a huge picture comes from its worker also when the
// pictures after it fill the panel meanwhile: a full panel asks the
// window's timer for nothing more, and the worker's pictures still come
// as the loop runs the window's timers and paints.
TEST_F(Move_window, AHugePicturesThumbnailComesAlsoInAFullPanel) {
  Brek_runtime::Test_clock clock;
  const std::string t1 = make_dir("one");
  ASSERT_TRUE(write_file(t1 + "/a.gif", one_colour_gif(8000, 8000)));
  for (const char* n : {"b.bmp", "c.bmp", "d.bmp"}) ASSERT_TRUE(write_bmp(quadrants(40, 30), t1 + "/" + n));
  open_window();
  set_path(1, t1);
  // Room for three 26-point squares and less than half a fourth.
  const double x0 = first_thumbnail_x(t1);
  const int width = px(x0 + 100);
  for (int i = 0; i < 4; ++i) paint(width, 360);
  ASSERT_EQ(at(px(x0 + 2 * 26 + 6), px(2 + 6)), RED);  // the third small one's top-left quarter
  ASSERT_FALSE(w->timer->is_enabled());
  ASSERT_TRUE(brek_test::wait_until([&] {
    clock.advance(50);
    Timer_ticks::run_due(clock.ticks());
    paint(width, 360);
    return at(px(x0 + 13), px(2 + 13)) == 0xFFFF0000u;  // the GIF's one colour, first
  }));
}

TEST_F(Move_window, AnEmptyTargetIsListedOnceAndDoesNotHoldBackTheOthers) {
  const std::string empty = make_dir("empty");
  const std::string full = make_dir("full");
  ASSERT_TRUE(write_bmp(quadrants(8, 8), full + "/p.bmp"));
  const std::string a = add_file("a.bmp", "");
  ASSERT_TRUE(write_bmp(quadrants(8, 8), a));
  open_window();
  set_path(1, empty);
  set_path(2, tmp.file("missing"));
  set_path(4, full);
  paint(400, 360);
  paint(400, 360);
  paint(400, 360);
  EXPECT_EQ(w->targets.at(1)->images.count(), 0);
  EXPECT_EQ(w->targets.at(2)->images.count(), 0);
  EXPECT_EQ(w->targets.at(4)->images.count(), 1);
  // A file moved in shows at the next paints; what showed already stays.
  show(a);
  key('1');
  paint(400, 360);
  EXPECT_EQ(w->targets.at(1)->images.count(), 1);
  Ref<C_Image> kept = w->targets.at(4)->images.get(0);
  const std::string b = add_file("b.bmp", "");
  ASSERT_TRUE(write_bmp(quadrants(8, 8), b));
  show(b);
  key('4');
  paint(400, 360);
  ASSERT_EQ(w->targets.at(4)->images.count(), 2);
  EXPECT_EQ(w->targets.at(4)->images.get(1).get(), kept.get());  // "b" sorts before "p"
  EXPECT_EQ(w->loaded_images.count(), 3);
}

TEST_F(Move_window, ClosingHidesAndAMaximizedWindowKeepsItsStoredPlace) {
  open_window();
  set_path(4, src);
  te::close(w->native);
  te::settle();
  EXPECT_FALSE(w->is_visible());
  ASSERT_NE(w->native, 0);
  EXPECT_EQ(w->target(4).path, src);
  v->collage->do_command("MOVETO");
  EXPECT_EQ(v->collage->move_dialog.get(), w.get());
  EXPECT_TRUE(w->is_visible());

  // A move of the normal window is stored.
  Ref<C_Config> stored = C_Config::open_read("Collage viewer", area::USER, "Move to dir");
  w->set_position(positioning::POSITION_AS_IS, 70, 90);
  te::settle();
  Event_routing::moved(w);
  EXPECT_DOUBLE_EQ(stored->read_real_value("Left"), C_Brek_form::get_window_rect(w->native).x);
  const std::string before = read_file(stored->file_path());
  w->set_window_state(state_of_form::MAXIMIZED);
  te::settle();
  if (w->get_window_state() != int(state_of_form::MAXIMIZED)) GTEST_SKIP() << "no maximized state here";
  Event_routing::resized(w);
  Event_routing::moved(w);
  EXPECT_EQ(read_file(stored->file_path()), before);
}

TEST_F(Move_window, TheMainWindowsF6DigitsAndBackspaceReachTheWindowWhileItShows) {
  const std::string target = make_dir("target");
  const std::string a = add_file("a.jpg", "A");
  show(a);
  box->key('1');  // no window yet: nothing moves
  EXPECT_EQ(read_file(a), "A");
  box->key(117);  // F6
  take_window();
  EXPECT_TRUE(w->is_visible());
  set_path(1, target);
  box->key('1');
  EXPECT_EQ(read_file(target + "/a.jpg"), "A");
  box->key(8);
  EXPECT_EQ(read_file(a), "A");
  // Hidden, it takes no keys.
  w->hide_window();
  show(a);
  add_entry(v, a, rect{0, 0, 100, 80});
  box->key('1');
  EXPECT_EQ(read_file(a), "A");
}

TEST_F(Move_window, AnUndoTakesTheMovedFilesThumbnailOffItsTargetsPanel) {
  const std::string target = make_dir("target");
  ASSERT_TRUE(write_bmp(Pixels(40, 30, GREEN), target + "/p.bmp"));
  const std::string a = add_file("a.bmp", "");
  ASSERT_TRUE(write_bmp(Pixels(40, 30, BLUE), a));
  show(a);
  box->key(117);  // F6
  take_window();
  set_path(1, target);
  // The panel's first thumbnail square, right of the number and the path.
  const double x0 = first_thumbnail_x(target);
  auto first_square = [&] {
    for (int i = 0; i < 3; ++i) paint(400, 360);
    return at(px(x0 + 13), px(2 + 13));
  };
  EXPECT_EQ(first_square(), GREEN);

  box->key('1');
  ASSERT_TRUE(File_path::file_exists(target + "/a.bmp"));
  EXPECT_EQ(first_square(), BLUE);  // "a" sorts first
  box->key(8);  // Backspace: back where it came from
  ASSERT_TRUE(File_path::file_exists(a));
  EXPECT_EQ(first_square(), GREEN);
  ASSERT_EQ(w->targets.at(1)->images.count(), 1);
  EXPECT_EQ(w->targets.at(1)->images.get(0)->file_name, target + "/p.bmp");
}
