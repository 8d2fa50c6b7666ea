// Images through the clipboard: numbered names for auto save, cuts of the
// shown picture, and auto save itself.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "baselib/file_path.h"
#include "images/format_classes.h"
#include "platform/clipboard.h"
#include "platform/painter.h"
#include "platform/test_events.h"
#include "tests/support/entry_changes.h"
#include "tests/support/temp_dir.h"
#include "tests/viewer/viewer_input_support.h"
#include "viewer/clipboard_images.h"

using namespace viewer_input;
namespace CI = brek::Clipboard_images;
namespace R = brek::Event_routing;
namespace te = brek_platform::test_events;

namespace {

std::string next(const std::string& current, const std::set<std::string>& present) {
  return CI::next_free_name(current, [&](const std::string& n) { return present.count(n) != 0; });
}

// A small picture of its own for each n.
Ref<C_Bitmap> numbered_picture(uint32_t n) {
  Ref<C_Bitmap> b = C_Bitmap::create(12, 8, 32);
  b->pixels()->set(0, 0, 0xFF000000u | n);
  return b;
}

// The pixel of a bitmap, opaque.
uint32_t at(const Ref<C_Bitmap>& b, int x, int y) { return b->pixels()->at(x, y) | 0xFF000000u; }

// A bitmap as a surface for expect_pixels.
struct Bitmap_pixels {
  Ref<C_Bitmap> b;
  uint32_t at(int x, int y) const { return ::at(b, x, y); }
};

}  // namespace

using ClipboardImages = Viewer_box;

TEST_F(ClipboardImages, NextFreeNumberedNames) {
  EXPECT_EQ(next("/s/scan.png", {}), "/s/scan1.png");
  EXPECT_EQ(next("/s/scan1.png", {"/s/scan2.png"}), "/s/scan3.png");
  EXPECT_EQ(next("/s/2024.jpg", {}), "/s/2025.jpg");
  EXPECT_EQ(next("/s/a9.jpg", {"/s/a10.jpg"}), "/s/a11.jpg");
  EXPECT_EQ(next("/s/img007.jpg", {}), "/s/img008.jpg");
  EXPECT_EQ(next("/s/img099.jpg", {}), "/s/img100.jpg");
  // No file, or a picture that is no file: numbered from 0 here.
  EXPECT_EQ(next("", {}), "1.jpg");
  EXPECT_EQ(next("<cut>", {"1.jpg"}), "2.jpg");
  // Digits in a directory name are not the stem's.
  EXPECT_EQ(next("/s/7/x.jpg", {}), "/s/7/x1.jpg");
  // Long digit runs, as in names made of a date and a time, keep every digit.
  EXPECT_EQ(next("/s/IMG20240101123045.jpg", {}), "/s/IMG20240101123046.jpg");
  EXPECT_EQ(next("/s/IMG20240101123049.jpg", {"/s/IMG20240101123050.jpg"}), "/s/IMG20240101123051.jpg");
  EXPECT_EQ(next("/s/99999999999999999999.jpg", {}), "/s/100000000000000000000.jpg");
  EXPECT_EQ(next("/s/2147483645.jpg", {"/s/2147483646.jpg"}), "/s/2147483647.jpg");
  // Leading zeros stay until the number outgrows them.
  EXPECT_EQ(next("/s/x0999.jpg", {}), "/s/x1000.jpg");
  // A name of nothing but a number that outgrows the 255 bytes has no next.
  EXPECT_EQ(next("/s/" + std::string(251, '9') + ".jpg", {}), "");
}

