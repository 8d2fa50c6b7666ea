#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <thread>

#include "baselib/file_stream.h"
#include "tests/support/temp_dir.h"

using namespace brek;
using brek_test::read_file;
using brek_test::Temp_dir;
using brek_test::write_file;

namespace {
std::string read_all(const Ref<C_File_stream>& f) {
  DynAByte b;
  f->read(b, f->size_int64() - f->position_int64());
  return std::string(b.begin(), b.end());
}
bool write_str(const Ref<C_File_stream>& f, const std::string& s) {
  return f->write_buffer(reinterpret_cast<const uint8_t*>(s.data()), static_cast<int64_t>(s.size())) ==
         static_cast<int64_t>(s.size());
}
}  // namespace

TEST(FileStream, ReadingAMissingFileFailsAndCreatesNothing) {
  Temp_dir dir;
  std::string path = dir.file("missing.txt");
  for (auto f : {C_File_stream::open_read(path), C_File_stream::open_read_anyway(path)}) {
    EXPECT_EQ(f->file_handle, 0);
    EXPECT_TRUE(f->eof());
    EXPECT_EQ(f->read_byte(), 0);
    EXPECT_EQ(f->size_int64(), 0);
    EXPECT_EQ(f->write_byte('x'), 0);
  }
  EXPECT_FALSE(std::filesystem::exists(path));
  // A directory is not a file either.
  EXPECT_EQ(C_File_stream::open_read(dir.path())->file_handle, 0);
}

TEST(FileStream, SharingFollowsTheModes) {
  Temp_dir dir;
  std::string path = dir.file("shared.bin");
  ASSERT_TRUE(write_file(path, "abc"));
  {
    auto reader = C_File_stream::open_read(path);
    ASSERT_NE(reader->file_handle, 0);
    EXPECT_NE(C_File_stream::open_read(path)->file_handle, 0);
    EXPECT_EQ(C_File_stream::open_write(path, true)->file_handle, 0);
    EXPECT_EQ(C_File_stream::open_write(path, false)->file_handle, 0);
    EXPECT_EQ(read_file(path), "abc");  // the refused WRITE emptied nothing
  }
  {
    auto reader = C_File_stream::open_read_anyway(path);
    EXPECT_NE(C_File_stream::open_read(path)->file_handle, 0);
    auto writer = C_File_stream::open_write(path, true);
    EXPECT_NE(writer->file_handle, 0);
    // While someone writes, a READ (which denies writers) is refused, a
    // READ_ANYWAY is not.
    EXPECT_EQ(C_File_stream::open_read(path)->file_handle, 0);
    EXPECT_NE(C_File_stream::open_read_anyway(path)->file_handle, 0);
  }
  {
    auto exclusive = C_File_stream::open_write(path, false);
    ASSERT_NE(exclusive->file_handle, 0);
    EXPECT_EQ(C_File_stream::open_read_anyway(path)->file_handle, 0);
    exclusive->close();
    EXPECT_NE(C_File_stream::open_read(path)->file_handle, 0);
  }
}

TEST(FileStream, WriteModeEmptiesAndSizeIsTheRealSize) {
  Temp_dir dir;
  std::string path = dir.file("w.bin");
  ASSERT_TRUE(write_file(path, "old content"));
  auto f = C_File_stream::open_write(path, false);
  EXPECT_TRUE(f->created_for_writing);
  EXPECT_EQ(f->size_int64(), 0);
  ASSERT_TRUE(write_str(f, "0123456789"));
  EXPECT_EQ(f->size_int64(), 10);
  f->seek_int64(4);
  EXPECT_EQ(f->size_int64(), 10);  // not the position
  ASSERT_TRUE(write_str(f, "ab"));
  EXPECT_EQ(f->size_int64(), 10);
  EXPECT_EQ(f->position_int64(), 6);
  f->seek_int64(-1, disposition_from::ENDING);
  EXPECT_EQ(f->position_int64(), 9);
  f->close();
  EXPECT_EQ(read_file(path), "0123ab6789");
}

