// Open, save and directory dialogs: the rules that prepare them, and the
// platform's dialogs on real windows (offscreen) answered as a user would.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "controls_test_support.h"
#include "forms/dialog_file.h"
#include "forms/placement.h"
#include "platform/file_dialog.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tmpfs_mount.h"
#include "tests/support/wait_until.h"

using namespace forms_test;
using namespace brek_platform;

namespace {

using Files = std::vector<std::string>;

class Dialog_file_window : public Controls_test {
 protected:
  void SetUp() override {
    Controls_test::SetUp();
    form = new_form(500, 400);
    form->new_column("MAIN", layout_on_form::CENTER, sizes());
    form->show();
    for (const char* n : {"a.jpg", "b.jpg", "c;d.jpg"}) ASSERT_TRUE(brek_test::write_file(dir.file(n), "x"));
    std::filesystem::create_directory(dir.file("sub"));
  }
  Ref<Log_form> form;
  brek_test::Temp_dir dir;
};

// Waits, the events running, until no thread is left on which the
// platform's dialogs list folders (Qt names them so): one is there as long
// as a dialog's listing is.
bool no_listing_left() {
  return brek_test::wait_until([] {
    test_events::settle();
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task"))
      if (brek_test::read_file(task.path().string() + "/comm") == "QFileInfoGather\n") return false;
    return true;
  });
}

std::vector<std::string> strings(const DynAStr& list) {
  std::vector<std::string> out;
  for (int64_t i = 0; i < list.count(); ++i) out.push_back(list.get(i));
  return out;
}

}  // namespace

TEST(Dialog_file_rules, DirectoriesLoseDoubledSeparatorsButNotALeadingPair) {
  EXPECT_EQ(C_Dialog_file::clean_directory("/home//user"), "/home/user/");
  EXPECT_EQ(C_Dialog_file::clean_directory("/a///b/"), "/a/b/");
  EXPECT_EQ(C_Dialog_file::clean_directory("//server/share//x"), "//server/share/x/");
  EXPECT_EQ(C_Dialog_file::clean_directory("///x"), "/x/");
  EXPECT_EQ(C_Dialog_file::clean_directory("/"), "/");
  EXPECT_EQ(C_Dialog_file::clean_directory(""), "");
}

TEST(Dialog_file_rules, FiltersBecomeThePlatformsForm) {
  EXPECT_EQ(C_Dialog_file::name_filters("JPEG files|*.jpg; *.jpeg|All files|*.*"),
            (Files{"JPEG files (*.jpg *.jpeg)", "All files (*)"}));
  // A description without patterns takes every file; one without a
  // description is named by its patterns.
  EXPECT_EQ(C_Dialog_file::name_filters("Images"), (Files{"Images (*)"}));
  EXPECT_EQ(C_Dialog_file::name_filters("|*.png;;"), (Files{"*.png (*.png)"}));
  EXPECT_TRUE(C_Dialog_file::name_filters(" ").empty());
}

TEST(Dialog_file_rules, TheProposedExtensionComesFromTheFirstPattern) {
  EXPECT_EQ(C_Dialog_file::proposed_extension("", "JPEG|*.jpg;*.bmp|BMP|*.bmp"), ".jpg");
  EXPECT_EQ(C_Dialog_file::proposed_extension("", "Archives|*.tar.gz"), ".tar.gz");
  EXPECT_EQ(C_Dialog_file::proposed_extension("png", "JPEG|*.jpg"), ".png");
  EXPECT_EQ(C_Dialog_file::proposed_extension(".tif", ""), ".tif");
  // Nothing for no dot, every file, or a wildcard after the dot.
  EXPECT_EQ(C_Dialog_file::proposed_extension("", "Any|*"), "");
  EXPECT_EQ(C_Dialog_file::proposed_extension("", "All|*.*|JPEG|*.jpg"), "");
  EXPECT_EQ(C_Dialog_file::proposed_extension("", "JPEG|*.jp?"), "");
  EXPECT_EQ(C_Dialog_file::proposed_extension("", ""), "");
}

