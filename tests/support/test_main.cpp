// Common main of every test executable. Each test process gets its own
// temporary XDG folders, so configuration, trash and runtime files of one
// test never meet another's, and a temporary folder ($TMPDIR) inside them,
// where its tests' folders, the program's temporary files and those of its
// death tests' children (which end without cleaning up) go with it. Qt
// runs offscreen unless the test belongs to the group that needs a real X
// server. The build gives each program its
// group (COLLAGE_TEST_XSERVER, COLLAGE_TEST_PLATFORM), so a program runs
// the same by hand as under CTest.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "baselib/system_functions.h"
#include "platform/application.h"
#include "platform/clipboard.h"
#include "platform/test_events.h"
#include "tests/support/own_desktop.h"
#include "tests/support/temp_dir.h"
#include "tests/support/watchdog.h"

namespace {
std::string g_root;
// The program's own arguments, less those of the test framework, and the
// folder it started in.
std::vector<std::string> g_arguments;
std::string g_started_in;

void make_xdg_folders() {
  const char* base = std::getenv("TMPDIR");
  std::string templ = std::string(base && *base ? base : "/tmp") + "/collage-xdg-XXXXXX";
  if (!mkdtemp(templ.data())) return;
  g_root = templ;
  // Others may pass through to their own folders below it, as through /tmp;
  // another user, say, that a test becomes for a while.
  namespace fs = std::filesystem;
  fs::permissions(g_root, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
  const std::string tmp = g_root + "/tmp";
  fs::create_directory(tmp);
  fs::permissions(tmp, fs::perms::all | fs::perms::sticky_bit);
  setenv("TMPDIR", tmp.c_str(), 1);
  // Removed by this process at its end; by a watchdog should it be killed
  // or end by exit (a death test's child). It does not cross into a mount
  // a test left there.
  brek_test::start_watchdog("read -r _ <&3\nrm -rf --one-file-system -- \"$1\"", {g_root});
  const char* names[][2] = {{"XDG_CONFIG_HOME", "config"},
                            {"XDG_DATA_HOME", "data"},
                            {"XDG_CACHE_HOME", "cache"},
                            {"XDG_RUNTIME_DIR", "runtime"}};
  for (auto& n : names) {
    std::string dir = g_root + "/" + n[1];
    std::filesystem::create_directories(dir);
    std::filesystem::permissions(dir, std::filesystem::perms::owner_all);
    setenv(n[0], dir.c_str(), 1);
  }
}
// Every test starts from empty settings, data and cache folders, an empty
// clipboard and nothing queued for dialogs or later, on the program's own
// command line (a dropped name replaces it) in the folder it started in,
// also when a whole test program runs in one process.
class Fresh_state : public testing::EmptyTestEventListener {
  void OnTestStart(const testing::TestInfo&) override {
    brek_platform::test_events::forget_pending();
    brek::System_functions::capture_platform_arguments(g_arguments);
    brek::System_functions::set_parameters(std::vector<std::string>{});
    std::error_code gone;
    std::filesystem::current_path(g_started_in, gone);
    if (g_root.empty()) return;
    for (const char* sub : {"config", "data", "cache"}) {
      std::error_code ec;
      for (const auto& entry : std::filesystem::directory_iterator(g_root + "/" + sub, ec))
        std::filesystem::remove_all(entry.path(), ec);
    }
    brek_platform::clipboard_clear();
  }
};
}  // namespace

int main(int argc, char** argv) {
  bool listing = false;
  for (int i = 1; i < argc; ++i)
    if (std::strncmp(argv[i], "--gtest_list_tests", 18) == 0) listing = true;
  testing::InitGoogleTest(&argc, argv);
  if (listing) return RUN_ALL_TESTS();
  g_arguments.assign(argv, argv + argc);
  g_started_in = std::filesystem::current_path().string();

  make_xdg_folders();
  // A group may ask for its own offscreen set-up (two monitors, say), or
  // for the X server: "1", or the scale factor.
  const char* platform = nullptr;
  const char* xserver = nullptr;
#ifdef COLLAGE_TEST_PLATFORM
  platform = COLLAGE_TEST_PLATFORM;
#endif
#ifdef COLLAGE_TEST_XSERVER
  xserver = COLLAGE_TEST_XSERVER;
#endif
  // A group under a window manager starts its own X server with one: the
  // manager's name ("openbox:"), the scale factor and, after a ":", its
  // monitors.
  const char* colon_at = xserver ? std::strchr(xserver, ':') : nullptr;
  const std::string manager = colon_at ? std::string(xserver, colon_at) : std::string();
  const bool own_desktop = brek_test::own_desktop_manager_known(manager);
  std::string scale;
  if (own_desktop) {
    scale = colon_at + 1;
    const size_t colon = scale.find(':');
    brek_test::start_own_desktop(colon == std::string::npos ? "" : scale.substr(colon + 1), manager);
    scale = scale.substr(0, colon);
    xserver = scale.c_str();
  }
  if (!xserver)
    setenv("QT_QPA_PLATFORM", platform && *platform ? platform : "offscreen", 1);
  // A group on a high-density screen names its scale factor there.
  else if (std::strcmp(xserver, "1") != 0)
    setenv("QT_SCALE_FACTOR", xserver, 1);
  brek_platform::init_application(argc, argv);
  testing::UnitTest::GetInstance()->listeners().Append(new Fresh_state);
  int rc = RUN_ALL_TESTS();
  brek_platform::shutdown_application();
  if (own_desktop) brek_test::stop_own_desktop();
  if (!g_root.empty()) brek_test::remove_tree(g_root);
  return rc;
}