TEST(FileStream, ReadWriteMixesThroughTheBuffer) {
  Temp_dir dir;
  std::string path = dir.file("rw.bin");
  std::string content(200000, '\0');
  for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 13 + i / 256);
  ASSERT_TRUE(write_file(path, content));
  auto f = C_File_stream::open_write(path, true);
  // Byte reads across the buffer's end, a large read, a seek back into
  // what was read ahead, and writes in between.
  for (int i = 0; i < 70000; ++i) ASSERT_EQ(f->read_byte(), static_cast<uint8_t>(content[i])) << i;
  DynAByte big;
  big.set_length(100000);
  EXPECT_EQ(f->read_into(big), 100000);
  EXPECT_EQ(std::string(big.begin(), big.end()), content.substr(70000, 100000));
  f->seek_int64(69990);
  EXPECT_EQ(f->read_byte(), static_cast<uint8_t>(content[69990]));
  ASSERT_TRUE(write_str(f, "XYZ"));
  content.replace(69991, 3, "XYZ");
  EXPECT_EQ(f->read_byte(), static_cast<uint8_t>(content[69994]));
  f->seek_int64(-4, disposition_from::CURRENT);
  EXPECT_EQ(f->read_byte(), static_cast<uint8_t>('X'));
  f->seek_int64(0, disposition_from::ENDING);
  ASSERT_TRUE(write_str(f, "tail"));
  content += "tail";
  EXPECT_EQ(f->size_int64(), static_cast<int64_t>(content.size()));
  f->seek_int64(-3, disposition_from::BEGINNING);  // before the start: refused
  EXPECT_EQ(f->position_int64(), static_cast<int64_t>(content.size()));
  f->rewind();
  EXPECT_EQ(read_all(f), content);
  f->close();
  EXPECT_EQ(read_file(path), content);
  EXPECT_EQ(f->read_byte(), 0);
  EXPECT_TRUE(f->eof());
  EXPECT_TRUE(f->is_closed());
}

TEST(FileStream, WriteModeRefusesByteReads) {
  Temp_dir dir;
  auto f = C_File_stream::open_write(dir.file("w"), false);
  write_str(f, "abc");
  f->rewind();
  DynAByte b;
  EXPECT_FALSE(f->read(b, 1));
  EXPECT_EQ(f->read_byte(), 0);
}

TEST(FileStream, ClosedEntriesAreReusedFirst) {
  Temp_dir dir;
  for (const char* n : {"1", "2", "3", "4"}) ASSERT_TRUE(write_file(dir.file(n), n));
  auto a = C_File_stream::open_read(dir.file("1"));
  auto b = C_File_stream::open_read(dir.file("2"));
  auto c = C_File_stream::open_read(dir.file("3"));
  EXPECT_EQ(b->file_handle, a->file_handle + 1);
  EXPECT_EQ(c->file_handle, b->file_handle + 1);
  int64_t second = b->file_handle;
  b->close();
  EXPECT_FALSE(C_File_stream::table_entry_used(second));
  auto d = C_File_stream::open_read(dir.file("4"));
  EXPECT_EQ(d->file_handle, second);
  EXPECT_EQ(d->read_byte(), '4');
  EXPECT_EQ(c->read_byte(), '3');
  // Disposing a stream closes its file too.
  int64_t third = c->file_handle;
  c.reset();
  EXPECT_FALSE(C_File_stream::table_entry_used(third));
}

TEST(FileStream, ClosingFromAnotherThreadClosesOnlyThatStreamsFile) {
  Temp_dir dir;
  ASSERT_TRUE(write_file(dir.file("main"), "M"));
  ASSERT_TRUE(write_file(dir.file("worker"), "W"));
  auto mine = C_File_stream::open_read(dir.file("main"));
  int64_t mine_handle = mine->file_handle;
  auto* raw = mine.get();
  int64_t worker_first = -1, worker_after = -1;
  std::thread t([&] {
    auto theirs = C_File_stream::open_read(dir.file("worker"));
    worker_first = theirs->read_byte();
    raw->close();  // the same number names the worker's file on this thread
    theirs->rewind();
    worker_after = theirs->read_byte();
    theirs->close();
  });
  t.join();
  EXPECT_EQ(worker_first, 'W');
  EXPECT_EQ(worker_after, 'W');
  EXPECT_TRUE(mine->is_closed());
  EXPECT_FALSE(C_File_stream::table_entry_used(mine_handle));
}

