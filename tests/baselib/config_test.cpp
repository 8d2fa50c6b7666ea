#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "baselib/config.h"
#include "baselib/config_store.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tmpfs_mount.h"
#include "tests/support/wait_until.h"

using namespace brek;
using brek_test::Env_guard;
using brek_test::read_file;
using brek_test::Temp_dir;
using brek_test::wait_until;
using brek_test::write_file;
using area = area_where_configuration_is_stored;

namespace {

// Each test gets a configuration home of its own.
class ConfigTest : public ::testing::Test {
 protected:
  std::set<std::string> files_in(const std::string& dir) const {
    std::set<std::string> names;
    std::error_code ec;
    for (auto& e : std::filesystem::recursive_directory_iterator(dir, ec))
      names.insert(std::filesystem::relative(e.path(), dir).string());
    return names;
  }

  // Runs the body in a settings home of its own with the runtime folder,
  // then in another without one.
  static void with_and_without_runtime(const std::function<void(const Temp_dir& home)>& body) {
    const std::string runtime_dir = std::getenv("XDG_RUNTIME_DIR");
    for (const std::string& runtime : {runtime_dir, std::string()}) {
      SCOPED_TRACE(runtime.empty() ? "without a runtime folder" : "with a runtime folder");
      Env_guard env("XDG_RUNTIME_DIR", runtime);
      Temp_dir home;
      Env_guard config_home("XDG_CONFIG_HOME", home.path());
      body(home);
      if (HasFatalFailure()) return;
    }
  }

  Temp_dir home_;
  Env_guard env_{"XDG_CONFIG_HOME", home_.path()};
  // Without a runtime folder the records of writes go to the temporary
  // folder: the test's own.
  Temp_dir tmp_;
  Env_guard tmp_env_{"TMPDIR", tmp_.path()};
};

// Whether the process is blocked waiting for a lock: on the file that fd,
// a descriptor of this process, is open on, or on any file (fd -1). The
// kernel lists each waiting request in /proc/locks with "->" before the
// waiter's pid and the file's "major:minor:inode".
bool waits_for_a_lock(pid_t pid, int fd = -1) {
  struct stat st {};
  if (fd >= 0 && ::fstat(fd, &st) != 0) return false;
  const std::string inode = fd >= 0 ? ":" + std::to_string(st.st_ino) : "";
  std::ifstream locks("/proc/locks");
  for (std::string line; std::getline(locks, line);) {
    std::istringstream fields(line);
    std::string number, arrow, kind, mode, access, who, file;
    if ((fields >> number >> arrow >> kind >> mode >> access >> who >> file) && arrow == "->" &&
        who == std::to_string(pid) && file.size() > inode.size() &&
        file.compare(file.size() - inode.size(), inode.size(), inode) == 0)
      return true;
  }
  return false;
}

// Whether the process has the file open for reading (/proc/<pid>/fdinfo
// gives the flags of each descriptor, in octal).
bool has_open_for_reading(pid_t pid, const std::string& file) {
  const std::string proc = "/proc/" + std::to_string(pid);
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(proc + "/fd", ec)) {
    if (std::filesystem::read_symlink(e.path(), ec) != file) continue;
    std::ifstream info(proc + "/fdinfo/" + e.path().filename().string());
    for (std::string field, flags; info >> field;)
      if (field == "flags:" && info >> flags && (std::stoi(flags, nullptr, 8) & O_ACCMODE) == O_RDONLY) return true;
  }
  return false;
}

}  // namespace

