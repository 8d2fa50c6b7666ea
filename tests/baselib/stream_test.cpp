// Text, words, marks and copying of the stream base, over memory and file
// streams (the base has no byte source of its own).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "baselib/file_stream.h"
#include "baselib/memory_stream.h"
#include "tests/support/temp_dir.h"

using namespace brek;

namespace {

Ref<C_Memory_stream_contig> memory_with(const std::string& bytes) {
  auto m = C_Memory_stream_contig::create();
  m->write_buffer(reinterpret_cast<const uint8_t*>(bytes.data()), static_cast<int64_t>(bytes.size()));
  m->rewind();
  return m;
}

std::vector<std::string> all_lines(const Ref<C_Stream>& s) {
  std::vector<std::string> lines;
  for (int guard = 0; !s->eof() && guard < 100000; ++guard) lines.push_back(s->read_line());
  return lines;
}

using Lines = std::vector<std::string>;

}  // namespace

TEST(StreamText, LineEndsOfEveryKindAndALastLineWithoutEnd) {
  EXPECT_EQ(all_lines(memory_with("a\r\nb\rc\n")), (Lines{"a", "b", "c"}));
  EXPECT_EQ(all_lines(memory_with("ab\r\ncd\ref\ngh")), (Lines{"ab", "cd", "ef", "gh"}));
  EXPECT_EQ(all_lines(memory_with("one\n\ntwo\r\r\n")), (Lines{"one", "", "two", ""}));
  // UTF-8 marked: only LF ends a line; one CR before it goes, a lone CR stays.
  EXPECT_EQ(all_lines(memory_with("\xEF\xBB\xBFx\r\ny\rz\nlast")), (Lines{"x", "y\rz", "last"}));
}

TEST(StreamText, EmptyStreamIsAtItsEndAtOnce) {
  auto m = C_Memory_stream_contig::create();
  EXPECT_TRUE(m->eof());
  EXPECT_EQ(m->read_line(), "");
  EXPECT_EQ(m->read_byte(), 0);
}

TEST(StreamText, CrLfSplitAcrossReadsIsOneLineEnd) {
  for (int n = 4090; n <= 4100; ++n) {
    std::string first(n, 'x');
    auto lines = all_lines(memory_with(first + "\r\nsecond\r\nthird"));
    // A line longer than one read comes in pieces; no empty line appears
    // between the CR and its LF.
    std::string joined;
    for (size_t i = 0; i + 2 < lines.size(); ++i) joined += lines[i];
    ASSERT_GE(lines.size(), 3u) << n;
    EXPECT_EQ(joined, first) << n;
    EXPECT_EQ(lines[lines.size() - 2], "second") << n;
    EXPECT_EQ(lines.back(), "third") << n;
  }
}

TEST(StreamText, MultiByteCharacterAcrossABufferBoundaryStaysWhole) {
  brek_test::Temp_dir dir;
  for (int shift = 0; shift < 8; ++shift) {
    std::string text;
    Lines expected;
    for (int i = 0; i < 60; ++i) {
      std::string line = std::string(60 + shift, 'a') + "€ü" + std::to_string(i);
      expected.push_back(line);
      text += line + "\r\n";
    }
    std::string bytes = "\xEF\xBB\xBF" + text;
    EXPECT_EQ(all_lines(memory_with(bytes)), expected) << shift;
    std::string path = dir.file("u" + std::to_string(shift) + ".txt");
    ASSERT_TRUE(brek_test::write_file(path, bytes));
    auto f = C_File_stream::open_read(path);
    EXPECT_EQ(all_lines(f), expected) << shift;
  }
}

TEST(StreamText, ThreeByteCharacterAroundOffset4096OfAFile) {
  brek_test::Temp_dir dir;
  // The mark takes 3 bytes, so the first read ends at 4099: cover both
  // that boundary and file offset 4096.
  for (int at = 4093; at <= 4100; ++at) {
    std::string before(at - 3, 'a');
    std::string bytes = "\xEF\xBB\xBF" + before + "€" + "z\r\nnext";
    std::string path = dir.file("e" + std::to_string(at));
    ASSERT_TRUE(brek_test::write_file(path, bytes));
    auto lines = all_lines(C_File_stream::open_read(path));
    ASSERT_GE(lines.size(), 2u);
    std::string joined;
    for (size_t i = 0; i + 1 < lines.size(); ++i) joined += lines[i];
    EXPECT_EQ(joined, before + "€z") << at;
    EXPECT_EQ(lines.back(), "next") << at;
  }
}