TEST(Dialog_file_rules, DrivesAreTheMountedVolumes) {
  EXPECT_EQ(Drives::type_of_volume("nfs4", "/mnt/share"), drive_type::REMOTE);
  EXPECT_EQ(Drives::type_of_volume("cifs", "/home/u/net"), drive_type::REMOTE);
  EXPECT_EQ(Drives::type_of_volume("iso9660", "/media/u/DISC"), drive_type::CD_DVD);
  EXPECT_EQ(Drives::type_of_volume("tmpfs", "/tmp"), drive_type::RAM_DISK);
  EXPECT_EQ(Drives::type_of_volume("vfat", "/media/u/STICK"), drive_type::REMOVABLE);
  EXPECT_EQ(Drives::type_of_volume("ext4", "/run/media/u/disk"), drive_type::REMOVABLE);
  EXPECT_EQ(Drives::type_of_volume("ext4", "/"), drive_type::FIXED);
  EXPECT_EQ(Drives::type_of_volume("proc", "/proc"), drive_type::UNKNOWN);

  EXPECT_EQ(Drives::logical_drives(), "");
  EXPECT_GT(Drives::volume_roots().count(), 0);
  EXPECT_NE(Drives::drive_type("/"), drive_type::NOT_EXIST);
  EXPECT_EQ(Drives::drive_type("/no/such/place"), drive_type::NOT_EXIST);
  EXPECT_EQ(Drives::drive_type("C:"), drive_type::NOT_EXIST);
  EXPECT_EQ(Drives::drive_type(""), drive_type::NOT_EXIST);
}

TEST_F(Forms_test, DialogsWithoutAWindowDoNothing) {
  auto f = new_form();
  Ref<C_Dialog_dir> d = C_Dialog_dir::create(f, "DIR");
  d->directory = "/kept";
  EXPECT_FALSE(d->execute());
  EXPECT_EQ(d->directory, "/kept");
  Ref<C_Dialog_file> open = C_Dialog_file::create_open(f, "OPEN");
  EXPECT_FALSE(open->execute());
  EXPECT_FALSE(open->is_visual());
}

TEST_F(Dialog_file_window, AnOpenDialogGivesTheChosenFilesAsAList) {
  Ref<C_Dialog_file> d = C_Dialog_file::create_open(form, "OPEN");
  EXPECT_EQ(d->save, 0);
  d->title = "Open pictures";
  d->initial_dir = dir.path() + "//";
  d->filter = "JPEG files|*.jpg;*.jpeg|All files|*.*";
  d->multi_select = 1;
  Ref<Log_control> current = make_on<Log_control>(form, "CURRENT");
  form->set_current_control(current);

  test_events::File_dialog_seen seen;
  test_events::answer_next_file_dialog(true, {"a.jpg", "c;d.jpg", "b.jpg"}, &seen);
  ASSERT_TRUE(d->execute());
  EXPECT_EQ(d->initial_dir, dir.path() + "/");
  std::vector<std::string> chosen = strings(d->file_names);
  std::sort(chosen.begin(), chosen.end());
  EXPECT_EQ(chosen, (Files{dir.file("a.jpg"), dir.file("b.jpg"), dir.file("c;d.jpg")}));
  EXPECT_EQ(d->file_name, d->file_names.get(0));
  EXPECT_EQ(form->current_control().get(), current.get());

  EXPECT_FALSE(seen.save);
  EXPECT_TRUE(seen.multi_select);
  EXPECT_TRUE(seen.own_widgets);
  EXPECT_EQ(seen.title, "Open pictures");
  EXPECT_EQ(seen.directory, dir.path());
  EXPECT_EQ(seen.filters, (Files{"JPEG files (*.jpg *.jpeg)", "All files (*)"}));

  // Cancelled: false, and the fields keep what they held.
  std::string before = d->file_name;
  test_events::answer_next_file_dialog(false);
  EXPECT_FALSE(d->execute());
  EXPECT_EQ(d->file_names.count(), 3);
  EXPECT_EQ(d->file_name, before);
}