TEST_F(ConfigTest, KeyPaths) {
  auto main = C_Config::open_read("Collage_viewer", area::USER, "Main");
  EXPECT_EQ(main->key_path(), "HKEY_CURRENT_USER\\Software\\Collage_viewer\\Main");
  EXPECT_EQ(main->file_path(), home_.path() + "/Collage_viewer/Collage_viewer.conf");
  EXPECT_TRUE(main->read_only());
  EXPECT_TRUE(main->create_keys());

  const std::string version = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
  EXPECT_EQ(C_Config::open_read("", area::MACHINE, version)->key_path(), version);
  EXPECT_EQ(C_Config::open_read("App", area::MACHINE, "Sec")->key_path(), "HKEY_LOCAL_MACHINE\\Sec");
  // The root name in lower case is no whole path.
  EXPECT_EQ(C_Config::open_read("App", area::USER, "hkey_users\\x")->key_path(),
            "HKEY_CURRENT_USER\\Software\\App\\hkey_users\\x");
  EXPECT_EQ(C_Config::open_read("App", static_cast<area>(7), "Any\\Thing")->key_path(), "Any\\Thing");

  Config_store::Location loc = Config_store::locate(version);
  EXPECT_EQ(loc.file, home_.path() + "/registry/HKEY_LOCAL_MACHINE/SOFTWARE.conf");
  EXPECT_EQ(loc.section, "Microsoft\\Windows NT\\CurrentVersion");
  EXPECT_EQ(Config_store::locate("HKEY_CURRENT_USER\\Software\\a/b\\").file, home_.path() + "/a%2Fb/a%2Fb.conf");
  EXPECT_EQ(Config_store::locate("HKEY_CURRENT_USER\\Software\\..\\x").file, home_.path() + "/%2E%2E/%2E%2E.conf");
  EXPECT_EQ(Config_store::locate("HKEY_NOWHERE\\Software\\App").file, "");
  EXPECT_EQ(Config_store::locate("HKEY_USERS\\").file, "");
}

TEST_F(ConfigTest, TypedValuesSurviveAReopen) {
  const std::string text = "Ünïcode \"quoted\" back\\slash = ; # [x]\nsecond line\ttab";
  {
    auto w = C_Config::open_write("Collage_viewer", area::USER, "Main");
    w->write_string("Language", text);
    w->write_integer("Big", (int64_t{1} << 32) + 5);
    w->write_integer("Minus", -1);
    w->write_integer("Top", 4294967295LL);
    w->write_boolean("Flag", true);
    w->write_boolean("Off", false);
    w->write_real("Scale", 0.5);
    w->write_real("Third", 1.0 / 3.0);
    w->write_real("Whole", 2.0);
    w->write_string("", "unnamed");
  }
  auto r = C_Config::open_read("Collage_viewer", area::USER, "Main");
  EXPECT_EQ(r->read_string("Language"), text);
  EXPECT_EQ(r->read_integer("Big"), 5);
  EXPECT_EQ(r->read_integer("Minus"), -1);
  EXPECT_EQ(r->read_integer("Top"), -1);
  EXPECT_TRUE(r->read_boolean("Flag"));
  EXPECT_FALSE(r->read_boolean("Off"));
  EXPECT_TRUE(r->exists("Off"));
  EXPECT_EQ(r->read_real_value("Scale"), 0.5);
  EXPECT_EQ(r->read_real_value("Third"), 1.0 / 3.0);
  EXPECT_EQ(r->read_string("Scale"), "0.5");
  EXPECT_EQ(r->read_string("Whole"), "2");
  EXPECT_EQ(r->read_string(""), "unnamed");
  // Names match whatever their letter case, as in a registry.
  EXPECT_EQ(r->read_integer("BIG"), 5);

  std::string file = read_file(r->file_path());
  EXPECT_NE(file.find("[Main]\n"), std::string::npos);
  EXPECT_NE(file.find("Big = 5\n"), std::string::npos);
  EXPECT_NE(file.find("Scale = \"0.5\"\n"), std::string::npos);
}

TEST_F(ConfigTest, MissingAndMistypedValuesReadAsFallbacks) {
  auto w = C_Config::open_write("App", area::USER, "S");
  w->write_string("Text", "12");
  w->write_integer("Number", 7);
  auto r = C_Config::open_read("App", area::USER, "S");
  EXPECT_EQ(r->read_integer("Text"), 0);
  EXPECT_FALSE(r->read_boolean("Text"));
  EXPECT_EQ(r->read_string("Number"), "");
  EXPECT_EQ(r->read_real_value("Number"), 7.0);  // a bare whole number, as a person may write it
  EXPECT_EQ(r->read_string("Missing"), "");
  EXPECT_EQ(r->read_integer("Missing"), 0);
  EXPECT_FALSE(r->read_boolean("Missing"));
  EXPECT_EQ(r->read_real_value("Missing"), 0.0);
  EXPECT_FALSE(r->exists("Missing"));
  // Another section of the same application keeps its own values.
  auto other = C_Config::open_read("App", area::USER, "T");
  EXPECT_FALSE(other->exists("Number"));
}