TEST(FileStream, ReplacingWritesNothingUntilCommit) {
  Temp_dir dir;
  std::string path = dir.file("settings.lng");
  ASSERT_TRUE(write_file(path, "old"));
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);

  auto f = C_File_stream::open_replacing(path);
  ASSERT_NE(f->file_handle, 0);
  ASSERT_TRUE(write_str(f, "new content"));
  EXPECT_EQ(read_file(path), "old");
  EXPECT_TRUE(f->commit());
  EXPECT_EQ(read_file(path), "new content");
  struct stat st;
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);

  // Closed without a commit: the old file stays, no temporary is left.
  auto g = C_File_stream::open_replacing(path);
  write_str(g, "lost");
  g->close();
  EXPECT_EQ(read_file(path), "new content");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(FileStream, ReplacingKeepsALinkAndReportsAFailedRename) {
  Temp_dir dir;
  std::string real = dir.file("real.txt"), link = dir.file("link.txt");
  ASSERT_TRUE(write_file(real, "1"));
  ASSERT_EQ(::symlink(real.c_str(), link.c_str()), 0);
  auto f = C_File_stream::open_replacing(link);
  write_str(f, "2");
  ASSERT_TRUE(f->commit());
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(read_file(real), "2");

  std::string target = dir.file("becomes_dir");
  ASSERT_TRUE(write_file(target, "x"));
  auto g = C_File_stream::open_replacing(target);
  write_str(g, "y");
  std::filesystem::remove(target);
  std::filesystem::create_directory(target);
  EXPECT_FALSE(g->commit());
  EXPECT_TRUE(std::filesystem::is_directory(target));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 3);

  EXPECT_EQ(C_File_stream::open_replacing(dir.file("no/such/dir.txt"))->file_handle, 0);

  // What stands in the way is named: a folder, or a special file (a pipe).
  EXPECT_EQ(C_File_stream::open_replacing(target)->error, EISDIR);
  const std::string pipe = dir.file("pipe.jpg");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  auto p = C_File_stream::open_replacing(pipe);
  EXPECT_EQ(p->file_handle, 0);
  EXPECT_EQ(p->error, EINVAL);
}

TEST(FileStream, ANewFileNeverReplacesOneThatAppearedUnderItsName) {
  Temp_dir dir;
  const std::string path = dir.file("IMG002.jpg");
  auto f = C_File_stream::open_new(path);
  ASSERT_NE(f->file_handle, 0);
  ASSERT_TRUE(write_str(f, "ours"));
  // Another program saves under the same name before ours is in place.
  ASSERT_TRUE(write_file(path, "theirs"));
  EXPECT_FALSE(f->commit());
  EXPECT_EQ(f->error, EEXIST);
  EXPECT_EQ(read_file(path), "theirs");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);

  // A name already taken is refused at once.
  EXPECT_EQ(C_File_stream::open_new(path)->file_handle, 0);
  EXPECT_EQ(C_File_stream::open_new(path)->error, EEXIST);

  auto g = C_File_stream::open_new(dir.file("IMG003.jpg"));
  ASSERT_TRUE(write_str(g, "new"));
  EXPECT_TRUE(g->commit());
  EXPECT_EQ(read_file(dir.file("IMG003.jpg")), "new");
}

TEST(FileStream, ANameOfTheLongestLengthIsWrittenAndReplaced) {
  Temp_dir dir;
  // 255 bytes is the longest name the file systems take; the temporary
  // beside it must not be longer.
  const std::string path = dir.file(std::string(251, 'n') + ".jpg");
  for (const char* content : {"first", "second"}) {
    auto f = C_File_stream::open_replacing(path);
    ASSERT_NE(f->file_handle, 0) << f->error;
    ASSERT_TRUE(write_str(f, content));
    ASSERT_TRUE(f->commit());
    EXPECT_EQ(read_file(path), content);
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}