TEST_F(Dialog_file_window, ASaveDialogProposesTheExtensionAndAsksBeforeReplacing) {
  Ref<C_Dialog_file> d = C_Dialog_file::create_save(form, "SAVE");
  EXPECT_EQ(d->save, 1);
  d->initial_dir = dir.path();
  d->filter = "JPEG|*.jpg;*.bmp|BMP|*.bmp";
  d->file_name = "proposal";

  test_events::File_dialog_seen seen;
  test_events::answer_next_file_dialog(true, {"new"}, &seen);
  ASSERT_TRUE(d->execute());
  EXPECT_EQ(d->file_name, dir.file("new.jpg"));
  EXPECT_TRUE(seen.save);
  EXPECT_TRUE(seen.confirms_overwrite);
  EXPECT_EQ(seen.default_suffix, "jpg");
  EXPECT_EQ(seen.proposed, "proposal");

  // An existing file: "No" to the question keeps the dialog open, which is
  // then cancelled; nothing is chosen.
  test_events::answer_next_message(false);
  test_events::answer_next_file_dialog(true, {"a.jpg"});
  test_events::answer_next_file_dialog(false);
  EXPECT_FALSE(d->execute());
  EXPECT_EQ(d->file_name, dir.file("new.jpg"));
  // "Yes" lets it be chosen.
  test_events::answer_next_message(true);
  test_events::answer_next_file_dialog(true, {"a.jpg"});
  ASSERT_TRUE(d->execute());
  EXPECT_EQ(d->file_name, dir.file("a.jpg"));
}

// A name typed with its folder, elsewhere than where the dialog opened,
// beside a file of the same name there: the dialog gives the one file it
// asked about before replacing it, never its namesake where it opened.
TEST_F(Dialog_file_window, ASaveDialogGivesTheFileItConfirmedNotItsNamesakeWhereItOpened) {
  brek_test::Temp_dir elsewhere;
  ASSERT_TRUE(brek_test::write_file(elsewhere.file("a.jpg"), "x"));
  Ref<C_Dialog_file> d = C_Dialog_file::create_save(form, "SAVE");
  d->initial_dir = dir.path();
  d->filter = "JPEG|*.jpg";
  std::string asked;
  test_events::answer_next_message(true, nullptr, &asked);
  test_events::answer_next_file_dialog(true, {elsewhere.file("a.jpg")});
  ASSERT_TRUE(d->execute());
  EXPECT_NE(asked.find("a.jpg already exists"), std::string::npos) << asked;
  EXPECT_EQ(strings(d->file_names), Files{elsewhere.file("a.jpg")});
  EXPECT_EQ(d->file_name, elsewhere.file("a.jpg"));
}

TEST_F(Dialog_file_window, TheDialogIsPlacedOverItsForm) {
  form->set_client_size(700, 1000);
  test_events::settle();
  Ref<C_Dialog_file> d = C_Dialog_file::create_open(form, "OPEN");
  d->initial_dir = dir.path();
  test_events::File_dialog_seen seen;
  test_events::answer_next_file_dialog(false, {}, &seen);
  d->execute();
  rect b = form->get_bounds();
  Rect_pt f{double(px(b.x)), double(px(b.y)), double(px(b.w)), double(px(b.h))};
  ASSERT_GT(seen.place.w, 0);
  Point_pt at = file_dialog_origin(f, seen.place.w, seen.place.h);
  // Then kept on the screen, as every dialog is.
  Placement::refresh_monitors();
  const rect work = Placement::monitor_work_area(0);
  at.x = std::max(double(px(work.x)), std::min(at.x, double(px(work.x + work.w)) - seen.place.w));
  at.y = std::max(double(px(work.y)), std::min(at.y, double(px(work.y + work.h)) - seen.place.h));
  EXPECT_EQ(seen.place.x, at.x);
  EXPECT_EQ(seen.place.y, at.y);

  Point_pt small = file_dialog_origin(Rect_pt{100, 50, 300, 200}, 600, 400);
  EXPECT_EQ(small.x, 120);
  EXPECT_EQ(small.y, 70);
  Point_pt big = file_dialog_origin(Rect_pt{100, 50, 1001, 800}, 600, 400);
  EXPECT_EQ(big.x, 300);
  EXPECT_EQ(big.y, 250);
}

// Answers for dialogs that never opened and tasks still to run are dropped
// (as each test starts), so none reaches a later dialog or test.
TEST_F(Dialog_file_window, WhatWasLeftWaitingIsDropped) {
  Ref<C_Dialog_file> d = C_Dialog_file::create_open(form, "OPEN");
  d->initial_dir = dir.path();
  bool stale_task = false, fresh_task = false;
  test_events::answer_next_file_dialog(true, {"a.jpg"});
  test_events::answer_next_message(true);
  test_events::post_task([&] { stale_task = true; });
  test_events::forget_pending();

  test_events::answer_next_file_dialog(false);
  test_events::answer_next_message(false);
  test_events::post_task([&] { fresh_task = true; });
  EXPECT_FALSE(d->execute());
  EXPECT_FALSE(form->ask("Replace?"));
  // Tasks run in the order they were posted.
  EXPECT_TRUE(fresh_task);
  EXPECT_FALSE(stale_task);
}