TEST_F(ConfigTest, ReadOnlyObjectsAndUnknownRootsChangeNothing) {
  auto r = C_Config::open_read("App", area::USER, "S");
  r->write_string("A", "x");
  r->write_integer("B", 1);
  r->write_boolean("C", true);
  r->write_real("D", 1.5);
  EXPECT_FALSE(r->exists("A"));
  Ref<C_Config> none;
  none->write_string("A", "x");
  EXPECT_EQ(none->read_string("A"), "");
  auto nowhere = C_Config::open_write("App", area::USER, "HKEY_NOWHERE\\App");
  nowhere->write_string("A", "x");
  EXPECT_EQ(nowhere->read_string("A"), "");
  // Reading never creates anything either.
  EXPECT_EQ(r->read_string("A"), "");
  EXPECT_TRUE(files_in(home_.path()).empty());
}

TEST_F(ConfigTest, EditsOfAPersonAreKept) {
  std::filesystem::create_directories(home_.file("App"));
  ASSERT_TRUE(write_file(home_.file("App/App.conf"),
                         "# my notes\r\n"
                         "Top = 3\n"
                         "[main]\n"
                         "  width =  640  # pixels\n"
                         "name = plain words # said so\n"
                         "this line means nothing\n"
                         "\n"
                         "# about the next section\n"
                         "[Other]\n"
                         "\"odd = name\" = \"v\\x41\"\n"));
  auto r = C_Config::open_read("App", area::USER, "Main");
  EXPECT_EQ(r->read_integer("Width"), 640);
  EXPECT_EQ(r->read_string("name"), "plain words");
  EXPECT_EQ(C_Config::open_read("App", area::USER, "Other")->read_string("odd = name"), "vA");
  EXPECT_EQ(C_Config::open_read("App", area::USER, "")->read_integer("Top"), 3);

  auto w = C_Config::open_write("App", area::USER, "Main");
  w->write_integer("Height", 480);
  w->write_integer("WIDTH", 800);
  C_Config::open_write("App", area::USER, "")->write_string("Lang", "de");
  EXPECT_EQ(read_file(home_.file("App/App.conf")),
            "# my notes\n"
            "Top = 3\n"
            "Lang = \"de\"\n"
            "[main]\n"
            "width = 800\n"
            "name = plain words # said so\n"
            "Height = 480\n"
            "this line means nothing\n"
            "\n"
            "# about the next section\n"
            "[Other]\n"
            "\"odd = name\" = \"v\\x41\"\n");  // untouched lines stay as written
}

TEST(ConfigFormat, EveryByteAndNameRoundTrips) {
  std::string all;
  for (int c = 1; c < 256; ++c) all += static_cast<char>(c);
  all += '\0';
  Config_store::Value v;
  v.text = all;
  for (const std::string name : {"plain", " padded ", "[bracket", "#hash", "a=b", "quote\"d", "tab\there"}) {
    for (const std::string section : {"", "Main", "a]b", "\"q\"", " s "}) {
      std::string text = Config_store::set_in_text("", section, name, v);
      auto back = Config_store::find_in_text(text, section, name);
      ASSERT_TRUE(back.has_value()) << text;
      EXPECT_EQ(back->text, all);
      EXPECT_FALSE(back->is_integer);
    }
  }
  bool changed = true;
  std::string text = Config_store::set_in_text("", "S", "n", v);
  EXPECT_EQ(Config_store::set_in_text(text, "S", "n", v, &changed), text);
  EXPECT_FALSE(changed);
}

