#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "images/bmp_codec.h"
#include "images/image_file_io.h"
#include "images/jpeg_codec.h"
#include "tests/images/image_test_util.h"
#include "tests/support/temp_dir.h"

using brek::Pixels;
namespace Io = brek::Image_file_io;
using namespace brek_test;

namespace {

int entries(const std::string& dir) {
  int n = 0;
  for (auto& e : std::filesystem::directory_iterator(dir)) n += e.exists();
  return n;
}

TEST(ImageFileIo, WritesReplaceWholeFilesOnly) {
  Temp_dir dir;
  std::string f = dir.file("a.bin");
  std::string big(1000, 'x');
  ASSERT_TRUE(Io::write_file_atomic(f, reinterpret_cast<const uint8_t*>(big.data()), big.size()));
  EXPECT_EQ(read_file(f), big);
  chmod(f.c_str(), 0640);
  std::string small = "new";
  ASSERT_TRUE(Io::write_file_atomic(f, reinterpret_cast<const uint8_t*>(small.data()), small.size()));
  EXPECT_EQ(read_file(f), small);
  struct stat st;
  ASSERT_EQ(stat(f.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);

  // A write that fails half-way (file size limit) leaves the old file.
  struct rlimit old_limit;
  getrlimit(RLIMIT_FSIZE, &old_limit);
  auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit tight = old_limit;
  tight.rlim_cur = 100;
  setrlimit(RLIMIT_FSIZE, &tight);
  bool ok = Io::write_file_atomic(f, reinterpret_cast<const uint8_t*>(big.data()), big.size());
  setrlimit(RLIMIT_FSIZE, &old_limit);
  std::signal(SIGXFSZ, old_handler);
  EXPECT_FALSE(ok);
  EXPECT_EQ(read_file(f), small);
  EXPECT_EQ(entries(dir.path()), 1);  // no temporary file left behind

  EXPECT_FALSE(Io::write_file_atomic(dir.file("no/such/dir.bin"), nullptr, 0));
  EXPECT_FALSE(Io::write_file_atomic(dir.path(), nullptr, 0));  // a directory
  // A link is followed: the link stays, its target changes.
  std::string target = dir.file("target.bin"), link = dir.file("link.bin");
  write_file(target, "old");
  ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
  ASSERT_TRUE(Io::write_file_atomic(link, reinterpret_cast<const uint8_t*>(small.data()), small.size()));
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(read_file(target), small);
}

TEST(ImageFileIo, ReadsNeverCreate) {
  Temp_dir dir;
  std::vector<uint8_t> bytes = {1, 2, 3};
  EXPECT_FALSE(Io::read_whole_file(dir.file("gone.jpg"), bytes));
  EXPECT_TRUE(bytes.empty());
  EXPECT_FALSE(std::filesystem::exists(dir.file("gone.jpg")));
  EXPECT_FALSE(Io::read_whole_file(dir.path(), bytes));
  write_file(dir.file("x"), "abc");
  ASSERT_TRUE(Io::read_whole_file(dir.file("x"), bytes));
  EXPECT_EQ(bytes.size(), 3u);
}

TEST(ImageFileIo, SavesBmpWithAlphaSideFileAndJpeg) {
  Temp_dir dir;
  Pixels p = test_picture(9, 5);
  p.set(0, 0, Pixels::bgra(1, 2, 3, 77));
  std::string n = dir.file("out.bmp");
  ASSERT_TRUE(Io::save_bmp(p, n, true));
  std::vector<uint8_t> bytes;
  Pixels back;
  ASSERT_TRUE(Io::read_whole_file(n, bytes));
  ASSERT_TRUE(brek::Bmp_codec::decode(bytes.data(), bytes.size(), back));
  EXPECT_EQ(back.at(0, 0), Pixels::bgra(1, 2, 3));
  EXPECT_EQ(back.at(5, 4), p.at(5, 4));
  ASSERT_TRUE(Io::read_whole_file(n + ".alpha.bmp", bytes));
  ASSERT_TRUE(brek::Bmp_codec::decode(bytes.data(), bytes.size(), back));
  EXPECT_EQ(back.at(0, 0), Pixels::bgra(77, 77, 77));
  EXPECT_EQ(back.at(1, 0), Pixels::bgra(255, 255, 255));

  ASSERT_TRUE(Io::save_bmp(p, dir.file("plain.bmp"), false));
  EXPECT_FALSE(std::filesystem::exists(dir.file("plain.bmp.alpha.bmp")));
  EXPECT_FALSE(Io::save_bmp(Pixels(), dir.file("empty.bmp"), false));
  EXPECT_FALSE(std::filesystem::exists(dir.file("empty.bmp")));

  ASSERT_TRUE(Io::save_jpeg(p, dir.file("out.jpeg")));
  ASSERT_TRUE(Io::read_whole_file(dir.file("out.jpeg"), bytes));
  ASSERT_TRUE(brek::Jpeg_codec::decode(bytes.data(), bytes.size(), 1, back));
  EXPECT_EQ(back.width(), 9);
}

}  // namespace
