// Memory streams driven by a sequence of operations taken from the input.
// The chunked and the contiguous stream must agree on every result: they
// hold the same bytes, however the chunks fall.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "baselib/memory_stream.h"

using namespace brek;

namespace {

// The operation under way, reported when the streams disagree.
int g_step = 0, g_op = 0;

void same(bool ok) {
  if (ok) return;
  std::fprintf(stderr, "streams disagree at step %d, operation %d\n", g_step, g_op);
  __builtin_trap();
}

Long_int offset_from(FuzzedDataProvider& in) {
  switch (in.ConsumeIntegralInRange<int>(0, 3)) {
    case 0: return Long_int::from_int64(in.ConsumeIntegralInRange<int64_t>(-300, 300));
    case 1: return Long_int::from_int64(in.ConsumeIntegral<int64_t>());
    default: {
      Long_int v;
      v.w0 = in.ConsumeIntegral<uint32_t>();
      v.w1 = in.ConsumeIntegral<uint32_t>();
      v.w2 = in.ConsumeIntegral<uint32_t>();
      v.w3 = in.ConsumeIntegral<uint32_t>();
      return v;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  auto chunked = C_Memory_stream::create();
  auto contig = C_Memory_stream_contig::create();
  // Small chunks put chunk boundaries under every operation.
  chunked->chunk_size = in.ConsumeIntegralInRange<int64_t>(1, 24);
  chunked->growing = in.ConsumeBool();
  C_Stream* s[2] = {chunked.get(), contig.get()};

  for (int step = 0; step < 200 && in.remaining_bytes() > 0; ++step) {
    int op = in.ConsumeIntegralInRange<int>(0, 17);
    g_step = step;
    g_op = op;
    switch (op) {
      case 0: {
        std::string bytes = in.ConsumeRandomLengthString(80);
        auto p = reinterpret_cast<const uint8_t*>(bytes.data());
        same(s[0]->write_buffer(p, int64_t(bytes.size())) == s[1]->write_buffer(p, int64_t(bytes.size())));
        break;
      }
      case 1: {
        int64_t n = in.ConsumeIntegralInRange<int64_t>(-2, 120);
        std::vector<uint8_t> a(130, 0xAA), b(130, 0xAA);
        int64_t na = s[0]->read_buffer(a.data(), n), nb = s[1]->read_buffer(b.data(), n);
        same(na == nb && a == b);
        break;
      }
      case 2: {
        Long_int to = offset_from(in);
        auto from = static_cast<disposition_from>(in.ConsumeIntegralInRange<int>(0, 2));
        s[0]->seek(to, from);
        s[1]->seek(to, from);
        break;
      }
      case 3: same(s[0]->read_byte() == s[1]->read_byte()); break;
      case 4: {
        uint8_t b = in.ConsumeIntegral<uint8_t>();
        same(s[0]->write_byte(b) == s[1]->write_byte(b));
        break;
      }
      case 5: same(s[0]->read_word() == s[1]->read_word() && s[0]->read_dword() == s[1]->read_dword()); break;
      case 6: {
        auto e = static_cast<encoding>(in.ConsumeIntegralInRange<int>(0, 7));
        s[0]->set_encoding(e);
        s[1]->set_encoding(e);
        break;
      }
      case 7: same(s[0]->read_line() == s[1]->read_line()); break;
      case 8: {
        int64_t n = in.ConsumeIntegralInRange<int64_t>(-1, 40);
        same(s[0]->read_text(n) == s[1]->read_text(n));
        break;
      }
      case 9: same(s[0]->detect_encoding() == s[1]->detect_encoding()); break;
      case 10: same(s[0]->eof() == s[1]->eof() && s[0]->at_end() == s[1]->at_end()); break;
      case 11: {
        int64_t n = in.ConsumeIntegralInRange<int64_t>(-1, 200);
        DynAByte a, b;
        same(s[0]->read(a, n) == s[1]->read(b, n) && a.count() == b.count());
        for (int64_t i = 0; i < a.count(); ++i) same(a.data()[i] == b.data()[i]);
        break;
      }
      case 12: {
        // Copying from a source: the same count arrives in both.
        std::string bytes = in.ConsumeRandomLengthString(80);
        int64_t n = in.ConsumeIntegralInRange<int64_t>(-1, 100);
        int64_t got[2];
        for (int k = 0; k < 2; ++k) {
          auto src = C_Memory_stream::create();
          src->write_buffer(reinterpret_cast<const uint8_t*>(bytes.data()), int64_t(bytes.size()));
          src->seek_int64(int64_t(bytes.size()) / 3);
          Ref<C_Stream> from(src);
          got[k] = Long_int::to_int64(n < 0 ? s[k]->copy_rest_from(from)
                                            : s[k]->copy(from, Long_int::from_int64(n)));
        }
        same(got[0] == got[1]);
        break;
      }
      case 13: {
        std::string text = in.ConsumeRandomLengthString(60);
        same(s[0]->write_text(text) == s[1]->write_text(text));
        break;
      }
      case 14: same(s[0]->write_bom() == s[1]->write_bom()); break;
      case 15: {
        // The platform's view of each stream.
        TNATIVE_Stream_on_C_Stream a{Ref<C_Stream>(chunked)}, b{Ref<C_Stream>(contig)};
        int64_t off = in.ConsumeIntegralInRange<int64_t>(-50, 300);
        int origin = in.ConsumeIntegralInRange<int>(0, 2);
        same(a.seek(off, origin) == b.seek(off, origin) && a.size() == b.size());
        uint8_t x[32] = {}, y[32] = {};
        same(a.read(x, 32) == b.read(y, 32));
        break;
      }
      case 16: {
        // The streams' own text line readers.
        same(s[0]->read_native_line() == s[1]->read_native_line());
        break;
      }
      case 17: {
        s[0]->close();
        s[1]->close();
        break;
      }
    }
    same(s[0]->size_int64() == s[1]->size_int64());
    same(s[0]->position_int64() == s[1]->position_int64());
  }

  // The contiguous stream's own storage operations.
  int64_t n = in.ConsumeIntegralInRange<int64_t>(-5, 500);
  contig->truncate(n);
  contig->set_size(n / 2);
  contig->ensure_size(n);
  if (contig->size_int64() > contig->capacity()) __builtin_trap();
  return 0;
}
