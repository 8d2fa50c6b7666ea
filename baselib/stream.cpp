#include "baselib/stream.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

namespace brek {

namespace {

constexpr int64_t COPY_CHUNK = int64_t(1) << 20;
// A single text read never allocates more than this, whatever it is asked.
constexpr int64_t MAX_TEXT_READ = int64_t(1) << 26;
// A UTF-7 run longer than this is decoded as it stands rather than carried.
constexpr size_t MAX_UTF7_CARRY = 65536;

bool is_base64_char(uint8_t b) {
  return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') || b == '+' ||
         b == '/';
}

// How many bytes at the end of p[0..n) start a character that the next read
// completes.
size_t incomplete_tail(const uint8_t* p, size_t n, encoding e) {
  switch (e) {
    case encoding::UTF8:
      for (size_t k = 1; k <= 3 && k <= n; ++k) {
        uint8_t b = p[n - k];
        if ((b & 0xC0) == 0x80) continue;  // continuation byte: look further back
        size_t need = b >= 0xF0 && b <= 0xF7 ? 4 : b >= 0xE0 && b <= 0xEF ? 3 : b >= 0xC0 && b <= 0xDF ? 2 : 1;
        return need > k ? k : 0;
      }
      return 0;
    case encoding::UTF16:
    case encoding::UTF16_BIG: {
      size_t keep = n % 2;
      size_t whole = n - keep;
      if (whole >= 2) {
        const uint8_t* u = p + whole - 2;
        unsigned unit = e == encoding::UTF16 ? (u[0] | (u[1] << 8)) : ((u[0] << 8) | u[1]);
        if (unit >= 0xD800 && unit <= 0xDBFF) keep += 2;  // high surrogate: its pair follows
      }
      return keep;
    }
    case encoding::UTF32:
    case encoding::UTF32_BIG:
      return n % 4;
    case encoding::UTF7: {
      // A shifted (base64) run that is still open at the end is carried
      // whole, from its "+".
      bool shifted = false;
      size_t start = 0;
      for (size_t i = 0; i < n; ++i) {
        if (!shifted) {
          if (p[i] == '+') {
            shifted = true;
            start = i;
          }
        } else if (!is_base64_char(p[i])) {
          shifted = false;
        }
      }
      if (shifted && n - start <= MAX_UTF7_CARRY) return n - start;
      return 0;
    }
    default:
      return 0;
  }
}

}  // namespace

Ref<C_Stream> C_Stream::create() { return make<C_Stream>(); }

// ---- the base's own answers ------------------------------------------------

Long_int C_Stream::size() {
  if (is_none()) return Long_int();
  // Unknown length: both 64-bit halves 2147483647.
  Long_int v;
  v.w0 = 0x7FFFFFFF;
  v.w2 = 0x7FFFFFFF;
  return v;
}

Long_int C_Stream::position() { return Long_int(); }

void C_Stream::seek(const Long_int&, disposition_from) { drop_text_state(); }

void C_Stream::drop_text_state() {
  if (is_none()) return;
  pending_text.clear();
  carry_.clear();
}

bool C_Stream::eof() {
  if (is_none()) return true;
  return position() >= size() && pending_text.empty();
}

void C_Stream::close() {
  if (is_none()) return;
  closed = true;
}

bool C_Stream::is_closed() { return closed; }

int64_t C_Stream::read_buffer(uint8_t*, int64_t) { return 0; }
int64_t C_Stream::write_buffer(const uint8_t*, int64_t) { return 0; }

bool C_Stream::read(DynAByte& bytes, int64_t count) {
  // A view or a None instance's array keeps its length whatever it is
  // told: reading into it would write past its end.
  if (bytes.is_view() || bytes.is_frozen()) return false;
  bytes.set_length(0);
  if (is_none() || count < 0) return false;
  // Grow with what arrives instead of trusting count for the allocation.
  int64_t remaining = Long_int::to_int64(size() - position());
  int64_t first = std::min<int64_t>(count, std::max<int64_t>(remaining, 0));
  first = std::min<int64_t>(first, int64_t(1) << 24);
  int64_t got = 0;
  int64_t len = first;
  while (got < count) {
    if (len <= got) len = std::min<int64_t>(count, std::max<int64_t>(got * 2, 4096));
    bytes.set_length(len);
    int64_t n = read_buffer(bytes.data() + got, len - got);
    if (n <= 0) break;
    got += n;
  }
  bytes.set_length(got);
  return got == count;
}

int64_t C_Stream::read_byte() {
  uint8_t b = 0;
  return read_buffer(&b, 1) == 1 ? b : 0;
}

int64_t C_Stream::write_byte(uint8_t b) { return write_buffer(&b, 1); }

int64_t C_Stream::read_into(DynAByte& view) {
  int64_t n = view.count();
  if (n <= 0 || view.is_frozen()) return 0;
  return read_buffer(view.data(), n);
}

int64_t C_Stream::write(const DynAByte& bytes) {
  int64_t n = bytes.count();
  if (n <= 0) return 0;
  return write_buffer(bytes.data(), n);
}

Long_int C_Stream::copy(const Ref<C_Stream>& source, const Long_int& count) {
  int64_t want = Long_int::to_int64(count);
  if (is_none() || source.is_none() || want < 1) return Long_int();
  int64_t chunk = std::min(COPY_CHUNK, want);
  Long_int end = source->position() + Long_int::from_int64(want);
  Long_int source_size = source->size();
  if (source_size < end) end = source_size;
  std::vector<uint8_t> buffer(static_cast<size_t>(chunk));
  int64_t passes = want / chunk + (want % chunk != 0 ? 1 : 0);
  int64_t total = 0;
  for (int64_t i = 0; i < passes; ++i) {
    if (source->eof()) break;
    int64_t left = Long_int::to_int64(end - source->position());
    int64_t n = std::min(chunk, left);
    if (n <= 0) break;
    int64_t got = source->read_buffer(buffer.data(), n);
    if (got <= 0) break;
    int64_t put = write_buffer(buffer.data(), got);
    if (put > 0) total += put;
    if (put < got) break;  // the target is full or failed
  }
  return Long_int::from_int64(total);
}

Long_int C_Stream::copy_rest_from(const Ref<C_Stream>& source) {
  return copy(source, source->size() - source->position());
}

// ---- words ----------------------------------------------------------------

void C_Stream::rewind() { seek(Long_int(), disposition_from::BEGINNING); }

bool C_Stream::at_end() {
  if (is_none()) return true;
  return position() >= size();
}

int64_t C_Stream::read_word() {
  int64_t lo = read_byte();
  int64_t hi = read_byte();
  return lo | (hi << 8);
}

int64_t C_Stream::read_dword() {
  int64_t lo = read_word();
  int64_t hi = read_word();
  return static_cast<int32_t>(static_cast<uint32_t>(lo | (hi << 16)));
}

// ---- encodings -------------------------------------------------------------

brek::encoding C_Stream::set_encoding(brek::encoding e) {
  if (is_none()) return e;
  if (e != brek::encoding::UTF8) drop_text_state();
  encoding = e;
  return e;
}

brek::encoding C_Stream::detect_encoding() {
  if (is_none()) return brek::encoding::DEFAULT;
  Long_int start = position();
  uint8_t b[4] = {0, 0, 0, 0};
  int64_t n = read_buffer(b, 4);
  if (n < 0) n = 0;
  brek::encoding found = brek::encoding::DEFAULT;
  int skip = 0;
  if (n >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) {
    found = brek::encoding::UTF8, skip = 3;
  } else if (n >= 2 && b[0] == 0xFE && b[1] == 0xFF) {
    found = brek::encoding::UTF16_BIG, skip = 2;
  } else if (n >= 4 && b[0] == 0xFF && b[1] == 0xFE && b[2] == 0 && b[3] == 0) {
    found = brek::encoding::UTF32, skip = 4;
  } else if (n >= 2 && b[0] == 0xFF && b[1] == 0xFE) {
    found = brek::encoding::UTF16, skip = 2;
  } else if (n >= 4 && b[0] == 0 && b[1] == 0 && b[2] == 0xFE && b[3] == 0xFF) {
    found = brek::encoding::UTF32_BIG, skip = 4;
  } else if (n >= 4 && b[0] == 0x2B && b[1] == 0x2F && b[2] == 0x76 &&
             (b[3] == 0x38 || b[3] == 0x39 || b[3] == 0x2B || b[3] == 0x2F)) {
    found = brek::encoding::UTF7, skip = 4;
  }
  // Whatever was read, the position ends just after the mark (or where it
  // was): a short stream must not be left at its end.
  seek(start + Long_int::from_int64(skip), disposition_from::BEGINNING);
  if (found != brek::encoding::DEFAULT) {
    encoding = found;
    return encoding;
  }
  if (n < 4) return encoding;
  brek::encoding guess = brek::encoding::DEFAULT;
  if (b[0] >= 32) {
    guess = brek::encoding::ASCII;
    if (b[1] == 0 && b[2] == 0 && b[3] == 0)
      guess = brek::encoding::UTF32;
    else if (b[1] == 0)
      guess = brek::encoding::UTF16;
  }
  if (b[0] == 0 && b[1] == 0) guess = brek::encoding::UTF32_BIG;
  if (guess == brek::encoding::DEFAULT && b[0] == 0 && b[1] != 0) guess = brek::encoding::UTF16_BIG;
  if (guess != brek::encoding::DEFAULT) encoding = guess;
  return encoding;
}

std::string C_Stream::read_text(int64_t n) {
  if (is_none()) return {};
  int64_t remaining = Long_int::to_int64(size() - position());
  n = std::clamp<int64_t>(n, 0, std::min<int64_t>(std::max<int64_t>(remaining, 0), MAX_TEXT_READ));
  size_t c = carry_.size();
  DynAByte bytes;
  bytes.set_length(static_cast<int64_t>(c) + n);
  if (c) std::memcpy(bytes.data(), carry_.data(), c);
  int64_t got = n > 0 ? read_buffer(bytes.data() + c, n) : 0;
  if (got < 0) got = 0;
  size_t total = c + static_cast<size_t>(got);
  carry_.clear();
  if (!at_end()) {
    size_t keep = incomplete_tail(bytes.data(), total, encoding);
    if (keep > 0 && keep < total + 1) {
      carry_.assign(reinterpret_cast<const char*>(bytes.data()) + total - keep, keep);
      total -= keep;
    }
  }
  bytes.set_length(static_cast<int64_t>(total));
  return NATIVE_String_functions::decode_text(bytes, encoding);
}

// ---- lines -----------------------------------------------------------------

std::string C_Stream::read_line() {
  if (is_none()) return {};
  if (encoding == brek::encoding::DEFAULT && Long_int::to_int64(position()) == 0) detect_encoding();
  if (encoding == brek::encoding::UTF8) return read_line_utf8();
  return read_line_other();
}

std::string C_Stream::read_line_utf8() {
  for (int i = 0; i < 4096; ++i) {
    if (eof() || pending_text.find('\n') != std::string::npos) break;
    if (Long_int::to_int64(size() - position()) <= 0) break;
    if (pending_text.size() >= static_cast<size_t>(buffer_size)) break;
    pending_text += read_text(buffer_size - static_cast<int64_t>(pending_text.size()));
  }
  std::string line;
  size_t nl = pending_text.find('\n');
  if (nl == std::string::npos) {
    line.swap(pending_text);
  } else {
    line.assign(pending_text, 0, nl);
    pending_text.erase(0, nl + 1);
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

std::string C_Stream::read_line_other() {
  if (!at_end() && (pending_text.empty() || pending_text.find('\n') == std::string::npos))
    pending_text += read_text(buffer_size);
  size_t e = pending_text.find_first_of("\r\n");
  if (e != std::string::npos && pending_text[e] == '\r' && e + 1 == pending_text.size() && !at_end()) {
    // A CR at the end of what was read may be the first half of CR LF.
    pending_text += read_text(buffer_size);
  }
  std::string line;
  if (e == std::string::npos) {
    line.swap(pending_text);
    return line;
  }
  line.assign(pending_text, 0, e);
  size_t skip = pending_text[e] == '\r' && e + 1 < pending_text.size() && pending_text[e + 1] == '\n' ? 2 : 1;
  pending_text.erase(0, e + skip);
  return line;
}

std::string C_Stream::read_native_line() { return read_line(); }

bool C_Stream::write_text(const std::string& s) {
  if (is_none()) return false;
  if (s.empty()) return true;
  DynAByte bytes;
  NATIVE_String_functions::encode_text(s, encoding, bytes);
  return write(bytes) == bytes.count();
}

bool C_Stream::write_line(const std::string& s) { return write_text(s + "\r\n"); }

bool C_Stream::write_bom() {
  if (is_none() || Long_int::to_int64(position()) != 0) return false;
  static const uint8_t utf8[] = {0xEF, 0xBB, 0xBF};
  static const uint8_t utf16[] = {0xFF, 0xFE};
  static const uint8_t utf16be[] = {0xFE, 0xFF};
  static const uint8_t utf7[] = {0x2B, 0x2F, 0x76, 0x2B};
  static const uint8_t utf32[] = {0xFF, 0xFE, 0x00, 0x00};
  static const uint8_t utf32be[] = {0x00, 0x00, 0xFE, 0xFF};
  const uint8_t* mark = nullptr;
  int64_t n = 0;
  switch (encoding) {
    case brek::encoding::UTF8: mark = utf8, n = 3; break;
    case brek::encoding::UTF16: mark = utf16, n = 2; break;
    case brek::encoding::UTF16_BIG: mark = utf16be, n = 2; break;
    case brek::encoding::UTF7: mark = utf7, n = 4; break;
    case brek::encoding::UTF32: mark = utf32, n = 4; break;
    case brek::encoding::UTF32_BIG: mark = utf32be, n = 4; break;
    default:
      // The platform's own code page has no mark: a UTF-16 mark over it
      // would make every reader misread the file.
      return true;
  }
  return write_buffer(mark, n) == n;
}

// ---- the platform's view ---------------------------------------------------

int64_t TNATIVE_Stream_on_C_Stream::size() { return Long_int::to_int64(stream_->size()); }

int64_t TNATIVE_Stream_on_C_Stream::read(void* buffer, int64_t count) {
  if (!buffer || count <= 0) return 0;
  return std::max<int64_t>(0, stream_->read_buffer(static_cast<uint8_t*>(buffer), count));
}

int64_t TNATIVE_Stream_on_C_Stream::write(const void* buffer, int64_t count) {
  if (!buffer || count <= 0) return 0;
  return std::max<int64_t>(0, stream_->write_buffer(static_cast<const uint8_t*>(buffer), count));
}

int64_t TNATIVE_Stream_on_C_Stream::seek(int64_t offset, int origin) {
  disposition_from from = origin == 1   ? disposition_from::CURRENT
                          : origin == 2 ? disposition_from::ENDING
                                        : disposition_from::BEGINNING;
  stream_->seek(Long_int::from_int64(offset), from);
  return Long_int::to_int64(stream_->position());
}

}  // namespace brek
