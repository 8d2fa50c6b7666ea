#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "baselib/file_stream.h"
#include "baselib/memory_stream.h"
#include "tests/support/temp_dir.h"

using namespace brek;

namespace {
std::string pattern(size_t n, int salt) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 31 + salt) ^ (i >> 8));
  return s;
}
int64_t put(const Ref<C_Stream>& s, const std::string& bytes) {
  return s->write_buffer(reinterpret_cast<const uint8_t*>(bytes.data()), static_cast<int64_t>(bytes.size()));
}
std::string take(const Ref<C_Stream>& s, int64_t n) {
  DynAByte b;
  s->read(b, n);
  return std::string(b.begin(), b.end());
}
}  // namespace

TEST(MemoryStreamContig, SeeksClampAndWritesGrow) {
  auto m = C_Memory_stream_contig::create();
  EXPECT_EQ(m->size_int64(), 0);
  EXPECT_TRUE(m->eof());
  EXPECT_EQ(m->read_byte(), 0);
  EXPECT_EQ(m->position_int64(), 0);  // a read at the end moves nothing

  put(m, "0123456789");
  m->seek_int64(20);
  EXPECT_EQ(m->position_int64(), 10);
  m->seek_int64(2);
  m->seek_int64(-5, disposition_from::CURRENT);
  EXPECT_EQ(m->position_int64(), 0);
  m->seek_int64(-3, disposition_from::ENDING);
  EXPECT_EQ(m->position_int64(), 7);

  auto two = C_Memory_stream_contig::create();
  put(two, "ab");
  two->seek_int64(1);
  put(two, "xyz");
  EXPECT_EQ(two->size_int64(), 4);
  two->rewind();
  EXPECT_EQ(take(two, 10), "axyz");
  EXPECT_EQ(two->position_int64(), 4);
  EXPECT_EQ(two->read_byte(), 0);
  EXPECT_EQ(two->position_int64(), 4);

  two->truncate(10);
  EXPECT_EQ(two->size_int64(), 4);
  two->truncate(2);
  EXPECT_EQ(two->size_int64(), 2);
  EXPECT_EQ(two->position_int64(), 2);
  EXPECT_TRUE(two->set_size(5));
  two->rewind();
  EXPECT_EQ(take(two, 5), std::string("ax\0\0\0", 5));
}

TEST(MemoryStreamContig, LimitsAreRefusedNotOverflowed) {
  auto m = C_Memory_stream_contig::create();
  EXPECT_FALSE(m->ensure_size(MEMORY_STREAM_LIMIT + 1));
  EXPECT_FALSE(m->set_size(-1));
  m->seek(Long_int::from_int64(INT64_MAX), disposition_from::CURRENT);
  EXPECT_EQ(m->position_int64(), 0);
  EXPECT_EQ(put(m, "abc"), 3);
  m->seek(Long_int::from_int64(INT64_MIN), disposition_from::ENDING);
  EXPECT_EQ(m->position_int64(), 0);
}

TEST(MemoryStreamContig, LoadsAWholeFile) {
  brek_test::Temp_dir dir;
  std::string content = pattern(70001, 3);
  ASSERT_TRUE(brek_test::write_file(dir.file("f"), content));
  auto m = C_Memory_stream_contig::load_from_file(dir.file("f"));
  EXPECT_EQ(m->size_int64(), 70001);
  EXPECT_EQ(m->position_int64(), 0);
  EXPECT_EQ(take(m, 70001), content);
  EXPECT_EQ(C_Memory_stream_contig::load_from_file(dir.file("none"))->size_int64(), 0);
}

TEST(MemoryStream, ChunkCapacitiesGrowByHalfUpToOneMebibyte) {
  auto m = C_Memory_stream::create();
  EXPECT_EQ(put(m, pattern(20000, 1)), 20000);
  ASSERT_EQ(m->chunks.count(), 4);
  EXPECT_EQ(m->chunks.get(0)->capacity(), 4096);
  EXPECT_EQ(m->chunks.get(1)->capacity(), 6144);
  EXPECT_EQ(m->chunks.get(2)->capacity(), 9216);
  EXPECT_EQ(m->chunks.get(3)->capacity(), 13824);
  EXPECT_EQ(m->chunks.get(3)->used(), 544);

  const int64_t expected[] = {4096,   6144,   9216,   13824,  20736,  31104,  46656,  69984,   104976,
                              157464, 236196, 354294, 531441, 797161, 1048576, 1048576};
  auto big = C_Memory_stream::create();
  int64_t total = 0;
  for (int64_t c : expected) total += c;
  put(big, pattern(static_cast<size_t>(total), 2));
  ASSERT_EQ(big->chunks.count(), 16);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(big->chunks.get(i)->capacity(), expected[i]) << i;
  EXPECT_EQ(big->size_int64(), total);
  big->rewind();
  EXPECT_EQ(take(big, total), pattern(static_cast<size_t>(total), 2));
}

