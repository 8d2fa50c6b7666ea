#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "baselib/date_time.h"
#include "baselib/localize_str.h"
#include "runtime/clock.h"
#include "runtime/runtime_services.h"
#include "runtime/unicode.h"
#include "tests/support/entry_changes.h"
#include "tests/support/temp_dir.h"

using namespace brek;
namespace L = brek::Localize_str;
using brek_test::read_file;
using brek_test::Temp_dir;
using brek_test::write_file;

namespace {

const std::string BOM = "\xEF\xBB\xBF";

// Each test starts from the English table with its own language directory.
class Language : public ::testing::Test {
 protected:
  void SetUp() override {
    L::reset_to_english();
    L::allow_write_again();
    L::set_language_directory(dir.path());
  }
  void TearDown() override {
    L::reset_to_english();
    L::set_language_directory("");
    std::error_code ec;
    std::filesystem::remove_all(L::fallback_directory(), ec);
  }
  std::string crlf(std::initializer_list<std::string> lines) {
    std::string s;
    for (const auto& l : lines) s += l + "\r\n";
    return s;
  }
  DynAStr as_list(std::initializer_list<std::string> lines) { return DynAStr(lines); }
  Temp_dir dir;
};

}  // namespace

TEST_F(Language, WithoutFilesEveryTextIsEnglish) {
  EXPECT_EQ(L::text(lng::Collage_viewer::Wheel_dn), "Wheel down");
  EXPECT_EQ(L::text(lng::Long_operation::Cancel), "Cancel");
  EXPECT_EQ(L::text(lng::Collage_viewer::SECTION), "");
  EXPECT_EQ(L::key(lng::Collage_viewer::SECTION), "[{Collage_viewer}]");
  EXPECT_TRUE(L::is_section(lng::Print_dialog::SECTION));
  EXPECT_EQ(L::text(-1), "");
  EXPECT_EQ(L::text(177), "");
  DynAStr lines = L::table_as_lines();
  ASSERT_EQ(lines.count(), 177);
  EXPECT_EQ(lines.get(0), "[{Collage_viewer}]");
  EXPECT_EQ(lines.get(1), "files=files");
  EXPECT_EQ(lines.get(176), "Select_directory=Select directory");
  EXPECT_FALSE(L::load_language("DE", "", false));
  EXPECT_EQ(L::text(lng::Collage_viewer::files), "files");
}

TEST_F(Language, LinesApplyWithinTheirSectionOnly) {
  L::apply_lines(as_list({"Scale=Skala", "[{Long_operation}]", "Cancel=Abbrechen", "no equals sign", "Unknown=x",
                          "[{Not_a_section}]", "Cancel=wrong", "[{Edit_collage_print}] trailing", "Zoom=Zoom...!"}),
                 "");
  EXPECT_EQ(L::text(lng::Collage_viewer::Scale), "Skala");  // before the first section line
  EXPECT_EQ(L::text(lng::Long_operation::Cancel), "Abbrechen");
  EXPECT_EQ(L::text(lng::Select_directory_dialog::Cancel), "Cancel");
  EXPECT_EQ(L::text(lng::Edit_collage_print::Zoom), "Zoom...!");

  L::apply_lines(as_list({"[{Edit_collage_print}]", "SelectAll=Alle", "Select=Wahl", "Save=Sichern"}), "Sel");
  EXPECT_EQ(L::text(lng::Edit_collage_print::SelectAll), "Alle");
  EXPECT_EQ(L::text(lng::Edit_collage_print::Select), "Wahl");
  EXPECT_EQ(L::text(lng::Edit_collage_print::Save), "Save");
}

TEST_F(Language, AnEmptyTranslationStaysAKey) {
  L::apply_lines(as_list({"[{Long_operation}]", "Started=", "Pause1=Pausieren", "PleaseWait=Bitte warten"}), "");
  EXPECT_EQ(L::text(lng::Long_operation::Started), "");
  EXPECT_EQ(L::text(lng::Long_operation::Pause1), "Pausieren");
  DynAStr lines = L::table_as_lines();
  EXPECT_EQ(lines.get(lng::Long_operation::Started), "Started=");
  // Keys after it still take translations.
  L::apply_lines(as_list({"[{Long_operation}]", "ClickOK=OK klicken"}), "");
  EXPECT_EQ(L::text(lng::Long_operation::ClickOK), "OK klicken");
}