TEST_F(ClipboardImages, CutRectanglesAreClippedAndScaled) {
  const rect image{200, 150, 400, 300};
  CI::Cut c = CI::cut_of(CI::normalized(rect{350, 250, 100, 100}), image, 400, 300);
  CI::Cut reversed = CI::cut_of(CI::normalized(rect{450, 350, -100, -100}), image, 400, 300);
  EXPECT_EQ(c.source.x, 150);
  EXPECT_EQ(c.source.y, 100);
  EXPECT_EQ(c.width, 100);
  EXPECT_EQ(c.height, 100);
  EXPECT_EQ(reversed.source.x, c.source.x);
  EXPECT_EQ(reversed.source.y, c.source.y);
  EXPECT_EQ(reversed.width, c.width);

  // Beyond the picture: clipped to it.
  c = CI::cut_of(rect{100, 100, 200, 150}, image, 400, 300);
  EXPECT_EQ(c.source.x, 0);
  EXPECT_EQ(c.source.y, 0);
  EXPECT_EQ(c.width, 100);
  EXPECT_EQ(c.height, 100);

  // A picture drawn at half its size: the cut is twice as large in pixels.
  c = CI::cut_of(rect{250, 200, 10, 20}, image, 800, 600);
  EXPECT_EQ(c.source.x, 100);
  EXPECT_EQ(c.width, 20);
  EXPECT_EQ(c.height, 40);

  EXPECT_TRUE(CI::cut_of(rect{10, 10, 50, 50}, image, 400, 300).empty());
  EXPECT_TRUE(CI::cut_of(rect{300, 300, 0, 0}, image, 400, 300).empty());
  EXPECT_TRUE(CI::cut_of(rect{300, 300, 10, 10}, rect{}, 400, 300).empty());
}

TEST_F(ClipboardImages, ACtrlDragCutsWhatTheViewShows) {
  open_picture("q.bmp", 400, 300);
  b.paint();
  ASSERT_EQ(v->image_rect.x, 200);
  ASSERT_EQ(v->image_rect.w, 400);

  auto cut = [&](point from, point to) {
    R::key_down(v, Ref<C_Control>(), 17, ctrl());
    b.press(from);
    b.move(to);
    EXPECT_TRUE(v->collage->cutting);
    b.release(to);
    R::key_up(v, Ref<C_Control>(), 17, {});
    EXPECT_FALSE(v->collage->cutting);
    return v->current_image()->picture;
  };
  // Pixels (350, 250) to (450, 350) of the box: the middle of the picture.
  Ref<C_Bitmap> part = cut({262.5, 187.5}, {337.5, 262.5});
  EXPECT_EQ(v->current_file, "<cut>");
  EXPECT_TRUE(v->single_mode);
  EXPECT_EQ(v->collage->cut_source, dir.file("q.bmp"));
  ASSERT_EQ(part->width, 100);
  ASSERT_EQ(part->height, 100);
  expect_pixels(Bitmap_pixels{part}, {{0, 0, RED}, {99, 0, GREEN}, {0, 99, BLUE}, {99, 99, WHITE}}, "the cut");
  EXPECT_TRUE(brek_platform::clipboard_has_image());

  // The same rectangle dragged the other way round, from the file again.
  v->open_file(dir.file("q.bmp"));
  b.paint();
  Ref<C_Bitmap> back = cut({337.5, 262.5}, {262.5, 187.5});
  ASSERT_EQ(back->width, 100);
  expect_pixels(Bitmap_pixels{back}, {{99, 0, GREEN}, {0, 99, BLUE}}, "dragged back");

  // A turned picture is cut as it is shown: its top-left is now blue.
  v->open_file(dir.file("q.bmp"));
  v->current_image()->quarter_turns = 1;
  b.paint();
  Ref<C_Bitmap> turned = cut({v->image_rect.x * 0.75 + 1, v->image_rect.y * 0.75 + 1},
                             {v->image_rect.x * 0.75 + 10, v->image_rect.y * 0.75 + 10});
  EXPECT_EQ(at(turned, 0, 0), BLUE);

  // A Ctrl click beside the picture cuts nothing and says nothing.
  v->open_file(dir.file("q.bmp"));
  b.paint();
  cut({10, 10}, {12, 12});
  EXPECT_EQ(v->current_file, dir.file("q.bmp"));
  EXPECT_TRUE(b.messages.empty());
}