TEST_F(ConfigTest, WritersDoNotLoseEachOthersValues) {
  with_and_without_runtime([&](const Temp_dir& home) {
    constexpr int kWriters = 4, kEach = 25;
    std::vector<std::thread> threads;
    for (int w = 0; w < kWriters; ++w) {
      threads.emplace_back([w] {
        for (int i = 0; i < kEach; ++i) {
          auto c = C_Config::open_write("Busy", area::USER, "S" + std::to_string(w % 2));
          c->write_integer("K" + std::to_string(w) + "_" + std::to_string(i), w * 1000 + i);
        }
      });
    }
    for (auto& t : threads) t.join();
    for (int w = 0; w < kWriters; ++w) {
      auto c = C_Config::open_read("Busy", area::USER, "S" + std::to_string(w % 2));
      for (int i = 0; i < kEach; ++i)
        EXPECT_EQ(c->read_integer("K" + std::to_string(w) + "_" + std::to_string(i)), w * 1000 + i);
    }
    // Only the store remains: no temporary file was left over, and no lock.
    EXPECT_EQ(files_in(home.file("Busy")), (std::set<std::string>{"Busy.conf"}));
  });
}

namespace {

// Runs `work` in a process of its own, which exits with 0 when the work
// returned true, 1 when it returned false and 2 when it threw.
pid_t in_a_process(const std::function<bool()>& work) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    int code = 2;
    try {
      code = work() ? 0 : 1;
    } catch (...) {
    }
    ::_exit(code);
  }
  return pid;
}

// How a process of in_a_process ended: "exit 0" when its work went well.
std::string how_it_ended(pid_t pid) {
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) != pid) return "not started";
  if (WIFSIGNALED(status)) return "killed by signal " + std::to_string(WTERMSIG(status));
  return "exit " + std::to_string(WEXITSTATUS(status));
}

std::string key_of(const std::string& who, int i) { return who + "_" + std::to_string(i); }

// Writes keys who_0 .. who_<count-1> (value i + 1) one by one, reading
// each back at once; false when one read back wrong.
bool write_and_read_back(const std::string& who, int count) {
  for (int i = 0; i < count; ++i) {
    C_Config::open_write("Shared", area::USER, "S")->write_integer(key_of(who, i), i + 1);
    if (C_Config::open_read("Shared", area::USER, "S")->read_integer(key_of(who, i)) != i + 1) return false;
  }
  return true;
}

}  // namespace

TEST_F(ConfigTest, WritersAndReadersWithoutARuntimeFolderAllEndNormally) {
  // No runtime folder, as under su or cron.
  Env_guard no_runtime("XDG_RUNTIME_DIR", "");
  constexpr int kWriters = 2, kReaders = 3, kEach = 80;
  std::vector<pid_t> writers, readers;
  for (int w = 0; w < kWriters; ++w)
    writers.push_back(in_a_process([w] { return write_and_read_back("W" + std::to_string(w), kEach); }));
  // Instances that only read, as each one starting does, until the
  // writers are done.
  const std::string done = home_.file("writers-done");
  for (int r = 0; r < kReaders; ++r)
    readers.push_back(in_a_process([done] {
      while (!std::filesystem::exists(done)) C_Config::open_read("Shared", area::USER, "S")->read_integer("W0_0");
      return true;
    }));
  for (pid_t w : writers) EXPECT_EQ(how_it_ended(w), "exit 0");
  ASSERT_TRUE(write_file(done, ""));
  for (pid_t r : readers) EXPECT_EQ(how_it_ended(r), "exit 0");

  auto r = C_Config::open_read("Shared", area::USER, "S");
  int lost = 0;
  for (int w = 0; w < kWriters; ++w)
    for (int i = 0; i < kEach; ++i) lost += r->read_integer(key_of("W" + std::to_string(w), i)) != i + 1;
  EXPECT_EQ(lost, 0);
  EXPECT_EQ(files_in(home_.file("Shared")), (std::set<std::string>{"Shared.conf"}));
}

namespace {

// A process that writes one value to App/App.conf under the runtime
// folder given ("" for none); `not_its_own`, a descriptor of the test, is
// closed in it.
pid_t writer_under(const std::string& runtime, const std::string& name, int value, int not_its_own = -1) {
  Env_guard env("XDG_RUNTIME_DIR", runtime);
  return in_a_process([&] {
    if (not_its_own >= 0) ::close(not_its_own);
    C_Config::open_write("App", area::USER, "S")->write_integer(name, value);
    return true;
  });
}

}  // namespace