TEST_F(Language, FilesAreFoundByCodeAndLanguagesListed) {
  ASSERT_TRUE(write_file(dir.file("Deutsch_DE.lng"),
                         BOM + crlf({"[{Collage_viewer}]", "files=Dateien", "[{Long_operation}]", "Cancel=Abbrechen"})));
  ASSERT_TRUE(write_file(dir.file("English_EN.lng"), crlf({"[{Collage_viewer}]", "files=files"})));
  ASSERT_TRUE(write_file(dir.file("notes.txt"), "x"));
  EXPECT_EQ(L::find_language_file(dir.path() + "/", "de"), dir.file("Deutsch_DE.lng"));
  EXPECT_TRUE(L::load_language("de", "", false));
  EXPECT_EQ(L::text(lng::Collage_viewer::files), "Dateien");
  EXPECT_EQ(L::text(lng::Long_operation::Cancel), "Abbrechen");
  EXPECT_EQ(L::available_languages(), "Deutsch;DE;English;EN");

  // Switching language starts again from English.
  EXPECT_TRUE(L::load_language("EN"));
  EXPECT_EQ(L::text(lng::Long_operation::Cancel), "Cancel");
  EXPECT_TRUE(L::load_language_file("DE", "Deutsch"));
  EXPECT_EQ(L::text(lng::Collage_viewer::files), "Dateien");
  EXPECT_FALSE(L::load_language_file("DE", "German"));
}

TEST_F(Language, FallbackDirectoryWhenTheLanguageDirectoryHasNone) {
  std::filesystem::create_directories(L::fallback_directory());
  ASSERT_TRUE(write_file(L::fallback_directory() + "Espanol_ES.lng", crlf({"files=archivos"})));
  EXPECT_EQ(L::available_languages(), "Espanol;ES");
  EXPECT_TRUE(L::load_language("es", "", false));
  EXPECT_EQ(L::text(lng::Collage_viewer::files), "archivos");
}

TEST_F(Language, FilesInOtherEncodingsKeepTheirCharacters) {
  // No mark and not UTF-8: the Windows code page.
  ASSERT_TRUE(write_file(dir.file("Deutsch_DE.lng"), "[{Long_operation}]\r\nCancel=Schlie\xDF" "en \x80\r\n"));
  EXPECT_TRUE(L::load_language("DE", "", false));
  EXPECT_EQ(L::text(lng::Long_operation::Cancel), "Schließen €");
  // UTF-16 with its mark, lines ending in LF only.
  std::string utf16 = "\xFF\xFE";
  for (char16_t u : Unicode::to_utf16("[{Long_operation}]\nPause=Päuse 😀\n")) {
    utf16 += static_cast<char>(u & 0xFF);
    utf16 += static_cast<char>(u >> 8);
  }
  ASSERT_TRUE(write_file(dir.file("X_XX.lng"), utf16));
  EXPECT_TRUE(L::load_language("XX", "", false));
  EXPECT_EQ(L::text(lng::Long_operation::Pause), "Päuse 😀");
  // UTF-8 without a mark.
  ASSERT_TRUE(write_file(dir.file("Russian_RU.lng"), "[{Long_operation}]\nPause=Пауза\n"));
  EXPECT_TRUE(L::load_language("RU", "", false));
  EXPECT_EQ(L::text(lng::Long_operation::Pause), "Пауза");
}

TEST_F(Language, ALoneCarriageReturnEndsALine) {
  // Old Mac line ends, also mixed with the others.
  ASSERT_TRUE(write_file(dir.file("Deutsch_DE.lng"),
                         "[{Long_operation}]\rCancel=Abbrechen\r\rPause=Pausieren\r\nStarted=Begonnen\nClickOK=OK"));
  EXPECT_TRUE(L::load_language("DE", "", false));
  EXPECT_EQ(L::text(lng::Long_operation::Cancel), "Abbrechen");
  EXPECT_EQ(L::text(lng::Long_operation::Pause), "Pausieren");
  EXPECT_EQ(L::text(lng::Long_operation::Started), "Begonnen");
  EXPECT_EQ(L::text(lng::Long_operation::ClickOK), "OK");
  DynAStr lines = L::read_lines(dir.file("Deutsch_DE.lng"));
  EXPECT_EQ(lines.count(), 6);
  EXPECT_EQ(lines.get(2), "");
}