TEST_F(ClipboardImages, AutoSaveTakesEachNewPictureOnce) {
  open_picture("scan.bmp", 20, 10);
  v->collage->auto_save = true;

  EXPECT_FALSE(v->collage->timer_tasks());  // nothing on the clipboard
  ASSERT_TRUE(C_Bmp::copy_to_clipboard(v->current_image()->picture));
  EXPECT_TRUE(v->collage->timer_tasks());
  EXPECT_TRUE(File_path::file_exists(dir.file("scan1.bmp")));
  EXPECT_EQ(v->current_file, dir.file("scan1.bmp"));
  EXPECT_FALSE(brek_platform::clipboard_has_image());
  EXPECT_FALSE(v->collage->timer_tasks());

  // The same picture copied again is not saved a second time.
  ASSERT_TRUE(C_Bmp::copy_to_clipboard(v->current_image()->picture));
  EXPECT_FALSE(v->collage->timer_tasks());
  EXPECT_FALSE(File_path::file_exists(dir.file("scan2.bmp")));
  EXPECT_EQ(v->current_file, dir.file("scan1.bmp"));

  // Another picture is.
  Ref<C_Bitmap> other = C_Bitmap::create(20, 10, 32);
  ASSERT_TRUE(C_Bmp::copy_to_clipboard(other));
  EXPECT_TRUE(v->collage->timer_tasks());
  EXPECT_TRUE(File_path::file_exists(dir.file("scan2.bmp")));
  Ref<C_Bitmap> saved = C_Bmp::load_from_file(dir.file("scan2.bmp"));
  EXPECT_EQ(saved->width, 20);

  // A type that cannot be written: the picture stays shown, unsaved, and
  // the user is told.
  v->current_file = dir.file("scan.png");
  ASSERT_TRUE(C_Bmp::copy_to_clipboard(numbered_picture(5)));
  EXPECT_FALSE(v->collage->timer_tasks());
  EXPECT_EQ(b.last_message(), dir.file("scan1.png") + ": Save failed");
  EXPECT_EQ(v->current_file, "<clipboard>");
  EXPECT_FALSE(File_path::file_exists(dir.file("scan1.png")));
  // Ctrl+S proposes that name as a type it can write.
  te::File_dialog_seen seen;
  te::answer_next_file_dialog(false, {}, &seen);
  b.key('S', ctrl());
  EXPECT_EQ(seen.proposed, "scan1.jpg");
}

// Auto save switched on saves the pasted picture through the dialog first
// (here under a name of the full 255 bytes): copied again, that picture is
// no new one, as a picture auto save took itself is not.
TEST_F(ClipboardImages, AutoSaveStartedThroughTheDialogPassesOverThePictureSaved) {
  const std::string longest = std::string(251, 's') + ".bmp";
  ASSERT_TRUE(C_Bmp::copy_to_clipboard(numbered_picture(1)));
  b.menu("PASTE");
  te::answer_next_file_dialog(true, {dir.file(longest)});
  b.menu("SAVAUTO");
  ASSERT_TRUE(v->collage->auto_save);
  ASSERT_TRUE(File_path::file_exists(dir.file(longest)));
  ASSERT_TRUE(C_Bmp::copy_to_clipboard(numbered_picture(1)));
  EXPECT_FALSE(v->collage->timer_tasks());
  EXPECT_EQ(brek_test::entries_of(dir.path()), std::vector<std::string>{longest});
  ASSERT_TRUE(C_Bmp::copy_to_clipboard(numbered_picture(2)));
  EXPECT_TRUE(v->collage->timer_tasks());
  EXPECT_EQ(brek_test::entries_of(dir.path()).size(), 2u);
  EXPECT_TRUE(b.messages.empty()) << b.last_message();
}

TEST_F(ClipboardImages, ACutImageIsForgottenInTheDirectoryView) {
  Ref<C_Bitmap> bmp = C_Bitmap::create(4, 4, 32);
  v->collage->show_bitmap(bmp, "<cut>");
  EXPECT_TRUE(v->current_image().same(v->collage->image));
  v->single_mode = false;
  EXPECT_FALSE(v->collage->paste_or_cut());
  EXPECT_TRUE(v->collage->image.is_none());
}