TEST(StreamText, SurrogatePairAcrossABufferBoundaryStaysWhole) {
  // UTF-16 little endian: "😀" is D83D DE00. Shift it across 4096.
  for (int pad = 2040; pad <= 2050; ++pad) {
    std::string bytes = "\xFF\xFE";
    for (int i = 0; i < pad; ++i) bytes += std::string("a\0", 2);
    bytes += std::string("\x3D\xD8\x00\xDE", 4);
    bytes += std::string("\n\0z\0", 4);
    auto lines = all_lines(memory_with(bytes));
    std::string joined;
    for (size_t i = 0; i + 1 < lines.size(); ++i) joined += lines[i];
    EXPECT_EQ(joined, std::string(pad, 'a') + "😀") << pad;
    EXPECT_EQ(lines.back(), "z") << pad;
  }
}

TEST(StreamMarks, EveryMarkIsFoundAndSkipped) {
  struct Case {
    std::string bytes;
    encoding expected;
    int64_t skip;
    std::string first_line;
  } cases[] = {
      {"\xEF\xBB\xBFhi", encoding::UTF8, 3, "hi"},
      {std::string("\xFE\xFF\0h\0i", 6), encoding::UTF16_BIG, 2, "hi"},
      {std::string("\xFF\xFE\0\0h\0\0\0", 8), encoding::UTF32, 4, "h"},
      {std::string("\xFF\xFEh\0i\0", 6), encoding::UTF16, 2, "hi"},
      {std::string("\0\0\xFE\xFF\0\0\0h", 8), encoding::UTF32_BIG, 4, "h"},
      {"+/v8hi", encoding::UTF7, 4, "hi"},
      {"+/v9hi", encoding::UTF7, 4, "hi"},
      {"+/v+hi", encoding::UTF7, 4, "hi"},
      {"+/v/hi", encoding::UTF7, 4, "hi"},
  };
  for (const auto& c : cases) {
    auto m = memory_with(c.bytes);
    EXPECT_EQ(m->detect_encoding(), c.expected) << c.bytes;
    EXPECT_EQ(m->position_int64(), c.skip) << c.bytes;
    m->rewind();
    m->set_encoding(encoding::DEFAULT);
    EXPECT_EQ(m->read_line(), c.first_line) << c.bytes;
  }
}

TEST(StreamMarks, GuessesWithoutAMarkLeaveThePositionAlone) {
  struct Case {
    std::string bytes;
    encoding expected;
  } cases[] = {
      {"abcd", encoding::ASCII},
      {std::string("h\0i\0", 4), encoding::UTF16},
      {std::string("h\0\0\0", 4), encoding::UTF32},
      {std::string("\0h\0i", 4), encoding::UTF16_BIG},
      {std::string("\0\0\0h", 4), encoding::UTF32_BIG},
      {"\x01\x02\x03\x04", encoding::DEFAULT},
      {"ab", encoding::DEFAULT},  // too short to guess
  };
  for (const auto& c : cases) {
    auto m = memory_with(c.bytes);
    EXPECT_EQ(m->detect_encoding(), c.expected);
    EXPECT_EQ(m->position_int64(), 0);
  }
}

TEST(StreamMarks, ShortStreamsAreDetectedAndNotLeftAtTheirEnd) {
  auto mark_only = memory_with("\xEF\xBB\xBF");
  EXPECT_EQ(mark_only->detect_encoding(), encoding::UTF8);
  EXPECT_EQ(mark_only->position_int64(), 3);
  EXPECT_EQ(mark_only->read_line(), "");
  EXPECT_TRUE(mark_only->eof());

  auto utf16_mark = memory_with("\xFF\xFE");
  EXPECT_EQ(utf16_mark->detect_encoding(), encoding::UTF16);
  EXPECT_EQ(utf16_mark->position_int64(), 2);

  auto two = memory_with("ab");
  two->seek_int64(1);
  EXPECT_EQ(two->detect_encoding(), encoding::DEFAULT);
  EXPECT_EQ(two->position_int64(), 1);
  two->rewind();
  EXPECT_EQ(all_lines(two), (Lines{"ab"}));
}

TEST(StreamMarks, WrittenMarkAndLinesReadBackInEveryEncoding) {
  const encoding all[] = {encoding::DEFAULT, encoding::ASCII,  encoding::UTF8,  encoding::UTF16,
                          encoding::UTF16_BIG, encoding::UTF7, encoding::UTF32, encoding::UTF32_BIG};
  for (encoding e : all) {
    auto m = C_Memory_stream::create();
    m->set_encoding(e);
    ASSERT_TRUE(m->write_bom());
    ASSERT_TRUE(m->write_line("Größe 1"));
    ASSERT_TRUE(m->write_line("two"));
    m->rewind();
    m->set_encoding(encoding::DEFAULT);
    EXPECT_EQ(all_lines(m), (Lines{"Größe 1", "two"})) << static_cast<int>(e);
  }
}

