#include "baselib/memory_stream.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "baselib/file_stream.h"

namespace brek {

namespace {

// The target of a seek as a 64-bit value; far targets saturate instead of
// wrapping.
int64_t seek_target(const Long_int& offset, int64_t pos, int64_t size, disposition_from from) {
  __int128 p = static_cast<__int128>(Long_int::to_int64(offset));
  if (Long_int::compare(offset, Long_int::from_int64(INT64_MAX)) > 0) p = INT64_MAX;
  if (Long_int::compare(offset, Long_int::from_int64(INT64_MIN)) < 0) p = INT64_MIN;
  __int128 base = from == disposition_from::CURRENT ? pos : from == disposition_from::ENDING ? size : 0;
  __int128 t = base + p;
  if (t > INT64_MAX) return INT64_MAX;
  if (t < INT64_MIN) return INT64_MIN;
  return static_cast<int64_t>(t);
}

}  // namespace

// ---- contiguous ------------------------------------------------------------

Ref<C_Memory_stream_contig> C_Memory_stream_contig::create() { return make<C_Memory_stream_contig>(); }

Ref<C_Memory_stream_contig> C_Memory_stream_contig::load_from_file(const std::string& name) {
  auto m = create();
  auto f = C_File_stream::open_read_anyway(name);
  int64_t n = f->size_int64();
  if (n > 0 && m->ensure_size(n)) m->copy(f, Long_int::from_int64(n));
  f->close();
  m->pos_ = 0;
  return m;
}

bool C_Memory_stream_contig::ensure_size(int64_t n) {
  if (is_none() || n > MEMORY_STREAM_LIMIT) return false;
  if (data.count() >= n) return true;
  try {
    data.set_length(n);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return data.count() >= n;
}

void C_Memory_stream_contig::truncate(int64_t n) {
  if (is_none()) return;
  if (n < 0) n = 0;
  if (n > size_) return;
  data.set_length(n);
  size_ = n;
  if (pos_ > n) pos_ = n;
}

bool C_Memory_stream_contig::set_size(int64_t n) {
  if (is_none() || n < 0 || n > MEMORY_STREAM_LIMIT) return false;
  try {
    data.set_length(n);
  } catch (const std::bad_alloc&) {
    return false;
  }
  size_ = n;
  if (pos_ > n) pos_ = n;
  return true;
}

Long_int C_Memory_stream_contig::size() { return Long_int::from_int64(size_); }
Long_int C_Memory_stream_contig::position() { return Long_int::from_int64(pos_); }

void C_Memory_stream_contig::seek(const Long_int& to, disposition_from from) {
  if (is_none()) return;
  set_pos(seek_target(to, pos_, size_, from));
  C_Stream::seek(to, from);
}

void C_Memory_stream_contig::close() {
  if (is_none()) return;
  data.set_length(0);
  size_ = 0;
  pos_ = 0;
  drop_text_state();
}

bool C_Memory_stream_contig::is_closed() { return false; }

int64_t C_Memory_stream_contig::read_byte() {
  // The position stays within the data: a read past the end moves nothing.
  if (pos_ >= size_) return 0;
  return data.data()[pos_++];
}

int64_t C_Memory_stream_contig::write_byte(uint8_t b) { return write_buffer(&b, 1); }

int64_t C_Memory_stream_contig::read_buffer(uint8_t* buffer, int64_t n) {
  if (is_none() || !buffer) return 0;
  n = std::clamp<int64_t>(n, 0, size_ - pos_);
  if (n == 0) return 0;
  std::memcpy(buffer, data.data() + pos_, static_cast<size_t>(n));
  pos_ += n;
  return n;
}

int64_t C_Memory_stream_contig::write_buffer(const uint8_t* buffer, int64_t n) {
  if (is_none() || !buffer || n <= 0) return 0;
  n = std::min(n, MEMORY_STREAM_LIMIT - pos_);
  if (n <= 0 || !ensure_size(pos_ + n)) return 0;
  std::memcpy(data.data() + pos_, buffer, static_cast<size_t>(n));
  pos_ += n;
  if (pos_ > size_) size_ = pos_;
  return n;
}

Long_int C_Memory_stream_contig::copy(const Ref<C_Stream>& source, const Long_int& count) {
  int64_t want = Long_int::to_int64(count);
  if (is_none() || source.is_none() || source.get() == this || want < 1) return Long_int();
  // Never allocate for more than the source can give.
  int64_t available = Long_int::to_int64(source->size() - source->position());
  want = std::min({want, std::max<int64_t>(available, 0), MEMORY_STREAM_LIMIT - pos_});
  if (want <= 0 || !ensure_size(pos_ + want)) return Long_int();
  int64_t got = 0;
  while (got < want) {
    int64_t n = source->read_buffer(data.data() + pos_ + got, want - got);
    if (n <= 0) break;
    got += n;
  }
  pos_ += got;
  if (pos_ > size_) size_ = pos_;
  return Long_int::from_int64(got);
}

std::string C_Memory_stream_contig::read_native_line() { return read_line(); }

void C_Memory_stream_contig::destroy_hook() {
  data.set_length(0);
  size_ = pos_ = 0;
  C_Stream::destroy_hook();
}

// ---- chunked ---------------------------------------------------------------

Ref<C_Memory_stream> C_Memory_stream::create() { return make<C_Memory_stream>(); }

int64_t C_Memory_stream::size64() const {
  if (bases_.empty()) return 0;
  return bases_.back() + chunks.get(chunks.count() - 1)->used();
}

int64_t C_Memory_stream::position64() const {
  if (bases_.empty()) return 0;
  return bases_[static_cast<size_t>(current)] + chunks.get(current)->pos();
}

Long_int C_Memory_stream::size() { return Long_int::from_int64(size64()); }
Long_int C_Memory_stream::position() { return Long_int::from_int64(position64()); }

bool C_Memory_stream::next_chunk() {
  if (current + 1 >= chunks.count()) return false;
  ++current;
  // Whatever position the chunk kept from earlier use, reading or writing
  // goes on at its start.
  chunks.get(current)->set_pos(0);
  return true;
}

bool C_Memory_stream::append_chunk() {
  int64_t n = chunks.count();
  int64_t next_size = chunk_size;
  if (n >= 1 && growing) {
    int64_t grown = chunk_size * 3 / 2;
    if (grown == 0) grown = FIRST_CHUNK;
    next_size = std::max(chunk_size, std::min(grown, MAX_CHUNK));
  }
  int64_t base = n == 0 ? 0 : bases_.back() + chunks.get(n - 1)->capacity();
  if (base + next_size > MEMORY_STREAM_LIMIT) return false;
  auto chunk = C_Memory_stream_contig::create();
  if (!chunk->ensure_size(next_size)) return false;
  chunk_size = next_size;
  chunks.append(chunk);
  bases_.push_back(base);
  current = n;
  return true;
}

void C_Memory_stream::seek(const Long_int& to, disposition_from from) {
  if (is_none()) return;
  int64_t target = seek_target(to, position64(), size64(), from);
  C_Stream::seek(to, from);
  if (bases_.empty()) return;
  if (target <= 0) {
    current = 0;
    chunks.get(0)->set_pos(0);
    return;
  }
  auto it = std::upper_bound(bases_.begin(), bases_.end(), target);
  int64_t i = static_cast<int64_t>(it - bases_.begin()) - 1;
  current = i;
  chunks.get(i)->set_pos(target - bases_[static_cast<size_t>(i)]);  // clamps to the chunk's size
}

void C_Memory_stream::close() {
  if (is_none()) return;
  chunks.clear();
  bases_.clear();
  current = 0;
  drop_text_state();
  C_Stream::close();
}

int64_t C_Memory_stream::read_byte() {
  if (is_none() || bases_.empty()) return 0;
  for (;;) {
    C_Memory_stream_contig* c = chunks.at(current)->get();
    if (c->pos() < c->used()) return c->read_byte();
    if (!next_chunk()) return 0;
  }
}

int64_t C_Memory_stream::write_byte(uint8_t b) { return write_buffer(&b, 1); }

int64_t C_Memory_stream::read_buffer(uint8_t* buffer, int64_t n) {
  if (is_none() || !buffer || bases_.empty()) return 0;
  n = std::clamp<int64_t>(n, 0, size64() - position64());
  int64_t done = 0;
  while (done < n) {
    C_Memory_stream_contig* c = chunks.at(current)->get();
    int64_t avail = c->used() - c->pos();
    if (avail <= 0) {
      if (!next_chunk()) break;
      continue;
    }
    done += c->read_buffer(buffer + done, std::min(avail, n - done));
  }
  return done;
}

// The chunk a write goes on in: the current one while it has room, else the
// next, added at the end; null when no chunk can be had.
C_Memory_stream_contig* C_Memory_stream::chunk_with_room() {
  for (;;) {
    if (bases_.empty() && !append_chunk()) return nullptr;
    C_Memory_stream_contig* c = chunks.at(current)->get();
    if (c->capacity() - c->pos() > 0) return c;
    if (!next_chunk() && !append_chunk()) return nullptr;
  }
}

int64_t C_Memory_stream::write_buffer(const uint8_t* buffer, int64_t n) {
  if (is_none() || !buffer || n <= 0) return 0;
  int64_t done = 0;
  while (done < n) {
    C_Memory_stream_contig* c = chunk_with_room();
    if (!c) break;
    int64_t k = c->write_buffer(buffer + done, std::min(c->capacity() - c->pos(), n - done));
    if (k <= 0) break;
    done += k;
  }
  return done;
}

Long_int C_Memory_stream::copy(const Ref<C_Stream>& source, const Long_int& count) {
  int64_t want = Long_int::to_int64(count);
  if (is_none() || source.is_none() || source.get() == this || want <= 0) return Long_int();
  int64_t done = 0;
  while (done < want) {
    if (source->at_end()) break;  // no chunk is added for nothing
    C_Memory_stream_contig* c = chunk_with_room();
    if (!c) break;
    const int64_t room = c->capacity() - c->pos();
    int64_t got = Long_int::to_int64(c->copy(source, Long_int::from_int64(std::min(room, want - done))));
    if (got <= 0) break;
    done += got;
  }
  return Long_int::from_int64(done);
}

void C_Memory_stream::destroy_hook() {
  chunks.clear();
  bases_.clear();
  current = 0;
  C_Stream::destroy_hook();
}

}  // namespace brek