TEST(MemoryStream, SeekBackRoundTripAcrossChunks) {
  auto m = C_Memory_stream::create();
  std::string content = pattern(20000, 5);
  put(m, content);
  EXPECT_EQ(m->position_int64(), 20000);

  // Reads that cross chunk boundaries after a seek back.
  m->seek_int64(3000);
  EXPECT_EQ(take(m, 10000), content.substr(3000, 10000));
  EXPECT_EQ(m->position_int64(), 13000);
  m->seek_int64(4095);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(m->read_byte(), static_cast<uint8_t>(content[4095 + i]));

  // Overwrites across boundaries: nothing skipped, nothing appended.
  std::string over = pattern(12000, 9);
  m->seek_int64(5000);
  EXPECT_EQ(put(m, over), 12000);
  content.replace(5000, 12000, over);
  EXPECT_EQ(m->size_int64(), 20000);
  m->seek_int64(4096);
  m->write_byte('!');
  content[4096] = '!';
  m->seek_int64(10240);  // exactly the start of the third chunk
  m->write_byte('?');
  content[10240] = '?';
  m->rewind();
  EXPECT_EQ(take(m, 30000), content);

  // Appending after a seek to the end continues the last chunk.
  m->seek_int64(0, disposition_from::ENDING);
  put(m, "tail");
  content += "tail";
  m->seek_int64(-10, disposition_from::ENDING);
  EXPECT_EQ(take(m, 10), content.substr(content.size() - 10));
  m->rewind();
  EXPECT_EQ(take(m, 30000), content);
  EXPECT_TRUE(m->eof());

  // Reading past the end gives nothing and never goes negative.
  DynAByte b;
  EXPECT_FALSE(m->read(b, 5));
  EXPECT_EQ(b.count(), 0);
  m->seek_int64(50000);
  EXPECT_EQ(m->position_int64(), 20004);
  EXPECT_EQ(m->read_byte(), 0);
}

TEST(MemoryStream, CopyFillsChunksAndStopsWhenTheSourceRunsDry) {
  brek_test::Temp_dir dir;
  std::string content = pattern(50000, 7);
  ASSERT_TRUE(brek_test::write_file(dir.file("src"), content));
  auto f = C_File_stream::open_read(dir.file("src"));
  auto m = C_Memory_stream::create();
  put(m, "head");
  EXPECT_EQ(Long_int::to_int64(m->copy(f, Long_int::from_int64(1'000'000))), 50000);
  EXPECT_EQ(m->size_int64(), 50004);
  m->rewind();
  EXPECT_EQ(take(m, 60000), "head" + content);
  // Copy over existing bytes in the middle.
  f->seek_int64(0);
  m->seek_int64(4000);
  EXPECT_EQ(Long_int::to_int64(m->copy(f, Long_int::from_int64(10000))), 10000);
  EXPECT_EQ(m->size_int64(), 50004);
  m->seek_int64(4000);
  EXPECT_EQ(take(m, 10000), content.substr(0, 10000));
  int64_t chunks_before = m->chunks.count();
  f->seek_int64(0, disposition_from::ENDING);
  m->seek_int64(0, disposition_from::ENDING);
  EXPECT_EQ(Long_int::to_int64(m->copy(f, Long_int::from_int64(100))), 0);
  EXPECT_EQ(m->chunks.count(), chunks_before);
}

TEST(MemoryStream, CloseReleasesTheChunks) {
  auto m = C_Memory_stream::create();
  put(m, pattern(30000, 1));
  auto first = m->chunks.get(0);
  m->close();
  EXPECT_EQ(m->chunks.count(), 0);
  EXPECT_TRUE(first.is_none());
  EXPECT_EQ(m->size_int64(), 0);
  EXPECT_TRUE(m->eof());
}

// A closed stream is empty: text that a read cut off before the close
// (here an open UTF-7 run) does not come back afterwards.
TEST(MemoryStream, CloseDropsTextCutOffByARead) {
  for (Ref<C_Stream> s : {Ref<C_Stream>(C_Memory_stream::create()), Ref<C_Stream>(C_Memory_stream_contig::create())}) {
    s->set_encoding(encoding::UTF7);
    put(s, "+AGEAYgBj-");  // "abc"
    s->rewind();
    EXPECT_EQ(s->read_text(4), "");  // "+AGE" waits for the rest of its run
    s->close();
    EXPECT_EQ(s->size_int64(), 0);
    EXPECT_EQ(s->read_text(10), "");
    EXPECT_TRUE(s->pending_text.empty());
  }
}
