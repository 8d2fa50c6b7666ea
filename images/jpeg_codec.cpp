#include "images/jpeg_codec.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include <jerror.h>
#include <jpeglib.h>

namespace brek {

E_Jpeg_error::E_Jpeg_error(int code)
    : Brek_Exception("JPEG error #" + std::to_string(code)), code_(code) {}

namespace Jpeg_codec {

namespace {

// Coefficient buffers of progressive files are the one large allocation of
// the library; this bounds them (the output itself is bounded by Pixels).
constexpr long MAX_LIBRARY_MEMORY = 2000L * 1000 * 1000;

// Everything the library touches lives here, in plain C types: a longjmp
// out of the library only ever unwinds frames that hold nothing else.
struct Error_mgr {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  int code;        // library message code of the error
  bool too_many;   // scan limit exceeded (a malformed file, not an error)
};

struct Progress_mgr {
  jpeg_progress_mgr pub;
  Error_mgr* err;
};

extern "C" void on_error_exit(j_common_ptr cinfo) {
  Error_mgr* e = reinterpret_cast<Error_mgr*>(cinfo->err);
  e->code = e->pub.msg_code;
  std::longjmp(e->jump, 1);
}

// Warnings (corrupt data, premature end) are ignored: what decoded shows.
extern "C" void on_emit_message(j_common_ptr, int) {}
extern "C" void on_output_message(j_common_ptr) {}

extern "C" void on_progress(j_common_ptr cinfo) {
  if (!cinfo->is_decompressor) return;
  j_decompress_ptr d = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (d->input_scan_number > MAX_SCANS) {
    Progress_mgr* p = reinterpret_cast<Progress_mgr*>(cinfo->progress);
    p->err->too_many = true;
    std::longjmp(p->err->jump, 1);
  }
}

void setup_errors(Error_mgr& err) {
  jpeg_std_error(&err.pub);
  err.pub.error_exit = on_error_exit;
  err.pub.emit_message = on_emit_message;
  err.pub.output_message = on_output_message;
  err.code = 0;
  err.too_many = false;
}

struct Decode_job {
  jpeg_decompress_struct cinfo;
  Error_mgr err;
  Progress_mgr progress;
  bool created;
  bool cmyk;
  bool adobe;
};

// Header and output size. 0 when fine, 1 after a longjmp.
int decode_header(Decode_job* job, const uint8_t* data, size_t size, int factor) {
  if (setjmp(job->err.jump)) return 1;
  jpeg_create_decompress(&job->cinfo);
  job->created = true;
  job->cinfo.mem->max_memory_to_use = MAX_LIBRARY_MEMORY;
  job->progress.pub.progress_monitor = on_progress;
  job->progress.err = &job->err;
  job->cinfo.progress = &job->progress.pub;
  jpeg_mem_src(&job->cinfo, data, static_cast<unsigned long>(size));
  jpeg_read_header(&job->cinfo, TRUE);
  job->cinfo.scale_num = 1;
  job->cinfo.scale_denom = (factor == 2 || factor == 4 || factor == 8) ? factor : 1;
  job->cinfo.dct_method = JDCT_ISLOW;
  job->cinfo.do_fancy_upsampling = TRUE;
  J_COLOR_SPACE in = job->cinfo.jpeg_color_space;
  job->cmyk = in == JCS_CMYK || in == JCS_YCCK;
  job->adobe = job->cinfo.saw_Adobe_marker;
  job->cinfo.out_color_space = job->cmyk ? JCS_CMYK : JCS_EXT_BGRA;
  jpeg_calc_output_dimensions(&job->cinfo);
  return 0;
}

// Starts the decompression when asked, passes over `skip` rows (their
// data is still read, as the next rows need it), reads the rows up to `to`
// into rows[] (each 4 bytes per pixel) and, when asked, reads the file to
// its end. 0 when fine, 1 after a longjmp.
int read_band(Decode_job* job, JSAMPROW* rows, JDIMENSION skip, JDIMENSION to, bool start, bool finish) {
  if (setjmp(job->err.jump)) return 1;
  if (start) jpeg_start_decompress(&job->cinfo);
  if (skip > 0) jpeg_skip_scanlines(&job->cinfo, skip);
  while (job->cinfo.output_scanline < to) {
    JDIMENSION at = job->cinfo.output_scanline;
    if (jpeg_read_scanlines(&job->cinfo, rows + at, to - at) == 0) break;
  }
  if (finish) jpeg_finish_decompress(&job->cinfo);
  return 0;
}

// A second decoder reads the bottom quarter of a large baseline picture
// while the first reads the rest: it has to pass over the data above (the
// entropy coding has no entry points) but not to turn it into pixels, so
// the two end together at about four fifths of one decoder's time. The rows
// it made are the ones the first would have made. Returns the rows read
// (all of them, or `split` when the second decoder failed and the first
// must go on), or -1 after a failure of the first.
int64_t read_split(Decode_job* job, const uint8_t* data, size_t size, int factor, JSAMPROW* rows,
                   JDIMENSION split) {
  const JDIMENSION h = job->cinfo.output_height;
  Decode_job low{};
  setup_errors(low.err);
  low.cinfo.err = &low.err.pub;
  int low_failed = 1;
  std::thread thread;
  if (decode_header(&low, data, size, factor) == 0 && low.cinfo.output_width == job->cinfo.output_width &&
      low.cinfo.output_height == h) {
    try {
      thread = std::thread([&] { low_failed = read_band(&low, rows, split, h, true, false); });
    } catch (const std::exception&) {
      low_failed = 1;  // no thread to be had: one decoder does it all
    }
  }
  const int failed = read_band(job, rows, 0, split, true, false);
  if (thread.joinable()) thread.join();
  const bool low_done = !low_failed && low.cinfo.output_scanline >= h;
  if (low.created) jpeg_destroy_decompress(&low.cinfo);
  if (failed) return -1;
  return low_done ? int64_t(h) : int64_t(split);
}

// CMYK bytes (C, M, Y, K in memory) to B, G, R, A in place. Adobe writes
// the inks inverted, which is what nearly every CMYK JPEG holds.
void cmyk_to_bgra(Pixels& p, bool inverted) {
  uint8_t* b = p.bytes();
  size_t n = static_cast<size_t>(p.width()) * static_cast<size_t>(p.height());
  for (size_t i = 0; i < n; ++i, b += 4) {
    unsigned c = b[0], m = b[1], y = b[2], k = b[3];
    if (!inverted) {
      c = 255 - c;
      m = 255 - m;
      y = 255 - y;
      k = 255 - k;
    }
    b[0] = static_cast<uint8_t>((y * k + 127) / 255);
    b[1] = static_cast<uint8_t>((m * k + 127) / 255);
    b[2] = static_cast<uint8_t>((c * k + 127) / 255);
    b[3] = 255;
  }
}

struct Encode_job {
  jpeg_compress_struct cinfo;
  Error_mgr err;
  bool created;
  unsigned char* buffer;
  unsigned long size;
};

int encode_rows(Encode_job* job, const Pixels* in, int quality) {
  if (setjmp(job->err.jump)) return 1;
  jpeg_create_compress(&job->cinfo);
  job->created = true;
  jpeg_mem_dest(&job->cinfo, &job->buffer, &job->size);
  job->cinfo.image_width = static_cast<JDIMENSION>(in->width());
  job->cinfo.image_height = static_cast<JDIMENSION>(in->height());
  job->cinfo.input_components = 4;
  job->cinfo.in_color_space = JCS_EXT_BGRA;
  jpeg_set_defaults(&job->cinfo);
  jpeg_set_quality(&job->cinfo, quality, TRUE);
  job->cinfo.dct_method = JDCT_ISLOW;
  jpeg_start_compress(&job->cinfo, TRUE);
  while (job->cinfo.next_scanline < job->cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(
        reinterpret_cast<const JSAMPLE*>(in->row(static_cast<int>(job->cinfo.next_scanline))));
    jpeg_write_scanlines(&job->cinfo, &row, 1);
  }
  jpeg_finish_compress(&job->cinfo);
  return 0;
}

}  // namespace

bool decode(const uint8_t* data, size_t size, int factor, Pixels& out, int64_t split_pixels) {
  Decode_job job{};
  setup_errors(job.err);
  job.cinfo.err = &job.err.pub;
  std::vector<JSAMPROW> rows;
  int failed = decode_header(&job, data, size, factor);
  bool ok = false;
  if (!failed) {
    int64_t w = job.cinfo.output_width, h = job.cinfo.output_height;
    if (Pixels::size_allowed(w, h) && job.cinfo.output_components == 4 &&
        out.resize_unfilled(static_cast<int>(w), static_cast<int>(h))) {
      rows.resize(static_cast<size_t>(h));
      for (int y = 0; y < h; ++y) rows[static_cast<size_t>(y)] = out.bytes() + size_t(y) * out.stride();
      const int64_t source_pixels = int64_t(job.cinfo.image_width) * int64_t(job.cinfo.image_height);
      int64_t read = 0;
      if (!job.cinfo.progressive_mode && h >= 16 && source_pixels >= split_pixels &&
          std::thread::hardware_concurrency() > 1)
        read = read_split(&job, data, size, int(factor), rows.data(), JDIMENSION(h - h / 4));
      if (read < 0) {
        failed = 1;
      } else if (read == h) {
        jpeg_abort_decompress(&job.cinfo);
      } else {
        // One decoder to the end (from where a split one stopped).
        failed = read_band(&job, rows.data(), 0, JDIMENSION(h), read == 0, true);
        read = job.cinfo.output_scanline;
      }
      ok = !failed;
      // Rows the library did not reach show black, not old memory.
      for (int64_t y = read; ok && y < h; ++y) std::fill_n(out.row(static_cast<int>(y)), w, 0xFF000000u);
    }
  }
  if (job.created) jpeg_destroy_decompress(&job.cinfo);
  if (failed) {
    out.clear();
    if (job.err.too_many) return false;
    throw E_Jpeg_error(job.err.code);
  }
  if (!ok) {
    out.clear();
    return false;
  }
  if (job.cmyk) cmyk_to_bgra(out, job.adobe);
  return true;
}

bool encode(const Pixels& in, int quality, std::vector<uint8_t>& out) {
  out.clear();
  if (in.empty()) return false;
  Encode_job job{};
  setup_errors(job.err);
  job.cinfo.err = &job.err.pub;
  int failed = encode_rows(&job, &in, quality < 1 ? 1 : quality > 100 ? 100 : quality);
  if (job.created) jpeg_destroy_compress(&job.cinfo);
  if (!failed && job.buffer) out.assign(job.buffer, job.buffer + job.size);
  std::free(job.buffer);
  if (failed) throw E_Jpeg_error(job.err.code);
  return true;
}

}  // namespace Jpeg_codec
}  // namespace brek