// Pictures taken by auto save go beside the last one saved, never into
// whatever directory the program was started from.
TEST_F(ClipboardImages, AutoSaveKeepsItsDirectoryAcrossPastesAndCuts) {
  brek_test::Temp_dir elsewhere;
  const std::string home = std::filesystem::current_path().string();
  std::filesystem::current_path(elsewhere.path());
  open_picture("shot.bmp", 12, 8);
  v->collage->auto_save = true;
  ASSERT_TRUE(C_Bmp::copy_to_clipboard(numbered_picture(1)));
  EXPECT_TRUE(v->collage->timer_tasks());
  EXPECT_TRUE(File_path::file_exists(dir.file("shot1.bmp")));

  // Ctrl+V of a new picture while auto save is on: the tick still saves it
  // beside the others.
  ASSERT_TRUE(C_Bmp::copy_to_clipboard(numbered_picture(2)));
  b.menu("PASTE");
  EXPECT_EQ(v->current_file, "<clipboard>");
  EXPECT_TRUE(v->collage->timer_tasks());
  EXPECT_TRUE(File_path::file_exists(dir.file("shot2.bmp")));
  EXPECT_EQ(v->current_file, dir.file("shot2.bmp"));

  // The same after a cut shown as "<cut>".
  v->collage->show_bitmap(numbered_picture(3), "<cut>");
  ASSERT_TRUE(C_Bmp::copy_to_clipboard(numbered_picture(3)));
  EXPECT_TRUE(v->collage->timer_tasks());
  EXPECT_TRUE(File_path::file_exists(dir.file("shot3.bmp")));
  EXPECT_TRUE(std::filesystem::is_empty(elsewhere.path()));

  // A refresh keeps auto save; opening another directory ends it and the
  // next picture is left alone.
  v->root_dir = dir.path();
  v->open_dir(dir.path());
  EXPECT_TRUE(v->collage->auto_save);
  brek_test::Temp_dir other;
  v->open_dir(other.path());
  EXPECT_FALSE(v->collage->auto_save);
  ASSERT_TRUE(C_Bmp::copy_to_clipboard(numbered_picture(4)));
  EXPECT_FALSE(v->collage->timer_tasks());
  EXPECT_TRUE(std::filesystem::is_empty(elsewhere.path()));
  std::filesystem::current_path(home);
}

// A name held by a directory or by a link that leads nowhere is taken too:
// auto save neither fails on it for ever nor writes where the link points.
TEST_F(ClipboardImages, AutoSaveSkipsNamesHeldByDirectoriesAndLinks) {
  brek_test::Temp_dir away;
  picture(dir.file("pic.bmp"), 6, 4);
  std::filesystem::create_directory(dir.file("pic1.bmp"));
  std::filesystem::create_symlink(away.file("elsewhere.bmp"), dir.file("pic2.bmp"));
  v->open_file(dir.file("pic.bmp"));
  v->collage->auto_save = true;
  ASSERT_TRUE(C_Bmp::copy_to_clipboard(v->current_image()->picture));
  EXPECT_TRUE(v->collage->timer_tasks());
  EXPECT_TRUE(b.messages.empty()) << b.last_message();
  EXPECT_TRUE(File_path::file_exists(dir.file("pic3.bmp")));
  EXPECT_TRUE(std::filesystem::is_empty(away.path()));
}

// A save that fails (here: the directory was removed) keeps the picture on
// the clipboard, says so once and ends auto save.
TEST_F(ClipboardImages, AFailedAutoSaveKeepsThePictureAndStops) {
  const std::string gone = dir.file("gone");
  std::filesystem::create_directory(gone);
  picture(gone + "/pic.bmp", 6, 4);
  v->open_file(gone + "/pic.bmp");
  v->collage->auto_save = true;
  ASSERT_TRUE(C_Bmp::copy_to_clipboard(v->current_image()->picture));
  std::filesystem::remove_all(gone);

  EXPECT_FALSE(v->collage->timer_tasks());
  EXPECT_TRUE(brek_platform::clipboard_has_image());
  EXPECT_FALSE(v->collage->auto_save);
  ASSERT_EQ(b.messages.size(), 1u);
  EXPECT_EQ(b.messages[0], gone + "/pic1.bmp: Save failed: No such file or directory");
  EXPECT_FALSE(v->collage->timer_tasks());
  EXPECT_EQ(b.messages.size(), 1u);
  EXPECT_TRUE(brek_platform::clipboard_has_image());
}

// Only "<clipboard>" and "<cut>" stand for pictures without a file; a file
// may have "<" in its name and is read, copied and numbered like any other.
TEST_F(ClipboardImages, AFileWithALessThanSignInItsNameIsAFile) {
  const std::string odd = dir.file("a<b>.bmp");
  Ref<C_Image> shown = open_picture("a<b>.bmp");
  EXPECT_EQ(shown->width, 40);
  EXPECT_EQ(shown->height, 30);
  ASSERT_FALSE(shown->picture.is_none());
  EXPECT_EQ(at(shown->picture, 0, 0), RED);
  EXPECT_NE(v->collage->caption.find("a<b>.bmp 40x30"), std::string::npos) << v->collage->caption;

  R::double_click_pending();
  b.press({40, 40});
  EXPECT_EQ(brek_platform::clipboard_files(), (std::vector<std::string>{odd}));
  b.release({40, 40});

  v->collage->auto_save = true;
  ASSERT_TRUE(C_Bmp::copy_to_clipboard(shown->picture));
  EXPECT_TRUE(v->collage->timer_tasks());
  EXPECT_TRUE(File_path::file_exists(dir.file("a<b>1.bmp")));
  EXPECT_EQ(next("/s/x<1.jpg", {}), "/s/x<2.jpg");
  EXPECT_TRUE(b.messages.empty()) << b.last_message();
}