TEST_F(Language, TheTableIsWrittenOncePerRun) {
  L::write_language_file("", "Default");
  std::string written = read_file(dir.file("Default_.lng"));
  ASSERT_EQ(written.substr(0, 3), BOM);
  EXPECT_EQ(written.substr(3, 29), "[{Collage_viewer}]\r\nfiles=fil");
  EXPECT_EQ(written.substr(written.size() - 35), "Select_directory=Select directory\r\n");
  EXPECT_EQ(L::read_lines(dir.file("Default_.lng")).count(), 177);
  ASSERT_TRUE(write_file(dir.file("Default_.lng"), "changed"));
  L::load_language("EN", "", true);  // writes nothing again in this run
  EXPECT_EQ(read_file(dir.file("Default_.lng")), "changed");
}

TEST_F(Language, AnUnwritableDirectoryFallsBackToThePerUserOne) {
  L::set_language_directory(dir.file("missing"));
  L::write_language_file("", "Default");
  EXPECT_EQ(L::read_lines(L::fallback_directory() + "Default_.lng").count(), 177);
}

TEST_F(Language, OtherFilesFollowAChangedTable) {
  brek::Brek_runtime::Test_clock clock;
  std::string stamp = " // did not used ? " + Date_time::to_text(Date_time::now());
  // The table as written last time lacked a key: the table has changed.
  DynAStr old_table = L::table_as_lines();
  old_table.remove(lng::Collage_viewer::LandR2, 1);
  ASSERT_TRUE(L::write_lines(dir.file("Default_.lng"), old_table));
  // Obsolete key (taken out; nothing added in the same run) and unknown
  // section (marked, its lines kept).
  ASSERT_TRUE(write_file(dir.file("Deutsch_DE.lng"),
                         BOM + crlf({"[{Collage_viewer}]", "files=Dateien", "Obsolete=weg", "comment line",
                                     "[{Gone}]", "K=v"})));
  // Missing keys and sections.
  ASSERT_TRUE(write_file(dir.file("Francais_FR.lng"), crlf({"[{Collage_viewer}]", "files=fichiers"})));

  L::write_language_file("", "Default");

  DynAStr de = L::read_lines(dir.file("Deutsch_DE.lng"));
  ASSERT_EQ(de.count(), 5);
  EXPECT_EQ(de.get(1), "files=Dateien");
  EXPECT_EQ(de.get(2), "comment line");
  EXPECT_EQ(de.get(3), "[{Gone}]" + stamp);
  EXPECT_EQ(de.get(4), "K=v");

  DynAStr fr = L::read_lines(dir.file("Francais_FR.lng"));
  ASSERT_EQ(fr.count(), 177);
  EXPECT_EQ(fr.get(0), "[{Collage_viewer}]");
  EXPECT_EQ(fr.get(1), "LandR2=Left + Right mouse click");  // later keys first
  EXPECT_EQ(fr.get(2), "Exit_2=Exit");
  EXPECT_EQ(fr.get(26), "Scale=Scale");
  EXPECT_EQ(fr.get(27), "files=fichiers");
  EXPECT_EQ(fr.get(28), "[{Image_load}]");
  EXPECT_EQ(fr.get(29), "CanNotLoadToSave=Can not load image to save");
  EXPECT_EQ(fr.get(176), "Select_directory=Select directory");
  EXPECT_EQ(read_file(dir.file("Francais_FR.lng")).substr(0, 3), BOM);
}

TEST_F(Language, AnOldCodePageFileKeepsItsCharactersWhenBroughtUpToDate) {
  DynAStr old_table = L::table_as_lines();
  old_table.remove(lng::Collage_viewer::LandR2, 1);
  ASSERT_TRUE(L::write_lines(dir.file("Default_.lng"), old_table));
  // No mark and not UTF-8: "ß" and "€" as single Windows-1252 bytes.
  ASSERT_TRUE(write_file(dir.file("Deutsch_DE.lng"),
                         "[{Long_operation}]\r\nCancel=Schlie\xDF" "en \x80\r\nObsolete=weg\r\n"));
  L::write_language_file("", "Default");
  DynAStr de = L::read_lines(dir.file("Deutsch_DE.lng"));
  ASSERT_EQ(de.count(), 2);  // the obsolete key went
  EXPECT_EQ(de.get(0), "[{Long_operation}]");
  EXPECT_EQ(de.get(1), "Cancel=Schließen €");
  EXPECT_TRUE(L::load_language("DE", "", false));
  EXPECT_EQ(L::text(lng::Long_operation::Cancel), "Schließen €");
}

