// A fuzz target's entry run once over given inputs, without libFuzzer: the
// target's rules checked on its seeds in the normal build and the test
// suite, and a crash found by fuzzing replayed under g++.
//
// Usage: <target>_replay <file or folder>...; a folder stands for the
// files in it, in name order. The empty input runs first, as libFuzzer
// starts with it. A rule the target finds broken stops the program (a trap
// or an uncaught exception); the input last named on standard output is
// the one that did it. A folder without files fails, so a target whose
// seeds went missing is noticed.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

namespace fs = std::filesystem;

// The files an argument names; false when it names none.
bool inputs_of(const fs::path& arg, std::vector<fs::path>& out) {
  std::error_code ec;
  if (!fs::is_directory(arg, ec)) {
    if (!fs::is_regular_file(arg, ec)) return false;
    out.push_back(arg);
    return true;
  }
  std::vector<fs::path> files;
  for (const fs::directory_entry& e : fs::directory_iterator(arg, ec))
    if (e.is_regular_file(ec)) files.push_back(e.path());
  std::sort(files.begin(), files.end());
  out.insert(out.end(), files.begin(), files.end());
  return !files.empty();
}

// The bytes in a block of exactly their size, as libFuzzer hands them over,
// so that a read past the end is a read outside the block.
bool run_file(const fs::path& file) {
  std::ifstream in(file, std::ios::binary | std::ios::ate);
  if (!in) return false;
  const std::streamoff size = in.tellg();
  if (size < 0) return false;
  std::unique_ptr<uint8_t[]> bytes(new uint8_t[size_t(size)]);
  in.seekg(0);
  if (!in.read(reinterpret_cast<char*>(bytes.get()), size)) return false;
  std::printf("%s (%lld bytes)\n", file.c_str(), static_cast<long long>(size));
  std::fflush(stdout);
  LLVMFuzzerTestOneInput(bytes.get(), size_t(size));
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s <file or folder>...\n", argv[0]);
    return 2;
  }
  std::vector<fs::path> files;
  for (int i = 1; i < argc; ++i) {
    if (!inputs_of(argv[i], files)) {
      std::fprintf(stderr, "%s: no inputs in %s\n", argv[0], argv[i]);
      return 1;
    }
  }
  std::unique_ptr<uint8_t[]> none(new uint8_t[0]);
  LLVMFuzzerTestOneInput(none.get(), 0);
  for (const fs::path& f : files) {
    if (!run_file(f)) {
      std::fprintf(stderr, "%s: cannot read %s\n", argv[0], f.c_str());
      return 1;
    }
  }
  std::printf("%zu inputs passed\n", files.size() + 1);
  return 0;
}