// Beside a picture whose name takes all 255 bytes a name may have, auto
// save shortens the stem for the number, by whole characters, keeping the
// extension; so does the name a save proposes when auto save could not
// write (here: the folder was removed).
TEST_F(ClipboardImages, AutoSaveBesideTheLongestNameTakesANameThatFits) {
  const std::string stem = std::string(249, 'x') + "\xC3\xA9";  // ends in a two-byte character
  const std::string longest = stem + ".bmp", shortened = std::string(249, 'x');
  ASSERT_EQ(longest.size(), 255u);
  open_picture(longest, 12, 8);
  v->collage->auto_save = true;
  ASSERT_TRUE(C_Bmp::copy_to_clipboard(numbered_picture(1)));
  EXPECT_TRUE(v->collage->timer_tasks());
  EXPECT_TRUE(b.messages.empty()) << b.last_message();
  EXPECT_TRUE(File_path::file_exists(dir.file(shortened + "1.bmp")));
  EXPECT_EQ(v->current_file, dir.file(shortened + "1.bmp"));

  // The same beside the longest name in a folder removed meanwhile.
  const std::string gone = dir.file("gone");
  std::filesystem::create_directory(gone);
  picture(gone + "/" + longest, 6, 4);
  v->open_file(gone + "/" + longest);
  std::filesystem::remove_all(gone);
  v->collage->auto_save = true;
  ASSERT_TRUE(C_Bmp::copy_to_clipboard(numbered_picture(2)));
  EXPECT_FALSE(v->collage->timer_tasks());
  EXPECT_EQ(b.last_message(), gone + "/" + shortened + "1.bmp: Save failed: No such file or directory");
  te::File_dialog_seen seen;
  te::answer_next_file_dialog(false, {}, &seen);
  b.key('S', ctrl());
  // In the folder of the last save, where the first number is taken.
  EXPECT_EQ(seen.proposed, shortened + "2.bmp");
}

// Another program saves under the free name auto save chose, right before
// auto save puts its picture there: theirs stays as it is, and the picture
// goes under the next free name. In a process of its own, whose entry
// changes stay held; it says what went wrong and ends with 1.
using ClipboardImagesDeathTest = Viewer_box;
TEST_F(ClipboardImagesDeathTest, AutoSaveTakesTheNextNameWhenAnotherProgramTakesItsOwn) {
  if (brek_test::with_entry_changes_held([] {}, [](int) {}) < 0)
    GTEST_SKIP() << "entry changes cannot be held here (seccomp user notification)";
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const auto race = [&] {
    open_picture("IMG001.bmp", 12, 8);
    v->collage->auto_save = true;
    C_Bmp::copy_to_clipboard(numbered_picture(7));
    const std::string taken = dir.file("IMG002.bmp"), next = dir.file("IMG003.bmp");
    bool saved = false;
    brek_test::with_own_entry_changes_held([&] { saved = v->collage->timer_tasks(); },
                                           [&](int done) {
                                             if (done == 0) brek_test::save_over(taken, "theirs");
                                           });
    int wrong = 0;
    const auto expect = [&wrong](bool holds, const char* what) {
      if (!holds) std::fprintf(stderr, "not so: %s\n", what), ++wrong;
    };
    expect(saved && b.messages.empty(), "saved without a message");
    expect(brek_test::read_file(taken) == "theirs", "their file kept");
    const Ref<C_Bitmap> ours = C_Bmp::load_from_file(next);
    expect(!ours.is_none() && at(ours, 0, 0) == (0xFF000000u | 7), "the picture under the next name");
    expect(v->current_file == next, "the next name shown");
    expect(std::distance(std::filesystem::directory_iterator(dir.path()), {}) == 3, "nothing else in the folder");
    std::exit(wrong == 0 ? 0 : 1);
  };
  EXPECT_EXIT(race(), testing::ExitedWithCode(0), "");
}