TEST_F(Language, AnUnchangedTableLeavesOtherFilesAlone) {
  ASSERT_TRUE(L::write_lines(dir.file("Default_.lng"), L::table_as_lines()));
  std::string fr = "[{Collage_viewer}]\r\nfiles=fichiers\r\nObsolete=1\r\n";
  ASSERT_TRUE(write_file(dir.file("Francais_FR.lng"), fr));
  L::write_language_file("", "Default");
  EXPECT_EQ(read_file(dir.file("Francais_FR.lng")), fr);
}

TEST_F(Language, TableComparisonIgnoresTrailingBlanksAndOrderWithinSections) {
  DynAStr a{"[{A}]", "x=1", "y=2", "[{B}]", "z=3"};
  EXPECT_FALSE(L::table_changed(a, DynAStr{"[{A}]", "y=2 ", "x=1", "[{B}]", "z=3"}));
  EXPECT_TRUE(L::table_changed(a, DynAStr{"[{A}]", "x=1", "[{B}]", "y=2", "z=3"}));
  EXPECT_TRUE(L::table_changed(a, DynAStr{"[{A}]", "x=1", "y=2", "[{B}]"}));
  EXPECT_EQ(L::find_section(a, "[{B}] anything"), 3);
  EXPECT_EQ(L::find_section(a, "[{C}]"), -1);
}

// Root reads a file of mode 000 all the same: the update then runs as an
// ordinary user, the way the failure is met on a desktop.
TEST_F(Language, ATranslationThatCannotBeReadIsLeftAloneAndReported) {
  DynAStr old_table = L::table_as_lines();
  old_table.remove(lng::Collage_viewer::LandR2, 1);
  ASSERT_TRUE(L::write_lines(dir.file("English_EN.lng"), old_table));
  const std::string german = BOM + crlf({"[{Collage_viewer}]", "files=Dateien"});
  ASSERT_TRUE(write_file(dir.file("Deutsch_DE.lng"), german));
  std::filesystem::permissions(dir.path(), std::filesystem::perms::all);
  std::filesystem::permissions(dir.file("Deutsch_DE.lng"), std::filesystem::perms::none);

  std::vector<std::string> said;
  brek::Brek_runtime::set_line_writer([&](const std::string& s) { said.push_back(s); });
  {
    struct As_user {
      bool root = geteuid() == 0;
      bool ok = !root || seteuid(65534) == 0;
      ~As_user() {
        if (root) (void)seteuid(0);
      }
    } user;
    ASSERT_TRUE(user.ok);
    L::write_language_file("EN", "English");
  }
  brek::Brek_runtime::set_line_writer({});

  EXPECT_EQ(L::read_lines(dir.file("English_EN.lng")).count(), 177);
  std::filesystem::permissions(dir.file("Deutsch_DE.lng"), std::filesystem::perms::owner_read);
  EXPECT_EQ(read_file(dir.file("Deutsch_DE.lng")), german);
  ASSERT_EQ(said.size(), 1u);
  EXPECT_NE(said[0].find(dir.file("Deutsch_DE.lng")), std::string::npos) << said[0];
}

// The cap holds for what is read, not for what the size said: a file that
// another program grows (or a name swapped for a larger file) after its
// size was seen, as the reading starts, is refused whole, with why.
TEST_F(Language, AFileGrownPastTheCapAfterItsSizeWasSeenIsRefused) {
  const std::string file = dir.file("Grown_GR.lng");
  ASSERT_TRUE(write_file(file, crlf({"[{Collage_viewer}]", "Exit_2=Small"})));
  const std::string english = L::text(lng::Collage_viewer::Exit_2);
  bool grown = false, loaded = true;
  const int reads = brek_test::with_reads_held([&] { loaded = L::load_language("GR"); },
                                               [&](const std::string& path) {
                                                 if (path != file || grown) return;
                                                 grown = true;
                                                 std::ofstream out(file, std::ios::app | std::ios::binary);
                                                 const std::string line = "Exit_2=Grown\r\n";
                                                 for (int64_t n = 0; n <= L::MAX_FILE_BYTES; n += int64_t(line.size()))
                                                   out << line;
                                               });
  if (reads < 0) GTEST_SKIP() << "reads cannot be held here (seccomp user notification)";
  ASSERT_TRUE(grown);
  EXPECT_FALSE(loaded);
  EXPECT_EQ(L::text(lng::Collage_viewer::Exit_2), english);
  EXPECT_EQ(L::last_refused().rfind(file + ": Language file not read, it is too large (", 0), 0u) << L::last_refused();
  EXPECT_EQ(L::read_lines(file).count(), 0);
}