// A mount that does not answer, beside the folder a dialog opens in and in
// the working directory: the dialog lists the folder it shows, neither the
// one above it nor the working directory (which hold the mount's point), so
// nothing asks the mount, and the dialog comes back.
TEST_F(Dialog_file_window, AStalledMountBesideTheFolderIsNotAsked) {
  brek_test::Temp_dir parent;
  brek_test::Env_guard tmp("TMPDIR", parent.path());
  brek_test::Stalled_mount stalled;
  if (!stalled.mounted()) GTEST_SKIP() << stalled.failure();
  brek_test::Working_dir working(parent.path());
  brek_test::Temp_dir beside;
  ASSERT_TRUE(brek_test::write_file(beside.file("a.jpg"), "x"));
  Ref<C_Dialog_file> d = C_Dialog_file::create_open(form, "OPEN");
  d->initial_dir = beside.path();
  bool chosen = false;
  EXPECT_TRUE(stalled.ends_while_stalled([&] {
    test_events::answer_next_file_dialog(true, {"a.jpg"});
    chosen = d->execute();
  }));
  EXPECT_TRUE(chosen);
  EXPECT_EQ(d->file_name, beside.file("a.jpg"));
  EXPECT_FALSE(stalled.asked_by_this_process());
  EXPECT_TRUE(no_listing_left());
}

// A mount that does not answer in the folder a dialog shows holds the
// dialog's listing, which runs on a thread of its own; the dialog still
// closes at once, open and directory dialog alike, and its listing goes
// once the mount answers.
TEST_F(Dialog_file_window, ADialogOverAStalledMountClosesWithoutWaitingForIt) {
  brek_test::Temp_dir parent;
  ASSERT_TRUE(brek_test::write_file(parent.file("a.jpg"), "x"));
  std::filesystem::create_directory(parent.file("sub"));
  brek_test::Env_guard tmp("TMPDIR", parent.path());
  brek_test::Stalled_mount stalled;
  if (!stalled.mounted()) GTEST_SKIP() << stalled.failure();
  Ref<C_Dialog_file> open = C_Dialog_file::create_open(form, "OPEN");
  open->initial_dir = parent.path();
  Ref<C_Dialog_dir> folder = C_Dialog_dir::create(form, "DIR");
  folder->directory = parent.path();
  bool opened = false, chosen = false;
  EXPECT_TRUE(stalled.ends_while_stalled([&] {
    test_events::answer_next_file_dialog(true, {"a.jpg"});
    opened = open->execute();
    test_events::answer_next_file_dialog(true, {parent.file("sub")});
    chosen = folder->execute();
  }));
  EXPECT_TRUE(opened);
  EXPECT_EQ(open->file_name, parent.file("a.jpg"));
  EXPECT_TRUE(chosen);
  EXPECT_EQ(folder->directory, parent.file("sub"));
  EXPECT_TRUE(stalled.asked_by_this_process());
  EXPECT_TRUE(no_listing_left());
}

TEST_F(Dialog_file_window, TheDirectoryDialogStartsAtTheSelectedDirectory) {
  Ref<C_Dialog_dir> d = C_Dialog_dir::create(form, "DIR");
  d->caption = "Where to";
  d->initial_dir = "/no/such/place";
  d->directory = dir.path();
  EXPECT_EQ(d->start_directory(), dir.path());

  test_events::File_dialog_seen seen;
  test_events::answer_next_file_dialog(true, {dir.file("sub")}, &seen);
  ASSERT_TRUE(d->execute());
  EXPECT_EQ(d->directory, dir.file("sub"));
  EXPECT_TRUE(seen.directories);
  EXPECT_TRUE(seen.own_widgets);
  EXPECT_EQ(seen.title, "Where to");
  EXPECT_EQ(seen.directory, dir.path());

  test_events::answer_next_file_dialog(false);
  EXPECT_FALSE(d->execute());
  EXPECT_EQ(d->directory, dir.file("sub"));

  // Neither given directory exists: the home directory.
  d->directory = "/no/such/either";
  EXPECT_EQ(d->start_directory(), "");
  d->initial_dir = dir.path();
  EXPECT_EQ(d->start_directory(), dir.path());
}