TEST_F(ConfigTest, AnInstanceWithARuntimeFolderAndOneWithoutWaitForEachOther) {
  const std::string runtime = std::getenv("XDG_RUNTIME_DIR");
  for (const auto& [first, second] : {std::pair{runtime, std::string()}, std::pair{std::string(), runtime}}) {
    Temp_dir home;
    Env_guard config_home("XDG_CONFIG_HOME", home.path());
    // The store is a pipe for now: the first writer, its lock held, waits
    // in reading it until the test writes the text.
    std::filesystem::create_directories(home.file("App"));
    const std::string store = home.file("App/App.conf");
    ASSERT_EQ(::mkfifo(store.c_str(), 0600), 0);
    const pid_t first_writer = writer_under(first, "First", 1);
    int pipe = -1;
    const bool reading =
        wait_until([&] { return (pipe = ::open(store.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC)) >= 0; });
    if (!reading) ::kill(first_writer, SIGKILL);  // not left waiting for the pipe
    ASSERT_TRUE(reading);

    // The second waits for the lock, instead of reading the store too.
    const pid_t second_writer = writer_under(second, "Second", 2, pipe);
    EXPECT_TRUE(
        wait_until([&] { return waits_for_a_lock(second_writer) || has_open_for_reading(second_writer, store); }));
    EXPECT_TRUE(waits_for_a_lock(second_writer)) << (first.empty() ? "the first without" : "the first with")
                                                  << " a runtime folder";
    const std::string text = "[S]\nOld = 3\n";
    EXPECT_EQ(::write(pipe, text.data(), text.size()), ssize_t(text.size()));
    ::close(pipe);
    const std::string first_ended = how_it_ended(first_writer), second_ended = how_it_ended(second_writer);
    // Otherwise the store may still be the pipe.
    ASSERT_EQ(first_ended, "exit 0");
    ASSERT_EQ(second_ended, "exit 0");

    auto r = C_Config::open_read("App", area::USER, "S");
    EXPECT_EQ(r->read_integer("Old"), 3);
    EXPECT_EQ(r->read_integer("First"), 1);
    EXPECT_EQ(r->read_integer("Second"), 2);
    EXPECT_EQ(files_in(home.file("App")), (std::set<std::string>{"App.conf"}));
  }
}

TEST_F(ConfigTest, TheLockLeavesNothingInTheSettingsFolder) {
  C_Config::open_write("App", area::USER, "S")->write_integer("A", 1);
  EXPECT_EQ(files_in(home_.file("App")), (std::set<std::string>{"App.conf"}));

  // Without a runtime folder, too: the folder itself is locked.
  Env_guard no_runtime("XDG_RUNTIME_DIR", "");
  C_Config::open_write("App", area::USER, "S")->write_integer("B", 2);
  EXPECT_EQ(C_Config::open_read("App", area::USER, "S")->read_integer("A"), 1);
  EXPECT_EQ(C_Config::open_read("App", area::USER, "S")->read_integer("B"), 2);
  EXPECT_EQ(files_in(home_.file("App")), (std::set<std::string>{"App.conf"}));

  // An older version's lock there (it is empty) is taken, and left.
  ASSERT_TRUE(write_file(home_.file("App/App.conf.lock"), ""));
  C_Config::open_write("App", area::USER, "S")->write_integer("C", 3);
  EXPECT_EQ(C_Config::open_read("App", area::USER, "S")->read_integer("C"), 3);
  EXPECT_EQ(files_in(home_.file("App")), (std::set<std::string>{"App.conf", "App.conf.lock"}));
  EXPECT_EQ(read_file(home_.file("App/App.conf.lock")), "");
}

