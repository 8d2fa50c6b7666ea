// A tree of 2,000 folders of one small JPEG each, and one of 1,499 nested
// folders of one JPEG each, opened in the viewer (offscreen, 1600 x 1000
// collage) and listed and laid out by its background ticks, run back to
// back, until the last file has its cell: the listing's own work, without
// the pauses between ticks. The reference is a plain recursive walk
// (readdir with d_type) that opens each file, reads its first 512 bytes,
// fstats and closes it. Prints both and the ratios (aim at most 2).
#include <benchmark/benchmark.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_pictures.h"
#include "bench/bench_viewer.h"
#include "bench/ratio_reporter.h"
#include "forms/screen.h"
#include "images/jpeg_codec.h"
#include "viewer/collage_viewer.h"

namespace {

constexpr int BOX_W = 1600, BOX_H = 1000;
constexpr int WIDE = 2000, DEEP = 1499;

std::string g_root;
std::vector<uint8_t> g_jpeg;

std::string tree(int kind) { return g_root + (kind == WIDE ? "/wide" : "/deep"); }

void write_picture(const std::string& dir) {
  std::filesystem::create_directories(dir);
  brek_bench::write_file(dir + "/photo.jpg", g_jpeg);
}

void make_trees() {
  brek::Jpeg_codec::encode(brek_bench::photo(64, 48), 85, g_jpeg);
  for (int i = 0; i < WIDE; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "/day%04d", i);
    write_picture(tree(WIDE) + name);
  }
  std::string dir = tree(DEEP);
  for (int i = 0; i < DEEP; ++i) {
    dir += "/d";
    write_picture(dir);
  }
}

brek_bench::Box_panels g_panels(BOX_W, BOX_H, 9400000);

void viewer_lists(benchmark::State& state) {
  const int kind = int(state.range(0));
  brek_bench::list_and_lay_out(state, tree(kind), kind);
}
BENCHMARK(viewer_lists)->Name("BM_viewer_lists")->Arg(WIDE)->Arg(DEEP)->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// The same tree walked by hand: folders from a stack, each file's header read.
void walk_reading_headers(benchmark::State& state) {
  const int kind = int(state.range(0));
  for (auto _ : state) {
    std::vector<std::string> stack{tree(kind)};
    int files = 0;
    char header[512];
    while (!stack.empty()) {
      const std::string dir = stack.back();
      stack.pop_back();
      DIR* d = ::opendir(dir.c_str());
      if (!d) continue;
      while (dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        const std::string path = dir + "/" + name;
        if (e->d_type == DT_DIR) {
          stack.push_back(path);
          continue;
        }
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat st;
        if (::read(fd, header, sizeof header) > 0 && ::fstat(fd, &st) == 0) ++files;
        ::close(fd);
      }
      ::closedir(d);
    }
    if (files != kind) state.SkipWithError("files missed");
    benchmark::DoNotOptimize(files);
  }
}
BENCHMARK(walk_reading_headers)->Name("BM_walk_reading_headers")->Arg(WIDE)->Arg(DEEP)
    ->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
  brek_bench::start_viewer_platform(argc, argv, g_panels);
  g_root = brek_bench::temp_dir("tree-listing-bench");
  make_trees();
  std::vector<char*> args = brek_bench::with_repetitions(argc, argv);
  int n = int(args.size());
  benchmark::Initialize(&n, args.data());
  brek_bench::Ratio_reporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  brek_bench::Ratio_reporter::print_reference("a recursive readdir walk that opens, reads 512 bytes of, fstats and "
                                              "closes each file of the same tree");
  for (int kind : {WIDE, DEEP}) {
    const std::string k = "/" + std::to_string(kind);
    reporter.print_ratio("BM_viewer_lists" + k, "BM_walk_reading_headers" + k, "aim <= 2");
  }
  benchmark::Shutdown();
  brek_bench::stop_viewer_platform(g_root);
  return 0;
}
