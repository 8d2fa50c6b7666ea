// The settings store and the directory listing against the plain system
// calls they stand on, in one run; prints the ratios.
//   config read      vs reading the same file whole (the store parses it on
//                    every access: a few times the read is the aim)
//   config write     vs writing the same bytes to a temporary file, fsync,
//                    rename (lock, re-read and merge should add little)
//   unchanged write  vs the same reference (no disk write at all: far below 1)
//   list_directory   vs opendir/readdir, directories told by d_type (a
//                    stat only where the file system gives no type)
#include <benchmark/benchmark.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

#include "bench/ratio_reporter.h"
#include "baselib/config.h"
#include "baselib/file_path.h"

namespace {

std::string g_root;

std::string store_file() {
  return brek::C_Config::open_read("Bench", brek::area_where_configuration_is_stored::USER, "Main")->file_path();
}

void fill_store() {
  for (const char* section : {"Main", "Move_to_dirs", "Print"}) {
    auto w = brek::C_Config::open_write("Bench", brek::area_where_configuration_is_stored::USER, section);
    for (int i = 0; i < 14; ++i) {
      w->write_integer("Value_" + std::to_string(i), i * 37);
      w->write_string("Text_" + std::to_string(i), "/home/someone/Pictures/folder " + std::to_string(i));
    }
  }
}

void BM_config_read(benchmark::State& state) {
  for (auto _ : state) {
    auto r = brek::C_Config::open_read("Bench", brek::area_where_configuration_is_stored::USER, "Print");
    benchmark::DoNotOptimize(r->read_integer("Value_13"));
  }
}
BENCHMARK(BM_config_read)->MeasureProcessCPUTime()->UseRealTime();

void BM_read_whole_file_reference(benchmark::State& state) {
  std::string file = store_file();
  for (auto _ : state) {
    std::ifstream in(file, std::ios::binary);
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    benchmark::DoNotOptimize(all);
  }
}
BENCHMARK(BM_read_whole_file_reference)->MeasureProcessCPUTime()->UseRealTime();

void BM_config_write(benchmark::State& state) {
  auto w = brek::C_Config::open_write("Bench", brek::area_where_configuration_is_stored::USER, "Main");
  int64_t v = 0;
  for (auto _ : state) w->write_integer("Left", ++v);
}
BENCHMARK(BM_config_write)->MeasureProcessCPUTime()->UseRealTime();

void BM_config_write_unchanged(benchmark::State& state) {
  auto w = brek::C_Config::open_write("Bench", brek::area_where_configuration_is_stored::USER, "Main");
  w->write_integer("Left", 5);
  for (auto _ : state) w->write_integer("Left", 5);
}
BENCHMARK(BM_config_write_unchanged)->MeasureProcessCPUTime()->UseRealTime();

void BM_fsync_rename_reference(benchmark::State& state) {
  std::string file = store_file();
  std::ifstream in(file, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::string target = g_root + "/reference.conf";
  for (auto _ : state) {
    std::string tmp = target + ".XXXXXX";
    int fd = ::mkstemp(tmp.data());
    if (::write(fd, bytes.data(), bytes.size()) < 0) state.SkipWithError("write");
    ::fsync(fd);
    ::close(fd);
    ::rename(tmp.c_str(), target.c_str());
  }
}
BENCHMARK(BM_fsync_rename_reference)->MeasureProcessCPUTime()->UseRealTime();

std::string listing_dir() {
  std::string dir = g_root + "/listing";
  if (!std::filesystem::exists(dir)) {
    std::filesystem::create_directory(dir);
    for (int i = 0; i < 1000; ++i) std::ofstream(dir + "/photo " + std::to_string(i) + ".jpg") << "x";
    for (int i = 0; i < 20; ++i) std::filesystem::create_directory(dir + "/sub" + std::to_string(i));
  }
  return dir;
}

void BM_list_directory(benchmark::State& state) {
  std::string dir = listing_dir();
  brek::DynAStr list;
  for (auto _ : state) {
    brek::File_path::list_directory(dir, list);
    benchmark::DoNotOptimize(list.count());
  }
}
BENCHMARK(BM_list_directory)->MeasureProcessCPUTime()->UseRealTime();

void BM_readdir_reference(benchmark::State& state) {
  std::string dir = listing_dir();
  std::vector<std::string> list;
  for (auto _ : state) {
    list.clear();
    DIR* d = ::opendir(dir.c_str());
    while (const dirent* e = d ? ::readdir(d) : nullptr) {
      const char* n = e->d_name;
      if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0))) continue;
      bool is_dir = e->d_type == DT_DIR;
      struct stat st;
      if (e->d_type == DT_UNKNOWN) is_dir = ::fstatat(::dirfd(d), n, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
      list.push_back(is_dir ? std::string(n) + '/' : std::string(n));
    }
    if (d) ::closedir(d);
    benchmark::DoNotOptimize(list.size());
  }
}
BENCHMARK(BM_readdir_reference)->MeasureProcessCPUTime()->UseRealTime();


}  // namespace

int main(int argc, char** argv) {
  const char* base = std::getenv("TMPDIR");
  std::string templ = std::string(base && *base ? base : "/tmp") + "/collage-bench-XXXXXX";
  if (!::mkdtemp(templ.data())) return 1;
  g_root = templ;
  setenv("XDG_CONFIG_HOME", g_root.c_str(), 1);
  fill_store();

  std::vector<char*> args = brek_bench::with_repetitions(argc, argv);
  int n = int(args.size());
  benchmark::Initialize(&n, args.data());
  brek_bench::Ratio_reporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  brek_bench::Ratio_reporter::print_reference("reading the file whole; a temporary file written, fsynced and renamed; opendir/readdir with d_type");
  reporter.print_ratios("BM_config_read", "BM_read_whole_file_reference");
  reporter.print_ratios("BM_config_write", "BM_fsync_rename_reference");
  reporter.print_ratios("BM_config_write_unchanged", "BM_fsync_rename_reference");
  reporter.print_ratios("BM_list_directory", "BM_readdir_reference");
  benchmark::Shutdown();
  std::error_code ec;
  std::filesystem::remove_all(g_root, ec);
  return 0;
}