TEST_F(ConfigTest, AWriteWaitsForAnOlderVersionHoldingTheLockBesideTheStore) {
  // An older version locks "<store>.lock" and is writing its temporary.
  std::filesystem::create_directories(home_.file("App"));
  ASSERT_TRUE(write_file(home_.file("App/App.conf"), "[S]\nA = 1\n"));
  const std::string beside = home_.file("App/App.conf.lock");
  int old_lock = ::open(beside.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  ASSERT_GE(old_lock, 0);
  ASSERT_EQ(::flock(old_lock, LOCK_EX), 0);
  const std::string old_tmp = home_.file("App/.App.conf.oLd123");
  ASSERT_TRUE(write_file(old_tmp, "[S]\nA = 1\nOld = 2\n"));

  std::thread writer([] { C_Config::open_write("App", area::USER, "S")->write_integer("New", 3); });
  EXPECT_TRUE(wait_until([&] { return waits_for_a_lock(::getpid(), old_lock); }));
  EXPECT_TRUE(std::filesystem::exists(old_tmp));
  EXPECT_EQ(std::rename(old_tmp.c_str(), home_.file("App/App.conf").c_str()), 0);
  ::close(old_lock);
  writer.join();

  auto r = C_Config::open_read("App", area::USER, "S");
  EXPECT_EQ(r->read_integer("A"), 1);
  EXPECT_EQ(r->read_integer("Old"), 2);
  EXPECT_EQ(r->read_integer("New"), 3);
  // The older version may still run: its lock stays where it looks for it.
  EXPECT_TRUE(std::filesystem::exists(beside));
}

TEST_F(ConfigTest, TwoSpellingsOfTheSettingsFolderShareOneLock) {
  C_Config::open_write("App", area::USER, "S")->write_integer("A", 1);
  // Hold every lock in the runtime folder, this store's among them.
  const std::string locks = std::string(std::getenv("XDG_RUNTIME_DIR")) + "/settings-locks";
  std::vector<int> held;
  for (const auto& e : std::filesystem::directory_iterator(locks)) {
    int fd = ::open(e.path().c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    held.push_back(fd);
  }
  ASSERT_FALSE(held.empty());
  // The same folder spelled otherwise, as a home given with "/." would.
  Env_guard other_spelling("XDG_CONFIG_HOME", home_.path() + "/.");
  std::thread writer([] { C_Config::open_write("App", area::USER, "S")->write_integer("B", 2); });
  EXPECT_TRUE(wait_until([&] {
    return std::any_of(held.begin(), held.end(), [](int fd) { return waits_for_a_lock(::getpid(), fd); });
  }));
  EXPECT_EQ(C_Config::open_read("App", area::USER, "S")->read_integer("B"), 0);
  for (int fd : held) ::close(fd);
  writer.join();
  EXPECT_EQ(C_Config::open_read("App", area::USER, "S")->read_integer("A"), 1);
  EXPECT_EQ(C_Config::open_read("App", area::USER, "S")->read_integer("B"), 2);

  // The settings folder, spelled the first way, is locked by a write too.
  const int folder = ::open(home_.file("App").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(folder, 0);
  ASSERT_EQ(::flock(folder, LOCK_EX), 0);
  std::thread third([] { C_Config::open_write("App", area::USER, "S")->write_integer("C", 3); });
  EXPECT_TRUE(wait_until([&] { return waits_for_a_lock(::getpid(), folder); }));
  ::close(folder);
  third.join();
  EXPECT_EQ(C_Config::open_read("App", area::USER, "S")->read_integer("C"), 3);
}

TEST_F(ConfigTest, ATemporaryJustWrittenIsLeftToItsWriter) {
  // Another program's writer, or ours under another runtime folder, is
  // at work: its temporary is fresh.
  std::filesystem::create_directories(home_.file("App"));
  const std::string live = home_.file("App/.App.conf.Live12");
  ASSERT_TRUE(write_file(live, "[S]\nA = 1\n"));
  C_Config::open_write("App", area::USER, "S")->write_integer("B", 2);
  EXPECT_TRUE(std::filesystem::exists(live));
  EXPECT_EQ(C_Config::open_read("App", area::USER, "S")->read_integer("B"), 2);
}

TEST_F(ConfigTest, TemporariesLeftByAnInterruptedWriteGoAtALaterWrite) {
  std::filesystem::create_directories(home_.file("App"));
  const std::string junk(45 * 1024, 'x');
  // Ours: the store's name behind a dot, and six letters or digits, left
  // untouched for hours.
  const auto long_ago = std::filesystem::file_time_type::clock::now() - std::chrono::hours(3);
  for (const char* n : {".App.conf.aB3xYz", ".App.conf.000000", ".App.conf.Q1w2E3"}) {
    ASSERT_TRUE(write_file(home_.file("App/") + n, junk));
    std::filesystem::last_write_time(home_.file("App/") + n, long_ago);
  }
  // Not ours: other names, other stores, other endings.
  const std::set<std::string> others = {".App.conf.aB3xY", ".App.conf.aB3xYz1", ".App.conf.aB-xYz",
                                        ".Other.conf.aB3xYz", "App.conf.aB3xYz", "notes.txt"};
  for (const std::string& n : others) {
    ASSERT_TRUE(write_file(home_.file("App/" + n), "keep"));
    std::filesystem::last_write_time(home_.file("App/" + n), long_ago);
  }
  C_Config::open_write("App", area::USER, "S")->write_integer("A", 1);
  std::set<std::string> expected = others;
  expected.insert("App.conf");
  EXPECT_EQ(files_in(home_.file("App")), expected);
  EXPECT_EQ(C_Config::open_read("App", area::USER, "S")->read_integer("A"), 1);
}

namespace {

// The temporaries of App/App.conf in the folder.
std::vector<std::string> temporaries_in(const std::string& dir) {
  std::vector<std::string> out;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(dir, ec))
    if (e.path().filename().string().rfind(".App.conf.", 0) == 0) out.push_back(e.path().string());
  return out;
}

// A process that writes the store again and again, caught by `signal` as
// soon as one of its temporaries appears; its id when that left one there
// (a stopped writer is waited for until it stands), else -1 and it is gone.
pid_t catch_a_writer_mid_write(const std::string& dir, int signal) {
  const int watch = ::inotify_init1(IN_CLOEXEC);
  if (watch < 0 || ::inotify_add_watch(watch, dir.c_str(), IN_CREATE) < 0) return -1;
  const pid_t writer = in_a_process([]() -> bool {
    for (int i = 0;; ++i) C_Config::open_write("App", area::USER, "S")->write_integer("N", i);
  });
  bool seen = false;
  alignas(inotify_event) char buf[4096];
  struct pollfd p{watch, POLLIN, 0};
  while (!seen && ::poll(&p, 1, 10000) == 1) {
    const ssize_t n = ::read(watch, buf, sizeof buf);
    for (ssize_t at = 0; at < n;) {
      const auto* e = reinterpret_cast<const inotify_event*>(buf + at);
      if (e->len > 0 && std::string(e->name).rfind(".App.conf.", 0) == 0) seen = true;
      at += ssize_t(sizeof(inotify_event) + e->len);
    }
  }
  ::close(watch);
  ::kill(writer, seen ? signal : SIGKILL);
  ::waitpid(writer, nullptr, seen && signal == SIGSTOP ? WUNTRACED : 0);
  if (seen && !temporaries_in(dir).empty()) return writer;
  if (signal == SIGSTOP) {
    ::kill(writer, SIGKILL);
    ::waitpid(writer, nullptr, 0);
  }
  return -1;
}

bool kill_a_writer_mid_write(const std::string& dir) { return catch_a_writer_mid_write(dir, SIGKILL) > 0; }

// The program starting: a process of its own that reads a setting.
void start_the_program() {
  how_it_ended(in_a_process([] {
    C_Config::open_read("App", area::USER, "S")->read_integer("N");
    return true;
  }));
}

}  // namespace

TEST_F(ConfigTest, TheTemporaryOfAWriterKilledMidWriteGoesAtTheNextStart) {
  with_and_without_runtime([&](const Temp_dir& home) {
    // Megabytes to write each time, so that a write takes a while.
    const std::string big(4 << 20, 'x');
    C_Config::open_write("App", area::USER, "S")->write_string("Big", big);
    bool left = false;
    for (int attempt = 0; attempt < 20 && !left; ++attempt) left = kill_a_writer_mid_write(home.file("App"));
    ASSERT_TRUE(left);

    start_the_program();
    EXPECT_TRUE(temporaries_in(home.file("App")).empty());
    EXPECT_EQ(files_in(home.file("App")), (std::set<std::string>{"App.conf"}));
    EXPECT_EQ(C_Config::open_read("App", area::USER, "S")->read_string("Big"), big);
  });
}

// A writer with a runtime folder and a start without one, or the other way
// round: the start leaves the temporary of a writer at work (here stopped
// mid-write) and removes it once that writer was killed.
TEST_F(ConfigTest, AStartInAnotherEnvironmentRemovesOnlyTheTemporaryOfAKilledWriter) {
  const std::string runtime = std::getenv("XDG_RUNTIME_DIR");
  for (const auto& [writing, starting] : {std::pair{runtime, std::string()}, std::pair{std::string(), runtime}}) {
    SCOPED_TRACE(writing.empty() ? "written without a runtime folder" : "written with a runtime folder");
    Temp_dir home;
    Env_guard config_home("XDG_CONFIG_HOME", home.path());
    const std::string big(4 << 20, 'x');
    pid_t writer = -1;
    {
      Env_guard env("XDG_RUNTIME_DIR", writing);
      C_Config::open_write("App", area::USER, "S")->write_string("Big", big);
      for (int attempt = 0; attempt < 20 && writer < 0; ++attempt)
        writer = catch_a_writer_mid_write(home.file("App"), SIGSTOP);
    }
    ASSERT_GT(writer, 0);
    const std::vector<std::string> left = temporaries_in(home.file("App"));

    Env_guard env("XDG_RUNTIME_DIR", starting);
    start_the_program();
    EXPECT_EQ(temporaries_in(home.file("App")), left);
    ::kill(writer, SIGKILL);
    ::waitpid(writer, nullptr, 0);
    start_the_program();
    EXPECT_EQ(files_in(home.file("App")), (std::set<std::string>{"App.conf"}));
    EXPECT_EQ(C_Config::open_read("App", area::USER, "S")->read_string("Big"), big);
  }
}

TEST_F(ConfigTest, AStoreThatCannotBeReadIsNeverReplaced) {
  // A directory stands where the store should be.
  std::filesystem::create_directories(home_.file("App/App.conf/keep"));
  auto w = C_Config::open_write("App", area::USER, "S");
  EXPECT_THROW(w->write_string("A", "x"), E_Config_write_failed);
  EXPECT_TRUE(std::filesystem::exists(home_.file("App/App.conf/keep")));
  EXPECT_EQ(w->read_string("A"), "");

  // A file stands where the store's folder should be: the write fails
  // loudly instead of vanishing.
  ASSERT_TRUE(write_file(home_.file("Blocked"), "mine"));
  EXPECT_THROW(C_Config::open_write("Blocked", area::USER, "S")->write_integer("A", 1), E_Config_write_failed);
  EXPECT_EQ(read_file(home_.file("Blocked")), "mine");

  // A store kept as a link to the user's own file stays a link.
  std::filesystem::create_directories(home_.file("Linked"));
  ASSERT_TRUE(write_file(home_.file("dotfiles.conf"), "[S]\nOld = 1\n"));
  std::filesystem::create_symlink("../dotfiles.conf", home_.file("Linked/Linked.conf"));
  C_Config::open_write("Linked", area::USER, "S")->write_integer("New", 2);
  EXPECT_TRUE(std::filesystem::is_symlink(home_.file("Linked/Linked.conf")));
  EXPECT_EQ(read_file(home_.file("dotfiles.conf")), "[S]\nOld = 1\nNew = 2\n");
}

TEST_F(ConfigTest, AReadOnlySettingsHomeIsNamedAsTheReason) {
  brek_test::Tmpfs_mount disk;
  if (!disk.mounted()) GTEST_SKIP() << disk.failure();
  ASSERT_TRUE(disk.make_read_only());
  Env_guard home("XDG_CONFIG_HOME", disk.path());
  // The application's folder cannot be made: that, not the missing file
  // behind it, is what the user must hear.
  try {
    C_Config::open_write("App", area::USER, "S")->write_integer("A", 1);
    FAIL() << "a write on a read-only disk reported success";
  } catch (const E_Config_write_failed& e) {
    EXPECT_NE(std::string(e.what()).find("Read-only file system"), std::string::npos) << e.what();
  }
}