TEST(StreamWords, LittleEndianWordsAndReadsPastTheEnd) {
  auto m = memory_with("\xFF\xFF\xFF\xFF\x34\x12");
  EXPECT_EQ(m->read_dword(), -1);
  EXPECT_EQ(m->read_word(), 0x1234);
  EXPECT_EQ(m->read_byte(), 0);
  EXPECT_EQ(m->read_word(), 0);
  m->rewind();
  EXPECT_EQ(m->read_word(), 65535);
  DynAByte bytes;
  EXPECT_FALSE(m->read(bytes, 10));
  EXPECT_EQ(bytes.count(), 4);
}

TEST(StreamCopy, ReportsWhatWasCopied) {
  std::string data(3'000'000, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7);
  auto source = memory_with(data);
  source->seek_int64(1000);
  auto target = C_Memory_stream::create();
  EXPECT_EQ(Long_int::to_int64(target->C_Stream::copy(source, Long_int::from_int64(5'000'000))), 2'999'000);
  target->rewind();
  DynAByte back;
  target->read(back, 2'999'000);
  EXPECT_EQ(std::string(back.begin(), back.end()), data.substr(1000));

  // A target that takes nothing (a file opened for reading) copies nothing.
  brek_test::Temp_dir dir;
  ASSERT_TRUE(brek_test::write_file(dir.file("ro"), "x"));
  auto read_only = C_File_stream::open_read(dir.file("ro"));
  source->rewind();
  EXPECT_EQ(Long_int::to_int64(read_only->copy(source, Long_int::from_int64(100))), 0);
}

TEST(StreamAdapter, PlatformSideReadsSeeksAndWrites) {
  auto m = memory_with(std::string(100, 'q'));
  auto native = TNATIVE_Stream_on_C_Stream::Create(m);
  EXPECT_EQ(native->size(), 100);
  EXPECT_EQ(native->seek(-10, 2), 90);
  char buf[32];
  EXPECT_EQ(native->read(buf, 32), 10);
  EXPECT_EQ(native->seek(5, 0), 5);
  EXPECT_EQ(native->write("AB", 2), 2);
  EXPECT_EQ(native->seek(-2, 1), 5);
  EXPECT_EQ(native->read(buf, 2), 2);
  EXPECT_EQ(std::string(buf, 2), "AB");
  // The adapter does not keep the stream alive.
  dispose_now(m);
  EXPECT_EQ(native->size(), 0);
  EXPECT_EQ(native->read(buf, 2), 0);
}

TEST(StreamNone, NoneStreamsAnswerWithNothing) {
  Ref<C_Stream> none;
  Ref<C_File_stream> none_file;
  Ref<C_Memory_stream> none_memory;
  for (C_Stream* s : {none.get(), static_cast<C_Stream*>(none_file.get()), static_cast<C_Stream*>(none_memory.get())}) {
    EXPECT_EQ(Long_int::to_int64(s->size()), 0);
    EXPECT_EQ(Long_int::to_int64(s->position()), 0);
    EXPECT_TRUE(s->eof());
    EXPECT_EQ(s->write_byte(1), 0);
    EXPECT_FALSE(s->write_text("x"));
    EXPECT_EQ(s->read_byte(), 0);
    EXPECT_EQ(s->read_line(), "");
  }
  EXPECT_EQ(none_memory->size_int64(), 0);
}

TEST(StreamBase, UnknownLengthAndNoData) {
  auto s = C_Stream::create();
  Long_int size = s->size();
  EXPECT_EQ(size.w0, 0x7FFFFFFFu);
  EXPECT_EQ(size.w1, 0u);
  EXPECT_EQ(size.w2, 0x7FFFFFFFu);
  EXPECT_EQ(size.w3, 0u);
  EXPECT_FALSE(s->eof());
  DynAByte b;
  EXPECT_FALSE(s->read(b, 4));
  EXPECT_EQ(s->read_line(), "");
  s->close();
  EXPECT_TRUE(s->is_closed());
}

// A read cannot lengthen a view on another array (nor a None instance's
// frozen array): it reads nothing instead of writing past the view into
// the bytes after it, or past the end of the array.
TEST(StreamRead, AViewIsNotWrittenPastItsEnd) {
  auto m = memory_with("0123456789abcdef");
  DynAByte whole;
  whole.set_length(8);
  DynAByte v = whole.view(0, 3);
  EXPECT_FALSE(m->read(v, 16));
  for (int64_t i = 0; i < whole.count(); ++i) EXPECT_EQ(whole.data()[i], 0) << i;
  EXPECT_EQ(m->position_int64(), 0);
  // Reading into a view goes through read_into, up to the view's length.
  EXPECT_EQ(m->read_into(v), 4);
  EXPECT_EQ(whole.data()[3], '3');
  EXPECT_EQ(whole.data()[4], 0);
}
